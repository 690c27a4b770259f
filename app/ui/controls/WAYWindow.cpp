#include "WAYWindow.h"

#include "core/DevLog.h"
#include "ui/style/QVMColor.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QToolButton>
#include <QWindow>

namespace {

QToolButton *windowButton(QWidget *bar, const QString &glyph, const QString &name) {
    auto *button = new QToolButton(bar);
    button->setText(glyph);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::TabFocus);
    button->setAccessibleName(name);
    button->setToolTip(name);
    button->resize(WAYWindow::kButtonSize, WAYWindow::kButtonSize);
    return button;
}

// A frameless window has no frame of its own: this line, over everything, keeps it apart
// from the window behind it. Clicks go through.
class BorderView : public QWidget {
public:
    explicit BorderView(QWidget *window) : QWidget(window) {
        setObjectName(QStringLiteral("windowBorder"));
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setFocusPolicy(Qt::NoFocus);
    }

protected:
    void paintEvent(QPaintEvent *) override {
        QPainter painter(this);
        painter.setPen(QPen(WAYWindow::borderColor(palette()), WAYWindow::kBorderWidth));
        painter.drawRect(rect().adjusted(0, 0, -WAYWindow::kBorderWidth, -WAYWindow::kBorderWidth));
    }
};

} // namespace

QColor WAYWindow::borderColor(const QPalette &palette) {
    return QVMColor::readableOn(palette.color(QPalette::Mid), palette.color(QPalette::Base), kBorderContrast);
}

WAYWindow::WAYWindow(QWidget *parent) : QWidget(parent, Qt::Window | Qt::FramelessWindowHint) {
    setUp();
}

WAYWindow::~WAYWindow() = default;

float WAYWindow::defaultTitleBarHeight() {
    return float(QApplication::style()->pixelMetric(QStyle::PM_TitleBarHeight));
}

void WAYWindow::setUp() {
    m_proxy.setFirstDelegate(this);
    setAttribute(Qt::WA_Hover);
    setMouseTracking(true);
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);

    m_titleBar = new QWidget(this);
    m_titleBar->setObjectName(QStringLiteral("titleBarView"));
    m_titleBar->installEventFilter(this);
    m_titleLabel = new QLabel(m_titleBar);
    m_titleLabel->setAlignment(Qt::AlignCenter);
    m_standardButtons = {windowButton(m_titleBar, QStringLiteral("\u2715"), tr("Close")),
                         windowButton(m_titleBar, QStringLiteral("\u2013"), tr("Minimise")),
                         windowButton(m_titleBar, QStringLiteral("\u25A1"), tr("Maximise"))};
    connect(m_standardButtons.at(0), &QToolButton::clicked, this, &QWidget::close);
    connect(m_standardButtons.at(1), &QToolButton::clicked, this, &QWidget::showMinimized);
    connect(m_standardButtons.at(2), &QToolButton::clicked, this,
            [this] { isMaximized() ? showNormal() : showMaximized(); });
    m_centerButtons = true;
    m_border = new BorderView(this);
    // The buttons' default place: a small left margin, centred in the default bar.
    const float barHeight = defaultTitleBarHeight();
    m_leftMargin = double(8.0f);
    m_topMargin = double((barHeight - float(kButtonSize)) * 0.5f);
    setHidesTitle(true);
    m_proxy.setSecondaryDelegate(this);
    setNeedsLayout();
}

void WAYWindow::setTitleBarHeight(double requested) {
    const double next = qMax(requested, double(defaultTitleBarHeight()));
    const double difference = next - m_titleBarHeight;
    m_titleBarHeight = next;
    m_accessoryHeight = next - double(defaultTitleBarHeight());
    // The content keeps its size: the window grows downwards by the difference.
    resize(width(), qMax(0, height() + qRound(difference)));
    setNeedsLayout();
}

void WAYWindow::setCenterTrafficLightButtons(bool center) {
    m_centerButtons = center;
    setNeedsLayout();
}

void WAYWindow::setHidesTitle(bool hides) {
    m_hidesTitle = hides;
    m_titleLabel->setVisible(!hides);
}

void WAYWindow::setDelegate(QObject *delegate) {
    m_proxy.setSecondaryDelegate(delegate ? delegate : this);
}

void WAYWindow::setContentView(QWidget *view) {
    if (m_contentView == view)
        return;
    delete m_contentView;
    m_contentView = view;
    if (view) {
        view->setParent(this);
        view->setGeometry(rect());
        view->show();
    }
    m_titleBar->raise();
    m_border->raise();
}

void WAYWindow::setContentViewAppearance(int material) {
    Q_UNUSED(material)
    if (!supportsVibrantAppearances())
        return;
}

QPalette WAYWindow::appearancePalette(bool dark) {
    QPalette palette = QApplication::palette();
    const QColor window =
        dark ? QVMColor::windowBackgroundDarkColor() : QVMColor::windowBackgroundLightColor();
    const QColor base = dark ? QVMColor::panelBackgroundDarkColor() : QColor(Qt::white);
    const QColor text = dark ? QColor(Qt::white) : QColor(Qt::black);
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::AlternateBase, window);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Button, dark ? QVMColor::buttonDarkColor() : QVMColor::buttonColor());
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::ToolTipBase, base);
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::PlaceholderText, dark ? QColor(0xb0, 0xb0, 0xb0) : QColor(0x60, 0x60, 0x60));
    return palette;
}

void WAYWindow::setVibrantDarkAppearance() {
    setPalette(appearancePalette(true));
}

void WAYWindow::setVibrantLightAppearance() {
    setPalette(appearancePalette(false));
}

void WAYWindow::setAquaAppearance() {
    setPalette(appearancePalette(false));
}

void WAYWindow::replaceSubview(QWidget *oldView, QWidget *newView, bool resizing) {
    if (!oldView || !newView || oldView == newView)
        return;
    if (resizing)
        newView->setGeometry(oldView->geometry());
    const QList<QWidget *> children = oldView->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly);
    for (QWidget *child : children) {
        if (oldView->layout() && oldView->layout()->indexOf(child) >= 0) {
            DevLog(QString::fromLatin1(kAutoLayoutWarning), QString::fromLatin1(metaObject()->className()),
                   QStringLiteral("replaceSubview:withView:resizing:"));
            oldView->layout()->removeWidget(child);
        }
        const QRect frame = child->geometry();
        const bool shown = !child->isHidden();
        child->setParent(newView);
        child->setGeometry(frame);
        child->setVisible(shown);
    }
    if (oldView == m_contentView) {
        m_contentView = nullptr;
        oldView->hide();
        oldView->setParent(nullptr);
        setContentView(newView);
    } else if (QWidget *parent = oldView->parentWidget()) {
        if (parent->layout() && parent->layout()->indexOf(oldView) >= 0) {
            delete parent->layout()->replaceWidget(oldView, newView);
        } else {
            newView->setParent(parent);
            newView->show();
        }
        oldView->hide();
        oldView->setParent(nullptr);
    }
    oldView->deleteLater();
    setNeedsLayout();
}

void WAYWindow::setNeedsLayout() {
    const int barHeight = qRound(qMax(m_titleBarHeight, double(defaultTitleBarHeight())));
    m_titleBar->setGeometry(0, 0, width(), barHeight);
    m_titleLabel->setGeometry(0, 0, width(), barHeight);
    m_titleLabel->setText(windowTitle());
    for (int i = 0; i < m_standardButtons.size(); ++i) {
        QToolButton *button = m_standardButtons.at(i);
        const QRect frame = button->geometry();
        const double x = m_leftMargin + i * (frame.width() + kButtonSpacing);
        const double y = m_centerButtons ? barHeight * 0.5 - frame.height() * 0.5
                                         : barHeight - frame.height() - m_topMargin;
        button->move(qRound(x), qRound(y));
    }
    if (m_contentView)
        m_contentView->setGeometry(rect());
    m_titleBar->raise();
    m_border->setGeometry(rect());
    m_border->raise();
}

void WAYWindow::windowDidResize(WAYWindow *) {
    setNeedsLayout();
}

QVariant WAYWindow::send(const char *selector) {
    return m_proxy.forwardInvocation(QByteArray(selector), this);
}

void WAYWindow::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    m_border->setGeometry(rect());
    m_border->raise();
    send("windowDidResize");
}

void WAYWindow::moveEvent(QMoveEvent *event) {
    QWidget::moveEvent(event);
    send("windowDidMove");
}

void WAYWindow::showEvent(QShowEvent *event) {
    QWidget::showEvent(event);
    setNeedsLayout();
}

void WAYWindow::closeEvent(QCloseEvent *event) {
    const QVariant should = send("windowShouldClose");
    if (should.isValid() && !should.toBool()) {
        event->ignore();
        return;
    }
    send("windowWillClose");
    QWidget::closeEvent(event);
}

void WAYWindow::changeEvent(QEvent *event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange)
        send(isActiveWindow() ? "windowDidBecomeKey" : "windowDidResignKey");
    else if (event->type() == QEvent::WindowTitleChange)
        m_titleLabel->setText(windowTitle());
}

Qt::Edges WAYWindow::edgesAt(const QPoint &pos) const {
    Qt::Edges edges;
    if (isMaximized())
        return edges;
    if (pos.x() < kResizeMargin)
        edges |= Qt::LeftEdge;
    if (pos.x() >= width() - kResizeMargin)
        edges |= Qt::RightEdge;
    if (pos.y() < kResizeMargin)
        edges |= Qt::TopEdge;
    if (pos.y() >= height() - kResizeMargin)
        edges |= Qt::BottomEdge;
    return edges;
}

void WAYWindow::mousePressEvent(QMouseEvent *event) {
    const Qt::Edges edges = edgesAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && edges && windowHandle() &&
        windowHandle()->startSystemResize(edges)) {
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

void WAYWindow::mouseMoveEvent(QMouseEvent *event) {
    const Qt::Edges edges = edgesAt(event->position().toPoint());
    if ((edges & Qt::LeftEdge && edges & Qt::TopEdge) || (edges & Qt::RightEdge && edges & Qt::BottomEdge))
        setCursor(Qt::SizeFDiagCursor);
    else if ((edges & Qt::RightEdge && edges & Qt::TopEdge) ||
             (edges & Qt::LeftEdge && edges & Qt::BottomEdge))
        setCursor(Qt::SizeBDiagCursor);
    else if (edges & (Qt::LeftEdge | Qt::RightEdge))
        setCursor(Qt::SizeHorCursor);
    else if (edges & (Qt::TopEdge | Qt::BottomEdge))
        setCursor(Qt::SizeVerCursor);
    else
        unsetCursor();
    QWidget::mouseMoveEvent(event);
}

// The bar moves the window; a double click zooms it.
bool WAYWindow::eventFilter(QObject *watched, QEvent *event) {
    if (watched == m_titleBar) {
        if (event->type() == QEvent::MouseButtonPress) {
            auto *mouse = static_cast<QMouseEvent *>(event);
            const QPoint inWindow = m_titleBar->mapTo(this, mouse->position().toPoint());
            if (mouse->button() == Qt::LeftButton && !edgesAt(inWindow) && windowHandle()) {
                windowHandle()->startSystemMove();
                return true;
            }
            if (mouse->button() == Qt::LeftButton && edgesAt(inWindow) && windowHandle()) {
                windowHandle()->startSystemResize(edgesAt(inWindow));
                return true;
            }
        } else if (event->type() == QEvent::MouseButtonDblClick) {
            isMaximized() ? showNormal() : showMaximized();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
