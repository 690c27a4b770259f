// The offline road with the application's package checks and engine bridge
// (over a recording engine), on packages laid out under a private Caches folder.
#include "GeneralViewTestSupport.h"
#include "app/services/FakeTranslationEngine.h"
#include "app/services/PackageTestStore.h"

#include "core/localization/QVLocalizedString.h"
#include "services/offline/QVMSynaptraService.h"
#include "ui/foundation/QVMInterfaceFactory.h"

#include <QApplication>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>

using namespace uitest;

namespace {

class GeneralViewOfflineTest : public GeneralViewFixture<PackageStoreTest> {
protected:
    void SetUp() override {
        GeneralViewFixture<PackageStoreTest>::SetUp();
        auto owned = std::make_unique<FakeTranslationEngine>();
        engine = owned.get();
        bridge = std::make_unique<QVMSynaptraService>(std::move(owned));
        QVMGeneralServices::shared().setOffline(QVMGeneralServices::makeOffline(*bridge));
        platform::NetworkStatus::shared().setOverride(platform::NetworkStatus::NotReachable);
        storeCatalogue();
    }
    void TearDown() override {
        delete window;
        window = nullptr;
        bridge->waitUntilAllOperationsAreFinished();
        qvtest::spin(20);
        GeneralViewFixture<PackageStoreTest>::TearDown();
        bridge.reset();
    }
    void installGerman() {
        markDownloaded(QStringLiteral("models/de.zip"));
        const QVLanguageRealm german = QVLanguageRealm::languageWithCode(QStringLiteral("de"));
        for (const QString &path :
             {german.pathOfflinePackageEngModelFrom(), german.pathOfflinePackageLangModelFrom(),
              german.pathOfflinePackageEngModelTo(), german.pathOfflinePackageLangModelTo()})
            touch(path);
    }

    FakeTranslationEngine *engine = nullptr;
    std::unique_ptr<QVMSynaptraService> bridge;
};

} // namespace

TEST_F(GeneralViewOfflineTest, WithThePackageTheWindowLoadsThePairAndTheTextIsTranslatedIntoTheHistory) {
    installGerman();
    openWindow();
    bridge->waitUntilAllOperationsAreFinished();
    // The window hands the pair over at load, so the model is ready before the first request.
    EXPECT_TRUE(engine->callSummary().contains(QStringLiteral("load 2 en-de")));
    type(QStringLiteral("Hello"));
    general->translateOperation();
    ASSERT_TRUE(qvtest::waitUntil([&] { return !history().isEmpty(); }));
    ASSERT_TRUE(rendered());
    EXPECT_EQ(resultText(), QStringLiteral("en-de(Hello)"));
    const QVTranslationRealm record = history().at(0);
    EXPECT_EQ(record.translationType().value_or(0), 1);
    EXPECT_EQ(record.translatedText(), QStringLiteral("en-de(Hello)"));
    EXPECT_EQ(record.languageTo().localeIdentifier(), QStringLiteral("de_DE"));
    EXPECT_TRUE(alerts->shown.isEmpty());
}

TEST_F(GeneralViewOfflineTest, WithoutThePackageTheAlertsDownloadButtonOpensTheOfflineTab) {
    QPointer<RecordingSettingsWindow> settingsWindow;
    QVMInterfaceFactory::shared().registerController(
        QStringLiteral("Settings"), QStringLiteral("QVMSettingsWindowController"), [&](QObject *parent) {
            settingsWindow = new RecordingSettingsWindow(parent);
            return settingsWindow.data();
        });
    alerts->answers = {QVMAlertPresenter::kFirstButtonReturn};
    openWindow();
    type(QStringLiteral("Hello"));
    general->translateOperation();
    ASSERT_EQ(alerts->shown.size(), 1);
    EXPECT_EQ(alerts->shown.at(0).title, QVLocalizedString(QStringLiteral("_loc_alert_title_error")));
    EXPECT_EQ(alerts->shown.at(0).buttons,
              QStringList({QVLocalizedString(QStringLiteral("_loc_alert_button_download")),
                           QVLocalizedString(QStringLiteral("_loc_close"))}));
    ASSERT_TRUE(settingsWindow);
    EXPECT_EQ(settingsWindow->selected, 1);
    bridge->waitUntilAllOperationsAreFinished();
    for (const FakeTranslationEngine::Call &call : engine->calls())
        EXPECT_NE(call.kind, QStringLiteral("translate"));
    EXPECT_TRUE(history().isEmpty());
    QVMInterfaceFactory::shared().removeController(QStringLiteral("Settings"),
                                                   QStringLiteral("QVMSettingsWindowController"));
}

TEST_F(GeneralViewOfflineTest, ADroppedTextFileAndADraggedTextTranslateWithThePackage) {
    installGerman();
    openWindow();
    const QString path = dir.filePath(QStringLiteral("notes.txt"));
    QFile notes(path);
    ASSERT_TRUE(notes.open(QIODevice::WriteOnly));
    notes.write("From a file");
    notes.close();
    const auto dragOnto = [](QTextEdit *view, QMimeData *data) {
        const QPoint at = view->viewport()->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(view->viewport(), &enter);
        QDropEvent drop(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(view->viewport(), &drop);
        delete data;
    };
    struct Case {
        const char *road;
        std::function<QMimeData *()> drag;
        QString translated;
    };
    const QList<Case> cases = {
        {"a text file",
         [&] {
             auto *data = new QMimeData;
             data->setUrls({QUrl::fromLocalFile(path)});
             return data;
         },
         QStringLiteral("en-de(From a file)")},
        {"text from another program",
         [] {
             auto *data = new QMimeData;
             data->setText(QStringLiteral("Dragged words"));
             return data;
         },
         QStringLiteral("en-de(Dragged words)")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.road);
        general->clear();
        dragOnto(general->fromTranslateTextView(), c.drag());
        ASSERT_TRUE(qvtest::waitUntil([&] { return resultText() == c.translated; }, 5000));
        ASSERT_TRUE(rendered());
        EXPECT_EQ(history().last().translatedText(), c.translated);
    }
    EXPECT_TRUE(alerts->shown.isEmpty());
}
