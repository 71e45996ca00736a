// Feeds arbitrary bytes to the wave reader through an in-memory file and checks what every accepted
// file must give: a non-zero block align, a ring of whole frames, and a data range inside the file.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "base/file_system.h"
#include "platform/wave_file.h"

namespace {

void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "fuzz_wave: %s\n", what);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 0x7FFFFFFF) {
        return 0;
    }
    FileHandle file;
    if (!file.OpenMemory(data, static_cast<uint32_t>(size))) {
        return 0;
    }
    WaveHeader header;
    if (ReadWaveHeader(file, header) != WaveReadResult::Ok) {
        return 0;
    }
    const WaveFormat& f = header.format;
    Check(f.blockAlign != 0, "block align 0");
    Check(f.bytesPerSecond == f.blockAlign * f.samplesPerSecond, "bytes per second");
    Check(static_cast<uint64_t>(header.dataStart) + header.dataSize <= size,
          "data range outside the file");
    Check(file.Tell() == static_cast<int32_t>(header.dataStart), "file not at the data");

    const StreamLayout layout = ComputeStreamLayout(f, header.dataSize);
    Check(layout.halfSize != 0, "half size 0");
    Check(layout.halfSize % f.blockAlign == 0, "half of partial frames");
    Check(layout.dataSize == 0 || layout.halfSize % 2 == 0, "odd half");
    Check(layout.dataSize <= header.dataSize, "played data beyond the data");
    Check(layout.dataSize % layout.halfSize == 0, "played data not whole halves");
    return 0;
}
