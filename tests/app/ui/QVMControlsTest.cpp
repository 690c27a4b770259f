#include "ui/controls/QVMControls.h"
#include "UiTestSupport.h"

#include <QComboBox>
#include <QPushButton>
#include <gtest/gtest.h>

namespace {

QList<int> redItems(const QComboBox &popUp) {
    QList<int> red;
    for (int i = 0; i < popUp.count(); ++i) {
        if (popUp.itemData(i, Qt::ForegroundRole).value<QColor>() == QColor(Qt::red))
            red << i;
    }
    return red;
}

} // namespace

TEST(QVMControls, OnlyTheSelectedItemIsRedAfterSelectionChanges) {
    QComboBox popUp;
    popUp.addItems({QStringLiteral("None"), QStringLiteral("Noun"), QStringLiteral("Verb")});
    for (const int selected : {1, 2, 0}) {
        SCOPED_TRACE(selected);
        popUp.setCurrentIndex(selected);
        QVMControls::highlightSelectedItem(&popUp);
        EXPECT_EQ(redItems(popUp), QList<int>{selected});
        for (int i = 0; i < popUp.count(); ++i) {
            if (i != selected) {
                EXPECT_FALSE(popUp.itemData(i, Qt::ForegroundRole).isValid()) << i;
            }
        }
    }
    EXPECT_EQ(popUp.itemText(1), QStringLiteral("Noun")); // titles stay
}

TEST(QVMControls, ImagePopUpShowsItsPictureWhateverIsSelected) {
    QComboBox popUp;
    popUp.addItems({QStringLiteral("First"), QStringLiteral("Second")});
    popUp.resize(120, 40);
    QVMControls::addImageItemWithImage(&popUp, uitest::solidImage(16, 16, QColor(255, 0, 255)));
    // A second picture replaces the first.
    QVMControls::addImageItemWithImage(&popUp, uitest::solidImage(16, 16, QColor(0, 200, 0)));
    for (const int selected : {0, 1}) {
        SCOPED_TRACE(selected);
        popUp.setCurrentIndex(selected);
        const QImage shot = popUp.grab().toImage();
        EXPECT_GT(uitest::countPixels(shot, shot.rect(), QColor(0, 200, 0)), 100);
        EXPECT_EQ(uitest::countPixels(shot, shot.rect(), QColor(255, 0, 255)), 0);
    }
    EXPECT_EQ(popUp.currentText(), QStringLiteral("Second")); // the selection itself still works
}

TEST(QVMControls, ColouredTitleUsesTheColourAndSize) {
    QPushButton button(QStringLiteral("Sign up"));
    QVMControls::attributedTitleWithColor(&button, QColor(237, 72, 106), 15);
    EXPECT_EQ(button.text(), QStringLiteral("Sign up"));
    EXPECT_EQ(button.palette().color(QPalette::Active, QPalette::ButtonText), QColor(237, 72, 106));
    EXPECT_EQ(button.font().pointSizeF(), 15.0);
    button.resize(120, 40);
    const QImage shot = button.grab().toImage();
    EXPECT_GT(uitest::countPixels(shot, shot.rect(), QColor(237, 72, 106), 30), 5);
}
