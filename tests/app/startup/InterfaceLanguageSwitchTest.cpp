// A new interface language rebuilds the main window: the rebuilt window speaks
// the new language and still holds what the user typed and its translation.
#include "LaunchTestSupport.h"
#include "app/ui/GeneralViewTestSupport.h"

#include "core/localization/DJLocalizationSystem.h"
#include "ui/controls/PaddingTextView.h"

#include <QToolButton>

using namespace launchtest;

namespace {

// The delegate's windows are real main windows.
class MainWindowDependencies : public RecordingDependencies {
public:
    using RecordingDependencies::RecordingDependencies;
    std::unique_ptr<QVMainWindowHandle> makeMainWindowController(platform::Error *) override {
        return std::make_unique<Handle>(new QVGeneralWindowController);
    }

private:
    class Handle : public QVMainWindowHandle {
    public:
        explicit Handle(QVGeneralWindowController *controller) : m_controller(controller) {}
        ~Handle() override { delete m_controller; }
        QMainWindow *window() const override { return m_controller ? m_controller->window() : nullptr; }
        void showWindow() override { m_controller->showWindow(); }
        void close() override { m_controller->close(); }

    private:
        QPointer<QVGeneralWindowController> m_controller;
    };
};

class InterfaceLanguageSwitchTest : public uitest::GeneralViewTest {
protected:
    void TearDown() override {
        delegate.reset();
        DJLocalizationSystem::shared().setLanguage(QStringLiteral("en"));
        uitest::GeneralViewTest::TearDown();
    }
    QVGeneralWindowController *mainWindow() const {
        return QVGeneralWindowController::controllerOfWindow(delegate->windowController()->window());
    }
    QStringList calls;
    std::unique_ptr<AppDelegate> delegate;
};

} // namespace

TEST_F(InterfaceLanguageSwitchTest, TextAndTranslationSurviveTheRebuildInTheNewLanguage) {
    const struct {
        const char *original;
        const char *translation;
    } cases[] = {
        {"The door is green.", "Die Tür ist grün."},
        // Typed but not translated yet.
        {"Good morning", ""},
        // Several paragraphs, as pasted.
        {"One.\nTwo.\n\nThree.", "Eins.\nZwei.\n\nDrei."},
        {"", ""},
    };
    DJLocalizationSystem::shared().setLanguage(QStringLiteral("en"));
    delegate = std::make_unique<AppDelegate>(std::make_unique<MainWindowDependencies>(&calls),
                                             QStringLiteral("user"));
    ASSERT_TRUE(delegate->applicationDidFinishLaunching());
    const char *languages[] = {"de", "en"};
    int turn = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.original);
        QVGeneralWindowController *before = mainWindow();
        ASSERT_NE(before, nullptr);
        before->generalViewController()->setTextAndTranslation(QString::fromUtf8(c.original),
                                                               QString::fromUtf8(c.translation));
        const QString language = QString::fromLatin1(languages[turn++ % 2]);
        DJLocalizationSystem::shared().setLanguage(language);
        QPointer<QVGeneralWindowController> old(before);
        platform::NotificationCenter::defaultCenter().post(
            QString::fromLatin1(AppDelegate::kLanguageDidChangeNotification));
        QCoreApplication::processEvents();

        QVGeneralWindowController *after = mainWindow();
        ASSERT_NE(after, nullptr);
        EXPECT_TRUE(old.isNull()) << "the old window is still there";
        EXPECT_EQ(after->generalViewController()->fromTranslateTextView()->toPlainText(),
                  QString::fromUtf8(c.original));
        EXPECT_EQ(after->generalViewController()->toTranslateTextView()->toPlainText(),
                  QString::fromUtf8(c.translation));
        EXPECT_EQ(after->newButton()->text(), language == QLatin1String("de") ? "Neu" : "New");
        // Nothing was sent for translation by the move.
        EXPECT_TRUE(online->calls.isEmpty());
    }
}
