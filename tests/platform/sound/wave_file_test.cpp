#include "platform/wave_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/byte_writer.h"
#include "base/file_system.h"

namespace {

void PutChunk(std::vector<uint8_t>& out, const char* tag, const std::vector<uint8_t>& body,
              uint32_t storedSize) {
    ByteWriter w(out);
    w.Raw(tag, 4);
    w.U32(storedSize);
    w.Raw(body);
}

std::vector<uint8_t> FmtBody(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits) {
    std::vector<uint8_t> b;
    ByteWriter w(b);
    w.U16(tag);
    w.U16(channels);
    w.U32(rate);
    w.U32(12345); // bytes per second: ignored
    w.U16(7);     // block align: ignored
    w.U16(bits);
    return b;
}

std::vector<uint8_t> Riff(const std::vector<uint8_t>& chunks) {
    std::vector<uint8_t> out;
    ByteWriter w(out);
    w.Raw("RIFF", 4);
    w.U32(static_cast<uint32_t>(chunks.size() + 4));
    w.Raw("WAVE", 4);
    w.Raw(chunks);
    return out;
}

WaveReadResult Read(const std::vector<uint8_t>& bytes, WaveHeader& header) {
    FileHandle file;
    EXPECT_TRUE(file.OpenMemory(bytes.data(), static_cast<uint32_t>(bytes.size())));
    WaveReadResult result = ReadWaveHeader(file, header);
    if (result == WaveReadResult::Ok) {
        EXPECT_EQ(file.Tell(), static_cast<int32_t>(header.dataStart));
    }
    return result;
}

TEST(WaveFile, CanonicalFileFromWriterReadsBack) {
    std::vector<uint8_t> samples(1000);
    for (size_t i = 0; i < samples.size(); ++i) {
        samples[i] = static_cast<uint8_t>(i);
    }
    WaveWriter writer(2, 16, 22050);
    std::vector<uint8_t> bytes = writer.Build(samples.data(), 1000);
    ASSERT_EQ(bytes.size(), 1044u);
    EXPECT_EQ(std::memcmp(bytes.data() + 36, "data", 4), 0);

    WaveHeader h;
    ASSERT_EQ(Read(bytes, h), WaveReadResult::Ok);
    const WaveFormat& f = h.format;
    EXPECT_EQ(std::vector<uint32_t>({f.formatTag, f.channels, f.samplesPerSecond, f.bitsPerSample,
                                     f.blockAlign, f.bytesPerSecond, h.dataStart, h.dataSize}),
              std::vector<uint32_t>({1, 2, 22050, 16, 4, 88200, 44, 1000}));
}

TEST(WaveFile, ExtraChunksAreSkippedAndOddSizesPadded) {
    std::vector<uint8_t> chunks;
    PutChunk(chunks, "LIST", std::vector<uint8_t>(26, 'L'), 26);
    PutChunk(chunks, "fmt ", FmtBody(1, 1, 8000, 8), 16);
    PutChunk(chunks, "junk", {1, 2, 3, 0}, 3); // odd size: one pad byte
    PutChunk(chunks, "fact", {4, 0, 0, 0}, 4);
    PutChunk(chunks, "data", {10, 20, 30, 40, 50}, 5);
    std::vector<uint8_t> bytes = Riff(chunks);

    WaveHeader h;
    ASSERT_EQ(Read(bytes, h), WaveReadResult::Ok);
    EXPECT_EQ((std::tuple{h.dataSize, bytes[h.dataStart], h.dataStart, h.format.blockAlign}),
              (std::tuple{5u, 10, bytes.size() - 5, 1}));
}

TEST(WaveFile, LongerFormatChunkIsAccepted) {
    std::vector<uint8_t> body = FmtBody(1, 1, 8000, 16);
    body.insert(body.end(), {0, 0}); // cbSize
    std::vector<uint8_t> chunks;
    PutChunk(chunks, "fmt ", body, 18);
    PutChunk(chunks, "data", {1, 2, 3, 4}, 4);
    WaveHeader h;
    ASSERT_EQ(Read(Riff(chunks), h), WaveReadResult::Ok);
    EXPECT_EQ(h.dataStart, 12u + 8 + 18 + 8);
}

TEST(WaveFile, DataSizePastTheEndIsCut) {
    std::vector<uint8_t> chunks;
    PutChunk(chunks, "fmt ", FmtBody(1, 2, 8000, 16), 16);
    PutChunk(chunks, "data", std::vector<uint8_t>(10, 9), 1000000);
    WaveHeader h;
    ASSERT_EQ(Read(Riff(chunks), h), WaveReadResult::Ok);
    EXPECT_EQ(h.dataSize, 10u);
}

TEST(WaveFile, FilesThatAreNoWaveFailWithoutText) {
    WaveHeader h;
    std::vector<uint8_t> fmtOnly;
    PutChunk(fmtOnly, "fmt ", FmtBody(1, 1, 8000, 8), 16);
    EXPECT_EQ(Read(Riff(fmtOnly), h), WaveReadResult::NotWave);

    std::vector<uint8_t> dataOnly;
    PutChunk(dataOnly, "data", {1, 2}, 2);
    EXPECT_EQ(Read(Riff(dataOnly), h), WaveReadResult::NotWave);

    std::vector<uint8_t> good = WaveWriter(1, 8, 8000).Build("abcd", 4);
    std::vector<uint8_t> notRiff = good;
    notRiff[0] = 'X';
    EXPECT_EQ(Read(notRiff, h), WaveReadResult::NotWave);
    std::vector<uint8_t> notWave = good;
    notWave[8] = 'X';
    EXPECT_EQ(Read(notWave, h), WaveReadResult::NotWave);

    // Cut anywhere inside the header: never accepted, never a crash.
    for (size_t n = 0; n < 44; ++n) {
        std::vector<uint8_t> cut(good.begin(), good.begin() + static_cast<long>(n));
        EXPECT_EQ(Read(cut, h), WaveReadResult::NotWave) << n;
    }
    // A "fmt " chunk whose body runs past the end.
    std::vector<uint8_t> shortFmt = Riff({'f', 'm', 't', ' ', 16, 0, 0, 0, 1, 0, 1, 0});
    EXPECT_EQ(Read(shortFmt, h), WaveReadResult::NotWave);
}

TEST(WaveFile, UnplayableFormatsAreRefused) {
    struct Case {
        uint16_t tag, channels;
        uint32_t rate;
        uint16_t bits;
        uint32_t fmtSize;
    };
    const Case cases[] = {
        {1, 0, 8000, 16, 16},  // channels 0
        {1, 3, 8000, 16, 16},  // three channels
        {1, 1, 8000, 0, 16},   // bits 0
        {1, 1, 8000, 24, 16},  // 24 bits
        {3, 1, 8000, 16, 16},  // float
        {1, 1, 0, 16, 16},     // rate 0
        {1, 1, 99, 16, 16},    // below any buffer
        {1, 1, 400000, 16, 16}, // rate beyond any buffer
        {1, 1, 8000, 16, 14},  // short format chunk
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> body = FmtBody(c.tag, c.channels, c.rate, c.bits);
        body.resize(c.fmtSize);
        std::vector<uint8_t> chunks;
        PutChunk(chunks, "fmt ", body, c.fmtSize);
        PutChunk(chunks, "data", {1, 2, 3, 4}, 4);
        WaveHeader h;
        EXPECT_EQ(Read(Riff(chunks), h), WaveReadResult::BadFormat)
            << c.tag << " " << c.channels << " " << c.rate << " " << c.bits;
    }
}

WaveFormat Format(uint16_t channels, uint16_t bits, uint32_t rate) {
    WaveFormat f;
    f.channels = channels;
    f.bitsPerSample = bits;
    f.samplesPerSecond = rate;
    f.blockAlign = static_cast<uint16_t>(bits / 8 * channels);
    f.bytesPerSecond = f.blockAlign * rate;
    return f;
}

TEST(StreamLayout, HalvesShareTheRemainderAndShortDataMakesOneHalf) {
    struct Case {
        uint16_t channels, bits;
        uint32_t data, half, kept;
    } cases[] = {
        {2, 16, 617400, 205800, 617400}, // 3.5 s
        {1, 8, 55125, 27562, 55124},     // 2.5 s
        {2, 16, 352812, 176404, 352808}, // 176,406 is even but not whole frames
        {1, 16, 26461, 26460, 26460},    // 0.3 s and a byte: one half
        {2, 16, 3, 176400, 0},           // less than a frame
        {2, 16, 0, 176400, 0},
    };
    for (const Case& c : cases) {
        const StreamLayout l = ComputeStreamLayout(Format(c.channels, c.bits, c.bits == 8 ? 22050 : 44100), c.data);
        EXPECT_EQ((std::tuple{l.halfSize, l.dataSize}), (std::tuple{c.half, c.kept})) << c.data;
    }
    EXPECT_FLOAT_EQ(ComputeStreamLayout(Format(2, 16, 44100), 617400).length, 3.5f);
    EXPECT_NEAR(ComputeStreamLayout(Format(1, 16, 44100), 26461).length, 0.3f, 0.001f);
}

} // namespace
