#pragma once

#include <QString>
#include <QUrl>

// The address of a backend picture: the API host, "/v2/", the name, then "@2x.png"
// (the double-scale version). A name holding a slash keeps it. The host is read
// from platform::BackendConfig at every call. Also the pictures' disk-cache key.
QUrl qvUrlForPatch(const QString &name);
