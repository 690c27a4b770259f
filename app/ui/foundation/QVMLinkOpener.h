#pragma once

#include <QString>
#include <QUrl>

#include <functional>

// Opens an address with the desktop's browser or mail program. Where nothing
// takes it (no browser, no mail program installed), the user is told so and
// offered the address (or, for an e-mail, its text) to copy, instead of a
// click that ends in silence. Main thread.
//
//   QVMLinkOpener::open(QUrl("https://example.org/privacy"));
//   QVMLinkOpener::open(mailto, translation);   // offers the translation to copy
//   QVMLinkOpener::setOpener([](const QUrl &) { return false; });   // tests
class QVMLinkOpener {
public:
    using Opener = std::function<bool(const QUrl &)>;

    // True when a program took the address. toCopy: what the user is offered
    // when nothing did; empty offers the address itself (a mail address's body
    // for mailto: links without a recipient).
    static bool open(const QUrl &url, const QString &toCopy = {});
    // What the user is offered to copy for the address.
    static QString textToCopy(const QUrl &url, const QString &toCopy = {});
    // Who opens addresses; null restores the desktop's services.
    static void setOpener(Opener opener);

    QVMLinkOpener() = delete;
};
