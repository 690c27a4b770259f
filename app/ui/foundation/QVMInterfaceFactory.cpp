#include "ui/foundation/QVMInterfaceFactory.h"

#include "core/DevLogger.h"
#include "platform/Format.h"
#include "platform/NotificationCenter.h"
#include "ui/foundation/QVMBaseVC.h"

namespace {

platform::Error factoryError(QVMInterfaceFactory::ErrorCode code, const QString &description) {
    return platform::Error(QString::fromLatin1(QVMInterfaceFactory::kErrorDomain), code, description);
}

// Controls that open a window by name follow what is registered.
void announceChange() {
    platform::NotificationCenter::defaultCenter().post(
        QString::fromLatin1(QVMInterfaceFactory::kDidChangeNotification));
}

} // namespace

QVMInterfaceFactory &QVMInterfaceFactory::shared() {
    static QVMInterfaceFactory *factory = [] {
        auto *created = new QVMInterfaceFactory;
        created->registerBuiltInInterfaces();
        return created;
    }();
    return *factory;
}

platform::Error QVMInterfaceFactory::registerController(const QString &storyboard, const QString &identifier,
                                                        Creator creator) {
    if (storyboard.isEmpty() || identifier.isEmpty() || !creator)
        return factoryError(EmptyRegistration,
                            QStringLiteral("An interface needs a storyboard, an identifier and a creator"));
    QHash<QString, Creator> &entries = m_storyboards[storyboard];
    if (entries.contains(identifier))
        return factoryError(AlreadyRegistered,
                            platform::format(QStringLiteral("\"%@\" is already registered in \"%@\""),
                                             identifier, storyboard));
    entries.insert(identifier, std::move(creator));
    announceChange();
    return {};
}

platform::Error QVMInterfaceFactory::registerNib(const QString &nibName, Creator creator) {
    return registerController(nibName, nibName, std::move(creator));
}

platform::Error QVMInterfaceFactory::registerSegue(const QString &identifier, Creator destination,
                                                   SegueKind kind) {
    if (identifier.isEmpty() || !destination)
        return factoryError(EmptyRegistration,
                            QStringLiteral("A segue needs an identifier and a destination"));
    if (m_segues.contains(identifier))
        return factoryError(
            AlreadyRegistered,
            platform::format(QStringLiteral("Segue \"%@\" is already registered"), identifier));
    m_segues.insert(identifier, Segue{std::move(destination), kind});
    announceChange();
    return {};
}

void QVMInterfaceFactory::removeController(const QString &storyboard, const QString &identifier) {
    auto entries = m_storyboards.find(storyboard);
    if (entries == m_storyboards.end())
        return;
    entries->remove(identifier);
    if (entries->isEmpty())
        m_storyboards.erase(entries);
    announceChange();
}

void QVMInterfaceFactory::removeSegue(const QString &identifier) {
    m_segues.remove(identifier);
    announceChange();
}

bool QVMInterfaceFactory::hasController(const QString &storyboard, const QString &identifier) const {
    return m_storyboards.value(storyboard).contains(identifier);
}

bool QVMInterfaceFactory::hasSegue(const QString &identifier) const {
    return m_segues.contains(identifier);
}

QObject *QVMInterfaceFactory::instantiateController(const QString &storyboard, const QString &identifier,
                                                    QObject *parent, platform::Error *error) const {
    const auto entries = m_storyboards.constFind(storyboard);
    if (entries == m_storyboards.constEnd()) {
        report(factoryError(UnknownStoryboard,
                            platform::format(QStringLiteral("No storyboard \"%@\""), storyboard)),
               error);
        return nullptr;
    }
    const auto creator = entries->constFind(identifier);
    if (creator == entries->constEnd()) {
        report(factoryError(UnknownIdentifier,
                            platform::format(QStringLiteral("No interface \"%@\" in storyboard \"%@\""),
                                             identifier, storyboard)),
               error);
        return nullptr;
    }
    return create(*creator, identifier, parent, error);
}

QObject *QVMInterfaceFactory::instantiateNib(const QString &nibName, QObject *parent,
                                             platform::Error *error) const {
    return instantiateController(nibName, nibName, parent, error);
}

QObject *QVMInterfaceFactory::instantiateSegueDestination(const QString &identifier, QObject *parent,
                                                          SegueKind *kind, platform::Error *error) const {
    const auto segue = m_segues.constFind(identifier);
    if (segue == m_segues.constEnd()) {
        report(
            factoryError(UnknownIdentifier, platform::format(QStringLiteral("No segue \"%@\""), identifier)),
            error);
        return nullptr;
    }
    if (kind)
        *kind = segue->kind;
    return create(segue->destination, identifier, parent, error);
}

QObject *QVMInterfaceFactory::create(const Creator &creator, const QString &name, QObject *parent,
                                     platform::Error *error) const {
    QObject *object = creator(parent);
    if (!object) {
        report(
            factoryError(CreationFailed, platform::format(QStringLiteral("\"%@\" could not be made"), name)),
            error);
        return nullptr;
    }
    // Learnt now, while the object is whole, for the line its destruction writes.
    if (auto *controller = qobject_cast<QVMBaseVC *>(object))
        controller->className();
    if (error)
        *error = {};
    return object;
}

platform::Error QVMInterfaceFactory::wrongType(const QString &name, const char *expected) {
    return factoryError(WrongType, platform::format(QStringLiteral("\"%@\" is not a %@"), name,
                                                    QString::fromLatin1(expected)));
}

void QVMInterfaceFactory::report(const platform::Error &failure, platform::Error *error) {
    // A missing name is a mistake in the program; it must reach the crash reporter, not just the caller.
    DevLogger::logError(failure, QStringLiteral("QVMInterfaceFactory"));
    if (error)
        *error = failure;
}
