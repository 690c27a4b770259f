// The autostart entry starts the program that wrote it: by name only where PATH finds that
// very program, else by its absolute path, quoted as desktop entries quote.
#include "core/settings/QVAutostartEntry.h"

#include "platform/AppPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QString makeProgram(const QString &folder, const QString &name = QStringLiteral("quorvalde-translator")) {
    QDir().mkpath(folder);
    const QString path = QDir(folder).filePath(name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("#!/bin/sh\n");
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

QByteArray execOf(const QByteArray &contents) {
    for (const QByteArray &line : contents.split('\n'))
        if (line.startsWith("Exec="))
            return line.mid(5);
    return {};
}

} // namespace

TEST(AutostartEntry, TheEntryNamesTheRunningProgramByNameOnlyWherePathFindsThatVeryProgram) {
    QTemporaryDir dir;
    const QString bin = dir.filePath(QStringLiteral("bin"));
    const QString installed = makeProgram(bin);
    const QString built = makeProgram(dir.filePath(QStringLiteral("build/app")));
    const QString other = makeProgram(dir.filePath(QStringLiteral("other")));
    const QString odd = makeProgram(dir.filePath(QStringLiteral("my \"tools\" $HOME 100% `x` back\\slash")));
    ASSERT_TRUE(QFile::link(bin, dir.filePath(QStringLiteral("linked"))));
    const QByteArray root = QFile::encodeName(dir.path());
    const struct {
        const char *name;
        QString program;
        QString path;
        QByteArray exec;
    } cases[] = {
        {"run from the build folder", built, bin, built.toUtf8() + " --service"},
        {"another copy first on PATH", built, other + QStringLiteral(":") + bin,
         built.toUtf8() + " --service"},
        {"no PATH", installed, {}, installed.toUtf8() + " --service"},
        {"a folder with reserved characters", odd, bin,
         "\"" + root +
             "/my \\\\\"tools\\\\\" \\\\$HOME 100%% \\\\`x\\\\` back\\\\\\\\slash/quorvalde-translator\" "
             "--service"},
        {"installed on PATH", installed, QStringLiteral("/nowhere:") + bin, "quorvalde-translator --service"},
        {"on PATH through a link", installed, dir.filePath(QStringLiteral("linked")),
         "quorvalde-translator --service"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(execOf(QVAutostartEntry::contents(c.program, c.path)).toStdString(), c.exec.toStdString());
    }
}

// Written by this very process, which PATH does not find: the entry names it by its path.
TEST(AutostartEntry, TheWrittenEntryStartsTheProgramThatWroteIt) {
    QTemporaryDir home;
    platform::AppPaths::setRoot(home.path());
    ASSERT_FALSE(QVAutostartEntry::setEnabled(true));
    QFile written(QVAutostartEntry::path());
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(execOf(written.readAll()).toStdString(),
              QCoreApplication::applicationFilePath().toStdString() + " --service");
    platform::AppPaths::setRoot({});
}
