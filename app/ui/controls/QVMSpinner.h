#pragma once

#include <QPointF>

class QObject;
class QWidget;
class QVMProgressOverlay;
class QVMProgressHUD;

// Work-in-progress overlays on any view, and view shadows.
//
// One overlay per view, shared by whoever asks: each caller (the owner) holds
// a claim, and the overlay goes when the last claim is released, so one task's
// hide never removes the overlay another task still shows. Without an owner
// the view itself is the owner, so one caller's show, show, hide leaves nothing.
// An owner destroyed while it holds a claim releases it.
//
//   QVMSpinner::showSpinner(m_resultView, this);          // from any thread
//   ... QVMSpinner::hideSpinner(m_resultView, this);
//
//   if (QVMProgressOverlay *hud = QVMSpinner::showProgress(view, this))  // main thread
//       hud->setProgress(0.5f);
class QVMSpinner {
public:
    // Queued to the main thread in call order; callable from any thread. A busy
    // spinner in the palette's spinner colour when the view has no overlay yet;
    // otherwise the owner joins the overlay that is there.
    static void showSpinner(QWidget *view, QObject *owner = nullptr);
    // Queued like showSpinner: releases the owner's claim.
    static void hideSpinner(QWidget *view, QObject *owner = nullptr);

    // Main thread. A progress-bar overlay labelled "_loc_loading"; null (and
    // nothing changed) when the view already has an overlay.
    static QVMProgressOverlay *showProgress(QWidget *view, QObject *owner = nullptr);
    // The same with a close button (set its buttonAction).
    static QVMProgressHUD *showProgressWithCancel(QWidget *view, QObject *owner = nullptr);
    // hideSpinner.
    static void hideProgress(QWidget *view, QObject *owner = nullptr);

    // Main thread. A drop shadow: blur radius 5, grey 64/255 at opacity 0.32;
    // the offset grows to the right and upwards.
    static void addShadow(QWidget *view);
    static void addShadowOffset(QWidget *view, const QPointF &offset);

    static constexpr qreal kShadowRadius = 5.0;
    static constexpr qreal kShadowOpacity = 0.32;

    QVMSpinner() = delete;
};
