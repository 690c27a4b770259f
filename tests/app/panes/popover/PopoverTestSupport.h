#pragma once

#include "GeneralViewTestSupport.h"

#include "panes/popover/QVMGenaralPopoverViewController.h"
#include "panes/popover/QVMStatusItem.h"
#include "panes/popover/QVMTrayPopoverInstaller.h"
#include "ui/controls/TextViewWithPlaceHolder.h"

#include <QApplication>

namespace popovertest {

// The main window and a popover whose delegate it is, shown in the status window.
class PopoverTest : public uitest::GeneralViewTest {
protected:
    void SetUp() override {
        uitest::GeneralViewTest::SetUp();
        setPair(QStringLiteral("en_GB"), QStringLiteral("de_DE"));
    }
    void TearDown() override {
        QVMStatusItem::sharedInstance().reset();
        uitest::GeneralViewTest::TearDown();
    }
    QVMGenaralPopoverViewController *openPopover() {
        openWindow();
        popover = new QVMGenaralPopoverViewController;
        popover->setDelegate(general);
        popover->setLanguageDetector({});
        QVMStatusItem::sharedInstance().presentStatusItemWithImage(QImage(), popover);
        QVMStatusItem::sharedInstance().showStatusItemWindow();
        qvtest::spin(20);
        return popover;
    }
    void typeInPopover(const QString &text) {
        popover->originalTextView()->moveCursor(QTextCursor::End);
        popover->originalTextView()->insertPlainText(text);
    }
    void fireTypingDelay() {
        if (popover->typingTimer()->isActive()) {
            popover->typingTimer()->stop();
            QMetaObject::invokeMethod(popover->typingTimer(), "timeout", Qt::DirectConnection);
        }
    }
    QVMGenaralPopoverViewController *popover = nullptr;
};

} // namespace popovertest
