#pragma once

#include "platform/Error.h"

#include <merovantia/MFURLSessionTask.h>

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <QVariant>

#include <functional>
#include <memory>

class QVDocumentSocket;
class MFHTTPSessionManager;

// Translates a whole document online: one JSON text frame with the file in
// Base64 goes to the backend's "/translateDocument" socket, progress frames come
// back, then a final frame naming the translated file, which is downloaded into
// the Documents folder.
//
//   QVWebSocketManager::sharedInstance().translateFileWithUrl(
//       QUrl::fromLocalFile("/home/me/report.docx"), "report", "docx", "5000",
//       [](const QVariant &percent) { ... 0 to 100, a number or a string ... },
//       [](const QString &fileURL) { ... "file:///home/me/Documents/report_de.docx" ... },
//       [](const platform::Error &error) { ... });
//   QVWebSocketManager::sharedInstance().resetData(); // the user cancelled: no block runs
//
// Main thread only. One job at a time, and every job ends in exactly one of
// success or failure unless it is reset: a frame that cannot be built, a
// malformed final frame, a message over kMaxIncomingMessageBytes, a socket
// closed before the result and a later job all fail the job with an error of
// kErrorDomain. The downloaded file takes the
// name the server suggests, reduced to a plain file name, and never replaces a
// file already in the folder ("name (1).docx" instead).
class QVWebSocketManager : public QObject {
    Q_OBJECT
public:
    using ProgressBlock = std::function<void(const QVariant &value)>;
    using SuccessBlock = std::function<void(const QString &fileURL)>;
    using FailureBlock = std::function<void(const platform::Error &error)>;

    static constexpr const char *kSocketPath = "/translateDocument";
    static constexpr const char *kStaticPath = "/quorvaldeParseDocumentStatic/";
    // The document service's fixed authorisation, the same for every installation.
    static constexpr const char *kAuthorization = "Bearer kfr8jxm61wzqtnb";
    static constexpr const char *kPlatform = "macOS";
    static constexpr int kOpenTimeoutMs = 60000;
    // Translated documents can be large: the download may take this long in all.
    static constexpr int kDownloadDeadlineMs = 600000;
    static constexpr const char *kBuildFailedMessage =
        "QVWebSocketManager: parameters dict null value crash handled";
    static constexpr const char *kUnexpectedFormatLine = "unexpected response format %@ %@";

    static constexpr const char *kErrorDomain = "QVWebSocketManager";
    enum ErrorCode {
        RequestNotBuilt = 1,    // the file could not be read or a job value is missing
        UnexpectedResponse = 2, // a final frame without a usable path
        ClosedBeforeResult = 3, // the server closed the socket before the final frame
        Superseded = 4,         // a later job replaced this one
        SaveFailed = 5,         // the downloaded file could not be put in the Documents folder
        MessageTooLarge = 6,    // the server sent a message beyond kMaxIncomingMessageBytes
    };
    // The server's frames are small JSON objects; anything far larger is refused unread.
    static constexpr qint64 kMaxIncomingMessageBytes = 1024 * 1024;

    static QVWebSocketManager &sharedInstance();
    // A manager of its own (tests); the application uses sharedInstance().
    explicit QVWebSocketManager(QObject *parent = nullptr);
    ~QVWebSocketManager() override;

    // The language pair of the settings record, platform "macOS".
    void translateFileWithUrl(const QUrl &fileUrl, const QString &fileName, const QString &type,
                              const QString &translateLimit, ProgressBlock progress, SuccessBlock success,
                              FailureBlock failure);
    void translateFileWithUrl(const QUrl &fileUrl, const QString &fileName, const QString &type,
                              const QString &translateLimit, const QString &fromLanguage,
                              const QString &toLanguage, const QString &platform, ProgressBlock progress,
                              SuccessBlock success, FailureBlock failure);
    // Forgets the job and its blocks, closes the socket and stops a running download.
    void resetData();

    bool hasJob() const { return bool(m_failureBlock) || bool(m_successBlock) || !m_fileUrl.isEmpty(); }
    // Tests shorten the time a socket may take to open.
    void setOpenTimeoutInterval(int ms) { m_openTimeoutMs = ms; }

    // The client frame: keys in the order the server reads them. False (and an
    // empty frame) when the file cannot be read or a value is missing.
    static bool clientFrame(const QString &filePath, const QString &fileName, const QString &fileType,
                            const QString &translateLimit, const QString &from, const QString &to,
                            QString *frame, QString *problem);
    // The first line of the final frame's second "/" part; empty when there is none.
    static QString resultPath(const QString &result);
    // The download address on the API host, or an invalid URL.
    static QUrl downloadURL(const QString &path);
    // A plain file name from the server's suggestion: no folders, no hidden or
    // special names, no control characters; `fallback` when nothing is left.
    static QString safeFileName(const QString &suggested, const QString &fallback);
    // The name a response suggests: Content-Disposition, else the URL's last part.
    static QString suggestedFileName(const MFHTTPResponse &response);
    // Copies the file into the folder under its own name, or "name (n).ext" when
    // that is taken: nothing there is replaced or written through. The copy's
    // path, or empty (and the error) when it could not be made. Any thread.
    static QString copyToFreeName(const QString &source, const QString &folder, platform::Error *error);

private:
    void createSocket();
    void openSocket(QVDocumentSocket *socket);
    void sendData();
    void dropSocket();
    void onTextMessage(const QString &message);
    void onFinalResponse(const QVariant &result);
    void onSocketError();
    void onSocketClosed();
    void startDownload(const QUrl &url);
    void onDownloaded(quint64 job, const MFURLSessionTaskPtr &task, const QString &temporaryPath);
    // Ends the current job: the failure block (if any) gets the error, then everything is reset.
    void failJob(const platform::Error &error);
    void succeedJob(const QString &fileURL);

    ProgressBlock m_progressBlock;
    SuccessBlock m_successBlock;
    FailureBlock m_failureBlock;
    QPointer<QVDocumentSocket> m_webSocket;
    QUrl m_fileUrl;
    QString m_fileType;
    QString m_translateLimit;
    QString m_fromLanguage;
    QString m_toLanguage;
    QString m_fileName;

    // Each job has its own number, so that late events of an earlier one are ignored.
    quint64 m_job = 0;
    bool m_downloading = false;
    MFURLSessionTaskPtr m_downloadTask;
    std::unique_ptr<MFHTTPSessionManager> m_downloader;
    QTimer m_openTimer;
    int m_openTimeoutMs = kOpenTimeoutMs;
};
