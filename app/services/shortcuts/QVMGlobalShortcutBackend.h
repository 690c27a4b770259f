#pragma once

#include <QKeySequence>
#include <QList>
#include <QMap>
#include <QObject>
#include <QStringList>

// One way of receiving keys pressed while another program is in front. The
// shortcut service hands it the whole set of shortcuts each time something
// changes; the back end says which one was pressed, which keys another
// program holds, and (with the desktop portal) which keys the desktop bound.
class QVMGlobalShortcutBackend : public QObject {
    Q_OBJECT
public:
    enum class Kind {
        X11KeyGrabs,     // an X11 session: keys grabbed on the root window
        DesktopPortal,   // the desktop portal's global shortcuts
        DesktopSettings, // commands the user binds in the desktop's keyboard settings
    };
    struct Shortcut {
        QString id;
        QKeySequence keys;
        QString description;
        bool operator==(const Shortcut &other) const {
            return id == other.id && keys == other.keys && description == other.description;
        }
    };

    using QObject::QObject;
    virtual Kind kind() const = 0;
    // Replaces every binding with these.
    virtual void setShortcuts(const QList<Shortcut> &shortcuts) = 0;
    // Ids whose keys another program holds.
    QStringList conflicts() const { return m_conflicts; }
    // What the desktop bound, id to a readable trigger (the portal only).
    QMap<QString, QString> boundTriggers() const { return m_bound; }

    static QString kindDescription(Kind kind);

signals:
    void activated(const QString &id);
    // Conflicts or the desktop's bindings changed.
    void stateChanged();

protected:
    void setConflicts(const QStringList &conflicts);
    void setBoundTriggers(const QMap<QString, QString> &bound);

private:
    QStringList m_conflicts;
    QMap<QString, QString> m_bound;
};
