// The FFmpeg film source on films written here: after a rewind, from any
// point and from the end, the first picture comes again at time 0 in every
// container, with or without sound.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/os/video/film_source.h"
#include "platform/os/video/film_writer.h"
#include "support/temp_folder.h"

namespace {

uint32_t Shade(int k) { return uint32_t(k * 37 % 200 + 28) * 0x010101u; }

// Blue of the first pixel, within the codec's error of picture k's shade.
bool IsPicture(const std::vector<uint8_t> &bgra, int k) {
    return !bgra.empty() && std::abs(int(bgra[0]) - int(Shade(k) & 0xFF)) <= 8;
}

struct Case {
    const char *name;
    filmwriter::Container container;
    double toneHz;
};

TEST(FfmpegFilmSourceTest, RewindGivesTheFirstPictureAtTimeZero) {
    TempFolder temp;
    const Case cases[] = {{"silent.mpg", filmwriter::Container::Mpeg, 0.0},
                          {"tone.mpg", filmwriter::Container::Mpeg, 440.0},
                          {"silent.avi", filmwriter::Container::Avi, 0.0}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        filmwriter::FilmSpec spec;
        spec.container = c.container;
        spec.frames = 50;
        spec.width = 320;
        spec.height = 240;
        spec.toneHz = c.toneHz;
        // Flat top rows, noise below: pictures of some 30 KB, large enough
        // that a program stream's seek does not land in the first group.
        spec.picture = [](int k, std::vector<uint8_t> &bgrx) {
            filmwriter::FillColor(bgrx, Shade(k));
            uint32_t state = uint32_t(k) * 2654435761u + 1;
            for (size_t i = 320 * 4 * 16; i < bgrx.size(); ++i) {
                state = state * 1664525u + 1013904223u;
                bgrx[i] = uint8_t(state >> 24);
            }
        };
        const std::string path = temp / c.name;
        std::string error;
        // The muxer complains of its buffer on pictures this large.
        ::testing::internal::CaptureStderr();
        const bool written = filmwriter::WriteFilm(path, spec, &error);
        ::testing::internal::GetCapturedStderr();
        ASSERT_TRUE(written) << error;
        auto source = video::OpenFfmpegFilmSource(path);
        ASSERT_NE(source, nullptr);
        std::vector<uint8_t> bgra;
        double time = -1.0;
        // Rewound part-way, then again from the end.
        for (int read : {20, 1000}) {
            for (int i = 0; i < read; ++i) {
                if (source->NextFrame(&bgra, &time) != video::ReadResult::Frame) {
                    break;
                }
            }
            ASSERT_TRUE(source->Rewind());
            for (int k = 0; k < 3; ++k) {
                ASSERT_EQ(source->NextFrame(&bgra, &time), video::ReadResult::Frame);
                EXPECT_NEAR(time, k * 0.04, 1e-6) << "picture " << k << " after " << read;
                EXPECT_TRUE(IsPicture(bgra, k)) << "picture " << k << " after " << read;
            }
        }
    }
}

// Reads a film to its end and closes it; what it printed on stderr.
std::string StderrOfPlaying(const std::string &path) {
    ::testing::internal::CaptureStderr();
    {
        auto source = video::OpenFfmpegFilmSource(path);
        std::vector<uint8_t> bgra;
        double time = 0.0;
        while (source != nullptr && source->NextFrame(&bgra, &time) == video::ReadResult::Frame) {
        }
    }
    return ::testing::internal::GetCapturedStderr();
}

std::vector<std::string> Lines(const std::string &text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

TEST(FfmpegFilmSourceTest, DecoderLinesOfADamagedFilmBecomeOneSummary) {
    TempFolder temp;
    filmwriter::FilmSpec spec;
    spec.frames = 50;
    spec.width = 160;
    spec.height = 120;
    spec.picture = [](int k, std::vector<uint8_t> &bgrx) {
        uint32_t state = uint32_t(k) * 2654435761u + 1;
        for (uint8_t &b : bgrx) {
            state = state * 1664525u + 1013904223u;
            b = uint8_t(state >> 24);
        }
    };
    const std::string path = temp / "damaged.mpg";
    ASSERT_TRUE(filmwriter::WriteFilm(path, spec));
    std::string bytes = temp.Get("damaged.mpg");
    // Every picture's data hit in a few places, the pack and packet headers
    // left alone often enough for the stream to go on.
    for (size_t at = 4000; at + 8 < bytes.size(); at += 1500) {
        bytes.replace(at, 8, "\xFF\x00\xFF\x00\xFF\x00\xFF\x00", 8);
    }
    temp.Put("damaged.mpg", bytes);

    const std::vector<std::string> quiet = Lines(StderrOfPlaying(path));
    ASSERT_EQ(quiet.size(), 1u) << ::testing::PrintToString(quiet);
    EXPECT_EQ(quiet[0].rfind("film " + path + ": ", 0), 0u) << quiet[0];
    EXPECT_NE(quiet[0].find(" decoder messages, first: "), std::string::npos) << quiet[0];

    setenv("ENGINE_VERBOSE", "1", 1);
    const std::vector<std::string> verbose = Lines(StderrOfPlaying(path));
    unsetenv("ENGINE_VERBOSE");
    EXPECT_GT(verbose.size(), 1u);
    for (const std::string &line : verbose) {
        EXPECT_NE(line.rfind("film ", 0), 0u) << line;
    }
}

}  // namespace
