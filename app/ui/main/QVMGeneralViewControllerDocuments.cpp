#include "ui/main/QVMGeneralViewController.h"

#include "ui/controls/PaddingTextView.h"
#include "ui/foundation/QVMInterfaceFactory.h"
#include "ui/foundation/QVMInterfaceHooks.h"
#include "ui/foundation/QVMUtils.h"
#include "ui/main/QVMDocumentHandOff.h"
#include "ui/main/QVMFileKinds.h"
#include "ui/main/QVMTextFileLoader.h"
#include "ui/panels/QVMOpenPanel.h"
#include "ui/panels/QVMResultWriter.h"
#include "ui/panels/QVMSavePanel.h"

#include "core/DevLogger.h"
#include "core/localization/QVLocalizedString.h"
#include "core/settings/QVSettingsService.h"
#include "platform/Format.h"
#include "services/documents/QVPdfModule.h"
#include "services/documents/QVWebSocketManager.h"
#include "services/network/QVRequestManager.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QMainWindow>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTextDocument>

#include <memory>

namespace {

QString localPath(const QUrl &url) {
    return url.isLocalFile() ? url.toLocalFile() : url.path();
}

void showError(const QString &message) {
    QVMUtils::showErrorAlertWithMessage(message);
}

const QStringList &conversionFormats() {
    static const QStringList formats{QString(), QString(), QStringLiteral("docx"), QStringLiteral("odt"),
                                     QStringLiteral("html")};
    return formats;
}

} // namespace

void QVMGeneralViewController::installDocumentHooks() {
    QVMInterfaceHooks &hooks = QVMInterfaceHooks::shared();
    hooks.onOpenFile = [](QVMGeneralViewController *view) { view->onOpenFile(); };
    hooks.openDroppedFile = [](QVMGeneralViewController *view, const QString &path) {
        view->textViewWasDraggedFile(path, view->m_saveDirection == 1 ? view->m_fromText : view->m_toText);
    };
}

void QVMGeneralViewController::onOpenFile() {
    if (!isNetworkAvailableNoMessage()) {
        showInternetUnavailablePopup();
        return;
    }
    trackEvent(QStringLiteral("Click File button"),
               {{QStringLiteral("panel_language_from"), QVSettingsService::languageFrom()}});
    showOpenPanelWithFileType(1, true);
}

// No network check: without one the photo service recognises and translates the picture offline.
void QVMGeneralViewController::onOpenPhoto() {
    showOpenPanelWithFileType(2, true);
}

void QVMGeneralViewController::onOpenTranslateWebPages() {
    if (!isNetworkAvailableNoMessage()) {
        showInternetUnavailablePopup();
        return;
    }
    trackEvent(QStringLiteral("Click Web button"),
               {{QStringLiteral("panel_language_from"), QVSettingsService::languageFrom()}});
    if (m_webPageController) {
        // One web window: bring it forward rather than opening a second.
        if (auto *controller = qobject_cast<QVMBaseVC *>(m_webPageController.data())) {
            controller->view()->window()->raise();
            controller->view()->window()->activateWindow();
            return;
        }
    }
    const platform::Error error = performSegueWithIdentifier(QString::fromLatin1(kWebPageSegue), this);
    if (!error.isNull())
        DevLogger::logError(error, QStringLiteral("onOpenTranslateWebPages"));
}

void QVMGeneralViewController::showOpenPanelWithFileType(uint type) {
    showOpenPanelWithFileType(type, type == 0);
}

void QVMGeneralViewController::showOpenPanelWithFileType(uint type, bool includeAll) {
    auto *panel =
        QVMInterfaceFactory::shared().instantiateNib<QVMOpenPanel>(QStringLiteral("QVMOpenPanel"), view());
    if (!panel)
        panel = new QVMOpenPanel(view());
    QPointer<QVMGeneralViewController> self(this);
    panel->beginWithFileTypes(
        QVMFileKinds::fileTypesForOpenPanel(type), includeAll, [self](int response, const QUrl &url) {
            if (!self)
                return;
            if (response != QVMOpenPanel::kResponseOK) {
                self->trackEvent(QStringLiteral("Open file - cancel"));
                return;
            }
            self->trackEvent(QStringLiteral("Open file"),
                             {{QStringLiteral("format"), QFileInfo(url.path()).suffix()}});
            self->openFileAskingToSave(url);
        });
}

// A translation already in the history is not lost by opening another file: no question then.
void QVMGeneralViewController::openFileAskingToSave(const QUrl &url) {
    if (hasUnsavedPanels())
        showSaveDialogWithUrl(url);
    else
        openFileWithUrl(url);
}

void QVMGeneralViewController::showSaveDialogWithUrl(const QUrl &url) {
    QPointer<QVMGeneralViewController> self(this);
    QVMUtils::showAlertWithTitle(
        QVLocalizedString(QStringLiteral("_loc_alert_title_not_saved")), QString(),
        QVLocalizedString(QStringLiteral("_loc_menu_save")),
        [self, url] {
            if (self)
                self->showWindowsSave([self, url] {
                    if (self)
                        self->openFileWithUrl(url);
                });
        },
        QVLocalizedString(QStringLiteral("_loc_close")), {},
        QVLocalizedString(QStringLiteral("_loc_alert_button_dont_save")),
        [self, url] {
            if (self)
                self->openFileWithUrl(url);
        });
}

bool QVMGeneralViewController::openFileWithUrl(const QUrl &url) {
    const QString path = localPath(url);
    switch (QVMFileKinds::kindOfFile(path)) {
    case QVMFileKinds::Kind::Text:
        openTextFile(path);
        return true;
    case QVMFileKinds::Kind::Document:
        translateDocumentWithType(QVMFileKinds::lowerExtension(path), url);
        return true;
    case QVMFileKinds::Kind::Picture:
        openPicture(url);
        return true;
    case QVMFileKinds::Kind::Unsupported:
        break;
    }
    showError(tr(kUnsupportedType));
    return false;
}

void QVMGeneralViewController::openTextFile(const QString &path) {
    QPointer<QVMGeneralViewController> self(this);
    m_textFiles->load(path, [self](const QString &text, const platform::Error &error) {
        if (!self)
            return;
        if (error) {
            showError(error.localizedDescription());
            return;
        }
        // A text and its own translation: the one shown before goes with its text.
        self->clear();
        self->m_fromText->setPlainText(text);
        self->m_fromText->setFocus();
        // Here, whichever window is open: the text is the main view's.
        self->shouldTranslateText(text);
    });
}

bool QVMGeneralViewController::isLoadingTextFile() const {
    return m_textFiles->isLoading();
}

void QVMGeneralViewController::textViewWasDraggedFile(const QString &path, PaddingTextView *textView) {
    Q_UNUSED(textView)
    openFileAskingToSave(QUrl::fromLocalFile(path));
}

void QVMGeneralViewController::openStatusItemDroppedFiles(const QStringList &paths) {
    if (paths.isEmpty())
        return;
    if (paths.size() > 1)
        showDocumentNote(tr(kOnlyFirstFile));
    const QUrl url = QUrl::fromLocalFile(paths.first());
    if (QVMFileKinds::kindOfFile(paths.first()) == QVMFileKinds::Kind::Unsupported)
        DevLogger::logNonFatal(QStringLiteral("Extension not supported"),
                               {{QStringLiteral("extension"), QVMFileKinds::lowerExtension(paths.first())}});
    openFileWithUrl(url);
}

void QVMGeneralViewController::showDocumentNote(const QString &text) {
    m_documentNote = text;
    if (auto *window = qobject_cast<QMainWindow *>(view()->window()))
        window->statusBar()->showMessage(text, 20000);
}

void QVMGeneralViewController::openPicture(const QUrl &url) {
    // Only the header is read here; the photo window decodes the picture off this thread.
    QImageReader reader(url.toLocalFile());
    if (!url.isLocalFile() || !reader.canRead()) {
        showError(QString::fromLatin1(kUnreadablePicture));
        return;
    }
    trackEvent(QStringLiteral("Click Image button"),
               {{QStringLiteral("panel_language_from"), QVSettingsService::languageFrom()}});
    if (auto *previous = qobject_cast<QVMBaseVC *>(m_photoController.data()))
        previous->view()->close(); // one photo window: the new picture replaces the old
    m_pendingPictureUrl = url;
    const platform::Error error = performSegueWithIdentifier(QString::fromLatin1(kPhotoSegue), this);
    m_pendingPictureUrl.clear();
    if (!error.isNull())
        DevLogger::logError(error, QStringLiteral("openPicture"));
}

void QVMGeneralViewController::prepareForSegue(const QString &identifier, QObject *destination,
                                               QObject *sender) {
    Q_UNUSED(sender)
    if (identifier == QLatin1String(kPhotoSegue)) {
        QMetaObject::invokeMethod(destination, "setUrl", Q_ARG(QUrl, m_pendingPictureUrl));
        QMetaObject::invokeMethod(destination, "setParentView", Q_ARG(QObject *, this));
        setPhotoRecognitionController(destination);
    } else if (identifier == QLatin1String(kWebPageSegue)) {
        setWebPageController(destination);
    }
}

void QVMGeneralViewController::showWindowsSave(std::function<void()> afterSaved) {
    auto *panel =
        QVMInterfaceFactory::shared().instantiateNib<QVMSavePanel>(QStringLiteral("QVMSavePanel"), view());
    if (!panel)
        panel = new QVMSavePanel(view());
    const QVTranslateSettings record = QVSettingsService::defaultSettings();
    const QString title = record.isNull() ? QString() : record.languageTo().languageName();
    QPointer<QVMGeneralViewController> self(this);
    panel->beginWithTitle(title, [self, afterSaved](int response, int format, const QUrl &url) {
        if (!self)
            return;
        if (response != QVMSavePanel::kResponseOK) {
            self->trackEvent(QStringLiteral("Save file- cancel"));
            return;
        }
        self->trackEvent(QStringLiteral("Save file"),
                         {{QStringLiteral("format"), QFileInfo(url.path()).suffix()}});
        const platform::Error error =
            self->saveResultToUrl(format, url, [afterSaved](const platform::Error &result) {
                if (result.isNull() && afterSaved)
                    afterSaved();
            });
        if (!error.isNull())
            showError(error.localizedDescription());
    });
}

platform::Error
QVMGeneralViewController::saveResultToUrl(int formatIndex, const QUrl &url,
                                          std::function<void(const platform::Error &)> completion) {
    const QString path = url.toLocalFile();
    platform::Error error;
    if (formatIndex == 0) {
        error = QVMResultWriter::writeRtf(*m_toText->document(), path);
    } else if (formatIndex == 1) {
        // Written off this thread; the spinner shows meanwhile and the result comes as a
        // conversion's does.
        showSpinner(true);
        QPointer<QVMGeneralViewController> self(this);
        QVMResultWriter::writePdfInBackground(
            *m_toText->document(), path, this, [self, completion](const platform::Error &result) {
                self->showSpinner(false);
                if (!result.isNull()) {
                    DevLogger::logError(result, QStringLiteral("Write returned error"));
                    showError(result.localizedDescription());
                }
                if (completion)
                    completion(result);
            });
        return {};
    } else if (formatIndex >= 2 && formatIndex <= 4) {
        // The RTF goes up from a file of its own: the chosen path gets only converted bytes.
        auto folder = std::make_shared<QTemporaryDir>();
        const QString rtfPath = folder->filePath(QStringLiteral("Translation.rtf"));
        error = folder->isValid()
                    ? QVMResultWriter::writeRtf(*m_toText->document(), rtfPath)
                    : QVMResultWriter::fileError(rtfPath, QStringLiteral("no temporary folder"));
        if (error.isNull()) {
            convertDocumentWithUrl(QUrl::fromLocalFile(rtfPath), conversionFormats().at(formatIndex), url,
                                   [folder, completion](const platform::Error &result) {
                                       if (completion)
                                           completion(result);
                                   });
            return {};
        }
    } else {
        error = QVMResultWriter::fileError(path, QStringLiteral("unknown format"));
    }
    if (completion)
        completion(error);
    return error;
}

void QVMGeneralViewController::convertDocumentWithUrl(
    const QUrl &rtfUrl, const QString &format, const QUrl &target,
    std::function<void(const platform::Error &)> completion) {
    showSpinner(true);
    QPointer<QVMGeneralViewController> self(this);
    const QString path = target.toLocalFile();
    QVRequestManager::instance().convertDocument(
        rtfUrl, format,
        [self, path, completion](const QByteArray &data) {
            const platform::Error error = QVMResultWriter::writeData(data, path);
            if (!error.isNull()) {
                DevLogger::logError(error, QStringLiteral("Write returned error"));
                showError(error.localizedDescription());
            }
            if (self)
                self->showSpinner(false);
            if (completion)
                completion(error);
        },
        [self, path, completion](const platform::Error &error) {
            if (!error.isNull())
                DevLogger::logError(error, QStringLiteral("convertDocument"));
            if (!self)
                return;
            self->showSpinner(false);
            const QString rtfPath = QVMSavePanel::pathWithFormat(path, 0);
            const QString reason = error.isNull() ? QString() : error.localizedDescription();
            // The alert names the file it offers to write; an existing one is replaced only when agreed.
            QString message =
                platform::format(QVLocalizedString(QStringLiteral("_loc_alert_convert_failed_save_rtf")),
                                 QFileInfo(rtfPath).fileName());
            if (!reason.isEmpty())
                message += QStringLiteral("\n\n") + reason;
            QVMUtils::showAlertWithTitle(QVLocalizedString(QStringLiteral("_loc_alert_title_error")), message,
                                         QVLocalizedString(QStringLiteral("_loc_button_save_as_rtf")),
                                         [self, rtfPath] {
                                             if (!self || !QVMSavePanel::confirmReplace(rtfPath))
                                                 return;
                                             const platform::Error rtfError = QVMResultWriter::writeRtf(
                                                 *self->m_toText->document(), rtfPath);
                                             if (!rtfError.isNull())
                                                 showError(rtfError.localizedDescription());
                                         },
                                         QVLocalizedString(QStringLiteral("_loc_close")), {});
            if (completion)
                completion(error.isNull() ? platform::Error(QStringLiteral("com.translator"), 400,
                                                            QStringLiteral("The conversion failed"))
                                          : error);
        });
}

std::unique_ptr<QTextDocument> QVMGeneralViewController::printableDocument() const {
    return QVMResultWriter::printableCopy(*m_toText->document());
}

void QVMGeneralViewController::showWindowsPrint() {
    // Printing loads with the PDF module, the first time it is asked for.
    if (m_printLoading)
        return;
    m_printLoading = true;
    const bool loaded = QVPdfModule::isLoaded();
    if (!loaded)
        showSpinner(true);
    QVPdfModule::load(this, [this, loaded] {
        m_printLoading = false;
        if (!loaded)
            showSpinner(false);
        QVMResultWriter::print(*m_toText->document(), view());
    });
}

bool QVMGeneralViewController::setAttributedTextToTextView(QTextEdit *textView, const QUrl &fileUrl,
                                                           const QString &options) {
    QFile file(fileUrl.toLocalFile());
    if (!textView || !file.open(QIODevice::ReadOnly))
        return false;
    const QString text = QString::fromUtf8(file.readAll());
    if (options == QLatin1String("html"))
        textView->setHtml(text);
    else if (options == QLatin1String("markdown"))
        textView->setMarkdown(text);
    else
        textView->setPlainText(text);
    return true;
}
