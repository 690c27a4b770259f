#include "ui/controls/QVMSpinner.h"

#include "core/localization/QVLocalizedString.h"
#include "platform/MainQueue.h"
#include "ui/controls/QVMProgressHUD.h"
#include "ui/style/QVMColor.h"

#include <QGraphicsDropShadowEffect>
#include <QPointer>
#include <QWidget>

namespace {

QObject *ownerOrView(QObject *owner, QWidget *view) {
    return owner ? owner : view;
}

template <typename Overlay> Overlay *showProgressOverlay(QWidget *view, QObject *owner) {
    if (!view || QVMProgressOverlay::HUDForView(view))
        return nullptr;
    Overlay *overlay = Overlay::showHUDAddedTo(view);
    overlay->setMode(QVMProgressOverlay::DeterminateHorizontalBar);
    overlay->setLabelText(QVLocalizedString(QStringLiteral("_loc_loading")));
    overlay->addOwner(ownerOrView(owner, view));
    return overlay;
}

} // namespace

void QVMSpinner::showSpinner(QWidget *view, QObject *owner) {
    QPointer<QWidget> target(view);
    QPointer<QObject> claimant(ownerOrView(owner, view));
    platform::dispatchAsyncMain([target, claimant] {
        if (!target || !claimant)
            return;
        QVMProgressOverlay *overlay = QVMProgressOverlay::HUDForView(target);
        if (!overlay) {
            overlay = QVMProgressOverlay::showHUDAddedTo(target);
            overlay->setColor(QVMColor::spinerColor());
        }
        overlay->addOwner(claimant);
    });
}

void QVMSpinner::hideSpinner(QWidget *view, QObject *owner) {
    QPointer<QWidget> target(view);
    QPointer<QObject> claimant(ownerOrView(owner, view));
    platform::dispatchAsyncMain([target, claimant] {
        if (!target || !claimant)
            return;
        QVMProgressOverlay *overlay = QVMProgressOverlay::HUDForView(target);
        if (overlay && overlay->removeOwner(claimant) && !overlay->hasOwners())
            QVMProgressOverlay::hideHUDForView(target);
    });
}

QVMProgressOverlay *QVMSpinner::showProgress(QWidget *view, QObject *owner) {
    return showProgressOverlay<QVMProgressOverlay>(view, owner);
}

QVMProgressHUD *QVMSpinner::showProgressWithCancel(QWidget *view, QObject *owner) {
    return showProgressOverlay<QVMProgressHUD>(view, owner);
}

void QVMSpinner::hideProgress(QWidget *view, QObject *owner) {
    hideSpinner(view, owner);
}

void QVMSpinner::addShadow(QWidget *view) {
    addShadowOffset(view, QPointF(2, 2));
}

void QVMSpinner::addShadowOffset(QWidget *view, const QPointF &offset) {
    if (!view)
        return;
    auto *shadow = new QGraphicsDropShadowEffect(view);
    shadow->setBlurRadius(kShadowRadius);
    QColor colour = QVMColor::rgbColorWithRed(64, 64, 64, 1);
    colour.setAlphaF(float(kShadowOpacity));
    shadow->setColor(colour);
    // Offsets are given with y growing upwards; the widget's y grows downwards.
    shadow->setOffset(offset.x(), -offset.y());
    view->setGraphicsEffect(shadow);
}
