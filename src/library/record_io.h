// Field-by-field transfer of library records through an Archive, in either
// direction, with the checks every reader of untrusted files needs: counts
// are checked against the bytes left before anything is allocated, text
// lengths against the bytes left and a 64 KiB cap, and every transfer is
// checked. The first failure sticks: later transfers do nothing and Ok()
// stays false.
#pragma once

#include <cstdint>
#include <string>

class Archive;

class RecordIo {
public:
    static constexpr uint32_t kMaxTextLength = 64 * 1024;

    explicit RecordIo(Archive& archive);

    bool Writing() const { return writing_; }
    bool Reading() const { return !writing_; }
    bool Ok() const;
    void Fail() { failed_ = true; }

    void U32(uint32_t& value);
    void F32(float& value);
    void F32s(float* values, uint32_t count);
    void Bytes(void* data, uint32_t size);

    // Reserved words: read and dropped, written as 0.
    void Reserved(uint32_t words);

    // A text: u32 length, then the characters without terminator. Reading a
    // length of 0 or less (as i32) leaves the text as it was; a read text
    // ends at its first 0 byte.
    void Text(std::string& text);

    // A count of records of at least minRecordBytes each. Reading fails when
    // count x minRecordBytes exceeds the bytes left. Answers Ok().
    bool Count(uint32_t& count, uint64_t minRecordBytes);

    // Bytes left to read (0 when writing).
    uint64_t BytesLeft() const;

private:
    Archive& archive_;
    bool writing_;
    bool failed_ = false;
};

// Archive helpers for the library file reader.
bool OpenArchiveForReading(Archive& archive, const char* path);
void CloseArchive(Archive& archive);
void SetArchiveVersion(Archive& archive, uint32_t version);
