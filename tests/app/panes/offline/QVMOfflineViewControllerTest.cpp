#include "OfflinePaneFixture.h"

#include "panes/offline/QVMCustomGridOutlineView.h"
#include "panes/offline/QVMOfflineLanguagesModel.h"
#include "panes/offline/QVMOptionsTableCellView.h"
#include "services/packages/QVPackageDownloadManager.h"

#include "core/localization/QVLocalizedString.h"
#include "core/models/QVPackageFolders.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>

TEST_F(OfflinePaneTest, UnusableCatalogueKeepsTheStoredGroupsAndSaysSo) {
    struct Case {
        const char *name;
        qvtest::FakeReply reply;
    };
    const QList<Case> cases = {
        {"no backend", qvtest::FakeReply::text("down", 503)},
        {"not a list", qvtest::FakeReply::json(QJsonObject{{"result", QJsonObject{{"lang", "de"}}}})},
    };
    storeCatalogue();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        backend.route("POST", "/v2/api/v3/languageModels", c.reply);
        open();
        ASSERT_TRUE(qvtest::waitUntil([&] { return tab->messageLine()->isVisible(); }));
        EXPECT_TRUE(tab->messageLine()->text().startsWith("The package list could not be updated"));
        EXPECT_EQ(codes(), (QStringList{"de", "en", "fr"}));
        EXPECT_EQ(statusOf("de"), QVMActionDownloadTableCellView::NotDownloaded);
    }
}

TEST_F(OfflinePaneTest, FirstOpeningEmptiesTheStoredCatalogueOnceButKeepsInstalledLanguages) {
    backend.route("POST", "/v2/api/v3/languageModels", qvtest::FakeReply::text("down", 503));
    serveCatalogue();
    storeCatalogue();
    // German installed through the tab itself, then the flag cleared as on a new installation.
    serveArchive("models/de.zip", translationPackage("de"));
    serveArchive("ocr/deu.zip", {{"deu.traineddata", "ocr data", ZipItem::File}});
    open();
    tab->onDownload(tab->rowForCode("de"));
    ASSERT_TRUE(qvtest::waitUntil([&] { return statusOf("de") == QVMActionDownloadTableCellView::Installed; },
                                  15000));
    backend.route("POST", "/v2/api/v3/languageModels", qvtest::FakeReply::text("down", 503));
    platform::UserDefaults::standard().removeObject(QVMOfflineViewController::kPackagesWereRemovedKey);

    open();
    EXPECT_EQ(codes(), QStringList{"de"}); // French was only offered, so it went
    EXPECT_EQ(statusOf("de"), QVMActionDownloadTableCellView::Installed);
    EXPECT_TRUE(
        platform::UserDefaults::standard().boolForKey(QVMOfflineViewController::kPackagesWereRemovedKey));
    storeCatalogue();
    open(); // later openings remove nothing
    EXPECT_EQ(codes(), (QStringList{"de", "en", "fr"}));
}

TEST_F(OfflinePaneTest, DownloadThatEndsBadlyReturnsTheRowToDownload) {
    struct Case {
        const char *name;
        qvtest::FakeReply reply;
        bool cancel;
        QString line;
    };
    const QString damaged = QVLocalizedString("_loc_err_package_damaged");
    const QList<Case> cases = {
        {"cancelled by a click", qvtest::FakeReply::bytes(QByteArray(400000, 'x')).throttled(1024, 20), true,
         ""},
        {"damaged archive", qvtest::FakeReply::bytes("PK\x03\x04 not really"), false, damaged},
    };
    serveCatalogue();
    open();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        backend.route("GET", "/v2/static/models/fr.zip", c.reply);
        tab->onDownload(tab->rowForCode("fr"));
        QVMActionDownloadTableCellView *cell = tab->actionCellAt(tab->rowForCode("fr"));
        ASSERT_EQ(cell->currentStatus(), QVMActionDownloadTableCellView::Downloading);
        if (c.cancel) {
            ASSERT_TRUE(cell->hasTapAction()); // the tab always sets one
            QTest::mouseClick(cell, Qt::LeftButton);
        }
        ASSERT_TRUE(qvtest::waitUntil(
            [&] { return statusOf("fr") == QVMActionDownloadTableCellView::NotDownloaded; }, 10000));
        qvtest::spin(20);
        EXPECT_EQ(tab->messageLine()->isVisible(), !c.line.isEmpty());
        if (!c.line.isEmpty()) {
            EXPECT_EQ(tab->messageLine()->text(), "French: " + c.line);
        }
        EXPECT_FALSE(
            QVPackageDownloadManager::sharedManager().isDownloadedPackage(installableOf("fr").first()));
    }
    EXPECT_TRUE(events.contains("Offline - Cancel Download Language"));
    EXPECT_TRUE(events.contains("web server"));
}

TEST_F(OfflinePaneTest, GroupDownloadInstallsEveryPackageThenDeleteAsksAndRemovesThem) {
    serveCatalogue();
    serveArchive("models/de.zip", translationPackage("de"), 4096);
    serveArchive("ocr/deu.zip", {{"deu.traineddata", "ocr data", ZipItem::File}});
    open();
    QList<uint> seen;
    QVMActionDownloadTableCellView *cell = tab->actionCellAt(tab->rowForCode("de"));
    ASSERT_NE(cell, nullptr);
    tab->onDownload(tab->rowForCode("de"));
    ASSERT_TRUE(qvtest::waitUntil(
        [&] {
            const uint status = statusOf("de");
            if (seen.isEmpty() || seen.last() != status)
                seen.append(status);
            return status == QVMActionDownloadTableCellView::Installed;
        },
        15000));
    EXPECT_EQ(seen.first(), QVMActionDownloadTableCellView::Downloading);
    EXPECT_TRUE(seen.contains(QVMActionDownloadTableCellView::Unpacking));
    for (const QVLanguagePackageRealm &package : installableOf("de")) {
        SCOPED_TRACE(package.type().toStdString());
        EXPECT_TRUE(QVPackageDownloadManager::sharedManager().isDownloadedPackage(package));
    }
    EXPECT_TRUE(events.contains("Offline -  Start Download Language"));

    // Saying no keeps the language; saying yes removes every package's files.
    for (const bool agree : {false, true}) {
        SCOPED_TRACE(agree);
        QTest::keyClick(tab->languagesOutline(), Qt::Key_Home);
        tab->languagesOutline()->setCurrentIndex(
            tab->languagesOutline()->model()->index(tab->rowForCode("de"), 0));
        QTest::keyClick(tab->languagesOutline(), Qt::Key_Delete);
        QMessageBox *box = confirmation();
        ASSERT_NE(box, nullptr);
        EXPECT_TRUE(box->text().startsWith("Delete the offline package for German ("));
        box->button(agree ? QMessageBox::Yes : QMessageBox::No)->click();
        qvtest::spin(20);
        EXPECT_EQ(QVPackageFolders::hasTranslationFiles("de"), !agree);
    }
    open();
    EXPECT_EQ(statusOf("de"), QVMActionDownloadTableCellView::NotDownloaded);
}

TEST_F(OfflinePaneTest, ReopenedTabContinuesTheRunningDownload) {
    serveCatalogue();
    backend.route("GET", "/v2/static/models/fr.zip",
                  qvtest::FakeReply::bytes(QByteArray(600000, 'x')).throttled(2048, 10));
    open();
    tab->onDownload(tab->rowForCode("fr"));
    open();
    ASSERT_TRUE(qvtest::waitUntil(
        [&] {
            QVMActionDownloadTableCellView *cell = tab->actionCellAt(tab->rowForCode("fr"));
            return cell && cell->progress() > 0.05;
        },
        10000));
    EXPECT_EQ(statusOf("fr"), QVMActionDownloadTableCellView::Downloading);
    tab->onCancel(tab->rowForCode("fr"));
    ASSERT_TRUE(
        qvtest::waitUntil([&] { return statusOf("fr") == QVMActionDownloadTableCellView::NotDownloaded; }));
}

TEST_F(OfflinePaneTest, SearchNarrowsByNameLiterallyIgnoringCaseAndAccents) {
    struct Case {
        const char *text;
        QStringList codes;
    };
    const QList<Case> cases = {
        {"xyz", {}},
        {"%", {}},
        {"'", {}},
        {"\\", {}},
        {"deu", {"de"}},
        {"GERM", {"de"}},
        {"francais", {"fr"}},
        {"", {"de", "en", "fr"}},
    };
    storeCatalogue();
    const QList<QVPackagesRealm> all = QVPackagesRealm::allSorted().toList<QVPackagesRealm>();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        QStringList shown;
        for (const QVPackagesRealm &group : QVMOfflineViewController::filteredGroups(all, c.text))
            shown << group.languageCode();
        EXPECT_EQ(shown, c.codes);
    }
}

TEST_F(OfflinePaneTest, SearchEventWaitsForAPauseAndReturnSendsOneAtOnce) {
    serveCatalogue();
    open();
    QTest::keyClicks(tab->searchField(), "fra");
    EXPECT_EQ(events.count("Offline - Use Search"), 0);
    EXPECT_EQ(codes(), QStringList{"fr"});
    ASSERT_TRUE(qvtest::waitUntil([&] { return events.count("Offline - Use Search") == 1; }, 3000));
    QTest::keyClick(tab->searchField(), Qt::Key_Return);
    EXPECT_EQ(events.count("Offline - Use Search"), 2);
    qvtest::spin(1300);
    EXPECT_EQ(events.count("Offline - Use Search"), 2);
}

TEST_F(OfflinePaneTest, RowsTakeNamesFromTheLanguageRecordsAndEveryControlIsNamed) {
    serveCatalogue();
    open();
    EXPECT_EQ(QVMOfflineViewController::displayName(language("fr")), "French"); // through fr_FR
    EXPECT_EQ(QVMOfflineViewController::displayName(language("de")), "German");
    for (QWidget *widget : tab->view()->findChildren<QWidget *>()) {
        if (!widget->isVisibleTo(tab->view()) || !widget->focusPolicy() || qobject_cast<QScrollBar *>(widget))
            continue;
        SCOPED_TRACE(widget->metaObject()->className());
        EXPECT_FALSE(widget->accessibleName().isEmpty());
        EXPECT_FALSE(widget->toolTip().isEmpty());
    }
    EXPECT_EQ(tab->searchField()->accessibleName(), "Search languages");
    QWidget *next = tab->searchField()->nextInFocusChain();
    while (next != tab->searchField() &&
           !(next->isVisibleTo(tab->view()) && (next->focusPolicy() & Qt::TabFocus)))
        next = next->nextInFocusChain();
    EXPECT_EQ(next, tab->languagesOutline());
}

TEST_F(OfflinePaneTest, ReturnAndSpaceRunTheCurrentRowsAction) {
    struct Case {
        const char *code;
        Qt::Key key;
        uint before, after;
    };
    const QList<Case> cases = {
        {"en", Qt::Key_Return, 0, 0}, // nothing to install: the action stays off
        {"fr", Qt::Key_Return, 0, 1},
        {"fr", Qt::Key_Space, 1, 0},
    };
    serveCatalogue();
    backend.route("GET", "/v2/static/models/fr.zip",
                  qvtest::FakeReply::bytes(QByteArray(600000, 'x')).throttled(1024, 20));
    open();
    EXPECT_FALSE(tab->actionCellAt(tab->rowForCode("en"))->actionButton()->isEnabled());
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.code << " " << c.key);
        ASSERT_EQ(statusOf(c.code), c.before);
        tab->languagesOutline()->setCurrentIndex(
            tab->languagesOutline()->model()->index(tab->rowForCode(c.code), 0));
        QTest::keyClick(tab->languagesOutline(), c.key);
        ASSERT_TRUE(qvtest::waitUntil([&] { return statusOf(c.code) == c.after; }, 10000));
    }
    EXPECT_TRUE(tab->messageLine()->isHidden());
}

// The question names the size the size column shows, whatever its magnitude.
TEST_F(OfflinePaneTest, DeleteQuestionGivesTheSizeAsTheSizeColumnDoes) {
    const struct Case {
        const char *name;
        float megabytes;
        QString shown;
    } cases[] = {
        {"ordinary", 95.6f, "96mb"},
        {"beyond the integer range", 2.5e9f, "2500000000mb"},
        {"beyond every integer", 3.0e38f, "9223372036854775807mb"},
    };
    serveCatalogue();
    open();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        write([&](platform::Transaction &tx) {
            for (const platform::Object &object : language("fr").packages().toList()) {
                const QVLanguagePackageRealm package(object);
                package.setPackageSize(tx,
                                       package.packageUrl().endsWith("models/fr.zip") ? c.megabytes : 0.0f);
            }
        });
        tab->updateData();
        const int row = tab->rowForCode("fr");
        EXPECT_EQ(
            tab->model()->data(tab->model()->index(row, QVMOfflineLanguagesModel::SizeColumn)).toString(),
            c.shown);
        tab->onDelete(row);
        QMessageBox *box = confirmation();
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->text(), "Delete the offline package for French (" + c.shown + ")?");
        box->button(QMessageBox::No)->click();
        qvtest::spin(20);
    }
}

TEST_F(OfflinePaneTest, FirstOpeningWithNothingInstalledEmptiesTheWholeStoredCatalogue) {
    backend.route("POST", "/v2/api/v3/languageModels", qvtest::FakeReply::text("down", 503));
    const struct Case {
        const char *name;
        bool markedWithoutFiles; // German's records say downloaded, but its files are gone
    } cases[] = {{"records marked downloaded, files gone", true}, {"nothing downloaded", false}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        storeCatalogue();
        ASSERT_GT(store.objects(QVLanguagePackageRealm::storeClassName()).count(), 0);
        if (c.markedWithoutFiles)
            write([&](platform::Transaction &tx) {
                for (const QVLanguagePackageRealm &package : installableOf("de"))
                    package.setIsDownloaded(tx, true);
            });
        platform::UserDefaults::standard().removeObject(QVMOfflineViewController::kPackagesWereRemovedKey);
        open();
        EXPECT_TRUE(codes().isEmpty());
        EXPECT_EQ(store.objects(QVLanguagePackageRealm::storeClassName()).count(), 0);
        EXPECT_EQ(store.objects(QVPackagesRealm::storeClassName()).count(), 0);
        EXPECT_TRUE(
            platform::UserDefaults::standard().boolForKey(QVMOfflineViewController::kPackagesWereRemovedKey));
    }
}

TEST(QVMOfflineLanguagesModelTest, ARowIsFoundByItsCodeAmongTheRowsShown) {
    QVMOfflineLanguagesModel model;
    model.setRows({{"de", "Deutsch", "German"},
                   {"fr", "Français", "French"},
                   {"de", "Deutsch", "German again"},
                   {"es", "Español", "Spanish"}});
    const struct Case {
        const char *search;
        const char *code;
        int row; // -1: not shown
    } cases[] = {
        {"", "xx", -1}, {"", "", -1},      {"span", "de", -1}, {"", "de", 0},
        {"", "es", 3},  {"span", "es", 0}, {"fr", "fr", 0},    {"germ", "de", 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.search) + " / " + c.code);
        model.setSearch(QString::fromUtf8(c.search));
        EXPECT_EQ(model.rowForCode(QString::fromUtf8(c.code)), c.row);
    }
    // New rows replace what was found before.
    model.setSearch({});
    model.setRows({{"es", "Español", "Spanish"}});
    EXPECT_EQ(model.rowForCode(QStringLiteral("es")), 0);
    EXPECT_EQ(model.rowForCode(QStringLiteral("de")), -1);
}
