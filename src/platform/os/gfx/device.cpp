#include "platform/os/gfx/device.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>

namespace gfx {

// --- resources ---------------------------------------------------------------------

Resource::Resource(Device *device, uint32_t type, uint32_t id)
    : device_(device), type_(type), id_(id) {}

uint32_t Resource::AddRef() { return ++refs_; }

uint32_t Resource::Release() {
    const uint32_t left = --refs_;
    if (left == 0) {
        if (device_ != nullptr) {
            device_->ResourceDestroyed(this);
        }
        delete this;
    }
    return left;
}

Texture::Texture(Device *device, uint32_t id, uint32_t usage, uint32_t format, uint32_t pool)
    : Resource(device, ResourceType::Texture, id), usage_(usage), format_(format), pool_(pool) {}

int32_t Texture::GetLevelDesc(uint32_t level, SurfaceDesc *out) const {
    if (out == nullptr || level >= levels_.size()) {
        return Result::InvalidCall;
    }
    const Level &l = levels_[level];
    *out = SurfaceDesc{};
    out->format = format_;
    out->type = ResourceType::Texture;
    out->usage = usage_;
    out->pool = pool_;
    out->size = uint32_t(l.bytes.size());
    out->width = l.width;
    out->height = l.height;
    return Result::Ok;
}

int32_t Texture::LockRect(uint32_t level, LockedRect *out, const Rect *rect, uint32_t flags) {
    if (out == nullptr || level >= levels_.size()) {
        return Result::InvalidCall;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    Level &l = levels_[level];
    if (l.locked) {
        return Result::InvalidCall;
    }
    size_t offset = 0;
    if (rect != nullptr) {
        if (rect->left < 0 || rect->top < 0 || rect->left >= rect->right ||
            rect->top >= rect->bottom || uint32_t(rect->right) > l.width ||
            uint32_t(rect->bottom) > l.height) {
            return Result::InvalidCall;
        }
        if (IsCompressedFormat(format_)) {
            if ((rect->left & 3) != 0 || (rect->top & 3) != 0) {
                return Result::InvalidCall;
            }
            offset = size_t(rect->top / 4) * l.pitch +
                     size_t(rect->left / 4) * FormatBlockBytes(format_);
        } else {
            offset =
                size_t(rect->top) * l.pitch + size_t(rect->left) * FormatBytesPerPixel(format_);
        }
    }
    l.locked = true;
    l.lockedReadOnly = (flags & Lock::ReadOnly) != 0;
    ++lockedCount_;
    out->pitch = int32_t(l.pitch);
    out->bits = l.bytes.data() + offset;
    return Result::Ok;
}

int32_t Texture::UnlockRect(uint32_t level) {
    if (level >= levels_.size()) {
        return Result::InvalidCall;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    Level &l = levels_[level];
    if (!l.locked) {
        return Result::InvalidCall;
    }
    l.locked = false;
    --lockedCount_;
    if (!l.lockedReadOnly) {
        ++generation_;
    }
    return Result::Ok;
}

Buffer::Buffer(Device *device, uint32_t type, uint32_t id, uint32_t length, uint32_t usage,
               uint32_t pool)
    : Resource(device, type, id), bytes_(length, 0), usage_(usage), pool_(pool) {}

int32_t Buffer::Lock(uint32_t offset, uint32_t size, uint8_t **data, uint32_t flags) {
    (void)flags;
    if (data == nullptr) {
        return Result::InvalidCall;
    }
    *data = nullptr;
    const uint64_t length = bytes_.size();
    if (offset > length || (size != 0 && uint64_t(offset) + size > length)) {
        return Result::InvalidCall;
    }
    ++locks_;
    *data = bytes_.data() + offset;
    return Result::Ok;
}

int32_t Buffer::Unlock() {
    if (locks_ == 0) {
        return Result::InvalidCall;
    }
    --locks_;
    return Result::Ok;
}

VertexBuffer::VertexBuffer(Device *device, uint32_t id, uint32_t length, uint32_t usage,
                           uint32_t fvf, uint32_t pool)
    : Buffer(device, ResourceType::VertexBuffer, id, length, usage, pool), fvf_(fvf) {}

int32_t VertexBuffer::GetDesc(VertexBufferDesc *out) const {
    if (out == nullptr) {
        return Result::InvalidCall;
    }
    out->format = Format::VertexData;
    out->type = ResourceType::VertexBuffer;
    out->usage = usage_;
    out->pool = pool_;
    out->size = GetLength();
    out->fvf = fvf_;
    return Result::Ok;
}

IndexBuffer::IndexBuffer(Device *device, uint32_t id, uint32_t length, uint32_t usage,
                         uint32_t format, uint32_t pool)
    : Buffer(device, ResourceType::IndexBuffer, id, length, usage, pool), format_(format) {}

int32_t IndexBuffer::GetDesc(IndexBufferDesc *out) const {
    if (out == nullptr) {
        return Result::InvalidCall;
    }
    out->format = format_;
    out->type = ResourceType::IndexBuffer;
    out->usage = usage_;
    out->pool = pool_;
    out->size = GetLength();
    return Result::Ok;
}

Surface::Surface(Device *device, uint32_t id) : Resource(device, ResourceType::Surface, id) {}

int32_t Surface::GetDesc(SurfaceDesc *out) const {
    if (out == nullptr) {
        return Result::InvalidCall;
    }
    *out = SurfaceDesc{};
    out->format = Format::X8R8G8B8;
    out->type = ResourceType::Surface;
    out->usage = Usage::RenderTarget;
    out->size = width_ * height_ * 4;
    out->width = width_;
    out->height = height_;
    return Result::Ok;
}

int32_t Surface::LockRect(LockedRect *out, const Rect *rect, uint32_t flags) {
    (void)flags;
    if (out == nullptr || locked_) {
        return Result::InvalidCall;
    }
    Device *device = GetDevice();
    if (device == nullptr) {
        return Result::InvalidCall;
    }
    uint32_t w = 0;
    uint32_t h = 0;
    const int32_t r = device->DoReadBack(&pixels_, &w, &h);
    if (Failed(r)) {
        return r;
    }
    width_ = w;
    height_ = h;
    size_t offset = 0;
    if (rect != nullptr) {
        if (rect->left < 0 || rect->top < 0 || rect->left >= rect->right ||
            rect->top >= rect->bottom || uint32_t(rect->right) > w || uint32_t(rect->bottom) > h) {
            return Result::InvalidCall;
        }
        offset = size_t(rect->top) * w * 4 + size_t(rect->left) * 4;
    }
    locked_ = true;
    out->pitch = int32_t(w * 4);
    out->bits = pixels_.data() + offset;
    return Result::Ok;
}

int32_t Surface::UnlockRect() {
    if (!locked_) {
        return Result::InvalidCall;
    }
    locked_ = false;
    return Result::Ok;
}

// --- state vector ------------------------------------------------------------------

void StateVector::SetDefaults(const Viewport &fullViewport) {
    std::fill(std::begin(renderStates), std::end(renderStates), 0u);
    uint32_t *rs = renderStates;
    rs[RenderState::DepthEnable] = 1;
    rs[RenderState::FillMode] = Fill::Solid;
    rs[RenderState::ShadeMode] = Shade::Gouraud;
    rs[RenderState::DepthWriteEnable] = 1;
    rs[RenderState::AlphaTestEnable] = 0;
    rs[RenderState::LastPixel] = 1;
    rs[RenderState::SrcBlend] = Blend::One;
    rs[RenderState::DestBlend] = Blend::Zero;
    rs[RenderState::CullMode] = Cull::Ccw;
    rs[RenderState::DepthFunc] = Cmp::LessEqual;
    rs[RenderState::AlphaRef] = 0;
    rs[RenderState::AlphaFunc] = Cmp::Always;
    rs[RenderState::DitherEnable] = 0;
    rs[RenderState::AlphaBlendEnable] = 0;
    rs[RenderState::FogEnable] = 0;
    rs[RenderState::SpecularEnable] = 0;
    rs[RenderState::FogColor] = 0;
    rs[RenderState::FogTableMode] = FogMode::None;
    rs[RenderState::FogStart] = std::bit_cast<uint32_t>(0.0f);
    rs[RenderState::FogEnd] = std::bit_cast<uint32_t>(1.0f);
    rs[RenderState::FogDensity] = std::bit_cast<uint32_t>(1.0f);
    rs[RenderState::StencilEnable] = 0;
    rs[RenderState::StencilFail] = StencilOp::Keep;
    rs[RenderState::StencilDepthFail] = StencilOp::Keep;
    rs[RenderState::StencilPass] = StencilOp::Keep;
    rs[RenderState::StencilFunc] = Cmp::Always;
    rs[RenderState::StencilRef] = 0;
    rs[RenderState::StencilMask] = 0xFFFFFFFFu;
    rs[RenderState::StencilWriteMask] = 0xFFFFFFFFu;
    rs[RenderState::TextureFactor] = 0xFFFFFFFFu;
    rs[RenderState::Clipping] = 1;
    rs[RenderState::Lighting] = 1;
    rs[RenderState::Ambient] = 0;
    rs[RenderState::FogVertexMode] = FogMode::None;
    rs[RenderState::ColorVertex] = 1;
    rs[RenderState::LocalViewer] = 1;
    rs[RenderState::NormalizeNormals] = 0;
    rs[RenderState::DiffuseMaterialSource] = 1;  // colour 1
    rs[RenderState::SpecularMaterialSource] = 2; // colour 2
    rs[RenderState::AmbientMaterialSource] = 0;  // material
    rs[RenderState::EmissiveMaterialSource] = 0;
    rs[RenderState::PointSize] = std::bit_cast<uint32_t>(1.0f);
    rs[RenderState::PointSizeMin] = std::bit_cast<uint32_t>(0.0f);
    rs[RenderState::PointScaleA] = std::bit_cast<uint32_t>(1.0f);
    rs[RenderState::MultisampleAntialias] = 1;
    rs[RenderState::MultisampleMask] = 0xFFFFFFFFu;
    rs[RenderState::PointSizeMax] = std::bit_cast<uint32_t>(64.0f);
    rs[RenderState::ColorWriteEnable] = 0xF;
    rs[RenderState::BlendOp] = 1; // add

    for (uint32_t stage = 0; stage < kStageCount; ++stage) {
        uint32_t *ss = stageStates[stage];
        std::fill(ss, ss + StageState::Count, 0u);
        ss[StageState::ColorOp] = stage == 0 ? TextureOp::Modulate : TextureOp::Disable;
        ss[StageState::ColorArg1] = TextureArg::Texture;
        ss[StageState::ColorArg2] = TextureArg::Current;
        ss[StageState::AlphaOp] = stage == 0 ? TextureOp::SelectArg1 : TextureOp::Disable;
        ss[StageState::AlphaArg1] = TextureArg::Texture;
        ss[StageState::AlphaArg2] = TextureArg::Current;
        ss[StageState::TexCoordIndex] = stage;
        ss[StageState::AddressU] = TextureAddress::Wrap;
        ss[StageState::AddressV] = TextureAddress::Wrap;
        ss[StageState::AddressW] = TextureAddress::Wrap;
        ss[StageState::MagFilter] = TextureFilter::Point;
        ss[StageState::MinFilter] = TextureFilter::Point;
        ss[StageState::MipFilter] = TextureFilter::None;
        ss[StageState::MaxAnisotropy] = 1;
        ss[StageState::TextureTransformFlags] = TextureTransformFlag::Disable;
        ss[StageState::ColorArg0] = TextureArg::Current;
        ss[StageState::AlphaArg0] = TextureArg::Current;
        ss[StageState::ResultArg] = TextureArg::Current;
        textureTransform[stage] = IdentityMatrix();
    }
    for (Matrix &m : world) {
        m = IdentityMatrix();
    }
    view = IdentityMatrix();
    projection = IdentityMatrix();
    material = Material{};
    lights.clear();
    viewport = fullViewport;
    fvf = 0;
    streamStride = 0;
    baseVertex = 0;
}

Matrix *StateVector::TransformFor(uint32_t id) {
    return const_cast<Matrix *>(static_cast<const StateVector *>(this)->TransformFor(id));
}

const Matrix *StateVector::TransformFor(uint32_t id) const {
    if (id == Transform::View) {
        return &view;
    }
    if (id == Transform::Projection) {
        return &projection;
    }
    if (id >= Transform::Texture0 && id < Transform::Texture0 + kStageCount) {
        return &textureTransform[id - Transform::Texture0];
    }
    if (id >= Transform::World && id < Transform::World + 4) {
        return &world[id - Transform::World];
    }
    return nullptr;
}

uint32_t VerticesForPrimitives(uint32_t type, uint32_t count) {
    if (count == 0) {
        return 0;
    }
    const uint64_t c = count;
    uint64_t v = 0;
    switch (type) {
    case Primitive::PointList:
        v = c;
        break;
    case Primitive::LineList:
        v = 2 * c;
        break;
    case Primitive::LineStrip:
        v = c + 1;
        break;
    case Primitive::TriangleList:
        v = 3 * c;
        break;
    case Primitive::TriangleStrip:
    case Primitive::TriangleFan:
        v = c + 2;
        break;
    default:
        return 0;
    }
    return v > 0xFFFFFFFFu ? 0 : uint32_t(v);
}

// --- state blocks -------------------------------------------------------------------

enum class EntryKind : uint8_t {
    RenderState,
    StageState,
    Transform,
    Material,
    Light,
    LightEnable,
    Viewport,
    Texture,
    VertexShader,
    StreamSource,
    Indices,
};

struct Device::BlockEntry {
    EntryKind kind;
    uint32_t a = 0; // state id, stage, transform id, light index
    uint32_t b = 0; // stage-state type
    uint32_t value = 0;
    Matrix matrix{};
    Material material{};
    Light light{};
    Viewport viewport{};
    Resource *resource = nullptr; // holds a reference
};

struct Device::StateBlock {
    std::vector<BlockEntry> entries;
    ~StateBlock() {
        for (BlockEntry &e : entries) {
            if (e.resource != nullptr) {
                e.resource->Release();
            }
        }
    }
};

void Device::RecordEntry(const BlockEntry &entry) {
    // A later setting of the same entry replaces the earlier one.
    for (BlockEntry &e : recording_->entries) {
        if (e.kind == entry.kind && e.a == entry.a && e.b == entry.b) {
            if (e.resource != nullptr) {
                e.resource->Release();
            }
            e = entry;
            if (e.resource != nullptr) {
                e.resource->AddRef();
            }
            return;
        }
    }
    recording_->entries.push_back(entry);
    if (entry.resource != nullptr) {
        entry.resource->AddRef();
    }
}

int32_t Device::BeginStateBlock() {
    Log("BeginStateBlock");
    if (recording_) {
        return Result::InvalidCall;
    }
    recording_ = std::make_unique<StateBlock>();
    return Result::Ok;
}

int32_t Device::EndStateBlock(uint32_t *token) {
    Log("EndStateBlock");
    if (!recording_ || token == nullptr) {
        return Result::InvalidCall;
    }
    *token = ++nextBlock_;
    blocks_[*token] = std::move(recording_);
    return Result::Ok;
}

int32_t Device::ApplyStateBlock(uint32_t token) {
    Log("ApplyStateBlock %u", token);
    auto it = blocks_.find(token);
    if (it == blocks_.end() || recording_) {
        return Result::InvalidCall;
    }
    for (const BlockEntry &e : it->second->entries) {
        switch (e.kind) {
        case EntryKind::RenderState:
            SetRenderState(e.a, e.value);
            break;
        case EntryKind::StageState:
            SetTextureStageState(e.a, e.b, e.value);
            break;
        case EntryKind::Transform:
            SetTransform(e.a, e.matrix);
            break;
        case EntryKind::Material:
            SetMaterial(e.material);
            break;
        case EntryKind::Light:
            SetLight(e.a, e.light);
            break;
        case EntryKind::LightEnable:
            LightEnable(e.a, e.value != 0);
            break;
        case EntryKind::Viewport:
            SetViewport(e.viewport);
            break;
        case EntryKind::Texture:
            SetTexture(e.a, static_cast<Texture *>(e.resource));
            break;
        case EntryKind::VertexShader:
            SetVertexShader(e.value);
            break;
        case EntryKind::StreamSource:
            SetStreamSource(0, static_cast<VertexBuffer *>(e.resource), e.value);
            break;
        case EntryKind::Indices:
            SetIndices(static_cast<IndexBuffer *>(e.resource), e.value);
            break;
        }
    }
    return Result::Ok;
}

int32_t Device::CaptureStateBlock(uint32_t token) {
    Log("CaptureStateBlock %u", token);
    auto it = blocks_.find(token);
    if (it == blocks_.end() || recording_) {
        return Result::InvalidCall;
    }
    for (BlockEntry &e : it->second->entries) {
        Resource *newResource = nullptr;
        switch (e.kind) {
        case EntryKind::RenderState:
            e.value = state_.renderStates[e.a];
            break;
        case EntryKind::StageState:
            e.value = state_.stageStates[e.a][e.b];
            break;
        case EntryKind::Transform:
            e.matrix = *state_.TransformFor(e.a);
            break;
        case EntryKind::Material:
            e.material = state_.material;
            break;
        case EntryKind::Light: {
            auto l = state_.lights.find(e.a);
            e.light = l == state_.lights.end() ? Light{} : l->second.light;
            break;
        }
        case EntryKind::LightEnable: {
            auto l = state_.lights.find(e.a);
            e.value = l != state_.lights.end() && l->second.enabled ? 1 : 0;
            break;
        }
        case EntryKind::Viewport:
            e.viewport = state_.viewport;
            break;
        case EntryKind::Texture:
            newResource = state_.textures[e.a];
            break;
        case EntryKind::VertexShader:
            e.value = state_.fvf;
            break;
        case EntryKind::StreamSource:
            newResource = state_.stream;
            e.value = state_.streamStride;
            break;
        case EntryKind::Indices:
            newResource = state_.indices;
            e.value = state_.baseVertex;
            break;
        }
        if (e.kind == EntryKind::Texture || e.kind == EntryKind::StreamSource ||
            e.kind == EntryKind::Indices) {
            if (newResource != nullptr) {
                newResource->AddRef();
            }
            if (e.resource != nullptr) {
                e.resource->Release();
            }
            e.resource = newResource;
        }
    }
    return Result::Ok;
}

int32_t Device::DeleteStateBlock(uint32_t token) {
    Log("DeleteStateBlock %u", token);
    if (blocks_.erase(token) == 0) {
        return Result::InvalidCall;
    }
    return Result::Ok;
}

// --- device -------------------------------------------------------------------------

Device::Device() {
    Viewport vp;
    state_.SetDefaults(vp);
}

Device::~Device() { ShutdownDevice(); }

void Device::ShutdownDevice() {
    recording_.reset();
    blocks_.clear();
    ReleaseBindings();
    std::vector<Resource *> left;
    {
        std::lock_guard<std::mutex> lock(resourcesMutex_);
        left.assign(resources_.begin(), resources_.end());
        resources_.clear();
    }
    for (Resource *r : left) {
        DoResourceDestroyed(r);
        r->device_ = nullptr;
    }
}

void Device::InitializeDevice(const PresentParameters &params, uint32_t backWidth,
                              uint32_t backHeight, uint32_t maxTextureSize) {
    params_ = params;
    backWidth_ = backWidth;
    backHeight_ = backHeight;
    backendMaxTextureSize_ = maxTextureSize;
    Viewport vp;
    vp.width = backWidth;
    vp.height = backHeight;
    state_.SetDefaults(vp);
    for (int i = 0; i < 256; ++i) {
        const uint16_t v = uint16_t(i * 257);
        gamma_.red[i] = gamma_.green[i] = gamma_.blue[i] = v;
    }
}

void Device::Log(const char *format, ...) {
    if (!logging_) {
        return;
    }
    char buffer[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    Record(buffer);
}

void Device::ResourceDestroyed(Resource *resource) {
    {
        std::lock_guard<std::mutex> lock(resourcesMutex_);
        resources_.erase(resource);
    }
    DoResourceDestroyed(resource);
}

void Device::ReleaseBindings() {
    for (Texture *&t : state_.textures) {
        if (t != nullptr) {
            Texture *old = t;
            t = nullptr;
            old->Release();
        }
    }
    if (state_.stream != nullptr) {
        VertexBuffer *old = state_.stream;
        state_.stream = nullptr;
        old->Release();
    }
    if (state_.indices != nullptr) {
        IndexBuffer *old = state_.indices;
        state_.indices = nullptr;
        old->Release();
    }
}

uint32_t Device::DoTextureFilterCaps() const {
    return FilterCaps::MinPoint | FilterCaps::MinLinear | FilterCaps::MinAnisotropic |
           FilterCaps::MipPoint | FilterCaps::MipLinear | FilterCaps::MagPoint |
           FilterCaps::MagLinear | FilterCaps::MagAnisotropic;
}

int32_t Device::TestCooperativeLevel() {
    Log("TestCooperativeLevel");
    if (lostFlags_ & LostFlag::Lost) {
        return Result::DeviceLost;
    }
    if (lostFlags_ & LostFlag::NotReset) {
        return Result::DeviceNotReset;
    }
    return Result::Ok;
}

void Device::SimulateDeviceLost(uint32_t flags) { lostFlags_ = flags; }

void Device::SetMaxTextureSize(uint32_t size) { maxTextureSize_ = size; }

int32_t Device::Reset(const PresentParameters &params) {
    Log("Reset");
    if (lostFlags_ & LostFlag::FailReset) {
        lostFlags_ &= ~LostFlag::FailReset;
        lostFlags_ |= LostFlag::NotReset;
        return Result::InvalidCall;
    }
    if (lostFlags_ & LostFlag::Lost) {
        return Result::DeviceLost;
    }
    recording_.reset();
    ReleaseBindings();
    uint32_t w = 0;
    uint32_t h = 0;
    const int32_t r = DoReset(params, &w, &h);
    if (Failed(r)) {
        lostFlags_ |= LostFlag::NotReset;
        return r;
    }
    params_ = params;
    backWidth_ = w;
    backHeight_ = h;
    Viewport vp;
    vp.width = w;
    vp.height = h;
    state_.SetDefaults(vp);
    inScene_ = false;
    lostFlags_ = 0;
    return Result::Ok;
}

int32_t Device::ResourceManagerDiscardBytes(uint32_t bytes) {
    Log("ResourceManagerDiscardBytes %u", bytes);
    return Result::Ok;
}

int32_t Device::GetDeviceCaps(Caps *out) {
    if (out == nullptr) {
        return Result::InvalidCall;
    }
    *out = Caps{};
    const uint32_t maxSize = maxTextureSize_ != 0 ? maxTextureSize_ : backendMaxTextureSize_;
    out->maxTextureWidth = maxSize;
    out->maxTextureHeight = maxSize;
    out->textureFilterCaps = DoTextureFilterCaps();
    out->maxTextureBlendStages = kStageCount;
    out->maxSimultaneousTextures = kStageCount;
    out->maxActiveLights = 8;
    out->maxAnisotropy = 16;
    return Result::Ok;
}

int32_t Device::BeginScene() {
    Log("BeginScene");
    if (inScene_) {
        return Result::InvalidCall;
    }
    inScene_ = true;
    return Result::Ok;
}

int32_t Device::EndScene() {
    Log("EndScene");
    if (!inScene_) {
        return Result::InvalidCall;
    }
    inScene_ = false;
    return Result::Ok;
}

int32_t Device::Present() {
    Log("Present");
    if (lostFlags_ != 0) {
        return Result::DeviceLost;
    }
    return DoPresent();
}

int32_t Device::Clear(uint32_t count, const Rect *rects, uint32_t flags, uint32_t color, float z,
                      uint32_t stencil) {
    Log("Clear %u %u 0x%08X %g %u", count, flags, color, double(z), stencil);
    if ((flags & ~(ClearFlag::Target | ClearFlag::DepthBuffer | ClearFlag::Stencil)) != 0 ||
        (count != 0 && rects == nullptr)) {
        return Result::InvalidCall;
    }
    const Viewport &vp = state_.viewport;
    const Rect full{int32_t(vp.x), int32_t(vp.y), int32_t(vp.x + vp.width),
                    int32_t(vp.y + vp.height)};
    if (drawingSkipped_) {
        return Result::Ok;
    }
    if (count == 0) {
        return DoClear(full, flags, color, z, stencil);
    }
    for (uint32_t i = 0; i < count; ++i) {
        Rect r{std::max(rects[i].left, full.left), std::max(rects[i].top, full.top),
               std::min(rects[i].right, full.right), std::min(rects[i].bottom, full.bottom)};
        if (r.left >= r.right || r.top >= r.bottom) {
            continue;
        }
        const int32_t result = DoClear(r, flags, color, z, stencil);
        if (Failed(result)) {
            return result;
        }
    }
    return Result::Ok;
}

int32_t Device::SetViewport(const Viewport &viewport) {
    Log("SetViewport %u %u %u %u %g %g", viewport.x, viewport.y, viewport.width, viewport.height,
        double(viewport.minZ), double(viewport.maxZ));
    if (uint64_t(viewport.x) + viewport.width > backWidth_ ||
        uint64_t(viewport.y) + viewport.height > backHeight_) {
        return Result::InvalidCall;
    }
    if (RecordingBlock()) {
        BlockEntry e{EntryKind::Viewport};
        e.viewport = viewport;
        RecordEntry(e);
        return Result::Ok;
    }
    state_.viewport = viewport;
    return Result::Ok;
}

int32_t Device::GetViewport(Viewport *out) const {
    if (out == nullptr) {
        return Result::InvalidCall;
    }
    *out = state_.viewport;
    return Result::Ok;
}

int32_t Device::SetGammaRamp(uint32_t flags, const GammaRamp &ramp) {
    Log("SetGammaRamp %u", flags);
    gamma_ = ramp;
    DoSetGamma(ramp);
    return Result::Ok;
}

int32_t Device::GetGammaRamp(GammaRamp *out) const {
    if (out == nullptr) {
        return Result::InvalidCall;
    }
    *out = gamma_;
    return Result::Ok;
}

int32_t Device::GetBackBuffer(uint32_t index, uint32_t type, Surface **out) {
    Log("GetBackBuffer %u %u", index, type);
    if (out == nullptr || index != 0) {
        return Result::InvalidCall;
    }
    auto *surface = new Surface(this, NextId());
    surface->width_ = backWidth_;
    surface->height_ = backHeight_;
    {
        std::lock_guard<std::mutex> lock(resourcesMutex_);
        resources_.insert(surface);
    }
    *out = surface;
    return Result::Ok;
}

int32_t Device::SetRenderState(uint32_t state, uint32_t value) {
    Log("SetRenderState %u %u", state, value);
    if (state >= RenderState::Count) {
        return Result::InvalidCall;
    }
    if (RecordingBlock()) {
        BlockEntry e{EntryKind::RenderState};
        e.a = state;
        e.value = value;
        RecordEntry(e);
        return Result::Ok;
    }
    state_.renderStates[state] = value;
    return Result::Ok;
}

int32_t Device::GetRenderState(uint32_t state, uint32_t *value) const {
    if (state >= RenderState::Count || value == nullptr) {
        return Result::InvalidCall;
    }
    *value = state_.renderStates[state];
    return Result::Ok;
}

int32_t Device::SetTextureStageState(uint32_t stage, uint32_t type, uint32_t value) {
    Log("SetTextureStageState %u %u %u", stage, type, value);
    if (stage >= kStageCount || type >= StageState::Count) {
        return Result::InvalidCall;
    }
    if (RecordingBlock()) {
        BlockEntry e{EntryKind::StageState};
        e.a = stage;
        e.b = type;
        e.value = value;
        RecordEntry(e);
        return Result::Ok;
    }
    state_.stageStates[stage][type] = value;
    return Result::Ok;
}

int32_t Device::GetTextureStageState(uint32_t stage, uint32_t type, uint32_t *value) const {
    if (stage >= kStageCount || type >= StageState::Count || value == nullptr) {
        return Result::InvalidCall;
    }
    *value = state_.stageStates[stage][type];
    return Result::Ok;
}

int32_t Device::SetTransform(uint32_t state, const Matrix &matrix) {
    if (logging_) {
        const float *f = &matrix.m[0][0];
        Log("SetTransform %u %g %g %g %g %g %g %g %g %g %g %g %g %g %g %g %g", state, double(f[0]),
            double(f[1]), double(f[2]), double(f[3]), double(f[4]), double(f[5]), double(f[6]),
            double(f[7]), double(f[8]), double(f[9]), double(f[10]), double(f[11]), double(f[12]),
            double(f[13]), double(f[14]), double(f[15]));
    }
    Matrix *target = state_.TransformFor(state);
    if (target == nullptr) {
        return Result::InvalidCall;
    }
    if (RecordingBlock()) {
        BlockEntry e{EntryKind::Transform};
        e.a = state;
        e.matrix = matrix;
        RecordEntry(e);
        return Result::Ok;
    }
    *target = matrix;
    return Result::Ok;
}

int32_t Device::GetTransform(uint32_t state, Matrix *out) const {
    const Matrix *source = state_.TransformFor(state);
    if (source == nullptr || out == nullptr) {
        return Result::InvalidCall;
    }
    *out = *source;
    return Result::Ok;
}

int32_t Device::SetMaterial(const Material &material) {
    Log("SetMaterial %g %g %g %g", double(material.diffuse.r), double(material.diffuse.g),
        double(material.diffuse.b), double(material.diffuse.a));
    if (RecordingBlock()) {
        BlockEntry e{EntryKind::Material};
        e.material = material;
        RecordEntry(e);
        return Result::Ok;
    }
    state_.material = material;
    return Result::Ok;
}

int32_t Device::GetMaterial(Material *out) const {
    if (out == nullptr) {
        return Result::InvalidCall;
    }
    *out = state_.material;
    return Result::Ok;
}

int32_t Device::SetLight(uint32_t index, const Light &light) {
    Log("SetLight %u %u", index, light.type);
    if (light.type < kLightPoint || light.type > kLightDirectional) {
        return Result::InvalidCall;
    }
    if (RecordingBlock()) {
        BlockEntry e{EntryKind::Light};
        e.a = index;
        e.light = light;
        RecordEntry(e);
        return Result::Ok;
    }
    state_.lights[index].light = light;
    return Result::Ok;
}

int32_t Device::GetLight(uint32_t index, Light *out) const {
    auto it = state_.lights.find(index);
    if (out == nullptr || it == state_.lights.end()) {
        return Result::InvalidCall;
    }
    *out = it->second.light;
    return Result::Ok;
}

int32_t Device::LightEnable(uint32_t index, bool enable) {
    Log("LightEnable %u %d", index, enable ? 1 : 0);
    if (RecordingBlock()) {
        BlockEntry e{EntryKind::LightEnable};
        e.a = index;
        e.value = enable ? 1 : 0;
        RecordEntry(e);
        return Result::Ok;
    }
    auto it = state_.lights.find(index);
    if (it == state_.lights.end()) {
        if (!enable) {
            return Result::Ok;
        }
        // Enabling a light never set gives the default white directional
        // light pointing along +z.
        LightSlot slot;
        slot.light.type = kLightDirectional;
        slot.light.diffuse = ColorValue{1.0f, 1.0f, 1.0f, 0.0f};
        slot.light.direction = Vec3{0.0f, 0.0f, 1.0f};
        it = state_.lights.emplace(index, slot).first;
    }
    it->second.enabled = enable;
    return Result::Ok;
}

int32_t Device::GetLightEnable(uint32_t index, bool *out) const {
    auto it = state_.lights.find(index);
    if (out == nullptr || it == state_.lights.end()) {
        return Result::InvalidCall;
    }
    *out = it->second.enabled;
    return Result::Ok;
}

int32_t Device::SetTexture(uint32_t stage, Texture *texture) {
    Log("SetTexture %u %u", stage, texture != nullptr ? texture->GetId() : 0u);
    if (stage >= kStageCount || (texture != nullptr && texture->GetDevice() != this)) {
        return Result::InvalidCall;
    }
    if (RecordingBlock()) {
        BlockEntry e{EntryKind::Texture};
        e.a = stage;
        e.resource = texture;
        RecordEntry(e);
        return Result::Ok;
    }
    if (texture != nullptr) {
        texture->AddRef();
    }
    Texture *old = state_.textures[stage];
    state_.textures[stage] = texture;
    if (old != nullptr) {
        old->Release();
    }
    return Result::Ok;
}

int32_t Device::GetTexture(uint32_t stage, Texture **out) const {
    if (stage >= kStageCount || out == nullptr) {
        return Result::InvalidCall;
    }
    *out = state_.textures[stage];
    return Result::Ok;
}

int32_t Device::SetVertexShader(uint32_t fvf) {
    Log("SetVertexShader 0x%X", fvf);
    if (RecordingBlock()) {
        BlockEntry e{EntryKind::VertexShader};
        e.value = fvf;
        RecordEntry(e);
        return Result::Ok;
    }
    state_.fvf = fvf;
    return Result::Ok;
}

int32_t Device::GetVertexShader(uint32_t *out) const {
    if (out == nullptr) {
        return Result::InvalidCall;
    }
    *out = state_.fvf;
    return Result::Ok;
}

int32_t Device::SetStreamSource(uint32_t stream, VertexBuffer *buffer, uint32_t stride) {
    Log("SetStreamSource %u %u %u", stream, buffer != nullptr ? buffer->GetId() : 0u, stride);
    if (stream != 0 || (buffer != nullptr && buffer->GetDevice() != this)) {
        return Result::InvalidCall;
    }
    if (RecordingBlock()) {
        BlockEntry e{EntryKind::StreamSource};
        e.resource = buffer;
        e.value = stride;
        RecordEntry(e);
        return Result::Ok;
    }
    if (buffer != nullptr) {
        buffer->AddRef();
    }
    VertexBuffer *old = state_.stream;
    state_.stream = buffer;
    state_.streamStride = stride;
    if (old != nullptr) {
        old->Release();
    }
    return Result::Ok;
}

int32_t Device::GetStreamSource(uint32_t stream, VertexBuffer **out, uint32_t *stride) const {
    if (stream != 0 || out == nullptr || stride == nullptr) {
        return Result::InvalidCall;
    }
    *out = state_.stream;
    *stride = state_.streamStride;
    return Result::Ok;
}

int32_t Device::SetIndices(IndexBuffer *buffer, uint32_t baseVertex) {
    Log("SetIndices %u %u", buffer != nullptr ? buffer->GetId() : 0u, baseVertex);
    if (buffer != nullptr && buffer->GetDevice() != this) {
        return Result::InvalidCall;
    }
    if (RecordingBlock()) {
        BlockEntry e{EntryKind::Indices};
        e.resource = buffer;
        e.value = baseVertex;
        RecordEntry(e);
        return Result::Ok;
    }
    if (buffer != nullptr) {
        buffer->AddRef();
    }
    IndexBuffer *old = state_.indices;
    state_.indices = buffer;
    state_.baseVertex = baseVertex;
    if (old != nullptr) {
        old->Release();
    }
    return Result::Ok;
}

int32_t Device::GetIndices(IndexBuffer **out, uint32_t *baseVertex) const {
    if (out == nullptr || baseVertex == nullptr) {
        return Result::InvalidCall;
    }
    *out = state_.indices;
    *baseVertex = state_.baseVertex;
    return Result::Ok;
}

int32_t Device::CreateTexture(uint32_t width, uint32_t height, uint32_t levels, uint32_t usage,
                              uint32_t format, uint32_t pool, Texture **out) {
    Log("CreateTexture %u %u %u %u %u %u", width, height, levels, usage, format, pool);
    if (out == nullptr) {
        return Result::InvalidCall;
    }
    *out = nullptr;
    const uint32_t maxSize = maxTextureSize_ != 0 ? maxTextureSize_ : backendMaxTextureSize_;
    if (width == 0 || height == 0 || width > maxSize || height > maxSize ||
        !IsTextureFormat(format)) {
        return Result::InvalidCall;
    }
    uint32_t fullChain = 1;
    for (uint32_t s = std::max(width, height); s > 1; s >>= 1) {
        ++fullChain;
    }
    if (levels == 0 || levels > fullChain) {
        levels = fullChain;
    }
    auto *texture = new Texture(this, NextId(), usage, format, pool);
    texture->levels_.resize(levels);
    for (uint32_t i = 0; i < levels; ++i) {
        Texture::Level &l = texture->levels_[i];
        l.width = std::max(1u, width >> i);
        l.height = std::max(1u, height >> i);
        if (IsCompressedFormat(format)) {
            l.pitch = ((l.width + 3) / 4) * FormatBlockBytes(format);
            l.rows = (l.height + 3) / 4;
        } else {
            l.pitch = l.width * FormatBytesPerPixel(format);
            l.rows = l.height;
        }
        l.bytes.assign(size_t(l.pitch) * l.rows, 0);
    }
    {
        std::lock_guard<std::mutex> lock(resourcesMutex_);
        resources_.insert(texture);
    }
    *out = texture;
    return Result::Ok;
}

int32_t Device::CreateVertexBuffer(uint32_t length, uint32_t usage, uint32_t fvf, uint32_t pool,
                                   VertexBuffer **out) {
    Log("CreateVertexBuffer %u %u 0x%X %u", length, usage, fvf, pool);
    if (out == nullptr) {
        return Result::InvalidCall;
    }
    *out = nullptr;
    if (length == 0 || (fvf != 0 && !DecodeFvf(fvf).valid)) {
        return Result::InvalidCall;
    }
    auto *buffer = new VertexBuffer(this, NextId(), length, usage, fvf, pool);
    {
        std::lock_guard<std::mutex> lock(resourcesMutex_);
        resources_.insert(buffer);
    }
    *out = buffer;
    return Result::Ok;
}

int32_t Device::CreateIndexBuffer(uint32_t length, uint32_t usage, uint32_t format, uint32_t pool,
                                  IndexBuffer **out) {
    Log("CreateIndexBuffer %u %u %u %u", length, usage, format, pool);
    if (out == nullptr) {
        return Result::InvalidCall;
    }
    *out = nullptr;
    if (length == 0 || (format != Format::Index16 && format != Format::Index32)) {
        return Result::InvalidCall;
    }
    auto *buffer = new IndexBuffer(this, NextId(), length, usage, format, pool);
    {
        std::lock_guard<std::mutex> lock(resourcesMutex_);
        resources_.insert(buffer);
    }
    *out = buffer;
    return Result::Ok;
}

int32_t Device::PrepareDraw(DrawCall *call, uint32_t type, uint32_t primitiveCount) {
    call->primitive = type;
    call->primitiveCount = primitiveCount;
    call->layout = DecodeFvf(state_.fvf);
    if (!call->layout.valid || call->layout.position == 0) {
        return Result::InvalidCall;
    }
    if (VerticesForPrimitives(type, primitiveCount) == 0) {
        return Result::InvalidCall;
    }
    for (Texture *texture : state_.textures) {
        if (texture != nullptr && texture->sampleHook_ != nullptr) {
            texture->sampleHook_(texture->sampleContext_);
        }
    }
    return Result::Ok;
}

int32_t Device::DrawPrimitive(uint32_t type, uint32_t startVertex, uint32_t primitiveCount) {
    Log("DrawPrimitive %u %u %u", type, startVertex, primitiveCount);
    DrawCall call;
    int32_t r = PrepareDraw(&call, type, primitiveCount);
    if (Failed(r)) {
        return r;
    }
    VertexBuffer *vb = state_.stream;
    const uint32_t stride = state_.streamStride;
    if (vb == nullptr || stride < call.layout.size || stride == 0) {
        return Result::InvalidCall;
    }
    const uint64_t available = vb->GetLength() / stride;
    const uint32_t count = VerticesForPrimitives(type, primitiveCount);
    if (uint64_t(startVertex) + count > available) {
        return Result::InvalidCall;
    }
    call.vertexCount = count;
    call.stride = stride;
    call.vertices = vb->Data() + uint64_t(startVertex) * stride;
    call.verticesAvailable = uint32_t(available - startVertex);
    return drawingSkipped_ ? Result::Ok : DoDraw(call);
}

int32_t Device::DrawIndexedPrimitive(uint32_t type, uint32_t minIndex, uint32_t numVertices,
                                     uint32_t startIndex, uint32_t primitiveCount) {
    Log("DrawIndexedPrimitive %u %u %u %u %u", type, minIndex, numVertices, startIndex,
        primitiveCount);
    DrawCall call;
    int32_t r = PrepareDraw(&call, type, primitiveCount);
    if (Failed(r)) {
        return r;
    }
    VertexBuffer *vb = state_.stream;
    IndexBuffer *ib = state_.indices;
    const uint32_t stride = state_.streamStride;
    if (vb == nullptr || ib == nullptr || stride < call.layout.size || stride == 0) {
        return Result::InvalidCall;
    }
    const uint64_t available = vb->GetLength() / stride;
    const uint32_t indexSize = ib->IndexSize();
    const uint64_t indexCount = ib->GetLength() / indexSize;
    const uint32_t count = VerticesForPrimitives(type, primitiveCount);
    if (uint64_t(startIndex) + count > indexCount || state_.baseVertex >= available) {
        return Result::InvalidCall;
    }
    const uint8_t *indices = ib->Data() + uint64_t(startIndex) * indexSize;
    uint32_t maxIndex = 0;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t index;
        if (indexSize == 4) {
            std::memcpy(&index, indices + 4 * size_t(i), 4);
        } else {
            uint16_t i16;
            std::memcpy(&i16, indices + 2 * size_t(i), 2);
            index = i16;
        }
        maxIndex = std::max(maxIndex, index);
    }
    // Every index must name a vertex inside the stream.
    if (uint64_t(state_.baseVertex) + maxIndex >= available) {
        return Result::InvalidCall;
    }
    call.vertexCount = count;
    call.stride = stride;
    call.vertices = vb->Data() + uint64_t(state_.baseVertex) * stride;
    call.verticesAvailable = uint32_t(available - state_.baseVertex);
    call.indices = indices;
    call.index32 = indexSize == 4;
    call.maxIndex = maxIndex;
    return drawingSkipped_ ? Result::Ok : DoDraw(call);
}

int32_t Device::DrawPrimitiveUP(uint32_t type, uint32_t primitiveCount, const void *data,
                                uint32_t stride) {
    Log("DrawPrimitiveUP %u %u %u", type, primitiveCount, stride);
    DrawCall call;
    int32_t r = PrepareDraw(&call, type, primitiveCount);
    // Afterwards stream 0 and the indices are unbound.
    if (!RecordingBlock()) {
        if (state_.stream != nullptr) {
            VertexBuffer *old = state_.stream;
            state_.stream = nullptr;
            old->Release();
        }
        state_.streamStride = 0;
        if (state_.indices != nullptr) {
            IndexBuffer *old = state_.indices;
            state_.indices = nullptr;
            old->Release();
        }
        state_.baseVertex = 0;
    }
    if (Failed(r)) {
        return r;
    }
    if (data == nullptr || stride < call.layout.size || stride == 0) {
        return Result::InvalidCall;
    }
    const uint32_t count = VerticesForPrimitives(type, primitiveCount);
    call.vertexCount = count;
    call.stride = stride;
    call.vertices = static_cast<const uint8_t *>(data);
    call.verticesAvailable = count;
    return drawingSkipped_ ? Result::Ok : DoDraw(call);
}

} // namespace gfx
