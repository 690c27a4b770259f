#pragma once
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <functional>

// The action column of the offline list: a download button (0), a progress
// ring that cancels on a click (1), a full ring while the archive unpacks (2)
// or a delete button (3). Any status above 3 only hides the close button.
class QVMActionDownloadTableCellView : public QWidget {
    Q_OBJECT
public:
    enum Status : uint { NotDownloaded = 0, Downloading = 1, Unpacking = 2, Installed = 3 };
    using TapBlock = std::function<void(QVMActionDownloadTableCellView *cell, uint status)>;

    explicit QVMActionDownloadTableCellView(QWidget *parent = nullptr);

    void setIndicatorStatus(uint status);
    uint currentStatus() const { return m_status; }
    // The ring always animates towards the value, whatever the flag says.
    void setProgress(float progress, bool animated = true);
    double progress() const { return m_progress; }
    void setActionForTap(TapBlock block) { m_tap = std::move(block); }
    bool hasTapAction() const { return bool(m_tap); }
    void setActionButtonText(const QString &text) { m_actionButton->setText(text); }
    // The language the row stands for, used in the accessible name of the ring.
    void setLanguageName(const QString &name);

    QPushButton *actionButton() const { return m_actionButton; }
    QPushButton *deleteButton() const { return m_deleteButton; }
    QPushButton *closeButton() const { return m_closeButton; }
    QTimer *timer() const { return m_timer; }

    static constexpr int kHeight = 30; // also the height of every row of the offline list
    QSize sizeHint() const override { return {96, kHeight}; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void createTimer();
    void newProgressValue();
    void stopTimer();
    void runTap();
    void updateRingName();

    uint m_status = NotDownloaded;
    double m_progress = 0.0;
    float m_progressValue = 0.0f;
    QString m_language;
    TapBlock m_tap;
    QPushButton *m_actionButton;
    QPushButton *m_deleteButton;
    QPushButton *m_closeButton;
    QPointer<QTimer> m_timer;
};
