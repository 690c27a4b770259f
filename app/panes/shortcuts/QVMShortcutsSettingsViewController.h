#pragma once

#include "ui/foundation/QVMBaseVC.h"

class QCheckBox;
class QKeySequenceEdit;
class QLabel;
class QPushButton;

// The settings tab of the global shortcuts: a recorder for the user's own
// shortcut, a switch for it and one for the two fixed ones, which back end
// serves the keys and what conflicts, and, where the user binds the keys in
// the desktop's settings, the exact commands with a copy button.
class QVMShortcutsSettingsViewController : public QVMBaseVC {
    Q_OBJECT
public:
    explicit QVMShortcutsSettingsViewController(QObject *parent = nullptr);

    QKeySequenceEdit *recorder() const { return m_recorder; }
    QCheckBox *customEnabledBox() const { return m_customEnabled; }
    QCheckBox *hardcodedEnabledBox() const { return m_hardcodedEnabled; }
    QLabel *statusLabel() const { return m_status; }
    QLabel *commandsLabel() const { return m_commands; }
    QLabel *boundLabel() const { return m_bound; }
    QPushButton *copyButton() const { return m_copy; }
    // The commands a desktop binds, one a line.
    static QString commandsText();

protected:
    QWidget *loadView() override;
    void viewDidLoad() override;

private:
    void update();
    void recorded();

    QKeySequenceEdit *m_recorder = nullptr;
    QPushButton *m_reset = nullptr;
    QCheckBox *m_customEnabled = nullptr;
    QCheckBox *m_hardcodedEnabled = nullptr;
    QLabel *m_fixedKeys = nullptr;
    QLabel *m_status = nullptr;
    QLabel *m_bound = nullptr;
    QLabel *m_commands = nullptr;
    QPushButton *m_copy = nullptr;
    QLabel *m_hint = nullptr;
};
