#include "OfflinePaneFixture.h"

#include "panes/offline/QVMCustomGridOutlineView.h"
#include "panes/offline/QVMLanguagesDownloadTableCellView.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QTest>

namespace {

QString bigCode(int i) {
    return QStringLiteral("x%1").arg(i, 5, 10, QLatin1Char('0'));
}

} // namespace

// A catalogue far longer than the window: languages written straight into the store.
class OfflineLongListTest : public OfflinePaneTest {
protected:
    static constexpr int kLanguages = 3000;
    void SetUp() override {
        OfflinePaneTest::SetUp();
        write([&](platform::Transaction &tx) {
            for (int i = 0; i < kLanguages; ++i) {
                const platform::Object package = tx.createOrUpdate(
                    QVLanguagePackageRealm::storeClassName(),
                    {{"packageUrl", backend.url("/v2/static/big/" + bigCode(i) + ".zip").toString()},
                     {"languageCode", bigCode(i)},
                     {"localName", "Language " + bigCode(i)},
                     {"type", "opennmt-desktop"},
                     {"packageSize", 10.0},
                     {"version", "1"}});
                tx.createOrUpdate(QVPackagesRealm::storeClassName(),
                                  {{"languageCode", bigCode(i)},
                                   {"localName", "Language " + bigCode(i)},
                                   {"imageUrl", ""},
                                   {"packages", QVariantList{QVariant::fromValue(package)}}});
            }
        });
    }
    // Rows that carry cell widgets now.
    QList<int> rowsWithCells() const {
        QList<int> rows;
        for (const QVMActionDownloadTableCellView *cell :
             tab->languagesOutline()->findChildren<QVMActionDownloadTableCellView *>())
            if (!cell->isHidden())
                rows.append(tab->languagesOutline()->indexAt(cell->geometry().center()).row());
        std::sort(rows.begin(), rows.end());
        return rows;
    }
    int rowsOnScreen() const {
        QVMCustomGridOutlineView *list = tab->languagesOutline();
        return list->viewport()->height() / qMax(1, list->sizeHintForRow(0)) + 1;
    }
};

// Every language is listed, but cells exist only where the window shows rows;
// scrolling by keyboard moves them along, and the row actions work wherever the list is.
TEST_F(OfflineLongListTest, CellsExistOnlyForRowsOnScreenAndFollowTheKeyboard) {
    backend.route("POST", "/v2/api/v3/languageModels", qvtest::FakeReply::text("down", 503));
    backend.route("GET", "/v2/static/big/" + bigCode(kLanguages - 1) + ".zip",
                  qvtest::FakeReply::bytes(QByteArray(600000, 'x')).throttled(1024, 20));
    open();
    ASSERT_EQ(tab->rowCount(), kLanguages);
    QVMCustomGridOutlineView *list = tab->languagesOutline();
    list->setFocus();
    const struct Step {
        const char *name;
        Qt::Key key;
        int current;
        uint status; // of the current row after the key
    } steps[] = {
        {"first row", Qt::Key_Home, 0, QVMActionDownloadTableCellView::NotDownloaded},
        {"arrow down", Qt::Key_Down, 1, QVMActionDownloadTableCellView::NotDownloaded},
        {"to the end", Qt::Key_End, kLanguages - 1, QVMActionDownloadTableCellView::NotDownloaded},
        {"Return downloads", Qt::Key_Return, kLanguages - 1, QVMActionDownloadTableCellView::Downloading},
        {"Space cancels", Qt::Key_Space, kLanguages - 1, QVMActionDownloadTableCellView::NotDownloaded},
    };
    for (const Step &step : steps) {
        SCOPED_TRACE(step.name);
        QTest::keyClick(list, step.key);
        qvtest::spin(20);
        ASSERT_EQ(list->currentIndex().row(), step.current);
        ASSERT_TRUE(qvtest::waitUntil([&] { return statusOf(bigCode(step.current)) == step.status; }, 10000));
        const QList<int> rows = rowsWithCells();
        EXPECT_LE(rows.size(), rowsOnScreen() + 2);
        EXPECT_TRUE(rows.contains(step.current));
        EXPECT_EQ(list->visualRect(tab->model()->index(step.current, 0)).height(),
                  QVMActionDownloadTableCellView::kHeight)
            << "rows keep their height whether the first row has cells or not";
        EXPECT_EQ(tab->model()->data(tab->model()->index(step.current, 0), Qt::AccessibleTextRole).toString(),
                  "Language " + bigCode(step.current));
    }
    EXPECT_EQ(tab->actionCellAt(0), nullptr) << "the first row scrolled away with its cells";

    QTest::keyClicks(tab->searchField(), bigCode(1234));
    EXPECT_EQ(codes(), QStringList{bigCode(1234)});
    ASSERT_TRUE(qvtest::waitUntil([&] { return tab->actionCellAt(0) != nullptr; }));
    EXPECT_EQ(rowsWithCells(), QList<int>{0});
}
