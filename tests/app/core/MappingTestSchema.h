#pragma once

#include "TemporaryStoreTest.h"

#include "core/mapping/JSONMapping.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

// Classes for the mapping tests, prefixed by the test group so that each
// group's declarations stay its own (the mapping keeps tables for the process).
namespace mappingtest {

using platform::ObjectSchema;
using platform::PropertyType;

inline ObjectSchema modeSchema() {
    return ObjectSchema(QStringLiteral("MMode"))
        .property(QStringLiteral("translation"), PropertyType::Bool)
        .property(QStringLiteral("translateWebSite"), PropertyType::Bool)
        .property(QStringLiteral("source"), PropertyType::String);
}

inline ObjectSchema voiceSchema() {
    return ObjectSchema(QStringLiteral("MVoice"))
        .primaryKey(QStringLiteral("identifier"), PropertyType::String)
        .required(QStringLiteral("quality"), PropertyType::Int);
}

inline ObjectSchema languageSchema() {
    return ObjectSchema(QStringLiteral("MLanguage"))
        .primaryKey(QStringLiteral("localeIdentifier"), PropertyType::String)
        .property(QStringLiteral("languageName"), PropertyType::String)
        .link(QStringLiteral("languageModes"), QStringLiteral("MMode"))
        .list(QStringLiteral("voices"), QStringLiteral("MVoice"));
}

// No tables of its own: snake-case keys.
inline ObjectSchema translationSchema() {
    return ObjectSchema(QStringLiteral("MTranslation"))
        .primaryKey(QStringLiteral("idTranslation"), PropertyType::Int)
        .link(QStringLiteral("languageFrom"), QStringLiteral("MLanguage"))
        .property(QStringLiteral("originalText"), PropertyType::String)
        .property(QStringLiteral("isFavorite"), PropertyType::Bool)
        .property(QStringLiteral("createdDate"), PropertyType::Date)
        .property(QStringLiteral("learnCount"), PropertyType::Int)
        .list(QStringLiteral("tags"), QStringLiteral("MVoice"));
}

inline void declareOnce() {
    static bool declared = false;
    if (declared)
        return;
    declared = true;
    JSONModelMapping mode;
    mode.inbound = QVariantMap{{QStringLiteral("Translation"), QStringLiteral("translation")},
                               {QStringLiteral("SiteTranslate"), QStringLiteral("translateWebSite")},
                               {QStringLiteral("source"), QStringLiteral("source")}};
    mode.preprocessedJSON = [](const QVariantMap &json) -> std::optional<QVariantMap> {
        QVariantMap out = json;
        out.insert(QStringLiteral("source"), QStringLiteral("hooked"));
        return out;
    };
    EXPECT_FALSE(JSONMapping::declare(modeSchema(), mode));

    JSONModelMapping language;
    language.inbound = QVariantMap{{QStringLiteral("code"), QStringLiteral("localeIdentifier")},
                                   {QStringLiteral("names.english"), QStringLiteral("languageName")},
                                   {QStringLiteral("modes"), QStringLiteral("languageModes")},
                                   {QStringLiteral("voices"), QStringLiteral("voices")}};
    language.outbound = QVariantMap{{QStringLiteral("localeIdentifier"), QStringLiteral("code")},
                                    {QStringLiteral("languageName"), QStringLiteral("names.english")},
                                    {QStringLiteral("languageModes"), QStringLiteral("modes")}};
    language.preprocessedJSON = [](const QVariantMap &json) -> std::optional<QVariantMap> {
        if (json.value(QStringLiteral("hidden")).toBool())
            return std::nullopt;
        return json;
    };
    EXPECT_FALSE(JSONMapping::declare(languageSchema(), language));
    EXPECT_FALSE(JSONMapping::declare(voiceSchema()));
}

class MappingTest : public TemporaryStoreTest {
protected:
    void SetUp() override {
        declareOnce();
        openStore(QStringLiteral("mapping.sqlite"),
                  {modeSchema(), voiceSchema(), languageSchema(), translationSchema()});
    }
    int count(const char *className) { return TemporaryStoreTest::count(QString::fromLatin1(className)); }
};

} // namespace mappingtest
