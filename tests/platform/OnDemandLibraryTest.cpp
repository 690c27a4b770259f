// On-demand modules: one from another build is refused with both builds named, an override
// must be an absolute path, and the build tree's path serves only a program run from it.
#include "platform/OnDemandLibrary.h"
#include "platform/BundleLayout.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

using platform::BundleLayout;
using platform::OnDemandLibrary;

namespace {

using Answer = int (*)();

constexpr const char *kVariable = "QV_TEST_ON_DEMAND_MODULE";

// The variable set for the scope, restored after.
struct ScopedVariable {
    explicit ScopedVariable(const QString &value) { qputenv(kVariable, QFile::encodeName(value)); }
    ~ScopedVariable() { qunsetenv(kVariable); }
};

// Runs in folder for the scope (a relative override is read from there).
struct ScopedWorkingFolder {
    explicit ScopedWorkingFolder(const QString &folder) : m_before(QDir::currentPath()) {
        QDir::setCurrent(folder);
    }
    ~ScopedWorkingFolder() { QDir::setCurrent(m_before); }
    QString m_before;
};

// An empty file standing for an executable at path (made with its folders).
QString placeExecutable(const QTemporaryDir &root, const QString &path) {
    const QString file = root.filePath(path);
    QDir().mkpath(QFileInfo(file).absolutePath());
    QFile out(file);
    EXPECT_TRUE(out.open(QIODevice::WriteOnly));
    return QFileInfo(file).canonicalFilePath();
}

struct ProbeAnswer {
    bool loaded = false;
    QString error;
    QString resources;
};

ProbeAnswer runProbe(const QString &program) {
    QProcess probe;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("QV_PROBE_MODULE"));
    environment.remove(QStringLiteral("QV_RESOURCES_DIR"));
    probe.setProcessEnvironment(environment);
    probe.start(program, {});
    EXPECT_TRUE(probe.waitForFinished(30000)) << program.toStdString();
    ProbeAnswer answer;
    for (const QByteArray &line : probe.readAllStandardOutput().split('\n')) {
        const QString text = QString::fromUtf8(line);
        if (text.startsWith(QLatin1String("loaded ")))
            answer.loaded = text.endsWith(QLatin1Char('1'));
        else if (text.startsWith(QLatin1String("error ")))
            answer.error = text.mid(6);
        else if (text.startsWith(QLatin1String("resources ")))
            answer.resources = text.mid(10);
    }
    return answer;
}

} // namespace

TEST(OnDemandLibrary, AModuleOfAnotherBuildIsRefusedWithBothBuildsNamed) {
    const QString program = OnDemandLibrary::programBuild();
    ASSERT_FALSE(program.isEmpty());
    const struct {
        const char *name;
        const char *path;
        bool loaded;
        QStringList named; // in error()
    } cases[] = {
        {"another build's module", QV_TEST_MODULE_STALE, false, {"0.9.0 (build 000000000000)", program}},
        {"a module without a build", QV_TEST_MODULE_UNMARKED, false, {"carries no build version", program}},
        {"this build's module", QV_TEST_MODULE_CURRENT, true, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const ScopedVariable variable(QString::fromUtf8(c.path));
        OnDemandLibrary library("libqv_test_module.so", kVariable, QString());
        const auto answer = reinterpret_cast<Answer>(library.symbol("qvTestModuleAnswer"));
        EXPECT_EQ(library.isLoaded(), c.loaded);
        EXPECT_EQ(answer != nullptr, c.loaded) << library.error().toStdString();
        if (answer) {
            EXPECT_EQ(answer(), 42);
        }
        for (const QString &named : c.named)
            EXPECT_TRUE(library.error().contains(named)) << library.error().toStdString();
        // Asked again, the answer stands and nothing is loaded anew.
        EXPECT_EQ(library.symbol("qvTestModuleAnswer") != nullptr, c.loaded);
    }
}

TEST(OnDemandLibrary, AnOverrideThatIsNoAbsolutePathIsRefused) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    // A module the relative names would reach from the working folder.
    ASSERT_TRUE(
        QFile::copy(QStringLiteral(QV_TEST_MODULE_CURRENT), folder.filePath(QStringLiteral("libqvx.so"))));
    const ScopedWorkingFolder working(folder.path());
    const struct {
        const char *name;
        QString value;
        bool loaded;
    } cases[] = {
        {"a path from the working folder", QStringLiteral("./libqvx.so"), false},
        {"an absolute path", folder.filePath(QStringLiteral("libqvx.so")), true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const ScopedVariable variable(c.value);
        OnDemandLibrary library("libqvx.so", kVariable, QStringLiteral(QV_TEST_MODULE_CURRENT));
        EXPECT_EQ(library.symbol("qvTestModuleAnswer") != nullptr, c.loaded) << library.error().toStdString();
        if (!c.loaded) {
            EXPECT_TRUE(library.error().contains(QLatin1String("not an absolute path")))
                << library.error().toStdString();
            EXPECT_TRUE(library.error().contains(QLatin1String(kVariable))) << library.error().toStdString();
        }
    }
}

TEST(OnDemandLibrary, TheBuildTreesPathIsSearchedOnlyForAProgramInsideIt) {
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString inBuild = QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath();
    const QString buildPath = QStringLiteral("/build/app/libqvx.so");
    const QString installed = placeExecutable(root, QStringLiteral("usr/bin/quorvalde-translator"));
    const QString tool =
        placeExecutable(root, QStringLiteral("usr/libexec/quorvalde-translator/demo-package"));
    const QString loose = placeExecutable(root, QStringLiteral("copy/quorvalde-translator"));
    const QString prefix = QFileInfo(installed).absolutePath().chopped(4);
    const QString moduleFolder = BundleLayout::moduleFolder(installed);
    ASSERT_TRUE(moduleFolder.startsWith(prefix + QLatin1String("/lib"))) << moduleFolder.toStdString();
    const struct {
        const char *name;
        QString executable;
        QString overridden;
        QStringList paths;
        bool refused;
    } cases[] = {
        {"a relative override", installed, QStringLiteral("lib/libqvx.so"), {}, true},
        {"an installed program", installed, {}, {moduleFolder + QLatin1String("/libqvx.so")}, false},
        {"an installed tool", tool, {}, {moduleFolder + QLatin1String("/libqvx.so")}, false},
        {"a copy outside any layout",
         loose,
         {},
         {QFileInfo(loose).absolutePath() + QLatin1String("/libqvx.so")},
         false},
        {"no executable known", {}, {}, {}, false},
        {"an absolute override",
         installed,
         QStringLiteral("/opt/libqvx.so"),
         {QStringLiteral("/opt/libqvx.so")},
         false},
        {"a program in the build tree",
         inBuild,
         {},
         {QDir(QFileInfo(inBuild).absolutePath()).filePath(QStringLiteral("libqvx.so")), buildPath},
         false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const OnDemandLibrary::Search search =
            OnDemandLibrary::searchPaths(QStringLiteral("libqvx.so"), c.overridden, c.executable, buildPath);
        EXPECT_EQ(search.paths, c.paths);
        EXPECT_EQ(!search.refusal.isEmpty(), c.refused) << search.refusal.toStdString();
    }
}

// The real program's road: a copy of a program outside the build tree neither loads the
// module it finds only at the build's path nor reads the source tree's resources.
TEST(OnDemandLibrary, AProgramCopiedOutOfTheBuildTreeUsesNoPathOfIt) {
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    ASSERT_FALSE(BundleLayout::runsFromBuildTree(root.path()));
    const QString installedResources = root.filePath(QStringLiteral("usr/share/quorvalde-translator"));
    ASSERT_TRUE(QDir().mkpath(installedResources));
    const struct {
        const char *name;
        QString place; // below root; empty: the program where the build made it
        bool loaded;
        QString resources;
    } cases[] = {
        {"a copy in a loose folder", QStringLiteral("copy"), false, QString()},
        {"a copy in an install layout", QStringLiteral("usr/bin"), false, installedResources},
        {"the program in its build tree", QString(), true, QStringLiteral(QV_SOURCE_RESOURCES)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QString program = QStringLiteral(QV_ON_DEMAND_PROBE);
        if (!c.place.isEmpty()) {
            ASSERT_TRUE(QDir().mkpath(root.filePath(c.place)));
            program = root.filePath(c.place + QStringLiteral("/on_demand_probe"));
            QFile::remove(program);
            ASSERT_TRUE(QFile::copy(QStringLiteral(QV_ON_DEMAND_PROBE), program));
        }
        const ProbeAnswer answer = runProbe(program);
        EXPECT_EQ(answer.loaded, c.loaded) << answer.error.toStdString();
        EXPECT_FALSE(answer.error.contains(BundleLayout::buildTree())) << answer.error.toStdString();
        EXPECT_EQ(answer.resources, c.resources);
    }
}
