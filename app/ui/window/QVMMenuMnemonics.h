#pragma once

#include <QList>
#include <QString>

class QAction;

// Keyboard mnemonics for menu titles and items whose text comes from the
// localisation tables, which carry no '&': each title gets one letter no
// other title of the same bar or menu uses, a word's first letter first.
//
//   QVMMenuMnemonics::assign(menuBar->actions());   // "File" -> "&File", "Edit" -> "&Edit"
class QVMMenuMnemonics {
public:
    // Leaves titles that already have a mnemonic, separators and empty titles as they are.
    static void assign(const QList<QAction *> &actions);
    // The letter after the single '&' of the text, or a null character.
    static QChar mnemonic(const QString &text);
    // The text with a mnemonic before the first letter not in `used`; the text itself when none is free.
    static QString withMnemonic(const QString &text, QString *used);

    QVMMenuMnemonics() = delete;
};
