// The main window never ends a click in silence: disabled controls say why,
// failures are said, and what the user is offered reads in both schemes.
#include "GeneralViewTestSupport.h"
#include "WindowChecks.h"

#include "core/localization/QVLocalizedString.h"
#include "core/settings/QVAuthService.h"
#include "services/QVAuthRequestManager.h"
#include "services/graphics/QVMImage.h"
#include "ui/controls/PaddingTextView.h"
#include "ui/controls/QVMSegmentedControl.h"
#include "ui/foundation/QVMControlAvailability.h"
#include "ui/foundation/QVMLinkOpener.h"
#include "ui/style/QVMColor.h"
#include "ui/window/QVMFirstFrame.h"

#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QMainWindow>
#include <QMimeData>
#include <QStatusBar>
#include <QToolButton>

using namespace uitest;

namespace {

class GeneralViewFeedbackTest : public GeneralViewTest {
protected:
    void TearDown() override {
        QVMLinkOpener::setOpener({});
        QVAuthService::clearAuthToken();
        GeneralViewTest::TearDown();
    }
    QString note() const {
        auto *main = qobject_cast<QMainWindow *>(general->view()->window());
        return main ? main->statusBar()->currentMessage() : QString();
    }
    static QString loc(const char *key) { return QVLocalizedString(QString::fromLatin1(key)); }
};

} // namespace

TEST_F(GeneralViewFeedbackTest, EveryDisabledControlSaysWhy) {
    // Every window is installed: what keeps a control off is the state, not a missing part.
    QVMInterfaceHooks &hooks = QVMInterfaceHooks::shared();
    hooks.onFavorite = hooks.onOpenFile = hooks.onOpenTranslateWebPages = [](QVMGeneralViewController *) {};
    hooks.onShare = [](QVMGeneralViewController *, QAbstractButton *) {};
    openWindow();
    const auto because = [](QWidget *control, const char *reasonKey) {
        return QVMControlAvailability::disabledToolTip(control->accessibleName(), loc(reasonKey));
    };
    struct Case {
        const char *state;
        std::function<void()> arrange;
        std::function<QWidget *()> control;
        const char *reason;
    } cases[] = {
        {"empty panels", [this] { general->setTextAndTranslation({}, {}); },
         [this] { return general->fromSpeakerButton(); }, "_loc_reason_no_text_to_speak"},
        {"empty panels", [] {}, [this] { return general->toSpeakerButton(); },
         "_loc_reason_no_text_to_speak"},
        {"empty panels", [] {}, [this] { return general->favoriteButton(); }, "_loc_reason_no_translation"},
        {"empty panels", [] {}, [this] { return general->toPasteboardButton(); },
         "_loc_reason_no_translation"},
        {"empty panels", [] {}, [this] { return general->shareButton(); }, "_loc_reason_no_translation"},
        {"empty panels", [] {}, [this] { return general->clearButton(); }, "_loc_reason_panels_empty"},
        {"empty panels", [] {}, [this] { return general->partOfSpeechFromButton(); }, "_loc_reason_no_text"},
        // Arabic has no voice and no parts of speech here.
        {"a language without voice",
         [this] {
             setPair(QStringLiteral("ar_AE"), QStringLiteral("de_DE"));
             general->setTextAndTranslation(QStringLiteral("marhaban"), QStringLiteral("Hallo"));
             general->checkSpeakerButtonsState();
             general->updatePartsOfSpeechButtonsState();
         },
         [this] { return general->fromSpeakerButton(); }, "_loc_reason_no_voice"},
        {"a language without voice", [] {}, [this] { return general->partOfSpeechFromButton(); },
         "_loc_reason_no_parts_of_speech"},
        {"the pair reads no documents", [] {}, [this] { return general->fileButton(); },
         "_loc_reason_no_documents"},
        {"the pair reads no web pages", [] {}, [this] { return general->webPageButton(); },
         "_loc_reason_no_web_pages"},
        {"signed out", [] { QVAuthService::clearAuthToken(); },
         [this] { return static_cast<QWidget *>(window->syncBookmarksButton()); }, "_loc_reason_signed_out"},
        {"no more-apps address", [] {}, [this] { return static_cast<QWidget *>(window->moreAppsButton()); },
         "_loc_reason_more_apps_no_address"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.state) + " / " + c.reason);
        c.arrange();
        qvtest::spin(2);
        QWidget *control = c.control();
        EXPECT_FALSE(control->isEnabled());
        EXPECT_EQ(control->toolTip().toStdString(), because(control, c.reason).toStdString());
    }
    // Enabled again, a control has its own tooltip back.
    general->setTextAndTranslation(QStringLiteral("Hello"), QStringLiteral("Hallo"));
    EXPECT_TRUE(general->toPasteboardButton()->isEnabled());
    EXPECT_EQ(general->toPasteboardButton()->toolTip(), general->toPasteboardButton()->accessibleName());
}

TEST_F(GeneralViewFeedbackTest, PasteButtonFollowsWhatTheClipboardHoldsFromTheStart) {
    const struct {
        const char *what;
        std::function<QMimeData *()> content;
        bool enabled;
    } cases[] = {
        {"nothing", [] { return new QMimeData; }, false},
        {"a picture only",
         [] {
             auto *data = new QMimeData;
             data->setImageData(QImage(4, 4, QImage::Format_RGB32));
             return data;
         },
         false},
        {"text",
         [] {
             auto *data = new QMimeData;
             data->setText(QStringLiteral("Hello"));
             return data;
         },
         true},
        {"rich text",
         [] {
             auto *data = new QMimeData;
             data->setHtml(QStringLiteral("<b>Hello</b>"));
             return data;
         },
         true},
    };
    for (const auto &c : cases)
        for (bool launching : {false, true}) {
            SCOPED_TRACE(c.what);
            SCOPED_TRACE(launching ? "at launch, once the first frame is drawn" : "a window made later");
            QGuiApplication::clipboard()->setMimeData(c.content());
            qvtest::spin(2);
            // A window made after the clipboard changed: nothing tells it but its own look at load.
            if (launching)
                QVMFirstFrame::expect();
            openWindow();
            if (launching)
                QVMFirstFrame::drawn();
            EXPECT_EQ(general->pasteButton()->isEnabled(), c.enabled);
            if (!c.enabled) {
                EXPECT_EQ(general->pasteButton()->toolTip(),
                          QVMControlAvailability::disabledToolTip(general->pasteButton()->accessibleName(),
                                                                  loc("_loc_reason_clipboard_empty")));
            }
            delete window;
            window = nullptr;
        }
}

TEST_F(GeneralViewFeedbackTest, ListenIsReleasedAndAFailureIsSaid) {
    const QString failure = loc("_loc_speech_no_output");
    const struct {
        const char *what;
        bool output;
        std::function<void(FakeSpeech &, QToolButton *)> end;
        bool said;
    } cases[] = {
        {"no sound device", false, [](FakeSpeech &, QToolButton *) {}, true},
        {"speech ends early", true, [](FakeSpeech &speech, QToolButton *) { speech.finish(false); }, true},
        {"spoken to its end", true, [](FakeSpeech &speech, QToolButton *) { speech.finish(true); }, false},
        {"stopped by a second click", true, [](FakeSpeech &, QToolButton *button) { button->click(); },
         false},
    };
    openWindow();
    general->setTextAndTranslation(QStringLiteral("Hello"), QStringLiteral("Hallo"));
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        qobject_cast<QMainWindow *>(general->view()->window())->statusBar()->clearMessage();
        speech->output = c.output;
        speech->spoken.clear();
        QToolButton *button = general->toSpeakerButton();
        ASSERT_TRUE(button->isEnabled());
        button->click();
        EXPECT_EQ(speech->spoken.isEmpty(), !c.output);
        c.end(*speech, button);
        EXPECT_FALSE(button->isChecked());
        EXPECT_EQ(note() == failure, c.said) << note().toStdString();
    }
}

TEST_F(GeneralViewFeedbackTest, OneLanguageOnBothSidesIsNeitherTranslatedNorStored) {
    openWindow();
    const struct {
        const char *from, *to, *detected;
        int calls;
        bool stored;
    } cases[] = {
        {"de_DE", "de_DE", "de", 0, false},
        {"auto-detection", "de_DE", "de", 1, false}, // detected as the target language
        {"auto-detection", "de_DE", "en", 1, true},
        {"en_GB", "de_DE", "en", 1, true},
    };
    int index = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.from) + " > " + c.to + " detected " + c.detected);
        setPair(QString::fromLatin1(c.from), QString::fromLatin1(c.to));
        const qsizetype calls = online->calls.size(), records = history().size();
        advance(5000);
        type(QStringLiteral("Guten Morgen ") + QString::number(index++));
        general->translateOperation();
        ASSERT_EQ(online->calls.size() - calls, c.calls);
        if (c.calls)
            answer(int(online->calls.size()) - 1, QStringLiteral("Good morning"), nowId(),
                   QString::fromLatin1(c.detected));
        EXPECT_EQ(history().size() - records, c.stored ? 1 : 0);
        if (!c.stored) {
            EXPECT_TRUE(note().contains(QStringLiteral("German"))) << note().toStdString();
        }
    }
}

TEST_F(GeneralViewFeedbackTest, AnAddressNothingOpensIsOfferedToCopy) {
    QList<QUrl> asked;
    bool opens = false;
    QVMLinkOpener::setOpener([&](const QUrl &url) {
        asked << url;
        return opens;
    });
    const struct {
        const char *url;
        const char *toCopy;
        bool opens;
        const char *messageKey; // null: nothing said
        const char *copied;
    } cases[] = {
        {"https://example.org/privacy", "", false, "_loc_link_no_browser", "https://example.org/privacy"},
        {"mailto:?body=https%3A%2F%2Fexample.org%2F", "", false, "_loc_link_no_mail", "https://example.org/"},
        {"mailto:help@example.org", "", false, "_loc_link_no_mail", "help@example.org"},
        {"mailto:?body=Hallo", "Hallo Welt", false, "_loc_link_no_mail", "Hallo Welt"},
        {"https://example.org/terms", "", true, nullptr, ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.url);
        alerts->shown.clear();
        alerts->answers = {QVMAlertPresenter::kFirstButtonReturn}; // Copy
        QGuiApplication::clipboard()->clear();
        opens = c.opens;
        const QUrl url = QUrl::fromEncoded(QByteArray(c.url));
        EXPECT_EQ(QVMLinkOpener::open(url, QString::fromUtf8(c.toCopy)), c.opens);
        EXPECT_EQ(asked.last(), url);
        if (!c.messageKey) {
            EXPECT_TRUE(alerts->shown.isEmpty());
            continue;
        }
        ASSERT_EQ(alerts->shown.size(), 1);
        EXPECT_TRUE(alerts->shown.first().message.startsWith(loc(c.messageKey)));
        EXPECT_TRUE(alerts->shown.first().message.endsWith(QString::fromUtf8(c.copied)));
        EXPECT_EQ(QGuiApplication::clipboard()->text(), QString::fromUtf8(c.copied));
    }
}

TEST_F(GeneralViewFeedbackTest, SynchronisingBookmarksNeedsAnAccount) {
    openWindow();
    const struct {
        bool signedIn;
        bool enabled;
    } cases[] = {{false, false}, {true, true}, {false, false}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.signedIn);
        if (c.signedIn)
            QVAuthService::setAuthToken(QStringLiteral("token"));
        else
            QVAuthService::clearAuthToken();
        platform::NotificationCenter::defaultCenter().post(
            QString::fromLatin1(QVAuthRequestManager::kUserDidChangedNotification));
        QToolButton *button = window->syncBookmarksButton();
        EXPECT_EQ(button->isEnabled(), c.enabled);
        EXPECT_EQ(button->toolTip() == loc("_loc_toolbar_sync_bookmarks"), c.enabled);
    }
}

TEST_F(GeneralViewFeedbackTest, PartsOfSpeechPictureIsDrawnInTheTextColourOfEachScheme) {
    ASSERT_FALSE(
        QVMImage::imageNamed(QString::fromLatin1(QVMGeneralViewController::kPartOfSpeechImage)).isNull());
    openWindow();
    general->setTextAndTranslation(QStringLiteral("The dog runs"), QStringLiteral("Der Hund rennt"));
    for (const auto scheme : {QVMStyleService::ColorScheme::Dark, QVMStyleService::ColorScheme::Light}) {
        SCOPED_TRACE(int(scheme));
        QVMStyleService::shared().setDesktopColorScheme(scheme);
        qvtest::spin(10);
        QComboBox *popUp = general->partOfSpeechFromButton();
        ASSERT_TRUE(popUp->isEnabled());
        const QImage shot = popUp->grab().toImage();
        // The pop-up shows the picture, not its selected title as a plain pop-up would.
        QComboBox plain;
        plain.addItems({popUp->currentText()});
        plain.resize(popUp->size());
        plain.setPalette(popUp->palette());
        plain.setFont(popUp->font());
        plain.setEnabled(popUp->isEnabled());
        EXPECT_NE(plain.grab().toImage(), shot);
        const QColor ink = popUp->palette().color(QPalette::ButtonText);
        int inked = 0;
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x)
                if (QVMColor::contrastRatio(shot.pixelColor(x, y), ink) < 1.2)
                    ++inked;
        EXPECT_GT(inked, 20);
    }
    QVMStyleService::shared().setDesktopColorScheme(QVMStyleService::ColorScheme::NoPreference);
}

TEST_F(GeneralViewFeedbackTest, MarksColouredWordsAndTogglesReadInBothSchemesAndAfterALiveSwitch) {
    openWindow();
    addLanguage("en_US", "English (US)", "en", {});
    setPair(QStringLiteral("en_GB"), QStringLiteral("en_US"));
    defaults().setBool(true, QString::fromLatin1(QVMGeneralViewController::kHighlightTranslatedSentences));
    advance(5000);
    type(QStringLiteral("The dog runs. It reads a book."));
    general->translateOperation();
    answer(0, QStringLiteral("A dog runs. It reads a book."), nowId());
    ASSERT_TRUE(rendered());
    general->partOfSpeechToButton()->setCurrentIndex(3);
    general->onPartOfSpeechTo();
    ASSERT_TRUE(rendered());
    general->highlightTextViewsWithTag(1);
    // A mark made in light, then the scheme switched live, and the other way round.
    for (const auto first : {QVMStyleService::ColorScheme::Light, QVMStyleService::ColorScheme::Dark}) {
        SCOPED_TRACE(int(first));
        QVMStyleService::shared().setDesktopColorScheme(first);
        qvtest::spin(10);
        general->highlightTextViewsWithTag(1);
        ASSERT_FALSE(general->toTranslateTextView()->extraSelections().isEmpty());
        expectReadableInBothPalettes(window->window());
    }
}
