#pragma once

#include "core/models/QVLanguageRealm.h"
#include "ui/foundation/QVMBaseVC.h"

#include <QList>

class ITSwitch;
class QComboBox;
class QSlider;
class QTimer;

// The settings window's General tab: speech speed, six switches and the
// interface language. Each control stores its choice at once and sends its
// "Settings screen" event; the language asks first, then closes the settings
// window and has the application rebuild its windows on the next turn.
class GeneralSettingsViewController : public QVMBaseVC {
    Q_OBJECT
public:
    Q_INVOKABLE explicit GeneralSettingsViewController(QObject *parent = nullptr);

    QSlider *voiceSpeedSlider() const { return m_voiceSpeedSlider; }
    ITSwitch *autoSpeakButton() const { return m_autoSpeakButton; }
    ITSwitch *appMenuBarButton() const { return m_appMenuBarButton; }
    ITSwitch *startAutomaticallyButton() const { return m_startAutomaticallyButton; }
    ITSwitch *transliterationButton() const { return m_transliterationButton; }
    ITSwitch *translateByEnterButton() const { return m_translateByEnterButton; }
    ITSwitch *highliteSentencesButton() const { return m_highliteSentencesButton; }
    QComboBox *languagesBox() const { return m_languagesBox; }
    const QList<QVLanguageRealm> &languages() const { return m_languages; }

    void onVoiceSpeedSliderValueChanged();
    void onAutoSpeek();
    void onShowAppMenuBar();
    void onStatAutomatically();
    void onShowTransliteration();
    void onTranslateByEnter();
    void onHighlightSentences();
    void comboBoxSelectionDidChange(int index);
    void trackVoiceSpeed();

    // The slider's 0-100 as a speed of 0-1.
    double sliderSpeed() const;
    // The interface language as the list shows it: in its own language ("Deutsch", "日本語").
    static QString ownName(const QVLanguageRealm &language);

    static constexpr const char *kCategory = "Settings screen";
    static constexpr const char *kScreenName = "ScreenGeneralSettings";
    static constexpr const char *kLoginEnabled = "LoginEnabled";
    static constexpr const char *kTransliterationSetting = "TransliterationSetting";
    static constexpr const char *kTranslateByEnterSetting = "TranslateByEnterSetting";
    static constexpr const char *kHighlightTranslatedSentences = "kHighlightTranslatedSentences";
    // The application delegate rebuilds its windows on it.
    static constexpr const char *kLanguageDidChangeNotification = "kLanguageDidChangeNotification";
    static constexpr const char *kLanguageChangeLog = "Applicatin language change: %@";
    static constexpr int kSpeedEventDelayMs = 500;
    static constexpr int kSliderMaximum = 100;

protected:
    QWidget *loadView() override;
    void viewDidLoad() override;
    void viewDidAppear() override;

private:
    void lazyUI();
    void switchChanged(ITSwitch *button, const char *action, const char *parameter);
    void showAlertControllerWithLanguage(const QVLanguageRealm &language);
    void reloadApplicationLanguage(const QVLanguageRealm &language);
    void restoreLanguageSelection();
    int indexOfCurrentLanguage() const;
    void closeSettingsWindow();

    QSlider *m_voiceSpeedSlider = nullptr;
    ITSwitch *m_autoSpeakButton = nullptr;
    ITSwitch *m_appMenuBarButton = nullptr;
    ITSwitch *m_startAutomaticallyButton = nullptr;
    ITSwitch *m_transliterationButton = nullptr;
    ITSwitch *m_translateByEnterButton = nullptr;
    ITSwitch *m_highliteSentencesButton = nullptr;
    QComboBox *m_languagesBox = nullptr;
    QTimer *m_speedTimer = nullptr;
    QList<QVLanguageRealm> m_languages;
};
