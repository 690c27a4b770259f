#pragma once

#include "ui/foundation/QVMBaseVC.h"

#include "platform/NotificationCenter.h"

#include <QList>
#include <QString>
#include <QUrl>

#include <optional>

class QLabel;
class QMenu;
class QPushButton;
class QWidget;
struct QVVersionUpdateDTO;

// The settings window's About tab: the version, the links the remote
// settings give (legal pages, open source, social pages, home page), Share,
// Contact support, and the update notice when the backend has one.
//
// Links are read at each press. Only http(s) addresses open, and a link
// button whose address is empty or of any other scheme is hidden; privacy and
// terms fall back to the maker's own pages and so always show. Share offers
// the maker's home page as a copied link or in a new e-mail ("mailto:").
// Contact support opens the support form modally, when one is registered.
//
//   auto *about = new QVMAboutViewController(settings);
//   layout->addWidget(about->view());     // asks for the update notice
//   about->linkButton(QVMAboutViewController::Telegram)->click();
class QVMAboutViewController : public QVMBaseVC {
    Q_OBJECT
public:
    enum Link {
        PrivacyPolicy,
        TermsAndConditions,
        ThirdPartyComponents,
        Facebook,
        Instagram,
        LinkedIn,
        Twitter,
        Telegram,
        MainSite,
        LinkCount
    };

    Q_INVOKABLE explicit QVMAboutViewController(QObject *parent = nullptr);
    ~QVMAboutViewController() override;

    // The action of each link button: the event, then the address opened.
    void openLink(Link link);
    void onCopyLink();
    void onSendByEmail();
    void onSupportRequest();

    // The address a link opens now; empty when it opens nothing.
    static QUrl addressForLink(Link link);
    // The maker's home page, which Share offers.
    static QUrl sharedAddress();
    // "mailto:" with the address, percent-encoded, as the body.
    static QUrl mailtoForAddress(const QUrl &address);
    // True when the notice names a version above the running one.
    static bool isNewerVersion(const QString &offered, const QString &running);

    QLabel *versionLabel() const { return m_versionLabel; }
    QPushButton *linkButton(Link link) const { return m_linkButtons.value(link); }
    QPushButton *shareButton() const { return m_shareButton; }
    QMenu *shareMenu() const { return m_shareMenu; }
    QPushButton *supportButton() const { return m_supportButton; }
    QPushButton *feedbackButton() const { return m_feedbackButton; }
    QWidget *updateRow() const { return m_updateRow; }
    QLabel *updateLabel() const { return m_updateLabel; }
    QPushButton *updateButton() const { return m_updateButton; }

    static constexpr const char *kCategory = "Settings screen";
    static constexpr const char *kLegalCategory = "Setting screen";
    static constexpr const char *kScreenName = "ScreenAbout";
    static constexpr const char *kSupportStoryboard = "QVMSupportRequest";
    static constexpr const char *kSupportController = "QVMSupportRequestController";
    static constexpr const char *kSupportAction = "App info - Click Support Request";
    static constexpr const char *kPrivacyPath = "/privacy-policy";
    static constexpr const char *kTermsPath = "/terms-of-service";
    static constexpr const char *kUpdateLog = "[about] update notice failed: %@";

signals:
    // The update notice was answered (shown, nothing to show, or failed).
    void updateNoticeAnswered();

protected:
    QWidget *loadView() override;
    void viewDidLoad() override;
    void viewDidAppear() override;
    void didChangeColorTheme(bool dark) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QPushButton *makeButton(QWidget *parent, const QString &title, const QString &name,
                            const QString &iconName);
    void refreshLinks();
    void refreshSupportButton();
    void askForUpdate();
    void updateNoticeReceived(const std::optional<QVVersionUpdateDTO> &notice);
    void showUpdate(const std::optional<QVVersionUpdateDTO> &notice);
    void openUpdatePage();
    void recolourIcons();
    static bool openAddress(const QUrl &url);

    QLabel *m_titleLabel = nullptr;
    QLabel *m_versionLabel = nullptr;
    QList<QPushButton *> m_linkButtons;
    QPushButton *m_shareButton = nullptr;
    QMenu *m_shareMenu = nullptr;
    QPushButton *m_supportButton = nullptr;
    QPushButton *m_feedbackButton = nullptr;
    QWidget *m_updateRow = nullptr;
    QLabel *m_updateLabel = nullptr;
    QPushButton *m_updateButton = nullptr;
    QList<platform::NotificationCenter::Token> m_observers;
};
