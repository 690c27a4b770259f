#include "QVMSettingsController.h"

#include "core/DevLog.h"
#include "core/localization/QVLocalizedString.h"
#include "ui/adapters/QVMGeneralServices.h"
#include "ui/controls/CustomButton.h"
#include "ui/foundation/QVMInterfaceFactory.h"
#include "ui/foundation/QVMInterfaceHooks.h"
#include "ui/style/QVMColor.h"

#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QShortcut>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace {

struct Tab {
    const char *pane;
    const char *action;
    const char *titleKey;
};

// Indices 0-4 keep the meaning every opener relies on; shortcuts came later.
constexpr Tab kTabs[QVMSettingsController::kTabCount] = {
    {"GeneralSettingsViewController", "General", "_loc_settings_tab_general"},
    {"QVMOfflineViewController", "Offline", "_loc_settings_tab_offline"},
    {"QVMAuthPreviewViewController", "Account - Info", "_loc_settings_tab_account"},
    {"QVMInfoViewController", "Info", "_loc_settings_tab_info"},
    {"QVMAboutViewController", "App info", "_loc_settings_tab_about"},
    {"QVMShortcutsSettingsViewController", "Shortcuts", "_loc_settings_tab_shortcuts"},
};

using TabButton = CustomButton;

// White text on the brand pink needs the pink a shade darker to stay readable.
QColor highlightColour() {
    return QVMColor::adjust(QVMColor::customPinkColor(), -12);
}

void colourTabButton(QAbstractButton *button, const QColor &background, const QColor &text) {
    auto *tab = static_cast<TabButton *>(button);
    tab->setBGColor(background);
    tab->setTextColor(text);
}

} // namespace

QVMSettingsController::QVMSettingsController(QObject *parent)
    : QVMBaseVC(parent), m_panes(kTabCount), m_loaded(kTabCount, false) {}

QString QVMSettingsController::trackActionForIndex(qint64 index) {
    if (index < 0 || index >= kTabCount)
        return QString();
    return QString::fromLatin1(kTabs[index].action);
}

QString QVMSettingsController::paneNameForTab(int index) {
    return QString::fromLatin1(kTabs[normalizedTab(index)].pane);
}

int QVMSettingsController::normalizedTab(qint64 index) {
    return index >= 0 && index < kTabCount ? int(index) : 0;
}

QWidget *QVMSettingsController::loadView() {
    auto *view = new QWidget;
    view->setObjectName(QStringLiteral("QVMSettingsController"));
    auto *layout = new QVBoxLayout(view);
    layout->setContentsMargins(16, 0, 16, 16);
    layout->setSpacing(12);

    m_windowTitle = new QLabel(view);
    m_windowTitle->setAlignment(Qt::AlignCenter);
    m_windowTitle->setMinimumHeight(44);
    QFont titleFont = m_windowTitle->font();
    titleFont.setBold(true);
    m_windowTitle->setFont(titleFont);
    layout->addWidget(m_windowTitle);

    auto *frame = new QFrame(view);
    frame->setFrameShape(QFrame::Box);
    frame->setForegroundRole(QPalette::Mid);
    m_buttonRow = frame;
    m_buttonRow->setObjectName(QStringLiteral("tabButtons"));
    auto *row = new QHBoxLayout(m_buttonRow);
    row->setContentsMargins(1, 1, 1, 1);
    row->setSpacing(0);
    for (int i = 0; i < kTabCount; ++i) {
        auto *button = new TabButton(m_buttonRow);
        button->setText(QVLocalizedString(QString::fromLatin1(kTabs[i].titleKey)));
        button->setProperty("tag", i);
        button->setFlat(true);
        button->setFocusPolicy(Qt::StrongFocus);
        button->setMinimumHeight(30);
        button->setAccessibleName(button->text());
        button->setToolTip(button->text());
        connect(button, &QAbstractButton::clicked, this, [this, i] { tabButtonPressed(i); });
        row->addWidget(button);
        m_buttons.append(button);
    }
    layout->addWidget(m_buttonRow);

    m_tabs = new QStackedWidget(view);
    for (int i = 0; i < kTabCount; ++i) {
        auto *page = new QWidget(m_tabs);
        auto *pageLayout = new QVBoxLayout(page);
        pageLayout->setContentsMargins(0, 0, 0, 0);
        m_tabs->addWidget(page);
    }
    layout->addWidget(m_tabs, 1);

    auto *next = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Tab), view);
    next->setContext(Qt::WidgetWithChildrenShortcut);
    connect(next, &QShortcut::activated, this, [this] { selectAdjacentTab(1); });
    for (const QKeySequence &sequence : {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab),
                                         QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab)}) {
        auto *previous = new QShortcut(sequence, view);
        previous->setContext(Qt::WidgetWithChildrenShortcut);
        connect(previous, &QShortcut::activated, this, [this] { selectAdjacentTab(-1); });
    }
    m_buttonRow->installEventFilter(this);
    return view;
}

void QVMSettingsController::viewDidLoad() {
    const QString title = QVLocalizedString(QString::fromLatin1(kTitleKey));
    m_windowTitle->setText(title);
    m_windowTitle->setAccessibleName(title);
    setObjectName(title);
    observeThemeColor();
    const int tab = normalizedTab(m_tabToOpen);
    m_tabToOpen = tab;
    selectButton(tab);
    showPane(tab);
}

void QVMSettingsController::didChangeColorTheme(bool) {
    recolourButtons();
}

bool QVMSettingsController::eventFilter(QObject *watched, QEvent *event) {
    if ((watched == m_buttonRow || (isViewLoaded() && watched == view())) &&
        event->type() == QEvent::PaletteChange)
        recolourButtons();
    return QVMBaseVC::eventFilter(watched, event);
}

void QVMSettingsController::selectTab(qint64 tab) {
    const int index = normalizedTab(tab);
    m_tabToOpen = index;
    if (!isViewLoaded()) {
        view();
        return;
    }
    selectButton(index);
    showPane(index);
}

void QVMSettingsController::tabButtonPressed(int tag) {
    if (!m_tabs)
        return;
    const int index = normalizedTab(tag);
    selectButton(index);
    showPane(index);
}

void QVMSettingsController::selectAdjacentTab(int step) {
    const int current = selectedTab() < 0 ? 0 : selectedTab();
    tabButtonPressed((current + step + kTabCount) % kTabCount);
}

void QVMSettingsController::selectButton(qint64 index) {
    const int tab = normalizedTab(index);
    QVMGeneralServices::shared().analytics().trackEvent(QString::fromLatin1(kCategory),
                                                        trackActionForIndex(tab), QVariantMap());
    DevLog(QString::fromLatin1(kSelectingLog), qint64(tab));
    m_selected = tab;
    recolourButtons();
}

void QVMSettingsController::recolourButtons() {
    if (!m_buttonRow)
        return;
    const QPalette palette = view()->palette();
    for (int i = 0; i < m_buttons.size(); ++i) {
        QAbstractButton *button = m_buttons.at(i);
        const bool selected = i == m_selected;
        colourTabButton(button, selected ? highlightColour() : palette.color(QPalette::Window),
                        selected ? QColor(Qt::white) : palette.color(QPalette::WindowText));
        button->setAccessibleDescription(selected ? tr("Selected") : QString());
    }
}

int QVMSettingsController::selectedTab() const {
    return m_selected;
}

QList<QAbstractButton *> QVMSettingsController::tabButtons() const {
    return m_buttons;
}

QObject *QVMSettingsController::paneForTab(int index) const {
    if (index < 0 || index >= kTabCount)
        return nullptr;
    return m_panes.at(index);
}

QObject *QVMSettingsController::loadPane(int index) {
    index = normalizedTab(index);
    if (m_loaded.at(index) || !m_tabs)
        return m_panes.at(index);
    m_loaded[index] = true;
    QWidget *page = m_tabs->widget(index);
    const QString storyboard = QString::fromLatin1(kStoryboard);
    const QString name = paneNameForTab(index);
    QObject *pane = QVMInterfaceFactory::shared().hasController(storyboard, name)
                        ? QVMInterfaceFactory::shared().instantiateController(storyboard, name, this)
                        : nullptr;
    QWidget *paneView = nullptr;
    if (auto *controller = qobject_cast<QVMBaseVC *>(pane))
        paneView = controller->view();
    else if (auto *widget = qobject_cast<QWidget *>(pane))
        paneView = widget;
    if (!paneView) {
        QVMInterfaceHooks::notAvailable(name.toLatin1().constData());
        delete pane;
        pane = nullptr;
        auto *placeholder = new QLabel(QVLocalizedString(QString::fromLatin1(kNotAvailableKey)), page);
        placeholder->setAlignment(Qt::AlignCenter);
        placeholder->setAccessibleName(placeholder->text());
        placeholder->setObjectName(QStringLiteral("placeholder"));
        paneView = placeholder;
    }
    page->layout()->addWidget(paneView);
    m_panes[index] = pane;
    return pane;
}

void QVMSettingsController::showPane(int index) {
    if (!m_tabs)
        return;
    loadPane(index);
    m_tabs->setCurrentIndex(index);
}
