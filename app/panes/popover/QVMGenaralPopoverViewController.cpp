#include "QVMGenaralPopoverViewController.h"

#include "QVMPopoverIcons.h"
#include "QVMStatusItem.h"
#include "QVMStatusItemWindow.h"

#include "core/DevLog.h"
#include "core/DevLogger.h"
#include "core/history/QVDataManager.h"
#include "services/languages/QVLanguageService.h"
#include "core/localization/QVLocalizedString.h"
#include "core/models/QVBaseTranslateModel.h"
#include "core/settings/QVSettingsService.h"
#include "panes/shortcuts/QVMKeyboardShortcutsService.h"
#include "platform/store/Store.h"
#include "services/network/QVRequestManager.h"
#include "ui/PaddingTextView.h"
#include "ui/QVGeneralWindowController.h"
#include "ui/QVMColor.h"
#include "ui/QVMGeneralServices.h"
#include "ui/QVMGeneralViewController.h"
#include "ui/QVMInterfaceFactory.h"
#include "ui/QVMInterfaceHooks.h"
#include "ui/QVMRemoteImage.h"
#include "services/graphics/QVMStyleService.h"
#include "ui/TextViewWithPlaceHolder.h"

#include <QAbstractTextDocumentLayout>
#include <QClipboard>
#include <QDateTime>
#include <QFileInfo>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QShortcut>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

constexpr int kIconSize = 20;
const QString kHelveticaLight = QStringLiteral("Helvetica-Light");
constexpr int kFontSize = 20;

QString trimmedLineBreaks(QString text) {
    const auto isBreak = [](QChar c) { return c == QLatin1Char('\n') || c == QLatin1Char('\r'); };
    while (!text.isEmpty() && isBreak(text.front()))
        text.remove(0, 1);
    while (!text.isEmpty() && isBreak(text.back()))
        text.chop(1);
    return text;
}

QVLanguageRealm languageWithCode(const QString &code) {
    if (code.isEmpty())
        return {};
    const platform::ObjectStore store = platform::ObjectStore::defaultStore();
    if (store.isNull())
        return {};
    return QVLanguageRealm(store.objects(QVLanguageRealm::storeClassName())
                               .filter(platform::Key(QStringLiteral("languageString")) == code)
                               .first());
}

// The backend's detection reply: a code, or a list or object that holds one.
QString codeFromDetection(const QVariant &result) {
    if (result.typeId() == QMetaType::QString)
        return result.toString();
    if (result.canConvert<QVariantList>() && !result.toList().isEmpty())
        return codeFromDetection(result.toList().first());
    const QVariantMap map = result.toMap();
    for (const char *key : {"languageString", "language", "lang"})
        if (map.contains(QLatin1String(key)))
            return map.value(QLatin1String(key)).toString();
    return {};
}

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
    m_detector = [](const QString &text, std::function<void(const QString &)> done) {
        QVRequestManager::instance().detectLanguageForSentences(
            {text}, {QLocale::system().name()},
            [done](const QVariant &result) { done(codeFromDetection(result)); },
            [done](const platform::Error &) { done({}); });
    };
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

QToolButton *QVMGenaralPopoverViewController::makeIconButton(const QString &image, const QString &tip,
                                                             const char *objectName) {
    auto *button = new QToolButton;
    button->setObjectName(QLatin1String(objectName));
    button->setAutoRaise(true);
    button->setIconSize(QSize(kIconSize, kIconSize));
    button->setToolTip(tip);
    button->setAccessibleName(tip);
    button->setFocusPolicy(Qt::StrongFocus);
    setButtonImage(button, image);
    return button;
}

void QVMGenaralPopoverViewController::setButtonImage(QAbstractButton *button, const QString &image) {
    if (!button)
        return;
    button->setProperty(kImageNameProperty, image);
    button->setIcon(QVMPopoverIcons::icon(image, button->palette().color(QPalette::ButtonText)));
}

QString QVMGenaralPopoverViewController::imageName(const QAbstractButton *button) {
    return button ? button->property(kImageNameProperty).toString() : QString();
}

void QVMGenaralPopoverViewController::applyButtonImages() {
    for (QToolButton *button :
         {m_holdButton, m_settingsButton, m_fromSpeakButton, m_toSpeakButton, m_clearButton})
        setButtonImage(button, imageName(button));
}

QWidget *QVMGenaralPopoverViewController::loadView() {
    auto *root = new QWidget;
    root->setObjectName(QStringLiteral("QVMGenaralPopoverView"));
    root->setFixedWidth(kWidth);
    auto *layout = new QVBoxLayout(root);
    layout->setContentsMargins(10, 8, 10, 10);
    layout->setSpacing(6);

    auto *top = new QHBoxLayout;
    m_fromButton = new QToolButton;
    m_fromButton->setObjectName(QStringLiteral("fromButton"));
    m_toButton = new QToolButton;
    m_toButton->setObjectName(QStringLiteral("toButton"));
    for (QToolButton *button : {m_fromButton, m_toButton}) {
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        button->setIconSize(QSize(18, 18));
        button->setAutoRaise(true);
        button->setFocusPolicy(Qt::StrongFocus);
    }
    auto *arrow = new QLabel(QStringLiteral("\u2192"));
    arrow->setAccessibleName(QStringLiteral("to"));
    m_titleLabel = new QLabel;
    m_titleLabel->setObjectName(QStringLiteral("titleLabel"));
    m_holdButton = makeIconButton(QString::fromLatin1(QVMPopoverIcons::kPin), QString(), "holdButton");
    m_settingsButton =
        makeIconButton(QString::fromLatin1(QVMPopoverIcons::kMainWindow), QString(), "settingsButton");
    top->addWidget(m_fromButton);
    top->addWidget(arrow);
    top->addWidget(m_toButton);
    top->addWidget(m_titleLabel, 1);
    top->addWidget(m_holdButton);
    top->addWidget(m_settingsButton);
    layout->addLayout(top);

    m_boxA = new QFrame;
    m_boxA->setObjectName(QStringLiteral("boxA"));
    m_boxA->setAutoFillBackground(true);
    auto *boxA = new QVBoxLayout(m_boxA);
    boxA->setContentsMargins(4, 4, 4, 4);
    m_originalTextView = new TextViewWithPlaceHolder;
    m_originalTextView->setObjectName(QStringLiteral("originalTextView"));
    m_originalTextView->setAccessibleName(tr("Text to translate"));
    m_originalTextView->setToolTip(tr("Text to translate"));
    boxA->addWidget(m_originalTextView);
    m_fromStack = new QWidget;
    m_fromStack->setObjectName(QStringLiteral("fromStack"));
    auto *stack = new QHBoxLayout(m_fromStack);
    stack->setContentsMargins(0, 0, 0, 0);
    m_fromSpeakButton = makeIconButton(QString::fromLatin1(QVMPopoverIcons::kVolumeHigh), tr("Speak source"),
                                       "fromSpeakButton");
    m_clearButton = makeIconButton(QString::fromLatin1(QVMPopoverIcons::kClear), tr("Clear"), "clearButton");
    stack->addWidget(m_fromSpeakButton);
    stack->addStretch(1);
    stack->addWidget(m_clearButton);
    boxA->addWidget(m_fromStack);
    layout->addWidget(m_boxA);

    m_boxB = new QFrame;
    m_boxB->setObjectName(QStringLiteral("boxB"));
    m_boxB->setAutoFillBackground(true);
    auto *boxB = new QVBoxLayout(m_boxB);
    boxB->setContentsMargins(4, 4, 4, 4);
    m_translateTextView = new TextViewWithPlaceHolder;
    m_translateTextView->setObjectName(QStringLiteral("translateTextView"));
    m_translateTextView->setAccessibleName(tr("Translation"));
    m_translateTextView->setToolTip(tr("Translation"));
    boxB->addWidget(m_translateTextView);
    m_toSpeakButton = makeIconButton(QString::fromLatin1(QVMPopoverIcons::kVolumeHigh),
                                     tr("Speak translation"), "toSpeakButton");
    boxB->addWidget(m_toSpeakButton, 0, Qt::AlignLeft);
    layout->addWidget(m_boxB);

    auto *message = new QHBoxLayout;
    m_messageLabel = new QLabel;
    m_messageLabel->setObjectName(QStringLiteral("messageLabel"));
    m_messageLabel->setWordWrap(true);
    m_messageLabel->setAccessibleName(tr("Message"));
    m_downloadButton = new QPushButton(QVLocalizedString(QStringLiteral("_loc_alert_button_download")) +
                                       QStringLiteral("\u2026"));
    m_downloadButton->setObjectName(QStringLiteral("downloadButton"));
    m_downloadButton->setToolTip(tr("Open the offline language packages"));
    m_downloadButton->setAccessibleName(m_downloadButton->text());
    message->addWidget(m_messageLabel, 1);
    message->addWidget(m_downloadButton);
    layout->addLayout(message);
    m_messageLabel->hide();
    m_downloadButton->hide();

    for (TextViewWithPlaceHolder *view : {m_originalTextView, m_translateTextView}) {
        view->setFrameShape(QFrame::NoFrame);
        view->setAcceptRichText(false);
        view->setTabChangesFocus(true);
        view->installEventFilter(this);
    }
    QWidget::setTabOrder(m_fromButton, m_toButton);
    QWidget::setTabOrder(m_toButton, m_holdButton);
    QWidget::setTabOrder(m_holdButton, m_settingsButton);
    QWidget::setTabOrder(m_settingsButton, m_originalTextView);
    QWidget::setTabOrder(m_originalTextView, m_fromSpeakButton);
    QWidget::setTabOrder(m_fromSpeakButton, m_clearButton);
    QWidget::setTabOrder(m_clearButton, m_translateTextView);
    QWidget::setTabOrder(m_translateTextView, m_toSpeakButton);
    QWidget::setTabOrder(m_toSpeakButton, m_downloadButton);
    return root;
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
    const QString right = QVLocalizedString(QStringLiteral("_loc_agent_right_button_tool_tip"));
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
        button->setToolTip(listAvailable ? label.arg(language.languageName())
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

int QVMGenaralPopoverViewController::panelHeightForTextHeight(float height) {
    if (height >= 300.0f)
        return 300;
    if (height <= 30.0f)
        return 30;
    return int(height + 6.0f);
}

void QVMGenaralPopoverViewController::updatePanelHeight(TextViewWithPlaceHolder *view) {
    QTextDocument *document = view->document();
    document->setTextWidth(view->viewport()->width() > 0 ? view->viewport()->width() : kWidth - 40);
    // The text's own height, as its glyphs cover it: nothing for no text, no page margins.
    const float height =
        document->isEmpty() || !document->documentLayout()
            ? 0.0f
            : float(document->documentLayout()->documentSize().height() - 2 * document->documentMargin());
    // The rule is for the text; the view adds its page margins and frame around it.
    const int chrome = int(2 * document->documentMargin()) + 2 * view->frameWidth();
    view->setFixedHeight(panelHeightForTextHeight(height) + chrome);
}

void QVMGenaralPopoverViewController::updateUIOriginalTextView() {
    updatePanelHeight(m_originalTextView);
    m_fromStack->setVisible(!m_originalTextView->toPlainText().isEmpty());
}

void QVMGenaralPopoverViewController::updateUITranslateTextView() {
    updatePanelHeight(m_translateTextView);
    m_toSpeakButton->setVisible(!m_translateTextView->toPlainText().isEmpty());
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

void QVMGenaralPopoverViewController::translateCurrentText() {
    const QString text = isViewLoaded() ? m_originalTextView->toPlainText() : QString();
    if (!text.isEmpty())
        shouldTranslateText(text);
}

void QVMGenaralPopoverViewController::shouldTranslateText(const QString &text) {
    m_originalText = text;
    if (text.isEmpty())
        return;
    if (isNetworkAvailableNoMessage())
        translateOnline(text);
    else
        translateOfflineWithText(text);
}

void QVMGenaralPopoverViewController::translateWithText(const QString &text) {
    if (text.trimmed().isEmpty())
        return;
    view();
    m_typingTimer.stop();
    setTextQuietly(m_originalTextView, text);
    translateOnline(text);
}

void QVMGenaralPopoverViewController::translateOnline(const QString &text) {
    view();
    hideMessage();
    const QVTranslateSettings record = QVSettingsService::defaultSettings();
    Request request{++m_generation, text, record.languageFrom(), record.languageTo()};
    QPointer<QVMGenaralPopoverViewController> self(this);
    QVMGeneralServices::shared().online().translate(
        text, request.from.localeIdentifier(), request.to.localeIdentifier(),
        [self, request](const QVariantMap &reply) {
            if (self)
                self->onlineTranslationSucceeded(request, reply);
        },
        [self, request](const platform::Error &error) {
            if (self)
                self->showFailure(request, error);
        });
}

void QVMGenaralPopoverViewController::onlineTranslationSucceeded(const Request &request,
                                                                 const QVariantMap &reply) {
    const QString source = reply.value(QStringLiteral("originalText"), request.text).toString();
    const QString translation = trimmedLineBreaks(reply.value(QStringLiteral("translatedText")).toString());
    const QString translit = reply.value(QStringLiteral("transliterationTranslatedText")).toString();
    QVSettingsService::increaseTranslateWithSymbolsCount(source.size());
    if (request.generation == m_generation) {
        m_originalText = source;
        m_translatedText = translation;
        showResult(request, source, translation);
        const QVTranslateSettings record = QVSettingsService::defaultSettings();
        if (record.autoSpeak() && !record.languageTo().voiceLocale().isEmpty())
            onToSpeakButton(nullptr);
    }
    if (!request.from.isAuto()) {
        saveHistory(request, request.from, source, translation, translit);
        return;
    }
    // An automatic source is stored as the language it turned out to be.
    const QVLanguageRealm detected =
        languageWithCode(reply.value(QStringLiteral("detectedLanguage")).toString());
    if (!detected.isNull() || !m_detector) {
        saveHistory(request, detected.isNull() ? request.from : detected, source, translation, translit);
        return;
    }
    QPointer<QVMGenaralPopoverViewController> self(this);
    m_detector(source, [self, request, source, translation, translit](const QString &code) {
        if (!self)
            return;
        const QVLanguageRealm found = languageWithCode(code);
        self->saveHistory(request, found.isNull() ? request.from : found, source, translation, translit);
    });
}

void QVMGenaralPopoverViewController::saveHistory(const Request &request, const QVLanguageRealm &from,
                                                  const QString &source, const QString &translation,
                                                  const QString &translit) {
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const platform::Error error = QVDataManager::sharedInstance().saveTranslationWithIdTranslation(
        QVBaseTranslateModel::identifierForDate(now), 1, from, request.to, false, source, translation,
        QString(), translit, QVBaseTranslateModel::timeIntervalSinceReferenceDate(now));
    if (error)
        DevLogger::logError(error, QStringLiteral("saveTranslationWithIdTranslation:"));
}

void QVMGenaralPopoverViewController::showResult(const Request &request, const QString &source,
                                                 const QString &translation) {
    Q_UNUSED(request)
    setTextQuietly(m_translateTextView, translation);
    updateUITranslateTextView();
    mirrorIntoMainWindow(source, translation);
}

void QVMGenaralPopoverViewController::showFailure(const Request &request, const platform::Error &error) {
    if (request.generation != m_generation)
        return;
    const QString text = error ? error.localizedDescription() : QString();
    showMessage(text.isEmpty() ? QVLocalizedString(QStringLiteral("_loc_error")) : text);
}

void QVMGenaralPopoverViewController::translateOfflineWithText(const QString &text) {
    view();
    hideMessage();
    QVMOfflineTranslator &offline = QVMGeneralServices::shared().offline();
    const QVTranslateSettings record = QVSettingsService::defaultSettings();
    Request request{++m_generation, text, record.languageFrom(), record.languageTo()};
    if (const platform::Error check = offline.checkOfflinePackagesForSelectedLanguages()) {
        DevLog(QStringLiteral("Message"));
        showMessage(check.localizedDescription().isEmpty() ? tr("No network and no offline language package")
                                                           : check.localizedDescription(),
                    check.code() == kErrorPackageCanBeDownloaded);
        return;
    }
    offline.setFromLanguage(request.from, request.to);
    QPointer<QVMGenaralPopoverViewController> self(this);
    offline.translatedTextFromText(text,
                                   [self, request](const QString &translated, const platform::Error &error) {
                                       if (self)
                                           self->offlineTranslationFinished(request, translated, error);
                                   });
}

void QVMGenaralPopoverViewController::offlineTranslationFinished(const Request &request,
                                                                 const QString &translated,
                                                                 const platform::Error &error) {
    if (error) {
        showFailure(request, error);
        return;
    }
    QVSettingsService::increaseTranslateWithSymbolsCount(request.text.size());
    if (request.generation == m_generation) {
        m_originalText = request.text;
        m_translatedText = translated;
        showResult(request, request.text, translated);
    }
    saveHistory(request, request.from, request.text, translated, QString());
}

// The main window keeps text the user typed there and has not translated yet.
bool QVMGenaralPopoverViewController::mayMirrorIntoMainWindow() const {
    if (!m_delegate || !m_delegate->isViewLoaded())
        return false;
    const QString shown = m_delegate->fromTranslateTextView()->toPlainText();
    if (shown.isEmpty())
        return true;
    const QVTranslationRealm record = m_delegate->translateObject();
    return (record.isValid() && shown == record.originalText()) || shown == m_delegate->originalText();
}

void QVMGenaralPopoverViewController::mirrorIntoMainWindow(const QString &source,
                                                           const QString &translation) {
    if (!mayMirrorIntoMainWindow())
        return;
    m_delegate->statusItemViewDidChangeText(0, source);
    m_delegate->statusItemViewDidChangeText(1, translation);
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

void QVMGenaralPopoverViewController::speak(bool source, QAbstractButton *sender) {
    view();
    bool &flag = source ? m_isPlayFrom : m_isPlayTo;
    flag = !flag;
    setButtonImage(sender, QString::fromLatin1(flag ? QVMPopoverIcons::kStop : QVMPopoverIcons::kVolumeHigh));
    const QVTranslateSettings record = QVSettingsService::defaultSettings();
    const QVLanguageRealm language = source ? record.languageFrom() : record.languageTo();
    const QVariantMap params{
        {QLatin1String(source ? kPanelLanguageFrom : kPanelLanguageTo), language.localeIdentifier()}};
    QVMSpeech &speech = QVMGeneralServices::shared().speech();
    trackEvent(QLatin1String(speech.speaking() ? "Click Stop Pronunciation" : "Click Pronunciation"), params);
    const QString text = (source ? m_originalTextView : m_translateTextView)->toPlainText();
    QPointer<QVMGenaralPopoverViewController> self(this);
    QPointer<QAbstractButton> button(sender);
    speech.speechText(text, language, [self, button, source, params] {
        if (!self)
            return;
        // Speech that ended by itself leaves the button ready to speak again.
        (source ? self->m_isPlayFrom : self->m_isPlayTo) = false;
        self->setButtonImage(button, QString::fromLatin1(QVMPopoverIcons::kVolumeHigh));
        self->trackEvent(QStringLiteral("Completed Pronunciation"), params);
    });
}

void QVMGenaralPopoverViewController::trackEvent(const QString &action, const QVariantMap &params) {
    QVMGeneralServices::shared().analytics().trackEvent(QLatin1String(kCategoryAgent), action, params);
}

void QVMGenaralPopoverViewController::didChangeColorTheme(bool dark) {
    Q_UNUSED(dark)
    applyTheme();
}

void QVMGenaralPopoverViewController::applyTheme() {
    if (!isViewLoaded())
        return;
    const bool dark = QVMStyleService::isDarkMode();
    const QColor boxA = dark ? QColor(Qt::black) : QColor(Qt::white);
    const QColor panel = dark ? QVMColor::customDarkGrayColor() : QVMColor::customLightGrayColor();
    const QColor text = dark ? QColor(Qt::white) : QColor(Qt::black);
    QPalette root = view()->palette();
    root.setColor(QPalette::Window, boxA);
    root.setColor(QPalette::WindowText, text);
    root.setColor(QPalette::ButtonText, text);
    root.setColor(QPalette::Text, text);
    root.setColor(QPalette::Base, panel);
    root.setColor(QPalette::PlaceholderText, dark ? QColor(170, 170, 170) : QColor(100, 100, 100));
    view()->setPalette(root);
    view()->setAutoFillBackground(true);
    QPalette a = m_boxA->palette();
    a.setColor(QPalette::Window, boxA);
    m_boxA->setPalette(a);
    QPalette b = m_boxB->palette();
    b.setColor(QPalette::Window, panel);
    m_boxB->setPalette(b);
    for (TextViewWithPlaceHolder *view : {m_originalTextView, m_translateTextView}) {
        QPalette p = view->palette();
        p.setColor(QPalette::Base, panel);
        p.setColor(QPalette::Text, text);
        view->setPalette(p);
        TextViewWithPlaceHolder::Placeholder hint = view->placeholder();
        hint.color = root.color(QPalette::PlaceholderText);
        view->setPlaceholder(hint);
    }
    applyButtonImages();
}
