#include "QVMInfoViewController.h"

#include "core/localization/QVLocalizedString.h"
#include "core/settings/QVSettingsService.h"
#include "platform/Format.h"
#include "ui/controls/QVMSpinner.h"
#include "ui/controls/QVMWebEngineCheck.h"
#include "ui/controls/QVMWebView.h"
#include "ui/foundation/QVMInterfaceFactory.h"
#include "ui/foundation/QVMUtils.h"

#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QStackedWidget>
#include <QTime>
#include <QUrl>
#include <QVBoxLayout>

namespace {

QString loc(const char *key) {
    return QVLocalizedString(QString::fromLatin1(key));
}

enum Page { WebPage = 0, FailurePage = 1 };

// The page the setting's text leads to; empty when it leads nowhere loadable.
QUrl loadableAddress(const QString &text) {
    const QUrl url(QVMUtils::pathStringWithString(text), QUrl::StrictMode);
    return QVMWebView::isWebAddress(url) ? url : QUrl();
}

} // namespace

QVMInfoViewController::QVMInfoViewController(QObject *parent) : QVMBaseVC(parent) {}

QWidget *QVMInfoViewController::loadView() {
    auto *view = new QWidget;
    auto *layout = new QVBoxLayout(view);
    layout->setContentsMargins(0, 0, 0, 0);
    m_pages = new QStackedWidget(view);
    layout->addWidget(m_pages);

    m_failurePage = new QWidget(m_pages);
    auto *failureLayout = new QVBoxLayout(m_failurePage);
    failureLayout->addStretch();
    m_messageLabel = new QLabel(m_failurePage);
    m_messageLabel->setAlignment(Qt::AlignCenter);
    m_messageLabel->setWordWrap(true);
    failureLayout->addWidget(m_messageLabel);
    m_tryAgainButton = new QPushButton(loc(kTryAgainKey), m_failurePage);
    m_tryAgainButton->setAccessibleName(m_tryAgainButton->text());
    m_tryAgainButton->setToolTip(m_tryAgainButton->text());
    m_tryAgainButton->setAutoDefault(true);
    failureLayout->addWidget(m_tryAgainButton, 0, Qt::AlignHCenter);
    failureLayout->addStretch();
    connect(m_tryAgainButton, &QPushButton::clicked, this, &QVMInfoViewController::tryAgainButtonAction);
    return view;
}

void QVMInfoViewController::viewDidLoad() {
    m_tryAgainButton->hide();
    // The first web view of a run waits until the engine is known to start.
    if (QVMWebEngineCheck::shared().state() != QVMWebEngineCheck::State::Ready) {
        m_loading = true;
        QVMSpinner::showSpinner(view(), this);
    }
    QVMWebEngineCheck::shared().whenKnown(this, [this](bool ready) {
        m_loading = false;
        QVMSpinner::hideSpinner(view(), this);
        if (!ready) {
            showFailure(kNoWebViewKey);
            // Trying again cannot start an engine that did not start.
            m_tryAgainButton->hide();
            emit loadEnded(false);
            return;
        }
        addWebView();
        loadRequest();
    });
}

void QVMInfoViewController::addWebView() {
    m_webView = new QVMWebView(m_pages);
    // No tooltip: it would float over the page wherever the pointer rests.
    m_webView->setAccessibleName(loc(kPageKey));
    m_pages->insertWidget(WebPage, m_webView);
    m_pages->insertWidget(FailurePage, m_failurePage);
    m_pages->setCurrentIndex(WebPage);
    connect(m_webView, &QWebEngineView::loadStarted, this, &QVMInfoViewController::loadStarted);
    connect(m_webView, &QWebEngineView::loadFinished, this, &QVMInfoViewController::loadFinished);
}

void QVMInfoViewController::tryAgainButtonAction() {
    if (!m_webView)
        return;
    m_tryAgainButton->hide();
    ++m_attempts;
    loadRequest();
}

void QVMInfoViewController::loadRequest() {
    // Read once; but an address that cannot load is read again, as the
    // configuration may have arrived since.
    if (!m_urlRead || loadableAddress(m_urlString).isEmpty()) {
        m_urlString = QVSettingsService::defaultSettings().remoteSettings().appInfoURL();
        m_urlRead = true;
    }
    const QUrl address = loadableAddress(m_urlString);
    if (address.isEmpty()) {
        showFailure(kNoInformationKey);
        return;
    }
    loadStarted();
    m_webView->loadAddress(address);
}

void QVMInfoViewController::loadStarted() {
    m_loading = true;
    m_tryAgainButton->hide();
    m_pages->setCurrentIndex(WebPage);
    QVMSpinner::showSpinner(view(), this);
}

void QVMInfoViewController::loadFinished(bool ok) {
    m_loading = false;
    QVMSpinner::hideSpinner(view(), this);
    if (!ok)
        showFailure(kLoadFailedKey);
    emit loadEnded(ok);
}

void QVMInfoViewController::showFailure(const char *messageKey) {
    QString message = loc(messageKey);
    // Another try that ends as the last one did says so, or the click would seem lost.
    if (m_attempts > 0)
        message += QStringLiteral("\n") +
                   platform::format(loc(kTriedAgainKey),
                                    QLocale().toString(QTime::currentTime(), QLocale::ShortFormat));
    m_messageLabel->setText(message);
    m_messageLabel->setAccessibleName(m_messageLabel->text());
    m_pages->setCurrentIndex(FailurePage);
    m_tryAgainButton->show();
}

void installInfoPane() {
    QVMInterfaceFactory::shared().registerController<QVMInfoViewController>(
        QStringLiteral("Settings"), QStringLiteral("QVMInfoViewController"));
}

void removeInfoPane() {
    QVMInterfaceFactory::shared().removeController(QStringLiteral("Settings"),
                                                   QStringLiteral("QVMInfoViewController"));
}
