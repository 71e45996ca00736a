#include "library/record_io.h"

#include <cstring>

#include "base/file_system.h"

RecordIo::RecordIo(Archive& archive) : archive_(archive), writing_(archive.IsWriting()) {}

bool RecordIo::Ok() const { return !failed_ && !archive_.Failed(); }

uint64_t RecordIo::BytesLeft() const { return writing_ ? 0 : archive_.BytesLeft(); }

void RecordIo::U32(uint32_t& value) {
    if (Ok()) {
        archive_.SerializeWord(&value);
    }
}

void RecordIo::F32(float& value) {
    if (Ok()) {
        archive_.SerializeWords(&value, 1);
    }
}

void RecordIo::F32s(float* values, uint32_t count) {
    if (Ok()) {
        archive_.SerializeWords(values, count);
    }
}

void RecordIo::Bytes(void* data, uint32_t size) {
    if (!Ok()) {
        return;
    }
    if (!writing_ && size > BytesLeft()) {
        failed_ = true;
        return;
    }
    archive_.SerializeBytes(data, size);
}

void RecordIo::Reserved(uint32_t words) {
    for (uint32_t i = 0; i < words && Ok(); ++i) {
        uint32_t word = 0;
        archive_.SerializeWord(&word);
    }
}

void RecordIo::Text(std::string& text) {
    if (!Ok()) {
        return;
    }
    if (writing_) {
        // A text the reader would refuse is not written.
        if (text.size() > kMaxTextLength) {
            failed_ = true;
            return;
        }
        archive_.SerializeString(text);
        return;
    }
    uint32_t length = 0;
    archive_.SerializeWord(&length);
    if (!Ok()) {
        return;
    }
    // A length of 0 or less (as i32) reads nothing and keeps the text.
    if (static_cast<int32_t>(length) <= 0) {
        return;
    }
    if (length > kMaxTextLength || length > BytesLeft()) {
        failed_ = true;
        return;
    }
    std::string buffer(length, '\0');
    archive_.SerializeBytes(buffer.data(), length);
    if (!Ok()) {
        return;
    }
    buffer.resize(std::strlen(buffer.c_str()));
    text = std::move(buffer);
}

bool RecordIo::Count(uint32_t& count, uint64_t minRecordBytes) {
    U32(count);
    if (Ok() && !writing_ && uint64_t{count} * minRecordBytes > BytesLeft()) {
        failed_ = true;
    }
    return Ok();
}

bool OpenArchiveForReading(Archive& archive, const char* path) {
    return archive.Open(path, "rb");
}

void CloseArchive(Archive& archive) { archive.Close(); }

void SetArchiveVersion(Archive& archive, uint32_t version) { archive.SetVersion(version); }
