// The entry points end to end: real encrypted tokenizers and TorchScript models from the tools.
#include "TranslatorFixture.h"

using enginetest::fixture;
using enginetest::readBytes;
using enginetest::scratchDir;
using enginetest::writeBytes;

namespace {

using enginetest::Outcome;
using Translator = enginetest::TranslatorFixture;

TEST_F(Translator, InitReportsEachFailureInOrder) {
    const std::string dir = scratchDir("init-order");
    const std::string damaged = dir + "/damaged.spm.model";
    writeBytes(damaged, readBytes(fixture("en.spm.model")).substr(0, 100));

    Outcome o = init(fixture("does-not-exist"), fixture("en.spm.model"), fixture("en.spm.model"), 1);
    EXPECT_EQ(o.code, 2);
    EXPECT_NE(o.message.find("saved_model.pt is missing"), std::string::npos) << o.message;

    o = init(fixture("not-a-model"), fixture("en.spm.model"), fixture("en.spm.model"), 1);
    EXPECT_EQ(o.code, 2);
    EXPECT_NE(o.message.find("Unreadable saved model archive"), std::string::npos) << o.message;

    o = init(fixture("identity"), dir + "/absent.spm.model", fixture("en.spm.model"), 1);
    EXPECT_EQ(o.code, 3);
    EXPECT_EQ(o.message.rfind("Not found: ", 0), 0u) << o.message;
    EXPECT_NE(o.message.find("absent.spm.model"), std::string::npos);

    o = init(fixture("identity"), fixture("en.spm.model"), damaged, 1);
    EXPECT_EQ(o.code, 4);
    EXPECT_FALSE(o.message.empty());

    o = init(fixture("identity"), fixture("en.plain.model"), fixture("en.spm.model"), 1);
    EXPECT_EQ(o.code, 3) << "an unencrypted tokenizer must not load";

    // None of the failures left anything in the slot.
    EXPECT_EQ(translate("hello world.", 1).code, 1);

    o = init(fixture("identity"), fixture("en.spm.model"), fixture("en.spm.model"), 1);
    EXPECT_EQ(o.code, 0) << o.message;
    EXPECT_EQ(translate("hello world.", 1).code, 0);
}

TEST_F(Translator, FailedLoadLeavesTheSlotAsItWas) {
    ASSERT_EQ(loadIdentity(1).code, 0);
    const Outcome before = translate("good morning.", 1);
    ASSERT_EQ(before.code, 0) << before.message;
    EXPECT_EQ(init(fixture("identity"), fixture("en.spm.model"), fixture("does-not-exist"), 1).code, 4);
    EXPECT_EQ(init(fixture("not-a-model"), fixture("en.spm.model"), fixture("en.spm.model"), 1).code, 2);
    const Outcome after = translate("good morning.", 1);
    EXPECT_EQ(after.code, 0) << after.message;
    EXPECT_EQ(after.text, before.text);
}

TEST_F(Translator, LoadIntoAnOccupiedSlotReplacesItsModel) {
    ASSERT_EQ(loadIdentity(1).code, 0);
    EXPECT_EQ(translate("hello world", 1).text, "hello world");
    const Outcome load = init(fixture("package/en-de"), fixture("package/en-de/en.spm.model"),
                              fixture("package/en-de/de.spm.model"), 1);
    ASSERT_EQ(load.code, 0) << load.message;
    EXPECT_EQ(translate("hello world", 1).text, "hallo welt");
}

TEST_F(Translator, MultiSentenceAndMultiLineTextComesBackInOrder) {
    ASSERT_EQ(loadIdentity(2).code, 0);
    const std::string text =
        "hello world. how are you? fine thanks!\n\ngood morning, the cat sat on a mat.\nwe like green apples";
    const Outcome o = translate(text, 2);
    ASSERT_EQ(o.code, 0) << o.message;
    EXPECT_EQ(o.text, text);
}

TEST_F(Translator, LongLinesAreCutAndRejoined) {
    ASSERT_EQ(loadIdentity(1).code, 0);
    std::string line;
    for (int i = 0; i < 130; ++i)
        line += (i ? " " : "") + std::string(i % 2 ? "cat" : "dog");
    const std::string text = line + ", " + line + ". the end";
    const Outcome o = translate(text, 1);
    ASSERT_EQ(o.code, 0) << o.message;
    EXPECT_EQ(o.text, text);
}

TEST_F(Translator, ReleasingSlotOneLeavesSlotTwoWorking) {
    ASSERT_EQ(loadIdentity(1).code, 0);
    ASSERT_EQ(loadIdentity(2).code, 0);
    EXPECT_EQ(close(1).code, 0);
    const Outcome o = translate("the dog ran far away.", 2);
    EXPECT_EQ(o.code, 0) << o.message;
    EXPECT_EQ(o.text, "the dog ran far away.");
    const Outcome released = translate("the dog ran far away.", 1);
    EXPECT_EQ(released.code, 1);
    EXPECT_EQ(released.message, "Translator is not loaded");
    EXPECT_EQ(close(1).code, 1);
}

TEST_F(Translator, ResultLargerThanTheBufferIsAnErrorNotATruncation) {
    // Each "cat" becomes forty: a short text whose translation outgrows the buffer.
    const std::string cat = enginetest::tokenOf("cat");
    std::string forty;
    for (int i = 0; i < 40; ++i)
        forty += (i ? " " : "") + cat;
    ASSERT_EQ(load(enginetest::makeWordTableModel("forty-cats", {{cat, forty}}), 1).code, 0);
    std::string text;
    while (text.size() < 3000)
        text += "the cat sat.\n";
    const Outcome o = translate(text, 1);
    EXPECT_EQ(o.code, 5);
    EXPECT_TRUE(o.text.empty());
    EXPECT_NE(o.message.find("32000"), std::string::npos) << o.message;
}

TEST_F(Translator, BatchFailureLeavesTheErrorBufferUntouchedAndLogsWhy) {
    const Outcome load = init(fixture("broken"), fixture("en.spm.model"), fixture("en.spm.model"), 2);
    ASSERT_EQ(load.code, 0) << load.message;
    char text[] = "hello world. good morning.";
    std::vector<char> result(kQuorvaldeBufferSize, '\0');
    std::vector<char> error(kQuorvaldeBufferSize, 'q');
    error.back() = '\0';
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(translateQuorvalde(text, result.data(), 2, error.data()), 2);
    const std::string log = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::string(error.data()), std::string(kQuorvaldeBufferSize - 1, 'q'));
    EXPECT_NE(log.find("do not match"), std::string::npos) << log;
}

TEST_F(Translator, TransformerModelRunsThroughTheEngine) {
    const Outcome load = init(fixture("transformer"), fixture("en.spm.model"), fixture("en.spm.model"), 1);
    ASSERT_EQ(load.code, 0) << load.message;
    const Outcome o = translate("hello world. the cat sat on a mat.\nwe like green apples", 1);
    EXPECT_EQ(o.code, 0) << o.message;
    // Random weights: only the shape of the answer is known, the separators in place.
    EXPECT_EQ(std::count(o.text.begin(), o.text.end(), '\n'), 1);
}

} // namespace
