// Writes seed image files for fuzz_image_decode into the folder given as the argument: every TGA
// type and depth (plain and RLE), BMP, PPM, DDS, PNG and JPEG.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/os/gfx/types.h"
#include "support/image_files.h"
#include "seed_folder.h"

int main(int argc, char** argv) {
    const std::filesystem::path folder = SeedFolder(argc, argv);
    if (folder.empty()) {
        return 2;
    }
    const uint32_t w = 7, h = 5;
    const imagefiles::Pixels rgba = imagefiles::Pattern(w, h, 3, true);
    imagefiles::Pixels few = rgba;
    for (uint32_t& p : few) {
        p = 0xFF000000u | ((p & 3) * 0x405060u);
    }
    bool ok = true;
    struct TgaSeed {
        uint8_t type, bits, mapBits;
    };
    const TgaSeed tgas[] = {{2, 32, 0}, {2, 24, 0}, {2, 16, 0}, {2, 15, 0}, {1, 8, 24},
                            {1, 16, 32}, {1, 8, 16}, {3, 8, 0},  {3, 16, 0}};
    for (const TgaSeed& t : tgas) {
        for (bool rle : {false, true}) {
            imagefiles::TgaOptions o;
            o.type = uint8_t(t.type | (rle ? 8 : 0));
            o.bits = t.bits;
            o.mapBits = t.mapBits == 0 ? 24 : t.mapBits;
            o.topDown = t.bits == 24;
            o.attributeBits = t.bits == 16 ? 1 : 0;
            const std::string name = "tga_" + std::to_string(o.type) + "_" + std::to_string(t.bits) +
                                     "_" + std::to_string(t.mapBits) + ".tga";
            ok = SaveSeed(folder / name, imagefiles::Tga(t.type == 1 ? few : rgba, w, h, o)) && ok;
        }
    }
    ok = SaveSeed(folder / "bmp24.bmp", imagefiles::Bmp(rgba, w, h, 24)) && ok;
    ok = SaveSeed(folder / "bmp24_top.bmp", imagefiles::Bmp(rgba, w, h, 24, true)) && ok;
    ok = SaveSeed(folder / "bmp8.bmp", imagefiles::Bmp(few, w, h, 8)) && ok;
    ok = SaveSeed(folder / "bmp8_rle.bmp", imagefiles::Bmp(few, w, h, 8, false, true)) && ok;
    ok = SaveSeed(folder / "bmp32.bmp", imagefiles::Bmp(rgba, w, h, 32)) && ok;
    ok = SaveSeed(folder / "p6.ppm", imagefiles::Ppm(rgba, w, h, true)) && ok;
    ok = SaveSeed(folder / "p6_16.ppm", imagefiles::Ppm(rgba, w, h, true, 1023)) && ok;
    ok = SaveSeed(folder / "p3.ppm", imagefiles::Ppm(rgba, w, h, false)) && ok;
    ok = SaveSeed(folder / "argb.dds", imagefiles::DdsArgb(rgba, w, h)) && ok;
    std::string blocks(64, '\0');
    for (size_t i = 0; i < blocks.size(); ++i) {
        blocks[i] = char(i * 13 + 5);
    }
    ok = SaveSeed(folder / "dxt1.dds",
               imagefiles::DdsBlocks(gfx::Format::Dxt1, 8, 8,
                                     {blocks.substr(0, 32), blocks.substr(32, 8), blocks.substr(40, 8)})) &&
         ok;
    ok = SaveSeed(folder / "dxt5.dds", imagefiles::DdsBlocks(gfx::Format::Dxt5, 8, 8, {blocks})) && ok;
    ok = SaveSeed(folder / "rgba.png", imagefiles::Png(rgba, w, h, imagefiles::PngKind::Rgba8)) && ok;
    ok = SaveSeed(folder / "palette.png", imagefiles::Png(few, w, h, imagefiles::PngKind::PaletteTrns)) && ok;
    ok = SaveSeed(folder / "grey16.png", imagefiles::Png(rgba, w, h, imagefiles::PngKind::Grey16)) && ok;
    ok = SaveSeed(folder / "photo.jpg", imagefiles::Jpeg(rgba, w, h)) && ok;
    return ok ? 0 : 1;
}
