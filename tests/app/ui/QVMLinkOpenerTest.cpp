// The one door to the desktop's browser and mail program: what goes through, what is said
// instead, and how much of a long text an alert shows.
#include "UiTestSupport.h"

#include "core/localization/QVLocalizedString.h"
#include "ui/foundation/QVMLinkOpener.h"

#include <QClipboard>
#include <QGuiApplication>
#include <gtest/gtest.h>

using namespace uitest;

namespace {

QString loc(const char *key) {
    return QVLocalizedString(QString::fromLatin1(key));
}

class LinkOpenerTest : public ::testing::Test {
protected:
    void SetUp() override {
        QVMLinkOpener::setOpener([this](const QUrl &url) {
            asked << url;
            return opens;
        });
        QGuiApplication::clipboard()->clear();
    }
    void TearDown() override { QVMLinkOpener::setOpener({}); }

    QList<QUrl> asked;
    bool opens = true;
    ScopedAlerts alerts;
};

} // namespace

TEST_F(LinkOpenerTest, OnlyWebAndMailAddressesReachTheDesktopAndAnyOtherIsSaid) {
    const struct Case {
        const char *address;
        QVMLinkOpener::Outcome outcome;
    } cases[] = {
        {"file:///etc/passwd", QVMLinkOpener::Outcome::Refused},
        {"javascript:alert(1)", QVMLinkOpener::Outcome::Refused},
        {"x-terminal-emulator://run?cmd=rm", QVMLinkOpener::Outcome::Refused},
        {"smb://server/share", QVMLinkOpener::Outcome::Refused},
        {"ftp://example.org/file", QVMLinkOpener::Outcome::Refused},
        {"data:text/html,<b>x</b>", QVMLinkOpener::Outcome::Refused},
        {"https:no-host", QVMLinkOpener::Outcome::Refused},
        {"https://example.org/privacy", QVMLinkOpener::Outcome::Opened},
        {"HTTP://Example.org/", QVMLinkOpener::Outcome::Opened},
        {"mailto:help@example.org", QVMLinkOpener::Outcome::Opened},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.address);
        const QUrl url = QUrl::fromEncoded(QByteArray(c.address));
        asked.clear();
        alerts->shown.clear();
        // Quietly: the same check, and nothing shown.
        EXPECT_EQ(QVMLinkOpener::openQuietly(url), c.outcome);
        EXPECT_TRUE(alerts->shown.isEmpty());
        const bool refused = c.outcome == QVMLinkOpener::Outcome::Refused;
        EXPECT_EQ(asked.size(), refused ? 0 : 1);
        // From a click: a refusal is said, with the address, and nothing is offered to open it.
        asked.clear();
        EXPECT_EQ(QVMLinkOpener::open(url), !refused);
        EXPECT_EQ(asked.size(), refused ? 0 : 1);
        ASSERT_EQ(alerts->shown.size(), refused ? 1 : 0);
        if (refused) {
            EXPECT_EQ(alerts->shown.first().title, loc("_loc_link_refused_title"));
            EXPECT_TRUE(alerts->shown.first().message.startsWith(loc("_loc_link_refused")));
            EXPECT_TRUE(alerts->shown.first().message.endsWith(url.toString()));
            EXPECT_EQ(alerts->shown.first().buttons, QStringList{loc("_loc_close")});
        }
    }
}

TEST_F(LinkOpenerTest, NothingTakingAnAddressIsSaidOnlyWhenAClickAskedForIt) {
    opens = false;
    const QUrl page(QStringLiteral("https://example.org/news"));
    EXPECT_EQ(QVMLinkOpener::openQuietly(page), QVMLinkOpener::Outcome::NotOpened);
    EXPECT_TRUE(alerts->shown.isEmpty());
    EXPECT_FALSE(QVMLinkOpener::open(page));
    ASSERT_EQ(alerts->shown.size(), 1);
    EXPECT_EQ(alerts->shown.first().title, loc("_loc_link_not_opened_title"));
}

TEST_F(LinkOpenerTest, AnAlertShowsAShortPreviewOfALongTextAndCopyCopiesAllOfIt) {
    opens = false;
    const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80"); // two UTF-16 units
    const QString lines = QStringLiteral("one\ntwo\nthree\nfour\nfive\nsix");
    const struct Case {
        const char *name;
        QString text;
        QString shownStart;  // the preview begins with it
        qsizetype shownMost; // characters of the text the preview holds at most
        bool whole;          // shown as it is
    } cases[] = {
        {"a million characters", QString(1000000, QLatin1Char('x')), QString(200, QLatin1Char('x')), 200,
         false},
        {"one unbroken line over the limit", QString(201, QLatin1Char('y')), QString(200, QLatin1Char('y')),
         200, false},
        {"more lines than shown", lines, QStringLiteral("one\ntwo\nthree\nfour"), 18, false},
        {"a character across the cut", QString(199, QLatin1Char('z')) + emoji + QStringLiteral("tail"),
         QString(199, QLatin1Char('z')), 199, false},
        {"a short text", QStringLiteral("Hallo Welt"), QStringLiteral("Hallo Welt"), 10, true},
        {"exactly the limit", QString(200, QLatin1Char('w')), QString(200, QLatin1Char('w')), 200, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        alerts->shown.clear();
        alerts->answers = {QVMAlertPresenter::kFirstButtonReturn}; // Copy
        EXPECT_FALSE(QVMLinkOpener::open(QUrl(QStringLiteral("mailto:?body=x")), c.text));
        ASSERT_EQ(alerts->shown.size(), 1);
        const QString intro = loc("_loc_link_no_mail") + QStringLiteral("\n\n");
        const QString message = alerts->shown.first().message;
        ASSERT_TRUE(message.startsWith(intro));
        const QString shown = message.mid(intro.size());
        EXPECT_TRUE(shown.startsWith(c.shownStart));
        if (c.whole) {
            EXPECT_EQ(shown, c.text);
        } else {
            const qsizetype textPart = shown.indexOf(QChar(0x2026));
            ASSERT_GE(textPart, 0);
            EXPECT_LE(textPart, c.shownMost);
            EXPECT_FALSE(shown.left(textPart).endsWith(emoji.at(0))) << "half a character";
            const QString more = QLocale().toString(qlonglong(c.text.size() - textPart));
            EXPECT_TRUE(shown.contains(more)) << shown.toStdString();
        }
        EXPECT_LE(message.count(QLatin1Char('\n')), intro.count(QLatin1Char('\n')) + 5);
        EXPECT_EQ(QGuiApplication::clipboard()->text(), c.text);
    }
}

TEST_F(LinkOpenerTest, AWebAddressIsReadFromTextOnlyWhenItIsOne) {
    const struct Case {
        const char *text;
        const char *address; // empty: none
    } cases[] = {
        {"", ""},
        {"example.org", ""},
        {"file:///etc/passwd", ""},
        {"mailto:help@example.org", ""},
        {"https://", ""},
        {"  https://example.org/a  ", "https://example.org/a"},
        {"http://example.org", "http://example.org"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(QVMLinkOpener::webAddress(QString::fromUtf8(c.text)).toString(),
                  QString::fromUtf8(c.address));
    }
}
