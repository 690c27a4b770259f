#pragma once

#include "core/models/QVLanguageRealm.h"
#include "platform/Error.h"

#include <QImage>
#include <QString>

#include <functional>
#include <memory>

// One picture translation as the photo window asks for it: the picture's text
// read in `from` and translated into `to`; progress, then exactly one of
// success or failure, on the main thread. cancel() ends it with a failure the
// window recognises (isCancellation). The application's translator is the
// photo service; tests give the window one of their own.
class QVMPhotoTranslator {
public:
    using Progress = std::function<void(double fraction)>;
    using Success =
        std::function<void(const QImage &picture, const QString &recognized, const QString &translated)>;
    using Failure = std::function<void(const platform::Error &error)>;
    using Factory = std::function<std::unique_ptr<QVMPhotoTranslator>()>;

    virtual ~QVMPhotoTranslator() = default;
    virtual void translate(const QImage &picture, const QVLanguageRealm &from, const QVLanguageRealm &to,
                           Progress progress, Success success, Failure failure) = 0;
    virtual void cancel() = 0;

    static bool isCancellation(const platform::Error &error);
    // The photo service, with the picture scaled to 1024 x 1024 at most.
    static std::unique_ptr<QVMPhotoTranslator> makeDefault();
};
