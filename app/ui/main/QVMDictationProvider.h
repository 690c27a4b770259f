#pragma once

#include <QUrl>

class QWidget;

// Dictation into the main view's source panel. The desktop has no system
// dictation service, so none is installed by default and the microphone
// button stays hidden; start-up installs a provider where one exists.
//
//   QVMInterfaceHooks::shared().dictationProvider = std::make_shared<SpeechToTextDictation>();
class QVMDictationProvider {
public:
    virtual ~QVMDictationProvider() = default;
    // Starts dictating into the panel (the focused source text view).
    virtual void startDictation(QWidget *panel) = 0;
    // The provider's own settings page; empty when it has none.
    virtual QUrl settingsUrl() const { return {}; }
};
