#include "startup/QVUpdateChecker.h"

#include "platform/BackendNetworkAccess.h"

#include "core/DevLog.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <QXmlStreamReader>

namespace {

const QString kSparkleVersion = QStringLiteral("sparkle:version");
const QString kSparkleShortVersion = QStringLiteral("sparkle:shortVersionString");

QUrl httpsOnly(const QString &text) {
    const QUrl url(text.trimmed(), QUrl::StrictMode);
    return url.isValid() && url.scheme() == QLatin1String("https") && !url.host().isEmpty() ? url : QUrl();
}

// A version is dotted numbers, optionally followed by a pre-release tag ("1.0-beta", "1.2b3").
struct VersionText {
    QString numbers;
    QString tag;
};

VersionText splitVersion(const QString &version) {
    // The tag starts where a number is followed by something else; text after a dot is not a tag.
    static const QRegularExpression tagged(QStringLiteral("^([\\d.]*\\d)([^\\d.].*)$"));
    const QString text = version.trimmed();
    const QRegularExpressionMatch match = tagged.match(text);
    if (!match.hasMatch())
        return {text, QString()};
    return {match.captured(1), match.captured(2)};
}

// Digit runs compare by value, the rest by text: "b10" > "b9", "rc1" > "beta2".
int compareTags(const QString &a, const QString &b) {
    static const QRegularExpression runs(QStringLiteral("\\d+|\\D+"));
    QRegularExpressionMatchIterator left = runs.globalMatch(a.toLower());
    QRegularExpressionMatchIterator right = runs.globalMatch(b.toLower());
    while (left.hasNext() && right.hasNext()) {
        const QString l = left.next().captured();
        const QString r = right.next().captured();
        if (l.front().isDigit() && r.front().isDigit()) {
            const qint64 ln = l.left(18).toLongLong();
            const qint64 rn = r.left(18).toLongLong();
            if (ln != rn)
                return ln < rn ? -1 : 1;
            continue;
        }
        const int order = l.compare(r);
        if (order != 0)
            return order < 0 ? -1 : 1;
    }
    return left.hasNext() ? 1 : right.hasNext() ? -1 : 0;
}

QList<qint64> versionParts(const QString &numbers) {
    static const QRegularExpression leadingDigits(QStringLiteral("^\\d+"));
    QList<qint64> parts;
    for (const QString &part : numbers.split(QLatin1Char('.'))) {
        const QRegularExpressionMatch match = leadingDigits.match(part);
        parts.append(match.hasMatch() ? match.captured().left(18).toLongLong() : 0);
    }
    return parts;
}

// The version is shown in a notice that renders markup: only version-like text is taken.
bool showableVersion(const QString &version) {
    static const QRegularExpression versionLike(QStringLiteral("^\\d[0-9A-Za-z .+~_()-]{0,63}$"));
    return versionLike.match(version).hasMatch();
}

// Reads one <item>; the reader stands on its start element.
QVUpdateChecker::Item readItem(QXmlStreamReader &xml) {
    QVUpdateChecker::Item item;
    QUrl link;
    QUrl enclosure;
    while (xml.readNextStartElement()) {
        const QString name = xml.qualifiedName().toString();
        if (name == QLatin1String("enclosure")) {
            const QXmlStreamAttributes attributes = xml.attributes();
            for (const QXmlStreamAttribute &attribute : attributes) {
                const QString attributeName = attribute.qualifiedName().toString();
                if (attributeName == kSparkleVersion && item.version.isEmpty())
                    item.version = attribute.value().toString().trimmed();
                else if (attributeName == kSparkleShortVersion && item.shortVersionString.isEmpty())
                    item.shortVersionString = attribute.value().toString().trimmed();
                else if (attributeName == QLatin1String("url"))
                    enclosure = httpsOnly(attribute.value().toString());
            }
            xml.skipCurrentElement();
        } else if (name == kSparkleVersion) {
            item.version = xml.readElementText().trimmed();
        } else if (name == kSparkleShortVersion) {
            item.shortVersionString = xml.readElementText().trimmed();
        } else if (name == QLatin1String("link")) {
            link = httpsOnly(xml.readElementText());
        } else {
            xml.skipCurrentElement();
        }
    }
    item.downloadPage = link.isValid() ? link : enclosure;
    return item;
}

} // namespace

QVUpdateChecker::QVUpdateChecker(QObject *parent)
    : QObject(parent), m_network(new platform::BackendNetworkAccess(this)),
      m_currentVersion(QStringLiteral(QV_SHORT_VERSION)) {
    m_timer.setSingleShot(false);
    connect(&m_timer, &QTimer::timeout, this, &QVUpdateChecker::checkForUpdates);
}

QVUpdateChecker::~QVUpdateChecker() {
    if (m_reply)
        m_reply->abort();
}

QVUpdateChecker &QVUpdateChecker::shared() {
    static QVUpdateChecker *checker = new QVUpdateChecker; // lives for the whole process
    return *checker;
}

void QVUpdateChecker::setFeedURL(const QUrl &url) {
    const QUrl feed = httpsOnly(url.toString());
    if (!feed.isValid()) {
        DevLog(QString::fromLatin1(kRefusedFeedLog), url.toString());
        m_feed = QUrl();
        return;
    }
    m_feed = feed;
}

void QVUpdateChecker::setAutomaticallyChecksForUpdates(bool on) {
    m_automatic = on;
    restartTimer();
}

void QVUpdateChecker::setUpdateCheckInterval(int seconds) {
    m_intervalSeconds = seconds > 0 ? seconds : kDefaultIntervalSeconds;
    restartTimer();
}

void QVUpdateChecker::restartTimer() {
    if (!m_automatic) {
        m_timer.stop();
        return;
    }
    m_timer.start(std::chrono::seconds(m_intervalSeconds));
}

bool QVUpdateChecker::checkForUpdates() {
    if (!m_feed.isValid()) {
        DevLog(QString::fromLatin1(kNoFeedLog));
        return false;
    }
    if (m_reply) // one check at a time; the running one answers for this request too
        return true;
    QNetworkRequest request(m_feed);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::SameOriginRedirectPolicy);
    request.setTransferTimeout(kTimeoutMs);
    ++m_checksStarted;
    QNetworkReply *reply = m_network->get(request);
    m_reply = reply;
    connect(reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 received, qint64 total) {
        if (received > kMaxFeedBytes || total > kMaxFeedBytes) {
            reply->setProperty("tooLarge", true);
            reply->abort();
        }
    });
    QTimer::singleShot(m_deadlineMs, reply, [reply] {
        reply->setProperty("tooSlow", true);
        reply->abort();
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply] { onFinished(reply); });
    return true;
}

void QVUpdateChecker::fail(const QString &reason) {
    DevLog(QString::fromLatin1(kFailedLog), reason);
    emit checkFinished(false);
}

void QVUpdateChecker::onFinished(QNetworkReply *reply) {
    reply->deleteLater();
    m_reply = nullptr;
    if (reply->property("tooLarge").toBool())
        return fail(QStringLiteral("feed larger than %1 bytes").arg(kMaxFeedBytes));
    if (reply->property("tooSlow").toBool())
        return fail(QStringLiteral("feed not read within %1 ms").arg(m_deadlineMs));
    if (reply->error() != QNetworkReply::NoError)
        return fail(reply->errorString());
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status != 200)
        return fail(QStringLiteral("HTTP status %1").arg(status));
    const Feed feed = parseFeed(reply->readAll());
    if (!feed.valid)
        return fail(feed.error);
    if (feed.newest && compareVersions(feed.newest->displayVersion(), m_currentVersion) > 0) {
        DevLog(QString::fromLatin1(kAvailableLog), feed.newest->displayVersion());
        emit updateAvailable(feed.newest->displayVersion(), feed.newest->downloadPage);
    } else {
        DevLog(QString::fromLatin1(kUpToDateLog), m_currentVersion);
    }
    emit checkFinished(true);
}

QVUpdateChecker::Feed QVUpdateChecker::parseFeed(const QByteArray &data) {
    Feed feed;
    QXmlStreamReader xml(data);
    // The prefix is matched as written; feeds that forget to declare it still read.
    xml.setNamespaceProcessing(false);
    if (!xml.readNextStartElement() || xml.name() != QLatin1String("rss")) {
        feed.error = xml.hasError() ? xml.errorString() : QStringLiteral("not an RSS feed");
        return feed;
    }
    while (xml.readNextStartElement()) {
        if (xml.name() != QLatin1String("channel")) {
            xml.skipCurrentElement();
            continue;
        }
        while (xml.readNextStartElement()) {
            if (xml.name() != QLatin1String("item")) {
                xml.skipCurrentElement();
                continue;
            }
            const Item item = readItem(xml);
            if (!showableVersion(item.displayVersion()))
                continue;
            if (!feed.newest || compareVersions(item.displayVersion(), feed.newest->displayVersion()) > 0)
                feed.newest = item;
        }
    }
    if (xml.hasError()) {
        feed.error = xml.errorString();
        feed.newest.reset();
        return feed;
    }
    feed.valid = true;
    return feed;
}

int QVUpdateChecker::compareVersions(const QString &a, const QString &b) {
    const VersionText first = splitVersion(a);
    const VersionText second = splitVersion(b);
    const QList<qint64> left = versionParts(first.numbers);
    const QList<qint64> right = versionParts(second.numbers);
    for (qsizetype i = 0; i < qMax(left.size(), right.size()); ++i) {
        const qint64 l = left.value(i, 0);
        const qint64 r = right.value(i, 0);
        if (l != r)
            return l < r ? -1 : 1;
    }
    // Same numbers: a pre-release comes before its release, so "1.0-beta" users are offered "1.0".
    if (first.tag.isEmpty() || second.tag.isEmpty())
        return first.tag.isEmpty() ? (second.tag.isEmpty() ? 0 : 1) : -1;
    return compareTags(first.tag, second.tag);
}
