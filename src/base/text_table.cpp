#include "base/text_table.h"

#include <limits>
#include <memory>

#include "base/file_system.h"

namespace {

std::unique_ptr<TextTable>& InstanceSlot() {
    static std::unique_ptr<TextTable> instance;
    return instance;
}

// The character-stream reads the file format is defined by, over a byte
// buffer: a failed or exhausted read stops everything after it.
class TextStream {
public:
    explicit TextStream(std::string_view bytes) : bytes_(bytes) {}

    bool Good() const { return !eof_ && !fail_; }

    // An unsigned decimal number after white space; the value is not kept.
    void SkipNumber() {
        if (!Good()) {
            fail_ = true;
            return;
        }
        while (pos_ < bytes_.size() && IsSpace(bytes_[pos_])) {
            ++pos_;
        }
        if (pos_ < bytes_.size() && (bytes_[pos_] == '+' || bytes_[pos_] == '-')) {
            ++pos_;
        }
        size_t digits = 0;
        unsigned long long value = 0;
        bool overflow = false;
        while (pos_ < bytes_.size() && bytes_[pos_] >= '0' && bytes_[pos_] <= '9') {
            const unsigned digit = static_cast<unsigned>(bytes_[pos_] - '0');
            if (value > (std::numeric_limits<unsigned>::max() - digit) / 10) {
                overflow = true;
            } else {
                value = value * 10 + digit;
            }
            ++pos_;
            ++digits;
        }
        if (pos_ >= bytes_.size()) {
            eof_ = true;
        }
        if (digits == 0 || overflow) {
            fail_ = true;
        }
    }

    // Skips up to count characters, through the first line end.
    void SkipLine(size_t count) {
        if (!Good()) {
            fail_ = true;
            return;
        }
        for (size_t n = 0; n < count; ++n) {
            if (pos_ >= bytes_.size()) {
                eof_ = true;
                return;
            }
            if (bytes_[pos_++] == '\n') {
                return;
            }
        }
    }

    // The characters up to the next '}' (consumed, not stored), at most
    // limit of them; a longer run or an end without '}' fails the stream.
    std::string Field(size_t limit) {
        std::string field;
        if (!Good()) {
            fail_ = true;
            return field;
        }
        while (true) {
            if (pos_ >= bytes_.size()) {
                eof_ = true;
                if (field.empty()) {
                    fail_ = true;
                }
                return field;
            }
            const char c = bytes_[pos_];
            if (c == '}') {
                ++pos_;
                return field;
            }
            if (field.size() == limit) {
                fail_ = true;
                return field;
            }
            field += c;
            ++pos_;
        }
    }

private:
    static bool IsSpace(char c) {
        return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
    }

    std::string_view bytes_;
    size_t pos_ = 0;
    bool eof_ = false;
    bool fail_ = false;
};

constexpr size_t kFieldLimit = 4095;
constexpr size_t kLineSkip = 256;

void DropLastCharacter(std::string& field) {
    if (!field.empty()) {
        field.pop_back();
    }
}

} // namespace

TextTable* TextTable::Instance() { return InstanceSlot().get(); }

bool CreateTextTable() {
    if (!InstanceSlot()) {
        InstanceSlot() = std::make_unique<TextTable>();
    }
    return true;
}

void DestroyTextTable() { InstanceSlot().reset(); }

bool TextTable::Load(const std::string& fileName) {
    Clear();
    FileHandle file;
    if (!file.Open(fileName, "rb")) {
        return false;
    }
    std::string bytes(file.Size(), '\0');
    if (!bytes.empty() && file.Read(bytes.data(), static_cast<uint32_t>(bytes.size())) != 1) {
        bytes.clear();
    }
    file.Close();
    fileName_ = fileName;
    Parse(bytes);
    return true;
}

void TextTable::Parse(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
            continue;
        }
        text += bytes[i];
    }

    TextStream stream(text);
    stream.SkipNumber();
    stream.SkipLine(kLineSkip);
    while (stream.Good()) {
        std::string key = stream.Field(kFieldLimit);
        stream.SkipLine(kLineSkip);
        std::string value = stream.Field(kFieldLimit);
        stream.SkipLine(kLineSkip);
        if (!stream.Good()) {
            break;
        }
        DropLastCharacter(key);
        DropLastCharacter(value);
        entries_.push_back({std::move(key), std::move(value)});
    }
}

std::string TextTable::Lookup(const std::string& key) {
    for (const TextEntry& entry : entries_) {
        if (entry.key == key) {
            return entry.text;
        }
    }
    entries_.push_back({key, key});
    return key;
}

void TextTable::Clear() { entries_.clear(); }
