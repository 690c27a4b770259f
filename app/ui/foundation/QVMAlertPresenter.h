#pragma once

#include <QImage>
#include <QString>
#include <QStringList>

// Runs one modal alert and answers which button ended it: 1000 for the first
// button, 1001 for the second, 1002 for the third; any other value means none
// (the alert was dismissed another way). QVMUtils shows every alert through
// the presenter set with QVMUtils::setAlertPresenter, so tests can answer them.
class QVMAlertPresenter {
public:
    struct Request {
        QString title;
        QString message;
        QStringList buttons; // in order; at most three
        QImage icon{};       // shown in place of the warning sign when set
        int defaultButton = 0; // the one Return presses: a question that destroys something names another
    };

    static constexpr int kFirstButtonReturn = 1000;
    static constexpr int kSecondButtonReturn = 1001;
    static constexpr int kThirdButtonReturn = 1002;

    virtual ~QVMAlertPresenter() = default;
    // Called on the main thread; returns when the user has answered.
    virtual int runModal(const Request &request) = 0;
};

// The desktop's own modal message box in the warning style.
class QVMMessageBoxPresenter : public QVMAlertPresenter {
public:
    // A larger icon is scaled down to fit this square, keeping its shape.
    static constexpr int kIconSide = 64;
    int runModal(const Request &request) override;
};
