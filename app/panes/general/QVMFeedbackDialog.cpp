#include "panes/general/QVMFeedbackDialog.h"

#include "services/network/QVRequestManager.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

QVMFeedbackDialog::QVMFeedbackDialog(const Translation &translation, QWidget *parent)
    : QDialog(parent), m_translation(translation), m_sender(backendSender()) {
    setWindowTitle(QString::fromUtf8(kTitle));
    setObjectName(QStringLiteral("QVMFeedbackDialog"));
    auto *layout = new QVBoxLayout(this);
    auto *source = new QLabel(translation.original, this);
    source->setWordWrap(true);
    source->setTextFormat(Qt::PlainText);
    source->setAccessibleName(tr("Original text"));
    source->setToolTip(tr("The text that was translated"));
    layout->addWidget(source);

    m_text = new QPlainTextEdit(translation.translated, this);
    m_text->setAccessibleName(tr("Your translation"));
    m_text->setToolTip(tr("Change the translation as it should read"));
    m_text->setTabChangesFocus(true);
    layout->addWidget(m_text, 1);

    m_status = new QLabel(this);
    m_status->setWordWrap(true);
    m_status->setTextFormat(Qt::PlainText);
    m_status->setAccessibleName(tr("Sending status"));
    m_status->setToolTip(tr("What the service answered"));
    m_status->hide();
    layout->addWidget(m_status);

    auto *buttons = new QDialogButtonBox(this);
    m_send = buttons->addButton(tr("Send"), QDialogButtonBox::AcceptRole);
    m_send->setAccessibleName(tr("Send"));
    m_cancel = buttons->addButton(QDialogButtonBox::Cancel);
    m_cancel->setAccessibleName(tr("Cancel"));
    m_cancel->setToolTip(tr("Close without sending"));
    layout->addWidget(buttons);
    // Send is not the dialog's default: Return in the field is a line break.
    m_send->setAutoDefault(false);
    m_cancel->setAutoDefault(false);
    disconnect(buttons, &QDialogButtonBox::accepted, this, nullptr);
    connect(m_send, &QPushButton::clicked, this, &QVMFeedbackDialog::send);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_text, &QPlainTextEdit::textChanged, this, &QVMFeedbackDialog::updateSendButton);
    m_lastSent = translation.translated;
    updateSendButton();
    resize(420, 260);
}

QVMFeedbackDialog::Sender QVMFeedbackDialog::backendSender() {
    return [](const Translation &translation, const QString &modified, Done done) {
        QVRequestManager::instance().sendFeedBackTranslate(
            translation.original, translation.translated, modified, translation.from, translation.to,
            translation.translatorName, [done](bool sent) { done(sent, {}); },
            [done](const platform::Error &error) { done(false, error); });
    };
}

void QVMFeedbackDialog::updateSendButton() {
    const QString text = m_text->toPlainText();
    const bool changed = text != m_lastSent;
    const bool empty = text.trimmed().isEmpty();
    m_send->setEnabled(!m_sending && changed && !empty);
    if (m_sending)
        m_send->setToolTip(tr("Sending…"));
    else if (empty)
        m_send->setToolTip(tr("Write the translation first"));
    else if (!changed)
        m_send->setToolTip(tr("Change the translation first"));
    else
        m_send->setToolTip(tr("Send your translation"));
}

void QVMFeedbackDialog::send() {
    const QString modified = m_text->toPlainText();
    if (m_sending || modified.trimmed().isEmpty() || modified == m_lastSent || !m_sender)
        return;
    m_sending = true;
    m_status->setText(tr("Sending…"));
    m_status->show();
    updateSendButton();
    QPointer<QVMFeedbackDialog> self(this);
    m_sender(m_translation, modified, [self, modified](bool sent, const platform::Error &error) {
        if (!self)
            return;
        if (sent)
            self->m_lastSent = modified;
        self->finished(sent, error);
    });
}

void QVMFeedbackDialog::finished(bool sent, const platform::Error &error) {
    m_sending = false;
    if (sent) {
        m_status->setText(QString::fromLatin1(kThanks));
    } else {
        const QString description = error.localizedDescription();
        m_status->setText(description.isEmpty() ? QString::fromLatin1(QVRequestManager::kFeedbackFailed)
                                                : description);
    }
    updateSendButton();
}
