#include "GeneralViewTestSupport.h"

#include "core/history/QVDataManager.h"
#include "services/dictionary/QVMLexicalMeaningService.h"
#include "ui/main/QVMPanelFonts.h"
#include "ui/main/QVMPartOfSpeechHighlighter.h"
#include "ui/style/QVMColor.h"

#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QSplitter>
#include <QTextBlock>
#include <QToolButton>

using namespace uitest;

namespace {

class GeneralViewRenderingTest : public GeneralViewTest {
protected:
    // The colours a panel shows over the words of its first line.
    static QStringList redWords(PaddingTextView *view) {
        QStringList words;
        const QTextBlock block = view->document()->firstBlock();
        for (const QTextLayout::FormatRange &range : block.layout()->formats()) {
            // Red, in the shade that reads on the panel.
            if (range.format.foreground().color() ==
                QVMColor::readableOn(QColor(Qt::red), view->palette().color(QPalette::Base)))
                words << block.text().mid(range.start, range.length);
        }
        return words;
    }
    QVTranslationRealm translateOnline(const QString &text, const QString &translated,
                                       const QString &transliteration = {}) {
        advance(5000);
        type(text);
        general->translateOperation();
        answer(int(online->calls.size()) - 1, translated, nowId(), QStringLiteral("en"), transliteration);
        EXPECT_TRUE(rendered());
        return general->translateObject();
    }
};

} // namespace

TEST_F(GeneralViewRenderingTest, TheChosenPartOfSpeechIsColouredInEachPanel) {
    openWindow();
    // English in both panels, from two locales: one locale on both sides translates nothing.
    addLanguage("en_US", "English (US)", "en", {});
    setPair(QStringLiteral("en_GB"), QStringLiteral("en_US"));
    translateOnline(QStringLiteral("He runs fast"), QStringLiteral("The dog reads a book"));
    struct Case {
        int type;
        QStringList source;
        QStringList result;
    } cases[] = {{0, {}, {}}, {3, {"runs"}, {"reads"}}, {1, {}, {"dog", "book"}}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.type);
        general->partOfSpeechFromButton()->setCurrentIndex(c.type);
        general->onPartOfSpeechFrom();
        general->partOfSpeechToButton()->setCurrentIndex(c.type);
        general->onPartOfSpeechTo();
        ASSERT_TRUE(rendered());
        EXPECT_EQ(redWords(general->fromTranslateTextView()), c.source);
        EXPECT_EQ(redWords(general->toTranslateTextView()), c.result);
        EXPECT_EQ(defaults().integerForKey(
                      QString::fromLatin1(QVMGeneralViewController::kUserDefaultPartOfSpeechTypeTo)),
                  c.type);
        EXPECT_EQ(
            analytics->withAction(QStringLiteral("Click Morphology To")).last().params.value("type").toInt(),
            c.type);
    }
    // Only the chosen title is red in the pop-up.
    const QComboBox *popUp = general->partOfSpeechToButton();
    for (int i = 0; i < popUp->count(); ++i)
        EXPECT_EQ(popUp->itemData(i, Qt::ForegroundRole).value<QColor>() == QColor(Qt::red), i == 1);
}

TEST_F(GeneralViewRenderingTest, AColouringAppliesOnlyToTheTextItWasMadeFrom) {
    openWindow();
    defaults().setInteger(3, QString::fromLatin1(QVMGeneralViewController::kUserDefaultPartOfSpeechTypeFrom));
    type(QStringLiteral("He runs fast"));
    analysis->hold = true;
    general->updateTranslateViewFrom();
    // The user goes on typing before the analysis is back.
    general->fromTranslateTextView()->moveCursor(QTextCursor::End);
    general->fromTranslateTextView()->insertPlainText(QStringLiteral(" and reads"));
    analysis->hold = false;
    ASSERT_TRUE(rendered());
    EXPECT_TRUE(redWords(general->fromTranslateTextView()).isEmpty());
    EXPECT_EQ(general->fromTranslateTextView()->toPlainText(), QStringLiteral("He runs fast and reads"));

    // Of two renders of one text, only the newest applies; an edit removes the colours again.
    general->updateTranslateViewFrom();
    general->updateTranslateViewFrom();
    ASSERT_TRUE(rendered());
    EXPECT_EQ(redWords(general->fromTranslateTextView()), QStringList({"runs", "reads"}));
    general->fromTranslateTextView()->insertPlainText(QStringLiteral("!"));
    EXPECT_TRUE(redWords(general->fromTranslateTextView()).isEmpty());
}

TEST_F(GeneralViewRenderingTest, TheTransliterationShowsUnderTheResultOnlyWhenSetAndUnfocused) {
    openWindow();
    const QString key = QString::fromLatin1(QVMGeneralViewController::kTransliterationSetting);
    translateOnline(QStringLiteral("Thank you"), QStringLiteral("Спасибо"), QStringLiteral("Spasibo"));
    EXPECT_EQ(resultText(), QStringLiteral("Спасибо"));
    EXPECT_FALSE(general->isToTextViewWithTrans());

    defaults().setBool(true, key);
    general->updateTranslateViewTo();
    ASSERT_TRUE(rendered());
    EXPECT_EQ(resultText(), QStringLiteral("Спасибо\nSpasibo"));
    EXPECT_TRUE(general->isToTextViewWithTrans());
    // The transliteration is grey, apart from the translation.
    auto *highlighter = general->toTranslateTextView()->document()->findChild<QVMPartOfSpeechHighlighter *>();
    ASSERT_NE(highlighter, nullptr);
    EXPECT_EQ(highlighter->colorAt(9), QColor(Qt::gray));
    EXPECT_NE(highlighter->colorAt(0), QColor(Qt::gray));

    // Copy and speech take the translation alone.
    general->onCopyFromTranslated();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("Спасибо"));
    general->onSpeechSynthesisTo();
    EXPECT_EQ(speech->spoken.last(), QStringLiteral("de_DE:Спасибо"));

    // Working in the result panel hides it until the next rendering.
    general->toTranslateTextView()->setFocus(Qt::MouseFocusReason);
    emit general->toTranslateTextView()->textViewDidBecomeFirstResponder(general->toTranslateTextView());
    ASSERT_TRUE(rendered());
    EXPECT_EQ(resultText(), QStringLiteral("Спасибо"));
    EXPECT_EQ(general->saveDirection(), 2u);
}

TEST_F(GeneralViewRenderingTest, DeletingTheRecordOnScreenClearsThePanelsAndNothingElseDoes) {
    openWindow();
    const QVTranslationRealm shown = translateOnline(QStringLiteral("Shown"), QStringLiteral("Gezeigt"));
    QVTranslationRealm other;
    ASSERT_FALSE(QVDataManager::sharedInstance().saveTranslationWithIdTranslation(
        3, 1, language("en_GB"), language("de_DE"), false, QStringLiteral("Other"), QStringLiteral("Andere"),
        {}, {}, 1.0, [&](const QVTranslationRealm &record) { other = record; }));
    qvtest::spin(20);
    EXPECT_EQ(resultText(), QStringLiteral("Gezeigt"));

    ASSERT_FALSE(QVDataManager::sharedInstance().removeObjectFromHistory(other));
    qvtest::spin(20);
    EXPECT_EQ(resultText(), QStringLiteral("Gezeigt"));

    ASSERT_FALSE(QVDataManager::sharedInstance().removeObjectFromHistory(shown));
    ASSERT_TRUE(qvtest::waitUntil([&] { return resultText().isEmpty(); }));
    EXPECT_TRUE(general->fromTranslateTextView()->toPlainText().isEmpty());
    EXPECT_FALSE(general->clearButton()->isEnabled());

    // With no history record on screen, the user's own text survives a deletion.
    type(QStringLiteral("Still typing"));
    ASSERT_FALSE(QVDataManager::sharedInstance().removeAllTranslation());
    qvtest::spin(20);
    EXPECT_EQ(general->fromTranslateTextView()->toPlainText(), QStringLiteral("Still typing"));
}

TEST_F(GeneralViewRenderingTest, ButtonsFollowTheLanguagesCapabilitiesAndThePanelsText) {
    struct Case {
        const char *from;
        const char *to;
        bool photo, file, web, speakSource;
    } cases[] = {
        {"en_GB", "de_DE", true, true, false, true},
        {"en_GB", "fr_FR", true, false, true, true},
        {"fr_FR", "en_GB", false, false, true, true},
        {"ar_AE", "de_DE", false, false, false, false},
    };
    // The windows these buttons open are installed; their own conditions are what is checked.
    QVMInterfaceHooks &hooks = QVMInterfaceHooks::shared();
    hooks.onOpenPhoto = hooks.onOpenFile = hooks.onOpenTranslateWebPages =
        hooks.onFavorite = [](QVMGeneralViewController *) {};
    hooks.onShare = [](QVMGeneralViewController *, QAbstractButton *) {};
    openWindow();
    type(QStringLiteral("Text"));
    for (const Case &c : cases) {
        SCOPED_TRACE(::testing::Message() << c.from << "-" << c.to);
        setPair(QString::fromLatin1(c.from), QString::fromLatin1(c.to));
        qvtest::spin(20);
        general->checkSpeakerButtonsState();
        EXPECT_EQ(general->photoButton()->isEnabled(), c.photo);
        EXPECT_EQ(general->fileButton()->isEnabled(), c.file);
        EXPECT_EQ(general->webPageButton()->isEnabled(), c.web);
        EXPECT_EQ(general->fromSpeakerButton()->isEnabled(), c.speakSource);
        // Parts of speech need a language the analysis knows and text in the panel.
        EXPECT_EQ(general->partOfSpeechFromButton()->isEnabled(), QString::fromLatin1(c.from) == "en_GB");
        EXPECT_FALSE(general->partOfSpeechToButton()->isEnabled());
    }
    // The result's buttons follow its text.
    EXPECT_FALSE(general->toPasteboardButton()->isEnabled());
    general->setTextAndTranslation(QStringLiteral("a"), QStringLiteral("b"));
    EXPECT_TRUE(general->toPasteboardButton()->isEnabled());
    EXPECT_TRUE(general->shareButton()->isEnabled());
    general->clear();
    EXPECT_FALSE(general->shareButton()->isEnabled());
    EXPECT_FALSE(general->favoriteButton()->isEnabled());
}

TEST_F(GeneralViewRenderingTest, ThePasteButtonFollowsTheClipboardOnEachPoll) {
    openWindow();
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->setImage(uitest::solidImage(4, 4, Qt::red));
    qvtest::spin(20);
    general->checkPasteBoard();
    EXPECT_FALSE(general->pasteButton()->isEnabled());
    auto *rich = new QMimeData;
    rich->setData(QStringLiteral("text/rtf"), QByteArray("{\\rtf1 Hi}"));
    clipboard->setMimeData(rich);
    qvtest::spin(20);
    general->checkPasteBoard();
    EXPECT_TRUE(general->pasteButton()->isEnabled());
    // The poll itself runs while the view is on screen.
    clipboard->setImage(uitest::solidImage(4, 4, Qt::blue));
    ASSERT_TRUE(qvtest::waitUntil([&] { return !general->pasteButton()->isEnabled(); }, 3000));
}

TEST_F(GeneralViewRenderingTest, PanelLayoutAndFontsComeFromTheDefaults) {
    struct Case {
        const char *name;
        QVariant direction;
        bool sideBySide;
        int first, left, top;
    } cases[] = {{"absent", QVariant(), false, 6, 12, 6},
                 {"side by side", 1, true, 12, 6, 12},
                 {"one above the other", 0, false, 6, 12, 6}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        defaults().setObject(
            c.direction, QString::fromLatin1(QVMGeneralViewController::kUserDefaultTranslateViewsDirection));
        openWindow();
        EXPECT_EQ(general->generalSplitView()->orientation() == Qt::Horizontal, c.sideBySide);
        EXPECT_EQ(general->firstBottomLC(), c.first);
        EXPECT_EQ(general->secondLeftLC(), c.left);
        EXPECT_EQ(general->secondTopLC(), c.top);
        delete window;
        window = nullptr;
    }

    // A stored font comes back; a font that is gone keeps the source panel's alignment only.
    defaults().setObject(QStringLiteral("DejaVu Serif"),
                         QString::fromLatin1(QVMGeneralViewController::kUserDefaultTranslateFromFontName));
    defaults().setDouble(21.0,
                         QString::fromLatin1(QVMGeneralViewController::kUserDefaultTranslateFromFontSize));
    defaults().setInteger(2,
                          QString::fromLatin1(QVMGeneralViewController::kUserDefaultTranslateFromAligment));
    defaults().setObject(QStringLiteral("No Such Font Family"),
                         QString::fromLatin1(QVMGeneralViewController::kUserDefaultTranslateToFontName));
    defaults().setInteger(1, QString::fromLatin1(QVMGeneralViewController::kUserDefaultTranslateToAligment));
    openWindow();
    const PaddingTextView *from = general->fromTranslateTextView();
    const PaddingTextView *to = general->toTranslateTextView();
    EXPECT_EQ(from->font().family(), QStringLiteral("DejaVu Serif"));
    EXPECT_DOUBLE_EQ(from->font().pointSizeF(), 21.0);
    EXPECT_EQ(from->document()->defaultTextOption().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    EXPECT_NE(to->font().family(), QStringLiteral("No Such Font Family"));
    EXPECT_EQ(QVMPanelFonts::storedAlignment(to->document()->defaultTextOption().alignment()), 4);

    // A font change of a panel is kept for the next launch.
    QFont bigger = to->font();
    bigger.setPointSizeF(30.0);
    general->toTranslateTextView()->setFont(bigger);
    EXPECT_DOUBLE_EQ(defaults().doubleForKey(
                         QString::fromLatin1(QVMGeneralViewController::kUserDefaultTranslateToFontSize)),
                     30.0);
}

TEST_F(GeneralViewRenderingTest, SelectingOneWordAsksTheDictionaryWithTheWordOnlyInEnglish) {
    struct Case {
        const char *from;
        const char *text;
        int start, length;
        QStringList asked;
    } cases[] = {
        {"en_GB", "The quick fox", 4, 5, {"en_GB:quick"}},
        {"de_DE", "Der schnelle Fuchs", 4, 8, {"de_DE:"}},
        {"en_GB", "The quick fox", 0, 9, {}},
    };
    openWindow();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        setPair(QString::fromLatin1(c.from), QStringLiteral("fr_FR"));
        type(QString::fromLatin1(c.text));
        relay->asked.clear();
        QTextCursor cursor(general->fromTranslateTextView()->document());
        cursor.setPosition(c.start);
        cursor.setPosition(c.start + c.length, QTextCursor::KeepAnchor);
        general->fromTranslateTextView()->setTextCursor(cursor);
        EXPECT_EQ(relay->asked, c.asked);
    }
    // Through the application's relay, the dictionary pane's block gets the word.
    QVMGeneralServices::shared().setLexicalMeaning(nullptr);
    QStringList shown;
    QVMLexicalMeaningService::sharedInstance().addUpdateBlock(
        [&](const QString &word, const QString &code) { shown << code + ":" + word; });
    setPair(QStringLiteral("en_GB"), QStringLiteral("de_DE"));
    type(QStringLiteral("brown dog"));
    QTextCursor cursor(general->fromTranslateTextView()->document());
    cursor.setPosition(6);
    cursor.setPosition(9, QTextCursor::KeepAnchor);
    general->fromTranslateTextView()->setTextCursor(cursor);
    EXPECT_EQ(shown, QStringList({"en_GB:dog"}));
    QVMLexicalMeaningService::sharedInstance().addUpdateBlock({});
}

TEST_F(GeneralViewRenderingTest, SentencesHighlightInPairsWhenTheSettingIsOn) {
    openWindow();
    translateOnline(QStringLiteral("One. Two. Three"), QStringLiteral("Eins. Zwei. Drei"));
    ASSERT_TRUE(qvtest::waitUntil([&] { return general->translatedSentencesArray().size() == 3; }));
    EXPECT_EQ(general->originalSentencesArray().size(), 3);
    for (bool on : {false, true}) {
        SCOPED_TRACE(on);
        defaults().setBool(on, QString::fromLatin1(QVMGeneralViewController::kHighlightTranslatedSentences));
        general->highlightTextViewsWithTag(2);
        const QList<QPair<int, int>> expectedFrom =
            on ? QList<QPair<int, int>>{{5, 4}} : QList<QPair<int, int>>{};
        const QList<QPair<int, int>> expectedTo =
            on ? QList<QPair<int, int>>{{6, 5}} : QList<QPair<int, int>>{};
        EXPECT_EQ(general->fromTranslateTextView()->highlightedRanges(), expectedFrom);
        EXPECT_EQ(general->toTranslateTextView()->highlightedRanges(), expectedTo);
    }
    // The next pair replaces the earlier one in both panels.
    general->highlightTextViewsWithTag(3);
    EXPECT_EQ(general->toTranslateTextView()->highlightedRanges(), (QList<QPair<int, int>>{{12, 4}}));
}

TEST_F(GeneralViewRenderingTest, EitherSpeakerStopsWhateverSpeaks) {
    openWindow();
    translateOnline(QStringLiteral("Hello"), QStringLiteral("Hallo"));
    general->fromSpeakerButton()->click();
    EXPECT_EQ(speech->spoken, QStringList({"en_GB:Hello"}));
    EXPECT_TRUE(general->fromSpeakerButton()->isChecked());
    general->toSpeakerButton()->click();
    EXPECT_EQ(speech->stops, 1);
    EXPECT_EQ(speech->spoken.size(), 1);
    EXPECT_FALSE(general->fromSpeakerButton()->isChecked());
    EXPECT_FALSE(general->toSpeakerButton()->isChecked());
    EXPECT_EQ(analytics->withAction(QStringLiteral("Click Stop Pronunciation")).at(0).params,
              QVariantMap({{"panel_language_to", "de_DE"}}));
    EXPECT_EQ(analytics->withAction(QStringLiteral("Completed Pronunciation")).size(), 1);

    // Clearing stops speech too.
    general->toSpeakerButton()->click();
    EXPECT_TRUE(speech->isSpeaking);
    general->clear();
    EXPECT_FALSE(speech->isSpeaking);
    EXPECT_FALSE(general->toSpeakerButton()->isChecked());
}

TEST_F(GeneralViewRenderingTest, TheApplicationsTaggerColoursTheVerbOfHeRunsFast) {
    QVMGeneralServices::shared().setAnalysis(nullptr);
    defaults().setInteger(3, QString::fromLatin1(QVMGeneralViewController::kUserDefaultPartOfSpeechTypeFrom));
    openWindow();
    type(QStringLiteral("He runs fast"));
    EXPECT_EQ(general->partOfSpeechFromButton()->count(), 6);
    EXPECT_TRUE(general->partOfSpeechFromButton()->isEnabled());
    general->updateTranslateViewFrom();
    ASSERT_TRUE(rendered());
    EXPECT_EQ(redWords(general->fromTranslateTextView()), QStringList({"runs"}));

    // German has no tagger: its pop-up stays off and nothing turns red.
    setPair(QStringLiteral("de_DE"), QStringLiteral("en_GB"));
    type(QStringLiteral("Er läuft schnell"));
    EXPECT_FALSE(general->partOfSpeechFromButton()->isEnabled());
    general->updateTranslateViewFrom();
    ASSERT_TRUE(rendered());
    EXPECT_TRUE(redWords(general->fromTranslateTextView()).isEmpty());
}
