#pragma once

#include "app/core/RecordingCrashReporter.h"
#include "platform/Bundle.h"
#include "platform/MainQueue.h"
#include "ui/foundation/QVMAlertPresenter.h"
#include "ui/foundation/QVMUtils.h"

#include <QDir>
#include <QImage>
#include <QTemporaryDir>

#include <memory>

namespace uitest {

// Answers alerts from a script and remembers what they showed.
class ScriptedAlerts : public QVMAlertPresenter {
public:
    int runModal(const Request &request) override {
        shown.append(request);
        ranOnMainThread = ranOnMainThread && platform::isMainThread();
        return answers.isEmpty() ? 0 : answers.takeFirst();
    }
    QList<Request> shown;
    QList<int> answers;
    bool ranOnMainThread = true;
};

// Installs a scripted presenter for the scope.
class ScopedAlerts {
public:
    ScopedAlerts() : alerts(std::make_shared<ScriptedAlerts>()) { QVMUtils::setAlertPresenter(alerts); }
    ~ScopedAlerts() { QVMUtils::setAlertPresenter(nullptr); }
    ScriptedAlerts *operator->() const { return alerts.get(); }
    std::shared_ptr<ScriptedAlerts> alerts;
};

// Catches the diagnostic lines and error reports for the scope.
class ScopedCrashReporter {
public:
    ScopedCrashReporter() : reporter(std::make_shared<RecordingCrashReporter>()) {
        platform::CrashReporter::setShared(reporter);
    }
    ~ScopedCrashReporter() { platform::CrashReporter::setShared(nullptr); }
    int countLines(const QString &line) {
        QMutexLocker lock(&reporter->mutex);
        return int(reporter->lines.count(line));
    }
    std::shared_ptr<RecordingCrashReporter> reporter;
};

// A resource folder of the test's own with pictures in "images" (removed with the scope).
class ScopedImageResources {
public:
    ScopedImageResources() {
        QDir(dir.path()).mkpath(QStringLiteral("images"));
        platform::Bundle::setResourcePath(dir.path());
    }
    ~ScopedImageResources() { platform::Bundle::setResourcePath(QString()); }
    void add(const QString &fileName, const QImage &image) {
        image.save(QDir(dir.path()).filePath(QStringLiteral("images/") + fileName));
    }
    QTemporaryDir dir;
};

inline QImage solidImage(int width, int height, const QColor &colour) {
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(colour);
    return image;
}

// Pixels of the rectangle within tolerance of the colour (each channel, 0-255).
inline int countPixels(const QImage &image, const QRect &area, const QColor &colour, int tolerance = 8) {
    int count = 0;
    const QRect clipped = area.intersected(image.rect());
    for (int y = clipped.top(); y <= clipped.bottom(); ++y) {
        for (int x = clipped.left(); x <= clipped.right(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (qAbs(pixel.red() - colour.red()) <= tolerance &&
                qAbs(pixel.green() - colour.green()) <= tolerance &&
                qAbs(pixel.blue() - colour.blue()) <= tolerance &&
                qAbs(pixel.alpha() - colour.alpha()) <= tolerance)
                ++count;
        }
    }
    return count;
}

} // namespace uitest
