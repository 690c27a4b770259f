#include "ui/main/QVMGeneralAndHistorySplitController.h"

#include "ui/adapters/QVMGeneralServices.h"
#include "ui/controls/QVMSegmentedControl.h"
#include "ui/foundation/QVMInterfaceFactory.h"
#include "ui/foundation/QVMInterfaceHooks.h"
#include "ui/foundation/QVMUtils.h"
#include "ui/main/QVMGeneralViewController.h"

#include "platform/UserDefaults.h"

#include <QSplitter>

QVMGeneralAndHistorySplitController::QVMGeneralAndHistorySplitController(QObject *parent)
    : QVMBaseVC(parent) {}

QWidget *QVMGeneralAndHistorySplitController::loadView() {
    m_split = new QSplitter(Qt::Horizontal);
    m_split->setObjectName(QStringLiteral("QVMGeneralAndHistorySplitView"));
    m_split->setChildrenCollapsible(false);
    m_general = new QVMGeneralViewController(this);
    m_split->addWidget(m_general->view());
    m_split->setStretchFactor(0, 1);
    // The right-hand panel is a part of its own; without it the view fills the window.
    const QString panelName = QStringLiteral("QVMTransitContenerController");
    if (QVMInterfaceFactory::shared().hasController(QStringLiteral("Main"), panelName))
        m_panel =
            QVMInterfaceFactory::shared().instantiateController(QStringLiteral("Main"), panelName, this);
    if (auto *panel = qobject_cast<QVMBaseVC *>(m_panel.data())) {
        m_panelView = panel->view();
        m_split->addWidget(m_panelView);
        m_split->setStretchFactor(1, 0);
    } else {
        QVMInterfaceHooks::notAvailable("QVMTransitContenerController");
    }
    return m_split;
}

void QVMGeneralAndHistorySplitController::viewDidLoad() {
    m_isHistoryShow = true;
    if (itemCount() >= 2)
        setPanelCollapsed(
            QVMUtils::sharedDefaults().integerForKey(QString::fromLatin1(kUserDefaultHistoryViewShow)) == 1);
    QVMInterfaceHooks::call(QVMInterfaceHooks::shared().checkServerMessageIfNeed, "checkServerMessageIfNeed",
                            this);
}

int QVMGeneralAndHistorySplitController::itemCount() const {
    return m_split ? m_split->count() : 0;
}

bool QVMGeneralAndHistorySplitController::isPanelCollapsed() const {
    return !m_panelView || m_panelView->isHidden();
}

void QVMGeneralAndHistorySplitController::setPanelCollapsed(bool collapsed) {
    if (m_panelView)
        m_panelView->setHidden(collapsed);
}

void QVMGeneralAndHistorySplitController::onCollapseHistoryController(QVMSegmentedControl *sender) {
    switch (sender->selectedSegment()) {
    case 2: {
        if (itemCount() < 2)
            return;
        const bool collapse = !isPanelCollapsed();
        setPanelCollapsed(collapse);
        QVMUtils::sharedDefaults().setInteger(collapse ? 1 : 0,
                                              QString::fromLatin1(kUserDefaultHistoryViewShow));
        QVMGeneralServices::shared().analytics().trackEvent(
            QStringLiteral("Main screen"), QStringLiteral("Panel Right"),
            {{QStringLiteral("panel_right"), collapse ? QStringLiteral("off") : QStringLiteral("on")}});
        break;
    }
    case 1:
        sender->setSelected(false, 0);
        m_general->collapseOriginalPanel();
        break;
    case 0:
        sender->setSelected(false, 1);
        m_general->collapseTranslatePanel();
        break;
    default:
        break;
    }
}

void QVMGeneralAndHistorySplitController::onLanguageFrom() {
    if (!m_panel || !QMetaObject::invokeMethod(m_panel, "showLanguagesForSide", Q_ARG(uint, 1u)))
        QVMInterfaceHooks::notAvailable("showLanguagesForSide");
}

void QVMGeneralAndHistorySplitController::onLanguageTo() {
    if (!m_panel || !QMetaObject::invokeMethod(m_panel, "showLanguagesForSide", Q_ARG(uint, 2u)))
        QVMInterfaceHooks::notAvailable("showLanguagesForSide");
}

void QVMGeneralAndHistorySplitController::onHistory() {
    m_isHistoryShow = !m_isHistoryShow;
    const char *method = m_isHistoryShow ? "showHistory" : "showDictionaryOrConjugations";
    if (!m_panel || !QMetaObject::invokeMethod(m_panel, method))
        QVMInterfaceHooks::notAvailable(method);
}
