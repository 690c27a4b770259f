#include "OnlineServiceTest.h"
#include "PictureFixtures.h"

#include "services/ocr/QVTesseractManager.h"
#include "services/photo/QVPhotoService.h"

#include "core/settings/QVSettingsService.h"

#include "platform/NetworkStatus.h"

#include <QBuffer>
#include <QPainter>
#include <QPdfWriter>

namespace {

// A PDF page the picture's shape with the translated line drawn on a transparent background.
QByteArray overlayPdf(QSizeF pagePoints, const QString &line) {
    QByteArray pdf;
    QBuffer buffer(&pdf);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setResolution(72);
    writer.setPageSize(QPageSize(pagePoints, QPageSize::Point));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    QPainter painter(&writer);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(40);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(QRectF(30, 30, pagePoints.width() - 60, 80), Qt::AlignLeft | Qt::AlignVCenter, line);
    painter.end();
    return pdf;
}

struct Outcome {
    int normalized = 0;
    QSize normalizedSize;
    QList<double> progress;
    int successes = 0;
    int failures = 0;
    bool offMainThread = false;
    QImage picture;
    QString recognized;
    QString translated;
    platform::Error error;

    int calls() const { return successes + failures; }
};

} // namespace

// A loopback backend answering the picture recognition and serving its PDF overlay.
class PhotoServiceOnlineTest : public OnlineServiceTest {
protected:
    void SetUp() override {
        OnlineServiceTest::SetUp();
        platform::NetworkStatus::shared().setOverride(platform::NetworkStatus::ReachableViaOther);
        write([](platform::Transaction &tx) {
            tx.createOrUpdate(
                QVLanguageRealm::storeClassName(),
                {{"localeIdentifier", "en_GB"}, {"languageString", "en"}, {"tesseractLanguageCode", "eng"}});
            tx.createOrUpdate(
                QVLanguageRealm::storeClassName(),
                {{"localeIdentifier", "de_DE"}, {"languageString", "de"}, {"tesseractLanguageCode", "deu"}});
        });
        ASSERT_FALSE(QVSettingsService::setLanguageFrom(language("en_GB")));
        ASSERT_FALSE(QVSettingsService::setLanguageTo(language("de_DE")));
        ocrData = QVPackageFolders::unpackFolderForType(QStringLiteral("tesseract"));
        ASSERT_TRUE(qvtest::installEnglishOcrData(ocrData));
    }
    void TearDown() override {
        platform::NetworkStatus::shared().setOverride(std::nullopt);
        OnlineServiceTest::TearDown();
    }
    QVLanguageRealm language(const char *locale) const {
        return QVLanguageRealm(
            store.objectForPrimaryKey(QVLanguageRealm::storeClassName(), QString::fromLatin1(locale)));
    }
    void routeRecognition(const QByteArray &pdf) {
        backend.route("POST", "/v2/api/v3/parseImage",
                      qvtest::FakeReply::json({{"result", "photo/overlay.pdf"},
                                               {"sourceData", QJsonArray{"Good morning", "friends"}},
                                               {"translatedData", QJsonArray{"Guten Morgen", "Freunde"}}}));
        backend.route("GET", "/v2/static/photo/overlay.pdf",
                      qvtest::FakeReply::bytes(pdf, "application/pdf"));
    }
    // A plain picture: whatever text the result holds came from the overlay.
    static QImage plainPicture(QSize size) {
        QImage picture(size, QImage::Format_RGB32);
        picture.fill(QColor(190, 220, 250));
        return picture;
    }
    void translate(QVPhotoService &service, const QImage &picture, Outcome &outcome,
                   QSize size = QSize(1024, 1024)) {
        service.translatePhoto(
            picture, size, true,
            [&outcome](const QImage &scaled) {
                outcome.offMainThread |= !platform::isMainThread();
                ++outcome.normalized;
                outcome.normalizedSize = scaled.size();
            },
            [&outcome](double value) {
                outcome.offMainThread |= !platform::isMainThread();
                outcome.progress.append(value);
            },
            [&outcome](const QImage &result, const QString &recognized, const QString &translated) {
                outcome.offMainThread |= !platform::isMainThread();
                ++outcome.successes;
                outcome.picture = result;
                outcome.recognized = recognized;
                outcome.translated = translated;
            },
            [&outcome](const platform::Error &error) {
                outcome.offMainThread |= !platform::isMainThread();
                ++outcome.failures;
                outcome.error = error;
            });
        EXPECT_EQ(outcome.calls() + outcome.normalized, 0) << "nothing runs before the call returns";
    }
    void settle(Outcome &outcome) {
        ASSERT_TRUE(qvtest::waitUntil([&] { return outcome.calls() > 0; }, 30000));
        qvtest::spin(50);
        EXPECT_EQ(outcome.calls(), 1);
        EXPECT_FALSE(outcome.offMainThread);
    }

    // The lines the real recogniser reads on a result picture.
    QStringList readText(const QImage &picture) const {
        QVTesseractManager manager(ocrData);
        QStringList read;
        bool done = false;
        manager.recognizeImage(
            picture, "eng",
            [&](const QList<QVRecognizedBlock> &lines) {
                for (const QVRecognizedBlock &line : lines)
                    read << line.text.trimmed();
                done = true;
            },
            [&](const platform::Error &) { done = true; });
        EXPECT_TRUE(qvtest::waitUntil([&] { return done; }, 30000));
        return read;
    }

    QString ocrData;
};

TEST_F(PhotoServiceOnlineTest, UploadsTheScaledPictureAndDrawsTheOverlayOverIt) {
    routeRecognition(overlayPdf(QSizeF(1024, 512), QStringLiteral("Guten Morgen")));
    QVPhotoService service;
    Outcome outcome;
    translate(service, plainPicture(QSize(2048, 1024)), outcome);
    settle(outcome);
    ASSERT_EQ(outcome.successes, 1) << outcome.error.localizedDescription().toStdString();

    EXPECT_EQ(outcome.normalized, 1);
    EXPECT_EQ(outcome.normalizedSize, QSize(1024, 512));
    EXPECT_EQ(outcome.progress, (QList<double>{0.5, 1.0}));
    EXPECT_EQ(outcome.recognized, QStringLiteral("Good morning\nfriends"));
    EXPECT_EQ(outcome.translated, QStringLiteral("Guten Morgen\nFreunde"));
    EXPECT_EQ(service.recognizeText(), outcome.recognized);
    EXPECT_TRUE(service.saveToHistory());

    // The upload: the scaled picture as a JPEG, with the pair's locale identifiers.
    const QList<qvtest::RecordedRequest> uploads = backend.requests("POST", "/v2/api/v3/parseImage");
    ASSERT_EQ(uploads.size(), 1);
    const qvtest::MultipartPart *file = uploads[0].part("file");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(QImage::fromData(file->data, "JPG").size(), QSize(1024, 512));
    EXPECT_EQ(uploads[0].part("from")->data, QByteArray("en_GB"));
    EXPECT_EQ(uploads[0].part("to")->data, QByteArray("de_DE"));

    // The result: the picture with the overlay's text over it; the transparent page lets it show.
    ASSERT_EQ(outcome.picture.size(), QSize(1024, 512));
    EXPECT_EQ(outcome.picture.pixelColor(1000, 500).rgb(), QColor(190, 220, 250).rgb());
    EXPECT_EQ(readText(outcome.picture), QStringList{"Guten Morgen"});
    // The downloaded overlay does not stay behind.
    EXPECT_TRUE(QDir(platform::AppPaths::caches() + "/photo").entryList(QDir::Files).isEmpty());
}

TEST_F(PhotoServiceOnlineTest, EachResultIsDrawnFromItsOwnDownloadNeverAnOlderFileOfTheSameName) {
    // A file left where the address's own name would put it, and a second picture whose
    // result carries the same name as the first's: neither may show an older overlay.
    QDir().mkpath(platform::AppPaths::caches() + "/photo");
    QFile stale(platform::AppPaths::caches() + "/photo/overlay.pdf");
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.write(overlayPdf(QSizeF(1024, 512), QStringLiteral("Alte Seite")));
    stale.close();
    for (const QString &line : {QStringLiteral("Guten Morgen"), QStringLiteral("Gute Nacht")}) {
        SCOPED_TRACE(line.toStdString());
        routeRecognition(overlayPdf(QSizeF(1024, 512), line));
        QVPhotoService service;
        Outcome outcome;
        translate(service, plainPicture(QSize(1024, 512)), outcome);
        settle(outcome);
        ASSERT_EQ(outcome.successes, 1) << outcome.error.localizedDescription().toStdString();
        EXPECT_EQ(readText(outcome.picture), QStringList{line});
    }
}

TEST_F(PhotoServiceOnlineTest, WithoutProgressBlockTheRequestStillCompletes) {
    routeRecognition(overlayPdf(QSizeF(400, 300), QStringLiteral("Hallo")));
    QVPhotoService service;
    Outcome outcome;
    service.translatePhoto(
        plainPicture(QSize(400, 300)), QSize(1024, 1024), false,
        [&](const QImage &scaled) { outcome.normalizedSize = scaled.size(); },
        [&](const QImage &result, const QString &, const QString &) {
            ++outcome.successes;
            outcome.picture = result;
        },
        [&](const platform::Error &error) {
            ++outcome.failures;
            outcome.error = error;
        });
    settle(outcome);
    EXPECT_EQ(outcome.successes, 1) << outcome.error.localizedDescription().toStdString();
    EXPECT_EQ(outcome.normalizedSize, QSize(400, 300)) << "a picture that fits is sent at its own size";
    EXPECT_FALSE(service.saveToHistory());
}

TEST_F(PhotoServiceOnlineTest, UploadAndDownloadFailuresReachTheCallerWithTheirErrors) {
    struct Case {
        const char *name;
        qvtest::FakeReply upload;
        qvtest::FakeReply download;
        QString domain;
        qint64 code;
        QList<double> progress;
    };
    const QByteArray pdf = overlayPdf(QSizeF(300, 200), QStringLiteral("Hallo"));
    const qvtest::FakeReply good = qvtest::FakeReply::json({{"result", "photo/overlay.pdf"}});
    const QList<Case> cases = {
        {"server error on upload",
         qvtest::FakeReply::json({{"error", "busy"}}, 503),
         {},
         "com.translator.network.response",
         503,
         {}},
        {"reply without a result",
         qvtest::FakeReply::json({{"status", "ok"}}),
         {},
         "com.translator",
         400,
         {}},
        {"overlay missing",
         good,
         qvtest::FakeReply::withStatus(404),
         "com.translator.network.response",
         404,
         {0.5, 1.0}},
        {"overlay is no PDF",
         good,
         qvtest::FakeReply::bytes("not a pdf", "application/pdf"),
         "QVMImage",
         1,
         {0.5, 1.0}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        backend.route("POST", "/v2/api/v3/parseImage", c.upload);
        backend.route("GET", "/v2/static/photo/overlay.pdf",
                      c.download.status ? c.download : qvtest::FakeReply::bytes(pdf));
        QVPhotoService service;
        Outcome outcome;
        translate(service, plainPicture(QSize(300, 200)), outcome);
        settle(outcome);
        EXPECT_EQ(outcome.failures, 1);
        EXPECT_EQ(outcome.error.domain(), c.domain);
        EXPECT_EQ(outcome.error.code(), c.code);
        EXPECT_EQ(outcome.progress, c.progress);
        EXPECT_TRUE(QDir(platform::AppPaths::caches() + "/photo").entryList(QDir::Files).isEmpty());
    }
}

TEST_F(PhotoServiceOnlineTest, PictureThatCannotBeEncodedFailsWithoutUploading) {
    QVPhotoService service;
    Outcome outcome;
    service.translateImageOnline(
        QImage(), [&](const QImage &, const QString &, const QString &) { ++outcome.successes; },
        [&](const platform::Error &error) {
            outcome.offMainThread |= !platform::isMainThread();
            ++outcome.failures;
            outcome.error = error;
        });
    EXPECT_EQ(outcome.calls(), 0);
    settle(outcome);
    EXPECT_EQ(outcome.failures, 1);
    EXPECT_TRUE(outcome.error.isNull());
    EXPECT_EQ(backend.requestCount(), 0);
}

TEST_F(PhotoServiceOnlineTest, CancelEndsOnlyThisServicesRequestOnce) {
    backend.route("POST", "/v2/api/v3/parseImage",
                  qvtest::FakeReply::json({{"result", "photo/overlay.pdf"}}).withDelay(1500));
    backend.route("GET", "/v2/static/photo/overlay.pdf",
                  qvtest::FakeReply::bytes(overlayPdf(QSizeF(300, 200), "Hallo"), "application/pdf"));
    QVPhotoService cancelled, other;
    Outcome first, second;
    translate(cancelled, plainPicture(QSize(300, 200)), first);
    translate(other, plainPicture(QSize(300, 200)), second);
    ASSERT_TRUE(backend.waitForRequests("POST", "/v2/api/v3/parseImage", 2, 10000));
    cancelled.cancel();
    settle(first);
    EXPECT_EQ(first.failures, 1);
    EXPECT_EQ(first.error.code(), -999);
    settle(second);
    EXPECT_EQ(second.successes, 1) << second.error.localizedDescription().toStdString();
    qvtest::spin(1600); // the cancelled upload's late answer changes nothing
    EXPECT_EQ(first.calls(), 1);
    EXPECT_TRUE(first.progress.isEmpty());
}

TEST_F(PhotoServiceOnlineTest, ResultArrivesAfterTheServiceIsGone) {
    routeRecognition(overlayPdf(QSizeF(300, 200), QStringLiteral("Hallo")));
    Outcome outcome;
    {
        QVPhotoService service;
        translate(service, plainPicture(QSize(300, 200)), outcome);
    }
    settle(outcome);
    EXPECT_EQ(outcome.successes, 1) << outcome.error.localizedDescription().toStdString();
}
