#include "panes/offline/QVMOfflineViewController.h"

#include "panes/offline/QVMActionDownloadTableCellView.h"
#include "panes/offline/QVMCustomGridOutlineView.h"
#include "panes/offline/QVMLanguagesDownloadTableCellView.h"
#include "panes/offline/QVMOfflineHeaderCell.h"
#include "panes/offline/QVMOptionsTableCellView.h"

#include "ui/QVMInterfaceFactory.h"
#include "ui/QVMRemoteImage.h"
#include "ui/QVMSpinner.h"

#include "services/analytics/QVAnalyticsManager.h"
#include "services/languages/QVLanguageService.h"
#include "services/network/QVRequestManager.h"
#include "services/packages/QVPackageDownloadManager.h"

#include "core/DevLogger.h"
#include "core/history/QVDataManager.h"
#include "core/localization/DJLocalizationSystem.h"
#include "core/localization/QVLocalizedString.h"
#include "core/models/QVPackagesMapper.h"

#include "platform/UserDefaults.h"

#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QVBoxLayout>

#include <algorithm>

namespace {

const QString kEnglish = QStringLiteral("en");
const QString kFallbackLocale = QStringLiteral("en_GB");
constexpr qint64 kProgressInterval = 100; // ms: at most 10 reports a second per row

enum Column { NameColumn, SizeColumn, ActionColumn, OptionsColumn, ColumnCount };

// One language's installation: its packages one after another, one ring.
struct Job {
    QStringList urls;
    QList<double> sizes;
    int index = 0;
    double total = 0;
    double done = 0;
    uint status = QVMActionDownloadTableCellView::Downloading;
    double progress = 0;
    qint64 lastReport = -kProgressInterval;
};

QHash<QString, Job> &jobs() {
    static QHash<QString, Job> running;
    return running;
}

QList<QPointer<QVMOfflineViewController>> &liveTabs() {
    static QList<QPointer<QVMOfflineViewController>> tabs;
    return tabs;
}

qint64 now() {
    static QElapsedTimer clock;
    if (!clock.isValid())
        clock.start();
    return clock.elapsed();
}

void notify(const QString &code) {
    for (const QPointer<QVMOfflineViewController> &tab : liveTabs())
        if (tab)
            tab->showDownloadState(code);
}

bool isCancellation(const platform::Error &error) {
    return error.code() == QVDownloadManager::kCancelledCode &&
           error.domain() == QLatin1String(QVDownloadManager::kURLErrorDomain);
}

QVLanguagePackageRealm packageForUrl(const QString &url) {
    return QVLanguagePackageRealm(platform::ObjectStore::defaultStore().objectForPrimaryKey(
        QVLanguagePackageRealm::storeClassName(), url));
}

QVariantMap packageParams(const QVLanguagePackageRealm &package) {
    if (package.isNull())
        return {{QStringLiteral("language_pack"), QString()}, {QStringLiteral("size"), QString()}};
    return {{QStringLiteral("language_pack"), package.localName()},
            {QStringLiteral("size"), QString::number(double(package.packageSize()))}};
}

void track(const QString &action, const QVariantMap &params) {
    QVAnalyticsManager::trackEventWithCategory(QString::fromLatin1(QVMOfflineViewController::kCategory),
                                               action, params);
}

void startNext(const QString &code);

// Reports of the package at the job's current place go to the code's row,
// never to a cell, so a reused or rebuilt row cannot take another's progress.
QVPackageDownloadManager::Progress progressFor(const QString &code) {
    return [code](double value) {
        auto it = jobs().find(code);
        if (it == jobs().end())
            return;
        Job &job = *it;
        const double size = job.sizes.value(job.index);
        if (value == 1.0) {
            job.status = QVMActionDownloadTableCellView::Unpacking;
            job.progress = (job.done + size) / job.total;
            notify(code);
            return;
        }
        const uint before = job.status;
        job.status = QVMActionDownloadTableCellView::Downloading;
        job.progress = (job.done + value * size) / job.total;
        if (before == job.status && now() - job.lastReport < kProgressInterval)
            return;
        job.lastReport = now();
        notify(code);
    };
}

QVPackageDownloadManager::Success successFor(const QString &code) {
    return [code](const QString &) {
        auto it = jobs().find(code);
        if (it == jobs().end())
            return;
        Job &job = *it;
        const QVLanguagePackageRealm package = packageForUrl(job.urls.value(job.index));
        track(QStringLiteral("Offline - Downloaded Language"), packageParams(package));
        job.done += job.sizes.value(job.index);
        ++job.index;
        if (job.index < job.urls.size()) {
            job.status = QVMActionDownloadTableCellView::Downloading;
            startNext(code);
        } else {
            jobs().erase(it);
        }
        notify(code);
    };
}

QVPackageDownloadManager::Failure failureFor(const QString &code) {
    return [code](const platform::Error &error) {
        jobs().remove(code);
        if (!isCancellation(error)) {
            DevLogger::logError(error, QStringLiteral("downloadPackage"));
            QVAnalyticsManager::trackEventWithCategory(QStringLiteral("error"), QStringLiteral("web server"),
                                                       error.localizedDescription(), 1.0);
            for (const QPointer<QVMOfflineViewController> &tab : liveTabs())
                if (tab)
                    tab->showFailure(code, error);
        }
        notify(code);
    };
}

void startNext(const QString &code) {
    const Job &job = jobs().value(code);
    const QVLanguagePackageRealm package = packageForUrl(job.urls.value(job.index));
    if (package.isNull()) {
        failureFor(code)(platform::Error(QString::fromLatin1(QVPackageDownloadManager::kErrorDomain),
                                         QVPackageDownloadManager::NoRecord,
                                         QObject::tr("The package is no longer in the catalogue")));
        return;
    }
    QVPackageDownloadManager::sharedManager().downloadPackage(package, progressFor(code), successFor(code),
                                                              failureFor(code));
}

QString folded(const QString &text) {
    QString out;
    const QString decomposed = text.normalized(QString::NormalizationForm_D);
    out.reserve(decomposed.size());
    for (const QChar c : decomposed)
        if (c.category() != QChar::Mark_NonSpacing)
            out.append(c);
    return out.toCaseFolded();
}

} // namespace

QVMOfflineViewController::QVMOfflineViewController(QObject *parent) : QVMBaseVC(parent) {
    m_searchEvent.setSingleShot(true);
    m_searchEvent.setInterval(1000);
    connect(&m_searchEvent, &QTimer::timeout, this, &QVMOfflineViewController::trackSearch);
    liveTabs().append(this);
}

QVMOfflineViewController::~QVMOfflineViewController() {
    liveTabs().removeAll(QPointer<QVMOfflineViewController>(this));
    liveTabs().removeAll(QPointer<QVMOfflineViewController>());
}

const QHash<QString, QString> &QVMOfflineViewController::codeFix() {
    static const QHash<QString, QString> fix{{QStringLiteral("fr"), QStringLiteral("fr_FR")},
                                             {QStringLiteral("es"), QStringLiteral("es_ES")},
                                             {QStringLiteral("ar"), QStringLiteral("ar_AE")},
                                             {QStringLiteral("nl"), QStringLiteral("nl_NL")}};
    return fix;
}

bool QVMOfflineViewController::nameMatches(const QString &name, const QString &search) {
    return folded(name).contains(folded(search));
}

QList<QVPackagesRealm> QVMOfflineViewController::filteredGroups(const QList<QVPackagesRealm> &groups,
                                                                const QString &search) {
    QList<QVPackagesRealm> out;
    const QString text = search.trimmed();
    for (const QVPackagesRealm &group : groups) {
        const QList<platform::Object> packages = group.packages().toList();
        const bool offered =
            group.languageCode() == kEnglish ||
            std::any_of(packages.begin(), packages.end(), [](const platform::Object &o) {
                return QVLanguagePackageRealm(o).formatType() == QVLanguagePackageRealm::OpennmtDesktop;
            });
        if (!offered)
            continue;
        if (text.isEmpty() || nameMatches(group.localName(), text) || nameMatches(displayName(group), text))
            out.append(group);
    }
    return out;
}

QString QVMOfflineViewController::displayName(const QVPackagesRealm &group) {
    const QString code = group.languageCode();
    if (codeFix().contains(code)) {
        const QVLanguageRealm language =
            QVLanguageService::languageForLocaleIdentifier(codeFix().value(code));
        if (!language.isNull())
            return QVLanguageService::languageTitleWithoutCountryWithLanguage(language);
    } else {
        const QVLanguageRealm language = QVLanguageService::languageForLanguageString(code);
        if (!language.isNull() && !language.languageName().isEmpty())
            return language.languageName();
    }
    return group.localName();
}

QList<QVLanguagePackageRealm> QVMOfflineViewController::installablePackages(const QVPackagesRealm &group) {
    QList<QVLanguagePackageRealm> out;
    for (const platform::Object &object : group.packages().toList()) {
        const QVLanguagePackageRealm package(object);
        const uint type = package.formatType();
        if (type == QVLanguagePackageRealm::OpennmtDesktop || type == QVLanguagePackageRealm::Tesseract ||
            type == QVLanguagePackageRealm::Wordnet)
            out.append(package);
    }
    // Without its text model a language does not translate: that one first.
    std::stable_sort(out.begin(), out.end(),
                     [](const QVLanguagePackageRealm &a, const QVLanguagePackageRealm &b) {
                         return a.formatType() == QVLanguagePackageRealm::OpennmtDesktop &&
                                b.formatType() != QVLanguagePackageRealm::OpennmtDesktop;
                     });
    return out;
}

bool QVMOfflineViewController::isGroupInstalled(const QVPackagesRealm &group) {
    const QList<QVLanguagePackageRealm> packages = installablePackages(group);
    auto &manager = QVPackageDownloadManager::sharedManager();
    return !packages.isEmpty() && std::all_of(packages.begin(), packages.end(), [&](const auto &package) {
        return manager.isDownloadedPackage(package);
    });
}

QString QVMOfflineViewController::catalogueLocale() {
    const QVLanguageRealm language =
        QVLanguageService::languageForLanguageString(DJLocalizationSystem::shared().language());
    const QString locale = language.isNull() ? QString() : language.localeIdentifier();
    return locale.isEmpty() ? kFallbackLocale : locale;
}

void QVMOfflineViewController::removeStoredPackagesOnce() {
    platform::UserDefaults &defaults = platform::UserDefaults::standard();
    const QString key = QString::fromLatin1(kPackagesWereRemovedKey);
    if (defaults.boolForKey(key))
        return;
    // Records of installed packages stay, or an installed language would
    // vanish from the list until the catalogue can be fetched again.
    const platform::ObjectStore store = platform::ObjectStore::defaultStore();
    auto &manager = QVPackageDownloadManager::sharedManager();
    QList<platform::Object> drop;
    for (const QVLanguagePackageRealm &package :
         store.objects(QVLanguagePackageRealm::storeClassName()).toList<QVLanguagePackageRealm>())
        if (!manager.isDownloadedPackage(package))
            drop.append(package);
    for (const QVPackagesRealm &group :
         store.objects(QVPackagesRealm::storeClassName()).toList<QVPackagesRealm>()) {
        const QList<platform::Object> packages = group.packages().toList();
        if (std::all_of(packages.begin(), packages.end(),
                        [&](const platform::Object &p) { return drop.contains(p); }))
            drop.append(group);
    }
    platform::Error error;
    if (drop.size() == store.objects(QVLanguagePackageRealm::storeClassName()).count() +
                           store.objects(QVPackagesRealm::storeClassName()).count())
        error = QVDataManager::sharedInstance().removeAllPackages();
    else
        error = store.write([&](platform::Transaction &tx) {
            for (const platform::Object &object : drop)
                tx.remove(object);
        });
    if (error) {
        DevLogger::logError(error, QStringLiteral("removeAllPackages"));
        return; // tried again at the next opening
    }
    defaults.setBool(true, key);
}

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
    m_model = new QStandardItemModel(0, ColumnCount, m_outline);
    m_model->setHorizontalHeaderLabels({tr("Language"), tr("Size"), tr("Action"), tr("Kinds")});
    m_outline->setModel(m_model);
    m_outline->header()->setStretchLastSection(false);
    m_outline->header()->setSectionResizeMode(NameColumn, QHeaderView::Stretch);
    m_outline->header()->resizeSection(SizeColumn, 80);
    m_outline->header()->resizeSection(ActionColumn, 110);
    m_outline->header()->resizeSection(OptionsColumn, 90);
    m_message = new QLabel(root);
    m_message->setWordWrap(true);
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
    for (int row = 0; row < m_groups.size(); ++row)
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
            self->updateData();
        });
}

void QVMOfflineViewController::updateData() {
    if (!m_model)
        return;
    const QList<QVPackagesRealm> groups =
        filteredGroups(QVPackagesRealm::allSorted().toList<QVPackagesRealm>(), QString());
    QStringList codes;
    for (const QVPackagesRealm &group : groups)
        codes << group.languageCode();
    QStringList shown;
    for (const QVPackagesRealm &group : std::as_const(m_groups))
        shown << group.languageCode();
    m_groups = groups;
    if (codes == shown && m_model->rowCount() == groups.size()) {
        // The same languages: refresh the rows in place, keeping cells and scroll.
        for (int row = 0; row < m_groups.size(); ++row)
            refreshRow(row);
    } else {
        const int scroll = m_outline->verticalScrollBar()->value();
        m_names.clear();
        m_model->setRowCount(0);
        m_model->setRowCount(int(m_groups.size()));
        for (int row = 0; row < m_groups.size(); ++row)
            fillRow(row, m_groups.at(row));
        m_outline->verticalScrollBar()->setValue(scroll);
    }
    applySearch();
}

void QVMOfflineViewController::applySearch() {
    if (!m_model)
        return;
    const QString text = m_searchField->text().trimmed();
    for (int row = 0; row < m_groups.size(); ++row) {
        const bool match = text.isEmpty() || nameMatches(m_groups.at(row).localName(), text) ||
                           nameMatches(m_names.value(row), text);
        m_outline->setRowHidden(row, QModelIndex(), !match);
    }
}

QStringList QVMOfflineViewController::shownCodes() const {
    QStringList out;
    for (int row = 0; row < m_groups.size(); ++row)
        if (!m_outline->isRowHidden(row, QModelIndex()))
            out << m_groups.at(row).languageCode();
    return out;
}

void QVMOfflineViewController::refreshRow(int row) {
    const QVPackagesRealm group = m_groups.at(row);
    m_model->item(row, SizeColumn)->setText(group.formatPackageSize());
    if (auto *options = qobject_cast<QVMOptionsTableCellView *>(
            m_outline->indexWidget(m_model->index(row, OptionsColumn))))
        options->showTypes(group.formatTypes());
    if (QVMActionDownloadTableCellView *cell = actionCellAt(row))
        setupActionCell(cell, group);
}

void QVMOfflineViewController::fillRow(int row, const QVPackagesRealm &group) {
    const QString name = displayName(group);
    m_names.append(name);
    // The cell widget draws the name; the item only names the row for assistive tools.
    auto *nameItem = new QStandardItem;
    nameItem->setData(name, Qt::AccessibleTextRole);
    m_model->setItem(row, NameColumn, nameItem);
    auto *sizeItem = new QStandardItem(group.formatPackageSize());
    sizeItem->setTextAlignment(Qt::AlignCenter);
    m_model->setItem(row, SizeColumn, sizeItem);
    m_model->setItem(row, ActionColumn, new QStandardItem);
    m_model->setItem(row, OptionsColumn, new QStandardItem);

    auto *nameCell = new QVMLanguagesDownloadTableCellView;
    nameCell->nameTextField()->setText(name);
    nameCell->setAccessibleName(name);
    nameCell->pictureImageView()->setAccessibleName(tr("Flag of %1").arg(name));
    nameCell->pictureImageView()->setToolTip(name);
    const QString code = group.languageCode();
    if (codeFix().contains(code)) {
        const QVLanguageRealm language =
            QVLanguageService::languageForLocaleIdentifier(codeFix().value(code));
        if (!language.isNull())
            QVMRemoteImage::getRemoteImageForUrlString(nameCell->pictureImageView(), language.imageFile(),
                                                       true);
    } else if (!group.imageUrl().isEmpty()) {
        QVMRemoteImage::getRemoteImageForUrl(nameCell->pictureImageView(), QUrl(group.imageUrl()), true);
    }
    m_outline->setIndexWidget(m_model->index(row, NameColumn), nameCell);

    auto *action = new QVMActionDownloadTableCellView;
    action->setLanguageName(name);
    action->actionButton()->setFocusPolicy(Qt::NoFocus);
    action->deleteButton()->setFocusPolicy(Qt::NoFocus);
    connect(action->actionButton(), &QPushButton::clicked, this,
            [this, code] { onDownload(rowForCode(code)); });
    connect(action->deleteButton(), &QPushButton::clicked, this,
            [this, code] { onDelete(rowForCode(code)); });
    m_outline->setIndexWidget(m_model->index(row, ActionColumn), action);
    setupActionCell(action, group);

    auto *options = new QVMOptionsTableCellView;
    options->showTypes(group.formatTypes());
    m_outline->setIndexWidget(m_model->index(row, OptionsColumn), options);
}

int QVMOfflineViewController::rowForCode(const QString &code) const {
    for (int row = 0; row < m_groups.size(); ++row)
        if (m_groups.at(row).languageCode() == code)
            return row;
    return -1;
}

QVMActionDownloadTableCellView *QVMOfflineViewController::actionCellAt(int row) const {
    if (!m_model || row < 0 || row >= m_model->rowCount())
        return nullptr;
    return qobject_cast<QVMActionDownloadTableCellView *>(
        m_outline->indexWidget(m_model->index(row, ActionColumn)));
}

void QVMOfflineViewController::setupActionCell(QVMActionDownloadTableCellView *cell,
                                               const QVPackagesRealm &group) {
    const QString code = group.languageCode();
    QPointer<QVMOfflineViewController> self(this);
    cell->setActionForTap([self, code](QVMActionDownloadTableCellView *, uint) {
        if (self)
            self->onPause(self->rowForCode(code));
    });
    const QList<QVLanguagePackageRealm> packages = installablePackages(group);
    cell->actionButton()->setEnabled(!packages.isEmpty());
    cell->actionButton()->setToolTip(packages.isEmpty()
                                         ? tr("No offline package is offered for this language")
                                         : tr("Download the offline package"));
    if (!jobs().contains(code)) {
        // A download started elsewhere (or before this tab) reports here from now on.
        for (const QVLanguagePackageRealm &package : packages) {
            Job job;
            job.urls = {package.packageUrl()};
            job.sizes = {qMax(1e-3, double(package.packageSize()))};
            job.total = job.sizes.first();
            jobs().insert(code, job);
            if (QVPackageDownloadManager::sharedManager().isPackageDownloading(
                    package, progressFor(code), successFor(code), failureFor(code)))
                break;
            jobs().remove(code);
        }
    }
    if (jobs().contains(code)) {
        const Job &job = jobs()[code];
        cell->setIndicatorStatus(job.status);
        cell->setProgress(float(job.progress));
        return;
    }
    cell->setIndicatorStatus(isGroupInstalled(group) ? QVMActionDownloadTableCellView::Installed
                                                     : QVMActionDownloadTableCellView::NotDownloaded);
}

void QVMOfflineViewController::showDownloadState(const QString &code) {
    const int row = rowForCode(code);
    if (QVMActionDownloadTableCellView *cell = actionCellAt(row))
        setupActionCell(cell, m_groups.at(row));
}

void QVMOfflineViewController::showFailure(const QString &code, const platform::Error &error) {
    const int row = rowForCode(code);
    const QString name = row >= 0 ? displayName(m_groups.at(row)) : code;
    showMessage(tr("%1: %2").arg(name, error.localizedDescription()));
}

void QVMOfflineViewController::showMessage(const QString &text) {
    if (!m_message)
        return;
    m_message->setText(text);
    m_message->setVisible(!text.isEmpty());
}

void QVMOfflineViewController::onDownload(int row) {
    if (row < 0 || row >= m_groups.size())
        return;
    const QVPackagesRealm group = m_groups.at(row);
    const QString code = group.languageCode();
    const QList<QVLanguagePackageRealm> packages = installablePackages(group);
    track(QStringLiteral("Offline -  Start Download Language"),
          packageParams(packages.isEmpty() ? QVLanguagePackageRealm() : packages.first()));
    if (jobs().contains(code))
        return;
    auto &manager = QVPackageDownloadManager::sharedManager();
    Job job;
    for (const QVLanguagePackageRealm &package : packages) {
        if (manager.isDownloadedPackage(package))
            continue;
        job.urls.append(package.packageUrl());
        job.sizes.append(qMax(1e-3, double(package.packageSize())));
        job.total += job.sizes.last();
    }
    if (job.urls.isEmpty()) {
        showDownloadState(code);
        return;
    }
    showMessage({});
    jobs().insert(code, job);
    notify(code);
    startNext(code);
}

void QVMOfflineViewController::onCancel(int row) {
    if (row < 0 || row >= m_groups.size())
        return;
    const QString code = m_groups.at(row).languageCode();
    const Job job = jobs().value(code);
    const QString url = job.urls.value(job.index);
    track(QStringLiteral("Offline - Cancel Download Language"), packageParams(packageForUrl(url)));
    if (!url.isEmpty())
        QVPackageDownloadManager::sharedManager().cancelDownloadForUrl(url);
}

void QVMOfflineViewController::onDelete(int row) {
    if (row < 0 || row >= m_groups.size())
        return;
    const QVPackagesRealm group = m_groups.at(row);
    if (installablePackages(group).isEmpty())
        return;
    auto *box = new QMessageBox(QMessageBox::Question, tr("Delete offline package"),
                                tr("Delete the offline package for %1 (%2 MB)?")
                                    .arg(displayName(group))
                                    .arg(qRound(group.packageSize())),
                                QMessageBox::Yes | QMessageBox::No, view());
    box->setDefaultButton(QMessageBox::No);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setAccessibleName(tr("Delete offline package"));
    const QString code = group.languageCode();
    connect(box, &QMessageBox::finished, this, [this, box, code] {
        if (box->result() != QMessageBox::Yes)
            return;
        const int at = rowForCode(code);
        if (at >= 0)
            deleteGroup(m_groups.at(at));
    });
    box->open();
}

void QVMOfflineViewController::deleteGroup(const QVPackagesRealm &group) {
    auto &manager = QVPackageDownloadManager::sharedManager();
    bool cleared = true;
    const QList<QVLanguagePackageRealm> packages = installablePackages(group);
    for (const QVLanguagePackageRealm &package : packages)
        if (manager.isDownloadedPackage(package) || package.isDownloaded())
            cleared = manager.deletePackage(package) && cleared;
    track(QStringLiteral("Offline - Delete Download Language"),
          packageParams(packages.isEmpty() ? QVLanguagePackageRealm() : packages.first()));
    showMessage(cleared ? QString()
                        : tr("%1: some files of the package could not be removed").arg(displayName(group)));
    updateData();
}

void QVMOfflineViewController::runRowAction(int row) {
    QVMActionDownloadTableCellView *cell = actionCellAt(row);
    if (!cell)
        return;
    switch (cell->currentStatus()) {
    case QVMActionDownloadTableCellView::NotDownloaded:
        if (cell->actionButton()->isEnabled())
            onDownload(row);
        break;
    case QVMActionDownloadTableCellView::Downloading:
        onCancel(row);
        break;
    case QVMActionDownloadTableCellView::Installed:
        onDelete(row);
        break;
    default:
        break;
    }
}

bool QVMOfflineViewController::eventFilter(QObject *watched, QEvent *event) {
    if (watched == m_outline && event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        const int row = m_outline->currentIndex().row();
        switch (key->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Space:
            runRowAction(row);
            return true;
        case Qt::Key_Delete: {
            QVMActionDownloadTableCellView *cell = actionCellAt(row);
            if (cell && cell->currentStatus() == QVMActionDownloadTableCellView::Installed)
                onDelete(row);
            return true;
        }
        default:
            break;
        }
    }
    return QVMBaseVC::eventFilter(watched, event);
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
