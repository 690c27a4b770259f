#pragma once

#include "core/models/QVLanguageRealm.h"
#include "platform/Error.h"
#include "ui/foundation/QVMBaseVC.h"
#include "ui/main/QVMGeneralViewController.h"

#include <QPointer>
#include <QTimer>
#include <QVariant>

#include <functional>

class QAbstractButton;
class QFrame;
class QLabel;
class QPushButton;
class QToolButton;
class TextViewWithPlaceHolder;

// The compact translator in the window that hangs from the tray icon: a
// source and a result panel, a button per language side, speech, clear, pin
// and a button to the main window. It translates 0.4 s after the last key,
// on Return, and when a shortcut or a Services call hands it text; it uses
// the settings' language pair and writes every result to the history; the main
// window (its delegate) keeps its own text and translation, whatever is
// translated here. Only the newest request's reply touches the panels; older
// ones still go to the history.
//
//   auto *popover = QVMGenaralPopoverViewController::viewController(owner);
//   popover->setDelegate(generalView);
//   QVMStatusItem::sharedInstance().presentStatusItemWithImage(icon, popover);
//   popover->translateWithText(clipboardText);
class QVMGenaralPopoverViewController : public QVMBaseVC {
    Q_OBJECT
public:
    explicit QVMGenaralPopoverViewController(QObject *parent = nullptr);
    ~QVMGenaralPopoverViewController() override;

    // The controller made from the interface factory's entry of this name.
    static QVMGenaralPopoverViewController *viewController(QObject *parent = nullptr);

    QVMGeneralViewController *delegate() const { return m_delegate; }
    void setDelegate(QVMGeneralViewController *delegate) { m_delegate = delegate; }

    // Shows the text and translates it at once, as typed text is (offline without a reachable
    // backend); empty text is not sent.
    void translateWithText(const QString &text);
    // The source panel's text through shouldTranslateText, when there is any.
    void translateCurrentText();
    void shouldTranslateText(const QString &text);
    void showMainApp();
    void updateLanguageButtons();

    void onFromButton();
    void onToButton();
    void onHoldButton();
    void onShowGeneralWindows();
    void onClearButton();
    void onFromSpeakButton(QAbstractButton *sender);
    void onToSpeakButton(QAbstractButton *sender);
    // Copies the result to the clipboard (Ctrl+Shift+C).
    void copyResult();

    // One line under the result; with a download offer it gets a "Download…" button.
    void showMessage(const QString &text, bool offerDownload = false);
    void hideMessage();
    QString messageText() const;
    // Files dropped on the status window: the first one goes to the main window.
    void openDroppedFiles(const QStringList &paths);

    // Height of a panel for a laid-out text height: 30 up to 30, h + 6 below 300, then 300.
    static int panelHeightForTextHeight(float height);

    // The language an "auto-detection" reply came from; the backend is asked when the reply names none.
    using LanguageDetector =
        std::function<void(const QString &text, std::function<void(const QString &code)>)>;
    void setLanguageDetector(LanguageDetector detector) { m_detector = std::move(detector); }

    bool isHold() const { return m_isHold; }
    bool isPlayFrom() const { return m_isPlayFrom; }
    bool isPlayTo() const { return m_isPlayTo; }
    QString originalText() const { return m_originalText; }
    QString translatedText() const { return m_translatedText; }
    QTimer *typingTimer() { return &m_typingTimer; }

    TextViewWithPlaceHolder *originalTextView() const { return m_originalTextView; }
    TextViewWithPlaceHolder *translateTextView() const { return m_translateTextView; }
    QToolButton *fromButton() const { return m_fromButton; }
    QToolButton *toButton() const { return m_toButton; }
    QToolButton *holdButton() const { return m_holdButton; }
    QToolButton *settingsButton() const { return m_settingsButton; }
    QToolButton *fromSpeakButton() const { return m_fromSpeakButton; }
    QToolButton *toSpeakButton() const { return m_toSpeakButton; }
    QToolButton *clearButton() const { return m_clearButton; }
    QWidget *fromStack() const { return m_fromStack; }
    QPushButton *downloadButton() const { return m_downloadButton; }
    QLabel *messageLabel() const { return m_messageLabel; }
    // The image name each icon button shows now ("Pin", "PinFilled", "stop", "volume-high").
    static QString imageName(const QAbstractButton *button);

    static constexpr const char *kCategoryAgent = "Agent";
    static constexpr const char *kPanelLanguageFrom = "panel_language_from";
    static constexpr const char *kPanelLanguageTo = "panel_language_to";
    static constexpr const char *kLanguageListNib = "QVMLanguagesPopoverViewController";
    static constexpr const char *kImageNameProperty = "qvImageName";
    static constexpr int kTypingDelayMs = 400;
    static constexpr int kWidth = 380;
    // A text this high or higher gives the tallest panel; the view scrolls the rest.
    static constexpr float kMaximumTextHeight = 300.0f;
    static constexpr qint64 kErrorPackageCanBeDownloaded = -204;
    static constexpr int kSettingsTabOfflinePackages = 1;
    static constexpr const char *kMainWindowToolTipKey = "_loc_agent_main_window_tool_tip";
    static constexpr const char *kNoVoiceOutputKey = "_loc_speech_no_output";
    static constexpr const char *kNoFileTranslation = "File translation is not available yet";
    static constexpr const char *kUnsupportedFile = "This file type cannot be translated";
    static constexpr const char *kOnlyFirstFile = "Only the first file is translated";

protected:
    QWidget *loadView() override;
    void viewDidLoad() override;
    void viewWillAppear() override;
    void viewDidAppear() override;
    void viewWillDisappear() override;
    void didChangeColorTheme(bool dark) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Request {
        quint64 generation = 0;
        QString text;
        QVLanguageRealm from;
        QVLanguageRealm to;
    };

    QToolButton *makeIconButton(const QString &image, const QString &tip, const char *objectName);
    void setButtonImage(QAbstractButton *button, const QString &image);
    void applyButtonImages();
    void buttonsText();
    void updateUIOriginalTextView();
    void updateUITranslateTextView();
    void updatePanelHeight(TextViewWithPlaceHolder *view);
    void originalTextDidChange();
    bool handleReturn();
    void translateOnline(const QString &text);
    void translateOfflineWithText(const QString &text);
    void onlineTranslationSucceeded(const Request &request, const QVariantMap &reply);
    void offlineTranslationFinished(const Request &request, const QString &translated,
                                    const platform::Error &error);
    void saveHistory(const Request &request, const QVLanguageRealm &from, const QString &source,
                     const QString &translation, const QString &translit);
    void showResult(const Request &request, const QString &translation);
    void showFailure(const Request &request, const platform::Error &error);
    void openLanguageList(uint side);
    void openOfflinePackages();
    void speak(bool source, QAbstractButton *sender);
    void trackEvent(const QString &action, const QVariantMap &params = {});
    void setTextQuietly(TextViewWithPlaceHolder *view, const QString &text);
    void applyTheme();

    // Asks the backend which language a text is in.
    static LanguageDetector backendLanguageDetector();

    QPointer<QVMGeneralViewController> m_delegate;
    LanguageDetector m_detector;
    bool m_isHold = false;
    bool m_isPlayFrom = false;
    bool m_isPlayTo = false;
    bool m_settingText = false;
    bool m_speechStopped = false;
    QString m_originalText;
    QString m_translatedText;
    quint64 m_generation = 0;
    QTimer m_typingTimer;

    TextViewWithPlaceHolder *m_originalTextView = nullptr;
    TextViewWithPlaceHolder *m_translateTextView = nullptr;
    QFrame *m_boxA = nullptr;
    QFrame *m_boxB = nullptr;
    QWidget *m_fromStack = nullptr;
    QToolButton *m_fromButton = nullptr;
    QToolButton *m_toButton = nullptr;
    QLabel *m_titleLabel = nullptr;
    QToolButton *m_holdButton = nullptr;
    QToolButton *m_settingsButton = nullptr;
    QToolButton *m_fromSpeakButton = nullptr;
    QToolButton *m_toSpeakButton = nullptr;
    QToolButton *m_clearButton = nullptr;
    QLabel *m_messageLabel = nullptr;
    QPushButton *m_downloadButton = nullptr;
    QMetaObject::Connection m_closeConnection;
};
