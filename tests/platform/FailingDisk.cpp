#include "FailingDisk.h"

#include <sqlite3.h>

#include <atomic>
#include <mutex>

namespace storetest {

namespace {

std::atomic<int> g_failure{FailingDisk::None};
sqlite3_vfs *g_real = nullptr;
sqlite3_vfs g_vfs;
sqlite3_io_methods g_methods;

struct ShimFile {
    sqlite3_file base;
    sqlite3_file *real;
};

sqlite3_file *real(sqlite3_file *file) {
    return reinterpret_cast<ShimFile *>(file)->real;
}

int shimClose(sqlite3_file *f) {
    const int rc = real(f)->pMethods->xClose(real(f));
    f->pMethods = nullptr;
    return rc;
}
int shimRead(sqlite3_file *f, void *buffer, int amount, sqlite3_int64 offset) {
    return real(f)->pMethods->xRead(real(f), buffer, amount, offset);
}
int shimWrite(sqlite3_file *f, const void *buffer, int amount, sqlite3_int64 offset) {
    switch (g_failure.load()) {
    case FailingDisk::Full:
        return SQLITE_FULL;
    case FailingDisk::IoError:
        return SQLITE_IOERR_WRITE;
    default:
        return real(f)->pMethods->xWrite(real(f), buffer, amount, offset);
    }
}
int shimTruncate(sqlite3_file *f, sqlite3_int64 size) {
    return real(f)->pMethods->xTruncate(real(f), size);
}
int shimSync(sqlite3_file *f, int flags) {
    return real(f)->pMethods->xSync(real(f), flags);
}
int shimFileSize(sqlite3_file *f, sqlite3_int64 *size) {
    return real(f)->pMethods->xFileSize(real(f), size);
}
int shimLock(sqlite3_file *f, int level) {
    return real(f)->pMethods->xLock(real(f), level);
}
int shimUnlock(sqlite3_file *f, int level) {
    return real(f)->pMethods->xUnlock(real(f), level);
}
int shimCheckReservedLock(sqlite3_file *f, int *out) {
    return real(f)->pMethods->xCheckReservedLock(real(f), out);
}
int shimFileControl(sqlite3_file *f, int op, void *arg) {
    return real(f)->pMethods->xFileControl(real(f), op, arg);
}
int shimSectorSize(sqlite3_file *f) {
    return real(f)->pMethods->xSectorSize(real(f));
}
int shimDeviceCharacteristics(sqlite3_file *f) {
    return real(f)->pMethods->xDeviceCharacteristics(real(f));
}
int shimShmMap(sqlite3_file *f, int page, int size, int extend, void volatile **out) {
    return real(f)->pMethods->xShmMap(real(f), page, size, extend, out);
}
int shimShmLock(sqlite3_file *f, int offset, int n, int flags) {
    return real(f)->pMethods->xShmLock(real(f), offset, n, flags);
}
void shimShmBarrier(sqlite3_file *f) {
    real(f)->pMethods->xShmBarrier(real(f));
}
int shimShmUnmap(sqlite3_file *f, int deleteFlag) {
    return real(f)->pMethods->xShmUnmap(real(f), deleteFlag);
}
int shimFetch(sqlite3_file *f, sqlite3_int64 offset, int amount, void **out) {
    return real(f)->pMethods->xFetch(real(f), offset, amount, out);
}
int shimUnfetch(sqlite3_file *f, sqlite3_int64 offset, void *p) {
    return real(f)->pMethods->xUnfetch(real(f), offset, p);
}

int shimOpen(sqlite3_vfs *, const char *name, sqlite3_file *file, int flags, int *outFlags) {
    auto *shim = reinterpret_cast<ShimFile *>(file);
    shim->real = reinterpret_cast<sqlite3_file *>(shim + 1);
    shim->base.pMethods = nullptr;
    const int rc = g_real->xOpen(g_real, name, shim->real, flags, outFlags);
    if (shim->real->pMethods)
        shim->base.pMethods = &g_methods;
    return rc;
}

} // namespace

void FailingDisk::install() {
    static std::once_flag once;
    std::call_once(once, [] {
        g_real = sqlite3_vfs_find(nullptr);
        g_methods = {3,
                     shimClose,
                     shimRead,
                     shimWrite,
                     shimTruncate,
                     shimSync,
                     shimFileSize,
                     shimLock,
                     shimUnlock,
                     shimCheckReservedLock,
                     shimFileControl,
                     shimSectorSize,
                     shimDeviceCharacteristics,
                     shimShmMap,
                     shimShmLock,
                     shimShmBarrier,
                     shimShmUnmap,
                     shimFetch,
                     shimUnfetch};
        g_vfs = *g_real;
        g_vfs.zName = "qv-failing-disk";
        g_vfs.szOsFile = static_cast<int>(sizeof(ShimFile)) + g_real->szOsFile;
        g_vfs.xOpen = shimOpen;
        sqlite3_vfs_register(&g_vfs, 1);
    });
}

void FailingDisk::arm(Failure failure) {
    g_failure = failure;
}

FailingDisk::FailingDisk(Failure failure) {
    install();
    arm(failure);
}

FailingDisk::~FailingDisk() {
    arm(None);
}

} // namespace storetest
