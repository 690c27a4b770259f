#include "ui/foundation/QVMInterfaceFactory.h"
#include "UiTestSupport.h"
#include "ui/foundation/QVMBaseVC.h"
#include "ui/window/QVGeneralWindowController.h"

#include <QMainWindow>
#include <gtest/gtest.h>

namespace {

class FactoryTestController : public QVMBaseVC {
    Q_OBJECT
public:
    using QVMBaseVC::QVMBaseVC;
};

} // namespace

TEST(QVMInterfaceFactory, UnknownNamesAreErrorsAndReachTheCrashReporter) {
    uitest::ScopedCrashReporter reporter;
    QVMInterfaceFactory factory;
    ASSERT_FALSE(factory.registerController<FactoryTestController>(QStringLiteral("QVMIntro"),
                                                                   QStringLiteral("QVMIntroVC")));
    const struct {
        const char *storyboard;
        const char *identifier;
        QVMInterfaceFactory::ErrorCode code;
    } cases[] = {
        {"Settings", "QVMSettingsWindowController", QVMInterfaceFactory::UnknownStoryboard},
        {"QVMIntro", "QVMRegistrationOfferViewController", QVMInterfaceFactory::UnknownIdentifier},
        {"", "", QVMInterfaceFactory::UnknownStoryboard},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.identifier);
        platform::Error error;
        EXPECT_EQ(factory.instantiateController(QString::fromLatin1(c.storyboard),
                                                QString::fromLatin1(c.identifier), nullptr, &error),
                  nullptr);
        EXPECT_EQ(error.domain(), QString::fromLatin1(QVMInterfaceFactory::kErrorDomain));
        EXPECT_EQ(error.code(), c.code);
    }
    platform::Error error;
    QVMInterfaceFactory::SegueKind kind;
    EXPECT_EQ(factory.instantiateSegueDestination(QStringLiteral("kWebPageControllerSegue"), nullptr, &kind,
                                                  &error),
              nullptr);
    EXPECT_EQ(error.code(), QVMInterfaceFactory::UnknownIdentifier);
    EXPECT_EQ(factory.instantiateNib(QStringLiteral("QVMOpenPanel"), nullptr, &error), nullptr);
    // No error pointer: still no crash, still reported.
    EXPECT_EQ(factory.instantiateController(QStringLiteral("Main"), QStringLiteral("Nothing")), nullptr);
    EXPECT_EQ(reporter.reporter->records.size(), 6);
}

TEST(QVMInterfaceFactory, RegisteredNamesMakeTheirClassWithTheParent) {
    QVMInterfaceFactory factory;
    QObject owner;
    ASSERT_FALSE(factory.registerController<FactoryTestController>(QStringLiteral("QVMIntro"),
                                                                   QStringLiteral("QVMIntroVC")));
    ASSERT_FALSE(factory.registerNib<FactoryTestController>(QStringLiteral("QVMOpenPanel")));
    ASSERT_FALSE(factory.registerSegue<FactoryTestController>(QStringLiteral("kSPhotoRecognitionFromGeneral"),
                                                              QVMInterfaceFactory::SegueKind::Modal));

    platform::Error error(QStringLiteral("stale"), 1);
    auto *intro = factory.instantiateController<FactoryTestController>(
        QStringLiteral("QVMIntro"), QStringLiteral("QVMIntroVC"), &owner, &error);
    ASSERT_NE(intro, nullptr);
    EXPECT_TRUE(error.isNull());
    EXPECT_EQ(intro->parent(), &owner);
    EXPECT_EQ(intro->className(), QStringLiteral("FactoryTestController"));
    EXPECT_NE(factory.instantiateNib<FactoryTestController>(QStringLiteral("QVMOpenPanel"), &owner), nullptr);
    QVMInterfaceFactory::SegueKind kind = QVMInterfaceFactory::SegueKind::Show;
    EXPECT_NE(
        factory.instantiateSegueDestination(QStringLiteral("kSPhotoRecognitionFromGeneral"), &owner, &kind),
        nullptr);
    EXPECT_EQ(kind, QVMInterfaceFactory::SegueKind::Modal);
    EXPECT_EQ(owner.findChildren<FactoryTestController *>().size(), 3);

    factory.removeController(QStringLiteral("QVMIntro"), QStringLiteral("QVMIntroVC"));
    EXPECT_FALSE(factory.hasController(QStringLiteral("QVMIntro"), QStringLiteral("QVMIntroVC")));
}

TEST(QVMInterfaceFactory, RefusesDuplicatesEmptyRegistrationsFailedCreatorsAndWrongClasses) {
    uitest::ScopedCrashReporter reporter;
    QVMInterfaceFactory factory;
    ASSERT_FALSE(
        factory.registerController<FactoryTestController>(QStringLiteral("Main"), QStringLiteral("A")));
    EXPECT_EQ(
        factory.registerController<FactoryTestController>(QStringLiteral("Main"), QStringLiteral("A")).code(),
        QVMInterfaceFactory::AlreadyRegistered);
    EXPECT_EQ(factory.registerController(QStringLiteral("Main"), QStringLiteral("B"), {}).code(),
              QVMInterfaceFactory::EmptyRegistration);
    EXPECT_EQ(factory
                  .registerSegue(
                      QString(), [](QObject *) { return new QObject; }, QVMInterfaceFactory::SegueKind::Show)
                  .code(),
              QVMInterfaceFactory::EmptyRegistration);
    ASSERT_FALSE(factory.registerController(QStringLiteral("Main"), QStringLiteral("Null"),
                                            [](QObject *) { return nullptr; }));

    platform::Error error;
    EXPECT_EQ(factory.instantiateController(QStringLiteral("Main"), QStringLiteral("Null"), nullptr, &error),
              nullptr);
    EXPECT_EQ(error.code(), QVMInterfaceFactory::CreationFailed);

    QPointer<QObject> made;
    ASSERT_FALSE(
        factory.registerController(QStringLiteral("Main"), QStringLiteral("Plain"), [&made](QObject *parent) {
            made = new QObject(parent);
            return made.data();
        }));
    EXPECT_EQ(factory.instantiateController<QVMBaseVC>(QStringLiteral("Main"), QStringLiteral("Plain"),
                                                       nullptr, &error),
              nullptr);
    EXPECT_EQ(error.code(), QVMInterfaceFactory::WrongType);
    EXPECT_TRUE(made.isNull()); // not leaked
}

TEST(QVMInterfaceFactory, SharedFactoryKnowsTheMainWindow) {
    platform::Error error;
    auto *controller = QVMInterfaceFactory::shared().instantiateController<QVGeneralWindowController>(
        QStringLiteral("Main"), QStringLiteral("QVGeneralWindowController"), nullptr, &error);
    ASSERT_NE(controller, nullptr) << error.localizedDescription().toStdString();
    EXPECT_NE(controller->window(), nullptr);
    delete controller;
}

#include "QVMInterfaceFactoryTest.moc"
