#pragma once

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>

namespace qvtest {

// Debian's wordnet-base.
inline QString systemWordNetFolder() {
    return QStringLiteral("/usr/share/wordnet");
}

// Links Debian's WordNet files into a folder (the dictionary package's layout).
inline bool installWordNet(const QString &folder) {
    if (!QDir().mkpath(folder))
        return false;
    const QDir source(systemWordNetFolder());
    const QStringList files = source.entryList({"index.*", "data.*", "*.exc"}, QDir::Files);
    if (files.size() < 8)
        return false;
    for (const QString &name : files) {
        const QString target = QDir(folder).filePath(name);
        if (!QFile::exists(target) && !QFile::link(source.filePath(name), target))
            return false;
    }
    return true;
}

// A small WordNet folder: each part of speech's index holds licence-like
// header lines (they start with two spaces, as the real ones do) and the given
// lemmas, sorted; the data files hold one line each.
inline void writeSmallWordNet(const QString &folder, const QStringList &nouns, const QStringList &verbs = {},
                              const QStringList &adjectives = {}, const QStringList &adverbs = {}) {
    ASSERT_TRUE(QDir().mkpath(folder));
    const QList<QPair<const char *, QStringList>> files = {
        {"noun", nouns}, {"verb", verbs}, {"adj", adjectives}, {"adv", adverbs}};
    for (const auto &[suffix, lemmas] : files) {
        QStringList sorted = lemmas;
        std::sort(sorted.begin(), sorted.end(),
                  [](const QString &a, const QString &b) { return a.toUtf8() < b.toUtf8(); });
        QFile index(QDir(folder).filePath(QStringLiteral("index.") + QLatin1String(suffix)));
        ASSERT_TRUE(index.open(QIODevice::WriteOnly));
        index.write("  1 This software and database is being provided\n  2 under a licence  \n");
        for (const QString &lemma : sorted)
            index.write(lemma.toUtf8() + " n 1 0 1 0 00000000  \n");
        QFile data(QDir(folder).filePath(QStringLiteral("data.") + QLatin1String(suffix)));
        ASSERT_TRUE(data.open(QIODevice::WriteOnly));
        data.write("00000000 03 n 01 placeholder 0 000 | a stand-in  \n");
    }
}

} // namespace qvtest
