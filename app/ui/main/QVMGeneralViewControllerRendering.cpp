// How the main view shows texts: parts of speech coloured off the interface
// thread, the transliteration under the result, sentence pairs, the panels'
// buttons, clearing, copy and paste, dictation and speech.
#include "ui/main/QVMGeneralViewController.h"

#include "services/graphics/QVMImage.h"
#include "ui/controls/PaddingTextView.h"
#include "ui/controls/QVMControls.h"
#include "ui/foundation/QVMControlAvailability.h"
#include "ui/foundation/QVMInterfaceHooks.h"
#include "ui/foundation/QVMLinkOpener.h"
#include "ui/foundation/QVMUtils.h"
#include "ui/main/QVMDictationProvider.h"
#include "ui/main/QVMPartOfSpeechHighlighter.h"

#include "core/DevLog.h"
#include "core/localization/QVLocalizedString.h"
#include "platform/MainQueue.h"
#include "platform/UserDefaults.h"

#include <QComboBox>
#include <QLabel>
#include <QPainter>
#include <QTextCursor>
#include <QThreadPool>
#include <QToolButton>

#include <utility>

namespace {

platform::UserDefaults &defaults() {
    return QVMUtils::sharedDefaults();
}

// The transliteration stands on its own line under the translation, in grey.
constexpr QChar kTransliterationSeparator = QLatin1Char('\n');

QColor transliterationColor() {
    return QColor(Qt::gray);
}

} // namespace

void QVMGeneralViewController::lazyPartOfSpeech() {
    const QStringList titles = QVMGeneralServices::shared().analysis().partsOfSpeechTitlesArray();
    for (QComboBox *popUp : {m_partOfSpeechFrom, m_partOfSpeechTo}) {
        popUp->clear();
        popUp->addItems(titles);
        tintPartOfSpeechImage(popUp);
    }
    m_partOfSpeechFrom->setCurrentIndex(
        int(defaults().integerForKey(QString::fromLatin1(kUserDefaultPartOfSpeechTypeFrom))));
    m_partOfSpeechTo->setCurrentIndex(
        int(defaults().integerForKey(QString::fromLatin1(kUserDefaultPartOfSpeechTypeTo))));
    updatePartsOfSpeechButtons();
    updatePartsOfSpeechButtonsState();
}

// The picture is drawn white and takes the pop-up's text colour, light or dark.
void QVMGeneralViewController::tintPartOfSpeechImage(QComboBox *popUp) {
    QImage image = QVMImage::imageNamed(QString::fromLatin1(kPartOfSpeechImage));
    if (image.isNull())
        return;
    image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(image.rect(), popUp->palette().color(QPalette::ButtonText));
    painter.end();
    QVMControls::addImageItemWithImage(popUp, image);
}

void QVMGeneralViewController::onPartOfSpeechFrom() {
    const int index = m_partOfSpeechFrom->currentIndex();
    defaults().setInteger(index, QString::fromLatin1(kUserDefaultPartOfSpeechTypeFrom));
    updatePartsOfSpeechButtons();
    updateTranslateViewFrom();
    QVariantMap params = parameters();
    params.insert(QStringLiteral("type"), index);
    trackEvent(QStringLiteral("Click Morphology From"), params);
}

void QVMGeneralViewController::onPartOfSpeechTo() {
    const int index = m_partOfSpeechTo->currentIndex();
    defaults().setInteger(index, QString::fromLatin1(kUserDefaultPartOfSpeechTypeTo));
    DevLog(QStringLiteral("%ld"), long(index));
    updatePartsOfSpeechButtons();
    updateTranslateViewTo();
    QVariantMap params = parameters();
    params.insert(QStringLiteral("type"), index);
    trackEvent(QStringLiteral("Click Morphology To"), params);
}

void QVMGeneralViewController::updateTranslateViewFrom() {
    setPanelTextColor(m_fromText);
    const qint64 type = defaults().integerForKey(QString::fromLatin1(kUserDefaultPartOfSpeechTypeFrom));
    const QString text = m_fromText->toPlainText();
    const QVTranslateSettings record = settings();
    if (!record.isValid() || !record.languageFrom().isValid())
        return;
    renderPanel(true, text, record.languageFrom().languageString(), type, QString());
}

void QVMGeneralViewController::updateTranslateViewToWithUseTrans(bool useTransliteration) {
    renderResult(useTransliteration, false);
}

void QVMGeneralViewController::renderResult(bool useTransliteration, bool newTranslation) {
    m_isToTextViewWithTrans =
        useTransliteration && defaults().boolForKey(QString::fromLatin1(kTransliterationSetting));
    setPanelTextColor(m_toText);
    const qint64 type = defaults().integerForKey(QString::fromLatin1(kUserDefaultPartOfSpeechTypeTo));
    const QVTranslateSettings record = settings();
    // The result panel shows the stored record, not whatever the panel holds.
    if (m_translateObject.isNull() || !m_translateObject.isValid() || !record.isValid() ||
        !record.languageTo().isValid())
        return;
    renderPanel(false, m_translateObject.translatedText(), record.languageTo().languageString(), type,
                m_isToTextViewWithTrans ? m_translateObject.transliterationTranslatedText() : QString(),
                newTranslation);
}

// The panel holds the record on screen, with or without its transliteration line.
bool QVMGeneralViewController::resultShowsRecord(const QString &shown) const {
    const QString translated = m_translateObject.translatedText();
    const QString transliteration = m_translateObject.transliterationTranslatedText();
    return shown == translated ||
           (!transliteration.isEmpty() && shown == translated + kTransliterationSeparator + transliteration);
}

void QVMGeneralViewController::renderPanel(bool source, const QString &text, const QString &language,
                                           qint64 type, const QString &transliteration, bool newTranslation) {
    const int side = source ? 0 : 1;
    if (!source) {
        // The words show at once; their colours follow when the analysis is done.
        const QString shown =
            transliteration.isEmpty() ? text : text + kTransliterationSeparator + transliteration;
        const QString current = m_toText->toPlainText();
        // What the user made of the translation is theirs: only a new translation replaces it.
        if (!newTranslation && current != shown && !resultShowsRecord(current))
            return;
        if (current != shown)
            m_toText->setPlainText(shown);
        // Undo in the result panel never brings back another text's translation.
        if (newTranslation)
            m_toText->document()->clearUndoRedoStacks();
        QList<QVMColorSpan> grey;
        if (!transliteration.isEmpty())
            grey.append({int(text.size()) + 1, int(transliteration.size()), transliterationColor()});
        m_toHighlighter->setColors(shown, grey);
        m_toText->setFont(m_fromText->font());
    }
    const quint64 generation = ++m_renderGeneration[side];
    ++m_pendingRenders;
    const std::shared_ptr<QVMTextAnalysis> analysis = QVMGeneralServices::shared().analysisService();
    const QColor base = themeTextColor();
    QPointer<QVMGeneralViewController> self(this);
    QThreadPool::globalInstance()->start([=] {
        const QList<QVMColorSpan> spans = analysis->partsOfSpeechColors(text, language, type, base);
        platform::dispatchAsyncMain([=] {
            if (self)
                self->applyRender(source, generation, text, spans, transliteration);
        });
    });
}

void QVMGeneralViewController::applyRender(bool source, quint64 generation, const QString &text,
                                           const QList<QVMColorSpan> &spans, const QString &transliteration) {
    --m_pendingRenders;
    const int side = source ? 0 : 1;
    // Only the newest render of a panel, and only onto the text it was made from.
    if (generation != m_renderGeneration[side])
        return;
    if (source) {
        if (m_fromText->toPlainText() != text)
            return;
        m_fromHighlighter->setColors(text, spans);
        textDidChange(m_fromText);
        return;
    }
    const QString shown =
        transliteration.isEmpty() ? text : text + kTransliterationSeparator + transliteration;
    if (m_toText->toPlainText() != shown || m_translateObject.isNull() || !m_translateObject.isValid() ||
        m_translateObject.translatedText() != text)
        return;
    QList<QVMColorSpan> all = spans;
    if (!transliteration.isEmpty())
        all.append({int(text.size()) + 1, int(transliteration.size()), transliterationColor()});
    m_toHighlighter->setColors(shown, all);
    textDidChange(m_toText);
}

void QVMGeneralViewController::updateSentencesWithCompletion(std::function<void()> completion) {
    const QString from = m_fromText->toPlainText();
    const QString to = shownTranslation();
    const quint64 generation = ++m_sentenceGeneration;
    const std::shared_ptr<QVMTextAnalysis> analysis = QVMGeneralServices::shared().analysisService();
    QPointer<QVMGeneralViewController> self(this);
    ++m_pendingRenders;
    QThreadPool::globalInstance()->start([=] {
        const QList<QVSentenceDTO> original = analysis->sentences(from);
        const QList<QVSentenceDTO> translated = analysis->sentences(to);
        platform::dispatchAsyncMain([=] {
            if (!self)
                return;
            --self->m_pendingRenders;
            if (generation != self->m_sentenceGeneration)
                return;
            self->m_originalSentences = original;
            self->m_translatedSentences = translated;
            if (completion)
                completion();
        });
    });
}

void QVMGeneralViewController::updatePartsOfSpeechButtons() {
    QVMControls::highlightSelectedItem(m_partOfSpeechFrom);
    QVMControls::highlightSelectedItem(m_partOfSpeechTo);
}

void QVMGeneralViewController::updatePartsOfSpeechButtonsState() {
    const QVTranslateSettings record = settings();
    if (!record.isValid() || !record.languageFrom().isValid() || !record.languageTo().isValid())
        return;
    QVMTextAnalysis &analysis = QVMGeneralServices::shared().analysis();
    const auto apply = [&analysis](QComboBox *popUp, PaddingTextView *text, const QVLanguageRealm &language) {
        QString reason;
        if (popUp->count() == 0 ||
            !analysis.isPartOfSpeechDetectionAvailableForLanguage(language.languageString()))
            reason = QVLocalizedString(QStringLiteral("_loc_reason_no_parts_of_speech"));
        else if (text->document()->isEmpty())
            reason = QVLocalizedString(QStringLiteral("_loc_reason_no_text"));
        QVMControlAvailability::setEnabled(popUp, reason.isEmpty(), reason);
    };
    apply(m_partOfSpeechFrom, m_fromText, record.languageFrom());
    apply(m_partOfSpeechTo, m_toText, record.languageTo());
}

// Off without the connection the backend's translation needs, or between languages it does not take.
void QVMGeneralViewController::updateOnlineButton(QToolButton *button,
                                                  bool (QVLanguageMode::*capable)() const,
                                                  const char *languagesReason, const char *offlineReason) {
    const QVTranslateSettings record = settings();
    const bool languages = record.isValid() && (record.languageFrom().languageModes().*capable)() &&
                           (record.languageTo().languageModes().*capable)();
    const bool online = isNetworkAvailableNoMessage();
    m_availability->setWanted(
        button, languages && online,
        QVLocalizedString(QString::fromLatin1(online ? languagesReason : offlineReason)));
}

void QVMGeneralViewController::updateFileButton() {
    updateOnlineButton(m_fileButton, &QVLanguageMode::translateDocument, "_loc_reason_no_documents",
                       "_loc_reason_offline_documents");
}

void QVMGeneralViewController::updateWebPageButton() {
    updateOnlineButton(m_webPageButton, &QVLanguageMode::translateWebSite, "_loc_reason_no_web_pages",
                       "_loc_reason_offline_web_pages");
}

void QVMGeneralViewController::updateTranslationCompany() {
    m_translatedViaField->setHidden(true);
    m_translatedViaImage->setHidden(true);
}

void QVMGeneralViewController::clear() {
    // Whatever is still on its way belongs to the cleared text, and so does the record shown.
    ++m_generation;
    m_deferredTimer.stop();
    showSpinner(false);
    setTranslateObject({});
    m_originalText.clear();
    m_translatedText.clear();
    m_translationCompany.clear();
    m_fromHighlighter->clearColors();
    m_toHighlighter->clearColors();
    m_fromText->setPlainText(QString());
    m_toText->setPlainText(QString());
    textDidChange(m_toText);
    setPanelTextColor(m_fromText);
    setPanelTextColor(m_toText);
    QVMGeneralServices::shared().speech().stopSpeaking();
}

void QVMGeneralViewController::onCopyFromTranslated() {
    trackEvent(QStringLiteral("Click Copy"));
    highlightTextInTextView(m_toText);
    writeToPasteBoard(shownTranslation());
}

void QVMGeneralViewController::opPasteToOriginal() {
    trackEvent(QStringLiteral("Click Paste"));
    const QString text = readFromPasteBoard();
    if (text.isEmpty())
        return;
    statusItemViewDidChangeText(0, text);
    translateOperation();
}

void QVMGeneralViewController::onMicrophone() {
    const std::shared_ptr<QVMDictationProvider> provider = QVMInterfaceHooks::shared().dictationProvider;
    if (!provider)
        return; // the button is hidden then; a shortcut may still land here
    const QString key = QString::fromLatin1(kIsNotNeedAlert);
    if (defaults().boolForKey(key)) {
        onMicrophoneAction();
        return;
    }
    defaults().setBool(true, key);
    QPointer<QVMGeneralViewController> self(this);
    QVMUtils::showAlertWithTitle(
        QVLocalizedString(QStringLiteral("_loc_microphone_settings_title")),
        QVLocalizedString(QStringLiteral("_loc_microphone_settings_message")),
        QVLocalizedString(QStringLiteral("_loc_settings_title")),
        [provider] {
            // Linux has no system dictation settings: only a provider's own page opens.
            const QUrl page = provider->settingsUrl();
            if (page.isValid() && !page.isEmpty())
                QVMLinkOpener::open(page);
        },
        QVLocalizedString(QStringLiteral("_loc_close")),
        [self] {
            if (self)
                self->onMicrophoneAction();
        });
}

void QVMGeneralViewController::onMicrophoneAction() {
    const std::shared_ptr<QVMDictationProvider> provider = QVMInterfaceHooks::shared().dictationProvider;
    if (!provider) {
        QVMInterfaceHooks::notAvailable("dictationProvider");
        return;
    }
    trackEvent(QStringLiteral("Click Dictation button"),
               {{QStringLiteral("panel_language_from"), settings().languageFrom().localeIdentifier()}});
    provider->startDictation(m_fromText);
}

void QVMGeneralViewController::onSpeechSynthesisFrom() {
    speak(true);
}

void QVMGeneralViewController::onSpeechSynthesisTo() {
    speak(false);
}

// One speech service serves both panels: either speaker stops whatever speaks.
void QVMGeneralViewController::speak(bool source) {
    QVMSpeech &speech = QVMGeneralServices::shared().speech();
    const QVLanguageRealm language = source ? settings().languageFrom() : settings().languageTo();
    const QVariantMap params{{QString::fromLatin1(source ? "panel_language_from" : "panel_language_to"),
                              language.localeIdentifier()}};
    QToolButton *button = source ? m_fromSpeakerButton : m_toSpeakerButton;
    // The button shows what speaks, not what its click toggled.
    button->setChecked(false);
    if (speech.speaking()) {
        trackEvent(QStringLiteral("Click Stop Pronunciation"), params);
        m_speechStopped = true;
        speech.stopSpeaking();
        return;
    }
    trackEvent(QStringLiteral("Click Pronunciation"), params);
    if (!speech.hasVoiceOutput()) {
        showDocumentNote(QVLocalizedString(QStringLiteral("_loc_speech_no_output")));
        return;
    }
    const QString text = source ? m_fromText->toPlainText() : shownTranslation();
    button->setChecked(true);
    m_speechStopped = false;
    QPointer<QVMGeneralViewController> self(this);
    QPointer<QToolButton> held(button);
    speech.speakText(text, language, [self, held, params](bool spokenToEnd) {
        if (held)
            held->setChecked(false);
        if (!self)
            return;
        // A stop the user asked for is no failure; anything else ending early is said.
        if (!spokenToEnd && !std::exchange(self->m_speechStopped, false))
            self->showDocumentNote(QVLocalizedString(QStringLiteral("_loc_speech_no_output")));
        self->trackEvent(QStringLiteral("Completed Pronunciation"), params);
    });
}

void QVMGeneralViewController::textDidChange(PaddingTextView *view) {
    checkSpeakerButtonsState();
    // Colours made for another text go as soon as the text changes.
    QVMPartOfSpeechHighlighter *highlighter = view == m_fromText ? m_fromHighlighter : m_toHighlighter;
    if (highlighter && !highlighter->coloredText().isEmpty() &&
        highlighter->coloredText() != view->toPlainText())
        highlighter->clearColors();
    // A key in a long text costs no copy of it: emptiness is the document's to say.
    if (view == m_toText) {
        const bool hasText = !m_toText->document()->isEmpty();
        const QString reason = QVLocalizedString(QStringLiteral("_loc_reason_no_translation"));
        m_availability->setWanted(m_shareButton, hasText, reason);
        QVMControlAvailability::setEnabled(m_toPasteboardButton, hasText, reason);
        m_availability->setWanted(m_favoriteButton, hasText, reason);
        if (!hasText)
            m_favoriteButton->setChecked(false);
    }
    QVMControlAvailability::setEnabled(m_clearButton,
                                       !m_fromText->document()->isEmpty() || !m_toText->document()->isEmpty(),
                                       QVLocalizedString(QStringLiteral("_loc_reason_panels_empty")));
    updatePartsOfSpeechButtonsState();
}

void QVMGeneralViewController::selectionDidChange(PaddingTextView *view) {
    const QTextCursor cursor = view->textCursor();
    const QString selected = cursor.selectedText();
    const QVTranslateSettings record = settings();
    const bool oneWord = !selected.isEmpty() && !selected.contains(QLatin1Char(' ')) &&
                         !selected.contains(QChar::ParagraphSeparator);
    if (oneWord) {
        const QString locale =
            (view == m_fromText ? record.languageFrom() : record.languageTo()).localeIdentifier();
        // The dictionary pane looks up English words only.
        const QString word = locale.startsWith(QLatin1String("en")) ? selected : QString();
        QVMGeneralServices::shared().lexicalMeaning().showLexicalMeaningAndWordEntriesForText(word, locale);
    }
}

// The sentence under the cursor and its pair in the other panel.
void QVMGeneralViewController::cursorDidMove(PaddingTextView *view) {
    const QTextCursor cursor = view->textCursor();
    const QList<QVSentenceDTO> &sentences = view == m_fromText ? m_originalSentences : m_translatedSentences;
    const quint64 position = quint64(cursor.selectionStart());
    for (const QVSentenceDTO &sentence : sentences) {
        if (position >= sentence.range().location &&
            position < sentence.range().location + sentence.range().length) {
            highlightTextViewsWithTag(sentence.tag());
            return;
        }
    }
}
