#include "ui/foundation/QVMUtils.h"

#include "core/DevLog.h"
#include "core/QVEnvironment.h"
#include "core/localization/QVLocalizedString.h"
#include "platform/BackendConfig.h"
#include "platform/Bundle.h"
#include "platform/MainQueue.h"
#include "platform/NetworkStatus.h"
#include "platform/UserDefaults.h"
#include "services/support/QVSupportMailConfiguration.h"
#include "ui/foundation/QVMAlertPresenter.h"

#include <QCoreApplication>
#include <QFile>
#include <QMutex>
#include <QPainter>
#include <QPainterPath>
#include <QRegularExpression>
#include <QSysInfo>
#include <QTextDocument>
#include <QVersionNumber>

#include <algorithm>
#include <atomic>

namespace {

QMutex presenterMutex;
std::shared_ptr<QVMAlertPresenter> customPresenter;

} // namespace

platform::UserDefaults &QVMUtils::sharedDefaults() {
    return QVEnvironment::sharedDefaults();
}

bool QVMUtils::isNetworkAvailable() {
    return QVEnvironment::isNetworkAvailable();
}

bool QVMUtils::isBackendConfigured() {
    return QVEnvironment::isBackendConfigured();
}

QString QVMUtils::getAppVersionFromBundle() {
    return QVEnvironment::getAppVersionFromBundle();
}

QString QVMUtils::getDeviceName() {
    return QVEnvironment::getDeviceName();
}

QString QVMUtils::getImageNameJPG(const QString &name) {
    return name + QStringLiteral(".jpg");
}

bool QVMUtils::validateEmail(const QString &text) {
    // One rule for every address field: the support form puts this one in a mail header.
    return QVSupportMailConfiguration::isMailbox(text);
}

QString QVMUtils::getOSVersion() {
    return QVEnvironment::getOSVersion();
}

long QVMUtils::getOSMinorVersion() {
    return QVEnvironment::getOSMinorVersion();
}

QString QVMUtils::pathStringWithString(const QString &text) {
    const QString address = text.trimmed();
    if (address.isEmpty())
        return {};
    const auto startsWith = [&address](const char *prefix) {
        return address.startsWith(QLatin1String(prefix), Qt::CaseInsensitive);
    };
    if (startsWith("www."))
        return QStringLiteral("http://") + address;
    if (startsWith("http://") || startsWith("https://"))
        return address;
    // Another scheme cannot be shown as a web page; prefixing it would only hide the mistake.
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*://"));
    if (scheme.match(address).hasMatch())
        return {};
    return QStringLiteral("http://www.") + address;
}

void QVMUtils::setAlertPresenter(std::shared_ptr<QVMAlertPresenter> presenter) {
    QMutexLocker lock(&presenterMutex);
    customPresenter = std::move(presenter);
}

std::shared_ptr<QVMAlertPresenter> QVMUtils::alertPresenter() {
    QMutexLocker lock(&presenterMutex);
    if (customPresenter)
        return customPresenter;
    static const auto messageBox = std::make_shared<QVMMessageBoxPresenter>();
    return messageBox;
}

void QVMUtils::showAlertWithTitle(const QString &title, const QString &message,
                                  const QString &firstButtonTitle, const ButtonHandler &firstButtonHandler,
                                  const QString &secondButtonTitle, const ButtonHandler &secondButtonHandler,
                                  const QString &thirdButtonTitle, const ButtonHandler &thirdButtonHandler) {
    QVMAlertPresenter::Request request{title, message, {}};
    QList<ButtonHandler> handlers;
    const auto add = [&](const QString &buttonTitle, const ButtonHandler &handler) {
        if (buttonTitle.isEmpty())
            return;
        request.buttons.append(buttonTitle);
        handlers.append(handler);
    };
    add(firstButtonTitle, firstButtonHandler);
    add(secondButtonTitle, secondButtonHandler);
    add(thirdButtonTitle, thirdButtonHandler);

    const qsizetype index = runAlert(request) - QVMAlertPresenter::kFirstButtonReturn;
    if (index >= 0 && index < handlers.size() && handlers.at(index))
        handlers.at(index)();
}

int QVMUtils::runAlert(const QVMAlertPresenter::Request &request) {
    int answer = 0;
    const auto run = [&] { answer = alertPresenter()->runModal(request); };
    if (platform::isMainThread())
        run();
    else
        QMetaObject::invokeMethod(QCoreApplication::instance(), run, Qt::BlockingQueuedConnection);
    return answer;
}

void QVMUtils::showErrorAlertWithMessage(const QString &message) {
    showAlertWithTitle(QVLocalizedString(QStringLiteral("_loc_alert_title_error")), message,
                       QVLocalizedString(QStringLiteral("_loc_button_ok")), {});
}

QString QVMUtils::plainToolTip(const QString &text) {
    // A tooltip that looks like markup is rendered as markup: escaped, it shows as typed.
    return Qt::mightBeRichText(text)
               ? QStringLiteral("<p style='white-space:pre'>%1</p>").arg(text.toHtmlEscaped())
               : text;
}

QImage QVMUtils::roundedImageWithImage(const QImage &image) {
    const int w = image.width();
    const int h = image.height();
    if (w == 0 || h == 0)
        return image;
    const qreal m = qMin(w, h);
    // Pixels throughout; the scale of a high-density picture is put back at the end.
    QImage source = image;
    source.setDevicePixelRatio(1);
    QImage result(w, h, QImage::Format_ARGB32_Premultiplied);
    result.fill(Qt::transparent);
    QPainter painter(&result);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    QPainterPath circle;
    circle.setFillRule(Qt::OddEvenFill);
    // Resting on the bottom edge, as drawing with the origin at the bottom left puts it.
    circle.addEllipse(QRectF((w - m) / 2, h - m, m, m));
    painter.setClipPath(circle);
    painter.drawImage(QPointF(0, 0), source);
    painter.end();
    result.setDevicePixelRatio(image.devicePixelRatio());
    return result;
}

QImage QVMUtils::image(const QImage &image, const QColor &tintedWithColor) {
    QImage copy = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (!tintedWithColor.isValid() || copy.isNull())
        return copy;
    QPainter painter(&copy);
    painter.setCompositionMode(QPainter::CompositionMode_SourceAtop);
    painter.fillRect(copy.rect(), tintedWithColor);
    painter.end();
    return copy;
}
