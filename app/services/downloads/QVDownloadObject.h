#pragma once

#include "platform/Error.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <functional>
#include <optional>

// One download of QVDownloadManager's table, keyed by its address. The
// manager reads and changes it only under its lock.
struct QVDownloadObject {
    using ProgressBlock = std::function<void(double progress)>;      // 0 to 1
    using RemainingTimeBlock = std::function<void(quint64 seconds)>; // estimated time left
    // YES when the file is at its place; NO with the reason otherwise.
    using CompletionBlock = std::function<void(bool finished, const platform::Error &error)>;

    enum State {
        Running,
        Paused,
        // Ended while paused: the outcome waits for the next blocks.
        Ended,
    };

    quint64 handle = 0; // the start's handle, for cancelDownload()
    quint64 run = 0;    // this run of the transfer; resuming starts another
    ProgressBlock progressBlock;
    RemainingTimeBlock remainingTimeBlock;
    CompletionBlock completionBlock;
    QString fileName;
    QString directoryName; // under Caches; empty for Caches itself
    QDateTime startDate;
    bool background = false;
    State state = Running;
    bool endedFinished = false;
    platform::Error endedError;
    // The file's strong ETag or Last-Modified as first served: a resume asks for
    // the rest only of that version. Empty: a resume starts afresh.
    QByteArray validator;
};
