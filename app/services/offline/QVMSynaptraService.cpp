#include "services/offline/QVMSynaptraService.h"

#include "services/offline/QVOnDemandTranslationEngine.h"
#include "services/offline/QVTranslatorError.h"

#include "services/network/QVRequestManager.h"

#include "core/DevLog.h"
#include "core/DevLogger.h"
#include "core/history/QVDataManager.h"
#include "core/localization/QVLocalizedString.h"
#include "core/mapping/JSONMapping.h"
#include "core/settings/QVSettingsService.h"

#include "platform/MainQueue.h"
#include "platform/NetworkStatus.h"

#include <atomic>
#include <vector>

namespace {

const QString kEnglish = QString::fromLatin1(QVMSynaptraService::kEnglishCode);

QVMSynaptraService::UnknownWordsUploader &unknownWordsUploader() {
    static QVMSynaptraService::UnknownWordsUploader uploader;
    return uploader;
}

platform::Error cancelledError() {
    return QVTranslatorError::error(QVTranslatorError::Cancelled, QStringLiteral("cancelled"));
}

platform::Error slotNotLoadedError() {
    return QVTranslatorError::error(QVTranslatorError::SlotNotLoaded,
                                    QVLocalizedString(QStringLiteral("_loc_error")));
}

std::atomic<QVMSynaptraService *> g_sharedInstance{nullptr};

QString codeOf(const QVLanguageRealm &language) {
    return language.isNull() ? QString() : language.languageString();
}

bool hasPackage(const QVLanguageRealm &language) {
    return !language.isNull() && language.isOfflinePackage();
}

void storeUnknownWords(const QString &words, const QString &toLang) {
    if (words.isEmpty())
        return;
    QList<QVUnknownWord> records;
    for (const QString &word : words.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        records.append(QVUnknownWord::initWithWord(word, toLang));
    if (const platform::Error error = QVDataManager::sharedInstance().saveUnknownWords(records))
        DevLogger::logError(error, QStringLiteral("saveUnknownWords"));
}

} // namespace

struct QVMSynaptraService::Step {
    Slot slot;
    QString language;       // what the slot must hold
    QString unknownWordsTo; // the code its untranslated words are stored with
};

QVMSynaptraService &QVMSynaptraService::sharedInstance() {
    // Never destroyed: models stay loaded until the process ends.
    static QVMSynaptraService *instance = [] {
        auto *made = new QVMSynaptraService(std::make_unique<QVOnDemandTranslationEngine>());
        g_sharedInstance = made;
        return made;
    }();
    return *instance;
}

QVMSynaptraService *QVMSynaptraService::sharedInstanceIfMade() {
    return g_sharedInstance;
}

void QVMSynaptraService::deliver(const Completion &completion, const QString &text,
                                 const platform::Error &error) {
    std::lock_guard<std::mutex> lock(m_deliveryMutex);
    if (completion && !m_stopped)
        platform::dispatchAsyncMain([completion, text, error] { completion(text, error); });
}

void QVMSynaptraService::deliverLoad(const LoadCompletion &completion, const platform::Error &error) {
    std::lock_guard<std::mutex> lock(m_deliveryMutex);
    if (completion && !m_stopped)
        platform::dispatchAsyncMain([completion, error] { completion(error); });
}

bool QVMSynaptraService::stopped() const {
    std::lock_guard<std::mutex> lock(m_deliveryMutex);
    return m_stopped;
}

void QVMSynaptraService::stopForExit() {
    {
        std::lock_guard<std::mutex> lock(m_deliveryMutex);
        m_stopped = true;
    }
    cancelWaitingWork();
}

bool QVMSynaptraService::waitUntilIdle(int timeoutMs) {
    return m_queue->waitUntilAllOperationsAreFinished(timeoutMs);
}

QVMSynaptraService::QVMSynaptraService(std::unique_ptr<QVTranslationEngine> engine)
    : m_engine(std::move(engine)),
      m_queue(std::make_unique<platform::OperationQueue>(QStringLiteral("offline-engine"))) {
    m_reachabilityToken = platform::NotificationCenter::defaultCenter().addObserver(
        QString::fromLatin1(platform::NetworkStatus::kReachabilityChangedNotification),
        [this](const QVariantMap &userInfo) {
            reachabilityDidChange(
                userInfo.value(QString::fromLatin1(platform::NetworkStatus::kStatusKey)).toInt());
        });
}

QVMSynaptraService::~QVMSynaptraService() {
    platform::NotificationCenter::defaultCenter().removeObserver(m_reachabilityToken);
    cancelWaitingWork();
    m_queue.reset();
}

QString QVMSynaptraService::firstPairLang() const {
    return slotLanguage(QVTranslationEngine::FirstSlot);
}

QString QVMSynaptraService::secondPairLang() const {
    return slotLanguage(QVTranslationEngine::SecondSlot);
}

QString QVMSynaptraService::slotLanguage(Slot slot) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return slot == QVTranslationEngine::FirstSlot ? m_firstPairLang : m_secondPairLang;
}

void QVMSynaptraService::setSlotLanguage(Slot slot, const QString &code) {
    std::lock_guard<std::mutex> lock(m_mutex);
    (slot == QVTranslationEngine::FirstSlot ? m_firstPairLang : m_secondPairLang) = code;
}

quint64 QVMSynaptraService::track(std::function<void()> answerCancelled) {
    std::lock_guard<std::mutex> lock(m_mutex);
    const quint64 job = m_nextJob++;
    m_waiting.emplace(
        job, answerCancelled ? std::move(answerCancelled) : [] {});
    return job;
}

bool QVMSynaptraService::claim(quint64 job) {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_waiting.erase(job) == 1;
}

void QVMSynaptraService::cancelWaitingWork() {
    std::map<quint64, std::function<void()>> cancelled;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_pairGeneration;
        cancelled.swap(m_waiting);
        m_translationsWaiting = 0;
        m_heldLoads.clear();
    }
    // The queue drops its blocks silently; the jobs it held are answered here.
    m_queue->cancelAllOperations();
    for (auto &entry : cancelled)
        entry.second();
}

void QVMSynaptraService::setFromLanguage(const QVLanguageRealm &from, const QVLanguageRealm &to) {
    const QString f = codeOf(from);
    const QString t = codeOf(to);
    if (f == t)
        return;
    const bool translatable = (f == kEnglish && hasPackage(to)) || (t == kEnglish && hasPackage(from)) ||
                              (hasPackage(from) && hasPackage(to));
    if (!translatable)
        return;
    cancelWaitingWork();
    if (t == kEnglish) {
        queueLoad(QVTranslationEngine::FirstSlot, from, {});
    } else if (f == kEnglish) {
        queueLoad(QVTranslationEngine::SecondSlot, to, {});
    } else {
        queueLoad(QVTranslationEngine::FirstSlot, from, {});
        queueLoad(QVTranslationEngine::SecondSlot, to, {});
    }
}

void QVMSynaptraService::setModelForEngPosition(uint position, const QVLanguageRealm &language,
                                                const LoadCompletion &completion) {
    if (completion && !hasPackage(language)) {
        completion(errorWithMessage(QStringLiteral("")));
        return;
    }
    if (language.isNull())
        return;
    queueLoad(position != 0 ? QVTranslationEngine::FirstSlot : QVTranslationEngine::SecondSlot, language,
              completion);
}

void QVMSynaptraService::queueLoad(Slot slot, const QVLanguageRealm &language,
                                   const LoadCompletion &completion) {
    if (stopped())
        return;
    const QString code = language.languageString();
    const bool first = slot == QVTranslationEngine::FirstSlot;
    const QString modelDir =
        first ? language.pathOfflinePackageDirToEng() : language.pathOfflinePackageDirFromEng();
    const QString fromModel =
        first ? language.pathOfflinePackageLangModelTo() : language.pathOfflinePackageEngModelFrom();
    const QString toModel =
        first ? language.pathOfflinePackageEngModelTo() : language.pathOfflinePackageLangModelFrom();
    const quint64 job = track(
        completion ? std::function<void()>([this, completion] { deliverLoad(completion, cancelledError()); })
                   : std::function<void()>());
    std::function<void()> operation = [this, job, slot, code, modelDir, fromModel, toModel, completion] {
        if (claim(job))
            runLoad(slot, code, modelDir, fromModel, toModel, completion);
    };
    // Under the lock, so that a release in between cannot put held loads behind this one.
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_loadsHeld)
        m_heldLoads.push_back(std::move(operation));
    else
        m_queue->addOperation(std::move(operation));
}

void QVMSynaptraService::holdLoads() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_loadsHeld = true;
}

void QVMSynaptraService::releaseLoads() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_loadsHeld = false;
    for (auto &operation : m_heldLoads)
        m_queue->addOperation(std::move(operation));
    m_heldLoads.clear();
}

bool QVMSynaptraService::loadsHeld() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_loadsHeld;
}

void QVMSynaptraService::runLoad(Slot slot, const QString &code, const QString &modelDir,
                                 const QString &fromModel, const QString &toModel,
                                 const LoadCompletion &completion) {
    const QString held = slotLanguage(slot);
    if (!code.isEmpty() && held == code) {
        deliverLoad(completion, {});
        return;
    }
    SYNError releaseError;
    if (!held.isEmpty()) {
        m_engine->release(slot, releaseError);
        setSlotLanguage(slot, QString());
    }
    // A translation already waiting warms the model with its own run, sooner than ours would.
    bool warmUp = true;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        warmUp = m_translationsWaiting == 0;
    }
    SYNError loadError;
    if (m_engine->load(slot, modelDir.toStdString(), fromModel.toStdString(), toModel.toStdString(), warmUp,
                       loadError)) {
        setSlotLanguage(slot, code);
        DevLog(QString::fromLatin1(slot == QVTranslationEngine::FirstSlot ? kFinishFirstFormat
                                                                          : kFinishSecondFormat),
               modelDir);
        deliverLoad(completion, {});
        return;
    }
    setSlotLanguage(slot, QString());
    platform::Error error =
        QVTranslatorError::fromEngineError(loadError.isError() ? loadError : releaseError);
    if (error.isNull())
        error = slotNotLoadedError();
    deliverLoad(completion, error);
}

void QVMSynaptraService::translateFromText(const QString &text, const QVLanguageRealm &from,
                                           const QVLanguageRealm &to, const Completion &completion) {
    if (text.isEmpty()) {
        if (completion)
            completion(QString(), errorWithMessage(QStringLiteral("")));
        return;
    }
    if (stopped())
        return;
    const QString f = codeOf(from);
    const QString t = codeOf(to);
    std::vector<Step> steps;
    if (!f.isEmpty() && f == t) {
        // Nothing to translate: the text comes back as it is, in its turn.
    } else if (t == kEnglish) {
        steps = {{QVTranslationEngine::FirstSlot, f, kEnglish}};
    } else if (f == kEnglish) {
        steps = {{QVTranslationEngine::SecondSlot, t, t}};
    } else {
        steps = {{QVTranslationEngine::FirstSlot, f, kEnglish}, {QVTranslationEngine::SecondSlot, t, t}};
    }

    quint64 generation = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        generation = m_pairGeneration;
        // Counted before the held loads go, so that they know a translation waits.
        ++m_translationsWaiting;
    }
    // A translation needs its models now: what start-up held back runs first.
    if (loadsHeld())
        releaseLoads();
    const quint64 job = track([this, completion] { deliver(completion, QString(), cancelledError()); });
    m_queue->addOperation([this, job, generation, steps, text, completion] {
        if (!claim(job))
            return;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            --m_translationsWaiting;
        }
        QString current = text;
        for (size_t i = 0; i < steps.size(); ++i) {
            if (i > 0) {
                std::unique_lock<std::mutex> lock(m_mutex);
                if (m_pairGeneration != generation) {
                    lock.unlock();
                    deliver(completion, QString(), cancelledError());
                    return;
                }
            }
            platform::Error error;
            current = runStep(steps[i], current, error);
            if (error) {
                // Only this translation's own second step is dropped.
                deliver(completion, QString(), error);
                return;
            }
            if (current.isEmpty())
                break;
        }
        deliver(completion, current, {});
    });
}

QString QVMSynaptraService::runStep(const Step &step, const QString &input, platform::Error &error) {
    if (step.language.isEmpty() || slotLanguage(step.slot) != step.language) {
        error = slotNotLoadedError();
        return {};
    }
    SYNError engineError;
    std::string unknownWords;
    const std::string result = m_engine->translate(step.slot, input.toStdString(), engineError, unknownWords);
    handOverUnknownWords(QString::fromStdString(unknownWords), step.unknownWordsTo);
    if (engineError.isError()) {
        error = QVTranslatorError::fromEngineError(engineError);
        return {};
    }
    return QString::fromStdString(result);
}

void QVMSynaptraService::translatedTextFromText(const QString &text, const Completion &completion) {
    const QVTranslateSettings settings = QVSettingsService::defaultSettings();
    translateFromText(text, settings.languageFrom(), settings.languageTo(), completion);
}

void QVMSynaptraService::translateTexts(const QList<QVRecognizedBlock> &blocks, const BlocksSuccess &success,
                                        const Failure &failure) {
    const QVTranslateSettings settings = QVSettingsService::defaultSettings();
    translateBlocks(blocks, settings.languageFrom(), settings.languageTo(), success, failure);
}

void QVMSynaptraService::translateTexts(const QList<QVRecognizedBlock> &blocks, const QVLanguageRealm &from,
                                        const QVLanguageRealm &to, const BlocksSuccess &success,
                                        const Failure &failure) {
    // The serial queue runs the loads before the translations queued after them.
    const QString f = codeOf(from);
    const QString t = codeOf(to);
    if (!blocks.isEmpty() && f != t) {
        // A slot already holding its language is not loaded again.
        if (f != kEnglish)
            setModelForEngPosition(1, from);
        if (t != kEnglish)
            setModelForEngPosition(0, to);
    }
    translateBlocks(blocks, from, to, success, failure);
}

void QVMSynaptraService::translateBlocks(const QList<QVRecognizedBlock> &blocks, const QVLanguageRealm &from,
                                         const QVLanguageRealm &to, const BlocksSuccess &success,
                                         const Failure &failure) {
    if (blocks.isEmpty()) {
        if (failure)
            failure(platform::Error());
        return;
    }
    struct Progress {
        QList<QVRecognizedBlock> results;
        int remaining = 0;
        bool failed = false;
    };
    auto progress = std::make_shared<Progress>();
    progress->results = blocks;
    progress->remaining = int(blocks.size());
    for (int i = 0; i < blocks.size() && !progress->failed; ++i) {
        const QVRecognizedBlock block = blocks.at(i);
        QString text = block.text;
        text.remove(QLatin1Char('\n'));
        translateFromText(
            text, from, to,
            [progress, i, block, success, failure](const QString &translated, const platform::Error &error) {
                if (progress->failed)
                    return;
                if (error) {
                    progress->failed = true;
                    if (failure)
                        failure(error);
                    return;
                }
                QString blank = translated;
                blank.remove(QLatin1Char(' '));
                progress->results[i] = {blank.isEmpty() ? block.text : translated, block.boundingBox,
                                        block.confidence, block.level};
                if (--progress->remaining == 0 && success)
                    success(progress->results);
            });
    }
}

void QVMSynaptraService::saveUnknownWords(const QString &words, const QString &toLang) {
    storeUnknownWords(words, toLang);
}

void QVMSynaptraService::handOverUnknownWords(const QString &words, const QString &toLang) {
    if (words.isEmpty())
        return;
    // Stored by the main thread, never by this one: a quit may end the process while this thread is
    // still inside the engine, and must not cut a store write half way. Once quitting, the words of a
    // step no one will see go with it, as its translation does.
    std::lock_guard<std::mutex> lock(m_deliveryMutex);
    if (!m_stopped)
        platform::dispatchAsyncMain([words, toLang] { storeUnknownWords(words, toLang); });
}

void QVMSynaptraService::setUnknownWordsUploader(UnknownWordsUploader uploader) {
    unknownWordsUploader() = std::move(uploader);
}

void QVMSynaptraService::uploadAllUnknownWords() {
    const platform::ObjectStore store = platform::ObjectStore::defaultStore();
    if (store.isNull())
        return;
    const platform::Results stored = store.objects(QVUnknownWord::storeClassName());
    if (stored.isEmpty())
        return;
    UnknownWordsUploader upload = unknownWordsUploader();
    if (!upload) {
        upload = [](const QVariantList &words, std::function<void()> success, Failure failure) {
            QVRequestManager::instance().sendUnknownWords(
                words, [success = std::move(success)](bool) { success(); }, std::move(failure));
        };
    }
    const QVariantList words = JSONArray(stored);
    QVariantList sent;
    for (const QVariant &word : words)
        sent.append(word.toMap().value(QStringLiteral("word")));
    const QString selector = QString::fromLatin1(kUploadSelector);
    upload(
        words,
        [store, sent, selector] {
            DevLog(QString::fromLatin1(kUploadSuccessFormat), selector);
            // Only what was sent: words stored meanwhile wait for the next upload.
            const platform::Error error = store.write([&](platform::Transaction &tx) {
                tx.removeAll(store.objects(QVUnknownWord::storeClassName())
                                 .filter(platform::Key(QStringLiteral("word")).in(sent)));
            });
            if (error)
                DevLogger::logError(error, selector);
        },
        [selector](const platform::Error &error) { DevLogger::logError(error, selector); });
}

void QVMSynaptraService::reachabilityDidChange(int status) {
    if (status == platform::NetworkStatus::ReachableViaWiFi ||
        status == platform::NetworkStatus::ReachableViaOther)
        return;
    const QVTranslateSettings settings = QVSettingsService::defaultSettings();
    setFromLanguage(settings.languageFrom(), settings.languageTo());
}

platform::Error QVMSynaptraService::errorWithMessage(const QString &message) {
    return QVTranslatorError::error(QVTranslatorError::InvalidRequest, message);
}

void QVMSynaptraService::waitUntilAllOperationsAreFinished() {
    m_queue->waitUntilAllOperationsAreFinished();
}
