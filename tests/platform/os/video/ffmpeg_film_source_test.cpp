// The FFmpeg film source on films written here: after a rewind, from any
// point and from the end, the first picture comes again at time 0 in every
// container, with or without sound.
#include <gtest/gtest.h>

#include <cmath>
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
        ASSERT_TRUE(filmwriter::WriteFilm(path, spec, &error)) << error;
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

}  // namespace
