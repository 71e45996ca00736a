// The graphics device facade: the one door of the renderer to the GPU.
//
// A Device keeps the whole fixed-function state vector (render states, eight
// texture stages, transforms, material, lights, viewport, bindings) and the
// resources in CPU memory; a backend (GlDevice, RecordingDevice) only turns
// clears, draws, presents and read-backs into its own calls. Every call
// answers a Result code. Calls are made on the window thread, except that a
// texture level may be locked and written from another thread.
#pragma once

#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_set>
#include <vector>

#include "platform/os/gfx/fvf.h"
#include "platform/os/gfx/records.h"
#include "platform/os/gfx/types.h"

namespace gfx {

class Device;

// Reference-counted device object. Made with one reference; the last Release
// deletes it.
class Resource {
  public:
    Resource(const Resource &) = delete;
    Resource &operator=(const Resource &) = delete;

    uint32_t AddRef();
    uint32_t Release();
    uint32_t GetType() const { return type_; }
    // Creation number on its device (1 for the first resource), used in logs.
    uint32_t GetId() const { return id_; }
    Device *GetDevice() const { return device_; }

    // Backend bookkeeping (a GL object name and the generation it holds).
    uint32_t backendName = 0;
    uint32_t backendGeneration = 0;

  protected:
    Resource(Device *device, uint32_t type, uint32_t id);
    virtual ~Resource() = default;

  private:
    friend class Device;
    Device *device_;
    uint32_t type_;
    uint32_t id_;
    std::atomic<uint32_t> refs_{1};
};

// Texture with a CPU copy of every level.
class Texture : public Resource {
  public:
    uint32_t GetLevelCount() const { return uint32_t(levels_.size()); }
    uint32_t GetFormat() const { return format_; }
    int32_t GetLevelDesc(uint32_t level, SurfaceDesc *out) const;
    // Locks a level (or a rectangle of it; block-aligned for compressed
    // formats). A level can be locked once at a time.
    int32_t LockRect(uint32_t level, LockedRect *out, const Rect *rect, uint32_t flags);
    int32_t UnlockRect(uint32_t level);

    struct Level {
        uint32_t width = 0;
        uint32_t height = 0;
        uint32_t pitch = 0; // bytes of a row (of blocks when compressed)
        uint32_t rows = 0;  // rows (of blocks) stored
        std::vector<uint8_t> bytes;
        bool locked = false;
        bool lockedReadOnly = false;
    };

    // Backend access: runs fn(levels) when no level is locked and the
    // contents changed since `seenGeneration`; returns false when a level is
    // locked (the caller keeps the old contents and tries again later).
    template <typename Fn> bool ReadIfChanged(uint32_t *seenGeneration, Fn &&fn) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (lockedCount_ != 0) {
            return false;
        }
        if (*seenGeneration != generation_) {
            fn(levels_);
            *seenGeneration = generation_;
        }
        return true;
    }
    const Level &GetLevel(uint32_t level) const { return levels_[level]; }
    uint32_t GetUsage() const { return usage_; }
    uint32_t GetPool() const { return pool_; }

    // Called on the drawing thread before each draw that samples the texture
    // (a video texture brings in its latest picture there); null for none.
    using SampleHook = void (*)(void *context);
    void SetSampleHook(SampleHook hook, void *context) {
        sampleHook_ = hook;
        sampleContext_ = context;
    }

  private:
    friend class Device;
    Texture(Device *device, uint32_t id, uint32_t usage, uint32_t format, uint32_t pool);

    uint32_t usage_;
    uint32_t format_;
    uint32_t pool_;
    std::vector<Level> levels_;
    mutable std::mutex mutex_;
    uint32_t lockedCount_ = 0;
    uint32_t generation_ = 1;
    SampleHook sampleHook_ = nullptr;
    void *sampleContext_ = nullptr;
};

// Vertex or index data in CPU memory.
class Buffer : public Resource {
  public:
    int32_t Lock(uint32_t offset, uint32_t size, uint8_t **data, uint32_t flags);
    int32_t Unlock();
    uint32_t GetLength() const { return uint32_t(bytes_.size()); }
    const uint8_t *Data() const { return bytes_.data(); }
    uint32_t GetUsage() const { return usage_; }
    uint32_t GetPool() const { return pool_; }

  protected:
    Buffer(Device *device, uint32_t type, uint32_t id, uint32_t length, uint32_t usage,
           uint32_t pool);

    std::vector<uint8_t> bytes_;
    uint32_t usage_;
    uint32_t pool_;
    uint32_t locks_ = 0;
};

class VertexBuffer : public Buffer {
  public:
    uint32_t GetFvf() const { return fvf_; }
    int32_t GetDesc(VertexBufferDesc *out) const;

  private:
    friend class Device;
    VertexBuffer(Device *device, uint32_t id, uint32_t length, uint32_t usage, uint32_t fvf,
                 uint32_t pool);
    uint32_t fvf_;
};

class IndexBuffer : public Buffer {
  public:
    uint32_t GetFormat() const { return format_; }
    uint32_t IndexSize() const { return format_ == Format::Index32 ? 4 : 2; }
    int32_t GetDesc(IndexBufferDesc *out) const;

  private:
    friend class Device;
    IndexBuffer(Device *device, uint32_t id, uint32_t length, uint32_t usage, uint32_t format,
                uint32_t pool);
    uint32_t format_;
};

// The back buffer as a lockable surface: a lock reads the pixels drawn so far
// (read-only, X8R8G8B8, rows top-down).
class Surface : public Resource {
  public:
    int32_t GetDesc(SurfaceDesc *out) const;
    int32_t LockRect(LockedRect *out, const Rect *rect, uint32_t flags);
    int32_t UnlockRect();

  private:
    friend class Device;
    Surface(Device *device, uint32_t id);
    uint32_t width_ = 0;
    uint32_t height_ = 0;
    std::vector<uint8_t> pixels_;
    bool locked_ = false;
};

// A light slot of the state vector: any u32 index.
struct LightSlot {
    Light light{};
    bool enabled = false;
};

// Everything a draw depends on. Starts at the fixed-function defaults.
struct StateVector {
    uint32_t renderStates[RenderState::Count];
    uint32_t stageStates[kStageCount][StageState::Count];
    Matrix world[4];
    Matrix view;
    Matrix projection;
    Matrix textureTransform[kStageCount];
    Material material{};
    std::map<uint32_t, LightSlot> lights;
    Viewport viewport;
    Texture *textures[kStageCount] = {};
    uint32_t fvf = 0;
    VertexBuffer *stream = nullptr;
    uint32_t streamStride = 0;
    IndexBuffer *indices = nullptr;
    uint32_t baseVertex = 0;

    // Defaults for every value; bindings are left to the caller.
    void SetDefaults(const Viewport &fullViewport);
    // Pointer to the matrix of a transform id, or null for an unknown id.
    Matrix *TransformFor(uint32_t id);
    const Matrix *TransformFor(uint32_t id) const;
};

// Vertex count of `count` primitives of a type (0 for an unknown type).
uint32_t VerticesForPrimitives(uint32_t type, uint32_t count);

// A validated draw handed to the backend.
struct DrawCall {
    uint32_t primitive = 0;
    uint32_t primitiveCount = 0;
    uint32_t vertexCount = 0;          // vertices drawn (non-indexed) or indices used
    const uint8_t *vertices = nullptr; // vertex 0 of the draw (start or base applied)
    uint32_t verticesAvailable = 0;    // vertices readable from `vertices`
    uint32_t stride = 0;
    VertexLayout layout;
    const uint8_t *indices = nullptr; // null for a non-indexed draw
    bool index32 = false;
    uint32_t maxIndex = 0; // largest index used (indexed draws)
};

class Device {
  public:
    virtual ~Device();
    Device(const Device &) = delete;
    Device &operator=(const Device &) = delete;

    // --- device life -----------------------------------------------------------
    int32_t TestCooperativeLevel();
    int32_t Reset(const PresentParameters &params);
    int32_t ResourceManagerDiscardBytes(uint32_t bytes);
    int32_t GetDeviceCaps(Caps *out);
    // Test hooks: LostFlag bits; 0 makes the device usable again.
    void SimulateDeviceLost(uint32_t flags);
    // Caps: the largest texture side reported and accepted (0: the backend's).
    void SetMaxTextureSize(uint32_t size);
    const PresentParameters &GetPresentParameters() const { return params_; }
    uint32_t GetBackBufferWidth() const { return backWidth_; }
    uint32_t GetBackBufferHeight() const { return backHeight_; }
    // Text of the last backend failure (a GL error after present, ...).
    const std::string &GetLastErrorText() const { return lastError_; }

    // --- frame -----------------------------------------------------------------
    int32_t BeginScene();
    int32_t EndScene();
    bool InScene() const { return inScene_; }
    int32_t Present();
    // Clears the viewport (or the given rectangles within it) whatever the
    // depth, stencil and colour write states are.
    int32_t Clear(uint32_t count, const Rect *rects, uint32_t flags, uint32_t color, float z,
                  uint32_t stencil);
    int32_t SetViewport(const Viewport &viewport);
    int32_t GetViewport(Viewport *out) const;
    int32_t SetGammaRamp(uint32_t flags, const GammaRamp &ramp);
    int32_t GetGammaRamp(GammaRamp *out) const;
    int32_t GetBackBuffer(uint32_t index, uint32_t type, Surface **out);

    // --- state -------------------------------------------------------------------
    int32_t SetRenderState(uint32_t state, uint32_t value);
    int32_t GetRenderState(uint32_t state, uint32_t *value) const;
    int32_t SetTextureStageState(uint32_t stage, uint32_t type, uint32_t value);
    int32_t GetTextureStageState(uint32_t stage, uint32_t type, uint32_t *value) const;
    int32_t SetTransform(uint32_t state, const Matrix &matrix);
    int32_t GetTransform(uint32_t state, Matrix *out) const;
    int32_t SetMaterial(const Material &material);
    int32_t GetMaterial(Material *out) const;
    int32_t SetLight(uint32_t index, const Light &light);
    int32_t GetLight(uint32_t index, Light *out) const;
    int32_t LightEnable(uint32_t index, bool enable);
    int32_t GetLightEnable(uint32_t index, bool *out) const;
    // Binds a texture (a reference is held while bound). GetTexture gives the
    // bound texture without adding a reference.
    int32_t SetTexture(uint32_t stage, Texture *texture);
    int32_t GetTexture(uint32_t stage, Texture **out) const;
    // The vertex format of the following draws.
    int32_t SetVertexShader(uint32_t fvf);
    int32_t GetVertexShader(uint32_t *out) const;
    int32_t SetStreamSource(uint32_t stream, VertexBuffer *buffer, uint32_t stride);
    int32_t GetStreamSource(uint32_t stream, VertexBuffer **out, uint32_t *stride) const;
    int32_t SetIndices(IndexBuffer *buffer, uint32_t baseVertex);
    int32_t GetIndices(IndexBuffer **out, uint32_t *baseVertex) const;
    const StateVector &GetState() const { return state_; }

    // --- state blocks ---------------------------------------------------------------
    // Between Begin and End the setters record into the block and leave the
    // device state unchanged. Capture refreshes the recorded entries from the
    // current state; Apply sets exactly those entries.
    int32_t BeginStateBlock();
    int32_t EndStateBlock(uint32_t *token);
    int32_t ApplyStateBlock(uint32_t token);
    int32_t CaptureStateBlock(uint32_t token);
    int32_t DeleteStateBlock(uint32_t token);

    // --- resources ---------------------------------------------------------------
    int32_t CreateTexture(uint32_t width, uint32_t height, uint32_t levels, uint32_t usage,
                          uint32_t format, uint32_t pool, Texture **out);
    int32_t CreateVertexBuffer(uint32_t length, uint32_t usage, uint32_t fvf, uint32_t pool,
                               VertexBuffer **out);
    int32_t CreateIndexBuffer(uint32_t length, uint32_t usage, uint32_t format, uint32_t pool,
                              IndexBuffer **out);

    // --- drawing -----------------------------------------------------------------
    // While skipped, clears and draws are checked as usual and answer as if
    // done, but the backend carries none out: the back buffer keeps what it
    // holds (test runs that look at the pixels of a few frames only).
    void SetDrawingSkipped(bool skipped) { drawingSkipped_ = skipped; }
    // Also true of a device that never shows what it draws (BlindDevice).
    bool DrawingSkipped() const { return drawingSkipped_ || drawsNothing_; }
    int32_t DrawPrimitive(uint32_t type, uint32_t startVertex, uint32_t primitiveCount);
    int32_t DrawIndexedPrimitive(uint32_t type, uint32_t minIndex, uint32_t numVertices,
                                 uint32_t startIndex, uint32_t primitiveCount);
    // Draws from caller memory; afterwards no stream source and no indices are
    // bound.
    int32_t DrawPrimitiveUP(uint32_t type, uint32_t primitiveCount, const void *data,
                            uint32_t stride);

  protected:
    Device();
    // Backends call this once their back buffer exists.
    // Backends call ShutdownDevice first thing in their destructor: it unbinds
    // everything and hands every live resource to DoResourceDestroyed.
    void ShutdownDevice();
    void InitializeDevice(const PresentParameters &params, uint32_t backWidth, uint32_t backHeight,
                          uint32_t maxTextureSize);

    // Backend operations.
    virtual int32_t DoClear(const Rect &area, uint32_t flags, uint32_t color, float z,
                            uint32_t stencil) = 0;
    virtual int32_t DoDraw(const DrawCall &call) = 0;
    virtual int32_t DoPresent() = 0;
    // Pixels of the back buffer: X8R8G8B8 as bytes B, G, R, X, rows top-down.
    virtual int32_t DoReadBack(std::vector<uint8_t> *pixels, uint32_t *width, uint32_t *height) = 0;
    virtual void DoSetGamma(const GammaRamp &ramp) = 0;
    // After a successful reset (the state vector is back at its defaults).
    virtual int32_t DoReset(const PresentParameters &params, uint32_t *backWidth,
                            uint32_t *backHeight) = 0;
    virtual void DoResourceDestroyed(Resource *resource) { (void)resource; }
    virtual uint32_t DoTextureFilterCaps() const;

    // Call logging (RecordingDevice): formatted lines go to Record().
    bool logging_ = false;
    virtual void Record(const std::string &line) { (void)line; }
    void Log(const char *format, ...) __attribute__((format(printf, 2, 3)));

    std::string lastError_;
    bool drawingSkipped_ = false;
    bool drawsNothing_ = false;

  private:
    friend class Resource;
    friend class Surface;
    void ResourceDestroyed(Resource *resource);
    uint32_t NextId() { return ++nextId_; }
    void ReleaseBindings();
    int32_t PrepareDraw(DrawCall *call, uint32_t type, uint32_t primitiveCount);

    struct BlockEntry;
    struct StateBlock;
    bool RecordingBlock() const { return recording_ != nullptr; }
    void RecordEntry(const BlockEntry &entry);

    StateVector state_;
    PresentParameters params_;
    uint32_t backWidth_ = 0;
    uint32_t backHeight_ = 0;
    uint32_t maxTextureSize_ = 0;
    uint32_t backendMaxTextureSize_ = 0;
    uint32_t lostFlags_ = 0;
    bool inScene_ = false;
    GammaRamp gamma_{};
    uint32_t nextId_ = 0;
    std::mutex resourcesMutex_;
    std::unordered_set<Resource *> resources_;
    std::unique_ptr<StateBlock> recording_;
    std::map<uint32_t, std::unique_ptr<StateBlock>> blocks_;
    uint32_t nextBlock_ = 0;
};

} // namespace gfx
