#include "WAYWindowDelegateProxy.h"

#include "WAYWindow.h"

#include <QMetaMethod>

namespace {

int methodIndex(const QObject *object, const QByteArray &selector) {
    if (!object)
        return -1;
    return object->metaObject()->indexOfMethod(QByteArray(selector + "(WAYWindow*)").constData());
}

} // namespace

bool WAYWindowDelegateProxy::objectResponds(const QObject *object, const QByteArray &selector) {
    return methodIndex(object, selector) >= 0;
}

bool WAYWindowDelegateProxy::respondsToSelector(const QByteArray &selector) const {
    return selector == "windowDidResize" || objectResponds(m_secondary, selector);
}

QVariant WAYWindowDelegateProxy::invoke(QObject *object, const QByteArray &selector, WAYWindow *sender) {
    const QMetaMethod method = object->metaObject()->method(methodIndex(object, selector));
    if (method.returnMetaType() == QMetaType::fromType<bool>()) {
        bool answer = false;
        method.invoke(object, Qt::DirectConnection, Q_RETURN_ARG(bool, answer), Q_ARG(WAYWindow *, sender));
        return answer;
    }
    method.invoke(object, Qt::DirectConnection, Q_ARG(WAYWindow *, sender));
    return QVariant();
}

QVariant WAYWindowDelegateProxy::forwardInvocation(const QByteArray &selector, WAYWindow *sender) {
    if (m_selectorStack.contains(selector))
        return QVariant();
    m_selectorStack.append(selector);
    QVariant answer;
    // Either delegate may go away while the other runs.
    QPointer<QObject> first = m_first;
    QPointer<QObject> secondary = m_secondary;
    if (objectResponds(first, selector))
        answer = invoke(first, selector, sender);
    if (secondary && secondary != first && objectResponds(secondary, selector))
        answer = invoke(secondary, selector, sender);
    m_selectorStack.removeLast();
    return answer;
}
