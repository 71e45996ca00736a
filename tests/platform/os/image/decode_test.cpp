// The image readers: every TGA variant against its uncompressed twin, PNG,
// BMP, PPM, JPEG and DDS against the pixels written, the file's own format,
// and corrupt input failing cleanly.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <tuple>
#include <vector>

#include "platform/os/gfx/types.h"
#include "platform/os/image/image.h"
#include "support/image_files.h"

namespace {

using imagefiles::Pixels;
namespace Format = gfx::Format;

bool Decode(const std::string& file, DecodedImage* out, const ImageLimits& limits = {}) {
    return DecodeImage(reinterpret_cast<const uint8_t*>(file.data()), file.size(), out, limits);
}

// The pixels as a 16-bit TGA colour keeps them: 5 bits a channel widened
// again, alpha 0 or 255.
Pixels As555(const Pixels& in, bool keepAlpha) {
    Pixels out;
    for (uint32_t p : in) {
        auto w = [](uint32_t c) { return ((c >> 3) << 3) | (c >> 5); };
        uint32_t a = keepAlpha ? ((p >> 24) >= 128 ? 255u : 0u) : 255u;
        out.push_back((a << 24) | (w((p >> 16) & 0xFF) << 16) | (w((p >> 8) & 0xFF) << 8) |
                      w(p & 0xFF));
    }
    return out;
}

Pixels Opaque(const Pixels& in) {
    Pixels out;
    for (uint32_t p : in) {
        out.push_back(p | 0xFF000000u);
    }
    return out;
}

Pixels Grey(const Pixels& in, bool keepAlpha) {
    Pixels out;
    for (uint32_t p : in) {
        const uint32_t l = (p >> 16) & 0xFF;
        const uint32_t a = keepAlpha ? p >> 24 : 0xFF;
        out.push_back((a << 24) | (l << 16) | (l << 8) | l);
    }
    return out;
}

// An image of few colours (colour-mapped files, palettes).
Pixels FewColors(uint32_t width, uint32_t height, uint32_t count) {
    Pixels p = imagefiles::Pattern(width, height, 7, true);
    for (size_t i = 0; i < p.size(); ++i) {
        const uint32_t k = uint32_t((p[i] ^ (p[i] >> 9)) % count);
        p[i] = 0x80000000u + k * 0x01030507u;
    }
    return p;
}

// --- TGA ---------------------------------------------------------------------------

struct TgaCase {
    uint8_t type;
    uint8_t bits;
    uint8_t mapBits;
    uint32_t ownFormat;
};

class TgaVariantTest : public ::testing::TestWithParam<TgaCase> {};

TEST_P(TgaVariantTest, EveryOriginAndItsRleTwinGiveTheWrittenPixels) {
    const TgaCase c = GetParam();
    const uint32_t w = 13, h = 7;  // odd sizes: packets run across rows
    Pixels source = c.type == 1 ? FewColors(w, h, 40) : imagefiles::Pattern(w, h, c.bits, true);
    Pixels expected = source;
    if (c.type == 3) {
        expected = Grey(source, c.bits == 16);
    } else if ((c.type == 1 ? c.mapBits : c.bits) == 16) {
        expected = As555(source, true);
    } else if ((c.type == 1 ? c.mapBits : c.bits) == 24) {
        expected = Opaque(source);
    }
    for (bool topDown : {false, true}) {
        for (bool rightToLeft : {false, true}) {
            imagefiles::TgaOptions o;
            o.type = c.type;
            o.bits = c.bits;
            o.mapBits = c.mapBits;
            o.topDown = topDown;
            o.rightToLeft = rightToLeft;
            o.attributeBits = (c.type == 1 ? c.mapBits : c.bits) == 16 ? 1 : 8;
            DecodedImage plain, packed;
            ASSERT_TRUE(Decode(imagefiles::Tga(source, w, h, o), &plain));
            o.type = uint8_t(c.type | 8);
            ASSERT_TRUE(Decode(imagefiles::Tga(source, w, h, o), &packed));
            SCOPED_TRACE(::testing::Message() << "top " << topDown << " rtl " << rightToLeft);
            EXPECT_EQ(
                std::tie(plain.width, plain.height, plain.format, packed.format, plain.fileFormat),
                std::tuple(w, h, c.ownFormat, c.ownFormat, uint32_t(ImageFileFormat::Tga)));
            EXPECT_EQ((std::tuple{plain.pixels, packed.pixels}),
                      (std::tuple{expected, plain.pixels}));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Types, TgaVariantTest,
    ::testing::Values(TgaCase{2, 32, 0, Format::A8R8G8B8}, TgaCase{2, 24, 0, Format::X8R8G8B8},
                      TgaCase{2, 16, 0, Format::A1R5G5B5}, TgaCase{1, 8, 24, Format::X8R8G8B8},
                      TgaCase{1, 8, 32, Format::A8R8G8B8}, TgaCase{1, 16, 16, Format::A1R5G5B5},
                      TgaCase{3, 8, 0, Format::L8}));

TEST(TgaTest, FifteenBitPixelsAreOpaqueAndSixteenBitOnesOnlyWithAttributeBits) {
    const Pixels source = {0x00F80000u, 0x80F80000u};
    const Pixels opaque = {0xFFFF0000u, 0xFFFF0000u};
    for (auto [bits, attributeBits, expected] :
         {std::tuple{15, 0, opaque}, {16, 0, opaque}, {16, 1, Pixels{0x00FF0000u, 0xFFFF0000u}}}) {
        imagefiles::TgaOptions o;
        o.bits = uint8_t(bits);
        o.attributeBits = uint8_t(attributeBits);
        DecodedImage image;
        ASSERT_TRUE(Decode(imagefiles::Tga(source, 2, 1, o), &image));
        EXPECT_EQ(image.pixels, expected) << bits << " " << attributeBits;
    }
}

TEST(TgaTest, ThirtyTwoBitKeepsItsAlphaWhateverTheDescriptorSays) {
    Pixels source = {0x10203040u, 0xC0506070u};
    imagefiles::TgaOptions o;
    o.attributeBits = 0;
    DecodedImage image;
    ASSERT_TRUE(Decode(imagefiles::Tga(source, 2, 1, o), &image));
    EXPECT_EQ((std::tuple{image.pixels, image.format}), (std::tuple{source, Format::A8R8G8B8}));
}

// A screen capture: type 2, 32 bits, descriptor 0, the bottom row stored
// first, alpha bytes 0xFF.
TEST(TgaTest, CaptureFileReadsBackItsPixels) {
    const uint32_t w = 3, h = 2;
    const Pixels screen = {0xFF010203u, 0xFF040506u, 0xFF070809u,
                           0xFF0A0B0Cu, 0xFF0D0E0Fu, 0xFF101112u};
    std::string file(18, '\0');
    file[2] = 2;
    file[12] = char(w);
    file[14] = char(h);
    file[16] = 32;
    for (int row = int(h) - 1; row >= 0; --row) {
        for (uint32_t x = 0; x < w; ++x) {
            const uint32_t p = screen[size_t(row) * w + x];
            file += char(p & 0xFF);
            file += char((p >> 8) & 0xFF);
            file += char((p >> 16) & 0xFF);
            file += char(0xFF);
        }
    }
    ASSERT_EQ(file.size(), 18u + w * h * 4);
    DecodedImage image;
    ASSERT_TRUE(Decode(file, &image));
    EXPECT_EQ(image.pixels, screen);
}

TEST(TgaTest, BadPacketsIndicesAndSizesFail) {
    DecodedImage image;
    const Pixels source = imagefiles::Pattern(4, 4, 1, false);
    imagefiles::TgaOptions o;
    o.type = 10;
    std::string rle = imagefiles::Tga(source, 4, 4, o);
    // A run packet of 128 pixels in a 16-pixel image.
    std::string past = rle.substr(0, 18) + std::string(1, char(0xFF)) + "\1\2\3\4";
    EXPECT_FALSE(Decode(past, &image));

    // Index 300 into a map of 256 entries.
    Pixels many(256);
    for (uint32_t i = 0; i < 256; ++i) {
        many[i] = 0xFF000000u | i;
    }
    imagefiles::TgaOptions m;
    m.type = 1;
    m.bits = 16;
    std::string mapped = imagefiles::Tga(many, 16, 16, m);
    ASSERT_TRUE(Decode(mapped, &image));
    mapped[mapped.size() - 2] = char(300 & 0xFF);
    mapped[mapped.size() - 1] = char(300 >> 8);
    EXPECT_FALSE(Decode(mapped, &image));

    // Width 0.
    std::string zero = imagefiles::Tga(source, 4, 4, {});
    zero[12] = zero[13] = 0;
    EXPECT_FALSE(Decode(zero, &image));
}

// --- PNG, BMP, PPM, DDS ---------------------------------------------------------------

TEST(DecodeTest, PngBmpPpmAndDdsFilesGiveTheWrittenPixelsAndTheirFormats) {
    const uint32_t w = 7, h = 5; // BMP rows need padding
    const Pixels rgba = imagefiles::Pattern(w, h, 3, true);
    const Pixels few = FewColors(w, h, 12);
    const Pixels fewOpaque = Opaque(few);
    using K = imagefiles::PngKind;
    namespace F = ImageFileFormat;
    struct Case {
        std::string file;
        Pixels expected;
        uint32_t format;
        uint32_t fileFormat;
    } cases[] = {
        {imagefiles::Png(rgba, w, h, K::Rgba8), rgba, Format::A8R8G8B8, F::Png},
        {imagefiles::Png(few, w, h, K::PaletteTrns), few, Format::A8R8G8B8, F::Png},
        {imagefiles::Png(rgba, w, h, K::Grey16), Grey(rgba, false), Format::L8, F::Png},
        {imagefiles::Png(rgba, w, h, K::Rgb8), Opaque(rgba), Format::X8R8G8B8, F::Png},
        {imagefiles::Bmp(rgba, w, h, 24), Opaque(rgba), Format::X8R8G8B8, F::Bmp},
        {imagefiles::Bmp(rgba, w, h, 24, true), Opaque(rgba), Format::X8R8G8B8, F::Bmp},
        {imagefiles::Bmp(fewOpaque, w, h, 8), fewOpaque, Format::X8R8G8B8, F::Bmp},
        {imagefiles::Bmp(fewOpaque, w, h, 8, false, true), fewOpaque, Format::X8R8G8B8, F::Bmp},
        {imagefiles::Bmp(rgba, w, h, 32), rgba, Format::A8R8G8B8, F::Bmp},
        {imagefiles::Ppm(Opaque(rgba), w, h, true), Opaque(rgba), Format::X8R8G8B8, F::Ppm},
        {imagefiles::Ppm(Opaque(rgba), w, h, false), Opaque(rgba), Format::X8R8G8B8, F::Ppm},
        {imagefiles::Ppm(Opaque(rgba), w, h, true, 65535), Opaque(rgba), Format::X8R8G8B8, F::Ppm},
        {imagefiles::DdsArgb(rgba, w, h), rgba, Format::A8R8G8B8, F::Dds},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        DecodedImage image;
        ASSERT_TRUE(Decode(cases[i].file, &image)) << i;
        EXPECT_EQ(std::tie(image.pixels, image.format, image.fileFormat),
                  std::tie(cases[i].expected, cases[i].format, cases[i].fileFormat))
            << i;
    }
    DecodedImage image;
    EXPECT_FALSE(Decode("P6\n70000 1\n255\n" + std::string(210000, 'x'), &image));
    EXPECT_FALSE(Decode("P3\n1 1\n255\n256 0 0\n", &image)); // sample above the maximum
}

// A 40-byte header, bottom-up rows padded to 4 bytes.
std::string SmallBmp(uint32_t w, uint32_t h, uint32_t bpp, const std::string& palette,
                     const std::string& rows) {
    auto u32 = [](uint32_t v) {
        return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
    };
    auto u16 = [](uint32_t v) { return std::string{char(v), char(v >> 8)}; };
    const uint32_t off = 14 + 40 + uint32_t(palette.size());
    return "BM" + u32(off + uint32_t(rows.size())) + u32(0) + u32(off) + u32(40) + u32(w) +
           u32(h) + u16(1) + u16(bpp) + u32(0) + u32(uint32_t(rows.size())) + u32(0) + u32(0) +
           u32(uint32_t(palette.size() / 4)) + u32(0) + palette + rows;
}

TEST(BmpTest, OneFourAndSixteenBitPixels) {
    const std::string palette("\x00\x00\xFF\x00\xFF\x00\x00\x00", 8);  // red, blue
    DecodedImage image;
    // 1 bit: rows "10 1" (bottom) and "011" (top), the high bit first.
    ASSERT_TRUE(Decode(SmallBmp(3, 2, 1, palette, std::string("\xA0\0\0\0\x60\0\0\0", 8)),
                       &image));
    EXPECT_EQ(image.pixels, (Pixels{0xFFFF0000u, 0xFF0000FFu, 0xFF0000FFu,  //
                                    0xFF0000FFu, 0xFFFF0000u, 0xFF0000FFu}));
    // 4 bits: the high nibble first.
    ASSERT_TRUE(Decode(SmallBmp(3, 1, 4, palette, std::string("\x10\x10\0\0", 4)), &image));
    EXPECT_EQ(image.pixels, (Pixels{0xFF0000FFu, 0xFFFF0000u, 0xFF0000FFu}));
    // 16 bits: X1R5G5B5.
    ASSERT_TRUE(Decode(SmallBmp(2, 1, 16, "", std::string("\x00\x7C\x1F\x00", 4)), &image));
    EXPECT_EQ(image.pixels, (Pixels{0xFFFF0000u, 0xFF0000FFu}));
}

TEST(BmpTest, HugeOrZeroWidthAndOutOfRangeIndicesFail) {
    DecodedImage image;
    const Pixels few = Opaque(FewColors(4, 4, 3));
    std::string file = imagefiles::Bmp(few, 4, 4, 8);
    std::string wide = file;
    wide.replace(18, 4, std::string("\x70\x11\x01\x00", 4)); // width 70000
    EXPECT_FALSE(Decode(wide, &image));
    std::string zero = file;
    zero[18] = 0;
    EXPECT_FALSE(Decode(zero, &image));
    // The palette holds 3 colours; index 7 lies outside.
    std::string bad = file;
    bad[bad.size() - 4] = 7;
    EXPECT_FALSE(Decode(bad, &image));
    // An RLE absolute run of ten indices with four bytes of data left.
    std::string rle = imagefiles::Bmp(few, 4, 4, 8, false, true);
    const size_t data = uint8_t(rle[10]) | (size_t(uint8_t(rle[11])) << 8);
    std::string runaway = rle.substr(0, data) + std::string("\x00\x0A\x00\x00\x00\x01", 6);
    EXPECT_FALSE(Decode(runaway, &image));
}

// Little-endian fields, each of the given number of bytes.
std::string Le(std::initializer_list<std::pair<uint32_t, int>> fields) {
    std::string s;
    for (auto [value, bytes] : fields) {
        for (int i = 0; i < bytes; ++i) {
            s += char(value >> (8 * i));
        }
    }
    return s;
}

// The 12-byte header: width and height as 16-bit fields, 3-byte palette entries.
std::string CoreHeaderBmp(uint32_t w, int32_t h, uint32_t bpp, const std::string& palette,
                          const std::string& rows) {
    const uint32_t off = 14 + 12 + uint32_t(palette.size());
    return "BM" + Le({{off + uint32_t(rows.size()), 4}, {0, 4}, {off, 4}, {12, 4}, {w, 2},
                      {uint32_t(h), 2}, {1, 2}, {bpp, 2}}) +
           palette + rows;
}

TEST(BmpTest, TwelveByteHeaderGivesItsWidthHeightAndPalette) {
    DecodedImage image;
    // 2x3 at 24 bits, bottom row first, each row padded to 8 bytes.
    std::string rows;
    for (uint32_t color : {0x0000FFu, 0x00FF00u, 0xFF0000u, 0xFFFFFFu, 0x102030u, 0x405060u}) {
        rows += Le({{color, 3}});
        if (rows.size() % 8 == 6) {
            rows += std::string(2, '\0');
        }
    }
    ASSERT_TRUE(Decode(CoreHeaderBmp(2, 3, 24, "", rows), &image));
    EXPECT_EQ(std::tie(image.width, image.height, image.pixels),
              std::make_tuple(2u, 3u,
                              Pixels{0xFF102030u, 0xFF405060u, 0xFFFF0000u, 0xFFFFFFFFu,
                                     0xFF0000FFu, 0xFF00FF00u}));
    // 3x2 at 8 bits: a 256-entry palette of blue, green, red ... in 3-byte entries.
    std::string palette = Le({{0x0000FF, 3}, {0x00FF00, 3}, {0xFF0000, 3}});
    palette.resize(256 * 3, '\0');
    ASSERT_TRUE(Decode(CoreHeaderBmp(3, 2, 8, palette, std::string("\0\1\2\0\2\2\1\0", 8)),
                       &image));
    EXPECT_EQ(std::tie(image.width, image.height, image.pixels),
              std::make_tuple(3u, 2u,
                              Pixels{0xFFFF0000u, 0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu,
                                     0xFF00FF00u, 0xFFFF0000u}));
}

TEST(BmpTest, Rle8RunsOverThePaddingAndPastTheLastRowAreClipped) {
    auto rle8 = [](uint32_t w, uint32_t h, const std::string& data) {
        const std::string palette = Le({{0x0000FF, 4}, {0x00FF00, 4}, {0xFF0000, 4}});
        const uint32_t off = 14 + 40 + uint32_t(palette.size());
        return "BM" + Le({{off + uint32_t(data.size()), 4}, {0, 4}, {off, 4}, {40, 4}, {w, 4},
                          {h, 4}, {1, 2}, {8, 2}, {1, 4}, {uint32_t(data.size()), 4}, {0, 4},
                          {0, 4}, {3, 4}, {0, 4}}) +
               palette + data;
    };
    DecodedImage image;
    // Width 3: the first row is one run of 4 filling the padding; a third row
    // lies past the height of 2.
    // The second row ends in an absolute run of 3 that also runs over.
    const std::string data("\x04\x02\x00\x00"
                           "\x02\x01\x00\x03\x00\x01\x00\x00\x00\x00"
                           "\x04\x00\x00\x01",
                           18);
    ASSERT_TRUE(Decode(rle8(3, 2, data), &image));
    EXPECT_EQ(std::tie(image.width, image.height, image.pixels),
              std::make_tuple(3u, 2u,
                              Pixels{0xFF00FF00u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFF0000u,
                                     0xFFFF0000u, 0xFFFF0000u}));
    // A move past the corner drops what follows; the end marker is still needed.
    ASSERT_TRUE(Decode(rle8(3, 2, std::string("\x00\x02\x09\x09\x02\x01\x00\x01", 8)),
                       &image));
    EXPECT_EQ(image.pixels, Pixels(6, 0xFF000000u));
    EXPECT_FALSE(Decode(rle8(3, 2, std::string("\x04\x02\x00\x00\x02\x01", 6)), &image));
    // An absolute run of five with three bytes left.
    EXPECT_FALSE(Decode(rle8(3, 2, std::string("\x00\x05\x01\x01\x01", 5)), &image));
}

// --- JPEG, DDS blocks -------------------------------------------------------------

TEST(JpegTest, PixelsLieWithinThreeOfTheEncodedImage) {
    const uint32_t w = 32, h = 24;
    Pixels smooth(size_t(w) * h);
    for (uint32_t y = 0; y < h; ++y) {
        for (uint32_t x = 0; x < w; ++x) {
            smooth[size_t(y) * w + x] = 0xFF000000u | ((40 + x * 4) << 16) | ((200 - y * 5) << 8) |
                                       (100 + x + y);
        }
    }
    DecodedImage image;
    ASSERT_TRUE(Decode(imagefiles::Jpeg(smooth, w, h, 98), &image));
    ASSERT_EQ(image.pixels.size(), smooth.size());
    EXPECT_EQ(std::tie(image.format, image.fileFormat),
              std::tuple(Format::X8R8G8B8, uint32_t(ImageFileFormat::Jpg)));
    int worst = 0;
    for (size_t i = 0; i < smooth.size(); ++i) {
        for (int shift : {0, 8, 16}) {
            const int a = int((smooth[i] >> shift) & 0xFF);
            const int b = int((image.pixels[i] >> shift) & 0xFF);
            worst = std::max(worst, std::abs(a - b));
        }
        EXPECT_EQ(image.pixels[i] >> 24, 0xFFu);
    }
    EXPECT_LE(worst, 3);
}

TEST(JpegTest, DamagedDataFailsWithoutEndingTheProcess) {
    const Pixels p = Opaque(imagefiles::Pattern(16, 16, 2, false));
    const std::string good = imagefiles::Jpeg(p, 16, 16);
    DecodedImage image;
    ASSERT_TRUE(Decode(good, &image));
    std::string damaged = good;
    for (size_t i = 20; i < damaged.size(); i += 7) {
        damaged[i] = char(damaged[i] ^ 0x5A);
    }
    EXPECT_FALSE(Decode(damaged, &image));
    // Ends early: libjpeg would fill the rest with grey and only warn.
    EXPECT_FALSE(Decode(good.substr(0, good.size() * 2 / 3), &image));
}

TEST(DdsTest, Dxt1BlocksAreKeptAsStoredAndArgbPixelsAreExact) {
    std::string level0(2 * 2 * 8, '\0'), level1(8, '\0'), level2(8, '\0');
    for (size_t i = 0; i < level0.size(); ++i) {
        level0[i] = char(i * 37 + 11);
    }
    level1 = level0.substr(8, 8);
    level2 = level0.substr(16, 8);
    DecodedImage image;
    ASSERT_TRUE(
        Decode(imagefiles::DdsBlocks(Format::Dxt1, 8, 8, {level0, level1, level2}), &image));
    EXPECT_EQ(std::tie(image.format, image.fileFormat),
              std::tuple(Format::Dxt1, uint32_t(ImageFileFormat::Dds)));
    ASSERT_EQ(image.blockLevels.size(), 3u);
    EXPECT_EQ(std::string(image.blockLevels[0].begin(), image.blockLevels[0].end()), level0);
    EXPECT_EQ(std::string(image.blockLevels[2].begin(), image.blockLevels[2].end()), level2);
    EXPECT_EQ(image.pixels.size(), 64u);
}

// --- corrupt input -------------------------------------------------------------------

TEST(CorruptImageTest, EveryTruncationOfEveryValidFileFails) {
    const uint32_t w = 6, h = 5;
    const Pixels rgba = imagefiles::Pattern(w, h, 11, true);
    const Pixels few = FewColors(w, h, 10);
    std::vector<std::string> files;
    for (uint8_t type : {2, 10}) {
        imagefiles::TgaOptions o;
        o.type = type;
        files.push_back(imagefiles::Tga(rgba, w, h, o));
        o.type = uint8_t(type - 1);
        o.bits = 8;
        files.push_back(imagefiles::Tga(few, w, h, o));
    }
    files.insert(files.end(),
                 {imagefiles::Bmp(rgba, w, h, 24), imagefiles::Bmp(few, w, h, 8, false, true),
                  imagefiles::Bmp(rgba, w, h, 32), imagefiles::Ppm(rgba, w, h, true),
                  imagefiles::Ppm(rgba, w, h, false),
                  imagefiles::Png(rgba, w, h, imagefiles::PngKind::Rgba8),
                  imagefiles::Png(few, w, h, imagefiles::PngKind::PaletteTrns),
                  imagefiles::Jpeg(rgba, w, h), imagefiles::DdsArgb(rgba, w, h),
                  imagefiles::DdsBlocks(Format::Dxt5, 8, 8, {std::string(64, '\x55')})});
    for (size_t f = 0; f < files.size(); ++f) {
        DecodedImage image;
        ASSERT_TRUE(Decode(files[f], &image)) << "file " << f;
        const std::string& file = files[f];
        // A text PPM cut inside its last number still reads a number.
        const size_t lastNumber =
            f == 8 ? file.find_last_of(" \n", file.size() - 3) + 1 : file.size();
        for (size_t n = 0; n < file.size(); ++n) {
            if (n > lastNumber) {
                continue;
            }
            EXPECT_FALSE(Decode(files[f].substr(0, n), &image)) << "file " << f << " cut at " << n;
        }
    }
}

TEST(CorruptImageTest, ThePixelLimitRefusesLargeImagesBeforeAllocating) {
    const Pixels rgba = imagefiles::Pattern(64, 64, 1, false);
    ImageLimits small;
    small.maxPixels = 1024;
    DecodedImage image;
    EXPECT_FALSE(Decode(imagefiles::Png(rgba, 64, 64, imagefiles::PngKind::Rgba8), &image, small));
    EXPECT_FALSE(Decode(imagefiles::Tga(rgba, 64, 64, {}), &image, small));
    EXPECT_TRUE(Decode(imagefiles::Tga(rgba, 64, 64, {}), &image));
}

}  // namespace
