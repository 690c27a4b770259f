#pragma once

#include <QString>

class QAbstractButton;
class QAbstractItemModel;
class QAction;
class QLabel;
class QLineEdit;
class QTabWidget;

// Controls that take a "_loc_" key and show its text in the interface language
// (with the English fallback of QVLocalizedString). The key is not kept:
// reading gives the text now shown. An empty key changes nothing.
//
//   QVMLocalization::setLocKey(saveButton, "_loc_menu_save");
//   QVMLocalization::setLocKeyToolTip(holdButton, "_loc_mac_quorvalde_anchor_window");
//   QVMLocalization::setLocKey(tabs, 0, "_loc_settings_title");
class QVMLocalization {
public:
    // Labels and fields: their text.
    static void setLocKey(QLabel *label, const QString &key);
    static QString locKey(const QLabel *label);
    static void setLocKey(QLineEdit *field, const QString &key);
    static QString locKey(const QLineEdit *field);
    // Buttons: the title and the tool tip.
    static void setLocKey(QAbstractButton *button, const QString &key);
    static QString locKey(const QAbstractButton *button);
    static void setLocKeyToolTip(QAbstractButton *button, const QString &key);
    static QString locKeyToolTip(const QAbstractButton *button);
    // Toolbar items: the label and the tool tip.
    static void setLocKey(QAction *item, const QString &key);
    static QString locKey(const QAction *item);
    static void setLocKeyToolTip(QAction *item, const QString &key);
    static QString locKeyToolTip(const QAction *item);
    // Table columns: the header title of the column.
    static void setLocKey(QAbstractItemModel *table, int column, const QString &key);
    static QString locKey(const QAbstractItemModel *table, int column);
    // Tabs: the tab's label.
    static void setLocKey(QTabWidget *tabs, int index, const QString &key);
    static QString locKey(const QTabWidget *tabs, int index);

    QVMLocalization() = delete;
};
