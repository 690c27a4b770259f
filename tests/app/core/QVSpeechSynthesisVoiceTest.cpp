#include "ModelTestStore.h"

#include "core/models/QVLanguageRealm.h"
#include "core/models/QVSpeechSynthesisVoice.h"

using namespace platform;

using QVSpeechSynthesisVoiceRecord = ModelStoreTest;

TEST_F(QVSpeechSynthesisVoiceRecord, LanguageReadFromTheStoreHasAnEmptyVoiceList) {
    import(
        QVLanguageRealm::storeClassName(),
        json(
            R"({"localeIdentifier": "en_GB", "synthesisIos": [{"identifier": "v1"}], "synthesis_ios": [{"identifier": "v2"}]})"));
    const QVLanguageRealm en(
        store.objectForPrimaryKey(QVLanguageRealm::storeClassName(), QStringLiteral("en_GB")));
    ASSERT_TRUE(en.isValid());
    EXPECT_TRUE(en.synthesisIos().isEmpty()); // no catalogue key feeds the list
    EXPECT_EQ(count(QVSpeechSynthesisVoice::storeClassName()), 0);
}

TEST_F(QVSpeechSynthesisVoiceRecord, QualityAndGenderAreRequiredNumbersAndSelectedIsOptional) {
    const QString voices = QVSpeechSynthesisVoice::storeClassName();
    import(
        voices,
        jsonArray(
            R"([{"identifier": "a", "language": "en-GB", "name": "Ann", "quality": 2, "gender": 1, "selected": true},
                                 {"identifier": "b", "quality": null, "gender": "x"}])"));
    const QVSpeechSynthesisVoice a(store.objectForPrimaryKey(voices, QStringLiteral("a")));
    EXPECT_EQ(a.language(), QStringLiteral("en-GB"));
    EXPECT_EQ(a.name(), QStringLiteral("Ann"));
    EXPECT_EQ(a.quality(), 2);
    EXPECT_EQ(a.gender(), 1);
    EXPECT_EQ(a.selected(), std::optional<bool>(true));

    const QVSpeechSynthesisVoice b(store.objectForPrimaryKey(voices, QStringLiteral("b")));
    ASSERT_TRUE(b.isValid());
    EXPECT_EQ(b.value(QStringLiteral("quality")), QVariant::fromValue<qint64>(0)); // never null
    EXPECT_EQ(b.value(QStringLiteral("gender")), QVariant::fromValue<qint64>(0));
    EXPECT_EQ(b.selected(), std::nullopt);

    const QVariantMap out = JSONMapping::JSONDictionary(b).toMap();
    EXPECT_EQ(out.value(QStringLiteral("identifier")).toString(), QStringLiteral("b"));
    EXPECT_EQ(out.value(QStringLiteral("quality")).toLongLong(), 0);
    EXPECT_EQ(out.value(QStringLiteral("selected")).typeId(), QMetaType::Nullptr);
}
