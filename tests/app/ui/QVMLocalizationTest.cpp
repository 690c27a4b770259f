#include "ui/foundation/QVMLocalization.h"
#include "core/localization/DJLocalizationSystem.h"
#include "core/localization/QVLocalizedString.h"
#include "platform/Bundle.h"
#include "platform/StringsFile.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Tables of the test's own: "_loc_both" in English and German, "_loc_english_only" in English alone.
class LocalizedControls : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        write("en", "\"_loc_both\" = \"Save\";\n\"_loc_english_only\" = \"Only in English\";\n"
                    "\"_loc_tip\" = \"Keep the window open\";");
        write("de", "\"_loc_both\" = \"Sichern\";\n\"_loc_tip\" = \"Fenster offen lassen\";");
        platform::Bundle::setResourcePath(m_dir.path());
        DJLocalizationSystem::shared().reload();
        m_language = DJLocalizationSystem::shared().customLanguage();
        DJLocalizationSystem::shared().setLanguage(QStringLiteral("de"));
    }
    void TearDown() override {
        platform::Bundle::setResourcePath(QString());
        DJLocalizationSystem::shared().reload();
        DJLocalizationSystem::shared().setLanguage(m_language.isEmpty() ? QStringLiteral("en") : m_language);
    }
    void write(const char *language, const char *content) {
        const QString folder = m_dir.filePath(QString::fromLatin1(language) + QStringLiteral(".lproj"));
        QDir().mkpath(folder);
        QFile file(QDir(folder).filePath(QStringLiteral("Localizable.strings")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }

    QTemporaryDir m_dir;
    QString m_language;
};

} // namespace

TEST_F(LocalizedControls, EveryControlShowsTheTextAndReadsItBack) {
    QLabel label;
    QLineEdit field;
    QPushButton button;
    QAction item(QStringLiteral("old"));
    QStandardItemModel table(0, 2);
    QTabWidget tabs;
    tabs.addTab(new QWidget, QStringLiteral("old"));

    QVMLocalization::setLocKey(&label, QStringLiteral("_loc_both"));
    QVMLocalization::setLocKey(&field, QStringLiteral("_loc_both"));
    QVMLocalization::setLocKey(&button, QStringLiteral("_loc_both"));
    QVMLocalization::setLocKeyToolTip(&button, QStringLiteral("_loc_tip"));
    QVMLocalization::setLocKey(&item, QStringLiteral("_loc_both"));
    QVMLocalization::setLocKeyToolTip(&item, QStringLiteral("_loc_tip"));
    QVMLocalization::setLocKey(&table, 1, QStringLiteral("_loc_both"));
    QVMLocalization::setLocKey(&tabs, 0, QStringLiteral("_loc_both"));

    const QString shown = QStringLiteral("Sichern");
    const QString tip = QStringLiteral("Fenster offen lassen");
    EXPECT_EQ(label.text(), shown);
    EXPECT_EQ(QVMLocalization::locKey(&label), shown); // the text, not the key
    EXPECT_EQ(QVMLocalization::locKey(&field), shown);
    EXPECT_EQ(button.text(), shown);
    EXPECT_EQ(QVMLocalization::locKey(&button), shown);
    EXPECT_EQ(button.toolTip(), tip);
    EXPECT_EQ(QVMLocalization::locKeyToolTip(&button), tip);
    EXPECT_EQ(QVMLocalization::locKey(&item), shown);
    EXPECT_EQ(QVMLocalization::locKeyToolTip(&item), tip);
    EXPECT_EQ(QVMLocalization::locKey(&table, 1), shown);
    EXPECT_EQ(table.headerData(1, Qt::Horizontal).toString(), shown);
    EXPECT_EQ(tabs.tabText(0), shown);
    EXPECT_EQ(QVMLocalization::locKey(&tabs, 0), shown);
}

TEST_F(LocalizedControls, EnglishFallbackLeavesTheLanguageAndEmptyKeysChangeNothing) {
    QPushButton button(QStringLiteral("kept"));
    QVMLocalization::setLocKey(&button, QStringLiteral("_loc_english_only"));
    EXPECT_EQ(button.text(), QStringLiteral("Only in English"));
    EXPECT_EQ(DJLocalizationSystem::shared().language(), QStringLiteral("de"));

    QLabel label(QStringLiteral("kept"));
    QVMLocalization::setLocKey(&label, QString());
    QVMLocalization::setLocKeyToolTip(&button, QString());
    EXPECT_EQ(label.text(), QStringLiteral("kept"));
    EXPECT_TRUE(button.toolTip().isEmpty());
}

// The shipped tables: both read whole, and German has nothing English lacks.
TEST(LocalizationTables, GermanKeysAreAllInTheEnglishTable) {
    QString error;
    const auto english = platform::StringsFile::read(
        platform::Bundle::pathForResource(QStringLiteral("Localizable"), QStringLiteral("strings"),
                                          QStringLiteral("en.lproj")),
        &error);
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    const auto german = platform::StringsFile::read(
        platform::Bundle::pathForResource(QStringLiteral("Localizable"), QStringLiteral("strings"),
                                          QStringLiteral("de.lproj")),
        &error);
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    ASSERT_GT(english.size(), 60);
    QSet<QString> englishKeys;
    for (const auto &entry : english) {
        EXPECT_FALSE(englishKeys.contains(entry.first)) << "twice: " << entry.first.toStdString();
        englishKeys.insert(entry.first);
        EXPECT_FALSE(entry.second.isEmpty()) << entry.first.toStdString();
    }
    for (const auto &entry : german)
        EXPECT_TRUE(englishKeys.contains(entry.first)) << entry.first.toStdString();
    // The keys the foundation's own code shows.
    for (const char *key : {"_loc_loading", "_loc_alert_title_error", "_loc_button_ok"})
        EXPECT_TRUE(englishKeys.contains(QString::fromLatin1(key))) << key;
}
