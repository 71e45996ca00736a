// Interned names. Bones and key tracks store their names as ids into one
// process-wide table; an id stays valid for the life of the process, since
// names are never removed. Id 0 is the empty name.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

class NameTable {
public:
    static constexpr uint32_t kCapacity = 4096;

    NameTable();
    NameTable(const NameTable&) = delete;
    NameTable& operator=(const NameTable&) = delete;

    // Index of the first entry equal to the text (exact, case-sensitive;
    // "" and null give 0). A new text is appended while there is room; once
    // the table is full every new text gets 0.
    uint32_t FindOrAdd(const char* text);
    uint32_t FindOrAdd(const std::string& text) { return FindOrAdd(text.c_str()); }

    // The text of an id; "" for an id that names no entry.
    const char* GetName(uint32_t id) const;

    // Entries in use, the empty name included (1 when new).
    uint32_t Count() const { return count_; }

private:
    std::unique_ptr<std::string[]> names_;
    uint32_t count_ = 1;
};

// The process-wide table.
NameTable& GetNameTable();
