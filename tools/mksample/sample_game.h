// The sample game: the library "DAZedirad.qvf" and every data file its items
// name (textures, meshes, sounds, motions, the film texture and the logo
// film), written below game/ of the output folder. Everything is computed
// from fixed numbers: two runs give the same bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class SampleOutput;
struct SubsetSettings;

// Writes the sample game's library and data files. False after a failure,
// whose line the output keeps.
bool WriteSampleGame(SampleOutput& out);

namespace sample {

inline constexpr const char* kDataFolder = "game/Data/";

// A folder of the system's temporary space for writers that only write
// files; removed with the object.
class Scratch {
public:
    Scratch();
    ~Scratch();
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;

    bool Ok() const { return !root_.empty(); }
    std::string Path(const std::string& name) const;
    // Reads a file made there and removes it; false when it cannot be read.
    bool Take(const std::string& name, std::vector<uint8_t>& bytes) const;

private:
    std::string root_;
};

// An image: pixels 0xAARRGGBB, rows top first.
struct Image {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint32_t> pixels;

    Image() = default;
    Image(uint32_t w, uint32_t h, uint32_t fill = 0xFFFFFFFFu)
        : width(w), height(h), pixels(size_t(w) * h, fill) {}
    uint32_t& At(uint32_t x, uint32_t y) { return pixels[size_t(y) * width + x]; }
    uint32_t At(uint32_t x, uint32_t y) const { return pixels[size_t(y) * width + x]; }
};

// Encoders. The uncompressed TGA goes through the screen capture's writer;
// the run-length TGA, PNG and JPEG are encoded here.
bool EncodeTga(const Scratch& scratch, const Image& image, std::vector<uint8_t>& bytes);
std::vector<uint8_t> EncodeRleTga(const Image& image);
std::vector<uint8_t> EncodePng(const Image& image);
std::vector<uint8_t> EncodeJpeg(const Image& image, int quality);

// Decodes the run-length TGA written above (for checks of the encoder).
bool DecodeRleTga(const std::vector<uint8_t>& bytes, Image& image);

// The pictures of the sample's textures.
Image WhiteImage();
Image CheckerImage();     // 256 x 256, 8 x 8 cells
Image GradImage();        // 128 x 128, alpha ramp left to right
Image NoiseImage();       // 256 x 256, seeded grey noise
Image RingImage();        // 128 x 128, alpha disc with a ring
Image EnvmapImage();      // 128 x 128, sky over ground
Image BadgeImage();       // 32 x 32 checker
Image ButtonImage();      // 128 x 32
Image Raw4Image();        // 64 x 64
Image CursorImage();      // 16 x 16, flat orange
// A flat colour with a clear window `border` pixels in from each edge.
Image FramedImage(uint32_t width, uint32_t height, uint32_t border, uint32_t color);
// The colours of the head-up display's soul icon and ammunition flare.
inline constexpr uint32_t kSoulIconColor = 0xFF2060E0u;
inline constexpr uint32_t kAmmoFlareColor = 0xFFFFD040u;

// The picture of film frame k (its colour changes every frame).
uint32_t FilmFrameColor(int k);

// Mesh files.
std::vector<uint8_t> CubeQvm();
std::vector<uint8_t> FloorQvm();
std::vector<uint8_t> SphereQvm();
// The bounds that loading floor.qvm or sphere.qvm gives the settings record
// of its subset.
void FloorBounds(SubsetSettings& record);
void SphereBounds(SubsetSettings& record);
std::vector<uint8_t> CylinderQvm();
std::vector<uint8_t> WormQvm(uint32_t version);
std::vector<uint8_t> FlagAnb();

// Bone names of the worm, parents first.
const std::vector<std::string>& WormBoneNames();

// Sound files: 16-bit PCM waves.
std::vector<uint8_t> BeepWave();
std::vector<uint8_t> HumWave();
std::vector<uint8_t> MusicWave();

} // namespace sample
