// What the web-page window costs, beside bare web views doing the same work in
// the same run, so a busy machine slows both sides alike. Pages come from a
// loopback server of this benchmark's own, which also answers the translation
// request. Offscreen unless DISPLAY is set.
//
//   web_source_shown      the address given until the source page is loaded and measured;
//                         goal 1 s
//   web_translated_shown  the server's answer to the translation request until the
//                         translated page is loaded and measured; goal 1 s
//   raw_page_loaded       a bare view loading the same source page
//   scroll_follow         the source page scrolled until the translated page reports the
//                         same offset; goal 16 ms per scroll event
//   raw_scroll_follow     the same following between two bare views
#include "BenchHome.h"

#include "panes/web/QVMWebPageController.h"
#include "platform/BackendConfig.h"
#include "ui/controls/QVMWebView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTcpServer>
#include <QTcpSocket>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <benchmark/benchmark.h>

#include <unistd.h>

namespace {

template <typename Done> bool spinUntil(Done done, int limitMs = 10000) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < limitMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    return done();
}

QByteArray page(const char *title, int height) {
    return QStringLiteral(
               "<html><head><title>%1</title></head><body style=\"margin:0;font:16px DejaVu Sans\">"
               "<div style=\"width:900px;height:%2px\"><h1>%1</h1><p>The library opens at nine and "
               "closes at six.</p></div></body></html>")
        .arg(QString::fromLatin1(title))
        .arg(height)
        .toUtf8();
}

// Serves the two pages and answers the translation request with the translated page's address.
class LoopbackSite : public QTcpServer {
public:
    LoopbackSite() {
        listen(QHostAddress::LocalHost);
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { serve(socket); });
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }
    QUrl url(const char *path) const {
        return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(serverPort()).arg(QString::fromLatin1(path)));
    }
    QElapsedTimer clock;
    qint64 answeredAt = -1; // nanoseconds on clock when the translation request was answered

private:
    void serve(QTcpSocket *socket) {
        QByteArray &buffer = m_buffers[socket];
        buffer += socket->readAll();
        const int end = buffer.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        const QByteArray head = buffer.left(end).toLower();
        const int lengthAt = head.indexOf("content-length:");
        const int length =
            lengthAt < 0
                ? 0
                : head.mid(lengthAt + 15, head.indexOf('\r', lengthAt) - lengthAt - 15).trimmed().toInt();
        if (buffer.size() < end + 4 + length)
            return;
        const QByteArray line = buffer.left(buffer.indexOf('\r'));
        m_buffers.remove(socket);
        QByteArray body;
        QByteArray type = "text/html";
        if (line.startsWith("GET /source")) {
            body = page("Source", 5000);
        } else if (line.startsWith("GET /translated")) {
            body = page("Quelle", 5000);
        } else if (line.startsWith("POST /translateWebpageAPI/")) {
            body = "{\"result\":\"" + url("/translated").toString().toUtf8() + "\"}";
            type = "application/json";
        }
        socket->write("HTTP/1.1 " + QByteArray(body.isEmpty() ? "404 Not Found" : "200 OK") +
                      "\r\nContent-Type: " + type + "\r\nContent-Length: " + QByteArray::number(body.size()) +
                      "\r\nConnection: close\r\n\r\n" + body);
        socket->flush();
        if (line.startsWith("POST"))
            answeredAt = clock.nsecsElapsed();
        socket->disconnectFromHost();
    }
    QHash<QTcpSocket *, QByteArray> m_buffers;
};

LoopbackSite *g_site = nullptr;

// A window whose source page was given; the seconds until each page was shown.
struct Opened {
    double source = -1;
    double translated = -1;
};

Opened openAndLoad(QVMWebPageController **kept = nullptr) {
    auto *web = new QVMWebPageController;
    web->view()->resize(1200, 760);
    web->view()->show();
    Opened opened;
    bool sourceShown = false;
    bool translatedShown = false;
    QObject::connect(web, &QVMWebPageController::pageShown, [&](bool source) {
        const double now = double(g_site->clock.nsecsElapsed());
        if (source && !sourceShown) {
            sourceShown = true;
            opened.source = now;
        } else if (!source && !translatedShown) {
            translatedShown = true;
            opened.translated = (now - double(g_site->answeredAt)) / 1e9;
        }
    });
    spinUntil([] { return false; }, 50);
    web->addressField()->setText(g_site->url("/source").toString());
    const double start = double(g_site->clock.nsecsElapsed());
    web->translate();
    spinUntil([&] { return sourceShown && translatedShown; }, 20000);
    opened.source = sourceShown ? (opened.source - start) / 1e9 : -1;
    QObject::disconnect(web, &QVMWebPageController::pageShown, nullptr, nullptr);
    if (kept)
        *kept = web;
    else
        delete web;
    return opened;
}

void web_source_shown(benchmark::State &state) {
    for (auto _ : state) {
        const Opened opened = openAndLoad();
        if (opened.source < 0)
            state.SkipWithError("the source page was not shown");
        state.SetIterationTime(std::max(opened.source, 0.0));
    }
    state.counters["goal_ms"] = 1000;
}

void web_translated_shown(benchmark::State &state) {
    for (auto _ : state) {
        const Opened opened = openAndLoad();
        if (opened.translated < 0)
            state.SkipWithError("the translated page was not shown");
        state.SetIterationTime(std::max(opened.translated, 0.0));
    }
    state.counters["goal_ms"] = 1000;
}

void raw_page_loaded(benchmark::State &state) {
    for (auto _ : state) {
        QWebEngineView view;
        view.resize(600, 700);
        view.show();
        bool loaded = false;
        QObject::connect(&view, &QWebEngineView::loadFinished, [&](bool) { loaded = true; });
        QElapsedTimer timer;
        timer.start();
        view.load(g_site->url("/source"));
        spinUntil([&] { return loaded; }, 20000);
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
    }
}

// Scrolls `from` to successive offsets; the seconds until `to` reports each one.
void measureFollowing(benchmark::State &state, QWebEngineView *from, QWebEngineView *to) {
    int offset = 0;
    for (auto _ : state) {
        offset = offset >= 3000 ? 100 : offset + 100;
        bool followed = false;
        const auto connection = QObject::connect(to->page(), &QWebEnginePage::scrollPositionChanged,
                                                 [&](const QPointF &position) {
                                                     if (qRound(position.y()) == offset)
                                                         followed = true;
                                                 });
        QElapsedTimer timer;
        timer.start();
        from->page()->runJavaScript(QStringLiteral("window.scrollTo(0,%1)").arg(offset));
        spinUntil([&] { return followed; }, 5000);
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
        QObject::disconnect(connection);
        if (!followed)
            state.SkipWithError("the other page did not follow");
    }
}

void scroll_follow(benchmark::State &state) {
    QVMWebPageController *web = nullptr;
    openAndLoad(&web);
    spinUntil([] { return false; }, 200);
    measureFollowing(state, web->fromWebView(), web->toWebView());
    state.counters["goal_ms"] = 16;
    delete web;
}

void raw_scroll_follow(benchmark::State &state) {
    QWidget window;
    QWebEngineView from(&window);
    QWebEngineView to(&window);
    from.setGeometry(0, 0, 600, 700);
    to.setGeometry(600, 0, 600, 700);
    window.resize(1200, 700);
    window.show();
    int loaded = 0;
    for (QWebEngineView *view : {&from, &to})
        QObject::connect(view, &QWebEngineView::loadFinished, [&](bool) { ++loaded; });
    from.load(g_site->url("/source"));
    to.load(g_site->url("/translated"));
    spinUntil([&] { return loaded == 2; }, 20000);
    // The same following as the window's, without its bookkeeping.
    QObject::connect(from.page(), &QWebEnginePage::scrollPositionChanged, [&](const QPointF &position) {
        to.page()->runJavaScript(QStringLiteral("window.scrollTo(0,%1)").arg(position.y(), 0, 'f', 0));
    });
    spinUntil([] { return false; }, 200);
    measureFollowing(state, &from, &to);
}

} // namespace

BENCHMARK(web_source_shown)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(web_translated_shown)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(raw_page_loaded)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(scroll_follow)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(30);
BENCHMARK(raw_scroll_follow)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(30);

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The web engine refuses to start as root with its sandbox on.
    if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    bench::Home home;
    if (!home.prepare(false)) {
        std::fprintf(stderr, "bench_web: the home could not be prepared\n");
        return 1;
    }
    LoopbackSite site;
    site.clock.start();
    g_site = &site;
    platform::BackendConfig::overrideHost("QV_API_HOST", site.url(""));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    platform::BackendConfig::overrideHost("QV_API_HOST", QUrl());
    return 0;
}
