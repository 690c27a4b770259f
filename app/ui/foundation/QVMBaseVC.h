#pragma once

#include "core/settings/QVTranslateSettings.h"
#include "platform/Error.h"
#include "platform/NotificationCenter.h"

#include <QList>
#include <QMargins>
#include <QObject>
#include <QPointer>
#include <QSize>
#include <QWidget>

// Base of every view controller: a QObject that builds its view on first use
// and tells the subclass about the view's life through empty hooks. The base
// does its own part before each hook, so an override never calls up.
//
//   class QVMHistoryVC : public QVMBaseVC {
//       Q_OBJECT
//   public:
//       using QVMBaseVC::QVMBaseVC;
//   protected:
//       QWidget *loadView() override { return new HistoryView; }   // widgets in C++
//       void viewDidLoad() override { observeThemeColor(); reload(); }
//       void didChangeColorTheme(bool dark) override { repaint(dark); }
//   };
//
// Lifecycle, in order: loadView, viewDidLoad (once, on the first view() call),
// then for each showing viewWillAppear, viewDidAppear (one event-loop turn
// later), and for each hiding viewWillDisappear, viewDidDisappear; deletion.
// The base writes "[VC] viewDidLoad <class>" on loading and "[VC] dealloc
// <class>" on deletion, takes the settings record, follows reachability and the
// application state, and frees the informational-screen slot on every hiding.
class QVMBaseVC : public QObject {
    Q_OBJECT
public:
    explicit QVMBaseVC(QObject *parent = nullptr);
    ~QVMBaseVC() override;

    // The view, made and set up on the first call.
    QWidget *view();
    bool isViewLoaded() const { return m_loaded; }

    // The settings record taken when the view loaded.
    const QVTranslateSettings &settings() const { return m_settings; }
    // Set while the application is not the active one; cleared on loading and on activation.
    bool inBackground() const { return m_inBackground; }
    // Network status 1 or 2; shows nothing.
    bool isNetworkAvailableNoMessage() const;

    // Presents the controller's view as an application-modal window over this
    // view's window; the presenter owns it until it is dismissed or its window
    // closes. False for no controller.
    bool showModalViewController(QVMBaseVC *controller);
    // Closes the controller's modal window and deletes it later.
    void dismissViewController(QVMBaseVC *controller);
    // Dismisses this controller from its presenter.
    void dismissController();
    QVMBaseVC *presentingViewController() const { return m_presenting; }
    QList<QVMBaseVC *> presentedViewControllers() const;

    // An object from the interface factory; null with *error for an unknown name.
    static QObject *viewControllerWithStoryboardName(const QString &storyboard, const QString &identifier,
                                                     QObject *parent = nullptr,
                                                     platform::Error *error = nullptr);
    // Makes the segue's destination (owned by this controller), lets
    // prepareForSegue see it, then shows it as the segue says: a view
    // controller in its own or a modal window, any other object through its
    // invokable showWindow().
    platform::Error performSegueWithIdentifier(const QString &identifier, QObject *sender = nullptr);

    // Follow the light/dark appearance through didChangeColorTheme until cancelled.
    void observeThemeColor();
    void cancelObserveThemeColor();
    bool isObservingThemeColor() const { return bool(m_themeConnection); }

    // Busy spinner over the view, from any thread; see QVMSpinner.
    void showSpinner();
    void hideSpinner();
    // The window of the view without title and title-bar buttons. Called while
    // the window shows, it is still one showing (no second appear hooks).
    void removeWindowButtonsAndTitle();

    QSizeF preferredContentSize() const { return m_preferredContentSize; }
    void setPreferredContentSize(const QSizeF &size) { m_preferredContentSize = size; }
    // Shrinks the preferred size, keeping the view's aspect, so the view fits
    // into size: by width when too wide, else by height when too tall.
    void resizeToFitInSize(const QSizeF &size, const QMarginsF &additionalInsets = {});

    // The class name of the most derived class, as the log lines show it.
    QString className() const;

    static constexpr const char *kViewControllerLogFormat = "[VC] %@ %@";
    static constexpr const char *kUnreachableLog = "Unreachable";

protected:
    // The view's widgets; the base gives an empty widget.
    virtual QWidget *loadView();
    virtual void viewDidLoad() {}
    virtual void viewWillAppear() {}
    virtual void viewDidAppear() {}
    virtual void viewWillDisappear() {}
    virtual void viewDidDisappear() {}
    // The new network status (0 unreachable, 1 and 2 reachable).
    virtual void reachabilityDidChange(int status) { Q_UNUSED(status) }
    virtual void didEnterBackground() {}
    virtual void didBecomeActive() {}
    virtual void didChangeColorTheme(bool dark) { Q_UNUSED(dark) }
    // The destination is made and owned by this controller; keep a QPointer to it if needed.
    virtual void prepareForSegue(const QString &identifier, QObject *destination, QObject *sender) {
        Q_UNUSED(identifier)
        Q_UNUSED(destination)
        Q_UNUSED(sender)
    }

    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void setUpBase();
    void appear();
    void disappear();
    void applicationStateChanged(Qt::ApplicationState state);
    void presentedWindowClosed(QVMBaseVC *controller);
    void rememberClassName() const;

    QPointer<QWidget> m_view;
    bool m_loaded = false;
    bool m_appeared = false;
    bool m_changingWindowFlags = false;
    bool m_inBackground = false;
    QVTranslateSettings m_settings;
    platform::NotificationCenter::Token m_reachabilityToken = 0;
    QMetaObject::Connection m_stateConnection;
    QMetaObject::Connection m_themeConnection;
    QPointer<QVMBaseVC> m_presenting;
    QList<QPointer<QVMBaseVC>> m_presented;
    QSizeF m_preferredContentSize;
    mutable QString m_className;
};
