#pragma once

#include "services/offline/QVTranslationEngine.h"

#include <QList>
#include <QSet>
#include <QString>

#include <condition_variable>
#include <filesystem>
#include <mutex>

// An engine that records every call. A loaded slot "translates" by wrapping
// the text in its model folder's name ("de-en(hallo)"); loads of listed
// folders fail; translations can be held at a gate until the test opens it.
class FakeTranslationEngine : public QVTranslationEngine {
public:
    struct Call {
        QString kind; // "load", "translate", "release"
        int slot;
        QString argument; // model folder, or the text
        QString fromModel;
        QString toModel;
    };

    bool load(Slot slot, const std::string &modelDirPath, const std::string &fromModelPath,
              const std::string &toModelPath, SYNError &error) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        const QString dir = QString::fromStdString(modelDirPath);
        m_calls.append(
            {"load", slot, dir, QString::fromStdString(fromModelPath), QString::fromStdString(toModelPath)});
        if (m_failingLoads.contains(folderName(dir))) {
            m_loaded[slot] = QString();
            error = failure(4, "cannot load");
            return false;
        }
        m_loaded[slot] = folderName(dir);
        return true;
    }

    std::string translate(Slot slot, const std::string &text, SYNError &error,
                          std::string &unknownWords) override {
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_calls.append({"translate", slot, QString::fromStdString(text), {}, {}});
            ++m_waiting;
            m_changed.notify_all();
            m_changed.wait(lock, [this] { return m_gateOpen; });
            --m_waiting;
            unknownWords = m_unknownWords[slot].toStdString();
            if (m_failingTranslations.contains(slot)) {
                error = failure(5, "translation failed");
                return {};
            }
            if (m_blankInputs.contains(QString::fromStdString(text)))
                return "  ";
            if (m_loaded[slot].isEmpty()) {
                error = failure(3, "slot empty");
                return {};
            }
            return (m_loaded[slot] + "(" + QString::fromStdString(text) + ")").toStdString();
        }
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
    void clearCalls() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_calls.clear();
    }
    void failLoadsOf(const QString &folder) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_failingLoads.insert(folder);
    }
    void allowLoadsOf(const QString &folder) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_failingLoads.remove(folder);
    }
    void failTranslationsOfSlot(int slot) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_failingTranslations.insert(slot);
    }
    void setUnknownWords(int slot, const QString &words) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_unknownWords[slot] = words;
    }
    // The engine answers this text with spaces only.
    void answerBlankFor(const QString &text) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_blankInputs.insert(text);
    }
    // Translations wait until the gate opens again.
    void closeGate() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_gateOpen = false;
    }
    void openGate() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_gateOpen = true;
        m_changed.notify_all();
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
    QSet<QString> m_failingLoads;
    QSet<int> m_failingTranslations;
    QSet<QString> m_blankInputs;
    QString m_loaded[3];
    QString m_unknownWords[3];
    bool m_gateOpen = true;
    int m_waiting = 0;
};
