#include "QVMPhotoRecognitionController.h"

#include "QVMPhotoFailureText.h"
#include "QVMPhotoPlacement.h"

#include "core/DevLog.h"
#include "core/DevLogger.h"
#include "core/history/QVDataManager.h"
#include "core/settings/QVSettingsService.h"
#include "services/analytics/QVAnalyticsManager.h"
#include "services/favourites/QVFavoritesSync.h"
#include "services/languages/QVLanguageService.h"
#include "services/ocr/QVRecognitionOperation.h"
#include "services/offline/QVTranslatorError.h"
#include "services/photo/QVPhotoLanguages.h"
#include "ui/adapters/QVMGeneralServices.h"
#include "ui/controls/QVMProgressHUD.h"
#include "ui/controls/QVMSpinner.h"
#include "ui/foundation/QVMInterfaceFactory.h"
#include "ui/foundation/QVMInterfaceHooks.h"
#include "ui/foundation/QVMUtils.h"
#include "ui/main/QVMGeneralViewController.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QHBoxLayout>
#include <QImageReader>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QShortcut>
#include <QSlider>
#include <QThreadPool>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QVMPhotoTranslator::Factory &translatorFactory() {
    static QVMPhotoTranslator::Factory factory;
    return factory;
}

// Seconds since 2001-01-01 00:00:00 UTC, the history's reference date.
double referenceSeconds(const QDateTime &time) {
    static const QDateTime reference(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC);
    return double(reference.msecsTo(time)) / 1000.0;
}

} // namespace

QVMPhotoRecognitionController::QVMPhotoRecognitionController(QObject *parent) : QVMBaseVC(parent) {
    m_trackZoomTimer.setSingleShot(true);
    m_trackZoomTimer.setInterval(kTrackZoomDelayMs);
    connect(&m_trackZoomTimer, &QTimer::timeout, this, &QVMPhotoRecognitionController::trackZoom);
}

QVMPhotoRecognitionController::~QVMPhotoRecognitionController() {
    m_token.invalidate();
    ++m_request;
    if (m_translator)
        m_translator->cancel();
}

void QVMPhotoRecognitionController::setParentView(QObject *view) {
    m_parentController = qobject_cast<QVMGeneralViewController *>(view);
}

void QVMPhotoRecognitionController::setTranslatorFactory(QVMPhotoTranslator::Factory factory) {
    translatorFactory() = std::move(factory);
}

QWidget *QVMPhotoRecognitionController::loadView() {
    auto *root = new QWidget;
    root->setWindowTitle(QString::fromLatin1(kTitle));
    root->setObjectName(QStringLiteral("QVMPhotoRecognitionController"));
    root->resize(760, 620);
    auto *layout = new QVBoxLayout(root);

    m_imageView = new QVMPhotoImageView;
    m_imageView->setAlignment(Qt::AlignCenter);
    m_imageView->setAccessibleName(tr("Picture"));
    m_scrollView = new QScrollArea;
    m_scrollView->setWidget(m_imageView);
    m_scrollView->setWidgetResizable(false);
    m_scrollView->setAlignment(Qt::AlignCenter);
    // Arrow keys pan a zoomed picture, so the keyboard needs a stop here.
    m_scrollView->setFocusPolicy(Qt::StrongFocus);
    m_scrollView->setAccessibleName(tr("Picture"));
    m_scrollView->setObjectName(QStringLiteral("photoPicture"));
    m_scrollView->setToolTip(tr("The picture, with its translation once it is ready"));
    layout->addWidget(m_scrollView, 1);

    auto *errorRow = new QHBoxLayout;
    m_errorLabel = new QLabel;
    // The line carries the server's and the engine's own words: never markup.
    m_errorLabel->setTextFormat(Qt::PlainText);
    m_errorLabel->setWordWrap(true);
    m_errorLabel->setAccessibleName(tr("Problem"));
    m_errorLabel->setToolTip(tr("What went wrong"));
    m_retryButton = new QPushButton(tr("Try again"));
    m_retryButton->setAccessibleName(tr("Try again"));
    m_retryButton->setToolTip(tr("Translate the picture again"));
    errorRow->addWidget(m_errorLabel, 1);
    errorRow->addWidget(m_retryButton);
    layout->addLayout(errorRow);
    m_errorLabel->hide();
    m_retryButton->hide();

    auto *bar = new QHBoxLayout;
    auto *languageLabel = new QLabel(tr("Text in"));
    m_languageBox = new QComboBox;
    m_languageBox->setObjectName(QStringLiteral("textLanguage"));
    m_languageBox->setAccessibleName(tr("Language of the text in the picture"));
    m_languageBox->setToolTip(
        tr("The language the picture's text is written in: it is read in this language"));
    m_languageBox->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    languageLabel->setBuddy(m_languageBox);
    auto *zoomLabel = new QLabel(tr("Zoom"));
    m_slider = new QSlider(Qt::Horizontal);
    m_slider->setRange(kZoomMinimum, kZoomMaximum);
    m_slider->setSingleStep(kZoomStep);
    m_slider->setPageStep(kZoomStep * 5);
    m_slider->setValue(100);
    m_slider->setAccessibleName(tr("Zoom"));
    m_slider->setToolTip(tr("Zoom, in percent of the picture's size (Ctrl++ and Ctrl+-)"));
    zoomLabel->setBuddy(m_slider);
    m_copyButton = new QToolButton;
    m_copyButton->setText(tr("Copy"));
    m_copyButton->setAccessibleName(tr("Copy"));
    m_favoriteButton = new QToolButton;
    m_favoriteButton->setText(QStringLiteral("\u2606"));
    m_favoriteButton->setCheckable(true);
    m_favoriteButton->setAccessibleName(tr("Favourite"));
    m_shareButton = new QPushButton(tr("Use in main window"));
    m_shareButton->setAccessibleName(tr("Use in main window"));
    m_closeButton = new QPushButton(tr("Close"));
    m_closeButton->setAccessibleName(tr("Close"));
    m_closeButton->setToolTip(tr("Close this window (Escape)"));
    for (QWidget *button : {static_cast<QWidget *>(m_copyButton), static_cast<QWidget *>(m_favoriteButton)})
        button->setFocusPolicy(Qt::StrongFocus);
    bar->addWidget(languageLabel);
    bar->addWidget(m_languageBox);
    bar->addWidget(zoomLabel);
    bar->addWidget(m_slider, 1);
    bar->addWidget(m_copyButton);
    bar->addWidget(m_favoriteButton);
    bar->addWidget(m_shareButton);
    bar->addWidget(m_closeButton);
    layout->addLayout(bar);

    QWidget::setTabOrder(m_scrollView, m_retryButton);
    QWidget::setTabOrder(m_retryButton, m_languageBox);
    QWidget::setTabOrder(m_languageBox, m_slider);
    QWidget::setTabOrder(m_slider, m_copyButton);
    QWidget::setTabOrder(m_copyButton, m_favoriteButton);
    QWidget::setTabOrder(m_favoriteButton, m_shareButton);
    QWidget::setTabOrder(m_shareButton, m_closeButton);
    return root;
}

void QVMPhotoRecognitionController::viewDidLoad() {
    QWidget *root = view();
    root->setAttribute(Qt::WA_DeleteOnClose);
    root->installEventFilter(this);
    m_scrollView->installEventFilter(this);
    markPictureFocus();
    // The window goes with its controller: the main window must not keep handing it requests.
    connect(root, &QObject::destroyed, this, &QObject::deleteLater);

    connect(m_slider, &QSlider::valueChanged, this, &QVMPhotoRecognitionController::onZoom);
    connect(m_copyButton, &QToolButton::clicked, this, &QVMPhotoRecognitionController::onCopyText);
    connect(m_favoriteButton, &QToolButton::clicked, this, &QVMPhotoRecognitionController::onFavorite);
    connect(m_shareButton, &QPushButton::clicked, this, &QVMPhotoRecognitionController::onShare);
    connect(m_closeButton, &QPushButton::clicked, this, &QVMPhotoRecognitionController::onClose);
    connect(m_retryButton, &QPushButton::clicked, this, &QVMPhotoRecognitionController::onTransleteImage);
    connect(m_languageBox, qOverload<int>(&QComboBox::activated), this, [this](int index) {
        const QString locale = m_languageBox->itemData(index).toString();
        setTextLanguage(QVLanguageService::languageForLocaleIdentifier(locale));
    });
    auto *zoomIn = new QShortcut(QKeySequence::ZoomIn, root);
    connect(zoomIn, &QShortcut::activated, this,
            [this] { m_slider->setValue(m_slider->value() + kZoomStep); });
    auto *zoomOut = new QShortcut(QKeySequence::ZoomOut, root);
    connect(zoomOut, &QShortcut::activated, this,
            [this] { m_slider->setValue(m_slider->value() - kZoomStep); });
    auto *copy = new QShortcut(QKeySequence::Copy, root);
    connect(copy, &QShortcut::activated, this, &QVMPhotoRecognitionController::onCopyText);

    fillLanguages();
    updateButtons();
    loadPicture();
}

void QVMPhotoRecognitionController::viewWillAppear() {
    if (!std::exchange(m_placed, true))
        QVMPhotoPlacement::placeOnScreen(view());
    const QVTranslateSettings record = QVSettingsService::defaultSettings();
    if (record.isNull() || !record.isManaged())
        return;
    QPointer<QVMPhotoRecognitionController> self(this);
    m_token = record.observe(
        [self](const platform::ObjectChange &change) {
            if (!self || change.deleted)
                return;
            if (change.properties.contains(QStringLiteral("languageFrom")) ||
                change.properties.contains(QStringLiteral("languageTo"))) {
                // A new source may be the picture's language: the choice starts again from it.
                self->m_textLanguage = QVLanguageRealm();
                self->fillLanguages();
                self->onTransleteImage();
            }
        },
        {QStringLiteral("languageFrom"), QStringLiteral("languageTo")});
}

void QVMPhotoRecognitionController::viewDidAppear() {
    QVAnalyticsManager::trackViewsFromArray({QString::fromLatin1(kScreenName)});
    m_slider->setFocus();
    // The window manager's real frame is known once the window is up: still inside the free area?
    const QScreen *screen = view()->screen();
    if (screen && !screen->availableGeometry().contains(view()->frameGeometry()))
        QVMPhotoPlacement::placeOnScreen(view());
}

void QVMPhotoRecognitionController::fillLanguages() {
    const bool online = isNetworkAvailableNoMessage();
    const QVTranslateSettings record = QVSettingsService::defaultSettings();
    if (m_textLanguage.isNull() && !record.isNull())
        m_textLanguage = QVPhotoLanguages::defaultTextLanguage(record.languageFrom(), online);
    const QSignalBlocker quiet(m_languageBox);
    m_languageBox->clear();
    // Full names: two variants of a language ("English (UK)", "English (US)") stay apart.
    for (const QVLanguageRealm &language : QVPhotoLanguages::choices(m_textLanguage, online)) {
        const QString name =
            language.languageName().isEmpty() ? language.localeIdentifier() : language.languageName();
        m_languageBox->addItem(name, language.localeIdentifier());
        m_languageBox->setItemData(m_languageBox->count() - 1, QVMUtils::plainToolTip(name), Qt::ToolTipRole);
    }
    if (!m_textLanguage.isNull())
        m_languageBox->setCurrentIndex(m_languageBox->findData(m_textLanguage.localeIdentifier()));
}

void QVMPhotoRecognitionController::setTextLanguage(const QVLanguageRealm &language) {
    if (language.isNull() || language.localeIdentifier() == m_textLanguage.localeIdentifier())
        return;
    m_textLanguage = language;
    fillLanguages();
    onTransleteImage();
}

void QVMPhotoRecognitionController::viewWillDisappear() {
    m_token.invalidate();
}

// The picture's frame shows when the keyboard is on it (the style draws no focus for a scroll area),
// in the live palette's text colour. A plain frame, not a style sheet: a sheet keeps the palette of
// the moment it was set, and the picture's background would stay dark after a switch to light.
void QVMPhotoRecognitionController::markPictureFocus() {
    const bool focused = m_scrollView->hasFocus();
    m_scrollView->setFrameShape(QFrame::Box);
    m_scrollView->setFrameShadow(QFrame::Plain);
    m_scrollView->setLineWidth(focused ? 2 : 1);
    m_scrollView->setForegroundRole(focused ? QPalette::Text : QPalette::Mid);
}

bool QVMPhotoRecognitionController::eventFilter(QObject *watched, QEvent *event) {
    if (isViewLoaded() && watched == m_scrollView &&
        (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut))
        markPictureFocus();
    if (isViewLoaded() && watched == view() && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
        if (isTranslating() || m_translateWhenLoaded)
            cancelTranslation();
        else
            view()->close();
        return true;
    }
    return QVMBaseVC::eventFilter(watched, event);
}

QWidget *QVMPhotoRecognitionController::overlayView() const {
    return m_scrollView;
}

void QVMPhotoRecognitionController::loadPicture() {
    m_loadingPicture = true;
    m_translateWhenLoaded = true;
    // Large photographs take a while to decode: the window and its overlay show meanwhile.
    if (QVMProgressHUD *hud = QVMSpinner::showProgressWithCancel(overlayView(), this))
        hud->setButtonAction([this] { cancelTranslation(); });
    const QString path = m_url.isLocalFile() ? m_url.toLocalFile() : QString();
    QPointer<QVMPhotoRecognitionController> self(this);
    QThreadPool::globalInstance()->start([path, self] {
        QImage picture;
        if (!path.isEmpty()) {
            QImageReader reader(path);
            reader.setAutoTransform(true);
            picture = reader.read();
            // The display format, made here: converting a large photograph takes a while.
            if (!picture.isNull())
                picture = picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        }
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, picture] {
                if (self)
                    self->pictureRead(picture);
            },
            Qt::QueuedConnection);
    });
}

void QVMPhotoRecognitionController::pictureRead(const QImage &picture) {
    m_loadingPicture = false;
    const bool readable = !picture.isNull() && picture.width() > 0 && picture.height() > 0;
    if (readable) {
        m_photo = picture;
        onZoom();
        m_trackZoomTimer.stop(); // showing the picture is not a zoom of the user's
    }
    const bool translate = m_translateWhenLoaded;
    m_translateWhenLoaded = false;
    if (!readable) {
        endRequest();
        showError(QString::fromLatin1(kUnreadablePicture), false);
    } else if (translate) {
        onTransleteImage();
    } else {
        endRequest();
    }
    updateButtons();
    emit pictureLoaded(readable);
}

void QVMPhotoRecognitionController::onTransleteImage() {
    if (m_loadingPicture) {
        m_translateWhenLoaded = true;
        return;
    }
    if (m_photo.isNull())
        return; // an unreadable picture is never sent
    if (m_translator) {
        ++m_request; // the old request's end must show nothing
        m_translator->cancel();
        m_translator.reset();
    }
    showError(QString(), false);
    QVMProgressHUD *hud = qobject_cast<QVMProgressHUD *>(QVMProgressOverlay::HUDForView(overlayView()));
    if (!hud)
        hud = QVMSpinner::showProgressWithCancel(overlayView(), this);
    if (hud) {
        hud->addOwner(this);
        hud->setProgress(0.0f);
        hud->setButtonAction([this] { cancelTranslation(); });
    }
    const quint64 request = ++m_request;
    const QVTranslateSettings record = QVSettingsService::defaultSettings();
    if (m_textLanguage.isNull())
        fillLanguages();
    const QVPhotoLanguages::Pair pair =
        QVPhotoLanguages::pairFor(m_textLanguage, record.languageFrom(), record.languageTo());
    m_requestFrom = pair.from;
    m_requestTo = pair.to;
    const auto &factory = translatorFactory();
    m_translator = factory ? factory() : QVMPhotoTranslator::makeDefault();
    QPointer<QVMPhotoRecognitionController> self(this);
    const auto current = [self, request] { return self && self->m_request == request; };
    QPointer<QWidget> overlay(overlayView());
    m_translator->translate(
        m_photo, pair.from, pair.to,
        [current, overlay](double fraction) {
            if (!current() || !overlay)
                return;
            if (QVMProgressOverlay *hud = QVMProgressOverlay::HUDForView(overlay))
                hud->setProgress(float(fraction));
        },
        [self, current](const QImage &picture, const QString &recognized, const QString &translated) {
            if (current())
                self->translationSucceeded(picture, recognized, translated);
        },
        [self, current](const platform::Error &error) {
            if (current())
                self->translationFailed(error);
        });
    updateButtons();
}

void QVMPhotoRecognitionController::cancelTranslation() {
    m_translateWhenLoaded = false;
    if (m_translator) {
        ++m_request;
        m_translator->cancel();
    }
    endRequest();
    updateButtons();
    emit translationFinished();
}

void QVMPhotoRecognitionController::endRequest() {
    // Deleted later: a translator may be ending its own call into this controller.
    if (m_translator) {
        QVMPhotoTranslator *finished = m_translator.release();
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [finished] { delete finished; }, Qt::QueuedConnection);
    }
    if (QVMProgressOverlay *hud = QVMProgressOverlay::HUDForView(overlayView())) {
        hud->removeOwner(this);
        if (!hud->hasOwners())
            QVMProgressOverlay::hideHUDForView(overlayView());
    }
}

void QVMPhotoRecognitionController::translationSucceeded(const QImage &picture, const QString &recognized,
                                                         const QString &translated) {
    trackEvent(QStringLiteral("Image traslate"),
               {{QStringLiteral("panel_language_to"), m_requestTo.localeIdentifier()}});
    m_translatedPhoto = picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    onZoom();
    m_recognizeText = recognized;
    m_translatedText = translated;
    const QDateTime now = m_clock ? m_clock() : QDateTime::currentDateTimeUtc();
    m_translationId = qint64(referenceSeconds(now));
    QPointer<QVMPhotoRecognitionController> self(this);
    const platform::Error error = QVDataManager::sharedInstance().saveTranslationWithIdTranslation(
        m_translationId, 1, m_requestFrom, m_requestTo, false, recognized, translated, QString(), QString(),
        referenceSeconds(now), [self](const QVTranslationRealm &stored) {
            if (!self)
                return;
            self->m_translationObject = stored;
            self->m_translationId = stored.idTranslation().value_or(self->m_translationId);
            self->updateButtons();
        });
    if (!error.isNull())
        DevLogger::logError(error, QStringLiteral("saveTranslationWithIdTranslation"));
    endRequest();
    updateButtons();
    emit translationFinished();
}

void QVMPhotoRecognitionController::translationFailed(const platform::Error &error) {
    endRequest();
    if (QVMPhotoTranslator::isCancellation(error)) {
        updateButtons();
        emit translationFinished();
        return;
    }
    QString description;
    if (!error.isNull()) {
        if (isExpectedFailure(error))
            DevLog(QString::fromLatin1(DevLogger::kExpectedLineFormat), QString::fromLatin1(kFailedLog),
                   error.localizedDescription(), error.domain(), QString::number(error.code()));
        else
            DevLogger::logError(error, QString::fromLatin1(kFailedLog));
        description = error.localizedDescription();
    }
    trackEvent(QStringLiteral("Image traslate"),
               {{QStringLiteral("panel_language_to"), m_requestTo.localeIdentifier()},
                {QStringLiteral("error"), description}});
    QString line = QString::fromLatin1(kFailedMessage);
    const QString reason = QVMPhotoFailureText::failureText(error, m_requestFrom);
    if (!reason.isEmpty())
        line += QLatin1Char(' ') + reason;
    showError(line, true);
    updateButtons();
    emit translationFinished();
}

// What a user's set-up explains: no network, a package not installed or not offered for the
// language, recognition data missing. Only other failures are worth a report.
bool QVMPhotoRecognitionController::isExpectedFailure(const platform::Error &error) {
    if (DevLogger::isExpectedCondition(error))
        return true;
    if (error.domain() == QLatin1String(QVTranslatorError::kDomain))
        return error.code() == QVTranslatorError::NotSupported ||
               error.code() == QVTranslatorError::NotInstalled;
    return error.domain() == QLatin1String(QVRecognitionOperation::kErrorDomain) &&
           error.code() == QVRecognitionOperation::LanguageDataMissing;
}

QString QVMPhotoRecognitionController::errorText() const {
    return m_errorLabel && !m_errorLabel->isHidden() ? m_errorLabel->text() : QString();
}

void QVMPhotoRecognitionController::showError(const QString &text, bool canRetry) {
    m_errorLabel->setText(text);
    m_errorLabel->setVisible(!text.isEmpty());
    m_retryButton->setVisible(!text.isEmpty() && canRetry);
}

void QVMPhotoRecognitionController::updateButtons() {
    const bool hasTranslation = !m_translatedText.isEmpty();
    const QString noTranslation = isTranslating() ? tr("The picture is still being translated")
                                                  : tr("There is no translation yet");
    m_copyButton->setEnabled(hasTranslation);
    m_copyButton->setToolTip(hasTranslation ? tr("Copy the translation (Ctrl+C)")
                                            : noTranslation);
    m_shareButton->setEnabled(!m_recognizeText.isEmpty() && m_parentController);
    m_shareButton->setToolTip(
        m_shareButton->isEnabled()
            ? tr("Put the text and its translation into the main window")
            : (m_parentController ? noTranslation : tr("The main window is closed")));
    const bool favourite = !m_translationObject.isNull() && m_translationObject.isFavorite().value_or(false);
    m_favoriteButton->setEnabled(hasTranslation && !m_translationObject.isNull());
    m_favoriteButton->setChecked(favourite);
    // Filled only for a favourite, as the history's stars.
    m_favoriteButton->setText(favourite ? QStringLiteral("\u2605") : QStringLiteral("\u2606"));
    m_favoriteButton->setToolTip(!m_favoriteButton->isEnabled() ? noTranslation
                                 : favourite ? tr("Remove the translation from your favourites")
                                             : tr("Add the translation to your favourites"));
    m_slider->setEnabled(!m_photo.isNull());
    if (m_photo.isNull())
        m_slider->setToolTip(tr("There is no picture to zoom"));
    else
        m_slider->setToolTip(tr("Zoom, in percent of the picture's size (Ctrl++ and Ctrl+-)"));
}

void QVMPhotoRecognitionController::onZoom() {
    const QImage &base = m_translatedPhoto.isNull() ? m_photo : m_translatedPhoto;
    const float value = float(m_slider->value());
    m_width = int(value * float(base.width()) / 100.0f);
    m_height = int(value * float(base.height()) / 100.0f);
    m_trackZoomTimer.start();
    if (m_width > 0 && m_height > 0) {
        if (m_imageView->image().cacheKey() != base.cacheKey())
            m_imageView->setImage(base);
        m_imageView->resize(m_width, m_height);
    }
}

QImage QVMPhotoRecognitionController::shownImage() const {
    return resizeImage(m_imageView->image(), m_imageView->width(), m_imageView->height());
}

QImage QVMPhotoRecognitionController::resizeImage(const QImage &image, int newWidth, int newHeight) {
    if (image.isNull() || newWidth <= 0 || newHeight <= 0)
        return {};
    QImage resized(newWidth, newHeight, QImage::Format_ARGB32_Premultiplied);
    resized.fill(Qt::transparent);
    QPainter painter(&resized);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.setOpacity(1.0);
    painter.drawImage(QRectF(0, 0, newWidth, newHeight), image, QRectF(QPointF(0, 0), image.size()));
    return resized;
}

void QVMPhotoRecognitionController::trackZoom() {
    trackEvent(QStringLiteral("Image scale"),
               {{QStringLiteral("image_size"),
                 QString::number(double(m_slider->value()) / double(m_slider->maximum()))}});
}

void QVMPhotoRecognitionController::onCopyText() {
    if (m_translatedText.isEmpty())
        return;
    QApplication::clipboard()->setText(m_translatedText);
    trackEvent(QStringLiteral("Click Copy"), {{QStringLiteral("translated_text"), m_translatedText}});
}

void QVMPhotoRecognitionController::onFavorite() {
    if (m_translatedText.isEmpty() || m_translationObject.isNull())
        return;
    const bool wasFavorite = m_translationObject.isFavorite().value_or(false);
    trackEvent(wasFavorite ? QStringLiteral("Delete Favorite") : QStringLiteral("Add Favorite"));
    QPointer<QVMPhotoRecognitionController> self(this);
    // The local mark changes at once; the synchroniser keeps the account in step, or keeps it pending.
    const platform::Error error = QVFavoritesSync::shared().toggle(
        m_translationObject, !wasFavorite,
        [self](const QVTranslationRealm &stored) {
            if (!self)
                return;
            self->m_translationObject = stored;
            self->trackEvent(QStringLiteral("Add Bookmarks Image"));
            self->updateButtons();
        },
        [self] {
            if (self)
                self->trackEvent(QStringLiteral("Remove Bookmarks Image"),
                                 {{QStringLiteral("method"), QStringLiteral("star")}});
        });
    if (!error.isNull())
        DevLogger::logError(error, QStringLiteral("onFavorite"));
    updateButtons();
}

void QVMPhotoRecognitionController::onShare() {
    if (m_parentController && !m_recognizeText.isEmpty()) {
        m_parentController->setTextAndTranslation(m_recognizeText, m_translatedText);
        trackEvent(QStringLiteral("Click Share"),
                   {{QStringLiteral("recognized_text"), m_recognizeText},
                    {QStringLiteral("translated_text"),
                     m_translatedText.isEmpty() ? QString::fromLatin1(kNill) : m_translatedText}});
    }
    view()->close();
}

void QVMPhotoRecognitionController::onClose() {
    trackEvent(QStringLiteral("Image close"));
    view()->close();
}

void QVMPhotoRecognitionController::trackEvent(const QString &action, const QVariantMap &params) {
    QVMGeneralServices::shared().analytics().trackEvent(QString::fromLatin1(kCategory), action, params);
}

void installPhotoPane() {
    QVMInterfaceFactory::shared().registerSegue<QVMPhotoRecognitionController>(
        QString::fromLatin1(QVMGeneralViewController::kPhotoSegue), QVMInterfaceFactory::SegueKind::Show);
    QVMInterfaceHooks::shared().onOpenPhoto = [](QVMGeneralViewController *view) { view->onOpenPhoto(); };
}
