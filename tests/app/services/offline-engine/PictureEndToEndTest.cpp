// A picture translated offline with the real pieces: Debian's English
// recognition data, a German package made by the package maker and installed
// the way a download installs it, the offline engine, and the drawing of the
// translated lines, read back by the recogniser.
#include "app/services/PictureFixtures.h"
#include "PackageInstall.h"
#include "support/EventLoop.h"

#include "services/ocr/QVTesseractManager.h"
#include "services/offline/QVMSynaptraService.h"
#include "services/offline/QVOnDemandTranslationEngine.h"
#include "services/packages/QVPackageDownloadManager.h"
#include "core/models/QVPackagesMapper.h"
#include "services/photo/QVPhotoService.h"

#include "core/QVStoreConfiguration.h"
#include "core/models/QVLanguageRealm.h"
#include "core/settings/QVSettingsService.h"

#include "platform/NetworkStatus.h"

namespace {

QStringList readBack(const QImage &picture, const QString &tessdata) {
    QVTesseractManager manager(tessdata);
    QStringList lines;
    bool done = false;
    manager.recognizeImage(
        picture, QStringLiteral("eng"),
        [&](const QList<QVRecognizedBlock> &found) {
            for (const QVRecognizedBlock &line : found)
                lines.append(line.text.trimmed());
            done = true;
        },
        [&](const platform::Error &) { done = true; });
    EXPECT_TRUE(qvtest::waitUntil([&] { return done; }, 60000));
    return lines;
}

} // namespace

class PictureEndToEndTest : public qvtest::OcrDataTest {
protected:
    void SetUp() override {
        qvtest::OcrDataTest::SetUp();
        platform::NetworkStatus::shared().setOverride(platform::NetworkStatus::NotReachable);
        const platform::Error error = QVStoreConfiguration::configureDefaultStore();
        ASSERT_FALSE(error) << error.localizedDescription().toStdString();
        store = platform::ObjectStore::defaultStore();
        ASSERT_FALSE(store.write([](platform::Transaction &tx) {
            tx.createOrUpdate(QVLanguageRealm::storeClassName(), {{"localeIdentifier", "en_GB"},
                                                                  {"languageName", "English"},
                                                                  {"languageString", "en"},
                                                                  {"tesseractLanguageCode", "eng"}});
            tx.createOrUpdate(QVLanguageRealm::storeClassName(), {{"localeIdentifier", "de_DE"},
                                                                  {"languageName", "German"},
                                                                  {"languageString", "de"},
                                                                  {"tesseractLanguageCode", "deu"}});
        }));
    }
    void TearDown() override {
        bridge.reset();
        platform::NetworkStatus::shared().setOverride(std::nullopt);
        platform::ObjectStore::resetDefaultStore();
        qvtest::OcrDataTest::TearDown();
    }
    QVLanguageRealm lang(const char *locale) const {
        return QVLanguageRealm(
            store.objectForPrimaryKey(QVLanguageRealm::storeClassName(), QString::fromLatin1(locale)));
    }
    // English recognition data are in place (the fixture linked them); the catalogue records them as
    // installed.
    void recordEnglishRecognition() {
        const QVariantMap item{{"lang", "en"},
                               {"local_lang", "English"},
                               {"type", "tesseract"},
                               {"version", "1"},
                               {"model", QVariantMap{{"size", 1048576}, {"url", "ocr/eng.zip"}}}};
        ASSERT_FALSE(QVPackagesMapper::createRealmObject({item}));
        ASSERT_FALSE(store.write([this](platform::Transaction &tx) {
            for (const QVLanguagePackageRealm &package :
                 store.objects(QVLanguagePackageRealm::storeClassName())
                     .filter(platform::Key("type") == QStringLiteral("tesseract"))
                     .toList<QVLanguagePackageRealm>())
                package.setIsDownloaded(tx, true);
        }));
    }
    void installGerman() {
        ASSERT_NO_FATAL_FAILURE(qvtest::installPackageArchive(store, QStringLiteral("de"), QStringLiteral("Deutsch"),
                                                              QStringLiteral(ENGINE_FIXTURES "/de.zip")));
    }

    platform::ObjectStore store;
    std::unique_ptr<QVMSynaptraService> bridge;
};

TEST_F(PictureEndToEndTest, EnglishPictureComesBackWithItsGermanLinesDrawnIn) {
    installGerman();
    recordEnglishRecognition();
    ASSERT_FALSE(QVSettingsService::setLanguageFrom(lang("en_GB")));
    ASSERT_FALSE(QVSettingsService::setLanguageTo(lang("de_DE")));
    bridge = std::make_unique<QVMSynaptraService>(std::make_unique<QVOnDemandTranslationEngine>());
    bridge->setFromLanguage(lang("en_GB"), lang("de_DE"));

    const qvtest::TextPicture picture =
        qvtest::renderTextLines({QStringLiteral("hello world"), QStringLiteral("cat dog")});
    QVPhotoService service(bridge.get(), nullptr);
    int calls = 0;
    QImage result;
    QString recognized, translated;
    platform::Error error;
    service.translatePhoto(
        picture.image, QSize(1024, 1024), true, {},
        [&](const QImage &drawn, const QString &source, const QString &translation) {
            ++calls;
            result = drawn;
            recognized = source;
            translated = translation;
        },
        [&](const platform::Error &failure) {
            ++calls;
            error = failure;
        });
    // A busy machine runs a model slowly: allow for it.
    ASSERT_TRUE(qvtest::waitUntil([&] { return calls > 0; }, 120000));
    qvtest::spin(50);
    ASSERT_EQ(calls, 1);
    ASSERT_TRUE(error.isNull()) << error.localizedDescription().toStdString();
    EXPECT_EQ(recognized, QStringLiteral("hello world\ncat dog"));
    EXPECT_EQ(translated, QStringLiteral("hallo welt\nkatze hund"));
    EXPECT_EQ(readBack(result, tessdata), (QStringList{"hallo welt", "katze hund"}));
}
