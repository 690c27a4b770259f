// A model's weights arrive as a few hundred large blocks, each read from the archive into fresh
// memory. On 4 KB pages, the page faults of that copy took about half of a 200 MB model's load,
// and the first run over the weights paid again in page-table walks; on 2 MB pages both shrank
// to a fraction.
#include "HugePageAllocator.h"

#include <c10/core/CPUAllocator.h>

#include <sys/mman.h>

#include <cstdlib>
#include <new>

namespace synaptra_inference {

namespace {

constexpr size_t kHugePage = size_t{2} << 20;

thread_local int t_scopes = 0;

void freeBlock(void *block) {
    std::free(block);
}

class HugePageAllocator final : public c10::Allocator {
public:
    explicit HugePageAllocator(c10::Allocator *ordinary) : m_ordinary(ordinary) {}

    c10::DataPtr allocate(size_t bytes) const override {
        if (t_scopes == 0 || bytes < kHugePage)
            return m_ordinary->allocate(bytes);
        void *block = nullptr;
        if (posix_memalign(&block, kHugePage, bytes) != 0)
            throw std::bad_alloc();
        // Only whole huge pages are advised; a kernel without them ignores the advice.
        madvise(block, bytes / kHugePage * kHugePage, MADV_HUGEPAGE);
        return {block, block, &freeBlock, c10::Device(c10::DeviceType::CPU)};
    }

    c10::DeleterFnPtr raw_deleter() const override {
        // Blocks come from two allocators, so no single deleter frees them all.
        return nullptr;
    }

private:
    c10::Allocator *m_ordinary;
};

void installOnce() {
    static const bool installed = [] {
        // Above the default's priority, which registers itself at 0.
        c10::SetCPUAllocator(new HugePageAllocator(c10::GetCPUAllocator()), 1);
        return true;
    }();
    (void)installed;
}

} // namespace

HugePageScope::HugePageScope() {
    installOnce();
    ++t_scopes;
}

HugePageScope::~HugePageScope() {
    --t_scopes;
}

} // namespace synaptra_inference
