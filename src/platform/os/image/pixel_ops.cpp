// Resampling, mip levels, conversion to device formats and the DXT block
// coder. Everything here is deterministic integer or float arithmetic of our
// own, independent of any driver.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/os/gfx/types.h"
#include "platform/os/image/image.h"
#include "platform/os/image/readers.h"

using image_detail::Argb;

namespace {

inline uint32_t ChA(uint32_t p) { return p >> 24; }
inline uint32_t ChR(uint32_t p) { return (p >> 16) & 0xFF; }
inline uint32_t ChG(uint32_t p) { return (p >> 8) & 0xFF; }
inline uint32_t ChB(uint32_t p) { return p & 0xFF; }

// An 8-bit value to n bits, rounded to nearest.
inline uint32_t Narrow(uint32_t v, uint32_t maxOut) { return (v * maxOut + 127) / 255; }

// --- resampling -----------------------------------------------------------------

struct Tap {
    uint32_t index;
    float weight;
};

// Triangle-filter taps of each output position along one axis.
std::vector<std::vector<Tap>> AxisTaps(uint32_t from, uint32_t to) {
    std::vector<std::vector<Tap>> taps(to);
    const double scale = double(from) / double(to);
    const double support = std::max(1.0, scale);
    for (uint32_t i = 0; i < to; ++i) {
        const double centre = (i + 0.5) * scale - 0.5;
        const auto first = int64_t(std::floor(centre - support)) + 1;
        const auto last = int64_t(std::ceil(centre + support)) - 1;
        double total = 0.0;
        std::vector<Tap>& list = taps[i];
        for (int64_t j = first; j <= last; ++j) {
            const double w = 1.0 - std::fabs(double(j) - centre) / support;
            if (w <= 0.0) {
                continue;
            }
            const auto clamped = uint32_t(std::clamp<int64_t>(j, 0, int64_t(from) - 1));
            list.push_back({clamped, float(w)});
            total += w;
        }
        if (list.empty()) {
            list.push_back({uint32_t(std::clamp<int64_t>(std::llround(centre), 0, from - 1)), 1.0f});
            total = 1.0;
        }
        for (Tap& t : list) {
            t.weight = float(t.weight / total);
        }
    }
    return taps;
}

inline uint32_t ToByte(float v) {
    return uint32_t(std::clamp(std::lround(v), 0L, 255L));
}

// --- DXT blocks -------------------------------------------------------------------

uint32_t Pack565(uint32_t r, uint32_t g, uint32_t b) {
    return (Narrow(r, 31) << 11) | (Narrow(g, 63) << 5) | Narrow(b, 31);
}

void Unpack565(uint32_t c, int out[3]) {
    const uint32_t r = (c >> 11) & 31;
    const uint32_t g = (c >> 5) & 63;
    const uint32_t b = c & 31;
    out[0] = int((r << 3) | (r >> 2));
    out[1] = int((g << 2) | (g >> 4));
    out[2] = int((b << 3) | (b >> 2));
}

// The four colours of a colour block (index 3 transparent black in the
// three-colour mode).
void BlockPalette(uint32_t c0, uint32_t c1, bool fourColor, int pal[4][4]) {
    Unpack565(c0, pal[0]);
    Unpack565(c1, pal[1]);
    pal[0][3] = pal[1][3] = 255;
    for (int k = 0; k < 3; ++k) {
        if (fourColor) {
            pal[2][k] = (2 * pal[0][k] + pal[1][k] + 1) / 3;
            pal[3][k] = (pal[0][k] + 2 * pal[1][k] + 1) / 3;
        } else {
            pal[2][k] = (pal[0][k] + pal[1][k]) / 2;
            pal[3][k] = 0;
        }
    }
    pal[2][3] = 255;
    pal[3][3] = fourColor ? 255 : 0;
}

int ColorDistance(const int a[3], const int b[3]) {
    const int dr = a[0] - b[0];
    const int dg = a[1] - b[1];
    const int db = a[2] - b[2];
    return dr * dr + dg * dg + db * db;
}

// Indices of the texels for the palette; texels flagged transparent take
// index 3 (three-colour mode). Answers the summed squared error.
int AssignIndices(const int texels[16][3], const bool transparent[16], const int pal[4][4],
                  int choices, uint32_t* indices) {
    int error = 0;
    *indices = 0;
    for (int i = 0; i < 16; ++i) {
        uint32_t best = 3;
        if (!transparent[i]) {
            int bestError = -1;
            for (int k = 0; k < choices; ++k) {
                const int e = ColorDistance(texels[i], pal[k]);
                if (bestError < 0 || e < bestError) {
                    bestError = e;
                    best = uint32_t(k);
                }
            }
            error += bestError;
        }
        *indices |= best << (2 * i);
    }
    return error;
}

// Encodes 16 texels (RGB) into a colour block. With `threeColor`, texels
// flagged transparent become index 3 of the three-colour mode.
void EncodeColorBlock(const int texels[16][3], const bool transparent[16], bool threeColor,
                      uint8_t out[8]) {
    // Principal axis of the opaque texels.
    double mean[3] = {0, 0, 0};
    int count = 0;
    for (int i = 0; i < 16; ++i) {
        if (!transparent[i]) {
            for (int k = 0; k < 3; ++k) {
                mean[k] += texels[i][k];
            }
            ++count;
        }
    }
    uint32_t c0 = 0;
    uint32_t c1 = 0;
    if (count > 0) {
        for (double& m : mean) {
            m /= count;
        }
        double cov[6] = {0, 0, 0, 0, 0, 0};  // rr rg rb gg gb bb
        for (int i = 0; i < 16; ++i) {
            if (transparent[i]) {
                continue;
            }
            const double r = texels[i][0] - mean[0];
            const double g = texels[i][1] - mean[1];
            const double b = texels[i][2] - mean[2];
            cov[0] += r * r;
            cov[1] += r * g;
            cov[2] += r * b;
            cov[3] += g * g;
            cov[4] += g * b;
            cov[5] += b * b;
        }
        // Power iteration from the covariance row of the widest channel (a
        // start of (1, 1, 1) can be orthogonal to the axis, e.g. red to blue).
        double axis[3] = {cov[0], cov[1], cov[2]};
        if (cov[3] > cov[0] && cov[3] >= cov[5]) {
            axis[0] = cov[1];
            axis[1] = cov[3];
            axis[2] = cov[4];
        } else if (cov[5] > cov[0] && cov[5] > cov[3]) {
            axis[0] = cov[2];
            axis[1] = cov[4];
            axis[2] = cov[5];
        }
        if (axis[0] == 0.0 && axis[1] == 0.0 && axis[2] == 0.0) {
            axis[0] = axis[1] = axis[2] = 1.0;
        }
        for (int iter = 0; iter < 8; ++iter) {
            const double x = cov[0] * axis[0] + cov[1] * axis[1] + cov[2] * axis[2];
            const double y = cov[1] * axis[0] + cov[3] * axis[1] + cov[4] * axis[2];
            const double z = cov[2] * axis[0] + cov[4] * axis[1] + cov[5] * axis[2];
            const double len = std::max({std::fabs(x), std::fabs(y), std::fabs(z)});
            if (len < 1e-9) {
                break;
            }
            axis[0] = x / len;
            axis[1] = y / len;
            axis[2] = z / len;
        }
        const double norm2 = axis[0] * axis[0] + axis[1] * axis[1] + axis[2] * axis[2];
        double lo = 0.0;
        double hi = 0.0;
        for (int i = 0; i < 16; ++i) {
            if (transparent[i]) {
                continue;
            }
            const double t = ((texels[i][0] - mean[0]) * axis[0] +
                              (texels[i][1] - mean[1]) * axis[1] +
                              (texels[i][2] - mean[2]) * axis[2]) /
                             norm2;
            lo = std::min(lo, t);
            hi = std::max(hi, t);
        }
        auto endpoint = [&](double t) {
            uint32_t ch[3];
            for (int k = 0; k < 3; ++k) {
                ch[k] = uint32_t(std::clamp(std::lround(mean[k] + axis[k] * t), 0L, 255L));
            }
            return Pack565(ch[0], ch[1], ch[2]);
        };
        c0 = endpoint(hi);
        c1 = endpoint(lo);
    }

    // Try the endpoints, then refine them by least squares on the chosen
    // indices; keep the best block seen.
    const int choices = threeColor ? 3 : 4;
    uint32_t bestC0 = 0, bestC1 = 0, bestIndices = 0;
    int bestError = -1;
    for (int round = 0; round < 3; ++round) {
        // Order the endpoints for the mode: c0 > c1 selects four colours,
        // c0 <= c1 three.
        if (threeColor ? c0 > c1 : c0 < c1) {
            std::swap(c0, c1);
        }
        int pal[4][4];
        BlockPalette(c0, c1, !threeColor, pal);
        uint32_t indices = 0;
        // Equal endpoints outside the three-colour mode: every texel index 0.
        const int usable = (!threeColor && c0 == c1) ? 1 : choices;
        const int error = AssignIndices(texels, transparent, pal, usable, &indices);
        if (bestError < 0 || error < bestError) {
            bestError = error;
            bestC0 = c0;
            bestC1 = c1;
            bestIndices = indices;
        }
        if (count == 0 || error == 0) {
            break;
        }
        // Weights of endpoint 1 for the indices of the mode.
        static const double kFour[4] = {0.0, 1.0, 1.0 / 3.0, 2.0 / 3.0};
        static const double kThree[4] = {0.0, 1.0, 0.5, 0.0};
        const double* weight = threeColor ? kThree : kFour;
        double aa = 0, ab = 0, bb = 0;
        double ax[3] = {0, 0, 0}, bx[3] = {0, 0, 0};
        for (int i = 0; i < 16; ++i) {
            if (transparent[i]) {
                continue;
            }
            const double w = weight[(indices >> (2 * i)) & 3];
            const double v = 1.0 - w;
            aa += v * v;
            ab += v * w;
            bb += w * w;
            for (int k = 0; k < 3; ++k) {
                ax[k] += v * texels[i][k];
                bx[k] += w * texels[i][k];
            }
        }
        const double det = aa * bb - ab * ab;
        if (std::fabs(det) < 1e-9) {
            break;
        }
        uint32_t e0[3], e1[3];
        for (int k = 0; k < 3; ++k) {
            e0[k] = uint32_t(std::clamp(std::lround((ax[k] * bb - bx[k] * ab) / det), 0L, 255L));
            e1[k] = uint32_t(std::clamp(std::lround((bx[k] * aa - ax[k] * ab) / det), 0L, 255L));
        }
        const uint32_t n0 = Pack565(e0[0], e0[1], e0[2]);
        const uint32_t n1 = Pack565(e1[0], e1[1], e1[2]);
        if ((n0 == c0 && n1 == c1) || (n0 == c1 && n1 == c0)) {
            break;
        }
        c0 = n0;
        c1 = n1;
    }
    out[0] = uint8_t(bestC0);
    out[1] = uint8_t(bestC0 >> 8);
    out[2] = uint8_t(bestC1);
    out[3] = uint8_t(bestC1 >> 8);
    for (int i = 0; i < 4; ++i) {
        out[4 + i] = uint8_t(bestIndices >> (8 * i));
    }
}

// Interpolated alpha (DXT4/5): eight levels between the largest and the
// smallest alpha of the block.
void EncodeAlphaBlock(const int alpha[16], uint8_t out[8]) {
    int a0 = 0;
    int a1 = 255;
    for (int i = 0; i < 16; ++i) {
        a0 = std::max(a0, alpha[i]);
        a1 = std::min(a1, alpha[i]);
    }
    int levels[8] = {a0, a1, 0, 0, 0, 0, 0, 0};
    for (int k = 2; k < 8; ++k) {
        levels[k] = ((8 - k) * a0 + (k - 1) * a1 + 3) / 7;
    }
    uint64_t bits = 0;
    for (int i = 0; i < 16; ++i) {
        int best = 0;
        for (int k = 1; k < 8 && a0 != a1; ++k) {
            if (std::abs(alpha[i] - levels[k]) < std::abs(alpha[i] - levels[best])) {
                best = k;
            }
        }
        bits |= uint64_t(best) << (3 * i);
    }
    out[0] = uint8_t(a0);
    out[1] = uint8_t(a1);
    for (int i = 0; i < 6; ++i) {
        out[2 + i] = uint8_t(bits >> (8 * i));
    }
}

void DecodeAlphaBlock(const uint8_t* in, int alpha[16]) {
    const int a0 = in[0];
    const int a1 = in[1];
    int levels[8] = {a0, a1, 0, 0, 0, 0, 0, 0};
    if (a0 > a1) {
        for (int k = 2; k < 8; ++k) {
            levels[k] = ((8 - k) * a0 + (k - 1) * a1 + 3) / 7;
        }
    } else {
        for (int k = 2; k < 6; ++k) {
            levels[k] = ((6 - k) * a0 + (k - 1) * a1 + 2) / 5;
        }
        levels[6] = 0;
        levels[7] = 255;
    }
    uint64_t bits = 0;
    for (int i = 0; i < 6; ++i) {
        bits |= uint64_t(in[2 + i]) << (8 * i);
    }
    for (int i = 0; i < 16; ++i) {
        alpha[i] = levels[(bits >> (3 * i)) & 7];
    }
}

// One block of texels from the image; texels beyond the edge repeat the
// last row or column.
void GatherBlock(const uint32_t* pixels, uint32_t width, uint32_t height, uint32_t bx,
                 uint32_t by, uint32_t out[16]) {
    for (uint32_t y = 0; y < 4; ++y) {
        const uint32_t sy = std::min(by * 4 + y, height - 1);
        for (uint32_t x = 0; x < 4; ++x) {
            const uint32_t sx = std::min(bx * 4 + x, width - 1);
            out[y * 4 + x] = pixels[size_t(sy) * width + sx];
        }
    }
}

void EncodeBlock(const uint32_t texels[16], uint32_t format, uint8_t* out) {
    const bool premultiply = format == gfx::Format::Dxt2 || format == gfx::Format::Dxt4;
    int rgb[16][3];
    int alpha[16];
    bool transparent[16] = {};
    bool anyTransparent = false;
    for (int i = 0; i < 16; ++i) {
        const uint32_t p = texels[i];
        const uint32_t a = ChA(p);
        alpha[i] = int(a);
        uint32_t c[3] = {ChR(p), ChG(p), ChB(p)};
        for (int k = 0; k < 3; ++k) {
            rgb[i][k] = int(premultiply ? (c[k] * a + 127) / 255 : c[k]);
        }
        if (format == gfx::Format::Dxt1 && a < 128) {
            transparent[i] = true;
            anyTransparent = true;
        }
    }
    if (format == gfx::Format::Dxt1) {
        EncodeColorBlock(rgb, transparent, anyTransparent, out);
        return;
    }
    if (format == gfx::Format::Dxt2 || format == gfx::Format::Dxt3) {
        uint64_t bits = 0;
        for (int i = 0; i < 16; ++i) {
            bits |= uint64_t(Narrow(uint32_t(alpha[i]), 15)) << (4 * i);
        }
        for (int i = 0; i < 8; ++i) {
            out[i] = uint8_t(bits >> (8 * i));
        }
    } else {
        EncodeAlphaBlock(alpha, out);
    }
    EncodeColorBlock(rgb, transparent, false, out + 8);
}

void DecodeBlock(const uint8_t* in, uint32_t format, uint32_t out[16]) {
    int alpha[16];
    const uint8_t* color = in;
    if (format == gfx::Format::Dxt2 || format == gfx::Format::Dxt3) {
        for (int i = 0; i < 16; ++i) {
            const uint32_t nibble = (in[i / 2] >> (4 * (i & 1))) & 15;
            alpha[i] = int(nibble * 17);
        }
        color = in + 8;
    } else if (format == gfx::Format::Dxt4 || format == gfx::Format::Dxt5) {
        DecodeAlphaBlock(in, alpha);
        color = in + 8;
    }
    const uint32_t c0 = uint32_t(color[0]) | (uint32_t(color[1]) << 8);
    const uint32_t c1 = uint32_t(color[2]) | (uint32_t(color[3]) << 8);
    const bool four = format != gfx::Format::Dxt1 || c0 > c1;
    int pal[4][4];
    BlockPalette(c0, c1, four, pal);
    for (int i = 0; i < 16; ++i) {
        const uint32_t index = (color[4 + i / 4] >> (2 * (i & 3))) & 3;
        const int* c = pal[index];
        const int a = format == gfx::Format::Dxt1 ? c[3] : alpha[i];
        out[i] = Argb(uint32_t(a), uint32_t(c[0]), uint32_t(c[1]), uint32_t(c[2]));
    }
}

}  // namespace

std::vector<uint32_t> ResampleImage(const std::vector<uint32_t>& pixels, uint32_t width,
                                    uint32_t height, uint32_t newWidth, uint32_t newHeight) {
    if (width == 0 || height == 0 || newWidth == 0 || newHeight == 0 ||
        pixels.size() < size_t(width) * height) {
        return {};
    }
    if (width == newWidth && height == newHeight) {
        return std::vector<uint32_t>(pixels.begin(), pixels.begin() + ptrdiff_t(width) * height);
    }
    const auto xTaps = AxisTaps(width, newWidth);
    const auto yTaps = AxisTaps(height, newHeight);
    // Horizontal pass into floats (4 channels), then vertical.
    std::vector<float> rows(size_t(newWidth) * height * 4);
    for (uint32_t y = 0; y < height; ++y) {
        const uint32_t* src = pixels.data() + size_t(y) * width;
        float* dst = rows.data() + size_t(y) * newWidth * 4;
        for (uint32_t x = 0; x < newWidth; ++x) {
            float acc[4] = {0, 0, 0, 0};
            for (const Tap& t : xTaps[x]) {
                const uint32_t p = src[t.index];
                acc[0] += t.weight * float(ChA(p));
                acc[1] += t.weight * float(ChR(p));
                acc[2] += t.weight * float(ChG(p));
                acc[3] += t.weight * float(ChB(p));
            }
            std::memcpy(dst + size_t(x) * 4, acc, sizeof acc);
        }
    }
    std::vector<uint32_t> out(size_t(newWidth) * newHeight);
    for (uint32_t y = 0; y < newHeight; ++y) {
        for (uint32_t x = 0; x < newWidth; ++x) {
            float acc[4] = {0, 0, 0, 0};
            for (const Tap& t : yTaps[y]) {
                const float* s = rows.data() + (size_t(t.index) * newWidth + x) * 4;
                for (int k = 0; k < 4; ++k) {
                    acc[k] += t.weight * s[k];
                }
            }
            out[size_t(y) * newWidth + x] =
                Argb(ToByte(acc[0]), ToByte(acc[1]), ToByte(acc[2]), ToByte(acc[3]));
        }
    }
    return out;
}

std::vector<uint32_t> HalveImage(const std::vector<uint32_t>& pixels, uint32_t width,
                                 uint32_t height) {
    const uint32_t w = std::max(1u, width / 2);
    const uint32_t h = std::max(1u, height / 2);
    std::vector<uint32_t> out(size_t(w) * h);
    if (pixels.size() < size_t(width) * height) {
        return {};
    }
    for (uint32_t y = 0; y < h; ++y) {
        const uint32_t y0 = std::min(y * 2, height - 1);
        const uint32_t y1 = std::min(y * 2 + 1, height - 1);
        for (uint32_t x = 0; x < w; ++x) {
            const uint32_t x0 = std::min(x * 2, width - 1);
            const uint32_t x1 = std::min(x * 2 + 1, width - 1);
            const uint32_t p[4] = {pixels[size_t(y0) * width + x0], pixels[size_t(y0) * width + x1],
                                   pixels[size_t(y1) * width + x0], pixels[size_t(y1) * width + x1]};
            // A side of 1 repeats its pixel, which leaves the mean of the two.
            uint32_t ch[4];
            for (int k = 0; k < 4; ++k) {
                const uint32_t shift = 24 - 8 * uint32_t(k);
                uint32_t sum = 0;
                for (uint32_t v : p) {
                    sum += (v >> shift) & 0xFF;
                }
                ch[k] = (sum + 2) / 4;
            }
            out[size_t(y) * w + x] = Argb(ch[0], ch[1], ch[2], ch[3]);
        }
    }
    return out;
}

uint32_t FullMipChain(uint32_t width, uint32_t height) {
    uint32_t levels = 1;
    for (uint32_t s = std::max(width, height); s > 1; s >>= 1) {
        ++levels;
    }
    return levels;
}

bool CanConvertToFormat(uint32_t format) {
    switch (format) {
        case gfx::Format::R8G8B8:
        case gfx::Format::A8R8G8B8:
        case gfx::Format::X8R8G8B8:
        case gfx::Format::R5G6B5:
        case gfx::Format::X1R5G5B5:
        case gfx::Format::A1R5G5B5:
        case gfx::Format::A4R4G4B4:
        case gfx::Format::A8:
        case gfx::Format::L8:
        case gfx::Format::A8L8:
        case gfx::Format::Dxt1:
        case gfx::Format::Dxt2:
        case gfx::Format::Dxt3:
        case gfx::Format::Dxt4:
        case gfx::Format::Dxt5:
            return true;
        default:
            return false;
    }
}

bool ConvertPixels(const uint32_t* pixels, uint32_t width, uint32_t height, uint32_t format,
                   uint8_t* out, size_t pitch) {
    if (!CanConvertToFormat(format) || width == 0 || height == 0) {
        return false;
    }
    if (gfx::IsCompressedFormat(format)) {
        const uint32_t blockBytes = gfx::FormatBlockBytes(format);
        const uint32_t bw = (width + 3) / 4;
        const uint32_t bh = (height + 3) / 4;
        for (uint32_t by = 0; by < bh; ++by) {
            for (uint32_t bx = 0; bx < bw; ++bx) {
                uint32_t texels[16];
                GatherBlock(pixels, width, height, bx, by, texels);
                EncodeBlock(texels, format, out + size_t(by) * pitch + size_t(bx) * blockBytes);
            }
        }
        return true;
    }
    for (uint32_t y = 0; y < height; ++y) {
        const uint32_t* src = pixels + size_t(y) * width;
        uint8_t* row = out + size_t(y) * pitch;
        for (uint32_t x = 0; x < width; ++x) {
            const uint32_t p = src[x];
            const uint32_t a = ChA(p), r = ChR(p), g = ChG(p), b = ChB(p);
            uint32_t v = 0;
            uint32_t bytes = 2;
            switch (format) {
                case gfx::Format::A8R8G8B8:
                    v = p;
                    bytes = 4;
                    break;
                case gfx::Format::X8R8G8B8:
                    v = p | 0xFF000000u;
                    bytes = 4;
                    break;
                case gfx::Format::R8G8B8:
                    v = p & 0xFFFFFFu;
                    bytes = 3;
                    break;
                case gfx::Format::R5G6B5:
                    v = (Narrow(r, 31) << 11) | (Narrow(g, 63) << 5) | Narrow(b, 31);
                    break;
                case gfx::Format::X1R5G5B5:
                case gfx::Format::A1R5G5B5: {
                    const uint32_t top =
                        (format == gfx::Format::X1R5G5B5 || a >= 128) ? 0x8000u : 0u;
                    v = top | (Narrow(r, 31) << 10) | (Narrow(g, 31) << 5) | Narrow(b, 31);
                    break;
                }
                case gfx::Format::A4R4G4B4:
                    v = (Narrow(a, 15) << 12) | (Narrow(r, 15) << 8) | (Narrow(g, 15) << 4) |
                        Narrow(b, 15);
                    break;
                case gfx::Format::A8:
                    v = a;
                    bytes = 1;
                    break;
                case gfx::Format::L8:
                    v = (r * 299 + g * 587 + b * 114 + 500) / 1000;
                    bytes = 1;
                    break;
                case gfx::Format::A8L8:
                    v = (a << 8) | ((r * 299 + g * 587 + b * 114 + 500) / 1000);
                    break;
                default:
                    return false;
            }
            for (uint32_t i = 0; i < bytes; ++i) {
                row[size_t(x) * bytes + i] = uint8_t(v >> (8 * i));
            }
        }
    }
    return true;
}

bool DecodeBlocks(const uint8_t* blocks, size_t size, uint32_t width, uint32_t height,
                  uint32_t format, std::vector<uint32_t>* out) {
    const uint32_t blockBytes = gfx::FormatBlockBytes(format);
    if (blockBytes == 0 || width == 0 || height == 0 || out == nullptr) {
        return false;
    }
    const size_t bw = (size_t(width) + 3) / 4;
    const size_t bh = (size_t(height) + 3) / 4;
    if (size / blockBytes / bw < bh) {
        return false;
    }
    out->assign(size_t(width) * height, 0);
    for (size_t by = 0; by < bh; ++by) {
        for (size_t bx = 0; bx < bw; ++bx) {
            uint32_t texels[16];
            DecodeBlock(blocks + (by * bw + bx) * blockBytes, format, texels);
            for (uint32_t y = 0; y < 4; ++y) {
                for (uint32_t x = 0; x < 4; ++x) {
                    const size_t px = bx * 4 + x;
                    const size_t py = by * 4 + y;
                    if (px < width && py < height) {
                        (*out)[py * width + px] = texels[y * 4 + x];
                    }
                }
            }
        }
    }
    return true;
}
