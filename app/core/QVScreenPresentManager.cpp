#include "QVScreenPresentManager.h"

#include "DevLog.h"

#include "platform/NotificationCenter.h"

namespace {
QString boolText(bool value) {
    return value ? QStringLiteral("true") : QStringLiteral("false");
}
} // namespace

QVScreenPresentManager &QVScreenPresentManager::shared() {
    static QVScreenPresentManager instance;
    return instance;
}

bool QVScreenPresentManager::canShowScreenType(unsigned type) {
    bool granted = false;
    if (m_screenMode == kWorkingMode && !m_presented) {
        m_presented = true;
        m_screenType = type;
        granted = true;
    }
    info(QStringLiteral("Check - result: %1").arg(boolText(granted)));
    return granted;
}

void QVScreenPresentManager::resetAfterCloseIfNeeded() {
    const bool freed = m_screenMode == kWorkingMode && m_presented;
    if (m_screenMode == kWorkingMode)
        m_presented = false;
    info(QStringLiteral("Reset"));
    if (freed)
        platform::NotificationCenter::defaultCenter().post(QString::fromLatin1(kDidFreeScreenNotification));
}

void QVScreenPresentManager::info(const QString &message) const {
    DevLog(QStringLiteral("%@ - Screen mode: %ld; type: %ld; presented: %@;"), message, qint64(m_screenMode),
           qint64(m_screenType), boolText(m_presented));
}
