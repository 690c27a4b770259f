#pragma once

#include <QDBusMessage>
#include <QObject>

#include <atomic>

// Whether the interface is dark. The desktop's colour scheme decides where the
// desktop states one (the settings portal's "color-scheme": 1 dark, 2 light);
// otherwise the application palette does (a dark window colour means dark).
// isDarkMode() may be called from any thread; darkModeChanged comes on the
// main thread whenever the answer changes.
//
//   QColor text = QVMStyleService::isDarkMode() ? Qt::white : Qt::black;
//   connect(&QVMStyleService::shared(), &QVMStyleService::darkModeChanged, this, &Pane::repaintTheme);
class QVMStyleService : public QObject {
    Q_OBJECT
public:
    // The settings portal's values of "org.freedesktop.appearance" "color-scheme".
    enum class ColorScheme { NoPreference = 0, Dark = 1, Light = 2 };

    static QVMStyleService &shared();
    static bool isDarkMode();

    ColorScheme desktopColorScheme() const { return ColorScheme(m_scheme.load()); }
    // What the portal reported; also how tests stand in for a desktop.
    void setDesktopColorScheme(ColorScheme scheme);
    // Asks the portal again (asynchronously); an unreachable portal leaves the scheme as it is.
    void refreshDesktopColorScheme();
    // Asks the portal and waits at most the time given; false when no answer came.
    bool readDesktopColorScheme(int timeoutMs);

    static constexpr const char *kPortalService = "org.freedesktop.portal.Desktop";
    static constexpr const char *kPortalPath = "/org/freedesktop/portal/desktop";
    static constexpr const char *kPortalSettingsInterface = "org.freedesktop.portal.Settings";
    static constexpr const char *kAppearanceNamespace = "org.freedesktop.appearance";
    static constexpr const char *kColorSchemeKey = "color-scheme";
    // How long the first answer may wait for the portal.
    static constexpr int kFirstReadTimeoutMs = 250;

signals:
    void darkModeChanged(bool dark);

public slots:
    // The portal's "SettingChanged" (namespace, key, value); the bus only calls public slots.
    void onSettingChanged(const QDBusMessage &message);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QVMStyleService();
    static QDBusMessage colorSchemeReadCall();
    bool computeDarkMode() const;
    void paletteChanged();
    void announceIfChanged();
    void applySchemeValue(const QVariant &value);

    std::atomic<int> m_scheme{int(ColorScheme::NoPreference)};
    std::atomic<bool> m_paletteDark{false};
    bool m_announced = false;
};
