// Key commands of the main view's panels.
#include "ui/main/QVMGeneralViewController.h"

#include "ui/controls/PaddingTextView.h"
#include "ui/foundation/QVMUtils.h"

#include "core/DevLog.h"
#include "platform/UserDefaults.h"

#include <QKeyEvent>

namespace {

// The selector name of a key command, as the log names it; empty for typing.
QString commandForKey(const QKeyEvent *event) {
    if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return {};
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return QStringLiteral("insertNewline:");
    case Qt::Key_Tab:
        return QStringLiteral("insertTab:");
    case Qt::Key_Backtab:
        return QStringLiteral("insertBacktab:");
    case Qt::Key_Backspace:
        return QStringLiteral("deleteBackward:");
    case Qt::Key_Delete:
        return QStringLiteral("deleteForward:");
    case Qt::Key_Escape:
        return QStringLiteral("cancelOperation:");
    default:
        return {};
    }
}

} // namespace

bool QVMGeneralViewController::handleKeyCommand(PaddingTextView *view, QKeyEvent *event) {
    // Tab leaves the text view; Ctrl+Tab is how a tab gets in. Ctrl+Return always translates.
    if ((event->modifiers() & Qt::ControlModifier) && !(event->modifiers() & Qt::ShiftModifier)) {
        if (event->key() == Qt::Key_Tab) {
            view->insertPlainText(QStringLiteral("\t"));
            return true;
        }
        if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && view == m_fromText) {
            translateOperation();
            return true;
        }
    }
    const QString command = commandForKey(event);
    if (command.isEmpty())
        return false;
    DevLog(QStringLiteral("Selector method is (%@)"), command);
    if (command == QLatin1String("insertNewline:") && view == m_fromText &&
        QVMUtils::sharedDefaults().boolForKey(QString::fromLatin1(kTranslateByEnterSetting))) {
        translateOperation();
        return true;
    }
    return false;
}

void QVMGeneralViewController::textPasteHandler(QObject *view) {
    if (view && view == m_fromText)
        translateOperation();
}
