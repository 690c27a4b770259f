#include "ui/main/QVMGeneralViewController.h"

#include "ui/controls/QVMProgressHUD.h"
#include "ui/controls/QVMSpinner.h"
#include "ui/foundation/QVMUtils.h"

#include "core/DevLog.h"
#include "core/DevLogger.h"
#include "core/localization/QVLocalizedString.h"
#include "core/settings/QVSettingsService.h"
#include "services/documents/QVWebSocketManager.h"
#include "ui/main/QVMDocumentHandOff.h"

#include <QFileInfo>

// A whole document translated online, and the translated file opened.

namespace {

QString megabytes(qint64 bytes) {
    return QString::number(double(bytes) / (1024.0 * 1024.0), 'f', 1) + QStringLiteral(" MB");
}

void showError(const QString &message) {
    QVMUtils::showErrorAlertWithMessage(message);
}

} // namespace

void QVMGeneralViewController::translateDocumentWithType(const QString &type, const QUrl &url) {
    // Documents are translated online only, whichever road brought the file.
    if (!isNetworkAvailableNoMessage()) {
        showInternetUnavailablePopup();
        return;
    }
    const QFileInfo file(url.toLocalFile());
    if (!url.isLocalFile() || !file.isFile() || !file.isReadable()) {
        showError(QStringLiteral("%1 cannot be read.").arg(file.fileName()));
        return;
    }
    if (file.size() > kMaxDocumentBytes) {
        showError(QStringLiteral("%1 is too large to translate (%2); the limit is %3.")
                      .arg(file.fileName(), megabytes(file.size()), megabytes(kMaxDocumentBytes)));
        return;
    }
    trackEvent(QStringLiteral("Translate file Start"));
    const QVTranslateSettings record = QVSettingsService::defaultSettings();
    qint64 limit = record.isNull() ? 0 : record.remoteSettings().fileTranslationCharacterLimitRequest();
    if (limit <= 0)
        limit = 50000;

    QWidget *target = view();
    QVMProgressHUD *hud = qobject_cast<QVMProgressHUD *>(QVMProgressOverlay::HUDForView(target));
    if (!hud)
        hud = QVMSpinner::showProgressWithCancel(target, this);
    if (hud) {
        hud->addOwner(this);
        hud->setProgress(0.0f);
        hud->setLabelText(QVLocalizedString(QStringLiteral("_loc_translate_converting_file")));
    }
    QPointer<QVMGeneralViewController> self(this);
    QPointer<QWidget> overlayView(target);
    const auto hide = [self, overlayView] {
        if (self && overlayView)
            QVMSpinner::hideProgress(overlayView, self);
    };
    if (hud) {
        hud->setButtonAction([self, hide] {
            QVWebSocketManager::sharedInstance().resetData();
            hide();
            if (self)
                self->trackEvent(QStringLiteral("Translate file \u0421lose"));
        });
    }
    QVWebSocketManager::sharedInstance().translateFileWithUrl(
        url, file.completeBaseName(), type, QString::number(limit),
        [overlayView](const QVariant &value) {
            if (!overlayView)
                return;
            auto *progressHud = qobject_cast<QVMProgressHUD *>(QVMProgressOverlay::HUDForView(overlayView));
            if (!progressHud)
                return;
            const double percent = qBound(0.0, value.toDouble(), 100.0);
            progressHud->setLabelText(QVLocalizedString(QStringLiteral("_loc_translate_translating_file")) +
                                      QStringLiteral(" %1 %").arg(int(percent)));
            progressHud->setProgress(float(percent / 100.0));
        },
        [self, hide](const QString &fileURL) {
            hide();
            if (!self)
                return;
            self->trackEvent(QStringLiteral("Translate file Completed"));
            const QUrl downloaded(fileURL);
            const QString path = downloaded.isLocalFile() ? downloaded.toLocalFile() : fileURL;
            DevLog(QStringLiteral("[file] translated %@"), QFileInfo(path).fileName());
            self->showDocumentNote(QStringLiteral("The translated document is saved as %1").arg(path));
            self->openTranslatedDocument(path);
        },
        [self, hide](const platform::Error &error) {
            hide();
            if (!self)
                return;
            self->trackEvent(QStringLiteral("Translate file Failed"));
            const QString description = error.isNull() ? QString() : error.localizedDescription();
            self->trackEvent(QStringLiteral("File error"), {{QStringLiteral("error"), description}});
            if (!self->isNetworkAvailableNoMessage()) {
                // The connection went during the job: say so rather than how the socket ended.
                self->showInternetUnavailablePopup();
                return;
            }
            showError(description.isEmpty()
                          ? QStringLiteral("The document could not be translated.")
                          : QStringLiteral("The document could not be translated: %1").arg(description));
        });
}

void QVMGeneralViewController::openTranslatedDocument(const QString &path) {
    m_handOff->open(path);
}
