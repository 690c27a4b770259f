#pragma once
#include "ui/foundation/QVMBaseVC.h"

#include "panes/offline/QVMOfflineLanguagesModel.h"

#include "core/models/QVPackagesRealm.h"

#include <QHash>
#include <QList>
#include <QPointer>
#include <QTimer>

class QLabel;
class QLineEdit;
class QVMActionDownloadTableCellView;
class QVMCustomGridOutlineView;
class QVMInterfaceFactory;
class QVMOfflineRowCells;

// The "Offline" settings tab: the languages with offline packages, their size
// and kinds, and one action per language (download, follow and cancel, delete).
// Downloads belong to the package download manager and outlive the tab; their
// reports are routed by language code (QVMOfflineDownloads) to whichever tab
// shows that row. The list is a model of a few strings per language; the
// cells of name, action and kinds are widgets made only for the rows on screen.
class QVMOfflineViewController : public QVMBaseVC {
    Q_OBJECT
public:
    static constexpr const char *kPackagesWereRemovedKey = "kUserDefaultOfflinePackagesWasRemoved";
    static constexpr const char *kCategory = "Settings screen";
    using Column = QVMOfflineLanguagesModel::Column;

    explicit QVMOfflineViewController(QObject *parent = nullptr);
    ~QVMOfflineViewController() override;

    // The catalogue (QVMOfflineCatalogue.cpp).
    // Group codes whose name and flag come from a fuller locale.
    static const QHash<QString, QString> &codeFix();
    // (English, or a language with a desktop text model) whose name contains
    // the text literally, ignoring case and accents; sorted as given.
    static QList<QVPackagesRealm> filteredGroups(const QList<QVPackagesRealm> &groups, const QString &search);
    static bool nameMatches(const QString &name, const QString &search);
    // The name the row shows: from the language records, else the group's own.
    static QString displayName(const QVPackagesRealm &group);
    // Every stored group on offer as a row, sorted by local name.
    static QList<QVMOfflineLanguagesModel::Row> offeredRows();
    // The packages of the group this program installs, text model first.
    static QList<QVLanguagePackageRealm> installablePackages(const QVPackagesRealm &group);
    static bool isGroupInstalled(const QVPackagesRealm &group);
    static QVPackagesRealm groupForCode(const QString &code);
    // The catalogue locale for the interface language ("en_GB" when unknown).
    static QString catalogueLocale();
    // Empties the stored catalogue once per installation, keeping what is installed.
    static void removeStoredPackagesOnce();
    // Analytics of the tab: category "Settings screen"; a package's "language_pack" and "size".
    static void track(const QString &action, const QVariantMap &params);
    static QVariantMap packageParams(const QVLanguagePackageRealm &package);

    QLineEdit *searchField() const { return m_searchField; }
    QVMCustomGridOutlineView *languagesOutline() const { return m_outline; }
    QVMOfflineLanguagesModel *model() const { return m_model; }
    QLabel *messageLine() const { return m_message; }
    // The rows the search leaves in the list.
    int rowCount() const { return m_model ? m_model->rowCount() : 0; }
    QStringList shownCodes() const;
    QVPackagesRealm groupAt(int row) const;
    int rowForCode(const QString &code) const;
    // The action cell of a row on screen; null for a row scrolled away.
    QVMActionDownloadTableCellView *actionCellAt(int row) const;
    // The action state of a row, on screen or not (QVMActionDownloadTableCellView::Status).
    uint statusOfRow(int row) const;

    void refreshCatalogue();
    void updateData();
    void onDownload(int row);
    void onCancel(int row);
    void onPause(int row) { onCancel(row); }
    // Asks first; deletes when the user agrees.
    void onDelete(int row);
    void onSearch();

    // Called by the download routing for the row of the code.
    void showDownloadState(const QString &code);
    void showFailure(const QString &code, const platform::Error &error);

protected:
    QWidget *loadView() override;
    void viewDidLoad() override;
    void viewDidAppear() override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void requestCatalogue(const QString &locale);
    void setupActionCell(QVMActionDownloadTableCellView *cell, const QString &code);
    void makeCells(int row);
    void refreshRow(int row);
    void refreshShownRows();
    void showSelection();
    void applySearch();
    void deleteGroup(const QString &code);
    void runRowAction(int row);
    void showMessage(const QString &text);
    void trackSearch();
    QString actionText(const QString &code) const;

    QLineEdit *m_searchField = nullptr;
    QVMCustomGridOutlineView *m_outline = nullptr;
    QVMOfflineLanguagesModel *m_model = nullptr;
    QVMOfflineRowCells *m_cells = nullptr;
    QLabel *m_message = nullptr;
    QTimer m_searchEvent;
};

void installOfflinePane(QVMInterfaceFactory &factory);
