// The text of "--show-translate -" comes from standard input, which may never end: the
// program reads no more than its limit allows and refuses the rest as too long.
#include "services/shortcuts/QVMServicesCommandLine.h"
#include "services/shortcuts/QVMServicesMenu.h"
#include "startup/QVApplicationMain.h"

#include <QProcess>
#include <QTemporaryFile>
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

namespace {

constexpr qint64 kLimit = QVMServicesMenu::kMaximumBytes;

using File = std::unique_ptr<std::FILE, decltype(&std::fclose)>;

File fileWith(QTemporaryFile &file, const QByteArray &bytes) {
    EXPECT_TRUE(file.open());
    file.write(bytes);
    file.flush();
    return File(std::fopen(QFile::encodeName(file.fileName()).constData(), "rb"), &std::fclose);
}

} // namespace

TEST(CommandLineInput, StandardInputIsReadUpToOneByteOverTheLimitAndNoFurther) {
    const struct {
        const char *name;
        QByteArray input; // empty with endless: /dev/zero
        bool endless = false;
        qsizetype textBytes; // the UTF-8 size of the text read
        bool refused;
    } cases[] = {
        {"endless input", {}, true, kLimit + 1, true},
        {"one byte over", QByteArray(kLimit + 1, 'a'), false, kLimit + 1, true},
        {"far over", QByteArray(3 * kLimit, 'a'), false, kLimit + 1, true},
        {"exactly the limit", QByteArray(kLimit, 'a'), false, kLimit, false},
        {"a byte-order mark is not text", "\xEF\xBB\xBFHallo", false, 5, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryFile temporary;
        File input =
            c.endless ? File(std::fopen("/dev/zero", "rb"), &std::fclose) : fileWith(temporary, c.input);
        ASSERT_TRUE(input);
        const QString text = QVMServicesCommandLine::readStandardInput(input.get(), kLimit);
        EXPECT_EQ(text.toUtf8().size(), c.textBytes);
        const auto action = QVMServicesCommandLine::parse({"quorvalde-translator", "--show-translate", "-"},
                                                          [&] { return text; });
        EXPECT_EQ(!action.error.isEmpty(), c.refused) << action.error.toStdString();
    }
}

// The program itself, fed through a pipe that the test keeps filling: it must stop reading and
// refuse long before the test runs out of input to give.
TEST(CommandLineInput, TheProgramRefusesEndlessInputWithoutReadingItAll) {
    constexpr qint64 kOffered = 32 * kLimit;
    for (const char *option : {"--show-translate", "--show-translate-in-agent"}) {
        SCOPED_TRACE(option);
        QProcess program;
        program.start(QStringLiteral(QV_APP_BINARY), {QString::fromLatin1(option), QStringLiteral("-")});
        ASSERT_TRUE(program.waitForStarted(30000));
        const QByteArray chunk(64 * 1024, 'a');
        qint64 offered = 0;
        while (program.state() == QProcess::Running && offered < kOffered) {
            program.write(chunk);
            offered += chunk.size();
            // Keeps no more than a few chunks queued: what is offered is about what was taken.
            while (program.state() == QProcess::Running && program.bytesToWrite() > 4 * chunk.size())
                program.waitForBytesWritten(1000);
        }
        const bool stoppedByItself = program.state() != QProcess::Running;
        program.closeWriteChannel();
        if (program.state() != QProcess::NotRunning)
            program.waitForFinished(60000);
        ASSERT_EQ(program.state(), QProcess::NotRunning);
        EXPECT_TRUE(stoppedByItself) << "read " << offered << " bytes and went on";
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.exitCode(), QVApplicationMain::kCommandLineErrorExitCode);
        const QByteArray said = program.readAllStandardError();
        EXPECT_TRUE(said.contains(QVMServicesMenu::kTooLongMessage)) << said.toStdString();
    }
}
