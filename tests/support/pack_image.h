// Archive images built in memory: the "MORV" header, one 136-byte directory
// record (offset, size, 128-byte name) per item, then the items' bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct PackItem {
    std::string name;
    std::string data;
};

inline std::string BuildPackImage(const std::vector<PackItem>& items) {
    std::string out = "MORV";
    out.append(12, '\0');
    auto le32 = [&out](uint32_t v) {
        for (int i = 0; i < 4; ++i) {
            out += static_cast<char>(v >> (8 * i));
        }
    };
    le32(static_cast<uint32_t>(items.size()));
    uint32_t offset = 20 + 136 * static_cast<uint32_t>(items.size());
    for (const PackItem& item : items) {
        le32(offset);
        le32(static_cast<uint32_t>(item.data.size()));
        std::string name = item.name;
        name.resize(128, '\0');
        out += name;
        offset += static_cast<uint32_t>(item.data.size());
    }
    for (const PackItem& item : items) {
        out += item.data;
    }
    return out;
}
