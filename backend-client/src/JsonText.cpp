#include "JsonText.h"

#include <cmath>

namespace merovantia {

QByteArray jsonText(const QByteArray &body) {
    static const QByteArray kByteOrderMark("\xEF\xBB\xBF");
    // Every mark, not just one: the JSON reader skips one more by itself, so both clients
    // would otherwise disagree about a doubled mark.
    qsizetype start = 0;
    while (body.mid(start, kByteOrderMark.size()) == kByteOrderMark)
        start += kByteOrderMark.size();
    return start ? body.mid(start) : body;
}

bool isStatus200(const QVariant &status) {
    switch (status.typeId()) {
    case QMetaType::Double: {
        // A JSON number arrives as a double; its integer value, as a number reader would take it.
        const double value = status.toDouble();
        return std::isfinite(value) && std::trunc(value) == 200.0;
    }
    case QMetaType::QString: {
        bool ok = false;
        const qlonglong value = status.toString().trimmed().toLongLong(&ok);
        return ok && value == 200;
    }
    default: {
        bool ok = false;
        const qlonglong value = status.toLongLong(&ok);
        return ok && value == 200;
    }
    }
}

} // namespace merovantia
