#include "library/name_table.h"

#include <cstring>

NameTable::NameTable() : names_(new std::string[kCapacity]) {}

uint32_t NameTable::FindOrAdd(const char* text) {
    if (text == nullptr) {
        return 0;
    }
    for (uint32_t i = 0; i < count_; ++i) {
        if (std::strcmp(names_[i].c_str(), text) == 0) {
            return i;
        }
    }
    if (count_ >= kCapacity) {
        return 0;
    }
    names_[count_] = text;
    return count_++;
}

const char* NameTable::GetName(uint32_t id) const {
    if (id >= count_) {
        return "";
    }
    return names_[id].c_str();
}

NameTable& GetNameTable() {
    static NameTable table;
    return table;
}
