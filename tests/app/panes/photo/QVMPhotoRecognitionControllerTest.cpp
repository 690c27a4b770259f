#include "app/ui/GeneralViewTestSupport.h"
#include "app/ui/TabWalk.h"
#include "app/ui/WindowChecks.h"

#include "panes/photo/QVMPhotoPlacement.h"
#include "panes/photo/QVMPhotoRecognitionController.h"
#include "services/graphics/QVMStyleService.h"
#include "services/photo/QVPhotoService.h"
#include "ui/controls/QVMProgressHUD.h"
#include "ui/panels/QVMOpenPanel.h"
#include "ui/style/QVMAppearance.h"

#include "core/models/QVPackageFolders.h"
#include "platform/AppPaths.h"
#include "platform/NetworkStatus.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSignalSpy>
#include <QSlider>
#include <QTemporaryDir>
#include <QToolButton>

using namespace uitest;

namespace {

// One request the window made, answered by the test.
struct PhotoRequest {
    QImage picture;
    QString from, to; // locale identifiers of the pair asked for
    QVMPhotoTranslator::Progress progress;
    QVMPhotoTranslator::Success success;
    QVMPhotoTranslator::Failure failure;
    bool cancelled = false;
};

class FakePhotoTranslator : public QVMPhotoTranslator {
public:
    explicit FakePhotoTranslator(QList<std::shared_ptr<PhotoRequest>> *requests) : m_requests(requests) {}
    void translate(const QImage &picture, const QVLanguageRealm &from, const QVLanguageRealm &to,
                   Progress progress, Success success, Failure failure) override {
        m_request = std::make_shared<PhotoRequest>(PhotoRequest{
            picture, from.localeIdentifier(), to.localeIdentifier(), progress, success, failure, false});
        m_requests->append(m_request);
    }
    void cancel() override {
        // As the service does: the cancellation arrives through the failure block.
        m_request->cancelled = true;
        m_request->failure(platform::Error(QString::fromLatin1(QVPhotoService::kErrorDomain),
                                           QVPhotoService::Cancelled, QStringLiteral("cancelled")));
    }

private:
    QList<std::shared_ptr<PhotoRequest>> *m_requests;
    std::shared_ptr<PhotoRequest> m_request;
};

} // namespace

class PhotoWindowTest : public GeneralViewFixture<ModelStoreTest> {
protected:
    void SetUp() override {
        GeneralViewFixture<ModelStoreTest>::SetUp();
        setPair(QStringLiteral("en_GB"), QStringLiteral("de_DE"));
        QVMPhotoRecognitionController::setTranslatorFactory(
            [this] { return std::make_unique<FakePhotoTranslator>(&requests); });
        picturePath = dir.filePath(QStringLiteral("sign.png"));
        ASSERT_TRUE(solidImage(40, 20, Qt::darkGreen).save(picturePath));
    }
    void TearDown() override {
        delete photo;
        QVMPhotoRecognitionController::setTranslatorFactory({});
        GeneralViewFixture<ModelStoreTest>::TearDown();
    }
    // The window on the picture, shown, with its first request made (or the picture refused).
    QVMPhotoRecognitionController *open(const QString &path, QVMGeneralViewController *parent = nullptr) {
        photo = new QVMPhotoRecognitionController;
        photo->setUrl(QUrl::fromLocalFile(path));
        photo->setParentController(parent);
        photo->setClock([this] { return now; });
        QSignalSpy loaded(photo.data(), &QVMPhotoRecognitionController::pictureLoaded);
        photo->view()->show();
        EXPECT_TRUE(qvtest::waitUntil([&] { return !loaded.isEmpty(); }));
        qvtest::spin(10);
        return photo;
    }
    void succeed(int index, const QString &recognized, const QString &translated) {
        requests.at(index)->success(solidImage(80, 40, Qt::white), recognized, translated);
        qvtest::spin(10);
    }
    bool overlayShown() const { return QVMProgressOverlay::HUDForView(photo->scrollView()) != nullptr; }
    void key(int key) {
        QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
        QCoreApplication::sendEvent(photo->view(), &event);
    }

    QList<std::shared_ptr<PhotoRequest>> requests;
    QPointer<QVMPhotoRecognitionController> photo;
    QString picturePath;
};

TEST_F(PhotoWindowTest, PictureThatCannotBeReadIsRefusedWithNothingSent) {
    const QString text = dir.filePath(QStringLiteral("notes.jpg"));
    QFile file(text);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("this is not a picture");
    file.close();
    const QString empty = dir.filePath(QStringLiteral("empty.png"));
    QFile(empty).open(QIODevice::WriteOnly);
    const QList<QPair<const char *, QString>> cases = {
        {"missing file", dir.filePath(QStringLiteral("gone.png"))},
        {"text named as a picture", text},
        {"empty file", empty},
    };
    for (const auto &[name, path] : cases) {
        SCOPED_TRACE(name);
        open(path);
        EXPECT_TRUE(requests.isEmpty());
        EXPECT_EQ(photo->errorText(), QString::fromLatin1(QVMPhotoRecognitionController::kUnreadablePicture));
        EXPECT_TRUE(photo->retryButton()->isHidden());
        EXPECT_FALSE(overlayShown());
        photo->onTransleteImage();
        EXPECT_TRUE(requests.isEmpty());
        delete photo;
    }
}

TEST_F(PhotoWindowTest, FailureShowsTryAgainAndCancellationShowsNothing) {
    open(picturePath);
    ASSERT_EQ(requests.size(), 1);
    EXPECT_TRUE(overlayShown());
    requests.at(0)->failure(
        platform::Error(QStringLiteral("NSURLErrorDomain"), -1004, QStringLiteral("refused")));
    EXPECT_FALSE(overlayShown());
    EXPECT_TRUE(photo->errorText().contains(QStringLiteral("refused")));
    ASSERT_FALSE(photo->retryButton()->isHidden());
    EXPECT_EQ(analytics->withAction(QStringLiteral("Image traslate")).last().params.value("error"),
              QStringLiteral("refused"));

    photo->retryButton()->click();
    ASSERT_EQ(requests.size(), 2);
    EXPECT_TRUE(photo->errorText().isEmpty());
    key(Qt::Key_Escape); // while the overlay shows: cancels, the window stays
    EXPECT_TRUE(requests.at(1)->cancelled);
    EXPECT_FALSE(overlayShown());
    EXPECT_TRUE(photo->errorText().isEmpty());
    ASSERT_TRUE(photo);
    EXPECT_EQ(history().size(), 0);
    key(Qt::Key_Escape); // nothing running: closes, and the controller goes with its window
    EXPECT_TRUE(qvtest::waitUntil([this] { return photo.isNull(); }));
}

TEST_F(PhotoWindowTest, NewRequestCancelsTheOldOneWhoseLateAnswerIsIgnored) {
    open(picturePath);
    photo->onTransleteImage();
    ASSERT_EQ(requests.size(), 2);
    EXPECT_TRUE(requests.at(0)->cancelled);
    EXPECT_TRUE(overlayShown());
    requests.at(0)->success(solidImage(8, 8, Qt::red), QStringLiteral("old"), QStringLiteral("alt"));
    EXPECT_TRUE(overlayShown());
    EXPECT_TRUE(photo->translatedText().isEmpty());
    succeed(1, QStringLiteral("STOP"), QStringLiteral("HALT"));
    EXPECT_FALSE(overlayShown());
    EXPECT_EQ(photo->translatedText(), QStringLiteral("HALT"));
    EXPECT_EQ(history().size(), 1);
}

TEST_F(PhotoWindowTest, EverySuccessWritesItsOwnRecordEvenWithinOneSecond) {
    open(picturePath);
    succeed(0, QStringLiteral("EXIT"), QStringLiteral("AUSGANG"));
    photo->onTransleteImage();
    succeed(1, QStringLiteral("ENTRANCE"), QStringLiteral("EINGANG"));
    const QList<QVTranslationRealm> records = history();
    ASSERT_EQ(records.size(), 2);
    EXPECT_NE(records.at(0).idTranslation(), records.at(1).idTranslation());
    QStringList originals;
    for (const QVTranslationRealm &record : records) {
        originals << record.originalText();
        EXPECT_EQ(record.translationType(), 1);
        EXPECT_EQ(record.languageFrom().localeIdentifier(), QStringLiteral("en_GB"));
        EXPECT_EQ(record.languageTo().localeIdentifier(), QStringLiteral("de_DE"));
        EXPECT_FALSE(record.isFavorite().value_or(true));
    }
    EXPECT_EQ(originals, (QStringList{"EXIT", "ENTRANCE"}));
    EXPECT_EQ(photo->translationObject().originalText(), QStringLiteral("ENTRANCE"));
}

TEST_F(PhotoWindowTest, OnlyALanguageChangeTranslatesAgainWhileShown) {
    open(picturePath);
    succeed(0, QStringLiteral("EXIT"), QStringLiteral("AUSGANG"));
    ASSERT_FALSE(QVSettingsService::setTranslationMode(1));
    qvtest::spin(20);
    EXPECT_EQ(requests.size(), 1);
    setPair(QStringLiteral("en_GB"), QStringLiteral("fr_FR"));
    ASSERT_TRUE(qvtest::waitUntil([this] { return requests.size() >= 2; }));
    succeed(int(requests.size() - 1), QStringLiteral("EXIT"), QStringLiteral("SORTIE"));
    EXPECT_EQ(history().last().languageTo().localeIdentifier(), QStringLiteral("fr_FR"));

    photo->view()->hide(); // a hidden window follows nothing
    const qsizetype before = requests.size();
    setPair(QStringLiteral("en_GB"), QStringLiteral("de_DE"));
    qvtest::spin(20);
    EXPECT_EQ(requests.size(), before);
}

TEST_F(PhotoWindowTest, CopyAndShareNeedATranslation) {
    openWindow();
    open(picturePath, general);
    EXPECT_FALSE(photo->copyButton()->isEnabled());
    EXPECT_FALSE(photo->shareButton()->isEnabled());
    QApplication::clipboard()->setText(QStringLiteral("before"));
    photo->onCopyText();
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("before"));

    succeed(0, QStringLiteral("EXIT"), QStringLiteral("AUSGANG"));
    ASSERT_TRUE(photo->copyButton()->isEnabled());
    photo->copyButton()->click();
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("AUSGANG"));
    photo->shareButton()->click();
    EXPECT_EQ(general->fromTranslateTextView()->toPlainText(), QStringLiteral("EXIT"));
    EXPECT_TRUE(resultText().startsWith(QStringLiteral("AUSGANG")));
    EXPECT_EQ(analytics->withAction(QStringLiteral("Click Share")).size(), 1);
    EXPECT_TRUE(qvtest::waitUntil([this] { return photo.isNull(); }));
}

TEST_F(PhotoWindowTest, FavouriteStarMarksTheRecordLocallyWithoutAnAccount) {
    open(picturePath);
    EXPECT_FALSE(photo->favoriteButton()->isEnabled());
    succeed(0, QStringLiteral("EXIT"), QStringLiteral("AUSGANG"));
    ASSERT_TRUE(photo->favoriteButton()->isEnabled());
    EXPECT_EQ(photo->favoriteButton()->text(), QStringLiteral("\u2606"));
    const QList<QPair<const char *, bool>> clicks = {{"Add Favorite", true}, {"Delete Favorite", false}};
    for (const auto &[event, favourite] : clicks) {
        SCOPED_TRACE(event);
        photo->favoriteButton()->click();
        EXPECT_EQ(history().first().isFavorite().value_or(!favourite), favourite);
        EXPECT_EQ(photo->favoriteButton()->isChecked(), favourite);
        // The star is filled only for a favourite.
        EXPECT_EQ(photo->favoriteButton()->text(),
                  favourite ? QStringLiteral("\u2605") : QStringLiteral("\u2606"));
        EXPECT_EQ(analytics->withAction(QString::fromLatin1(event)).size(), 1);
    }
}

TEST_F(PhotoWindowTest, ZoomScalesThePictureAndIsReportedOnceAfterTheLastMove) {
    const QString tiny = dir.filePath(QStringLiteral("tiny.png"));
    ASSERT_TRUE(solidImage(5, 5, Qt::blue).save(tiny));
    struct Case {
        const char *name;
        QString path;
        int percent;
        QSize shown;
    };
    const QList<Case> cases = {
        {"a size of 0 keeps the picture", tiny, 10, QSize(5, 5)},
        {"smaller", picturePath, 50, QSize(20, 10)},
        {"larger", picturePath, 400, QSize(160, 80)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        open(c.path);
        photo->sliderZoom()->setValue(c.percent);
        EXPECT_EQ(photo->shownImage().size(), c.shown);
        delete photo;
    }

    open(picturePath);
    analytics->events.clear();
    for (int percent : {120, 150, 200})
        photo->sliderZoom()->setValue(percent);
    EXPECT_TRUE(analytics->withAction(QStringLiteral("Image scale")).isEmpty());
    ASSERT_TRUE(qvtest::waitUntil(
        [this] { return !analytics->withAction(QStringLiteral("Image scale")).isEmpty(); }));
    qvtest::spin(600);
    const QList<Event> scaled = analytics->withAction(QStringLiteral("Image scale"));
    ASSERT_EQ(scaled.size(), 1);
    EXPECT_EQ(scaled.first().params.value("image_size").toString(), QStringLiteral("0.5"));
    // After a success the translated picture is the one scaled.
    succeed(int(requests.size() - 1), QStringLiteral("EXIT"), QStringLiteral("AUSGANG"));
    EXPECT_EQ(photo->shownImage().size(), QSize(160, 80));
}

TEST_F(PhotoWindowTest, EveryControlIsNamedReadableAndTabWalksItInReadingOrder) {
    openWindow();
    struct Case {
        const char *name;
        std::function<void()> reach;
        QStringList stops;
    };
    const QList<Case> cases = {
        {"failed",
         [this] { requests.last()->failure(platform::Error(QStringLiteral("NSURLErrorDomain"), -1004, {})); },
         {"Picture", "Try again", "Language of the text in the picture", "Zoom", "Close"}},
        {"working", [] {}, {"Picture", "Cancel", "Language of the text in the picture", "Zoom", "Close"}},
        {"translated",
         [this] { succeed(int(requests.size() - 1), QStringLiteral("EXIT"), QStringLiteral("AUSGANG")); },
         {"Picture", "Language of the text in the picture", "Zoom", "Copy", "Favourite", "Use in main window",
          "Close"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        open(picturePath, general);
        c.reach();
        qvtest::spin(20);
        expectEveryControlNamed(photo->view());
        expectReadableInBothPalettes(photo->view());
        photo->scrollView()->setFocus();
        EXPECT_EQ(tabWalk(photo->view()).join(" > ").toStdString(), c.stops.join(" > ").toStdString());
        // The style draws no focus for the picture: its frame shows it, in the text colour.
        for (const bool onPicture : {false, true}) {
            (onPicture ? static_cast<QWidget *>(photo->scrollView()) : photo->closeButton())->setFocus();
            qvtest::spin(20);
            const QImage shot = photo->scrollView()->grab().toImage();
            const QColor frame = shot.pixelColor(0, shot.height() / 2);
            EXPECT_EQ(frame == photo->scrollView()->palette().color(QPalette::Text), onPicture)
                << frame.name().toStdString();
        }
        delete photo;
    }
}

TEST_F(PhotoWindowTest, PictureShowsEachPartInPlaceAtEveryZoom) {
    // Four coloured quarters: a wrong mapping from the view to the picture shows another colour.
    QImage quarters(80, 60, QImage::Format_ARGB32);
    const QList<QPair<QRect, QColor>> parts = {{QRect(0, 0, 40, 30), Qt::red},
                                               {QRect(40, 0, 40, 30), Qt::green},
                                               {QRect(0, 30, 40, 30), Qt::blue},
                                               {QRect(40, 30, 40, 30), Qt::yellow}};
    for (const auto &[area, colour] : parts)
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                quarters.setPixelColor(x, y, colour);
    const QString path = dir.filePath(QStringLiteral("quarters.png"));
    ASSERT_TRUE(quarters.save(path));
    open(path);
    for (int percent : {10, 50, 100, 400}) {
        SCOPED_TRACE(percent);
        photo->sliderZoom()->setValue(percent);
        const QImage shown = photo->photoImageView()->grab().toImage();
        ASSERT_EQ(shown.size(), QSize(80 * percent / 100, 60 * percent / 100));
        for (const auto &[area, colour] : parts) {
            const QPointF centre = QRectF(area).center() * percent / 100.0;
            EXPECT_EQ(shown.pixelColor(centre.toPoint()), colour) << area.x() << "," << area.y();
        }
    }
}

// What the user's set-up explains is one plain line; only the unexplained gets a report.
TEST_F(PhotoWindowTest, AnExpectedFailureIsOnePlainLineAndNeverAReport) {
    struct Case {
        const char *name;
        platform::Error error;
        bool reported;
        const char *shown; // empty: the error's own words
    } cases[] = {
        {"recognition not offered offline for the language",
         platform::Error(
             QStringLiteral("com.translator"), -202,
             QStringLiteral("Text recognition in pictures is not available offline for this language.")),
         false, ""},
        {"translation package not downloaded",
         platform::Error(QStringLiteral("com.translator"), -204,
                         QStringLiteral("Download the German package.")),
         false, ""},
        {"recognition data missing",
         platform::Error(QStringLiteral("QVRecognitionOperation"), 1, QStringLiteral("no eng.traineddata")),
         false, "cannot be read on this computer"},
        {"no network", platform::Error(QStringLiteral("NSURLErrorDomain"), -1009, QStringLiteral("offline")),
         false, ""},
        {"the engine failed",
         platform::Error(QStringLiteral("QVRecognitionOperation"), 2, QStringLiteral("engine failed")), true,
         "could not start"},
    };
    open(picturePath);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ScopedCrashReporter reporter;
        photo->onTransleteImage();
        ASSERT_FALSE(requests.isEmpty());
        requests.last()->failure(c.error);
        EXPECT_TRUE(photo->errorText().contains(*c.shown ? QString::fromLatin1(c.shown)
                                                         : c.error.localizedDescription()))
            << photo->errorText().toStdString();
        QMutexLocker lock(&reporter.reporter->mutex);
        EXPECT_EQ(reporter.reporter->records.size(), c.reported ? 1 : 0);
        const QStringList lines =
            reporter.reporter->lines.filter(QString::fromLatin1(QVMPhotoRecognitionController::kFailedLog));
        ASSERT_EQ(lines.size(), 1);
        EXPECT_EQ(lines.first().startsWith(QStringLiteral("[expected]")), !c.reported)
            << lines.first().toStdString();
    }
}

// Pictures are recognised offline too: the picture button offers its chooser with or without network.
TEST_F(PhotoWindowTest, ThePictureButtonOffersItsChooserWithOrWithoutNetwork) {
    QVMOpenPanel::setUseQtDialog(true);
    openWindow();
    for (const auto status :
         {platform::NetworkStatus::NotReachable, platform::NetworkStatus::ReachableViaOther}) {
        SCOPED_TRACE(int(status));
        platform::NetworkStatus::shared().setOverride(status);
        alerts->shown.clear();
        general->onOpenPhoto();
        QFileDialog *chooser = general->view()->window()->findChild<QFileDialog *>();
        EXPECT_TRUE(alerts->shown.isEmpty());
        ASSERT_NE(chooser, nullptr);
        chooser->reject();
        delete chooser;
    }
    QVMOpenPanel::setUseQtDialog(false);
}

// The picture's text is read in the source language when it can be, else in English when that
// can be; a text in the target's language goes into the source. The window's choice translates
// again with the language chosen, and the record keeps the pair used.
TEST_F(PhotoWindowTest, ThePictureIsReadInTheLanguageOfItsTextWithAChoiceInTheWindow) {
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    platform::AppPaths::setRoot(home.path());
    write([](platform::Transaction &tx) {
        for (const auto &[locale, code] : {std::pair{"en_GB", "eng"}, {"de_DE", "deu"}, {"fr_FR", "fra"}})
            tx.createOrUpdate(QVLanguageRealm::storeClassName(),
                              {{"localeIdentifier", locale}, {"tesseractLanguageCode", code}});
    });
    const QString tessdata = QVPackageFolders::unpackFolderForType(QStringLiteral("tesseract"));
    ASSERT_TRUE(QDir().mkpath(tessdata));
    setPair(QStringLiteral("de_DE"), QStringLiteral("en_GB"));
    const struct {
        const char *name;
        bool online;
        QStringList installed; // recognition data on this computer
        const char *read, *from, *to;
        QStringList offered;
    } cases[] = {
        {"the source's data installed", false, {"deu", "eng"}, "de_DE", "de_DE", "en_GB", {"de_DE", "en_GB"}},
        {"only English installed", false, {"eng"}, "en_GB", "en_GB", "de_DE", {"en_GB"}},
        {"nothing installed", false, {}, "de_DE", "de_DE", "en_GB", {"de_DE"}},
        // The catalogue marks English for pictures; the source is offered too.
        {"online, the backend reads", true, {}, "de_DE", "de_DE", "en_GB", {"de_DE", "en_GB"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        platform::NetworkStatus::shared().setOverride(c.online ? platform::NetworkStatus::ReachableViaOther
                                                               : platform::NetworkStatus::NotReachable);
        QDir(tessdata).removeRecursively();
        QDir().mkpath(tessdata);
        for (const QString &code : c.installed) {
            QFile data(QDir(tessdata).filePath(code + QStringLiteral(".traineddata")));
            ASSERT_TRUE(data.open(QIODevice::WriteOnly));
        }
        requests.clear();
        open(picturePath);
        ASSERT_EQ(requests.size(), 1);
        EXPECT_EQ(photo->textLanguage().localeIdentifier(), QString::fromLatin1(c.read));
        EXPECT_EQ(requests.last()->from, QString::fromLatin1(c.from));
        EXPECT_EQ(requests.last()->to, QString::fromLatin1(c.to));
        QStringList offered;
        for (int i = 0; i < photo->languageBox()->count(); ++i)
            offered << photo->languageBox()->itemData(i).toString();
        for (const QString &locale : c.offered)
            EXPECT_TRUE(offered.contains(locale)) << locale.toStdString();
        EXPECT_EQ(offered.size(), c.offered.size()) << offered.join(", ").toStdString();
        EXPECT_EQ(photo->languageBox()->currentData().toString(), QString::fromLatin1(c.read));
        delete photo;
    }

    // Choosing in the window translates again; the record keeps the pair the request used.
    platform::NetworkStatus::shared().setOverride(platform::NetworkStatus::NotReachable);
    for (const char *code : {"deu", "eng", "fra"}) {
        QFile data(QDir(tessdata).filePath(QString::fromLatin1(code) + QStringLiteral(".traineddata")));
        ASSERT_TRUE(data.open(QIODevice::WriteOnly));
    }
    addLanguage("en_US", "English (US)", "en", {});
    write([](platform::Transaction &tx) {
        tx.createOrUpdate(QVLanguageRealm::storeClassName(),
                          {{"localeIdentifier", "en_US"}, {"tesseractLanguageCode", "eng"}});
    });
    requests.clear();
    open(picturePath);
    // Two variants of a language read apart in the list.
    QStringList names;
    for (int i = 0; i < photo->languageBox()->count(); ++i)
        names << photo->languageBox()->itemText(i);
    EXPECT_EQ(names.size(), 4) << names.join(", ").toStdString();
    EXPECT_EQ(QSet<QString>(names.begin(), names.end()).size(), names.size())
        << names.join(", ").toStdString();
    const int french = photo->languageBox()->findData(QStringLiteral("fr_FR"));
    ASSERT_GE(french, 0);
    photo->languageBox()->setCurrentIndex(french);
    emit photo->languageBox()->activated(french);
    ASSERT_EQ(requests.size(), 2);
    EXPECT_EQ(requests.last()->from, QStringLiteral("fr_FR"));
    EXPECT_EQ(requests.last()->to, QStringLiteral("en_GB"));
    succeed(1, QStringLiteral("SORTIE"), QStringLiteral("EXIT"));
    ASSERT_FALSE(history().isEmpty());
    EXPECT_EQ(history().last().languageFrom().localeIdentifier(), QStringLiteral("fr_FR"));
    EXPECT_EQ(history().last().languageTo().localeIdentifier(), QStringLiteral("en_GB"));
    platform::NetworkStatus::shared().setOverride(std::nullopt);
    platform::AppPaths::setRoot(QString());
}

// A failure says what is missing in words: never the folder the data was looked for in, the
// recogniser's file, a language code or an error number.
TEST_F(PhotoWindowTest, AFailureSaysWhatIsMissingInWordsWithoutAPathOrACode) {
    const struct {
        const char *name;
        platform::Error error;
        const char *says;
        QStringList never;
    } cases[] = {
        {"recognition data missing",
         platform::Error(
             QStringLiteral("QVRecognitionOperation"), 1,
             QStringLiteral("No recognition data for \"eng\" in /root/.cache/LanguagePacks/tessdata")),
         "Text in English (UK) cannot be read on this computer",
         {"/", "eng", "tessdata"}},
        {"recogniser missing",
         platform::Error(
             QStringLiteral("QVRecognitionOperation"), 2,
             QStringLiteral("The recognizer is not available: /usr/lib/libqvocr.so: cannot open")),
         "The text recognition could not start on this computer.",
         {"/", ".so"}},
        {"an error with nothing to say",
         platform::Error(QStringLiteral("QVPhotoService"), 7),
         "",
         {"7", "error"}},
        {"the server's own words",
         platform::Error(QStringLiteral("NSURLErrorDomain"), -1001,
                         QStringLiteral("The server did not answer.")),
         "The server did not answer.",
         {"-1001"}},
    };
    open(picturePath);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        photo->onTransleteImage();
        requests.last()->failure(c.error);
        const QString line = photo->errorText();
        EXPECT_TRUE(line.startsWith(QString::fromLatin1(QVMPhotoRecognitionController::kFailedMessage)));
        EXPECT_TRUE(line.contains(QString::fromLatin1(c.says))) << line.toStdString();
        for (const QString &part : c.never)
            EXPECT_FALSE(line.contains(part)) << part.toStdString() << " in " << line.toStdString();
    }
}

// On a 1440 x 900 screen (and any other) the window, frame included, lies within the free area,
// centred on the main window where it can be.
TEST(PhotoPlacement, TheWindowAndItsFrameLieWithinTheFreeArea) {
    const QRect screen(0, 0, 1440, 900);
    const QRect belowPanel(0, 27, 1440, 873);
    const QMargins openbox(1, 23, 1, 5), none;
    const struct {
        const char *name;
        QSize wanted;
        QPoint centre;
        QRect available;
        QMargins frame;
        QSize size;
    } cases[] = {
        {"centred on a centred main window", {760, 660}, {720, 450}, screen, openbox, {760, 660}},
        {"a main window low on the screen", {760, 660}, {720, 800}, screen, openbox, {760, 660}},
        {"taller than the free area", {760, 1200}, {720, 450}, belowPanel, openbox, {760, 845}},
        {"wider and taller than the screen", {2000, 1200}, {720, 450}, screen, none, {1440, 900}},
        {"a main window off the left edge", {760, 660}, {-300, 450}, screen, openbox, {760, 660}},
        {"the allowance before the frame is known",
         {760, 660},
         {720, 880},
         screen,
         QVMPhotoPlacement::kFrameAllowance,
         {760, 660}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QRect inside = QVMPhotoPlacement::geometryWithin(c.wanted, c.centre, c.available, c.frame);
        const QRect outside = inside.marginsAdded(c.frame);
        EXPECT_TRUE(c.available.contains(outside))
            << outside.x() << "," << outside.y() << " " << outside.width() << "x" << outside.height();
        EXPECT_EQ(inside.size(), c.size);
        // Nothing moved that did not have to: centred on the main window where that fits.
        QRect centred(QPoint(), outside.size());
        centred.moveCenter(c.centre);
        if (c.available.contains(centred)) {
            EXPECT_EQ(outside, centred);
        }
    }
}

// The window itself, shown over a main window that sits low on the screen.
TEST_F(PhotoWindowTest, TheWindowOpensWithinTheScreensFreeArea) {
    openWindow();
    QWidget *main = general->view()->window();
    const QRect available = main->screen()->availableGeometry();
    main->move(available.left(), available.bottom() - main->frameGeometry().height() / 3);
    qvtest::spin(10);
    photo = new QVMPhotoRecognitionController;
    photo->setUrl(QUrl::fromLocalFile(picturePath));
    photo->view()->setParent(main, Qt::Window); // as the main view's segue does
    photo->view()->show();
    qvtest::spin(20);
    EXPECT_TRUE(available.contains(photo->view()->frameGeometry()))
        << photo->view()->frameGeometry().y() << "+" << photo->view()->frameGeometry().height() << " in "
        << available.height();
}

// Around the picture the window takes the colours of the scheme in use, also after a live switch
// back to light (a style sheet would keep the palette it was set in).
TEST_F(PhotoWindowTest, ThePicturesSurroundingsFollowALiveSwitch) {
    QVMAppearance::install(); // as the main window does at start
    open(picturePath);
    QVMStyleService &style = QVMStyleService::shared();
    const struct {
        QVMStyleService::ColorScheme scheme;
        const char *name;
    } steps[] = {{QVMStyleService::ColorScheme::Light, "light"},
                 {QVMStyleService::ColorScheme::Dark, "dark"},
                 {QVMStyleService::ColorScheme::Light, "light again"}};
    for (const auto &step : steps) {
        SCOPED_TRACE(step.name);
        style.setDesktopColorScheme(step.scheme);
        qvtest::spin(20);
        const QColor around = photo->scrollView()->grab().toImage().pixelColor(6, 6);
        const QPalette now = QApplication::palette();
        EXPECT_TRUE(around == now.color(QPalette::Window) || around == now.color(QPalette::Base))
            << around.name().toStdString();
    }
    style.setDesktopColorScheme(QVMStyleService::ColorScheme::NoPreference);
}
