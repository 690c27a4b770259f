#pragma once

#include <QString>

// The interface string for a "_loc_" key: the chosen language's, else English, else the key.
QString QVLocalizedString(const QString &key);

// The interface-language text of a text the English table holds ("History" -> "Verlauf"),
// else the text itself. Every tr() of the program goes through it too, so a window's
// tr("History") reads from the tables like a "_loc_" key.
QString QVLocalizedEnglish(const QString &english);
