#pragma once

#include <QString>
#include <QVariantMap>

#include <functional>

namespace platform {

// How platform layers report a problem they cannot hand to a caller (an
// exception escaping a queued block, an observer that threw). The application
// routes these to its non-fatal error reports at start-up; until then they go
// to qWarning. Callable from any thread.
using ProblemHandler = std::function<void(const QString &name, const QVariantMap &info)>;

void reportProblem(const QString &name, const QVariantMap &info = {});
// An empty handler restores qWarning.
void setProblemHandler(ProblemHandler handler);

} // namespace platform
