// How long the settings window's Info tab takes to show a page from a loopback
// server, offscreen, beside a bare web view loading the same page in the same run:
//
//   info_page_load     a new Info tab until its page has loaded; goal 1000 ms
//   plain_view_load    a bare QWebEngineView loading the same address (the yardstick)
#include "core/QVStoreConfiguration.h"
#include "core/models/QVRemoteSettings.h"
#include "core/settings/QVSettingsService.h"
#include "panes/info/QVMInfoViewController.h"
#include "services/languages/QVLanguageService.h"
#include "startup/QVStoreMigration.h"

#include "platform/AppPaths.h"
#include "platform/store/Store.h"

#include <QApplication>
#include <QEventLoop>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebEngineView>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>

namespace {

constexpr double kLoadGoalMs = 1000;
constexpr int kWaitLimitMs = 10000;

std::unique_ptr<QTemporaryDir> g_home;
QTcpServer *g_server = nullptr;

// Answers every request with one small page and closes the connection.
void startServer() {
    g_server = new QTcpServer;
    g_server->listen(QHostAddress::LocalHost, 0);
    QObject::connect(g_server, &QTcpServer::newConnection, [] {
        while (QTcpSocket *socket = g_server->nextPendingConnection()) {
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [socket] {
                if (!socket->readAll().contains("\r\n\r\n"))
                    return;
                const QByteArray body =
                    "<html><head><title>Info</title></head><body><h2>Quorvalde Translator</h2>"
                    "<p>Translate text, documents, pictures and web pages.</p></body></html>";
                socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nConnection: close\r\n"
                              "Content-Length: " +
                              QByteArray::number(body.size()) + "\r\n\r\n" + body);
                socket->disconnectFromHost();
            });
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
}

QString pageAddress() {
    return QStringLiteral("http://127.0.0.1:%1/info").arg(g_server->serverPort());
}

bool prepareHome() {
    g_home = std::make_unique<QTemporaryDir>();
    platform::AppPaths::setRoot(g_home->path());
    if (QVStoreConfiguration::configureDefaultStore(QVStoreMigration::migrationBlock()))
        return false;
    if (QVLanguageService::initializeDefaultLanguages())
        return false;
    const QVTranslateSettings record = QVSettingsService::defaultSettings();
    const platform::Error error = platform::ObjectStore::defaultStore().write([&](platform::Transaction &tx) {
        record.setRemoteSettings(tx, QVRemoteSettings(tx.createOrUpdate(
                                         QVRemoteSettings::storeClassName(),
                                         {{"admobBannerId", "bench"}, {"appInfoURL", pageAddress()}})));
    });
    return !error;
}

// Spins until the signal comes or the limit passes; false on the limit.
template <typename Sender, typename Signal> bool waitFor(Sender *sender, Signal signal) {
    QEventLoop loop;
    bool ok = false;
    QObject::connect(sender, signal, &loop, [&](bool loaded) {
        ok = loaded;
        loop.quit();
    });
    QTimer::singleShot(kWaitLimitMs, &loop, &QEventLoop::quit);
    loop.exec();
    return ok;
}

void info_page_load(benchmark::State &state) {
    for (auto _ : state) {
        auto *info = new QVMInfoViewController;
        info->view()->resize(640, 420);
        info->view()->show();
        if (!waitFor(info, &QVMInfoViewController::loadEnded))
            state.SkipWithError("the page did not load");
        state.PauseTiming();
        delete info;
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
    state.counters["goal_ms"] = kLoadGoalMs;
}

void plain_view_load(benchmark::State &state) {
    for (auto _ : state) {
        auto *view = new QWebEngineView;
        view->resize(640, 420);
        view->show();
        view->load(QUrl(pageAddress()));
        if (!waitFor(view, &QWebEngineView::loadFinished))
            state.SkipWithError("the page did not load");
        state.PauseTiming();
        delete view;
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
}

} // namespace

BENCHMARK(info_page_load)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);
BENCHMARK(plain_view_load)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // QtWebEngine refuses to start as root with its sandbox on.
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    startServer();
    if (!prepareHome()) {
        std::fprintf(stderr, "could not prepare the store\n");
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    delete g_server;
    platform::ObjectStore::resetDefaultStore();
    platform::AppPaths::setRoot(QString());
    return 0;
}
