// The default output in real time: OpenAL Soft's "wave" driver writes what
// it plays to a file. The driver is chosen when OpenAL starts, so the engine
// side runs in a child process of this test program.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/sound.h"
#include "support/sound_test_util.h"
#include "support/wave_check.h"

namespace {

constexpr const char* kToneVariable = "ENGINE_SOUND_TEST_TONE";

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

    wavecheck::WaveData wave;
    std::string error;
    ASSERT_TRUE(wavecheck::ReadWaveFile(output, &wave, &error)) << error;
    const uint32_t rate = wave.sampleRate;
    const std::vector<float>& left = wave.mono;
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
