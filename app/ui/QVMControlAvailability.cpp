#include "QVMControlAvailability.h"

#include "QVMInterfaceFactory.h"

#include "core/localization/QVLocalizedString.h"
#include "platform/Format.h"
#include "platform/NotificationCenter.h"

#include <QAbstractButton>
#include <QGuiApplication>
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

void QVMControlAvailability::add(QAbstractButton *control, Probe installed) {
    Entry entry{control, std::move(installed), control->toolTip(), true};
    apply(m_entries.insert(control, entry).value());
}

void QVMControlAvailability::setWanted(QAbstractButton *control, bool enabled) {
    const auto it = m_entries.find(control);
    if (it == m_entries.end()) {
        control->setEnabled(enabled);
        return;
    }
    it->wanted = enabled;
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
    entry.control->setToolTip(installed ? entry.toolTip : missingToolTip(entry.control->accessibleName()));
}

QString QVMControlAvailability::missingToolTip(const QString &controlName) {
    return platform::format(QVLocalizedString(QString::fromLatin1(kMissingFormat)), controlName);
}
