// Stencil shadow volumes: meshes drawn in bucket 4 cast shadows from a light
// placed at a fixed offset above each object. Every frame each volume is
// rebuilt from the mesh's first subset by extruding its silhouette edges
// away from the light, counted into the stencil buffer (front faces
// increment, back faces decrement, both wrapping), and one full-screen
// translucent black quad then darkens every pixel left marked.
#pragma once

#include <cstdint>

#include "base/math.h"

class MeshItem;
class ResourceLibrary;
struct DrawInstance;
namespace gfx {
class Device;
class VertexBuffer;
} // namespace gfx

// The shadow light sits at the object's world position plus this offset.
inline constexpr Vector3 kShadowLightOffset = {60.0f, 300.0f, -60.0f};
// No volume while the camera is this close to the object's position minus
// half the light offset.
inline constexpr float kShadowCameraExclusion = 200.0f;
inline constexpr uint32_t kShadowQuadColor = 0x99000000u;
// Debug keys (Windows virtual keys): C leaves out the sides, V shows the
// volumes as wire frames and leaves out the darkening.
inline constexpr uint32_t kShadowKeyCapsOnly = 0x43;
inline constexpr uint32_t kShadowKeyWireFrame = 0x56;

// Bytes of one side edge (two triangles of three positions) and of one cap
// triangle.
inline constexpr uint32_t kShadowEdgeBytes = 72;
inline constexpr uint32_t kShadowCapBytes = 36;

// A mesh edge as two vertex indices.
struct ShadowEdge {
    uint16_t a;
    uint16_t b;
};

// Adds the edge (a, b) to the list, or removes it when (a, b) or (b, a) is
// listed already (the last edge moves into its slot). The list has room for
// one more edge than `*count`.
void AddShadowEdge(ShadowEdge *edges, uint32_t *count, uint16_t a, uint16_t b);

// The volume of one draw instance.
struct ShadowVolume {
    uint32_t spare[2] = {0, 0};
    gfx::VertexBuffer *sideBuffer = nullptr; // 3T edges of 6 positions
    gfx::VertexBuffer *capBuffer = nullptr;  // T triangles of 3 positions
    uint32_t sideTriangles = 0;              // of the last build
    uint32_t capTriangles = 0;
    uint32_t capacity = 0; // T the buffers have room for

    ShadowVolume() = default;
    ~ShadowVolume() { ReleaseBuffers(); }
    ShadowVolume(const ShadowVolume &) = delete;
    ShadowVolume &operator=(const ShadowVolume &) = delete;

    // Buffers with room for T triangles (write-only, default pool); kept
    // when those held are large enough and on this device. Fail when T is 0,
    // without a device or when either buffer can't be made (none is kept).
    int32_t CreateBuffers(gfx::Device *device, uint32_t triangles);
    // Releases and clears each buffer held.
    void ReleaseBuffers();
    // Builds the volume of the mesh's first subset for the object-space
    // light point L. The mesh is not loaded here: an unloaded mesh, one
    // without subsets or triangles, or buffers that can't be made build
    // nothing (Fail, both counts 0); OutOfMemory when the edge list can't be
    // had.
    int32_t BuildFromMesh(gfx::Device *device, MeshItem *mesh, const Vector3 &light);
    // Draws the caps and, unless `capsOnly`, the sides (position only).
    void Draw(gfx::Device *device, bool capsOnly) const;
};

// The object-space light point of a world matrix: (translation + offset)
// carried back through the inverse. False when the matrix has no inverse.
bool ShadowLightPoint(const Matrix &world, Vector3 *out);
// Whether a camera at `camera` is far enough from the object at `position`
// for its volume to be built.
bool ShadowCameraFarEnough(const Vector3 &position, const Vector3 &camera);

// The process-wide darkening quad: four pre-transformed corners of the
// viewport of the moment. Made again when called again.
void CreateShadowQuad();
// Releases the quad (the device start-up makes it again).
void ReleaseShadowQuad();
// Draws the quad where the stencil holds 1 or more; nothing without a quad.
void DrawShadowQuad();

// --- bucket 4 -------------------------------------------------------------------------

// Create callback: gives the instance a volume, with buffers sized from its
// mesh when the mesh is loaded already. Buffers that can't be made leave it
// without a volume.
void ShadowBucketCreate(DrawInstance *instance);
// Release callback: frees the volume and clears the field.
void ShadowBucketRelease(DrawInstance *instance);
// Begin callback: states that let the volumes touch only the stencil (or,
// with V held, show them as wire frames); stage 0 and 1 textures are put
// aside.
void ShadowBucketBegin(uint32_t bucket);
// Per-instance callback: the pre-draw callback, the light point, the camera
// distance, the build and the two stencil passes.
void ShadowBucketInstance(DrawInstance *instance);
// End callback: the darkening quad (not with V held) and the states back.
void ShadowBucketEnd(uint32_t bucket);

// Gives `library` the bucket-4 callbacks and makes the darkening quad.
void InstallShadowVolumes(ResourceLibrary &library);
// Puts InstallShadowVolumes of the process's library into the display
// start-up (after the buckets are set up).
void RegisterShadowVolumes();
