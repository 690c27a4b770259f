#pragma once

#include <QByteArray>
#include <QColor>
#include <QList>
#include <QString>

namespace uitest {

// A small RTF reader for checking what the writer wrote: the text of the body
// and, per character run, bold, italic, underline, colour and font size.
struct RtfRun {
    QString text;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    QColor colour;
    int halfPoints = 0;
};

struct RtfDocument {
    bool valid = false;
    QList<RtfRun> runs;
    QString text() const {
        QString all;
        for (const RtfRun &run : runs)
            all += run.text;
        return all;
    }
    // The first run holding the text.
    const RtfRun *runWith(const QString &needle) const {
        for (const RtfRun &run : runs)
            if (run.text.contains(needle))
                return &run;
        return nullptr;
    }
};

inline RtfDocument readRtf(const QByteArray &rtf) {
    struct State {
        bool bold = false, italic = false, underline = false;
        int colour = 0, halfPoints = 0, skip = 0;
        bool destination = false;
    };
    RtfDocument doc;
    doc.valid = rtf.startsWith("{\\rtf1");
    QList<QColor> colours{QColor()};
    QList<State> stack{State()};
    QList<int> component;
    bool inColourTable = false;
    const auto append = [&](QChar c) {
        State &s = stack.last();
        if (s.destination)
            return;
        const QColor colour = colours.value(s.colour);
        if (doc.runs.isEmpty() || doc.runs.last().bold != s.bold || doc.runs.last().italic != s.italic ||
            doc.runs.last().underline != s.underline || doc.runs.last().colour != colour ||
            doc.runs.last().halfPoints != s.halfPoints)
            doc.runs.append({QString(), s.bold, s.italic, s.underline, colour, s.halfPoints});
        doc.runs.last().text += c;
    };
    for (int i = 0; i < rtf.size(); ++i) {
        const char c = rtf.at(i);
        if (c == '{') {
            stack.append(stack.last());
        } else if (c == '}') {
            if (stack.last().destination && inColourTable)
                inColourTable = false;
            if (stack.size() > 1)
                stack.removeLast();
        } else if (c == '\\') {
            const char next = i + 1 < rtf.size() ? rtf.at(i + 1) : '\0';
            if (next == '\\' || next == '{' || next == '}') {
                append(QLatin1Char(next));
                ++i;
                continue;
            }
            int j = i + 1;
            while (j < rtf.size() && std::isalpha(static_cast<unsigned char>(rtf.at(j))))
                ++j;
            const QByteArray word = rtf.mid(i + 1, j - i - 1);
            int k = j;
            if (k < rtf.size() && (rtf.at(k) == '-' || std::isdigit(static_cast<unsigned char>(rtf.at(k)))))
                ++k;
            while (k < rtf.size() && std::isdigit(static_cast<unsigned char>(rtf.at(k))))
                ++k;
            const bool hasNumber = k > j;
            const int number = hasNumber ? rtf.mid(j, k - j).toInt() : 1;
            if (k < rtf.size() && rtf.at(k) == ' ')
                ++k;
            i = k - 1;
            State &s = stack.last();
            if (word == "fonttbl" || word == "colortbl") {
                s.destination = true;
                inColourTable = word == "colortbl";
            } else if (inColourTable && (word == "red" || word == "green" || word == "blue")) {
                component.append(number);
            } else if (word == "b") {
                s.bold = number != 0;
            } else if (word == "i") {
                s.italic = number != 0;
            } else if (word == "ul") {
                s.underline = true;
            } else if (word == "ulnone") {
                s.underline = false;
            } else if (word == "cf") {
                s.colour = number;
            } else if (word == "fs") {
                s.halfPoints = number;
            } else if (word == "plain") {
                s.bold = s.italic = s.underline = false;
                s.colour = 0;
            } else if (word == "par" || word == "line") {
                append(QLatin1Char('\n'));
            } else if (word == "tab") {
                append(QLatin1Char('\t'));
            } else if (word == "u") {
                append(QChar(ushort(qint16(number))));
                ++i; // the fallback character
            }
        } else if (c == ';' && inColourTable) {
            if (component.size() == 3)
                colours.append(QColor(component.at(0), component.at(1), component.at(2)));
            component.clear();
        } else if (c != '\n' && c != '\r') {
            append(QLatin1Char(c));
        }
    }
    return doc;
}

} // namespace uitest
