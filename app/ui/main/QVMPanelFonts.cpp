#include "ui/main/QVMPanelFonts.h"

#include "ui/foundation/QVMUtils.h"

#include "platform/UserDefaults.h"

#include <QFontDatabase>
#include <QTextDocument>
#include <QTextEdit>

namespace {

platform::UserDefaults &defaults() {
    return QVMUtils::sharedDefaults();
}

} // namespace

void QVMPanelFonts::restore(QTextEdit *view, const Keys &keys, bool alignmentWithoutFont) {
    const QString name = defaults().stringForKey(QString::fromLatin1(keys.name));
    if (name.isEmpty())
        return;
    const bool exists = QFontDatabase::families().contains(name, Qt::CaseInsensitive);
    if (exists) {
        QFont font = view->font();
        font.setFamily(name);
        const double size = defaults().doubleForKey(QString::fromLatin1(keys.size));
        if (size > 0)
            font.setPointSizeF(size);
        view->setFont(font);
    }
    if (exists || alignmentWithoutFont) {
        QTextOption option = view->document()->defaultTextOption();
        option.setAlignment(
            alignmentFromStored(defaults().integerForKey(QString::fromLatin1(keys.alignment))));
        view->document()->setDefaultTextOption(option);
    }
}

void QVMPanelFonts::store(const QTextEdit *view, const Keys &keys) {
    const QFont font = view->font();
    defaults().setObject(font.family(), QString::fromLatin1(keys.name));
    defaults().setDouble(font.pointSizeF(), QString::fromLatin1(keys.size));
    defaults().setInteger(storedAlignment(view->document()->defaultTextOption().alignment()),
                          QString::fromLatin1(keys.alignment));
}

int QVMPanelFonts::storedAlignment(Qt::Alignment alignment) {
    const Qt::Alignment horizontal = alignment & Qt::AlignHorizontal_Mask & ~Qt::AlignAbsolute;
    if (horizontal == Qt::AlignRight)
        return 1;
    if (horizontal == Qt::AlignHCenter)
        return 2;
    if (horizontal == Qt::AlignJustify)
        return 3;
    if (horizontal == Qt::AlignLeft && (alignment & Qt::AlignAbsolute))
        return 0;
    return 4; // leading: the language's own direction
}

Qt::Alignment QVMPanelFonts::alignmentFromStored(qint64 stored) {
    switch (stored) {
    case 0:
        return Qt::AlignLeft | Qt::AlignAbsolute;
    case 1:
        return Qt::AlignRight | Qt::AlignAbsolute;
    case 2:
        return Qt::AlignHCenter;
    case 3:
        return Qt::AlignJustify;
    default:
        return Qt::AlignLeading;
    }
}
