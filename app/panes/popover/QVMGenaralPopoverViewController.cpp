#include "QVMGenaralPopoverViewController.h"

#include "QVMPopoverIcons.h"
#include "QVMStatusItem.h"
#include "QVMStatusItemWindow.h"

#include "core/DevLog.h"
#include "core/localization/QVLocalizedString.h"
#include "core/settings/QVSettingsService.h"
#include "panes/shortcuts/QVMKeyboardShortcutsService.h"
#include "services/languages/QVLanguageService.h"
#include "ui/adapters/QVMGeneralServices.h"
#include "ui/controls/QVMRemoteImage.h"
#include "ui/controls/TextViewWithPlaceHolder.h"
#include "ui/foundation/QVMInterfaceFactory.h"
#include "ui/foundation/QVMInterfaceHooks.h"
#include "ui/foundation/QVMUtils.h"
#include "ui/main/QVMGeneralViewController.h"
#include "ui/window/QVGeneralWindowController.h"

#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QTextDocument>
#include <QToolButton>

namespace {

const QString kHelveticaLight = QStringLiteral("Helvetica-Light");
constexpr int kFontSize = 20;

bool isSupportedDroppedFile(const QString &path) {
    static const QStringList extensions{QStringLiteral("pdf"), QStringLiteral("docx"), QStringLiteral("rtf"),
                                        QStringLiteral("doc"), QStringLiteral("txt"),  QStringLiteral("odp"),
                                        QStringLiteral("ods"), QStringLiteral("pps"),  QStringLiteral("xls"),
                                        QStringLiteral("jpg"), QStringLiteral("jpeg"), QStringLiteral("png")};
    return extensions.contains(QFileInfo(path).suffix().toLower());
}

} // namespace

QVMGenaralPopoverViewController::QVMGenaralPopoverViewController(QObject *parent) : QVMBaseVC(parent) {
    m_typingTimer.setSingleShot(true);
    m_typingTimer.setInterval(kTypingDelayMs);
    connect(&m_typingTimer, &QTimer::timeout, this, &QVMGenaralPopoverViewController::translateCurrentText);
    m_detector = backendLanguageDetector();
}

QVMGenaralPopoverViewController::~QVMGenaralPopoverViewController() {
    disconnect(m_closeConnection);
    cancelObserveThemeColor();
}

QVMGenaralPopoverViewController *QVMGenaralPopoverViewController::viewController(QObject *parent) {
    platform::Error error;
    auto *controller = QVMInterfaceFactory::shared().instantiateNib<QVMGenaralPopoverViewController>(
        QStringLiteral("QVMGenaralPopoverViewController"), parent, &error);
    if (!controller)
        DevLog(QStringLiteral("[VC] %@"), error.localizedDescription());
    return controller;
}

void QVMGenaralPopoverViewController::viewDidLoad() {
    observeThemeColor();
    for (TextViewWithPlaceHolder *view : {m_originalTextView, m_translateTextView}) {
        QFont font(kHelveticaLight);
        font.setPixelSize(kFontSize);
        view->setFont(font);
    }
    connect(m_originalTextView, &QTextEdit::textChanged, this,
            &QVMGenaralPopoverViewController::originalTextDidChange);
    connect(m_translateTextView, &QTextEdit::textChanged, this,
            &QVMGenaralPopoverViewController::updateUITranslateTextView);
    connect(m_fromButton, &QToolButton::clicked, this, &QVMGenaralPopoverViewController::onFromButton);
    connect(m_toButton, &QToolButton::clicked, this, &QVMGenaralPopoverViewController::onToButton);
    connect(m_holdButton, &QToolButton::clicked, this, &QVMGenaralPopoverViewController::onHoldButton);
    connect(m_settingsButton, &QToolButton::clicked, this,
            &QVMGenaralPopoverViewController::onShowGeneralWindows);
    connect(m_clearButton, &QToolButton::clicked, this, &QVMGenaralPopoverViewController::onClearButton);
    connect(m_fromSpeakButton, &QToolButton::clicked, this, [this] { onFromSpeakButton(m_fromSpeakButton); });
    connect(m_toSpeakButton, &QToolButton::clicked, this, [this] { onToSpeakButton(m_toSpeakButton); });
    connect(m_downloadButton, &QPushButton::clicked, this,
            &QVMGenaralPopoverViewController::openOfflinePackages);
    auto *copy = new QShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C), view());
    copy->setContext(Qt::WidgetWithChildrenShortcut);
    connect(copy, &QShortcut::activated, this, &QVMGenaralPopoverViewController::copyResult);
    buttonsText();
    // Only the status window's own closing counts, never another window's.
    m_closeConnection =
        connect(&QVMStatusItem::sharedInstance(), &QVMStatusItem::windowWillClose, this, [this] {
            QWidget *window = QVMStatusItem::sharedInstance().statusItemWindow();
            if (isViewLoaded() && window && view()->window() == window)
                trackEvent(QStringLiteral("Close"));
        });
    m_fromStack->setVisible(false);
    m_toSpeakButton->setVisible(false);
    applyTheme();
    updatePanelHeight(m_originalTextView);
    updatePanelHeight(m_translateTextView);
}

void QVMGenaralPopoverViewController::buttonsText() {
    const QString anchor = QVLocalizedString(QStringLiteral("_loc_mac_quorvalde_anchor_window"));
    m_holdButton->setToolTip(anchor);
    m_holdButton->setAccessibleName(anchor);
    // The button brings the main window forward: its name says that, not "Settings".
    const QString right = QVLocalizedString(QString::fromLatin1(kMainWindowToolTipKey));
    m_settingsButton->setToolTip(right);
    m_settingsButton->setAccessibleName(right);
    m_titleLabel->setText(QStringLiteral("Quorvalde Translator"));
    updateLanguageButtons();
}

void QVMGenaralPopoverViewController::viewWillAppear() {
    buttonsText();
}

void QVMGenaralPopoverViewController::viewDidAppear() {
    const QVTranslateSettings record = QVSettingsService::defaultSettings();
    trackEvent(QStringLiteral("Shown"),
               {{QLatin1String(kPanelLanguageFrom), record.languageFrom().localeIdentifier()},
                {QLatin1String(kPanelLanguageTo), record.languageTo().localeIdentifier()}});
    m_originalTextView->setFocus(Qt::PopupFocusReason);
    // Highlighted text of another program cannot be read there: say so on the first showing.
    static bool hintShown = false;
    if (QVMKeyboardShortcutsService::isWaylandSession() && !std::exchange(hintShown, true) &&
        m_originalTextView->toPlainText().isEmpty())
        showMessage(tr(QVMKeyboardShortcutsService::kWaylandHint));
    updatePanelHeight(m_originalTextView);
    updatePanelHeight(m_translateTextView);
}

void QVMGenaralPopoverViewController::viewWillDisappear() {
    // A typed text not yet sent is dropped with the window.
    m_typingTimer.stop();
}

void QVMGenaralPopoverViewController::updateLanguageButtons() {
    if (!isViewLoaded())
        return;
    const QVTranslateSettings record = QVSettingsService::defaultSettings();
    const QVLanguageRealm from = record.languageFrom();
    const QVLanguageRealm to = record.languageTo();
    const auto align = [](TextViewWithPlaceHolder *view, bool rtl) {
        QTextOption option = view->document()->defaultTextOption();
        option.setAlignment(rtl ? Qt::AlignRight | Qt::AlignAbsolute : Qt::AlignLeft | Qt::AlignAbsolute);
        view->document()->setDefaultTextOption(option);
    };
    align(m_originalTextView, from.isRTL());
    align(m_translateTextView, to.isRTL());
    const bool listAvailable = QVMInterfaceFactory::shared().hasController(QLatin1String(kLanguageListNib),
                                                                           QLatin1String(kLanguageListNib));
    const auto setUp = [listAvailable](QToolButton *button, const QVLanguageRealm &language,
                                       const QString &label) {
        QVMRemoteImage::getRemoteImageForUrlString(button, language.imageFile(), true);
        const QString name = QVLanguageService::languageTitleWithoutCountryWithLanguage(language);
        button->setText(name.isEmpty() ? language.languageName() : name);
        button->setAccessibleName(label.arg(language.languageName()));
        button->setEnabled(listAvailable);
        // The name comes from the catalogue: a tooltip would render markup in it.
        button->setToolTip(listAvailable ? QVMUtils::plainToolTip(label.arg(language.languageName()))
                                         : tr("The language list is not available in this version"));
    };
    setUp(m_fromButton, from, tr("Source language: %1"));
    setUp(m_toButton, to, tr("Target language: %1"));
    m_originalTextView->setPlaceHolderString(from.languageName());
    m_translateTextView->setPlaceHolderString(to.languageName());
}

void QVMGenaralPopoverViewController::setTextQuietly(TextViewWithPlaceHolder *view, const QString &text) {
    const bool former = std::exchange(m_settingText, true);
    view->setPlainText(text);
    m_settingText = former;
}

void QVMGenaralPopoverViewController::originalTextDidChange() {
    updateUIOriginalTextView();
    if (m_settingText)
        return;
    hideMessage();
    m_typingTimer.start();
}

bool QVMGenaralPopoverViewController::eventFilter(QObject *watched, QEvent *event) {
    if ((watched == m_originalTextView || watched == m_translateTextView) &&
        event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
            !(key->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)))
            return handleReturn();
    }
    return QVMBaseVC::eventFilter(watched, event);
}

// Return translates now; with nothing to translate it only empties the result here.
bool QVMGenaralPopoverViewController::handleReturn() {
    const QString text = m_originalTextView->toPlainText();
    m_typingTimer.stop();
    if (text.isEmpty()) {
        ++m_generation;
        m_translateTextView->clear();
        updateUITranslateTextView();
        return true;
    }
    shouldTranslateText(text);
    return true;
}

void QVMGenaralPopoverViewController::showMessage(const QString &text, bool offerDownload) {
    view();
    m_messageLabel->setText(text);
    m_messageLabel->setVisible(!text.isEmpty());
    m_downloadButton->setVisible(offerDownload);
}

void QVMGenaralPopoverViewController::hideMessage() {
    if (!isViewLoaded())
        return;
    m_messageLabel->clear();
    m_messageLabel->hide();
    m_downloadButton->hide();
}

QString QVMGenaralPopoverViewController::messageText() const {
    return m_messageLabel && m_messageLabel->isVisibleTo(m_messageLabel->parentWidget())
               ? m_messageLabel->text()
               : QString();
}

void QVMGenaralPopoverViewController::openOfflinePackages() {
    QObject *controller = nullptr;
    if (m_delegate && m_delegate->isViewLoaded())
        controller = m_delegate->view()
                         ->window()
                         ->property(QVGeneralWindowController::kWindowControllerProperty)
                         .value<QObject *>();
    if (!controller || !QMetaObject::invokeMethod(controller, "showSettingsScreenWithTab",
                                                  Q_ARG(int, kSettingsTabOfflinePackages)))
        QVMInterfaceHooks::notAvailable("showSettingsScreenWithTab");
}

void QVMGenaralPopoverViewController::openDroppedFiles(const QStringList &paths) {
    if (paths.isEmpty())
        return;
    view();
    if (!isSupportedDroppedFile(paths.first())) {
        DevLog(QStringLiteral("Extension not supported: %@"), QFileInfo(paths.first()).suffix());
        showMessage(tr(kUnsupportedFile));
        return;
    }
    if (!QVMInterfaceHooks::shared().openStatusItemDroppedFiles || !m_delegate) {
        showMessage(tr(kNoFileTranslation));
        return;
    }
    if (paths.size() > 1)
        showMessage(tr(kOnlyFirstFile));
    else
        hideMessage();
    QVMInterfaceHooks::shared().openStatusItemDroppedFiles(m_delegate, {paths.first()});
}

void QVMGenaralPopoverViewController::openLanguageList(uint side) {
    platform::Error error;
    QObject *list =
        QVMInterfaceFactory::shared().instantiateNib(QLatin1String(kLanguageListNib), this, &error);
    auto *controller = qobject_cast<QVMBaseVC *>(list);
    if (!controller) {
        delete list;
        showMessage(tr("The language list is not available in this version"));
        return;
    }
    QMetaObject::invokeMethod(controller, "setSideIndex", Q_ARG(uint, side));
    QMetaObject::invokeMethod(controller, "setLastViewController", Q_ARG(QObject *, this));
    QVMStatusItem::sharedInstance().updateContentViewController(controller);
}

void QVMGenaralPopoverViewController::onFromButton() {
    trackEvent(QStringLiteral("Click List language from"));
    openLanguageList(1);
}

void QVMGenaralPopoverViewController::onToButton() {
    trackEvent(QStringLiteral("Click List language to"));
    openLanguageList(2);
}

void QVMGenaralPopoverViewController::onHoldButton() {
    m_isHold = !m_isHold;
    setButtonImage(m_holdButton,
                   QString::fromLatin1(m_isHold ? QVMPopoverIcons::kPinFilled : QVMPopoverIcons::kPin));
    m_holdButton->setChecked(m_isHold);
    QVMStatusItem::sharedInstance().windowConfiguration().setPinned(m_isHold);
    trackEvent(QLatin1String(m_isHold ? "Pine on" : "Pine off"));
}

void QVMGenaralPopoverViewController::onShowGeneralWindows() {
    showMainApp();
}

void QVMGenaralPopoverViewController::showMainApp() {
    trackEvent(QStringLiteral("Click Main button"));
    QVMStatusItem::sharedInstance().dismissStatusItemWindow();
    if (m_delegate)
        m_delegate->activateGeneralWindows();
}

// Emptied here only: the main window's panels keep what they hold.
void QVMGenaralPopoverViewController::onClearButton() {
    trackEvent(QStringLiteral("Clear Cell"));
    ++m_generation;
    m_typingTimer.stop();
    setTextQuietly(m_originalTextView, QString());
    setTextQuietly(m_translateTextView, QString());
    hideMessage();
    updateUIOriginalTextView();
    updateUITranslateTextView();
    m_originalTextView->setFocus();
}

void QVMGenaralPopoverViewController::copyResult() {
    const QString text = m_translateTextView ? m_translateTextView->toPlainText() : QString();
    if (!text.isEmpty())
        QGuiApplication::clipboard()->setText(text);
}

void QVMGenaralPopoverViewController::onFromSpeakButton(QAbstractButton *sender) {
    speak(true, sender);
}

void QVMGenaralPopoverViewController::onToSpeakButton(QAbstractButton *sender) {
    speak(false, sender);
}

// One speech service serves both speakers: either one stops whatever speaks. Speech that cannot
// start, or ends early without being stopped, says why under the result.
void QVMGenaralPopoverViewController::speak(bool source, QAbstractButton *sender) {
    view();
    const QVTranslateSettings record = QVSettingsService::defaultSettings();
    const QVLanguageRealm language = source ? record.languageFrom() : record.languageTo();
    const QVariantMap params{
        {QLatin1String(source ? kPanelLanguageFrom : kPanelLanguageTo), language.localeIdentifier()}};
    QVMSpeech &speech = QVMGeneralServices::shared().speech();
    const bool stopping = speech.speaking();
    trackEvent(QLatin1String(stopping ? "Click Stop Pronunciation" : "Click Pronunciation"), params);
    if (stopping) {
        m_speechStopped = true;
        speech.stopSpeaking();
        return;
    }
    if (!speech.hasVoiceOutput()) {
        showMessage(QVLocalizedString(QString::fromLatin1(kNoVoiceOutputKey)));
        return;
    }
    bool &flag = source ? m_isPlayFrom : m_isPlayTo;
    flag = true;
    setButtonImage(sender, QString::fromLatin1(QVMPopoverIcons::kStop));
    m_speechStopped = false;
    const QString text = (source ? m_originalTextView : m_translateTextView)->toPlainText();
    QPointer<QVMGenaralPopoverViewController> self(this);
    QPointer<QAbstractButton> button(sender);
    speech.speakText(text, language, [self, button, source, params](bool spokenToEnd) {
        if (!self)
            return;
        // Speech that ended by itself leaves the button ready to speak again.
        (source ? self->m_isPlayFrom : self->m_isPlayTo) = false;
        self->setButtonImage(button, QString::fromLatin1(QVMPopoverIcons::kVolumeHigh));
        if (!spokenToEnd && !std::exchange(self->m_speechStopped, false))
            self->showMessage(QVLocalizedString(QString::fromLatin1(kNoVoiceOutputKey)));
        self->trackEvent(QStringLiteral("Completed Pronunciation"), params);
    });
}

void QVMGenaralPopoverViewController::trackEvent(const QString &action, const QVariantMap &params) {
    QVMGeneralServices::shared().analytics().trackEvent(QLatin1String(kCategoryAgent), action, params);
}
