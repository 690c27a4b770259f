#include "GeneralViewTestSupport.h"

#include "core/localization/QVLocalizedString.h"
#include "ui/main/QVMDictationProvider.h"

#include <QDesktopServices>
#include <QToolButton>

using namespace uitest;

namespace {

class FakeDictation : public QVMDictationProvider {
public:
    void startDictation(QWidget *panel) override { started.append(panel); }
    QUrl settingsUrl() const override { return settings; }
    QList<QWidget *> started;
    QUrl settings;
};

// Opens nothing: remembers the addresses handed to the desktop.
class OpenedPages : public QObject {
    Q_OBJECT
public:
    OpenedPages() { QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "open"); }
    ~OpenedPages() override { QDesktopServices::unsetUrlHandler(QStringLiteral("https")); }
    QList<QUrl> opened;
public Q_SLOTS:
    void open(const QUrl &url) { opened.append(url); }
};

const QString kNoticed = QString::fromLatin1(QVMGeneralViewController::kIsNotNeedAlert);

} // namespace

TEST_F(GeneralViewTest, WithoutADictationProviderTheMicrophoneIsHiddenAndDoesNothing) {
    openWindow();
    EXPECT_TRUE(general->micButton()->isHidden());
    general->onMicrophone();
    EXPECT_TRUE(alerts->shown.isEmpty());
    EXPECT_TRUE(analytics->withAction(QStringLiteral("Click Dictation button")).isEmpty());
    EXPECT_FALSE(defaults().boolForKey(kNoticed));
}

TEST_F(GeneralViewTest, TheDictationNoticeComesOnceAndOnlyCloseStartsDictation) {
    struct Case {
        const char *name;
        const char *settingsPage;
        bool noticedBefore;
        int answer;
        bool notice;
        bool starts;
    };
    const Case cases[] = {
        {"settings, provider without a page", "", false, QVMAlertPresenter::kFirstButtonReturn, true, false},
        {"settings, provider's own page", "https://dictation.invalid/settings", false,
         QVMAlertPresenter::kFirstButtonReturn, true, false},
        {"close", "", false, QVMAlertPresenter::kSecondButtonReturn, true, true},
        {"notice already seen", "", true, 0, false, true},
    };
    QVMInterfaceHooks::shared().dictationProvider = std::make_shared<FakeDictation>();
    openWindow();
    EXPECT_FALSE(general->micButton()->isHidden());
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        auto dictation = std::make_shared<FakeDictation>();
        dictation->settings = QUrl(QLatin1String(c.settingsPage));
        QVMInterfaceHooks::shared().dictationProvider = dictation;
        OpenedPages pages;
        defaults().setBool(c.noticedBefore, kNoticed);
        alerts->shown.clear();
        alerts->answers = {c.answer};
        analytics->events.clear();
        general->micButton()->click();

        ASSERT_EQ(alerts->shown.size(), c.notice ? 1 : 0);
        if (c.notice) {
            EXPECT_EQ(alerts->shown.at(0).buttons,
                      (QStringList{QVLocalizedString(QStringLiteral("_loc_settings_title")),
                                   QVLocalizedString(QStringLiteral("_loc_close"))}));
        }
        EXPECT_TRUE(defaults().boolForKey(kNoticed));
        EXPECT_EQ(pages.opened, dictation->settings.isEmpty() || c.starts ? QList<QUrl>()
                                                                          : QList<QUrl>{dictation->settings});
        EXPECT_EQ(dictation->started,
                  c.starts ? QList<QWidget *>{general->fromTranslateTextView()} : QList<QWidget *>());
        const QList<Event> events = analytics->withAction(QStringLiteral("Click Dictation button"));
        ASSERT_EQ(events.size(), c.starts ? 1 : 0);
        if (c.starts) {
            EXPECT_EQ(events.at(0).category, QStringLiteral("Main screen"));
            EXPECT_EQ(events.at(0).params,
                      (QVariantMap{{QStringLiteral("panel_language_from"), QStringLiteral("en_GB")}}));
        }
    }
}

#include "QVMGeneralViewDictationTest.moc"
