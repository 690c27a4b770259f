#include "QVLocalizedString.h"

#include "DJLocalizationSystem.h"

#include <QCoreApplication>
#include <QTranslator>

QString QVLocalizedString(const QString &key) {
    DJLocalizationSystem &system = DJLocalizationSystem::shared();
    const QString chosen = system.stringInCurrentTable(key);
    if (!chosen.isEmpty())
        return chosen;
    // The English table is read apart, so the shared language never flips back and forth.
    const QString english = system.englishStringForKey(key);
    return english.isEmpty() ? key : english;
}

QString QVLocalizedEnglish(const QString &english) {
    const QString key = DJLocalizationSystem::shared().keyForEnglishString(english);
    return key.isEmpty() ? english : QVLocalizedString(key);
}

namespace {

// Answers tr() from the tables in the language chosen at the moment of the call.
class TableTranslator : public QTranslator {
public:
    using QTranslator::QTranslator;
    bool isEmpty() const override { return false; }
    QString translate(const char *, const char *sourceText, const char *, int) const override {
        if (!sourceText || !*sourceText)
            return {};
        const QString english = QString::fromUtf8(sourceText);
        const QString key = DJLocalizationSystem::shared().keyForEnglishString(english);
        // Nothing for a text outside the tables: Qt then shows the source text.
        return key.isEmpty() ? QString() : QVLocalizedString(key);
    }
};

void installTableTranslator() {
    QCoreApplication::installTranslator(new TableTranslator(QCoreApplication::instance()));
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(installTableTranslator)
