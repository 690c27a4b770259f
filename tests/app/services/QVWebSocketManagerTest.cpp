#include "app/core/RecordingCrashReporter.h"
#include "support/EventLoop.h"
#include "support/FakeBackend.h"

#include "services/documents/QVWebSocketManager.h"

#include "platform/AppPaths.h"
#include "platform/BackendConfig.h"

#include <merovantia/MFURLError.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QString kStatic = QStringLiteral("/quorvaldeParseDocumentStatic/");
const QByteArray kDocument = "PK\x03\x04 a small document";
const QByteArray kTranslated = "translated document bytes";

// What one job's caller heard.
struct Job {
    QVariantList progress;
    QStringList successes;
    QList<platform::Error> failures;

    int endings() const { return int(successes.size() + failures.size()); }
};

QString frame(const char *type, const QJsonValue &result) {
    return QString::fromUtf8(QJsonDocument(QJsonObject{{"type", QLatin1String(type)}, {"result", result}})
                                 .toJson(QJsonDocument::Compact));
}

QString progressFrame(const QJsonValue &data) {
    return frame("progressLog", QJsonObject{{"data", data}});
}

class QVWebSocketManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        ASSERT_TRUE(backend.isListening());
        platform::AppPaths::setRoot(home.path());
        platform::BackendConfig::overrideHost("QV_API_HOST", backend.baseUrl());
        platform::BackendConfig::overrideHost(
            "QV_DOCUMENT_SOCKET_HOST",
            QUrl(QStringLiteral("ws://127.0.0.1:%1").arg(backend.webSocket().port())));
        reporter = std::make_shared<RecordingCrashReporter>();
        platform::CrashReporter::setShared(reporter);
        documentPath = home.filePath(QStringLiteral("report.docx"));
        QFile file(documentPath);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(kDocument);
    }
    void TearDown() override {
        manager.resetData();
        qvtest::spin(20);
        platform::CrashReporter::setShared(nullptr);
        platform::BackendConfig::overrideHost("QV_API_HOST", QUrl());
        platform::BackendConfig::overrideHost("QV_DOCUMENT_SOCKET_HOST", QUrl());
        platform::AppPaths::setRoot({});
    }

    void start(Job &job, const QString &path = {}) {
        manager.translateFileWithUrl(
            QUrl::fromLocalFile(path.isEmpty() ? documentPath : path), QStringLiteral("report"),
            QStringLiteral("docx"), QStringLiteral("5000"), QStringLiteral("en_GB"), QStringLiteral("de_DE"),
            QStringLiteral("ignored"), [&job](const QVariant &value) { job.progress << value; },
            [&job](const QString &url) { job.successes << url; },
            [&job](const platform::Error &error) { job.failures << error; });
    }
    // A socket that answers the client's frame with these frames.
    void script(const QStringList &frames, bool closeAfter = false) {
        qvtest::WebSocketScript s;
        s.frames = frames;
        s.afterFirstMessage = true;
        s.closeAfter = closeAfter;
        backend.webSocket().script(QStringLiteral("/translateDocument"), s);
    }
    void serveDocument(const QString &path, const QByteArray &disposition = {}) {
        qvtest::FakeReply reply = qvtest::FakeReply::bytes(kTranslated);
        if (!disposition.isEmpty())
            reply.withHeader("Content-Disposition", disposition);
        backend.route("GET", kStatic + path, reply);
    }
    bool settled(const Job &job) {
        return qvtest::waitUntil([&] { return job.endings() > 0; });
    }
    QStringList documents() const {
        return QDir(platform::AppPaths::documents()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }
    static QString localPath(const QString &fileURL) { return QUrl(fileURL).toLocalFile(); }
    QStringList loggedLines() {
        QMutexLocker lock(&reporter->mutex);
        return reporter->lines;
    }
    QList<RecordingCrashReporter::Record> reports() {
        QMutexLocker lock(&reporter->mutex);
        return reporter->records;
    }

    QTemporaryDir home;
    qvtest::FakeBackend backend;
    std::shared_ptr<RecordingCrashReporter> reporter;
    QVWebSocketManager manager;
    QString documentPath;
};

TEST_F(QVWebSocketManagerTest, SendsOneOrderedFrameThenReportsProgressAndTheDownloadedFile) {
    // The second part's first line names the file; later lines are not part of it.
    script({progressFrame(10), progressFrame(QStringLiteral("55")),
            frame("finalResponse", QStringLiteral("results/report_de.docx\nreport_fr.docx/x"))});
    serveDocument(QStringLiteral("report_de.docx"), "attachment; filename=\"report_de.docx\"");
    Job job;
    start(job);
    ASSERT_TRUE(settled(job));
    ASSERT_EQ(job.failures.size(), 0) << job.failures.first().localizedDescription().toStdString();

    ASSERT_EQ(backend.webSocket().handshakes().size(), 1);
    const qvtest::RecordedRequest handshake = backend.webSocket().handshakes().first();
    EXPECT_EQ(handshake.path, QStringLiteral("/translateDocument"));
    EXPECT_EQ(handshake.header("Authorization"), QByteArray("Bearer kfr8jxm61wzqtnb"));
    const QString expectedFrame =
        QStringLiteral(
            "{\"image\":\"%1\",\"fileName\":\"report.docx\",\"extension\":\"docx\","
            "\"translateLimit\":\"5000\",\"from\":\"en_GB\",\"to\":\"de_DE\",\"platform\":\"macOS\"}")
            .arg(QString::fromLatin1(kDocument.toBase64()));
    EXPECT_EQ(backend.webSocket().receivedTexts(), QStringList{expectedFrame});

    EXPECT_EQ(job.progress, (QVariantList{10, QStringLiteral("55")}));
    ASSERT_EQ(job.successes.size(), 1);
    EXPECT_TRUE(job.successes.first().startsWith(QStringLiteral("file:///")));
    const QString saved = localPath(job.successes.first());
    EXPECT_EQ(QFileInfo(saved).absolutePath(), QDir(platform::AppPaths::documents()).absolutePath());
    EXPECT_EQ(QFileInfo(saved).fileName(), QStringLiteral("report_de.docx"));
    QFile file(saved);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), kTranslated);
    EXPECT_EQ(documents(), QStringList{QStringLiteral("report_de.docx")}) << "no partial file is left";

    // The download is a plain GET: no installation identifier, no platform.
    const auto downloads = backend.requests("GET", kStatic + QStringLiteral("report_de.docx"));
    ASSERT_EQ(downloads.size(), 1);
    EXPECT_TRUE(downloads.first().queryItems.isEmpty());
    EXPECT_FALSE(downloads.first().hasHeader("Authorization"));
    EXPECT_FALSE(manager.hasJob());
    EXPECT_TRUE(qvtest::waitUntil([&] { return backend.webSocket().openConnectionCount() == 0; }))
        << "the socket is closed once the job is done";
}

TEST_F(QVWebSocketManagerTest, AFinalFrameWithoutAUsablePathFailsTheJobAndIsLogged) {
    const QStringList finals = {
        frame("finalResponse", QStringLiteral("report.docx")),
        frame("finalResponse", QStringLiteral("results/")),
        frame("finalResponse", QStringLiteral("results/\nreport.docx")),
        frame("finalResponse", QJsonValue(42)),
        frame("finalResponse", QJsonValue()),
        // Cut short: not JSON, but plainly the final frame.
        QStringLiteral("{\"type\":\"finalResponse\",\"result\":\"results/rep"),
    };
    for (const QString &final : finals) {
        SCOPED_TRACE(final.toStdString());
        {
            QMutexLocker lock(&reporter->mutex);
            reporter->lines.clear();
        }
        backend.clearRequests();
        script({progressFrame(50), QStringLiteral("not json"), final});
        Job job;
        start(job);
        ASSERT_TRUE(settled(job));
        ASSERT_EQ(job.failures.size(), 1);
        EXPECT_TRUE(job.successes.isEmpty());
        EXPECT_EQ(job.failures.first().domain(), QStringLiteral("QVWebSocketManager"));
        EXPECT_EQ(job.failures.first().code(), QVWebSocketManager::UnexpectedResponse);
        EXPECT_EQ(job.progress, QVariantList{50});
        const QStringList lines = loggedLines().filter(QStringLiteral("unexpected response format"));
        ASSERT_EQ(lines.size(), 1);
        EXPECT_TRUE(lines.first().endsWith(QStringLiteral("webSocket:didReceiveMessage:")));
        EXPECT_EQ(backend.requestCount(), 0) << "nothing is downloaded";
        EXPECT_FALSE(manager.hasJob());
    }
}

TEST_F(QVWebSocketManagerTest, TheSocketEndingBeforeTheResultFailsTheJobOnce) {
    struct Case {
        const char *name;
        std::function<void()> end;
        QString domain;
        qint64 code;
        bool reported; // a socket failure reaches the crash reporter
    };
    const Case cases[] = {
        {"server closes", [this] { backend.webSocket().closeAll(); }, QStringLiteral("QVWebSocketManager"),
         QVWebSocketManager::ClosedBeforeResult, false},
        // A lost connection is the network's doing, not a fault: a plain line, no report.
        {"connection drops", [this] { backend.webSocket().abortAll(); },
         QString::fromLatin1(kMFURLErrorDomain), MFURLErrorNetworkConnectionLost, false},
        // Frames are small JSON: one far larger is refused instead of held in memory.
        {"oversized frame",
         [this] {
             backend.webSocket().sendText(
                 QString(int(QVWebSocketManager::kMaxIncomingMessageBytes) + 1, QLatin1Char('x')));
         },
         QStringLiteral("QVWebSocketManager"), QVWebSocketManager::MessageTooLarge, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        {
            QMutexLocker lock(&reporter->mutex);
            reporter->records.clear();
        }
        script({progressFrame(5)});
        Job job;
        start(job);
        ASSERT_TRUE(qvtest::waitUntil([&] { return job.progress.size() == 1; }));
        c.end();
        ASSERT_TRUE(settled(job));
        qvtest::spin(50);
        ASSERT_EQ(job.failures.size(), 1) << "one failure, not one per socket event";
        EXPECT_TRUE(job.successes.isEmpty());
        EXPECT_EQ(job.failures.first().domain(), c.domain);
        EXPECT_EQ(job.failures.first().code(), c.code);
        const auto records = reports();
        const bool reported = std::any_of(records.cbegin(), records.cend(), [](const auto &record) {
            return record.userInfo.value(QStringLiteral("message")) ==
                   QStringLiteral("webSocket:didFailWithError:");
        });
        EXPECT_EQ(reported, c.reported);
    }
}

TEST_F(QVWebSocketManagerTest, ASecondJobFailsTheFirstAndNeverHearsItsFrames) {
    script({progressFrame(20)});
    Job first;
    start(first);
    ASSERT_TRUE(qvtest::waitUntil([&] { return first.progress.size() == 1; }));

    script({progressFrame(70), frame("finalResponse", QStringLiteral("results/second.docx"))});
    serveDocument(QStringLiteral("second.docx"));
    Job second;
    start(second);
    ASSERT_EQ(first.failures.size(), 1);
    EXPECT_EQ(first.failures.first().code(), QVWebSocketManager::Superseded);

    // A late frame of the first job on its old socket reaches nobody.
    backend.webSocket().sendText(progressFrame(99));
    ASSERT_TRUE(settled(second));
    ASSERT_EQ(second.successes.size(), 1);
    EXPECT_EQ(QFileInfo(localPath(second.successes.first())).fileName(), QStringLiteral("second.docx"));
    EXPECT_EQ(second.progress, QVariantList{70});
    EXPECT_EQ(first.progress, QVariantList{20});
    EXPECT_EQ(first.endings(), 1);
    EXPECT_EQ(backend.webSocket().connectionCount(), 2) << "each job has its own socket";
}

// The socket is made once its module has loaded off the interface thread: a job that ends first
// never opens one.
TEST_F(QVWebSocketManagerTest, AJobThatEndsWhileItsSocketLoadsOpensNone) {
    const struct Case {
        const char *name;
        bool secondJob; // else the job is reset
    } cases[] = {{"reset before the socket came", false}, {"another job started at once", true}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const int connections = backend.webSocket().connectionCount();
        script({progressFrame(70), frame("finalResponse", QStringLiteral("results/second.docx"))});
        serveDocument(QStringLiteral("second.docx"));
        Job first;
        start(first);
        Job second;
        if (c.secondJob)
            start(second);
        else
            manager.resetData();
        if (c.secondJob) {
            ASSERT_TRUE(settled(second));
            EXPECT_EQ(second.successes.size(), 1);
            ASSERT_EQ(first.failures.size(), 1);
            EXPECT_EQ(first.failures.first().code(), QVWebSocketManager::Superseded);
        } else {
            qvtest::spin(200);
        }
        EXPECT_EQ(first.endings(), c.secondJob ? 1 : 0);
        EXPECT_TRUE(first.progress.isEmpty());
        EXPECT_EQ(backend.webSocket().connectionCount() - connections, c.secondJob ? 1 : 0);
    }
}

TEST_F(QVWebSocketManagerTest, ARequestThatCannotBeBuiltFailsAndSendsNothing) {
    script({progressFrame(1)});
    Job job;
    start(job, home.filePath(QStringLiteral("missing.docx")));
    ASSERT_TRUE(settled(job));
    ASSERT_EQ(job.failures.size(), 1);
    EXPECT_EQ(job.failures.first().code(), QVWebSocketManager::RequestNotBuilt);
    EXPECT_TRUE(job.progress.isEmpty());
    EXPECT_TRUE(backend.webSocket().receivedTexts().isEmpty());
    const auto records = reports();
    ASSERT_FALSE(records.isEmpty());
    EXPECT_EQ(records.last().domain, QStringLiteral("NSException"));
    EXPECT_EQ(records.last().userInfo.value(QStringLiteral("message")).toString(),
              QString::fromLatin1(QVWebSocketManager::kBuildFailedMessage));
}

TEST_F(QVWebSocketManagerTest, TheSuggestedNameNeverLeavesTheFolderNorReplacesAFile) {
    struct Case {
        QByteArray disposition;
        QString serverPath;
        QString expected;
    };
    const Case cases[] = {
        {"attachment; filename=\"../../escape.docx\"", QStringLiteral("a.docx"),
         QStringLiteral("escape.docx")},
        {"attachment; filename=\"..\"", QStringLiteral("b.docx"), QStringLiteral("document")},
        {"attachment; filename*=UTF-8''Bericht%20%C3%BCbersetzt.docx", QStringLiteral("c.docx"),
         QStringLiteral("Bericht übersetzt.docx")},
        {{}, QStringLiteral("from-url.docx"), QStringLiteral("from-url.docx")},
        // A name already in the folder gets a number; the file there stays as it was.
        {"attachment; filename=\"existing.docx\"", QStringLiteral("d.docx"),
         QStringLiteral("existing (1).docx")},
        // A dangling link takes its name too: nothing lands where it points.
        {"attachment; filename=\"linked.docx\"", QStringLiteral("e.docx"), QStringLiteral("linked (1).docx")},
    };
    const QString existing = QDir(platform::AppPaths::ensure(platform::AppPaths::documents()))
                                 .filePath(QStringLiteral("existing.docx"));
    {
        QFile file(existing);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("the user's own file");
    }
    const QString linkTarget = home.filePath(QStringLiteral("outside.docx"));
    ASSERT_TRUE(QFile::link(linkTarget, QDir(platform::AppPaths::documents()).filePath("linked.docx")));
    for (const Case &c : cases) {
        SCOPED_TRACE(c.expected.toStdString());
        script({frame("finalResponse", QStringLiteral("results/") + c.serverPath)});
        serveDocument(c.serverPath, c.disposition);
        Job job;
        start(job);
        ASSERT_TRUE(settled(job));
        ASSERT_EQ(job.successes.size(), 1);
        const QFileInfo saved(localPath(job.successes.first()));
        EXPECT_EQ(saved.fileName(), c.expected);
        EXPECT_EQ(saved.absolutePath(), QDir(platform::AppPaths::documents()).absolutePath());
    }
    QFile file(existing);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("the user's own file"));
    EXPECT_FALSE(QFileInfo::exists(QDir(home.path()).filePath(QStringLiteral("escape.docx"))));
    EXPECT_FALSE(QFileInfo::exists(linkTarget));
    EXPECT_TRUE(QFileInfo(QDir(platform::AppPaths::documents()).filePath("linked.docx")).isSymLink());
}

TEST_F(QVWebSocketManagerTest, ACancelledDownloadCallsNothingAndLeavesNoFile) {
    script({frame("finalResponse", QStringLiteral("results/slow.docx"))});
    backend.route("GET", kStatic + QStringLiteral("slow.docx"),
                  qvtest::FakeReply::bytes(QByteArray(64 * 1024, 'x')).throttled(1024, 20));
    Job job;
    start(job);
    ASSERT_TRUE(backend.waitForRequests("GET", kStatic + QStringLiteral("slow.docx"), 1));
    manager.resetData();
    qvtest::spin(300);
    EXPECT_EQ(job.endings(), 0);
    EXPECT_TRUE(documents().isEmpty()) << documents().join(QLatin1Char(' ')).toStdString();
}

TEST_F(QVWebSocketManagerTest, TransportFailuresReachTheFailureBlock) {
    struct Case {
        const char *name;
        std::function<void()> prepare;
        qint64 code;    // 0: not checked
        int httpStatus; // 0: not checked
    };
    const Case cases[] = {
        {"download answered 404",
         [this] {
             script({frame("finalResponse", QStringLiteral("results/gone.docx"))});
             backend.route("GET", kStatic + QStringLiteral("gone.docx"), qvtest::FakeReply::withStatus(404));
         },
         0, 404},
        {"socket refused",
         [] {
             platform::BackendConfig::overrideHost("QV_DOCUMENT_SOCKET_HOST",
                                                   QUrl(QStringLiteral("ws://127.0.0.1:9")));
         },
         MFURLErrorCannotConnectToHost, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        c.prepare();
        Job job;
        start(job);
        ASSERT_TRUE(settled(job));
        ASSERT_EQ(job.failures.size(), 1);
        if (c.code) {
            EXPECT_EQ(job.failures.first().code(), c.code);
        }
        if (c.httpStatus) {
            EXPECT_EQ(job.failures.first()
                          .userInfo()
                          .value(QStringLiteral("MFNetworkingOperationFailingURLResponseStatusCode"))
                          .toInt(),
                      c.httpStatus);
        }
        EXPECT_TRUE(job.successes.isEmpty());
        EXPECT_TRUE(documents().isEmpty());
    }
}

TEST(QVWebSocketManagerNames, SafeFileNameKeepsOnlyAPlainName) {
    const QString emoji = QString::fromUtf8("\xF0\x9F\x93\x84");
    const QString accented = QStringLiteral("e\u0301");
    const QList<QPair<QString, QString>> cases = {
        {QStringLiteral("report.docx"), QStringLiteral("report.docx")},
        {QStringLiteral("../../etc/passwd"), QStringLiteral("passwd")},
        {QStringLiteral("..\\..\\boot.ini"), QStringLiteral("boot.ini")},
        {QStringLiteral(".hidden"), QStringLiteral("hidden")},
        {QStringLiteral("a/"), QStringLiteral("document")},
        {QStringLiteral("line\nbreak\t.docx"), QStringLiteral("linebreak.docx")},
        {QStringLiteral("next\u0085line\u009b.docx"), QStringLiteral("nextline.docx")},
        {QString(300, QLatin1Char('n')) + QStringLiteral(".docx"),
         QString(250, QLatin1Char('n')) + QStringLiteral(".docx")},
        {QString(), QStringLiteral("document")},
        // Cut by whole characters to fit 255 bytes as written to disk: 62 four-byte
        // emoji and 83 accented letters (with their combining accent) fit.
        {emoji.repeated(100) + QStringLiteral(".docx"), emoji.repeated(62) + QStringLiteral(".docx")},
        {accented.repeated(100) + QStringLiteral(".docx"), accented.repeated(83) + QStringLiteral(".docx")},
        {QStringLiteral("a.") + emoji.repeated(70), QStringLiteral("a.") + emoji.repeated(63)},
    };
    for (const auto &[suggested, expected] : cases) {
        SCOPED_TRACE(suggested.toStdString());
        const QString name = QVWebSocketManager::safeFileName(suggested, QStringLiteral("document"));
        EXPECT_EQ(name, expected);
        EXPECT_LE(QFile::encodeName(name).size(), 255);
    }
}

} // namespace
