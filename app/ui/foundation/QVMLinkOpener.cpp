#include "ui/foundation/QVMLinkOpener.h"

#include "ui/foundation/QVMUtils.h"

#include "core/DevLog.h"
#include "core/localization/QVLocalizedString.h"
#include "platform/Format.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QLocale>
#include <QTextBoundaryFinder>
#include <QUrlQuery>

namespace {

QVMLinkOpener::Opener &opener() {
    static QVMLinkOpener::Opener installed;
    return installed;
}

bool isMail(const QUrl &url) {
    return url.scheme().compare(QLatin1String("mailto"), Qt::CaseInsensitive) == 0;
}

QString loc(const char *key) {
    return QVLocalizedString(QString::fromLatin1(key));
}

} // namespace

void QVMLinkOpener::setOpener(Opener replacement) {
    opener() = std::move(replacement);
}

bool QVMLinkOpener::isWebAddress(const QUrl &url) {
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty() &&
           (scheme == QLatin1String("https") || scheme == QLatin1String("http"));
}

bool QVMLinkOpener::isOpenable(const QUrl &url) {
    return isWebAddress(url) || (url.isValid() && isMail(url));
}

QUrl QVMLinkOpener::webAddress(const QString &text) {
    const QUrl url(text.trimmed(), QUrl::StrictMode);
    return isWebAddress(url) ? url : QUrl();
}

QString QVMLinkOpener::leftCharacters(const QString &text, qsizetype length, bool *cut) {
    const bool shorter = text.size() > length;
    if (cut)
        *cut = shorter;
    if (!shorter)
        return text;
    if (length <= 0)
        return {};
    // Only the characters around the cut decide where one ends: a finder over all of a long
    // text would read every character of it.
    const QString around = text.left(length + 16);
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, around);
    finder.setPosition(length);
    const qsizetype end = finder.isAtBoundary() ? length : finder.toPreviousBoundary();
    return text.left(end > 0 ? end : 0);
}

QString QVMLinkOpener::preview(const QString &text) {
    qsizetype end = kPreviewCharacters;
    qsizetype from = 0;
    for (int line = 0; line < kPreviewLines; ++line) {
        const qsizetype next = text.indexOf(QLatin1Char('\n'), from);
        if (next < 0 || next >= end)
            break;
        from = next + 1;
        if (line == kPreviewLines - 1)
            end = next;
    }
    bool cut = false;
    QString shown = leftCharacters(text, end, &cut);
    if (!cut)
        return text;
    while (!shown.isEmpty() && shown.back().isSpace())
        shown.chop(1);
    const QString more = QLocale().toString(qlonglong(text.size() - shown.size()));
    return shown + QChar(0x2026) + QStringLiteral("\n\n") +
           platform::format(loc("_loc_link_preview_more"), more);
}

QString QVMLinkOpener::textToCopy(const QUrl &url, const QString &toCopy) {
    if (!toCopy.isEmpty())
        return toCopy;
    if (isMail(url)) {
        // A recipient is what to write to; without one, the body is what was to be sent.
        if (!url.path().isEmpty())
            return url.path();
        return QUrlQuery(url).queryItemValue(QStringLiteral("body"), QUrl::FullyDecoded);
    }
    return url.toString();
}

QVMLinkOpener::Outcome QVMLinkOpener::openQuietly(const QUrl &url) {
    if (!isOpenable(url)) {
        // The scheme only: the rest of an address may carry what the user typed.
        DevLog(QStringLiteral("[ui] an address was not opened: its scheme \"%@\" is neither web nor mail"),
               url.scheme().left(32));
        return Outcome::Refused;
    }
    const Opener &installed = opener();
    if (installed ? installed(url) : QDesktopServices::openUrl(url))
        return Outcome::Opened;
    DevLog(QStringLiteral("[ui] no program opened a %@ address"), url.scheme());
    return Outcome::NotOpened;
}

bool QVMLinkOpener::open(const QUrl &url, const QString &toCopy) {
    if (url.isEmpty())
        return false;
    const Outcome outcome = openQuietly(url);
    if (outcome == Outcome::Opened)
        return true;
    if (outcome == Outcome::Refused) {
        QVMUtils::showAlertWithTitle(loc("_loc_link_refused_title"),
                                     loc("_loc_link_refused") + QStringLiteral("\n\n") +
                                         preview(url.toString()),
                                     loc("_loc_close"), {});
        return false;
    }
    const QString copy = textToCopy(url, toCopy);
    const QString message = loc(isMail(url) ? "_loc_link_no_mail" : "_loc_link_no_browser") +
                            QStringLiteral("\n\n") + preview(copy);
    QVMUtils::showAlertWithTitle(loc("_loc_link_not_opened_title"), message, loc("_loc_link_copy"),
                                 [copy] {
                                     if (QClipboard *clipboard = QGuiApplication::clipboard())
                                         clipboard->setText(copy);
                                 },
                                 loc("_loc_close"), {});
    return false;
}
