#pragma once

#include "QVMPhotoImageView.h"
#include "QVMPhotoTranslator.h"

#include "core/models/QVTranslationRealm.h"
#include "ui/foundation/QVMBaseVC.h"
#include "ui/main/QVMGeneralViewController.h"

#include "platform/store/Notifications.h"

#include <QDateTime>
#include <QImage>
#include <QPointer>
#include <QTimer>
#include <QUrl>

class QComboBox;
class QLabel;
class QPushButton;
class QScrollArea;
class QSlider;
class QToolButton;

// The photo window: the picture the user opened, translated at once (online
// or offline, the photo service decides), shown with the translation drawn in.
// The picture's text is read in the language chosen in the window: at first
// the source language when its text can be read, else English when it can
// (QVPhotoLanguages); a text in the target language goes into the source.
// Zoom, copy, favourite, hand both texts to the main window, close. Each
// success is one new history record, with the pair it used. While the window
// shows, a change of the settings' language pair translates the picture again.
// It opens centred on the main window and within the screen's free area.
//
//   auto *photo = new QVMPhotoRecognitionController(mainView);
//   photo->setUrl(QUrl::fromLocalFile(path));
//   photo->setParentController(mainView);
//   photo->view()->show();              // reads the picture off the main thread, then translates
//
// Only one request runs: a new one cancels the one before, whose end shows
// nothing. The window deletes itself (and this controller) when it closes.
class QVMPhotoRecognitionController : public QVMBaseVC {
    Q_OBJECT
public:
    explicit QVMPhotoRecognitionController(QObject *parent = nullptr);
    ~QVMPhotoRecognitionController() override;

    QUrl url() const { return m_url; }
    Q_INVOKABLE void setUrl(const QUrl &url) { m_url = url; }
    QVMGeneralViewController *parentController() const { return m_parentController; }
    void setParentController(QVMGeneralViewController *controller) { m_parentController = controller; }
    // The main view as the segue hands it over.
    Q_INVOKABLE void setParentView(QObject *view);

    // Tests: where translations come from, and the clock of record identifiers.
    static void setTranslatorFactory(QVMPhotoTranslator::Factory factory);
    void setClock(std::function<QDateTime()> clock) { m_clock = std::move(clock); }

    // Translates the picture again (the main window's translate action calls it by name).
    Q_INVOKABLE void onTransleteImage();
    // The language the picture's text is read in; choosing one translates again.
    QVLanguageRealm textLanguage() const { return m_textLanguage; }
    void setTextLanguage(const QVLanguageRealm &language);
    void onZoom();
    void onCopyText();
    void onFavorite();
    void onShare();
    void onClose();
    // Cancels the running request; nothing is shown for it.
    void cancelTranslation();
    static QImage resizeImage(const QImage &image, int newWidth, int newHeight);

    // State.
    bool isLoadingPicture() const { return m_loadingPicture; }
    bool isTranslating() const { return bool(m_translator); }
    QImage photo() const { return m_photo; }
    QImage translatedPhoto() const { return m_translatedPhoto; }
    // The picture as it shows at the zoom (made on demand: the view scales as it paints).
    QImage shownImage() const;
    int width() const { return m_width; }
    int height() const { return m_height; }
    QString recognizeText() const { return m_recognizeText; }
    QString translatedText() const { return m_translatedText; }
    QVTranslationRealm translationObject() const { return m_translationObject; }
    qint64 translationId() const { return m_translationId; }
    QString errorText() const;

    // Widgets.
    QSlider *sliderZoom() const { return m_slider; }
    QComboBox *languageBox() const { return m_languageBox; }
    QVMPhotoImageView *photoImageView() const { return m_imageView; }
    QScrollArea *scrollView() const { return m_scrollView; }
    QLabel *errorLabel() const { return m_errorLabel; }
    // A failure the user's set-up explains (logged as one line, never reported).
    static bool isExpectedFailure(const platform::Error &error);
    QPushButton *retryButton() const { return m_retryButton; }
    QToolButton *copyButton() const { return m_copyButton; }
    QToolButton *favoriteButton() const { return m_favoriteButton; }
    QPushButton *shareButton() const { return m_shareButton; }
    QPushButton *closeButton() const { return m_closeButton; }

    static constexpr const char *kCategory = "Main screen";
    static constexpr const char *kScreenName = "ScreenPhotoRecognition";
    static constexpr const char *kTitle = "Photo translation";
    static constexpr const char *kUnreadablePicture = "This picture cannot be opened";
    static constexpr const char *kFailedMessage = "The picture could not be translated.";
    static constexpr const char *kFailedLog = "translatePhoto failed";
    static constexpr const char *kNill = "nill";
    static constexpr int kZoomMinimum = 10;
    static constexpr int kZoomMaximum = 400;
    static constexpr int kZoomStep = 10;
    static constexpr int kTrackZoomDelayMs = 500;

signals:
    // The picture was read (or found unreadable).
    void pictureLoaded(bool readable);
    // A request ended: with a translation, with a failure, or cancelled.
    void translationFinished();

protected:
    QWidget *loadView() override;
    void viewDidLoad() override;
    void viewWillAppear() override;
    void viewDidAppear() override;
    void viewWillDisappear() override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void loadPicture();
    void markPictureFocus();
    void pictureRead(const QImage &picture);
    void translationSucceeded(const QImage &picture, const QString &recognized, const QString &translated);
    void translationFailed(const platform::Error &error);
    void endRequest();
    void showError(const QString &text, bool canRetry);
    void updateButtons();
    void fillLanguages();
    void trackZoom();
    void trackEvent(const QString &action, const QVariantMap &params = {});
    QWidget *overlayView() const;

    QUrl m_url;
    QPointer<QVMGeneralViewController> m_parentController;
    std::function<QDateTime()> m_clock;

    QSlider *m_slider = nullptr;
    QComboBox *m_languageBox = nullptr;
    QScrollArea *m_scrollView = nullptr;
    QVMPhotoImageView *m_imageView = nullptr;
    QLabel *m_errorLabel = nullptr;
    QPushButton *m_retryButton = nullptr;
    QToolButton *m_copyButton = nullptr;
    QToolButton *m_favoriteButton = nullptr;
    QPushButton *m_shareButton = nullptr;
    QPushButton *m_closeButton = nullptr;

    bool m_loadingPicture = false;
    bool m_translateWhenLoaded = false;
    QImage m_photo;
    QImage m_translatedPhoto;
    int m_width = 0;
    int m_height = 0;
    QString m_recognizeText;
    QString m_translatedText;
    QVTranslationRealm m_translationObject;
    qint64 m_translationId = 0;
    QVLanguageRealm m_textLanguage;
    QVLanguageRealm m_requestFrom;
    QVLanguageRealm m_requestTo;
    bool m_placed = false;

    std::unique_ptr<QVMPhotoTranslator> m_translator;
    quint64 m_request = 0;
    platform::NotificationToken m_token;
    QTimer m_trackZoomTimer;
};

// Start-up: the photo window's segue and the main view's photo button.
void installPhotoPane();
