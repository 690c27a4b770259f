// Every line reaches the program's log (syslog) at its level; the terminal shows only warnings
// and errors unless verbose, whether the line is ours or one of Qt's messages.
#include "platform/SystemLog.h"

#include "support/ChildProcess.h"

#include <QLoggingCategory>
#include <QTemporaryFile>

#include <gtest/gtest.h>

#include <cstdio>
#include <syslog.h>
#include <thread>
#include <unistd.h>
#include <vector>

using platform::SystemLog;

namespace {

// Standard error into a file for as long as it lives.
class CapturedStandardError {
public:
    CapturedStandardError() {
        m_file.open();
        std::fflush(stderr);
        m_saved = ::dup(STDERR_FILENO);
        ::dup2(m_file.handle(), STDERR_FILENO);
    }
    ~CapturedStandardError() { restore(); }
    QByteArray text() {
        restore();
        m_file.seek(0);
        return m_file.readAll();
    }

private:
    void restore() {
        if (m_saved < 0)
            return;
        std::fflush(stderr);
        ::dup2(m_saved, STDERR_FILENO);
        ::close(m_saved);
        m_saved = -1;
    }
    QTemporaryFile m_file;
    int m_saved = -1;
};

Q_LOGGING_CATEGORY(lcTest, "qv.test")

} // namespace

TEST(SystemLog, TheTerminalShowsWarningsAndErrorsUnlessVerboseAndTheLogKeepsEveryLine) {
    const struct {
        const char *name;
        std::function<void()> write;
        int priority;
        bool onTerminal;  // by default
        const char *text; // as the log and the terminal have it
    } cases[] = {
        {"an error", [] { SystemLog::write(QStringLiteral("line E"), SystemLog::Error); }, LOG_ERR, true,
         "line E"},
        {"a warning", [] { SystemLog::write(QStringLiteral("line W"), SystemLog::Warning); }, LOG_WARNING,
         true, "line W"},
        {"Qt's warning", [] { qWarning("line QW"); }, LOG_WARNING, true, "line QW"},
        {"a diagnostic line", [] { SystemLog::write(QStringLiteral("[VC] viewDidLoad X")); }, LOG_INFO, false,
         "[VC] viewDidLoad X"},
        {"Qt's information", [] { qInfo("line QI"); }, LOG_INFO, false, "line QI"},
        {"a category's debug line", [] { qCDebug(lcTest, "line QD"); }, LOG_DEBUG, false, "qv.test: line QD"},
        {"a line that looks like a format",
         [] { SystemLog::write(QStringLiteral("100%s %n"), SystemLog::Error); }, LOG_ERR, true, "100%s %n"},
    };
    QList<QPair<int, QByteArray>> logged;
    SystemLog::setSyslogWriter([&](int priority, const QByteArray &text) {
        logged.append({priority, text});
    });
    SystemLog::installQtMessageHandler();
    for (const bool verbose : {false, true}) {
        SystemLog::setVerbose(verbose);
        for (const auto &c : cases) {
            SCOPED_TRACE(testing::Message() << c.name << (verbose ? ", verbose" : ""));
            logged.clear();
            CapturedStandardError terminal;
            c.write();
            const QByteArray shown = terminal.text();
            ASSERT_EQ(logged.size(), 1);
            EXPECT_EQ(logged.first().first, LOG_USER | c.priority);
            EXPECT_EQ(logged.first().second.toStdString(), c.text);
            EXPECT_EQ(shown.endsWith(QByteArray(" ") + c.text + "\n"), c.onTerminal || verbose)
                << shown.toStdString();
        }
    }
    qInstallMessageHandler(nullptr);
    SystemLog::setVerbose(std::nullopt);
    SystemLog::setSyslogWriter({});
}

TEST(SystemLog, VerboseFollowsTheEnvironmentUnlessSetByTheProgram) {
    const struct {
        const char *value; // nullptr: unset
        bool verbose;
    } cases[] = {{nullptr, false}, {"0", false}, {"", false}, {"1", true}, {"yes", true}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.value ? c.value : "unset");
        if (c.value)
            qputenv(SystemLog::kVerboseVariable, c.value);
        else
            qunsetenv(SystemLog::kVerboseVariable);
        EXPECT_EQ(SystemLog::isVerbose(), c.verbose);
    }
    qputenv(SystemLog::kVerboseVariable, "1");
    SystemLog::setVerbose(false); // a setting of the program wins over the environment
    EXPECT_FALSE(SystemLog::isVerbose());
    SystemLog::setVerbose(std::nullopt);
    qunsetenv(SystemLog::kVerboseVariable);
}

namespace {

// What calls out of a write writes again from inside it: Qt's warnings, a nested line, a
// replacement of the sink. Each runs in a child, where a write that waited for itself would hang.
struct NestedCase {
    const char *name;
    std::function<void(QStringList &lines)> install;
    const char *expected; // the lines received, joined by '|'
};

const QList<NestedCase> &nestedCases() {
    static const QList<NestedCase> cases = {
        {"a sink that warns about every line",
         [](QStringList &lines) {
             SystemLog::setSink([&lines](const QString &line) {
                 lines.append(line);
                 qWarning("seen: %s", qPrintable(line));
             });
         },
         "outer|seen: outer"},
        {"a system log writer that warns",
         [](QStringList &lines) {
             SystemLog::setSyslogWriter([&lines](int, const QByteArray &text) {
                 lines.append(QString::fromUtf8(text));
                 qWarning("written");
             });
         },
         "outer|written"},
        {"a sink that writes a line itself",
         [](QStringList &lines) {
             SystemLog::setSink([&lines](const QString &line) {
                 lines.append(line);
                 SystemLog::write(QStringLiteral("about ") + line, SystemLog::Error);
             });
         },
         "outer|about outer"},
        {"a sink that hands over to another",
         [](QStringList &lines) {
             SystemLog::setSink([&lines](const QString &line) {
                 lines.append(QStringLiteral("first: ") + line);
                 SystemLog::setSink(
                     [&lines](const QString &next) { lines.append(QStringLiteral("second: ") + next); });
                 SystemLog::write(QStringLiteral("handed over"));
             });
         },
         "first: outer|second: handed over"},
    };
    return cases;
}

} // namespace

TEST(SystemLogChild, DISABLED_WriteWithNestedLines) {
    const QString name = qEnvironmentVariable("QV_TEST_CASE");
    static QStringList lines;
    for (const NestedCase &c : nestedCases()) {
        if (name != QLatin1String(c.name))
            continue;
        SystemLog::installQtMessageHandler();
        c.install(lines);
        SystemLog::write(QStringLiteral("outer"));
        std::printf("lines: %s\n", qPrintable(lines.join(QLatin1Char('|'))));
        return;
    }
    FAIL() << "no case " << name.toStdString();
}

TEST(SystemLog, ALineWrittenFromInsideAWriteIsWrittenOnceAndNeverWaitsForIt) {
    for (const NestedCase &c : nestedCases()) {
        SCOPED_TRACE(c.name);
        auto child = qvtest::startChildTest(QStringLiteral("SystemLogChild.DISABLED_WriteWithNestedLines"),
                                            {{"QV_TEST_CASE", QString::fromLatin1(c.name)}});
        const QByteArray output = qvtest::finishChild(*child, 20000);
        QByteArray received = "(no answer)";
        for (const QByteArray &line : output.split('\n')) {
            if (line.startsWith("lines: "))
                received = line.mid(7);
        }
        EXPECT_EQ(received.toStdString(), c.expected);
    }
}

// Lines written at once from several threads reach a sink one after another, none lost: a
// sink need not guard itself.
TEST(SystemLog, LinesFromManyThreadsReachTheSinkOneAtATime) {
    constexpr int kThreads = 4, kLines = 2000;
    QStringList lines;
    int inside = 0, overlaps = 0;
    SystemLog::setSink([&](const QString &line) {
        if (++inside > 1)
            ++overlaps;
        lines << line;
        --inside;
    });
    std::vector<std::thread> writers;
    for (int t = 0; t < kThreads; ++t)
        writers.emplace_back([] {
            for (int i = 0; i < kLines; ++i)
                SystemLog::write(QStringLiteral("line %1").arg(i));
        });
    for (std::thread &writer : writers)
        writer.join();
    SystemLog::setSink({});
    EXPECT_EQ(overlaps, 0);
    EXPECT_EQ(lines.size(), kThreads * kLines);
}
