#pragma once

#include <QString>

#include <optional>

// Where support requests are mailed, read from outside the repository: the
// environment (all four variables), else the file "support-mail.conf" in the
// config folder, which must be private to its owner (0600):
//
//   QV_SUPPORT_SMTP_URL       smtps://mail.example.org:465 (plain smtp only to this computer)
//   QV_SUPPORT_SMTP_USER      the account the message is sent with
//   QV_SUPPORT_SMTP_PASSWORD  its password
//   QV_SUPPORT_MAILBOX        the support mailbox: From, To and the envelope
//
// The file holds the same four names, one "NAME=value" a line; "#" starts a comment.
// A file larger than kMaximumFileBytes is refused.
//
//   std::optional<QVSupportMailConfiguration> mail = QVSupportMailConfiguration::load();
//   if (!mail) { /* support requests are not set up on this computer */ }
class QVSupportMailConfiguration {
public:
    QString url;
    QString user;
    QString password;
    QString mailbox;

    static constexpr const char *kUrlVariable = "QV_SUPPORT_SMTP_URL";
    static constexpr const char *kUserVariable = "QV_SUPPORT_SMTP_USER";
    static constexpr const char *kPasswordVariable = "QV_SUPPORT_SMTP_PASSWORD";
    static constexpr const char *kMailboxVariable = "QV_SUPPORT_MAILBOX";
    static constexpr const char *kFileName = "support-mail.conf";
    // Four short lines and comments fit many times over; a larger file is refused unread.
    static constexpr qint64 kMaximumFileBytes = 8 * 1024;

    // The environment, else the file; nothing (with one log line saying why)
    // when neither gives a usable configuration.
    static std::optional<QVSupportMailConfiguration> load();
    // The file at path; *problem says why there is none (never a secret).
    static std::optional<QVSupportMailConfiguration> fromFile(const QString &path, QString *problem);
    static QString filePath();

    // One "@" with a name before it and a dotted host after it, nothing that
    // could end or split a header (white space, control characters, <>,;:"()\).
    static bool isMailbox(const QString &text);

    // "localhost" or a loopback address (a host as QUrl gives it, IPv6 without brackets).
    static bool isLoopback(const QString &host);

    // Empty when usable, else what is wrong (never a secret): a missing value,
    // an address that is not a mailbox, a URL that is neither smtps nor plain
    // smtp to this computer.
    QString problem() const;
};
