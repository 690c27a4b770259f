#pragma once

#include "ui/foundation/QVMBaseVC.h"

#include <QList>
#include <QPointer>
#include <QVector>

class QAbstractButton;
class QLabel;
class QStackedWidget;
class QWidget;

// The settings window's content: a row of tab buttons over the panes. Each
// pane comes from the interface factory ("Settings" / its name) the first time
// its tab shows; a name nobody registered shows a placeholder. Every tab
// change, however it comes, sends one "Settings screen" event. Indices outside
// the tabs count as 0.
//
//   auto *settings = new QVMSettingsController(windowController);
//   settings->setTabToOpen(2);
//   window->setContentView(settings->view());   // opens on the account pane
//   settings->selectTab(1);                      // later: the offline pane
class QVMSettingsController : public QVMBaseVC {
    Q_OBJECT
public:
    Q_INVOKABLE explicit QVMSettingsController(QObject *parent = nullptr);

    qint64 tabToOpen() const { return m_tabToOpen; }
    void setTabToOpen(qint64 tab) { m_tabToOpen = tab; }
    Q_INVOKABLE void selectTab(qint64 tab);
    // The action of every tab button (its tag is its index).
    void tabButtonPressed(int tag);
    // The event and the highlight.
    void selectButton(qint64 index);
    // The next or previous tab, wrapping round.
    void selectAdjacentTab(int step);

    static QString trackActionForIndex(qint64 index);
    static QString paneNameForTab(int index);
    static int normalizedTab(qint64 index);

    int selectedTab() const;
    QList<QAbstractButton *> tabButtons() const;
    QStackedWidget *tabController() const { return m_tabs; }
    QLabel *windowTitleField() const { return m_windowTitle; }
    // The pane's controller or widget once its tab has shown; null before.
    QObject *paneForTab(int index) const;
    // Makes the pane of the tab now if it is not made yet.
    QObject *loadPane(int index);

    static constexpr int kTabCount = 6;
    static constexpr const char *kStoryboard = "Settings";
    static constexpr const char *kCategory = "Settings screen";
    static constexpr const char *kTitleKey = "_loc_settings_title";
    static constexpr const char *kNotAvailableKey = "_loc_settings_not_available";
    static constexpr const char *kSelectingLog = "selecting button with index: %ld";

protected:
    QWidget *loadView() override;
    void viewDidLoad() override;
    void didChangeColorTheme(bool dark) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showPane(int index);
    void recolourButtons();

    qint64 m_tabToOpen = 0;
    int m_selected = -1;
    QLabel *m_windowTitle = nullptr;
    QWidget *m_buttonRow = nullptr;
    QStackedWidget *m_tabs = nullptr;
    QList<QAbstractButton *> m_buttons;
    QVector<QPointer<QObject>> m_panes;
    QVector<bool> m_loaded;
};
