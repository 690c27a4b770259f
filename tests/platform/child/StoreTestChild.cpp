// A second process for the store's tests.
//
//   store_test_child write <path>          commits batches until killed; prints
//                                          "committed <n>" after each commit returns
//   store_test_child [--as-nobody] open <path>
//                                          prints "ok" or "error <code> <description>"
#include "StoreTestSchema.h"

#include <QCoreApplication>

#include <cstdio>
#include <unistd.h>

using namespace platform;
using namespace storetest;

namespace {

constexpr int kPerBatch = 5;

int writeForever(const QString &path) {
    Error error;
    ObjectStore store = ObjectStore::open(configuration(path), &error);
    if (store.isNull()) {
        std::printf("error %lld %s\n", static_cast<long long>(error.code()),
                    qPrintable(error.localizedDescription()));
        return 1;
    }
    for (;;) {
        qint64 batch = 0;
        error = store.write([&](Transaction &tx) {
            const Object settings =
                tx.createOrUpdate(QStringLiteral("Settings"), {{QStringLiteral("idSetting"), 1}});
            batch = settings.value(QStringLiteral("countOfLaunch")).toLongLong();
            const Object english = tx.createOrUpdate(
                QStringLiteral("Language"), {{QStringLiteral("localeIdentifier"), QStringLiteral("en_GB")}});
            for (int i = 0; i < kPerBatch; ++i) {
                const qint64 id = batch * kPerBatch + i;
                tx.create(QStringLiteral("Translation"),
                          {{QStringLiteral("idTranslation"), id},
                           {QStringLiteral("languageFrom"), QVariant::fromValue(english)},
                           {QStringLiteral("originalText"), QStringLiteral("text %1 ").arg(id).repeated(20)},
                           {QStringLiteral("createdDate"), static_cast<double>(id)}});
            }
            // Rewrite the previous batch too, so that pages are reused as well as added.
            if (batch > 0) {
                for (const Object &old :
                     store.objects(QStringLiteral("Translation"))
                         .filter(Key(QStringLiteral("idTranslation")) >= (batch - 1) * kPerBatch &&
                                 Key(QStringLiteral("idTranslation")) < batch * kPerBatch)
                         .toList())
                    old.set(tx, QStringLiteral("learnCount"), batch);
            }
            settings.set(tx, QStringLiteral("countOfLaunch"), batch + 1);
        });
        if (error) {
            std::printf("error %lld %s\n", static_cast<long long>(error.code()),
                        qPrintable(error.localizedDescription()));
            return 1;
        }
        std::printf("committed %lld\n", static_cast<long long>(batch));
        std::fflush(stdout);
    }
}

int open(const QString &path) {
    Error error;
    const ObjectStore store = ObjectStore::open(configuration(path), &error);
    if (store.isNull())
        std::printf("error %lld %s\n", static_cast<long long>(error.code()),
                    qPrintable(error.localizedDescription()));
    else
        std::printf("ok\n");
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    ObjectStore::setReporter([](const Error &, const QString &) {});
    QStringList arguments = app.arguments().mid(1);
    if (arguments.value(0) == QLatin1String("--as-nobody")) {
        arguments.removeFirst();
        if (setgid(65534) != 0 || setuid(65534) != 0) {
            std::printf("cannot drop privileges\n");
            return 2;
        }
    }
    if (arguments.size() == 2 && arguments.at(0) == QLatin1String("write"))
        return writeForever(arguments.at(1));
    if (arguments.size() == 2 && arguments.at(0) == QLatin1String("open"))
        return open(arguments.at(1));
    std::printf("usage: store_test_child write|open <path>\n");
    return 2;
}
