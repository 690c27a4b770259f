#include "ui/QVMAlertPresenter.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

TEST(QVMAlertPresenter, TextsFromOutsideAreShownAsPlainText) {
    const QString title = QStringLiteral("<b>News</b>");
    const QString message = QStringLiteral("<a href=\"https://example.invalid\">Open</a> & <img src=x>");
    QStringList shown;
    QList<Qt::TextFormat> formats;
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        poll.stop();
        for (QLabel *label : box->findChildren<QLabel *>()) {
            if (label->text().contains(QLatin1Char('<'))) {
                shown << label->text();
                formats << label->textFormat();
            }
        }
        box->buttons().value(0)->click();
    });
    poll.start();
    QVMMessageBoxPresenter presenter;
    EXPECT_EQ(presenter.runModal({title, message, {QStringLiteral("OK")}}),
              QVMAlertPresenter::kFirstButtonReturn);
    // Both texts arrive unchanged, and no label reads them as markup.
    EXPECT_TRUE(shown.contains(title));
    EXPECT_TRUE(shown.contains(message));
    for (const Qt::TextFormat format : formats)
        EXPECT_EQ(format, Qt::PlainText);
}
