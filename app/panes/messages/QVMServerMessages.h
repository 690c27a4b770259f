#pragma once

#include "services/messages/QVServerMessage.h"
#include "services/network/QVRequestManager.h"

#include <QDateTime>
#include <QList>
#include <QObject>

#include <functional>

class QVMGeneralAndHistorySplitController;

// The backend's news for the main window: fetched at most once an hour (and
// only while the remote setting "showServerMessages" is on), one message per
// fetch shown as a plain-text alert with one OK button, and only while no
// other prompt holds the screen. Confirming stores the message's id, so it is
// not fetched again.
//
//   QVMServerMessages::forSplit(split)->checkServerMessageIfNeed();
//
// The check date is stored by every successful fetch. A message the screen
// arbiter holds back (another prompt is showing) is kept and shown as soon as
// that prompt frees the screen, not fetched again at the next load.
class QVMServerMessages : public QObject {
    Q_OBJECT
public:
    ~QVMServerMessages() override;

    using Fetch = std::function<void(const QString &language, QVRequestManager::ServerMessagesSuccess success,
                                     QVRequestManager::ErrorBlock failure)>;
    using Clock = std::function<QDateTime()>;

    explicit QVMServerMessages(QObject *parent = nullptr);

    // The one instance kept by the split view (made on first use).
    static QVMServerMessages *forSplit(QVMGeneralAndHistorySplitController *split);
    // The fetch and the clock stand in for the backend and the time (tests); empty puts the real ones back.
    static void setFetch(Fetch fetch);
    static void setClock(Clock clock);

    void checkServerMessageIfNeed();
    void showServerMessage();
    const QList<QVServerMessage> &serverMessages() const { return m_serverMessages; }
    // A message waits for the screen to be free.
    bool isWaitingForScreen() const { return m_screenObserver != 0; }

    static constexpr const char *kLastCheckedKey = "kUserDefaultLastCheckedServerMessageDate";
    static constexpr qint64 kIntervalSeconds = 3600;
    static constexpr unsigned kScreenType = 2;

private:
    void storeCheckDate();
    void waitForScreen(bool wait);

    QList<QVServerMessage> m_serverMessages;
    quint64 m_screenObserver = 0;
};

// Fills the split view's server-message hook.
void installServerMessages();
