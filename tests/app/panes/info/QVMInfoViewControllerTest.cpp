#include "app/panes/about/AboutTestSupport.h"

#include "WindowChecks.h"

#include "panes/info/QVMInfoViewController.h"
#include "ui/controls/QVMWebView.h"

#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>

using namespace abouttest;
using qvtest::FakeReply;

namespace {

const QByteArray kPage = "<html><head><title>About us</title></head><body>We translate.</body></html>";

class InfoPageTest : public AboutTest {
protected:
    void SetUp() override {
        AboutTest::SetUp();
        backend.route("GET", "/info", FakeReply::bytes(kPage, "text/html"));
    }
    void TearDown() override {
        delete m_info;
        AboutTest::TearDown();
    }
    QVMInfoViewController *openInfo() {
        delete m_info;
        m_info = new QVMInfoViewController;
        m_ended = std::make_unique<QSignalSpy>(m_info.data(), &QVMInfoViewController::loadEnded);
        m_info->view()->resize(640, 480);
        m_info->view()->show();
        return m_info;
    }
    bool ended(int count = 1) const {
        return qvtest::waitUntil([&] { return m_ended->count() >= count; }, 15000);
    }
    bool offersTryAgain() const {
        return m_info->tryAgainButton()->isVisibleTo(m_info->view()) && !m_info->isLoading();
    }
    QString pageAddress() const { return backend.url(QStringLiteral("/info")).toString(); }
    QPointer<QVMInfoViewController> m_info;
    std::unique_ptr<QSignalSpy> m_ended;
};

} // namespace

TEST_F(InfoPageTest, AddressThatCannotLoadSaysNoInformationUntilTryAgainFindsOne) {
    const char *addresses[] = {"", "ftp://files.example.org/info", "javascript:alert(1)"};
    for (const char *address : addresses) {
        SCOPED_TRACE(address);
        setRemote({{"appInfoURL", address}});
        openInfo();
        qvtest::spin(50);
        EXPECT_TRUE(offersTryAgain());
        EXPECT_EQ(m_info->messageLabel()->text(), QStringLiteral("No information yet"));
        EXPECT_TRUE(m_info->webView()->url().isEmpty()) << "nothing loaded";
        EXPECT_EQ(m_info->tryAgainButton()->accessibleName(), QStringLiteral("Try again"));
    }
    // The configuration arrives: Try again reads it afresh.
    setRemote({{"appInfoURL", pageAddress()}});
    m_info->tryAgainButton()->click();
    ASSERT_TRUE(ended());
    EXPECT_EQ(m_ended->last().at(0).toBool(), true);
    EXPECT_EQ(m_info->urlString(), pageAddress());
    EXPECT_EQ(backend.hitCount("GET", QStringLiteral("/info")), 1);
}

TEST_F(InfoPageTest, ClosedPortOffersTryAgainWhichLoadsTheSameAddressAgain) {
    const QString closed = QStringLiteral("http://127.0.0.1:9/info");
    setRemote({{"appInfoURL", closed}});
    openInfo();
    EXPECT_TRUE(m_info->isLoading()) << "the spinner shows at once";
    ASSERT_TRUE(ended());
    EXPECT_FALSE(m_ended->last().at(0).toBool());
    EXPECT_TRUE(offersTryAgain());
    uitest::expectEveryControlNamed(m_info->view());
    uitest::expectReadableInBothPalettes(m_info->view());

    // The address is read once per controller, so a later setting waits for a new window.
    setRemote({{"appInfoURL", pageAddress()}});
    m_info->tryAgainButton()->click();
    EXPECT_TRUE(m_info->isLoading());
    EXPECT_TRUE(m_info->tryAgainButton()->isHidden());
    ASSERT_TRUE(ended(2));
    EXPECT_TRUE(offersTryAgain());
    EXPECT_EQ(m_info->urlString(), closed);
}

TEST_F(InfoPageTest, LoopbackPageLoadsAndHidesTheSpinner) {
    setRemote({{"appInfoURL", pageAddress()}});
    openInfo();
    ASSERT_TRUE(ended());
    EXPECT_TRUE(m_ended->last().at(0).toBool());
    EXPECT_FALSE(m_info->isLoading());
    EXPECT_TRUE(m_info->tryAgainButton()->isHidden());
    EXPECT_TRUE(m_info->webView()->isVisibleTo(m_info->view()));
    EXPECT_EQ(m_info->webView()->title(), QStringLiteral("About us"));
}

TEST_F(InfoPageTest, TryAgainThatEndsAsBeforeSaysItTriedAgain) {
    setRemote({{"appInfoURL", ""}});
    openInfo();
    qvtest::spin(20);
    const QString first = m_info->messageLabel()->text();
    EXPECT_FALSE(first.contains(QStringLiteral("Tried again")));
    for (int attempt = 1; attempt <= 2; ++attempt) {
        SCOPED_TRACE(attempt);
        m_info->tryAgainButton()->click();
        qvtest::spin(5);
        EXPECT_EQ(m_info->attempts(), attempt);
        EXPECT_TRUE(offersTryAgain());
        EXPECT_TRUE(m_info->messageLabel()->text().startsWith(first));
        EXPECT_TRUE(m_info->messageLabel()->text().contains(QStringLiteral("Tried again at")));
    }
}
