#include "UiTestSupport.h"
#include "platform/NotificationCenter.h"
#include "services/graphics/QVMStyleService.h"
#include "support/EventLoop.h"
#include "ui/controls/CenteredClipView.h"
#include "ui/controls/CustomTextView.h"
#include "ui/controls/PaddingTextView.h"
#include "ui/controls/QVMAutoGrowingTextField.h"
#include "ui/controls/QVMLongRunWrapping.h"
#include "ui/controls/QVTextField.h"
#include "ui/controls/TextViewWithPlaceHolder.h"
#include "ui/style/QVMColor.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QClipboard>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QScrollBar>
#include <QTextBlock>
#include <gtest/gtest.h>

#include <functional>

namespace {

// Delivers a drop of the data in the middle of the view's text area, as a drag would end.
bool dropOn(QTextEdit &view, QMimeData *data) {
    const QPoint at = view.viewport()->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view.viewport(), &enter);
    QDropEvent drop(at, Qt::CopyAction | Qt::MoveAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view.viewport(), &drop);
    return drop.isAccepted();
}

struct DelegateCalls {
    QStringList paths;
    int became = 0;
    int resigned = 0;
};

void observe(PaddingTextView &view, DelegateCalls &calls) {
    QObject::connect(&view, &PaddingTextView::textViewWasDraggedFile,
                     [&calls, &view](const QString &path, PaddingTextView *sender) {
                         EXPECT_EQ(sender, &view);
                         calls.paths << path;
                     });
    QObject::connect(&view, &PaddingTextView::textViewDidBecomeFirstResponder, [&calls] { ++calls.became; });
    QObject::connect(&view, &PaddingTextView::textViewDidResignFirstResponder,
                     [&calls] { ++calls.resigned; });
}

class TextViewTest : public ::testing::Test {
protected:
    void TearDown() override {
        QVMStyleService::shared().setDesktopColorScheme(QVMStyleService::ColorScheme::NoPreference);
    }
};

} // namespace

TEST_F(TextViewTest, DroppedFilesGoToTheDelegateAndNothingIsInserted) {
    PaddingTextView view;
    view.resize(300, 200);
    view.setPlainText(QStringLiteral("Original"));
    view.show();
    DelegateCalls calls;
    observe(view, calls);

    auto *files = new QMimeData;
    files->setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/a.pdf")),
                    QUrl::fromLocalFile(QStringLiteral("/tmp/b.docx")),
                    QUrl::fromLocalFile(QStringLiteral("/tmp/c.jpg"))});
    files->setText(QStringLiteral("/tmp/a.pdf /tmp/b.docx /tmp/c.jpg"));
    EXPECT_FALSE(dropOn(view, files));
    EXPECT_EQ(calls.paths, QStringList{QStringLiteral("/tmp/c.jpg")});

    EXPECT_EQ(calls.paths.size(), 1);
    EXPECT_EQ(view.toPlainText(), QStringLiteral("Original"));
    EXPECT_FALSE(view.document()->isUndoAvailable());
    delete files;
}

TEST_F(TextViewTest, DroppedTextGoesInWhereItLandsAndIsAnnouncedAsAPaste) {
    const auto text = [](const QString &words) {
        auto *data = new QMimeData;
        data->setText(words);
        return data;
    };
    const auto address = [] {
        auto *data = new QMimeData;
        data->setUrls({QUrl(QStringLiteral("https://example.com/page"))});
        return data;
    };
    struct Case {
        const char *name;
        bool readOnly;
        QMimeData *data;
        QString shown;
        int pastes;
    } cases[] = {
        {"a read-only view takes nothing", true, text(QStringLiteral("dragged text")),
         QStringLiteral("Original"), 0},
        {"dropped text is inserted", false, text(QStringLiteral("dragged text")),
         QStringLiteral("dragged text"), 1},
        {"a web address is its text", false, address(), QStringLiteral("https://example.com/page"), 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        PaddingTextView view;
        view.resize(300, 200);
        view.setPlainText(c.readOnly ? QStringLiteral("Original") : QString());
        view.setReadOnly(c.readOnly);
        view.show();
        DelegateCalls calls;
        observe(view, calls);
        int pastes = 0;
        const auto token = platform::NotificationCenter::defaultCenter().addObserver(
            QString::fromLatin1(PaddingTextView::kPasteNotification), [&](const QVariantMap &info) {
                pastes +=
                    info.value(QString::fromLatin1(PaddingTextView::kObjectKey)).value<QObject *>() == &view;
            });
        dropOn(view, c.data);
        qvtest::spin(20);
        EXPECT_EQ(view.toPlainText(), c.shown);
        EXPECT_EQ(pastes, c.pastes);
        EXPECT_TRUE(calls.paths.isEmpty());
        platform::NotificationCenter::defaultCenter().removeObserver(token);
        delete c.data;
    }
}

TEST_F(TextViewTest, PasteIsAnnouncedOnceAfterThePastedTextIsIn) {
    PaddingTextView view;
    view.setPlainText(QStringLiteral("Hello "));
    view.moveCursor(QTextCursor::End);
    QStringList seen;
    int calls = 0;
    const auto token = platform::NotificationCenter::defaultCenter().addObserver(
        QString::fromLatin1(PaddingTextView::kPasteNotification), [&](const QVariantMap &info) {
            ++calls;
            EXPECT_EQ(info.value(QString::fromLatin1(PaddingTextView::kObjectKey)).value<QObject *>(), &view);
            seen << view.toPlainText();
        });
    QApplication::clipboard()->setText(QStringLiteral("world"));
    view.paste();
    EXPECT_EQ(calls, 0); // later, not inside the paste
    ASSERT_TRUE(qvtest::waitUntil([&] { return calls > 0; }));
    qvtest::spin(20);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(seen, QStringList{QStringLiteral("Hello world")});

    // Typing is no paste.
    view.insertPlainText(QStringLiteral("!"));
    qvtest::spin(20);
    EXPECT_EQ(calls, 1);
    platform::NotificationCenter::defaultCenter().removeObserver(token);
}

TEST_F(TextViewTest, HighlightStaysInsideTheTextAndAddsUpUntilCleared) {
    PaddingTextView view;
    view.setPlainText(QStringLiteral("One two three")); // 13 characters
    const struct {
        int location, length;
        bool highlighted;
    } cases[] = {
        {9, 4, true},  // ends exactly at the end
        {9, 5, false}, // one past the end
        {13, 0, true}, // empty, at the end
        {14, 0, false}, {-1, 2, false}, {0, -1, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(QStringLiteral("%1+%2").arg(c.location).arg(c.length).toStdString());
        view.unhighlight();
        view.highlightRange(c.location, c.length);
        EXPECT_EQ(view.highlightedRanges().size(), c.highlighted ? 1 : 0);
    }
    view.unhighlight();
    view.highlightRange(0, 3);
    view.highlightRange(4, 3);
    EXPECT_EQ(view.highlightedRanges(), (QList<QPair<int, int>>{{0, 3}, {4, 3}}));
    EXPECT_EQ(view.toPlainText(), QStringLiteral("One two three"));
    EXPECT_FALSE(view.document()->isUndoAvailable()); // highlighting is no edit
    view.unhighlight();
    EXPECT_TRUE(view.highlightedRanges().isEmpty());

    // Backgrounds that came with rich text go with unhighlight too.
    view.setHtml(QStringLiteral("<span style=\"background-color:#00ff00\">green</span> plain"));
    view.unhighlight();
    for (QTextBlock block = view.document()->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            EXPECT_FALSE(it.fragment().charFormat().hasProperty(QTextFormat::BackgroundBrush));
        }
    }
}

TEST_F(TextViewTest, HighlightColourFollowsTheAppearanceAndShowsOnScreen) {
    const struct {
        QVMStyleService::ColorScheme scheme;
        QColor colour;
    } cases[] = {{QVMStyleService::ColorScheme::Light, QVMColor::textSelectionLightColor()},
                 {QVMStyleService::ColorScheme::Dark, QVMColor::textSelectionDarkColor()}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.colour.name().toStdString());
        QVMStyleService::shared().setDesktopColorScheme(c.scheme);
        PaddingTextView view;
        view.resize(300, 80);
        view.setPlainText(QStringLiteral("Highlighted words here"));
        view.highlightRange(0, 11);
        const QImage shot = view.grab().toImage();
        EXPECT_GT(uitest::countPixels(shot, QRect(0, 0, 150, 30), c.colour, 2), 100);
        EXPECT_EQ(uitest::countPixels(shot, QRect(0, 40, 300, 40), c.colour, 2), 0);
    }
}

TEST_F(TextViewTest, RefusedChangeLeavesTheTextAlone) {
    class ReadOnlyHighlights : public PaddingTextView {
    protected:
        bool shouldChangeTextInRange(int, int) override { return false; }
    } view;
    view.setPlainText(QStringLiteral("text"));
    view.highlightRange(0, 2);
    EXPECT_TRUE(view.highlightedRanges().isEmpty());
}

TEST_F(TextViewTest, TextStartsTwoPointsInAndFocusIsAnnounced) {
    QWidget window;
    auto *view = new PaddingTextView(&window);
    auto *other = new QLineEdit(&window);
    view->setGeometry(0, 0, 300, 100);
    other->setGeometry(0, 120, 100, 20);
    view->setPlainText(QStringLiteral("Text"));
    window.show();
    window.activateWindow();
    QApplication::setActiveWindow(&window);
    EXPECT_EQ(view->viewport()->geometry().topLeft() - QPoint(view->frameWidth(), view->frameWidth()),
              QPoint(2, 2));
    EXPECT_EQ(view->viewport()->width(), 300 - 2 * view->frameWidth() - 22); // 11 on each side
    // The first character sits at the text area's edge: nothing adds to the 2 points.
    EXPECT_EQ(view->cursorRect(QTextCursor(view->document())).topLeft(), QPoint(0, 0));

    other->setFocus(Qt::OtherFocusReason);
    DelegateCalls calls;
    observe(*view, calls);
    view->setFocus(Qt::OtherFocusReason);
    other->setFocus(Qt::OtherFocusReason);
    view->setFocus(Qt::OtherFocusReason);
    EXPECT_EQ(calls.became, 2);
    EXPECT_EQ(calls.resigned, 1);
}

TEST_F(TextViewTest, PlaceholderShowsWhileEmptyAlsoWithFocus) {
    QWidget window;
    auto *view = new TextViewWithPlaceHolder(&window);
    view->setGeometry(0, 0, 300, 100);
    const QColor first(0x80, 0x10, 0x10), second(0x10, 0x10, 0x90);
    QPalette palette = view->palette();
    palette.setColor(QPalette::PlaceholderText, first);
    view->setPalette(palette);
    QFont font = view->font();
    font.setPointSize(14);
    view->setFont(font);
    view->setPlaceHolderString(QStringLiteral("Enter text"));
    font.setPointSize(30);
    view->setFont(font); // a later font change does not reach the hint
    EXPECT_EQ(view->placeholder().font.pointSize(), 14);
    EXPECT_EQ(view->placeholder().color, first);
    window.show();
    QApplication::setActiveWindow(&window);
    view->setFocus();

    const auto hintPixels = [&](const QColor &ink) {
        const QImage shot = view->viewport()->grab().toImage();
        return uitest::countPixels(shot, QRect(5, 0, 120, 30), ink, 40);
    };
    EXPECT_TRUE(view->isShowingPlaceholder());
    EXPECT_GT(hintPixels(first), 20);
    view->insertPlainText(QStringLiteral(" "));
    EXPECT_FALSE(view->isShowingPlaceholder());
    EXPECT_EQ(hintPixels(first), 0);
    view->clear();
    EXPECT_GT(hintPixels(first), 20);

    // A live palette change reaches the hint; a hint with a colour of its own keeps it.
    palette.setColor(QPalette::PlaceholderText, second);
    view->setPalette(palette);
    EXPECT_EQ(view->placeholder().color, second);
    EXPECT_GT(hintPixels(second), 20);
    EXPECT_EQ(hintPixels(first), 0);
    view->setPlaceholder({QStringLiteral("Own"), first, view->font()});
    EXPECT_EQ(view->placeholder().color, first);
    EXPECT_GT(hintPixels(first), 20);
}

TEST_F(TextViewTest, ARunTooLongForAnyLineWrapsAnywhereWhileTheTextHoldsIt) {
    const struct {
        const char *text;
        int longest;
    } runs[] = {{"", 0}, {"ab cd", 3}, {"\u4e2d\u6587", 1}, {"e\u0301e\u0301", 4}};
    for (const auto &r : runs) {
        SCOPED_TRACE(r.text);
        EXPECT_EQ(QVMLongRunWrapping::longestUnbreakableRun(QString::fromUtf8(r.text)), r.longest);
    }

    constexpr int kRun = QVMLongRunWrapping::kLongestWordWrappedRun;
    const QString run(kRun, QLatin1Char('w'));
    constexpr auto kUsual = QTextOption::WrapAtWordBoundaryOrAnywhere;
    constexpr auto kAnywhere = QTextOption::WrapAnywhere;
    // The lines the usual wrapping gives the view's last paragraph: the same for a run.
    auto usualLines = [](QTextEdit &view) {
        QTextDocument reference;
        reference.setDefaultFont(view.document()->defaultFont());
        reference.setDocumentMargin(view.document()->documentMargin());
        reference.setTextWidth(view.document()->textWidth());
        reference.setPlainText(view.toPlainText());
        const QTextBlock last = reference.lastBlock();
        reference.documentLayout()->blockBoundingRect(last);
        return last.layout()->lineCount();
    };
    PaddingTextView padding;
    TextViewWithPlaceHolder placeholder;
    for (QTextEdit *view : {static_cast<QTextEdit *>(&padding), static_cast<QTextEdit *>(&placeholder)}) {
        SCOPED_TRACE(view->metaObject()->className());
        view->setFixedSize(300, 200);
        view->show();
        const struct {
            const char *step;
            std::function<void()> change;
            QTextOption::WrapMode mode;
        } steps[] = {
            {"a run as long as the limit", [&] { view->setPlainText(QStringLiteral("words\n") + run); },
             kUsual},
            {"typed one longer",
             [&] {
                 QTextCursor end(view->document());
                 end.movePosition(QTextCursor::End);
                 end.insertText(QStringLiteral("w"));
             },
             kAnywhere},
            {"words again", [&] { view->setPlainText(QStringLiteral("words and words")); }, kUsual},
            {"pasted in the second paragraph",
             [&] { view->setPlainText(QStringLiteral("words\n") + run + run); }, kAnywhere},
            {"the owner's own mode for a long run",
             [&] {
                 view->setWordWrapMode(QTextOption::NoWrap);
                 view->setPlainText(run + run);
             },
             QTextOption::NoWrap},
            {"the owner's own anywhere for short words",
             [&] {
                 view->setWordWrapMode(kAnywhere);
                 view->setPlainText(QStringLiteral("words"));
             },
             kAnywhere},
        };
        for (const auto &step : steps) {
            SCOPED_TRACE(step.step);
            step.change();
            EXPECT_EQ(view->wordWrapMode(), step.mode);
            if (step.mode != kAnywhere || !view->toPlainText().contains(run))
                continue;
            const QTextBlock last = view->document()->lastBlock();
            view->document()->documentLayout()->blockBoundingRect(last);
            EXPECT_GT(last.layout()->lineCount(), 1);
            EXPECT_EQ(last.layout()->lineCount(), usualLines(*view)) << "laid out again in the new mode";
        }
        view->setWordWrapMode(kUsual);
    }
}

// Only the paragraphs an edit touched are looked at again: the mode must still follow every
// paragraph, those split, joined, removed or brought back by undo included.
TEST_F(TextViewTest, TheWrappingFollowsEveryParagraphThroughEditsAnywhereInTheText) {
    constexpr int kRun = QVMLongRunWrapping::kLongestWordWrappedRun;
    const QString run(kRun + 10, QLatin1Char('w'));
    const QString words = QStringLiteral("words and words ").repeated(80); // long, with breaks
    // The truth, from every paragraph of the text.
    const auto holdsLongRun = [](const QTextDocument *document) {
        for (QTextBlock block = document->begin(); block.isValid(); block = block.next())
            if (QVMLongRunWrapping::longestUnbreakableRun(block.text()) > kRun)
                return true;
        return false;
    };
    PaddingTextView view;
    view.setFixedSize(300, 200);
    const auto at = [&](int position) {
        QTextCursor cursor(view.document());
        cursor.setPosition(std::min(position, view.document()->characterCount() - 1));
        return cursor;
    };
    const struct {
        const char *step;
        std::function<void()> change;
        bool anywhere;
    } steps[] = {
        {"long paragraphs with breaks", [&] { view.setPlainText(words + "\n" + words + "\n" + words); },
         false},
        {"a run typed into the last paragraph",
         [&] {
             QTextCursor end(view.document());
             end.movePosition(QTextCursor::End);
             end.insertText(run);
         },
         true},
        {"a key typed into the first paragraph", [&] { at(3).insertText(QStringLiteral("x")); }, true},
        {"the run's paragraph split in the middle of the run",
         [&] {
             QTextCursor end(view.document());
             end.movePosition(QTextCursor::End);
             end.movePosition(QTextCursor::Left, QTextCursor::MoveAnchor, int(run.size()) / 2);
             end.insertText(QStringLiteral("\n"));
         },
         false},
        {"the two halves joined again",
         [&] {
             QTextCursor end(view.document());
             end.movePosition(QTextCursor::End);
             end.movePosition(QTextCursor::StartOfBlock);
             end.deletePreviousChar();
         },
         true},
        {"a break typed inside the run",
         [&] {
             QTextCursor end(view.document());
             end.movePosition(QTextCursor::End);
             end.movePosition(QTextCursor::Left, QTextCursor::MoveAnchor, 100);
             end.insertText(QStringLiteral(" "));
         },
         false},
        {"undone", [&] { view.document()->undo(); }, true},
        {"the run's paragraph removed with the ones before",
         [&] {
             QTextCursor all(view.document());
             all.setPosition(5);
             all.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
             all.removeSelectedText();
         },
         false},
        {"undone again", [&] { view.document()->undo(); }, true},
        {"everything replaced", [&] { view.setPlainText(QStringLiteral("short")); }, false},
        {"a run pasted into the middle of a paragraph", [&] { at(2).insertText(run); }, true},
        {"cleared", [&] { view.clear(); }, false},
    };
    for (const auto &step : steps) {
        SCOPED_TRACE(step.step);
        step.change();
        ASSERT_EQ(holdsLongRun(view.document()), step.anywhere) << "the step does what it says";
        EXPECT_EQ(view.wordWrapMode(),
                  step.anywhere ? QTextOption::WrapAnywhere : QTextOption::WrapAtWordBoundaryOrAnywhere);
    }
}

TEST_F(TextViewTest, CustomTextViewAsksForItsTextsSize) {
    uitest::ScopedCrashReporter reporter;
    CustomTextView view;
    view.resize(400, 300);
    const QSize empty = view.intrinsicContentSize();
    view.setPlainText(QStringLiteral("A line of text"));
    const QSize oneLine = view.intrinsicContentSize();
    view.setPlainText(QStringLiteral("A line of text\nand a second, longer line of text"));
    const QSize twoLines = view.intrinsicContentSize();
    EXPECT_GT(oneLine.width(), empty.width());
    EXPECT_GT(twoLines.width(), oneLine.width());
    EXPECT_GT(twoLines.height(), oneLine.height());
    EXPECT_LT(twoLines.width(), 400); // the used width, not the view's
    EXPECT_EQ(view.sizeHint(), twoLines);
    QMutexLocker lock(&reporter.reporter->mutex);
    EXPECT_TRUE(reporter.reporter->lines.last().startsWith(QStringLiteral("Custom text view size: ")));
    EXPECT_TRUE(reporter.reporter->lines.last().contains(QLatin1Char('x')));
}

TEST_F(TextViewTest, AutoGrowingFieldFollowsItsWrappedTextOnlyWhenWrapping) {
    QVMAutoGrowingTextField field;
    field.resize(120, 30);
    field.setWraps(false);
    const QSize base = field.sizeHint();
    field.setPlainText(QString(200, QLatin1Char('w')));
    EXPECT_EQ(field.sizeHint(), base); // whatever its text

    field.setWraps(true);
    field.setPlainText(QStringLiteral("short"));
    const QSize oneLine = field.sizeHint();
    EXPECT_EQ(oneLine.width(), 120);
    field.setPlainText(
        QStringLiteral("a much longer text that has to wrap over several lines at this width"));
    const QSize wrapped = field.sizeHint();
    EXPECT_EQ(wrapped.width(), 120);
    EXPECT_GT(wrapped.height(), oneLine.height() * 2);
}

TEST_F(TextViewTest, TextFieldInsertionPointTakesTheTextColour) {
    QWidget window;
    auto *field = new QVTextField(&window);
    field->setGeometry(0, 0, 200, 30);
    field->setTextColor(QColor(255, 0, 0));
    EXPECT_EQ(field->textColor(), QColor(255, 0, 0));
    window.show();
    QApplication::setActiveWindow(&window);
    field->setFocus();
    ASSERT_TRUE(field->hasFocus());
    // On a white field a caret drawn by inverting would be black; this one is red.
    const QImage shot = field->grab().toImage();
    EXPECT_GT(uitest::countPixels(shot, shot.rect(), QColor(255, 0, 0), 10), 5);
    EXPECT_EQ(uitest::countPixels(shot, shot.rect(), QColor(0, 0, 0), 10), 0);
    // With text: what focus adds inside the frame is the insertion point, in red.
    field->setText(QStringLiteral("text"));
    const QImage typed = field->grab().toImage();
    field->clearFocus();
    const QImage unfocused = field->grab().toImage();
    int added = 0;
    const QRect inside = typed.rect().adjusted(4, 4, -4, -4);
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        for (int x = inside.left(); x <= inside.right(); ++x) {
            if (typed.pixel(x, y) == unfocused.pixel(x, y))
                continue;
            ++added;
            EXPECT_EQ(typed.pixelColor(x, y).rgb(), QColor(255, 0, 0).rgb()) << x << "," << y;
        }
    }
    EXPECT_GT(added, 5);
}

TEST_F(TextViewTest, ClipViewCentresASmallerDocument) {
    const struct {
        QSize document;
        QPoint origin;
    } cases[] = {
        {{300, 200}, {100, 100}}, // 500 x 400 view: centred both ways
        {{800, 200}, {0, 100}},   // wider: scrolls across, centred vertically
        {{500, 400}, {0, 0}},     // the same size
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(QStringLiteral("%1x%2").arg(c.document.width()).arg(c.document.height()).toStdString());
        CenteredClipView clip;
        clip.setFrameShape(QFrame::NoFrame);
        clip.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        clip.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        auto *document = new QWidget;
        document->resize(c.document);
        clip.setWidget(document);
        clip.resize(500, 400);
        clip.show();
        EXPECT_EQ(document->pos(), c.origin);
    }
}
