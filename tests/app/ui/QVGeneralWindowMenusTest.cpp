// The main window's menu bar as on the desktop: File right after the
// application menu, a mnemonic on every menu and item, F10 to reach the bar.
#include "GeneralViewTestSupport.h"

#include "core/localization/DJLocalizationSystem.h"
#include "ui/window/QVMMenuMnemonics.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QSet>
#include <QTest>

using namespace uitest;

namespace {

class MenuBarTest : public GeneralViewTest {
protected:
    void TearDown() override {
        if (QWidget *popup = QApplication::activePopupWidget())
            popup->close();
        DJLocalizationSystem::shared().setLanguage(QStringLiteral("en"));
        GeneralViewTest::TearDown();
    }
    QList<QMenu *> menus() const {
        QList<QMenu *> found;
        for (QAction *title : window->window()->menuBar()->actions())
            if (title->menu())
                found.append(title->menu());
        return found;
    }
    // Presses the keys on the active main window, the way the desktop delivers them.
    void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(QApplication::activePopupWidget() ? QApplication::activePopupWidget()
                                                          : window->window(),
                        Qt::Key(key), modifiers);
        qvtest::spin(20);
    }
};

QString withoutMnemonic(QString text) {
    return text.remove(QLatin1Char('&'));
}

} // namespace

TEST_F(MenuBarTest, FileComesSecondEveryMenuHasItsOwnMnemonicAndTheKeysOpenThem) {
    const struct {
        const char *language;
        QStringList titles;
    } cases[] = {
        {"en", {"Quorvalde Translator", "File", "Edit", "Window"}},
        {"de", {"Quorvalde Translator", "Datei", "Bearbeiten", "Fenster"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.language);
        DJLocalizationSystem::shared().setLanguage(QString::fromLatin1(c.language));
        delete window;
        openWindow();
        QApplication::setActiveWindow(window->window());
        ASSERT_TRUE(
            qvtest::waitUntil([&] { return QApplication::activeWindow() == window->window(); }, 1000));

        QStringList titles;
        QSet<QChar> barMnemonics;
        for (QMenu *menu : menus()) {
            titles.append(withoutMnemonic(menu->title()));
            const QChar letter = QVMMenuMnemonics::mnemonic(menu->title());
            EXPECT_FALSE(letter.isNull()) << menu->title().toStdString() << " has no mnemonic";
            EXPECT_FALSE(barMnemonics.contains(letter))
                << menu->title().toStdString() << " repeats a mnemonic";
            barMnemonics.insert(letter);
        }
        EXPECT_EQ(titles, c.titles);
        // The same File menu start-up asks for, not a second one.
        EXPECT_EQ(window->addFileMenu(), menus().value(1));

        // F10 opens the first menu; the arrow keys then reach the next.
        press(Qt::Key_F10);
        EXPECT_EQ(QApplication::activePopupWidget(), menus().value(0));
        press(Qt::Key_Right);
        EXPECT_EQ(QApplication::activePopupWidget(), menus().value(1));
        press(Qt::Key_Escape);
        press(Qt::Key_Escape);
        ASSERT_TRUE(qvtest::waitUntil([] { return QApplication::activePopupWidget() == nullptr; }, 1000));

        // Alt and a menu's letter open that menu; its items then carry letters of their own.
        for (QMenu *menu : menus()) {
            SCOPED_TRACE(withoutMnemonic(menu->title()).toStdString());
            const QChar letter = QVMMenuMnemonics::mnemonic(menu->title());
            QTest::keyClick(window->window(), letter.toLatin1(), Qt::AltModifier);
            qvtest::spin(20);
            EXPECT_EQ(QApplication::activePopupWidget(), menu);
            QSet<QChar> itemMnemonics;
            for (QAction *item : menu->actions()) {
                if (item->isSeparator())
                    continue;
                const QChar itemLetter = QVMMenuMnemonics::mnemonic(item->text());
                EXPECT_FALSE(itemLetter.isNull()) << item->text().toStdString();
                EXPECT_FALSE(itemMnemonics.contains(itemLetter)) << item->text().toStdString();
                itemMnemonics.insert(itemLetter);
            }
            if (QWidget *popup = QApplication::activePopupWidget())
                popup->close();
            qvtest::spin(10);
        }
    }
}

TEST_F(MenuBarTest, MnemonicsPreferWordStartsAndNeverRepeatALetter) {
    const struct {
        QStringList titles;
        QStringList expected;
    } cases[] = {
        // Taken first letters fall back to a later word's start, then to any free letter.
        {{"File", "Fenster", "Format"}, {"&File", "F&enster", "F&ormat"}},
        {{"Save as", "Select all"}, {"&Save as", "Select &all"}},
        // A title that already has one keeps it, and its letter is not given twice.
        {{"E&xit", "Export"}, {"E&xit", "&Export"}},
        // A literal ampersand stays one.
        {{"Terms & Conditions"}, {"&Terms && Conditions"}},
        // No free letter: the title stays as it is.
        {{"A", "a"}, {"&A", "a"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.titles.join(QLatin1Char(',')).toStdString());
        QMenu menu;
        for (const QString &title : c.titles)
            menu.addAction(title);
        menu.addSeparator();
        QVMMenuMnemonics::assign(menu.actions());
        QStringList marked;
        for (QAction *action : menu.actions())
            if (!action->isSeparator())
                marked.append(action->text());
        EXPECT_EQ(marked, c.expected);
    }
}
