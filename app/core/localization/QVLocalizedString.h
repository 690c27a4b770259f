#pragma once

#include <QString>

// The interface string for a "_loc_" key: the chosen language's, else English, else the key.
QString QVLocalizedString(const QString &key);
