// Writes seed wave files for fuzz_wave into the folder given as the argument: every format the
// writer makes, at lengths around the frame and half boundaries.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/wave_file.h"
#include "seed_folder.h"

int main(int argc, char** argv) {
    const std::filesystem::path folder = SeedFolder(argc, argv);
    if (folder.empty()) {
        return 2;
    }
    const uint32_t rates[] = {8000, 22050};
    const uint32_t sizes[] = {0, 1, 3, 4, 100, 401};
    for (uint16_t channels : {1, 2}) {
        for (uint16_t bits : {8, 16}) {
            for (uint32_t rate : rates) {
                for (uint32_t size : sizes) {
                    std::vector<uint8_t> samples(size);
                    for (uint32_t i = 0; i < size; ++i) {
                        samples[i] = static_cast<uint8_t>(i * 13);
                    }
                    std::string name = "w" + std::to_string(channels) + "_" +
                                       std::to_string(bits) + "_" + std::to_string(rate) + "_" +
                                       std::to_string(size);
                    if (!WaveWriter(channels, bits, rate)
                             .WriteFile((folder / name).string(), samples.data(), size)) {
                        std::fprintf(stderr, "fuzz_seeds_wave: cannot write %s\n", name.c_str());
                        return 1;
                    }
                }
            }
        }
    }
    return 0;
}
