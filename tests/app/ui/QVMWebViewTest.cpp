#include "support/EventLoop.h"
#include "support/FakeBackend.h"

#include "ui/controls/QVMWebPage.h"
#include "ui/controls/QVMWebView.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QVBoxLayout>
#include <QWebEngineProfile>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <optional>

using qvtest::FakeBackend;
using qvtest::FakeReply;

namespace {

QByteArray pageOfSize(int width, int height) {
    return QStringLiteral("<html><body style=\"margin:0\"><div style=\"width:%1px;height:%2px\">page</div>"
                          "</body></html>")
        .arg(width)
        .arg(height)
        .toUtf8();
}

bool load(QVMWebView &view, const QUrl &url) {
    QSignalSpy finished(&view, &QWebEngineView::loadFinished);
    if (!view.loadAddress(url))
        return false;
    return qvtest::waitUntil([&] { return !finished.isEmpty(); }, 15000) && finished.first().first().toBool();
}

std::optional<QSizeF> measure(QVMWebView &view) {
    std::optional<QSizeF> size;
    view.contentSizeWithBlock([&size](QSizeF measured) { size = measured; });
    qvtest::waitUntil([&] { return size.has_value(); }, 10000);
    return size;
}

} // namespace

class QVMWebViewTest : public ::testing::Test {
protected:
    FakeBackend backend;
};

TEST_F(QVMWebViewTest, OnlyWebAddressesLoad) {
    const QList<QPair<const char *, QUrl>> refused = {
        {"empty", QUrl()},
        {"local file", QUrl::fromLocalFile(QStringLiteral("/etc/passwd"))},
        {"ftp", QUrl(QStringLiteral("ftp://127.0.0.1/file"))},
        {"script", QUrl(QStringLiteral("javascript:alert(1)"))},
        {"data", QUrl(QStringLiteral("data:text/html,<b>x</b>"))},
        {"no host", QUrl(QStringLiteral("http://"))},
    };
    QVMWebView view;
    QSignalSpy started(&view, &QWebEngineView::loadStarted);
    for (const auto &[name, url] : refused) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(view.loadAddress(url));
    }
    qvtest::spin(50);
    EXPECT_TRUE(started.isEmpty());
    EXPECT_TRUE(view.page()->profile()->isOffTheRecord());
}

TEST_F(QVMWebViewTest, PagesFollowOnlyWebAddressesAndReportTheRest) {
    // The engine itself stops pages from opening local files; the page refuses every other scheme too.
    struct ExposedPage : QVMWebPage {
        using QVMWebPage::acceptNavigationRequest;
        using QVMWebPage::QVMWebPage;
    };
    struct Case {
        const char *name;
        QUrl url;
        bool mainFrame;
        bool accepted;
        int reported;
    };
    const QList<Case> cases = {
        {"file link", QUrl(QStringLiteral("file:///etc/hostname")), true, false, 1},
        {"custom scheme", QUrl(QStringLiteral("mailto:someone@example.org")), true, false, 1},
        {"frame of another scheme", QUrl(QStringLiteral("ftp://127.0.0.1/x")), false, false, 0},
        {"https", QUrl(QStringLiteral("https://127.0.0.1/")), true, true, 0},
        {"empty page", QUrl(QStringLiteral("about:blank")), false, true, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ExposedPage page(QVMWebView::offTheRecordProfile());
        QSignalSpy refused(&page, &QVMWebPage::navigationRefused);
        EXPECT_EQ(page.acceptNavigationRequest(c.url, QWebEnginePage::NavigationTypeLinkClicked, c.mainFrame),
                  c.accepted);
        EXPECT_EQ(refused.size(), c.reported);
    }
}

TEST_F(QVMWebViewTest, PageSizeIsZeroWhenThePageCannotTellIt) {
    struct Case {
        const char *name;
        QByteArray body;
        QByteArray type;
        QSizeF expected;
    };
    // An SVG document has no body: the second question fails.
    const QList<Case> cases = {
        {"no body", "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"10\" height=\"10\"/>", "image/svg+xml",
         QSizeF(0, 0)},
        {"tall page", pageOfSize(1200, 5000), "text/html", QSizeF(1200, 5000)},
    };
    QVMWebView view;
    view.resize(600, 400);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = QStringLiteral("/") + QString::fromLatin1(c.name).replace(' ', '-');
        backend.route("GET", path, FakeReply::bytes(c.body, c.type));
        ASSERT_TRUE(load(view, backend.url(path)));
        const std::optional<QSizeF> size = measure(view);
        ASSERT_TRUE(size.has_value());
        EXPECT_EQ(size->height(), c.expected.height());
        EXPECT_GE(size->width(), c.expected.width());
    }
}

TEST_F(QVMWebViewTest, WheelGoesToTheEnclosingScrollAreaOnly) {
    backend.route("GET", "/tall", FakeReply::bytes(pageOfSize(300, 3000), "text/html"));
    QScrollArea area;
    auto *content = new QWidget;
    auto *layout = new QVBoxLayout(content);
    auto *view = new QVMWebView;
    view->setMinimumSize(300, 2000);
    layout->addWidget(view);
    area.setWidget(content);
    area.resize(400, 300);
    area.show();
    ASSERT_TRUE(view->handsWheelOn());
    ASSERT_TRUE(load(*view, backend.url(QStringLiteral("/tall"))));
    QWidget *target = view->focusProxy() ? view->focusProxy() : view;
    const QPointF inside(50, 50);
    QWheelEvent wheel(inside, target->mapToGlobal(inside), QPoint(), QPoint(0, -240), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(target, &wheel);
    EXPECT_GT(area.verticalScrollBar()->value(), 0);
    qvtest::spin(100);
    EXPECT_EQ(view->page()->scrollPosition().y(), 0);

    QVMWebView alone;
    EXPECT_FALSE(alone.handsWheelOn());
}
