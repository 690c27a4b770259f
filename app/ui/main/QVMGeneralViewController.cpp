#include "ui/main/QVMGeneralViewController.h"

#include "services/graphics/QVMImage.h"
#include "services/graphics/QVMStyleService.h"
#include "ui/controls/PaddingTextView.h"
#include "ui/controls/QVMControls.h"
#include "ui/controls/QVMSpinner.h"
#include "ui/foundation/QVMControlAvailability.h"
#include "ui/foundation/QVMInterfaceFactory.h"
#include "ui/foundation/QVMInterfaceHooks.h"
#include "ui/foundation/QVMLocalization.h"
#include "ui/main/QVMDocumentHandOff.h"
#include "ui/main/QVMPartOfSpeechHighlighter.h"
#include "ui/main/QVMTextFileLoader.h"
#include "ui/style/QVMColor.h"
#include "ui/window/QVMFirstFrame.h"

#include "core/DevLog.h"
#include "core/localization/QVLocalizedString.h"
#include "core/settings/QVAuthService.h"
#include "core/settings/QVSettingsService.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFrame>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeData>
#include <QSplitter>
#include <QTextDocument>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// Reached by Tab, never by a click, so a click leaves the focus in the text the Edit menu acts on.
QToolButton *makeButton(QWidget *parent, const char *locKey, bool checkable = false) {
    auto *button = new QToolButton(parent);
    QVMLocalization::setLocKey(button, QString::fromLatin1(locKey));
    button->setToolTip(button->text());
    button->setAccessibleName(button->text());
    button->setCheckable(checkable);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::TabFocus);
    return button;
}

QComboBox *makePartOfSpeechPopUp(QWidget *parent, const char *locKey) {
    auto *popUp = new QComboBox(parent);
    popUp->setFocusPolicy(Qt::TabFocus);
    const QString name = QVLocalizedString(QString::fromLatin1(locKey));
    popUp->setToolTip(name);
    popUp->setAccessibleName(name);
    popUp->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    return popUp;
}

// The text views give Tab to the focus chain; Ctrl+Tab still inserts one.
void setUpTextView(PaddingTextView *text) {
    text->setTabChangesFocus(true);
    QFont font = text->font();
    font.setPointSizeF(15.0);
    text->setFont(font);
}

} // namespace

QVMGeneralViewController::QVMGeneralViewController(QObject *parent)
    : QVMBaseVC(parent), m_availability(new QVMControlAvailability(this)),
      m_textFiles(new QVMTextFileLoader(this)), m_handOff(new QVMDocumentHandOff(this)) {
    m_deferredTimer.setSingleShot(true);
    connect(&m_deferredTimer, &QTimer::timeout, this, &QVMGeneralViewController::sendDeferredTranslation);
    m_pbTimer.setInterval(kPasteBoardPollMs);
    connect(&m_pbTimer, &QTimer::timeout, this, &QVMGeneralViewController::checkPasteBoard);
    m_unhighlightTimer.setSingleShot(true);
    if (QClipboard *clipboard = QGuiApplication::clipboard())
        connect(clipboard, &QClipboard::dataChanged, this, [this] { ++m_clipboardChanges; });
}

QVMGeneralViewController::~QVMGeneralViewController() {
    m_settingsTokens.clear();
    for (const platform::NotificationCenter::Token token : std::as_const(m_observers))
        platform::NotificationCenter::defaultCenter().removeObserver(token);
    m_shownRecordToken.invalidate();
}

void QVMGeneralViewController::setClock(Clock clock) {
    m_clock = std::move(clock);
}

QDateTime QVMGeneralViewController::now() const {
    return m_clock ? m_clock() : QDateTime::currentDateTimeUtc();
}

QWidget *QVMGeneralViewController::toScrollView() const {
    return m_toText;
}

// Two framed panels in a splitter, each with its buttons above the text.
QWidget *QVMGeneralViewController::loadView() {
    auto *root = new QWidget;
    root->setObjectName(QStringLiteral("QVMGeneralView"));
    auto *layout = new QVBoxLayout(root);
    layout->setContentsMargins(12, 12, 12, 12);
    m_splitView = new QSplitter(Qt::Vertical, root);
    m_splitView->setChildrenCollapsible(false);
    m_splitView->setHandleWidth(0);
    m_fromContainer = makePanel(true);
    m_toContainer = makePanel(false);
    m_splitView->addWidget(m_fromContainer);
    m_splitView->addWidget(m_toContainer);
    layout->addWidget(m_splitView);
    return root;
}

QWidget *QVMGeneralViewController::makePanel(bool source) {
    auto *container = new QWidget;
    auto *containerLayout = new QVBoxLayout(container);
    containerLayout->setContentsMargins(0, 0, 0, 0);
    auto *box = new QFrame(container);
    box->setObjectName(source ? QStringLiteral("fromBox") : QStringLiteral("toBox"));
    box->setFrameShape(QFrame::NoFrame);
    box->setAutoFillBackground(true);
    containerLayout->addWidget(box);

    auto *boxLayout = new QVBoxLayout(box);
    boxLayout->setContentsMargins(6, 6, 6, 6);
    boxLayout->setSpacing(4);
    auto *bar = new QHBoxLayout;
    bar->setSpacing(2);
    auto *text = new PaddingTextView(box);
    text->setObjectName(source ? QStringLiteral("fromTranslateTextView")
                               : QStringLiteral("toTranslateTextView"));
    text->setFrameShape(QFrame::NoFrame);
    text->setAcceptRichText(false);
    setUpTextView(text);
    if (source) {
        m_fromBox = box;
        m_fromText = text;
        text->setAccessibleName(QVLocalizedString(QStringLiteral("_loc_main_original")));
        text->setToolTip(QVLocalizedString(QStringLiteral("_loc_main_original_tooltip")));
        text->setPlaceholderText(QVLocalizedString(QStringLiteral("_loc_main_placeholder")));
        m_partOfSpeechFrom = makePartOfSpeechPopUp(box, "_loc_main_parts_of_speech_from");
        m_fromSpeakerButton = makeButton(box, "_loc_main_speak", true);
        m_micButton = makeButton(box, "_loc_main_dictation");
        m_pasteButton = makeButton(box, "_loc_main_paste");
        m_photoButton = makeButton(box, "_loc_main_photo");
        m_webPageButton = makeButton(box, "_loc_main_web_page");
        m_fileButton = makeButton(box, "_loc_main_file");
        m_clearButton = makeButton(box, "_loc_main_clear");
        for (QWidget *widget :
             {static_cast<QWidget *>(m_partOfSpeechFrom), static_cast<QWidget *>(m_fromSpeakerButton),
              static_cast<QWidget *>(m_micButton), static_cast<QWidget *>(m_pasteButton)})
            bar->addWidget(widget);
        bar->addStretch(1);
        for (QWidget *widget : {m_photoButton, m_webPageButton, m_fileButton, m_clearButton})
            bar->addWidget(widget);
    } else {
        m_toBox = box;
        m_toText = text;
        text->setAccessibleName(QVLocalizedString(QStringLiteral("_loc_main_translation")));
        text->setToolTip(QVLocalizedString(QStringLiteral("_loc_main_translation_tooltip")));
        m_partOfSpeechTo = makePartOfSpeechPopUp(box, "_loc_main_parts_of_speech_to");
        m_toSpeakerButton = makeButton(box, "_loc_main_speak", true);
        m_favoriteButton = makeButton(box, "_loc_main_favorite", true);
        m_toPasteboardButton = makeButton(box, "_loc_main_copy");
        m_shareButton = makeButton(box, "_loc_main_share");
        bar->addWidget(m_partOfSpeechTo);
        bar->addWidget(m_toSpeakerButton);
        bar->addStretch(1);
        for (QWidget *widget : {m_favoriteButton, m_toPasteboardButton, m_shareButton})
            bar->addWidget(widget);
    }
    boxLayout->addLayout(bar);
    boxLayout->addWidget(text, 1);
    if (!source) {
        auto *via = new QHBoxLayout;
        m_translatedViaImage = new QLabel(box);
        m_translatedViaField = new QLabel(box);
        via->addWidget(m_translatedViaImage);
        via->addWidget(m_translatedViaField);
        via->addStretch(1);
        boxLayout->addLayout(via);
    }
    return container;
}

void QVMGeneralViewController::viewDidLoad() {
    QVMInterfaceHooks &hooks = QVMInterfaceHooks::shared();
    QVMInterfaceHooks::call(hooks.setServicesMenuDelegate, "setServicesMenuDelegate", this);
    QVMInterfaceHooks::call(hooks.lozyMenuBarItem, "lozyMenuBarItem", this);
    lozyTextView();
    lozyNotificationCenter();
    lozyAvailability();
    lozyBind();
    lazyDirection();
    lazyPartOfSpeech();
    for (QComboBox *popUp : {m_partOfSpeechFrom, m_partOfSpeechTo})
        popUp->installEventFilter(this);
    // What the clipboard holds now, not only after its next change. Asking waits for the X
    // server's answer: at launch, once the window is on the screen.
    QVMFirstFrame::whenDrawn([self = QPointer<QVMGeneralViewController>(this)] {
        if (self)
            self->updatePasteButton();
    });
    showSpinner(false);
    m_saveDirection = 1;
    if (!QVAuthService::authToken().isEmpty())
        syncronizeBookmarks();
    QVSettingsService::setTranslationMode(0);
    m_fromText->setFocus();
    observeThemeColor();
    viewDidLayout();

    connect(m_pasteButton, &QToolButton::clicked, this, &QVMGeneralViewController::opPasteToOriginal);
    connect(m_clearButton, &QToolButton::clicked, this, &QVMGeneralViewController::onClear);
    connect(m_toPasteboardButton, &QToolButton::clicked, this,
            &QVMGeneralViewController::onCopyFromTranslated);
    connect(m_fromSpeakerButton, &QToolButton::clicked, this,
            &QVMGeneralViewController::onSpeechSynthesisFrom);
    connect(m_toSpeakerButton, &QToolButton::clicked, this, &QVMGeneralViewController::onSpeechSynthesisTo);
    connect(m_micButton, &QToolButton::clicked, this, &QVMGeneralViewController::onMicrophone);
    connect(m_favoriteButton, &QToolButton::clicked, this, [this] {
        // The favourite's state is the record's, which the favourites part sets.
        m_favoriteButton->setChecked(!m_favoriteButton->isChecked());
        QVMInterfaceHooks::call(QVMInterfaceHooks::shared().onFavorite, "onFavorite", this);
    });
    connect(m_shareButton, &QToolButton::clicked, this, [this] {
        QVMInterfaceHooks::call(QVMInterfaceHooks::shared().onShare, "onShare", this,
                                static_cast<QAbstractButton *>(m_shareButton));
    });
    const auto hookButton = [this](QToolButton *button, std::function<void(QVMGeneralViewController *)> *hook,
                                   const char *name) {
        connect(button, &QToolButton::clicked, this,
                [this, hook, name] { QVMInterfaceHooks::call(*hook, name, this); });
    };
    QVMInterfaceHooks &hooksForButtons = QVMInterfaceHooks::shared();
    hookButton(m_photoButton, &hooksForButtons.onOpenPhoto, "onOpenPhoto");
    hookButton(m_webPageButton, &hooksForButtons.onOpenTranslateWebPages, "onOpenTranslateWebPages");
    hookButton(m_fileButton, &hooksForButtons.onOpenFile, "onOpenFile");
    connect(m_partOfSpeechFrom, qOverload<int>(&QComboBox::activated), this,
            &QVMGeneralViewController::onPartOfSpeechFrom);
    connect(m_partOfSpeechTo, qOverload<int>(&QComboBox::activated), this,
            &QVMGeneralViewController::onPartOfSpeechTo);
    // Dictation exists only where a provider offers it.
    m_micButton->setVisible(bool(QVMInterfaceHooks::shared().dictationProvider));
    if (QVMInterfaceHooks::shared().setUpPanels)
        QVMInterfaceHooks::shared().setUpPanels(this);
}

// Buttons whose window or service comes with another part of the program.
void QVMGeneralViewController::lozyAvailability() {
    const auto hooked = [](std::function<void(QVMGeneralViewController *)> QVMInterfaceHooks::*hook) {
        return [hook] { return bool(QVMInterfaceHooks::shared().*hook); };
    };
    m_availability->add(m_photoButton, hooked(&QVMInterfaceHooks::onOpenPhoto));
    m_availability->add(m_webPageButton, hooked(&QVMInterfaceHooks::onOpenTranslateWebPages));
    m_availability->add(m_fileButton, hooked(&QVMInterfaceHooks::onOpenFile));
    m_availability->add(m_favoriteButton, hooked(&QVMInterfaceHooks::onFavorite));
    m_availability->add(m_shareButton, [] { return bool(QVMInterfaceHooks::shared().onShare); });
}

void QVMGeneralViewController::viewWillAppear() {
    m_pbTimer.start();
}

void QVMGeneralViewController::viewDidAppear() {
    const QVTranslateSettings &record = settings();
    if (!record.wasIntroScreenShown() && record.remoteSettings().enableIntroScreen()) {
        QVSettingsService::setWasIntroScreenShown(true);
        const QString storyboard = QStringLiteral("QVMIntro");
        const QString identifier = QStringLiteral("QVMIntroVC");
        auto *intro =
            QVMInterfaceFactory::shared().hasController(storyboard, identifier)
                ? QVMInterfaceFactory::shared().instantiateController<QVMBaseVC>(storyboard, identifier, this)
                : nullptr;
        if (intro) {
            const QSize size = view()->window()->size();
            intro->resizeToFitInSize(QSizeF(size), QMarginsF(0, 32, 0, 0));
            showModalViewController(intro);
        } else {
            QVMInterfaceHooks::notAvailable("QVMIntroVC");
        }
    }
    trackMainScreenOpen();
}

void QVMGeneralViewController::viewWillDisappear() {
    m_pbTimer.stop();
}

void QVMGeneralViewController::trackMainScreenOpen() {
    trackEvent(QStringLiteral("Open"),
               {{QStringLiteral("is_authorized"),
                 QVAuthService::authToken().isEmpty() ? QStringLiteral("no") : QStringLiteral("yes")}});
}

void QVMGeneralViewController::trackEvent(const QString &action, const QVariantMap &params) {
    QVMGeneralServices::shared().analytics().trackEvent(QString::fromLatin1(kCategoryMainScreen), action,
                                                        params);
}

// The panels keep what they show: only their colours are made again.
void QVMGeneralViewController::didChangeColorTheme(bool dark) {
    Q_UNUSED(dark)
    viewDidLayout();
    updateTranslateViewFrom();
    updateTranslateViewToWithUseTrans(m_isToTextViewWithTrans);
}

// Documents and web pages are translated online: their buttons follow the connection.
void QVMGeneralViewController::reachabilityDidChange(int status) {
    Q_UNUSED(status)
    updateFileButton();
    updateWebPageButton();
}

// Panel frames and text in the colours of the appearance.
void QVMGeneralViewController::viewDidLayout() {
    const bool dark = QVMStyleService::isDarkMode();
    const QColor background = dark ? QVMColor::panelBackgroundDarkColor() : QColor(Qt::white);
    for (QWidget *box : {static_cast<QWidget *>(m_fromBox), static_cast<QWidget *>(m_toBox)}) {
        QPalette palette = box->palette();
        palette.setColor(QPalette::Window, background);
        box->setPalette(palette);
    }
    for (PaddingTextView *text : {m_fromText, m_toText}) {
        QPalette palette = text->palette();
        palette.setColor(QPalette::Base, background);
        text->setPalette(palette);
        setPanelTextColor(text);
    }
    for (QVMPartOfSpeechHighlighter *highlighter : {m_fromHighlighter, m_toHighlighter})
        if (highlighter)
            highlighter->setBackground(background);
}

QColor QVMGeneralViewController::themeTextColor() const {
    return QVMStyleService::isDarkMode() ? QColor(Qt::white) : QColor(Qt::black);
}

void QVMGeneralViewController::setPanelTextColor(PaddingTextView *view) {
    QPalette palette = view->palette();
    const QColor colour = themeTextColor();
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        palette.setColor(group, QPalette::Text, colour);
    view->setPalette(palette);
}

// The record alone is observed: watching the whole history would keep a list of every
// record's id in memory.
void QVMGeneralViewController::setTranslateObject(const QVTranslationRealm &record) {
    m_translateObject = record;
    m_shownRecordToken.invalidate();
    if (record.isNull() || !record.isManaged() || !record.isValid())
        return;
    QPointer<QVMGeneralViewController> self(this);
    m_shownRecordToken = record.observe(
        [self](const platform::ObjectChange &change) {
            if (self && change.deleted)
                self->clear();
        },
        {QStringLiteral("originalText")});
}

void QVMGeneralViewController::lozyNotificationCenter() {
    platform::NotificationCenter &center = platform::NotificationCenter::defaultCenter();
    QPointer<QVMGeneralViewController> self(this);
    m_observers << center.addObserver(
        QString::fromLatin1(kActionHistoryNotification), [self](const QVariantMap &info) {
            const auto object = info.value(QString::fromLatin1(kObjectKey));
            if (self && object.canConvert<platform::Object>())
                self->showHistory(QVTranslationRealm(object.value<platform::Object>()));
        });
    m_observers << center.addObserver(
        QString::fromLatin1(kActionHistoryBookmarkNotification), [self](const QVariantMap &info) {
            const auto object = info.value(QString::fromLatin1(kObjectKey));
            if (self && object.canConvert<platform::Object>())
                self->bookmarkStatusChanged(QVTranslationRealm(object.value<platform::Object>()));
        });
    m_observers << center.addObserver(
        QString::fromLatin1(PaddingTextView::kPasteNotification), [self](const QVariantMap &info) {
            if (self)
                self->textPasteHandler(
                    info.value(QString::fromLatin1(PaddingTextView::kObjectKey)).value<QObject *>());
        });
    // Typing attributes: a font or alignment change of either panel is kept for the next launch.
    for (PaddingTextView *text : {m_fromText, m_toText}) {
        connect(text, &QTextEdit::currentCharFormatChanged, this,
                [this, text] { typingAttributesDidChange(text); });
        text->installEventFilter(this);
    }
}

void QVMGeneralViewController::lozyTextView() {
    for (PaddingTextView *text : {m_fromText, m_toText}) {
        connect(text, &QTextEdit::textChanged, this, [this, text] { textDidChange(text); });
        connect(text, &QTextEdit::selectionChanged, this, [this, text] { selectionDidChange(text); });
        connect(text, &QTextEdit::cursorPositionChanged, this, [this, text] { cursorDidMove(text); });
        connect(text, &PaddingTextView::textViewDidBecomeFirstResponder, this, [this](PaddingTextView *view) {
            m_saveDirection = view == m_fromText ? 1 : 2;
            if (view == m_toText)
                updateTranslateViewToWithUseTrans(false);
        });
        connect(text, &PaddingTextView::textViewWasDraggedFile, this,
                [this, text](const QString &path) { textViewWasDraggedFile(path, text); });
    }
    m_fromHighlighter = new QVMPartOfSpeechHighlighter(m_fromText->document());
    m_toHighlighter = new QVMPartOfSpeechHighlighter(m_toText->document());
    // The source panel keeps its stored alignment even when the font is gone; the result panel does not.
    QVMPanelFonts::restore(m_fromText, fontKeys(true), true);
    QVMPanelFonts::restore(m_toText, fontKeys(false), false);
    for (QLabel *label : {m_translatedViaField, m_translatedViaImage}) {
        auto *opacity = new QGraphicsOpacityEffect(label);
        opacity->setOpacity(0.5);
        label->setGraphicsEffect(opacity);
    }
}

// Buttons that follow the languages' capabilities, one observation per group of key paths.
void QVMGeneralViewController::lozyBind() {
    const QVTranslateSettings record = settings();
    QPointer<QVMGeneralViewController> self(this);
    const auto observe = [&](const QStringList &keyPaths, std::function<void()> react) {
        if (record.isNull() || !record.isManaged())
            return;
        m_settingsTokens.push_back(record.observe(
            [self, react](const platform::ObjectChange &change) {
                if (self && !change.deleted)
                    react();
            },
            keyPaths));
    };
    const auto updatePhotoButton = [this] {
        const QVTranslateSettings current = settings();
        m_availability->setWanted(
            m_photoButton, current.isValid() && current.languageFrom().languageModes().imageRecognition(),
            QVLocalizedString(QStringLiteral("_loc_reason_no_pictures")));
    };
    observe({QStringLiteral("languageFrom.languageModes.imageRecognition")}, updatePhotoButton);
    observe({QStringLiteral("languageFrom.languageModes.translateWebSite"),
             QStringLiteral("languageTo.languageModes.translateWebSite")},
            [this] { updateWebPageButton(); });
    observe({QStringLiteral("languageFrom.languageModes.translateDocument"),
             QStringLiteral("languageTo.languageModes.translateDocument")},
            [this] { updateFileButton(); });
    observe({QStringLiteral("languageFrom"), QStringLiteral("languageTo")},
            [this] { updatePartsOfSpeechButtonsState(); });
    updatePhotoButton();
    updateWebPageButton();
    updateFileButton();
    const QString noTranslation = QVLocalizedString(QStringLiteral("_loc_reason_no_translation"));
    for (QToolButton *button : {m_shareButton, m_toPasteboardButton, m_favoriteButton})
        m_availability->setWanted(button, false, noTranslation);
    for (QToolButton *button : {m_toSpeakerButton, m_fromSpeakerButton})
        m_availability->setWanted(button, false,
                                  QVLocalizedString(QStringLiteral("_loc_reason_no_text_to_speak")));
    m_availability->setWanted(m_clearButton, false,
                              QVLocalizedString(QStringLiteral("_loc_reason_panels_empty")));
}

// One tick of the clipboard poll: one comparison unless the clipboard changed.
void QVMGeneralViewController::checkPasteBoard() {
    if (m_clipboardChanges == m_pbChangeCount)
        return;
    m_pbChangeCount = m_clipboardChanges;
    updatePasteButton();
}

void QVMGeneralViewController::updatePasteButton() {
    const QMimeData *mime = QGuiApplication::clipboard() ? QGuiApplication::clipboard()->mimeData() : nullptr;
    const bool text = mime && (mime->hasText() || mime->hasFormat(QStringLiteral("text/rtf")) ||
                               mime->hasFormat(QStringLiteral("application/rtf")) || mime->hasHtml());
    QVMControlAvailability::setEnabled(m_pasteButton, text,
                                       QVLocalizedString(QStringLiteral("_loc_reason_clipboard_empty")));
}

bool QVMGeneralViewController::eventFilter(QObject *watched, QEvent *event) {
    // A pop-up hears of a new palette once it holds it: the picture is tinted then.
    if (event->type() == QEvent::PaletteChange && m_partOfSpeechFrom &&
        (watched == m_partOfSpeechFrom || watched == m_partOfSpeechTo))
        tintPartOfSpeechImage(static_cast<QComboBox *>(watched));
    // Cast only for the events handled: a panel being destroyed still sends events, and by then it is
    // no longer a PaddingTextView.
    const bool handled = event->type() == QEvent::KeyPress || event->type() == QEvent::FontChange;
    if (handled && (watched == m_fromText || watched == m_toText)) {
        auto *view = static_cast<PaddingTextView *>(watched);
        if (event->type() == QEvent::KeyPress && handleKeyCommand(view, static_cast<QKeyEvent *>(event)))
            return true;
        if (event->type() == QEvent::FontChange)
            typingAttributesDidChange(view);
    }
    return QVMBaseVC::eventFilter(watched, event);
}

void QVMGeneralViewController::segmentZoom(int segment) {
    QVMInterfaceHooks::call(QVMInterfaceHooks::shared().segmentZoom, "segmentZoom", this, segment);
}

void QVMGeneralViewController::showAgent() {
    QVMInterfaceHooks::call(QVMInterfaceHooks::shared().showAgent, "showAgent", this);
}

void QVMGeneralViewController::activateGeneralWindows() {
    if (!isViewLoaded())
        return;
    QWidget *window = view()->window();
    if (window->isMinimized())
        window->showNormal();
    else
        window->show();
    window->raise();
    window->activateWindow();
}

void QVMGeneralViewController::onClear() {
    trackEvent(QStringLiteral("Clear Cell (Translate from)"));
    clear();
}
