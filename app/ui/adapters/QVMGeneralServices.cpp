#include "ui/adapters/QVMGeneralServices.h"

QVMGeneralServices &QVMGeneralServices::shared() {
    static QVMGeneralServices services;
    return services;
}

QVMGeneralServices::QVMGeneralServices() {
    restoreDefaults();
}

void QVMGeneralServices::restoreDefaults() {
    m_online = makeOnline();
    m_offline = makeOffline();
    m_analysis = makeAnalysis();
    m_speech = makeSpeech();
    m_analytics = makeAnalytics();
    m_lexical = makeLexicalMeaning();
}

void QVMGeneralServices::setOnline(std::shared_ptr<QVMOnlineTranslator> service) {
    m_online = service ? std::move(service) : makeOnline();
}

void QVMGeneralServices::setOffline(std::shared_ptr<QVMOfflineTranslator> service) {
    m_offline = service ? std::move(service) : makeOffline();
}

void QVMGeneralServices::setAnalysis(std::shared_ptr<QVMTextAnalysis> service) {
    m_analysis = service ? std::move(service) : makeAnalysis();
}

void QVMGeneralServices::setSpeech(std::shared_ptr<QVMSpeech> service) {
    m_speech = service ? std::move(service) : makeSpeech();
}

void QVMGeneralServices::setAnalytics(std::shared_ptr<QVMAnalytics> service) {
    m_analytics = service ? std::move(service) : makeAnalytics();
}

void QVMGeneralServices::setLexicalMeaning(std::shared_ptr<QVMLexicalMeaningRelay> service) {
    m_lexical = service ? std::move(service) : makeLexicalMeaning();
}
