#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QVariant>

class WAYWindow;

// Hands each window message first to the window and then to the delegate the
// application set, once each. A delegate answers a message by an invokable
// method of that name taking the window, returning void or bool:
//
//   Q_INVOKABLE void windowDidResize(WAYWindow *window);
//   Q_INVOKABLE bool windowShouldClose(WAYWindow *window);
//
// A message that comes back while it is being forwarded is dropped.
class WAYWindowDelegateProxy {
public:
    QObject *firstDelegate() const { return m_first; }
    void setFirstDelegate(QObject *delegate) { m_first = delegate; }
    QObject *secondaryDelegate() const { return m_secondary; }
    void setSecondaryDelegate(QObject *delegate) { m_secondary = delegate; }

    // The window's resize message always; anything else when the delegate has it.
    bool respondsToSelector(const QByteArray &selector) const;
    // The last answer of the ones invoked (invalid when none answered or the
    // message was dropped).
    QVariant forwardInvocation(const QByteArray &selector, WAYWindow *sender);
    bool isForwarding(const QByteArray &selector) const { return m_selectorStack.contains(selector); }

    static bool objectResponds(const QObject *object, const QByteArray &selector);

private:
    static QVariant invoke(QObject *object, const QByteArray &selector, WAYWindow *sender);

    QPointer<QObject> m_first;
    QPointer<QObject> m_secondary;
    QList<QByteArray> m_selectorStack;
};
