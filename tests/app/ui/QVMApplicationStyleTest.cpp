#include "ui/style/QVMApplicationStyle.h"
#include "ui/controls/QVMSoftShadow.h"

#include <QAction>
#include <QApplication>
#include <QImage>
#include <QLineEdit>
#include <QMainWindow>
#include <QPainter>
#include <QStyleFactory>
#include <QStyleOptionToolBar>
#include <QToolBar>
#include <QWidget>
#include <gtest/gtest.h>

#include <memory>

namespace {

QImage picture(const QIcon &icon) {
    return icon.pixmap(QSize(32, 32)).toImage().convertToFormat(QImage::Format_ARGB32);
}

// The most opaque pixel's colour, alpha aside.
QRgb inkOf(const QImage &image) {
    QRgb best = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) > qAlpha(best))
                best = image.pixel(x, y);
    return best | 0xff000000u;
}

QImage toolBarPicture(const QStyle &style, const QStyleOptionToolBar &option, const QWidget *toolBar) {
    QImage image(option.rect.size() + QSize(4, 4), QImage::Format_RGB32);
    image.fill(Qt::magenta);
    QPainter painter(&image);
    style.drawControl(QStyle::CE_ToolBar, &option, &painter, toolBar);
    return image;
}

} // namespace

TEST(ApplicationStyle, TheMainWindowsTopToolBarLooksAsFusionDrawsIt) {
    QMainWindow window;
    auto *toolBar = new QToolBar(&window);
    window.addToolBar(Qt::TopToolBarArea, toolBar);
    const std::unique_ptr<QStyle> fusion(QStyleFactory::create(QStringLiteral("Fusion")));
    const QVMApplicationStyle ours(QStringLiteral("Fusion"));
    for (const QColor window : {QColor(239, 239, 239), QColor(45, 45, 48)}) {
        for (const auto line : {QStyleOptionToolBar::OnlyOne, QStyleOptionToolBar::Beginning,
                                QStyleOptionToolBar::Middle, QStyleOptionToolBar::End}) {
            QStyleOptionToolBar option;
            option.initFrom(toolBar);
            option.rect = QRect(1, 2, 640, 46);
            option.state |= QStyle::State_Horizontal;
            option.toolBarArea = Qt::TopToolBarArea;
            option.positionOfLine = line;
            option.palette.setColor(QPalette::Window, window);
            EXPECT_EQ(toolBarPicture(ours, option, toolBar), toolBarPicture(*fusion, option, toolBar))
                << "line position " << int(line) << ", window " << qPrintable(window.name());
        }
    }
}

TEST(ApplicationStyle, DrawnIconsFollowTheSchemeTheDirectionAndAreTheOnesWidgetsUse) {
    QVMApplicationStyle style(QStringLiteral("Fusion"));
    const QPalette before = QApplication::palette();
    for (const QColor &ink : {QColor(Qt::black), QColor(240, 240, 240)}) {
        QPalette scheme = before;
        scheme.setColor(QPalette::WindowText, ink);
        scheme.setColor(QPalette::Base, ink.lightness() > 128 ? QColor(Qt::black) : QColor(Qt::white));
        QApplication::setPalette(scheme);
        for (const auto icon : {QStyle::SP_ToolBarHorizontalExtensionButton,
                                QStyle::SP_ToolBarVerticalExtensionButton}) {
            const QImage image = picture(style.standardIcon(icon));
            EXPECT_EQ(QColor(inkOf(image)), ink) << icon;
        }
    }
    QApplication::setPalette(before);

    QWidget rightToLeft;
    rightToLeft.setLayoutDirection(Qt::RightToLeft);
    const QImage leftToRight = picture(style.standardIcon(QStyle::SP_ToolBarHorizontalExtensionButton));
    const QImage mirrored = picture(style.standardIcon(QStyle::SP_ToolBarHorizontalExtensionButton, nullptr,
                                                       &rightToLeft));
    EXPECT_NE(leftToRight, mirrored);
    EXPECT_EQ(leftToRight.mirrored(true, false), mirrored);

    QLineEdit field;
    field.setStyle(&style);
    field.setClearButtonEnabled(true);
    const QList<QAction *> actions = field.findChildren<QAction *>();
    ASSERT_FALSE(actions.isEmpty());
    EXPECT_EQ(picture(actions.first()->icon()), picture(style.standardIcon(QStyle::SP_LineEditClearButton)));
    field.setStyle(nullptr);
}

TEST(SoftShadow, LiesAroundTheViewFollowsItAndGoesWithIt) {
    QWidget parent;
    parent.resize(200, 200);
    QPalette white = parent.palette();
    white.setColor(QPalette::Window, Qt::white);
    parent.setPalette(white);
    parent.setAutoFillBackground(true);
    auto *view = new QWidget(&parent);
    view->setGeometry(50, 50, 100, 100);
    // Drawing the shadow says nothing on the terminal (no colour out of range, at any radius).
    static QStringList warnings;
    warnings.clear();
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext &, const QString &line) { warnings << line; });
    for (qreal radius : {3.0, 10.0, 24.0}) {
        QWidget other;
        QVMSoftShadow::attach(new QWidget(&other), radius, QPointF(0, 4), QColor(0, 0, 0, 128));
    }
    QVMSoftShadow::attach(view, 10, QPointF(0, 4), QColor(0, 0, 0, 128));
    qInstallMessageHandler(previous);
    EXPECT_EQ(warnings.join(QLatin1Char('\n')).toStdString(), "");
    parent.show();

    auto shade = [&](int x, int y) { return 255 - qRed(parent.grab().toImage().pixel(x, y)); };
    EXPECT_GT(shade(47, 100), 0);          // beside the view
    EXPECT_GT(shade(100, 155), shade(100, 46)); // moved down by the offset
    EXPECT_EQ(shade(25, 100), 0);          // beyond the blur
    view->move(80, 50);
    EXPECT_EQ(shade(47, 100), 0);
    EXPECT_GT(shade(77, 100), 0);
    view->hide();
    EXPECT_EQ(shade(77, 100), 0);
}
