#include "QVMPhotoTranslator.h"

#include "services/photo/QVPhotoService.h"

namespace {

class PhotoServiceTranslator : public QVMPhotoTranslator {
public:
    void translate(const QImage &picture, const QVLanguageRealm &from, const QVLanguageRealm &to,
                   Progress progress, Success success, Failure failure) override {
        m_service.setLanguages(from, to);
        m_service.translatePhoto(picture, QSize(1024, 1024), true, {}, std::move(progress),
                                 std::move(success), std::move(failure));
    }
    void cancel() override { m_service.cancel(); }

private:
    QVPhotoService m_service;
};

} // namespace

bool QVMPhotoTranslator::isCancellation(const platform::Error &error) {
    return !error.isNull() && error.code() == QVPhotoService::Cancelled &&
           (error.domain() == QLatin1String(QVPhotoService::kErrorDomain) ||
            error.domain() == QLatin1String("NSURLErrorDomain"));
}

std::unique_ptr<QVMPhotoTranslator> QVMPhotoTranslator::makeDefault() {
    return std::make_unique<PhotoServiceTranslator>();
}
