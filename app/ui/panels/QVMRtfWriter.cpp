#include "ui/panels/QVMRtfWriter.h"

#include <QColor>
#include <QList>
#include <QStringList>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextDocument>

namespace {

int indexOrAppend(QStringList &list, const QString &value) {
    const qsizetype index = list.indexOf(value);
    if (index >= 0)
        return int(index);
    list.append(value);
    return int(list.size() - 1);
}

int indexOrAppend(QList<QColor> &list, const QColor &value) {
    const qsizetype index = list.indexOf(value);
    if (index >= 0)
        return int(index);
    list.append(value);
    return int(list.size() - 1);
}

QString familyOf(const QTextCharFormat &format, const QTextDocument &document) {
    const QStringList families = format.fontFamilies().toStringList();
    if (!families.isEmpty() && !families.first().isEmpty())
        return families.first();
    return document.defaultFont().family();
}

double pointSizeOf(const QTextCharFormat &format, const QTextDocument &document) {
    const double size = format.fontPointSize();
    if (size > 0)
        return size;
    const double fallback = document.defaultFont().pointSizeF();
    return fallback > 0 ? fallback : 12.0;
}

} // namespace

QByteArray QVMRtfWriter::escapedText(const QString &text) {
    QByteArray out;
    out.reserve(text.size() + 16);
    for (const QChar c : text) {
        const ushort unit = c.unicode();
        switch (unit) {
        case '\\':
            out += "\\\\";
            break;
        case '{':
            out += "\\{";
            break;
        case '}':
            out += "\\}";
            break;
        case '\t':
            out += "\\tab ";
            break;
        case 0x2028: // line separator inside a paragraph
        case '\n':
            out += "\\line ";
            break;
        default:
            if (unit >= 0x20 && unit < 0x80) {
                out += char(unit);
            } else if (unit >= 0x80) {
                // RTF's \u takes a signed 16-bit number, then one fallback character.
                out += "\\u" + QByteArray::number(int(qint16(unit))) + '?';
            }
            break;
        }
    }
    return out;
}

QByteArray QVMRtfWriter::rtfFromDocument(const QTextDocument &document) {
    QStringList fonts;
    QList<QColor> colours;
    QByteArray body;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        body += "\\pard\\plain ";
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.isValid())
                continue;
            const QTextCharFormat format = fragment.charFormat();
            const int font = indexOrAppend(fonts, familyOf(format, document));
            const int halfPoints = int(pointSizeOf(format, document) * 2 + 0.5);
            QByteArray group = "{\\f" + QByteArray::number(font) + "\\fs" + QByteArray::number(halfPoints);
            if (format.fontWeight() >= QFont::Bold)
                group += "\\b";
            if (format.fontItalic())
                group += "\\i";
            if (format.fontUnderline())
                group += "\\ul";
            if (format.foreground().style() != Qt::NoBrush) {
                // Index 0 of the colour table is "automatic"; ours start at 1.
                group += "\\cf" + QByteArray::number(indexOrAppend(colours, format.foreground().color()) + 1);
            }
            group += ' ' + escapedText(fragment.text()) + '}';
            body += group;
        }
        body += "\\par\n";
    }

    QByteArray rtf = "{\\rtf1\\ansi\\ansicpg1252\\uc1\\deff0\n{\\fonttbl";
    if (fonts.isEmpty())
        fonts.append(document.defaultFont().family());
    for (int i = 0; i < fonts.size(); ++i)
        rtf += "{\\f" + QByteArray::number(i) + "\\fnil " + escapedText(fonts.at(i)) + ";}";
    rtf += "}\n{\\colortbl ;";
    for (const QColor &colour : std::as_const(colours)) {
        rtf += "\\red" + QByteArray::number(colour.red()) + "\\green" + QByteArray::number(colour.green()) +
               "\\blue" + QByteArray::number(colour.blue()) + ';';
    }
    rtf += "}\n" + body + "}\n";
    return rtf;
}
