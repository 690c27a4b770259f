// The popover's widgets: building them, the panels' heights and the colours.
#include "QVMGenaralPopoverViewController.h"

#include "QVMPopoverIcons.h"

#include "core/localization/QVLocalizedString.h"
#include "services/graphics/QVMStyleService.h"
#include "ui/controls/TextViewWithPlaceHolder.h"
#include "ui/style/QVMColor.h"

#include <QAbstractTextDocumentLayout>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTextBlock>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

constexpr int kIconSize = 20;

// The text's height, laying out only as many paragraphs as it takes to reach `limit`: a long
// paste's other paragraphs are left to the view's own layout, done between frames.
qreal textHeightUpTo(QTextDocument *document, qreal limit) {
    QAbstractTextDocumentLayout *layout = document->documentLayout();
    if (document->isEmpty() || !layout)
        return 0;
    const qreal margin = document->documentMargin();
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        const qreal bottom = layout->blockBoundingRect(block).bottom() - margin;
        if (bottom >= limit)
            return bottom;
    }
    // All laid out: the page's own size, as the view sees it.
    return layout->documentSize().height() - 2 * margin;
}

} // namespace

QToolButton *QVMGenaralPopoverViewController::makeIconButton(const QString &image, const QString &tip,
                                                             const char *objectName) {
    auto *button = new QToolButton;
    button->setObjectName(QLatin1String(objectName));
    button->setAutoRaise(true);
    button->setIconSize(QSize(kIconSize, kIconSize));
    button->setToolTip(tip);
    button->setAccessibleName(tip);
    button->setFocusPolicy(Qt::StrongFocus);
    setButtonImage(button, image);
    return button;
}

void QVMGenaralPopoverViewController::setButtonImage(QAbstractButton *button, const QString &image) {
    if (!button)
        return;
    button->setProperty(kImageNameProperty, image);
    button->setIcon(QVMPopoverIcons::icon(image, button->palette().color(QPalette::ButtonText)));
}

QString QVMGenaralPopoverViewController::imageName(const QAbstractButton *button) {
    return button ? button->property(kImageNameProperty).toString() : QString();
}

void QVMGenaralPopoverViewController::applyButtonImages() {
    for (QToolButton *button :
         {m_holdButton, m_settingsButton, m_fromSpeakButton, m_toSpeakButton, m_clearButton})
        setButtonImage(button, imageName(button));
}

QWidget *QVMGenaralPopoverViewController::loadView() {
    auto *root = new QWidget;
    root->setObjectName(QStringLiteral("QVMGenaralPopoverView"));
    root->setFixedWidth(kWidth);
    auto *layout = new QVBoxLayout(root);
    layout->setContentsMargins(10, 8, 10, 10);
    layout->setSpacing(6);

    auto *top = new QHBoxLayout;
    m_fromButton = new QToolButton;
    m_fromButton->setObjectName(QStringLiteral("fromButton"));
    m_toButton = new QToolButton;
    m_toButton->setObjectName(QStringLiteral("toButton"));
    for (QToolButton *button : {m_fromButton, m_toButton}) {
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        button->setIconSize(QSize(18, 18));
        button->setAutoRaise(true);
        button->setFocusPolicy(Qt::StrongFocus);
    }
    auto *arrow = new QLabel(QStringLiteral("\u2192"));
    arrow->setAccessibleName(QStringLiteral("to"));
    m_titleLabel = new QLabel;
    m_titleLabel->setObjectName(QStringLiteral("titleLabel"));
    m_holdButton = makeIconButton(QString::fromLatin1(QVMPopoverIcons::kPin), QString(), "holdButton");
    m_settingsButton =
        makeIconButton(QString::fromLatin1(QVMPopoverIcons::kMainWindow), QString(), "settingsButton");
    top->addWidget(m_fromButton);
    top->addWidget(arrow);
    top->addWidget(m_toButton);
    top->addWidget(m_titleLabel, 1);
    top->addWidget(m_holdButton);
    top->addWidget(m_settingsButton);
    layout->addLayout(top);

    m_boxA = new QFrame;
    m_boxA->setObjectName(QStringLiteral("boxA"));
    m_boxA->setAutoFillBackground(true);
    auto *boxA = new QVBoxLayout(m_boxA);
    boxA->setContentsMargins(4, 4, 4, 4);
    m_originalTextView = new TextViewWithPlaceHolder;
    m_originalTextView->setObjectName(QStringLiteral("originalTextView"));
    m_originalTextView->setAccessibleName(tr("Text to translate"));
    m_originalTextView->setToolTip(tr("Text to translate"));
    boxA->addWidget(m_originalTextView);
    m_fromStack = new QWidget;
    m_fromStack->setObjectName(QStringLiteral("fromStack"));
    auto *stack = new QHBoxLayout(m_fromStack);
    stack->setContentsMargins(0, 0, 0, 0);
    m_fromSpeakButton = makeIconButton(QString::fromLatin1(QVMPopoverIcons::kVolumeHigh), tr("Speak source"),
                                       "fromSpeakButton");
    m_clearButton = makeIconButton(QString::fromLatin1(QVMPopoverIcons::kClear), tr("Clear"), "clearButton");
    stack->addWidget(m_fromSpeakButton);
    stack->addStretch(1);
    stack->addWidget(m_clearButton);
    boxA->addWidget(m_fromStack);
    layout->addWidget(m_boxA);

    m_boxB = new QFrame;
    m_boxB->setObjectName(QStringLiteral("boxB"));
    m_boxB->setAutoFillBackground(true);
    auto *boxB = new QVBoxLayout(m_boxB);
    boxB->setContentsMargins(4, 4, 4, 4);
    m_translateTextView = new TextViewWithPlaceHolder;
    m_translateTextView->setObjectName(QStringLiteral("translateTextView"));
    m_translateTextView->setAccessibleName(tr("Translation"));
    m_translateTextView->setToolTip(tr("Translation"));
    boxB->addWidget(m_translateTextView);
    m_toSpeakButton = makeIconButton(QString::fromLatin1(QVMPopoverIcons::kVolumeHigh),
                                     tr("Speak translation"), "toSpeakButton");
    boxB->addWidget(m_toSpeakButton, 0, Qt::AlignLeft);
    layout->addWidget(m_boxB);

    auto *message = new QHBoxLayout;
    m_messageLabel = new QLabel;
    m_messageLabel->setObjectName(QStringLiteral("messageLabel"));
    // Server and engine messages land here: never markup.
    m_messageLabel->setTextFormat(Qt::PlainText);
    m_messageLabel->setWordWrap(true);
    m_messageLabel->setAccessibleName(tr("Message"));
    m_downloadButton = new QPushButton(QVLocalizedString(QStringLiteral("_loc_alert_button_download")) +
                                       QStringLiteral("\u2026"));
    m_downloadButton->setObjectName(QStringLiteral("downloadButton"));
    m_downloadButton->setToolTip(tr("Open the offline language packages"));
    m_downloadButton->setAccessibleName(m_downloadButton->text());
    message->addWidget(m_messageLabel, 1);
    message->addWidget(m_downloadButton);
    layout->addLayout(message);
    m_messageLabel->hide();
    m_downloadButton->hide();

    for (TextViewWithPlaceHolder *view : {m_originalTextView, m_translateTextView}) {
        view->setFrameShape(QFrame::NoFrame);
        view->setAcceptRichText(false);
        view->setTabChangesFocus(true);
        view->installEventFilter(this);
    }
    QWidget::setTabOrder(m_fromButton, m_toButton);
    QWidget::setTabOrder(m_toButton, m_holdButton);
    QWidget::setTabOrder(m_holdButton, m_settingsButton);
    QWidget::setTabOrder(m_settingsButton, m_originalTextView);
    QWidget::setTabOrder(m_originalTextView, m_fromSpeakButton);
    QWidget::setTabOrder(m_fromSpeakButton, m_clearButton);
    QWidget::setTabOrder(m_clearButton, m_translateTextView);
    QWidget::setTabOrder(m_translateTextView, m_toSpeakButton);
    QWidget::setTabOrder(m_toSpeakButton, m_downloadButton);
    return root;
}

int QVMGenaralPopoverViewController::panelHeightForTextHeight(float height) {
    if (height >= kMaximumTextHeight)
        return int(kMaximumTextHeight);
    if (height <= 30.0f)
        return 30;
    return int(height + 6.0f);
}

void QVMGenaralPopoverViewController::updatePanelHeight(TextViewWithPlaceHolder *view) {
    QTextDocument *document = view->document();
    // Setting the width lays the whole text out again, even the same width: only when it changed.
    const qreal width = view->viewport()->width() > 0 ? view->viewport()->width() : kWidth - 40;
    if (!qFuzzyCompare(document->textWidth(), width))
        document->setTextWidth(width);
    // The text's own height, as its glyphs cover it: nothing for no text, no page margins.
    const float height = float(textHeightUpTo(document, kMaximumTextHeight));
    // The rule is for the text; the view adds its page margins and frame around it.
    const int chrome = int(2 * document->documentMargin()) + 2 * view->frameWidth();
    view->setFixedHeight(panelHeightForTextHeight(height) + chrome);
}

void QVMGenaralPopoverViewController::updateUIOriginalTextView() {
    updatePanelHeight(m_originalTextView);
    // The document says whether it is empty: no copy of a long text on each key.
    m_fromStack->setVisible(!m_originalTextView->document()->isEmpty());
}

void QVMGenaralPopoverViewController::updateUITranslateTextView() {
    updatePanelHeight(m_translateTextView);
    m_toSpeakButton->setVisible(!m_translateTextView->document()->isEmpty());
}

void QVMGenaralPopoverViewController::didChangeColorTheme(bool dark) {
    Q_UNUSED(dark)
    applyTheme();
}

void QVMGenaralPopoverViewController::applyTheme() {
    if (!isViewLoaded())
        return;
    const bool dark = QVMStyleService::isDarkMode();
    const QColor boxA = dark ? QColor(Qt::black) : QColor(Qt::white);
    const QColor panel = dark ? QVMColor::customDarkGrayColor() : QVMColor::customLightGrayColor();
    const QColor text = dark ? QColor(Qt::white) : QColor(Qt::black);
    QPalette root = view()->palette();
    root.setColor(QPalette::Window, boxA);
    root.setColor(QPalette::WindowText, text);
    root.setColor(QPalette::ButtonText, text);
    root.setColor(QPalette::Text, text);
    root.setColor(QPalette::Base, panel);
    root.setColor(QPalette::PlaceholderText, dark ? QColor(170, 170, 170) : QColor(100, 100, 100));
    view()->setPalette(root);
    view()->setAutoFillBackground(true);
    QPalette a = m_boxA->palette();
    a.setColor(QPalette::Window, boxA);
    m_boxA->setPalette(a);
    QPalette b = m_boxB->palette();
    b.setColor(QPalette::Window, panel);
    m_boxB->setPalette(b);
    // The hints take the palette's placeholder grey, which reads on the panel in both schemes.
    for (TextViewWithPlaceHolder *view : {m_originalTextView, m_translateTextView}) {
        QPalette p = view->palette();
        p.setColor(QPalette::Base, panel);
        p.setColor(QPalette::Text, text);
        p.setColor(QPalette::PlaceholderText, root.color(QPalette::PlaceholderText));
        view->setPalette(p);
    }
    applyButtonImages();
}
