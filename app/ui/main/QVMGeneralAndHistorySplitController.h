#pragma once

#include "ui/foundation/QVMBaseVC.h"

#include <QPointer>

class QSplitter;
class QVMGeneralViewController;
class QVMSegmentedControl;

// The main window's content: item 0 the main translation view, item 1 the
// right-hand panel (history, languages, dictionary) when that part of the
// program is present ("Main" / "QVMTransitContenerController").
//
//   auto *split = QVMInterfaceFactory::shared().instantiateController<QVMGeneralAndHistorySplitController>(
//       "Main", "QVMGeneralAndHistorySplitController", this);
//   window->setCentralWidget(split->view());
//   split->generalViewController()->translateOperation();
class QVMGeneralAndHistorySplitController : public QVMBaseVC {
    Q_OBJECT
public:
    explicit QVMGeneralAndHistorySplitController(QObject *parent = nullptr);

    QVMGeneralViewController *generalViewController() const { return m_general; }
    // The right-hand panel's controller; null while that part is missing.
    QObject *delegateManagePanelLanguage() const { return m_panel; }
    QSplitter *splitView() const { return m_split; }
    int itemCount() const;
    // The right-hand panel is installed (the toolbar's history segment follows this).
    bool hasSidePane() const { return !m_panelView.isNull(); }
    bool isPanelCollapsed() const;
    bool isHistoryShow() const { return m_isHistoryShow; }
    // The panel says what it shows, so the next onHistory turns to the other page.
    void setHistoryShow(bool shown) { m_isHistoryShow = shown; }

    // The toolbar's panel segments: 0 hides or shows the result panel, 1 the
    // source panel, 2 the right-hand panel.
    void onCollapseHistoryController(QVMSegmentedControl *sender);
    // The panels' language and history buttons.
    void onLanguageFrom();
    void onLanguageTo();
    void onHistory();

    static constexpr const char *kUserDefaultHistoryViewShow = "kUserDefaultHistoryViewShow";

protected:
    QWidget *loadView() override;
    void viewDidLoad() override;

private:
    void setPanelCollapsed(bool collapsed);

    QSplitter *m_split = nullptr;
    QVMGeneralViewController *m_general = nullptr;
    QPointer<QObject> m_panel;
    QPointer<QWidget> m_panelView;
    bool m_isHistoryShow = true;
};
