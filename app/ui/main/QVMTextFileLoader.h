#pragma once

#include "platform/Error.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

// Reads a text file for the source panel off the interface thread. UTF-8 (with or without a
// byte-order mark) is read, and UTF-16 or UTF-32 that starts with one; line ends become "\n".
// A file over kMaxBytes, one that is not text (bytes no such encoding gives, or a NUL), one
// holding nothing but blanks, or one that cannot be read is refused with a message naming
// it, and the panels keep what they hold. Main thread.
//
//   m_loader->load(path, [this](const QString &text, const platform::Error &error) {
//       if (error) showError(error.localizedDescription()); else showText(text);
//   });
//
// A newer load replaces one still reading: only the newest completion runs, and none once
// the loader is gone.
class QVMTextFileLoader : public QObject {
    Q_OBJECT
public:
    using Completion = std::function<void(const QString &text, const platform::Error &error)>;

    explicit QVMTextFileLoader(QObject *parent = nullptr);

    void load(const QString &path, Completion completion);
    bool isLoading() const { return m_loading; }

    // The read itself, on any thread.
    static QString read(const QString &path, platform::Error *error);
    // The text the bytes hold; nothing when they are not text.
    static std::optional<QString> decode(const QByteArray &bytes);

    // A text panel of a megabyte still answers a key within a frame.
    static constexpr qint64 kMaxBytes = 1024 * 1024;
    static constexpr const char *kErrorDomain = "com.translator.textfile";
    enum Code { Unreadable = 1, TooLarge = 2, NotText = 3, Empty = 4 };

private:
    quint64 m_generation = 0;
    bool m_loading = false;
};
