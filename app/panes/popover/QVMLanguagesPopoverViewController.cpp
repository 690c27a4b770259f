#include "QVMLanguagesPopoverViewController.h"

#include "QVMGenaralPopoverViewController.h"
#include "QVMStatusItem.h"

#include "core/localization/QVLocalizedString.h"
#include "core/settings/QVSettingsService.h"
#include "panes/languages/QVMLanguagesListModel.h"
#include "panes/languages/QVMLanguagesTableViewCell.h"
#include "services/analytics/QVAnalyticsManager.h"
#include "services/graphics/QVMStyleService.h"
#include "ui/adapters/QVMGeneralServices.h"
#include "ui/controls/QVTextField.h"
#include "ui/main/QVMGeneralViewController.h"
#include "ui/style/QVMColor.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QListView>
#include <QPushButton>
#include <QVBoxLayout>

QVMLanguagesPopoverViewController::QVMLanguagesPopoverViewController(QObject *parent) : QVMBaseVC(parent) {
    m_touchBar = new QVMLanguageTouchBarController(this);
}

QVMLanguagesPopoverViewController::~QVMLanguagesPopoverViewController() {
    cancelObserveThemeColor();
    if (m_touchBar)
        m_touchBar->setDelegate(nullptr);
}

QVMGenaralPopoverViewController *QVMLanguagesPopoverViewController::lastViewController() const {
    return qobject_cast<QVMGenaralPopoverViewController *>(m_lastViewController.data());
}

void QVMLanguagesPopoverViewController::setLastViewController(QObject *controller) {
    m_lastViewController = controller;
}

void QVMLanguagesPopoverViewController::setSideIndex(uint side) {
    m_sideIndex = side;
    if (isViewLoaded())
        updateDataWithSearchText(m_searchField->text());
}

QWidget *QVMLanguagesPopoverViewController::loadView() {
    auto *root = new QWidget;
    root->setObjectName(QStringLiteral("QVMLanguagesPopoverView"));
    root->setAccessibleName(tr("Languages"));
    root->setFixedSize(QVMGenaralPopoverViewController::kWidth, 420);
    auto *layout = new QVBoxLayout(root);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->setSpacing(6);

    m_boxA = new QFrame;
    m_boxA->setObjectName(QStringLiteral("boxA"));
    m_boxA->setAutoFillBackground(true);
    auto *top = new QHBoxLayout(m_boxA);
    top->setContentsMargins(0, 0, 0, 0);
    m_searchField = new QVTextField;
    m_searchField->setObjectName(QStringLiteral("searchField"));
    m_searchField->setClearButtonEnabled(true);
    m_searchField->setAccessibleName(tr("Search languages"));
    m_searchField->setToolTip(
        tr("Type part of a language's name; Up and Down move in the list, Return chooses"));
    top->addWidget(m_searchField, 1);
    layout->addWidget(m_boxA);

    m_boxB = new QFrame;
    m_boxB->setObjectName(QStringLiteral("boxB"));
    m_boxB->setAutoFillBackground(true);
    auto *middle = new QVBoxLayout(m_boxB);
    middle->setContentsMargins(0, 0, 0, 0);
    m_table = new QListView;
    m_table->setObjectName(QStringLiteral("languagesTable"));
    m_table->setAccessibleName(tr("Languages"));
    m_table->setToolTip(tr("Click a language or press Return to choose it"));
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSpacing(0);
    m_table->setFrameShape(QFrame::NoFrame);
    m_model = new QVMLanguagesListModel(this);
    m_cell = new QVMLanguagesTableViewCell(this);
    m_table->setModel(m_model);
    m_table->setItemDelegate(m_cell);
    middle->addWidget(m_table);
    layout->addWidget(m_boxB, 1);

    m_boxC = new QFrame;
    m_boxC->setObjectName(QStringLiteral("boxC"));
    m_boxC->setAutoFillBackground(true);
    auto *bottom = new QHBoxLayout(m_boxC);
    bottom->setContentsMargins(0, 0, 0, 0);
    m_mainButton = new QPushButton(tr("Main window"));
    m_mainButton->setObjectName(QStringLiteral("mainWindowButton"));
    m_mainButton->setToolTip(tr("Open the main window"));
    m_mainButton->setAccessibleName(m_mainButton->toolTip());
    m_closeButton = new QPushButton;
    m_closeButton->setObjectName(QStringLiteral("closeButton"));
    bottom->addWidget(m_mainButton);
    bottom->addStretch(1);
    bottom->addWidget(m_closeButton);
    layout->addWidget(m_boxC);

    QWidget::setTabOrder(m_searchField, m_table);
    QWidget::setTabOrder(m_table, m_mainButton);
    QWidget::setTabOrder(m_mainButton, m_closeButton);
    root->setFocusProxy(m_searchField);
    return root;
}

void QVMLanguagesPopoverViewController::viewDidLoad() {
    observeThemeColor();
    m_touchBar->setDelegate(this);
    const QString close = QVLocalizedString(QStringLiteral("_loc_close"));
    m_closeButton->setText(close);
    m_closeButton->setToolTip(tr("Back to the translator without a change"));
    m_closeButton->setAccessibleName(close);
    m_searchField->setPlaceholderText(QVLocalizedString(QStringLiteral("_loc_language_search")));
    QFont placeholder = m_searchField->font();
    placeholder.setPixelSize(15);
    m_searchField->setFont(placeholder);
    connect(m_searchField, &QLineEdit::textEdited, this,
            &QVMLanguagesPopoverViewController::updateDataWithSearchText);
    connect(m_table, &QListView::clicked, this, [this](const QModelIndex &index) { chooseRow(index.row()); });
    connect(m_cell, &QVMLanguagesTableViewCell::flagLoaded, m_table->viewport(),
            qOverload<>(&QWidget::update));
    connect(m_closeButton, &QPushButton::clicked, this, &QVMLanguagesPopoverViewController::onDone);
    connect(m_mainButton, &QPushButton::clicked, this,
            &QVMLanguagesPopoverViewController::onShowGeneralWindows);
    // Only the tray window's own loss of focus sends the list back.
    connect(&QVMStatusItem::sharedInstance(), &QVMStatusItem::didResignKey, this, [this] {
        if (QVMStatusItem::sharedInstance().contentViewController() == this)
            back();
    });
    m_searchField->installEventFilter(this);
    m_table->installEventFilter(this);
    applyTheme();
    updateDataWithSearchText({});
}

void QVMLanguagesPopoverViewController::viewWillAppear() {
    m_table->viewport()->update();
}

void QVMLanguagesPopoverViewController::viewDidAppear() {
    QVAnalyticsManager::shared().trackViewsFromArray({QString::fromLatin1(kScreenName)});
    m_searchField->setFocus(Qt::PopupFocusReason);
    m_table->viewport()->update();
}

const FVCompositeArray &QVMLanguagesPopoverViewController::dataSource() const {
    return m_model->dataSource();
}

QString QVMLanguagesPopoverViewController::currentLocaleForSide() const {
    return m_sideIndex == 1 ? QVSettingsService::languageFrom() : QVSettingsService::languageTo();
}

void QVMLanguagesPopoverViewController::updateDataWithSearchText(const QString &searchText) {
    view();
    const FVCompositeArray list =
        m_languagesDataSource.dataSourceWithLanguageDirection(m_sideIndex, searchText);
    m_model->setDataSource(list, currentLocaleForSide());
    for (int row = 0; row < m_model->rowCount(); ++row)
        m_table->setRowHidden(row, list.isHeaderAtIndex(row) && !list.headerAtIndex(row).isShow());
    m_touchBar->updateDataWithDataSource(list);
    const int first = m_model->languageRowFrom(0, 1);
    if (!searchText.isEmpty() && first >= 0)
        m_table->setCurrentIndex(m_model->index(first));
}

void QVMLanguagesPopoverViewController::moveSelection(int step) {
    const int current = m_table->currentIndex().isValid() ? m_table->currentIndex().row()
                                                          : (step > 0 ? -1 : m_model->rowCount());
    const int row = m_model->languageRowFrom(current + step, step);
    if (row < 0)
        return;
    m_table->setCurrentIndex(m_model->index(row));
    m_table->scrollTo(m_model->index(row));
}

bool QVMLanguagesPopoverViewController::chooseRow(int row) {
    const FVCompositeArray &list = m_model->dataSource();
    if (row < 0 || row >= list.countOfItems() || list.isHeaderAtIndex(row))
        return false;
    const QVLanguageRealm language = list.languageAtIndex(row);
    QVMGeneralServices::shared().analytics().trackEvent(
        QLatin1String(QVMGenaralPopoverViewController::kCategoryAgent),
        QStringLiteral("List Language - Choice Language"),
        {{QLatin1String(m_sideIndex == 1 ? QVMGenaralPopoverViewController::kPanelLanguageFrom
                                         : QVMGenaralPopoverViewController::kPanelLanguageTo),
          language.localeIdentifier()}});
    QVSettingsService::addRecentlyLanguage(language);
    itemSelected(language, m_sideIndex);
    back();
    return true;
}

void QVMLanguagesPopoverViewController::itemSelected(const QVLanguageRealm &language, uint direction) {
    if (direction != 1 && direction != 2)
        return;
    const platform::Error error = direction == 2 ? QVSettingsService::setLanguageTo(language)
                                                 : QVSettingsService::setLanguageFrom(language);
    if (error)
        return;
    QVMGenaralPopoverViewController *translator = lastViewController();
    if (translator && translator->delegate())
        translator->delegate()->languageSelectionDidChange();
    if (translator) {
        translator->updateLanguageButtons();
        if (direction == 2)
            translator->translateCurrentText();
    }
}

void QVMLanguagesPopoverViewController::back() {
    if (std::exchange(m_leaving, true))
        return;
    if (QVMGenaralPopoverViewController *translator = lastViewController())
        QVMStatusItem::sharedInstance().updateContentViewController(translator);
    deleteLater();
}

void QVMLanguagesPopoverViewController::onDone() {
    back();
}

void QVMLanguagesPopoverViewController::onShowGeneralWindows() {
    QVMGenaralPopoverViewController *translator = lastViewController();
    back();
    if (translator)
        translator->showMainApp();
}

// A strip choice is stored and reported, with no event, no recent entry and no return.
void QVMLanguagesPopoverViewController::didSelectItem(const QVLanguageRealm &language,
                                                      QVMLanguageTouchBarController *controller) {
    Q_UNUSED(controller)
    itemSelected(language, m_sideIndex);
    m_model->setCurrentLocale(currentLocaleForSide());
}

bool QVMLanguagesPopoverViewController::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() == QEvent::KeyPress && (watched == m_searchField || watched == m_table)) {
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
            back();
            return true;
        default:
            break;
        }
    }
    return QVMBaseVC::eventFilter(watched, event);
}

void QVMLanguagesPopoverViewController::didChangeColorTheme(bool dark) {
    Q_UNUSED(dark)
    applyTheme();
}

void QVMLanguagesPopoverViewController::applyTheme() {
    if (!isViewLoaded())
        return;
    const bool dark = QVMStyleService::isDarkMode();
    const QColor box = dark ? QColor(Qt::black) : QColor(Qt::white);
    m_mainColorB = dark ? QVMColor::customDarkGrayColor() : QVMColor::customLightGrayColor();
    m_textColor = dark ? QColor(Qt::white) : QColor(Qt::black);
    QPalette root = view()->palette();
    root.setColor(QPalette::Window, box);
    root.setColor(QPalette::WindowText, m_textColor);
    root.setColor(QPalette::Base, m_mainColorB);
    root.setColor(QPalette::Text, m_textColor);
    root.setColor(QPalette::ButtonText, m_textColor);
    root.setColor(QPalette::Button, m_mainColorB);
    root.setColor(QPalette::PlaceholderText, dark ? QColor(170, 170, 170) : QColor(100, 100, 100));
    view()->setPalette(root);
    view()->setAutoFillBackground(true);
    for (QFrame *frame : {m_boxA, m_boxB, m_boxC}) {
        QPalette p = frame->palette();
        p.setColor(QPalette::Window, box);
        frame->setPalette(p);
    }
    m_searchField->setTextColor(m_textColor);
    m_table->viewport()->update();
}
