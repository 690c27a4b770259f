#pragma once

#include <QString>

// Lets one informational screen (server message, cross-promotion prompt) be on
// screen at a time: a screen asks before showing, its closing code resets.
// Main thread only; the state lives in memory and each launch starts idle.
class QVScreenPresentManager {
public:
    static QVScreenPresentManager &shared();

    enum ScreenType : unsigned { ScreenTypeNone = 0, ScreenTypeInformational = 2 };
    static constexpr unsigned kWorkingMode = 2;
    // Posted when a reset frees the screen for the next one that asked in vain.
    static constexpr const char *kDidFreeScreenNotification = "QVScreenPresentManagerDidFreeScreen";

    bool canShowScreenType(unsigned type);
    void resetAfterCloseIfNeeded();
    void info(const QString &message) const;

    unsigned screenMode() const { return m_screenMode; }
    void setScreenMode(unsigned mode) { m_screenMode = mode; }
    unsigned screenType() const { return m_screenType; }
    void setScreenType(unsigned type) { m_screenType = type; }
    bool presented() const { return m_presented; }
    void setPresented(bool presented) { m_presented = presented; }

private:
    unsigned m_screenMode = 0;
    unsigned m_screenType = ScreenTypeNone;
    bool m_presented = false;
};
