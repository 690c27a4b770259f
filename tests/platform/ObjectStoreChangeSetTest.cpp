#include "StoreTestSchema.h"

#include "support/EventLoop.h"

#include <random>

using namespace platform;
using namespace storetest;

namespace {

// An observer's list kept by applying each change set to the previous state,
// as a table view does; it must always equal the query run afresh.
struct Mirror {
    Results results;
    QList<qint64> ids;
    QList<CollectionChange> received;
    NotificationToken token;

    void start() {
        token = results.observe([this](const CollectionChange &c) { received.append(c); });
        ASSERT_TRUE(qvtest::waitUntil([&] { return !received.isEmpty(); }));
        ids = results.rowIds();
        received.clear();
    }
    // Applies what arrived (at most one change set: the commits of a round
    // are made before the observers run); returns the rows reported changed or new.
    QSet<qint64> apply() {
        QSet<qint64> touched;
        const QList<qint64> now = results.rowIds();
        EXPECT_LE(received.size(), 1);
        for (const CollectionChange &c : std::as_const(received)) {
            for (auto it = c.deletions.crbegin(); it != c.deletions.crend(); ++it) {
                EXPECT_LT(*it, ids.size());
                if (*it < ids.size())
                    ids.removeAt(*it);
            }
            for (int i : c.insertions) {
                EXPECT_LE(i, ids.size());
                ids.insert(std::min<qsizetype>(i, ids.size()), i < now.size() ? now.at(i) : -1);
                touched.insert(i < now.size() ? now.at(i) : -1);
            }
            for (int i : c.modifications) {
                EXPECT_LT(i, ids.size());
                if (i < ids.size())
                    touched.insert(ids.at(i));
            }
        }
        received.clear();
        return touched;
    }
};

} // namespace

using ObjectStoreChangeSets = StoreTest;

TEST_F(ObjectStoreChangeSets, FollowedFromCommitsAloneTheyMatchTheQueriesRunAgain) {
    std::mt19937 random(4242);
    const auto roll = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    write([&](Transaction &tx) {
        for (const char *code : {"en_GB", "de_DE"})
            tx.create(QStringLiteral("Language"),
                      {{QStringLiteral("localeIdentifier"), QString::fromLatin1(code)},
                       {QStringLiteral("languageName"), QString::fromLatin1(code)}});
    });
    const Object english = language(QStringLiteral("en_GB"));
    qint64 nextId = 1;
    const auto create = [&](Transaction &tx) {
        const qint64 id = nextId++;
        tx.create(QStringLiteral("Translation"),
                  {{QStringLiteral("idTranslation"), id},
                   {QStringLiteral("createdDate"), static_cast<double>(roll(40))}, // many ties
                   {QStringLiteral("isFavorite"), roll(3) == 0},
                   {QStringLiteral("originalText"),
                    roll(5) == 0 ? QVariant() : QVariant(QStringLiteral("t%1").arg(roll(30)))},
                   {QStringLiteral("languageFrom"), roll(2) ? QVariant::fromValue(english) : QVariant()}});
    };
    write([&](Transaction &tx) {
        for (int i = 0; i < 200; ++i)
            create(tx);
    });

    const Results all = store.objects(QStringLiteral("Translation"));
    std::vector<Mirror> mirrors(4); // never resized: the observers hold their mirror
    mirrors[0].results = all.sorted(QStringLiteral("createdDate"), false);
    mirrors[1].results = all.filter(Key(QStringLiteral("isFavorite")) == true)
                             .sorted(QStringLiteral("originalText"))
                             .sorted(QStringLiteral("createdDate"));
    mirrors[2].results = all; // insertion order
    mirrors[3].results =
        all.filter(Key(QStringLiteral("languageFrom.languageName")) == QStringLiteral("en_GB"))
            .sorted(QStringLiteral("learnCount"), false);
    for (Mirror &m : mirrors)
        m.start();

    for (int round = 0; round < 60; ++round) {
        SCOPED_TRACE(round);
        QSet<qint64> changed; // rows whose own values changed
        // One or two commits before the observers hear of them.
        const int commits = 1 + roll(2);
        for (int commit = 0; commit < commits; ++commit) {
            write([&](Transaction &tx) {
                const QList<Object> rows = all.toList();
                const int operations = round == 30 ? 1 : 1 + roll(6);
                for (int op = 0; op < operations; ++op) {
                    const Object row =
                        rows.isEmpty() ? Object() : rows.at(roll(static_cast<int>(rows.size())));
                    if (!row.isValid()) {
                        create(tx);
                        continue;
                    }
                    const qint64 id = row.rowId();
                    // A value set to what it already holds changes nothing.
                    const auto change = [&](const char *property, const QVariant &value) {
                        const QString name = QString::fromLatin1(property);
                        if (row.value(name) != value)
                            changed.insert(id);
                        row.set(tx, name, value);
                    };
                    switch (round == 30 ? 6 : roll(7)) {
                    case 0:
                        create(tx);
                        break;
                    case 1:
                        tx.remove(row);
                        break;
                    case 2: // a sort key
                        change("createdDate", static_cast<double>(roll(40)));
                        break;
                    case 3: // the filter
                        change("isFavorite", roll(2) == 0);
                        break;
                    case 4: // a value most of the queries do not look at
                        change("learnCount", static_cast<qint64>(roll(4)));
                        break;
                    case 5: // a linked object
                        english.set(tx, QStringLiteral("languageName"),
                                    roll(2) ? QStringLiteral("en_GB") : QStringLiteral("English"));
                        break;
                    default: // a bulk removal
                        tx.removeAll(
                            all.filter(Key(QStringLiteral("createdDate")) < static_cast<double>(roll(10))));
                        break;
                    }
                }
            });
        }
        // One flush delivers to every observer; a query the commits did not change hears nothing.
        ASSERT_TRUE(qvtest::waitUntil([&] {
            return std::all_of(mirrors.begin(), mirrors.end(), [](const Mirror &m) {
                return !m.received.isEmpty() || m.ids == m.results.rowIds();
            });
        }));
        qvtest::spin(5);
        for (size_t q = 0; q < mirrors.size(); ++q) {
            SCOPED_TRACE(q);
            Mirror &m = mirrors[q];
            const QSet<qint64> touched = m.apply();
            ASSERT_EQ(m.ids, m.results.rowIds());
            // A row changed in place is reported, wherever it now stands.
            for (qint64 id : std::as_const(m.ids)) {
                EXPECT_TRUE(!changed.contains(id) || touched.contains(id)) << id;
            }
        }
    }
}
