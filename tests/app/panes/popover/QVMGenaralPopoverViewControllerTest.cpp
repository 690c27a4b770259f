#include "PopoverTestSupport.h"
#include "WindowChecks.h"

#include "core/localization/QVLocalizedString.h"
#include "panes/popover/QVMStatusItemWindow.h"
#include "ui/controls/TextViewWithPlaceHolder.h"
#include "ui/foundation/QVMInterfaceFactory.h"

#include <QAbstractTextDocumentLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace popovertest;
using uitest::RecordingSettingsWindow;

namespace {

platform::Error translatorError(qint64 code, const QString &text) {
    return platform::Error(QStringLiteral("com.translator"), code, text);
}

} // namespace

// Failures first: each leaves the result the user saw and says why in one line.
TEST_F(PopoverTest, FailuresShowOneLineAndKeepTheResult) {
    struct Case {
        const char *name;
        bool online;
        qint64 packageCode; // 0: the pair is installed
        bool engineFails;
        QString line;
        bool download;
    } cases[] = {
        {"online request fails", true, 0, false, "The server did not answer.", false},
        {"package can be downloaded", false, -204, false, "The German package is not downloaded yet.", true},
        {"pair cannot be offline", false, -202, false, "This pair cannot be translated offline.", false},
        {"engine fails", false, 0, true, "The engine stopped.", false},
    };
    openPopover();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        popover->translateTextView()->setPlainText(QStringLiteral("earlier result"));
        platform::NetworkStatus::shared().setOverride(c.online ? platform::NetworkStatus::ReachableViaOther
                                                               : platform::NetworkStatus::NotReachable);
        offline->packageError = c.packageCode ? translatorError(c.packageCode, c.line) : platform::Error();
        online->calls.clear();
        offline->completions.clear();
        popover->originalTextView()->setPlainText(QStringLiteral("Hello"));
        popover->translateCurrentText();
        if (c.online) {
            ASSERT_EQ(online->calls.size(), 1);
            online->calls.at(0).failure(translatorError(-1009, c.line));
        } else if (c.engineFails) {
            ASSERT_EQ(offline->completions.size(), 1);
            offline->completions.at(0)(QString(), translatorError(500, c.line));
        }
        EXPECT_EQ(popover->messageText(), c.line);
        EXPECT_EQ(popover->downloadButton()->isVisibleTo(popover->view()), c.download);
        EXPECT_EQ(popover->translateTextView()->toPlainText(), QStringLiteral("earlier result"));
    }
}

TEST_F(PopoverTest, DownloadOfferOpensTheOfflinePackagesTab) {
    QPointer<RecordingSettingsWindow> settingsWindow;
    QVMInterfaceFactory::shared().registerController(
        QStringLiteral("Settings"), QStringLiteral("QVMSettingsWindowController"), [&](QObject *parent) {
            settingsWindow = new RecordingSettingsWindow(parent);
            return settingsWindow.data();
        });
    openPopover();
    platform::NetworkStatus::shared().setOverride(platform::NetworkStatus::NotReachable);
    offline->packageError = translatorError(-204, QStringLiteral("Download the German package."));
    popover->originalTextView()->setPlainText(QStringLiteral("Hello"));
    popover->translateCurrentText();
    ASSERT_TRUE(popover->downloadButton()->isVisibleTo(popover->view()));
    popover->downloadButton()->click();
    ASSERT_TRUE(settingsWindow);
    EXPECT_EQ(settingsWindow->selected, 1);
    delete settingsWindow;
    QVMInterfaceFactory::shared().removeController(QStringLiteral("Settings"),
                                                   QStringLiteral("QVMSettingsWindowController"));
}

TEST_F(PopoverTest, OfflineTranslatesAnyInstalledPairLoadedFirst) {
    setPair(QStringLiteral("de_DE"), QStringLiteral("fr_FR"));
    openPopover();
    platform::NetworkStatus::shared().setOverride(platform::NetworkStatus::NotReachable);
    popover->originalTextView()->setPlainText(QStringLiteral("Guten Tag"));
    popover->translateCurrentText();
    ASSERT_EQ(offline->completions.size(), 1);
    EXPECT_EQ(offline->pairs, QStringList{QStringLiteral("de_DE-fr_FR")});
    offline->completions.at(0)(QStringLiteral("Bonjour"), platform::Error());
    EXPECT_EQ(popover->translateTextView()->toPlainText(), QStringLiteral("Bonjour"));
    const QList<QVTranslationRealm> stored = history();
    ASSERT_EQ(stored.size(), 1);
    EXPECT_EQ(stored.at(0).translatedText(), QStringLiteral("Bonjour"));
    // The engine gives no transliteration, so none is stored.
    EXPECT_TRUE(stored.at(0).transliterationOriginalText().isEmpty());
    EXPECT_TRUE(stored.at(0).transliterationTranslatedText().isEmpty());
}

TEST_F(PopoverTest, TypingTranslatesOnceWhenTheDelayEndsAndNeverAfterTheWindowCloses) {
    struct Case {
        const char *name;
        bool closeWithinDelay;
        int requests;
    } cases[] = {
        {"window closed within the delay", true, 0},
        {"three keys then the delay", false, 1},
    };
    openPopover();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        online->calls.clear();
        QVMStatusItem::sharedInstance().showStatusItemWindow();
        qvtest::spin(10);
        popover->originalTextView()->clear();
        for (const QString &key : {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}) {
            typeInPopover(key);
            EXPECT_EQ(popover->typingTimer()->interval(), 400);
            EXPECT_TRUE(popover->typingTimer()->isActive());
            EXPECT_TRUE(online->calls.isEmpty());
        }
        if (c.closeWithinDelay)
            QVMStatusItem::sharedInstance().dismissStatusItemWindow();
        fireTypingDelay();
        ASSERT_EQ(online->calls.size(), c.requests);
        if (c.requests) {
            EXPECT_EQ(online->calls.at(0).text, QStringLiteral("abc"));
        }
    }
}

TEST_F(PopoverTest, ReturnTranslatesNowOrEmptiesOnlyThePopoverResult) {
    struct Case {
        QString source;
        int requests;
        QString result;
    } cases[] = {
        {QString(), 0, QString()},
        {QStringLiteral("Hello"), 1, QStringLiteral("earlier")},
    };
    openPopover();
    general->fromTranslateTextView()->setPlainText(QStringLiteral("kept in the main window"));
    general->toTranslateTextView()->setPlainText(QStringLiteral("its result"));
    for (const Case &c : cases) {
        SCOPED_TRACE(c.source.toStdString());
        online->calls.clear();
        popover->originalTextView()->setPlainText(c.source);
        popover->translateTextView()->setPlainText(QStringLiteral("earlier"));
        press(popover->originalTextView(), Qt::Key_Return);
        EXPECT_EQ(online->calls.size(), c.requests);
        EXPECT_FALSE(popover->typingTimer()->isActive());
        EXPECT_EQ(popover->originalTextView()->toPlainText(), c.source);
        EXPECT_EQ(popover->translateTextView()->toPlainText(), c.result);
        EXPECT_EQ(general->toTranslateTextView()->toPlainText(), QStringLiteral("its result"));
    }
}

TEST_F(PopoverTest, PanelHeightFollowsTheTextBetweenItsLimits) {
    const struct {
        float text;
        int panel;
    } cases[] = {{0, 30}, {10, 30}, {30, 30}, {30.5f, 36}, {100, 106}, {299, 305}, {300, 300}, {5000, 300}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(QVMGenaralPopoverViewController::panelHeightForTextHeight(c.text), c.panel);
    }
    openPopover();
    TextViewWithPlaceHolder *source = popover->originalTextView();
    const int chrome = int(2 * source->document()->documentMargin()) + 2 * source->frameWidth();
    // A paste taller than the limit is measured only as far as the limit; a shorter one whole.
    const QString paragraphs = QStringLiteral("one paragraph\n").repeated(5000);
    const struct {
        const char *name;
        QString text;
        int panel; // 0: what the whole laid-out text gives
    } texts[] = {
        {"one run", QString(10000, QLatin1Char('w')), 300},
        {"many paragraphs", paragraphs, 300},
        {"many empty paragraphs", QString(10000, QLatin1Char('\n')), 300},
        {"a few paragraphs", QStringLiteral("one\n\nthree\nfour"), 0},
        {"one line", QStringLiteral("one"), 30},
        {"nothing", QString(), 30},
    };
    for (const auto &t : texts) {
        SCOPED_TRACE(t.name);
        source->setPlainText(t.text);
        if (t.panel) {
            EXPECT_EQ(source->height(), t.panel + chrome);
            continue;
        }
        QTextDocument *document = source->document();
        const float whole =
            float(document->documentLayout()->documentSize().height() - 2 * document->documentMargin());
        EXPECT_GT(whole, 60) << "more than one line";
        EXPECT_EQ(source->height(),
                  QVMGenaralPopoverViewController::panelHeightForTextHeight(whole) + chrome);
    }
}

TEST_F(PopoverTest, PinTwiceTogglesImageWindowAndEvents) {
    openPopover();
    const QStringList images{QStringLiteral("PinFilled"), QStringLiteral("Pin")};
    const QStringList actions{QStringLiteral("Pine on"), QStringLiteral("Pine off")};
    for (int press = 0; press < 2; ++press) {
        SCOPED_TRACE(press);
        popover->holdButton()->click();
        EXPECT_EQ(QVMGenaralPopoverViewController::imageName(popover->holdButton()), images.at(press));
        EXPECT_EQ(QVMStatusItem::sharedInstance().windowConfiguration().isPinned(), press == 0);
        ASSERT_EQ(analytics->withAction(actions.at(press)).size(), 1);
        EXPECT_EQ(analytics->withAction(actions.at(press)).at(0).category, QStringLiteral("Agent"));
    }
}

TEST_F(PopoverTest, OnlyTheNewestReplyTouchesThePanelsButEveryReplyIsStored) {
    openPopover();
    popover->translateWithText(QStringLiteral("first"));
    popover->translateWithText(QStringLiteral("second"));
    ASSERT_EQ(online->calls.size(), 2);
    answer(1, QStringLiteral("zweite"), nowId());
    answer(0, QStringLiteral("erste"), nowId());
    EXPECT_EQ(popover->translateTextView()->toPlainText(), QStringLiteral("zweite"));
    // The main window keeps its own (empty) panels.
    EXPECT_TRUE(general->toTranslateTextView()->toPlainText().isEmpty());
    QStringList stored;
    for (const QVTranslationRealm &record : history())
        stored.append(record.translatedText());
    stored.sort();
    EXPECT_EQ(stored, (QStringList{QStringLiteral("erste"), QStringLiteral("zweite")}));
}

TEST_F(PopoverTest, AnAutomaticSourceIsStoredAsTheLanguageItTurnedOutToBe) {
    struct Case {
        const char *name;
        QString replyDetected;
        std::optional<QString> detectorAnswer; // none: no detector
        QString storedFrom;
    } cases[] = {
        {"detection fails too", QString(), QString(), QStringLiteral("auto-detection")},
        {"reply names it", QStringLiteral("de"), std::nullopt, QStringLiteral("de_DE")},
        {"backend asked", QString(), QStringLiteral("fr"), QStringLiteral("fr_FR")},
    };
    setPair(QStringLiteral("auto-detection"), QStringLiteral("en_GB"));
    openPopover();
    int index = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QStringList asked;
        popover->setLanguageDetector(
            c.detectorAnswer ? QVMGenaralPopoverViewController::LanguageDetector(
                                   [&, answerCode = *c.detectorAnswer](
                                       const QString &text, std::function<void(const QString &)> done) {
                                       asked.append(text);
                                       done(answerCode);
                                   })
                             : QVMGenaralPopoverViewController::LanguageDetector());
        const QString text = QStringLiteral("text %1").arg(index);
        popover->translateWithText(text);
        online->calls.last().success(
            uitest::FakeOnline::reply(text, QStringLiteral("done"), nowId() + index, c.replyDetected));
        ++index;
        EXPECT_EQ(asked.size(), c.detectorAnswer ? 1 : 0);
        QString from;
        for (const QVTranslationRealm &record : history())
            if (record.originalText() == text)
                from = record.languageFrom().localeIdentifier();
        EXPECT_EQ(from, c.storedFrom);
    }
}

TEST_F(PopoverTest, SpeechThatEndsByItselfLeavesTheButtonReadyToSpeak) {
    openPopover();
    popover->translateTextView()->setPlainText(QStringLiteral("Hallo"));
    popover->toSpeakButton()->click();
    EXPECT_TRUE(popover->isPlayTo());
    EXPECT_EQ(QVMGenaralPopoverViewController::imageName(popover->toSpeakButton()), QStringLiteral("stop"));
    speech->finish();
    EXPECT_FALSE(popover->isPlayTo());
    EXPECT_EQ(QVMGenaralPopoverViewController::imageName(popover->toSpeakButton()),
              QStringLiteral("volume-high"));
    ASSERT_EQ(analytics->withAction(QStringLiteral("Completed Pronunciation")).size(), 1);
    EXPECT_EQ(analytics->withAction(QStringLiteral("Completed Pronunciation"))
                  .at(0)
                  .params.value(QStringLiteral("panel_language_to")),
              QStringLiteral("de_DE"));
    popover->toSpeakButton()->click();
    EXPECT_TRUE(popover->isPlayTo());
    EXPECT_EQ(speech->spoken.size(), 2);
}

TEST_F(PopoverTest, TabMovesTheFocusInsteadOfTyping) {
    openPopover();
    QWidget *window = QVMStatusItem::sharedInstance().statusItemWindow();
    window->activateWindow();
    popover->originalTextView()->setFocus();
    qvtest::spin(10);
    popover->originalTextView()->setPlainText(QStringLiteral("Hi"));
    QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier, QStringLiteral("\t"));
    QCoreApplication::sendEvent(popover->originalTextView(), &tab);
    EXPECT_EQ(popover->originalTextView()->toPlainText(), QStringLiteral("Hi"));
    EXPECT_NE(QApplication::focusWidget(), popover->originalTextView());
}

TEST_F(PopoverTest, AFinishedTranslationNeverReachesTheMainWindowsPanels) {
    struct Case {
        const char *name;
        QString mainSource, mainResult; // the main window's own pair
    } cases[] = {
        {"main window holds untranslated text", QStringLiteral("my own draft"), QString()},
        {"main window empty", QString(), QString()},
        {"main window holds its own translation", QStringLiteral("The old tree"),
         QStringLiteral("Der alte Baum")},
    };
    openPopover();
    int index = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        general->setTextAndTranslation(c.mainSource, c.mainResult);
        typeInPopover(QStringLiteral("x"));
        EXPECT_EQ(general->fromTranslateTextView()->toPlainText(), c.mainSource);
        popover->translateWithText(QStringLiteral("Good morning"));
        answer(int(online->calls.size()) - 1, QStringLiteral("Guten Morgen"), nowId() + index++);
        EXPECT_EQ(popover->translateTextView()->toPlainText(), QStringLiteral("Guten Morgen"));
        EXPECT_EQ(general->fromTranslateTextView()->toPlainText(), c.mainSource);
        EXPECT_EQ(general->toTranslateTextView()->toPlainText(), c.mainResult);
    }
}

TEST_F(PopoverTest, DroppedFilesGoToTheMainWindowOrSayWhyNot) {
    struct Case {
        const char *name;
        bool hook;
        QStringList paths;
        QString line;
        QStringList opened;
    } cases[] = {
        {"unsupported type", true, {"/tmp/a.exe"}, "This file type cannot be translated", {}},
        {"no file translation yet", false, {"/tmp/a.pdf"}, "File translation is not available yet", {}},
        {"several files",
         true,
         {"/tmp/a b#1.pdf", "/tmp/c.png"},
         "Only the first file is translated",
         {"/tmp/a b#1.pdf"}},
        {"one picture", true, {"/tmp/c.png"}, QString(), {"/tmp/c.png"}},
    };
    openPopover();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QStringList opened;
        QVMInterfaceHooks::shared().openStatusItemDroppedFiles =
            c.hook ? [&](QVMGeneralViewController *, const QStringList &paths) { opened += paths; }
                   : std::function<void(QVMGeneralViewController *, const QStringList &)>();
        popover->openDroppedFiles(c.paths);
        EXPECT_EQ(popover->messageText(), c.line);
        EXPECT_EQ(opened, c.opened);
    }
}

TEST_F(PopoverTest, EmptyTextFromAShortcutIsNotSent) {
    openPopover();
    for (const QString &text : {QString(), QStringLiteral("  \n")}) {
        popover->translateWithText(text);
        EXPECT_TRUE(online->calls.isEmpty());
    }
}

TEST_F(PopoverTest, EveryControlIsNamedAndReachableByTab) {
    openPopover();
    const QList<QWidget *> controls = popover->view()->findChildren<QWidget *>();
    for (QWidget *control : controls) {
        if (!(control->focusPolicy() & Qt::TabFocus) || !control->isVisibleTo(popover->view()))
            continue;
        SCOPED_TRACE(control->objectName().toStdString());
        EXPECT_FALSE(control->accessibleName().isEmpty());
        EXPECT_FALSE(control->toolTip().isEmpty());
    }
    EXPECT_TRUE(popover->fromButton()->accessibleName().startsWith(QStringLiteral("Source language: ")));
    EXPECT_TRUE(popover->toButton()->accessibleName().startsWith(QStringLiteral("Target language: German")));
}

// Text handed over by a shortcut or the Services entry goes the road typed text goes.
TEST_F(PopoverTest, HandedOverTextTakesTheRoadTypedTextTakes) {
    struct Case {
        const char *name;
        bool handedOver;
        bool online;
    } cases[] = {
        {"handed over without network", true, false},
        {"typed without network", false, false},
        {"handed over with network", true, true},
        {"typed with network", false, true},
    };
    openPopover();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        online->calls.clear();
        offline->texts.clear();
        platform::NetworkStatus::shared().setOverride(c.online ? platform::NetworkStatus::ReachableViaOther
                                                               : platform::NetworkStatus::NotReachable);
        if (c.handedOver) {
            popover->translateWithText(QStringLiteral("Good morning"));
        } else {
            popover->originalTextView()->setPlainText(QStringLiteral("Good morning"));
            fireTypingDelay();
        }
        EXPECT_EQ(popover->originalTextView()->toPlainText(), QStringLiteral("Good morning"));
        EXPECT_EQ(online->calls.size(), c.online ? 1 : 0);
        EXPECT_EQ(offline->texts, c.online ? QStringList() : QStringList{QStringLiteral("Good morning")});
    }
}

// The window grows as a message or a long text appears; wherever it was placed, it stays on the screen.
TEST_F(PopoverTest, TheWindowStaysOnTheScreenWhenItsContentGrows) {
    struct Case {
        const char *name;
        std::function<void(QVMGenaralPopoverViewController *)> grow;
    } cases[] = {
        {"a message line",
         [](QVMGenaralPopoverViewController *p) {
             p->showMessage(QStringLiteral("A server could not be found with the specified hostname, so "
                                           "nothing was translated; try again when the network is back."));
         }},
        {"a long pasted text",
         [](QVMGenaralPopoverViewController *p) {
             p->originalTextView()->setPlainText(
                 QString(3000, QLatin1Char('w')).replace(QLatin1Char('w'), QStringLiteral("word ")));
             p->typingTimer()->stop();
         }},
    };
    openPopover();
    QWidget *window = QVMStatusItem::sharedInstance().statusItemWindow();
    const QRect available = window->screen()->availableGeometry();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        popover->hideMessage();
        popover->originalTextView()->clear();
        popover->typingTimer()->stop();
        qvtest::spin(20);
        // Where a tray at the bottom puts it: just above the screen's bottom edge.
        window->move(window->x(), available.bottom() - window->height() - QVMStatusItem::kScreenMargin);
        const int before = window->height();
        c.grow(popover);
        qvtest::spin(20);
        ASSERT_GT(window->height(), before);
        EXPECT_TRUE(available.contains(window->frameGeometry()))
            << window->frameGeometry().y() << "+" << window->height() << " in " << available.height();
    }
}

TEST_F(PopoverTest, TheTopRightButtonSaysItOpensTheMainWindowAndDoesSo) {
    openPopover();
    QWidget *main = general->view()->window();
    main->hide();
    QToolButton *button = popover->settingsButton();
    EXPECT_EQ(button->toolTip(),
              QVLocalizedString(QString::fromLatin1(QVMGenaralPopoverViewController::kMainWindowToolTipKey)));
    EXPECT_EQ(button->toolTip(), QStringLiteral("Open the main window"));
    EXPECT_EQ(button->accessibleName(), button->toolTip());
    button->click();
    EXPECT_FALSE(QVMStatusItem::sharedInstance().isStatusItemWindowVisible());
    EXPECT_TRUE(main->isVisible());
}

// Either speaker says why it cannot speak, as the main window's Listen does; a click while
// something speaks stops it, and that is no failure.
TEST_F(PopoverTest, ASpeakerThatCannotSpeakSaysWhy) {
    const QString noVoice =
        QVLocalizedString(QString::fromLatin1(QVMGenaralPopoverViewController::kNoVoiceOutputKey));
    ASSERT_FALSE(noVoice.isEmpty());
    struct Case {
        const char *name;
        bool output;
        std::function<void(QToolButton *)> after;
        bool says;
        int spoken;
    };
    const QList<Case> cases = {
        {"no voice output", false, [](QToolButton *) {}, true, 0},
        {"the speech ends early", true, [this](QToolButton *) { speech->finish(false); }, true, 1},
        {"stopped by a second click", true, [](QToolButton *button) { button->click(); }, false, 1},
        {"spoken to its end", true, [this](QToolButton *) { speech->finish(true); }, false, 1},
    };
    openPopover();
    popover->originalTextView()->setPlainText(QStringLiteral("Hello"));
    popover->translateTextView()->setPlainText(QStringLiteral("Hallo"));
    for (QToolButton *button : {popover->fromSpeakButton(), popover->toSpeakButton()}) {
        for (const Case &c : cases) {
            SCOPED_TRACE(button->objectName().toStdString() + ": " + c.name);
            popover->hideMessage();
            speech->output = c.output;
            speech->spoken.clear();
            button->click();
            c.after(button);
            EXPECT_EQ(popover->messageText(), c.says ? noVoice : QString());
            EXPECT_EQ(speech->spoken.size(), c.spoken);
            EXPECT_FALSE(popover->isPlayFrom() || popover->isPlayTo());
            EXPECT_EQ(QVMGenaralPopoverViewController::imageName(button), QStringLiteral("volume-high"));
        }
    }
}

// Texts and the panels' hints read in both schemes and after a live switch; the hints follow
// the palette even after the language buttons set them again.
TEST_F(PopoverTest, EveryTextAndHintReadsInBothSchemesAndAfterALiveSwitch) {
    openPopover();
    popover->updateLanguageButtons(); // the hints are set again each time the window shows
    popover->showMessage(QStringLiteral("The server did not answer."), true);
    ASSERT_TRUE(popover->originalTextView()->isShowingPlaceholder());
    uitest::expectEveryControlNamed(popover->view());
    uitest::expectReadableInBothPalettes(popover->view());
}
