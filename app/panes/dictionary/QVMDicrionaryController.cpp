#include "panes/dictionary/QVMDicrionaryController.h"

#include "core/localization/QVLocalizedString.h"
#include "services/analytics/QVAnalyticsManager.h"
#include "services/dictionary/QVMLexicalMeaningService.h"
#include "services/dictionary/WNWorldNet.h"
#include "services/languages/QVLanguageService.h"
#include "ui/adapters/QVMGeneralServices.h"
#include "ui/controls/QVMRemoteImage.h"
#include "ui/controls/QVMSpinner.h"
#include "ui/foundation/QVMInterfaceFactory.h"
#include "ui/foundation/QVMUtils.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace {

constexpr int kFlagSize = 20;

QLabel *makeFlag(QWidget *parent, const QString &name) {
    auto *flag = new QLabel(parent);
    flag->setFixedSize(kFlagSize, kFlagSize);
    flag->setScaledContents(true);
    flag->setAccessibleName(name);
    flag->setToolTip(name);
    return flag;
}

// Marks a flag showing the disc below, which is redrawn when the palette changes.
constexpr const char *kDrawnPlaceholder = "qvDrawnFlagPlaceholder";

// A neutral disc in the text colour where a language has no flag.
QPixmap flagPlaceholder(const QPalette &palette) {
    QPixmap pixmap(kFlagSize * 2, kFlagSize * 2);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(palette.color(QPalette::Text), 2));
    painter.setBrush(palette.color(QPalette::Mid));
    painter.drawEllipse(QRectF(2, 2, kFlagSize * 2 - 4, kFlagSize * 2 - 4));
    return pixmap;
}

QString localized(const char *key) {
    return QVLocalizedString(QString::fromLatin1(key));
}

} // namespace

void installDictionaryPane(QVMInterfaceFactory &factory) {
    factory.registerController<QVMDicrionaryController>(QStringLiteral("Main"),
                                                        QStringLiteral("QVMDicrionaryController"));
}

QVMDicrionaryController::QVMDicrionaryController(QObject *parent)
    : QVMBaseVC(parent), m_source(QVMDictionaryDataSource::makeDefault()) {}

QVMDicrionaryController::~QVMDicrionaryController() = default;

void QVMDicrionaryController::setDataSource(std::shared_ptr<QVMDictionaryDataSource> source) {
    m_source = source ? std::move(source) : QVMDictionaryDataSource::makeDefault();
}

QWidget *QVMDicrionaryController::loadView() {
    auto *root = new QWidget;
    root->setObjectName(QStringLiteral("QVMDicrionaryView"));
    auto *layout = new QVBoxLayout(root);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->setSpacing(6);

    m_searchField = new QLineEdit(root);
    m_searchField->setObjectName(QStringLiteral("searchField"));
    m_searchField->setAccessibleName(tr("Search dictionary"));
    m_searchField->setToolTip(tr("Type a word and press Return to look it up"));
    m_searchField->setPlaceholderText(tr("Type a word…"));
    m_searchField->setMaxLength(kMaximumWordLength * 10);
    layout->addWidget(m_searchField);

    m_messageLabel = new QLabel(root);
    m_messageLabel->setObjectName(QStringLiteral("messageLabel"));
    m_messageLabel->setWordWrap(true);
    // Failures carry the backend's and the files' words: never markup.
    m_messageLabel->setTextFormat(Qt::PlainText);
    m_messageLabel->setAccessibleName(tr("Dictionary message"));
    m_messageLabel->setToolTip(tr("What the dictionary has to say about the search"));
    layout->addWidget(m_messageLabel);

    auto *entryRow = new QHBoxLayout;
    m_flagEntry = makeFlag(root, tr("Language of the entry"));
    entryRow->addWidget(m_flagEntry, 0, Qt::AlignTop);
    m_entryView = new QTextBrowser(root);
    m_entryView->setObjectName(QStringLiteral("synonymsTextView"));
    m_entryView->setAccessibleName(tr("Dictionary entry"));
    m_entryView->setToolTip(
        tr("The entry of the word; Tab moves between its links, Return follows one"));
    m_entryView->setOpenLinks(false);
    m_entryView->setOpenExternalLinks(false);
    entryRow->addWidget(m_entryView, 1);
    layout->addLayout(entryRow, 3);

    auto *wordsRow = new QHBoxLayout;
    m_flagWords = makeFlag(root, tr("Language of the related words"));
    wordsRow->addWidget(m_flagWords, 0, Qt::AlignTop);
    m_wordsList = new QListWidget(root);
    m_wordsList->setObjectName(QStringLiteral("worldsTableView"));
    m_wordsList->setAccessibleName(tr("Related words"));
    m_wordsList->setToolTip(tr("Click a word or press Return on it to look it up"));
    m_wordsList->setSelectionMode(QAbstractItemView::SingleSelection);
    wordsRow->addWidget(m_wordsList, 1);
    layout->addLayout(wordsRow, 2);

    QWidget::setTabOrder(m_searchField, m_wordsList);
    QWidget::setTabOrder(m_wordsList, m_entryView);
    return root;
}

void QVMDicrionaryController::viewDidLoad() {
    m_renderer = std::make_unique<QVMLexicalMeaningRenderer>(m_entryView);
    m_languageCode = settings().isNull() ? QString() : settings().languageFrom().localeIdentifier();
    showMessage({});
    m_dataWords.clear();
    connect(m_searchField, &QLineEdit::returnPressed, this, &QVMDicrionaryController::onSearch);
    connect(m_wordsList, &QListWidget::itemClicked, this,
            [this](QListWidgetItem *item) { rowChosen(m_wordsList->row(item)); });
    m_wordsList->installEventFilter(this);
    m_entryView->installEventFilter(this);
    m_flagEntry->installEventFilter(this);
    m_flagWords->installEventFilter(this);
    connect(m_entryView, &QTextBrowser::anchorClicked, this, &QVMDicrionaryController::linkClicked);
}

void QVMDicrionaryController::viewWillAppear() {
    resetFlagToDefault();
    const QVTranslateSettings record = settings();
    if (!record.isNull() && record.isManaged()) {
        QPointer<QVMDicrionaryController> self(this);
        m_token = record.observe(
            [self](const platform::ObjectChange &change) {
                if (self && !change.deleted)
                    self->resetFlagToDefault();
            },
            {QStringLiteral("languageFrom"), QStringLiteral("languageTo")});
    }
    QPointer<QVMDicrionaryController> self(this);
    QVMLexicalMeaningService::sharedInstance().addUpdateBlock(
        [self](const QString &word, const QString &languageCode) {
            if (self)
                self->showWordFromMainView(word, languageCode);
        });
}

void QVMDicrionaryController::viewDidAppear() {
    QVAnalyticsManager::trackViewsFromArray({QString::fromLatin1(kScreenName)});
}

void QVMDicrionaryController::viewWillDisappear() {
    m_token.invalidate();
}

void QVMDicrionaryController::showWordFromMainView(const QString &word, const QString &languageCode) {
    m_languageCode = languageCode;
    resetFlagToDefault();
    showLexicalMeaningAndWordEntriesForText(word);
}

void QVMDicrionaryController::onSearch() {
    QVMGeneralServices::shared().analytics().trackEvent(QString::fromLatin1(kCategory),
                                                        QString::fromLatin1(kUseDictionaryEvent), {});
    performLexicalMeaningAndWordEntries();
}

void QVMDicrionaryController::showLexicalMeaningAndWordEntriesForText(const QString &text) {
    view();
    m_searchField->setText(text);
    performLexicalMeaningAndWordEntries();
}

bool QVMDicrionaryController::networkAvailable() const {
    return isNetworkAvailableNoMessage();
}

void QVMDicrionaryController::performLexicalMeaningAndWordEntries() {
    view();
    const QString word = m_searchField->text().trimmed();
    // A new search: whatever an older one still brings is dropped.
    const quint64 generation = ++m_generation;
    QVMSpinner::hideSpinner(m_entryView, this);
    QVMSpinner::hideSpinner(m_wordsList, this);
    if (word.isEmpty() || word.size() > kMaximumWordLength || word.contains(QLatin1Char('\n')) ||
        word.contains(QChar::LineSeparator) || word.contains(QChar::ParagraphSeparator)) {
        m_rendering = nullptr;
        m_renderer->clear();
        updateData({});
        showMessage(word.isEmpty() ? localized(kDescriptionKey) : tr(kOneWordMessage));
        return;
    }
    showMessage({});
    if (networkAvailable()) {
        performLexicalMeaning(generation, word);
        performWordEntries(generation, word, false);
    } else {
        performWordEntries(generation, word, true);
    }
}

QVLanguageRealm QVMDicrionaryController::sourceSide() const {
    const QVTranslateSettings record = settings();
    if (record.isNull())
        return {};
    return record.languageFrom().localeIdentifier() == m_languageCode ? record.languageFrom()
                                                                      : record.languageTo();
}

QVLanguageRealm QVMDicrionaryController::targetSide() const {
    const QVTranslateSettings record = settings();
    if (record.isNull())
        return {};
    return record.languageFrom().localeIdentifier() == m_languageCode ? record.languageTo()
                                                                      : record.languageFrom();
}

void QVMDicrionaryController::performLexicalMeaning(quint64 generation, const QString &word) {
    const QString from = sourceSide().isNull() ? QString() : sourceSide().localeIdentifier();
    const QString to = targetSide().isNull() ? QString() : targetSide().localeIdentifier();
    QVMSpinner::showSpinner(m_entryView, this);
    QPointer<QVMDicrionaryController> self(this);
    m_source->lexicalMeaningAndSynonymsForWord(
        word, from, to,
        [self, generation, word](const QVLexicalMeaning &entry, const QVariantMap &synonyms,
                                 const QVariantMap &offlineEntry) {
            if (self)
                self->showEntry(generation, word, entry, synonyms, offlineEntry);
        },
        [self, generation, word](const platform::Error &error) {
            if (self)
                self->entryFailed(generation, word, error);
        });
}

void QVMDicrionaryController::showEntry(quint64 generation, const QString &word,
                                        const QVLexicalMeaning &entry, const QVariantMap &synonyms,
                                        const QVariantMap &offlineEntry) {
    if (!isCurrent(generation))
        return;
    QVMSpinner::hideSpinner(m_entryView, this);
    const QVLanguageRealm source = sourceSide();
    const QVLanguageRealm target = targetSide();
    m_renderer->setLanguages(source.isNull() ? QString() : source.localeIdentifier(),
                             target.isNull() ? QString() : target.localeIdentifier());
    if (!entry.isNull() && !entry.isEmpty()) {
        render([this, entry] { m_renderer->showLexicalMeaning(entry); });
        return;
    }
    render([this, synonyms, offlineEntry, word] { showSynonyms(synonyms, offlineEntry, word); });
    if (synonyms.isEmpty() && offlineEntry.isEmpty())
        entryFailed(generation, word, {});
}

// Nothing to show of the entry: the backend's plain translations, else a message.
void QVMDicrionaryController::entryFailed(quint64 generation, const QString &word,
                                          const platform::Error &error) {
    if (!isCurrent(generation))
        return;
    QVMSpinner::hideSpinner(m_entryView, this);
    m_rendering = nullptr;
    m_renderer->clear();
    const QString message =
        error && !error.localizedDescription().isEmpty() && error.domain() != QLatin1String("com.translator")
            ? error.localizedDescription()
            : tr(kNoEntryMessage);
    if (!networkAvailable()) {
        showMessage(offlineMessage(error, message));
        return;
    }
    const QVLanguageRealm source = sourceSide();
    const QVLanguageRealm target = targetSide();
    QPointer<QVMDicrionaryController> self(this);
    m_source->wordDictionaryMeaningForText(
        word, source.isNull() ? QString() : source.localeIdentifier(),
        target.isNull() ? QString() : target.localeIdentifier(),
        [self, generation, message](const QVariant &result) {
            if (self)
                self->showTranslations(generation, result, message);
        },
        [self, generation, message](const platform::Error &) {
            if (self && self->isCurrent(generation))
                self->showMessage(message);
        });
}

// The offline dictionary is English: a word of another language not found
// there is explained as such, not as a fault of the files.
QString QVMDicrionaryController::offlineMessage(const platform::Error &error, const QString &message) const {
    const bool notFound = error.domain() == QLatin1String(QVWordNetDatabase::kErrorDomain) &&
                          (error.code() == QVWordNetDatabase::WordNotFound ||
                           error.code() == QVWordNetDatabase::UnsupportedLanguage);
    if (notFound && !WNWorldNet::isEnglish(m_languageCode))
        return localized(kEnglishOnlyKey);
    return message;
}

void QVMDicrionaryController::showTranslations(quint64 generation, const QVariant &result,
                                               const QString &failureMessage) {
    if (!isCurrent(generation))
        return;
    QStringList translations;
    if (result.typeId() == QMetaType::QVariantList) {
        for (const QVariant &item : result.toList())
            if (item.typeId() == QMetaType::QString && !item.toString().trimmed().isEmpty())
                translations.append(item.toString().trimmed());
    }
    if (translations.isEmpty()) {
        showMessage(failureMessage);
        return;
    }
    render([this, translations] { m_renderer->showTranslations(translations); });
}

void QVMDicrionaryController::render(std::function<void()> rendering) {
    m_rendering = std::move(rendering);
    m_rendering();
}

void QVMDicrionaryController::showSynonyms(const QVariantMap &synonyms, const QVariantMap &offlineEntry,
                                           const QString &word) {
    m_renderer->clear();
    const QVTranslateSettings record = settings();
    if (!synonyms.isEmpty())
        m_renderer->showSynonyms(
            QVSynonyms::initWithDictionary(synonyms, word),
            record.isNull() ? QImage()
                            : QVMRemoteImage::qvImageFromCacheForPatch(record.languageTo().imageFile()));
    if (!offlineEntry.isEmpty())
        m_renderer->showLexicalMeaningOffline(
            offlineEntry, record.isNull()
                              ? QImage()
                              : QVMRemoteImage::qvImageFromCacheForPatch(record.languageFrom().imageFile()));
}

void QVMDicrionaryController::performWordEntries(quint64 generation, const QString &word, bool entryFollows) {
    QVMSpinner::showSpinner(m_wordsList, this);
    QPointer<QVMDicrionaryController> self(this);
    const auto finish = [self, generation, word, entryFollows](const QVariantList &words) {
        if (!self || !self->isCurrent(generation))
            return;
        QVMSpinner::hideSpinner(self->m_wordsList, self);
        self->updateData(words);
        if (entryFollows)
            self->performLexicalMeaning(generation, word);
    };
    m_source->autocompleteForWord(word, m_languageCode, finish,
                                  [finish](const platform::Error &) { finish({}); });
}

void QVMDicrionaryController::updateData(const QVariantList &words) {
    m_dataWords.clear();
    for (const QVariant &word : words) {
        if (m_dataWords.size() == kMaximumWords)
            break;
        m_dataWords.append(word.toString());
    }
    m_wordsList->clear();
    m_wordsList->addItems(m_dataWords);
    // The list's own tooltip never shows over its rows: each row says what a click does.
    for (int row = 0; row < m_wordsList->count(); ++row)
        m_wordsList->item(row)->setToolTip(
            QVMUtils::plainToolTip(tr("Look up \u201c%1\u201d (click or Return)").arg(m_dataWords.at(row))));
    if (!m_dataWords.isEmpty()) {
        // Selected by code: shows where the list starts and searches nothing.
        m_wordsList->setCurrentRow(0, QItemSelectionModel::ClearAndSelect);
    }
}

void QVMDicrionaryController::rowChosen(int row) {
    if (row < 0 || row >= m_dataWords.size() || m_dataWords.at(row).isEmpty())
        return;
    showLexicalMeaningAndWordEntriesForText(m_dataWords.at(row));
}

bool QVMDicrionaryController::eventFilter(QObject *watched, QEvent *event) {
    // The entry's colours are read from the view's palette while rendering.
    if (watched == m_entryView && event->type() == QEvent::PaletteChange && m_rendering)
        m_rendering();
    if ((watched == m_flagEntry || watched == m_flagWords) && event->type() == QEvent::PaletteChange) {
        auto *flag = static_cast<QLabel *>(watched);
        if (flag->property(kDrawnPlaceholder).toBool())
            flag->setPixmap(flagPlaceholder(flag->palette()));
    }
    if (watched == m_wordsList && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            rowChosen(m_wordsList->currentRow());
            return true;
        }
    }
    return QVMBaseVC::eventFilter(watched, event);
}

void QVMDicrionaryController::linkClicked(const QUrl &link) {
    if (const auto speech = m_renderer->speechForLink(link)) {
        QVLanguageRealm language = QVLanguageService::languageForLocaleIdentifier(speech->language);
        if (language.isNull())
            language = QVLanguageService::defaultLanguage();
        speakExample(speech->text, language);
        return;
    }
    const QString word = QVMLexicalMeaningRenderer::wordForLink(link);
    if (!word.isEmpty())
        showLexicalMeaningAndWordEntriesForText(word);
}

// As the main window's Listen: a speaker that cannot speak, or whose speech ends early without
// being stopped, says why in the message line; a click while something speaks stops it.
void QVMDicrionaryController::speakExample(const QString &text, const QVLanguageRealm &language) {
    QVMSpeech &speech = QVMGeneralServices::shared().speech();
    if (speech.speaking()) {
        m_speechStopped = true;
        speech.stopSpeaking();
        return;
    }
    if (!speech.hasVoiceOutput()) {
        showMessage(localized(kNoVoiceOutputKey));
        return;
    }
    m_speechStopped = false;
    QPointer<QVMDicrionaryController> self(this);
    speech.speakText(text, language, [self](bool spokenToEnd) {
        if (self && !spokenToEnd && !std::exchange(self->m_speechStopped, false))
            self->showMessage(localized(kNoVoiceOutputKey));
    });
}

void QVMDicrionaryController::resetFlagToDefault() {
    if (!isViewLoaded())
        return;
    const QVLanguageRealm language = QVLanguageService::languageForLocaleIdentifier(m_languageCode);
    const QString imageFile = language.isNull() ? QString() : language.imageFile();
    setFlag(m_flagEntry, imageFile);
    setFlag(m_flagWords, imageFile);
}

void QVMDicrionaryController::setFlag(QLabel *label, const QString &imageFile) {
    QPointer<QLabel> target(label);
    QVMRemoteImage::getRemoteImageForUrlString(label, imageFile, true, [target](const QImage &image) {
        if (!target)
            return;
        target->setProperty(kDrawnPlaceholder, image.isNull());
        if (image.isNull())
            target->setPixmap(flagPlaceholder(target->palette()));
    });
}

void QVMDicrionaryController::showMessage(const QString &text) {
    m_messageLabel->setText(text);
    m_messageLabel->setHidden(text.isEmpty());
}
