// Loads the input as a text table and looks up a few keys.
#include "base/text_table.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TextTable table;
    table.Parse(std::string_view(reinterpret_cast<const char*>(data), data == nullptr ? 0 : size));
    const size_t loaded = table.Entries().size();
    if (loaded > 0) {
        const TextEntry first = table.Entries().front();
        if (table.Lookup(first.key) != first.text) {
            std::abort();
        }
    }
    const std::string missing = "no such key \x01";
    bool known = false;
    for (const TextEntry& entry : table.Entries()) {
        known = known || entry.key == missing;
    }
    if (!known && (table.Lookup(missing) != missing || table.Entries().size() != loaded + 1)) {
        std::abort();
    }
    table.Lookup("LOADING");
    return 0;
}
