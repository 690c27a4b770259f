#include "QVMLanguageTouchBarController.h"

#include "core/DevLog.h"

QVMLanguageTouchBarController::QVMLanguageTouchBarController(QObject *parent) : QObject(parent) {
    DevLog(QStringLiteral("[VC] %@ %@"), QStringLiteral("viewDidLoad"),
           QStringLiteral("QVMLanguageTouchBarController"));
}

QVMLanguageTouchBarController::~QVMLanguageTouchBarController() {
    DevLog(QStringLiteral("[VC] %@ %@"), QStringLiteral("dealloc"),
           QStringLiteral("QVMLanguageTouchBarController"));
}

void QVMLanguageTouchBarController::updateDataWithDataSource(const FVCompositeArray &dataSource) {
    m_dataSource = dataSource;
    emit dataReloaded();
}

QVMLanguageTouchBarController::Item QVMLanguageTouchBarController::itemAtIndex(int index) const {
    if (index < 0 || index >= numberOfItems())
        return {};
    if (m_dataSource.isHeaderAtIndex(index)) {
        const OTHeader header = m_dataSource.headerAtIndex(index);
        return {QString::fromLatin1(kTextItem),
                header.isShow() ? header.headerTitle() : QString(),
                {},
                kHeaderFontSize};
    }
    const QVLanguageRealm language = m_dataSource.languageAtIndex(index);
    return {QString::fromLatin1(kImageAndTextItem), language.languageName(), language.imageFile(), 0};
}

void QVMLanguageTouchBarController::selectItemAtIndex(int index) {
    if (index < 0 || index >= numberOfItems() || m_dataSource.isHeaderAtIndex(index))
        return;
    const QVLanguageRealm language = m_dataSource.languageAtIndex(index);
    if (m_delegate && !language.isNull())
        m_delegate->didSelectItem(language, this);
}
