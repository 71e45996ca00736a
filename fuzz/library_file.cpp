// Library files from untrusted bytes: reading must fail cleanly or succeed,
// and a table that was read must write back and read again unchanged.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "base/file_system.h"
#include "library/library_writer.h"
#include "library/resource_library.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1u << 20) {
        return 0;
    }
    ResourceLibrary library;
    Archive archive;
    archive.OpenMemory(data, static_cast<uint32_t>(size));
    if (library.ReadLibraryArchive(archive, 1) != 1) {
        return 0;
    }
    uint32_t version = 0;
    std::memcpy(&version, data, sizeof version);
    LibraryWriter writer(version);
    writer.AddTable(library);
    std::vector<uint8_t> written = writer.WriteToMemory();
    if (written.empty()) {
        std::abort(); // a table that was read can always be written
    }
    ResourceLibrary again;
    Archive rereading;
    rereading.OpenMemory(written.data(), static_cast<uint32_t>(written.size()));
    if (again.ReadLibraryArchive(rereading, 1) != 1 || !SameLibraryTables(library, again)) {
        std::abort();
    }
    return 0;
}
