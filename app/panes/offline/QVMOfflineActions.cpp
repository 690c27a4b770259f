#include "panes/offline/QVMOfflineViewController.h"

#include "panes/offline/QVMActionDownloadTableCellView.h"
#include "panes/offline/QVMCustomGridOutlineView.h"
#include "panes/offline/QVMOfflineDownloads.h"

#include "services/packages/QVPackageDownloadManager.h"

#include "core/models/QVPackageFolders.h"

#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>

// What the tab's row actions do: download, follow, cancel and delete a
// language, from the row's buttons, the ring, or the keyboard on the list.

void QVMOfflineViewController::setupActionCell(QVMActionDownloadTableCellView *cell, const QString &code) {
    QPointer<QVMOfflineViewController> self(this);
    cell->setActionForTap([self, code](QVMActionDownloadTableCellView *, uint) {
        if (self)
            self->onPause(self->rowForCode(code));
    });
    const QVPackagesRealm group = groupForCode(code);
    const QList<QVLanguagePackageRealm> packages = installablePackages(group);
    cell->actionButton()->setEnabled(!packages.isEmpty());
    cell->actionButton()->setToolTip(packages.isEmpty()
                                         ? tr("No offline package is offered for this language")
                                         : tr("Download the offline package"));
    // A download started elsewhere (or before this tab) reports here from now on.
    QVMOfflineDownloads::attach(code, packages);
    if (const auto state = QVMOfflineDownloads::state(code)) {
        cell->setIndicatorStatus(state->status);
        cell->setProgress(float(state->progress));
        return;
    }
    cell->setIndicatorStatus(isGroupInstalled(group) ? QVMActionDownloadTableCellView::Installed
                                                     : QVMActionDownloadTableCellView::NotDownloaded);
}

uint QVMOfflineViewController::statusOfRow(int row) const {
    if (QVMActionDownloadTableCellView *cell = actionCellAt(row))
        return cell->currentStatus();
    const QString code = m_model ? m_model->codeAt(row) : QString();
    if (const auto state = QVMOfflineDownloads::state(code))
        return state->status;
    return isGroupInstalled(groupForCode(code)) ? QVMActionDownloadTableCellView::Installed
                                                : QVMActionDownloadTableCellView::NotDownloaded;
}

QString QVMOfflineViewController::actionText(const QString &code) const {
    if (const auto state = QVMOfflineDownloads::state(code))
        return state->status == QVMActionDownloadTableCellView::Unpacking
                   ? tr("Installing")
                   : tr("Downloading, %1 %").arg(qRound(state->progress * 100));
    const QVPackagesRealm group = groupForCode(code);
    if (isGroupInstalled(group))
        return tr("Installed; Delete removes it");
    return installablePackages(group).isEmpty() ? tr("No offline package is offered for this language")
                                                : tr("Not installed; Return downloads it");
}

void QVMOfflineViewController::showDownloadState(const QString &code) {
    const int row = rowForCode(code);
    if (QVMActionDownloadTableCellView *cell = actionCellAt(row))
        setupActionCell(cell, code);
}

void QVMOfflineViewController::showFailure(const QString &code, const platform::Error &error) {
    const int row = rowForCode(code);
    const QString name = row >= 0 ? m_model->rowAt(row).name : code;
    showMessage(tr("%1: %2").arg(name, error.localizedDescription()));
}

void QVMOfflineViewController::onDownload(int row) {
    if (!m_model || row < 0 || row >= rowCount())
        return;
    const QString code = m_model->codeAt(row);
    const QList<QVLanguagePackageRealm> packages = installablePackages(groupForCode(code));
    track(QStringLiteral("Offline -  Start Download Language"),
          packageParams(packages.isEmpty() ? QVLanguagePackageRealm() : packages.first()));
    if (QVMOfflineDownloads::state(code))
        return;
    auto &manager = QVPackageDownloadManager::sharedManager();
    QList<QVLanguagePackageRealm> missing;
    for (const QVLanguagePackageRealm &package : packages)
        if (!manager.isDownloadedPackage(package))
            missing.append(package);
    if (missing.isEmpty()) {
        showDownloadState(code);
        return;
    }
    showMessage({});
    QVMOfflineDownloads::start(code, missing);
}

void QVMOfflineViewController::onCancel(int row) {
    if (!m_model || row < 0 || row >= rowCount())
        return;
    const QString url = QVMOfflineDownloads::currentUrl(m_model->codeAt(row));
    track(QStringLiteral("Offline - Cancel Download Language"),
          packageParams(QVLanguagePackageRealm(platform::ObjectStore::defaultStore().objectForPrimaryKey(
              QVLanguagePackageRealm::storeClassName(), url))));
    if (!url.isEmpty())
        QVPackageDownloadManager::sharedManager().cancelDownloadForUrl(url);
}

void QVMOfflineViewController::onDelete(int row) {
    if (!m_model || row < 0 || row >= rowCount())
        return;
    const QString code = m_model->codeAt(row);
    const QVPackagesRealm group = groupForCode(code);
    if (installablePackages(group).isEmpty())
        return;
    // The name comes from the catalogue: plain text. The size goes through the
    // same guarded formatter as the size column.
    auto *box = new QMessageBox(QMessageBox::Question, tr("Delete offline package"),
                                tr("Delete the offline package for %1 (%2)?")
                                    .arg(m_model->rowAt(row).name, group.formatPackageSize()),
                                QMessageBox::Yes | QMessageBox::No, view());
    box->setTextFormat(Qt::PlainText);
    box->setDefaultButton(QMessageBox::No);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setAccessibleName(tr("Delete offline package"));
    connect(box, &QMessageBox::finished, this, [this, box, code] {
        if (box->result() == QMessageBox::Yes)
            deleteGroup(code);
    });
    box->open();
}

void QVMOfflineViewController::deleteGroup(const QString &code) {
    auto &manager = QVPackageDownloadManager::sharedManager();
    bool cleared = true;
    const QVPackagesRealm group = groupForCode(code);
    const QList<QVLanguagePackageRealm> packages = installablePackages(group);
    for (const QVLanguagePackageRealm &package : packages)
        if (manager.isDownloadedPackage(package) || package.isDownloaded())
            cleared = manager.deletePackage(package) && cleared;
    track(QStringLiteral("Offline - Delete Download Language"),
          packageParams(packages.isEmpty() ? QVLanguagePackageRealm() : packages.first()));
    const int row = rowForCode(code);
    const QString name = row >= 0 ? m_model->rowAt(row).name : displayName(group);
    showMessage(cleared ? QString() : tr("%1: some files of the package could not be removed").arg(name));
    updateData();
}

void QVMOfflineViewController::runRowAction(int row) {
    if (row < 0 || row >= rowCount())
        return;
    switch (statusOfRow(row)) {
    case QVMActionDownloadTableCellView::NotDownloaded:
        if (!installablePackages(groupAt(row)).isEmpty())
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
    if (watched == m_outline && event->type() == QEvent::PaletteChange)
        showSelection();
    if (watched == m_outline && event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        const int row = m_outline->currentIndex().row();
        switch (key->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Space:
            runRowAction(row);
            return true;
        case Qt::Key_Delete:
            if (statusOfRow(row) == QVMActionDownloadTableCellView::Installed)
                onDelete(row);
            return true;
        default:
            break;
        }
    }
    return QVMBaseVC::eventFilter(watched, event);
}
