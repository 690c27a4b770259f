#include "QVMWebPage.h"

#include "QVMWebView.h"

QVMWebPage::QVMWebPage(QWebEngineProfile *profile, QObject *parent) : QWebEnginePage(profile, parent) {}

bool QVMWebPage::acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame) {
    Q_UNUSED(type)
    if (QVMWebView::isWebAddress(url) || url == QUrl(QStringLiteral("about:blank")))
        return true;
    if (isMainFrame)
        emit navigationRefused(url);
    return false;
}

void QVMWebPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString &message,
                                          int lineNumber, const QString &sourceID) {
    // Pages' own console lines say nothing about the program and may carry page text.
    Q_UNUSED(level)
    Q_UNUSED(message)
    Q_UNUSED(lineNumber)
    Q_UNUSED(sourceID)
}
