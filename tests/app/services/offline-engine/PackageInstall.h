#pragma once

#include "support/EventLoop.h"

#include "services/packages/QVPackageDownloadManager.h"
#include "core/models/QVPackageFolders.h"
#include "core/models/QVPackagesMapper.h"
#include "core/models/QVPackagesRealm.h"

#include "platform/store/Store.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace qvtest {

// Lists a package in the catalogue and installs a made archive the way a finished download
// does. Use inside ASSERT_NO_FATAL_FAILURE.
inline void installPackageArchive(const platform::ObjectStore &store, const QString &code,
                                  const QString &localName, const QString &madeArchive) {
    const QVariantMap item{{"lang", code},
                           {"local_lang", localName},
                           {"type", "opennmt-desktop"},
                           {"version", "1"},
                           {"model", QVariantMap{{"size", 1048576}, {"url", "models/" + code + ".zip"}}}};
    ASSERT_FALSE(QVPackagesMapper::createRealmObject({item}));
    const QVLanguagePackageRealm package(store.objects(QVLanguagePackageRealm::storeClassName())
                                             .filter(platform::Key("languageCode") == code)
                                             .first());
    ASSERT_FALSE(package.isNull());
    const QString archive = QVPackageFolders::archivePathForUrl(package.packageUrl());
    QDir().mkpath(QFileInfo(archive).absolutePath());
    ASSERT_TRUE(QFile::copy(madeArchive, archive));
    bool done = false;
    platform::Error failure;
    QVPackageDownloadManager::sharedManager().savePackage(
        package, archive, [&](const QString &) { done = true; },
        [&](const platform::Error &error) {
            failure = error;
            done = true;
        });
    ASSERT_TRUE(qvtest::waitUntil([&] { return done; }, 30000));
    ASSERT_TRUE(failure.isNull()) << failure.localizedDescription().toStdString();
}

} // namespace qvtest
