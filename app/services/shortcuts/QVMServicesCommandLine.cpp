#include "QVMServicesCommandLine.h"

#include "QVMServicesMenu.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QStringDecoder>

QVMServicesCommandLine::Action
QVMServicesCommandLine::parse(const QStringList &arguments,
                              const std::function<QString()> &readStandardInput) {
    Action action;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString option = arguments.at(i);
        const bool text =
            option == QLatin1String(kShowTranslate) || option == QLatin1String(kShowTranslateInAgent);
        if (!text && option != QLatin1String(kAction))
            continue;
        if (action.isSet()) {
            action.error =
                QStringLiteral("Only one of --show-translate, --show-translate-in-agent and --action");
            return action;
        }
        const QString value = i + 1 < arguments.size() ? arguments.at(i + 1) : QString();
        if (value.isEmpty() || (value.startsWith(QLatin1String("--")) && text)) {
            action.error =
                text ? QStringLiteral("%1 needs a text, or - to read it from standard input").arg(option)
                     : QStringLiteral("--action needs translate-web-page or show-agent");
            return action;
        }
        ++i;
        if (text) {
            action.takesText = true;
            action.method = option == QLatin1String(kShowTranslate) ? QStringLiteral("showTranslate")
                                                                    : QStringLiteral("showTranslateInAgent");
            action.text =
                value == QLatin1String(kStandardInput) && readStandardInput ? readStandardInput() : value;
            action.error = QVMServicesMenu::checkPasteboard(action.text);
        } else if (value == QLatin1String("translate-web-page")) {
            action.method = QStringLiteral("translateWebPagePasteboardUrl");
        } else if (value == QLatin1String("show-agent")) {
            action.method = QStringLiteral("showAgent");
        } else {
            action.error =
                QStringLiteral("Unknown action %1: use translate-web-page or show-agent").arg(value);
            return action;
        }
    }
    return action;
}

QVMServicesCommandLine::Forward QVMServicesCommandLine::forward(const Action &action,
                                                                QDBusConnection connection,
                                                                const QString &serviceName, QString *message,
                                                                int timeoutMs) {
    if (!action.isSet() || !connection.isConnected() || !connection.interface() ||
        !connection.interface()->isServiceRegistered(serviceName).value())
        return Forward::NoInstance;
    QDBusMessage call =
        QDBusMessage::createMethodCall(serviceName, QString::fromLatin1(QVMServicesMenu::kObjectPath),
                                       QString::fromLatin1(QVMServicesMenu::kInterface), action.method);
    if (action.takesText)
        call << action.text;
    const QDBusMessage reply = connection.call(call, QDBus::Block, timeoutMs);
    if (reply.type() == QDBusMessage::ReplyMessage)
        return Forward::Delivered;
    if (message)
        *message = reply.errorMessage();
    // A running program of an older version has no Services object: start this one's action there anyway.
    if (reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.UnknownObject") ||
        reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.UnknownMethod"))
        return Forward::NoInstance;
    return Forward::Refused;
}

void QVMServicesCommandLine::perform(const Action &action) {
    QVMServicesMenu &menu = QVMServicesMenu::sharedInstance();
    if (action.method == QLatin1String("showTranslate"))
        menu.showTranslate(action.text);
    else if (action.method == QLatin1String("showTranslateInAgent"))
        menu.showTranslateInAgent(action.text);
    else if (action.method == QLatin1String("translateWebPagePasteboardUrl"))
        menu.translateWebPagePasteboardUrl();
    else if (action.method == QLatin1String("showAgent"))
        menu.showAgent();
}

QString QVMServicesCommandLine::readStandardInput(std::FILE *input, qint64 limit) {
    QByteArray bytes;
    char buffer[64 * 1024];
    while (bytes.size() <= limit) {
        const size_t wanted = size_t(std::min<qint64>(qint64(sizeof buffer), limit + 1 - bytes.size()));
        const size_t got = std::fread(buffer, 1, wanted, input);
        if (got == 0)
            break;
        bytes.append(buffer, qsizetype(got));
    }
    QStringDecoder decoder(QStringDecoder::Utf8);
    return decoder(bytes);
}
