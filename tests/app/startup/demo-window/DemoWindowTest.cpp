// A newcomer's first translation: the program launched as it starts for a user,
// no network, the demo package installed by its own installer, and text pasted
// and typed into the real window, translated by the real engine.
#include "DemoInstall.h"

#include "core/localization/QVLocalizedString.h"
#include "panes/photo/QVMPhotoRecognitionController.h"
#include "startup/AppDelegate.h"
#include "startup/QVMInterfaceHookCatalogue.h"
#include "startup/QVSystemLaunchDependencies.h"
#include "support/EventLoop.h"
#include "ui/foundation/QVMInterfaceFactory.h"
#include "ui/foundation/QVMInterfaceHooks.h"

#include "platform/AppPaths.h"
#include "platform/NetworkStatus.h"
#include "platform/store/Store.h"

#include <QApplication>
#include <QClipboard>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMainWindow>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QToolButton>
#include <gtest/gtest.h>

#include <memory>

namespace {

void press(QWidget *target, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
           const QString &text = QString()) {
    QKeyEvent down(QEvent::KeyPress, key, modifiers, text);
    QApplication::sendEvent(target, &down);
    QKeyEvent up(QEvent::KeyRelease, key, modifiers, text);
    QApplication::sendEvent(target, &up);
}

// Types as a keyboard does: one key event per character, umlauts included.
void typeText(QWidget *target, const QString &text) {
    for (const QChar c : text)
        press(target, c == QLatin1Char(' ') ? Qt::Key_Space : Qt::Key_unknown, Qt::NoModifier, QString(c));
}

class DemoWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        ASSERT_EQ(installDemoPackage(home.path()).toStdString(), "");
        // The English picture package from Debian's recognition data, as scripts/run records it.
        if (QFileInfo::exists(QStringLiteral(DEBIAN_ENGLISH_OCR))) {
            ASSERT_EQ(
                runDemoTool(home.path(), {QStringLiteral("install-pictures"), QStringLiteral("--traineddata"),
                                          QStringLiteral(DEBIAN_ENGLISH_OCR)})
                    .toStdString(),
                "");
        }

        platform::AppPaths::setRoot(home.path());
        platform::NetworkStatus::shared().setOverride(platform::NetworkStatus::NotReachable);
        QVMInterfaceHookCatalogue::install(QVMInterfaceFactory::shared(), QVMInterfaceHooks::shared());
        delegate = std::make_unique<AppDelegate>(std::make_unique<QVSystemLaunchDependencies>(),
                                                 QStringLiteral("user"));
        ASSERT_TRUE(delegate->applicationDidFinishLaunching());
        delegate->applicationDidBecomeActive();
        window = delegate->windowController()->window();
        ASSERT_NE(window, nullptr);
        source = window->findChild<QTextEdit *>(QStringLiteral("fromTranslateTextView"));
        result = window->findChild<QTextEdit *>(QStringLiteral("toTranslateTextView"));
        ASSERT_NE(source, nullptr);
        ASSERT_NE(result, nullptr);
    }
    void TearDown() override {
        delegate.reset();
        qvtest::spin(50);
        platform::ObjectStore::resetDefaultStore();
        platform::NetworkStatus::shared().setOverride(std::nullopt);
        platform::AppPaths::setRoot(QString());
    }

    // A model on a busy machine is slow: allow for it.
    bool resultShows(const QStringList &words) {
        return qvtest::waitUntil(
            [&] {
                const QString text = result->toPlainText();
                for (const QString &word : words)
                    if (!text.contains(word, Qt::CaseInsensitive))
                        return false;
                return true;
            },
            120000);
    }
    void clearSource() {
        source->setFocus();
        source->selectAll();
        press(source, Qt::Key_Delete);
    }

    QTemporaryDir home;
    std::unique_ptr<AppDelegate> delegate;
    QMainWindow *window = nullptr;
    QTextEdit *source = nullptr;
    QTextEdit *result = nullptr;
};

} // namespace

TEST_F(DemoWindowTest, PastedEnglishReadsGermanAndTypedGermanReadsEnglishAfterTheSwap) {
    // Paste: the clipboard into the source panel with the keyboard's paste.
    QApplication::clipboard()->setText(QStringLiteral("The door is green"));
    source->setFocus();
    press(source, Qt::Key_V, Qt::ControlModifier);
    ASSERT_EQ(source->toPlainText(), QStringLiteral("The door is green"));
    press(source, Qt::Key_Return, Qt::ControlModifier);
    ASSERT_TRUE(resultShows({QStringLiteral("Tür"), QStringLiteral("grün")}))
        << result->toPlainText().toStdString();
    EXPECT_FALSE(result->toPlainText().contains(QChar(0xFFFD)));

    QToolButton *swap = nullptr;
    for (QToolButton *button : window->findChildren<QToolButton *>())
        if (button->accessibleName() == QVLocalizedString(QStringLiteral("_loc_toolbar_swap")))
            swap = button;
    ASSERT_NE(swap, nullptr);
    swap->click();
    clearSource();
    typeText(source, QStringLiteral("Die Tür ist grün"));
    ASSERT_EQ(source->toPlainText(), QStringLiteral("Die Tür ist grün"));
    press(source, Qt::Key_Return, Qt::ControlModifier);
    ASSERT_TRUE(resultShows({QStringLiteral("door"), QStringLiteral("green")}))
        << result->toPlainText().toStdString();
    EXPECT_FALSE(result->toPlainText().contains(QStringLiteral("??")));
}

// A picture of English text, recognised with Debian's English data and translated by the demo
// package, with no network: what a newcomer's first picture meets.
TEST_F(DemoWindowTest, APictureOfEnglishTextIsReadAndTranslatedOffline) {
    if (!QFileInfo::exists(QStringLiteral(DEBIAN_ENGLISH_OCR)))
        GTEST_SKIP() << "Debian's tesseract-ocr-eng is not installed";
    QImage picture(640, 160, QImage::Format_RGB32);
    picture.fill(Qt::white);
    {
        QPainter painter(&picture);
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(40);
        painter.setFont(font);
        painter.setPen(Qt::black);
        painter.drawText(20, 70, QStringLiteral("The house is green."));
    }
    const QString path = home.filePath(QStringLiteral("sign.png"));
    ASSERT_TRUE(picture.save(path));
    auto *photo = new QVMPhotoRecognitionController;
    photo->setUrl(QUrl::fromLocalFile(path));
    bool finished = false;
    QObject::connect(photo, &QVMPhotoRecognitionController::translationFinished,
                     [&finished] { finished = true; });
    photo->view()->show();
    ASSERT_TRUE(qvtest::waitUntil([&] { return finished; }, 120000));
    EXPECT_TRUE(photo->errorText().isEmpty()) << photo->errorText().toStdString();
    EXPECT_TRUE(photo->recognizeText().contains(QStringLiteral("house"), Qt::CaseInsensitive))
        << photo->recognizeText().toStdString();
    EXPECT_TRUE(photo->translatedText().contains(QStringLiteral("Haus")))
        << photo->translatedText().toStdString();
    delete photo;
}
