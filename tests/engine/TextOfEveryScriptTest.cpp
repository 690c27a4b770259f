// Text of every script through the engine: what a package's tokenizers know is translated, every
// other character comes back as it was, never as a mark.
#include "TranslatorFixture.h"

using enginetest::fixture;

namespace {

using enginetest::Outcome;
struct Case {
    const char *name;
    std::string text;
    std::string expected;
};

const std::string kReplacementCharacter = "\xEF\xBF\xBD";
const std::string kUnknownMark = "\xE2\x81\x87"; // what a tokenizer decodes an unknown piece to

class EveryScript : public enginetest::TranslatorFixture {
protected:
    static void expectTranslations(const std::vector<Case> &cases, int index) {
        for (const Case &c : cases) {
            SCOPED_TRACE(c.name);
            const Outcome o = translate(c.text, index);
            ASSERT_EQ(o.code, 0) << o.message;
            EXPECT_EQ(o.text, c.expected);
            EXPECT_EQ(o.text.find(kReplacementCharacter), std::string::npos);
            EXPECT_EQ(o.text.find(kUnknownMark), std::string::npos);
        }
    }
};

// Tokenizers without byte pieces, as older packages have: the characters they never saw are
// unknown pieces, and each takes its place in the translation with its own text.
TEST_F(EveryScript, CharactersATokenizerNeverSawComeBackAsTheyWere) {
    ASSERT_EQ(loadIdentity(1).code, 0);
    expectTranslations(
        {
            {"Cyrillic alone", "Привет, мир", "Привет, мир"},
            {"Greek between English", "hello Καλημέρα world", "hello Καλημέρα world"},
            {"CJK with its own full stop", "日本語のテキスト。", "日本語のテキスト。"},
            {"emoji with a skin tone", "hello 👋🏽 world 🎉", "hello 👋🏽 world 🎉"},
            {"German umlauts and French accents", "Grüße, ça coûte", "Grüße, ça coûte"},
            {"one line per script", "Привет мир\nΚαλημέρα\n日本語。\n👋🏽",
             "Привет мир\nΚαλημέρα\n日本語。\n👋🏽"},
        },
        1);
}

// A package the package maker made: its tokenizers spell unseen characters in byte pieces, and
// its word table translates the words it knows beside them.
TEST_F(EveryScript, APackageTranslatesTheWordsItKnowsAmongAnyScript) {
    ASSERT_EQ(init(fixture("package/de-en"), fixture("package/de-en/de.spm.model"),
                   fixture("package/de-en/en.spm.model"), 1)
                  .code,
              0);
    ASSERT_EQ(init(fixture("package/en-de"), fixture("package/en-de/en.spm.model"),
                   fixture("package/en-de/de.spm.model"), 2)
                  .code,
              0);
    expectTranslations(
        {
            {"umlaut word", "hallo grüne welt", "hello green world"},
            {"French accents", "hallo café crème", "hello café crème"},
            {"Cyrillic", "hund Привет", "dog Привет"},
            {"Greek", "katze γάτα", "cat γάτα"},
            {"CJK", "welt 世界", "world 世界"},
            {"emoji", "hallo 👋🏽 welt 🎉", "hello 👋🏽 world 🎉"},
        },
        1);
    expectTranslations({{"into German, umlaut", "hello green world", "hallo grüne welt"},
                        {"into German, CJK and emoji", "dog 世界 🎉", "hund 世界 🎉"}},
                       2);
}

} // namespace
