#include "panes/offline/QVMOfflineViewController.h"

#include "panes/offline/QVMActionDownloadTableCellView.h"
#include "panes/offline/QVMCustomGridOutlineView.h"
#include "panes/offline/QVMLanguagesDownloadTableCellView.h"
#include "panes/offline/QVMOfflineDownloads.h"
#include "panes/offline/QVMOfflineHeaderCell.h"
#include "panes/offline/QVMOfflineRowCells.h"
#include "panes/offline/QVMOptionsTableCellView.h"

#include "ui/controls/QVMRemoteImage.h"
#include "ui/controls/QVMSpinner.h"
#include "ui/foundation/QVMInterfaceFactory.h"
#include "ui/foundation/QVMUtils.h"

#include "services/analytics/QVAnalyticsManager.h"
#include "services/languages/QVLanguageService.h"
#include "services/network/QVRequestManager.h"

#include "core/DevLogger.h"
#include "core/localization/QVLocalizedString.h"
#include "core/models/QVPackagesMapper.h"

#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QVBoxLayout>

namespace {

const QString kFallbackLocale = QStringLiteral("en_GB");

} // namespace

QVMOfflineViewController::QVMOfflineViewController(QObject *parent) : QVMBaseVC(parent) {
    m_searchEvent.setSingleShot(true);
    m_searchEvent.setInterval(1000);
    connect(&m_searchEvent, &QTimer::timeout, this, &QVMOfflineViewController::trackSearch);
    QPointer<QVMOfflineViewController> self(this);
    QVMOfflineDownloads::observe(
        this,
        [self](const QString &code) {
            if (self)
                self->showDownloadState(code);
        },
        [self](const QString &code, const platform::Error &error) {
            if (self)
                self->showFailure(code, error);
        });
}

QVMOfflineViewController::~QVMOfflineViewController() = default;

QWidget *QVMOfflineViewController::loadView() {
    auto *root = new QWidget;
    auto *layout = new QVBoxLayout(root);
    m_searchField = new QLineEdit(root);
    m_searchField->setClearButtonEnabled(true);
    m_searchField->setAccessibleName(tr("Search languages"));
    m_searchField->setToolTip(tr("Type part of a language's name to narrow the list"));
    m_outline = new QVMCustomGridOutlineView(root);
    m_outline->setHeader(new QVMOfflineHeaderCell(m_outline));
    m_outline->setAccessibleName(tr("Offline languages"));
    m_outline->setToolTip(
        tr("Return or Space runs a language's action; Delete removes an installed language"));
    m_outline->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_model = new QVMOfflineLanguagesModel(m_outline);
    m_model->setHeaders({tr("Language"), tr("Size"), tr("Action"), tr("Kinds")});
    m_model->setRowHeight(QVMActionDownloadTableCellView::kHeight);
    m_model->setSizeText([](const QString &code) { return groupForCode(code).formatPackageSize(); });
    m_model->setActionText([this](const QString &code) { return actionText(code); });
    m_model->setKindsText([](const QString &code) {
        QStringList kinds;
        for (const QVLanguagePackageRealm &package : installablePackages(groupForCode(code)))
            kinds.append(package.formattedName());
        return kinds.join(QStringLiteral(", "));
    });
    m_outline->setModel(m_model);
    m_outline->header()->setStretchLastSection(false);
    m_outline->header()->setSectionResizeMode(Column::NameColumn, QHeaderView::Stretch);
    m_outline->header()->resizeSection(Column::SizeColumn, 80);
    m_outline->header()->resizeSection(Column::ActionColumn, 110);
    m_outline->header()->resizeSection(Column::OptionsColumn, 90);
    // The name is a widget over the row: it takes the highlighted text colour with the row.
    connect(m_outline->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &QVMOfflineViewController::showSelection);
    m_cells =
        new QVMOfflineRowCells(m_outline, {Column::NameColumn, Column::ActionColumn, Column::OptionsColumn},
                               [this](int row) { makeCells(row); });
    m_message = new QLabel(root);
    m_message->setWordWrap(true);
    // Failures name languages from the catalogue and carry the server's words.
    m_message->setTextFormat(Qt::PlainText);
    m_message->setAccessibleName(tr("Offline packages status"));
    m_message->setToolTip(tr("What went wrong with the package list or the last download"));
    m_message->hide();
    layout->addWidget(m_searchField);
    layout->addWidget(m_outline, 1);
    layout->addWidget(m_message);
    QWidget::setTabOrder(m_searchField, m_outline);
    m_outline->installEventFilter(this);
    connect(m_searchField, &QLineEdit::textChanged, this, [this] {
        applySearch();
        m_searchEvent.start();
    });
    connect(m_searchField, &QLineEdit::returnPressed, this, &QVMOfflineViewController::onSearch);
    root->resize(620, 420);
    return root;
}

void QVMOfflineViewController::viewDidLoad() {
    m_searchField->setPlaceholderText(QVLocalizedString(QStringLiteral("_loc_language_search")));
    refreshCatalogue();
    updateData();
}

void QVMOfflineViewController::viewDidAppear() {
    QVAnalyticsManager::trackViewsFromArray({QStringLiteral("ScreenOffline")});
    refreshShownRows();
}

void QVMOfflineViewController::refreshShownRows() {
    for (int row = m_cells->first(); row >= 0 && row <= m_cells->last(); ++row)
        refreshRow(row);
}

void QVMOfflineViewController::refreshCatalogue() {
    removeStoredPackagesOnce();
    QVMSpinner::showSpinner(view(), this);
    requestCatalogue(catalogueLocale());
}

void QVMOfflineViewController::requestCatalogue(const QString &locale) {
    QPointer<QVMOfflineViewController> self(this);
    QVRequestManager::instance().getLanguagesPackagesForLocale(
        locale,
        [self, locale](const QVariantList &list) {
            if (!self)
                return;
            if (list.isEmpty() && locale != kFallbackLocale) {
                self->requestCatalogue(kFallbackLocale);
                return;
            }
            platform::Error error;
            QVPackagesMapper::arrayPackagesForJSONArray(list, &error);
            QVMSpinner::hideSpinner(self->view(), self);
            if (error) {
                DevLogger::logError(error, QStringLiteral("arrayPackagesForJSONArray"));
                self->showMessage(tr("The package list could not be updated"));
            } else {
                self->showMessage({});
            }
            self->updateData();
        },
        [self](const platform::Error &error) {
            if (!self)
                return;
            DevLogger::logError(error, QStringLiteral("getLanguagesPackagesForLocale"));
            QVMSpinner::hideSpinner(self->view(), self);
            self->showMessage(
                tr("The package list could not be updated: the server cannot be reached. Installed languages "
                   "are still listed."));
            // The stored catalogue is what the list already shows.
            self->refreshShownRows();
        });
}

void QVMOfflineViewController::updateData() {
    if (!m_model)
        return;
    QList<QVMOfflineLanguagesModel::Row> rows = offeredRows();
    bool same = rows.size() == m_model->allCount();
    for (int row = 0; same && row < rows.size(); ++row) {
        const QVMOfflineLanguagesModel::Row &old = m_model->rowAt(row);
        same = old.code == rows.at(row).code && old.name == rows.at(row).name;
    }
    if (same) {
        // The same languages: refresh the rows on screen in place, keeping cells and scroll.
        refreshShownRows();
        return;
    }
    const int scroll = m_outline->verticalScrollBar()->value();
    m_model->setRows(std::move(rows));
    m_outline->verticalScrollBar()->setValue(scroll);
}

void QVMOfflineViewController::applySearch() {
    if (m_model)
        m_model->setSearch(m_searchField->text());
}

QStringList QVMOfflineViewController::shownCodes() const {
    return m_model ? m_model->shownCodes() : QStringList();
}

QVPackagesRealm QVMOfflineViewController::groupAt(int row) const {
    return m_model ? groupForCode(m_model->codeAt(row)) : QVPackagesRealm();
}

int QVMOfflineViewController::rowForCode(const QString &code) const {
    return m_model ? m_model->rowForCode(code) : -1;
}

void QVMOfflineViewController::makeCells(int row) {
    const QVMOfflineLanguagesModel::Row &r = m_model->rowAt(row);
    const QString code = r.code;
    const QString name = r.name;
    const QVPackagesRealm group = groupForCode(code);

    auto *nameCell = new QVMLanguagesDownloadTableCellView;
    nameCell->nameTextField()->setTextFormat(Qt::PlainText);
    nameCell->nameTextField()->setText(name);
    nameCell->setAccessibleName(name);
    nameCell->pictureImageView()->setAccessibleName(tr("Flag of %1").arg(name));
    nameCell->pictureImageView()->setToolTip(QVMUtils::plainToolTip(name));
    if (codeFix().contains(code)) {
        const QVLanguageRealm language =
            QVLanguageService::languageForLocaleIdentifier(codeFix().value(code));
        if (!language.isNull())
            QVMRemoteImage::getRemoteImageForUrlString(nameCell->pictureImageView(), language.imageFile(),
                                                       true);
    } else if (!group.imageUrl().isEmpty()) {
        QVMRemoteImage::getRemoteImageForUrl(nameCell->pictureImageView(), QUrl(group.imageUrl()), true);
    }
    m_outline->setIndexWidget(m_model->index(row, Column::NameColumn), nameCell);

    auto *action = new QVMActionDownloadTableCellView;
    action->setLanguageName(name);
    action->actionButton()->setFocusPolicy(Qt::NoFocus);
    action->deleteButton()->setFocusPolicy(Qt::NoFocus);
    connect(action->actionButton(), &QPushButton::clicked, this,
            [this, code] { onDownload(rowForCode(code)); });
    connect(action->deleteButton(), &QPushButton::clicked, this,
            [this, code] { onDelete(rowForCode(code)); });
    m_outline->setIndexWidget(m_model->index(row, Column::ActionColumn), action);
    setupActionCell(action, code);

    auto *options = new QVMOptionsTableCellView;
    options->showTypes(group.formatTypes());
    m_outline->setIndexWidget(m_model->index(row, Column::OptionsColumn), options);
    showSelection();
}

void QVMOfflineViewController::showSelection() {
    for (int row = m_cells->first(); row >= 0 && row <= m_cells->last(); ++row) {
        auto *cell = qobject_cast<QVMLanguagesDownloadTableCellView *>(
            m_outline->indexWidget(m_model->index(row, Column::NameColumn)));
        if (!cell)
            continue;
        QPalette palette;
        if (m_outline->selectionModel()->isSelected(m_model->index(row, Column::NameColumn))) {
            palette = m_outline->palette();
            // The label sits on the list's base: it draws with the text role.
            palette.setColor(QPalette::Text, palette.color(QPalette::HighlightedText));
            palette.setColor(QPalette::WindowText, palette.color(QPalette::HighlightedText));
        }
        cell->nameTextField()->setPalette(palette);
    }
}

void QVMOfflineViewController::refreshRow(int row) {
    if (row < 0 || row >= rowCount())
        return;
    m_model->forgetSize(row);
    const QString code = m_model->codeAt(row);
    if (auto *options = qobject_cast<QVMOptionsTableCellView *>(
            m_outline->indexWidget(m_model->index(row, Column::OptionsColumn))))
        options->showTypes(groupForCode(code).formatTypes());
    if (QVMActionDownloadTableCellView *cell = actionCellAt(row))
        setupActionCell(cell, code);
}

QVMActionDownloadTableCellView *QVMOfflineViewController::actionCellAt(int row) const {
    if (!m_model || row < 0 || row >= m_model->rowCount())
        return nullptr;
    return qobject_cast<QVMActionDownloadTableCellView *>(
        m_outline->indexWidget(m_model->index(row, Column::ActionColumn)));
}

void QVMOfflineViewController::showMessage(const QString &text) {
    if (!m_message)
        return;
    m_message->setText(text);
    m_message->setVisible(!text.isEmpty());
}

void QVMOfflineViewController::onSearch() {
    m_searchEvent.stop();
    applySearch();
    trackSearch();
}

void QVMOfflineViewController::trackSearch() {
    track(QStringLiteral("Offline - Use Search"), {});
}

void installOfflinePane(QVMInterfaceFactory &factory) {
    factory.registerController<QVMOfflineViewController>(QStringLiteral("Settings"),
                                                         QStringLiteral("QVMOfflineViewController"));
}
