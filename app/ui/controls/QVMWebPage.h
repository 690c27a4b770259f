#pragma once

#include <QWebEnginePage>

// A page that follows only http and https addresses (and the empty page);
// every other navigation is refused and reported.
class QVMWebPage : public QWebEnginePage {
    Q_OBJECT
public:
    QVMWebPage(QWebEngineProfile *profile, QObject *parent = nullptr);

signals:
    void navigationRefused(const QUrl &url);

protected:
    bool acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame) override;
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString &message, int lineNumber,
                                  const QString &sourceID) override;
};
