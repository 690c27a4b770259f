#pragma once

#include <Qt>

class QTextEdit;

// A text panel's font and alignment, kept in the user defaults under three keys of its own
// for the next launch. Alignment is stored as the defaults keep it: 0 left, 1 right, 2 centre,
// 3 justified, 4 natural (the language's own direction).
//
//   const QVMPanelFonts::Keys keys{"kFontName", "kFontSize", "kAlignment"};
//   QVMPanelFonts::restore(view, keys, true);   // at load
//   QVMPanelFonts::store(view, keys);           // when the font or alignment changed
class QVMPanelFonts {
public:
    struct Keys {
        const char *name;
        const char *size;
        const char *alignment;
    };
    // Nothing without a stored name. A stored font that is not installed is skipped; its
    // alignment is still applied when alignmentWithoutFont says so.
    static void restore(QTextEdit *view, const Keys &keys, bool alignmentWithoutFont);
    static void store(const QTextEdit *view, const Keys &keys);

    static int storedAlignment(Qt::Alignment alignment);
    static Qt::Alignment alignmentFromStored(qint64 stored);

    QVMPanelFonts() = delete;
};
