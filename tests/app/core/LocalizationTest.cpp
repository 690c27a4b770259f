#include "RecordingCrashReporter.h"
#include "core/localization/DJLocalizationSystem.h"
#include "core/localization/QVLocalizedString.h"
#include "platform/Bundle.h"
#include "platform/UserDefaults.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class Localization : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        platform::UserDefaults::setStorageFile(m_dir.filePath(QStringLiteral("defaults.ini")));
        write("en", "Localizable",
              "\"_loc_error\" = \"Something failed\";\n\"_loc_only_en\" = \"English only\";");
        write("de", "Localizable", "\"_loc_error\" = \"Fehler\";");
        write("pt-PT", "Localizable", "\"_loc_error\" = \"Erro\";");
        write("fa-IR", "Localizable", "\"_loc_error\" = \"خطا\";");
        write("de", "Main", "\"title\" = \"Haupt\";\n\"shared\" = \"from Main\";");
        write("de", "Settings", "\"shared\" = \"from Settings\";");
        write("de", "InfoPlist", "\"title\" = \"never merged\";");
        platform::Bundle::setResourcePath(m_dir.path());
        m_reporter = std::make_shared<RecordingCrashReporter>();
        platform::CrashReporter::setShared(m_reporter);
    }
    void TearDown() override {
        platform::CrashReporter::setShared(nullptr);
        platform::Bundle::setResourcePath(QString());
        DJLocalizationSystem::shared().reload();
    }

    void write(const char *lang, const char *table, const char *content) {
        const QString folder = m_dir.filePath(QString::fromLatin1(lang) + QStringLiteral(".lproj"));
        QDir().mkpath(folder);
        QFile file(QDir(folder).filePath(QString::fromLatin1(table) + QStringLiteral(".strings")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }

    int nonFatalCount() {
        int count = 0;
        for (const auto &record : m_reporter->records)
            count +=
                record.domain == QStringLiteral("NonFatal Localization error: no bundle found, resetting!");
        return count;
    }

    QTemporaryDir m_dir;
    std::shared_ptr<RecordingCrashReporter> m_reporter;
};

TEST_F(Localization, FallbackFoldersForPortugueseFarsiAndRegionalCodes) {
    DJLocalizationSystem system;
    system.setLanguage(QStringLiteral("pt"));
    EXPECT_TRUE(system.bundlePath().endsWith(QStringLiteral("pt-PT.lproj")));
    EXPECT_EQ(system.localizedStringForKey(QStringLiteral("_loc_error"), QString()), QStringLiteral("Erro"));
    EXPECT_EQ(system.language(), QStringLiteral("pt"));

    system.setLanguage(QStringLiteral("fa"));
    EXPECT_TRUE(system.bundlePath().endsWith(QStringLiteral("fa-IR.lproj")));

    system.setLanguage(QStringLiteral("de_AT"));
    EXPECT_TRUE(system.bundlePath().endsWith(QStringLiteral("de.lproj")));
    EXPECT_EQ(system.language(), QStringLiteral("de_AT"));
    EXPECT_EQ(system.customLanguage(), QStringLiteral("de_AT"));
    EXPECT_EQ(nonFatalCount(), 0);
}

TEST_F(Localization, UnknownLanguageResetsToMainBundleAndReportsOnce) {
    DJLocalizationSystem system;
    system.setLanguage(QStringLiteral("de"));
    const int before = nonFatalCount();
    const QLocale saved;
    QLocale::setDefault(QLocale(QStringLiteral("de_AT")));
    system.setLanguage(QStringLiteral("xx"));
    EXPECT_TRUE(system.customLanguage().isEmpty());
    EXPECT_EQ(system.language(), QStringLiteral("de"));
    QLocale::setDefault(saved);
    EXPECT_EQ(nonFatalCount(), before + 1);
    // The storyboard table keeps what the last good language loaded.
    EXPECT_EQ(system.localizedStoryboardStringForKey(QStringLiteral("title"), QString()),
              QStringLiteral("Haupt"));
}

TEST_F(Localization, AfterAFailedChangeTheLanguageIsTheLocalesOrEnglishWhenItHasNone) {
    const struct {
        QLocale locale;
        const char *language;
    } cases[] = {
        {QLocale::c(), "en"},
        {QLocale(QStringLiteral("C.UTF-8")), "en"},
        {QLocale(QStringLiteral("POSIX")), "en"},
        {QLocale(QStringLiteral("pt_BR")), "pt"},
        {QLocale(QStringLiteral("fr_CA.UTF-8")), "fr"},
    };
    const QLocale saved;
    DJLocalizationSystem system;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.locale.name().toStdString());
        QLocale::setDefault(c.locale);
        system.setLanguage(QStringLiteral("de"));
        system.setLanguage(QStringLiteral("xx"));
        EXPECT_TRUE(system.customLanguage().isEmpty());
        EXPECT_EQ(system.language(), QString::fromLatin1(c.language));
    }
    QLocale::setDefault(saved);
}

TEST_F(Localization, CodesThatAreNotLocaleIdentifiersNeverNameAFolder) {
    DJLocalizationSystem system;
    for (const char *bad : {"../en", "de/../en", "", "en.lproj", "d e"}) {
        system.setLanguage(QString::fromLatin1(bad));
        EXPECT_TRUE(system.customLanguage().isEmpty()) << bad;
    }
    EXPECT_TRUE(DJLocalizationSystem::isValidLanguageCode(QStringLiteral("zh-Hans")));
    EXPECT_TRUE(DJLocalizationSystem::isValidLanguageCode(QStringLiteral("en_GB")));
}

TEST_F(Localization, SameLanguageTwiceDoesNothingTheSecondTime) {
    DJLocalizationSystem system;
    system.setLanguage(QStringLiteral("de"));
    write("de", "Main", "\"title\" = \"changed on disk\";");
    system.setLanguage(QStringLiteral("de"));
    EXPECT_EQ(system.localizedStoryboardStringForKey(QStringLiteral("title"), QString()),
              QStringLiteral("Haupt"));
    system.loadTables();
    EXPECT_EQ(system.localizedStoryboardStringForKey(QStringLiteral("title"), QString()),
              QStringLiteral("changed on disk"));
}

TEST_F(Localization, StoryboardTablesMergeWithoutLocalizableAndInfoPlistLastTableWins) {
    DJLocalizationSystem system;
    system.setLanguage(QStringLiteral("de"));
    const auto strings = system.storyboardStrings();
    EXPECT_EQ(strings.value(QStringLiteral("shared")), QStringLiteral("from Settings"));
    EXPECT_EQ(strings.value(QStringLiteral("title")), QStringLiteral("Haupt"));
    EXPECT_FALSE(strings.contains(QStringLiteral("_loc_error")));
    EXPECT_EQ(system.localizedStoryboardStringForKey(QStringLiteral("absent"), QStringLiteral("fallback")),
              QStringLiteral("fallback"));
}

TEST_F(Localization, LookupFallsBackToEnglishThenToTheKeyWithoutSwitchingLanguage) {
    DJLocalizationSystem &shared = DJLocalizationSystem::shared();
    shared.reload();
    shared.setLanguage(QStringLiteral("de"));
    EXPECT_EQ(QVLocalizedString(QStringLiteral("_loc_error")), QStringLiteral("Fehler"));
    EXPECT_EQ(QVLocalizedString(QStringLiteral("_loc_only_en")), QStringLiteral("English only"));
    EXPECT_EQ(QVLocalizedString(QStringLiteral("_loc_nowhere")), QStringLiteral("_loc_nowhere"));
    EXPECT_EQ(shared.customLanguage(), QStringLiteral("de"));
    EXPECT_TRUE(shared.bundlePath().endsWith(QStringLiteral("de.lproj")));
}

TEST_F(Localization, StoredLanguageIsAppliedAtCreation) {
    platform::UserDefaults::standard().setObject(QStringLiteral("pt"),
                                                 QStringLiteral("kUserDefaultAppLanguage"));
    DJLocalizationSystem system;
    EXPECT_EQ(system.customLanguage(), QStringLiteral("pt"));
    EXPECT_EQ(system.localizedStringForKey(QStringLiteral("_loc_error"), QString()), QStringLiteral("Erro"));
    platform::UserDefaults::standard().removeObject(QStringLiteral("kUserDefaultAppLanguage"));
}

TEST_F(Localization, ForeignBundleUsesItsFolderOfTheChosenLanguage) {
    QTemporaryDir other;
    QDir().mkpath(other.filePath(QStringLiteral("de.lproj")));
    QFile de(other.filePath(QStringLiteral("de.lproj/Localizable.strings")));
    ASSERT_TRUE(de.open(QIODevice::WriteOnly));
    de.write("\"k\" = \"deutsch\";");
    de.close();
    QFile base(other.filePath(QStringLiteral("Localizable.strings")));
    ASSERT_TRUE(base.open(QIODevice::WriteOnly));
    base.write("\"k\" = \"base\";");
    base.close();

    DJLocalizationSystem system;
    system.setLanguage(QStringLiteral("de"));
    EXPECT_EQ(system.localizedStringForKey(QStringLiteral("k"), QString(), QString(), other.path()),
              QStringLiteral("deutsch"));
    system.setLanguage(QStringLiteral("pt"));
    EXPECT_EQ(system.localizedStringForKey(QStringLiteral("k"), QString(), QString(), other.path()),
              QStringLiteral("base"));
    EXPECT_EQ(
        system.localizedStringForKey(QStringLiteral("missing"), QStringLiteral("v"), QString(), other.path()),
        QStringLiteral("v"));
}

} // namespace

TEST_F(Localization, DamagedTableKeepsEntriesBeforeTheFaultAndIsReported) {
    write("pt-PT", "Localizable", "\"_loc_error\" = \"Erro\";\n\"_loc_ok\" = \"OK\" /* never closed");
    DJLocalizationSystem system;
    system.setLanguage(QStringLiteral("pt"));
    EXPECT_EQ(system.localizedStringForKey(QStringLiteral("_loc_error"), QString()), QStringLiteral("Erro"));
    int reports = 0;
    for (const auto &record : m_reporter->records)
        reports += record.domain == QStringLiteral("NonFatal Localization table damaged");
    EXPECT_EQ(reports, 1);
}
