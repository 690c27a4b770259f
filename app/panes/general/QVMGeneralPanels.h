#pragma once

#include "panes/general/QVMFeedbackDialog.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QUrl>

#include <functional>

class PaddingTextView;
class QAbstractButton;
class QFrame;
class QMenu;
class QScrollBar;
class QToolButton;
class QVMGeneralViewController;
class QWidget;
struct QVMInterfaceHooks;

// Installs the main view's panel features into QVMInterfaceHooks: font steps,
// favourite, share menu and the panels' own context menus. Called once by start-up.
void installGeneralPanels(QVMInterfaceHooks &hooks);

// The panel behaviour of one main view, made on its first use as a child of
// the view controller:
//
//   QVMGeneralPanels::forView(view)->increaseFont();
//   QMenu *menu = QVMGeneralPanels::forView(view)->makeShareMenu(parent);   // null: nothing to share
//
// Fonts step one point, within 8-72 pt, on both panels. Scrolling one panel
// by hand scrolls the other to the same offset. Main thread only.
class QVMGeneralPanels : public QObject {
    Q_OBJECT
public:
    explicit QVMGeneralPanels(QVMGeneralViewController *view);
    static QVMGeneralPanels *forView(QVMGeneralViewController *view);

    // Menus, scrolling, the clear button's margin and the panel boxes' look.
    void setUp();

    // Segment 0 increases, any other reduces.
    void segmentZoom(int segment);
    void increaseFont();
    void reduceFont();

    // Toggles the shown record's favourite through QVFavoritesSync; the star shows the record.
    void onFavorite();
    // Sends "Click Share button" and shows the share menu below the sender.
    void onShare(QAbstractButton *sender);
    // Copy, Send by e-mail, Suggest a better translation…; null when the result panel is empty.
    QMenu *makeShareMenu(QWidget *parent);
    // The source panel's Speak, Paste, Clear or the result panel's Speak, Copy,
    // Favourite, Share, above the text view's own editing actions.
    QMenu *makePanelMenu(bool source, QWidget *parent);
    void sendByEmail();
    void suggestBetterTranslation();
    QVMFeedbackDialog *feedbackDialog() const { return m_feedback; }

    // "mailto:?body=<text>" with the text percent-encoded; a text longer than
    // kMailBodyCharacters is cut there and says it was shortened.
    static QUrl mailtoForText(const QString &text);
    static QString mailBodyForText(const QString &text);
    // Opens an address (tests route it elsewhere); the desktop's handler by default.
    using UrlOpener = std::function<bool(const QUrl &url)>;
    static void setUrlOpener(UrlOpener opener);

    // Keeps `to` at the scroll offset `y` of the other panel, with room below its end.
    void syncScroll(PaddingTextView *from, PaddingTextView *to, int y);
    int bottomInset(PaddingTextView *view) const;
    // The space right of the clear button: 6, plus the source panel's vertical scroll bar when shown.
    int clearButtonRightMargin() const;
    void adjustClearButtonMargin();

    // A mail program is handed the address on its command line: no place for a whole book.
    static constexpr qsizetype kMailBodyCharacters = 4000;
    static constexpr double kMinimumFontSize = 8.0;
    static constexpr double kMaximumFontSize = 72.0;
    static constexpr double kBoxCornerRadius = 10.0;
    static constexpr double kBoxShadowOpacity = 0.2;
    static constexpr const char *kCopyItem = "Copy";
    static constexpr const char *kEmailItem = "Send by e-mail";
    static constexpr const char *kSuggestItem = "Suggest a better translation…";

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void stepFont(double step, const char *event);
    void trackEvent(const QString &action, const QVariantMap &params = {});
    void shared(const QString &method);
    QString resultText() const;
    void showPanelMenu(bool source, const QPoint &globalPosition);
    void setBottomInset(PaddingTextView *view, int inset);
    void refreshFavoriteButton();
    void paintBox(QWidget *box);

    QPointer<QVMGeneralViewController> m_view;
    QPointer<QVMFeedbackDialog> m_feedback;
    QPointer<PaddingTextView> m_fromText;
    QPointer<QToolButton> m_clearButton;
    QPointer<QScrollBar> m_scroller;
    QPointer<QFrame> m_fromBox;
    QPointer<QFrame> m_toBox;
    QHash<PaddingTextView *, int> m_insets;
    bool m_syncing = false;
    int m_clearMargin = 6;
};
