// libFuzzer target for the settings file's reader and editor. Build with
//   cmake -B build-fuzz -DTREVLIN_BUILD_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++
//   cmake --build build-fuzz --target fuzz_initext
//   build-fuzz/fuzz/fuzz_initext fuzz/corpus -max_total_time=600
// (copy the corpus first when new inputs should not land in the source tree).

#include "initext_check.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString problem =
        checkIniInput(QByteArrayView(reinterpret_cast<const char *>(data), qsizetype(size)));
    if (!problem.isEmpty()) {
        std::fprintf(stderr, "settings file check failed: %s\n", problem.toUtf8().constData());
        std::abort();
    }
    return 0;
}
