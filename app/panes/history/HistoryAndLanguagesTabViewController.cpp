#include "HistoryAndLanguagesTabViewController.h"

#include "panes/history/QVMAdditionalTabsController.h"
#include "panes/languages/QVMLanguagesViewController.h"

#include <QLineEdit>
#include <QStackedWidget>
#include <QVBoxLayout>

HistoryAndLanguagesTabViewController::HistoryAndLanguagesTabViewController(QObject *parent)
    : QVMBaseVC(parent) {}

QWidget *HistoryAndLanguagesTabViewController::loadView() {
    auto *root = new QWidget;
    root->setObjectName(QStringLiteral("HistoryAndLanguagesTabView"));
    auto *layout = new QVBoxLayout(root);
    layout->setContentsMargins(0, 0, 0, 0);
    m_pages = new QStackedWidget(root);
    layout->addWidget(m_pages);
    return root;
}

void HistoryAndLanguagesTabViewController::viewDidLoad() {
    m_group = new QVMAdditionalTabsController(this);
    m_pages->addWidget(m_group->view());
    m_pages->setCurrentIndex(0);
    connect(m_pages, &QStackedWidget::currentChanged, this,
            &HistoryAndLanguagesTabViewController::shownChanged);
    connect(m_group, &QVMAdditionalTabsController::stateChanged, this,
            &HistoryAndLanguagesTabViewController::shownChanged);
}

int HistoryAndLanguagesTabViewController::currentPage() const {
    return m_pages ? m_pages->currentIndex() : -1;
}

// The list is built when first asked for: it is hidden at start, and filling it reads the catalogue.
QVMLanguagesViewController *HistoryAndLanguagesTabViewController::languages() {
    view();
    if (!m_languages) {
        m_languages = new QVMLanguagesViewController(this);
        m_languages->setDelegate(this);
        if (m_delegateLanguage)
            m_languages->setDelegateLanguage(m_delegateLanguage);
        m_pages->addWidget(m_languages->view());
    }
    return m_languages;
}

void HistoryAndLanguagesTabViewController::setDelegateLanguage(QObject *delegate) {
    m_delegateLanguage = delegate;
    if (m_languages)
        m_languages->setDelegateLanguage(delegate);
}

void HistoryAndLanguagesTabViewController::showHistory() {
    view();
    m_pages->setCurrentIndex(0);
}

void HistoryAndLanguagesTabViewController::showLanguagesForSide(uint side) {
    QVMLanguagesViewController *list = languages();
    m_pages->setCurrentWidget(list->view());
    list->setSideIndex(side);
    list->searchField()->setFocus(Qt::OtherFocusReason);
}

void HistoryAndLanguagesTabViewController::showDictionaryOrConjugations() {
    view();
    m_pages->setCurrentIndex(0);
    m_group->showDictionary();
}

void HistoryAndLanguagesTabViewController::setSideForLanguagesViewController(uint side) {
    if (m_languages)
        m_languages->setSideIndex(side);
}
