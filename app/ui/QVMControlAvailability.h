#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class QAbstractButton;

// Keeps a control disabled, with a tooltip saying its window does not exist
// yet, while nothing is installed behind it (a hook of QVMInterfaceHooks, a
// name in QVMInterfaceFactory). The owner states when it wants the control
// enabled (a result is shown, the languages allow it); the control is enabled
// only when both hold, so a window registered later enables its control with
// no change to the owner. Installs are looked at again when the factory
// changes and whenever a window of the program becomes active. Main thread.
//
//   m_availability.add(m_shareButton, [] { return bool(QVMInterfaceHooks::shared().onShare); });
//   m_availability.setWanted(m_shareButton, hasResult);
class QVMControlAvailability : public QObject {
    Q_OBJECT
public:
    using Probe = std::function<bool()>;

    explicit QVMControlAvailability(QObject *parent = nullptr);
    ~QVMControlAvailability() override;

    // The control starts wanted; its tooltip while installed is the one it has now.
    void add(QAbstractButton *control, Probe installed);
    void setWanted(QAbstractButton *control, bool enabled);
    bool isInstalled(QAbstractButton *control) const;
    // Looks at every probe again and applies the states.
    void refresh();

    // "<name>: its window does not exist yet."
    static QString missingToolTip(const QString &controlName);
    static constexpr const char *kMissingFormat = "_loc_control_window_missing";

private:
    struct Entry {
        QPointer<QAbstractButton> control;
        Probe installed;
        QString toolTip;
        bool wanted = true;
    };
    void apply(Entry &entry);

    QHash<QAbstractButton *, Entry> m_entries;
    quint64 m_factoryObserver = 0;
};
