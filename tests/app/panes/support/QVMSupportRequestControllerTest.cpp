#include "app/services/OnlineServiceTest.h"
#include "app/ui/GeneralViewTestSupport.h"
#include "app/ui/WindowChecks.h"
#include "support/FakeSmtpServer.h"

#include "core/localization/DJLocalizationSystem.h"
#include "core/localization/QVLocalizedString.h"
#include "core/models/QVAuthProfile.h"
#include "core/settings/QVAuthService.h"
#include "panes/support/QVMSupportPanes.h"
#include "panes/support/QVMSupportRequestController.h"
#include "platform/BackendConfig.h"
#include "services/support/QVSupportMailConfiguration.h"
#include "ui/QVMAppearance.h"
#include "ui/QVMInterfaceFactory.h"
#include "ui/QVMUtils.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QThreadPool>

namespace {

const char *const kVariables[] = {
    QVSupportMailConfiguration::kUrlVariable, QVSupportMailConfiguration::kUserVariable,
    QVSupportMailConfiguration::kPasswordVariable, QVSupportMailConfiguration::kMailboxVariable};

QString loc(const char *key) {
    return QVLocalizedString(QString::fromLatin1(key));
}

class SupportFormTest : public uitest::GeneralViewFixture<OnlineServiceTest> {
protected:
    void SetUp() override {
        uitest::GeneralViewFixture<OnlineServiceTest>::SetUp();
        DJLocalizationSystem::shared().setLanguage(QStringLiteral("en"));
        installSupportPanes();
        configure(smtp.url());
        presenter.view()->show();
    }
    void TearDown() override {
        presenter.view()->close();
        for (QVMBaseVC *form : presenter.presentedViewControllers())
            presenter.dismissViewController(form);
        qvtest::waitUntil([] { return QThreadPool::globalInstance()->activeThreadCount() == 0; });
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        for (const char *name : kVariables)
            qunsetenv(name);
        uitest::GeneralViewFixture<OnlineServiceTest>::TearDown();
    }
    static void configure(const QString &url) {
        for (const char *name : kVariables)
            qunsetenv(name);
        if (url.isEmpty())
            return;
        qputenv(QVSupportMailConfiguration::kUrlVariable, url.toUtf8());
        qputenv(QVSupportMailConfiguration::kUserVariable, "robot@support.example.org");
        qputenv(QVSupportMailConfiguration::kPasswordVariable, "pw");
        qputenv(QVSupportMailConfiguration::kMailboxVariable, "help@support.example.org");
    }
    // The form as the about pane opens it.
    QVMSupportRequestController *open() {
        QObject *made = QVMInterfaceFactory::shared().instantiateController(
            QStringLiteral("QVMSupportRequest"), QStringLiteral("QVMSupportRequestController"), &presenter);
        auto *form = qobject_cast<QVMSupportRequestController *>(made);
        EXPECT_TRUE(presenter.showModalViewController(form));
        qvtest::spin(20);
        return form;
    }
    void fill(QVMSupportRequestController *form, const QString &email, const QString &message) {
        form->emailField()->setText(email);
        form->messageView()->setPlainText(message);
    }
    static bool gone(const QPointer<QVMSupportRequestController> &form) {
        return qvtest::waitUntil([&] {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            return form.isNull();
        });
    }
    bool stillOpen(QVMSupportRequestController *form) const {
        return presenter.presentedViewControllers().contains(form) && form->view()->isVisible();
    }
    QList<uitest::Event> closes() const {
        return analytics->withAction(QStringLiteral("Technical Support - Close"));
    }

    qvtest::FakeSmtpServer smtp;
    QVMBaseVC presenter;
};

} // namespace

TEST_F(SupportFormTest, SendStaysOffUntilTheFormCanGoAndNothingConnectsBefore) {
    struct Case {
        const char *name;
        bool configured;
        QString email, message;
        bool enabled;
        const char *why; // Send's tooltip when it is off
    } cases[] = {
        {"no configuration", false, "ann@example.com", "Hello", false, "_loc_support_not_set_up"},
        {"a CR in the address", true, "ann@example.com\r", "Hello", false, "_loc_settings_invalid_email"},
        {"a blank message", true, "ann@example.com", " \n ", false, "_loc_support_need_message"},
        {"ready", true, "ann@example.com", "Hello", true, nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        configure(c.configured ? smtp.url() : QString());
        QVMSupportRequestController *form = open();
        fill(form, c.email, c.message);
        EXPECT_EQ(form->sendButton()->isEnabled(), c.enabled);
        EXPECT_EQ(form->notSetUpLabel()->isVisible(), !c.configured);
        if (c.why) {
            EXPECT_EQ(form->sendButton()->toolTip(), loc(c.why));
        }
        if (!c.enabled) {
            form->sendEmail(); // the button's state is not the only guard
            qvtest::spin(100);
            EXPECT_EQ(smtp.connectionCount(), 0);
            EXPECT_FALSE(form->isSending());
        }
        presenter.dismissViewController(form);
    }
    configure(QString());
    QVMSupportRequestController *form = open();
    const QString page = platform::BackendConfig::makerDomain().toString() + QStringLiteral("/support");
    EXPECT_TRUE(form->notSetUpLabel()->text().contains(page)) << form->notSetUpLabel()->text().toStdString();
}

TEST_F(SupportFormTest, FailureKeepsTheFormAndItsTextAndSaysWhy) {
    struct Case {
        const char *name;
        bool refuseAuthentication;
        bool closedPort;
        const char *reason;
    } cases[] = {
        {"authentication refused", true, false, "_loc_support_error_auth"},
        {"nobody listening", false, true, "_loc_support_error_connect"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        smtp.setRefuseAuthentication(c.refuseAuthentication);
        configure(c.closedPort ? QStringLiteral("smtp://127.0.0.1:9") : smtp.url());
        alerts->shown.clear();
        analytics->events.clear();
        QVMSupportRequestController *form = open();
        fill(form, QStringLiteral("ann@example.com"), QStringLiteral("My text"));
        form->sendButton()->click();
        ASSERT_TRUE(qvtest::waitUntil([&] { return !alerts->shown.isEmpty(); }, 10000));
        EXPECT_EQ(alerts->shown.first().message, loc(c.reason));
        EXPECT_TRUE(stillOpen(form));
        EXPECT_EQ(form->messageView()->toPlainText(), QStringLiteral("My text"));
        EXPECT_EQ(form->emailField()->text(), QStringLiteral("ann@example.com"));
        EXPECT_TRUE(form->sendButton()->isEnabled()) << "the user can try again";
        EXPECT_TRUE(closes().isEmpty());
        presenter.dismissViewController(form);
    }
    EXPECT_TRUE(smtp.messages().isEmpty());
}

TEST_F(SupportFormTest, SentRequestEndsWithTheBlockThanksTheUserAndCloses) {
    struct Case {
        const char *name;
        bool signedIn;
        const char *userIdLine;
    } cases[] = {
        {"signed out", false, "Quorvalde User ID: \n"},
        {"signed in", true, "Quorvalde User ID: 7\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        if (c.signedIn) {
            import(QVAuthProfile::storeClassName(), QVariantMap{{"id", 7},
                                                                {"username", "ann"},
                                                                { "email",
                                                                  "ann@example.org" }});
            QVAuthService::setAuthToken(QStringLiteral("tok"));
        }
        alerts->shown.clear();
        analytics->events.clear();
        const qsizetype before = smtp.messages().size();
        QPointer<QVMSupportRequestController> form = open();
        qvtest::spin(20);
        EXPECT_EQ(analytics->withAction(QStringLiteral("Technical Support shown")).size(), 1);
        EXPECT_EQ(form->emailField()->text(), c.signedIn ? QStringLiteral("ann@example.org") : QString());
        EXPECT_EQ(form->view()->focusWidget(),
                  c.signedIn ? static_cast<QWidget *>(form->messageView()) : form->emailField());
        if (!c.signedIn)
            form->emailField()->setText(QStringLiteral("bob@example.com"));
        const QString email = form->emailField()->text();
        form->messageView()->setPlainText(QStringLiteral("It broke.\n.\nTwice."));
        form->sendButton()->click();
        EXPECT_FALSE(form->sendButton()->isEnabled()) << "a second press would send twice";
        form->onSend(); // Return in the address field presses Send whatever the button shows
        ASSERT_TRUE(qvtest::waitUntil([&] { return !alerts->shown.isEmpty(); }, 10000));
        EXPECT_TRUE(gone(form));
        ASSERT_EQ(smtp.messages().size(), before + 1);
        const qvtest::FakeSmtpServer::Message message = smtp.messages().last();
        EXPECT_EQ(message.header(QStringLiteral("Reply-To")), email);
        const QString expected =
            QStringLiteral("It broke.\n.\nTwice.\n\n-------\nApp version: %1\n"
                           "App platform: macOS\nApp language: en\nUUID: %2\n%3"
                           "Feedback email: %4\n-------")
                .arg(QVMUtils::getAppVersionFromBundle(), uuid, QString::fromLatin1(c.userIdLine), email);
        EXPECT_EQ(message.bodyText().toStdString(), expected.toStdString());
        ASSERT_EQ(alerts->shown.size(), 1);
        EXPECT_EQ(alerts->shown.first().title, loc("_loc_alert_support_success_title"));
        EXPECT_EQ(alerts->shown.first().message, loc("_loc_alert_support_success_message"));
        EXPECT_EQ(analytics->withAction(QStringLiteral("Technical Support - Click Send")).size(), 2);
        ASSERT_EQ(closes().size(), 1);
        EXPECT_EQ(closes().first().params.value(QStringLiteral("method")), QStringLiteral("request_sent"));
    }
    EXPECT_EQ(smtp.connectionCount(), 2);
}

TEST_F(SupportFormTest, EveryWayOutSaysHowAndStopsARunningSend) {
    smtp.setHoldConnections(true);
    const struct {
        const char *name;
        std::function<void(QVMSupportRequestController *)> leave;
        const char *method;
    } cases[] = {
        {"Escape in the message",
         [](QVMSupportRequestController *form) { QTest::keyClick(form->messageView(), Qt::Key_Escape); },
         "cancel"},
        {"Cancel", [](QVMSupportRequestController *form) { form->cancelButton()->click(); }, "cancel"},
        {"the window's close button", [](QVMSupportRequestController *form) { form->view()->close(); },
         "close"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        analytics->events.clear();
        QPointer<QVMSupportRequestController> form = open();
        fill(form, QStringLiteral("ann@example.com"), QStringLiteral("Hello"));
        form->sendButton()->click();
        ASSERT_TRUE(form->isSending());
        c.leave(form);
        ASSERT_TRUE(gone(form));
        ASSERT_EQ(closes().size(), 1);
        EXPECT_EQ(closes().first().params.value(QStringLiteral("method")), QLatin1String(c.method));
        // Well inside the 30 s limit: the worker stopped with the form.
        EXPECT_TRUE(
            qvtest::waitUntil([] { return QThreadPool::globalInstance()->activeThreadCount() == 0; }));
    }
    EXPECT_TRUE(alerts->shown.isEmpty());
}

TEST_F(SupportFormTest, AddressNoticeAppearsOnLeavingTheFieldThenFollowsTheText) {
    QVMSupportRequestController *form = open();
    const struct {
        const char *typed;
        bool leave;
        bool notice;
    } steps[] = {
        {"ann@localhost", false, false}, // nothing while typing the first time
        {"ann@localhost", true, true},
        {"ann@example.com", false, false},
        {"ann@", false, true},
    };
    for (const auto &step : steps) {
        SCOPED_TRACE(step.typed);
        form->emailField()->setText(QString::fromLatin1(step.typed));
        if (step.leave)
            emit form->emailField()->editingFinished();
        EXPECT_EQ(form->wrongField()->isVisible(), step.notice);
    }
}

TEST_F(SupportFormTest, FormIsReadableNamedAndInReadingOrder) {
    QVMAppearance::install(); // as the main window does at start
    QVMSupportRequestController *form = open();
    uitest::expectEveryControlNamed(form->view());
    uitest::expectReadableInBothPalettes(form->view());
    const QList<QWidget *> order = {form->emailField(), form->messageView(), form->cancelButton(),
                                    form->sendButton()};
    form->emailField()->setFocus();
    QWidget *at = form->emailField();
    for (qsizetype index = 1; index < order.size(); ++index) {
        at = at->nextInFocusChain();
        while (!at->isVisible() || at->focusPolicy() == Qt::NoFocus)
            at = at->nextInFocusChain();
        EXPECT_EQ(at, order.at(index)) << "position " << index;
    }
    for (const QString &caption : {QStringLiteral("Your e-mail"), QStringLiteral("Message")}) {
        bool shown = false;
        for (const QLabel *label : form->view()->findChildren<QLabel *>())
            shown = shown || (label->text() == caption && label->isVisible());
        EXPECT_TRUE(shown) << caption.toStdString();
    }
}
