#pragma once

#include "QVMIntroObject.h"
#include "ui/controls/BFPageControlDelegate.h"
#include "ui/foundation/QVMBaseVC.h"

#include <QList>
#include <QPointer>

class BFPageControl;
class QPropertyAnimation;
class QStackedWidget;
class QToolButton;

// The onboarding ("QVMIntro" / "QVMIntroVC"): five pages of picture, title and
// text with dots under them, and Back, Skip and Next. One page index is moved
// by every way of turning a page: the buttons, the Left and Right keys, the
// dots and a horizontal swipe. Return is Next, Escape closes; Next on the last
// page closes too. Texts are looked up once, when the view loads.
//
//   auto *intro = QVMInterfaceFactory::shared().instantiateController<QVMBaseVC>("QVMIntro", "QVMIntroVC",
//   owner); owner->showModalViewController(intro);
class QVMIntroVC : public QVMBaseVC, public BFPageControlDelegate {
    Q_OBJECT
public:
    explicit QVMIntroVC(QObject *parent = nullptr);

    // The page shown, 0 to 4.
    qint64 selectedIndex() const { return m_index; }
    QList<QVMIntroObject> arrangedObjects() const { return m_pages; }

    void onNext();
    void onBack();
    void onSkip();
    void onClose();
    // An onboarding shown as the main window's content hands the window back to it.
    void showMainWindow();

    // The text for a "_loc_" key in the interface language, else in English,
    // else empty; the interface language is never switched to find it.
    static QString localizedText(const QString &key);
    // The five pages, their texts looked up now.
    static QList<QVMIntroObject> makePages();

    static constexpr const char *kStoryboard = "QVMIntro";
    static constexpr const char *kIdentifier = "QVMIntroVC";
    static constexpr const char *kCategory = "Intro screen";
    static constexpr const char *kScreenName = "Intro screen";
    static constexpr const char *kScreenFormat = "Screen %ld";
    static constexpr const char *kSkipFormat = "Screen %ld - Click Skip";
    static constexpr qreal kButtonFontSize = 18.0;
    // A page slides in within this time.
    static constexpr int kAnimationMs = 200;

protected:
    QWidget *loadView() override;
    void viewDidLoad() override;
    void viewWillAppear() override;
    void viewDidAppear() override;
    void pageControl(BFPageControl *pageControl, qint64 didSelectPageAtIndex) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void trackOnboardingOpen(qint64 index);
    void trackOnboardingSkip(qint64 index);
    // Shows page index (kept in range); the one place the page changes.
    void turnTo(qint64 index);
    void closeWindow();
    // Left, Right, Return and Escape; false for any other key.
    bool handleKey(int key);
    // Back is disabled on the first page, saying why.
    void updateBackButton();
    void applyColours();

    QList<QVMIntroObject> m_pages;
    qint64 m_index = 0;
    bool m_closing = false;
    int m_swipe = 0; // horizontal wheel travel not yet turned into a page
    QStackedWidget *m_stack = nullptr;
    BFPageControl *m_dots = nullptr;
    QToolButton *m_previousButton = nullptr;
    QToolButton *m_skipButton = nullptr;
    QToolButton *m_nextButton = nullptr;
    QPointer<QPropertyAnimation> m_slide;
};
