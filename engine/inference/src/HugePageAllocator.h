// Model weights on transparent huge pages.
#pragma once

namespace synaptra_inference {

// While one lives on a thread, tensor blocks of 2 MB and more that the thread allocates lie on
// huge pages. Meant for loads: the weights stay for the model's life, while a run's short-lived
// blocks keep the ordinary allocator (a huge page fault can stall to compact memory).
class HugePageScope {
public:
    HugePageScope();
    ~HugePageScope();
    HugePageScope(const HugePageScope &) = delete;
    HugePageScope &operator=(const HugePageScope &) = delete;
};

} // namespace synaptra_inference
