#include "QVMTransitContenerController.h"

#include "panes/history/HistoryAndLanguagesTabViewController.h"
#include "panes/languages/QVMLanguagesViewController.h"

#include "core/settings/QVSettingsService.h"
#include "services/languages/QVLanguageService.h"
#include "ui/controls/CustomButton.h"
#include "ui/main/QVMGeneralAndHistorySplitController.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace {

// The nearest owner that takes the language list's reports (the main window controller).
QObject *languageDelegateAbove(QObject *object) {
    for (QObject *up = object; up; up = up->parent()) {
        if (up->metaObject()->indexOfMethod("languageDidUpdate(QObject*)") >= 0)
            return up;
    }
    return nullptr;
}

} // namespace

QVMTransitContenerController::QVMTransitContenerController(QObject *parent) : QVMBaseVC(parent) {}

QVMTransitContenerController::~QVMTransitContenerController() {
    m_languagesToken.invalidate();
    for (const auto token : std::as_const(m_observers))
        platform::NotificationCenter::defaultCenter().removeObserver(token);
}

QWidget *QVMTransitContenerController::loadView() {
    auto *root = new QWidget;
    root->setObjectName(QStringLiteral("QVMTransitContenerView"));
    root->setMinimumWidth(300);
    auto *layout = new QVBoxLayout(root);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto *bar = new QWidget(root);
    auto *row = new QHBoxLayout(bar);
    row->setContentsMargins(8, 6, 8, 0);
    m_from = new CustomButton(bar);
    m_from->setAccessibleName(tr("Source language"));
    m_from->setToolTip(tr("Choose the language to translate from"));
    m_to = new CustomButton(bar);
    m_to->setAccessibleName(tr("Target language"));
    m_to->setToolTip(tr("Choose the language to translate into"));
    m_toggle = new CustomButton(tr("Dictionary"), bar);
    m_toggle->setAccessibleName(tr("History or dictionary"));
    m_toggle->setToolTip(tr("Switch the panel between the history and the dictionary"));
    for (CustomButton *button : {m_from, m_to, m_toggle}) {
        button->setFlat(true);
        button->setCursor(Qt::PointingHandCursor);
        row->addWidget(button);
    }
    row->insertStretch(2, 1);
    layout->addWidget(bar);
    m_tabs = new HistoryAndLanguagesTabViewController(this);
    layout->addWidget(m_tabs->view(), 1);
    return root;
}

void QVMTransitContenerController::viewDidLoad() {
    QWidget::setTabOrder(m_from, m_to);
    QWidget::setTabOrder(m_to, m_toggle);
    QWidget::setTabOrder(m_toggle, m_tabs->additionalTabs()->historyButton());
    if (QObject *delegate = languageDelegateAbove(this))
        m_tabs->setDelegateLanguage(delegate);
    connect(m_from, &QPushButton::clicked, this, [this] { callSplit("from"); });
    connect(m_to, &QPushButton::clicked, this, [this] { callSplit("to"); });
    connect(m_toggle, &QPushButton::clicked, this, [this] { callSplit("history"); });
    auto &center = platform::NotificationCenter::defaultCenter();
    for (const char *name : {QVMLanguagesViewController::kDidSelectLanguageNotification,
                             QVLanguageService::kSettingsDidChangedNotification})
        m_observers << center.addObserver(QString::fromLatin1(name), [this](const QVariantMap &) {
            observeLanguages();
            updateLanguageNames();
        });
    observeLanguages();
    updateLanguageNames();
    connect(m_tabs, &HistoryAndLanguagesTabViewController::shownChanged, this,
            &QVMTransitContenerController::updateToggle);
    updateToggle();
}

// The pair can change anywhere (the toolbar's swap, a history row, another window): the
// settings record itself is watched.
void QVMTransitContenerController::observeLanguages() {
    const QVTranslateSettings settings = QVSettingsService::defaultSettings();
    m_languagesToken.invalidate();
    if (settings.isNull() || !settings.isManaged())
        return;
    QPointer<QVMTransitContenerController> self(this);
    m_languagesToken = settings.observe(
        [self](const platform::ObjectChange &change) {
            if (self && !change.deleted)
                self->updateLanguageNames();
        },
        {QStringLiteral("languageFrom"), QStringLiteral("languageTo")});
}

bool QVMTransitContenerController::isDictionaryShown() const {
    return m_tabs && m_tabs->currentPage() == 0 && m_tabs->additionalTabs() &&
           m_tabs->additionalTabs()->currentAdditionalState() == QVMAdditionalTabsController::Dictionary;
}

void QVMTransitContenerController::updateToggle() {
    if (m_toggle)
        m_toggle->setText(isDictionaryShown() ? tr("History") : tr("Dictionary"));
}

void QVMTransitContenerController::updateLanguageNames() {
    const QVTranslateSettings settings = QVSettingsService::defaultSettings();
    m_from->setText(settings.languageFrom().languageName() + QStringLiteral(" \u25BE"));
    m_to->setText(settings.languageTo().languageName() + QStringLiteral(" \u25BE"));
}

void QVMTransitContenerController::callSplit(const char *action) {
    auto *split = qobject_cast<QVMGeneralAndHistorySplitController *>(parent());
    const QByteArray which(action);
    if (!split) {
        // Outside the main window (tests, samples): straight to the pages.
        if (which == "from")
            showLanguagesForSide(1);
        else if (which == "to")
            showLanguagesForSide(2);
        else if (isDictionaryShown())
            showHistory();
        else
            showDictionaryOrConjugations();
        return;
    }
    if (which == "from") {
        split->onLanguageFrom();
    } else if (which == "to") {
        split->onLanguageTo();
    } else {
        // The toggle turns to the page that is not shown, whatever the split view last asked for.
        split->setHistoryShow(!isDictionaryShown());
        split->onHistory();
    }
    updateToggle();
}

void QVMTransitContenerController::showLanguagesForSide(uint side) {
    view();
    m_tabs->showLanguagesForSide(side);
}

void QVMTransitContenerController::showDictionaryOrConjugations() {
    view();
    m_tabs->showDictionaryOrConjugations();
}

void QVMTransitContenerController::showHistory() {
    view();
    m_tabs->showHistory();
    // Page 0 alone would leave the group on its Dictionary tab.
    if (QVMAdditionalTabsController *group = m_tabs->additionalTabs();
        group && group->currentAdditionalState() == QVMAdditionalTabsController::Dictionary)
        group->showHistory();
}
