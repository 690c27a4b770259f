#include "ui/foundation/QVMAlertPresenter.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>

int QVMMessageBoxPresenter::runModal(const Request &request) {
    QMessageBox box(QMessageBox::Warning, request.title, request.title, QMessageBox::NoButton,
                    QApplication::activeWindow());
    // Texts may come from the backend: never read as markup.
    box.setTextFormat(Qt::PlainText);
    box.setInformativeText(request.message);
    if (!request.icon.isNull()) {
        QImage icon = request.icon;
        if (icon.width() > kIconSide || icon.height() > kIconSide)
            icon = icon.scaled(kIconSide, kIconSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        box.setIconPixmap(QPixmap::fromImage(icon));
    }
    for (QLabel *label : box.findChildren<QLabel *>())
        label->setTextFormat(Qt::PlainText);
    QList<QAbstractButton *> buttons;
    for (const QString &title : request.buttons)
        buttons.append(
            box.addButton(title, buttons.isEmpty() ? QMessageBox::AcceptRole : QMessageBox::RejectRole));
    if (auto *preferred = qobject_cast<QPushButton *>(buttons.value(request.defaultButton)))
        box.setDefaultButton(preferred);
    box.exec();
    const int index = int(buttons.indexOf(box.clickedButton()));
    return index < 0 ? 0 : kFirstButtonReturn + index;
}
