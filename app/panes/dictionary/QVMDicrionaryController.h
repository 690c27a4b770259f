#pragma once

#include "panes/dictionary/QVMDictionaryDataSource.h"
#include "panes/dictionary/QVMLexicalMeaningRenderer.h"

#include "core/models/QVLanguageRealm.h"
#include "ui/foundation/QVMBaseVC.h"

#include "platform/store/Store.h"

#include <QStringList>

#include <functional>

#include <memory>

class QLabel;
class QLineEdit;
class QListWidget;
class QTextBrowser;
class QVMInterfaceFactory;

// Registers the pane in the interface factory as "Main" / "QVMDicrionaryController".
void installDictionaryPane(QVMInterfaceFactory &factory);

// The dictionary tab of the side panel: a search field, up to 30 related
// words, the entry of the word and the flag of its language. A word comes
// from the field (Return), a link in the entry, a row of the list, or a single
// word selected in the main view (through QVMLexicalMeaningService, whose
// block the pane registers each time it is shown).
//
//   auto *pane = new QVMDicrionaryController(parent);      // or by name: "Main" / "QVMDicrionaryController"
//   tabs->addWidget(pane->view());
//   pane->showLexicalMeaningAndWordEntriesForText("dog");
//
// Every search has a generation: replies of an older search are dropped.
// With the network the entry and the list are asked for at once; without it
// the entry (from WordNet) follows the list. Typing starts nothing.
class QVMDicrionaryController : public QVMBaseVC {
    Q_OBJECT
public:
    explicit QVMDicrionaryController(QObject *parent = nullptr);
    ~QVMDicrionaryController() override;

    // The source of entries and lists (tests); the application's by default.
    void setDataSource(std::shared_ptr<QVMDictionaryDataSource> source);

    // The search field's action: the analytics event, then the search.
    void onSearch();
    // Puts the text into the field and searches it.
    void showLexicalMeaningAndWordEntriesForText(const QString &text);
    // What the main view hands over: the word's language, then the word.
    void showWordFromMainView(const QString &word, const QString &languageCode);

    QString languageCode() const { return m_languageCode; }
    QStringList dataWords() const { return m_dataWords; }
    quint64 generation() const { return m_generation; }

    QLineEdit *searchField() const { return m_searchField; }
    QListWidget *worldsTableView() const { return m_wordsList; }
    QTextBrowser *synonymsTextView() const { return m_entryView; }
    QLabel *messageLabel() const { return m_messageLabel; }
    QLabel *flagOriginalWordImage() const { return m_flagEntry; }
    QLabel *flagSuggestionsImage() const { return m_flagWords; }
    QVMLexicalMeaningRenderer &renderer() { return *m_renderer; }

    static constexpr int kMaximumWords = 30;
    static constexpr int kMaximumWordLength = 100;
    static constexpr const char *kScreenName = "ScreenDicrionary";
    static constexpr const char *kCategory = "Main screen";
    static constexpr const char *kUseDictionaryEvent = "Dictionary panel - Use Dictionary";
    static constexpr const char *kDescriptionKey = "_loc_dictionary_description";
    static constexpr const char *kOneWordMessage = "Enter one word";
    static constexpr const char *kNoEntryMessage = "No entry found";
    static constexpr const char *kEnglishOnlyKey = "_loc_dictionary_offline_english_only";
    static constexpr const char *kNoVoiceOutputKey = "_loc_speech_no_output";

protected:
    QWidget *loadView() override;
    void viewDidLoad() override;
    void viewWillAppear() override;
    void viewDidAppear() override;
    void viewWillDisappear() override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Renders now and again when the entry view's palette changes (colours are read while rendering).
    void render(std::function<void()> rendering);
    void performLexicalMeaningAndWordEntries();
    void performLexicalMeaning(quint64 generation, const QString &word);
    void performWordEntries(quint64 generation, const QString &word, bool entryFollows);
    void showEntry(quint64 generation, const QString &word, const QVLexicalMeaning &entry,
                   const QVariantMap &synonyms, const QVariantMap &offlineEntry);
    void entryFailed(quint64 generation, const QString &word, const platform::Error &error);
    QString offlineMessage(const platform::Error &error, const QString &message) const;
    void showTranslations(quint64 generation, const QVariant &result, const QString &failureMessage);
    void showSynonyms(const QVariantMap &synonyms, const QVariantMap &offlineEntry, const QString &word);
    void updateData(const QVariantList &words);
    void rowChosen(int row);
    void linkClicked(const QUrl &link);
    void speakExample(const QString &text, const QVLanguageRealm &language);
    void resetFlagToDefault();
    void setFlag(QLabel *label, const QString &imageFile);
    void showMessage(const QString &text);
    bool isCurrent(quint64 generation) const { return generation == m_generation; }
    QVLanguageRealm sourceSide() const;
    QVLanguageRealm targetSide() const;
    bool networkAvailable() const;

    std::shared_ptr<QVMDictionaryDataSource> m_source;
    std::unique_ptr<QVMLexicalMeaningRenderer> m_renderer;
    QLineEdit *m_searchField = nullptr;
    QListWidget *m_wordsList = nullptr;
    QTextBrowser *m_entryView = nullptr;
    QLabel *m_messageLabel = nullptr;
    QLabel *m_flagEntry = nullptr;
    QLabel *m_flagWords = nullptr;
    QStringList m_dataWords;
    QString m_languageCode;
    quint64 m_generation = 0;
    bool m_speechStopped = false;
    platform::NotificationToken m_token;
    std::function<void()> m_rendering;
};
