#include "platform/store/detail/PageFile.h"

#include <sqlite3.h>

#include <cstring>

namespace platform::detail {

namespace {

constexpr char kMagic[] = "SQLite format 3";
constexpr int kHeaderSize = 100;

quint32 be16(const uchar *p) {
    return (quint32(p[0]) << 8) | p[1];
}

quint32 be32(const uchar *p) {
    return (quint32(p[0]) << 24) | (quint32(p[1]) << 16) | (quint32(p[2]) << 8) | p[3];
}

void putBe16(uchar *p, quint32 v) {
    p[0] = uchar(v >> 8);
    p[1] = uchar(v);
}

void putBe32(uchar *p, quint32 v) {
    p[0] = uchar(v >> 24);
    p[1] = uchar(v >> 16);
    p[2] = uchar(v >> 8);
    p[3] = uchar(v);
}

// SQLite's variable-length integer; false when it runs past `end`.
bool readVarint(const uchar *&p, const uchar *end, quint64 &out) {
    quint64 v = 0;
    for (int i = 0; i < 9; ++i) {
        if (p >= end)
            return false;
        const uchar byte = *p++;
        if (i == 8) {
            out = (v << 8) | byte;
            return true;
        }
        v = (v << 7) | (byte & 0x7f);
        if (!(byte & 0x80)) {
            out = v;
            return true;
        }
    }
    return false;
}

qint64 bodySize(quint64 type) {
    static const qint64 sizes[] = {0, 1, 2, 3, 4, 6, 8, 8, 0, 0};
    if (type < 10)
        return sizes[type];
    if (type < 12)
        return -1; // reserved: not a record
    return static_cast<qint64>((type - 12) / 2);
}

QVariant decode(quint64 type, const uchar *p) {
    switch (type) {
    case 0:
        return {};
    case 8:
        return QVariant::fromValue<qint64>(0);
    case 9:
        return QVariant::fromValue<qint64>(1);
    case 7: {
        const quint64 bits = (quint64(be32(p)) << 32) | be32(p + 4);
        double d;
        std::memcpy(&d, &bits, sizeof d);
        return QVariant(d);
    }
    default:
        break;
    }
    if (type <= 6) {
        const qint64 n = bodySize(type);
        qint64 v = (p[0] & 0x80) ? -1 : 0; // sign-extended big-endian
        for (qint64 i = 0; i < n; ++i)
            v = static_cast<qint64>((static_cast<quint64>(v) << 8) | p[i]);
        return QVariant::fromValue<qint64>(v);
    }
    const int n = static_cast<int>(bodySize(type));
    if (type % 2 == 0)
        return QVariant(QByteArray(reinterpret_cast<const char *>(p), n));
    return QVariant(QString::fromUtf8(reinterpret_cast<const char *>(p), n));
}

bool isTreeKind(int kind) {
    return kind == PageFile::IndexInterior || kind == PageFile::TableInterior ||
           kind == PageFile::IndexLeaf || kind == PageFile::TableLeaf;
}

// Whether the bytes at `p` start like a tree page of `pageSize` bytes.
bool looksLikeTreePage(const uchar *p, int pageSize, int offset) {
    const int kind = p[offset];
    if (!isTreeKind(kind))
        return false;
    const quint32 cells = be16(p + offset + 3);
    const quint32 content = be16(p + offset + 5);
    const int headerBytes = (kind == PageFile::TableInterior || kind == PageFile::IndexInterior) ? 12 : 8;
    const quint64 pointers = quint64(offset) + quint64(headerBytes) + 2 * quint64(cells);
    const quint32 start = content == 0 ? 65536 : content;
    return pointers <= quint64(pageSize) && start <= quint32(pageSize) && (cells == 0 || start >= pointers);
}

} // namespace

PageFile::PageFile(const QString &path, int pageSize) : m_file(path) {
    if (!m_file.open(QIODevice::ReadOnly))
        return;
    m_size = m_file.size();
    if (m_size < kHeaderSize)
        return;
    m_data = m_file.map(0, m_size);
    if (!m_data)
        return;
    const QByteArray header(reinterpret_cast<const char *>(m_data), kHeaderSize);
    if (headerIsValid(header)) {
        const quint32 size = be16(m_data + 16);
        m_pageSize = size == 1 ? 65536 : static_cast<int>(size);
        m_reserved = m_data[20];
    } else {
        m_pageSize = guessPageSize(m_data, m_size);
    }
    if (pageSize > 0)
        m_pageSize = pageSize;
    if (m_reserved >= m_pageSize / 2)
        m_reserved = 0;
    m_pageCount = m_size / m_pageSize;
}

PageFile::~PageFile() {
    if (m_data)
        m_file.unmap(const_cast<uchar *>(m_data));
}

const uchar *PageFile::page(qint64 number) const {
    if (!m_data || number < 1 || number > m_pageCount)
        return nullptr;
    return m_data + (number - 1) * m_pageSize;
}

PageFile::Kind PageFile::kind(qint64 number) const {
    const uchar *p = page(number);
    if (!p || !looksLikeTreePage(p, m_pageSize, headerOffset(number)))
        return Other;
    return static_cast<Kind>(p[headerOffset(number)]);
}

QList<qint64> PageFile::children(qint64 number) const {
    QList<qint64> out;
    const Kind k = kind(number);
    if (k != TableInterior && k != IndexInterior)
        return out;
    const uchar *p = page(number);
    const int h = headerOffset(number);
    const quint32 cells = be16(p + h + 3);
    const auto add = [&](quint32 child) {
        if (child >= 1 && child <= quint64(m_pageCount) && child != number)
            out.append(child);
    };
    for (quint32 i = 0; i < cells; ++i) {
        const quint32 offset = be16(p + h + 12 + 2 * i);
        if (offset + 4 <= quint32(m_pageSize))
            add(be32(p + offset));
    }
    add(be32(p + h + 8));
    return out;
}

QList<PageFile::Row> PageFile::rows(qint64 number, bool withValues) const {
    QList<Row> out;
    if (kind(number) != TableLeaf)
        return out;
    const uchar *p = page(number);
    const uchar *end = p + m_pageSize;
    const int h = headerOffset(number);
    const quint32 cells = be16(p + h + 3);
    const qint64 usable = m_pageSize - m_reserved;
    const qint64 maxLocal = usable - 35;
    const qint64 minLocal = ((usable - 12) * 32 / 255) - 23;
    for (quint32 i = 0; i < cells; ++i) {
        const quint32 offset = be16(p + h + 8 + 2 * i);
        if (offset < quint32(h + 8) || offset >= quint32(m_pageSize))
            continue;
        const uchar *at = p + offset;
        quint64 payload = 0;
        quint64 rowid = 0;
        if (!readVarint(at, end, payload) || !readVarint(at, end, rowid))
            continue;
        qint64 local = static_cast<qint64>(payload);
        if (static_cast<qint64>(payload) > maxLocal) {
            const qint64 k = minLocal + ((static_cast<qint64>(payload) - minLocal) % (usable - 4));
            local = k <= maxLocal ? k : minLocal;
        }
        if (local < 0 || at + local > end)
            continue;
        const uchar *record = at;
        const uchar *recordEnd = at + local;
        quint64 headerSize = 0;
        const uchar *cursor = record;
        if (!readVarint(cursor, recordEnd, headerSize) || headerSize > quint64(local))
            continue;
        const uchar *headerEnd = record + headerSize;
        Row row;
        row.rowid = static_cast<qint64>(rowid);
        row.complete = local == static_cast<qint64>(payload);
        bool ok = true;
        quint64 body = 0;
        while (ok && cursor < headerEnd) {
            quint64 type = 0;
            ok = readVarint(cursor, headerEnd, type) && bodySize(type) >= 0;
            if (ok) {
                row.types.append(static_cast<qint64>(type));
                body += static_cast<quint64>(bodySize(type));
                ok = body <= payload;
            }
        }
        if (!ok || cursor != headerEnd || headerSize + body != payload)
            continue;
        if (withValues && row.complete) {
            const uchar *value = headerEnd;
            for (qint64 type : std::as_const(row.types)) {
                row.values.append(decode(static_cast<quint64>(type), value));
                value += bodySize(static_cast<quint64>(type));
            }
        }
        out.append(row);
    }
    return out;
}

bool PageFile::headerIsValid(const QByteArray &header) {
    if (header.size() < kHeaderSize || std::memcmp(header.constData(), kMagic, sizeof kMagic) != 0)
        return false;
    const auto *h = reinterpret_cast<const uchar *>(header.constData());
    const quint32 size = be16(h + 16);
    const bool sizeOk = size == 1 || (size >= 512 && size <= 32768 && (size & (size - 1)) == 0);
    const bool versionsOk = (h[18] == 1 || h[18] == 2) && (h[19] == 1 || h[19] == 2);
    const bool fractionsOk = h[21] == 64 && h[22] == 32 && h[23] == 32;
    return sizeOk && versionsOk && fractionsOk && be32(h + 44) <= 4 && be32(h + 56) <= 3;
}

QByteArray PageFile::madeUpHeader(int pageSize, bool wal) {
    QByteArray header(kHeaderSize, '\0');
    auto *h = reinterpret_cast<uchar *>(header.data());
    std::memcpy(h, kMagic, sizeof kMagic);
    putBe16(h + 16, pageSize == 65536 ? 1 : static_cast<quint32>(pageSize));
    h[18] = h[19] = wal ? 2 : 1;
    h[21] = 64;
    h[22] = 32;
    h[23] = 32;
    putBe32(h + 24, 1); // change counter; the page count stays unset, so SQLite counts the file's pages
    putBe32(h + 40, 1); // schema cookie
    putBe32(h + 44, 4); // schema format
    putBe32(h + 56, 1); // UTF-8
    putBe32(h + 96, SQLITE_VERSION_NUMBER);
    return header;
}

int PageFile::guessPageSize(const uchar *data, qint64 size) {
    int best = 4096;
    double bestScore = -1;
    QList<QPair<int, double>> scores;
    for (int candidate = 512; candidate <= 65536; candidate *= 2) {
        const qint64 pages = std::min<qint64>(size / candidate, 4000);
        if (pages < 2)
            continue;
        qint64 trees = 0;
        for (qint64 k = 2; k <= pages; ++k) {
            if (looksLikeTreePage(data + (k - 1) * candidate, candidate, 0))
                ++trees;
        }
        const double score = double(trees) / double(pages - 1);
        scores.append({candidate, score});
        bestScore = std::max(bestScore, score);
    }
    // Multiples of the real size start on real pages too: the smallest size
    // that scores (almost) as well as the best one is the real one.
    for (const auto &[candidate, score] : std::as_const(scores)) {
        if (bestScore > 0 && score >= 0.9 * bestScore) {
            best = candidate;
            break;
        }
    }
    return best;
}

} // namespace platform::detail
