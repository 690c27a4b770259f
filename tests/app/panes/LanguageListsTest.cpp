#include "PanesTestSupport.h"

#include "panes/languages/FVCompositeArray.h"
#include "panes/languages/QVLanguagesDataSourceService.h"
#include "panes/languages/QVMLanguageTouchBarController.h"
#include "panes/languages/QVMLanguagesListModel.h"
#include "panes/languages/QVMLanguagesTableViewCell.h"
#include "panes/languages/QVMLanguagesViewController.h"

#include "services/languages/QVLanguageService.h"
#include "ui/style/QVMColor.h"

#include <QLineEdit>
#include <QToolButton>

using namespace panestest;

namespace {

QVLanguageRealm made(const char *locale) {
    return QVLanguageRealm::languageWithLocaleIdentifier(QString::fromLatin1(locale), {}, {}, {}, {}, {}, {});
}

// Each flat row as text: "#title" for a shown header, "-" for a hidden one, else the locale.
QStringList rows(const FVCompositeArray &list) {
    QStringList out;
    for (int i = 0; i < list.countOfItems(); ++i) {
        if (list.isHeaderAtIndex(i))
            out << (list.headerAtIndex(i).isShow() ? QStringLiteral("#") + list.headerAtIndex(i).headerTitle()
                                                   : QStringLiteral("-"));
        else
            out << list.languageAtIndex(i).localeIdentifier();
    }
    return out;
}

class RecordingLanguageDelegate : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE void languageDidUpdate(QObject *controller) { updated << controller; }
    Q_INVOKABLE void languageControllerWillDismiss(QObject *controller) { dismissed << controller; }
    QList<QObject *> updated, dismissed;
};

class RecordingTouchBarDelegate : public QVMLanguageTouchBarControllerDelegate {
public:
    void didSelectItem(const QVLanguageRealm &language, QVMLanguageTouchBarController *) override {
        chosen << language.localeIdentifier();
    }
    QStringList chosen;
};

} // namespace

TEST(FVCompositeArray, FlatIndexesMapToHeadersAndItems) {
    // Lists of 2, 0 and 1 items: H0 a b H1 H2 c.
    const FVCompositeArray list({{made("a"), made("b")}, {}, {made("c")}},
                                {OTHeader(QStringLiteral("first")), OTHeader(QStringLiteral("empty")),
                                 OTHeader(QStringLiteral("last"))});
    ASSERT_EQ(list.countOfItems(), 6);
    const struct {
        int index;
        bool header;
        int section;
        int position; // header number, or index inside the list
    } cases[] = {
        {-1, false, -1, -1}, {6, false, -1, -1}, // outside
        {0, true, 0, 0},     {1, false, 0, 0},   {2, false, 0, 1},
        {3, true, 1, 1},     {4, true, 2, 2}, // an empty list still has its header row
        {5, false, 2, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.index);
        int position = -7;
        const FVCompositeArray::Items *items = list.arrayAtIndex(c.index, &position);
        EXPECT_EQ(list.isHeaderAtIndex(c.index), c.header);
        EXPECT_EQ(list.sectionAtIndex(c.index), c.section);
        EXPECT_EQ(position, c.position);
        if (c.header || c.section < 0) {
            EXPECT_EQ(items, nullptr);
            EXPECT_TRUE(list.languageAtIndex(c.index).isNull());
        } else {
            ASSERT_EQ(items, &list.arrays().at(c.section));
            // And back: 1 + sum(count + 1 of the lists before) + j.
            EXPECT_EQ(list.compositeIndexForIndex(c.position, items), c.index);
            EXPECT_EQ(list.compositeIndexForIndex(c.position, c.section), c.index);
        }
    }
    // A list that is not one of ours, by identity even when equal.
    const FVCompositeArray::Items copy = list.arrays().at(0);
    EXPECT_EQ(list.compositeIndexForIndex(0, &copy), -1);
    EXPECT_EQ(list.headerAtIndex(4).headerTitle(), QStringLiteral("last"));
}

TEST(FVCompositeArray, InsertAtAHeaderAppendsToTheListBeforeAndRemoveSkipsHeaders) {
    FVCompositeArray list({{made("a")}, {made("b")}}, {OTHeader(), OTHeader()});
    list.removeObjectFromItemsAtIndex(0); // header 0: nothing
    list.removeObjectFromItemsAtIndex(2); // header 1: nothing
    EXPECT_EQ(rows(list), QStringList({"#", "a", "#", "b"}));
    list.insertObject(made("z"), 2); // header 1: end of list 0
    EXPECT_EQ(rows(list), QStringList({"#", "a", "z", "#", "b"}));
    list.insertObject(made("y"), 4); // an item place: there
    EXPECT_EQ(rows(list), QStringList({"#", "a", "z", "#", "y", "b"}));
    list.insertObject(made("x"), 0); // header 0: no list before it
    list.removeObjectFromItemsAtIndex(1);
    EXPECT_EQ(rows(list), QStringList({"#", "z", "#", "y", "b"}));
}

TEST_F(PanesTest, SectionsFollowTheSideAndTheTranslationMode) {
    ASSERT_FALSE(QVSettingsService::addRecentlyLanguage(language("de_DE")));
    ASSERT_FALSE(QVSettingsService::addRecentlyLanguage(language("auto-detection")));
    const QString all = QStringLiteral("#All languages ");
    const struct {
        const char *name;
        uint side;
        qint64 mode;
        QStringList expected;
    } cases[] = {
        {"unknown side", 3, 1, {}},
        {"unknown side in mode 2 is the target side", 0, 2, {"#Recently used", all + "2", "en_GB", "fr_FR"}},
        {"source",
         1,
         1,
         {"-", "auto-detection", "#Recently used", "de_DE", all + "7", "ar_AE", "en_GB", "es_ES", "fr_FR",
          "ga_IE", "de_DE", "xx_PC"}},
        {"target",
         2,
         1,
         {"#Recently used", "de_DE", all + "7", "ar_AE", "en_GB", "es_ES", "fr_FR", "ga_IE", "de_DE",
          "xx_PC"}},
        {"source while web pages are translated", 1, 2, {"#Recently used", all + "2", "en_GB", "fr_FR"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_FALSE(QVSettingsService::setTranslationMode(c.mode));
        EXPECT_EQ(rows(QVLanguagesDataSourceService().dataSourceWithLanguageDirection(c.side, {})),
                  c.expected);
    }
}

TEST_F(PanesTest, SearchIsLiteralAndIgnoresCaseAndAccents) {
    const struct {
        const char *text;
        uint side;
        QStringList expected;
    } cases[] = {
        {"*", 1, {"#Search results"}},  // no match: the header alone
        {"\\", 2, {"#Search results"}}, // literal, no escape
        {"%", 2, {"#Search results", "xx_PC"}},
        {"(", 2, {"#Search results", "en_GB", "fr_FR", "ga_IE", "xx_PC"}},
        {"ESP", 2, {"#Search results", "es_ES"}},
        {"\u00e9", 2, {"#Search results", "en_GB", "es_ES", "fr_FR", "ga_IE", "de_DE", "xx_PC"}},
        {"\u00e9",
         1,
         {"#Search results", "auto-detection", "en_GB", "es_ES", "fr_FR", "ga_IE", "de_DE", "xx_PC"}},
        {"e", 5, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(rows(QVLanguagesDataSourceService().dataSourceWithLanguageDirection(
                      c.side, QString::fromUtf8(c.text))),
                  c.expected);
    }
}

TEST_F(PanesTest, ChoosingTheCurrentLanguageOnlyReordersTheRecentList) {
    setPair(QStringLiteral("en_GB"), QStringLiteral("de_DE"));
    ASSERT_FALSE(QVSettingsService::addRecentlyLanguage(language("de_DE")));
    ASSERT_FALSE(QVSettingsService::addRecentlyLanguage(language("fr_FR")));
    RecordingLanguageDelegate delegate;
    NotificationCounter posted(QVMLanguagesViewController::kDidSelectLanguageNotification);
    QVMLanguagesViewController picker;
    picker.setDelegateLanguage(&delegate);
    picker.setSideIndex(2);
    picker.itemSelected(language("de_DE"), 2);
    EXPECT_EQ(
        QVLanguageRealm(QVSettingsService::defaultSettings().recentlyLanguages().at(0)).localeIdentifier(),
        QStringLiteral("de_DE"));
    EXPECT_TRUE(delegate.updated.isEmpty());
    EXPECT_EQ(posted.count, 0);

    // Another language is stored, reported and announced.
    picker.itemSelected(language("ar_AE"), 2);
    EXPECT_EQ(QVSettingsService::languageTo(), QStringLiteral("ar_AE"));
    EXPECT_EQ(QVSettingsService::languageFrom(), QStringLiteral("en_GB"));
    EXPECT_EQ(delegate.updated, QList<QObject *>{&picker});
    EXPECT_EQ(posted.count, 1);
}

TEST_F(PanesTest, ArrowKeysSkipHeadersAndChooseNothingReturnChooses) {
    setPair(QStringLiteral("en_GB"), QStringLiteral("de_DE"));
    QVMLanguagesViewController picker;
    picker.setSideIndex(1);
    picker.view()->resize(320, 500);
    picker.view()->show();
    qvtest::spin(5);
    QLineEdit *field = picker.searchField();
    // Up from the top and Down past the end stay on languages.
    press(field, Qt::Key_Up);
    EXPECT_FALSE(picker.dataSource().isHeaderAtIndex(picker.languagesTable()->currentIndex().row()));
    const int rowCount = picker.dataSource().countOfItems();
    for (int i = 0; i < rowCount + 2; ++i) {
        press(field, Qt::Key_Down);
        ASSERT_TRUE(picker.languagesTable()->currentIndex().isValid());
        EXPECT_FALSE(picker.dataSource().isHeaderAtIndex(picker.languagesTable()->currentIndex().row()));
    }
    EXPECT_EQ(picker.languagesTable()->currentIndex().row(), rowCount - 1);
    EXPECT_EQ(QVSettingsService::languageFrom(), QStringLiteral("en_GB"));
    EXPECT_TRUE(analytics->withAction(QStringLiteral("List Language - Choice Language")).isEmpty());

    // Typing narrows the list and puts the first match under the cursor; Return chooses it.
    field->setText(QStringLiteral("ara"));
    emit field->textEdited(field->text());
    field->setText(QStringLiteral("arab"));
    emit field->textEdited(field->text());
    press(field, Qt::Key_Return);
    EXPECT_EQ(QVSettingsService::languageFrom(), QStringLiteral("ar_AE"));
    EXPECT_EQ(analytics->withAction(QStringLiteral("List Language - Use Search")).size(),
              1); // once per showing
    const auto chosen = analytics->withAction(QStringLiteral("List Language - Choice Language"));
    ASSERT_EQ(chosen.size(), 1);
    EXPECT_EQ(chosen.at(0).params,
              QVariantMap({{"language_from", "ar_AE"}, {"use_search", "yes"}, {"search_query", "arab"}}));
}

TEST_F(PanesTest, SettingTheSideRebuildsTheList) {
    QVMLanguagesViewController picker;
    picker.setSideIndex(1);
    picker.view();
    EXPECT_EQ(rows(picker.dataSource()).mid(0, 2), QStringList({"-", "auto-detection"}));
    EXPECT_TRUE(picker.languagesTable()->isRowHidden(0)); // the hidden header takes no room
    picker.setSideIndex(2);
    EXPECT_FALSE(rows(picker.dataSource()).contains(QStringLiteral("auto-detection")));
    EXPECT_FALSE(picker.languagesTable()->isRowHidden(0));
    // The strip follows every rebuild.
    EXPECT_EQ(picker.touchBarViewController()->numberOfItems(), picker.dataSource().countOfItems());
}

TEST_F(PanesTest, TouchBarItemsAndChoiceGoThroughTheDelegate) {
    QVMLanguageTouchBarController bar;
    RecordingTouchBarDelegate delegate;
    bar.setDelegate(&delegate);
    // No list yet: nothing to show or choose.
    EXPECT_EQ(bar.numberOfItems(), 0);
    bar.selectItemAtIndex(0);
    bar.updateDataWithDataSource(QVLanguagesDataSourceService().dataSourceWithLanguageDirection(1, {}));
    const struct {
        int index;
        const char *identifier;
        const char *text;
        const char *chosen; // null: nothing goes to the delegate
    } cases[] = {
        {-1, "", "", nullptr},
        {0, "textItem", "", nullptr}, // the hidden header is an empty text item
        {2, "textItem", "Recently used", nullptr},
        {1, "imageAndTextItem", "Detect language", "auto-detection"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.index);
        const auto item = bar.itemAtIndex(c.index);
        EXPECT_EQ(item.identifier, QString::fromLatin1(c.identifier));
        EXPECT_EQ(item.text, QString::fromUtf8(c.text));
        const qsizetype before = delegate.chosen.size();
        bar.selectItemAtIndex(c.index);
        if (c.chosen) {
            EXPECT_EQ(delegate.chosen.value(before), QString::fromLatin1(c.chosen));
        } else {
            EXPECT_EQ(delegate.chosen.size(), before);
        }
    }
    // The picker stores a strip choice as a click would.
    ASSERT_FALSE(QVSettingsService::addRecentlyLanguage(language("fr_FR")));
    QVMLanguagesViewController picker;
    picker.setSideIndex(2);
    picker.view();
    const int firstRecent = picker.dataSource().compositeIndexForIndex(0, 0);
    picker.touchBarViewController()->selectItemAtIndex(firstRecent);
    EXPECT_EQ(QVSettingsService::languageTo(), QStringLiteral("fr_FR"));
}

TEST_F(PanesTest, CurrentLanguageRowIsMarkedAndFourPercentDarker) {
    EXPECT_EQ(QVMLanguagesTableViewCell::backgroundColor(QColor(255, 255, 255), false),
              QColor(255, 255, 255));
    const QColor darker = QVMLanguagesTableViewCell::backgroundColor(QColor(255, 255, 255), true);
    EXPECT_NEAR(darker.redF(), 0.96, 0.005);
    EXPECT_NEAR(darker.blueF(), 0.96, 0.005);
    setPair(QStringLiteral("en_GB"), QStringLiteral("fr_FR"));
    QVMLanguagesListModel model;
    model.setDataSource(QVLanguagesDataSourceService().dataSourceWithLanguageDirection(2, {}),
                        QStringLiteral("fr_FR"));
    int marked = 0;
    for (int row = 0; row < model.rowCount(); ++row) {
        const QModelIndex index = model.index(row);
        if (index.data(QVMLanguagesListModel::CurrentRole).toBool()) {
            ++marked;
            EXPECT_EQ(index.data(QVMLanguagesListModel::LocaleRole).toString(), QStringLiteral("fr_FR"));
        }
        // Headers can never be selected.
        EXPECT_EQ(bool(model.flags(index) & Qt::ItemIsSelectable),
                  !index.data(QVMLanguagesListModel::HeaderRole).toBool());
    }
    EXPECT_GE(marked, 1); // in every section that lists it
}

TEST_F(PanesTest, ToolbarPopupDisablesItsButtonUntilItCloses) {
    setPair(QStringLiteral("en_GB"), QStringLiteral("de_DE"));
    openWindow();
    window->toLanguageButton()->click();
    qvtest::spin(5);
    auto *picker = window->findChild<QVMLanguagesViewController *>();
    ASSERT_NE(picker, nullptr);
    EXPECT_EQ(picker->sideIndex(), 2u);
    EXPECT_TRUE(picker->isPopup());
    EXPECT_FALSE(window->toLanguageButton()->isEnabled());
    EXPECT_EQ(picker->view()->focusProxy(), picker->searchField());

    // Escape closes without a change and gives the button back.
    QPointer<QVMLanguagesViewController> watched(picker);
    press(picker->searchField(), Qt::Key_Escape);
    qvtest::spin(5);
    EXPECT_TRUE(window->toLanguageButton()->isEnabled());
    EXPECT_EQ(QVSettingsService::languageTo(), QStringLiteral("de_DE"));
    EXPECT_TRUE(watched.isNull());

    // A click on a language chooses it, closes, and the window shows and translates the new pair.
    window->toLanguageButton()->click();
    qvtest::spin(5);
    picker = window->findChild<QVMLanguagesViewController *>();
    ASSERT_NE(picker, nullptr);
    type(QStringLiteral("Hello"));
    const int french = rows(picker->dataSource()).indexOf(QStringLiteral("fr_FR"));
    ASSERT_GT(french, 0);
    EXPECT_TRUE(picker->chooseRow(french));
    qvtest::spin(5);
    EXPECT_EQ(QVSettingsService::languageTo(), QStringLiteral("fr_FR"));
    EXPECT_TRUE(window->toLanguageButton()->isEnabled());
    EXPECT_TRUE(window->toLanguageButton()->text().startsWith(QStringLiteral("French")));
    ASSERT_EQ(online->calls.size(), 1);
    EXPECT_EQ(online->calls.at(0).to, QStringLiteral("fr_FR"));
}

#include "LanguageListsTest.moc"
