#include "platform/Describe.h"
#include "platform/Error.h"
#include "platform/Format.h"

#include <QJsonDocument>
#include <gtest/gtest.h>

using platform::describe;
using platform::Error;

namespace {

// Collections deeper than this print as one ellipsis.
constexpr int kCutDepth = 64;

QVariant nestedLists(int depth) {
    QVariant value = QStringLiteral("leaf");
    for (int i = 0; i < depth; ++i)
        value = QVariantList{value};
    return value;
}

QVariant nestedJson(int depth) {
    const QByteArray text = QByteArray(depth, '[') + "1" + QByteArray(depth, ']');
    return QJsonDocument::fromJson(text).toVariant();
}

QVariant nestedMaps(int depth) {
    QVariant value = 1;
    for (int i = 0; i < depth; ++i)
        value = QVariantMap{{QStringLiteral("k"), value}};
    return value;
}

} // namespace

// Deep values from the backend must print in time linear in their size: the text stops at a fixed depth.
TEST(Describe, DeeplyNestedValuesAreCutAtAFixedDepth) {
    const QString cut = QString(QChar(0x2026));
    struct Case {
        const char *name;
        QVariant value;
        QChar open;
    };
    const Case cases[] = {
        {"lists 512 deep", nestedLists(512), QLatin1Char('(')},
        {"json arrays 512 deep", nestedJson(512), QLatin1Char('(')},
        {"maps 512 deep", nestedMaps(512), QLatin1Char('{')},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString text = describe(c.value);
        EXPECT_EQ(text.count(c.open), kCutDepth);
        EXPECT_EQ(text.count(cut), 1);
        // Indentation grows with depth, so the whole text stays within depth squared.
        EXPECT_LT(text.size(), 5 * kCutDepth * kCutDepth);
    }
    // A value exactly at the limit is printed whole.
    const QString whole = describe(nestedLists(kCutDepth));
    EXPECT_FALSE(whole.contains(cut));
    EXPECT_TRUE(whole.contains(QStringLiteral("leaf")));
    EXPECT_TRUE(describe(nestedLists(kCutDepth + 1)).contains(cut));
}

TEST(Describe, NestedErrorsShareTheDepthLimit) {
    Error error(QStringLiteral("inner"), 1, QStringLiteral("x"));
    for (int i = 0; i < 300; ++i)
        error = Error(QStringLiteral("outer"), i, QStringLiteral("y"),
                      {{QStringLiteral("NSUnderlyingError"), QVariant::fromValue(error)}});
    const QString text = describe(QVariant::fromValue(error));
    EXPECT_LE(text.count(QStringLiteral("Error Domain=")), kCutDepth + 1);
    EXPECT_TRUE(text.contains(QChar(0x2026)));
}

// Domains, descriptions and keys are data: a "%1" or "%2" inside them is printed as it is.
TEST(Describe, PercentSequencesInsideDataAreNotRewritten) {
    const Error error(QStringLiteral("dom%2ain"), 5, QStringLiteral("save 50%1 now"),
                      {{QStringLiteral("k%1"), QStringLiteral("v%2")}});
    const QString text = describe(QVariant::fromValue(error));
    EXPECT_TRUE(text.startsWith(QStringLiteral("Error Domain=dom%2ain Code=5 \"save 50%1 now\" UserInfo=")))
        << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("\"k%1\" = \"v%2\";"))) << text.toStdString();
    EXPECT_EQ(platform::format("%@", error), text);

    const Error bare(QStringLiteral("a%2b"), 7);
    EXPECT_EQ(bare.localizedDescription(),
              QStringLiteral("The operation couldn't be completed. (a%2b error 7.)"));
    EXPECT_EQ(
        describe(QVariant::fromValue(bare)),
        QStringLiteral("Error Domain=a%2b Code=7 \"The operation couldn't be completed. (a%2b error 7.)\""));
}
