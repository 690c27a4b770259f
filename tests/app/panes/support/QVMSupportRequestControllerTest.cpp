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
#include "ui/foundation/QVMInterfaceFactory.h"
#include "ui/foundation/QVMLinkOpener.h"
#include "ui/foundation/QVMUtils.h"
#include "ui/style/QVMAppearance.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QThreadPool>

namespace {

using Form = QVMSupportRequestController;

QString loc(const char *key) {
    return QVLocalizedString(QString::fromLatin1(key));
}

bool workersDone() {
    return qvtest::waitUntil([] { return QThreadPool::globalInstance()->activeThreadCount() == 0; });
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
        workersDone();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        configure({});
        uitest::GeneralViewFixture<OnlineServiceTest>::TearDown();
    }
    // The account in the environment; none for an empty address.
    static void configure(const QString &url) {
        for (const char *name :
             {QVSupportMailConfiguration::kUrlVariable, QVSupportMailConfiguration::kUserVariable,
              QVSupportMailConfiguration::kPasswordVariable, QVSupportMailConfiguration::kMailboxVariable})
            qunsetenv(name);
        if (url.isEmpty())
            return;
        qputenv(QVSupportMailConfiguration::kUrlVariable, url.toUtf8());
        qputenv(QVSupportMailConfiguration::kUserVariable, "robot@support.example.org");
        qputenv(QVSupportMailConfiguration::kPasswordVariable, "pw");
        qputenv(QVSupportMailConfiguration::kMailboxVariable, "help@support.example.org");
    }
    // The form as the about pane opens it, filled when an address or a message is given.
    Form *open(const QString &email = {}, const QString &message = {}) {
        alerts->shown.clear();
        analytics->events.clear();
        auto *form = qobject_cast<Form *>(QVMInterfaceFactory::shared().instantiateController(
            QStringLiteral("QVMSupportRequest"), QStringLiteral("QVMSupportRequestController"), &presenter));
        EXPECT_TRUE(presenter.showModalViewController(form));
        qvtest::spin(20);
        if (!email.isEmpty())
            form->emailField()->setText(email);
        if (!message.isEmpty())
            form->messageView()->setPlainText(message);
        return form;
    }
    static bool gone(const QPointer<Form> &form) {
        return qvtest::waitUntil([&] {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            return form.isNull();
        });
    }
    QList<uitest::Event> closes() const {
        return analytics->withAction(QStringLiteral("Technical Support - Close"));
    }

    qvtest::FakeSmtpServer smtp;
    QVMBaseVC presenter;
};

} // namespace

TEST_F(SupportFormTest, SendStaysOffUntilTheFormCanGoAndNothingConnectsBefore) {
    const QString page = platform::BackendConfig::makerDomain().toString() + QStringLiteral("/support");
    const struct {
        const char *name;
        bool configured;
        QString email, message;
        const char *why; // Send's tooltip; nullptr: Send is on
    } cases[] = {
        {"no configuration", false, "ann@example.com", "Hello", "_loc_support_not_set_up"},
        {"a CR in the address", true, "ann@example.com\r", "Hello", "_loc_settings_invalid_email"},
        {"a blank message", true, "ann@example.com", " \n ", "_loc_support_need_message"},
        {"ready", true, "ann@example.com", "Hello", nullptr},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        configure(c.configured ? smtp.url() : QString());
        Form *form = open(c.email, c.message);
        EXPECT_EQ(form->sendButton()->isEnabled(), !c.why);
        EXPECT_EQ(form->notSetUpLabel()->isVisible(), !c.configured);
        if (!c.configured) {
            EXPECT_TRUE(form->notSetUpLabel()->text().contains(page))
                << form->notSetUpLabel()->text().toStdString();
            QVMAppearance::install(); // as the main window does at start
            uitest::expectReadableInBothPalettes(form->view());
            // Without a browser the link says so and offers the page's address.
            QVMLinkOpener::setOpener([](const QUrl &) { return false; });
            emit form->notSetUpLabel()->linkActivated(page);
            QVMLinkOpener::setOpener({});
            ASSERT_EQ(alerts->shown.size(), 1);
            EXPECT_TRUE(alerts->shown.first().message.endsWith(page)) << alerts->shown.first().message.toStdString();
        }
        if (c.why) {
            EXPECT_EQ(form->sendButton()->toolTip(), loc(c.why));
            form->sendEmail(); // the button's state is not the only guard
            qvtest::spin(100);
            EXPECT_EQ(smtp.connectionCount(), 0);
            EXPECT_FALSE(form->isSending());
        }
        presenter.dismissViewController(form);
    }
}

TEST_F(SupportFormTest, SendEitherKeepsTheFormAndSaysWhyOrEndsWithTheBlockThanksTheUserAndCloses) {
    const QVariantMap profile = {{"id", 7}, {"username", "ann"}, {"email", "ann@example.org"}};
    const QString text = QStringLiteral("It broke.\n.\nTwice.");
    const struct {
        const char *name;
        const char *failure; // the reason shown; nullptr: sent
        bool signedIn = false;
        const char *url = nullptr; // nullptr: the fake server
    } cases[] = {
        {"authentication refused", "_loc_support_error_auth"},
        {"nobody listening", "_loc_support_error_connect", false, "smtp://127.0.0.1:9"},
        {"signed out", nullptr},
        {"signed in", nullptr, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        smtp.setRefuseAuthentication(c.failure && !c.url);
        configure(c.url ? QString::fromLatin1(c.url) : smtp.url());
        if (c.signedIn) {
            import(QVAuthProfile::storeClassName(), profile);
            QVAuthService::setAuthToken(QStringLiteral("tok"));
        }
        const qsizetype messages = smtp.messages().size();
        const int connections = smtp.connectionCount();
        QPointer<Form> form = open();
        EXPECT_EQ(analytics->withAction(QStringLiteral("Technical Support shown")).size(), 1);
        EXPECT_EQ(form->emailField()->text(), c.signedIn ? QStringLiteral("ann@example.org") : QString());
        EXPECT_EQ(form->view()->focusWidget(),
                  c.signedIn ? static_cast<QWidget *>(form->messageView()) : form->emailField());
        if (!c.signedIn)
            form->emailField()->setText(QStringLiteral("bob@example.com"));
        const QString email = form->emailField()->text();
        form->messageView()->setPlainText(text);
        form->sendButton()->click();
        EXPECT_FALSE(form->sendButton()->isEnabled()) << "a second press would send twice";
        form->onSend(); // Return in the address field presses Send whatever the button shows
        ASSERT_TRUE(qvtest::waitUntil([&] { return !alerts->shown.isEmpty(); }, 10000));
        ASSERT_EQ(alerts->shown.size(), 1);
        EXPECT_EQ(smtp.connectionCount() - connections, c.url ? 0 : 1);
        EXPECT_EQ(analytics->withAction(QStringLiteral("Technical Support - Click Send")).size(), 2);
        if (c.failure) {
            EXPECT_EQ(alerts->shown.first().message, loc(c.failure));
            EXPECT_TRUE(presenter.presentedViewControllers().contains(form) && form->view()->isVisible());
            EXPECT_EQ(form->messageView()->toPlainText(), text);
            EXPECT_EQ(form->emailField()->text(), email);
            EXPECT_TRUE(form->sendButton()->isEnabled()) << "the user can try again";
            EXPECT_TRUE(closes().isEmpty());
            EXPECT_EQ(smtp.messages().size(), messages);
            presenter.dismissViewController(form);
            continue;
        }
        EXPECT_TRUE(gone(form));
        ASSERT_EQ(smtp.messages().size(), messages + 1);
        EXPECT_EQ(smtp.messages().last().header(QStringLiteral("Reply-To")), email);
        const QString expected =
            QStringLiteral("%1\n\n-------\nApp version: %2\nApp platform: macOS\nApp language: en\n"
                           "UUID: %3\nQuorvalde User ID: %4\nFeedback email: %5\n-------")
                .arg(text, QVMUtils::getAppVersionFromBundle(), uuid,
                     c.signedIn ? QStringLiteral("7") : QString(), email);
        EXPECT_EQ(smtp.messages().last().bodyText().toStdString(), expected.toStdString());
        EXPECT_EQ(alerts->shown.first().title, loc("_loc_alert_support_success_title"));
        EXPECT_EQ(alerts->shown.first().message, loc("_loc_alert_support_success_message"));
        ASSERT_EQ(closes().size(), 1);
        EXPECT_EQ(closes().first().params.value(QStringLiteral("method")), QStringLiteral("request_sent"));
    }
}

TEST_F(SupportFormTest, EveryWayOutSaysHowAndStopsARunningSend) {
    smtp.setHoldConnections(true);
    const struct {
        const char *name;
        std::function<void(Form *)> leave;
        const char *method;
    } cases[] = {
        {"Escape in the message", [](Form *form) { QTest::keyClick(form->messageView(), Qt::Key_Escape); },
         "cancel"},
        {"Cancel", [](Form *form) { form->cancelButton()->click(); }, "cancel"},
        {"the window's close button", [](Form *form) { form->view()->close(); }, "close"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QPointer<Form> form = open(QStringLiteral("ann@example.com"), QStringLiteral("Hello"));
        form->sendButton()->click();
        ASSERT_TRUE(form->isSending());
        c.leave(form);
        ASSERT_TRUE(gone(form));
        ASSERT_EQ(closes().size(), 1);
        EXPECT_EQ(closes().first().params.value(QStringLiteral("method")), QLatin1String(c.method));
        EXPECT_TRUE(workersDone()) << "well inside the 30 s limit, the worker stopped with the form";
        EXPECT_TRUE(alerts->shown.isEmpty());
    }
}

TEST_F(SupportFormTest, AddressNoticeAppearsOnLeavingTheFieldThenFollowsTheText) {
    Form *form = open();
    const struct {
        const char *typed;
        bool leave, notice;
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
    Form *form = open();
    uitest::expectEveryControlNamed(form->view());
    uitest::expectReadableInBothPalettes(form->view());
    form->emailField()->setFocus();
    QWidget *at = form->emailField();
    const QList<QWidget *> order = {form->messageView(), form->cancelButton(), form->sendButton()};
    for (QWidget *next : order) {
        do
            at = at->nextInFocusChain();
        while (!at->isVisible() || at->focusPolicy() == Qt::NoFocus);
        EXPECT_EQ(at, next) << next->accessibleName().toStdString();
    }
    QStringList captions;
    for (const QLabel *label : form->view()->findChildren<QLabel *>())
        if (label->isVisible())
            captions << label->text();
    EXPECT_TRUE(captions.contains(QStringLiteral("Your e-mail")) &&
                captions.contains(QStringLiteral("Message")))
        << captions.join(QLatin1Char('|')).toStdString();
}
