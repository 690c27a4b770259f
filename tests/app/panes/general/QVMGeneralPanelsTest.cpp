#include "panes/general/QVMGeneralPanels.h"

#include "app/ui/GeneralViewTestSupport.h"

#include "core/localization/QVLocalizedString.h"
#include "ui/controls/QVMSegmentedControl.h"

#include <QAction>
#include <QLocale>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSplitter>
#include <QToolButton>
#include <QUrlQuery>

namespace {

QStringList titles(const QMenu *menu) {
    QStringList out;
    for (const QAction *action : menu->actions()) {
        if (action->isSeparator())
            break;
        out.append(action->text());
    }
    return out;
}

} // namespace

class GeneralPanelsTest : public uitest::GeneralViewTest {
protected:
    void SetUp() override {
        uitest::GeneralViewTest::SetUp();
        installGeneralPanels(QVMInterfaceHooks::shared());
        QVMGeneralPanels::setUrlOpener([this](const QUrl &url) {
            opened.append(url);
            return true;
        });
        openWindow();
        panels = QVMGeneralPanels::forView(general);
    }
    void TearDown() override {
        QVMGeneralPanels::setUrlOpener({});
        uitest::GeneralViewTest::TearDown();
    }
    void showResult(const QString &text) {
        type(QStringLiteral("Hello"));
        general->setTextAndTranslation(QStringLiteral("Hello"), text);
    }

    QVMGeneralPanels *panels = nullptr;
    QList<QUrl> opened;
};

TEST_F(GeneralPanelsTest, FontStepsMoveBothPanelsOnePointWithinEightToSeventyTwo) {
    const struct Case {
        double start;
        int segment;
        int steps;
        double end;
        QStringList sizes; // the events' "font_size"
    } cases[] = {
        {70, 0, 3, 72, {"71", "72"}}, // stops at 72
        {9.5, 1, 3, 8.5, {"8.5"}},    // never below 8
        {15, 1, 1, 14, {"14"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.start);
        QFont font = general->fromTranslateTextView()->font();
        font.setPointSizeF(c.start);
        general->fromTranslateTextView()->setFont(font);
        analytics->events.clear();
        for (int i = 0; i < c.steps; ++i)
            window->onSegmentZoomSwitch(c.segment);
        EXPECT_DOUBLE_EQ(general->fromTranslateTextView()->font().pointSizeF(), c.end);
        EXPECT_DOUBLE_EQ(general->toTranslateTextView()->font().pointSizeF(), c.end);
        QStringList sizes;
        for (const auto &event : analytics->events)
            if (event.action == (c.segment == 0 ? "Zoom Plus" : "Zoom Minus"))
                sizes.append(event.params.value("font_size").toString());
        EXPECT_EQ(sizes, c.sizes);
    }
}

TEST_F(GeneralPanelsTest, ToolbarNewEmptiesBothPanelsAndZoomSegmentsStayUnpressed) {
    showResult(QStringLiteral("Hallo"));
    window->newButton()->click();
    EXPECT_TRUE(general->fromTranslateTextView()->toPlainText().isEmpty());
    EXPECT_TRUE(resultText().isEmpty());
    EXPECT_EQ(analytics->withAction("Click New file button").size(), 1);
    const double before = general->fromTranslateTextView()->font().pointSizeF();
    window->zoomSegments()->click(0);
    EXPECT_DOUBLE_EQ(general->fromTranslateTextView()->font().pointSizeF(), before + 1);
    EXPECT_FALSE(window->zoomSegments()->isSelectedForSegment(0));
}

TEST_F(GeneralPanelsTest, ShareOffersNothingForAnEmptyResultAndEachItemReportsItsMethod) {
    general->shareButton()->setEnabled(true);
    general->shareButton()->click();
    EXPECT_EQ(panels->makeShareMenu(nullptr), nullptr);
    EXPECT_EQ(analytics->withAction("Click Share button").size(), 1);
    EXPECT_TRUE(analytics->withAction("Share").isEmpty());

    showResult(QStringLiteral("Hallo & tschüss?\nBis bald"));
    std::unique_ptr<QMenu> menu(panels->makeShareMenu(nullptr));
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(titles(menu.get()), (QStringList{"Copy", "Send by e-mail", "Suggest a better translation…"}));
    for (QAction *action : menu->actions())
        action->trigger();
    QStringList methods;
    for (const auto &event : analytics->withAction("Share"))
        methods.append(event.params.value("method").toString());
    EXPECT_EQ(methods, titles(menu.get()));
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(QVMGeneralViewController::readFromPasteBoard(), QStringLiteral("Hallo & tschüss?\nBis bald"));
    ASSERT_NE(panels->feedbackDialog(), nullptr);
    EXPECT_EQ(panels->feedbackDialog()->textField()->toPlainText(),
              QStringLiteral("Hallo & tschüss?\nBis bald"));
}

TEST_F(GeneralPanelsTest, MailAddressPercentEncodesSeparatorsAndLineBreaks) {
    const struct Case {
        const char *text, *encoded;
    } cases[] = {
        {"a&b", "mailto:?body=a%26b"},
        {"why?", "mailto:?body=why%3F"},
        {"one\ntwo", "mailto:?body=one%0Atwo"},
        {"x=1#y", "mailto:?body=x%3D1%23y"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        const QUrl url = QVMGeneralPanels::mailtoForText(QString::fromUtf8(c.text));
        EXPECT_EQ(url.toEncoded(), QByteArray(c.encoded));
        EXPECT_EQ(QUrlQuery(url).queryItemValue("body", QUrl::FullyDecoded), QString::fromUtf8(c.text));
    }
}

TEST_F(GeneralPanelsTest, EachPanelsMenuCallsThePanelsOwnOperations) {
    const struct Case {
        bool source;
        QStringList titles;
    } cases[] = {{true, {"Speak", "Paste", "Clear"}}, {false, {"Speak", "Copy", "Favourite", "Share"}}};
    showResult(QStringLiteral("Hallo"));
    for (const Case &c : cases) {
        SCOPED_TRACE(c.source ? "source" : "result");
        std::unique_ptr<QMenu> menu(panels->makePanelMenu(c.source, nullptr));
        EXPECT_EQ(titles(menu.get()), c.titles);
        for (QAction *action : menu->actions())
            EXPECT_TRUE(action->isEnabled() || !action->toolTip().isEmpty()) << action->text().toStdString();
    }
    std::unique_ptr<QMenu> result(panels->makePanelMenu(false, nullptr));
    result->actions().at(1)->trigger();
    EXPECT_EQ(analytics->withAction("Click Copy").size(), 1);
    std::unique_ptr<QMenu> source(panels->makePanelMenu(true, nullptr));
    source->actions().at(2)->trigger();
    EXPECT_TRUE(resultText().isEmpty());
    EXPECT_TRUE(analytics->withAction("Clear Cell (Translate from)").isEmpty())
        << "the menu clears without the button's event";
}

TEST_F(GeneralPanelsTest, ScrollingOnePanelByHandCarriesTheOtherWithRoomBelowItsEnd) {
    window->window()->resize(900, 600);
    QStringList lines;
    for (int i = 0; i < 200; ++i)
        lines.append(QStringLiteral("line %1").arg(i));
    general->fromTranslateTextView()->setPlainText(lines.join('\n'));
    general->toTranslateTextView()->setPlainText(QStringLiteral("short"));
    qvtest::spin(20);
    QScrollBar *from = general->fromTranslateTextView()->verticalScrollBar();
    ASSERT_GT(from->maximum(), 300);
    from->triggerAction(QAbstractSlider::SliderPageStepAdd);
    from->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(general->toTranslateTextView()->verticalScrollBar()->value(), from->value());
    EXPECT_GT(panels->bottomInset(general->toTranslateTextView()), 0);
    from->triggerAction(QAbstractSlider::SliderToMinimum);
    EXPECT_EQ(general->toTranslateTextView()->verticalScrollBar()->value(), 0);
    EXPECT_EQ(panels->bottomInset(general->toTranslateTextView()), 0);
    EXPECT_EQ(panels->clearButtonRightMargin(), 6 + from->width());
}

TEST_F(GeneralPanelsTest, SendByEmailWithoutAMailProgramOffersTheTranslationToCopy) {
    const struct {
        bool opens;
        int alertsShown;
    } cases[] = {{false, 1}, {true, 0}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.opens);
        QVMGeneralPanels::setUrlOpener([&](const QUrl &) { return c.opens; });
        alerts->shown.clear();
        showResult(QStringLiteral("Hallo & tschüss"));
        panels->sendByEmail();
        ASSERT_EQ(alerts->shown.size(), c.alertsShown);
        if (c.alertsShown) {
            EXPECT_TRUE(alerts->shown.first().message.endsWith(QStringLiteral("Hallo & tschüss")));
        }
    }
}

TEST_F(GeneralPanelsTest, AMailAddressCarriesTheFirstCharactersAndSaysTheRestWasLeftOut) {
    const qsizetype limit = QVMGeneralPanels::kMailBodyCharacters;
    const QString note = QVLocalizedString(QStringLiteral("_loc_share_mail_shortened"));
    const QString notePrefix = note.left(note.indexOf(QStringLiteral("%@")));
    const struct Case {
        const char *name;
        QString text;
        bool shortened;
    } cases[] = {
        {"a megabyte", QString(1000000, QLatin1Char('a')), true},
        {"one over the limit", QString(limit + 1, QLatin1Char('b')), true},
        {"a character across the cut",
         QString(limit - 1, QLatin1Char('c')) + QString::fromUtf8("\xF0\x9F\x98\x80"), true},
        {"exactly the limit", QString(limit, QLatin1Char('d')), false},
        {"a sentence", QStringLiteral("Hallo & tschüss?"), false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QUrl url = QVMGeneralPanels::mailtoForText(c.text);
        ASSERT_TRUE(url.isValid());
        const QString body = QUrlQuery(url).queryItemValue("body", QUrl::FullyDecoded);
        // Percent-encoded, every character may take nine bytes: far within a command line's limit.
        EXPECT_LE(url.toEncoded().size(), 9 * (limit + 300));
        if (!c.shortened) {
            EXPECT_EQ(body, c.text);
            continue;
        }
        const qsizetype kept = body.indexOf(QStringLiteral("\n\n") + notePrefix);
        ASSERT_GT(kept, 0) << "the body says it was shortened";
        EXPECT_LE(kept, limit);
        EXPECT_TRUE(c.text.startsWith(body.left(kept)));
        EXPECT_FALSE(body.at(kept - 1).isHighSurrogate()) << "half a character";
        EXPECT_TRUE(body.contains(QLocale().toString(qlonglong(c.text.size()))));
    }
}

TEST_F(GeneralPanelsTest, ALongTranslationSharedWithoutAMailProgramIsPreviewedAndCopiedWhole) {
    QVMGeneralPanels::setUrlOpener([](const QUrl &) { return false; });
    const QString translation = QString(1000000, QLatin1Char('t'));
    showResult(translation);
    alerts->answers = {QVMAlertPresenter::kFirstButtonReturn}; // Copy
    panels->sendByEmail();
    ASSERT_EQ(alerts->shown.size(), 1);
    EXPECT_LT(alerts->shown.first().message.size(), 1000);
    EXPECT_EQ(QVMGeneralViewController::readFromPasteBoard(), translation);
}

// The filter sits on the scroll bar and both panel boxes: it must go on following the scroll bar
// while the window lives, and take the destroy-time events of a closing window (every quit, every
// interface-language switch) without touching the half-destroyed view (the sanitizer run sees it).
TEST_F(GeneralPanelsTest, TheFilterFollowsTheScrollBarAndSurvivesTheWindowsDestruction) {
    const struct {
        const char *name;
        bool hideFirst; // the window is closed before it is destroyed
        bool longText;  // the scroll bar shows
    } cases[] = {
        {"a shown window with its scroll bar showing", false, true},
        {"a shown window without one", false, false},
        {"a closed window", true, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        if (!window)
            openWindow();
        window->window()->resize(900, 600);
        QStringList lines;
        for (int i = 0; i < (c.longText ? 200 : 1); ++i)
            lines.append(QStringLiteral("line %1").arg(i));
        type(lines.join('\n'));
        qvtest::spin(20);
        QScrollBar *bar = general->fromTranslateTextView()->verticalScrollBar();
        EXPECT_EQ(bar->isVisible(), c.longText);
        EXPECT_EQ(QVMGeneralPanels::forView(general)->clearButtonRightMargin(),
                  6 + (c.longText ? bar->width() : 0));
        QPointer<QVMGeneralPanels> guard = QVMGeneralPanels::forView(general);
        if (c.hideFirst)
            window->window()->hide();
        delete window;
        window = nullptr;
        general = nullptr;
        EXPECT_TRUE(guard.isNull());
    }
}
