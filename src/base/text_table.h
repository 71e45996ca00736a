// The text table: every text shown to the player, looked up by key.
//
// "text.txt" holds a leading number (read and ignored) and then pairs of
// fields, key and text, each running up to the next '}' with its last
// character (the blank or line end before the '}') removed; the rest of the
// line after each '}' is skipped. A key the file lacks is shown as itself and
// remembered.
#pragma once

#include <string>
#include <string_view>
#include <vector>

struct TextEntry {
    std::string key;
    std::string text;

    bool operator==(const TextEntry&) const = default;
};

class TextTable {
public:
    // The process-wide table, null before CreateTextTable.
    static TextTable* Instance();

    // Empties the table and reads the file through a FileHandle (so from the
    // pack archive when one is current). False when the file does not open.
    bool Load(const std::string& fileName);
    // Appends the pairs of a file's bytes (CR of CR LF dropped first).
    void Parse(std::string_view bytes);
    // The first entry's text for the key (exact, case-sensitive); when there
    // is none, {key, key} is appended and the key returned.
    std::string Lookup(const std::string& key);
    void Clear();

    const std::vector<TextEntry>& Entries() const { return entries_; }
    const std::string& FileName() const { return fileName_; }

private:
    std::string fileName_;
    std::vector<TextEntry> entries_;
};

// Makes the process-wide table when there is none; true when it exists.
bool CreateTextTable();
// Drops the process-wide table: Instance() is null again until the next
// CreateTextTable.
void DestroyTextTable();
