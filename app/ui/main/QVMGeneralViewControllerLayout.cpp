// The main view's panels: their fonts and alignment kept across launches (QVMPanelFonts),
// their direction (side by side or one above the other) and hiding one of them.
#include "ui/main/QVMGeneralViewController.h"

#include "ui/controls/PaddingTextView.h"
#include "ui/foundation/QVMUtils.h"
#include "ui/main/QVMPanelFonts.h"

#include "platform/UserDefaults.h"

#include <QLayout>
#include <QSplitter>

namespace {

platform::UserDefaults &defaults() {
    return QVMUtils::sharedDefaults();
}

} // namespace

const QVMPanelFonts::Keys &QVMGeneralViewController::fontKeys(bool source) {
    static const QVMPanelFonts::Keys from{kUserDefaultTranslateFromFontName,
                                          kUserDefaultTranslateFromFontSize,
                                          kUserDefaultTranslateFromAligment};
    static const QVMPanelFonts::Keys to{kUserDefaultTranslateToFontName, kUserDefaultTranslateToFontSize,
                                        kUserDefaultTranslateToAligment};
    return source ? from : to;
}

void QVMGeneralViewController::typingAttributesDidChange(PaddingTextView *textView) {
    if (textView == m_fromText || textView == m_toText)
        QVMPanelFonts::store(textView, fontKeys(textView == m_fromText));
}

void QVMGeneralViewController::lazyDirection() {
    const qint64 direction =
        defaults().integerForKey(QString::fromLatin1(kUserDefaultTranslateViewsDirection));
    if (direction == 0)
        applyVertical(false);
    else if (direction == 1)
        applyVertical(true);
}

// Vertical: dividers vertical, the panels side by side.
void QVMGeneralViewController::applyVertical(bool vertical) {
    m_splitView->setOrientation(vertical ? Qt::Horizontal : Qt::Vertical);
    m_firstBottom = vertical ? 12 : 6;
    m_secondLeft = vertical ? 6 : 12;
    m_secondTop = vertical ? 12 : 6;
    // The gap between the panels comes from the first panel's bottom or the second's left and top.
    m_fromContainer->layout()->setContentsMargins(0, 0, vertical ? 6 : 0, vertical ? 0 : m_firstBottom - 6);
    m_toContainer->layout()->setContentsMargins(vertical ? m_secondLeft - 6 : 0, vertical ? 0 : m_secondTop,
                                                0, 0);
}
void QVMGeneralViewController::collapseOriginalPanel() {
    togglePanel(true);
}

void QVMGeneralViewController::collapseTranslatePanel() {
    togglePanel(false);
}

bool QVMGeneralViewController::isOriginalPanelHidden() const {
    return m_fromContainer->isHidden();
}

bool QVMGeneralViewController::isTranslatePanelHidden() const {
    return m_toContainer->isHidden();
}

// Hides a panel or shows it again; the two are never hidden together.
void QVMGeneralViewController::togglePanel(bool source) {
    if (m_splitView->count() < 2)
        return;
    QWidget *panel = source ? m_fromContainer : m_toContainer;
    QWidget *other = source ? m_toContainer : m_fromContainer;
    const QString action =
        source ? QStringLiteral("Panel Language from") : QStringLiteral("Panel Language to");
    const QString parameter =
        source ? QStringLiteral("panel_language_from") : QStringLiteral("panel_language_to");
    const QString key = QString::fromLatin1(kUserDefaultTranslateViewsShowState);
    if (panel->isHidden()) {
        panel->show();
        if (!other->isHidden())
            defaults().setInteger(0, key);
        trackEvent(action, {{parameter, QStringLiteral("on")}});
    } else {
        panel->hide();
        other->show();
        defaults().setInteger(source ? 2 : 1, key);
        trackEvent(action, {{parameter, QStringLiteral("off")}});
    }
}

// Segment 0 puts the panels side by side, any other one above the other.
void QVMGeneralViewController::segmentSwitch(int segment) {
    const bool vertical = segment == 0;
    trackEvent(vertical ? QStringLiteral("View Vertical") : QStringLiteral("View Horizontal"),
               {{QStringLiteral("interface"),
                 vertical ? QStringLiteral("vertical") : QStringLiteral("horizontal")}});
    applyVertical(vertical);
    defaults().setInteger(vertical ? 1 : 0, QString::fromLatin1(kUserDefaultTranslateViewsDirection));
}
