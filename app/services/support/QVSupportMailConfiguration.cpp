#include "QVSupportMailConfiguration.h"

#include "core/DevLog.h"
#include "core/DevLogWarning.h"

#include "platform/AppPaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QUrl>

namespace {

QString environment(const char *name) {
    return qEnvironmentVariable(name).trimmed();
}

} // namespace

bool QVSupportMailConfiguration::isLoopback(const QString &host) {
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        return true;
    const QHostAddress address(host);
    return !address.isNull() && address.isLoopback();
}

bool QVSupportMailConfiguration::isMailbox(const QString &text) {
    static const QString forbidden = QStringLiteral("<>\"(),;:\\");
    for (const QChar ch : text) {
        if (ch.isSpace() || ch.category() == QChar::Other_Control || forbidden.contains(ch))
            return false;
    }
    const QStringList parts = text.split(QLatin1Char('@'));
    if (parts.size() != 2 || parts.at(0).isEmpty())
        return false;
    const QStringList labels = parts.at(1).split(QLatin1Char('.'));
    return labels.size() >= 2 && !labels.contains(QString());
}

QString QVSupportMailConfiguration::problem() const {
    if (url.isEmpty() || user.isEmpty() || password.isEmpty() || mailbox.isEmpty())
        return QStringLiteral("a value is missing");
    if (!isMailbox(mailbox))
        return QStringLiteral("the support mailbox is not a mail address");
    const QUrl parsed(url, QUrl::StrictMode);
    if (!parsed.isValid() || parsed.host().isEmpty() || !parsed.userInfo().isEmpty())
        return QStringLiteral("the server address is not a URL with a host");
    // The password never crosses the network in clear text.
    if (parsed.scheme() == QLatin1String("smtps"))
        return {};
    if (parsed.scheme() == QLatin1String("smtp") && isLoopback(parsed.host()))
        return {};
    return QStringLiteral("the server address must be smtps (plain smtp only to this computer)");
}

QString QVSupportMailConfiguration::filePath() {
    return QDir(platform::AppPaths::config()).filePath(QString::fromLatin1(kFileName));
}

std::optional<QVSupportMailConfiguration> QVSupportMailConfiguration::fromFile(const QString &path,
                                                                               QString *problem) {
    QFile file(path);
    if (!file.exists()) {
        *problem = QStringLiteral("there is no %1").arg(path);
        return std::nullopt;
    }
    const QFile::Permissions others = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                      QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
    if (file.permissions() & others) {
        *problem = QStringLiteral("%1 is open to other users; make it private with chmod 600").arg(path);
        return std::nullopt;
    }
    // A device or a pipe never ends; a damaged file could be gigabytes: only a small regular file is read.
    if (!QFileInfo(path).isFile()) {
        *problem = QStringLiteral("%1 is not a regular file").arg(path);
        return std::nullopt;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        *problem = QStringLiteral("%1 cannot be read").arg(path);
        return std::nullopt;
    }
    const QByteArray text = file.read(kMaximumFileBytes + 1);
    if (text.size() > kMaximumFileBytes) {
        *problem = QStringLiteral("%1 is larger than %2 bytes").arg(path).arg(kMaximumFileBytes);
        return std::nullopt;
    }
    QVSupportMailConfiguration configuration;
    const QList<QPair<const char *, QString *>> names = {{kUrlVariable, &configuration.url},
                                                         {kUserVariable, &configuration.user},
                                                         {kPasswordVariable, &configuration.password},
                                                         {kMailboxVariable, &configuration.mailbox}};
    for (const QByteArray &raw : text.split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (line.startsWith(QLatin1Char('#')) || equals <= 0)
            continue;
        const QString name = line.left(equals).trimmed();
        for (const auto &[key, value] : names) {
            if (name == QLatin1String(key))
                *value = line.mid(equals + 1).trimmed();
        }
    }
    const QString wrong = configuration.problem();
    if (!wrong.isEmpty()) {
        *problem = QStringLiteral("%1: %2").arg(path, wrong);
        return std::nullopt;
    }
    return configuration;
}

std::optional<QVSupportMailConfiguration> QVSupportMailConfiguration::load() {
    QVSupportMailConfiguration fromEnvironment{environment(kUrlVariable), environment(kUserVariable),
                                               qEnvironmentVariable(kPasswordVariable),
                                               environment(kMailboxVariable)};
    const bool anySet = !fromEnvironment.url.isEmpty() || !fromEnvironment.user.isEmpty() ||
                        !fromEnvironment.password.isEmpty() || !fromEnvironment.mailbox.isEmpty();
    QString problem;
    if (anySet) {
        problem = fromEnvironment.problem();
        if (problem.isEmpty())
            return fromEnvironment;
        problem = QStringLiteral("the QV_SUPPORT_* variables: %1").arg(problem);
    } else if (std::optional<QVSupportMailConfiguration> stored = fromFile(filePath(), &problem)) {
        return stored;
    }
    // No configuration at all is the usual case; one that is there and refused is worth a warning.
    if (anySet || QFileInfo::exists(filePath()))
        DevLogWarning("[support] Support requests are off: %@", problem);
    else
        DevLog("[support] Support requests are off: %@", problem);
    return std::nullopt;
}
