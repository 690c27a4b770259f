#pragma once

#include <QString>

#include <stdexcept>

namespace platform {

// Raised inside the store for misuse (unknown class or property, a value of the
// wrong type, a duplicate primary key) and for SQLite failures. It never leaves
// ObjectStore::write(): the transaction is rolled back and the error returned.
class StoreError : public std::runtime_error {
public:
    explicit StoreError(const QString &message, int sqliteCode = 0)
        : std::runtime_error(message.toStdString()), m_message(message), m_sqliteCode(sqliteCode) {}

    const QString &message() const { return m_message; }
    int sqliteCode() const { return m_sqliteCode; }

private:
    QString m_message;
    int m_sqliteCode;
};

} // namespace platform
