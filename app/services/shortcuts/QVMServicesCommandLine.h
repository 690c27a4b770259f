#pragma once

#include <QDBusConnection>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <functional>

// The Services entries and shortcut actions as command-line options:
//   quorvalde-translator --show-translate TEXT            (or "-": the text from standard input)
//   quorvalde-translator --show-translate-in-agent TEXT
//   quorvalde-translator --action translate-web-page|show-agent
// A running program gets the call over the bus; otherwise the program starts and then runs it.
class QVMServicesCommandLine {
public:
    struct Action {
        QString method; // a method of the Services object; empty: no action asked
        QString text;
        bool takesText = false;
        QString error; // why the command line cannot be run
        bool isSet() const { return !method.isEmpty(); }
    };
    enum class Forward { Delivered, NoInstance, Refused };

    static Action parse(const QStringList &arguments, const std::function<QString()> &readStandardInput);
    // Calls the running program's Services object; Refused with its error text when it refused.
    static Forward forward(const Action &action, QDBusConnection connection, const QString &serviceName,
                           QString *message, int timeoutMs = 5000);
    // Runs the action in this program.
    static void perform(const Action &action);
    // The text of "-": at most limit + 1 bytes of input (endless input stops there, and a text
    // over the limit is refused as too long), as UTF-8 without a byte-order mark.
    static QString readStandardInput(std::FILE *input, qint64 limit);

    static constexpr const char *kShowTranslate = "--show-translate";
    static constexpr const char *kShowTranslateInAgent = "--show-translate-in-agent";
    static constexpr const char *kAction = "--action";
    static constexpr const char *kStandardInput = "-";

    QVMServicesCommandLine() = delete;
};
