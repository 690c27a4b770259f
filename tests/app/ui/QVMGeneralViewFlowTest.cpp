#include "GeneralViewTestSupport.h"

#include "ui/foundation/QVMInterfaceFactory.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QToolButton>

using namespace uitest;

namespace {

class GeneralViewFlowTest : public GeneralViewTest {};

} // namespace

TEST_F(GeneralViewFlowTest, ReturnTranslatesOnlyFromTheSourcePanelWhenTheSettingIsOn) {
    struct Case {
        bool setting;
        bool sourcePanel;
        bool translates;
    } cases[] = {{false, true, false}, {true, true, true}, {true, false, false}, {false, false, false}};
    openWindow();
    for (const Case &c : cases) {
        SCOPED_TRACE(::testing::Message() << "setting " << c.setting << " source " << c.sourcePanel);
        defaults().setBool(c.setting,
                           QString::fromLatin1(QVMGeneralViewController::kTranslateByEnterSetting));
        online->calls.clear();
        advance(5000);
        PaddingTextView *panel =
            c.sourcePanel ? general->fromTranslateTextView() : general->toTranslateTextView();
        panel->setPlainText(QStringLiteral("Hello"));
        panel->moveCursor(QTextCursor::End);
        press(panel, Qt::Key_Return);
        EXPECT_EQ(online->calls.size(), c.translates ? 1 : 0);
        // Return that translates inserts no line break; any other Return does.
        EXPECT_EQ(panel->toPlainText(), c.translates ? QStringLiteral("Hello") : QStringLiteral("Hello\n"));
    }
    // Typing alone never translates.
    advance(5000);
    online->calls.clear();
    general->fromTranslateTextView()->insertPlainText(QStringLiteral(" world"));
    EXPECT_TRUE(online->calls.isEmpty());
}

TEST_F(GeneralViewFlowTest, PastingIntoTheSourcePanelOrWithThePasteButtonTranslates) {
    openWindow();
    QGuiApplication::clipboard()->setText(QStringLiteral("Good morning"));
    general->fromTranslateTextView()->paste();
    ASSERT_TRUE(qvtest::waitUntil([&] { return online->calls.size() == 1; }));
    EXPECT_EQ(online->calls.at(0).text, QStringLiteral("Good morning"));
    EXPECT_EQ(online->calls.at(0).from, QStringLiteral("en_GB"));
    EXPECT_EQ(online->calls.at(0).to, QStringLiteral("de_DE"));

    // A paste into the result panel translates nothing.
    advance(5000);
    general->toTranslateTextView()->paste();
    qvtest::spin(20);
    EXPECT_EQ(online->calls.size(), 1);

    // The paste button puts a short text over a longer one.
    advance(5000);
    type(QStringLiteral("A much longer text than the clipboard holds"));
    QGuiApplication::clipboard()->setText(QStringLiteral("Short"));
    general->pasteButton()->setEnabled(true);
    general->pasteButton()->click();
    EXPECT_EQ(general->fromTranslateTextView()->toPlainText(), QStringLiteral("Short"));
    ASSERT_EQ(online->calls.size(), 2);
    EXPECT_EQ(online->calls.at(1).text, QStringLiteral("Short"));
}

TEST_F(GeneralViewFlowTest, OnlineRequestsKeepTwoSecondsApartAndTheTextTypedMeanwhileIsSent) {
    openWindow();
    type(QStringLiteral("one"));
    general->translateOperation();
    ASSERT_EQ(online->calls.size(), 1);

    advance(1500);
    type(QStringLiteral("two"));
    general->translateOperation();
    EXPECT_EQ(online->calls.size(), 1);
    EXPECT_TRUE(general->hasDeferredTranslation());
    type(QStringLiteral("two three"));
    // The window has not ended on the injected clock, so nothing goes out yet.
    qvtest::spin(600);
    EXPECT_EQ(online->calls.size(), 1);

    advance(500);
    ASSERT_TRUE(qvtest::waitUntil([&] { return online->calls.size() == 2; }));
    EXPECT_EQ(online->calls.at(1).text, QStringLiteral("two three"));

    // 2.0 s after the last request passes at once.
    advance(2000);
    type(QStringLiteral("four"));
    general->translateOperation();
    EXPECT_EQ(online->calls.size(), 3);
    EXPECT_FALSE(general->hasDeferredTranslation());
}

TEST_F(GeneralViewFlowTest, ASlowReplyNeverOverwritesANewerResultButStaysInTheHistory) {
    openWindow();
    type(QStringLiteral("first"));
    general->translateOperation();
    advance(3000);
    type(QStringLiteral("second"));
    general->translateOperation();
    ASSERT_EQ(online->calls.size(), 2);
    EXPECT_TRUE(general->isTranslating());

    answer(1, QStringLiteral("zweite"), 100);
    EXPECT_FALSE(general->isTranslating());
    answer(0, QStringLiteral("erste"), 99);
    ASSERT_TRUE(rendered());
    EXPECT_EQ(resultText(), QStringLiteral("zweite"));
    EXPECT_EQ(general->translateObject().translatedText(), QStringLiteral("zweite"));
    EXPECT_EQ(general->translatedText(), QStringLiteral("zweite"));
    QStringList stored;
    for (const QVTranslationRealm &record : history())
        stored << record.translatedText();
    EXPECT_EQ(stored, QStringList({"erste", "zweite"}));
    // Only the shown result is reported as a translation.
    EXPECT_EQ(analytics->withAction(QStringLiteral("Translate")).size(), 1);
}

TEST_F(GeneralViewFlowTest, AFailedTranslationTellsTheUserUnlessItWasCancelledOrSuperseded) {
    struct Case {
        const char *name;
        bool offline;
        qint64 code;
        bool superseded;
        int alerts;
    } cases[] = {
        {"online server error", false, 500, false, 1},
        {"online cancelled", false, -999, false, 0},
        {"online superseded", false, 500, true, 0},
        {"offline engine error", true, 2041, false, 1},
        {"offline cancelled by a pair change", true, -999, false, 0},
    };
    openWindow();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        alerts->shown.clear();
        analytics->events.clear();
        online->calls.clear();
        offline->completions.clear();
        platform::NetworkStatus::shared().setOverride(c.offline ? platform::NetworkStatus::NotReachable
                                                                : platform::NetworkStatus::ReachableViaOther);
        advance(5000);
        type(QStringLiteral("Hello"));
        general->translateOperation();
        const platform::Error error(QStringLiteral("test"), c.code, QStringLiteral("The engine broke"));
        if (c.superseded)
            general->clear();
        if (c.offline) {
            ASSERT_EQ(offline->completions.size(), 1);
            offline->completions.at(0)(QString(), error);
            ASSERT_EQ(analytics->withAction(QStringLiteral("logic error")).size(), 1);
            EXPECT_EQ(analytics->withAction(QStringLiteral("logic error")).at(0).name,
                      QStringLiteral("The engine broke"));
        } else {
            ASSERT_EQ(online->calls.size(), 1);
            online->calls.at(0).failure(error);
            ASSERT_EQ(analytics->withAction(QStringLiteral("Translate Error")).size(), 1);
            EXPECT_EQ(analytics->withAction(QStringLiteral("Translate Error")).at(0).params.value("error"),
                      QStringLiteral("The engine broke"));
        }
        EXPECT_FALSE(general->isTranslating());
        ASSERT_EQ(alerts->shown.size(), c.alerts);
        if (c.alerts) {
            EXPECT_EQ(alerts->shown.at(0).message, QStringLiteral("The engine broke"));
        }
        EXPECT_TRUE(history().isEmpty());
    }
}

TEST_F(GeneralViewFlowTest, AnOnlineReplyBecomesOneHistoryRecordWithThePairItWasAskedFor) {
    openWindow();
    type(QStringLiteral("Good night"));
    general->translateOperation();
    // The pair changes while the reply is on its way; the record keeps the pair that was sent.
    setPair(QStringLiteral("fr_FR"), QStringLiteral("ar_AE"));
    advance(700);
    answer(0, QStringLiteral("Gute Nacht"), 42);
    QList<QVTranslationRealm> records = history();
    ASSERT_EQ(records.size(), 1);
    const QVTranslationRealm record = records.at(0);
    EXPECT_EQ(record.idTranslation().value_or(0), 42);
    EXPECT_EQ(record.originalText(), QStringLiteral("Good night"));
    EXPECT_EQ(record.translatedText(), QStringLiteral("Gute Nacht"));
    EXPECT_EQ(record.languageFrom().localeIdentifier(), QStringLiteral("en_GB"));
    EXPECT_EQ(record.languageTo().localeIdentifier(), QStringLiteral("de_DE"));
    EXPECT_EQ(record.translationType().value_or(0), 1);
    EXPECT_DOUBLE_EQ(record.createdDate().value_or(0),
                     QVBaseTranslateModel::timeIntervalSinceReferenceDate(now));
    EXPECT_EQ(general->translationCompany(), QStringLiteral("engine-a"));
    EXPECT_EQ(general->translateObject(), record);
    ASSERT_EQ(analytics->withAction(QStringLiteral("Translate")).size(), 1);
    EXPECT_EQ(analytics->withAction(QStringLiteral("Translate")).at(0).params,
              QVariantMap({{"original_text", "Good night"},
                           {"translated_text", "Gute Nacht"},
                           {"language_from", "en_GB"},
                           {"language_to", "de_DE"}}));
    EXPECT_EQ(QVSettingsService::defaultSettings().dayTranslationPassedCount(), 1);
}

TEST_F(GeneralViewFlowTest, TwoRepliesInOneSecondKeepTwoRecordsAndTheSameTextAgainMovesItsRecordUp) {
    openWindow();
    type(QStringLiteral("cat"));
    general->translateOperation();
    answer(0, QStringLiteral("Katze"), 500);
    advance(2500);
    type(QStringLiteral("dog"));
    general->translateOperation();
    answer(1, QStringLiteral("Hund"), 500);
    ASSERT_EQ(history().size(), 2);
    EXPECT_EQ(history().at(0).translatedText(), QStringLiteral("Katze"));
    EXPECT_EQ(history().at(1).translatedText(), QStringLiteral("Hund"));

    // The newest record, marked as a favourite, takes the same translation again.
    const QVTranslationRealm dog = history().at(1);
    write([&](platform::Transaction &tx) { dog.setIsFavorite(tx, true); });
    advance(2500);
    general->translateOperation();
    answer(2, QStringLiteral("Hund"), 900);
    ASSERT_EQ(history().size(), 2);
    EXPECT_EQ(history().at(1).idTranslation().value_or(0), 501);
    EXPECT_TRUE(history().at(1).isFavorite().value_or(false));
    EXPECT_DOUBLE_EQ(history().at(1).createdDate().value_or(0),
                     QVBaseTranslateModel::timeIntervalSinceReferenceDate(now));
}

TEST_F(GeneralViewFlowTest, ADetectedLanguageReplacesAutomaticDetectionWhenTheCatalogueKnowsIt) {
    struct Case {
        const char *source;
        const char *detected;
        const char *recordSource;
        const char *settingsSource;
        int detectEvents;
    } cases[] = {
        {"auto-detection", "fr", "fr_FR", "fr_FR", 1},
        {"auto-detection", "xx", "auto-detection", "auto-detection", 1},
        {"auto-detection", "", "auto-detection", "auto-detection", 1},
        {"en_GB", "fr", "en_GB", "en_GB", 0},
    };
    openWindow();
    int index = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.detected);
        analytics->events.clear();
        setPair(QString::fromLatin1(c.source), QStringLiteral("de_DE"));
        advance(5000);
        type(QStringLiteral("Bonjour ") + QString::number(index));
        general->translateOperation();
        answer(index, QStringLiteral("Guten Tag"), 1000 + index, QString::fromLatin1(c.detected));
        ++index;
        const QVTranslationRealm record = general->translateObject();
        EXPECT_EQ(record.languageFrom().localeIdentifier(), QString::fromLatin1(c.recordSource));
        EXPECT_EQ(QVSettingsService::languageFrom(), QString::fromLatin1(c.settingsSource));
        if (QString::fromLatin1(c.recordSource) == QLatin1String("fr_FR")) {
            // The toolbar shows the detected language instead of automatic detection.
            EXPECT_EQ(window->fromLanguageButton()->text(), QStringLiteral("French \u25BE"));
        }
        EXPECT_EQ(analytics->withAction(QStringLiteral("Detect Language")).size(), c.detectEvents);
    }
}

TEST_F(GeneralViewFlowTest, OfflineTranslationIsSavedAsTypeOneWithoutATransliteration) {
    platform::NetworkStatus::shared().setOverride(platform::NetworkStatus::NotReachable);
    openWindow();
    type(QStringLiteral("Hello"));
    general->translateOperation();
    type(QStringLiteral("Hello again"));
    general->translateOperation();
    EXPECT_TRUE(online->calls.isEmpty());
    ASSERT_EQ(offline->texts, QStringList({"Hello", "Hello again"}));
    offline->completions.at(0)(QStringLiteral("Hallo"), {});
    offline->completions.at(1)(QStringLiteral("Hallo nochmal"), {});
    ASSERT_TRUE(rendered());

    // Both in the same second, under two identifiers.
    const QList<QVTranslationRealm> records = history();
    ASSERT_EQ(records.size(), 2);
    EXPECT_EQ(records.at(0).idTranslation().value_or(0), nowId());
    EXPECT_EQ(records.at(1).idTranslation().value_or(0), nowId() + 1);
    const QVTranslationRealm &last = records.at(1);
    EXPECT_EQ(last.translationType().value_or(0), 1);
    EXPECT_EQ(last.originalText(), QStringLiteral("Hello again"));
    EXPECT_EQ(last.translatedText(), QStringLiteral("Hallo nochmal"));
    EXPECT_TRUE(last.transliterationTranslatedText().isEmpty());
    EXPECT_EQ(last.languageFrom().localeIdentifier(), QStringLiteral("en_GB"));
    EXPECT_EQ(last.languageTo().localeIdentifier(), QStringLiteral("de_DE"));

    // With the transliteration setting on, the result is shown once.
    defaults().setBool(true, QString::fromLatin1(QVMGeneralViewController::kTransliterationSetting));
    general->updateTranslateViewTo();
    EXPECT_EQ(resultText(), QStringLiteral("Hallo nochmal"));
    const QList<Event> offlineEvents = analytics->withAction(QStringLiteral("en_GB-de_DE"));
    ASSERT_EQ(offlineEvents.size(), 2);
    EXPECT_EQ(offlineEvents.at(1).category, QStringLiteral("translate"));
    EXPECT_EQ(offlineEvents.at(1).name, QStringLiteral("text offline"));
    EXPECT_EQ(offlineEvents.at(1).value.value_or(0), 11.0);
}

TEST_F(GeneralViewFlowTest, AMissingPackageAlertOffersTheOfflinePackagesTab) {
    struct Case {
        qint64 code;
        int answer;
        int buttons;
        qint64 tabAsked;
    } cases[] = {
        {-204, QVMAlertPresenter::kFirstButtonReturn, 2, 1},
        {-204, QVMAlertPresenter::kSecondButtonReturn, 2, -1},
        {-202, QVMAlertPresenter::kFirstButtonReturn, 1, -1},
    };
    QPointer<RecordingSettingsWindow> settingsWindow;
    QVMInterfaceFactory::shared().registerController(
        QStringLiteral("Settings"), QStringLiteral("QVMSettingsWindowController"), [&](QObject *parent) {
            settingsWindow = new RecordingSettingsWindow(parent);
            return settingsWindow.data();
        });
    platform::NetworkStatus::shared().setOverride(platform::NetworkStatus::NotReachable);
    openWindow();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.code);
        alerts->shown.clear();
        alerts->answers = {c.answer};
        offline->packageError = platform::Error(QStringLiteral("com.translator"), c.code,
                                                QStringLiteral("The German package is not downloaded yet."));
        type(QStringLiteral("Hello"));
        general->translateOperation();
        ASSERT_EQ(alerts->shown.size(), 1);
        EXPECT_EQ(alerts->shown.at(0).message, QStringLiteral("The German package is not downloaded yet."));
        EXPECT_EQ(alerts->shown.at(0).buttons.size(), c.buttons);
        EXPECT_EQ(settingsWindow ? settingsWindow->selected : -1, c.tabAsked);
        EXPECT_TRUE(offline->texts.isEmpty());
        delete settingsWindow;
        qvtest::spin(20);
    }
    QVMInterfaceFactory::shared().removeController(QStringLiteral("Settings"),
                                                   QStringLiteral("QVMSettingsWindowController"));
}

TEST_F(GeneralViewFlowTest, AHistoryItemShowsItsPairAndTextsWithoutARequest) {
    openWindow();
    QVTranslationRealm stored;
    ASSERT_FALSE(QVDataManager::sharedInstance().saveTranslationWithIdTranslation(
        7, 1, language("fr_FR"), language("en_GB"), true, QStringLiteral("Merci"),
        QStringLiteral("Thank you"), {}, {}, 10.0,
        [&](const QVTranslationRealm &record) { stored = record; }));
    platform::NotificationCenter::defaultCenter().post(
        QString::fromLatin1(QVMGeneralViewController::kActionHistoryNotification),
        {{QStringLiteral("object"), QVariant::fromValue(static_cast<const platform::Object &>(stored))}});
    ASSERT_TRUE(rendered());
    EXPECT_EQ(general->fromTranslateTextView()->toPlainText(), QStringLiteral("Merci"));
    EXPECT_EQ(resultText(), QStringLiteral("Thank you"));
    EXPECT_EQ(QVSettingsService::languageFrom(), QStringLiteral("fr_FR"));
    EXPECT_EQ(QVSettingsService::languageTo(), QStringLiteral("en_GB"));
    EXPECT_TRUE(window->fromLanguageButton()->text().startsWith(QStringLiteral("French ")));
    EXPECT_TRUE(general->favoriteButton()->isChecked());
    EXPECT_TRUE(online->calls.isEmpty());
    EXPECT_EQ(history().size(), 1);
    EXPECT_EQ(analytics->withAction(QStringLiteral("History panel - Element Selected")).size(), 1);
}

TEST_F(GeneralViewFlowTest, TextFromTheServicesProviderTranslatesOnlyForTheMainView) {
    openWindow();
    general->updateBufferFromService(QStringLiteral("From another application"), 0);
    ASSERT_EQ(online->calls.size(), 1);
    EXPECT_EQ(general->fromTranslateTextView()->toPlainText(), QStringLiteral("From another application"));

    QStringList popover;
    QVMInterfaceHooks::shared().showAgentForText = [&](const QString &text) { popover << text; };
    advance(5000);
    general->updateBufferFromService(QStringLiteral("For the popover"), 1);
    general->updateBufferFromService(QStringLiteral("Unknown kind"), 7);
    EXPECT_EQ(online->calls.size(), 1);
    EXPECT_EQ(popover, QStringList({"For the popover"}));
}

TEST_F(GeneralViewFlowTest, TheRegistrationOfferIntervalCountsTheDaysTranslations) {
    struct Case {
        qint64 count;
        qint64 interval;
        bool due;
    } cases[] = {{0, 0, false}, {5, 0, false}, {4, 5, false}, {5, 5, true}, {7, 5, false}, {10, 5, true}};
    openWindow();
    for (const Case &c : cases) {
        SCOPED_TRACE(::testing::Message() << c.count << " every " << c.interval);
        ASSERT_FALSE(
            QVSettingsService::changeSettings([&](platform::Transaction &tx, const QVTranslateSettings &s) {
                s.setDayTranslationPassedCount(tx, c.count);
            }));
        EXPECT_EQ(general->checkIntervalWithValue(c.interval), c.due);
    }
}

TEST_F(GeneralViewFlowTest, ParametersNameEachMissingValueNull) {
    openWindow();
    const QVariantMap empty = general->parameters();
    EXPECT_EQ(empty.size(), 4);
    for (const QVariant &value : empty)
        EXPECT_EQ(value.toString(), QStringLiteral("null"));
    type(QStringLiteral("Hi"));
    general->translateOperation();
    answer(0, QString(), 77);
    const QVariantMap shown = general->parameters();
    EXPECT_EQ(shown.value("original_text"), QStringLiteral("Hi"));
    EXPECT_EQ(shown.value("translated_text"), QStringLiteral("null"));
    EXPECT_EQ(shown.value("language_to"), QStringLiteral("de_DE"));
}

namespace {

class CountingRatingPrompt : public QVMRatingPrompt {
public:
    void logEvent(bool deferPrompt) override {
        ++count;
        deferred = deferred && deferPrompt;
    }
    quint64 eventCount() const override { return count; }
    void setEventCount(quint64 value) override { count = value; }
    void promptIfAllCriteriaMet() override { ++prompts; }
    quint64 count = 0;
    int prompts = 0;
    bool deferred = true;
};

class RecordingOffer : public QVMBaseVC {
    Q_OBJECT
public:
    using QVMBaseVC::QVMBaseVC;
};

} // namespace

TEST_F(GeneralViewFlowTest, PromptsAfterAnOnlineTranslationFollowTheRemoteSettings) {
    write([](platform::Transaction &tx) {
        QVRemoteSettings remote = QVRemoteSettings::createWithDefaults(tx);
        remote.setUseRatingMessage(tx, true);
        remote.setUseRatingMessageCount(tx, 2);
        remote.setCrossPromoPopup(tx, true);
        remote.setShowRegisterOfferInterval(tx, 2);
        QVSettingsService::defaultSettings().setRemoteSettings(tx, remote);
    });
    auto rating = std::make_shared<CountingRatingPrompt>();
    int crossPromos = 0;
    QStringList resultsAtCrossPromo;
    QVMInterfaceHooks::shared().ratingPrompt = rating;
    QVMInterfaceHooks::shared().crossPromoAction = [&] {
        ++crossPromos;
        resultsAtCrossPromo << resultText();
    };
    QPointer<RecordingOffer> offer;
    QVMInterfaceFactory::shared().registerController(QStringLiteral("QVMIntro"),
                                                     QStringLiteral("QVMRegistrationOfferViewController"),
                                                     [&](QObject *parent) {
                                                         offer = new RecordingOffer(parent);
                                                         return offer.data();
                                                     });
    QPointer<RecordingSettingsWindow> settingsWindow;
    QVMInterfaceFactory::shared().registerController(
        QStringLiteral("Settings"), QStringLiteral("QVMSettingsWindowController"), [&](QObject *parent) {
            settingsWindow = new RecordingSettingsWindow(parent);
            return settingsWindow.data();
        });
    int offerActions = 0;
    const auto token = platform::NotificationCenter::defaultCenter().addObserver(
        QString::fromLatin1(QVMGeneralViewController::kRegistrationOfferAction),
        [&](const QVariantMap &) { ++offerActions; });
    openWindow();
    for (int i = 0; i < 2; ++i) {
        advance(5000);
        type(QStringLiteral("Text ") + QString::number(i));
        general->translateOperation();
        answer(i, QStringLiteral("Text ") + QString::number(i), 100 + i);
        // The prompt is decided only once the result is on screen, never on the way to it.
        EXPECT_EQ(crossPromos, i);
        ASSERT_TRUE(qvtest::waitUntil([&] { return crossPromos == i + 1; }));
    }
    // The second translation reaches the rating count and the offer's interval.
    EXPECT_EQ(rating->prompts, 1);
    EXPECT_EQ(rating->count, 0u);
    EXPECT_TRUE(rating->deferred);
    EXPECT_EQ(resultsAtCrossPromo, (QStringList{QStringLiteral("Text 0"), QStringLiteral("Text 1")}));
    ASSERT_TRUE(offer);
    EXPECT_TRUE(general->presentedViewControllers().contains(offer.data()));
    const QVMAction action = offer->property("registrationAction").value<QVMAction>();
    ASSERT_TRUE(bool(action));
    action();
    ASSERT_TRUE(settingsWindow);
    EXPECT_EQ(settingsWindow->selected, 2);
    EXPECT_EQ(offerActions, 1);

    // Offline translations ask no cross-promotion and no offer.
    platform::NetworkStatus::shared().setOverride(platform::NetworkStatus::NotReachable);
    type(QStringLiteral("Offline"));
    general->translateOperation();
    offline->completions.at(0)(QStringLiteral("Offline"), {});
    qvtest::spin(10);
    EXPECT_EQ(crossPromos, 2);
    EXPECT_EQ(rating->count, 1u);

    platform::NotificationCenter::defaultCenter().removeObserver(token);
    QVMInterfaceFactory::shared().removeController(QStringLiteral("QVMIntro"),
                                                   QStringLiteral("QVMRegistrationOfferViewController"));
    QVMInterfaceFactory::shared().removeController(QStringLiteral("Settings"),
                                                   QStringLiteral("QVMSettingsWindowController"));
}

#include "QVMGeneralViewFlowTest.moc"
