// Vertex-animated meshes (".anb"): a fixed triangle list whose vertex
// positions and normals are stored once per frame. The loader turns a file
// into one index buffer and one vertex buffer holding every frame one after
// another, so that a frame is drawn at base vertex frame x vertices per
// frame.
//
// File, little-endian, no header beyond the counts:
//   frame count F u32, part count P u32,
//   per part: Np, Tp, Kp u32, Np x (position, normal: 6 x f32) of frame 0,
//             Kp x 3 u16 position indices, Tp x (u, v: 2 x f32),
//             Kp x 3 u16 texture-coordinate indices (both within the part),
//   then frames 1 to F - 1, each N x 24 bytes over all parts in part order.
// N, T and K are the sums of Np, Tp and Kp.
//
// The result has T render vertices per frame (position, normal, u, v: 32
// bytes, FVF 0x112), one per texture coordinate, and K x 3 indices (the
// texture indices). A render vertex takes the position and normal of the
// last corner that uses its texture coordinate; one no corner uses sits at
// the frame's first vertex with a zero normal and texture coordinate.
#pragma once

#include <cstdint>

class FileHandle;
namespace gfx {
class Device;
class IndexBuffer;
class VertexBuffer;
} // namespace gfx

// Bytes of a render vertex; largest N and T.
inline constexpr uint32_t kAnbRenderVertexBytes = 32;
inline constexpr uint32_t kAnbMaxVertices = 65536;

// Reads the file through the engine's file system and makes managed buffers
// on the graphics device. 1 with every output written, or 0 with nothing
// written and the graphics error text set: "Can´t open file: <path>",
// "Corrupt file: <path>", "Fail to Alloc memory for: <path>", "Error
// Creating Index Buffer" (also for a file without triangles), "Error
// Creating Vertex Buffer", "LockIndexBuffer" or "LockVertexBuffer".
int LoadAnimatedMeshFile(const char* path, gfx::VertexBuffer** vertexBuffer,
                         gfx::IndexBuffer** indexBuffer, uint32_t* frameCount,
                         uint32_t* triangleCount, uint32_t* verticesPerFrame);

// The same from a handle open for reading (read from its start) and a
// given device; `path` names the file in messages.
int LoadAnimatedMeshFrom(FileHandle& file, const char* path, gfx::Device* device,
                         gfx::VertexBuffer** vertexBuffer, gfx::IndexBuffer** indexBuffer,
                         uint32_t* frameCount, uint32_t* triangleCount,
                         uint32_t* verticesPerFrame);
