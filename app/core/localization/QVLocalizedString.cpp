#include "QVLocalizedString.h"

#include "DJLocalizationSystem.h"

QString QVLocalizedString(const QString &key) {
    DJLocalizationSystem &system = DJLocalizationSystem::shared();
    const QString chosen = system.stringInCurrentTable(key);
    if (!chosen.isEmpty())
        return chosen;
    // The English table is read apart, so the shared language never flips back and forth.
    const QString english = system.englishStringForKey(key);
    return english.isEmpty() ? key : english;
}
