#include "QVMShortcutsSettingsViewController.h"

#include "QVMKeyboardShortcutsService.h"

#include "platform/UserDefaults.h"
#include "services/shortcuts/QVMDesktopSettingsShortcutBackend.h"
#include "ui/foundation/QVMUtils.h"

#include <QCheckBox>
#include <QClipboard>
#include <QFormLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeySequenceEdit>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using Service = QVMKeyboardShortcutsService;

QVMShortcutsSettingsViewController::QVMShortcutsSettingsViewController(QObject *parent) : QVMBaseVC(parent) {}

QString QVMShortcutsSettingsViewController::commandsText() {
    return QStringList{
        QVMDesktopSettingsShortcutBackend::commandForAction(QLatin1String(Service::kIdTranslateWebPage)),
        QVMDesktopSettingsShortcutBackend::commandForAction(QLatin1String(Service::kIdShowAgent))}
        .join(QLatin1Char('\n'));
}

QWidget *QVMShortcutsSettingsViewController::loadView() {
    auto *root = new QWidget;
    root->setObjectName(QStringLiteral("QVMShortcutsSettingsView"));
    auto *layout = new QVBoxLayout(root);
    auto *form = new QFormLayout;

    m_customEnabled = new QCheckBox(tr("Translate the copied web page with my shortcut"));
    m_customEnabled->setObjectName(QStringLiteral("customShortcutEnabled"));
    auto *recorderRow = new QHBoxLayout;
    m_recorder = new QKeySequenceEdit;
    m_recorder->setObjectName(QStringLiteral("customShortcut"));
    m_reset = new QPushButton(tr("Default"));
    m_reset->setObjectName(QStringLiteral("resetShortcut"));
    m_reset->setToolTip(tr("Go back to %1")
                            .arg(QKeySequence::fromString(QLatin1String(Service::kDefaultCustomShortcut))
                                     .toString(QKeySequence::NativeText)));
    m_reset->setAccessibleName(m_reset->toolTip());
    recorderRow->addWidget(m_recorder, 1);
    recorderRow->addWidget(m_reset);
    m_hardcodedEnabled = new QCheckBox(tr("Fixed shortcuts"));
    m_hardcodedEnabled->setObjectName(QStringLiteral("hardcodedShortcutEnabled"));
    m_fixedKeys =
        new QLabel(tr("%1 translates the copied web page, %2 opens the translator with the copied text")
                       .arg(QKeySequence::fromString(QLatin1String(Service::kTranslateWebPageLeft))
                                .toString(QKeySequence::NativeText),
                            QKeySequence::fromString(QLatin1String(Service::kShowAgentKeys))
                                .toString(QKeySequence::NativeText)));
    m_fixedKeys->setWordWrap(true);
    form->addRow(m_customEnabled);
    form->addRow(tr("Shortcut:"), recorderRow);
    form->addRow(m_hardcodedEnabled);
    form->addRow(m_fixedKeys);
    layout->addLayout(form);

    m_status = new QLabel;
    m_status->setObjectName(QStringLiteral("status"));
    m_status->setWordWrap(true);
    m_bound = new QLabel;
    m_bound->setObjectName(QStringLiteral("bound"));
    m_bound->setWordWrap(true);
    m_commands = new QLabel;
    m_commands->setObjectName(QStringLiteral("commands"));
    m_commands->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_copy = new QPushButton(tr("Copy"));
    m_copy->setObjectName(QStringLiteral("copyCommands"));
    m_copy->setToolTip(tr("Copy the commands to bind in your desktop's keyboard settings"));
    m_copy->setAccessibleName(m_copy->toolTip());
    m_hint = new QLabel(tr(Service::kWaylandHint));
    m_hint->setObjectName(QStringLiteral("waylandHint"));
    layout->addWidget(m_status);
    layout->addWidget(m_bound);
    auto *commandRow = new QHBoxLayout;
    commandRow->addWidget(m_commands, 1);
    commandRow->addWidget(m_copy, 0, Qt::AlignTop);
    layout->addLayout(commandRow);
    layout->addWidget(m_hint);
    layout->addStretch(1);

    for (QWidget *control : std::initializer_list<QWidget *>{m_customEnabled, m_hardcodedEnabled}) {
        control->setToolTip(static_cast<QCheckBox *>(control)->text());
        control->setAccessibleName(control->toolTip());
    }
    m_recorder->setToolTip(tr("Press the keys of your shortcut"));
    m_recorder->setAccessibleName(tr("Shortcut"));
    for (QLabel *label : {m_status, m_bound, m_commands, m_hint, m_fixedKeys})
        label->setAccessibleName(label->objectName());
    QWidget::setTabOrder(m_customEnabled, m_recorder);
    QWidget::setTabOrder(m_recorder, m_reset);
    QWidget::setTabOrder(m_reset, m_hardcodedEnabled);
    QWidget::setTabOrder(m_hardcodedEnabled, m_copy);
    return root;
}

void QVMShortcutsSettingsViewController::viewDidLoad() {
    platform::UserDefaults &defaults = QVMUtils::sharedDefaults();
    Service &service = Service::sharedInstance();
    connect(m_customEnabled, &QCheckBox::toggled, this, [](bool on) {
        QVMUtils::sharedDefaults().setBool(on, QLatin1String(Service::kCustomShortcutEnabled));
    });
    connect(m_hardcodedEnabled, &QCheckBox::toggled, this, [](bool on) {
        QVMUtils::sharedDefaults().setBool(on, QLatin1String(Service::kHardcodedShortcutEnabled));
    });
    connect(m_recorder, &QKeySequenceEdit::editingFinished, this,
            &QVMShortcutsSettingsViewController::recorded);
    connect(m_reset, &QPushButton::clicked, this,
            [] { QVMUtils::sharedDefaults().removeObject(QLatin1String(Service::kCustomShortcut)); });
    connect(m_copy, &QPushButton::clicked, this,
            [] { QGuiApplication::clipboard()->setText(commandsText()); });
    connect(&defaults, &platform::UserDefaults::changed, this, &QVMShortcutsSettingsViewController::update);
    connect(&service, &Service::stateChanged, this, &QVMShortcutsSettingsViewController::update);
    update();
}

// Only the first combination counts: a global shortcut is one chord.
void QVMShortcutsSettingsViewController::recorded() {
    const QKeySequence keys = m_recorder->keySequence();
    if (keys.isEmpty())
        return;
    const QKeySequence first(keys[0]);
    QVMUtils::sharedDefaults().setObject(first.toString(QKeySequence::PortableText),
                                         QLatin1String(Service::kCustomShortcut));
}

void QVMShortcutsSettingsViewController::update() {
    if (!isViewLoaded())
        return;
    platform::UserDefaults &defaults = QVMUtils::sharedDefaults();
    Service &service = Service::sharedInstance();
    const bool custom = defaults.boolForKey(QLatin1String(Service::kCustomShortcutEnabled));
    const QSignalBlocker blockCustom(m_customEnabled);
    const QSignalBlocker blockFixed(m_hardcodedEnabled);
    m_customEnabled->setChecked(custom);
    m_hardcodedEnabled->setChecked(defaults.boolForKey(QLatin1String(Service::kHardcodedShortcutEnabled)));
    if (!m_recorder->hasFocus())
        m_recorder->setKeySequence(service.customShortcut());
    m_recorder->setEnabled(custom);
    m_reset->setEnabled(custom);
    const QString why = tr("Turn on the shortcut above to change it");
    m_recorder->setToolTip(custom ? tr("Press the keys of your shortcut") : why);
    m_reset->setToolTip(custom ? m_reset->accessibleName() : why);

    QStringList status{service.statusText()};
    status += service.conflictLines();
    m_status->setText(status.join(QLatin1Char('\n')));

    const QVMGlobalShortcutBackend *backend = service.backend();
    const auto kind = backend ? backend->kind() : QVMGlobalShortcutBackend::Kind::DesktopSettings;
    QStringList bound;
    if (backend && kind == QVMGlobalShortcutBackend::Kind::DesktopPortal) {
        const QMap<QString, QString> triggers = backend->boundTriggers();
        for (auto it = triggers.cbegin(); it != triggers.cend(); ++it)
            bound.append(tr("%1: %2").arg(it.key(), it.value().isEmpty() ? tr("not bound") : it.value()));
        if (bound.isEmpty())
            bound.append(tr("The desktop has not bound the shortcuts yet"));
        else
            bound.prepend(tr("The desktop decides the keys; it bound:"));
    }
    m_bound->setText(bound.join(QLatin1Char('\n')));
    m_bound->setVisible(!bound.isEmpty());
    const bool commands = kind == QVMGlobalShortcutBackend::Kind::DesktopSettings;
    m_commands->setText(tr("Bind these commands to keys in your desktop's keyboard settings:") +
                        QLatin1Char('\n') + commandsText());
    m_commands->setVisible(commands);
    m_copy->setVisible(commands);
    m_hint->setVisible(Service::isWaylandSession());
}
