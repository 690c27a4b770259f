// The popover's translation road: routing, the online and offline requests
// and the history record.
#include "QVMGenaralPopoverViewController.h"

#include "core/DevLog.h"
#include "core/DevLogger.h"
#include "core/history/QVDataManager.h"
#include "core/localization/QVLocalizedString.h"
#include "core/models/QVBaseTranslateModel.h"
#include "core/settings/QVSettingsService.h"
#include "platform/store/Store.h"
#include "services/network/QVRequestManager.h"
#include "ui/adapters/QVMGeneralServices.h"
#include "ui/controls/TextViewWithPlaceHolder.h"

#include <QDateTime>
#include <QLocale>

namespace {

QString trimmedLineBreaks(QString text) {
    const auto isBreak = [](QChar c) { return c == QLatin1Char('\n') || c == QLatin1Char('\r'); };
    while (!text.isEmpty() && isBreak(text.front()))
        text.remove(0, 1);
    while (!text.isEmpty() && isBreak(text.back()))
        text.chop(1);
    return text;
}

QVLanguageRealm languageWithCode(const QString &code) {
    if (code.isEmpty())
        return {};
    const platform::ObjectStore store = platform::ObjectStore::defaultStore();
    if (store.isNull())
        return {};
    return QVLanguageRealm(store.objects(QVLanguageRealm::storeClassName())
                               .filter(platform::Key(QStringLiteral("languageString")) == code)
                               .first());
}

// The backend's detection reply: a code, or a list or object that holds one.
QString codeFromDetection(const QVariant &result) {
    if (result.typeId() == QMetaType::QString)
        return result.toString();
    if (result.canConvert<QVariantList>() && !result.toList().isEmpty())
        return codeFromDetection(result.toList().first());
    const QVariantMap map = result.toMap();
    for (const char *key : {"languageString", "language", "lang"})
        if (map.contains(QLatin1String(key)))
            return map.value(QLatin1String(key)).toString();
    return {};
}

} // namespace

QVMGenaralPopoverViewController::LanguageDetector QVMGenaralPopoverViewController::backendLanguageDetector() {
    return [](const QString &text, std::function<void(const QString &)> done) {
        QVRequestManager::instance().detectLanguageForSentences(
            {text}, {QLocale::system().name()},
            [done](const QVariant &result) { done(codeFromDetection(result)); },
            [done](const platform::Error &) { done({}); });
    };
}

void QVMGenaralPopoverViewController::translateCurrentText() {
    const QString text = isViewLoaded() ? m_originalTextView->toPlainText() : QString();
    if (!text.isEmpty())
        shouldTranslateText(text);
}

void QVMGenaralPopoverViewController::shouldTranslateText(const QString &text) {
    m_originalText = text;
    if (text.isEmpty())
        return;
    if (isNetworkAvailableNoMessage())
        translateOnline(text);
    else
        translateOfflineWithText(text);
}

void QVMGenaralPopoverViewController::translateWithText(const QString &text) {
    if (text.trimmed().isEmpty())
        return;
    view();
    m_typingTimer.stop();
    setTextQuietly(m_originalTextView, text);
    // Handed-over text takes the typed text's road: online only when the backend can be reached.
    shouldTranslateText(text);
}

void QVMGenaralPopoverViewController::translateOnline(const QString &text) {
    view();
    hideMessage();
    const QVTranslateSettings record = QVSettingsService::defaultSettings();
    Request request{++m_generation, text, record.languageFrom(), record.languageTo()};
    QPointer<QVMGenaralPopoverViewController> self(this);
    QVMGeneralServices::shared().online().translate(
        text, request.from.localeIdentifier(), request.to.localeIdentifier(),
        [self, request](const QVariantMap &reply) {
            if (self)
                self->onlineTranslationSucceeded(request, reply);
        },
        [self, request](const platform::Error &error) {
            if (self)
                self->showFailure(request, error);
        });
}

void QVMGenaralPopoverViewController::onlineTranslationSucceeded(const Request &request,
                                                                 const QVariantMap &reply) {
    const QString source = reply.value(QStringLiteral("originalText"), request.text).toString();
    const QString translation = trimmedLineBreaks(reply.value(QStringLiteral("translatedText")).toString());
    const QString translit = reply.value(QStringLiteral("transliterationTranslatedText")).toString();
    QVSettingsService::increaseTranslateWithSymbolsCount(source.size());
    if (request.generation == m_generation) {
        m_originalText = source;
        m_translatedText = translation;
        showResult(request, translation);
        const QVTranslateSettings record = QVSettingsService::defaultSettings();
        if (record.autoSpeak() && !record.languageTo().voiceLocale().isEmpty())
            onToSpeakButton(nullptr);
    }
    if (!request.from.isAuto()) {
        saveHistory(request, request.from, source, translation, translit);
        return;
    }
    // An automatic source is stored as the language it turned out to be.
    const QVLanguageRealm detected =
        languageWithCode(reply.value(QStringLiteral("detectedLanguage")).toString());
    if (!detected.isNull() || !m_detector) {
        saveHistory(request, detected.isNull() ? request.from : detected, source, translation, translit);
        return;
    }
    QPointer<QVMGenaralPopoverViewController> self(this);
    m_detector(source, [self, request, source, translation, translit](const QString &code) {
        if (!self)
            return;
        const QVLanguageRealm found = languageWithCode(code);
        self->saveHistory(request, found.isNull() ? request.from : found, source, translation, translit);
    });
}

void QVMGenaralPopoverViewController::saveHistory(const Request &request, const QVLanguageRealm &from,
                                                  const QString &source, const QString &translation,
                                                  const QString &translit) {
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const platform::Error error = QVDataManager::sharedInstance().saveTranslationWithIdTranslation(
        QVBaseTranslateModel::identifierForDate(now), 1, from, request.to, false, source, translation,
        QString(), translit, QVBaseTranslateModel::timeIntervalSinceReferenceDate(now));
    if (error)
        DevLogger::logError(error, QStringLiteral("saveTranslationWithIdTranslation:"));
}

void QVMGenaralPopoverViewController::showResult(const Request &request, const QString &translation) {
    Q_UNUSED(request)
    setTextQuietly(m_translateTextView, translation);
    updateUITranslateTextView();
}

void QVMGenaralPopoverViewController::showFailure(const Request &request, const platform::Error &error) {
    if (request.generation != m_generation)
        return;
    const QString text = error ? error.localizedDescription() : QString();
    showMessage(text.isEmpty() ? QVLocalizedString(QStringLiteral("_loc_error")) : text);
}

void QVMGenaralPopoverViewController::translateOfflineWithText(const QString &text) {
    view();
    hideMessage();
    QVMOfflineTranslator &offline = QVMGeneralServices::shared().offline();
    const QVTranslateSettings record = QVSettingsService::defaultSettings();
    Request request{++m_generation, text, record.languageFrom(), record.languageTo()};
    if (const platform::Error check = offline.checkOfflinePackagesForSelectedLanguages()) {
        DevLog(QStringLiteral("Message"));
        showMessage(check.localizedDescription().isEmpty() ? tr("No network and no offline language package")
                                                           : check.localizedDescription(),
                    check.code() == kErrorPackageCanBeDownloaded);
        return;
    }
    offline.setFromLanguage(request.from, request.to);
    QPointer<QVMGenaralPopoverViewController> self(this);
    offline.translatedTextFromText(text,
                                   [self, request](const QString &translated, const platform::Error &error) {
                                       if (self)
                                           self->offlineTranslationFinished(request, translated, error);
                                   });
}

void QVMGenaralPopoverViewController::offlineTranslationFinished(const Request &request,
                                                                 const QString &translated,
                                                                 const platform::Error &error) {
    if (error) {
        showFailure(request, error);
        return;
    }
    QVSettingsService::increaseTranslateWithSymbolsCount(request.text.size());
    if (request.generation == m_generation) {
        m_originalText = request.text;
        m_translatedText = translated;
        showResult(request, translated);
    }
    saveHistory(request, request.from, request.text, translated, QString());
}
