#include "FakeTranslationEngine.h"
#include "PackageTestStore.h"
#include "PictureFixtures.h"

#include "services/ocr/QVTesseractManager.h"
#include "services/offline/QVMSynaptraService.h"
#include "services/photo/QVPhotoService.h"

#include "core/settings/QVSettingsService.h"

#include "support/EventLoop.h"

#include "platform/MainQueue.h"
#include "platform/NetworkStatus.h"

#include <QBuffer>

namespace {

struct Outcome {
    int successes = 0;
    int failures = 0;
    bool offMainThread = false;
    QImage picture;
    QString recognized;
    QString translated;
    platform::Error error;

    int calls() const { return successes + failures; }
    QVPhotoService::SuccessBlock success() {
        return [this](const QImage &result, const QString &source, const QString &translation) {
            offMainThread |= !platform::isMainThread();
            ++successes;
            picture = result;
            recognized = source;
            translated = translation;
        };
    }
    QVPhotoService::FailureBlock failure() {
        return [this](const platform::Error &received) {
            offMainThread |= !platform::isMainThread();
            ++failures;
            error = received;
        };
    }
};

} // namespace

TEST(PhotoServiceScalingTest, BothSidesFitTheTargetAndNothingIsEnlarged) {
    struct Case {
        QSize picture;
        QSize target;
        QSize expected;
    };
    const QList<Case> cases = {
        {{2048, 1024}, {1024, 1024}, {1024, 512}}, // the wider side decides
        {{1024, 2048}, {1024, 1024}, {512, 1024}},
        {{4000, 3000}, {1024, 1024}, {1024, 768}},
        {{3000, 4000}, {1024, 1024}, {768, 1024}},
        {{2000, 100}, {1024, 1024}, {1024, 51}},
        {{1024, 1024}, {1024, 1024}, {1024, 1024}}, // exactly fitting
        {{500, 400}, {1024, 1024}, {500, 400}},     // smaller: sent as it is
        {{1500, 300}, {2000, 200}, {1000, 200}},
        {{800, 600}, {0, 0}, {0, 0}}, // no target: no picture
        {{800, 600}, {0, 500}, {0, 0}},
        {{800, 600}, {-5, 500}, {0, 0}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(QStringLiteral("%1x%2 into %3x%4")
                         .arg(c.picture.width())
                         .arg(c.picture.height())
                         .arg(c.target.width())
                         .arg(c.target.height())
                         .toStdString());
        QImage picture(c.picture, QImage::Format_RGB32);
        picture.fill(Qt::darkCyan);
        const QImage scaled = QVPhotoService::scaledImageFromImage(picture, c.target);
        EXPECT_EQ(scaled.size(), c.expected);
        if (c.expected.isEmpty()) {
            EXPECT_TRUE(scaled.isNull());
        } else {
            EXPECT_EQ(scaled.pixelColor(scaled.width() / 2, scaled.height() / 2), QColor(Qt::darkCyan));
        }
    }
}

TEST(PhotoServiceScalingTest, UploadEncodingIsFullQualityJpegWithTransparencyOnWhite) {
    QImage picture(64, 48, QImage::Format_ARGB32);
    picture.fill(Qt::transparent);
    for (int x = 0; x < 32; ++x)
        for (int y = 0; y < 48; ++y)
            picture.setPixelColor(x, y, QColor(200, 30, 40));
    const QByteArray data = QVPhotoService::dataPreProcessingImage(picture);
    ASSERT_TRUE(data.startsWith("\xff\xd8")) << "a JPEG";
    const QImage decoded = QImage::fromData(data, "JPG");
    ASSERT_EQ(decoded.size(), picture.size());
    // Quality 100 keeps colours close; a transparent part is white, not black.
    const QColor red = decoded.pixelColor(10, 10);
    EXPECT_LT(std::abs(red.red() - 200) + std::abs(red.green() - 30) + std::abs(red.blue() - 40), 12);
    EXPECT_GT(decoded.pixelColor(60, 40).lightness(), 245);

    QByteArray lower;
    QBuffer buffer(&lower);
    buffer.open(QIODevice::WriteOnly);
    picture.convertToFormat(QImage::Format_RGB32).save(&buffer, "JPG", 75);
    EXPECT_GT(data.size(), lower.size()) << "not a lower default quality";
    EXPECT_TRUE(QVPhotoService::dataPreProcessingImage(QImage()).isEmpty());

    // A double-density picture (a "@2x" file, a screen grab) is sent whole, pixel for pixel.
    QImage dense(80, 60, QImage::Format_RGB32);
    dense.fill(QColor(30, 60, 200));
    dense.setDevicePixelRatio(2);
    const QImage denseDecoded = QImage::fromData(QVPhotoService::dataPreProcessingImage(dense), "JPG");
    ASSERT_EQ(denseDecoded.size(), QSize(80, 60));
    EXPECT_LT(denseDecoded.pixelColor(75, 55).lightness(), 200)
        << "the picture, not white, in its far corner";
}

// Offline: real recognition with Debian's English data, the bridge over an
// engine that records its calls ("en-de(text)" for a translation to German).
class PhotoServiceOfflineTest : public PackageStoreTest {
protected:
    void SetUp() override {
        PackageStoreTest::SetUp();
        platform::NetworkStatus::shared().setOverride(platform::NetworkStatus::NotReachable);
        write([](platform::Transaction &tx) {
            tx.createOrUpdate(QVLanguageRealm::storeClassName(), {{"localeIdentifier", "en_GB"},
                                                                  {"languageName", "English"},
                                                                  {"languageString", "en"},
                                                                  {"tesseractLanguageCode", "eng"}});
        });
        storeCatalogue();
        ASSERT_TRUE(qvtest::installEnglishOcrData(QVPackageFolders::unpackFolderForType("tesseract")));
        auto fake = std::make_unique<FakeTranslationEngine>();
        engine = fake.get();
        bridge = std::make_unique<QVMSynaptraService>(std::move(fake));
        picture = qvtest::renderTextLines({QStringLiteral("hello world"), QStringLiteral("cat dog")});
    }
    void TearDown() override {
        bridge.reset();
        platform::NetworkStatus::shared().setOverride(std::nullopt);
        PackageStoreTest::TearDown();
    }
    void setPair(const char *from, const char *to) {
        ASSERT_FALSE(QVSettingsService::setLanguageFrom(catalogueLanguage(QString::fromLatin1(from))));
        ASSERT_FALSE(QVSettingsService::setLanguageTo(catalogueLanguage(QString::fromLatin1(to))));
    }
    void installGerman() {
        markDownloaded("models/de.zip");
        const QVLanguageRealm german = catalogueLanguage("de_DE");
        for (const QString &path :
             {german.pathOfflinePackageEngModelFrom(), german.pathOfflinePackageLangModelFrom(),
              german.pathOfflinePackageEngModelTo(), german.pathOfflinePackageLangModelTo()})
            touch(path);
    }
    void translate(QVPhotoService &service, Outcome &outcome) {
        service.translatePhoto(picture.image, QSize(1024, 1024), true, {}, outcome.success(),
                               outcome.failure());
        EXPECT_EQ(outcome.calls(), 0) << "nothing runs before the call returns";
    }
    void settle(Outcome &outcome) {
        ASSERT_TRUE(qvtest::waitUntil([&] { return outcome.calls() > 0; }, 30000));
        qvtest::spin(50);
        EXPECT_EQ(outcome.calls(), 1);
        EXPECT_FALSE(outcome.offMainThread);
    }
    QStringList translatedTexts() const {
        QStringList texts;
        for (const FakeTranslationEngine::Call &call : engine->calls()) {
            if (call.kind == QLatin1String("translate"))
                texts.append(call.argument);
        }
        return texts;
    }

    std::unique_ptr<QVMSynaptraService> bridge;
    FakeTranslationEngine *engine = nullptr;
    qvtest::TextPicture picture;
};

TEST_F(PhotoServiceOfflineTest, RecognisedLinesAreTranslatedAndDrawnOverTheirBoxes) {
    installGerman();
    setPair("en_GB", "de_DE");
    bridge->setFromLanguage(catalogueLanguage("en_GB"), catalogueLanguage("de_DE"));
    bridge->waitUntilAllOperationsAreFinished();

    QVPhotoService service(bridge.get(), nullptr);
    Outcome outcome;
    translate(service, outcome);
    settle(outcome);
    ASSERT_EQ(outcome.successes, 1) << outcome.error.localizedDescription().toStdString();
    EXPECT_EQ(outcome.recognized, QStringLiteral("hello world\ncat dog"));
    EXPECT_EQ(outcome.translated, QStringLiteral("en-de(hello world)\nen-de(cat dog)"));
    EXPECT_EQ(translatedTexts(), (QStringList{"hello world", "cat dog"}));

    // The lines are what the service keeps too, with the boxes where the text was drawn.
    const QList<QVRecognizedBlock> recognised = service.recognizedArray();
    const QList<QVRecognizedBlock> translated = service.translatedRecognizedArray();
    ASSERT_EQ(recognised.size(), 2);
    ASSERT_EQ(translated.size(), 2);
    for (int i = 0; i < 2; ++i) {
        EXPECT_TRUE(QRectF(picture.lineRects[i]).adjusted(-6, -6, 6, 6).contains(recognised[i].boundingBox));
        EXPECT_EQ(translated[i].boundingBox, recognised[i].boundingBox);
    }
    // The result is the picture with the boxes repainted, the rest as it was.
    ASSERT_EQ(outcome.picture.size(), picture.image.size());
    EXPECT_NE(outcome.picture.convertToFormat(QImage::Format_ARGB32),
              picture.image.convertToFormat(QImage::Format_ARGB32));
    EXPECT_EQ(outcome.picture.pixelColor(5, 5), picture.image.pixelColor(5, 5));
    EXPECT_EQ(service.processImage().size(), picture.image.size());
}

// A picture of English text with German to English set: read in English, translated into German,
// the model it needs loaded first, the settings pair's slot kept.
TEST_F(PhotoServiceOfflineTest, ThePairSetForThePictureIsReadAndTranslatedWithItsOwnModels) {
    installGerman();
    setPair("de_DE", "en_GB");
    bridge->setFromLanguage(catalogueLanguage("de_DE"), catalogueLanguage("en_GB"));
    bridge->waitUntilAllOperationsAreFinished();
    ASSERT_EQ(bridge->firstPairLang(), QStringLiteral("de"));
    const struct {
        const char *name;
        const char *from, *to;
        const char *translated;
    } cases[] = {
        {"into the source language", "en_GB", "de_DE", "en-de(hello world)\nen-de(cat dog)"},
        {"as the settings say", "de_DE", "en_GB", nullptr},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QVPhotoService service(bridge.get(), nullptr);
        service.setLanguages(catalogueLanguage(QString::fromLatin1(c.from)),
                             catalogueLanguage(QString::fromLatin1(c.to)));
        Outcome outcome;
        translate(service, outcome);
        settle(outcome);
        if (!c.translated) {
            // German has no recognition data here: said as the recogniser says it.
            EXPECT_EQ(outcome.failures, 1);
            continue;
        }
        ASSERT_EQ(outcome.successes, 1) << outcome.error.localizedDescription().toStdString();
        EXPECT_EQ(outcome.recognized, QStringLiteral("hello world\ncat dog"));
        EXPECT_EQ(outcome.translated, QString::fromLatin1(c.translated));
        EXPECT_EQ(bridge->secondPairLang(), QStringLiteral("de"));
        EXPECT_EQ(bridge->firstPairLang(), QStringLiteral("de")) << "the settings pair's model stays";
    }
}

TEST_F(PhotoServiceOfflineTest, SameLanguageDrawsTheRecognisedLinesWithoutTranslating) {
    setPair("en_GB", "en_GB");
    QVPhotoService service(bridge.get(), nullptr);
    Outcome outcome;
    translate(service, outcome);
    settle(outcome);
    ASSERT_EQ(outcome.successes, 1) << outcome.error.localizedDescription().toStdString();
    EXPECT_EQ(outcome.recognized, QStringLiteral("hello world\ncat dog"));
    EXPECT_EQ(outcome.translated, outcome.recognized);
    EXPECT_TRUE(translatedTexts().isEmpty());
}

TEST_F(PhotoServiceOfflineTest, EachMissingPieceFailsOnceWithItsError) {
    struct Case {
        const char *name;
        const char *from;
        const char *to;
        std::function<void()> prepare;
        QString domain;
        qint64 code;
    };
    const QList<Case> cases = {
        {"no recognition data for the source", "de_DE", "en_GB", [] {}, "com.translator", -202},
        {"target's text package missing", "en_GB", "de_DE", [] {}, "com.translator", -204},
        {"source's text package missing too", "de_DE", "fr_FR",
         [this] {
             markDownloaded("ocr/deu.zip");
             installGerman();
         },
         "com.translator", -204},
        {"models not loaded", "en_GB", "de_DE", [this] { installGerman(); }, "com.translator", 400},
        {"recognition data of the code missing", "de_DE", "de_DE", [this] { markDownloaded("ocr/deu.zip"); },
         "QVRecognitionOperation", QVRecognitionOperation::LanguageDataMissing},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        c.prepare();
        // German's recognition code, as the catalogue names it.
        write([this](platform::Transaction &tx) {
            catalogueLanguage("de_DE").setTesseractLanguageCode(tx, QStringLiteral("deu"));
        });
        setPair(c.from, c.to);
        QVPhotoService service(bridge.get(), nullptr);
        Outcome outcome;
        translate(service, outcome);
        settle(outcome);
        EXPECT_EQ(outcome.failures, 1);
        EXPECT_EQ(outcome.error.domain(), c.domain);
        EXPECT_EQ(outcome.error.code(), c.code);
    }
}

TEST_F(PhotoServiceOfflineTest, PictureWithoutTextAndCancelEachEndOnce) {
    setPair("en_GB", "en_GB");
    QImage blank(600, 300, QImage::Format_RGB32);
    blank.fill(Qt::white);
    QVPhotoService service(bridge.get(), nullptr);
    Outcome empty;
    service.translateImageOffline(blank, empty.success(), empty.failure());
    settle(empty);
    EXPECT_EQ(empty.failures, 1);
    EXPECT_TRUE(empty.error.isNull());

    Outcome cancelled;
    translate(service, cancelled);
    service.cancel();
    settle(cancelled);
    EXPECT_EQ(cancelled.failures, 1);
    EXPECT_EQ(cancelled.error.code(), QVPhotoService::Cancelled);
    qvtest::spin(1000); // a recognition still under way changes nothing
    EXPECT_EQ(cancelled.calls(), 1);
}
