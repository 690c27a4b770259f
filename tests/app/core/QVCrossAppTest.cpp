#include "ModelTestStore.h"

#include "core/models/QVCrossApp.h"

using namespace platform;

namespace {
const QString kCrossApp = QVCrossApp::storeClassName();
}

using QVCrossAppRecord = ModelStoreTest;

TEST_F(QVCrossAppRecord, EntryTakesItsKeysAndLeavesTheRestEmpty) {
    const QVCrossApp app(import(kCrossApp, json(R"({"index": "scanner", "title": "Scanner",
                                                    "assetUrl": "https://cdn.example/scanner.png", "extra": 1})")));
    ASSERT_TRUE(app.isValid());
    EXPECT_EQ(app.appID(), QStringLiteral("scanner"));
    EXPECT_EQ(app.appName(), QStringLiteral("Scanner"));
    EXPECT_EQ(app.imageUrl(), QStringLiteral("https://cdn.example/scanner.png"));
    for (const char *empty :
         {"order", "showInPopup", "showInTable", "appDescription", "storeId", "imageName"})
        EXPECT_FALSE(app.value(QString::fromLatin1(empty)).isValid()) << empty;
    EXPECT_EQ(app.value(QStringLiteral("wasShown")), QVariant(false));
}

TEST_F(QVCrossAppRecord, ReimportUpdatesInPlaceAndKeepsWasShown) {
    import(kCrossApp, jsonArray(R"([
        {"index": "a", "order": 2, "showInPopup": true, "showInTable": false, "title": "A", "description": "first",
         "storeId": "id1", "assetName": "a.png", "assetUrl": "u"},
        {"index": "b", "order": 1, "title": "B"}])"));
    write([&](Transaction &tx) {
        QVCrossApp(store.objectForPrimaryKey(kCrossApp, QStringLiteral("a"))).setWasShown(tx, true);
    });

    import(kCrossApp,
           jsonArray(R"([{"index": "a", "title": "A2", "wasShown": false}, {"index": "b", "order": 3}])"));
    EXPECT_EQ(count(kCrossApp), 2);
    const QVCrossApp a(store.objectForPrimaryKey(kCrossApp, QStringLiteral("a")));
    EXPECT_TRUE(a.wasShown());
    EXPECT_EQ(a.appName(), QStringLiteral("A2"));
    EXPECT_EQ(a.appDescription(), QStringLiteral("first"));
    EXPECT_EQ(a.order(), 2);
    EXPECT_TRUE(a.showInPopup());
    EXPECT_EQ(a.storeId(), QStringLiteral("id1"));
    EXPECT_EQ(a.imageName(), QStringLiteral("a.png"));

    const Results unseen = store.objects(kCrossApp)
                               .filter(Key(QStringLiteral("wasShown")) == false)
                               .sorted(QStringLiteral("order"));
    ASSERT_EQ(unseen.count(), 1);
    EXPECT_EQ(QVCrossApp(unseen.first()).order(), 3);
}

TEST_F(QVCrossAppRecord, MalformedEntriesAreCoercedOrSkipped) {
    const QList<Object> stored = import(kCrossApp, jsonArray(R"([
        {"index": 4, "order": "7", "showInTable": "yes", "title": ["x"]},
        {"title": "no index"},
        "app",
        {"index": "c", "order": "first"}])"));
    // One entry per item, null where an item was skipped.
    ASSERT_EQ(stored.size(), 4);
    EXPECT_TRUE(stored.at(1).isNull());
    EXPECT_TRUE(stored.at(2).isNull());
    const QVCrossApp four(store.objectForPrimaryKey(kCrossApp, QStringLiteral("4")));
    EXPECT_EQ(four.order(), 7);
    EXPECT_TRUE(four.showInTable());
    EXPECT_TRUE(four.appName().isNull());
    EXPECT_FALSE(QVCrossApp(store.objectForPrimaryKey(kCrossApp, QStringLiteral("c")))
                     .value(QStringLiteral("order"))
                     .isValid());

    const QVariantMap out = JSONMapping::JSONDictionary(four).toMap();
    EXPECT_EQ(out.value(QStringLiteral("app")).toString(),
              QStringLiteral("4")); // "appID": a trailing capital run is dropped
    EXPECT_EQ(out.value(QStringLiteral("show_in_table")), QVariant(true));
    EXPECT_EQ(out.value(QStringLiteral("was_shown")), QVariant(false));
    EXPECT_EQ(out.value(QStringLiteral("image_url")).typeId(), QMetaType::Nullptr);
}
