#include "ui/foundation/QVMLocalization.h"

#include "core/localization/QVLocalizedString.h"

#include <QAbstractButton>
#include <QAbstractItemModel>
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>

namespace {

// Applies the key's text unless there is no key.
template <typename Apply> void withText(const QString &key, Apply apply) {
    if (!key.isEmpty())
        apply(QVLocalizedString(key));
}

} // namespace

void QVMLocalization::setLocKey(QLabel *label, const QString &key) {
    withText(key, [label](const QString &text) { label->setText(text); });
}
QString QVMLocalization::locKey(const QLabel *label) {
    return label->text();
}

void QVMLocalization::setLocKey(QLineEdit *field, const QString &key) {
    withText(key, [field](const QString &text) { field->setText(text); });
}
QString QVMLocalization::locKey(const QLineEdit *field) {
    return field->text();
}

void QVMLocalization::setLocKey(QAbstractButton *button, const QString &key) {
    withText(key, [button](const QString &text) { button->setText(text); });
}
QString QVMLocalization::locKey(const QAbstractButton *button) {
    return button->text();
}

void QVMLocalization::setLocKeyToolTip(QAbstractButton *button, const QString &key) {
    withText(key, [button](const QString &text) { button->setToolTip(text); });
}
QString QVMLocalization::locKeyToolTip(const QAbstractButton *button) {
    return button->toolTip();
}

void QVMLocalization::setLocKey(QAction *item, const QString &key) {
    withText(key, [item](const QString &text) { item->setText(text); });
}
QString QVMLocalization::locKey(const QAction *item) {
    return item->text();
}

void QVMLocalization::setLocKeyToolTip(QAction *item, const QString &key) {
    withText(key, [item](const QString &text) { item->setToolTip(text); });
}
QString QVMLocalization::locKeyToolTip(const QAction *item) {
    return item->toolTip();
}

void QVMLocalization::setLocKey(QAbstractItemModel *table, int column, const QString &key) {
    withText(key,
             [table, column](const QString &text) { table->setHeaderData(column, Qt::Horizontal, text); });
}
QString QVMLocalization::locKey(const QAbstractItemModel *table, int column) {
    return table->headerData(column, Qt::Horizontal).toString();
}

void QVMLocalization::setLocKey(QTabWidget *tabs, int index, const QString &key) {
    withText(key, [tabs, index](const QString &text) { tabs->setTabText(index, text); });
}
QString QVMLocalization::locKey(const QTabWidget *tabs, int index) {
    return tabs->tabText(index);
}
