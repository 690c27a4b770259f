// The photo window on a real X server with the real offline recognition:
// Debian's English data read a picture of "HELLO WORLD", and the text drawn
// back into the picture is read again from the screen, as a user sees it.
#include "app/services/PictureFixtures.h"
#include "app/ui/GeneralViewTestSupport.h"

#include "core/models/QVPackagesMapper.h"
#include "panes/photo/QVMPhotoRecognitionController.h"
#include "services/ocr/QVTesseractManager.h"
#include "support/ChildProcess.h"
#include "support/XvfbSession.h"

#include <QDir>
#include <QGuiApplication>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>

using namespace uitest;

namespace {

// Large plain capitals, black on white, as a sign photographed straight on.
QImage helloWorld() {
    QImage image(640, 200, QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(56);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(image.rect(), Qt::AlignCenter, QStringLiteral("HELLO WORLD"));
    return image;
}

// The lines the recogniser reads in a picture.
QStringList readLines(const QImage &picture, const QString &tessdata) {
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

// ---- child: runs with DISPLAY on the parent's server --------------------------------------

class PhotoOnX11Child : public GeneralViewFixture<ModelStoreTest> {
protected:
    void SetUp() override {
        GeneralViewFixture<ModelStoreTest>::SetUp();
        platform::NetworkStatus::shared().setOverride(platform::NetworkStatus::NotReachable);
        write([](platform::Transaction &tx) {
            tx.createOrUpdate(QVLanguageRealm::storeClassName(),
                              {{"localeIdentifier", "en_GB"}, {"tesseractLanguageCode", "eng"}});
        });
        // English to English: recognition only, the lines drawn back as they were read.
        setPair(QStringLiteral("en_GB"), QStringLiteral("en_GB"));
        const QVariantMap item{{"lang", "en"},
                               {"local_lang", "English"},
                               {"type", "tesseract"},
                               {"version", "1"},
                               {"model", QVariantMap{{"size", 1048576}, {"url", "ocr/eng.zip"}}}};
        ASSERT_FALSE(QVPackagesMapper::createRealmObject({item}));
        write([this](platform::Transaction &tx) {
            for (const QVLanguagePackageRealm &package :
                 store.objects(QVLanguagePackageRealm::storeClassName()).toList<QVLanguagePackageRealm>())
                package.setIsDownloaded(tx, true);
        });
    }
    void TearDown() override {
        platform::AppPaths::setRoot(QString());
        GeneralViewFixture<ModelStoreTest>::TearDown();
    }
    // The window's pixels as the X server shows them.
    static QImage onScreen(QWidget *window) {
        window->raise();
        window->activateWindow();
        qvtest::spin(300);
        const QRect frame = window->frameGeometry();
        return window->screen()
            ->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height())
            .toImage()
            .convertToFormat(QImage::Format_ARGB32);
    }
};

TEST_F(PhotoOnX11Child, DISABLED_RealRecognitionShowsTheTextInTheWindow) {
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
    const QString picturePath = dir.filePath(QStringLiteral("hello.png"));
    ASSERT_TRUE(helloWorld().save(picturePath));
    const struct {
        const char *name;
        bool dataInstalled;
    } cases[] = {
        {"package recorded but its data gone", false},
        {"English data in place", true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir home;
        ASSERT_TRUE(home.isValid());
        platform::AppPaths::setRoot(home.path());
        const QString tessdata = QVPackageFolders::unpackFolderForType(QStringLiteral("tesseract"));
        if (c.dataInstalled) {
            ASSERT_TRUE(qvtest::installEnglishOcrData(tessdata));
        }

        QPointer<QVMPhotoRecognitionController> photo = new QVMPhotoRecognitionController;
        photo->setUrl(QUrl::fromLocalFile(picturePath));
        QSignalSpy finished(photo.data(), &QVMPhotoRecognitionController::translationFinished);
        photo->view()->move(20, 20);
        photo->view()->show();
        // A busy machine recognises slowly.
        ASSERT_TRUE(qvtest::waitUntil([&] { return !finished.isEmpty(); }, 60000));
        qvtest::spin(50);
        if (!c.dataInstalled) {
            EXPECT_TRUE(photo->recognizeText().isEmpty());
            EXPECT_TRUE(photo->errorText().startsWith(
                QString::fromLatin1(QVMPhotoRecognitionController::kFailedMessage)))
                << photo->errorText().toStdString();
            EXPECT_TRUE(photo->retryButton()->isVisible());
            EXPECT_TRUE(history().isEmpty());
        } else {
            EXPECT_EQ(photo->recognizeText(), QStringLiteral("HELLO WORLD"));
            EXPECT_EQ(photo->errorText(), QString());
            ASSERT_EQ(history().size(), 1);
            EXPECT_EQ(history().first().originalText(), QStringLiteral("HELLO WORLD"));
            const QImage shown = onScreen(photo->view());
            const QString shots = qEnvironmentVariable("QV_SHOT_DIR");
            if (!shots.isEmpty())
                shown.save(QDir(shots).filePath(QStringLiteral("photo-tesseract.png")));
            const QStringList lines = readLines(shown, tessdata);
            EXPECT_TRUE(lines.contains(QStringLiteral("HELLO WORLD"))) << lines.join(" | ").toStdString();
            printf("recognized=%s seen=%d\n", qPrintable(photo->recognizeText()),
                   int(lines.contains(QStringLiteral("HELLO WORLD"))));
        }
        photo->view()->close();
        ASSERT_TRUE(qvtest::waitUntil([&] { return photo.isNull(); }));
    }
}

// ---- parent ----------------------------------------------------------------------------------

TEST(PhotoOnX11Test, RealRecognitionShowsTheTextInTheWindow) {
    if (qvtest::systemEnglishTrainedData().isEmpty())
        GTEST_SKIP() << "no English recognition data: install tesseract-ocr-eng (scripts/install-deps)";
    qvtest::XvfbSession x11;
    ASSERT_TRUE(x11.isRunning()) << "Xvfb did not start (scripts/install-deps installs xvfb)";
    QVariantMap environment = x11.childEnvironment();
    auto child = qvtest::startChildTest(
        QStringLiteral("PhotoOnX11Child.DISABLED_RealRecognitionShowsTheTextInTheWindow"), environment);
    const QByteArray out = qvtest::finishChild(*child, 180000);
    EXPECT_TRUE(out.contains("recognized=HELLO WORLD seen=1\n")) << out.constData();
}
