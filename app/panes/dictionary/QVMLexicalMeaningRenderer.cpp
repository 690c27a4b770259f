#include "panes/dictionary/QVMLexicalMeaningRenderer.h"

#include "core/localization/QVLocalizedString.h"
#include "services/graphics/QVMStyleService.h"
#include "ui/style/QVMColor.h"

#include "platform/Format.h"

#include <QApplication>
#include <QFontDatabase>
#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QSet>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>

namespace {

const QChar kQuote = QLatin1Char('"');

double luminance(const QColor &colour) {
    const auto channel = [](double value) {
        return value <= 0.03928 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(colour.redF()) + 0.7152 * channel(colour.greenF()) +
           0.0722 * channel(colour.blueF());
}

double contrast(const QColor &a, const QColor &b) {
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The palette's hue, made darker on a light page or lighter on a dark one
// until it reads at 4.5:1.
QColor readableOn(QColor colour, const QColor &background) {
    const bool lightPage = luminance(background) > 0.18;
    for (int step = 0; step < 40 && contrast(colour, background) < 4.5; ++step)
        colour = lightPage ? colour.darker(108) : colour.lighter(108);
    if (contrast(colour, background) < 4.5)
        colour = lightPage ? QColor(Qt::black) : QColor(Qt::white);
    return colour;
}

QFont systemFont(double pointSize, QFont::Weight weight = QFont::Normal, bool italic = false) {
    QFont font = QApplication::font();
    font.setPointSizeF(pointSize);
    font.setWeight(weight);
    font.setItalic(italic);
    return font;
}

// The text faces of the synonym and offline blocks, in the system's sans family.
QFont sansFont(QFont::Weight weight, bool italic) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPointSizeF(14);
    font.setWeight(weight);
    font.setItalic(italic);
    return font;
}

double defaultSize() {
    const double size = QApplication::font().pointSizeF();
    return size > 0 ? size : 13.0;
}

QString unquoted(QString text) {
    text = text.trimmed();
    if (text.size() >= 2 && text.startsWith(kQuote) && text.endsWith(kQuote))
        text = text.mid(1, text.size() - 2);
    else
        text.remove(kQuote);
    return text.trimmed();
}

// What one entry shows at most: a reply of any size renders in bounded time.
struct Limits {
    int senses = 0, examples = 0;
    int moreSenses = 0, moreExamples = 0;
    bool sensesLeft() const { return senses < QVMLexicalMeaningRenderer::kMaximumSenses; }
    bool takeSense() {
        if (sensesLeft()) {
            ++senses;
            return true;
        }
        ++moreSenses;
        return false;
    }
    bool takeExample() {
        if (examples < QVMLexicalMeaningRenderer::kMaximumExamples) {
            ++examples;
            return true;
        }
        ++moreExamples;
        return false;
    }
    void skipSenses(int count) { moreSenses += std::max(0, count); }
    void skipExamples(int count) { moreExamples += std::max(0, count); }
};

// A text from outside cut to a length the view lays out quickly.
QString clipped(const QString &text) {
    if (text.size() <= QVMLexicalMeaningRenderer::kMaximumTextLength)
        return text;
    return text.left(QVMLexicalMeaningRenderer::kMaximumTextLength) + QChar(0x2026);
}

QString synonymLabel() {
    QString label =
        QVLocalizedString(QString::fromLatin1(QVMLexicalMeaningRenderer::kSynonymLabelKey)).trimmed();
    while (label.endsWith(QLatin1Char(':')))
        label.chop(1);
    return label.trimmed() + QStringLiteral(": ");
}

} // namespace

// One rendering: styles read from the view's live palette, text written into
// a private document, pictures and speaker links collected on the way.
class QVMLexicalMeaningRenderer::Builder {
public:
    Builder(QVMLexicalMeaningRenderer &owner, const QPalette &palette)
        : m_owner(owner), m_cursor(&m_document), m_background(palette.color(QPalette::Base)),
          m_text(palette.color(QPalette::Text)) {
        m_document.setUndoRedoEnabled(false);
        m_plain = style(systemFont(defaultSize()));
    }

    QTextCharFormat style(const QFont &font, const std::optional<QColor> &colour = std::nullopt) const {
        QTextCharFormat format;
        format.setFont(font);
        format.setForeground(colour ? readableOn(*colour, m_background) : m_text);
        return format;
    }
    QColor textColour() const { return m_text; }

    int position() const { return m_cursor.position(); }
    void text(const QString &text, const QTextCharFormat &format) {
        m_cursor.insertText(text, format);
        m_piece.append(text);
    }
    void plainText(const QString &value) { text(value, m_plain); }
    // Starts the stretch a highlight searches: only what is written from here on.
    void beginPiece() {
        m_piece.clear();
        m_pieceStart = position();
    }
    // Spacing of the paragraph being written, first line not indented.
    void paragraph(qreal before, qreal after) {
        QTextBlockFormat format = m_cursor.blockFormat();
        format.setTextIndent(0);
        format.setTopMargin(before);
        format.setBottomMargin(after);
        m_cursor.setBlockFormat(format);
    }

    // A picture, or an empty attachment when there is none.
    void image(const QImage &image) {
        QTextImageFormat format;
        const QString name = QStringLiteral("qv-image:%1").arg(++m_owner.m_imageSerial);
        format.setName(name);
        if (image.isNull()) {
            format.setWidth(0);
            format.setHeight(0);
            m_images.append({name, QImage(1, 1, QImage::Format_ARGB32_Premultiplied)});
            m_images.last().second.fill(Qt::transparent);
        } else {
            format.setWidth(image.width() / image.devicePixelRatio());
            format.setHeight(image.height() / image.devicePixelRatio());
            m_images.append({name, image});
        }
        m_cursor.insertImage(format);
        m_piece.append(QChar::ObjectReplacementCharacter);
    }
    void speaker(const QString &text, const QString &language, int height) {
        const int number = int(m_owner.m_speeches.size() + m_speeches.size());
        m_speeches.append({text, language});
        // One picture per height for the whole rendering.
        QImage &picture = m_speakerPictures[height];
        if (picture.isNull()) {
            picture = resizeToHeight(speakerImage(m_text), height * 2);
            picture.setDevicePixelRatio(2);
        }
        QTextImageFormat format;
        const QString name = QStringLiteral("qv-image:%1").arg(++m_owner.m_imageSerial);
        format.setName(name);
        format.setWidth(picture.width() / 2.0);
        format.setHeight(height);
        format.setAnchor(true);
        format.setAnchorHref(QStringLiteral("%1:%2").arg(QLatin1String(kSpeakScheme)).arg(number));
        format.setToolTip(QVLocalizedString(QStringLiteral("_loc_main_speak")));
        m_images.append({name, picture});
        m_cursor.insertImage(format);
        m_piece.append(QChar::ObjectReplacementCharacter);
    }
    // Links over the whole items of the text just written from `start`.
    void links(int start, const QString &line, const QStringList &pieces) {
        for (const auto &[offset, length] : linkRanges(line, pieces)) {
            QTextCursor range(&m_document);
            range.setPosition(start + offset);
            range.setPosition(start + offset + length, QTextCursor::KeepAnchor);
            const QString value = line.mid(offset, length);
            QTextCharFormat link;
            link.setAnchor(true);
            link.setAnchorHref(linkForWord(value).toString(QUrl::FullyEncoded));
            link.setFontUnderline(true);
            range.mergeCharFormat(link);
        }
    }
    // One line for each kind of which the entry holds more than it shows.
    void leftOut(const Limits &limits) {
        const QTextCharFormat note = style(systemFont(defaultSize(), QFont::Normal, true));
        const auto line = [&](int count, const char *key) {
            if (count > 0)
                text(QStringLiteral("\n") + platform::format(QVLocalizedString(QString::fromLatin1(key)),
                                                             QString::number(count)),
                     note);
        };
        line(limits.moreSenses, kMoreSensesKey);
        line(limits.moreExamples, kMoreExamplesKey);
    }
    // The first occurrence of the word in the piece begun last.
    void highlight(const QString &word, const QTextCharFormat &format) {
        if (word.isEmpty())
            return;
        const qsizetype found = m_piece.indexOf(word);
        if (found < 0)
            return;
        QTextCursor range(&m_document);
        range.setPosition(m_pieceStart + int(found));
        range.setPosition(m_pieceStart + int(found + word.size()), QTextCursor::KeepAnchor);
        range.mergeCharFormat(format);
    }

    QTextDocument m_document;
    QList<QPair<QString, QImage>> m_images;
    QList<Speech> m_speeches;

private:
    QVMLexicalMeaningRenderer &m_owner;
    QTextCursor m_cursor;
    QTextCharFormat m_plain;
    QString m_piece;
    int m_pieceStart = 0;
    QHash<int, QImage> m_speakerPictures;
    QColor m_background;
    QColor m_text;
};

QVMLexicalMeaningRenderer::QVMLexicalMeaningRenderer(QTextBrowser *view) : m_view(view) {
    if (m_view)
        m_view->setOpenLinks(false);
}

void QVMLexicalMeaningRenderer::setLanguages(const QString &source, const QString &target) {
    m_source = source;
    m_target = target;
}

void QVMLexicalMeaningRenderer::showLexicalMeaning(const QVLexicalMeaning &entry, const QImage &flag) {
    if (!m_view)
        return;
    const bool dark = QVMStyleService::isDarkMode();
    Builder b(*this, m_view->palette());
    const double size = defaultSize();
    const QString headword = clipped(entry.original());
    const QList<QVPartOfSpeech> parts = entry.partsOfSpeech();
    Limits limits;
    b.image(resizeToFitLexicalMeaningImage(flag));
    if (!parts.isEmpty()) {
        b.text(QStringLiteral("\n") + headword,
               b.style(systemFont(23), dark ? QColor(Qt::white) : QColor(Qt::black)));
        // No transcription: the empty pair of slashes would read as one.
        const QString transcription = clipped(entry.transcription().trimmed());
        b.text(transcription.isEmpty() ? QStringLiteral("\n\n\n")
                                       : QStringLiteral("\n/%1/\n\n").arg(transcription),
               b.style(systemFont(18), QVMColor::lexicalMeaningGrayColor()));
    }
    const QTextCharFormat partStyle = b.style(systemFont(15), QVMColor::lexicalMeaningGreenColor());
    const QTextCharFormat senseStyle =
        b.style(systemFont(size), dark ? QVMColor::lexicalMeaningGrayColor() : QColor(Qt::black));
    const QTextCharFormat exampleStyle = b.style(systemFont(size), QVMColor::lexicalMeaningBrownColor());
    const QTextCharFormat labelStyle = b.style(systemFont(size), QVMColor::lexicalMeaningRedColor());
    const QTextCharFormat synonymStyle = b.style(systemFont(size), QVMColor::lexicalMeaningBlueColor());
    for (const QVPartOfSpeech &part : parts) {
        const QList<platform::Object> senses = part.storageLexicalPart().toList();
        if (!limits.sensesLeft()) {
            limits.skipSenses(int(senses.size()));
            continue;
        }
        b.text(clipped(part.name()).toUpper() + QLatin1Char('\n'), partStyle);
        int number = 0;
        for (const platform::Object &object : senses) {
            if (!limits.takeSense())
                continue;
            const QVLexicalPart sense(object);
            b.text(QStringLiteral("%1.%2\n").arg(++number).arg(clipped(sense.definition())), senseStyle);
            if (!sense.exempleOfDefinition().isEmpty()) {
                for (const QString &example : sense.exemplesOfDefinition()) {
                    if (!limits.takeExample())
                        continue;
                    const QString shown = clipped(example);
                    b.text(QStringLiteral("•") + shown, exampleStyle);
                    b.speaker(unquoted(shown), m_source, kImageHeight);
                }
                b.plainText(QStringLiteral("\n"));
            }
            const QString synonyms = clipped(sense.synonymWithOrigin(headword));
            if (synonyms.isEmpty()) {
                b.plainText(QStringLiteral("\n"));
                continue;
            }
            b.text(synonymLabel(), labelStyle);
            const int start = b.position();
            b.text(synonyms + QStringLiteral("\n\n"), synonymStyle);
            b.links(start, synonyms, clipped(sense.syn()).split(QLatin1Char(',')));
        }
    }
    if (parts.isEmpty()) {
        const QList<platform::Object> examples = entry.examples().toList();
        const QTextCharFormat highlight =
            b.style(systemFont(16, QFont::Bold), QVMColor::tatoebaSelectColor());
        const QTextCharFormat source = b.style(systemFont(16), QVMColor::tatoebaMainColor());
        const QTextCharFormat translation = b.style(systemFont(16), QVMColor::tatoebaTranslateColor());
        const int shown = int(std::min<qsizetype>(examples.size(), kMaximumExamples));
        limits.skipExamples(int(examples.size()) - shown);
        for (int i = 0; i < shown; ++i) {
            const QVExample example(examples.at(i));
            const QString from = clipped(example.fromText());
            const QString to = clipped(example.toText());
            b.beginPiece();
            b.paragraph(0, 0);
            b.text(kQuote + from + kQuote, source);
            b.plainText(QStringLiteral(" "));
            b.speaker(from, m_source, kEntryImageHeight);
            b.plainText(QStringLiteral("\n"));
            b.paragraph(6, 16);
            b.text(kQuote + to + kQuote, translation);
            b.plainText(QStringLiteral(" "));
            b.speaker(to, m_target, kEntryImageHeight);
            if (i + 1 < shown)
                b.plainText(QStringLiteral("\n"));
            b.highlight(headword, highlight);
        }
    }
    b.leftOut(limits);
    replaceWith(b);
}

void QVMLexicalMeaningRenderer::showSynonyms(const QVSynonyms &synonyms, const QImage &flag) {
    if (!m_view)
        return;
    Builder b(*this, m_view->palette());
    Limits limits;
    b.image(resizeToFitImage(flag));
    const QTextCharFormat title = b.style(sansFont(QFont::Light, false), QVMColor::lexicalMeaningRedColor());
    const QTextCharFormat numbered = b.style(sansFont(QFont::Bold, true));
    const QTextCharFormat secondary = b.style(sansFont(QFont::Normal, true));
    for (const QVPartOfSpeechObject &group : synonyms.storagePartOfSpeech()) {
        const QList<QVSynonymOne> pairs = group.storageSynonyms();
        if (!limits.sensesLeft()) {
            limits.skipSenses(int(pairs.size()));
            continue;
        }
        b.text(QStringLiteral(" %1\n").arg(clipped(group.name())), title);
        int number = 0;
        for (const QVSynonymOne &pair : pairs) {
            if (!limits.takeSense())
                continue;
            const QString translated = clipped(pair.translatedSyns());
            const QString prefix = QStringLiteral("%1.  ").arg(++number);
            const int start = b.position() + int(prefix.size());
            b.text(prefix + translated + QLatin1Char('\n'), numbered);
            b.links(start, translated, translated.split(QLatin1Char(',')));
            if (!pair.syns().isEmpty())
                b.text(clipped(pair.syns()) + QStringLiteral("\n\n"), secondary);
            else
                b.plainText(QStringLiteral("\n"));
        }
    }
    b.leftOut(limits);
    replaceWith(b);
}

void QVMLexicalMeaningRenderer::showLexicalMeaningOffline(const QVariantMap &offlineEntry,
                                                          const QImage &flag) {
    if (!m_view)
        return;
    Builder b(*this, m_view->palette());
    Limits limits;
    b.image(resizeToFitImage(flag));
    b.text(QStringLiteral(" %1\n").arg(QLatin1String(kOfflineTitle)),
           b.style(sansFont(QFont::Light, false), QVMColor::lexicalMeaningRedColor()));
    const QTextCharFormat numbered = b.style(sansFont(QFont::Bold, true));
    const QTextCharFormat description = b.style(sansFont(QFont::Bold, false));
    const QTextCharFormat secondary = b.style(sansFont(QFont::Normal, true));
    int number = 0;
    for (const QVariant &item : offlineEntry.value(QStringLiteral("nounObjects")).toList()) {
        if (!limits.takeSense())
            continue;
        const QVariantMap sense = item.toMap();
        const QString meaning = clipped(sense.value(QStringLiteral("meaning")).toString());
        const QString prefix = QStringLiteral("%1.  ").arg(++number);
        const int start = b.position() + int(prefix.size());
        b.text(prefix + meaning + QLatin1Char('\n'), numbered);
        b.links(start, meaning, meaning.split(QLatin1Char(',')));
        b.text(QStringLiteral("(%1)\n").arg(
                   clipped(sense.value(QStringLiteral("meaningDescription")).toString())),
               description);
        for (const QVariant &synonym : sense.value(QStringLiteral("synonyms")).toList()) {
            if (!limits.takeExample())
                continue;
            const QVariantMap values = synonym.toMap();
            b.text(QStringLiteral("%1 %2 \n\n")
                       .arg(clipped(values.value(QStringLiteral("value")).toString()),
                            clipped(values.value(QStringLiteral("synonymDescription")).toString())),
                   secondary);
        }
        b.plainText(QStringLiteral("\n"));
    }
    b.leftOut(limits);
    appendWith(b);
}

void QVMLexicalMeaningRenderer::showTranslations(const QStringList &translations) {
    if (!m_view)
        return;
    Builder b(*this, m_view->palette());
    b.plainText(translations.join(QLatin1Char('\n')));
    replaceWith(b);
}

void QVMLexicalMeaningRenderer::clear() {
    m_speeches.clear();
    if (m_view)
        m_view->clear();
}

void QVMLexicalMeaningRenderer::replaceWith(const Builder &builder) {
    m_speeches.clear();
    m_view->clear();
    appendWith(builder);
}

void QVMLexicalMeaningRenderer::appendWith(const Builder &builder) {
    QTextDocument *document = m_view->document();
    for (const auto &[name, image] : builder.m_images)
        document->addResource(QTextDocument::ImageResource, QUrl(name), image);
    m_speeches.append(builder.m_speeches);
    QTextCursor cursor(document);
    cursor.movePosition(QTextCursor::End);
    cursor.insertFragment(QTextDocumentFragment(&builder.m_document));
    m_view->moveCursor(QTextCursor::Start);
}

QImage QVMLexicalMeaningRenderer::resizeToHeight(const QImage &image, int height) {
    // A picture without height has no aspect ratio to keep.
    if (image.isNull() || image.height() <= 0 || height <= 0)
        return {};
    const int width = std::max(1, int(qint64(image.width()) * height / image.height()));
    return image.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

QImage QVMLexicalMeaningRenderer::resizeToFitLexicalMeaningImage(const QImage &image) {
    return resizeToHeight(image, kEntryImageHeight);
}

QImage QVMLexicalMeaningRenderer::resizeToFitImage(const QImage &image) {
    return resizeToHeight(image, kImageHeight);
}

QImage QVMLexicalMeaningRenderer::speakerImage(const QColor &colour) {
    QImage image(48, 48, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    QPainterPath body;
    body.moveTo(6, 18);
    body.lineTo(14, 18);
    body.lineTo(24, 8);
    body.lineTo(24, 40);
    body.lineTo(14, 30);
    body.lineTo(6, 30);
    body.closeSubpath();
    painter.drawPath(body);
    QPen wave(colour, 3.5, Qt::SolidLine, Qt::RoundCap);
    painter.setPen(wave);
    painter.setBrush(Qt::NoBrush);
    painter.drawArc(QRectF(18, 14, 14, 20), -55 * 16, 110 * 16);
    return image;
}

QUrl QVMLexicalMeaningRenderer::linkForWord(const QString &word) {
    return QUrl(QString::fromLatin1(kWordScheme) + QLatin1Char(':') +
                QString::fromLatin1(QUrl::toPercentEncoding(word.trimmed())));
}

QString QVMLexicalMeaningRenderer::wordForLink(const QUrl &link) {
    if (link.scheme() != QLatin1String(kWordScheme))
        return {};
    return link.path(QUrl::FullyDecoded).trimmed();
}

std::optional<QVMLexicalMeaningRenderer::Speech>
QVMLexicalMeaningRenderer::speechForLink(const QUrl &link) const {
    if (link.scheme() != QLatin1String(kSpeakScheme))
        return std::nullopt;
    bool ok = false;
    const int number = link.path().toInt(&ok);
    if (!ok || number < 0 || number >= m_speeches.size())
        return std::nullopt;
    return m_speeches.at(number);
}

QList<QPair<int, int>> QVMLexicalMeaningRenderer::linkRanges(const QString &line, const QStringList &pieces) {
    QSet<QString> wanted;
    for (const QString &piece : pieces) {
        const QString trimmed = piece.trimmed();
        if (!trimmed.isEmpty())
            wanted.insert(trimmed);
    }
    QList<QPair<int, int>> ranges;
    int start = 0;
    while (start <= line.size()) {
        qsizetype end = line.indexOf(QLatin1Char(','), start);
        if (end < 0)
            end = line.size();
        int first = start;
        int last = int(end);
        while (first < last && line.at(first).isSpace())
            ++first;
        while (last > first && line.at(last - 1).isSpace())
            --last;
        if (last > first && wanted.contains(line.mid(first, last - first)))
            ranges.append({first, last - first});
        start = int(end) + 1;
    }
    return ranges;
}
