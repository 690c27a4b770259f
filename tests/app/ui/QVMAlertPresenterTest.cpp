#include "ui/foundation/QVMAlertPresenter.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>
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

// Runs the real presenter, lets `look` inspect the box, then presses the key on it.
static int runAndPress(const QVMAlertPresenter::Request &request, Qt::Key key,
                       const std::function<void(QMessageBox *box)> &look) {
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        poll.stop();
        look(box);
        QTest::keyClick(box, key);
    });
    poll.start();
    return QVMMessageBoxPresenter().runModal(request);
}

TEST(QVMAlertPresenter, APictureReplacesTheWarningSignScaledToFitAndKeysAnswer) {
    struct Case {
        const char *name;
        QSize picture; // empty: none
        Qt::Key key;
        QSize shown; // empty: the warning sign
        int answer;
        int defaultButton = 0;
    };
    const int side = QVMMessageBoxPresenter::kIconSide;
    const Case cases[] = {
        {"escape is the last button", {}, Qt::Key_Escape, {}, QVMAlertPresenter::kSecondButtonReturn},
        {"wide picture",
         {4 * side, 2 * side},
         Qt::Key_Return,
         {side, side / 2},
         QVMAlertPresenter::kFirstButtonReturn},
        {"small picture stays as it is",
         {side / 2, side / 4},
         Qt::Key_Return,
         {side / 2, side / 4},
         QVMAlertPresenter::kFirstButtonReturn},
        {"return presses the button the question names", {}, Qt::Key_Return, {},
         QVMAlertPresenter::kSecondButtonReturn, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QImage picture;
        if (!c.picture.isEmpty()) {
            picture = QImage(c.picture, QImage::Format_ARGB32);
            picture.fill(Qt::blue);
        }
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QSize shown;
        const int answer = runAndPress({QStringLiteral("App"),
                                        QStringLiteral("About the app"),
                                        {QStringLiteral("Download"), QStringLiteral("Cancel")},
                                        picture,
                                        c.defaultButton},
                                       c.key, [&](QMessageBox *box) {
                                           icon = box->icon();
                                           shown = box->iconPixmap().size();
                                       });
        EXPECT_EQ(answer, c.answer);
        if (c.shown.isEmpty()) {
            EXPECT_EQ(icon, QMessageBox::Warning);
        } else {
            EXPECT_EQ(shown, c.shown);
        }
    }
}
