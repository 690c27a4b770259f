// Words from the backend, a file or the user shown in the secondary windows'
// message lines: markup in them (links, fonts, file:// pictures) must show as
// the characters it is, never render.
#include "app/ui/GeneralViewTestSupport.h"

#include "panes/photo/QVMPhotoRecognitionController.h"
#include "panes/popover/QVMGenaralPopoverViewController.h"
#include "panes/popover/QVMStatusItem.h"
#include "panes/popover/QVMTrayPopoverInstaller.h"
#include "panes/web/QVMWebPageController.h"
#include "platform/BackendConfig.h"
#include "support/FakeBackend.h"
#include "ui/controls/TextViewWithPlaceHolder.h"

#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTextDocument>
#include <QToolButton>

using namespace uitest;
using qvtest::FakeReply;

namespace {

const QString kHostile = QStringLiteral(
    "<img src=\"file:///etc/hostname\"><a href=\"http://127.0.0.1/\"><font size=7>Click</font></a>");

// Fails every picture with the hostile words as the error's description.
class FailingPhotoTranslator : public QVMPhotoTranslator {
public:
    void translate(const QImage &, const QVLanguageRealm &, const QVLanguageRealm &, Progress, Success,
                   Failure failure) override {
        failure(platform::Error(QStringLiteral("QVPhotoService"), 500, kHostile));
    }
    void cancel() override {}
};

// What a label or tooltip shows of its text: the text itself, or what its markup renders to.
QString shownText(const QString &text, Qt::TextFormat format) {
    if (format == Qt::PlainText || (format == Qt::AutoText && !Qt::mightBeRichText(text)))
        return text;
    QTextDocument rendered;
    rendered.setHtml(text);
    return rendered.toPlainText();
}

struct Shown {
    QString text;
    Qt::TextFormat format = Qt::AutoText; // tooltips take their text as Qt::AutoText
};

Shown shownBy(const QLabel *label) {
    return label ? Shown{label->text(), label->textFormat()} : Shown{};
}

} // namespace

class OutsideTextTest : public GeneralViewFixture<ModelStoreTest> {
protected:
    void SetUp() override {
        GeneralViewFixture<ModelStoreTest>::SetUp();
        setPair(QStringLiteral("en_GB"), QStringLiteral("de_DE"));
        platform::BackendConfig::overrideHost("QV_API_HOST", backend.baseUrl());
    }
    void TearDown() override {
        QVMPhotoRecognitionController::setTranslatorFactory({});
        QVMStatusItem::sharedInstance().reset();
        platform::BackendConfig::overrideHost("QV_API_HOST", QUrl());
        GeneralViewFixture<ModelStoreTest>::TearDown();
    }

    qvtest::FakeBackend backend;
};

TEST_F(OutsideTextTest, MessageLinesShowMarkupFromOutsideAsItsCharacters) {
    struct Case {
        const char *window;
        // Opens the window, makes it show the hostile words and returns what shows them.
        std::function<Shown(std::unique_ptr<QObject> &owner)> open;
    };
    const QList<Case> cases = {
        {"quick translator, server error",
         [this](std::unique_ptr<QObject> &owner) -> Shown {
             auto *popover = new QVMGenaralPopoverViewController;
             owner.reset(popover);
             popover->setLanguageDetector({});
             popover->view()->show();
             popover->originalTextView()->setPlainText(QStringLiteral("Hello"));
             popover->translateCurrentText();
             if (online->calls.isEmpty())
                 return {};
             online->calls.last().failure(platform::Error(QStringLiteral("QVRequestManager"), 400, kHostile));
             return shownBy(popover->messageLabel());
         }},
        {"photo window, recognition error",
         [this](std::unique_ptr<QObject> &owner) -> Shown {
             const QString path = dir.filePath(QStringLiteral("sign.png"));
             solidImage(40, 20, Qt::darkGreen).save(path);
             QVMPhotoRecognitionController::setTranslatorFactory(
                 [] { return std::make_unique<FailingPhotoTranslator>(); });
             auto *photo = new QVMPhotoRecognitionController;
             owner.reset(photo);
             photo->setUrl(QUrl::fromLocalFile(path));
             QSignalSpy finished(photo, &QVMPhotoRecognitionController::translationFinished);
             photo->view()->show();
             qvtest::waitUntil([&] { return !finished.isEmpty(); });
             return shownBy(photo->errorLabel());
         }},
        {"web-page window, server error",
         [this](std::unique_ptr<QObject> &owner) -> Shown {
             backend.route("GET", "/source",
                           FakeReply::bytes("<html><body>Source</body></html>", "text/html"));
             backend.route("POST", "/translateWebpageAPI/",
                           FakeReply::jsonMap({{"err", QVariantMap{{"message", kHostile}}}}, 400));
             auto *web = new QVMWebPageController;
             owner.reset(web);
             web->view()->show();
             QSignalSpy answered(web, &QVMWebPageController::translationAnswered);
             web->addressField()->setText(backend.url(QStringLiteral("/source")).toString());
             web->translate();
             qvtest::waitUntil([&] { return !answered.isEmpty(); }, 15000);
             return shownBy(web->errorLabel());
         }},
        {"quick translator, language name from the catalogue",
         [this](std::unique_ptr<QObject> &owner) -> Shown {
             write([](platform::Transaction &tx) {
                 tx.createOrUpdate(QVLanguageRealm::storeClassName(),
                                   {{"localeIdentifier", "de_DE"}, {"languageName", kHostile}});
             });
             installTrayPopover(); // the language list exists, so the buttons are named after the languages
             auto *popover = new QVMGenaralPopoverViewController;
             owner.reset(popover);
             popover->view()->show();
             popover->updateLanguageButtons();
             return {popover->toButton()->toolTip()};
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.window);
        std::unique_ptr<QObject> owner;
        const Shown shown = c.open(owner);
        EXPECT_TRUE(shownText(shown.text, shown.format).contains(kHostile)) << shown.text.toStdString();
        owner.reset();
        qvtest::spin(10);
    }
}
