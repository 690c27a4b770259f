#include "panes/dictionary/QVMDicrionaryController.h"

#include "app/services/WordNetFixtures.h"
#include "app/ui/GeneralViewTestSupport.h"
#include "app/ui/WindowChecks.h"

#include "core/localization/QVLocalizedString.h"
#include "core/models/QVPackageFolders.h"
#include "platform/AppPaths.h"
#include "services/dictionary/QVMLexicalMeaningService.h"
#include "ui/foundation/QVMInterfaceFactory.h"
#include "ui/style/QVMAppearance.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextBrowser>

namespace {

// Keeps each request; the test answers when it likes.
class FakeDictionarySource : public QVMDictionaryDataSource {
public:
    struct Request {
        QString kind, word, from, to;
        WordsSuccess words;
        LexicalSuccess entry;
        ResultSuccess result;
        Failure failure;
    };
    void autocompleteForWord(const QString &word, const QString &language, WordsSuccess success,
                             Failure failure) override {
        requests.append({"list", word, language, {}, std::move(success), {}, {}, std::move(failure)});
    }
    void lexicalMeaningAndSynonymsForWord(const QString &word, const QString &from, const QString &to,
                                          LexicalSuccess success, Failure failure) override {
        requests.append({"entry", word, from, to, {}, std::move(success), {}, std::move(failure)});
    }
    void wordDictionaryMeaningForText(const QString &text, const QString &from, const QString &to,
                                      ResultSuccess success, Failure failure) override {
        requests.append({"translations", text, from, to, {}, {}, std::move(success), std::move(failure)});
    }
    QStringList kinds() const {
        QStringList out;
        for (const Request &request : requests)
            out.append(request.kind + ":" + request.word);
        return out;
    }
    const Request *last(const QString &kind) const {
        for (auto it = requests.crbegin(); it != requests.crend(); ++it)
            if (it->kind == kind)
                return &*it;
        return nullptr;
    }
    QList<Request> requests;
};

void key(QWidget *target, int key, const QString &text = {}) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(target, &release);
}

void typeText(QWidget *target, const QString &text) {
    for (const QChar c : text)
        key(target, Qt::Key_unknown, QString(c));
}

void click(QWidget *target, const QPoint &at) {
    const QPointF local(at);
    const QPointF global(target->mapToGlobal(at));
    QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(target, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, local, global, Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(target, &release);
}

QVariantList words(int count) {
    QVariantList list;
    for (int i = 0; i < count; ++i)
        list.append(QStringLiteral("word%1").arg(i));
    return list;
}

QVLexicalMeaning dogEntry(const QString &definition = QStringLiteral("a domestic animal")) {
    return QVLexicalMeaning::initWithDictionary(
        {{"word", "dog"},
         {"partsOfSpeech", QVariantMap{{"noun", QVariantList{QVariantMap{{"meaning", definition}}}}}}},
        "dog");
}

} // namespace

class DictionaryPaneTest : public uitest::GeneralViewTest {
protected:
    void SetUp() override {
        uitest::GeneralViewTest::SetUp();
        setPair("en_GB", "de_DE");
        pane = new QVMDicrionaryController;
        pane->setDataSource(source);
        pane->view()->resize(360, 600);
        pane->view()->show();
        qvtest::spin(20);
    }
    void TearDown() override {
        delete pane->view();
        delete pane;
        QVMLexicalMeaningService::sharedInstance().addUpdateBlock({});
        uitest::GeneralViewTest::TearDown();
    }
    void search(const QString &word) {
        pane->searchField()->setText(word);
        key(pane->searchField(), Qt::Key_Return, "\r");
    }
    QString entryText() const { return pane->synonymsTextView()->toPlainText(); }
    // "dog" searched and answered with one example pair, each side with its speaker.
    void showDogWithAnExample() {
        search("dog");
        source->last("entry")->entry(
            QVLexicalMeaning::initWithDictionary(
                {{"word", "dog"},
                 {"examples",
                  QVariantList{QVariantMap{{"fromText", "The dog runs."}, {"toText", "Der Hund rennt."}}}}},
                "dog"),
            {}, {});
    }
    QString message() const {
        return pane->messageLabel()->isHidden() ? QString() : pane->messageLabel()->text();
    }

    std::shared_ptr<FakeDictionarySource> source = std::make_shared<FakeDictionarySource>();
    QVMDicrionaryController *pane = nullptr;
};

TEST_F(DictionaryPaneTest, WordsThatCannotBeLookedUpAskNobodyAndSayWhy) {
    const struct Case {
        const char *name;
        QString word;
        QString message;
    } cases[] = {
        {"empty", "", QVLocalizedString("_loc_dictionary_description")},
        {"blanks", "   ", QVLocalizedString("_loc_dictionary_description")},
        {"too long", QString(101, QLatin1Char('a')), "Enter one word"},
        {"two lines", "dog\ncat", "Enter one word"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        pane->renderer().showTranslations({"left over"});
        pane->showLexicalMeaningAndWordEntriesForText(c.word);
        EXPECT_TRUE(source->requests.isEmpty());
        EXPECT_EQ(message(), c.message);
        EXPECT_TRUE(entryText().isEmpty());
        EXPECT_EQ(pane->worldsTableView()->count(), 0);
    }
}

TEST_F(DictionaryPaneTest, ListShowsAtMostThirtyWordsAndSelectsTheFirstWithoutSearching) {
    const struct Case {
        int given, shown;
        int selected;
    } cases[] = {{31, 30, 0}, {30, 30, 0}, {0, 0, -1}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.given);
        source->requests.clear();
        search("dog");
        ASSERT_EQ(source->kinds(), (QStringList{"entry:dog", "list:dog"}));
        source->last("list")->words(words(c.given));
        EXPECT_EQ(pane->worldsTableView()->count(), c.shown);
        EXPECT_EQ(pane->worldsTableView()->currentRow(), c.selected);
        EXPECT_EQ(source->requests.size(), 2) << "the automatic selection searched";
    }
}

TEST_F(DictionaryPaneTest, ClickOrReturnOnAnyRowSearchesItsWordFirstRowIncluded) {
    search("dog");
    source->last("list")->words({"dog", "doge", "dogma"});
    QListWidget *list = pane->worldsTableView();
    const QRect first = list->visualItemRect(list->item(0));
    click(list->viewport(), first.center());
    EXPECT_EQ(source->kinds().mid(2), (QStringList{"entry:dog", "list:dog"}));
    source->last("list")->words({"dog", "doge", "dogma"});
    list->setCurrentRow(2);
    key(list, Qt::Key_Return, "\r");
    EXPECT_EQ(source->kinds().mid(4), (QStringList{"entry:dogma", "list:dogma"}));
    EXPECT_EQ(pane->searchField()->text(), QStringLiteral("dogma"));
}

TEST_F(DictionaryPaneTest, WithoutNetworkTheEntryFollowsTheListAnsweredOrFailed) {
    platform::NetworkStatus::shared().setOverride(platform::NetworkStatus::NotReachable);
    for (const bool listFails : {false, true}) {
        SCOPED_TRACE(listFails ? "list failed" : "list arrived");
        source->requests.clear();
        search("dog");
        ASSERT_EQ(source->kinds(), QStringList{"list:dog"});
        if (listFails)
            source->last("list")->failure({});
        else
            source->last("list")->words({"dog"});
        EXPECT_EQ(source->kinds(), (QStringList{"list:dog", "entry:dog"}));
    }
}

TEST_F(DictionaryPaneTest, WordLanguageDecidesTheDirectionOfTheLookUp) {
    const struct Case {
        const char *code, *from, *to;
    } cases[] = {{"en_GB", "en_GB", "de_DE"}, {"de_DE", "de_DE", "en_GB"}, {"fr_FR", "de_DE", "en_GB"}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.code);
        QVMLexicalMeaningService::sharedInstance().showLexicalMeaningAndWordEntriesForText("dog", c.code);
        const auto *entry = source->last("entry");
        ASSERT_NE(entry, nullptr);
        EXPECT_EQ(entry->from, QString::fromLatin1(c.from));
        EXPECT_EQ(entry->to, QString::fromLatin1(c.to));
        EXPECT_EQ(source->last("list")->from, QString::fromLatin1(c.code));
    }
}

TEST_F(DictionaryPaneTest, PairChangeWhileVisibleKeepsTheEntryAndAsksNothing) {
    search("dog");
    source->last("entry")->entry(dogEntry(), {}, {});
    const QString shown = entryText();
    ASSERT_TRUE(shown.contains("a domestic animal"));
    const int asked = int(source->requests.size());
    setPair("fr_FR", "de_DE");
    qvtest::spin(20);
    EXPECT_EQ(source->requests.size(), asked);
    EXPECT_EQ(entryText(), shown);
    EXPECT_EQ(pane->languageCode(), QStringLiteral("en_GB"));
    EXPECT_FALSE(pane->flagOriginalWordImage()->pixmap().isNull());
}

TEST_F(DictionaryPaneTest, OlderSearchesRepliesAreDropped) {
    search("cat");
    const FakeDictionarySource::Request cat = *source->last("entry");
    const FakeDictionarySource::Request catList = *source->last("list");
    search("dog");
    source->last("entry")->entry(dogEntry(), {}, {});
    source->last("list")->words({"dog"});
    cat.entry(dogEntry("a small feline"), {}, {});
    catList.words({"cat", "catalogue"});
    EXPECT_TRUE(entryText().contains("a domestic animal"));
    EXPECT_FALSE(entryText().contains("feline"));
    EXPECT_EQ(pane->dataWords(), QStringList{"dog"});
}

TEST_F(DictionaryPaneTest, EmptyOrFailedEntryFallsBackToPlainTranslationsOrSaysSo) {
    const struct Case {
        const char *name;
        bool entryFails;
        platform::Error error;
        QVariant translations; // invalid: the request fails
        QString entry, message;
    } cases[] = {
        {"translations after an empty entry",
         false,
         {},
         QVariantList{"Hund", 3, " Köter "},
         "Hund\nKöter",
         ""},
        {"other shapes show nothing more", false, {}, QVariantMap{{"Hund", 1}}, "", "No entry found"},
        {"network error", true,
         platform::Error("NSURLErrorDomain", -1009, "The Internet connection appears to be offline."),
         QVariant(), "", "The Internet connection appears to be offline."},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        search("dog");
        if (c.entryFails)
            source->last("entry")->failure(c.error);
        else
            source->last("entry")->entry(QVLexicalMeaning(), {}, {});
        const auto *fallback = source->last("translations");
        ASSERT_NE(fallback, nullptr);
        EXPECT_EQ(fallback->from, QStringLiteral("en_GB"));
        if (c.translations.isValid())
            fallback->result(c.translations);
        else
            fallback->failure({});
        EXPECT_EQ(entryText(), c.entry);
        EXPECT_EQ(message(), c.message);
    }
}

TEST_F(DictionaryPaneTest, LinksSearchTheirTrimmedWordAndSpeakersSpeakTheirOwnLanguage) {
    showDogWithAnExample();
    emit pane->synonymsTextView()->anchorClicked(QUrl("speak:1"));
    speech->finish(); // a click while speech runs stops it instead
    emit pane->synonymsTextView()->anchorClicked(QUrl("speak:0"));
    EXPECT_EQ(speech->spoken, (QStringList{"de_DE:Der Hund rennt.", "en_GB:The dog runs."}));
    emit pane->synonymsTextView()->anchorClicked(QVMLexicalMeaningRenderer::linkForWord(" hound "));
    EXPECT_EQ(source->last("entry")->word, QStringLiteral("hound"));
    EXPECT_EQ(pane->searchField()->text(), QStringLiteral("hound"));
}

TEST_F(DictionaryPaneTest, TypingAsksNothingAndReturnIsCountedAsUse) {
    typeText(pane->searchField(), "dog");
    EXPECT_TRUE(source->requests.isEmpty());
    key(pane->searchField(), Qt::Key_Return, "\r");
    EXPECT_EQ(source->requests.size(), 2);
    EXPECT_EQ(analytics->withAction("Dictionary panel - Use Dictionary").size(), 1);
}

TEST_F(DictionaryPaneTest, ControlsCanBeReachedAndNamed) {
    installDictionaryPane(QVMInterfaceFactory::shared());
    EXPECT_TRUE(QVMInterfaceFactory::shared().hasController("Main", "QVMDicrionaryController"));
    QWidget *order[] = {pane->searchField(), pane->worldsTableView(), pane->synonymsTextView()};
    for (QWidget *widget : order) {
        SCOPED_TRACE(widget->objectName().toStdString());
        EXPECT_FALSE(widget->accessibleName().isEmpty());
        EXPECT_FALSE(widget->toolTip().isEmpty());
        EXPECT_NE(widget->focusPolicy() & Qt::TabFocus, 0);
    }
    EXPECT_EQ(pane->searchField()->nextInFocusChain(), pane->worldsTableView());
}

// As the program starts: its own dictionary source, no network, a fresh home in
// which a dictionary package may or may not have been downloaded.
TEST_F(DictionaryPaneTest, OfflineLookUpUsesThePackageElseTheSystemWordNetAndExplainsOtherLanguages) {
    if (!QFile::exists(qvtest::systemWordNetFolder() + "/index.noun"))
        GTEST_SKIP() << "wordnet-base is not installed";
    const QString englishOnly = QVLocalizedString("_loc_dictionary_offline_english_only");
    const struct Case {
        const char *name;
        bool package;
        const char *from, *to, *word;
        QString entry; // a piece of the entry; empty: no entry
        QString firstWord;
        QString message;
    } cases[] = {
        {"package downloaded", true, "en_GB", "de_DE", "dog", "domestic dog", "dog", ""},
        {"only the system's WordNet", false, "en_GB", "de_DE", "dog", "domestic dog", "dog", ""},
        {"German to English, an English word", false, "de_DE", "en_GB", "dog", "domestic dog", "", ""},
        {"German to English, a German word", false, "de_DE", "en_GB", "Hund", "", "", englishOnly},
    };
    platform::NetworkStatus::shared().setOverride(platform::NetworkStatus::NotReachable);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir home;
        platform::AppPaths::setRoot(home.path());
        if (c.package) {
            ASSERT_TRUE(qvtest::installWordNet(QVPackageFolders::dictionaryFolder()));
        }
        setPair(c.from, c.to);
        QVMDicrionaryController launched; // the application's own source
        launched.view()->resize(360, 600);
        launched.view()->show();
        launched.searchField()->setText(c.word);
        key(launched.searchField(), Qt::Key_Return, "\r");
        const auto shown = [&] { return launched.synonymsTextView()->toPlainText(); };
        const auto message = [&] {
            return launched.messageLabel()->isHidden() ? QString() : launched.messageLabel()->text();
        };
        ASSERT_TRUE(
            qvtest::waitUntil([&] { return shown().contains("NOUN") || !message().isEmpty(); }, 10000));
        qvtest::spin(50);
        EXPECT_EQ(message(), c.message);
        if (c.entry.isEmpty())
            EXPECT_TRUE(shown().isEmpty()) << shown().toStdString();
        else
            EXPECT_TRUE(shown().contains(c.entry)) << shown().toStdString();
        QListWidget *list = launched.worldsTableView();
        EXPECT_EQ(list->count() > 0 ? list->item(0)->text() : QString(), c.firstWord);
        delete launched.view();
        platform::AppPaths::setRoot({});
    }
}

TEST_F(DictionaryPaneTest, TabAndEntryReadInBothAppearancesAndEveryControlIsNamed) {
    search("dog");
    source->last("entry")->entry(
        QVLexicalMeaning::initWithDictionary(
            {{"word", "dog"},
             {"transcription", "dɒɡ"},
             {"partsOfSpeech",
              QVariantMap{{"noun", QVariantList{QVariantMap{{"meaning", "an animal \"the dog barked\""},
                                                            {"syn", "dog, hound"}}}}}}},
            "dog"),
        {}, {});
    source->last("list")->words({"dog", "doggy"});
    QVMAppearance::install(); // as the main window does at start
    uitest::expectEveryControlNamed(pane->view());
    uitest::expectReadableInBothPalettes(pane->view());
    QVMStyleService &style = QVMStyleService::shared();
    for (const auto scheme : {QVMStyleService::ColorScheme::Light, QVMStyleService::ColorScheme::Dark}) {
        SCOPED_TRACE(scheme == QVMStyleService::ColorScheme::Dark ? "dark" : "light");
        style.setDesktopColorScheme(scheme);
        qvtest::spin(20);
        const QColor base = pane->synonymsTextView()->palette().color(QPalette::Base);
        int checked = 0;
        for (QTextBlock block = pane->synonymsTextView()->document()->begin(); block.isValid();
             block = block.next()) {
            for (auto it = block.begin(); !it.atEnd(); ++it) {
                const QTextFragment fragment = it.fragment();
                if (fragment.text().trimmed().isEmpty() ||
                    fragment.text() == QString(QChar::ObjectReplacementCharacter))
                    continue;
                ++checked;
                const QColor ink = fragment.charFormat().foreground().color();
                EXPECT_GE(uitest::contrastRatio(ink, base), 4.5)
                    << fragment.text().toStdString() << " " << ink.name().toStdString() << " on "
                    << base.name().toStdString();
            }
        }
        EXPECT_GT(checked, 4);
    }
    style.setDesktopColorScheme(QVMStyleService::ColorScheme::NoPreference);
}

// A language without a flag shows a disc drawn in the palette's colours: a live switch of the
// scheme redraws it, or a dark disc with a white rim would stay on a light pane.
TEST_F(DictionaryPaneTest, FlagPlaceholderFollowsALiveSchemeSwitch) {
    using Scheme = QVMStyleService::ColorScheme;
    const struct {
        const char *name;
        Scheme from, to;
    } cases[] = {{"light to dark", Scheme::Light, Scheme::Dark},
                 {"dark to light", Scheme::Dark, Scheme::Light}};
    QVMAppearance::install(); // as the main window does at start
    QVMStyleService &style = QVMStyleService::shared();
    const auto drawnIn = [](QLabel *flag) {
        const QImage image = flag->pixmap().toImage();
        const QPalette palette = flag->palette();
        return !image.isNull() &&
               image.pixelColor(image.width() / 2, image.height() / 2) == palette.color(QPalette::Mid) &&
               image.pixelColor(image.width() / 2, 2) == palette.color(QPalette::Text);
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        style.setDesktopColorScheme(c.from);
        qvtest::spin(20);
        pane->view()->hide(); // shown again, the pane draws its flags anew
        pane->view()->show();
        ASSERT_TRUE(qvtest::waitUntil([&] {
            return drawnIn(pane->flagOriginalWordImage()) && drawnIn(pane->flagSuggestionsImage());
        })) << "no placeholder drawn before the switch";
        const QColor before = pane->flagOriginalWordImage()->palette().color(QPalette::Mid);
        style.setDesktopColorScheme(c.to);
        qvtest::spin(20);
        ASSERT_NE(pane->flagOriginalWordImage()->palette().color(QPalette::Mid), before)
            << "the switch changed no colour";
        EXPECT_TRUE(drawnIn(pane->flagOriginalWordImage()));
        EXPECT_TRUE(drawnIn(pane->flagSuggestionsImage()));
    }
    style.setDesktopColorScheme(Scheme::NoPreference);
}

// An example's speaker that cannot speak says why in the message line, as Listen does; a click
// while something speaks stops it, and that is no failure.
TEST_F(DictionaryPaneTest, AnExampleSpeakerThatCannotSpeakSaysWhy) {
    const QString noVoice =
        QVLocalizedString(QString::fromLatin1(QVMDicrionaryController::kNoVoiceOutputKey));
    ASSERT_FALSE(noVoice.isEmpty());
    const struct {
        const char *name;
        bool output;
        std::function<void()> after;
        bool says;
        int spoken;
    } cases[] = {
        {"no voice output", false, [] {}, true, 0},
        {"the speech ends early", true, [this] { speech->finish(false); }, true, 1},
        {"stopped by a second click", true,
         [this] { emit pane->synonymsTextView()->anchorClicked(QUrl("speak:0")); }, false, 1},
        {"spoken to its end", true, [this] { speech->finish(true); }, false, 1},
    };
    showDogWithAnExample();
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        speech->output = c.output;
        speech->spoken.clear();
        emit pane->synonymsTextView()->anchorClicked(QUrl("speak:0"));
        c.after();
        EXPECT_EQ(message(), c.says ? noVoice : QString());
        EXPECT_EQ(speech->spoken.size(), c.spoken);
        EXPECT_FALSE(speech->isSpeaking);
        search("dog"); // a new search clears the line
    }
}

// The related words each say what a click does; the list's own tooltip names the list.
TEST_F(DictionaryPaneTest, EachRelatedWordSaysWhatAClickDoes) {
    search("dog");
    source->last("list")->words({"dog", "<b>doggy</b>", "hound"});
    QListWidget *list = pane->worldsTableView();
    ASSERT_EQ(list->count(), 3);
    const char *words[] = {"dog", "<b>doggy</b>", "hound"};
    for (int row = 0; row < 3; ++row) {
        SCOPED_TRACE(words[row]);
        QTextDocument shown;
        shown.setHtml(uitest::toolTipOverRow(list, list->model()->index(row, 0)));
        EXPECT_EQ(
            shown.toPlainText(),
            QStringLiteral("Look up \u201c%1\u201d (click or Return)").arg(QString::fromLatin1(words[row])));
    }
}
