#include "QVMLanguagesViewController.h"

#include "panes/languages/QVMLanguagesListModel.h"
#include "panes/languages/QVMLanguagesTableViewCell.h"

#include "core/localization/QVLocalizedString.h"
#include "core/settings/QVSettingsService.h"
#include "platform/Format.h"
#include "platform/NotificationCenter.h"
#include "ui/adapters/QVMGeneralServices.h"
#include "ui/foundation/QVMUtils.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QScreen>
#include <QVBoxLayout>

namespace {

const QString kCategory = QStringLiteral("Main screen");

bool invokeWithController(QObject *target, const char *method, QObject *controller) {
    if (!target)
        return false;
    const QByteArray signature = QByteArray(method) + "(QObject*)";
    if (target->metaObject()->indexOfMethod(signature.constData()) < 0)
        return false;
    return QMetaObject::invokeMethod(target, method, Q_ARG(QObject *, controller));
}

} // namespace

QVMLanguagesViewController::QVMLanguagesViewController(QObject *parent) : QVMBaseVC(parent) {
    m_touchBar = new QVMLanguageTouchBarController(this);
    m_touchBar->setDelegate(this);
}

QVMLanguagesViewController::~QVMLanguagesViewController() {
    m_touchBar->setDelegate(nullptr);
}

QWidget *QVMLanguagesViewController::loadView() {
    auto *root = new QWidget;
    root->setObjectName(QStringLiteral("QVMLanguagesView"));
    root->setAccessibleName(tr("Languages"));
    auto *layout = new QVBoxLayout(root);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->setSpacing(6);

    m_searchField = new QLineEdit(root);
    m_searchField->setObjectName(QStringLiteral("searchField"));
    m_searchField->setClearButtonEnabled(true);
    m_searchField->setAccessibleName(tr("Search languages"));
    m_searchField->setToolTip(
        tr("Type part of a language's name; Up and Down move in the list, Return chooses"));
    layout->addWidget(m_searchField);

    m_table = new QListView(root);
    m_table->setObjectName(QStringLiteral("languagesTable"));
    m_table->setAccessibleName(tr("Languages"));
    m_table->setToolTip(tr("Click a language or press Return to choose it"));
    m_table->setUniformItemSizes(false);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSpacing(0);
    m_model = new QVMLanguagesListModel(this);
    m_cell = new QVMLanguagesTableViewCell(this);
    m_table->setModel(m_model);
    m_table->setItemDelegate(m_cell);
    layout->addWidget(m_table, 1);
    QWidget::setTabOrder(m_searchField, m_table);
    root->setFocusProxy(m_searchField);
    return root;
}

void QVMLanguagesViewController::viewDidLoad() {
    m_searchField->setPlaceholderText(QVLocalizedString(QString::fromLatin1(kSearchPlaceholderKey)));
    connect(m_searchField, &QLineEdit::textEdited, this, &QVMLanguagesViewController::controlTextDidChange);
    connect(m_table, &QListView::clicked, this, [this](const QModelIndex &index) { chooseRow(index.row()); });
    connect(m_cell, &QVMLanguagesTableViewCell::flagLoaded, m_table->viewport(),
            qOverload<>(&QWidget::update));
    m_searchField->installEventFilter(this);
    m_table->installEventFilter(this);
    view()->installEventFilter(this);
    updateDataWithSearchText({});
}

void QVMLanguagesViewController::setSideIndex(uint side) {
    m_sideIndex = side;
    if (isViewLoaded())
        updateDataWithSearchText(m_searchField->text());
}

void QVMLanguagesViewController::setDelegateLanguage(QObject *delegate) {
    m_delegateLanguage = delegate;
}

const FVCompositeArray &QVMLanguagesViewController::dataSource() const {
    return m_model->dataSource();
}

QString QVMLanguagesViewController::currentLocaleForSide() const {
    return m_sideIndex == 1 ? QVSettingsService::languageFrom() : QVSettingsService::languageTo();
}

void QVMLanguagesViewController::updateDataWithSearchText(const QString &searchText) {
    view();
    const FVCompositeArray list =
        m_languagesDataSource.dataSourceWithLanguageDirection(m_sideIndex, searchText);
    m_model->setDataSource(list, currentLocaleForSide());
    for (int row = 0; row < m_model->rowCount(); ++row)
        m_table->setRowHidden(row, list.isHeaderAtIndex(row) && !list.headerAtIndex(row).isShow());
    m_touchBar->updateDataWithDataSource(list);
    if (!searchText.isEmpty())
        selectFirstLanguage();
}

void QVMLanguagesViewController::selectFirstLanguage() {
    const int row = m_model->languageRowFrom(0, 1);
    if (row >= 0)
        m_table->setCurrentIndex(m_model->index(row));
}

void QVMLanguagesViewController::controlTextDidChange(const QString &text) {
    if (!m_searchUsed) {
        m_searchUsed = true;
        QVMGeneralServices::shared().analytics().trackEvent(kCategory,
                                                            QStringLiteral("List Language - Use Search"), {});
    }
    updateDataWithSearchText(text);
}

void QVMLanguagesViewController::moveSelection(int step) {
    const int current = m_table->currentIndex().isValid() ? m_table->currentIndex().row()
                                                          : (step > 0 ? -1 : m_model->rowCount());
    const int row = m_model->languageRowFrom(current + step, step);
    if (row < 0)
        return;
    const QModelIndex index = m_model->index(row);
    m_table->setCurrentIndex(index);
    m_table->scrollTo(index);
}

bool QVMLanguagesViewController::chooseRow(int row) {
    const FVCompositeArray &list = m_model->dataSource();
    if (row < 0 || row >= list.countOfItems() || list.isHeaderAtIndex(row))
        return false;
    const QVLanguageRealm language = list.languageAtIndex(row);
    if (language.isNull())
        return false;
    QPointer<QVMLanguagesViewController> self(this);
    itemSelected(language, m_sideIndex);
    if (!self)
        return true;
    trackLanguageSelection(language);
    onClose();
    return true;
}

void QVMLanguagesViewController::didSelectItem(const QVLanguageRealm &language,
                                               QVMLanguageTouchBarController *controller) {
    Q_UNUSED(controller)
    QPointer<QVMLanguagesViewController> self(this);
    itemSelected(language, m_sideIndex);
    if (self)
        onClose();
}

void QVMLanguagesViewController::itemSelected(const QVLanguageRealm &language, uint direction) {
    QVSettingsService::addRecentlyLanguage(language);
    const QString current =
        direction == 1 ? QVSettingsService::languageFrom() : QVSettingsService::languageTo();
    if (language.localeIdentifier() == current)
        return;
    const QString other =
        direction == 1 ? QVSettingsService::languageTo() : QVSettingsService::languageFrom();
    platform::Error error;
    if (!other.isEmpty() && language.localeIdentifier() == other) {
        // One language on both sides would translate nothing: the sides trade places instead,
        // which automatic detection cannot do (it never names a target).
        error = QVSettingsService::changeLanguages();
        if (error) {
            QVMUtils::showErrorAlertWithMessage(
                platform::format(QVLocalizedString(QStringLiteral("_loc_language_same_pair_refused")),
                                 language.languageName()));
            return;
        }
    } else {
        error = direction == 1 ? QVSettingsService::setLanguageFrom(language)
                               : QVSettingsService::setLanguageTo(language);
    }
    if (error)
        return;
    if (isViewLoaded())
        m_model->setCurrentLocale(currentLocaleForSide());
    invokeWithController(m_delegateLanguage, "languageDidUpdate", this);
    platform::NotificationCenter::defaultCenter().post(QString::fromLatin1(kDidSelectLanguageNotification));
}

void QVMLanguagesViewController::trackLanguageSelection(const QVLanguageRealm &language) {
    const QString search = m_searchField ? m_searchField->text() : QString();
    QVariantMap params{
        {m_sideIndex == 1 ? QStringLiteral("language_from") : QStringLiteral("language_to"),
         language.localeIdentifier()},
        {QStringLiteral("use_search"), search.isEmpty() ? QStringLiteral("no") : QStringLiteral("yes")}};
    if (!search.isEmpty())
        params.insert(QStringLiteral("search_query"), search);
    QVMGeneralServices::shared().analytics().trackEvent(
        kCategory, QStringLiteral("List Language - Choice Language"), params);
}

void QVMLanguagesViewController::onClose() {
    if (m_popup) {
        view()->close();
        return;
    }
    if (m_delegate)
        QMetaObject::invokeMethod(m_delegate, "showHistory");
}

void QVMLanguagesViewController::showAsWindow(Qt::WindowFlags flags, const QPoint &position) {
    m_popup = true;
    QWidget *window = view();
    window->setParent(nullptr);
    window->setWindowFlags(flags);
    window->setAttribute(Qt::WA_DeleteOnClose, false);
    window->resize(320, 440);
    window->move(position);
    window->show();
    window->activateWindow();
    m_searchField->setFocus(Qt::PopupFocusReason);
}

void QVMLanguagesViewController::showRelativeToWidget(QWidget *anchor) {
    if (!anchor) {
        showWindow();
        return;
    }
    QPoint position = anchor->mapToGlobal(QPoint(0, anchor->height()));
    if (const QScreen *screen = anchor->screen()) {
        const QRect available = screen->availableGeometry();
        position.setX(
            qBound(available.left(), position.x(), qMax(available.left(), available.right() - 320)));
        position.setY(qBound(available.top(), position.y(), qMax(available.top(), available.bottom() - 440)));
    }
    showAsWindow(Qt::Popup, position);
}

void QVMLanguagesViewController::showWindow() {
    QPoint position;
    if (const QScreen *screen = QApplication::primaryScreen())
        position = screen->availableGeometry().center() - QPoint(160, 220);
    showAsWindow(Qt::Dialog, position);
    view()->setWindowTitle(tr("Languages"));
}

void QVMLanguagesViewController::viewWillAppear() {
    m_searchUsed = false;
    updateDataWithSearchText(m_searchField->text());
}

void QVMLanguagesViewController::viewDidAppear() {
    QVMGeneralServices::shared().analytics().trackEvent(kCategory,
                                                        m_sideIndex == 1
                                                            ? QStringLiteral("Click List language from")
                                                            : QStringLiteral("Click List language to"),
                                                        {});
}

void QVMLanguagesViewController::viewWillDisappear() {
    // Only a popup was opened by a button that waits for it; a panel page just hides.
    if (!m_popup)
        return;
    invokeWithController(m_delegateLanguage, "languageControllerWillDismiss", this);
    deleteLater();
}

bool QVMLanguagesViewController::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() == QEvent::KeyPress &&
        (watched == m_searchField || watched == m_table || watched == view())) {
        const auto *key = static_cast<QKeyEvent *>(event);
        switch (key->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
            moveSelection(key->key() == Qt::Key_Down ? 1 : -1);
            return true;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (m_table->currentIndex().isValid())
                chooseRow(m_table->currentIndex().row());
            return true;
        case Qt::Key_Escape:
            if (m_popup) {
                view()->close();
                return true;
            }
            break;
        default:
            break;
        }
    }
    return QVMBaseVC::eventFilter(watched, event);
}
