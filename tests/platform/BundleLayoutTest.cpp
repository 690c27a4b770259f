// The install prefix is read from where the executable lies: its bin folder or the tools'
// libexec folder, nothing else.
#include "platform/BundleLayout.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <gtest/gtest.h>

using platform::BundleLayout;

TEST(BundleLayout, ThePrefixComesOnlyFromTheInstallLayoutsFolders) {
    const struct {
        const char *name;
        const char *executable;
        const char *prefix; // empty: none
    } cases[] = {
        {"no executable", "", ""},
        {"a build folder", "/work/build/app/quorvalde-translator", ""},
        {"a folder named like bin", "/opt/binaries/quorvalde-translator", ""},
        {"libexec without the program's folder", "/usr/libexec/demo-package", ""},
        {"the system's bin", "/usr/bin/quorvalde-translator", "/usr"},
        {"a local prefix", "/usr/local/bin/quorvalde-translator", "/usr/local"},
        {"a staging copy", "/tmp/stage/usr/bin/quorvalde-translator", "/tmp/stage/usr"},
        {"the tools' folder", "/usr/libexec/quorvalde-translator/package-maker", "/usr"},
        {"the root's bin", "/bin/quorvalde-translator", "/"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QString executable = QString::fromUtf8(c.executable);
        const QString prefix = QString::fromUtf8(c.prefix);
        EXPECT_EQ(BundleLayout::prefix(executable), prefix);
        EXPECT_EQ(BundleLayout::resourceFolder(executable).isEmpty(), prefix.isEmpty());
        if (!prefix.isEmpty()) {
            EXPECT_TRUE(
                BundleLayout::moduleFolder(executable).endsWith(QLatin1String("/quorvalde-translator")));
            EXPECT_EQ(BundleLayout::resourceFolder(executable),
                      QString(prefix == QLatin1String("/") ? QString() : prefix) +
                          QLatin1String("/share/quorvalde-translator"));
        }
    }
}

TEST(BundleLayout, OnlyAProgramInsideTheBuildTreeRunsFromIt) {
    const QString self = QCoreApplication::applicationFilePath();
    EXPECT_EQ(BundleLayout::executablePath(), QFileInfo(self).canonicalFilePath());
    const struct {
        const char *name;
        QString executable;
        bool inside;
    } cases[] = {
        {"nothing", QString(), false},
        {"the build tree itself", BundleLayout::buildTree(), false},
        {"an installed program", QStringLiteral("/usr/bin/sh"), false},
        {"this test", self, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(BundleLayout::runsFromBuildTree(c.executable), c.inside);
    }
}
