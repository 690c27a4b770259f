#include "QVMWebPageController.h"

#include "core/DevLog.h"
#include "core/DevLogger.h"
#include "core/settings/QVSettingsService.h"
#include "services/analytics/QVAnalyticsManager.h"
#include "services/network/QVRequestManager.h"
#include "ui/adapters/QVMGeneralServices.h"
#include "ui/controls/QVMSpinner.h"
#include "ui/controls/QVMWebEngineCheck.h"
#include "ui/controls/QVMWebView.h"
#include "ui/foundation/QVMInterfaceFactory.h"
#include "ui/foundation/QVMInterfaceHooks.h"
#include "ui/foundation/QVMUtils.h"
#include "ui/main/QVMGeneralViewController.h"

#include "platform/UserDefaults.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QSplitter>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>

namespace {

// A panel's page is a placeholder until the web engine is known to start.
QWidget *panelFor(QWidget *page, QLabel *title, QWidget *below = nullptr) {
    auto *panel = new QWidget;
    auto *layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(title);
    layout->addWidget(page, 1);
    if (below)
        layout->addWidget(below);
    return panel;
}

QLabel *placeholder(const QString &name) {
    auto *label = new QLabel(QVMWebPageController::tr(QVMWebPageController::kStartingText));
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    label->setAccessibleName(name);
    label->setToolTip(name);
    return label;
}

} // namespace

QVMWebPageController::QVMWebPageController(QObject *parent) : QVMBaseVC(parent) {
    const QVTranslateSettings record = QVSettingsService::defaultSettings();
    m_previousMode = record.isNull() ? 0 : record.translationMode();
    QVSettingsService::setTranslationMode(kWebTranslationMode);
}

QVMWebPageController::~QVMWebPageController() {
    *m_alive = false;
    for (QVMWebView *web : {m_fromWebView, m_toWebView}) {
        if (web) {
            web->disconnect(this);
            web->page()->disconnect(this);
        }
    }
    if (m_languageToken)
        platform::NotificationCenter::defaultCenter().removeObserver(m_languageToken);
    ++m_request;
    QVSettingsService::setTranslationMode(m_previousMode);
}

QWidget *QVMWebPageController::loadView() {
    auto *root = new QWidget;
    root->setWindowTitle(QString::fromLatin1(kTitle));
    root->setObjectName(QStringLiteral("QVMWebPageController"));
    root->resize(1200, 760);
    auto *layout = new QVBoxLayout(root);

    auto *addressRow = new QHBoxLayout;
    auto *addressLabel = new QLabel(tr("Address"));
    m_addressField = new QLineEdit;
    m_addressField->setPlaceholderText(QStringLiteral("example.org"));
    m_addressField->setClearButtonEnabled(true);
    m_addressField->setAccessibleName(tr("Address"));
    addressLabel->setBuddy(m_addressField);
    // Qt's clear button inside the field is a button like any other to a keyboard or screen reader.
    for (QToolButton *clear : m_addressField->findChildren<QToolButton *>()) {
        clear->setAccessibleName(tr("Clear address"));
        clear->setToolTip(tr("Clear the address"));
    }
    m_goButton = new QPushButton(tr("Translate"));
    m_goButton->setAccessibleName(tr("Translate"));
    m_closeButton = new QPushButton(tr("Close"));
    m_closeButton->setAccessibleName(tr("Close"));
    m_closeButton->setToolTip(tr("Close this window (Escape or Ctrl+W)"));
    addressRow->addWidget(addressLabel);
    addressRow->addWidget(m_addressField, 1);
    addressRow->addWidget(m_goButton);
    addressRow->addWidget(m_closeButton);
    layout->addLayout(addressRow);

    m_fromPlaceholder = placeholder(tr("Original page"));
    m_toPlaceholder = placeholder(tr("Translated page"));
    m_errorLabel = new QLabel;
    // The line carries the server's and the web engine's own words: never markup.
    m_errorLabel->setTextFormat(Qt::PlainText);
    m_errorLabel->setWordWrap(true);
    m_errorLabel->setAccessibleName(tr("Problem"));
    m_errorLabel->setToolTip(tr("What went wrong"));
    m_errorLabel->hide();
    m_fromTitle = new QLabel(tr("Original"));
    m_toTitle = new QLabel(tr("Translation"));
    m_fromPanel = panelFor(m_fromPlaceholder, m_fromTitle);
    m_toPanel = panelFor(m_toPlaceholder, m_toTitle, m_errorLabel);
    m_splitView = new QSplitter;
    m_splitView->setChildrenCollapsible(false);
    m_splitView->addWidget(m_fromPanel);
    m_splitView->addWidget(m_toPanel);
    m_splitView->setAccessibleName(tr("Pages"));
    layout->addWidget(m_splitView, 1);

    QWidget::setTabOrder(m_addressField, m_goButton);
    QWidget::setTabOrder(m_goButton, m_closeButton);
    setAddressEnabled(false, tr(kStartingText));
    return root;
}

void QVMWebPageController::viewDidLoad() {
    QWidget *root = view();
    root->setAttribute(Qt::WA_DeleteOnClose);
    root->installEventFilter(this);
    connect(root, &QObject::destroyed, this, &QObject::deleteLater);
    connect(m_addressField, &QLineEdit::returnPressed, this, &QVMWebPageController::translate);
    connect(m_goButton, &QPushButton::clicked, this, &QVMWebPageController::translate);
    connect(m_closeButton, &QPushButton::clicked, this, &QVMWebPageController::onClose);
    auto *closeShortcut = new QShortcut(QKeySequence::Close, root);
    connect(closeShortcut, &QShortcut::activated, this, &QVMWebPageController::onClose);

    QPointer<QVMWebPageController> self(this);
    m_languageToken = platform::NotificationCenter::defaultCenter().addObserver(
        QString::fromLatin1(kLanguageNotification), [self](const QVariantMap &) {
            if (self)
                self->languageDidChange();
        });
    connect(&QVMUtils::sharedDefaults(), &platform::UserDefaults::changed, this, [this](const QString &key) {
        if (key == QLatin1String(kDirectionKey))
            applyDirection();
        else if (key == QLatin1String(kShowStateKey))
            applyShowState();
    });
    applyDirection();
    applyShowState();
    // The pages wait until the web engine is known to start.
    QVMWebEngineCheck::shared().whenKnown(this, [this](bool ready) {
        if (ready) {
            addWebViews();
            return;
        }
        for (QLabel *page : {m_fromPlaceholder, m_toPlaceholder})
            page->setText(tr(kNoWebViewText));
        setAddressEnabled(false, tr(kNoWebViewText));
    });
}

void QVMWebPageController::addWebViews() {
    m_fromWebView = new QVMWebView;
    m_fromWebView->setAccessibleNameAndToolTip(tr("Original page"), tr("The page as published"));
    m_toWebView = new QVMWebView;
    m_toWebView->setAccessibleNameAndToolTip(tr("Translated page"), tr("The translated page"));
    for (const auto &[placeholder, web] : {std::pair{m_fromPlaceholder, m_fromWebView.data()},
                                           std::pair{m_toPlaceholder, m_toWebView.data()}}) {
        delete placeholder->parentWidget()->layout()->replaceWidget(placeholder, web);
        delete placeholder;
    }
    m_fromPlaceholder = m_toPlaceholder = nullptr;

    for (QVMWebView *web : {m_fromWebView, m_toWebView}) {
        connect(web, &QVMWebView::innerWidgetAdded, this, &QVMWebPageController::orderPages);
        connect(web, &QWebEngineView::loadStarted, this, [this, web] { loadStarted(web); });
        connect(web, &QWebEngineView::loadFinished, this, [this, web](bool ok) { loadFinished(web, ok); });
        connect(web->page(), &QWebEnginePage::scrollPositionChanged, this,
                [this, web](const QPointF &position) { scrolled(web, position); });
        connect(web->page(), &QWebEnginePage::loadingChanged, this,
                [this, web](const QWebEngineLoadingInfo &info) { loadingChanged(web, info); });
    }
    connect(m_toWebView, &QVMWebView::navigationRefused, this,
            [this] { showError(QString::fromLatin1(kBadTranslatedAddress)); });
    // A page draws no focus of its own: its title shows where the keyboard is. Each title is the
    // context of its connection, as focus still moves while the window is taken apart.
    for (const auto &[web, title] :
         {std::pair{m_fromWebView, m_fromTitle}, std::pair{m_toWebView, m_toTitle}}) {
        QPointer<QVMWebView> page(web);
        connect(qApp, &QApplication::focusChanged, title, [page, title = title](QWidget *, QWidget *now) {
            const bool focused = page && now && (now == page || page->isAncestorOf(now));
            QFont font = title->font();
            font.setBold(focused);
            font.setUnderline(focused);
            title->setFont(font);
        });
    }
    orderPages();
    setAddressEnabled(true, QString());
}

void QVMWebPageController::setAddressEnabled(bool enabled, const QString &why) {
    m_addressField->setEnabled(enabled);
    m_goButton->setEnabled(enabled);
    m_addressField->setToolTip(enabled ? tr("The address of the page to translate; Return loads it") : why);
    m_goButton->setToolTip(enabled ? tr("Load the page and translate it") : why);
    if (enabled && isViewLoaded() && view()->isVisible())
        m_addressField->setFocus();
}

void QVMWebPageController::orderPages() {
    // The pages take the focus through the widgets they draw in, made when each page first renders
    // and put at the end of the window's chain: reading order puts the original first.
    if (!m_fromWebView || !m_toWebView)
        return;
    QWidget::setTabOrder(m_closeButton, m_fromWebView);
    QWidget::setTabOrder(m_fromWebView, m_toWebView);
}

void QVMWebPageController::viewDidAppear() {
    m_addressField->setFocus();
}

bool QVMWebPageController::eventFilter(QObject *watched, QEvent *event) {
    if (isViewLoaded() && watched == view() && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
        onClose();
        return true;
    }
    return QVMBaseVC::eventFilter(watched, event);
}

void QVMWebPageController::translate() {
    updateWebViewsWithPath(m_addressField->text().trimmed());
}

bool QVMWebPageController::updateWebViewsWithPath(const QString &path) {
    const QUrl url(QVMUtils::pathStringWithString(path));
    if (!QVMWebView::isWebAddress(url)) {
        showError(QString::fromLatin1(kBadAddress));
        return false;
    }
    showError(QString());
    if (m_addressField->text().trimmed() != path)
        m_addressField->setText(path);
    return m_fromWebView && m_fromWebView->loadAddress(url);
}

void QVMWebPageController::translateWebPageWithUrlString(const QString &urlString) {
    if (urlString.isEmpty())
        return;
    const QString from = QVSettingsService::languageFrom();
    const QString to = QVSettingsService::languageTo();
    const QString key = urlString + QLatin1Char('\n') + from + QLatin1Char('\n') + to;
    if (key == m_lastTranslated)
        return; // a reload of the page already translated with this pair
    m_lastTranslated = key;
    const quint64 request = ++m_request;
    ++m_requestCount;
    m_translating = true;
    showError(QString());
    setBusy(m_toWebView, true);
    QPointer<QVMWebPageController> self(this);
    // The window may be gone before its controller: then nothing is left to show the answer in.
    const auto current = [self, request] {
        return self && self->m_request == request && self->m_fromWebView && self->m_toWebView;
    };
    QVRequestManager::instance().translateWebPageWithUrlString(
        urlString, from, to,
        [self, current](const QString &address) {
            if (!current())
                return;
            self->m_translating = false;
            self->setBusy(self->m_toWebView, false);
            if (!self->m_toWebView->loadAddress(QUrl(address)))
                self->showError(QString::fromLatin1(kBadTranslatedAddress));
            emit self->translationAnswered();
        },
        [self, current](const platform::Error &error) {
            if (!current())
                return;
            self->m_translating = false;
            self->m_lastTranslated.clear(); // asking again may work
            self->setBusy(self->m_toWebView, false);
            QString line = QString::fromLatin1(kTranslationFailed);
            if (!error.isNull()) {
                DevLogger::logError(error, QStringLiteral("translateWebPageWithUrlString"));
                if (!error.localizedDescription().isEmpty())
                    line += QLatin1Char(' ') + error.localizedDescription();
            }
            self->showError(line);
            emit self->translationAnswered();
        });
}

void QVMWebPageController::languageDidChange() {
    if (!m_fromWebView)
        return;
    const QUrl loaded = m_fromWebView->url();
    if (QVMWebView::isWebAddress(loaded))
        translateWebPageWithUrlString(loaded.toString());
}

void QVMWebPageController::applyDirection() {
    const qint64 direction = QVMUtils::sharedDefaults().integerForKey(QString::fromLatin1(kDirectionKey));
    if (direction == 1)
        m_splitView->setOrientation(Qt::Horizontal);
    else if (direction == 0)
        m_splitView->setOrientation(Qt::Vertical);
}

void QVMWebPageController::applyShowState() {
    // As in the main window: 1 hides the translation, 2 the original.
    const qint64 state = QVMUtils::sharedDefaults().integerForKey(QString::fromLatin1(kShowStateKey));
    if (state < 0 || state > 2 || m_splitView->count() < 2)
        return;
    m_fromPanel->setVisible(state != 2);
    m_toPanel->setVisible(state != 1);
}

void QVMWebPageController::onClose() {
    for (QVMWebView *web : {m_fromWebView, m_toWebView})
        if (web)
            web->stop();
    QVMGeneralServices::shared().analytics().trackEvent(QString::fromLatin1(kCategory),
                                                        QStringLiteral("Web translator - Click Close"), {});
    view()->close();
}

void QVMWebPageController::loadStarted(QVMWebView *web) {
    setBusy(web, true);
    if (web == m_toWebView)
        m_expectedScroll[1].reset();
}

// Only a load that failed says so, with the engine's reason: one stopped, or replaced by the
// next, is no news. (The engine reports this after loadFinished.)
void QVMWebPageController::loadingChanged(QVMWebView *web, const QWebEngineLoadingInfo &info) {
    if (info.status() != QWebEngineLoadingInfo::LoadFailedStatus)
        return;
    const bool source = web == m_fromWebView;
    QString line = QString::fromLatin1(source ? kSourceLoadFailed : kLoadFailed);
    const QString reason = info.errorString().trimmed();
    if (!reason.isEmpty())
        line += QLatin1Char(' ') + reason;
    DevLog(QStringLiteral("[web] %@ page not loaded: %@ %@"),
           source ? QStringLiteral("source") : QStringLiteral("translated"),
           QString::number(info.errorCode()), reason);
    showError(line);
}

void QVMWebPageController::loadFinished(QVMWebView *web, bool ok) {
    const bool source = web == m_fromWebView;
    if (!ok) {
        setBusy(web, false);
        if (!source)
            showError(QString::fromLatin1(kLoadFailed));
        emit pageShown(source);
        return;
    }
    if (source && !web->url().isEmpty())
        translateWebPageWithUrlString(web->url().toString());
    QPointer<QVMWebPageController> self(this);
    QPointer<QVMWebView> measured(web);
    const std::shared_ptr<const bool> alive = m_alive;
    const std::shared_ptr<const bool> webAlive = web->aliveFlag();
    web->contentSizeWithBlock([self, measured, source, alive, webAlive](QSizeF size) {
        if (!*alive || !*webAlive || self.isNull() || measured.isNull())
            return;
        self->applyContentSize(source, size);
        self->setBusy(measured, false);
        emit self->pageShown(source);
    });
}

void QVMWebPageController::applyContentSize(bool source, QSizeF size) {
    if (size.width() <= 0 || size.height() <= 0)
        return; // a page that cannot tell its size keeps the last one
    if (source) {
        m_fromSize = size;
        if (!m_toSize.isEmpty())
            m_toSize = m_toSize.expandedTo(m_fromSize);
    } else {
        m_toSize = size.expandedTo(m_fromSize);
    }
    padTarget();
}

void QVMWebPageController::padTarget() {
    // The translated page gets room at its bottom so that it scrolls as far as the source.
    if (!m_toWebView || m_toWebView->url().isEmpty() || m_fromSize.isEmpty())
        return;
    const int height = int(m_fromSize.height());
    m_toWebView->page()->runJavaScript(
        QStringLiteral("(function(h){var b=document.body;if(!b)return;b.style.paddingBottom='0px';"
                       "var d=h-b.scrollHeight;if(d>0)b.style.paddingBottom=d+'px';})(%1)")
            .arg(height));
}

void QVMWebPageController::scrolled(QVMWebView *web, const QPointF &position) {
    const int side = web == m_fromWebView ? 0 : 1;
    std::optional<QPointF> &expected = m_expectedScroll[side];
    if (expected && (*expected - position).manhattanLength() < 2.0) {
        expected.reset(); // the echo of our own scroll
        return;
    }
    expected.reset();
    QVMWebView *other = side == 0 ? m_toWebView : m_fromWebView;
    if (other->url().isEmpty())
        return;
    m_expectedScroll[1 - side] = position;
    other->page()->runJavaScript(
        QStringLiteral("window.scrollTo(%1,%2)").arg(position.x(), 0, 'f', 0).arg(position.y(), 0, 'f', 0));
}

void QVMWebPageController::showError(const QString &text) {
    m_errorLabel->setText(text);
    m_errorLabel->setVisible(!text.isEmpty());
}

QVMWebView *QVMWebPageController::fromWebView() const {
    return m_fromWebView;
}

QVMWebView *QVMWebPageController::toWebView() const {
    return m_toWebView;
}

QString QVMWebPageController::errorText() const {
    return m_errorLabel && !m_errorLabel->isHidden() ? m_errorLabel->text() : QString();
}

bool QVMWebPageController::isLoading(bool source) const {
    return m_busy[source ? 0 : 1];
}

void QVMWebPageController::setBusy(QVMWebView *web, bool busy) {
    const int side = web == m_fromWebView ? 0 : 1;
    if (m_busy[side] == busy)
        return;
    m_busy[side] = busy;
    QWidget *panel = side == 0 ? m_fromPanel : m_toPanel;
    if (busy)
        QVMSpinner::showSpinner(panel, web);
    else
        QVMSpinner::hideSpinner(panel, web);
}

void installWebPane() {
    QVMInterfaceFactory::shared().registerSegue<QVMWebPageController>(
        QString::fromLatin1(QVMGeneralViewController::kWebPageSegue), QVMInterfaceFactory::SegueKind::Show);
    QVMInterfaceHooks::shared().onOpenTranslateWebPages = [](QVMGeneralViewController *view) {
        view->onOpenTranslateWebPages();
    };
}
