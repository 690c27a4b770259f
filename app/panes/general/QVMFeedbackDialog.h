#pragma once

#include "platform/Error.h"

#include <QDialog>

#include <functional>

class QDialogButtonBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

// "Suggest a better translation…": the machine translation in an editable
// field, sent with its source, pair and translator when the user changed it.
// Send is disabled while the text is unchanged, empty, or a request runs;
// the answer ("Thank you" or the error) shows in the dialog. Closing it
// while the request runs drops the answer.
//
//   auto *dialog = new QVMFeedbackDialog({original, translated, "en_GB", "de_DE", company}, window);
//   dialog->setAttribute(Qt::WA_DeleteOnClose);
//   dialog->open();
class QVMFeedbackDialog : public QDialog {
    Q_OBJECT
public:
    struct Translation {
        QString original;
        QString translated;
        QString from;
        QString to;
        QString translatorName;
    };
    using Done = std::function<void(bool sent, const platform::Error &error)>;
    // Sends the user's text; calls done once on the main thread.
    using Sender = std::function<void(const Translation &translation, const QString &modified, Done done)>;

    explicit QVMFeedbackDialog(const Translation &translation, QWidget *parent = nullptr);

    // The backend request by default (tests may route it elsewhere).
    void setSender(Sender sender) { m_sender = std::move(sender); }
    static Sender backendSender();

    void send();
    bool isSending() const { return m_sending; }
    QPlainTextEdit *textField() const { return m_text; }
    QPushButton *sendButton() const { return m_send; }
    QPushButton *cancelButton() const { return m_cancel; }
    QLabel *statusLabel() const { return m_status; }

    static constexpr const char *kTitle = "Suggest a better translation…";
    static constexpr const char *kThanks = "Thank you";

private:
    void updateSendButton();
    void finished(bool sent, const platform::Error &error);

    Translation m_translation;
    Sender m_sender;
    QString m_lastSent;
    bool m_sending = false;
    QPlainTextEdit *m_text = nullptr;
    QLabel *m_status = nullptr;
    QPushButton *m_send = nullptr;
    QPushButton *m_cancel = nullptr;
};
