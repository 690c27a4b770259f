// The program installed as `cmake --install` with DESTDIR puts it (the staged copy of
// InstallCopy.cmake), and started as a user starts it: from PATH, in another folder, with a
// home of its own, under an X server. It must find all its parts where the install put them
// and open no path of the build or source tree.
#include "RealProgram.h"

#include "support/EventLoop.h"
#include "support/PrivateBus.h"
#include "support/XvfbSession.h"

#include <QDBusConnection>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>

namespace {

constexpr const char *kDesktopFile = "usr/share/applications/com.tessaphyre.translator.mac.desktop";
constexpr const char *kMetainfoFile = "usr/share/metainfo/com.tessaphyre.translator.mac.metainfo.xml";
constexpr const char *kOriginal = "The old tree";

QString staged(const QString &relative) {
    return QDir(QStringLiteral(QV_INSTALL_STAGE)).filePath(relative);
}

QString privateLibrary(const char *name) {
    return QStringLiteral("usr/" QV_INSTALL_PRIVATE_LIBDIR "/") + QLatin1String(name);
}

struct Outcome {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

Outcome runCommand(const QString &program, const QStringList &arguments,
                   const QProcessEnvironment &environment = {}, const QString &folder = {},
                   int timeoutMs = 60000) {
    QProcess process;
    if (!environment.isEmpty())
        process.setProcessEnvironment(environment);
    if (!folder.isEmpty())
        process.setWorkingDirectory(folder);
    process.start(program, arguments);
    Outcome result;
    // The event loop runs meanwhile: the program may be calling this process's bus services.
    if (!qvtest::waitUntil([&] { return process.state() == QProcess::NotRunning; }, timeoutMs)) {
        process.kill();
        process.waitForFinished(3000);
        result.err = "did not finish";
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

bool isElf(const QString &path) {
    QFile file(path);
    return !QFileInfo(path).isSymLink() && file.open(QIODevice::ReadOnly) &&
           file.read(4) == "\x7f"
                           "ELF";
}

// A notification service on the test's bus: the program says what it cannot do through it.
class NotificationService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QStringList bodies;

public Q_SLOTS:
    uint Notify(const QString &, uint, const QString &, const QString &, const QString &body,
                const QStringList &, const QVariantMap &, int) {
        bodies << body;
        return uint(bodies.size());
    }
    QStringList GetCapabilities() { return {QStringLiteral("body")}; }
};

// The desktop entry's groups, each a map of its keys.
QMap<QString, QMap<QString, QString>> desktopGroups(const QString &desktopFile) {
    QMap<QString, QMap<QString, QString>> groups;
    QFile file(desktopFile);
    if (!file.open(QIODevice::ReadOnly))
        return groups;
    QString group;
    for (const QByteArray &raw : file.readAll().split('\n')) {
        const QString line = QString::fromUtf8(raw);
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']')))
            group = line.mid(1, line.size() - 2);
        else if (line.contains(QLatin1Char('=')) && !line.startsWith(QLatin1Char('#')))
            groups[group].insert(line.section(QLatin1Char('='), 0, 0), line.section(QLatin1Char('='), 1));
    }
    return groups;
}

// The command lines of the desktop entry's actions, by action.
QMap<QString, QString> desktopActions(const QString &desktopFile) {
    QMap<QString, QString> actions;
    const QMap<QString, QMap<QString, QString>> groups = desktopGroups(desktopFile);
    for (auto it = groups.cbegin(); it != groups.cend(); ++it) {
        if (it.key().startsWith(QLatin1String("Desktop Action ")))
            actions.insert(it.key().mid(15), it.value().value(QStringLiteral("Exec")));
    }
    return actions;
}

} // namespace

TEST(InstalledCopy, EveryPartLiesWhereTheLayoutPutsItAndNothingOutsideUsr) {
    QStringList expected = {
        QStringLiteral("usr/bin/quorvalde-translator"),
        QStringLiteral("usr/bin/quorvalde-translator-demo-package"),
        QStringLiteral("usr/libexec/quorvalde-translator/demo-package"),
        QStringLiteral("usr/libexec/quorvalde-translator/package-maker"),
        QStringLiteral("usr/libexec/quorvalde-translator/model-maker"),
        QStringLiteral("usr/share/quorvalde-translator/DefaultLanguages.js"),
        QStringLiteral("usr/share/quorvalde-translator/MigrationLanguages.js"),
        QStringLiteral("usr/share/quorvalde-translator/en.lproj/Localizable.strings"),
        QStringLiteral("usr/share/quorvalde-translator/de.lproj/Localizable.strings"),
        QStringLiteral("usr/share/quorvalde-translator/images/ic_parts_of_speech.png"),
        QString::fromLatin1(kDesktopFile),
        QString::fromLatin1(kMetainfoFile),
        QStringLiteral("usr/share/icons/hicolor/scalable/apps/quorvalde-translator.svg"),
        QStringLiteral("usr/share/man/man1/quorvalde-translator.1.gz"),
        QStringLiteral("usr/share/man/man1/quorvalde-translator-demo-package.1.gz"),
        QStringLiteral("usr/share/doc/quorvalde-translator/copyright"),
        QStringLiteral("usr/share/doc/quorvalde-translator/changelog.Debian.gz"),
    };
    for (const char *library :
         {"libsynaptra.so.1", "libsynaptra_inference.so", "libmerovantia.so.1", "libqvweb.so",
          "libqvrecognizer.so", "libqvengine.so", "libqvspeech.so", "libqvaudio.so", "libqvpdf.so",
          "libqvmail.so", "libqvsound.so", "libqvunzip.so", "libqvsocket.so"})
        expected << privateLibrary(library);
    for (const char *size : {"16", "22", "24", "32", "48", "64", "128", "256", "512"})
        expected << QStringLiteral("usr/share/icons/hicolor/%1x%1/apps/quorvalde-translator.png")
                        .arg(QLatin1String(size));
    for (const QString &path : expected) {
        SCOPED_TRACE(path.toStdString());
        EXPECT_TRUE(QFileInfo(staged(path)).isFile());
    }

    // Nothing outside /usr, no development link, and every binary finds its libraries through
    // the install's own folders, none through the build tree.
    QStringList outside;
    QStringList binaries;
    QDirIterator all(QStringLiteral(QV_INSTALL_STAGE), QDir::Files | QDir::System | QDir::Hidden,
                     QDirIterator::Subdirectories);
    while (all.hasNext()) {
        const QString path = all.next();
        const QString relative = QDir(QStringLiteral(QV_INSTALL_STAGE)).relativeFilePath(path);
        if (!relative.startsWith(QLatin1String("usr/")))
            outside << relative;
        if (isElf(path))
            binaries << path;
    }
    EXPECT_EQ(outside.join(QLatin1Char(' ')).toStdString(), "");
    EXPECT_FALSE(QFileInfo::exists(staged(privateLibrary("libsynaptra.so"))));
    // The program, three tools, the engine with its inference layer, the backend client, ten modules.
    ASSERT_EQ(binaries.size(), 17) << binaries.join(QLatin1Char(' ')).toStdString();
    for (const QString &binary : binaries) {
        SCOPED_TRACE(binary.toStdString());
        const Outcome dynamic = runCommand(QStringLiteral("readelf"), {QStringLiteral("-d"), binary});
        ASSERT_EQ(dynamic.exitCode, 0) << dynamic.err.constData();
        EXPECT_FALSE(dynamic.out.contains(QV_BUILD_TREE)) << dynamic.out.constData();
        EXPECT_FALSE(dynamic.out.contains(QV_SOURCE_TREE)) << dynamic.out.constData();
        const Outcome libraries = runCommand(QStringLiteral("ldd"), {binary});
        EXPECT_FALSE(libraries.out.contains("not found")) << libraries.out.constData();
        EXPECT_FALSE(libraries.out.contains(QV_BUILD_TREE)) << libraries.out.constData();
    }
}

TEST(InstalledCopy, TheDesktopEntryAndMetainfoPassTheirValidatorsAndABrokenCopyDoesNot) {
    QTemporaryDir broken;
    ASSERT_TRUE(broken.isValid());
    // A broken copy of each: the validators must see what is wrong, or their pass means nothing.
    const auto brokenCopy = [&](const char *file, const QByteArray &from, const QByteArray &to) {
        QFile in(staged(QString::fromLatin1(file)));
        EXPECT_TRUE(in.open(QIODevice::ReadOnly));
        QByteArray text = in.readAll();
        EXPECT_TRUE(text.contains(from));
        text.replace(from, to);
        const QString copy = broken.filePath(QFileInfo(in.fileName()).fileName());
        QFile out(copy);
        EXPECT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(text);
        return copy;
    };
    const struct {
        const char *name;
        QString validator;
        QStringList arguments;
        bool valid;
    } cases[] = {
        {"a desktop entry without its type",
         QStringLiteral("desktop-file-validate"),
         {brokenCopy(kDesktopFile, "Type=Application\n", "")},
         false},
        {"metainfo without its summary",
         QStringLiteral("appstreamcli"),
         {QStringLiteral("validate"), QStringLiteral("--no-net"),
          brokenCopy(kMetainfoFile, "<summary>", "<summary_of>")},
         false},
        {"the installed desktop entry",
         QStringLiteral("desktop-file-validate"),
         {staged(QString::fromLatin1(kDesktopFile))},
         true},
        {"the installed metainfo",
         QStringLiteral("appstreamcli"),
         {QStringLiteral("validate"), QStringLiteral("--no-net"), staged(QString::fromLatin1(kMetainfoFile))},
         true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const Outcome validation = runCommand(c.validator, c.arguments);
        EXPECT_EQ(validation.exitCode == 0, c.valid)
            << validation.out.constData() << validation.err.constData();
        // desktop-file-validate passes with hints and warnings printed: the installed one has none.
        if (c.valid) {
            EXPECT_FALSE(validation.out.contains("warning") || validation.err.contains("warning"))
                << validation.out.constData() << validation.err.constData();
        }
    }

    // The entry starts the installed program by name and shows the installed icon.
    const QMap<QString, QString> entry =
        desktopGroups(staged(QString::fromLatin1(kDesktopFile))).value(QStringLiteral("Desktop Entry"));
    EXPECT_EQ(entry.value(QStringLiteral("Exec")), QStringLiteral("quorvalde-translator"));
    const QString icon = entry.value(QStringLiteral("Icon"));
    EXPECT_FALSE(icon.isEmpty());
    EXPECT_TRUE(
        QFileInfo::exists(staged(QStringLiteral("usr/share/icons/hicolor/48x48/apps/%1.png").arg(icon))));
    EXPECT_EQ(desktopActions(staged(QString::fromLatin1(kDesktopFile))).keys(),
              (QStringList{QStringLiteral("show-agent"), QStringLiteral("translate-web-page")}));
}

TEST(InstalledCopy, ItsToolsAnswerHelpAndRefuseWhatTheyDoNotKnow) {
    const struct {
        const char *name;
        const char *tool;
        QStringList arguments;
        int exitCode;
        const char *stream; // "out" or "err": where the usage goes
    } cases[] = {
        {"the demo tool, an unknown command",
         "usr/bin/quorvalde-translator-demo-package",
         {QStringLiteral("frobnicate")},
         2,
         "err"},
        {"the demo tool, an option without its value",
         "usr/bin/quorvalde-translator-demo-package",
         {QStringLiteral("make"), QStringLiteral("--output")},
         2,
         "err"},
        {"the package maker, an unknown command",
         "usr/libexec/quorvalde-translator/package-maker",
         {QStringLiteral("frobnicate")},
         2,
         "err"},
        {"the model maker, nothing asked", "usr/libexec/quorvalde-translator/model-maker", {}, 2, "err"},
        {"the demo tool", "usr/bin/quorvalde-translator-demo-package", {QStringLiteral("--help")}, 0, "out"},
        {"the demo tool's command",
         "usr/bin/quorvalde-translator-demo-package",
         {QStringLiteral("make"), QStringLiteral("--help")},
         0,
         "out"},
        {"the package maker",
         "usr/libexec/quorvalde-translator/package-maker",
         {QStringLiteral("--help")},
         0,
         "out"},
        {"the model maker", "usr/libexec/quorvalde-translator/model-maker", {QStringLiteral("-h")}, 0, "out"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const Outcome answer = runCommand(staged(QString::fromLatin1(c.tool)), c.arguments);
        EXPECT_EQ(answer.exitCode, c.exitCode) << answer.err.constData();
        const QByteArray &usage = std::string(c.stream) == "out" ? answer.out : answer.err;
        EXPECT_TRUE(usage.startsWith("usage: ")) << usage.constData();
    }
    // The link in bin is the user's command: the usage names it.
    EXPECT_TRUE(runCommand(staged(QStringLiteral("usr/bin/quorvalde-translator-demo-package")),
                           {QStringLiteral("--help")})
                    .out.contains("quorvalde-translator-demo-package make --output ZIP"));
}

TEST(InstalledCopy, StartedFromPathInAnotherFolderItTranslatesOfflineAndOpensNoPathOfTheBuild) {
    qvtest::closeInheritedDescriptorsOnExec();
    qvtest::XvfbSession x11;
    if (!x11.isRunning())
        GTEST_SKIP() << "no Xvfb";
    qvtest::PrivateBus bus;
    ASSERT_TRUE(bus.isRunning());
    NotificationService notifications;
    QDBusConnection desktop = bus.connect(QStringLiteral("desktop"));
    ASSERT_TRUE(desktop.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &notifications,
                                       QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(desktop.registerService(QStringLiteral("org.freedesktop.Notifications")));
    QTemporaryDir home;
    QTemporaryDir folder;
    ASSERT_TRUE(home.isValid() && folder.isValid());
    const QProcessEnvironment environment = qvtest::programEnvironment({
        {QStringLiteral("HOME"), home.path()},
        {QStringLiteral("PATH"), staged(QStringLiteral("usr/bin")) + QStringLiteral(":/usr/bin:/bin")},
        {QStringLiteral("DISPLAY"), x11.display()},
        {QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.address()},
        {QStringLiteral("QV_NETWORK_STATUS"), QStringLiteral("offline")},
    });
    const auto shell = [&](const QString &command, int timeoutMs = 300000) {
        return runCommand(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), command}, environment,
                          folder.path(), timeoutMs);
    };

    // The demo package made and installed by the installed tool, from this folder.
    const Outcome made = shell(QStringLiteral("quorvalde-translator-demo-package make --output de.zip"));
    ASSERT_EQ(made.exitCode, 0) << made.err.constData();
    const Outcome installed =
        shell(QStringLiteral("quorvalde-translator-demo-package install --archive de.zip"));
    ASSERT_EQ(installed.exitCode, 0) << installed.err.constData();

    QProcess program;
    program.setProcessEnvironment(environment);
    program.setWorkingDirectory(folder.path());
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.start(QStringLiteral("/bin/sh"),
                  {QStringLiteral("-c"), QStringLiteral("exec quorvalde-translator --show-translate \"$0\""),
                   QString::fromLatin1(kOriginal)});
    ASSERT_TRUE(program.waitForStarted(30000));
    const QString store =
        QDir(home.path())
            .filePath(QStringLiteral(".local/share/Quorvalde/quorvalde-translator/default.sqlite"));
    const QString translated =
        qvtest::waitForTranslation(store, QString::fromLatin1(kOriginal), program, 120000);
    EXPECT_TRUE(translated.contains(QLatin1String("Baum"))) << translated.toStdString();

    // Its window is on the screen.
    EXPECT_TRUE(qvtest::waitUntil(
        [&] {
            return runCommand(QStringLiteral("xwininfo"), {QStringLiteral("-root"), QStringLiteral("-tree"),
                                                           QStringLiteral("-display"), x11.display()})
                .out.contains("\"Quorvalde Translator");
        },
        30000));

    // The desktop entry's actions reach the running program: nothing copied, so the web page
    // action says so through the desktop's notifications.
    const QMap<QString, QString> actions = desktopActions(staged(QString::fromLatin1(kDesktopFile)));
    for (auto it = actions.cbegin(); it != actions.cend(); ++it) {
        SCOPED_TRACE(it.key().toStdString());
        const Outcome action = shell(it.value(), 30000);
        EXPECT_EQ(action.exitCode, 0) << action.err.constData();
    }
    EXPECT_TRUE(qvtest::waitUntil(
        [&] { return notifications.bodies.contains(QStringLiteral("The clipboard holds no web address")); },
        10000))
        << notifications.bodies.join(QLatin1Char('\n')).toStdString();

    // The installed engine module did the work, and nothing of the build or source tree is open.
    const QStringList opened = qvtest::openedPaths(program.processId());
    EXPECT_TRUE(opened.contains(staged(privateLibrary("libqvengine.so"))))
        << opened.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(qvtest::pathsBelow(opened, {QStringLiteral(QV_BUILD_TREE), QStringLiteral(QV_SOURCE_TREE)})
                  .join(QLatin1Char('\n'))
                  .toStdString(),
              "");

    QString why;
    EXPECT_TRUE(qvtest::endsCleanlyOn(program, SIGTERM, &why)) << why.toStdString();
}

#include "InstalledCopyTest.moc"
