#pragma once

// Finds English interface text left in a window that runs in another language:
// every text, tooltip, accessible name, placeholder, tab, menu item and list row
// of a widget tree is compared with the English table's texts (a format's
// placeholders match anything; "Text (Ctrl+X)" counts as "Text"). Entries the
// other language's table writes the same way ("OK", names) are not English
// left over; entries it lacks are.
//
//   uitest::EnglishLeftovers english(QStringLiteral("de"));
//   for (const QString &found : english.in(window))
//       ADD_FAILURE() << found.toStdString();

#include "platform/Bundle.h"
#include "platform/StringsFile.h"
#include "ui/controls/TextViewWithPlaceHolder.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTabBar>
#include <QTextDocumentFragment>
#include <QTextEdit>
#include <QToolButton>

namespace uitest {

class EnglishLeftovers {
public:
    struct Shown {
        QString where; // class, object name and what the text is
        QString text;
    };

    explicit EnglishLeftovers(const QString &language) {
        const QHash<QString, QString> english = table(QStringLiteral("en"));
        const QHash<QString, QString> other = table(language);
        static const QRegularExpression placeholder(
            QStringLiteral("%(?:@|%|[0-9]+\\$?[@dilu]?|\\.?[0-9]*l{0,2}[dfiu]|[0-9])"));
        static const QRegularExpression letters(QStringLiteral("[A-Za-z]{2,}"));
        for (auto it = english.cbegin(); it != english.cend(); ++it) {
            if (other.value(it.key()) == it.value())
                continue;
            const QString value = normalised(it.value());
            if (!value.contains(placeholder)) {
                m_texts.insert(value, it.key());
                continue;
            }
            // A format: its fixed parts must say something, "%@ %@" is no English.
            QString fixed = value;
            if (!fixed.remove(placeholder).contains(letters))
                continue;
            QString pattern;
            qsizetype from = 0;
            for (auto match = placeholder.globalMatch(value); match.hasNext();) {
                const QRegularExpressionMatch part = match.next();
                pattern += QRegularExpression::escape(value.mid(from, part.capturedStart() - from)) +
                           QStringLiteral(".*");
                from = part.capturedEnd();
            }
            pattern += QRegularExpression::escape(value.mid(from));
            m_formats.append({QRegularExpression(QRegularExpression::anchoredPattern(pattern)), it.key()});
        }
    }

    // Nothing to compare with means the tables were not found: the check would pass blindly.
    bool isEmpty() const { return m_texts.isEmpty(); }

    // The English table's key whose text this is, or nothing.
    QString keyOf(const QString &shown) const {
        QString text = normalised(shown);
        // "Larger text (Ctrl++)": a name followed by its shortcut or a note.
        static const QRegularExpression note(QStringLiteral("\\s*\\([^()]*\\)$"));
        const QString bare = QString(text).remove(note);
        for (const QString &candidate : {text, bare}) {
            if (candidate.isEmpty())
                continue;
            if (const auto found = m_texts.constFind(candidate); found != m_texts.cend())
                return found.value();
            for (const auto &format : m_formats) {
                if (format.first.match(candidate).hasMatch())
                    return format.second;
            }
        }
        return {};
    }

    // "where: text (key)" for each English text shown under root.
    QStringList in(QWidget *root) const {
        QStringList found;
        for (const Shown &shown : shownTexts(root)) {
            if (const QString key = keyOf(shown.text); !key.isEmpty())
                found.append(QStringLiteral("%1: \"%2\" (%3)").arg(shown.where, shown.text, key));
        }
        return found;
    }

    // Every text the tree shows or tells a screen reader, hidden pages and closed menus included.
    static QList<Shown> shownTexts(QWidget *root) {
        QList<Shown> all;
        QList<QWidget *> widgets = root->findChildren<QWidget *>();
        widgets.prepend(root);
        QList<QMenu *> menus;
        for (QWidget *w : std::as_const(widgets)) {
            const QString name = QStringLiteral("%1 \"%2\"")
                                     .arg(QString::fromLatin1(w->metaObject()->className()), w->objectName());
            const auto add = [&](const char *what, const QString &text) {
                if (!text.trimmed().isEmpty())
                    all.append({name + QLatin1Char(' ') + QLatin1String(what), text});
            };
            add("tooltip", w->toolTip());
            add("accessible name", w->accessibleName());
            add("accessible description", w->accessibleDescription());
            if (w->isWindow())
                add("window title", w->windowTitle());
            if (auto *label = qobject_cast<QLabel *>(w))
                add("text", Qt::mightBeRichText(label->text()) && label->textFormat() != Qt::PlainText
                                ? QTextDocumentFragment::fromHtml(label->text()).toPlainText()
                                : label->text());
            if (auto *button = qobject_cast<QAbstractButton *>(w))
                add("text", button->text());
            if (auto *tool = qobject_cast<QToolButton *>(w); tool && tool->menu())
                menus.append(tool->menu());
            if (auto *field = qobject_cast<QLineEdit *>(w))
                add("placeholder", field->placeholderText());
            if (auto *edit = qobject_cast<QTextEdit *>(w))
                add("placeholder", edit->placeholderText());
            if (auto *edit = qobject_cast<QPlainTextEdit *>(w))
                add("placeholder", edit->placeholderText());
            if (auto *hinted = qobject_cast<TextViewWithPlaceHolder *>(w))
                add("placeholder", hinted->placeholder().text);
            if (auto *group = qobject_cast<QGroupBox *>(w))
                add("title", group->title());
            if (auto *combo = qobject_cast<QComboBox *>(w)) {
                for (int i = 0; i < combo->count(); ++i)
                    add("item", combo->itemText(i));
            }
            if (auto *tabs = qobject_cast<QTabBar *>(w)) {
                for (int i = 0; i < tabs->count(); ++i) {
                    add("tab", tabs->tabText(i));
                    add("tab tooltip", tabs->tabToolTip(i));
                }
            }
            if (auto *list = qobject_cast<QAbstractItemView *>(w); list && list->model())
                addRows(list->model(), name, all);
            if (auto *menu = qobject_cast<QMenu *>(w))
                menus.append(menu);
            for (QAction *action : w->actions()) {
                add("action", action->text());
                add("action tooltip", action->toolTip());
                if (action->menu())
                    menus.append(action->menu());
            }
        }
        for (QMenu *menu : std::as_const(menus)) {
            for (QAction *action : menu->actions()) {
                const QString where = QStringLiteral("menu \"%1\" item").arg(menu->title());
                if (!action->text().isEmpty())
                    all.append({where, action->text()});
                if (!action->toolTip().isEmpty())
                    all.append({where + QStringLiteral(" tooltip"), action->toolTip()});
            }
            if (!menu->title().isEmpty())
                all.append({QStringLiteral("menu title"), menu->title()});
        }
        return all;
    }

private:
    static QHash<QString, QString> table(const QString &language) {
        QHash<QString, QString> entries;
        const QString path = QDir(platform::Bundle::resourcePath())
                                 .filePath(language + QStringLiteral(".lproj/Localizable.strings"));
        for (const auto &entry : platform::StringsFile::read(path))
            entries.insert(entry.first, entry.second);
        return entries;
    }
    // Without mnemonics and surrounding blanks, as a reader sees it.
    static QString normalised(QString text) {
        static const QRegularExpression mnemonic(QStringLiteral("&(?!&)"));
        text.remove(mnemonic);
        text.replace(QStringLiteral("&&"), QStringLiteral("&"));
        return text.simplified();
    }
    static void addRows(QAbstractItemModel *model, const QString &name, QList<Shown> &all) {
        const int rows = std::min(model->rowCount(), 500);
        for (int column = 0; column < model->columnCount(); ++column) {
            const QString header = model->headerData(column, Qt::Horizontal).toString();
            if (!header.isEmpty())
                all.append({name + QStringLiteral(" header"), header});
            for (int row = 0; row < rows; ++row) {
                const QModelIndex index = model->index(row, column);
                for (const int role :
                     {int(Qt::DisplayRole), int(Qt::ToolTipRole), int(Qt::AccessibleTextRole)}) {
                    const QVariant value = index.data(role);
                    if (value.typeId() == QMetaType::QString && !value.toString().trimmed().isEmpty())
                        all.append({name + QStringLiteral(" row"), value.toString()});
                }
            }
        }
    }

    QHash<QString, QString> m_texts; // English text -> key
    QList<QPair<QRegularExpression, QString>> m_formats;
};

} // namespace uitest
