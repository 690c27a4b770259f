#pragma once

#include <QAccessibleWidget>

class ITSwitch;

// What assistive tools see of a switch: a check box with its state, whose
// press and toggle actions change it as the user would (the action is sent).
class ITSwitchAccessible : public QAccessibleWidget {
public:
    explicit ITSwitchAccessible(ITSwitch *button);

    // Installed once; answers for every ITSwitch.
    static void installFactory();

    QAccessible::State state() const override;
    QString text(QAccessible::Text type) const override;
    QStringList actionNames() const override;
    void doAction(const QString &actionName) override;

private:
    ITSwitch *button() const;
};
