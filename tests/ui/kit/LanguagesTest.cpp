// Which language is shown and how a translation falls back to English: the locale's
// choice, the user's kept choice, and translations that are incomplete, broken or too
// large. The shipped translations hold every key of the English source.
#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>

#include "support/SkinFolder.h"
#include "ui/kit/LanguageFile.h"
#include "ui/kit/Languages.h"

using namespace halvern;
using kit::LocaleEnvironment;

namespace {

const QStringList kAvailable{QStringLiteral("en"), QStringLiteral("de"), QStringLiteral("pt_BR")};

QString ForLocale(const char* language, const char* lcAll, const char* lcMessages, const char* lang) {
    return kit::LanguageForLocale(LocaleEnvironment{QString::fromUtf8(language), QString::fromUtf8(lcAll),
                                                    QString::fromUtf8(lcMessages), QString::fromUtf8(lang)},
                                  kAvailable);
}

constexpr const char* kEnglish = R"(<Language name="English">
  <Text key="ok_text">OK</Text>
  <Text key="cancel_text">Cancel</Text>
  <Text key="quit_text">Quit</Text>
</Language>)";

QByteArray ReadShipped(const QString& file) {
    QFile f(QString::fromStdString((test::SourceSkinFolder() / file.toStdString()).string()));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << file.toStdString();
    return f.readAll();
}

}  // namespace

TEST(LanguageForLocale, FollowsTheMessagesLocaleInGettextOrder) {
    EXPECT_EQ(ForLocale("", "", "", "de_DE.UTF-8"), QStringLiteral("de"));
    EXPECT_EQ(ForLocale("", "", "de_AT.UTF-8@euro", "en_GB.UTF-8"), QStringLiteral("de"));
    EXPECT_EQ(ForLocale("", "en_US.UTF-8", "de_DE.UTF-8", "de_DE.UTF-8"), QStringLiteral("en"));
    EXPECT_EQ(ForLocale("", "", "", "pt_BR.UTF-8"), QStringLiteral("pt_BR"));
    EXPECT_EQ(ForLocale("", "", "", "fr_FR.UTF-8"), QStringLiteral("en"));
    EXPECT_EQ(ForLocale("", "", "", ""), QStringLiteral("en"));
}

TEST(LanguageForLocale, LanguageListsPreferencesButNotUnderTheCLocale) {
    EXPECT_EQ(ForLocale("fr:de_CH:en", "", "", "en_US.UTF-8"), QStringLiteral("de"));
    EXPECT_EQ(ForLocale("pt_BR:de", "", "", "de_DE.UTF-8"), QStringLiteral("pt_BR"));
    // gettext ignores LANGUAGE when the locale is C or POSIX.
    EXPECT_EQ(ForLocale("de", "C", "", ""), QStringLiteral("en"));
    EXPECT_EQ(ForLocale("de", "", "", "POSIX"), QStringLiteral("en"));
    EXPECT_EQ(ForLocale("de", "", "", "C.UTF-8"), QStringLiteral("en"));
}

TEST(ChooseLanguage, AKeptChoiceWinsOnlyWhileItsFileIsThere) {
    const LocaleEnvironment german{{}, {}, {}, QStringLiteral("de_DE.UTF-8")};
    EXPECT_EQ(kit::ChooseLanguage(QStringLiteral("en"), german, kAvailable), QStringLiteral("en"));
    EXPECT_EQ(kit::ChooseLanguage(QStringLiteral("pt_BR"), german, kAvailable), QStringLiteral("pt_BR"));
    EXPECT_EQ(kit::ChooseLanguage(QStringLiteral("sv"), german, kAvailable), QStringLiteral("de"));
    EXPECT_EQ(kit::ChooseLanguage(std::nullopt, german, kAvailable), QStringLiteral("de"));
}

TEST(FindLanguages, ListsEnglishFirstThenTheFilesBesideItByCode) {
    test::SkinFolder folder;
    folder.write("lan.xml", kEnglish);
    folder.write("lan_de.xml", R"(<Language name="Deutsch"><Text key="ok_text">OK</Text></Language>)");
    folder.write("lan_cs.xml", R"(<Language><Text key="ok_text">OK</Text></Language>)");
    folder.write("lan_x-y.xml", "<Language/>");     // not a code
    folder.write("lan_.xml", "<Language/>");        // no code
    folder.write("lan_fr.xml.bak", "<Language/>");  // not a language file
    const std::vector<kit::LanguageInfo> found = kit::FindLanguages(QString::fromStdString(folder.path().string()));
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(found[0].code, QStringLiteral("en"));
    EXPECT_EQ(found[0].file, QStringLiteral("lan.xml"));
    EXPECT_EQ(found[1].code, QStringLiteral("cs"));
    EXPECT_EQ(found[1].name, QStringLiteral("cs"));  // no name in the file
    EXPECT_EQ(found[2].code, QStringLiteral("de"));
    EXPECT_EQ(found[2].name, QStringLiteral("Deutsch"));
}

TEST(LanguageFileName, ACodeNeverNamesAFileOutsideTheSkin) {
    EXPECT_EQ(kit::LanguageFileName(QStringLiteral("en")), QStringLiteral("lan.xml"));
    EXPECT_EQ(kit::LanguageFileName(QStringLiteral("pt_BR")), QStringLiteral("lan_pt_BR.xml"));
    for (const char* bad : {"../de", "de/x", "", "de.xml", "d e"})
        EXPECT_TRUE(kit::LanguageFileName(QString::fromUtf8(bad)).isEmpty()) << bad;
}

// ---- A translation over the English source ----

class Translation : public ::testing::Test {
protected:
    void SetUp() override { folder.write("lan.xml", kEnglish); }
    test::SkinFolder folder;
    kit::Skin skin = folder.makeSkin();
};

TEST_F(Translation, MissingKeysKeepTheirEnglishTextAndAreReportedOnce) {
    folder.write("lan_de.xml", R"(<Language name="Deutsch">
        <Text key="cancel_text">Abbrechen</Text>
        <Text key="quit_text">Beenden</Text>
      </Language>)");
    const std::optional<QString> problem = skin.setLanguage(QStringLiteral("de"));
    ASSERT_TRUE(problem);
    EXPECT_FALSE(problem->contains(u'\n'));
    EXPECT_TRUE(problem->contains(QStringLiteral("1 texts missing"))) << problem->toStdString();
    EXPECT_TRUE(problem->contains(QStringLiteral("ok_text")));
    EXPECT_EQ(skin.languageCode(), QStringLiteral("de"));
    EXPECT_EQ(skin.text(QStringLiteral("cancel_text")), QStringLiteral("Abbrechen"));
    EXPECT_EQ(skin.text(QStringLiteral("ok_text")), QStringLiteral("OK"));
}

TEST_F(Translation, ACompleteTranslationReportsNothingAndEnglishComesBack) {
    folder.write("lan_de.xml", R"(<Language><Text key="ok_text">Gut</Text><Text key="cancel_text">Abbrechen</Text>
        <Text key="quit_text">Beenden</Text></Language>)");
    EXPECT_FALSE(skin.setLanguage(QStringLiteral("de")));
    EXPECT_EQ(skin.text(QStringLiteral("ok_text")), QStringLiteral("Gut"));
    EXPECT_FALSE(skin.setLanguage(QStringLiteral("en")));
    EXPECT_EQ(skin.languageCode(), QStringLiteral("en"));
    EXPECT_EQ(skin.text(QStringLiteral("ok_text")), QStringLiteral("OK"));
}

TEST_F(Translation, ABrokenHostileOrMissingFileFallsBackToEnglishWhole) {
    folder.write("lan_de.xml", R"(<Language><Text key="ok_text">Gut</Text><Text key="cancel_text">Abb)");
    folder.write("lan_fr.xml", std::string(kit::LanguageFile::kMaxFileBytes + 1, ' '));
    folder.write("lan_cs.xml",
                 R"(<!DOCTYPE x [<!ENTITY a "aaaa">]><Language><Text key="ok_text">&a;</Text></Language>)");
    for (const char* code : {"de", "fr", "cs", "sv", "../lan"}) {
        const std::optional<QString> problem = skin.setLanguage(QString::fromUtf8(code));
        ASSERT_TRUE(problem) << code;
        EXPECT_FALSE(problem->contains(u'\n')) << code;
        EXPECT_TRUE(problem->contains(QStringLiteral("English"))) << problem->toStdString();
        EXPECT_EQ(skin.languageCode(), QStringLiteral("en")) << code;
        EXPECT_EQ(skin.text(QStringLiteral("ok_text")), QStringLiteral("OK")) << code;
    }
}

TEST_F(Translation, AnUnreadableSourceLeavesTheTextsInUse) {
    folder.write("lan_de.xml", R"(<Language><Text key="ok_text">Gut</Text></Language>)");
    skin.setLanguage(QStringLiteral("de"));
    folder.write("lan.xml", "<Language><Text key='ok_text'>broken");
    EXPECT_TRUE(skin.setLanguage(QStringLiteral("en")));
    EXPECT_EQ(skin.text(QStringLiteral("ok_text")), QStringLiteral("Gut"));
}

// ---- The shipped translations ----

TEST(ShippedTranslations, HoldEveryKeyOfTheSourceWithItsPlaceholdersAndNoOthers) {
    kit::LanguageFile english;
    ASSERT_FALSE(english.load(ReadShipped(QStringLiteral("lan.xml")), QStringLiteral("lan.xml")));
    const std::vector<kit::LanguageInfo> languages =
        kit::FindLanguages(QString::fromStdString(test::SourceSkinFolder().string()));
    ASSERT_GE(languages.size(), 2u) << "German at least";
    const QRegularExpression placeholder(QStringLiteral("%\\d"));
    auto placeholders = [&](const QString& text) {
        QStringList found;
        for (auto it = placeholder.globalMatch(text); it.hasNext();) found << it.next().captured();
        found.sort();
        return found;
    };
    for (const kit::LanguageInfo& language : languages) {
        if (language.code == QStringLiteral("en")) continue;
        SCOPED_TRACE(language.file.toStdString());
        kit::LanguageFile translated;
        ASSERT_FALSE(translated.load(ReadShipped(language.file), language.file));
        EXPECT_EQ(translated.size(), english.size());
        kit::LanguageFile merged = english;
        QStringList missing;
        ASSERT_FALSE(merged.overlay(ReadShipped(language.file), language.file, &missing));
        EXPECT_TRUE(missing.isEmpty()) << missing.join(QStringLiteral(", ")).toStdString();
        for (const QString& key : english.keys()) {
            const std::string k = key.toStdString();
            const QString source = english.text(key);
            const QString text = translated.text(key);
            EXPECT_TRUE(translated.contains(key)) << k;
            EXPECT_EQ(placeholders(text), placeholders(source)) << k;
            // Texts that end in a blank are followed by a number or a name on screen.
            EXPECT_EQ(text.endsWith(u' '), source.endsWith(u' ')) << k;
            EXPECT_FALSE(text.trimmed().isEmpty()) << k;
        }
    }
}
