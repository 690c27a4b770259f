#include "panes/general/QVMGeneralPanels.h"

#include "panes/general/QVMFeedbackDialog.h"

#include "core/DevLog.h"
#include "core/localization/QVLocalizedString.h"
#include "services/favourites/QVFavoritesSync.h"
#include "ui/adapters/QVMGeneralServices.h"
#include "ui/controls/PaddingTextView.h"
#include "ui/foundation/QVMInterfaceHooks.h"
#include "ui/foundation/QVMLinkOpener.h"
#include "ui/foundation/QVMUtils.h"
#include "ui/main/QVMGeneralViewController.h"

#include "platform/Format.h"
#include "platform/UserDefaults.h"

#include <QAbstractButton>
#include <QFrame>
#include <QLayout>
#include <QLocale>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QShortcut>
#include <QTextDocument>
#include <QTextFrame>
#include <QToolButton>

void installGeneralPanels(QVMInterfaceHooks &hooks) {
    hooks.setUpPanels = [](QVMGeneralViewController *view) { QVMGeneralPanels::forView(view)->setUp(); };
    hooks.segmentZoom = [](QVMGeneralViewController *view, int segment) {
        QVMGeneralPanels::forView(view)->segmentZoom(segment);
    };
    hooks.onFavorite = [](QVMGeneralViewController *view) { QVMGeneralPanels::forView(view)->onFavorite(); };
    hooks.onShare = [](QVMGeneralViewController *view, QAbstractButton *sender) {
        QVMGeneralPanels::forView(view)->onShare(sender);
    };
}

QVMGeneralPanels::QVMGeneralPanels(QVMGeneralViewController *view) : QObject(view), m_view(view) {
    setObjectName(QStringLiteral("QVMGeneralPanels"));
}

QVMGeneralPanels *QVMGeneralPanels::forView(QVMGeneralViewController *view) {
    if (!view)
        return nullptr;
    if (auto *panels = view->findChild<QVMGeneralPanels *>(QString(), Qt::FindDirectChildrenOnly))
        return panels;
    return new QVMGeneralPanels(view);
}

void QVMGeneralPanels::setUrlOpener(UrlOpener opener) {
    QVMLinkOpener::setOpener(std::move(opener));
}

void QVMGeneralPanels::trackEvent(const QString &action, const QVariantMap &params) {
    QVMGeneralServices::shared().analytics().trackEvent(
        QString::fromLatin1(QVMGeneralViewController::kCategoryMainScreen), action, params);
}

// ---- Set-up -------------------------------------------------------------------

void QVMGeneralPanels::setUp() {
    if (!m_view)
        return;
    PaddingTextView *from = m_view->fromTranslateTextView();
    PaddingTextView *to = m_view->toTranslateTextView();
    for (PaddingTextView *text : {from, to}) {
        const bool source = text == from;
        text->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(text, &QWidget::customContextMenuRequested, this,
                [this, text, source](const QPoint &position) {
                    showPanelMenu(source, text->viewport()->mapToGlobal(position));
                });
        // Shift+F10 is the keyboard's other way to a context menu.
        auto *shortcut = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F10), text);
        shortcut->setContext(Qt::WidgetShortcut);
        connect(shortcut, &QShortcut::activated, this, [this, text, source] {
            showPanelMenu(source, text->viewport()->mapToGlobal(text->cursorRect().bottomLeft()));
        });
        PaddingTextView *other = source ? to : from;
        QScrollBar *bar = text->verticalScrollBar();
        // Only the user's own scrolling moves the other panel.
        connect(bar, &QScrollBar::actionTriggered, this,
                [this, text, other, bar](int) { syncScroll(text, other, bar->sliderPosition()); });
    }
    // Held by guards: the filter sees these widgets' last events while the view is being destroyed.
    m_fromText = from;
    m_clearButton = m_view->clearButton();
    m_scroller = from->verticalScrollBar();
    m_fromBox = m_view->fromBox();
    m_toBox = m_view->toBox();
    m_scroller->installEventFilter(this);
    for (QFrame *box : {m_view->fromBox(), m_view->toBox()}) {
        box->setAutoFillBackground(false);
        box->installEventFilter(this);
    }
    adjustClearButtonMargin();
}

// The event's type first: destroy-time events come while the view and its panels are half gone,
// and then only the guarded widgets are touched, never the view.
bool QVMGeneralPanels::eventFilter(QObject *watched, QEvent *event) {
    switch (event->type()) {
    case QEvent::Show:
    case QEvent::Hide:
        if (m_scroller && watched == m_scroller.data())
            adjustClearButtonMargin();
        break;
    case QEvent::Paint:
        if ((m_fromBox && watched == m_fromBox.data()) || (m_toBox && watched == m_toBox.data()))
            paintBox(static_cast<QWidget *>(watched));
        break;
    default:
        break;
    }
    return false;
}

// The panel boxes: rounded, in the panel colour, with a faint shadow line.
void QVMGeneralPanels::paintBox(QWidget *box) {
    QPainter painter(box);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    const QRectF outer(box->rect());
    painter.setBrush(box->palette().color(QPalette::Window));
    painter.drawRoundedRect(outer, kBoxCornerRadius, kBoxCornerRadius);
    // The line as a filled ring: stroking a box this size costs as much again as filling it.
    QPainterPath line;
    line.addRoundedRect(outer, kBoxCornerRadius, kBoxCornerRadius);
    line.addRoundedRect(outer.adjusted(1, 1, -1, -1), kBoxCornerRadius - 1, kBoxCornerRadius - 1);
    QColor shadow = box->palette().color(QPalette::Shadow);
    shadow.setAlphaF(kBoxShadowOpacity);
    painter.setBrush(shadow);
    painter.drawPath(line);
}

// ---- Fonts ----------------------------------------------------------------------

void QVMGeneralPanels::segmentZoom(int segment) {
    if (segment == 0)
        increaseFont();
    else
        reduceFont();
}

void QVMGeneralPanels::increaseFont() {
    stepFont(1.0, "Zoom Plus");
}

void QVMGeneralPanels::reduceFont() {
    stepFont(-1.0, "Zoom Minus");
}

void QVMGeneralPanels::stepFont(double step, const char *event) {
    if (!m_view)
        return;
    QFont font = m_view->fromTranslateTextView()->font();
    const double size = font.pointSizeF() + step;
    if (size < kMinimumFontSize || size > kMaximumFontSize)
        return;
    font.setPointSizeF(size);
    m_view->fromTranslateTextView()->setFont(font);
    m_view->toTranslateTextView()->setFont(font);
    trackEvent(QString::fromLatin1(event), {{QStringLiteral("font_size"), QString::number(size)}});
}

// ---- Scrolling ------------------------------------------------------------------

int QVMGeneralPanels::bottomInset(PaddingTextView *view) const {
    return m_insets.value(view, 0);
}

void QVMGeneralPanels::setBottomInset(PaddingTextView *view, int inset) {
    if (bottomInset(view) == inset)
        return;
    m_insets.insert(view, inset);
    QTextFrame *root = view->document()->rootFrame();
    QTextFrameFormat format = root->frameFormat();
    format.setBottomMargin(inset);
    root->setFrameFormat(format);
}

void QVMGeneralPanels::syncScroll(PaddingTextView *from, PaddingTextView *to, int y) {
    if (m_syncing || !from || !to)
        return;
    m_syncing = true;
    setBottomInset(from, 0);
    // A short text still fills its panel, as the other panel's page does.
    const int content =
        std::max(int(to->document()->size().height()) - bottomInset(to), to->viewport()->height());
    const int overshoot = y + to->viewport()->height() - content;
    setBottomInset(to, std::max(0, overshoot));
    // The view takes its new height on its next layout pass; the offset is wanted now.
    QScrollBar *bar = to->verticalScrollBar();
    if (bar->maximum() < y)
        bar->setMaximum(y);
    bar->setValue(y);
    m_syncing = false;
}

int QVMGeneralPanels::clearButtonRightMargin() const {
    return m_clearMargin;
}

void QVMGeneralPanels::adjustClearButtonMargin() {
    QToolButton *clear = m_clearButton;
    if (!clear || !m_fromText || !m_scroller)
        return;
    QLayout *box = clear->parentWidget() ? clear->parentWidget()->layout() : nullptr;
    QLayout *bar = box && box->count() > 0 ? box->itemAt(0)->layout() : nullptr;
    if (!bar || bar->indexOf(clear) < 0)
        return;
    const int scrollerWidth = m_scroller->isVisibleTo(m_fromText) ? m_scroller->width() : 0;
    // The box already keeps 6 points from its edge.
    QMargins margins = bar->contentsMargins();
    margins.setRight(scrollerWidth);
    bar->setContentsMargins(margins);
    m_clearMargin = scrollerWidth + 6;
}

// ---- Favourite --------------------------------------------------------------------

// The star shows the record's state, whatever the click did to the button.
void QVMGeneralPanels::refreshFavoriteButton() {
    if (!m_view)
        return;
    const QVTranslationRealm record = m_view->translateObject();
    m_view->favoriteButton()->setChecked(!record.isNull() && record.isValid() &&
                                         record.isFavorite().value_or(false));
}

// The local flag changes at once; the synchroniser tells the account, or keeps
// the change pending when it cannot.
void QVMGeneralPanels::onFavorite() {
    if (!m_view || m_view->toTranslateTextView()->toPlainText().isEmpty())
        return;
    const QVTranslationRealm record = m_view->translateObject();
    if (record.isNull() || !record.isValid()) {
        refreshFavoriteButton();
        return;
    }
    const bool favourite = !record.isFavorite().value_or(false);
    QPointer<QVMGeneralPanels> self(this);
    const platform::Error error = QVFavoritesSync::shared().toggle(
        record, favourite,
        [self](const QVTranslationRealm &stored) {
            if (!self || !self->m_view)
                return;
            self->m_view->bookmarkStatusChanged(stored);
            self->refreshFavoriteButton();
            self->trackEvent(QStringLiteral("Add Bookmarks"));
        },
        [self] {
            if (self)
                self->trackEvent(QStringLiteral("Remove Bookmarks"));
        });
    if (error)
        DevLog(QStringLiteral("[ui] favourite: %@"), error.localizedDescription());
    refreshFavoriteButton();
}

// ---- Share ------------------------------------------------------------------------

QString QVMGeneralPanels::resultText() const {
    if (!m_view)
        return {};
    const QString panel = m_view->toTranslateTextView()->toPlainText();
    if (panel.isEmpty())
        return {};
    // The panel may show the transliteration under the translation.
    return m_view->translatedText().isEmpty() ? panel : m_view->translatedText();
}

QString QVMGeneralPanels::mailBodyForText(const QString &text) {
    bool cut = false;
    QString body = QVMLinkOpener::leftCharacters(text, kMailBodyCharacters, &cut);
    if (cut)
        body += QStringLiteral("\n\n") +
                platform::format(QVLocalizedString(QStringLiteral("_loc_share_mail_shortened")),
                                 QLocale().toString(qlonglong(text.size())));
    return body;
}

QUrl QVMGeneralPanels::mailtoForText(const QString &text) {
    return QUrl::fromEncoded("mailto:?body=" + QUrl::toPercentEncoding(mailBodyForText(text)),
                             QUrl::StrictMode);
}

void QVMGeneralPanels::onShare(QAbstractButton *sender) {
    trackEvent(QStringLiteral("Click Share button"));
    QWidget *anchor = sender ? static_cast<QWidget *>(sender) : (m_view ? m_view->view() : nullptr);
    QMenu *menu = makeShareMenu(anchor);
    if (!menu)
        return;
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(anchor ? anchor->mapToGlobal(QPoint(0, anchor->height())) : QCursor::pos());
}

void QVMGeneralPanels::shared(const QString &method) {
    trackEvent(QStringLiteral("Share"), {{QStringLiteral("method"), method}});
}

QMenu *QVMGeneralPanels::makeShareMenu(QWidget *parent) {
    if (resultText().isEmpty())
        return nullptr;
    auto *menu = new QMenu(parent);
    menu->setObjectName(QStringLiteral("shareMenu"));
    menu->setTitle(tr("Share"));
    menu->setToolTipsVisible(true);
    QPointer<QVMGeneralPanels> self(this);
    QAction *copy = menu->addAction(tr(kCopyItem));
    copy->setToolTip(tr("Copy the translation"));
    connect(copy, &QAction::triggered, this, [self] {
        if (!self)
            return;
        QVMGeneralViewController::writeToPasteBoard(self->resultText());
        self->shared(QString::fromLatin1(kCopyItem));
    });
    QAction *email = menu->addAction(tr(kEmailItem));
    email->setToolTip(tr("Write an e-mail holding the translation"));
    connect(email, &QAction::triggered, this, [self] {
        if (self)
            self->sendByEmail();
    });
    QAction *suggest = menu->addAction(tr(kSuggestItem));
    suggest->setToolTip(tr("Tell us how the translation should read"));
    connect(suggest, &QAction::triggered, this, [self] {
        if (self)
            self->suggestBetterTranslation();
    });
    return menu;
}

void QVMGeneralPanels::sendByEmail() {
    const QString text = resultText();
    if (text.isEmpty())
        return;
    // Without a mail program the user is offered the whole translation to copy.
    QVMLinkOpener::open(mailtoForText(text), text);
    shared(QString::fromLatin1(kEmailItem));
}

void QVMGeneralPanels::suggestBetterTranslation() {
    if (!m_view || resultText().isEmpty())
        return;
    if (m_feedback) {
        m_feedback->raise();
        m_feedback->activateWindow();
        return;
    }
    const QVTranslationRealm record = m_view->translateObject();
    const bool stored = !record.isNull() && record.isValid();
    const QVTranslateSettings settings = m_view->settings();
    const auto locale = [](const QVLanguageRealm &language) {
        return language.isNull() ? QString() : language.localeIdentifier();
    };
    QVMFeedbackDialog::Translation translation;
    translation.original = m_view->fromTranslateTextView()->toPlainText();
    translation.translated = resultText();
    translation.from = locale(stored ? record.languageFrom() : settings.languageFrom());
    translation.to = locale(stored ? record.languageTo() : settings.languageTo());
    translation.translatorName = stored ? record.translationViaCompany() : m_view->translationCompany();
    m_feedback = new QVMFeedbackDialog(translation, m_view->view()->window());
    m_feedback->setAttribute(Qt::WA_DeleteOnClose);
    m_feedback->open();
    shared(QString::fromUtf8(kSuggestItem));
}

// ---- Context menus ------------------------------------------------------------------

QMenu *QVMGeneralPanels::makePanelMenu(bool source, QWidget *parent) {
    if (!m_view)
        return nullptr;
    auto *menu = new QMenu(parent);
    menu->setObjectName(source ? QStringLiteral("sourcePanelMenu") : QStringLiteral("resultPanelMenu"));
    menu->setToolTipsVisible(true);
    QPointer<QVMGeneralViewController> view(m_view);
    const auto add = [menu](const QString &title, QAbstractButton *button, const QString &disabledReason,
                            std::function<void()> act) {
        QAction *action = menu->addAction(title);
        const bool enabled = !button || button->isEnabled();
        action->setEnabled(enabled);
        action->setToolTip(enabled ? (button ? button->toolTip() : title) : disabledReason);
        QObject::connect(action, &QAction::triggered, menu, [act] { act(); });
        return action;
    };
    const QString noText = tr("The panel holds no text");
    if (source) {
        add(tr("Speak"), m_view->fromSpeakerButton(),
            tr("Nothing to read aloud in this language"), [view] {
                if (view)
                    view->onSpeechSynthesisFrom();
            });
        add(tr("Paste"), m_view->pasteButton(), tr("The clipboard holds no text"),
            [view] {
                if (view)
                    view->opPasteToOriginal();
            });
        add(tr("Clear"), m_view->clearButton(), noText, [view] {
            if (view)
                view->clear();
        });
    } else {
        add(tr("Speak"), m_view->toSpeakerButton(),
            tr("Nothing to read aloud in this language"), [view] {
                if (view)
                    view->onSpeechSynthesisTo();
            });
        add(tr("Copy"), m_view->toPasteboardButton(), noText, [view] {
            if (view)
                view->onCopyFromTranslated();
        });
        QPointer<QVMGeneralPanels> self(this);
        add(tr("Favourite"), m_view->favoriteButton(), noText, [self] {
            if (self)
                self->onFavorite();
        });
        QMenu *share = makeShareMenu(menu);
        if (share) {
            menu->addMenu(share);
        } else {
            QAction *none = menu->addAction(tr("Share"));
            none->setEnabled(false);
            none->setToolTip(noText);
        }
    }
    // The text view's own editing actions follow.
    PaddingTextView *text = source ? m_view->fromTranslateTextView() : m_view->toTranslateTextView();
    QMenu *standard = text->createStandardContextMenu();
    menu->addSeparator();
    for (QAction *action : standard->actions()) {
        action->setParent(menu);
        menu->addAction(action);
    }
    standard->deleteLater();
    return menu;
}

void QVMGeneralPanels::showPanelMenu(bool source, const QPoint &globalPosition) {
    QMenu *menu = makePanelMenu(source, m_view ? m_view->view() : nullptr);
    if (!menu)
        return;
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(globalPosition);
}
