#include "ui/foundation/QVMControlAvailability.h"

#include "ui/foundation/QVMInterfaceFactory.h"

#include "core/localization/QVLocalizedString.h"
#include "platform/Format.h"
#include "platform/NotificationCenter.h"

#include <QAbstractButton>
#include <QGuiApplication>
#include <QVariant>
#include <QWindow>

QVMControlAvailability::QVMControlAvailability(QObject *parent) : QObject(parent) {
    QPointer<QVMControlAvailability> self(this);
    m_factoryObserver = platform::NotificationCenter::defaultCenter().addObserver(
        QString::fromLatin1(QVMInterfaceFactory::kDidChangeNotification), [self](const QVariantMap &) {
            if (self)
                self->refresh();
        });
    // Hooks are plain members: a window becoming active is the cheap moment to look again.
    if (auto *app = qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        connect(app, &QGuiApplication::focusWindowChanged, this, &QVMControlAvailability::refresh);
}

QVMControlAvailability::~QVMControlAvailability() {
    platform::NotificationCenter::defaultCenter().removeObserver(m_factoryObserver);
}

void QVMControlAvailability::add(QAbstractButton *control, Probe installed, const QString &missingReason) {
    Entry entry{control, std::move(installed), control->toolTip(), missingReason, {}, true};
    apply(m_entries.insert(control, entry).value());
}

void QVMControlAvailability::setWanted(QAbstractButton *control, bool enabled, const QString &reason) {
    const auto it = m_entries.find(control);
    if (it == m_entries.end()) {
        setEnabled(control, enabled, reason);
        return;
    }
    it->wanted = enabled;
    it->reason = reason;
    apply(*it);
}

bool QVMControlAvailability::isInstalled(QAbstractButton *control) const {
    const auto it = m_entries.constFind(control);
    return it == m_entries.constEnd() || !it->installed || it->installed();
}

void QVMControlAvailability::refresh() {
    for (Entry &entry : m_entries)
        apply(entry);
}

void QVMControlAvailability::apply(Entry &entry) {
    if (!entry.control)
        return;
    const bool installed = !entry.installed || entry.installed();
    entry.control->setEnabled(installed && entry.wanted);
    const QString name = entry.control->accessibleName();
    if (!installed)
        entry.control->setToolTip(entry.missingReason.isEmpty() ? missingToolTip(name)
                                                                : disabledToolTip(name, entry.missingReason));
    else if (!entry.wanted && !entry.reason.isEmpty())
        entry.control->setToolTip(disabledToolTip(name, entry.reason));
    else
        entry.control->setToolTip(entry.toolTip);
}

QString QVMControlAvailability::disabledToolTip(const QString &controlName, const QString &reason) {
    return platform::format(QVLocalizedString(QString::fromLatin1(kDisabledFormat)), controlName, reason);
}

void QVMControlAvailability::setEnabled(QWidget *control, bool enabled, const QString &reason) {
    if (!control)
        return;
    static const char *const kOwnToolTip = "qvOwnToolTip";
    QVariant own = control->property(kOwnToolTip);
    if (!own.isValid()) {
        own = control->toolTip();
        control->setProperty(kOwnToolTip, own);
    }
    control->setEnabled(enabled);
    const QString name = control->accessibleName().isEmpty() ? own.toString() : control->accessibleName();
    control->setToolTip(enabled || reason.isEmpty() ? own.toString() : disabledToolTip(name, reason));
}

QString QVMControlAvailability::missingToolTip(const QString &controlName) {
    return platform::format(QVLocalizedString(QString::fromLatin1(kMissingFormat)), controlName);
}
