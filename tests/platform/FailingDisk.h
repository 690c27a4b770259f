#pragma once

// A disk that fails on demand: a SQLite VFS put in front of the default one for
// the whole test process. Until told otherwise it only passes calls through;
// armed, every write of a file fails like a full or broken disk does.
namespace storetest {

class FailingDisk {
public:
    enum Failure { None, IoError, Full };

    // Installs the VFS (once) and arms it; the destructor disarms it again.
    explicit FailingDisk(Failure failure);
    ~FailingDisk();
    FailingDisk(const FailingDisk &) = delete;
    FailingDisk &operator=(const FailingDisk &) = delete;

    static void arm(Failure failure);
    static void install(); // before the connections that should see it are opened
};

} // namespace storetest
