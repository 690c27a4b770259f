#include "ModelTestStore.h"

#include "core/models/QVAuthProfile.h"

using namespace platform;

namespace {
const QString kProfile = QVAuthProfile::storeClassName();
}

using QVAuthProfileRecord = ModelStoreTest;

TEST_F(QVAuthProfileRecord, UserObjectCreatesTheProfileAndARefreshUpdatesItInPlace) {
    import(kProfile, json(R"({"id": 7, "username": "ann", "email": "ann@example.org", "phone": "+100",
        "isVerify": true, "createdAt": 1600000000.5, "updatedAt": 12.25, "role": "user", "isSubscribedToNews": false,
        "token": "secret", "avatar": "a.png"})"));
    QVAuthProfile profile(store.objects(kProfile).first());
    ASSERT_TRUE(profile.isValid());
    EXPECT_EQ(profile.idProfile(), 7);
    EXPECT_EQ(profile.userName(), QStringLiteral("ann"));
    EXPECT_EQ(profile.email(), QStringLiteral("ann@example.org"));
    EXPECT_EQ(profile.phoneNumber(), QStringLiteral("+100"));
    EXPECT_TRUE(profile.isVerify());
    EXPECT_FLOAT_EQ(profile.createdAt(), 1600000000.5f);
    EXPECT_FLOAT_EQ(profile.updatedAt(), 12.25f);
    EXPECT_EQ(profile.role(), QStringLiteral("user"));
    EXPECT_EQ(profile.get<std::optional<bool>>(QStringLiteral("isSubscribedToNews")),
              std::optional<bool>(false));

    // The refresh carries the id as text: coerced, same record.
    import(kProfile, json(R"({"id": "7", "email": "new@example.org", "isSubscribedToNews": 1})"));
    EXPECT_EQ(count(kProfile), 1);
    profile = QVAuthProfile(store.objects(kProfile).first());
    EXPECT_EQ(profile.email(), QStringLiteral("new@example.org"));
    EXPECT_EQ(profile.userName(), QStringLiteral("ann")); // absent from the refresh: unchanged
    EXPECT_TRUE(profile.isSubscribedToNews());

    write([&](Transaction &tx) { tx.removeAll(kProfile); });
    EXPECT_TRUE(store.objects(kProfile).first().isNull());
}

TEST_F(QVAuthProfileRecord, MalformedUserObjectsStoreWhatFitsOrNothing) {
    EXPECT_TRUE(import(kProfile, json(R"({"username": "no id"})")).isNull());
    EXPECT_TRUE(import(kProfile, json(R"({"id": "seven", "username": "bad id"})")).isNull());
    EXPECT_TRUE(import(kProfile, json(R"({"id": null})")).isNull());
    EXPECT_EQ(count(kProfile), 0);

    const QVAuthProfile profile(import(kProfile, json(R"({"id": 9, "createdAt": "2020-01-01T00:00:00Z",
        "isVerify": "maybe", "email": {"primary": "x"}, "username": 42})")));
    ASSERT_TRUE(profile.isValid());
    EXPECT_EQ(profile.get<std::optional<float>>(QStringLiteral("createdAt")), std::nullopt);
    EXPECT_FALSE(profile.isVerify());
    EXPECT_TRUE(profile.email().isNull());
    EXPECT_EQ(profile.userName(), QStringLiteral("42"));
}

TEST_F(QVAuthProfileRecord, OutboundUsesSnakeCaseKeysOfTheStoredProperties) {
    const QVAuthProfile profile(import(kProfile, json(R"({"id": 3, "username": "bo"})")));
    const QVariantMap out = JSONMapping::JSONDictionary(profile).toMap();
    EXPECT_EQ(out.value(QStringLiteral("id_profile")).toLongLong(), 3);
    EXPECT_EQ(out.value(QStringLiteral("user_name")).toString(), QStringLiteral("bo"));
    EXPECT_EQ(out.value(QStringLiteral("phone_number")).typeId(), QMetaType::Nullptr);
    EXPECT_TRUE(out.contains(QStringLiteral("is_subscribed_to_news")));
    EXPECT_EQ(out.size(), QVAuthProfile::schema().properties().size());
}
