// A program of the build for the on-demand loader's tests, run in place and as a copy outside
// the build tree:
//   on_demand_probe        prints "loaded 1|0", "error <why>" and "resources <folder>"
// Its module is found only at the path the build compiled in.
#include "platform/Bundle.h"
#include "platform/OnDemandLibrary.h"

#include <cstdio>

int main() {
    platform::OnDemandLibrary library("libqv_test_module_elsewhere.so", "QV_PROBE_MODULE",
                                      QStringLiteral(QV_PROBE_MODULE_PATH));
    using Answer = int (*)();
    const auto answer = reinterpret_cast<Answer>(library.symbol("qvTestModuleAnswer"));
    std::printf("loaded %d\n", answer && answer() == 42 ? 1 : 0);
    std::printf("error %s\n", qPrintable(library.error()));
    std::printf("resources %s\n", qPrintable(platform::Bundle::resourcePath()));
    return 0;
}
