#include "panes/offline/QVMOfflineDownloads.h"

#include "panes/offline/QVMActionDownloadTableCellView.h"
#include "panes/offline/QVMOfflineViewController.h"

#include "services/analytics/QVAnalyticsManager.h"
#include "services/packages/QVPackageDownloadManager.h"

#include "core/DevLogger.h"

#include <QElapsedTimer>
#include <QHash>
#include <QPointer>

namespace {

constexpr qint64 kProgressInterval = 100; // ms: at most 10 reports a second per row

// One language's installation: its packages one after another, one ring.
struct Job {
    QStringList urls;
    QList<double> sizes;
    int index = 0;
    double total = 0;
    double done = 0;
    uint status = QVMActionDownloadTableCellView::Downloading;
    double progress = 0;
    qint64 lastReport = -kProgressInterval;
};

struct Observer {
    QPointer<QObject> owner;
    QVMOfflineDownloads::Changed changed;
    QVMOfflineDownloads::Failed failed;
};

QHash<QString, Job> &jobs() {
    static QHash<QString, Job> running;
    return running;
}

QList<Observer> &observers() {
    static QList<Observer> list;
    return list;
}

qint64 now() {
    static QElapsedTimer clock;
    if (!clock.isValid())
        clock.start();
    return clock.elapsed();
}

// Copies first: an observer may add or drop observers while it runs.
void notify(const QString &code) {
    const QList<Observer> current = observers();
    for (const Observer &observer : current)
        if (observer.owner && observer.changed)
            observer.changed(code);
}

void notifyFailure(const QString &code, const platform::Error &error) {
    const QList<Observer> current = observers();
    for (const Observer &observer : current)
        if (observer.owner && observer.failed)
            observer.failed(code, error);
}

bool isCancellation(const platform::Error &error) {
    return error.code() == QVDownloadManager::kCancelledCode &&
           error.domain() == QLatin1String(QVDownloadManager::kURLErrorDomain);
}

QVLanguagePackageRealm packageForUrl(const QString &url) {
    return QVLanguagePackageRealm(platform::ObjectStore::defaultStore().objectForPrimaryKey(
        QVLanguagePackageRealm::storeClassName(), url));
}

double sizeOf(const QVLanguagePackageRealm &package) {
    return qMax(1e-3, double(package.packageSize()));
}

void startNext(const QString &code);

QVPackageDownloadManager::Progress progressFor(const QString &code) {
    return [code](double value) {
        auto it = jobs().find(code);
        if (it == jobs().end())
            return;
        Job &job = *it;
        const double size = job.sizes.value(job.index);
        if (value == 1.0) {
            job.status = QVMActionDownloadTableCellView::Unpacking;
            job.progress = (job.done + size) / job.total;
            notify(code);
            return;
        }
        const uint before = job.status;
        job.status = QVMActionDownloadTableCellView::Downloading;
        job.progress = (job.done + value * size) / job.total;
        if (before == job.status && now() - job.lastReport < kProgressInterval)
            return;
        job.lastReport = now();
        notify(code);
    };
}

QVPackageDownloadManager::Success successFor(const QString &code) {
    return [code](const QString &) {
        auto it = jobs().find(code);
        if (it == jobs().end())
            return;
        Job &job = *it;
        const QVLanguagePackageRealm package = packageForUrl(job.urls.value(job.index));
        QVMOfflineViewController::track(QStringLiteral("Offline - Downloaded Language"),
                                        QVMOfflineViewController::packageParams(package));
        job.done += job.sizes.value(job.index);
        ++job.index;
        if (job.index < job.urls.size()) {
            job.status = QVMActionDownloadTableCellView::Downloading;
            startNext(code);
        } else {
            jobs().erase(it);
        }
        notify(code);
    };
}

QVPackageDownloadManager::Failure failureFor(const QString &code) {
    return [code](const platform::Error &error) {
        jobs().remove(code);
        if (!isCancellation(error)) {
            DevLogger::logError(error, QStringLiteral("downloadPackage"));
            QVAnalyticsManager::trackEventWithCategory(QStringLiteral("error"), QStringLiteral("web server"),
                                                       error.localizedDescription(), 1.0);
            notifyFailure(code, error);
        }
        notify(code);
    };
}

void startNext(const QString &code) {
    const Job &job = jobs().value(code);
    const QVLanguagePackageRealm package = packageForUrl(job.urls.value(job.index));
    if (package.isNull()) {
        failureFor(code)(platform::Error(QString::fromLatin1(QVPackageDownloadManager::kErrorDomain),
                                         QVPackageDownloadManager::NoRecord,
                                         QObject::tr("The package is no longer in the catalogue")));
        return;
    }
    QVPackageDownloadManager::sharedManager().downloadPackage(package, progressFor(code), successFor(code),
                                                              failureFor(code));
}

} // namespace

void QVMOfflineDownloads::observe(QObject *owner, Changed changed, Failed failed) {
    QList<Observer> &list = observers();
    list.erase(std::remove_if(list.begin(), list.end(), [](const Observer &o) { return !o.owner; }),
               list.end());
    list.append({owner, std::move(changed), std::move(failed)});
}

std::optional<QVMOfflineDownloads::State> QVMOfflineDownloads::state(const QString &code) {
    const auto it = jobs().constFind(code);
    if (it == jobs().constEnd())
        return std::nullopt;
    return State{it->status, it->progress};
}

bool QVMOfflineDownloads::start(const QString &code, const QList<QVLanguagePackageRealm> &packages) {
    if (jobs().contains(code) || packages.isEmpty())
        return false;
    Job job;
    for (const QVLanguagePackageRealm &package : packages) {
        job.urls.append(package.packageUrl());
        job.sizes.append(sizeOf(package));
        job.total += job.sizes.last();
    }
    jobs().insert(code, job);
    notify(code);
    startNext(code);
    return true;
}

bool QVMOfflineDownloads::attach(const QString &code, const QList<QVLanguagePackageRealm> &packages) {
    if (jobs().contains(code))
        return true;
    for (const QVLanguagePackageRealm &package : packages) {
        Job job;
        job.urls = {package.packageUrl()};
        job.sizes = {sizeOf(package)};
        job.total = job.sizes.first();
        jobs().insert(code, job);
        if (QVPackageDownloadManager::sharedManager().isPackageDownloading(
                package, progressFor(code), successFor(code), failureFor(code)))
            return true;
        jobs().remove(code);
    }
    return false;
}

QString QVMOfflineDownloads::currentUrl(const QString &code) {
    const auto it = jobs().constFind(code);
    return it == jobs().constEnd() ? QString() : it->urls.value(it->index);
}
