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
//   m_availability.setWanted(m_shareButton, hasResult, tr("there is no translation yet"));
//   QVMControlAvailability::setEnabled(m_clearButton, hasText, tr("both panels are empty"));
//
// A disabled control's tooltip says why: "<name>: <reason>".
class QVMControlAvailability : public QObject {
    Q_OBJECT
public:
    using Probe = std::function<bool()>;

    explicit QVMControlAvailability(QObject *parent = nullptr);
    ~QVMControlAvailability() override;

    // The control starts wanted; its tooltip while installed is the one it has now. Where
    // something else than a window is missing (an address), missingReason says what.
    void add(QAbstractButton *control, Probe installed, const QString &missingReason = {});
    // reason: why the control is off while not wanted.
    void setWanted(QAbstractButton *control, bool enabled, const QString &reason = {});
    bool isInstalled(QAbstractButton *control) const;
    // Looks at every probe again and applies the states.
    void refresh();

    // "<name>: its window does not exist yet."
    static QString missingToolTip(const QString &controlName);
    static constexpr const char *kMissingFormat = "_loc_control_window_missing";
    // "<name>: <reason>", the tooltip of a control that is off.
    static QString disabledToolTip(const QString &controlName, const QString &reason);
    static constexpr const char *kDisabledFormat = "_loc_control_disabled_format";

    // For controls no window stands behind: enables the control, or disables it with a
    // tooltip saying why; its own tooltip comes back when it is enabled again.
    static void setEnabled(QWidget *control, bool enabled, const QString &reason);

private:
    struct Entry {
        QPointer<QAbstractButton> control;
        Probe installed;
        QString toolTip;
        QString missingReason;
        QString reason;
        bool wanted = true;
    };
    void apply(Entry &entry);

    QHash<QAbstractButton *, Entry> m_entries;
    quint64 m_factoryObserver = 0;
};
