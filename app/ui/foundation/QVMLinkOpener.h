#pragma once

#include <QString>
#include <QUrl>

#include <functional>

// The one door through which an address leaves the program for the desktop's
// browser or mail program. Only web addresses (http, https, with a host) and
// mail addresses (mailto) go through; any other (file:, a program's own scheme,
// javascript:) is refused and the user is told so. Where nothing takes an
// address (no browser, no mail program installed), the user is told so and
// offered the address (or, for an e-mail, its text) to copy, instead of a click
// that ends in silence. The alert shows at most a short preview of a long text;
// Copy copies all of it. Main thread.
//
//   QVMLinkOpener::open(QUrl("https://example.org/privacy"));
//   QVMLinkOpener::open(mailto, translation);   // offers the translation to copy
//   if (QVMLinkOpener::openQuietly(page) != QVMLinkOpener::Outcome::Opened) notify(...);   // no alert
//   QVMLinkOpener::setOpener([](const QUrl &) { return false; });   // tests
class QVMLinkOpener {
public:
    using Opener = std::function<bool(const QUrl &)>;
    enum class Outcome { Opened, Refused, NotOpened };

    // http or https with a host.
    static bool isWebAddress(const QUrl &url);
    // A web address or a mail address: what open() hands on.
    static bool isOpenable(const QUrl &url);
    // The web address a text holds (a field from the backend), or an empty address.
    static QUrl webAddress(const QString &text);

    // True when a program took the address. toCopy: what the user is offered
    // when nothing did; empty offers the address itself (a mail address's body
    // for mailto: links without a recipient).
    static bool open(const QUrl &url, const QString &toCopy = {});
    // The same check and opening for what no click of the user asked for (a page opened at
    // start, a shortcut's result): nothing is shown, the log says what happened.
    static Outcome openQuietly(const QUrl &url);
    // What the user is offered to copy for the address.
    static QString textToCopy(const QUrl &url, const QString &toCopy = {});
    // The text as an alert shows it: its first kPreviewCharacters characters and kPreviewLines
    // lines, whole characters only, with a line saying how much more there is.
    static QString preview(const QString &text);
    // Who opens addresses; null restores the desktop's services.
    static void setOpener(Opener opener);

    // Text cut at a character boundary to at most `length` UTF-16 units; `cut` tells whether it was.
    static QString leftCharacters(const QString &text, qsizetype length, bool *cut = nullptr);

    static constexpr qsizetype kPreviewCharacters = 200;
    static constexpr int kPreviewLines = 4;

    QVMLinkOpener() = delete;
};
