// The web windows come from the web module, loaded on first use and bound to the
// program's own interface (one factory), while the program itself starts without the web
// engine or the text recognition library.
#include "startup/QVWebModule.h"
#include "startup/QVMInterfaceHookCatalogue.h"
#include "ui/foundation/QVMBaseVC.h"
#include "ui/foundation/QVMInterfaceFactory.h"
#include "ui/foundation/QVMInterfaceHooks.h"
#include "ui/main/QVMGeneralViewController.h"

#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>

#include <memory>

namespace {

bool webEngineMapped() {
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("libQt6WebEngineCore");
}

} // namespace

TEST(WebModule, TheProgramStartsWithoutWebOrRecognitionLibrariesAndTheModuleMakesItsWindowsOnFirstUse) {
    QProcess readelf;
    readelf.start(QStringLiteral("readelf"), {QStringLiteral("-d"), QStringLiteral(QV_APP_BINARY)});
    ASSERT_TRUE(readelf.waitForFinished(30000));
    const QByteArray dynamic = readelf.readAllStandardOutput();
    ASSERT_TRUE(dynamic.contains("libQt6Widgets")) << dynamic.constData();
    // Each loads with the first window or picture that needs it.
    for (const char *onDemand : {"WebEngine", "tesseract", "gomp"})
        EXPECT_FALSE(dynamic.contains(onDemand)) << "the program loads " << onDemand << " at start";

    QVMInterfaceHookCatalogue::install(QVMInterfaceFactory::shared(), QVMInterfaceHooks::shared());
    EXPECT_FALSE(QVWebModule::isLoaded());
    EXPECT_FALSE(webEngineMapped());
    EXPECT_EQ(QVWebModule::create(QStringLiteral("NoSuchWindow"), nullptr), nullptr);
    EXPECT_TRUE(QVWebModule::lastError().contains(QStringLiteral("NoSuchWindow")));

    QVMInterfaceFactory::SegueKind kind = QVMInterfaceFactory::SegueKind::Modal;
    std::unique_ptr<QObject> page(QVMInterfaceFactory::shared().instantiateSegueDestination(
        QString::fromLatin1(QVMGeneralViewController::kWebPageSegue), nullptr, &kind));
    ASSERT_NE(page, nullptr) << QVWebModule::lastError().toStdString();
    EXPECT_STREQ(page->metaObject()->className(), "QVMWebPageController");
    EXPECT_EQ(kind, QVMInterfaceFactory::SegueKind::Show);
    // Bound to the program's base class (one meta-object), not to a copy of its own.
    EXPECT_NE(qobject_cast<QVMBaseVC *>(page.get()), nullptr);
    EXPECT_TRUE(QVWebModule::isLoaded());
    EXPECT_TRUE(webEngineMapped());
}
