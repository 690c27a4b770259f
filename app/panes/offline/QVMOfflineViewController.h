#pragma once
#include "ui/QVMBaseVC.h"

#include "core/models/QVPackagesRealm.h"

#include <QHash>
#include <QList>
#include <QPointer>
#include <QTimer>

class QLabel;
class QLineEdit;
class QStandardItemModel;
class QVMActionDownloadTableCellView;
class QVMCustomGridOutlineView;
class QVMInterfaceFactory;

// The "Offline" settings tab: the languages with offline packages, their size
// and kinds, and one action per language (download, follow and cancel, delete).
// Downloads belong to the package download manager and outlive the tab; their
// reports are routed by language code to whichever tab shows that row.
class QVMOfflineViewController : public QVMBaseVC {
    Q_OBJECT
public:
    static constexpr const char *kPackagesWereRemovedKey = "kUserDefaultOfflinePackagesWasRemoved";
    static constexpr const char *kCategory = "Settings screen";

    explicit QVMOfflineViewController(QObject *parent = nullptr);
    ~QVMOfflineViewController() override;

    // Group codes whose name and flag come from a fuller locale.
    static const QHash<QString, QString> &codeFix();
    // (English, or a language with a desktop text model) whose name contains
    // the text literally, ignoring case and accents; sorted as given.
    static QList<QVPackagesRealm> filteredGroups(const QList<QVPackagesRealm> &groups, const QString &search);
    static bool nameMatches(const QString &name, const QString &search);
    // The name the row shows: from the language records, else the group's own.
    static QString displayName(const QVPackagesRealm &group);
    // The packages of the group this program installs, text model first.
    static QList<QVLanguagePackageRealm> installablePackages(const QVPackagesRealm &group);
    static bool isGroupInstalled(const QVPackagesRealm &group);
    // The catalogue locale for the interface language ("en_GB" when unknown).
    static QString catalogueLocale();
    // Empties the stored catalogue once per installation, keeping what is installed.
    static void removeStoredPackagesOnce();

    QLineEdit *searchField() const { return m_searchField; }
    QVMCustomGridOutlineView *languagesOutline() const { return m_outline; }
    QLabel *messageLine() const { return m_message; }
    int rowCount() const { return int(m_groups.size()); }
    // The codes of the rows the search leaves visible, in order.
    QStringList shownCodes() const;
    QVPackagesRealm groupAt(int row) const { return m_groups.value(row); }
    int rowForCode(const QString &code) const;
    QVMActionDownloadTableCellView *actionCellAt(int row) const;

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
    void setupActionCell(QVMActionDownloadTableCellView *cell, const QVPackagesRealm &group);
    void fillRow(int row, const QVPackagesRealm &group);
    void refreshRow(int row);
    void applySearch();
    void deleteGroup(const QVPackagesRealm &group);
    void runRowAction(int row);
    void showMessage(const QString &text);
    void trackSearch();

    QLineEdit *m_searchField = nullptr;
    QVMCustomGridOutlineView *m_outline = nullptr;
    QStandardItemModel *m_model = nullptr;
    QLabel *m_message = nullptr;
    QList<QVPackagesRealm> m_groups; // every offered language; the search hides rows
    QStringList m_names;
    QTimer m_searchEvent;
};

void installOfflinePane(QVMInterfaceFactory &factory);
