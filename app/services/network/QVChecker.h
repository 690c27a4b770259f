#pragma once

#include <QString>

// A hook every text of the word-entry, lexical-meaning and speech requests
// passes through before its parameters are built. It checks nothing yet; the
// requests call it so a check added here applies to all of them at once.
class QVChecker {
public:
    static void check(const QString &text);

    QVChecker() = delete;
};
