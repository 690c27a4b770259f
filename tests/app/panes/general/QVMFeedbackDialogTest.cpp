#include "panes/general/QVMFeedbackDialog.h"

#include "app/services/OnlineServiceTest.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

using qvtest::FakeReply;

class FeedbackDialogTest : public OnlineServiceTest {
protected:
    QVMFeedbackDialog::Translation translation{"Hello", "Hallo", "en_GB", "de_DE", "engine-a"};
};

TEST_F(FeedbackDialogTest, SendWaitsForAChangedNonEmptyTextAndOneRequestAtATime) {
    QVMFeedbackDialog dialog(translation);
    int sent = 0;
    QVMFeedbackDialog::Done pending;
    dialog.setSender([&](const auto &, const QString &, QVMFeedbackDialog::Done done) {
        ++sent;
        pending = std::move(done);
    });
    const struct Step {
        const char *text;
        bool enabled;
    } steps[] = {{"Hallo", false}, {"   ", false}, {"Guten Tag", true}};
    for (const Step &step : steps) {
        SCOPED_TRACE(step.text);
        dialog.textField()->setPlainText(QString::fromUtf8(step.text));
        EXPECT_EQ(dialog.sendButton()->isEnabled(), step.enabled);
        EXPECT_FALSE(dialog.sendButton()->toolTip().isEmpty());
    }
    dialog.sendButton()->click();
    EXPECT_FALSE(dialog.sendButton()->isEnabled());
    dialog.send();
    EXPECT_EQ(sent, 1);
    pending(true, {});
    EXPECT_EQ(dialog.statusLabel()->text(), QStringLiteral("Thank you"));
    EXPECT_FALSE(dialog.sendButton()->isEnabled()) << "the text sent is the text shown";
}

TEST_F(FeedbackDialogTest, BackendAnswerShowsInTheDialog) {
    const struct Case {
        const char *name;
        FakeReply reply;
        const char *status;
    } cases[] = {
        {"refused", FakeReply::json({{"err", "Language pair not supported"}}), "Language pair not supported"},
        {"accepted", FakeReply::json({{"err", QJsonValue::Null}}), "Thank you"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        backend.route("POST", "/v2/api/v3/feedBackDictionary", c.reply);
        QVMFeedbackDialog dialog(translation);
        dialog.textField()->setPlainText("Guten Tag");
        dialog.send();
        EXPECT_TRUE(dialog.isSending());
        ASSERT_TRUE(qvtest::waitUntil([&] { return !dialog.isSending(); }));
        EXPECT_EQ(dialog.statusLabel()->text(), QString::fromUtf8(c.status));
    }
    EXPECT_EQ(backend.lastRequest().jsonObject()["target"].toString(), QStringLiteral("Guten Tag"));
}
