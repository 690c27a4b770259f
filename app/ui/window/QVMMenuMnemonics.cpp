#include "ui/window/QVMMenuMnemonics.h"

#include <QAction>

QChar QVMMenuMnemonics::mnemonic(const QString &text) {
    for (int i = 0; i + 1 < text.size(); ++i) {
        if (text.at(i) != QLatin1Char('&'))
            continue;
        const QChar next = text.at(i + 1);
        if (next.isLetterOrNumber())
            return next.toLower();
        ++i; // "&&" is a literal ampersand, "& " no mnemonic
    }
    return {};
}

QString QVMMenuMnemonics::withMnemonic(const QString &text, QString *used) {
    const auto isFree = [&](int i) {
        const QChar letter = text.at(i);
        return letter.isLetterOrNumber() && !used->contains(letter.toLower());
    };
    int chosen = -1;
    for (int i = 0; i < text.size() && chosen < 0; ++i) {
        const bool wordStart = i == 0 || !text.at(i - 1).isLetterOrNumber();
        if (wordStart && isFree(i))
            chosen = i;
    }
    for (int i = 0; i < text.size() && chosen < 0; ++i) {
        if (isFree(i))
            chosen = i;
    }
    if (chosen < 0)
        return text;
    used->append(text.at(chosen).toLower());
    QString marked = text;
    marked.insert(chosen, QLatin1Char('&'));
    return marked;
}

void QVMMenuMnemonics::assign(const QList<QAction *> &actions) {
    QString used;
    for (const QAction *action : actions) {
        if (const QChar letter = mnemonic(action->text()); !letter.isNull())
            used.append(letter);
    }
    for (QAction *action : actions) {
        if (action->isSeparator() || action->text().isEmpty() || !mnemonic(action->text()).isNull())
            continue;
        // A literal '&' from the table would otherwise become the mnemonic.
        QString text = action->text();
        text.replace(QLatin1Char('&'), QStringLiteral("&&"));
        action->setText(withMnemonic(text, &used));
    }
}
