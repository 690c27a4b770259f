#include "QVMAlertPresenter.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

int QVMMessageBoxPresenter::runModal(const Request &request) {
    QMessageBox box(QMessageBox::Warning, request.title, request.title, QMessageBox::NoButton,
                    QApplication::activeWindow());
    box.setInformativeText(request.message);
    QList<QAbstractButton *> buttons;
    for (const QString &title : request.buttons)
        buttons.append(
            box.addButton(title, buttons.isEmpty() ? QMessageBox::AcceptRole : QMessageBox::RejectRole));
    box.exec();
    const int index = int(buttons.indexOf(box.clickedButton()));
    return index < 0 ? 0 : kFirstButtonReturn + index;
}
