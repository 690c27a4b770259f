#pragma once

#include "services/offline/QVRecognizedBlock.h"
#include "services/offline/QVTranslationEngine.h"

#include "core/models/QVLanguageRealm.h"

#include "platform/Error.h"
#include "platform/NotificationCenter.h"
#include "platform/OperationQueue.h"

#include <QVariantList>

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

// The application's one way into the offline engine. Slot 1 holds a
// language-to-English model, slot 2 an English-to-language model; any pair is
// translated through English in one step (English on one side) or two.
//
// Loads and translations run one at a time on the bridge's serial queue; every
// completion runs once, on the main thread (the immediate -203 replies run
// before the call returns). Changing the pair cancels the work still waiting:
// waiting translations complete with a QVTranslatorError::Cancelled error.
//
//   QVMSynaptraService &bridge = QVMSynaptraService::sharedInstance();
//   bridge.setFromLanguage(german, french);          // loads de-en into slot 1, en-fr into slot 2
//   bridge.translatedTextFromText(text, [](const QString &translated, const platform::Error &error) {
//       if (error) showError(error); else show(translated);   // the settings pair
//   });
//
// Errors: -203 (empty text; load of a language without its package), 400 (the
// slot a step needs does not hold its language, "_loc_error"), -999 (cancelled),
// and the engine's own ("SYNTranslatePhraseService", 2041, "CodeONMT").
class QVMSynaptraService {
public:
    using Completion = std::function<void(const QString &translatedText, const platform::Error &error)>;
    using LoadCompletion = std::function<void(const platform::Error &error)>;
    using BlocksSuccess = std::function<void(const QList<QVRecognizedBlock> &blocks)>;
    using Failure = std::function<void(const platform::Error &error)>;
    // Sends the stored untranslated words (JSON objects with "word" and "to")
    // and calls exactly one of its blocks, on the main thread.
    using UnknownWordsUploader =
        std::function<void(const QVariantList &words, std::function<void()> success, Failure failure)>;

    static constexpr const char *kEnglishCode = "en";
    static constexpr const char *kFinishFirstFormat = "Finish1 %@";
    static constexpr const char *kFinishSecondFormat = "Finish2 %@";
    static constexpr const char *kUploadSuccessFormat = "%@ success";
    static constexpr const char *kUploadSelector = "uploadAllUnknownWords";

    // Created once, with the real engine; never destroyed.
    static QVMSynaptraService &sharedInstance();

    explicit QVMSynaptraService(std::unique_ptr<QVTranslationEngine> engine);
    ~QVMSynaptraService();
    QVMSynaptraService(const QVMSynaptraService &) = delete;
    QVMSynaptraService &operator=(const QVMSynaptraService &) = delete;

    // The code each slot holds; empty while it holds nothing.
    QString firstPairLang() const;
    QString secondPairLang() const;

    // Queues the loads the pair needs, after cancelling the waiting work.
    // Nothing happens for a same-language pair or one that cannot be
    // translated offline (neither side English with the other's package
    // installed, nor both packages installed).
    void setFromLanguage(const QVLanguageRealm &from, const QVLanguageRealm &to);
    // Queues the load of one slot: any non-zero position is slot 1, 0 is
    // slot 2. With a completion, a language without its package gets -203 at
    // once; a slot already holding the language completes without reloading.
    void setModelForEngPosition(uint position, const QVLanguageRealm &language,
                                const LoadCompletion &completion = {});

    void translateFromText(const QString &text, const QVLanguageRealm &from, const QVLanguageRealm &to,
                           const Completion &completion);
    // With the settings record's pair.
    void translatedTextFromText(const QString &text, const Completion &completion);
    // Translates each block's text (line breaks removed) with the settings pair.
    // Success gets the blocks in input order, a block whose translation is
    // blank keeping its own text; any failure calls failure once and success
    // never. No blocks: failure with no error.
    void translateTexts(const QList<QVRecognizedBlock> &blocks, const BlocksSuccess &success,
                        const Failure &failure);
    // The same with the pair given (a picture's text language and its target): a slot the pair
    // needs is loaded first when it holds another language; the settings pair's slots are kept.
    void translateTexts(const QList<QVRecognizedBlock> &blocks, const QVLanguageRealm &from,
                        const QVLanguageRealm &to, const BlocksSuccess &success, const Failure &failure);

    // Stores each space-separated word as a QVUnknownWord for the code.
    void saveUnknownWords(const QString &words, const QString &toLang);
    // Sends the stored words ("sendUnknownWords" of QVRequestManager); on
    // success removes the ones sent, on failure reports it and keeps them.
    // Main thread.
    static void uploadAllUnknownWords();
    // Another way to send them (tests); empty restores the request manager.
    static void setUnknownWordsUploader(UnknownWordsUploader uploader);

    // While held, loads wait instead of running: start-up holds them so that the engine, whose
    // inference library takes the dynamic loader's lock for most of a second while it opens,
    // never loads while the window is being built. releaseLoads() or the first translation
    // lets the waiting loads run, in their order.
    void holdLoads();
    void releaseLoads();
    bool loadsHeld() const;

    // Losing the network loads the settings pair.
    void reachabilityDidChange(int status);

    static platform::Error errorWithMessage(const QString &message); // -203

    // Blocks until the queue has run everything waiting (tests and tools).
    void waitUntilAllOperationsAreFinished();

    // At quit: waiting work is dropped, nothing new is queued and no completion is delivered
    // any more, since the application object is going. The running operation goes on: a model
    // load cannot be left half way. The engine's thread never writes the store itself (its
    // untranslated words are stored by the main thread), so leaving while it works cuts no write.
    void stopForExit();
    // True once nothing runs on the engine's thread, waiting at most timeoutMs. While something
    // does, the process must not run its static destructors (they tear down the inference
    // library under that thread).
    bool waitUntilIdle(int timeoutMs);
    // The shared instance if one was made (never makes it).
    static QVMSynaptraService *sharedInstanceIfMade();

private:
    void translateBlocks(const QList<QVRecognizedBlock> &blocks, const QVLanguageRealm &from,
                         const QVLanguageRealm &to, const BlocksSuccess &success, const Failure &failure);
    struct Step;
    using Slot = QVTranslationEngine::Slot;

    quint64 track(std::function<void()> answerCancelled);
    bool claim(quint64 job);
    void cancelWaitingWork();
    void queueLoad(Slot slot, const QVLanguageRealm &language, const LoadCompletion &completion);
    void runLoad(Slot slot, const QString &code, const QString &modelDir, const QString &fromModel,
                 const QString &toModel, const LoadCompletion &completion);
    QString runStep(const Step &step, const QString &input, platform::Error &error);
    // From the engine's thread: the words go to the main thread to be stored, unless stopped for exit.
    void handOverUnknownWords(const QString &words, const QString &toLang);
    QString slotLanguage(Slot slot) const;
    void setSlotLanguage(Slot slot, const QString &code);
    bool stopped() const;
    // Delivers on the main thread unless stopped for exit.
    void deliver(const Completion &completion, const QString &text, const platform::Error &error);
    void deliverLoad(const LoadCompletion &completion, const platform::Error &error);

    std::unique_ptr<QVTranslationEngine> m_engine;
    mutable std::mutex m_mutex; // guards everything below
    QString m_firstPairLang;
    QString m_secondPairLang;
    quint64 m_nextJob = 1;
    quint64 m_pairGeneration = 0;
    std::map<quint64, std::function<void()>> m_waiting; // job -> answer it as cancelled
    int m_translationsWaiting = 0;                       // queued, not yet started
    bool m_loadsHeld = false;
    std::vector<std::function<void()>> m_heldLoads; // queue blocks kept back while held
    platform::NotificationCenter::Token m_reachabilityToken = 0;
    // Held while a completion is posted, so that stopForExit() returns only once none is on its way.
    mutable std::mutex m_deliveryMutex;
    bool m_stopped = false; // guarded by m_deliveryMutex
    // Last, so it stops (waiting for the running block) before the rest goes.
    std::unique_ptr<platform::OperationQueue> m_queue;
};
