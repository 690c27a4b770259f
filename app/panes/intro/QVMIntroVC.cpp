#include "QVMIntroVC.h"

#include "QVMIntroPageViewController.h"
#include "core/DevLog.h"
#include "core/localization/DJLocalizationSystem.h"
#include "core/localization/QVLocalizedString.h"
#include "platform/Format.h"
#include "services/analytics/QVAnalyticsManager.h"
#include "services/graphics/QVMImage.h"
#include "ui/controls/BFPageControl.h"
#include "ui/controls/QVMControls.h"
#include "ui/foundation/QVMInterfaceFactory.h"
#include "ui/foundation/QVMLocalization.h"
#include "ui/foundation/QVMUtils.h"
#include "ui/style/QVMColor.h"
#include "ui/window/QVGeneralWindowController.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPropertyAnimation>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace {

struct PageKeys {
    const char *image, *title, *description;
};

constexpr PageKeys kPages[] = {
    {"intro_slide_0", "_loc_intro_page1_title", "_loc_intro_page1_description"},
    {"intro_slide_1", "_loc_intro_page2_title", "_loc_intro_page2_description"},
    {"intro_slide_2", "_loc_intro_page3_title", "_loc_intro_page3_description"},
    {"intro_slide_3", "_loc_intro_page4_title", "_loc_intro_page4_description"},
    {"intro_slide_4", "_loc_intro_page5_title", "_loc_intro_page5_description"},
};

constexpr const char *kPreviousImage = "ic_keyboard_arrow_left";
constexpr const char *kNextImage = "ic_keyboard_arrow_right_48pt";
// One notch of a wheel; a touchpad swipe sends many small steps that add up to it.
constexpr int kSwipeStep = 120;

double luminance(const QColor &colour) {
    const auto channel = [](double value) {
        return value <= 0.03928 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(colour.redF()) + 0.7152 * channel(colour.greenF()) +
           0.0722 * channel(colour.blueF());
}

double contrast(const QColor &a, const QColor &b) {
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The colour, darkened on light backgrounds or lightened on dark ones until it reaches the ratio.
QColor readable(QColor colour, const QColor &background, double ratio) {
    const qreal step = luminance(background) > 0.18 ? -4 : 4;
    for (int i = 0; i < 25 && contrast(colour, background) < ratio; ++i)
        colour = QVMColor::adjust(colour, step);
    return colour;
}

QToolButton *makeButton(QWidget *parent, const char *name, const char *title, const char *hint) {
    auto *button = new QToolButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::StrongFocus);
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    button->setIconSize(QSize(24, 24));
    QVMLocalization::setLocKey(button, QString::fromLatin1(title));
    button->setToolTip(QVLocalizedString(QString::fromLatin1(hint)));
    button->setAccessibleName(button->text());
    return button;
}

} // namespace

QVMIntroVC::QVMIntroVC(QObject *parent) : QVMBaseVC(parent) {}

QString QVMIntroVC::localizedText(const QString &key) {
    const DJLocalizationSystem &system = DJLocalizationSystem::shared();
    const QString chosen = system.stringInCurrentTable(key);
    return chosen.isEmpty() ? system.englishStringForKey(key) : chosen;
}

QList<QVMIntroObject> QVMIntroVC::makePages() {
    QList<QVMIntroObject> pages;
    for (const PageKeys &page : kPages)
        pages.append(QVMIntroObject(QString::fromLatin1(page.image),
                                    localizedText(QString::fromLatin1(page.title)),
                                    localizedText(QString::fromLatin1(page.description))));
    return pages;
}

QWidget *QVMIntroVC::loadView() {
    auto *view = new QWidget;
    view->setObjectName(QStringLiteral("introView"));
    view->resize(640, 560);
    auto *layout = new QVBoxLayout(view);
    layout->setContentsMargins(16, 16, 16, 16);
    m_stack = new QStackedWidget(view);
    layout->addWidget(m_stack, 1);
    m_dots = new BFPageControl(view);
    m_dots->setObjectName(QStringLiteral("introDots"));
    m_dots->setMinimumHeight(24);
    m_dots->setIndicatorDiameterSize(12);
    m_dots->setIndicatorMargin(10);
    // Before the buttons, so Tab reaches the dots first, in reading order.
    m_dots->setNumberOfPages(qint64(std::size(kPages)));
    m_dots->setUseHandCursor(true);
    m_dots->setDelegate(this);
    layout->addWidget(m_dots);
    auto *buttons = new QHBoxLayout;
    m_previousButton = makeButton(view, "introBack", "_loc_intro_back", "_loc_intro_back_hint");
    m_skipButton = makeButton(view, "introSkip", "_loc_intro_skip", "_loc_intro_skip_hint");
    m_nextButton = makeButton(view, "introNext", "_loc_intro_next", "_loc_intro_next_hint");
    // The arrow follows the title on the right-hand button.
    m_nextButton->setLayoutDirection(Qt::RightToLeft);
    buttons->addWidget(m_previousButton);
    buttons->addStretch(1);
    buttons->addWidget(m_skipButton);
    buttons->addStretch(1);
    buttons->addWidget(m_nextButton);
    layout->addLayout(buttons);
    connect(m_previousButton, &QToolButton::clicked, this, &QVMIntroVC::onBack);
    connect(m_skipButton, &QToolButton::clicked, this, &QVMIntroVC::onSkip);
    connect(m_nextButton, &QToolButton::clicked, this, &QVMIntroVC::onNext);
    return view;
}

void QVMIntroVC::viewDidLoad() {
    m_pages = makePages();
    for (const QVMIntroObject &object : std::as_const(m_pages)) {
        platform::Error error;
        auto *page = QVMInterfaceFactory::shared().instantiateController<QVMIntroPageViewController>(
            QString::fromLatin1(kStoryboard), QString::fromLatin1(QVMIntroPageViewController::kIdentifier),
            this, &error);
        if (!page) {
            DevLog(QStringLiteral("[intro] %@"), error.localizedDescription());
            page = new QVMIntroPageViewController(this);
        }
        page->setRepresentedObject(object);
        m_stack->addWidget(page->view());
    }
    applyColours();
    updateBackButton();
    view()->setFocusProxy(m_nextButton);
    // Buttons and dots take arrow keys for moving focus; here they turn pages first.
    for (QWidget *child : view()->findChildren<QWidget *>())
        child->installEventFilter(this);
    trackOnboardingOpen(0);
}

void QVMIntroVC::viewWillAppear() {
    removeWindowButtonsAndTitle();
    m_nextButton->setFocus(Qt::OtherFocusReason);
}

void QVMIntroVC::viewDidAppear() {
    QVAnalyticsManager::trackViewsFromArray({QString::fromLatin1(kScreenName)});
}

void QVMIntroVC::applyColours() {
    const QPalette palette = view()->palette();
    const QColor window = palette.color(QPalette::Window);
    // Text at 4.5:1; the dots, which are not text, at 3:1.
    const QColor blue = readable(QVMColor::customBlueColor(), window, 4.5);
    for (QToolButton *button : {m_previousButton, m_skipButton, m_nextButton}) {
        QVMControls::attributedTitleWithColor(button, blue, kButtonFontSize);
        // A disabled button looks disabled.
        QPalette own = button->palette();
        own.setColor(QPalette::Disabled, QPalette::ButtonText,
                     palette.color(QPalette::Disabled, QPalette::ButtonText));
        button->setPalette(own);
    }
    // Decoded once; only the tint follows the appearance.
    static const QImage previous = QVMImage::imageNamed(QString::fromLatin1(kPreviousImage));
    static const QImage next = QVMImage::imageNamed(QString::fromLatin1(kNextImage));
    m_previousButton->setIcon(QPixmap::fromImage(QVMUtils::image(previous, blue)));
    m_nextButton->setIcon(QPixmap::fromImage(QVMUtils::image(next, blue)));
    m_dots->setUnselectedColor(readable(palette.color(QPalette::Mid), window, 3.0));
    m_dots->setSelectedColor(blue);
}

void QVMIntroVC::trackOnboardingOpen(qint64 index) {
    QVAnalyticsManager::trackEventWithCategory(
        QString::fromLatin1(kCategory), platform::format(QString::fromLatin1(kScreenFormat), index + 1),
        QVariantMap());
}

void QVMIntroVC::trackOnboardingSkip(qint64 index) {
    QVAnalyticsManager::trackEventWithCategory(QString::fromLatin1(kCategory),
                                               platform::format(QString::fromLatin1(kSkipFormat), index + 1),
                                               QVariantMap());
}

void QVMIntroVC::turnTo(qint64 index) {
    index = std::clamp<qint64>(index, 0, m_pages.size() - 1);
    if (index == m_index || !m_stack)
        return;
    const int direction = index > m_index ? 1 : -1;
    m_index = index;
    m_dots->setCurrentPage(index);
    updateBackButton();
    if (m_slide)
        m_slide->stop();
    m_stack->setCurrentIndex(int(index));
    QWidget *page = m_stack->currentWidget();
    page->move(direction * m_stack->width(), 0);
    auto *slide = new QPropertyAnimation(page, "pos", this);
    slide->setDuration(kAnimationMs);
    slide->setStartValue(QPoint(direction * m_stack->width(), 0));
    slide->setEndValue(QPoint(0, 0));
    slide->setEasingCurve(QEasingCurve::OutCubic);
    // A page that is stopped half way (the next turn) still ends in place.
    connect(slide, &QAbstractAnimation::finished, page, [page] { page->move(0, 0); });
    connect(slide, &QObject::destroyed, page, [page] { page->move(0, 0); });
    m_slide = slide;
    slide->start(QAbstractAnimation::DeleteWhenStopped);
}

void QVMIntroVC::updateBackButton() {
    const bool first = m_index == 0;
    m_previousButton->setEnabled(!first);
    m_previousButton->setToolTip(
        QVLocalizedString(QString::fromLatin1(first ? "_loc_intro_back_first" : "_loc_intro_back_hint")));
}

void QVMIntroVC::onNext() {
    if (m_index + 1 < m_pages.size())
        turnTo(m_index + 1);
    else
        closeWindow();
}

void QVMIntroVC::onBack() {
    turnTo(m_index - 1);
}

void QVMIntroVC::onSkip() {
    trackOnboardingSkip(m_index);
    closeWindow();
}

void QVMIntroVC::onClose() {
    closeWindow();
}

void QVMIntroVC::pageControl(BFPageControl *, qint64 didSelectPageAtIndex) {
    if (didSelectPageAtIndex == m_index)
        return;
    turnTo(didSelectPageAtIndex);
    trackOnboardingOpen(m_index);
}

void QVMIntroVC::closeWindow() {
    if (m_closing)
        return;
    m_closing = true;
    // Opened alone (not presented), the window is the view's own.
    if (presentingViewController())
        dismissController();
    else
        view()->window()->close();
}

void QVMIntroVC::showMainWindow() {
    QWidget *window = view()->window();
    QObject *owner =
        window->property(QVGeneralWindowController::kWindowControllerProperty).value<QObject *>();
    if (auto *controller = qobject_cast<QVGeneralWindowController *>(owner))
        controller->initialMainWindow();
}

bool QVMIntroVC::handleKey(int key) {
    switch (key) {
    case Qt::Key_Left:
        onBack();
        return true;
    case Qt::Key_Right:
        turnTo(m_index + 1);
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        onNext();
        return true;
    case Qt::Key_Escape:
        onClose();
        return true;
    default:
        return false;
    }
}

bool QVMIntroVC::eventFilter(QObject *watched, QEvent *event) {
    // The view and every widget in it (isAncestorOf counts the view itself).
    auto *widget = qobject_cast<QWidget *>(watched);
    if (isViewLoaded() && widget && event->type() == QEvent::KeyPress && view()->isAncestorOf(widget) &&
        handleKey(static_cast<QKeyEvent *>(event)->key()))
        return true;
    if (isViewLoaded() && watched == view()) {
        switch (event->type()) {
        case QEvent::Wheel: {
            // A horizontal swipe turns one page and reports it, as the dots do.
            m_swipe += static_cast<QWheelEvent *>(event)->angleDelta().x();
            if (std::abs(m_swipe) >= kSwipeStep) {
                const qint64 target = m_index + (m_swipe < 0 ? 1 : -1);
                m_swipe = 0;
                if (target >= 0 && target < m_pages.size()) {
                    turnTo(target);
                    trackOnboardingOpen(m_index);
                }
            }
            return true;
        }
        case QEvent::PaletteChange:
            applyColours();
            break;
        default:
            break;
        }
    }
    return QVMBaseVC::eventFilter(watched, event);
}
