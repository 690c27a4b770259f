#pragma once

#include "core/models/QVLexicalMeaning.h"
#include "services/analysis/QVSynonyms.h"

#include <QImage>
#include <QList>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <QVariantMap>

#include <optional>

class QTextBrowser;
class QTextCursor;

// Writes dictionary entries into a read-only text browser as styled plain
// text: an online entry, a word's synonyms by part of speech, and an offline
// (WordNet) entry. Each call builds its text apart and puts it into the view
// in one edit. Words become "word:<value>" links, and a speaker picture is a
// "speak:<n>" link whose text and language the renderer keeps; the owner
// handles both (the view opens no link itself).
//
//   QVMLexicalMeaningRenderer renderer(browser);
//   renderer.setLanguages("en_GB", "de_DE");
//   renderer.showLexicalMeaning(entry, flag);
//   connect(browser, &QTextBrowser::anchorClicked, [&](const QUrl &link) {
//       if (auto speech = renderer.speechForLink(link)) speak(speech->text, speech->language);
//       else search(QVMLexicalMeaningRenderer::wordForLink(link));
//   });
//
// Backend texts are never read as markup. An entry shows at most
// kMaximumSenses senses and kMaximumExamples examples, each text at most
// kMaximumTextLength characters, so any reply renders in bounded time; the
// work grows linearly with what is shown. Main thread only.
class QVMLexicalMeaningRenderer {
public:
    struct Speech {
        QString text;
        QString language;
    };

    static constexpr const char *kWordScheme = "word";
    static constexpr const char *kSpeakScheme = "speak";
    static constexpr const char *kSynonymLabelKey = "_loc_dictionary_syn";
    static constexpr const char *kOfflineTitle = "LexicalMeaning";
    static constexpr const char *kMoreSensesKey = "_loc_dictionary_more_senses";
    static constexpr const char *kMoreExamplesKey = "_loc_dictionary_more_examples";
    // What one entry shows at most; a line says how many more it holds.
    static constexpr int kMaximumSenses = 300;
    static constexpr int kMaximumExamples = 300;
    static constexpr int kMaximumTextLength = 1000; // characters of one text, then "…"
    static constexpr int kEntryImageHeight = 20;
    static constexpr int kImageHeight = 14;

    explicit QVMLexicalMeaningRenderer(QTextBrowser *view);

    // The languages the speaker links speak in: examples of the entry are in
    // the source language, their translations in the target language.
    void setLanguages(const QString &source, const QString &target);

    // Replace the view's text.
    void showLexicalMeaning(const QVLexicalMeaning &entry, const QImage &flag = {});
    void showSynonyms(const QVSynonyms &synonyms, const QImage &flag = {});
    // Appends below whatever the view shows ("nounObjects": senses of
    // "meaning", "meaningDescription" and "synonyms" of "value" and "synonymDescription").
    void showLexicalMeaningOffline(const QVariantMap &offlineEntry, const QImage &flag = {});
    // Replaces the view's text with one plain line per translation.
    void showTranslations(const QStringList &translations);
    // An empty view; the speaker links are forgotten.
    void clear();

    // The image scaled to height 20 (or 14) keeping its aspect ratio; a null
    // image, or one without height, gives a null image.
    static QImage resizeToFitLexicalMeaningImage(const QImage &image);
    static QImage resizeToFitImage(const QImage &image);
    static QImage resizeToHeight(const QImage &image, int height);
    // The speaker picture ("volume-medium") in the colour, drawn at 2x.
    static QImage speakerImage(const QColor &colour);

    // The trimmed value of a "word:" link; empty for any other link.
    static QString wordForLink(const QUrl &link);
    static QUrl linkForWord(const QString &word);
    // What a "speak:" link reads aloud; nothing for any other link or an unknown number.
    std::optional<Speech> speechForLink(const QUrl &link) const;
    int speechCount() const { return int(m_speeches.size()); }

    // The ranges [start, length) of `line` that are whole comma-separated items
    // equal to one of the trimmed pieces; the headword and pieces absent from
    // the line get none.
    static QList<QPair<int, int>> linkRanges(const QString &line, const QStringList &pieces);

private:
    class Builder;
    void replaceWith(const Builder &builder);
    void appendWith(const Builder &builder);

    QPointer<QTextBrowser> m_view;
    QString m_source;
    QString m_target;
    QList<Speech> m_speeches;
    int m_imageSerial = 0;
};
