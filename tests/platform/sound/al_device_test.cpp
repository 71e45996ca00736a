// The default output in real time: OpenAL Soft's "wave" driver writes what
// it plays to a file. The driver is chosen when OpenAL starts, so the engine
// side runs in a child process of this test program.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "platform/sound.h"
#include "sound_test_util.h"

namespace {

constexpr const char* kToneVariable = "ENGINE_SOUND_TEST_TONE";

uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

uint16_t U16(const std::vector<uint8_t>& b, size_t at) {
    return static_cast<uint16_t>(b[at] | (b[at + 1] << 8));
}

// The first channel of the driver's output file as floats; empty when the
// file cannot be read.
std::vector<float> ReadFirstChannel(const std::string& path, uint32_t& rate) {
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<float> out;
    if (b.size() < 12 || std::memcmp(b.data(), "RIFF", 4) != 0) {
        return out;
    }
    uint16_t tag = 0, channels = 0, bits = 0;
    size_t data = 0, dataSize = 0;
    for (size_t pos = 12; pos + 8 <= b.size();) {
        uint32_t size = U32(b, pos + 4);
        if (std::memcmp(&b[pos], "fmt ", 4) == 0 && pos + 24 <= b.size()) {
            tag = U16(b, pos + 8);
            channels = U16(b, pos + 10);
            rate = U32(b, pos + 12);
            bits = U16(b, pos + 22);
            if (tag == 0xFFFE && pos + 8 + 26 <= b.size()) {
                tag = U16(b, pos + 8 + 24); // the sub-format's first word
            }
        } else if (std::memcmp(&b[pos], "data", 4) == 0) {
            data = pos + 8;
            dataSize = std::min<size_t>(size, b.size() - data);
            break;
        }
        pos += 8 + size + (size & 1);
    }
    if (data == 0 || channels == 0 || bits == 0) {
        return out;
    }
    const size_t frame = static_cast<size_t>(channels) * bits / 8;
    for (size_t at = data; at + frame <= data + dataSize; at += frame) {
        if (tag == 3 && bits == 32) {
            float f;
            std::memcpy(&f, &b[at], 4);
            out.push_back(f);
        } else if (bits == 16) {
            out.push_back(static_cast<int16_t>(U16(b, at)) / 32768.0f);
        } else if (bits == 32) {
            out.push_back(static_cast<int32_t>(U32(b, at)) / 2147483648.0f);
        } else if (bits == 8) {
            out.push_back((b[at] - 128) / 128.0f);
        }
    }
    return out;
}

// Runs in the child: plays the tone through the engine's own calls.
TEST(AlDefaultOutput, ChildPlaysTone) {
    const char* tone = std::getenv(kToneVariable);
    if (tone == nullptr) {
        GTEST_SKIP() << "run by WaveDriverWritesATone";
    }
    ASSERT_EQ(CreateSoundDevice(nullptr, 2, 44100, 16), 1) << GetSoundErrorText();
    SoundBuffer* b = OpenStaticSound2D(tone);
    ASSERT_NE(b, nullptr) << GetSoundErrorText();
    PlaySoundBuffer(b, 0);
    // The tone lasts 0.5 s; the margin covers a busy machine.
    for (int i = 0; i < 30 && IsSoundBufferPlaying(b) != 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    ReleaseSoundBuffer(b);
    ShutdownSoundDevice();
}

TEST(AlDefaultOutput, WaveDriverWritesATone) {
    TempWaveFolder dir;
    const std::string tone = dir.Write("tone.wav", 1, 16, 44100, SinePcm16(22050, 44100, 440, 16000));
    const std::string output = (dir.Path() / "out.wav").string();
    const std::string conf = (dir.Path() / "alsoft.conf").string();
    {
        std::ofstream c(conf);
        c << "[general]\ndrivers = wave\n\n[wave]\nfile = " << output << "\n";
    }
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        setenv("ALSOFT_CONF", conf.c_str(), 1);
        setenv("ALSOFT_DRIVERS", "wave", 1);
        setenv(kToneVariable, tone.c_str(), 1);
        execl("/proc/self/exe", "tests_platform", "--gtest_filter=AlDefaultOutput.ChildPlaysTone",
              static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);

    uint32_t rate = 0;
    std::vector<float> left = ReadFirstChannel(output, rate);
    ASSERT_GT(rate, 0u);
    // Rising zero crossings from the first to the last one.
    long first = -1, last = -1, rising = 0;
    for (size_t i = 1; i < left.size(); ++i) {
        if (left[i - 1] < 0.0f && left[i] >= 0.0f) {
            if (first < 0) {
                first = static_cast<long>(i);
            } else {
                ++rising;
            }
            last = static_cast<long>(i);
        }
    }
    ASSERT_GT(rising, 100);
    const double hz = rising * static_cast<double>(rate) / static_cast<double>(last - first);
    RecordProperty("measured_hz", std::to_string(hz));
    EXPECT_NEAR(hz, 440.0, 2.0);
}

} // namespace
