#pragma once

#include "platform/Error.h"

#include <QHash>
#include <QObject>
#include <QString>

#include <functional>

// Makes windows and view controllers by the names the code asks for: a
// storyboard name and an identifier ("Main" / "QVGeneralWindowController"),
// a nib name ("QVMOpenPanel"), or a segue identifier ("kWebPageControllerSegue").
// Widgets are built in C++ by each class; this is only the name table. A name
// nobody registered is an error value, never a crash. Main thread only.
//
// 1. Register each class once: the foundation's own windows in
//    QVMInterfaceCatalogue.cpp, every pane in startup/QVMInterfaceHookCatalogue.cpp
//    (a static library drops files nothing references, so registrations are
//    not scattered):
//
//   factory.registerController<QVMIntroVC>("QVMIntro", "QVMIntroVC");
//   factory.registerNib<QVMOpenPanel>("QVMOpenPanel");
//   factory.registerSegue<QVMWebPageWindowController>("kWebPageControllerSegue",
//                                                     QVMInterfaceFactory::SegueKind::Show);
//
// 2. Instantiate (the caller owns the result, or its parent does):
//
//   platform::Error error;
//   auto *intro = QVMInterfaceFactory::shared().instantiateController<QVMIntroVC>(
//       "QVMIntro", "QVMIntroVC", this, &error);
//   if (!intro) { DevLog("%@", error.localizedDescription()); return; }
//
// 3. Segues run from a view controller: QVMBaseVC::performSegueWithIdentifier.
class QVMInterfaceFactory {
public:
    using Creator = std::function<QObject *(QObject *parent)>;
    // Show: the destination gets its own window. Modal: presented as a modal window.
    enum class SegueKind { Show, Modal };

    static constexpr const char *kErrorDomain = "QVMInterfaceFactory";
    // Posted on the default centre after every registration or removal.
    static constexpr const char *kDidChangeNotification = "QVMInterfaceFactoryDidChangeNotification";
    enum ErrorCode {
        UnknownStoryboard = 1,
        UnknownIdentifier = 2,
        CreationFailed = 3, // the creator made nothing
        WrongType = 4,      // made, but not of the class the caller asked for
        AlreadyRegistered = 5,
        EmptyRegistration = 6, // no name or no creator
    };

    static QVMInterfaceFactory &shared();
    // An empty table (tests); shared() starts with the built-in catalogue.
    QVMInterfaceFactory() = default;

    platform::Error registerController(const QString &storyboard, const QString &identifier, Creator creator);
    platform::Error registerNib(const QString &nibName, Creator creator);
    platform::Error registerSegue(const QString &identifier, Creator destination, SegueKind kind);
    template <typename T>
    platform::Error registerController(const QString &storyboard, const QString &identifier) {
        return registerController(storyboard, identifier, [](QObject *parent) { return new T(parent); });
    }
    template <typename T> platform::Error registerNib(const QString &nibName) {
        return registerNib(nibName, [](QObject *parent) { return new T(parent); });
    }
    template <typename T> platform::Error registerSegue(const QString &identifier, SegueKind kind) {
        return registerSegue(
            identifier, [](QObject *parent) { return new T(parent); }, kind);
    }
    void removeController(const QString &storyboard, const QString &identifier);
    void removeSegue(const QString &identifier);

    bool hasController(const QString &storyboard, const QString &identifier) const;
    bool hasSegue(const QString &identifier) const;

    // Null with *error set when nothing is registered under the names or the creator fails.
    QObject *instantiateController(const QString &storyboard, const QString &identifier,
                                   QObject *parent = nullptr, platform::Error *error = nullptr) const;
    QObject *instantiateNib(const QString &nibName, QObject *parent = nullptr,
                            platform::Error *error = nullptr) const;
    QObject *instantiateSegueDestination(const QString &identifier, QObject *parent, SegueKind *kind,
                                         platform::Error *error = nullptr) const;

    // The same, refusing (and deleting) an object of another class.
    template <typename T>
    T *instantiateController(const QString &storyboard, const QString &identifier, QObject *parent = nullptr,
                             platform::Error *error = nullptr) const {
        return checkedCast<T>(instantiateController(storyboard, identifier, parent, error), identifier,
                              error);
    }
    template <typename T>
    T *instantiateNib(const QString &nibName, QObject *parent = nullptr,
                      platform::Error *error = nullptr) const {
        return checkedCast<T>(instantiateNib(nibName, parent, error), nibName, error);
    }

private:
    template <typename T>
    static T *checkedCast(QObject *object, const QString &name, platform::Error *error) {
        if (!object)
            return nullptr;
        if (T *typed = qobject_cast<T *>(object))
            return typed;
        delete object;
        report(wrongType(name, T::staticMetaObject.className()), error);
        return nullptr;
    }
    static platform::Error wrongType(const QString &name, const char *expected);
    static void report(const platform::Error &failure, platform::Error *error);
    QObject *create(const Creator &creator, const QString &name, QObject *parent,
                    platform::Error *error) const;
    void registerBuiltInInterfaces();

    struct Segue {
        Creator destination;
        SegueKind kind = SegueKind::Show;
    };
    QHash<QString, QHash<QString, Creator>> m_storyboards;
    QHash<QString, Segue> m_segues;
};
