#include "ITSwitchAccessible.h"

#include "ITSwitch.h"

namespace {

QAccessibleInterface *makeAccessible(const QString &className, QObject *object) {
    if (className == QLatin1String("ITSwitch"))
        if (auto *button = qobject_cast<ITSwitch *>(object))
            return new ITSwitchAccessible(button);
    return nullptr;
}

} // namespace

ITSwitchAccessible::ITSwitchAccessible(ITSwitch *button) : QAccessibleWidget(button, QAccessible::CheckBox) {}

void ITSwitchAccessible::installFactory() {
    static const bool installed = [] {
        QAccessible::installFactory(makeAccessible);
        return true;
    }();
    Q_UNUSED(installed)
}

ITSwitch *ITSwitchAccessible::button() const {
    return static_cast<ITSwitch *>(widget());
}

QAccessible::State ITSwitchAccessible::state() const {
    QAccessible::State state = QAccessibleWidget::state();
    state.checkable = true;
    state.checked = button()->isChecked();
    return state;
}

QString ITSwitchAccessible::text(QAccessible::Text type) const {
    if (type == QAccessible::Value)
        return button()->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
    return QAccessibleWidget::text(type);
}

QStringList ITSwitchAccessible::actionNames() const {
    QStringList names = QAccessibleWidget::actionNames();
    if (button()->isEnabled())
        names << pressAction() << toggleAction();
    return names;
}

void ITSwitchAccessible::doAction(const QString &actionName) {
    if ((actionName == pressAction() || actionName == toggleAction()) && button()->isEnabled()) {
        button()->performPress();
        return;
    }
    QAccessibleWidget::doAction(actionName);
}
