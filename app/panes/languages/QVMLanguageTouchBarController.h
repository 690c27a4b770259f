#pragma once

#include "panes/languages/FVCompositeArray.h"

#include <QObject>

class QVMLanguageTouchBarController;

// Told when a language of the strip is chosen; adopted by the language pickers.
class QVMLanguageTouchBarControllerDelegate {
public:
    virtual ~QVMLanguageTouchBarControllerDelegate() = default;
    virtual void didSelectItem(const QVLanguageRealm &language,
                               QVMLanguageTouchBarController *controller) = 0;
};

// The horizontal strip of a language picker as data: the picker's sectioned
// list as items (section titles as text items, languages as picture and text
// items) and the choice of one. There is no such strip on this desktop, so no
// view shows it; the pickers keep it in step with their lists and forward a
// choice through the same path as a click.
//
//   touchBar.setDelegate(picker);                // the picker outlives it
//   touchBar.updateDataWithDataSource(list);
//   touchBar.selectItemAtIndex(3);               // -> picker->didSelectItem(language, &touchBar)
class QVMLanguageTouchBarController : public QObject {
    Q_OBJECT
public:
    struct Item {
        QString identifier; // kTextItem or kImageAndTextItem
        QString text;
        QString imageFile; // languages only
        int fontSize = 0;  // the section titles' size
    };

    explicit QVMLanguageTouchBarController(QObject *parent = nullptr);
    ~QVMLanguageTouchBarController() override;

    void setDelegate(QVMLanguageTouchBarControllerDelegate *delegate) { m_delegate = delegate; }
    QVMLanguageTouchBarControllerDelegate *delegate() const { return m_delegate; }

    void updateDataWithDataSource(const FVCompositeArray &dataSource);
    const FVCompositeArray &dataSource() const { return m_dataSource; }

    int numberOfItems() const { return m_dataSource.countOfItems(); }
    // An empty item outside the list.
    Item itemAtIndex(int index) const;
    // A language goes to the delegate; a header or an index outside does nothing.
    void selectItemAtIndex(int index);

    static constexpr const char *kTextItem = "textItem";
    static constexpr const char *kImageAndTextItem = "imageAndTextItem";
    static constexpr int kHeaderFontSize = 16;

signals:
    void dataReloaded();

private:
    FVCompositeArray m_dataSource;
    QVMLanguageTouchBarControllerDelegate *m_delegate = nullptr;
};
