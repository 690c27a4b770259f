#include "support/MultipartParser.h"
#include "HttpTestClient.h"
#include "support/FakeBackend.h"

#include <gtest/gtest.h>

#include <QHttpPart>

using qvtest::FakeBackend;
using qvtest::FakeReply;
using qvtest::MultipartParser;

namespace {

QHttpPart formField(const QByteArray &name, const QByteArray &value) {
    QHttpPart part;
    part.setHeader(QNetworkRequest::ContentDispositionHeader, "form-data; name=\"" + name + "\"");
    part.setBody(value);
    return part;
}

} // namespace

TEST(MultipartParsing, LogsFieldsAndFilePartOfAnUpload) {
    FakeBackend backend;
    backend.route("POST", "/ocr/upload", FakeReply::json(QJsonObject{{"id", 7}}));
    QNetworkAccessManager manager;

    auto *multipart = new QHttpMultiPart(QHttpMultiPart::FormDataType);
    multipart->append(formField("from", "de"));
    multipart->append(formField("to", "en"));
    QHttpPart file;
    file.setHeader(QNetworkRequest::ContentDispositionHeader,
                   "form-data; name=\"image\"; filename=\"scan page.png\"");
    file.setHeader(QNetworkRequest::ContentTypeHeader, "image/png");
    const QByteArray png = QByteArray("\x89PNG\r\n\x1a\n", 8) + QByteArray(3000, '\0') + "\r\n--tail";
    file.setBody(png);
    multipart->append(file);

    const auto got =
        qvtest::fetch(manager, QNetworkRequest(backend.url("/ocr/upload")), "POST", {}, multipart);
    delete multipart;
    EXPECT_EQ(got.status, 200);

    const auto logged = backend.lastRequest();
    ASSERT_EQ(logged.parts.size(), 3);
    EXPECT_EQ(logged.parts[0].name, "from");
    EXPECT_EQ(logged.parts[0].data, "de");
    EXPECT_TRUE(logged.parts[0].fileName.isEmpty());
    EXPECT_EQ(logged.parts[0].contentType, "text/plain");
    EXPECT_EQ(logged.parts[1].name, "to");
    EXPECT_EQ(logged.parts[1].data, "en");
    const auto *image = logged.part("image");
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->fileName, "scan page.png");
    EXPECT_EQ(image->contentType, "image/png");
    EXPECT_EQ(image->data, png);
    EXPECT_EQ(logged.part("missing"), nullptr);
}

TEST(MultipartParsing, HandlesPreambleQuotedAndEncodedNamesAndPartsWithoutHeaders) {
    const QByteArray body =
        "preamble\r\n"
        "--b1\r\n"
        "Content-Disposition: form-data; name=\"a\\\"q\"; filename*=UTF-8''r%C3%A9sum%C3%A9.txt\r\n"
        "\r\n"
        "x\r\n"
        "--b1  \r\n"
        "\r\n"
        "bare\r\n"
        "--b1--\r\nepilogue";
    bool ok = false;
    const auto parts = MultipartParser::parse(body, "b1", &ok);
    EXPECT_TRUE(ok);
    ASSERT_EQ(parts.size(), 2);
    EXPECT_EQ(parts[0].name, "a\"q");
    EXPECT_EQ(parts[0].fileName, QString::fromUtf8("r\xC3\xA9sum\xC3\xA9.txt"));
    EXPECT_EQ(parts[0].data, "x");
    EXPECT_TRUE(parts[1].name.isEmpty());
    EXPECT_EQ(parts[1].data, "bare");
}

TEST(MultipartParsing, ReportsTruncatedOrForeignBodies) {
    bool ok = true;
    auto parts = MultipartParser::parse("--b\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\nnever ends",
                                        "b", &ok);
    EXPECT_FALSE(ok);
    EXPECT_TRUE(parts.isEmpty());

    ok = true;
    parts = MultipartParser::parse("--b\r\n\r\none\r\n--b\r\n\r\ntwo", "b", &ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(parts.size(), 1);

    ok = true;
    EXPECT_TRUE(MultipartParser::parse("no boundary here", "b", &ok).isEmpty());
    EXPECT_FALSE(ok);
    EXPECT_TRUE(MultipartParser::parse("--b--", "", &ok).isEmpty());
    EXPECT_FALSE(ok);
}

TEST(MultipartParsing, ReadsHeaderParameters) {
    EXPECT_EQ(MultipartParser::headerParameter("multipart/form-data; boundary=\"a b\"", "boundary"), "a b");
    EXPECT_EQ(MultipartParser::headerParameter("multipart/form-data;boundary=xyz;charset=utf-8", "BOUNDARY"),
              "xyz");
    EXPECT_EQ(MultipartParser::headerParameter("form-data; filename=\"a;b.txt\"; name=f", "name"), "f");
    EXPECT_EQ(MultipartParser::headerParameter("form-data; filename=\"a;b.txt\"", "filename"), "a;b.txt");
    EXPECT_TRUE(MultipartParser::headerParameter("form-data", "name").isEmpty());
    EXPECT_EQ(MultipartParser::mediaType(" Multipart/Form-Data ; boundary=x"), "multipart/form-data");
}
