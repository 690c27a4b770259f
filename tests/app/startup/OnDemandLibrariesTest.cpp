// Libraries that only some actions need are not loaded at start, and load and work when
// first needed: GL (for web views), speech (QtTextToSpeech and the speech daemon), audio
// (QtMultimedia), PDF (QtPdf, and QtPrintSupport for printing), mail (libcurl), notification
// sounds (libcanberra), the offline engine (its library and sentencepiece; the offline
// end-to-end tests translate through it) and package archives (libzip; the unpacker's tests
// unpack through it). The web engine and text recognition are checked in
// QVWebModuleTest.
#include "support/ChildProcess.h"
#include "support/EventLoop.h"
#include "support/FakeSmtpServer.h"
#include "support/XvfbSession.h"

#include "services/documents/QVPdfModule.h"
#include "services/documents/QVWebSocketManager.h"
#include "services/offline/QVOnDemandTranslationEngine.h"
#include "services/packages/QVPackageUnpacker.h"
#include "services/push/QVDesktopNotifier.h"
#include "services/push/QVSoundModule.h"
#include "services/speech/QVOnDemandAudioPlayer.h"
#include "services/speech/QVOnDemandSpeechEngine.h"
#include "services/support/QVSupportMailer.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPdfWriter>
#include <QPrinter>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QThread>
#include <gtest/gtest.h>

#include <functional>
#include <optional>

namespace {

QByteArray mapsOf(qint64 pid) {
    QFile maps(QStringLiteral("/proc/%1/maps").arg(pid));
    return maps.open(QIODevice::ReadOnly) ? maps.readAll() : QByteArray();
}

QByteArray threadNamesOf(qint64 pid) {
    QByteArray names;
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    for (const QString &task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(tasks.filePath(task + QStringLiteral("/comm")));
        if (comm.open(QIODevice::ReadOnly))
            names += comm.readAll();
    }
    return names;
}

// A GL driver in the process: Mesa's drivers and their compiler, or its render threads.
QStringList glInside(qint64 pid) {
    QStringList found;
    const QByteArray maps = mapsOf(pid);
    for (const char *library : {"_dri.so", "libLLVM", "libGLX_mesa", "libgallium"})
        if (maps.contains(library))
            found << QString::fromLatin1(library);
    if (threadNamesOf(pid).contains("llvmpipe"))
        found << QStringLiteral("llvmpipe threads");
    return found;
}

bool waitFor(QProcess &process, QByteArray &output, const QByteArray &marker, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!output.contains(marker) && timer.elapsed() < timeoutMs && process.state() == QProcess::Running) {
        process.waitForReadyRead(50);
        output += process.readAllStandardError();
    }
    return output.contains(marker);
}

} // namespace

TEST(OnDemandLibraries, TheProgramLinksNoLibraryOfAnOnDemandModule) {
    QProcess readelf;
    readelf.start(QStringLiteral("readelf"), {QStringLiteral("-d"), QStringLiteral(QV_APP_BINARY)});
    ASSERT_TRUE(readelf.waitForFinished(30000));
    const QByteArray dynamic = readelf.readAllStandardOutput();
    ASSERT_TRUE(dynamic.contains("libQt6Widgets")) << dynamic.constData();
    for (const char *onDemand :
         {"TextToSpeech", "Multimedia", "libGL", "libEGL", "Qt6Pdf", "PrintSupport", "cups", "libcurl",
          "libcanberra", "libsynaptra", "sentencepiece", "libzip", "WebSockets"})
        EXPECT_FALSE(dynamic.contains(onDemand)) << "the program loads " << onDemand << " at start";
}

// On X11 the program starts without a GL context: no driver, no render threads (the web
// module makes the context web views share when it loads).
TEST(OnDemandLibraries, OnX11TheProgramStartsWithoutAnyGLDriver) {
    qvtest::XvfbSession x11;
    if (!x11.isRunning())
        GTEST_SKIP() << "no Xvfb";
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const QVariantMap display = x11.childEnvironment();
    for (auto it = display.cbegin(); it != display.cend(); ++it)
        environment.insert(it.key(), it.value().toString());
    environment.insert(QStringLiteral("QV_HOME"), home.path());
    environment.insert(QStringLiteral("QV_NETWORK_STATUS"), QStringLiteral("offline"));
    environment.insert(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"), QStringLiteral("1"));
    environment.insert(QStringLiteral("QTWEBENGINE_CHROMIUM_FLAGS"), QStringLiteral("--disable-gpu"));
    // The first-frame line is an information line: the terminal shows it only when verbose.
    environment.insert(QStringLiteral("QV_VERBOSE"), QStringLiteral("1"));
    QProcess program;
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(QV_APP_BINARY), {});
    ASSERT_TRUE(program.waitForStarted(30000));
    QByteArray output;
    ASSERT_TRUE(waitFor(program, output, "[launch] first frame", 60000)) << output.constData();
    // The start goes on loading plugins for a moment after the first frame.
    QThread::msleep(1500);
    EXPECT_EQ(glInside(program.processId()).join(QStringLiteral(", ")).toStdString(), "");

    program.kill();
    program.waitForFinished(5000);
}

#if defined(__SANITIZE_ADDRESS__)
// The speech daemon's client splits the voice list with a strstr per line over the rest of the
// reply, which AddressSanitizer's interceptor measures whole each time: minutes for the hundreds
// of voices of the system's synthesizer. The plain build checks the speech half.
constexpr bool kVoicesListedInTime = false;
#else
constexpr bool kVoicesListedInTime = true;
#endif

TEST(OnDemandLibraries, SpeechAndAudioLoadOnFirstUseAndWork) {
    EXPECT_FALSE(QVOnDemandSpeechEngine::isModuleLoaded());
    EXPECT_FALSE(QVOnDemandAudioPlayer::isModuleLoaded());
    EXPECT_FALSE(mapsOf(QCoreApplication::applicationPid()).contains("libQt6TextToSpeech"));
    EXPECT_FALSE(mapsOf(QCoreApplication::applicationPid()).contains("libQt6Multimedia"));

    // The first speech starts the system engine: it reports ready with the voices it found.
    QVOnDemandSpeechEngine engine;
    QVOnDemandAudioPlayer player;
    EXPECT_FALSE(engine.isReady());
    if (kVoicesListedInTime) {
        int ready = 0;
        QObject::connect(&engine, &QVSpeechEngine::ready, [&ready] { ++ready; });
        engine.prepare();
        ASSERT_TRUE(qvtest::waitUntil([&] { return ready > 0; }, 30000));
        EXPECT_EQ(ready, 1);
        EXPECT_TRUE(engine.isReady());
        EXPECT_TRUE(QVOnDemandSpeechEngine::isModuleLoaded());
        EXPECT_TRUE(mapsOf(QCoreApplication::applicationPid()).contains("libQt6TextToSpeech"));
    }

    // The first audio asks QtMultimedia for an output: there is none on this machine's test
    // session unless an audio server runs, and the answer says so rather than failing later.
    const bool output = player.canPlay();
    EXPECT_TRUE(QVOnDemandAudioPlayer::isModuleLoaded());
    EXPECT_TRUE(mapsOf(QCoreApplication::applicationPid()).contains("libQt6Multimedia"));
    if (output) {
        QList<bool> finished;
        QObject::connect(&player, &QVAudioPlayer::finished, [&finished](bool ok) { finished << ok; });
        player.play(QByteArray("not audio"), 1.0, 1.0);
        ASSERT_TRUE(qvtest::waitUntil([&] { return !finished.isEmpty(); }, 10000));
        EXPECT_EQ(finished, QList<bool>{false});
    }
}

TEST(OnDemandLibraries, PdfReadingAndPrintingLoadOnFirstUseAndWork) {
    const qint64 self = QCoreApplication::applicationPid();
    EXPECT_FALSE(QVPdfModule::isLoaded());
#ifndef __SANITIZE_ADDRESS__
    // A sanitizer build keeps every linked library of the test binary; the plain build checks this.
    EXPECT_FALSE(mapsOf(self).contains("libQt6Pdf"));
#endif

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("page.pdf"));
    {
        QPdfWriter writer(path);
        QTextDocument page;
        page.setPlainText(QStringLiteral("Read back from the module"));
        page.print(&writer);
    }
    // A file that is no PDF is refused, and says so.
    const QString garbage = dir.filePath(QStringLiteral("garbage.pdf"));
    {
        QFile file(garbage);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("not a pdf");
    }
    EXPECT_EQ(QVPdfModule::open(garbage), nullptr);
    EXPECT_FALSE(QVPdfModule::lastError().isEmpty());

    const std::unique_ptr<QVPdfDocument> document = QVPdfModule::open(path);
    ASSERT_NE(document, nullptr) << QVPdfModule::lastError().toStdString();
    EXPECT_TRUE(QVPdfModule::isLoaded());
    EXPECT_TRUE(mapsOf(self).contains("libQt6Pdf"));
    ASSERT_EQ(document->pageCount(), 1);
    EXPECT_TRUE(document->pageText(0).contains(QStringLiteral("Read back from the module")));
    EXPECT_FALSE(document->render(0, QSize(100, 140)).isNull());

    // Printing: the dialog's answer decides; the accepted print reaches the printer's file.
    QTextDocument text;
    text.setPlainText(QStringLiteral("Printed through the module"));
    const QString printed = dir.filePath(QStringLiteral("printed.pdf"));
    EXPECT_FALSE(QVPdfModule::print(text, nullptr, [](QPrinter &) { return false; }));
    EXPECT_TRUE(QVPdfModule::print(text, nullptr, [&](QPrinter &printer) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(printed);
        return true;
    }));
    const std::unique_ptr<QVPdfDocument> readBack = QVPdfModule::open(printed);
    ASSERT_NE(readBack, nullptr);
    EXPECT_TRUE(readBack->pageText(0).contains(QStringLiteral("Printed through the module")));
}

namespace {

// The error of a support request sent through a mailer of its own: null once sent.
platform::Error sendSupportRequest(const QString &url, const QString &replyTo) {
    QVSupportMailer mailer({url, QStringLiteral("robot@example.org"), QStringLiteral("s3cret"),
                            QStringLiteral("help@example.org")});
    std::optional<platform::Error> result;
    mailer.send(replyTo, QStringLiteral("Hello"), [&](const platform::Error &error) { result = error; });
    qvtest::waitUntil([&] { return result.has_value(); }, 10000);
    return result.value_or(platform::Error(QStringLiteral("test"), -1, QStringLiteral("no answer")));
}

} // namespace

TEST(OnDemandLibraries, MailAndSoundLoadOnFirstUseAndWork) {
    const qint64 self = QCoreApplication::applicationPid();
    EXPECT_FALSE(QVSupportMailer::isModuleLoaded());
    EXPECT_FALSE(QVSoundModule::isLoaded());
#ifndef __SANITIZE_ADDRESS__
    EXPECT_FALSE(mapsOf(self).contains("libcurl"));
    EXPECT_FALSE(mapsOf(self).contains("libcanberra"));
#endif

    // A request refused before any connection loads nothing; the first real one loads libcurl.
    qvtest::FakeSmtpServer smtp;
    EXPECT_EQ(sendSupportRequest(smtp.url(), QStringLiteral("not an address")).code(),
              QVSupportMailer::InvalidAddress);
    EXPECT_FALSE(QVSupportMailer::isModuleLoaded());
    const platform::Error sent = sendSupportRequest(smtp.url(), QStringLiteral("ann@example.com"));
    EXPECT_FALSE(sent) << sent.localizedDescription().toStdString();
    EXPECT_EQ(smtp.messages().size(), 1);
    EXPECT_TRUE(QVSupportMailer::isModuleLoaded());
    EXPECT_TRUE(mapsOf(self).contains("libcurl"));

    // Without a sound system in the test session the context may be refused, saying why; a file
    // that does not exist is never reported as played.
    QString error;
    const std::unique_ptr<QVThemeSound> sound = QVSoundModule::create("tests", &error);
    EXPECT_TRUE(QVSoundModule::isLoaded());
    EXPECT_TRUE(mapsOf(self).contains("libcanberra"));
    if (sound) {
        EXPECT_FALSE(sound->play(QVThemeSound::File, QStringLiteral("/nonexistent/sound.oga"), &error));
    }
    EXPECT_FALSE(error.isEmpty());
}

// Run by EveryOnDemandModuleMissingFailsClearly, with those modules missing.
TEST(OnDemandLibrariesChild, DISABLED_WithoutTheirModules) {
    const struct {
        const char *module;
        std::function<QString()> use;
    } cases[] = {
        {"libqvmail.so",
         [] {
             return sendSupportRequest(QStringLiteral("smtp://127.0.0.1:9"),
                                       QStringLiteral("ann@example.com"))
                 .localizedDescription();
         }},
        {"libqvsound.so",
         [] {
             QString error;
             return QVSoundModule::create("tests", &error) ? QString() : error;
         }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.module);
        EXPECT_TRUE(c.use().startsWith(QLatin1String(c.module) + QLatin1String(" could not be loaded")));
    }
    // The notification goes on without its sound.
    QVDesktopNotifier().playAlertSound();

    // Releasing what was never loaded does not go looking for the engine; loading says why it fails.
    QVOnDemandTranslationEngine engine;
    SYNError error;
    EXPECT_TRUE(engine.release(QVTranslationEngine::FirstSlot, error));
    EXPECT_FALSE(error);
    EXPECT_FALSE(QVOnDemandTranslationEngine::isModuleLoaded());
    EXPECT_FALSE(engine.load(QVTranslationEngine::FirstSlot, "/models", "a.model", "b.model", false, error));
    EXPECT_EQ(error.code, SYNTranslatePhraseService::kErrorCode);
    EXPECT_NE(error.description.find("libqvengine.so could not be loaded"), std::string::npos) << error.description;
    std::string unknownWords;
    SYNError translateError;
    EXPECT_EQ(engine.translate(QVTranslationEngine::FirstSlot, "Hello", translateError, unknownWords), "");
    EXPECT_TRUE(translateError);

    // A package cannot be unpacked, and the reason names the module, not the archive.
    QTemporaryDir folder;
    const platform::Error unpackError = QVPackageUnpacker::unpack(
        {folder.filePath(QStringLiteral("de.zip")), folder.filePath(QStringLiteral("packages")),
         QStringLiteral("translation"), QStringLiteral("de")});
    EXPECT_TRUE(unpackError);
    EXPECT_TRUE(unpackError.userInfo()
                    .value(QStringLiteral("NSDebugDescription"))
                    .toString()
                    .startsWith(QLatin1String("libqvunzip.so could not be loaded")))
        << unpackError.userInfo().value(QStringLiteral("NSDebugDescription")).toString().toStdString();
    EXPECT_FALSE(QDir(folder.filePath(QStringLiteral("packages"))).exists());

    // A document fails once, after the call, and the reason names the module.
    QFile document(folder.filePath(QStringLiteral("report.txt")));
    ASSERT_TRUE(document.open(QIODevice::WriteOnly));
    document.write("Some text");
    document.close();
    QVWebSocketManager documents;
    QList<platform::Error> failures;
    documents.translateFileWithUrl(QUrl::fromLocalFile(document.fileName()), QStringLiteral("report"),
                                   QStringLiteral("txt"), QStringLiteral("5000"), {}, {},
                                   [&](const platform::Error &error) { failures << error; });
    EXPECT_TRUE(failures.isEmpty());
    ASSERT_TRUE(qvtest::waitUntil([&] { return !failures.isEmpty(); }));
    qvtest::spin(20);
    ASSERT_EQ(failures.size(), 1);
    EXPECT_TRUE(
        failures.first().localizedDescription().contains(QLatin1String("libqvsocket.so could not be loaded")))
        << failures.first().localizedDescription().toStdString();
}

TEST(OnDemandLibraries, EveryOnDemandModuleMissingFailsClearly) {
    auto child = qvtest::startChildTest(
        QStringLiteral("OnDemandLibrariesChild.DISABLED_WithoutTheirModules"),
        {{QStringLiteral("QV_MAIL_MODULE"), QStringLiteral("/nonexistent/libqvmail.so")},
         {QStringLiteral("QV_SOUND_MODULE"), QStringLiteral("/nonexistent/libqvsound.so")},
         {QStringLiteral("QV_ENGINE_MODULE"), QStringLiteral("/nonexistent/libqvengine.so")},
         {QStringLiteral("QV_UNZIP_MODULE"), QStringLiteral("/nonexistent/libqvunzip.so")},
         {QStringLiteral("QV_SOCKET_MODULE"), QStringLiteral("/nonexistent/libqvsocket.so")}});
    EXPECT_FALSE(qvtest::finishChild(*child).isEmpty());
}
