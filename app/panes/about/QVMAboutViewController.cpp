#include "QVMAboutViewController.h"

#include "core/DevLog.h"
#include "core/localization/DJLocalizationSystem.h"
#include "core/localization/QVLocalizedString.h"
#include "core/settings/QVSettingsService.h"
#include "services/analytics/QVAnalyticsManager.h"
#include "services/graphics/QVMImage.h"
#include "services/messages/QVVersionUpdateDTO.h"
#include "services/network/QVRequestManager.h"
#include "ui/adapters/QVMGeneralServices.h"
#include "ui/foundation/QVMInterfaceFactory.h"
#include "ui/foundation/QVMLinkOpener.h"
#include "ui/foundation/QVMUtils.h"

#include "platform/BackendConfig.h"
#include "platform/Format.h"

#include <QApplication>
#include <QClipboard>
#include <QEvent>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <QVersionNumber>

namespace {

QString loc(const char *key) {
    return QVLocalizedString(QString::fromLatin1(key));
}

using Field = QString (QVRemoteSettings::*)() const;

struct LinkSpec {
    Field field;
    const char *fallbackPath; // the maker's own page when the field cannot be opened
    const char *category;
    const char *action; // no event when null
    bool eventAfterOpening;
    const char *titleKey;
    const char *icon;
};

// Indexed by QVMAboutViewController::Link.
const LinkSpec kLinks[] = {
    {&QVRemoteSettings::privacyUrl, QVMAboutViewController::kPrivacyPath,
     QVMAboutViewController::kLegalCategory, "App info - Click Private Policy", true,
     "_loc_about_privacy_policy", "ic_about_privacy"},
    {&QVRemoteSettings::termsUrl, QVMAboutViewController::kTermsPath, QVMAboutViewController::kLegalCategory,
     "App info - Click Terms and Conditions", true, "_loc_about_terms_and_conditions", "ic_about_terms"},
    {&QVRemoteSettings::thirdPartyURL, nullptr, QVMAboutViewController::kCategory,
     "App info - Click Open Source", false, "_loc_about_open_source", "ic_about_open_source"},
    {&QVRemoteSettings::facebookUrl, nullptr, QVMAboutViewController::kCategory, "App info - Click Facebook",
     false, "_loc_about_facebook", "ic_about_facebook"},
    {&QVRemoteSettings::instagramUrl, nullptr, QVMAboutViewController::kCategory,
     "App info - Click Instagram", false, "_loc_about_instagram", "ic_about_instagram"},
    {&QVRemoteSettings::linkedInUrl, nullptr, QVMAboutViewController::kCategory, "App info - Click LinkedIn",
     false, "_loc_about_linkedin", "ic_about_linkedin"},
    {&QVRemoteSettings::twitterURL, nullptr, QVMAboutViewController::kCategory, "App info - Click Twitter",
     false, "_loc_about_twitter", "ic_about_twitter"},
    {&QVRemoteSettings::telegramURL, nullptr, QVMAboutViewController::kCategory, "App info - Click Telegram",
     false, "_loc_about_telegram", "ic_about_telegram"},
    {&QVRemoteSettings::programSiteUrl, nullptr, nullptr, nullptr, false, "_loc_about_home_page",
     "ic_about_home"},
};
static_assert(sizeof(kLinks) / sizeof(kLinks[0]) == QVMAboutViewController::LinkCount);

QUrl webAddress(const QString &text) {
    return QVMLinkOpener::webAddress(text);
}

QUrl makerPage(const char *path) {
    QUrl url = platform::BackendConfig::makerDomain();
    url.setPath(QString::fromLatin1(path));
    return url;
}

void track(const char *category, const char *action) {
    QVMGeneralServices::shared().analytics().trackEvent(QString::fromLatin1(category),
                                                        QString::fromLatin1(action), QVariantMap());
}

// A monochrome icon painted in the given colour, so it follows the palette.
QIcon tinted(const QString &name, const QColor &colour) {
    QImage image = QVMImage::imageNamed(name);
    if (image.isNull())
        return {};
    image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(image.rect(), colour);
    painter.end();
    return QIcon(QPixmap::fromImage(image));
}

} // namespace

QVMAboutViewController::QVMAboutViewController(QObject *parent) : QVMBaseVC(parent) {}

QVMAboutViewController::~QVMAboutViewController() {
    for (platform::NotificationCenter::Token token : std::as_const(m_observers))
        platform::NotificationCenter::defaultCenter().removeObserver(token);
}

QPushButton *QVMAboutViewController::makeButton(QWidget *parent, const QString &title, const QString &name,
                                                const QString &iconName) {
    auto *button = new QPushButton(title, parent);
    button->setAccessibleName(name);
    button->setToolTip(name);
    button->setFocusPolicy(Qt::StrongFocus);
    button->setAutoDefault(false);
    button->setIconSize(QSize(20, 20));
    button->setProperty("iconName", iconName);
    return button;
}

QWidget *QVMAboutViewController::loadView() {
    auto *view = new QWidget;
    auto *layout = new QVBoxLayout(view);
    layout->setContentsMargins(48, 24, 48, 24);
    layout->setSpacing(12);

    m_titleLabel = new QLabel(loc("_loc_menu_application"), view);
    QFont heading = m_titleLabel->font();
    heading.setPointSizeF(heading.pointSizeF() * 1.5);
    heading.setBold(true);
    m_titleLabel->setFont(heading);
    m_titleLabel->setAlignment(Qt::AlignCenter);
    layout->addWidget(m_titleLabel);

    m_versionLabel = new QLabel(view);
    m_versionLabel->setAlignment(Qt::AlignCenter);
    m_versionLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(m_versionLabel);

    m_updateRow = new QWidget(view);
    auto *updateLayout = new QHBoxLayout(m_updateRow);
    updateLayout->setContentsMargins(0, 0, 0, 0);
    m_updateLabel = new QLabel(m_updateRow);
    // Backend text: shown as typed, never as markup.
    m_updateLabel->setTextFormat(Qt::PlainText);
    m_updateLabel->setWordWrap(true);
    updateLayout->addWidget(m_updateLabel, 1);
    m_updateButton = makeButton(m_updateRow, loc("_loc_about_update_download"),
                                loc("_loc_about_update_download_name"), QString());
    connect(m_updateButton, &QPushButton::clicked, this, &QVMAboutViewController::openUpdatePage);
    updateLayout->addWidget(m_updateButton);
    m_updateRow->hide();
    layout->addWidget(m_updateRow);

    const QString opens = loc("_loc_about_opens_in_browser");
    const QList<QList<Link>> rows = {{PrivacyPolicy, TermsAndConditions, ThirdPartyComponents},
                                     {Facebook, Instagram, LinkedIn, Twitter, Telegram},
                                     {MainSite}};
    m_linkButtons = QList<QPushButton *>(LinkCount, nullptr);
    for (const QList<Link> &row : rows) {
        auto *rowLayout = new QHBoxLayout;
        rowLayout->addStretch();
        for (const Link link : row) {
            const LinkSpec &spec = kLinks[link];
            const QString title = loc(spec.titleKey);
            QPushButton *button =
                makeButton(view, title, platform::format(opens, title), QString::fromLatin1(spec.icon));
            connect(button, &QPushButton::clicked, this, [this, link] { openLink(link); });
            m_linkButtons[link] = button;
            rowLayout->addWidget(button);
        }
        rowLayout->addStretch();
        layout->addLayout(rowLayout);
    }

    auto *actions = new QHBoxLayout;
    actions->addStretch();
    m_shareButton = makeButton(view, loc("_loc_about_share"), loc("_loc_about_share_name"),
                               QStringLiteral("ic_about_share"));
    m_shareMenu = new QMenu(m_shareButton);
    QAction *copy = m_shareMenu->addAction(loc("_loc_about_copy_link"));
    connect(copy, &QAction::triggered, this, &QVMAboutViewController::onCopyLink);
    QAction *mail = m_shareMenu->addAction(loc("_loc_about_send_by_email"));
    connect(mail, &QAction::triggered, this, &QVMAboutViewController::onSendByEmail);
    m_shareButton->setMenu(m_shareMenu);
    actions->addWidget(m_shareButton);

    m_supportButton = makeButton(view, loc("_loc_about_contact_support"), loc("_loc_about_contact_support"),
                                 QStringLiteral("ic_about_support"));
    connect(m_supportButton, &QPushButton::clicked, this, &QVMAboutViewController::onSupportRequest);
    actions->addWidget(m_supportButton);

    // There is no application store to review in on Linux.
    m_feedbackButton =
        makeButton(view, loc("_loc_about_send_feedback"), loc("_loc_about_send_feedback"), QString());
    m_feedbackButton->hide();
    actions->addWidget(m_feedbackButton);
    actions->addStretch();
    layout->addLayout(actions);
    layout->addStretch();
    return view;
}

void QVMAboutViewController::viewDidLoad() {
    // From a fixed format, so loading again never repeats the version.
    m_versionLabel->setText(
        QStringLiteral("%1 %2").arg(loc("_loc_about_version_label"), QVMUtils::getAppVersionFromBundle()));
    m_versionLabel->setAccessibleName(m_versionLabel->text());
    refreshLinks();
    refreshSupportButton();
    recolourIcons();
    view()->installEventFilter(this);
    observeThemeColor();
    m_observers.append(platform::NotificationCenter::defaultCenter().addObserver(
        QString::fromLatin1(QVMInterfaceFactory::kDidChangeNotification),
        [this](const QVariantMap &) { refreshSupportButton(); }));
    askForUpdate();
}

void QVMAboutViewController::viewDidAppear() {
    // The configuration may have arrived since the pane was made.
    refreshLinks();
    QVAnalyticsManager::trackViewsFromArray({QString::fromLatin1(kScreenName)});
}

// The scheme's signal can come before the application's palette follows it: the
// icons are tinted once the palette has settled.
void QVMAboutViewController::didChangeColorTheme(bool dark) {
    Q_UNUSED(dark)
    QTimer::singleShot(0, this, &QVMAboutViewController::recolourIcons);
}

// The view's palette, not the buttons': while the view hears of a palette change its
// children still hold the old one.
void QVMAboutViewController::recolourIcons() {
    const QColor ink = view()->palette().color(QPalette::ButtonText);
    for (QPushButton *button : view()->findChildren<QPushButton *>()) {
        const QString name = button->property("iconName").toString();
        if (!name.isEmpty())
            button->setIcon(tinted(name, ink));
    }
}

void QVMAboutViewController::refreshLinks() {
    for (int link = 0; link < LinkCount; ++link)
        m_linkButtons.at(link)->setVisible(!addressForLink(Link(link)).isEmpty());
}

void QVMAboutViewController::refreshSupportButton() {
    const bool available = QVMInterfaceFactory::shared().hasController(
        QString::fromLatin1(kSupportStoryboard), QString::fromLatin1(kSupportController));
    m_supportButton->setEnabled(available);
    m_supportButton->setToolTip(available ? loc("_loc_about_contact_support")
                                          : loc("_loc_about_support_unavailable"));
}

QUrl QVMAboutViewController::addressForLink(Link link) {
    if (link < 0 || link >= LinkCount)
        return {};
    const LinkSpec &spec = kLinks[link];
    const QVRemoteSettings remote = QVSettingsService::defaultSettings().remoteSettings();
    const QUrl address = webAddress((remote.*spec.field)());
    if (address.isEmpty() && spec.fallbackPath)
        return makerPage(spec.fallbackPath);
    return address;
}

void QVMAboutViewController::openLink(Link link) {
    const QUrl address = addressForLink(link);
    if (address.isEmpty())
        return;
    const LinkSpec &spec = kLinks[link];
    if (spec.action && !spec.eventAfterOpening)
        track(spec.category, spec.action);
    openAddress(address);
    if (spec.action && spec.eventAfterOpening)
        track(spec.category, spec.action);
}

QUrl QVMAboutViewController::sharedAddress() {
    QUrl url = platform::BackendConfig::makerDomain();
    url.setPath(QStringLiteral("/"));
    return url;
}

QUrl QVMAboutViewController::mailtoForAddress(const QUrl &address) {
    return QUrl::fromEncoded("mailto:?body=" + QUrl::toPercentEncoding(address.toString(QUrl::FullyEncoded)),
                             QUrl::StrictMode);
}

void QVMAboutViewController::onCopyLink() {
    QApplication::clipboard()->setText(sharedAddress().toString());
}

void QVMAboutViewController::onSendByEmail() {
    openAddress(mailtoForAddress(sharedAddress()));
}

bool QVMAboutViewController::openAddress(const QUrl &url) {
    return QVMLinkOpener::open(url);
}

void QVMAboutViewController::onSupportRequest() {
    track(kCategory, kSupportAction);
    platform::Error error;
    QObject *made = QVMInterfaceFactory::shared().instantiateController(
        QString::fromLatin1(kSupportStoryboard), QString::fromLatin1(kSupportController), this, &error);
    auto *form = qobject_cast<QVMBaseVC *>(made);
    if (!form) {
        delete made;
        refreshSupportButton();
        return;
    }
    showModalViewController(form);
}

bool QVMAboutViewController::isNewerVersion(const QString &offered, const QString &running) {
    qsizetype suffix = 0;
    const QVersionNumber offeredNumber = QVersionNumber::fromString(offered.trimmed(), &suffix);
    if (offeredNumber.isNull() || suffix != offered.trimmed().size())
        return false;
    return QVersionNumber::compare(offeredNumber, QVersionNumber::fromString(running)) > 0;
}

void QVMAboutViewController::askForUpdate() {
    QPointer<QVMAboutViewController> self(this);
    QVRequestManager::instance().getUpdateVersionUpdateAppWithLanguage(
        DJLocalizationSystem::shared().language(),
        [self](const std::optional<QVVersionUpdateDTO> &notice) {
            if (self)
                self->updateNoticeReceived(notice);
        },
        [self](const platform::Error &error) {
            DevLog(QString::fromLatin1(kUpdateLog), error.localizedDescription());
            if (self)
                emit self->updateNoticeAnswered();
        });
}

void QVMAboutViewController::showUpdate(const std::optional<QVVersionUpdateDTO> &notice) {
    if (!notice || !isNewerVersion(notice->version, QVMUtils::getAppVersionFromBundle())) {
        m_updateRow->hide();
        return;
    }
    QString line = platform::format(loc("_loc_about_update_available"), notice->version.trimmed());
    const QString message = notice->message.simplified();
    if (!message.isEmpty())
        line += QLatin1Char(' ') + message;
    m_updateLabel->setText(line);
    m_updateLabel->setAccessibleName(line);
    m_updateButton->setVisible(
        !webAddress(QVSettingsService::defaultSettings().remoteSettings().programSiteUrl()).isEmpty());
    m_updateRow->show();
}

void QVMAboutViewController::updateNoticeReceived(const std::optional<QVVersionUpdateDTO> &notice) {
    showUpdate(notice);
    emit updateNoticeAnswered();
}

void QVMAboutViewController::openUpdatePage() {
    openAddress(webAddress(QVSettingsService::defaultSettings().remoteSettings().programSiteUrl()));
}

bool QVMAboutViewController::eventFilter(QObject *watched, QEvent *event) {
    const bool paletteChanged =
        event->type() == QEvent::PaletteChange || event->type() == QEvent::ApplicationPaletteChange;
    if (paletteChanged && isViewLoaded() && watched == view()) {
        recolourIcons();
        QTimer::singleShot(0, this, &QVMAboutViewController::recolourIcons);
    }
    return QVMBaseVC::eventFilter(watched, event);
}
