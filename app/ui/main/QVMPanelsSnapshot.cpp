#include "ui/main/QVMPanelsSnapshot.h"

#include "ui/controls/PaddingTextView.h"
#include "ui/main/QVMGeneralViewController.h"

QVMPanelsSnapshot QVMPanelsSnapshot::take(const QVMGeneralViewController &view) {
    QVMPanelsSnapshot snapshot;
    snapshot.original = view.fromTranslateTextView()->toPlainText();
    snapshot.translation = view.shownTranslation();
    const QVTranslationRealm record = view.translateObject();
    if (!record.isNull() && record.isValid() && record.originalText() == snapshot.original &&
        record.translatedText() == snapshot.translation)
        snapshot.record = record;
    return snapshot;
}

void QVMPanelsSnapshot::restore(QVMGeneralViewController &view) const {
    view.setTextAndTranslation(original, translation, record);
}
