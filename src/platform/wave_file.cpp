#include "platform/wave_file.h"

#include <cstring>

#include "base/byte_writer.h"
#include "base/file_system.h"
#include "base/le_bytes.h"

namespace {

bool ReadAt(FileHandle& file, uint64_t offset, void* buffer, uint32_t size) {
    if (offset > 0x7FFFFFFFu || file.Seek(static_cast<int32_t>(offset), 0) != 0) {
        return false;
    }
    return file.Read(buffer, size) == 1;
}

} // namespace

WaveReadResult ReadWaveHeader(FileHandle& file, WaveHeader& header) {
    const uint64_t fileSize = file.Size();
    uint8_t riff[12];
    if (fileSize < 12 || !ReadAt(file, 0, riff, 12) || std::memcmp(riff, "RIFF", 4) != 0 ||
        std::memcmp(riff + 8, "WAVE", 4) != 0) {
        return WaveReadResult::NotWave;
    }

    bool haveFormat = false;
    bool haveData = false;
    uint32_t formatChunkSize = 0;
    uint8_t fmt[16] = {};
    uint64_t dataStart = 0;
    uint64_t dataSize = 0;

    // Every chunk takes at least 8 bytes, so the walk ends.
    uint64_t pos = 12;
    while (!(haveFormat && haveData) && pos + 8 <= fileSize) {
        uint8_t chunk[8];
        if (!ReadAt(file, pos, chunk, 8)) {
            return WaveReadResult::NotWave;
        }
        const uint32_t size = ReadLe32(chunk + 4);
        const uint64_t body = pos + 8;
        if (!haveFormat && std::memcmp(chunk, "fmt ", 4) == 0) {
            formatChunkSize = size;
            // The fields a short chunk lacks are refused below; the bytes
            // read here must still be in the file.
            const uint32_t want = size < 16 ? size : 16;
            if (body + want > fileSize || (want > 0 && !ReadAt(file, body, fmt, want))) {
                return WaveReadResult::NotWave;
            }
            haveFormat = true;
        } else if (!haveData && std::memcmp(chunk, "data", 4) == 0) {
            dataStart = body;
            dataSize = size;
            if (dataStart + dataSize > fileSize) {
                dataSize = fileSize - dataStart;
            }
            haveData = true;
        }
        pos = body + size + (size & 1u);
    }
    if (!haveFormat || !haveData || dataStart > 0x7FFFFFFFu) {
        return WaveReadResult::NotWave;
    }

    WaveFormat& f = header.format;
    f.formatTag = ReadLe16(fmt);
    f.channels = ReadLe16(fmt + 2);
    f.samplesPerSecond = ReadLe32(fmt + 4);
    f.bitsPerSample = ReadLe16(fmt + 14);
    if (formatChunkSize < 16 || f.formatTag != 1 || (f.channels != 1 && f.channels != 2) ||
        (f.bitsPerSample != 8 && f.bitsPerSample != 16) || f.samplesPerSecond < kMinWaveRate ||
        f.samplesPerSecond > kMaxWaveRate) {
        return WaveReadResult::BadFormat;
    }
    f.blockAlign = static_cast<uint16_t>(f.bitsPerSample / 8 * f.channels);
    f.bytesPerSecond = f.blockAlign * f.samplesPerSecond;
    header.dataStart = static_cast<uint32_t>(dataStart);
    header.dataSize = static_cast<uint32_t>(dataSize);
    if (file.Seek(static_cast<int32_t>(dataStart), 0) != 0) {
        return WaveReadResult::NotWave;
    }
    return WaveReadResult::Ok;
}

StreamLayout ComputeStreamLayout(const WaveFormat& format, uint32_t dataSize) {
    StreamLayout layout;
    const uint32_t align = format.blockAlign == 0 ? 1 : format.blockAlign;
    uint32_t half = format.bytesPerSecond == 0 ? align : format.bytesPerSecond;
    layout.length = static_cast<float>(dataSize) / static_cast<float>(half);

    const uint32_t n = dataSize / half;
    const uint32_t r = dataSize % half;
    if (n > 0) {
        half += r / n;
        half -= half & 1u;
        half -= half % align;
        if (half == 0) {
            half = 2 * align; // one byte a second, made even: never from the reader
        }
        layout.halfSize = half;
        layout.dataSize = dataSize / half * half;
        return layout;
    }
    // Shorter than one half: a single half holding exactly the data.
    uint32_t whole = dataSize - (dataSize & 1u);
    whole -= whole % align;
    if (whole == 0) {
        layout.halfSize = half;
        layout.dataSize = 0;
    } else {
        layout.halfSize = whole;
        layout.dataSize = whole;
    }
    return layout;
}

WaveWriter::WaveWriter(uint16_t channels, uint16_t bitsPerSample, uint32_t samplesPerSecond)
    : channels_(channels), bits_(bitsPerSample), rate_(samplesPerSecond) {}

bool WaveWriter::IsValid() const {
    return (channels_ == 1 || channels_ == 2) && (bits_ == 8 || bits_ == 16) &&
           rate_ >= kMinWaveRate &&
           rate_ <= kMaxWaveRate;
}

std::vector<uint8_t> WaveWriter::Build(const void* samples, uint32_t size) const {
    std::vector<uint8_t> out;
    if (!IsValid() || size > 0xFFFFFFFFu - 36) {
        return out;
    }
    const uint16_t align = static_cast<uint16_t>(bits_ / 8 * channels_);
    out.reserve(44 + static_cast<size_t>(size));
    ByteWriter b(out);
    b.Raw("RIFF", 4);
    b.U32(36 + size);
    b.Raw("WAVE", 4);
    b.Raw("fmt ", 4);
    b.U32(16);
    b.U16(1);
    b.U16(channels_);
    b.U32(rate_);
    b.U32(rate_ * align);
    b.U16(align);
    b.U16(bits_);
    b.Raw("data", 4);
    b.U32(size);
    const auto* bytes = static_cast<const uint8_t*>(samples);
    if (size > 0) {
        b.Raw(bytes, size);
    }
    return out;
}

bool WaveWriter::WriteFile(const std::string& path, const void* samples, uint32_t size) const {
    std::vector<uint8_t> bytes = Build(samples, size);
    if (bytes.empty()) {
        return false;
    }
    FileHandle file(GetDefaultFileSystem());
    if (!file.Open(path, "wb")) {
        return false;
    }
    const bool written = file.Write(bytes.data(), static_cast<uint32_t>(bytes.size())) == 1;
    const bool closed = file.Close() == 0;
    return written && closed;
}
