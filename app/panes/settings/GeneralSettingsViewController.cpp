#include "GeneralSettingsViewController.h"

#include "core/DevLog.h"
#include "core/localization/DJLocalizationSystem.h"
#include "core/localization/QVLanguageNames.h"
#include "core/localization/QVLocalizedString.h"
#include "core/settings/QVAutostartEntry.h"
#include "core/settings/QVSettingsService.h"
#include "services/analytics/QVAnalyticsManager.h"
#include "services/languages/QVLanguageService.h"
#include "ui/adapters/QVMGeneralServices.h"
#include "ui/controls/CustomSliderCell.h"
#include "ui/controls/ITSwitch.h"
#include "ui/foundation/QVMInterfaceHooks.h"
#include "ui/foundation/QVMUtils.h"

#include "platform/MainQueue.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"

#include <QApplication>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QSlider>
#include <QTimer>

#include <algorithm>

namespace {

QString onOff(bool on) {
    return on ? QStringLiteral("on") : QStringLiteral("off");
}

void track(const QString &action, const QVariantMap &params) {
    QVMGeneralServices::shared().analytics().trackEvent(
        QString::fromLatin1(GeneralSettingsViewController::kCategory), action, params);
}

} // namespace

GeneralSettingsViewController::GeneralSettingsViewController(QObject *parent) : QVMBaseVC(parent) {}

QWidget *GeneralSettingsViewController::loadView() {
    auto *view = new QWidget;
    auto *form = new QFormLayout(view);
    form->setContentsMargins(24, 16, 24, 16);
    form->setVerticalSpacing(12);
    form->setHorizontalSpacing(16);
    form->setLabelAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    auto addRow = [&](const char *key, QWidget *control) {
        const QString text = QVLocalizedString(QString::fromLatin1(key));
        auto *label = new QLabel(text, view);
        label->setBuddy(control);
        control->setAccessibleName(text);
        if (control->toolTip().isEmpty())
            control->setToolTip(text);
        form->addRow(label, control);
    };

    m_voiceSpeedSlider = new QSlider(Qt::Horizontal, view);
    m_voiceSpeedSlider->setRange(0, kSliderMaximum);
    m_voiceSpeedSlider->setSingleStep(5);
    m_voiceSpeedSlider->setPageStep(10);
    m_voiceSpeedSlider->setMinimumWidth(200);
    m_voiceSpeedSlider->setFocusPolicy(Qt::StrongFocus);
    CustomSliderCell::install(m_voiceSpeedSlider);
    addRow("_loc_settings_speech_speed", m_voiceSpeedSlider);

    auto makeSwitch = [&](const char *key) {
        auto *button = new ITSwitch(view);
        addRow(key, button);
        return button;
    };
    m_autoSpeakButton = makeSwitch("_loc_settings_auto_speak");
    m_appMenuBarButton = makeSwitch("_loc_settings_menu_bar");
    m_startAutomaticallyButton = makeSwitch("_loc_settings_start_automatically");
    m_transliterationButton = makeSwitch("_loc_settings_transliteration");
    m_translateByEnterButton = makeSwitch("_loc_settings_translate_by_enter");
    m_highliteSentencesButton = makeSwitch("_loc_settings_highlight_sentences");

    m_languagesBox = new QComboBox(view);
    m_languagesBox->setMinimumWidth(200);
    addRow("_loc_settings_interface_language", m_languagesBox);

    m_speedTimer = new QTimer(this);
    m_speedTimer->setSingleShot(true);
    m_speedTimer->setInterval(kSpeedEventDelayMs);
    connect(m_speedTimer, &QTimer::timeout, this, &GeneralSettingsViewController::trackVoiceSpeed);
    return view;
}

void GeneralSettingsViewController::viewDidLoad() {
    m_languages = QVLanguageService::localizedLanguagesArray();
    // In their own names, in one order whatever the interface language.
    std::stable_sort(m_languages.begin(), m_languages.end(),
                     [](const QVLanguageRealm &a, const QVLanguageRealm &b) {
                         return ownName(a).localeAwareCompare(ownName(b)) < 0;
                     });
    lazyUI();
    connect(m_voiceSpeedSlider, &QSlider::valueChanged, this,
            &GeneralSettingsViewController::onVoiceSpeedSliderValueChanged);
    connect(m_autoSpeakButton, &ITSwitch::clicked, this, &GeneralSettingsViewController::onAutoSpeek);
    connect(m_appMenuBarButton, &ITSwitch::clicked, this, &GeneralSettingsViewController::onShowAppMenuBar);
    connect(m_startAutomaticallyButton, &ITSwitch::clicked, this,
            &GeneralSettingsViewController::onStatAutomatically);
    connect(m_transliterationButton, &ITSwitch::clicked, this,
            &GeneralSettingsViewController::onShowTransliteration);
    connect(m_translateByEnterButton, &ITSwitch::clicked, this,
            &GeneralSettingsViewController::onTranslateByEnter);
    connect(m_highliteSentencesButton, &ITSwitch::clicked, this,
            &GeneralSettingsViewController::onHighlightSentences);
    connect(m_languagesBox, qOverload<int>(&QComboBox::activated), this,
            &GeneralSettingsViewController::comboBoxSelectionDidChange);
}

void GeneralSettingsViewController::viewDidAppear() {
    QVAnalyticsManager::trackViewsFromArray({QString::fromLatin1(kScreenName)});
}

void GeneralSettingsViewController::lazyUI() {
    const QVTranslateSettings record = QVSettingsService::defaultSettings();
    {
        const QSignalBlocker quiet(m_voiceSpeedSlider);
        // A stored speed outside 0-1 shows at the nearest end.
        const double speed = qBound(0.0, double(record.speedOfSpeech()), 1.0);
        m_voiceSpeedSlider->setValue(qRound(speed * kSliderMaximum));
    }
    const QVMInterfaceHooks &hooks = QVMInterfaceHooks::shared();
    const bool trayAvailable = bool(hooks.isStatusItemVisible) && bool(hooks.setStatusItemVisible);
    m_appMenuBarButton->setEnabled(trayAvailable);
    m_appMenuBarButton->setChecked(trayAvailable && hooks.isStatusItemVisible());
    if (!trayAvailable)
        m_appMenuBarButton->setToolTip(QVLocalizedString(QStringLiteral("_loc_settings_tray_unavailable")));
    m_startAutomaticallyButton->bindToDefaultsKey(QString::fromLatin1(kLoginEnabled));
    m_transliterationButton->bindToDefaultsKey(QString::fromLatin1(kTransliterationSetting));
    m_translateByEnterButton->bindToDefaultsKey(QString::fromLatin1(kTranslateByEnterSetting));
    m_highliteSentencesButton->bindToDefaultsKey(QString::fromLatin1(kHighlightTranslatedSentences));
    m_autoSpeakButton->setChecked(record.autoSpeak());

    const QSignalBlocker quiet(m_languagesBox);
    m_languagesBox->clear();
    for (const QVLanguageRealm &language : std::as_const(m_languages))
        m_languagesBox->addItem(ownName(language));
    m_languagesBox->setCurrentIndex(indexOfCurrentLanguage());
}

// Each language in its own name, as desktops list them: someone who lands in an interface they
// cannot read still finds theirs. Names the locale data lacks come from the catalogue.
QString GeneralSettingsViewController::ownName(const QVLanguageRealm &language) {
    const QString code = language.languageString();
    const QString own = QVLanguageNames::displayName(code, code);
    return own.isEmpty() ? QVLanguageService::languageTitleWithoutCountryWithLanguage(language) : own;
}

double GeneralSettingsViewController::sliderSpeed() const {
    return double(m_voiceSpeedSlider->value()) / kSliderMaximum;
}

void GeneralSettingsViewController::onVoiceSpeedSliderValueChanged() {
    QVSettingsService::setSpeechSpeed(float(sliderSpeed()));
    // One event once the slider rests.
    m_speedTimer->start();
}

void GeneralSettingsViewController::trackVoiceSpeed() {
    track(QStringLiteral("General - Change Voice Speed"),
          {{QStringLiteral("voice_speed"), QString::asprintf("%.01f%%", sliderSpeed() * 100.0)}});
}

void GeneralSettingsViewController::switchChanged(ITSwitch *button, const char *action,
                                                  const char *parameter) {
    track(QString::fromLatin1(action), {{QString::fromLatin1(parameter), onOff(button->isChecked())}});
}

void GeneralSettingsViewController::onAutoSpeek() {
    switchChanged(m_autoSpeakButton, "General - Automatic Speak - Switch", "automatic_speak");
    QVSettingsService::setAutoSpeak(m_autoSpeakButton->isChecked());
}

void GeneralSettingsViewController::onShowAppMenuBar() {
    switchChanged(m_appMenuBarButton, "General - Show App in Menu Bar - Switch", "menu_bar");
    const bool visible = m_appMenuBarButton->isChecked();
    QVMInterfaceHooks::call(QVMInterfaceHooks::shared().setStatusItemVisible, "setStatusItemVisible",
                            visible);
    // Without the icon, nothing would be left to reach the program once its windows close.
    if (auto *app = qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        app->setQuitOnLastWindowClosed(!visible);
}

void GeneralSettingsViewController::onStatAutomatically() {
    switchChanged(m_startAutomaticallyButton, "General - Start automatically - Switch", "auto_start");
    const bool enabled = m_startAutomaticallyButton->isChecked();
    if (const platform::Error error = QVAutostartEntry::setEnabled(enabled)) {
        m_startAutomaticallyButton->setChecked(QVAutostartEntry::isInstalled());
        QVMUtils::showErrorAlertWithMessage(error.localizedDescription());
    }
}

void GeneralSettingsViewController::onShowTransliteration() {
    switchChanged(m_transliterationButton, "General - Transliteration - Switch", "transliteration");
}

void GeneralSettingsViewController::onTranslateByEnter() {
    switchChanged(m_translateByEnterButton, "General - Translate with Enter - Switch", "use_enter");
}

void GeneralSettingsViewController::onHighlightSentences() {
    switchChanged(m_highliteSentencesButton, "General - Mark translated paragraphs - Switch",
                  "translated_paragraphs");
}

int GeneralSettingsViewController::indexOfCurrentLanguage() const {
    const QString current = DJLocalizationSystem::shared().language();
    for (int i = 0; i < m_languages.size(); ++i)
        if (m_languages.at(i).languageString() == current)
            return i;
    // A language without tables runs in English.
    for (int i = 0; i < m_languages.size(); ++i)
        if (m_languages.at(i).languageString() == QLatin1String("en"))
            return i;
    return -1;
}

void GeneralSettingsViewController::comboBoxSelectionDidChange(int index) {
    if (index < 0 || index >= m_languages.size())
        return;
    const QVLanguageRealm language = m_languages.at(index);
    // Sent before the answer, and also for the language already in use.
    track(QStringLiteral("General - Change Language"),
          {{QStringLiteral("app_language"), language.languageName()}});
    if (language.languageString() != DJLocalizationSystem::shared().language())
        showAlertControllerWithLanguage(language);
}

void GeneralSettingsViewController::showAlertControllerWithLanguage(const QVLanguageRealm &language) {
    QPointer<GeneralSettingsViewController> self(this);
    QVMUtils::showAlertWithTitle(
        language.languageName(), QVLocalizedString(QStringLiteral("_loc_alert_message_application_language")),
        QVLocalizedString(QStringLiteral("_loc_alert_button_change")),
        [self, language] {
            if (self)
                self->reloadApplicationLanguage(language);
        },
        QVLocalizedString(QStringLiteral("_loc_close")),
        [self] {
            if (self)
                self->restoreLanguageSelection();
        });
    // An alert dismissed without an answer changes nothing either.
    if (self && DJLocalizationSystem::shared().language() != language.languageString())
        restoreLanguageSelection();
}

void GeneralSettingsViewController::restoreLanguageSelection() {
    const int index = indexOfCurrentLanguage();
    if (index < 0)
        return;
    const QSignalBlocker quiet(m_languagesBox);
    m_languagesBox->setCurrentIndex(index);
}

// The window that holds this tab goes away with the old main window, so the
// rebuild waits for the next turn, after the settings window is closed.
void GeneralSettingsViewController::reloadApplicationLanguage(const QVLanguageRealm &language) {
    const QString code = language.languageString();
    DevLog(QString::fromLatin1(kLanguageChangeLog), code);
    QVMUtils::sharedDefaults().setObject(code,
                                         QString::fromLatin1(DJLocalizationSystem::kUserDefaultAppLanguage));
    DJLocalizationSystem::shared().setLanguage(code);
    // The lists the rebuilt windows show name the languages in the new interface language.
    if (const platform::Error error = QVLanguageService::localizeLanguageNames())
        DevLog(QStringLiteral("[settings] language names: %@"), error.localizedDescription());
    closeSettingsWindow();
    platform::dispatchAsyncMain([] {
        platform::NotificationCenter::defaultCenter().post(
            QString::fromLatin1(kLanguageDidChangeNotification));
    });
}

void GeneralSettingsViewController::closeSettingsWindow() {
    for (QObject *owner = parent(); owner; owner = owner->parent()) {
        if (owner->metaObject()->indexOfMethod("close()") >= 0) {
            QMetaObject::invokeMethod(owner, "close");
            return;
        }
    }
    if (QWidget *window = view()->window(); window && window != view())
        window->close();
}
