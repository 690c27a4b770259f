#pragma once

#include "ui/adapters/QVMGeneralServices.h"
#include "ui/foundation/QVMBaseVC.h"
#include "ui/main/QVMPanelFonts.h"

#include "core/models/QVSentenceDTO.h"
#include "core/models/QVTranslationRealm.h"
#include "platform/NotificationCenter.h"
#include "platform/store/Store.h"

#include <QDateTime>
#include <QPointer>
#include <QSet>
#include <QTimer>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class PaddingTextView;
class QAbstractButton;
class QPdfDocument;
class QPrinter;
class QTextDocument;
class QTextEdit;
class QComboBox;
class QFrame;
class QLabel;
class QSplitter;
class QToolButton;
class QVMControlAvailability;
class QVMDocumentHandOff;
class QVMPanelsSnapshot;
class QVMPartOfSpeechHighlighter;
class QVMTextFileLoader;

// The main translation view: the source and result panels with their buttons.
// A translation starts only on an explicit trigger (Return when
// "TranslateByEnterSetting" is on, a paste, the paste button, text from the
// Services provider, the toolbar's translate and swap buttons, a language
// chosen), never from typing. Online with the network, else offline; the
// result goes to the history and is shown coloured and with its
// transliteration as the user defaults say.
//
//   auto *view = new QVMGeneralViewController(splitController);
//   splitter->addWidget(view->view());
//   view->updateBufferFromService(text, 0);   // shows the text and translates it
//
// Every request carries a generation: only the newest request's reply touches
// the panels, so a slow reply never overwrites a newer result (older replies
// still go to the history). Online requests keep 2.0 s apart: a trigger inside
// the window is sent, with the text the panel holds then, when it ends.
class QVMGeneralViewController : public QVMBaseVC {
    Q_OBJECT
public:
    explicit QVMGeneralViewController(QObject *parent = nullptr);
    ~QVMGeneralViewController() override;

    using Clock = std::function<QDateTime()>;
    // The time the 2.0 s rule and new history ids read (tests); empty restores the system clock.
    void setClock(Clock clock);
    QDateTime now() const;

    // Widgets, made with the view.
    PaddingTextView *fromTranslateTextView() const { return m_fromText; }
    PaddingTextView *toTranslateTextView() const { return m_toText; }
    QSplitter *generalSplitView() const { return m_splitView; }
    QFrame *fromBox() const { return m_fromBox; }
    QFrame *toBox() const { return m_toBox; }
    QToolButton *favoriteButton() const { return m_favoriteButton; }
    QToolButton *fromSpeakerButton() const { return m_fromSpeakerButton; }
    QToolButton *toSpeakerButton() const { return m_toSpeakerButton; }
    QToolButton *micButton() const { return m_micButton; }
    QToolButton *photoButton() const { return m_photoButton; }
    QToolButton *webPageButton() const { return m_webPageButton; }
    QToolButton *fileButton() const { return m_fileButton; }
    QToolButton *shareButton() const { return m_shareButton; }
    QToolButton *toPasteboardButton() const { return m_toPasteboardButton; }
    QToolButton *clearButton() const { return m_clearButton; }
    QToolButton *pasteButton() const { return m_pasteButton; }
    QComboBox *partOfSpeechFromButton() const { return m_partOfSpeechFrom; }
    QComboBox *partOfSpeechToButton() const { return m_partOfSpeechTo; }
    QLabel *translatedViaField() const { return m_translatedViaField; }
    QLabel *translatedViaImageView() const { return m_translatedViaImage; }
    QWidget *toScrollView() const;

    // The three margins of the panels' layout: first panel's bottom, second
    // panel's left and top (12/6/12 side by side, 6/12/6 one above the other).
    int firstBottomLC() const { return m_firstBottom; }
    int secondLeftLC() const { return m_secondLeft; }
    int secondTopLC() const { return m_secondTop; }

    // State of the translation on screen.
    QString originalText() const { return m_originalText; }
    QString translatedText() const { return m_translatedText; }
    QVTranslationRealm translateObject() const { return m_translateObject; }
    QString translationCompany() const { return m_translationCompany; }
    QList<QVSentenceDTO> originalSentencesArray() const { return m_originalSentences; }
    QList<QVSentenceDTO> translatedSentencesArray() const { return m_translatedSentences; }
    bool isToTextViewWithTrans() const { return m_isToTextViewWithTrans; }
    std::optional<QDateTime> lastTranslationTime() const { return m_lastTranslationTime; }
    uint saveDirection() const { return m_saveDirection; }
    void setSaveDirection(uint direction) { m_saveDirection = direction; }
    // A request is on its way (the spinner shows).
    bool isTranslating() const { return m_pending.contains(m_generation); }
    bool hasDeferredTranslation() const { return m_deferredTimer.isActive(); }

    // Open photo and web-page windows take translation requests instead of
    // the main view: their invokable "onTransleteImage" and "translate".
    QObject *photoRecognitionController() const { return m_photoController; }
    void setPhotoRecognitionController(QObject *controller) { m_photoController = controller; }
    QObject *webPageController() const { return m_webPageController; }
    void setWebPageController(QObject *controller) { m_webPageController = controller; }

    // Translation flow.
    void translateOperation();
    // The same language on both sides (automatic detection never is): nothing is translated or stored.
    static bool isSameLanguagePair(const QVLanguageRealm &from, const QVLanguageRealm &to);
    void shouldTranslateText(const QString &text);
    void translateWithText(const QString &text);
    void translateOfflineWithText(const QString &text);
    void showHistory(const QVTranslationRealm &record);
    void bookmarkStatusChanged(const QVTranslationRealm &record);
    // Side 0: the source panel; any other: the result panel.
    void statusItemViewDidChangeText(uint side, const QString &text);
    // Shows a text and its translation without translating or storing; the record they are
    // stays the one on screen when it still holds both, else none does.
    void setTextAndTranslation(const QString &text, const QString &translation,
                               const QVTranslationRealm &record = {});
    // The translation as the user reads it, without the transliteration line under it.
    QString shownTranslation() const;
    // Either panel holds something that is not the history record on screen.
    bool hasUnsavedPanels() const;
    void languageSelectionDidChange();
    void updateTextViewRightToLeftIfNeeded();
    void replaceTextsAfterSwitch();
    // Services provider: type 0 shows and translates the text; type 1 opens the popover with it.
    void updateBufferFromService(const QString &text, int type);
    // The analytics parameters of the translation on screen ("null" for a missing value).
    QVariantMap parameters() const;
    void syncronizeBookmarks();
    void showInternetUnavailablePopup();
    static bool writeToPasteBoard(const QString &text);
    static QString readFromPasteBoard();
    void highlightTextInTextView(PaddingTextView *textView);
    void showSpinner(bool show);
    void highlightTextViewsWithTag(qint64 tag);
    void checkSpeakerButtonsState();
    bool checkIntervalWithValue(qint64 interval) const;
    void logRateEvent();
    void showCrossPromoIfNecessary();
    bool showRegistrationOfferIfNeeded();

    // Rendering, parts of speech, sentences and speech.
    void updateTranslateViewFrom();
    void updateTranslateViewTo() { updateTranslateViewToWithUseTrans(true); }
    void updateTranslateViewToWithUseTrans(bool useTransliteration);
    void updateSentencesWithCompletion(std::function<void()> completion = {});
    void updatePartsOfSpeechButtons();
    void updatePartsOfSpeechButtonsState();
    void tintPartOfSpeechImage(QComboBox *popUp);
    static constexpr const char *kPartOfSpeechImage = "ic_parts_of_speech";
    void updateFileButton();
    void updateWebPageButton();
    void updateTranslationCompany();
    void clear();
    void onCopyFromTranslated();
    void opPasteToOriginal();
    void onPartOfSpeechFrom();
    void onPartOfSpeechTo();
    void onMicrophone();
    void onMicrophoneAction();
    void onSpeechSynthesisFrom();
    void onSpeechSynthesisTo();
    // Renders started and not yet applied (tests wait for zero).
    int pendingRenders() const { return m_pendingRenders; }

    // Set-up and observers.
    void checkPasteBoard();
    // Enabled while the clipboard holds text.
    void updatePasteButton();
    void lazyDirection();
    void applyVertical(bool vertical);
    // Stores a panel's font name, size and alignment for the next launch.
    void typingAttributesDidChange(PaddingTextView *textView);

    // Panels, documents and the status item arrive with their own parts of
    // the program (QVMInterfaceHooks).
    void collapseOriginalPanel();
    void collapseTranslatePanel();
    bool isOriginalPanelHidden() const;
    bool isTranslatePanelHidden() const;
    void segmentSwitch(int segment);
    // Which buttons have their window installed behind them.
    QVMControlAvailability *availability() const { return m_availability; }
    void segmentZoom(int segment);
    void showAgent();
    // Shows, raises and activates the main window (the popover's main-window button).
    void activateGeneralWindows();
    void onClear();

    // Documents and pictures (QVMGeneralViewControllerDocuments.cpp). Open
    // panels, drops and the status item end in openFileWithUrl, which puts a
    // text file into the source panel and translates it (offline too), sends a
    // document to the backend's translation (a cancellable overlay), a picture
    // to the photo window, and reports any other type (QVMFileKinds). Saving
    // writes RTF and PDF here and has DOCX, ODT and HTML converted by the
    // backend; a file is replaced only once its new content is complete.
    void onOpenFile();
    void onOpenPhoto();
    void onOpenTranslateWebPages();
    // Type 0 documents and pictures, 1 documents, 2 pictures; all files first for type 0.
    void showOpenPanelWithFileType(uint type);
    void showOpenPanelWithFileType(uint type, bool includeAll);
    // False (and the user told) for a type that cannot be translated.
    bool openFileWithUrl(const QUrl &url);
    // Asks whether to save the translation first when the panels hold something not in the
    // history; opens the file at once otherwise.
    void openFileAskingToSave(const QUrl &url);
    void showSaveDialogWithUrl(const QUrl &url);
    // The file's text replaces the panels' and is translated, as typed text is; a file that is
    // not text or too large is refused with a message and the panels keep what they hold.
    void openTextFile(const QString &path);
    bool isLoadingTextFile() const;
    void translateDocumentWithType(const QString &type, const QUrl &url);
    void openPicture(const QUrl &url);
    // afterSaved runs once the file is written (the not-saved alert opens the chosen file then).
    void showWindowsSave(std::function<void()> afterSaved = {});
    // Writes the result panel in the format (0 rtf, 1 pdf, 2 docx, 3 odt, 4 html)
    // to the file; a PDF (written off this thread) and conversions end later, through
    // completion, and say a failure then. Null error when the write (or its start) went well.
    platform::Error saveResultToUrl(int formatIndex, const QUrl &url,
                                    std::function<void(const platform::Error &)> completion = {});
    // Uploads the RTF file for conversion and writes the answer to target only.
    void convertDocumentWithUrl(const QUrl &rtfUrl, const QString &format, const QUrl &target,
                                std::function<void(const platform::Error &)> completion = {});
    // The print dialog, once printing has loaded (off this thread, the first time; the result
    // panel shows the spinner meanwhile, and another click waits for the same load).
    void showWindowsPrint();
    std::unique_ptr<QTextDocument> printableDocument() const;
    void textViewWasDraggedFile(const QString &path, PaddingTextView *textView);
    void openStatusItemDroppedFiles(const QStringList &paths);
    static QString attributedStringFromPdfDocument(QPdfDocument *document);
    // Replaces the whole text of the view with the file's (rich text for "html", else plain).
    static bool setAttributedTextToTextView(QTextEdit *textView, const QUrl &fileUrl, const QString &options);
    // The desktop opens it, or a private copy of it (QVMDocumentHandOff).
    void openTranslatedDocument(const QString &path);
    // Where a document upload is refused before sending (its Base64 goes in one frame).
    static constexpr qint64 kMaxDocumentBytes = 20 * 1024 * 1024;
    static constexpr const char *kUnsupportedType = "This file type cannot be translated";
    static constexpr const char *kOnlyFirstFile = "Only the first file is translated";
    static constexpr const char *kUnreadablePicture = "This picture cannot be opened";
    static constexpr const char *kPhotoSegue = "kSPhotoRecognitionFromGeneral";
    static constexpr const char *kWebPageSegue = "kWebPageControllerSegue";
    // Start-up: the file button and drops on the panels reach the methods above.
    static void installDocumentHooks();
    // The last line the view showed about a document (also in the window's status bar).
    QString documentNote() const { return m_documentNote; }
    void showDocumentNote(const QString &text);

    // Notification names, user-default keys and analytics names.
    static constexpr const char *kActionHistoryNotification = "kActionHistoryNotification";
    static constexpr const char *kActionHistoryBookmarkNotification = "kActionHistoryBookmarkNotification";
    static constexpr const char *kRegistrationOfferAction = "kRegistrationOfferAction";
    static constexpr const char *kObjectKey = "object";
    static constexpr const char *kTranslateByEnterSetting = "TranslateByEnterSetting";
    static constexpr const char *kTransliterationSetting = "TransliterationSetting";
    static constexpr const char *kHighlightTranslatedSentences = "kHighlightTranslatedSentences";
    static constexpr const char *kUserDefaultPartOfSpeechTypeFrom = "kUserDefaultPartOfSpeechTypeFrom";
    static constexpr const char *kUserDefaultPartOfSpeechTypeTo = "kUserDefaultPartOfSpeechTypeTo";
    static constexpr const char *kUserDefaultTranslateViewsDirection = "kUserDefaultTranslateViewsDirection";
    static constexpr const char *kUserDefaultTranslateViewsShowState = "kUserDefaultTranslateViewsShowState";
    static constexpr const char *kUserDefaultTranslateFromFontName = "kUserDefaultTranslateFromFontName";
    static constexpr const char *kUserDefaultTranslateToFontName = "kUserDefaultTranslateToFontName";
    static constexpr const char *kUserDefaultTranslateFromFontSize = "kUserDefaultTranslateFromFontSize";
    static constexpr const char *kUserDefaultTranslateToFontSize = "kUserDefaultTranslateToFontSize";
    static constexpr const char *kUserDefaultTranslateFromAligment = "kUserDefaultTranslateFromAligment";
    static constexpr const char *kUserDefaultTranslateToAligment = "kUserDefaultTranslateToAligment";
    static constexpr const char *kIsNotNeedAlert = "isNotNeedAlert";
    static constexpr const char *kCategoryMainScreen = "Main screen";
    static constexpr const char *kNull = "null";
    static constexpr int kThrottleMs = 2000;
    static constexpr int kPasteBoardPollMs = 1000;
    static constexpr int kHighlightMs = 500;
    static constexpr qint64 kErrorPackageCanBeDownloaded = -204;
    static constexpr int kSettingsTabOfflinePackages = 1;
    static constexpr int kSettingsTabAccount = 2;
    static constexpr qint64 kFavoritesLimit = 1000;

protected:
    QWidget *loadView() override;
    void viewDidLoad() override;
    void viewWillAppear() override;
    void viewDidAppear() override;
    void viewWillDisappear() override;
    void reachabilityDidChange(int status) override;
    void didChangeColorTheme(bool dark) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void prepareForSegue(const QString &identifier, QObject *destination, QObject *sender) override;

private:
    struct Request {
        quint64 generation = 0;
        QString text;
        QVLanguageRealm from;
        QVLanguageRealm to;
        bool fromWasAutoDetection = false;
    };

    QWidget *makePanel(bool source);
    // Shows `record` from now on; its deletion from the history clears the panels.
    void setTranslateObject(const QVTranslationRealm &record);
    void lozyNotificationCenter();
    void lozyTextView();
    void lozyBind();
    void lozyAvailability();
    void updateOnlineButton(QToolButton *button, bool (QVLanguageMode::*capable)() const,
                            const char *languagesReason, const char *offlineReason);
    void togglePanel(bool source);
    void lazyPartOfSpeech();
    void viewDidLayout();
    void trackMainScreenOpen();
    void trackEvent(const QString &action, const QVariantMap &params = {});

    quint64 beginRequest();
    void endRequest(quint64 generation);
    bool isNewest(quint64 generation) const { return generation == m_generation; }
    void sendDeferredTranslation();
    void onlineTranslationSucceeded(const Request &request, const QVariantMap &reply);
    void onlineTranslationFailed(const Request &request, const platform::Error &error);
    void offlineTranslationFinished(const Request &request, const QString &translated,
                                    const platform::Error &error);
    void postTranslateWithText(const Request &request, const QString &translated);
    void showTranslationError(const platform::Error &error);
    void showRecordOnScreen(const QVTranslationRealm &record);
    QVTranslationRealm recordToReuse(const Request &request) const;
    void openSettingsTab(int tab);

    bool handleKeyCommand(PaddingTextView *view, QKeyEvent *event);
    void textPasteHandler(QObject *view);
    void textDidChange(PaddingTextView *view);
    void selectionDidChange(PaddingTextView *view);
    void cursorDidMove(PaddingTextView *view);
    void checkStateForSpeakerButton(QToolButton *button, PaddingTextView *view,
                                    const QVLanguageRealm &language);
    void speak(bool source);
    // A new translation replaces whatever the result panel holds; a render of the same one
    // (a new theme, a part of speech, the focus) leaves a panel the user edited as it is.
    void renderResult(bool useTransliteration, bool newTranslation);
    void renderPanel(bool source, const QString &text, const QString &language, qint64 type,
                     const QString &transliteration, bool newTranslation = false);
    bool resultShowsRecord(const QString &shown) const;
    void applyRender(bool source, quint64 generation, const QString &text, const QList<QVMColorSpan> &spans,
                     const QString &transliteration);
    void setPanelTextColor(PaddingTextView *view);
    QColor themeTextColor() const;
    // The user defaults that keep each panel's font and alignment.
    static const QVMPanelFonts::Keys &fontKeys(bool source);

    Clock m_clock;
    QVMControlAvailability *m_availability = nullptr;
    QVMTextFileLoader *m_textFiles = nullptr;
    QVMDocumentHandOff *m_handOff = nullptr;
    PaddingTextView *m_fromText = nullptr;
    PaddingTextView *m_toText = nullptr;
    QVMPartOfSpeechHighlighter *m_fromHighlighter = nullptr;
    QVMPartOfSpeechHighlighter *m_toHighlighter = nullptr;
    QSplitter *m_splitView = nullptr;
    QFrame *m_fromBox = nullptr;
    QFrame *m_toBox = nullptr;
    QWidget *m_fromContainer = nullptr;
    QWidget *m_toContainer = nullptr;
    QToolButton *m_favoriteButton = nullptr;
    QToolButton *m_fromSpeakerButton = nullptr;
    QToolButton *m_toSpeakerButton = nullptr;
    QToolButton *m_micButton = nullptr;
    QToolButton *m_photoButton = nullptr;
    QToolButton *m_webPageButton = nullptr;
    QToolButton *m_fileButton = nullptr;
    QToolButton *m_shareButton = nullptr;
    QToolButton *m_toPasteboardButton = nullptr;
    QToolButton *m_clearButton = nullptr;
    QToolButton *m_pasteButton = nullptr;
    QComboBox *m_partOfSpeechFrom = nullptr;
    QComboBox *m_partOfSpeechTo = nullptr;
    QLabel *m_translatedViaField = nullptr;
    QLabel *m_translatedViaImage = nullptr;
    int m_firstBottom = 6;
    int m_secondLeft = 12;
    int m_secondTop = 6;

    QString m_originalText;
    QString m_translatedText;
    QVTranslationRealm m_translateObject;
    QString m_translationCompany;
    QList<QVSentenceDTO> m_originalSentences;
    QList<QVSentenceDTO> m_translatedSentences;
    bool m_isToTextViewWithTrans = false;
    std::optional<QDateTime> m_lastTranslationTime;
    uint m_saveDirection = 0;
    QPointer<QObject> m_photoController;
    QPointer<QObject> m_webPageController;
    QUrl m_pendingPictureUrl;
    QString m_documentNote;

    quint64 m_generation = 0;
    QSet<quint64> m_pending;
    QTimer m_deferredTimer;
    quint64 m_renderGeneration[2] = {0, 0};
    int m_pendingRenders = 0;
    quint64 m_sentenceGeneration = 0;
    bool m_speechStopped = false;
    bool m_printLoading = false;

    QTimer m_pbTimer;
    quint64 m_pbChangeCount = 0;
    quint64 m_clipboardChanges = 0;
    QTimer m_unhighlightTimer;

    platform::NotificationToken m_shownRecordToken;
    std::vector<platform::NotificationToken> m_settingsTokens;
    QList<platform::NotificationCenter::Token> m_observers;
};
