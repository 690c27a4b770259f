#pragma once

#include <QtGlobal>

// Transport failures of the backend client. They use the error domain and codes of the
// platform the client was designed against, so callers can tell a cancel (-999) or a
// time-out (-1001) from a reply the backend sent.
extern const char *const kMFURLErrorDomain; // "NSURLErrorDomain"

enum MFURLErrorCode : int {
    MFURLErrorUnknown = -1,
    MFURLErrorCancelled = -999, // cancel(task), or the session manager went away
    MFURLErrorTimedOut = -1001, // idle too long, or past the overall deadline
    MFURLErrorUnsupportedURL = -1002,
    MFURLErrorCannotFindHost = -1003,
    MFURLErrorCannotConnectToHost = -1004,
    MFURLErrorNetworkConnectionLost = -1005,
    MFURLErrorHTTPTooManyRedirects = -1007,
    MFURLErrorNotConnectedToInternet = -1009,
    // A redirect that leaves the request's origin (scheme, host, port) is not followed, so
    // credentials and bodies never reach a host they were not meant for.
    MFURLErrorRedirectRefused = -1010,
    MFURLErrorBadServerResponse = -1011,        // e.g. a status outside 100-599
    MFURLErrorCannotParseResponse = -1017,      // broken framing, e.g. chunked garbage
    MFURLErrorInsecureRedirect = -1022,         // https redirected to http
    MFURLErrorDataLengthExceedsMaximum = -1103, // a reply held in memory beyond its cap
    MFURLErrorServerCertificateUntrusted = -1202,
    MFURLErrorCannotWriteToFile = -3003, // a download could not be written
};

// Replies held in memory (JSON and other data replies) are capped at this size; a larger
// one fails with MFURLErrorDataLengthExceedsMaximum. Downloads to a file have no cap.
constexpr qint64 kMFMaxReplyBytes = 32LL * 1024 * 1024;
