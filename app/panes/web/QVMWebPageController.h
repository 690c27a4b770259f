#pragma once

#include "ui/foundation/QVMBaseVC.h"

#include "platform/NotificationCenter.h"

#include <QPointF>
#include <QPointer>
#include <QSizeF>
#include <QUrl>

#include <memory>
#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;
class QSplitter;
class QVMWebView;
class QWebEngineLoadingInfo;

// The web-page window: the page whose address the user typed, and beside it
// (or below, as the main window's panels are laid out) the backend's
// translation of it. Every finished navigation of the source page asks for
// its translated copy, which loads in the other view; choosing a language in
// the main window translates the page again. The two pages scroll together.
//
//   auto *web = new QVMWebPageController(mainView);
//   web->view()->show();
//   web->updateWebViewsWithPath("example.org");    // loads http://www.example.org
//
// Each page scrolls itself and the other follows to the same offset; a
// translated page shorter than its source is padded at the bottom, so it never
// stops short. Only http and https addresses load. While the window is open
// the settings' translation mode is 2; it gets its earlier value back at close.
class QVMWebPageController : public QVMBaseVC {
    Q_OBJECT
public:
    explicit QVMWebPageController(QObject *parent = nullptr);
    ~QVMWebPageController() override;

    // Loads the address field's text (the main window's translate action calls it by name).
    Q_INVOKABLE void translate();
    // Loads the normalised address in the source view; false with the error line for a bad one.
    bool updateWebViewsWithPath(const QString &path);
    // Asks for the translated copy of the page, unless it is the last one asked for with this pair.
    void translateWebPageWithUrlString(const QString &urlString);
    void languageDidChange();
    void applyDirection();
    void applyShowState();
    void onClose();
    // Tab goes from the address row to the original page, then to the translated one.
    void orderPages();

    // The sizes measured for the two pages (the translated one never smaller than the source).
    QSizeF sourceContentSize() const { return m_fromSize; }
    QSizeF targetContentSize() const { return m_toSize; }
    // Takes a measured size of the source (source true) or translated page.
    void applyContentSize(bool source, QSizeF size);

    QLineEdit *addressField() const { return m_addressField; }
    QSplitter *generalSplitView() const { return m_splitView; }
    QVMWebView *fromWebView() const;
    QVMWebView *toWebView() const;
    QLabel *fromTitleLabel() const { return m_fromTitle; }
    QLabel *toTitleLabel() const { return m_toTitle; }
    QWidget *fromPanel() const { return m_fromPanel; }
    QWidget *toPanel() const { return m_toPanel; }
    QLabel *errorLabel() const { return m_errorLabel; }
    QString errorText() const;
    bool isLoading(bool source) const;
    bool isWaitingForTranslation() const { return m_translating; }
    int requestCount() const { return m_requestCount; }

    static constexpr const char *kCategory = "Main screen";
    static constexpr const char *kTitle = "Web page translation";
    static constexpr const char *kLanguageNotification =
        "kQVMLanguagesViewControllerDidSelectLanguageNotificationName";
    static constexpr const char *kDirectionKey = "kUserDefaultTranslateViewsDirection";
    static constexpr const char *kShowStateKey = "kUserDefaultTranslateViewsShowState";
    static constexpr const char *kBadAddress = "Enter a web address (http or https)";
    static constexpr const char *kBadTranslatedAddress =
        "The translated page has an address that cannot be opened.";
    static constexpr const char *kTranslationFailed = "The page could not be translated.";
    static constexpr const char *kLoadFailed = "The page could not be loaded.";
    // Followed by the web engine's reason (a name not found, a refused connection).
    static constexpr const char *kSourceLoadFailed =
        "The page could not be opened, so it was not translated.";
    static constexpr qint64 kWebTranslationMode = 2;
    // In place of the pages until the web engine is known to start, and when it does not.
    static constexpr const char *kStartingText = "The web view is starting…";
    static constexpr const char *kNoWebViewText =
        "Web pages cannot be shown here: the web engine does not start on this computer.";

signals:
    // A page finished loading and was measured (source true for the source page).
    void pageShown(bool source);
    // The translation request ended (translated address loading, or the error line shown).
    void translationAnswered();

protected:
    QWidget *loadView() override;
    void viewDidLoad() override;
    void viewDidAppear() override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void addWebViews();
    void setAddressEnabled(bool enabled, const QString &why);
    void loadStarted(QVMWebView *view);
    void loadFinished(QVMWebView *view, bool ok);
    void loadingChanged(QVMWebView *view, const QWebEngineLoadingInfo &info);
    void scrolled(QVMWebView *view, const QPointF &position);
    void padTarget();
    void showError(const QString &text);
    void setBusy(QVMWebView *view, bool busy);

    QLineEdit *m_addressField = nullptr;
    QPushButton *m_goButton = nullptr;
    QPushButton *m_closeButton = nullptr;
    QSplitter *m_splitView = nullptr;
    QWidget *m_fromPanel = nullptr;
    QWidget *m_toPanel = nullptr;
    QPointer<QVMWebView> m_fromWebView; // the window may go before the controller
    QPointer<QVMWebView> m_toWebView;
    QLabel *m_fromPlaceholder = nullptr; // until the web views are made
    QLabel *m_toPlaceholder = nullptr;
    QLabel *m_errorLabel = nullptr;
    QLabel *m_fromTitle = nullptr;
    QLabel *m_toTitle = nullptr;

    QSizeF m_fromSize;
    QSizeF m_toSize;
    QString m_lastTranslated; // address, source and target of the last request
    bool m_translating = false;
    bool m_busy[2] = {false, false};
    int m_requestCount = 0;
    quint64 m_request = 0;
    // A scroll this window made, so that the page's report of it is not followed back.
    std::optional<QPointF> m_expectedScroll[2];
    qint64 m_previousMode = 0;
    platform::NotificationCenter::Token m_languageToken = 0;
    // Cleared first thing in the destructor: the pages answer pending scripts while the window
    // is taken apart, before any QPointer to it clears.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

// Start-up: the web window's segue and the main view's web-page button.
void installWebPane();
