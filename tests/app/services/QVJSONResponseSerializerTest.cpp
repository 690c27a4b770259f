#include "app/core/RecordingCrashReporter.h"

#include "services/network/QVJSONResponseSerializer.h"

#include <gtest/gtest.h>

namespace {

MFHTTPResponse response(int status, const QByteArray &contentType) {
    MFHTTPResponse reply;
    reply.url = QUrl(QStringLiteral("https://api.example/v2/api/v3/x"));
    reply.statusCode = status;
    if (!contentType.isEmpty())
        reply.headers = {{"Content-Type", contentType}};
    return reply;
}

enum class Object { None, Parsed, Raw };

} // namespace

class QVJSONResponseSerializerTest : public ::testing::Test {
protected:
    void SetUp() override { platform::CrashReporter::setShared(reporter); }
    void TearDown() override { platform::CrashReporter::setShared(nullptr); }

    std::shared_ptr<RecordingCrashReporter> reporter = std::make_shared<RecordingCrashReporter>();
};

TEST_F(QVJSONResponseSerializerTest, EveryReplyShapeGivesItsObjectAndError) {
    const QByteArray odf = "application/vnd.oasis.opendocument.text";
    const QByteArray ooxml = "application/vnd.openxmlformats-officedocument.wordprocessingml.document";
    struct Case {
        const char *name;
        int status;
        QByteArray contentType;
        QByteArray body;
        Object object;
        QString domain; // empty: no error
        qint64 code;
        QString description;
    };
    const QString network = QStringLiteral("com.translator.network.response");
    const QList<Case> cases = {
        {"json reply", 200, "application/json", R"({"result":["Hallo"]})", Object::Parsed, {}, 0, {}},
        {"json fragment", 200, "application/json", R"("text")", Object::Parsed, {}, 0, {}},
        // JSON readers take a UTF-8 byte order mark; so does the backend client's serializer.
        {"json after a byte order mark",
         200,
         "application/json",
         "\xEF\xBB\xBF{\"result\":1}",
         Object::Parsed,
         {},
         0,
         {}},
        {"error body after a byte order mark", 500, "application/json", "\xEF\xBB\xBF{\"err\":\"Broken\"}",
         Object::Parsed, network, 500, QStringLiteral("Broken")},
        {"speech audio", 200, "audio/wav", "RIFF....WAVE", Object::Raw, {}, 0, {}},
        {"rtf document", 200, "text/rtf; charset=utf-8", "{\\rtf1}", Object::Raw, {}, 0, {}},
        {"word document", 200, ooxml, "PK..", Object::Raw, {}, 0, {}},
        {"odf document", 200, odf, "PK..", Object::Raw, {}, 0, {}},
        {"audio with an error status is an error", 500, "audio/wav", "RIFF", Object::Raw, network, 500, {}},
        {"err dictionary", 500, "application/json", R"({"err":{"err_code":"E7","message":"Boom"}})",
         Object::Parsed, network, 500, QStringLiteral("Boom")},
        {"err dictionary without message",
         503,
         "application/json",
         R"({"err":{"err_code":9}})",
         Object::Parsed,
         network,
         503,
         {}},
        {"err string", 500, "application/json", R"({"err":"Broken"})", Object::Parsed, network, 500,
         QStringLiteral("Broken")},
        {"errorCode", 400, "application/json", R"({"errorCode":"E42"})", Object::Parsed, network, 400,
         QStringLiteral("E42")},
        {"payment required without a body", 402, "application/json", "{}", Object::Parsed, network, 402, {}},
        {"html error page keeps its status",
         404,
         "text/html",
         "<html>gone</html>",
         Object::Raw,
         network,
         404,
         {}},
        {"json without an error object keeps its status",
         500,
         "application/json",
         R"({"other":1})",
         Object::Parsed,
         network,
         500,
         {}},
        {"empty error reply keeps its status", 502, "", "", Object::Raw, network, 502, {}},
        {"malformed json",
         200,
         "application/json",
         "{bad",
         Object::Raw,
         QStringLiteral("NSCocoaErrorDomain"),
         3840,
         {}},
        {"html success is left to the next serializer",
         200,
         "text/html",
         "<p>x</p>",
         Object::None,
         QStringLiteral("MFResponseSerializationErrorDomain"),
         -1016,
         {}},
    };
    QVJSONResponseSerializer serializer;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        platform::Error error(QStringLiteral("stale"), 1);
        const QVariant object =
            serializer.responseObjectForResponse(response(c.status, c.contentType), c.body, &error);
        switch (c.object) {
        case Object::None:
            EXPECT_FALSE(object.isValid());
            break;
        case Object::Parsed:
            EXPECT_NE(object.typeId(), QMetaType::QByteArray);
            EXPECT_TRUE(object.isValid());
            break;
        case Object::Raw:
            EXPECT_EQ(object.typeId(), QMetaType::QByteArray);
            EXPECT_EQ(object.toByteArray(), c.body);
            break;
        }
        if (c.domain.isEmpty()) {
            EXPECT_TRUE(error.isNull()) << error.domain().toStdString() << " " << error.code();
            continue;
        }
        ASSERT_FALSE(error.isNull());
        EXPECT_EQ(error.domain(), c.domain);
        EXPECT_EQ(error.code(), c.code);
        if (!c.description.isEmpty()) {
            EXPECT_EQ(error.localizedDescription(), c.description);
        }
    }
}

TEST_F(QVJSONResponseSerializerTest, ServerErrorsAreReportedUnderTheSerializersName) {
    QVJSONResponseSerializer serializer;
    platform::Error error;
    serializer.responseObjectForResponse(response(500, "application/json"), R"({"err":"Broken"})", &error);
    serializer.responseObjectForResponse(response(200, "application/json"), R"({"result":1})", &error);
    QMutexLocker lock(&reporter->mutex);
    ASSERT_EQ(reporter->records.size(), 1);
    EXPECT_EQ(reporter->records.first().domain, QStringLiteral("com.translator.network.response"));
    EXPECT_EQ(reporter->records.first().code, 500);
    EXPECT_EQ(reporter->records.first().userInfo.value("message").toString(),
              QStringLiteral("responseObjectForResponse:data:error:"));
}
