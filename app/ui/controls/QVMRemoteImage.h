#pragma once

#include "platform/Error.h"

#include <QCache>
#include <QHash>
#include <QImage>
#include <QList>
#include <QObject>
#include <QUrl>

#include <functional>

class QAbstractButton;
class QLabel;
class QNetworkAccessManager;

// Remote pictures (flags, promoted applications) for buttons and image views,
// through a memory cache and a disk cache keyed by the absolute address. A
// cached picture is used as it is; only a missing one is downloaded.
//
//   QVMRemoteImage::getRemoteImageForUrl(flagButton, url, true);   // round flag, placeholder meanwhile
//   QImage cached = QVMRemoteImage::shared().imageFromDiskCacheForKey(url.toString(QUrl::FullyEncoded));
class QVMRemoteImage : public QObject {
    Q_OBJECT
public:
    using Completion = std::function<void(const QImage &image)>;
    using LoadCompletion = std::function<void(const QImage &image, const platform::Error &error)>;

    static QVMRemoteImage &shared();
    // A loader on its own cache folder (tests); shared() uses the caches folder's "images".
    explicit QVMRemoteImage(const QString &cacheFolder, QObject *parent = nullptr);
    ~QVMRemoteImage() override;

    // The picture at url: from memory, else disk, else the network (one download
    // per address however many ask). The completion runs once, on the main
    // thread, with the picture or a null picture and the error.
    void loadImage(const QUrl &url, LoadCompletion completion);

    // The disk cache's picture under the key (an absolute address); null when
    // not cached. Never touches the network.
    QImage imageFromDiskCacheForKey(const QString &key) const;
    QString cacheFolder() const { return m_cacheFolder; }
    // Moves the disk cache (tests); the memory cache starts empty.
    void setCacheFolder(const QString &folder);
    static QString cacheKeyForUrl(const QUrl &url) { return url.toString(QUrl::FullyEncoded); }

    // The button's or image view's picture: the placeholder at once (the
    // application image named after the address's last path component without
    // extension and "@2x"-style scale, made round when asked), then the loaded
    // picture (round when asked), or the placeholder again when loading fails.
    // The completion gets the picture that was set; it runs even when the
    // control went away meanwhile (which is then left alone).
    static void getRemoteImageForUrl(QAbstractButton *button, const QUrl &url, bool round,
                                     Completion completion = {});
    static void getRemoteImageForUrl(QLabel *imageView, const QUrl &url, bool round,
                                     Completion completion = {});
    static QImage placeholderForUrl(const QUrl &url, bool round);

    // The same by a backend picture's path ("flags/gb.png"): loaded from the
    // address qvUrlForPatch makes of it, with the application image named
    // after the path's last component without extension ("gb") meanwhile.
    //
    //   QVMRemoteImage::getRemoteImageForUrlString(fromButton, language.imageFile(), true);
    static void getRemoteImageForUrlString(QAbstractButton *button, const QString &path, bool round,
                                           Completion completion = {});
    static void getRemoteImageForUrlString(QLabel *imageView, const QString &path, bool round,
                                           Completion completion = {});
    static QImage placeholderForPath(const QString &path, bool round);
    // The disk cache's picture for the path (keyed by qvUrlForPatch's address); null when not cached.
    static QImage qvImageFromCacheForPatch(const QString &path);

    static constexpr const char *kErrorDomain = "QVMRemoteImage";
    enum ErrorCode { BadAddress = 1, DownloadFailed = 2, TooLarge = 3, NotAnImage = 4 };
    static constexpr qint64 kMaximumBytes = 20 * 1024 * 1024;
    static constexpr int kTimeoutMs = 30000;

private:
    using Apply = std::function<void(const QImage &image)>;
    static void setRemoteImage(QObject *control, const Apply &apply, const QUrl &url, bool round,
                               const QImage &placeholder, const Completion &completion);
    static Apply buttonSetter(QAbstractButton *button);
    static Apply imageViewSetter(QLabel *imageView);
    QString cachePathForKey(const QString &key) const;
    void download(const QUrl &url, const QString &key);
    void finish(const QString &key, const QImage &image, const platform::Error &error);

    QString m_cacheFolder;
    QNetworkAccessManager *m_network;
    QCache<QString, QImage> m_memory;
    QHash<QString, QList<LoadCompletion>> m_waiting;
};
