#pragma once

#include "services/offline/QVTranslationEngine.h"

#include <QList>
#include <QSet>
#include <QString>

#include <condition_variable>
#include <filesystem>
#include <functional>
#include <mutex>

// An engine that records every call. A loaded slot "translates" by wrapping
// the text in its model folder's name ("de-en(hallo)"); the script makes
// loads or translations fail and can hold translations at a gate.
class FakeTranslationEngine : public QVTranslationEngine {
public:
    struct Call {
        QString kind; // "load", "translate", "release"
        int slot;
        QString argument; // model folder, or the text
        QString fromModel;
        QString toModel;
        bool warmUp = false;
    };

    bool load(Slot slot, const std::string &modelDirPath, const std::string &fromModelPath,
              const std::string &toModelPath, bool warmUp, SYNError &error) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        const QString dir = QString::fromStdString(modelDirPath);
        m_calls.append({"load", slot, dir, QString::fromStdString(fromModelPath),
                        QString::fromStdString(toModelPath), warmUp});
        if (m_script.failingLoads.contains(folderName(dir))) {
            m_loaded[slot] = QString();
            error = failure(4, "cannot load");
            return false;
        }
        m_loaded[slot] = folderName(dir);
        return true;
    }

    std::string translate(Slot slot, const std::string &text, SYNError &error,
                          std::string &unknownWords) override {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_calls.append({"translate", slot, QString::fromStdString(text), {}, {}});
        ++m_waiting;
        m_changed.notify_all();
        m_changed.wait(lock, [this] { return m_script.gateOpen; });
        --m_waiting;
        unknownWords = m_script.unknownWords[slot].toStdString();
        if (m_script.failingTranslations.contains(slot)) {
            error = failure(5, "translation failed");
            return {};
        }
        if (m_script.blankInputs.contains(QString::fromStdString(text)))
            return "  ";
        if (m_loaded[slot].isEmpty()) {
            error = failure(3, "slot empty");
            return {};
        }
        return (m_loaded[slot] + "(" + QString::fromStdString(text) + ")").toStdString();
    }

    bool release(Slot slot, SYNError &) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_calls.append({"release", slot, m_loaded[slot], {}, {}});
        m_loaded[slot] = QString();
        return true;
    }

    QList<Call> calls() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_calls;
    }
    QStringList callSummary() const {
        QStringList summary;
        for (const Call &call : calls())
            summary.append(
                QStringLiteral("%1 %2 %3").arg(call.kind).arg(call.slot).arg(folderName(call.argument)));
        return summary;
    }
    // Changes the script under the lock; a change that opens the gate wakes waiting translations.
    struct Script {
        QSet<QString> failingLoads;    // model folder names
        QSet<int> failingTranslations; // slots
        QSet<QString> blankInputs;     // texts answered with spaces only
        QString unknownWords[3];       // per slot
        bool gateOpen = true;          // translations wait while it is closed
    };
    void script(const std::function<void(Script &)> &change) {
        std::lock_guard<std::mutex> lock(m_mutex);
        change(m_script);
        m_changed.notify_all();
    }
    void clearCalls() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_calls.clear();
    }
    void waitForTranslationAtGate() {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait(lock, [this] { return m_waiting > 0; });
    }

private:
    static QString folderName(const QString &path) {
        return QString::fromStdString(std::filesystem::path(path.toStdString()).filename().string());
    }
    static SYNError failure(int status, const char *message) {
        SYNError error;
        error.domain = "SYNTranslatePhraseService";
        error.code = SYNTranslatePhraseService::kErrorCode;
        error.codeONMT = status;
        error.description = message;
        error.userInfo[SYNTranslatePhraseService::kErrorKey] = SYNTranslatePhraseService::kErrorValue;
        error.userInfo[SYNTranslatePhraseService::kCodeKey] = std::to_string(status);
        return error;
    }

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    QList<Call> m_calls;
    Script m_script;
    QString m_loaded[3];
    int m_waiting = 0;
};
