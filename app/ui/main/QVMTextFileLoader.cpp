#include "ui/main/QVMTextFileLoader.h"

#include "core/localization/QVLocalizedString.h"
#include "platform/Format.h"
#include "platform/MainQueue.h"

#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QStringDecoder>
#include <QThreadPool>

namespace {

QString megabytes(qint64 bytes) {
    return QString::number(double(bytes) / (1024.0 * 1024.0), 'f', 1) + QStringLiteral(" MB");
}

platform::Error loadError(QVMTextFileLoader::Code code, const QString &text) {
    return platform::Error(QString::fromLatin1(QVMTextFileLoader::kErrorDomain), code, text);
}

QString message(const char *key, const QString &fileName) {
    return platform::format(QVLocalizedString(QString::fromLatin1(key)), fileName);
}

} // namespace

QVMTextFileLoader::QVMTextFileLoader(QObject *parent) : QObject(parent) {}

void QVMTextFileLoader::load(const QString &path, Completion completion) {
    const quint64 generation = ++m_generation;
    m_loading = true;
    QPointer<QVMTextFileLoader> self(this);
    QThreadPool::globalInstance()->start([self, generation, path, completion] {
        platform::Error error;
        const QString text = read(path, &error);
        platform::dispatchAsyncMain([self, generation, text, error, completion] {
            if (!self || generation != self->m_generation)
                return;
            self->m_loading = false;
            if (completion)
                completion(text, error);
        });
    });
}

QString QVMTextFileLoader::read(const QString &path, platform::Error *error) {
    const QString name = QFileInfo(path).fileName();
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) {
        *error = loadError(Unreadable, message("_loc_text_file_unreadable", name));
        return {};
    }
    const auto tooLarge = [&](qint64 size) {
        *error = loadError(TooLarge,
                           platform::format(QVLocalizedString(QStringLiteral("_loc_text_file_too_large")),
                                            name, megabytes(size), megabytes(kMaxBytes)));
        return QString();
    };
    if (file.size() > kMaxBytes)
        return tooLarge(file.size());
    // One byte more than allowed tells a file that grew past the limit since it was looked at.
    const QByteArray bytes = file.read(kMaxBytes + 1);
    if (bytes.size() > kMaxBytes)
        return tooLarge(bytes.size());
    if (file.error() != QFileDevice::NoError) {
        *error = loadError(Unreadable, message("_loc_text_file_unreadable", name));
        return {};
    }
    const std::optional<QString> text = decode(bytes);
    if (!text) {
        *error = loadError(NotText, message("_loc_text_file_not_text", name));
        return {};
    }
    if (text->trimmed().isEmpty()) {
        *error = loadError(Empty, message("_loc_text_file_empty", name));
        return {};
    }
    return *text;
}

std::optional<QString> QVMTextFileLoader::decode(const QByteArray &bytes) {
    // A byte-order mark names its encoding; without one only UTF-8 is taken, never guessed.
    const QStringConverter::Encoding encoding =
        QStringConverter::encodingForData(bytes).value_or(QStringConverter::Utf8);
    QStringDecoder decoder(encoding);
    QString text = decoder.decode(bytes);
    if (decoder.hasError() || text.contains(QChar(0)))
        return std::nullopt;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}
