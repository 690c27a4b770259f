#pragma once

#include "core/QVEnvironment.h"
#include "ui/foundation/QVMAlertPresenter.h"

#include <QColor>
#include <QImage>
#include <QList>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace platform {
class UserDefaults;
}
class QVMAlertPresenter;

// Interface utilities. Class methods only. The environment questions forward
// to QVEnvironment, which the layers below ask directly.
//
//   if (!QVMUtils::validateEmail(field->text()))
//       QVMUtils::showErrorAlertWithMessage(QVLocalizedString("_loc_bad_username_or_pass"));
//   QVMUtils::showAlertWithTitle(title, message, QVLocalizedString("_loc_menu_save"), [this] { save(); },
//                                QVLocalizedString("_loc_close"), {});
class QVMUtils {
public:
    using ButtonHandler = std::function<void()>;

    // The standard user defaults, fetched once.
    static platform::UserDefaults &sharedDefaults();
    // True when the network status is 1 or 2 (reachable) and a backend is
    // configured. A status fixed by QV_NETWORK_STATUS or in code is taken as it is.
    static bool isNetworkAvailable();
    // False while every backend host is still its reserved ".example" default,
    // which never resolves: the program then translates offline, as without a
    // network. Logged the first time it is false.
    static bool isBackendConfigured();
    static constexpr const char *kNoBackendLog = QVEnvironment::kNoBackendLog;
    // The short version ("CFBundleShortVersionString"); empty when the build has none.
    static QString getAppVersionFromBundle();
    // The machine's model name, or "macOS" when it has none (the backend expects that value).
    static QString getDeviceName();

    // "<name>.jpg".
    static QString getImageNameJPG(const QString &name);
    // One "@" with a non-empty name before it and a host of at least two
    // non-empty dot-separated labels after it; no white space, control
    // character or header punctuation (<>,;:"()\) anywhere.
    static bool validateEmail(const QString &text);
    // The running system's version as "major.minor.patch"; "0.0.0" when unknown.
    static QString getOSVersion();
    static long getOSMinorVersion();
    // A loadable web address for what the user typed: "www." texts gain "http://",
    // http(s) addresses stay, bare host names gain "http://www.". Empty text, and
    // text with another scheme, give an empty string (nothing to load).
    static QString pathStringWithString(const QString &text);
    // A tooltip for text from outside (a word, a name from the catalogue): shown as typed,
    // never as markup.
    static QString plainToolTip(const QString &text);

    // A modal warning alert with up to three buttons (an empty title adds no
    // button). Each answer calls the handler given with that button's title, if
    // any. Returns when the user has answered; from another thread it waits for
    // the main thread to run the alert.
    static void showAlertWithTitle(const QString &title, const QString &message,
                                   const QString &firstButtonTitle, const ButtonHandler &firstButtonHandler,
                                   const QString &secondButtonTitle = {},
                                   const ButtonHandler &secondButtonHandler = {},
                                   const QString &thirdButtonTitle = {},
                                   const ButtonHandler &thirdButtonHandler = {});
    // Runs one alert as asked (from any thread, as above); the presenter's answer.
    static int runAlert(const QVMAlertPresenter::Request &request);
    // "_loc_alert_title_error" with the message and one "_loc_button_ok" button.
    static void showErrorAlertWithMessage(const QString &message);
    // Who runs alerts; null restores the desktop's message box.
    static void setAlertPresenter(std::shared_ptr<QVMAlertPresenter> presenter);
    static std::shared_ptr<QVMAlertPresenter> alertPresenter();

    // The image inside the largest circle that fits, resting on its bottom edge
    // and centred across; transparent elsewhere. A 0 x 0 image comes back as it is.
    static QImage roundedImageWithImage(const QImage &image);
    // A copy whose opaque parts take the colour (keeping their alpha); an invalid colour gives a plain copy.
    static QImage image(const QImage &image, const QColor &tintedWithColor);

    QVMUtils() = delete;
};

// The element at index, or nothing when the index is past the end.
template <typename T> std::optional<T> safeObjectAtIndex(const QList<T> &list, qsizetype index) {
    if (index < 0 || index >= list.size())
        return std::nullopt;
    return list.at(index);
}
