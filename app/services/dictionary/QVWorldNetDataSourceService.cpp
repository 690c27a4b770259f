#include "services/dictionary/QVWorldNetDataSourceService.h"

#include "core/models/QVPackageFolders.h"
#include "services/network/QVRequestManager.h"

#include "core/QVEnvironment.h"

#include "platform/MainQueue.h"

#include <QJsonDocument>
#include <QJsonParseError>

namespace {

void failLater(QVWorldNetDataSourceService::Failure failure, const platform::Error &error = {}) {
    platform::dispatchAsyncMain([failure = std::move(failure), error] {
        if (failure)
            failure(error);
    });
}

} // namespace

const WNWorldNet &QVWorldNetDataSourceService::worldNet() {
    // The package folder follows the home folder (tests move it); the system's
    // WordNet serves until a dictionary package is downloaded.
    const QString folder = QVPackageFolders::dictionaryFolder();
    if (!m_worldNet || m_worldNet->folder() != folder || m_worldNet->fallback() != m_systemFolder)
        m_worldNet = std::make_unique<WNWorldNet>(folder, m_systemFolder);
    return *m_worldNet;
}

void QVWorldNetDataSourceService::setSystemFolder(const QString &folder) {
    m_systemFolder = folder;
}

void QVWorldNetDataSourceService::autocompleteForWord(const QString &word, const QString &language,
                                                      WordsSuccess success, Failure failure) {
    if (word.isEmpty()) {
        failLater(std::move(failure));
        return;
    }
    if (QVEnvironment::isNetworkAvailable()) {
        QVRequestManager::instance().getWordEntriesForText(word, language, std::move(success),
                                                           std::move(failure));
        return;
    }
    worldNet().autocompleteForWord(
        word, language,
        [success = std::move(success)](const QStringList &words) {
            QVariantList list;
            for (const QString &each : words.mid(0, kOfflineAutocompleteLimit))
                list.append(each);
            if (success)
                success(list);
        },
        std::move(failure), kOfflineAutocompleteLimit);
}

void QVWorldNetDataSourceService::lexicalMeaningAndSynonymsForWord(const QString &word,
                                                                   const QString &fromLanguage,
                                                                   const QString &toLanguage,
                                                                   LexicalSuccess success, Failure failure) {
    if (word.isEmpty()) {
        failLater(std::move(failure));
        return;
    }
    if (QVEnvironment::isNetworkAvailable()) {
        QVRequestManager::instance().getLexicalMeaningForWord(
            word, fromLanguage, toLanguage,
            [success = std::move(success)](const QVLexicalMeaning &entry) {
                if (success)
                    success(entry, {}, {});
            },
            std::move(failure));
        return;
    }
    // The offline dictionary is English whatever the pair.
    worldNet().lexicForWord(
        word, QString::fromLatin1(kOfflineLanguage),
        [word, success, failure](const QString &json) {
            QJsonParseError parseError;
            const QJsonDocument document = QJsonDocument::fromJson(json.toUtf8(), &parseError);
            if (parseError.error != QJsonParseError::NoError) {
                if (failure)
                    failure(platform::Error(QStringLiteral("QJsonParseError"), parseError.error,
                                            parseError.errorString()));
                return;
            }
            if (success)
                success(QVLexicalMeaning::initWithDictionary(document.toVariant().toMap(), word), {}, {});
        },
        failure);
}
