// ".anb" vertex-animated meshes from untrusted bytes: reading fails cleanly
// or gives buffers of F x T render vertices and K x 3 indices below T.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "base/file_system.h"
#include "library/anb_mesh.h"
#include "platform/os/gfx/recording_device.h"

namespace {

class QuietDevice : public gfx::RecordingDevice {
public:
    QuietDevice() : gfx::RecordingDevice(1, 1) {}

protected:
    void Record(const std::string&) override {}
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Render vertices are F x T x 32 bytes from F x N x 24 + T x 8 in the
    // file; inputs of the size of real files (the sample's flag is 22 KB)
    // keep the buffers small.
    if (size > 32u << 10) {
        return 0;
    }
    QuietDevice device;
    FileHandle file;
    file.OpenMemory(data, static_cast<uint32_t>(size));
    gfx::VertexBuffer* vertices = nullptr;
    gfx::IndexBuffer* indices = nullptr;
    uint32_t frames = 0;
    uint32_t triangles = 0;
    uint32_t perFrame = 0;
    if (LoadAnimatedMeshFrom(file, "fuzz.anb", &device, &vertices, &indices, &frames, &triangles,
                             &perFrame) != 1) {
        return 0;
    }
    if (frames == 0 || perFrame == 0 ||
        vertices->GetLength() != uint64_t{frames} * perFrame * kAnbRenderVertexBytes ||
        indices->GetLength() != uint64_t{triangles} * 6) {
        std::abort();
    }
    const uint8_t* d = indices->Data();
    for (uint64_t i = 0; i < uint64_t{triangles} * 3; ++i) {
        if (uint32_t(d[2 * i] | (d[2 * i + 1] << 8)) >= perFrame) {
            std::abort();
        }
    }
    vertices->Release();
    indices->Release();
    return 0;
}
