#include "ui/foundation/QVMLinkOpener.h"

#include "ui/foundation/QVMUtils.h"

#include "core/DevLog.h"
#include "core/localization/QVLocalizedString.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QUrlQuery>

namespace {

QVMLinkOpener::Opener &opener() {
    static QVMLinkOpener::Opener installed;
    return installed;
}

bool isMail(const QUrl &url) {
    return url.scheme() == QLatin1String("mailto");
}

} // namespace

void QVMLinkOpener::setOpener(Opener replacement) {
    opener() = std::move(replacement);
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

bool QVMLinkOpener::open(const QUrl &url, const QString &toCopy) {
    if (!url.isValid() || url.isEmpty())
        return false;
    const Opener &installed = opener();
    if (installed ? installed(url) : QDesktopServices::openUrl(url))
        return true;
    DevLog(QStringLiteral("[ui] no program opened a %@ address"), url.scheme());
    const QString copy = textToCopy(url, toCopy);
    const QString message =
        QVLocalizedString(QString::fromLatin1(isMail(url) ? "_loc_link_no_mail" : "_loc_link_no_browser")) +
        QStringLiteral("\n\n") + copy;
    QVMUtils::showAlertWithTitle(QVLocalizedString(QStringLiteral("_loc_link_not_opened_title")), message,
                                 QVLocalizedString(QStringLiteral("_loc_link_copy")),
                                 [copy] {
                                     if (QClipboard *clipboard = QGuiApplication::clipboard())
                                         clipboard->setText(copy);
                                 },
                                 QVLocalizedString(QStringLiteral("_loc_close")), {});
    return false;
}
