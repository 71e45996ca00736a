// Screen captures: the back buffer scaled into a small 32-bit image (blue,
// green, red, alpha per pixel, rows top first) and written as an
// uncompressed TGA. One capture image exists per process, made on demand.
// Main thread only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace gfx {
class Device;
}

// Captures larger than this on either side are refused.
inline constexpr int32_t kMaxCaptureSide = 4096;

// Pixel formats the capture reads (the device's numbers).
inline constexpr uint32_t kCaptureFormatR5G6B5 = 23;
inline constexpr uint32_t kCaptureFormatX1R5G5B5 = 24;
inline constexpr uint32_t kCaptureFormatA1R5G5B5 = 25;

class CaptureImage {
  public:
    // Replaces the buffer with one of the given layout; 0 (the image left
    // empty) when the size is refused or cannot be allocated.
    int Allocate(int32_t width, int32_t height, int32_t bitsPerPixel);
    int32_t GetWidth() const { return width_; }
    int32_t GetHeight() const { return height_; }
    int32_t GetBitsPerPixel() const { return bitsPerPixel_; }
    int32_t GetRowBytes() const { return rowBytes_; }
    int32_t GetBytesPerPixel() const { return bytesPerPixel_; }
    int32_t GetSize() const { return size_; }
    std::vector<uint8_t> &Pixels() { return pixels_; }
    const std::vector<uint8_t> &Pixels() const { return pixels_; }

    // Writes the image as a TGA (bottom row first); 0 when the file cannot be
    // made or written, in which case a file already there stays as it was.
    int SaveTga(const std::string &fileName) const;

  private:
    std::vector<uint8_t> pixels_;
    int32_t width_ = 0;
    int32_t height_ = 0;
    int32_t bitsPerPixel_ = 0;
    int32_t rowBytes_ = 0;
    int32_t bytesPerPixel_ = 0;
    int32_t size_ = 0;
};

// A locked source surface: rows top first, `pitch` bytes apart.
struct CaptureSource {
    uint32_t format = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    int32_t pitch = 0;
    const uint8_t *bits = nullptr;
};

// The capture image; null before the first capture.
CaptureImage *GetCaptureImage();

// Makes sure the capture image is width x height (a new one filled with
// 0xFF) and scales the source into it bilinearly. A source smaller than
// 2 x 2, with a short pitch or without pixels is not read (the image keeps
// its pixels). 0 when the size is refused or the source was not read.
int CaptureFromSource(const CaptureSource &source, int32_t width, int32_t height);

// The same from back buffer 0 of the graphics device; the image keeps its
// pixels when there is no device or the buffer cannot be read.
int CaptureBackBuffer(int32_t width, int32_t height);
// The same from a given device.
int CaptureBackBuffer(gfx::Device *device, int32_t width, int32_t height);

// SaveTga of the capture image when there is one; 0 otherwise.
int SaveCapturedImage(const std::string &fileName);

// Tests only: forgets the capture image.
void ResetCaptureImageForTests();
