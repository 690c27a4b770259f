#include "QVMAdditionalTabsController.h"

#include "panes/history/QVMHistoryViewController.h"

#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"
#include "services/graphics/QVMStyleService.h"
#include "ui/adapters/QVMGeneralServices.h"
#include "ui/controls/CustomButton.h"
#include "ui/controls/QVMCustomSelectionColorTableView.h"
#include "ui/controls/QVMSoftShadow.h"
#include "ui/foundation/QVMInterfaceFactory.h"
#include "ui/foundation/QVMInterfaceHooks.h"
#include "ui/foundation/QVMUtils.h"
#include "ui/style/QVMColor.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QShortcut>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace {

QColor gradientStart(bool dark) {
    return dark ? QColor::fromRgbF(0.03515625f, 0.046875f, 0.0546875f)
                : QColor::fromRgbF(0.9453125f, 0.953125f, 0.96484375f);
}

double contrast(const QColor &a, const QColor &b) {
    const auto luminance = [](const QColor &c) {
        const auto channel = [](double v) {
            return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
    };
    const double la = luminance(a), lb = luminance(b);
    return (qMax(la, lb) + 0.05) / (qMin(la, lb) + 0.05);
}

} // namespace

QVMAdditionalTabsController::QVMAdditionalTabsController(QObject *parent) : QVMBaseVC(parent) {}

QVMAdditionalTabsController::~QVMAdditionalTabsController() {
    cancelObserveThemeColor();
}

QWidget *QVMAdditionalTabsController::loadView() {
    auto *root = new QWidget;
    root->setObjectName(QStringLiteral("QVMAdditionalTabsView"));
    auto *outer = new QVBoxLayout(root);
    outer->setContentsMargins(8, 8, 8, 8);
    // A shadowed, rounded group.
    m_shadowView = new QWidget(root);
    m_shadowView->setObjectName(QStringLiteral("shadowView"));
    m_shadowView->setAutoFillBackground(true);
    QVMSoftShadow::attach(m_shadowView, 10, QPointF(0, 0), QColor(0, 0, 0, 51));
    outer->addWidget(m_shadowView);
    auto *layout = new QVBoxLayout(m_shadowView);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto *tabsStack = new QWidget(m_shadowView);
    tabsStack->setObjectName(QStringLiteral("tabsStack"));
    auto *row = new QHBoxLayout(tabsStack);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(1);
    // setState keeps exactly one tab on. No button group: a group takes the buttons that are
    // off out of the Tab order, and every tab must stay reachable by Tab.
    const struct {
        CustomButton **button;
        QString title;
        QString tip;
        const char *key;
        uint state;
    } tabs[] = {
        {&m_historyButton, tr("History"), tr("Every translation you made (Ctrl+1)"), "Ctrl+1", History},
        {&m_bookmarksButton, tr("Bookmarks"), tr("Your favourite translations (Ctrl+2)"), "Ctrl+2",
         Bookmarks},
        {&m_dictionaryButton, tr("Dictionary"), tr("Dictionary entries of the selected word (Ctrl+3)"),
         "Ctrl+3", Dictionary},
    };
    for (const auto &tab : tabs) {
        auto *button = new CustomButton(tab.title, tabsStack);
        button->setCheckable(true);
        button->setAccessibleName(tab.title);
        button->setToolTip(tab.tip);
        button->setCursor(Qt::PointingHandCursor);
        button->setCornerRadius(0);
        button->setMinimumHeight(32);
        row->addWidget(button);
        *tab.button = button;
        const uint state = tab.state;
        connect(button, &QPushButton::clicked, this, [this, state] { choose(state); });
        auto *shortcut = new QShortcut(QKeySequence(QString::fromLatin1(tab.key)), root);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, [this, state] { choose(state); });
    }
    layout->addWidget(tabsStack);

    m_tabs = new QStackedWidget(m_shadowView);
    m_tabs->setObjectName(QStringLiteral("tabs"));
    layout->addWidget(m_tabs, 1);
    return root;
}

void QVMAdditionalTabsController::viewDidLoad() {
    observeThemeColor();
    // The history list first, so it hears the notification the stored state posts.
    m_history = new QVMHistoryViewController(this);
    m_tabs->addWidget(m_history->view());
    m_tabs->addWidget(makeDictionaryPage());
    // Reading order, whatever order the pages were made in.
    QWidget::setTabOrder(m_historyButton, m_bookmarksButton);
    QWidget::setTabOrder(m_bookmarksButton, m_dictionaryButton);
    QWidget::setTabOrder(m_dictionaryButton, m_history->historyTable());
    view()->installEventFilter(this);
    lazyState();
    didChangeColorTheme(QVMStyleService::isDarkMode());
}

QWidget *QVMAdditionalTabsController::makeDictionaryPage() {
    QVMInterfaceFactory &factory = QVMInterfaceFactory::shared();
    const QString name = QString::fromLatin1(kDictionaryStoryboardId);
    if (factory.hasController(QStringLiteral("Main"), name)) {
        m_dictionary = factory.instantiateController(QStringLiteral("Main"), name, this);
        if (auto *pane = qobject_cast<QVMBaseVC *>(m_dictionary.data()))
            return pane->view();
        if (auto *widget = qobject_cast<QWidget *>(m_dictionary.data()))
            return widget;
    }
    QVMInterfaceHooks::notAvailable(kDictionaryStoryboardId);
    auto *notice = new QLabel(tr("The dictionary is not available yet"));
    notice->setObjectName(QStringLiteral("dictionaryPlaceholder"));
    notice->setAlignment(Qt::AlignCenter);
    notice->setWordWrap(true);
    notice->setAccessibleName(notice->text());
    return notice;
}

int QVMAdditionalTabsController::innerPage() const {
    return m_tabs ? m_tabs->currentIndex() : -1;
}

void QVMAdditionalTabsController::choose(uint state) {
    switch (state) {
    case History:
        showHistory();
        break;
    case Bookmarks:
        showBookmarks();
        break;
    default:
        showDictionary();
        break;
    }
}

void QVMAdditionalTabsController::lazyState() {
    platform::UserDefaults &defaults = QVMUtils::sharedDefaults();
    const QString key = QString::fromLatin1(kUserDefaultAdditionalState);
    if (!defaults.objectForKey(key).isValid())
        defaults.setInteger(Dictionary, key);
    bool readable = false;
    const qint64 stored = defaults.objectForKey(key).toString().toLongLong(&readable);
    // Anything else than 0, 1 or 2 would leave an empty panel: the dictionary stands in.
    const uint state = readable && stored >= 0 && stored <= 1 ? uint(stored) : Dictionary;
    m_state = state;
    choose(state);
}

void QVMAdditionalTabsController::showHistory() {
    view();
    QVMGeneralServices::shared().analytics().trackEvent(QStringLiteral("Main screen"),
                                                        QStringLiteral("History panel"), {});
    m_tabs->setCurrentIndex(0);
    setState(History);
    platform::NotificationCenter::defaultCenter().post(
        QString::fromLatin1(QVMHistoryViewController::kShowHistoryNotification));
    QVMUtils::sharedDefaults().setInteger(History, QString::fromLatin1(kUserDefaultAdditionalState));
}

void QVMAdditionalTabsController::showBookmarks() {
    view();
    QVMGeneralServices::shared().analytics().trackEvent(QStringLiteral("Main screen"),
                                                        QStringLiteral("Bookmarks panel"), {});
    m_tabs->setCurrentIndex(0);
    setState(Bookmarks);
    platform::NotificationCenter::defaultCenter().post(
        QString::fromLatin1(QVMHistoryViewController::kShowBookmarksNotification));
    QVMUtils::sharedDefaults().setInteger(Bookmarks, QString::fromLatin1(kUserDefaultAdditionalState));
}

void QVMAdditionalTabsController::showDictionary() {
    view();
    QVMGeneralServices::shared().analytics().trackEvent(QStringLiteral("Main screen"),
                                                        QStringLiteral("Dictionary panel"), {});
    m_tabs->setCurrentIndex(1);
    setState(Dictionary);
    QVMUtils::sharedDefaults().setInteger(Dictionary, QString::fromLatin1(kUserDefaultAdditionalState));
}

void QVMAdditionalTabsController::setState(uint state) {
    m_state = state;
    if (state > Dictionary)
        return;
    updateButton(m_historyButton, state == History);
    updateButton(m_bookmarksButton, state == Bookmarks);
    updateButton(m_dictionaryButton, state == Dictionary);
    if (!m_repainting)
        emit stateChanged(state);
}

void QVMAdditionalTabsController::updateButton(CustomButton *button, bool active) {
    const bool dark = QVMStyleService::isDarkMode();
    const QPalette colours = view()->palette();
    QColor background;
    if (dark) {
        background = active ? QVMColor::panelBackgroundDarkColor() : QVMColor::tabBackgroundDarkColor();
        button->setBGColor(background);
    } else if (active) {
        background = colours.color(QPalette::Base);
        button->setBGColor(background);
    } else {
        background = gradientStart(false);
        button->setBGColor(
            QVMColor::colorWithGradient({{0.0, gradientStart(false)}, {1.0, QColor(Qt::white)}}));
    }
    button->setChecked(active);
    QColor text = colours.color(QPalette::Text);
    if (dark)
        text = QColor(Qt::white);
    else if (colours.color(QPalette::Base).lightnessF() < 0.5)
        text = QColor(Qt::black);
    const QColor dimmed = colours.color(QPalette::Disabled, QPalette::Text);
    // The inactive tabs are quieter, but never below a readable contrast.
    if (!active && contrast(dimmed, background) >= 4.5)
        text = dimmed;
    button->setTextColor(text);
    QFont font = button->font();
    font.setBold(active);
    button->setFont(font);
}

void QVMAdditionalTabsController::didChangeColorTheme(bool dark) {
    if (!m_shadowView)
        return;
    m_repainting = true;
    QPalette colours = m_shadowView->palette();
    colours.setColor(QPalette::Window, dark ? QVMColor::panelBackgroundDarkColor() : QColor(Qt::white));
    m_shadowView->setPalette(colours);
    setState(m_state);
    m_repainting = false;
}

bool QVMAdditionalTabsController::eventFilter(QObject *watched, QEvent *event) {
    if (watched == view() && event->type() == QEvent::PaletteChange && !m_repainting)
        didChangeColorTheme(QVMStyleService::isDarkMode());
    return QVMBaseVC::eventFilter(watched, event);
}
