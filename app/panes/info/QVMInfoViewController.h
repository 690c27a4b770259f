#pragma once

#include "ui/foundation/QVMBaseVC.h"

#include <QString>

class QLabel;
class QPushButton;
class QStackedWidget;
class QVMWebView;

// The settings window's Info tab: the maker's information page in a web view.
// The address comes from the remote settings ("appInfoURL") once, on the
// first load, and every later load of this controller uses it. A spinner
// shows while the page loads; any failure shows a message with "Try again".
// An address that is empty (no configuration yet) or not http(s) loads
// nothing and says there is no information yet; Try again then reads the
// setting afresh, since the configuration may have arrived meanwhile.
//
//   auto *info = new QVMInfoViewController(settings);
//   layout->addWidget(info->view());   // starts loading
//   info->tryAgainButton()->click();   // after a failure: loads again
class QVMInfoViewController : public QVMBaseVC {
    Q_OBJECT
public:
    Q_INVOKABLE explicit QVMInfoViewController(QObject *parent = nullptr);

    void tryAgainButtonAction();

    // Empty until the first load.
    QString urlString() const { return m_urlString; }
    bool isLoading() const { return m_loading; }
    QVMWebView *webView() const { return m_webView; }
    QPushButton *tryAgainButton() const { return m_tryAgainButton; }
    QLabel *messageLabel() const { return m_messageLabel; }

    static constexpr const char *kTryAgainKey = "_loc_info_try_again";
    static constexpr const char *kNoInformationKey = "_loc_info_no_information";
    static constexpr const char *kLoadFailedKey = "_loc_info_load_failed";
    static constexpr const char *kPageKey = "_loc_info_page";
    static constexpr const char *kTriedAgainKey = "_loc_info_tried_again";
    // In place of the page when the web engine does not start on this computer.
    static constexpr const char *kNoWebViewKey = "_loc_info_no_web_view";
    // Clicks on Try again so far.
    int attempts() const { return m_attempts; }

signals:
    // After each load that ends, successful or not.
    void loadEnded(bool ok);

protected:
    QWidget *loadView() override;
    void viewDidLoad() override;

private:
    void addWebView();
    void loadRequest();
    void loadStarted();
    void loadFinished(bool ok);
    void showFailure(const char *messageKey);

    QString m_urlString;
    bool m_urlRead = false;
    bool m_loading = false;
    int m_attempts = 0;
    QStackedWidget *m_pages = nullptr;
    QVMWebView *m_webView = nullptr;
    QWidget *m_failurePage = nullptr;
    QLabel *m_messageLabel = nullptr;
    QPushButton *m_tryAgainButton = nullptr;
};

// Registers the Info tab under "Settings" directly, for programs that link the web
// parts (tests); the application gets it from the web module instead.
void installInfoPane();
void removeInfoPane();
