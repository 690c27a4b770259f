// The translation flow of the main view: triggers, online and offline roads,
// the history write and the prompts after a translation.
#include "ui/main/QVMGeneralViewController.h"

#include "ui/controls/PaddingTextView.h"
#include "ui/controls/QVMSpinner.h"
#include "ui/foundation/QVMAlertPresenter.h"
#include "ui/foundation/QVMControlAvailability.h"
#include "ui/foundation/QVMInterfaceFactory.h"
#include "ui/foundation/QVMInterfaceHooks.h"
#include "ui/foundation/QVMUtils.h"
#include "ui/style/QVMColor.h"
#include "ui/window/QVGeneralWindowController.h"

#include "core/DevLog.h"
#include "core/DevLogger.h"
#include "core/history/QVDataManager.h"
#include "core/localization/QVLocalizedString.h"
#include "core/mapping/JSONMapping.h"
#include "core/settings/QVSettingsService.h"
#include "platform/Format.h"
#include "platform/UserDefaults.h"
#include "services/favourites/QVFavoritesSync.h"
#include "services/favourites/QVQuorvaldeRequestManager.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QTextCursor>
#include <QTimer>
#include <QToolButton>

namespace {

constexpr qint64 kCancelledCode = -999;
constexpr const char *kWindowControllerProperty = QVGeneralWindowController::kWindowControllerProperty;

bool isCancelled(const platform::Error &error) {
    return error && error.code() == kCancelledCode;
}

QString nullIfEmpty(const QString &value) {
    return value.isEmpty() ? QString::fromLatin1(QVMGeneralViewController::kNull) : value;
}

} // namespace

bool QVMGeneralViewController::isSameLanguagePair(const QVLanguageRealm &from, const QVLanguageRealm &to) {
    return !from.isNull() && !to.isNull() && !from.isAuto() && !from.localeIdentifier().isEmpty() &&
           from.localeIdentifier() == to.localeIdentifier();
}

void QVMGeneralViewController::translateOperation() {
    if (m_photoController) {
        QMetaObject::invokeMethod(m_photoController, "onTransleteImage");
        return;
    }
    if (m_webPageController) {
        QMetaObject::invokeMethod(m_webPageController, "translate");
        return;
    }
    shouldTranslateText(m_fromText->toPlainText());
}

void QVMGeneralViewController::shouldTranslateText(const QString &text) {
    m_originalText = text;
    // Blank text has nothing to translate.
    if (text.trimmed().isEmpty())
        return;
    // One language on both sides translates nothing and would fill the history with copies.
    const QVTranslateSettings record = settings();
    if (isSameLanguagePair(record.languageFrom(), record.languageTo())) {
        showDocumentNote(platform::format(QVLocalizedString(QStringLiteral("_loc_translate_same_pair")),
                                          record.languageTo().languageName()));
        return;
    }
    if (isNetworkAvailableNoMessage())
        translateWithText(text);
    else
        translateOfflineWithText(text);
}

quint64 QVMGeneralViewController::beginRequest() {
    const quint64 generation = ++m_generation;
    m_pending.insert(generation);
    showSpinner(true);
    return generation;
}

void QVMGeneralViewController::endRequest(quint64 generation) {
    m_pending.remove(generation);
    // The spinner tells about the newest request only.
    if (!m_pending.contains(m_generation))
        showSpinner(false);
}

void QVMGeneralViewController::translateWithText(const QString &text) {
    const QDateTime current = now();
    if (m_lastTranslationTime) {
        const qint64 elapsed = m_lastTranslationTime->msecsTo(current);
        if (elapsed >= 0 && elapsed < kThrottleMs) {
            // Sent when the window ends, with whatever the panel holds then.
            m_deferredTimer.start(int(kThrottleMs - elapsed));
            return;
        }
    }
    m_deferredTimer.stop();
    m_lastTranslationTime = current;
    const QVTranslateSettings record = settings();
    Request request;
    request.text = text;
    request.from = record.languageFrom();
    request.to = record.languageTo();
    request.fromWasAutoDetection = request.from.isAuto();
    request.generation = beginRequest();
    QPointer<QVMGeneralViewController> self(this);
    QVMGeneralServices::shared().online().translate(
        text, request.from.localeIdentifier(), request.to.localeIdentifier(),
        [self, request](const QVariantMap &reply) {
            if (self)
                self->onlineTranslationSucceeded(request, reply);
        },
        [self, request](const platform::Error &error) {
            if (self)
                self->onlineTranslationFailed(request, error);
        });
}

void QVMGeneralViewController::sendDeferredTranslation() {
    if (m_lastTranslationTime) {
        const qint64 elapsed = m_lastTranslationTime->msecsTo(now());
        if (elapsed >= 0 && elapsed < kThrottleMs) {
            m_deferredTimer.start(int(kThrottleMs - elapsed));
            return;
        }
    }
    shouldTranslateText(m_fromText->toPlainText());
}

// The newest translation with the same text and pair takes the reply, so
// translating a text again moves it up instead of adding a row.
QVTranslationRealm QVMGeneralViewController::recordToReuse(const Request &request) const {
    const platform::ObjectStore store = platform::ObjectStore::defaultStore();
    const QVTranslationRealm newest(store.objects(QVTranslationRealm::storeClassName())
                                        .sorted(QStringLiteral("createdDate"), false)
                                        .first());
    if (newest.isNull() || newest.originalText() != request.text)
        return {};
    if (newest.languageFrom().localeIdentifier() != request.from.localeIdentifier() ||
        newest.languageTo().localeIdentifier() != request.to.localeIdentifier())
        return {};
    return newest;
}

void QVMGeneralViewController::onlineTranslationSucceeded(const Request &request, const QVariantMap &reply) {
    endRequest(request.generation);
    const QString detectedCode = reply.value(QStringLiteral("detectedLanguage")).toString();
    if (request.fromWasAutoDetection && reply.contains(QStringLiteral("detectedLanguage")))
        trackEvent(QStringLiteral("Detect Language"));
    // Detected in the language it was to be translated into: shown, but not stored as a translation.
    if (request.fromWasAutoDetection && !detectedCode.isEmpty() &&
        detectedCode == request.to.languageString()) {
        if (isNewest(request.generation)) {
            m_toText->setPlainText(reply.value(QStringLiteral("translatedText")).toString());
            showDocumentNote(platform::format(QVLocalizedString(QStringLiteral("_loc_translate_same_pair")),
                                              request.to.languageName()));
        }
        return;
    }

    const platform::ObjectStore store = platform::ObjectStore::defaultStore();
    QVTranslationRealm record;
    QVLanguageRealm detected;
    const double created = QVBaseTranslateModel::timeIntervalSinceReferenceDate(now());
    platform::Error error = store.isNull() ? platform::Error(QStringLiteral("platform.store"), 1,
                                                             QStringLiteral("The history cannot be opened"))
                                           : platform::Error();
    if (!error) {
        error = store.write([&](platform::Transaction &tx) {
            QVariantMap dictionary = reply;
            const QVTranslationRealm reuse = recordToReuse(request);
            if (!reuse.isNull()) {
                dictionary.insert(QStringLiteral("idTranslation"), reuse.idTranslation().value_or(0));
                // A favourite stays one when its text is translated again.
                dictionary.remove(QStringLiteral("isFavorite"));
                record = QVTranslationRealm(
                    JSONMapping::createOrUpdateInRealm(tx, QVTranslationRealm::storeClassName(), dictionary));
            } else {
                record = QVTranslationRealm::createNewInRealm(tx, dictionary);
            }
            if (record.isNull())
                return;
            record.setCreatedDate(tx, created);
            record.setLanguageFrom(tx, request.from);
            if (request.fromWasAutoDetection && !record.detectedLanguage().isEmpty()) {
                detected = QVLanguageRealm(
                    store.objects(QVLanguageRealm::storeClassName())
                        .filter(platform::Key(QStringLiteral("languageString")) == record.detectedLanguage())
                        .first());
                if (!detected.isNull())
                    record.setLanguageFrom(tx, detected);
            }
            record.setLanguageTo(tx, request.to);
        });
    }
    if (!error && record.isNull())
        error = platform::Error(QStringLiteral("com.translator"), 400,
                                QVLocalizedString(QStringLiteral("_loc_error")));
    if (error) {
        DevLogger::logError(error, QStringLiteral("translateWithText:"));
        if (isNewest(request.generation)) {
            m_toText->setPlainText(reply.value(QStringLiteral("translatedText")).toString());
            showTranslationError(error);
        }
        return;
    }
    QVSettingsService::increaseTranslateWithSymbolsCount(request.text.size());
    // A newer request owns the panels; this result is kept in the history only.
    if (!isNewest(request.generation))
        return;
    if (!detected.isNull()) {
        QVSettingsService::setLanguageFrom(detected);
        languageSelectionDidChange();
    }
    m_translationCompany = record.translationViaCompany();
    showRecordOnScreen(record);
    m_favoriteButton->setChecked(false);
    trackEvent(QStringLiteral("Translate"), parameters());
    m_originalText = record.originalText();
    m_translatedText = record.translatedText();
    m_toText->setFont(m_fromText->font());
    const QVTranslateSettings current = settings();
    if (current.autoSpeak() && !current.languageTo().voiceLocale().isEmpty())
        onSpeechSynthesisTo();
    logRateEvent();
    showCrossPromoIfNecessary();
    showRegistrationOfferIfNeeded();
}

void QVMGeneralViewController::onlineTranslationFailed(const Request &request, const platform::Error &error) {
    endRequest(request.generation);
    trackEvent(QStringLiteral("Translate Error"),
               {{QStringLiteral("error"), error ? error.localizedDescription() : QString()}});
    if (isNewest(request.generation) && !isCancelled(error))
        showTranslationError(error);
}

void QVMGeneralViewController::showTranslationError(const platform::Error &error) {
    const QString message = error ? error.localizedDescription() : QString();
    QVMUtils::showErrorAlertWithMessage(message.isEmpty() ? QVLocalizedString(QStringLiteral("_loc_error"))
                                                          : message);
}

void QVMGeneralViewController::showRecordOnScreen(const QVTranslationRealm &record) {
    setTranslateObject(record);
    renderResult(true, true);
    updateTranslationCompany();
    updateSentencesWithCompletion();
}

void QVMGeneralViewController::translateOfflineWithText(const QString &text) {
    QVMOfflineTranslator &offline = QVMGeneralServices::shared().offline();
    const platform::Error check = offline.checkOfflinePackagesForSelectedLanguages();
    if (check) {
        if (check.code() == kErrorPackageCanBeDownloaded) {
            QPointer<QVMGeneralViewController> self(this);
            QVMUtils::showAlertWithTitle(
                QVLocalizedString(QStringLiteral("_loc_alert_title_error")), check.localizedDescription(),
                QVLocalizedString(QStringLiteral("_loc_alert_button_download")),
                [self] {
                    if (self)
                        self->openSettingsTab(kSettingsTabOfflinePackages);
                },
                QVLocalizedString(QStringLiteral("_loc_close")), [] {});
        } else {
            QVMUtils::showErrorAlertWithMessage(check.localizedDescription());
        }
        return;
    }
    const QVTranslateSettings record = settings();
    Request request;
    request.text = text;
    request.from = record.languageFrom();
    request.to = record.languageTo();
    request.generation = beginRequest();
    QPointer<QVMGeneralViewController> self(this);
    offline.translatedTextFromText(text,
                                   [self, request](const QString &translated, const platform::Error &error) {
                                       if (self)
                                           self->offlineTranslationFinished(request, translated, error);
                                   });
}

void QVMGeneralViewController::offlineTranslationFinished(const Request &request, const QString &translated,
                                                          const platform::Error &error) {
    endRequest(request.generation);
    QVMAnalytics &analytics = QVMGeneralServices::shared().analytics();
    if (error) {
        analytics.trackEvent(QStringLiteral("error"), QStringLiteral("logic error"),
                             error.localizedDescription(), 1.0);
        if (isNewest(request.generation) && !isCancelled(error))
            showTranslationError(error);
        return;
    }
    QVSettingsService::increaseTranslateWithSymbolsCount(request.text.size());
    postTranslateWithText(request, translated);
    analytics.trackEvent(QStringLiteral("translate"),
                         platform::format(QStringLiteral("%@-%@"), request.from.localeIdentifier(),
                                          request.to.localeIdentifier()),
                         QStringLiteral("text offline"), double(request.text.size()));
    if (isNewest(request.generation))
        logRateEvent();
}

// The engine gives no transliteration: the record keeps none, so the result
// is never shown twice.
void QVMGeneralViewController::postTranslateWithText(const Request &request, const QString &translated) {
    const bool newest = isNewest(request.generation);
    if (newest) {
        m_toText->setPlainText(translated);
        m_originalText = request.text;
    }
    const QDateTime current = now();
    QPointer<QVMGeneralViewController> self(this);
    const quint64 generation = request.generation;
    const platform::Error error = QVDataManager::sharedInstance().saveTranslationWithIdTranslation(
        QVBaseTranslateModel::identifierForDate(current), 1, request.from, request.to, false, request.text,
        translated, QString(), QString(), QVBaseTranslateModel::timeIntervalSinceReferenceDate(current),
        [self, generation, request, translated](const QVTranslationRealm &stored) {
            if (!self || !self->isNewest(generation))
                return;
            self->m_translatedText = translated;
            self->showRecordOnScreen(stored);
        });
    if (error) {
        DevLogger::logError(error, QStringLiteral("postTranslateWithText:"));
        if (newest)
            showTranslationError(error);
    }
}

void QVMGeneralViewController::openSettingsTab(int tab) {
    QObject *controller = nullptr;
    if (isViewLoaded() && view()->window())
        controller = view()->window()->property(kWindowControllerProperty).value<QObject *>();
    if (!controller || !QMetaObject::invokeMethod(controller, "showSettingsScreenWithTab", Q_ARG(int, tab)))
        QVMInterfaceHooks::notAvailable("showSettingsScreenWithTab");
}

void QVMGeneralViewController::showHistory(const QVTranslationRealm &record) {
    if (record.isNull() || !record.isValid() || record.className() != QVTranslationRealm::storeClassName())
        return;
    // What the history shows replaces whatever is still on its way.
    ++m_generation;
    m_deferredTimer.stop();
    showSpinner(false);
    setTranslateObject(record);
    statusItemViewDidChangeText(0, record.originalText());
    statusItemViewDidChangeText(1, record.translatedText());
    QVSettingsService::setLanguageFrom(record.languageFrom());
    QVSettingsService::setLanguageTo(record.languageTo());
    languageSelectionDidChange();
    m_favoriteButton->setChecked(record.isFavorite().value_or(false));
    updateTranslationCompany();
    updateTranslateViewFrom();
    renderResult(true, true);
    updateSentencesWithCompletion();
    m_fromText->setFocus();
    trackEvent(QStringLiteral("History panel - Element Selected"), parameters());
}

void QVMGeneralViewController::bookmarkStatusChanged(const QVTranslationRealm &record) {
    setTranslateObject(record);
}

void QVMGeneralViewController::statusItemViewDidChangeText(uint side, const QString &text) {
    PaddingTextView *view = side == 0 ? m_fromText : m_toText;
    QTextCursor cursor(view->document());
    cursor.select(QTextCursor::Document);
    cursor.insertText(text);
    // A translation put in is no edit of the one before: undo cannot bring that back.
    if (side != 0)
        view->document()->clearUndoRedoStacks();
}

void QVMGeneralViewController::setTextAndTranslation(const QString &text, const QString &translation,
                                                     const QVTranslationRealm &record) {
    // What is on its way belongs to the panels being replaced.
    ++m_generation;
    m_deferredTimer.stop();
    showSpinner(false);
    const bool same = !record.isNull() && record.isValid() && record.originalText() == text &&
                      record.translatedText() == translation;
    setTranslateObject(same ? record : QVTranslationRealm());
    m_originalText = text;
    m_translatedText = translation;
    m_fromText->setPlainText(text);
    m_toText->setPlainText(translation);
    textDidChange(m_toText);
    m_favoriteButton->setChecked(same && record.isFavorite().value_or(false));
    if (!same)
        return;
    updateTranslateViewFrom();
    renderResult(true, true);
    updateSentencesWithCompletion();
}

bool QVMGeneralViewController::hasUnsavedPanels() const {
    const QString original = m_fromText->toPlainText();
    const QString translation = shownTranslation();
    if (original.isEmpty() && translation.isEmpty())
        return false;
    const bool stored = !m_translateObject.isNull() && m_translateObject.isValid();
    return !stored || m_translateObject.originalText() != original ||
           m_translateObject.translatedText() != translation;
}

void QVMGeneralViewController::languageSelectionDidChange() {
    QObject *controller = nullptr;
    if (isViewLoaded() && view()->window())
        controller = view()->window()->property(kWindowControllerProperty).value<QObject *>();
    if (controller)
        QMetaObject::invokeMethod(controller, "updateLanguages");
    updateTextViewRightToLeftIfNeeded();
}

void QVMGeneralViewController::updateTextViewRightToLeftIfNeeded() {
    const QVTranslateSettings record = settings();
    const auto align = [](PaddingTextView *view, bool rtl) {
        QTextOption option = view->document()->defaultTextOption();
        option.setAlignment(rtl ? Qt::AlignRight | Qt::AlignAbsolute : Qt::AlignLeft | Qt::AlignAbsolute);
        view->document()->setDefaultTextOption(option);
    };
    align(m_fromText, record.languageFrom().isRTL());
    align(m_toText, record.languageTo().isRTL());
}

QString QVMGeneralViewController::shownTranslation() const {
    const QString shown = m_toText->toPlainText();
    if (m_isToTextViewWithTrans && m_translateObject.isValid() && resultShowsRecord(shown))
        return m_translateObject.translatedText();
    return shown;
}

void QVMGeneralViewController::replaceTextsAfterSwitch() {
    if (m_toText->toPlainText().isEmpty())
        return;
    // The translation alone: a transliteration shown under it is not source text.
    const QString former = shownTranslation();
    clear();
    m_fromText->setPlainText(former);
    updateTranslateViewFrom();
}

void QVMGeneralViewController::updateBufferFromService(const QString &text, int type) {
    if (type == 0) {
        m_fromText->setPlainText(text);
        translateOperation();
    } else if (type == 1) {
        QVMInterfaceHooks::call(QVMInterfaceHooks::shared().showAgentForText, "showAgentForText", text);
    }
}

QVariantMap QVMGeneralViewController::parameters() const {
    const QVTranslationRealm &record = m_translateObject;
    const bool valid = record.isValid();
    return {
        {QStringLiteral("original_text"), nullIfEmpty(valid ? record.originalText() : QString())},
        {QStringLiteral("translated_text"), nullIfEmpty(valid ? record.translatedText() : QString())},
        {QStringLiteral("language_from"),
         nullIfEmpty(valid ? record.languageFrom().localeIdentifier() : QString())},
        {QStringLiteral("language_to"),
         nullIfEmpty(valid ? record.languageTo().localeIdentifier() : QString())},
    };
}

void QVMGeneralViewController::syncronizeBookmarks() {
    // A claim of its own, so a translation's spinner is not ended by the sync's.
    auto *owner = new QObject(this);
    QVMSpinner::showSpinner(m_toText, owner);
    QPointer<QWidget> target(m_toText);
    QPointer<QObject> held(owner);
    const auto done = [target, held] {
        if (target && held)
            QVMSpinner::hideSpinner(target, held);
        if (held)
            held->deleteLater();
    };
    // Changes made offline go first, so a favourite removed here does not come back with the fetch.
    QVFavoritesSync::shared().flush([done](bool) {
        // The client stores what it receives.
        QVQuorvaldeRequestManager::instance().getFavoritesWithLimit(
            kFavoritesLimit, 0, done, [done](const platform::Error &) { done(); });
    });
}

void QVMGeneralViewController::showInternetUnavailablePopup() {
    QVMUtils::showAlertWithTitle(QVLocalizedString(QStringLiteral("_loc_alert_title_error")),
                                 QVLocalizedString(QStringLiteral("_loc_alert_no_internet")),
                                 QVLocalizedString(QStringLiteral("_loc_button_ok")), {});
}

bool QVMGeneralViewController::writeToPasteBoard(const QString &text) {
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        return false;
    clipboard->setText(text);
    return true;
}

QString QVMGeneralViewController::readFromPasteBoard() {
    QClipboard *clipboard = QGuiApplication::clipboard();
    return clipboard ? clipboard->text() : QString();
}

void QVMGeneralViewController::highlightTextInTextView(PaddingTextView *textView) {
    const QList<QTextEdit::ExtraSelection> before = textView->extraSelections();
    QTextEdit::ExtraSelection all;
    all.cursor = QTextCursor(textView->document());
    all.cursor.select(QTextCursor::Document);
    all.format.setBackground(QVMColor::highlightedBlueColor());
    textView->setExtraSelections(before + QList<QTextEdit::ExtraSelection>{all});
    QPointer<PaddingTextView> target(textView);
    m_unhighlightTimer.disconnect();
    connect(&m_unhighlightTimer, &QTimer::timeout, this, [target, before] {
        if (target)
            target->setExtraSelections(before);
    });
    m_unhighlightTimer.start(kHighlightMs);
}

void QVMGeneralViewController::showSpinner(bool show) {
    if (show)
        QVMSpinner::showSpinner(m_toText, this);
    else
        QVMSpinner::hideSpinner(m_toText, this);
}

void QVMGeneralViewController::highlightTextViewsWithTag(qint64 tag) {
    if (tag == 0 || m_originalSentences.isEmpty() || m_translatedSentences.isEmpty())
        return;
    // Both panels: the earlier pair goes before the new one is shown.
    m_fromText->unhighlight();
    m_toText->unhighlight();
    if (!QVMUtils::sharedDefaults().boolForKey(QString::fromLatin1(kHighlightTranslatedSentences)))
        return;
    if (const auto sentence = safeObjectAtIndex(m_originalSentences, tag - 1))
        m_fromText->highlightRange(int(sentence->range().location), int(sentence->range().length));
    if (const auto sentence = safeObjectAtIndex(m_translatedSentences, tag - 1))
        m_toText->highlightRange(int(sentence->range().location), int(sentence->range().length));
}

void QVMGeneralViewController::checkSpeakerButtonsState() {
    const QVTranslateSettings record = settings();
    checkStateForSpeakerButton(m_toSpeakerButton, m_toText, record.languageTo());
    checkStateForSpeakerButton(m_fromSpeakerButton, m_fromText, record.languageFrom());
}

void QVMGeneralViewController::checkStateForSpeakerButton(QToolButton *button, PaddingTextView *view,
                                                          const QVLanguageRealm &language) {
    const bool speakable =
        language.isValid() &&
        (language.languageModes().speechSynthesis() ||
         QVMGeneralServices::shared().speech().isSupportedLocaleForPlay(language.localeIdentifier()));
    QString reason;
    if (view->document()->isEmpty())
        reason = QVLocalizedString(QStringLiteral("_loc_reason_no_text_to_speak"));
    else if (!speakable)
        reason = QVLocalizedString(QStringLiteral("_loc_reason_no_voice"));
    QVMControlAvailability::setEnabled(button, reason.isEmpty(), reason);
}
