#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace qvfuzz {

// Hands out the fuzzer's bytes piece by piece: numbers from the front, text from the rest.
class Input {
public:
    Input(const uint8_t *data, size_t size) : m_data(data), m_size(size) {}

    bool empty() const { return m_size == 0; }

    template <typename T> T take() {
        T value{};
        const size_t n = m_size < sizeof(T) ? m_size : sizeof(T);
        std::memcpy(&value, m_data, n);
        m_data += n;
        m_size -= n;
        return value;
    }

    // Bytes up to the next NUL (consumed) or the end.
    QByteArray takeBytes() {
        size_t n = 0;
        while (n < m_size && m_data[n] != 0)
            ++n;
        const QByteArray out(reinterpret_cast<const char *>(m_data), static_cast<qsizetype>(n));
        const size_t used = n < m_size ? n + 1 : n;
        m_data += used;
        m_size -= used;
        return out;
    }

    QString takeText() { return QString::fromUtf8(takeBytes()); }

private:
    const uint8_t *m_data;
    size_t m_size;
};

} // namespace qvfuzz
