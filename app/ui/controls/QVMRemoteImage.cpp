#include "ui/controls/QVMRemoteImage.h"

#include "platform/BackendNetworkAccess.h"

#include "services/network/QVUrlForPatch.h"

#include "platform/AppPaths.h"
#include "platform/MainQueue.h"
#include "services/graphics/QVMImage.h"
#include "ui/foundation/QVMUtils.h"

#include <QAbstractButton>
#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>
#include <QRegularExpression>
#include <QSaveFile>
#include <QThreadPool>

namespace {

platform::Error remoteError(QVMRemoteImage::ErrorCode code, const QString &description) {
    return platform::Error(QString::fromLatin1(QVMRemoteImage::kErrorDomain), code, description);
}

qint64 costOf(const QImage &image) {
    return std::max<qint64>(1, image.sizeInBytes() / 1024);
}

} // namespace

QVMRemoteImage &QVMRemoteImage::shared() {
    static QVMRemoteImage *loader =
        new QVMRemoteImage(QDir(platform::AppPaths::caches()).filePath(QStringLiteral("images")));
    return *loader;
}

QVMRemoteImage::QVMRemoteImage(const QString &cacheFolder, QObject *parent)
    : QObject(parent), m_cacheFolder(cacheFolder), m_network(new platform::BackendNetworkAccess(this)),
      m_memory(32 * 1024) {}

QVMRemoteImage::~QVMRemoteImage() = default;

void QVMRemoteImage::setCacheFolder(const QString &folder) {
    m_cacheFolder = folder;
    m_memory.clear();
}

QString QVMRemoteImage::cachePathForKey(const QString &key) const {
    const QByteArray digest = QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha256).toHex();
    return QDir(m_cacheFolder).filePath(QString::fromLatin1(digest));
}

QImage QVMRemoteImage::imageFromDiskCacheForKey(const QString &key) const {
    if (key.isEmpty())
        return {};
    return QImage(cachePathForKey(key));
}

void QVMRemoteImage::loadImage(const QUrl &url, LoadCompletion completion) {
    const QString key = cacheKeyForUrl(url);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() ||
        (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
        const platform::Error error =
            remoteError(BadAddress, QStringLiteral("Not a web address of a picture"));
        platform::dispatchAsyncMain([completion, error] {
            if (completion)
                completion(QImage(), error);
        });
        return;
    }
    if (const QImage *remembered = m_memory.object(key)) {
        const QImage image = *remembered;
        platform::dispatchAsyncMain([completion, image] {
            if (completion)
                completion(image, {});
        });
        return;
    }
    QList<LoadCompletion> &waiting = m_waiting[key];
    waiting.append(std::move(completion));
    if (waiting.size() > 1)
        return; // a load of this address is under way

    // The disk is read off the main thread; a miss goes to the network from the main thread.
    const QString path = cachePathForKey(key);
    QPointer<QVMRemoteImage> self(this);
    QThreadPool::globalInstance()->start([self, path, url, key] {
        const QImage cached(path);
        platform::dispatchAsyncMain([self, cached, url, key] {
            if (!self)
                return;
            if (cached.isNull())
                self->download(url, key);
            else
                self->finish(key, cached, {});
        });
    });
}

void QVMRemoteImage::download(const QUrl &url, const QString &key) {
    QNetworkRequest request(url);
    request.setTransferTimeout(kTimeoutMs);
    QNetworkReply *reply = m_network->get(request);
    connect(reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 received, qint64 total) {
        if (received > kMaximumBytes || total > kMaximumBytes) {
            reply->setProperty("qvTooLarge", true);
            reply->abort();
        }
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply, key] {
        reply->deleteLater();
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (reply->property("qvTooLarge").toBool()) {
            finish(key, {}, remoteError(TooLarge, QStringLiteral("The picture is too large")));
            return;
        }
        if (reply->error() != QNetworkReply::NoError || status < 200 || status >= 300) {
            finish(key, {}, remoteError(DownloadFailed, reply->errorString()));
            return;
        }
        const QByteArray data = reply->readAll();
        const QString path = cachePathForKey(key);
        const QString folder = m_cacheFolder;
        QPointer<QVMRemoteImage> self(this);
        // Decoding and writing stay off the main thread.
        QThreadPool::globalInstance()->start([self, data, path, folder, key] {
            const QImage image = QImage::fromData(data);
            if (!image.isNull() && QDir().mkpath(folder)) {
                QSaveFile file(path);
                if (file.open(QIODevice::WriteOnly) && file.write(data) == data.size())
                    file.commit();
            }
            platform::dispatchAsyncMain([self, image, key] {
                if (!self)
                    return;
                if (image.isNull())
                    self->finish(key, image,
                                 remoteError(NotAnImage, QStringLiteral("The reply is not a picture")));
                else
                    self->finish(key, image, {});
            });
        });
    });
}

void QVMRemoteImage::finish(const QString &key, const QImage &image, const platform::Error &error) {
    if (!image.isNull())
        m_memory.insert(key, new QImage(image), costOf(image));
    const QList<LoadCompletion> waiting = m_waiting.take(key);
    for (const LoadCompletion &completion : waiting) {
        if (completion)
            completion(image, error);
    }
}

QImage QVMRemoteImage::placeholderForUrl(const QUrl &url, bool round) {
    QString name = QFileInfo(url.path()).completeBaseName();
    static const QRegularExpression scale(QStringLiteral("@[0-9]+x$"));
    name.remove(scale);
    const QImage placeholder = QVMImage::imageNamed(name);
    return round && !placeholder.isNull() ? QVMUtils::roundedImageWithImage(placeholder) : placeholder;
}

void QVMRemoteImage::setRemoteImage(QObject *control, const Apply &apply, const QUrl &url, bool round,
                                    const QImage &placeholder, const Completion &completion) {
    apply(placeholder);
    QPointer<QObject> held(control);
    shared().loadImage(
        url, [held, apply, round, placeholder, completion](const QImage &image, const platform::Error &) {
            const QImage shown =
                image.isNull() ? placeholder : (round ? QVMUtils::roundedImageWithImage(image) : image);
            if (held)
                apply(shown);
            if (completion)
                completion(shown);
        });
}

QVMRemoteImage::Apply QVMRemoteImage::buttonSetter(QAbstractButton *button) {
    QPointer<QAbstractButton> target(button);
    return [target](const QImage &image) {
        if (target)
            target->setIcon(QIcon(QPixmap::fromImage(image)));
    };
}

QVMRemoteImage::Apply QVMRemoteImage::imageViewSetter(QLabel *imageView) {
    QPointer<QLabel> target(imageView);
    return [target](const QImage &image) {
        if (target)
            target->setPixmap(QPixmap::fromImage(image));
    };
}

void QVMRemoteImage::getRemoteImageForUrl(QAbstractButton *button, const QUrl &url, bool round,
                                          Completion completion) {
    setRemoteImage(button, buttonSetter(button), url, round, placeholderForUrl(url, round), completion);
}

void QVMRemoteImage::getRemoteImageForUrl(QLabel *imageView, const QUrl &url, bool round,
                                          Completion completion) {
    setRemoteImage(imageView, imageViewSetter(imageView), url, round, placeholderForUrl(url, round),
                   completion);
}

QImage QVMRemoteImage::placeholderForPath(const QString &path, bool round) {
    const QImage placeholder = QVMImage::imageNamed(QFileInfo(path).completeBaseName());
    return round && !placeholder.isNull() ? QVMUtils::roundedImageWithImage(placeholder) : placeholder;
}

void QVMRemoteImage::getRemoteImageForUrlString(QAbstractButton *button, const QString &path, bool round,
                                                Completion completion) {
    if (path.isEmpty()) {
        // Nothing to ask the backend for.
        const QImage placeholder = placeholderForPath(path, round);
        buttonSetter(button)(placeholder);
        if (completion)
            completion(placeholder);
        return;
    }
    setRemoteImage(button, buttonSetter(button), qvUrlForPatch(path), round, placeholderForPath(path, round),
                   completion);
}

void QVMRemoteImage::getRemoteImageForUrlString(QLabel *imageView, const QString &path, bool round,
                                                Completion completion) {
    if (path.isEmpty()) {
        const QImage placeholder = placeholderForPath(path, round);
        imageViewSetter(imageView)(placeholder);
        if (completion)
            completion(placeholder);
        return;
    }
    setRemoteImage(imageView, imageViewSetter(imageView), qvUrlForPatch(path), round,
                   placeholderForPath(path, round), completion);
}

QImage QVMRemoteImage::qvImageFromCacheForPatch(const QString &path) {
    if (path.isEmpty())
        return {};
    return shared().imageFromDiskCacheForKey(cacheKeyForUrl(qvUrlForPatch(path)));
}
