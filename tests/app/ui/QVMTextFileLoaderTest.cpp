#include "ui/main/QVMTextFileLoader.h"
#include "support/EventLoop.h"
#include "ui/main/QVMFileKinds.h"

#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class TextFileLoaderTest : public ::testing::Test {
protected:
    QString file(const QString &name, const QByteArray &content) {
        const QString path = dir.filePath(name);
        QFile out(path);
        EXPECT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(content);
        return path;
    }
    QTemporaryDir dir;
};

QByteArray encoded(QStringConverter::Encoding encoding, const QString &text) {
    QStringEncoder encoder(encoding, QStringConverter::Flag::WriteBom);
    return encoder.encode(text);
}

} // namespace

TEST_F(TextFileLoaderTest, RefusedFilesSayWhyAndNameTheFile) {
    const QString huge = file(QStringLiteral("huge.txt"), "x");
    ASSERT_TRUE(QFile::resize(huge, QVMTextFileLoader::kMaxBytes + 1));
    const QString unreadable = file(QStringLiteral("locked.txt"), "secret");
    QFile::setPermissions(unreadable, QFileDevice::WriteOwner);
    const bool root = QFile(unreadable).open(QIODevice::ReadOnly);
    struct Case {
        const char *name;
        QString path;
        int code;
        QString says;
    };
    QList<Case> cases = {
        {"missing", dir.filePath(QStringLiteral("gone.txt")), QVMTextFileLoader::Unreadable,
         QStringLiteral("gone.txt")},
        {"a folder", dir.path(), QVMTextFileLoader::Unreadable, QDir(dir.path()).dirName()},
        {"over the limit", huge, QVMTextFileLoader::TooLarge, QStringLiteral("1.0 MB")},
        {"invalid UTF-8", file(QStringLiteral("latin1.txt"), "Gr\xFC\xDF Gott"), QVMTextFileLoader::NotText,
         QStringLiteral("latin1.txt")},
        {"a NUL inside", file(QStringLiteral("binary.txt"), QByteArray("ab\0cd", 5)),
         QVMTextFileLoader::NotText, QStringLiteral("binary.txt")},
        {"nothing but blanks", file(QStringLiteral("blank.txt"), " \n\t\r\n"), QVMTextFileLoader::Empty,
         QStringLiteral("blank.txt")},
        {"empty", file(QStringLiteral("empty.txt"), ""), QVMTextFileLoader::Empty,
         QStringLiteral("empty.txt")},
    };
    // A root test run reads every file: the unreadable one is only one for other users.
    if (!root)
        cases.append(
            {"not readable", unreadable, QVMTextFileLoader::Unreadable, QStringLiteral("locked.txt")});
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        platform::Error error;
        EXPECT_TRUE(QVMTextFileLoader::read(c.path, &error).isEmpty());
        ASSERT_TRUE(error);
        EXPECT_EQ(error.code(), c.code);
        EXPECT_TRUE(error.localizedDescription().contains(c.says))
            << error.localizedDescription().toStdString();
    }
}

TEST_F(TextFileLoaderTest, TextIsReadInTheEncodingItsMarkNamesWithLineEndsMadeOne) {
    const QString words = QStringLiteral("Grüße, 世界");
    struct Case {
        const char *name;
        QByteArray bytes;
        QString text;
    } cases[] = {
        {"UTF-8", words.toUtf8(), words},
        {"UTF-8 with its mark", encoded(QStringConverter::Utf8, words), words},
        {"UTF-16 LE with its mark", encoded(QStringConverter::Utf16LE, words), words},
        {"UTF-16 BE with its mark", encoded(QStringConverter::Utf16BE, words), words},
        {"UTF-32 LE with its mark", encoded(QStringConverter::Utf32LE, words), words},
        {"Windows line ends", "one\r\ntwo\r\n", QStringLiteral("one\ntwo\n")},
        {"old Mac line ends", "one\rtwo", QStringLiteral("one\ntwo")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        platform::Error error;
        EXPECT_EQ(QVMTextFileLoader::read(file(QStringLiteral("text.txt"), c.bytes), &error), c.text);
        EXPECT_FALSE(error) << error.localizedDescription().toStdString();
    }
    // UTF-16 without its mark is not guessed: it holds NULs, so it is refused.
    EXPECT_FALSE(QVMTextFileLoader::decode(QByteArray("h\0i\0", 4)).has_value());
}

TEST_F(TextFileLoaderTest, OnlyTheNewestLoadAnswersAndNoneAfterTheLoaderIsGone) {
    const QString first = file(QStringLiteral("first.txt"), "first");
    const QString second = file(QStringLiteral("second.txt"), "second");
    QStringList answered;
    auto *loader = new QVMTextFileLoader;
    loader->load(first, [&](const QString &text, const platform::Error &) { answered << text; });
    loader->load(second, [&](const QString &text, const platform::Error &) { answered << text; });
    EXPECT_TRUE(loader->isLoading());
    ASSERT_TRUE(qvtest::waitUntil([&] { return !loader->isLoading(); }));
    qvtest::spin(20);
    EXPECT_EQ(answered, QStringList{QStringLiteral("second")});

    loader->load(first, [&](const QString &text, const platform::Error &) { answered << text; });
    delete loader;
    qvtest::spin(50);
    EXPECT_EQ(answered.size(), 1);
}

TEST_F(TextFileLoaderTest, FilesAreTextByTheirNameOrTheirType) {
    struct Case {
        const char *name;
        QString path;
        QVMFileKinds::Kind kind;
    };
    const QList<Case> cases = {
        {"an archive without a name that says so",
         file(QStringLiteral("archive"), QByteArray("\x7f\x00\x01\x02", 4)), QVMFileKinds::Kind::Unsupported},
        {"a save format", file(QStringLiteral("letter.odt"), "PK"), QVMFileKinds::Kind::Unsupported},
        {"upper-case text", file(QStringLiteral("NOTES.TXT"), "x"), QVMFileKinds::Kind::Text},
        {"Markdown", file(QStringLiteral("notes.md"), "# x"), QVMFileKinds::Kind::Text},
        {"CSV", file(QStringLiteral("table.csv"), "a,b"), QVMFileKinds::Kind::Text},
        {"text without a name that says so", file(QStringLiteral("notes"), "plain words"),
         QVMFileKinds::Kind::Text},
        {"a document", file(QStringLiteral("report.PDF"), "%PDF"), QVMFileKinds::Kind::Document},
        {"RTF goes to the conversion", file(QStringLiteral("letter.rtf"), "{\\rtf1}"),
         QVMFileKinds::Kind::Document},
        {"a picture", file(QStringLiteral("photo.jpeg"), "x"), QVMFileKinds::Kind::Picture},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(QVMFileKinds::kindOfFile(c.path), c.kind);
    }
}
