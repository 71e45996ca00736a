#include "platform/os/gfx/gl_device.h"

#include <SDL.h>
#include <SDL_opengl.h>

#include <cstdio>
#include <cstring>

namespace gfx {

namespace {

// Entry points past GL 1.1, looked up through SDL.
struct GlFunctions {
    PFNGLGENFRAMEBUFFERSPROC GenFramebuffers = nullptr;
    PFNGLDELETEFRAMEBUFFERSPROC DeleteFramebuffers = nullptr;
    PFNGLBINDFRAMEBUFFERPROC BindFramebuffer = nullptr;
    PFNGLFRAMEBUFFERRENDERBUFFERPROC FramebufferRenderbuffer = nullptr;
    PFNGLCHECKFRAMEBUFFERSTATUSPROC CheckFramebufferStatus = nullptr;
    PFNGLGENRENDERBUFFERSPROC GenRenderbuffers = nullptr;
    PFNGLDELETERENDERBUFFERSPROC DeleteRenderbuffers = nullptr;
    PFNGLBINDRENDERBUFFERPROC BindRenderbuffer = nullptr;
    PFNGLRENDERBUFFERSTORAGEPROC RenderbufferStorage = nullptr;
    PFNGLBLITFRAMEBUFFERPROC BlitFramebuffer = nullptr;
    PFNGLACTIVETEXTUREPROC ActiveTexture = nullptr;
    void(APIENTRY *ClientActiveTexture)(GLenum) = nullptr;
    PFNGLCOMPRESSEDTEXIMAGE2DPROC CompressedTexImage2D = nullptr;
    void(APIENTRY *MultiTexCoord4f)(GLenum, GLfloat, GLfloat, GLfloat, GLfloat) = nullptr;

    bool Load() {
        auto get = [](const char *name) { return SDL_GL_GetProcAddress(name); };
        GenFramebuffers = reinterpret_cast<PFNGLGENFRAMEBUFFERSPROC>(get("glGenFramebuffers"));
        DeleteFramebuffers =
            reinterpret_cast<PFNGLDELETEFRAMEBUFFERSPROC>(get("glDeleteFramebuffers"));
        BindFramebuffer = reinterpret_cast<PFNGLBINDFRAMEBUFFERPROC>(get("glBindFramebuffer"));
        FramebufferRenderbuffer =
            reinterpret_cast<PFNGLFRAMEBUFFERRENDERBUFFERPROC>(get("glFramebufferRenderbuffer"));
        CheckFramebufferStatus =
            reinterpret_cast<PFNGLCHECKFRAMEBUFFERSTATUSPROC>(get("glCheckFramebufferStatus"));
        GenRenderbuffers = reinterpret_cast<PFNGLGENRENDERBUFFERSPROC>(get("glGenRenderbuffers"));
        DeleteRenderbuffers =
            reinterpret_cast<PFNGLDELETERENDERBUFFERSPROC>(get("glDeleteRenderbuffers"));
        BindRenderbuffer = reinterpret_cast<PFNGLBINDRENDERBUFFERPROC>(get("glBindRenderbuffer"));
        RenderbufferStorage =
            reinterpret_cast<PFNGLRENDERBUFFERSTORAGEPROC>(get("glRenderbufferStorage"));
        BlitFramebuffer = reinterpret_cast<PFNGLBLITFRAMEBUFFERPROC>(get("glBlitFramebuffer"));
        ActiveTexture = reinterpret_cast<PFNGLACTIVETEXTUREPROC>(get("glActiveTexture"));
        ClientActiveTexture =
            reinterpret_cast<decltype(ClientActiveTexture)>(get("glClientActiveTexture"));
        CompressedTexImage2D =
            reinterpret_cast<PFNGLCOMPRESSEDTEXIMAGE2DPROC>(get("glCompressedTexImage2D"));
        MultiTexCoord4f = reinterpret_cast<decltype(MultiTexCoord4f)>(get("glMultiTexCoord4f"));
        return GenFramebuffers && DeleteFramebuffers && BindFramebuffer &&
               FramebufferRenderbuffer && CheckFramebufferStatus && GenRenderbuffers &&
               DeleteRenderbuffers && BindRenderbuffer && RenderbufferStorage && BlitFramebuffer &&
               ActiveTexture && ClientActiveTexture && CompressedTexImage2D && MultiTexCoord4f;
    }
};

struct GlTextureFormat {
    GLint internal;
    GLenum format;
    GLenum type;
    bool compressed;
};

bool TextureFormatFor(uint32_t format, GlTextureFormat *out) {
    switch (format) {
    case Format::A8R8G8B8:
        *out = {GL_RGBA8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, false};
        return true;
    case Format::X8R8G8B8:
        *out = {GL_RGB8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, false};
        return true;
    case Format::R8G8B8:
        *out = {GL_RGB8, GL_BGR, GL_UNSIGNED_BYTE, false};
        return true;
    case Format::R5G6B5:
        *out = {GL_RGB5, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, false};
        return true;
    case Format::X1R5G5B5:
        *out = {GL_RGB5, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, false};
        return true;
    case Format::A1R5G5B5:
        *out = {GL_RGB5_A1, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, false};
        return true;
    case Format::A4R4G4B4:
        *out = {GL_RGBA4, GL_BGRA, GL_UNSIGNED_SHORT_4_4_4_4_REV, false};
        return true;
    case Format::L8:
        *out = {GL_LUMINANCE8, GL_LUMINANCE, GL_UNSIGNED_BYTE, false};
        return true;
    case Format::A8:
        *out = {GL_ALPHA8, GL_ALPHA, GL_UNSIGNED_BYTE, false};
        return true;
    case Format::A8L8:
        *out = {GL_LUMINANCE8_ALPHA8, GL_LUMINANCE_ALPHA, GL_UNSIGNED_BYTE, false};
        return true;
    case Format::Dxt1:
        *out = {GL_COMPRESSED_RGBA_S3TC_DXT1_EXT, 0, 0, true};
        return true;
    case Format::Dxt2:
    case Format::Dxt3:
        *out = {GL_COMPRESSED_RGBA_S3TC_DXT3_EXT, 0, 0, true};
        return true;
    case Format::Dxt4:
    case Format::Dxt5:
        *out = {GL_COMPRESSED_RGBA_S3TC_DXT5_EXT, 0, 0, true};
        return true;
    default:
        return false;
    }
}

GLenum CompareFunc(uint32_t cmp) {
    switch (cmp) {
    case Cmp::Never:
        return GL_NEVER;
    case Cmp::Less:
        return GL_LESS;
    case Cmp::Equal:
        return GL_EQUAL;
    case Cmp::LessEqual:
        return GL_LEQUAL;
    case Cmp::Greater:
        return GL_GREATER;
    case Cmp::NotEqual:
        return GL_NOTEQUAL;
    case Cmp::GreaterEqual:
        return GL_GEQUAL;
    default:
        return GL_ALWAYS;
    }
}

GLenum BlendFactor(uint32_t blend) {
    switch (blend) {
    case Blend::Zero:
        return GL_ZERO;
    case Blend::One:
        return GL_ONE;
    case Blend::SrcColor:
        return GL_SRC_COLOR;
    case Blend::InvSrcColor:
        return GL_ONE_MINUS_SRC_COLOR;
    case Blend::SrcAlpha:
        return GL_SRC_ALPHA;
    case Blend::InvSrcAlpha:
        return GL_ONE_MINUS_SRC_ALPHA;
    case Blend::DestAlpha:
        return GL_DST_ALPHA;
    case Blend::InvDestAlpha:
        return GL_ONE_MINUS_DST_ALPHA;
    case Blend::DestColor:
        return GL_DST_COLOR;
    case Blend::InvDestColor:
        return GL_ONE_MINUS_DST_COLOR;
    case Blend::SrcAlphaSat:
        return GL_SRC_ALPHA_SATURATE;
    default:
        return GL_ONE;
    }
}

GLenum PrimitiveMode(uint32_t type) {
    switch (type) {
    case Primitive::PointList:
        return GL_POINTS;
    case Primitive::LineList:
        return GL_LINES;
    case Primitive::LineStrip:
        return GL_LINE_STRIP;
    case Primitive::TriangleStrip:
        return GL_TRIANGLE_STRIP;
    case Primitive::TriangleFan:
        return GL_TRIANGLE_FAN;
    default:
        return GL_TRIANGLES;
    }
}

GLint AddressMode(uint32_t mode) {
    switch (mode) {
    case TextureAddress::Clamp:
        return GL_CLAMP_TO_EDGE;
    case TextureAddress::Mirror:
        return GL_MIRRORED_REPEAT;
    case TextureAddress::Border:
        return GL_CLAMP_TO_BORDER;
    default:
        return GL_REPEAT;
    }
}

GLint MinFilterMode(uint32_t minFilter, uint32_t mipFilter) {
    const bool linear =
        minFilter == TextureFilter::Linear || minFilter == TextureFilter::Anisotropic;
    switch (mipFilter) {
    case TextureFilter::Point:
        return linear ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
    case TextureFilter::Linear:
    case TextureFilter::Anisotropic:
        return linear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
    default:
        return linear ? GL_LINEAR : GL_NEAREST;
    }
}

Matrix Multiply(const Matrix &a, const Matrix &b) {
    Matrix r{};
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            float s = 0.0f;
            for (int k = 0; k < 4; ++k) {
                s += a.m[i][k] * b.m[k][j];
            }
            r.m[i][j] = s;
        }
    }
    return r;
}

constexpr uint32_t kUnknown = 0xA5A5A5A5u;

} // namespace

struct GlDevice::Impl {
    SDL_GLContext context = nullptr;
    GlFunctions gl;
    GLuint framebuffer = 0;
    GLuint colorBuffer = 0;
    GLuint depthBuffer = 0;
    uint32_t width = 0;
    uint32_t height = 0;

    // Values last handed to GL; kUnknown forces the next apply.
    uint32_t applied[RenderState::Count];
    struct Sampler {
        uint32_t minFilter = kUnknown, magFilter = kUnknown, mipFilter = kUnknown;
        uint32_t addressU = kUnknown, addressV = kUnknown;
    };
    struct TextureInfo {
        GLuint name = 0;
        uint32_t generation = 0;
        Sampler sampler;
    };
    std::unordered_map<Texture *, TextureInfo> textures;
    uint32_t boundTexture0 = kUnknown; // Texture id bound on unit 0, 0 for none
    bool texture0Enabled = false;
    std::vector<float> positions; // converted pre-transformed positions

    void Invalidate() {
        for (uint32_t &v : applied) {
            v = kUnknown;
        }
        boundTexture0 = kUnknown;
    }
    bool Changed(const StateVector &s, uint32_t id) {
        if (applied[id] == s.renderStates[id]) {
            return false;
        }
        applied[id] = s.renderStates[id];
        return true;
    }
    bool MakeTargets(uint32_t w, uint32_t h, std::string *error);
    void DeleteTargets();
    void InitState();
};

bool GlDevice::Impl::MakeTargets(uint32_t w, uint32_t h, std::string *error) {
    DeleteTargets();
    width = w;
    height = h;
    gl.GenFramebuffers(1, &framebuffer);
    gl.GenRenderbuffers(1, &colorBuffer);
    gl.GenRenderbuffers(1, &depthBuffer);
    gl.BindRenderbuffer(GL_RENDERBUFFER, colorBuffer);
    gl.RenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, GLsizei(w), GLsizei(h));
    gl.BindRenderbuffer(GL_RENDERBUFFER, depthBuffer);
    gl.RenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, GLsizei(w), GLsizei(h));
    gl.BindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    gl.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colorBuffer);
    gl.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depthBuffer);
    gl.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_STENCIL_ATTACHMENT, GL_RENDERBUFFER, depthBuffer);
    if (gl.CheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        if (error != nullptr) {
            *error = "framebuffer object incomplete";
        }
        return false;
    }
    return true;
}

void GlDevice::Impl::DeleteTargets() {
    if (framebuffer != 0) {
        gl.BindFramebuffer(GL_FRAMEBUFFER, 0);
        gl.DeleteFramebuffers(1, &framebuffer);
        framebuffer = 0;
    }
    if (colorBuffer != 0) {
        gl.DeleteRenderbuffers(1, &colorBuffer);
        colorBuffer = 0;
    }
    if (depthBuffer != 0) {
        gl.DeleteRenderbuffers(1, &depthBuffer);
        depthBuffer = 0;
    }
}

void GlDevice::Impl::InitState() {
    // The framebuffer object is stored top-down (GL window y = screen y), so
    // GL's fill convention (left and lower edges in its coordinates) is
    // Direct3D's top-left rule. In these mirrored coordinates a triangle
    // that is clockwise on screen winds counter-clockwise.
    glFrontFace(GL_CCW);
    glDisable(GL_LIGHTING);
    glDisable(GL_FOG);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_STENCIL_TEST);
    glDisable(GL_SCISSOR_TEST);
    glShadeModel(GL_SMOOTH);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glEnableClientState(GL_VERTEX_ARRAY);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glStencilMask(0xFF);
    for (GLenum unit = 0; unit < kStageCount; ++unit) {
        gl.ActiveTexture(GL_TEXTURE0 + unit);
        glDisable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, 0);
    }
    gl.ActiveTexture(GL_TEXTURE0);
    texture0Enabled = false;
    Invalidate();
}

GlDevice::GlDevice() : impl_(std::make_unique<Impl>()) {}

GlDevice::~GlDevice() {
    if (impl_->context != nullptr) {
        SDL_GL_MakeCurrent(window_, impl_->context);
    }
    ShutdownDevice();
    if (impl_->context != nullptr) {
        impl_->DeleteTargets();
        SDL_GL_MakeCurrent(window_, nullptr);
        SDL_GL_DeleteContext(impl_->context);
        impl_->context = nullptr;
    }
    if (ownsWindow_ && window_ != nullptr) {
        SDL_DestroyWindow(window_);
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }
}

std::unique_ptr<GlDevice> GlDevice::Create(SDL_Window *window, const PresentParameters &params,
                                           std::string *error) {
    std::string scratch;
    if (error == nullptr) {
        error = &scratch;
    }
    if (window == nullptr) {
        *error = "no window";
        return nullptr;
    }
    std::unique_ptr<GlDevice> device(new GlDevice());
    device->window_ = window;
    Impl &impl = *device->impl_;

    impl.context = SDL_GL_CreateContext(window);
    if (impl.context == nullptr) {
        *error = std::string("no GL context: ") + SDL_GetError();
        return nullptr;
    }
    SDL_GL_MakeCurrent(window, impl.context);
    const char *version = reinterpret_cast<const char *>(glGetString(GL_VERSION));
    device->glVersion_ = version != nullptr ? version : "";
    int major = 0;
    int minor = 0;
    if (version == nullptr || std::sscanf(version, "%d.%d", &major, &minor) != 2 ||
        major * 10 + minor < 21) {
        *error = "GL version below 2.1: " + device->glVersion_;
        return nullptr;
    }
    if (!impl.gl.Load()) {
        *error = "no framebuffer objects";
        return nullptr;
    }
    SDL_GL_SetSwapInterval(params.windowed ? 1 : 0);

    uint32_t w = params.backBufferWidth;
    uint32_t h = params.backBufferHeight;
    if (w == 0 || h == 0) {
        int dw = 0;
        int dh = 0;
        SDL_GL_GetDrawableSize(window, &dw, &dh);
        w = uint32_t(dw > 0 ? dw : 1);
        h = uint32_t(dh > 0 ? dh : 1);
    }
    if (!impl.MakeTargets(w, h, error)) {
        return nullptr;
    }
    impl.InitState();
    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
    device->InitializeDevice(params, w, h, uint32_t(maxSize > 0 ? maxSize : 2048));
    return device;
}

std::unique_ptr<GlDevice> GlDevice::CreateOffscreen(uint32_t width, uint32_t height,
                                                    std::string *error) {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        if (error != nullptr) {
            *error = std::string("SDL video: ") + SDL_GetError();
        }
        return nullptr;
    }
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 2);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 1);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, 0);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_Window *window = SDL_CreateWindow("gfx", 0, 0, int(width), int(height),
                                          SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (window == nullptr) {
        if (error != nullptr) {
            *error = std::string("no window: ") + SDL_GetError();
        }
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return nullptr;
    }
    PresentParameters params;
    params.backBufferWidth = width;
    params.backBufferHeight = height;
    params.backBufferFormat = Format::X8R8G8B8;
    params.swapEffect = SwapEffect::CopyVsync;
    params.windowed = true;
    params.enableAutoDepthStencil = true;
    params.autoDepthStencilFormat = Format::D24S8;
    params.flags = PresentFlag::LockableBackBuffer;
    std::unique_ptr<GlDevice> device = Create(window, params, error);
    if (!device) {
        SDL_DestroyWindow(window);
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return nullptr;
    }
    device->ownsWindow_ = true;
    // Offscreen devices never wait for a display.
    SDL_GL_SetSwapInterval(0);
    return device;
}

void GlDevice::MakeCurrent() {
    SDL_GL_MakeCurrent(window_, impl_->context);
    impl_->gl.BindFramebuffer(GL_FRAMEBUFFER, impl_->framebuffer);
}

int32_t GlDevice::DoClear(const Rect &area, uint32_t flags, uint32_t color, float z,
                          uint32_t stencil) {
    Impl &impl = *impl_;
    GLbitfield mask = 0;
    if (flags & ClearFlag::Target) {
        mask |= GL_COLOR_BUFFER_BIT;
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        glClearColor(float((color >> 16) & 0xFF) / 255.0f, float((color >> 8) & 0xFF) / 255.0f,
                     float(color & 0xFF) / 255.0f, float(color >> 24) / 255.0f);
    }
    if (flags & ClearFlag::DepthBuffer) {
        mask |= GL_DEPTH_BUFFER_BIT;
        glDepthMask(GL_TRUE);
        glClearDepth(double(z));
        impl.applied[RenderState::DepthWriteEnable] = kUnknown;
    }
    if (flags & ClearFlag::Stencil) {
        mask |= GL_STENCIL_BUFFER_BIT;
        glStencilMask(0xFF);
        glClearStencil(GLint(stencil & 0xFF));
        impl.applied[RenderState::StencilWriteMask] = kUnknown;
    }
    if (mask == 0) {
        return Result::Ok;
    }
    // The clear covers the rectangle (inside the viewport) whatever the
    // write states say; GL obeys the masks and the scissor instead.
    glEnable(GL_SCISSOR_TEST);
    glScissor(area.left, area.top, area.right - area.left, area.bottom - area.top);
    glClear(mask);
    glDisable(GL_SCISSOR_TEST);
    impl.applied[RenderState::ColorWriteEnable] = kUnknown;
    return Result::Ok;
}

int32_t GlDevice::DoDraw(const DrawCall &call) {
    Impl &impl = *impl_;
    const StateVector &s = GetState();
    const VertexLayout &layout = call.layout;
    const bool pretransformed = layout.position == Fvf::XyzRhw;

    // Depth.
    if (impl.Changed(s, RenderState::DepthEnable)) {
        if (s.renderStates[RenderState::DepthEnable] != 0) {
            glEnable(GL_DEPTH_TEST);
        } else {
            glDisable(GL_DEPTH_TEST);
        }
    }
    if (impl.Changed(s, RenderState::DepthFunc)) {
        glDepthFunc(CompareFunc(s.renderStates[RenderState::DepthFunc]));
    }
    if (impl.Changed(s, RenderState::DepthWriteEnable)) {
        glDepthMask(s.renderStates[RenderState::DepthWriteEnable] != 0 ? GL_TRUE : GL_FALSE);
    }
    if (impl.Changed(s, RenderState::ColorWriteEnable)) {
        const uint32_t m = s.renderStates[RenderState::ColorWriteEnable];
        glColorMask((m & 4) != 0, (m & 2) != 0, (m & 1) != 0, (m & 8) != 0);
    }
    // Culling.
    if (impl.Changed(s, RenderState::CullMode)) {
        switch (s.renderStates[RenderState::CullMode]) {
        case Cull::Cw:
            glEnable(GL_CULL_FACE);
            glCullFace(GL_FRONT);
            break;
        case Cull::Ccw:
            glEnable(GL_CULL_FACE);
            glCullFace(GL_BACK);
            break;
        default:
            glDisable(GL_CULL_FACE);
            break;
        }
    }
    // Blending.
    if (impl.Changed(s, RenderState::AlphaBlendEnable)) {
        if (s.renderStates[RenderState::AlphaBlendEnable] != 0) {
            glEnable(GL_BLEND);
        } else {
            glDisable(GL_BLEND);
        }
    }
    const bool src = impl.Changed(s, RenderState::SrcBlend);
    const bool dst = impl.Changed(s, RenderState::DestBlend);
    if (src || dst) {
        glBlendFunc(BlendFactor(s.renderStates[RenderState::SrcBlend]),
                    BlendFactor(s.renderStates[RenderState::DestBlend]));
    }
    if (impl.Changed(s, RenderState::DitherEnable)) {
        if (s.renderStates[RenderState::DitherEnable] != 0) {
            glEnable(GL_DITHER);
        } else {
            glDisable(GL_DITHER);
        }
    }

    // Transforms and viewport.
    if (pretransformed) {
        // Screen positions: Direct3D's pixel centres lie on integers, GL's
        // on halves, so window x = x + 0.5, y = y + 0.5 (the target is stored
        // top-down); z is the depth value itself.
        const float w = float(impl.width);
        const float h = float(impl.height);
        const float ortho[16] = {2.0f / w, 0,   0, 0,    0, 2.0f / h,        0,
                                 0,        0,   0, 2.0f, 0, 1.0f / w - 1.0f, 1.0f / h - 1.0f,
                                 -1.0f,    1.0f};
        glViewport(0, 0, GLsizei(impl.width), GLsizei(impl.height));
        glDepthRange(0.0, 1.0);
        glMatrixMode(GL_PROJECTION);
        glLoadMatrixf(ortho);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glDisable(GL_LIGHTING);
        glDisable(GL_FOG);
    } else {
        const Viewport &vp = s.viewport;
        glViewport(GLint(vp.x), GLint(vp.y), GLsizei(vp.width), GLsizei(vp.height));
        glDepthRange(double(vp.minZ), double(vp.maxZ));
        // Direct3D's clip depth runs 0..w, GL's -w..w: z' = 2z - w. The
        // target is stored top-down: y' = -y. Then the half-pixel shift of
        // the pixel centres: x' += w / W, y' += w / H.
        Matrix remap = IdentityMatrix();
        remap.m[1][1] = -1.0f;
        remap.m[2][2] = 2.0f;
        remap.m[3][2] = -1.0f;
        Matrix shift = IdentityMatrix();
        shift.m[3][0] = vp.width != 0 ? 1.0f / float(vp.width) : 0.0f;
        shift.m[3][1] = vp.height != 0 ? 1.0f / float(vp.height) : 0.0f;
        const Matrix projection = Multiply(Multiply(s.projection, remap), shift);
        const Matrix modelView = Multiply(s.world[0], s.view);
        glMatrixMode(GL_PROJECTION);
        glLoadMatrixf(&projection.m[0][0]);
        glMatrixMode(GL_MODELVIEW);
        glLoadMatrixf(&modelView.m[0][0]);
    }

    // Stage 0: texture x diffuse (diffuse alone without a texture).
    Texture *texture = s.textures[0];
    const uint32_t *stage0 = s.stageStates[0];
    const bool textured = texture != nullptr && stage0[StageState::ColorOp] != TextureOp::Disable;
    impl.gl.ActiveTexture(GL_TEXTURE0);
    if (textured) {
        Impl::TextureInfo &info = impl.textures[texture];
        if (info.name == 0) {
            glGenTextures(1, &info.name);
        }
        glBindTexture(GL_TEXTURE_2D, info.name);
        impl.boundTexture0 = texture->GetId();
        // Upload a level written since the last draw that used it (whether or
        // not it was bound again).
        texture->ReadIfChanged(&info.generation, [&](const std::vector<Texture::Level> &levels) {
            GlTextureFormat f{};
            if (!TextureFormatFor(texture->GetFormat(), &f)) {
                return;
            }
            for (size_t i = 0; i < levels.size(); ++i) {
                const Texture::Level &l = levels[i];
                if (f.compressed) {
                    impl.gl.CompressedTexImage2D(GL_TEXTURE_2D, GLint(i), GLenum(f.internal),
                                                 GLsizei(l.width), GLsizei(l.height), 0,
                                                 GLsizei(l.bytes.size()), l.bytes.data());
                } else {
                    glTexImage2D(GL_TEXTURE_2D, GLint(i), f.internal, GLsizei(l.width),
                                 GLsizei(l.height), 0, f.format, f.type, l.bytes.data());
                }
            }
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, 0);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, GLint(levels.size()) - 1);
        });
        Impl::Sampler &sm = info.sampler;
        if (sm.minFilter != stage0[StageState::MinFilter] ||
            sm.mipFilter != stage0[StageState::MipFilter]) {
            sm.minFilter = stage0[StageState::MinFilter];
            sm.mipFilter = stage0[StageState::MipFilter];
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER,
                            MinFilterMode(sm.minFilter, sm.mipFilter));
        }
        if (sm.magFilter != stage0[StageState::MagFilter]) {
            sm.magFilter = stage0[StageState::MagFilter];
            const bool linear =
                sm.magFilter == TextureFilter::Linear || sm.magFilter == TextureFilter::Anisotropic;
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, linear ? GL_LINEAR : GL_NEAREST);
        }
        if (sm.addressU != stage0[StageState::AddressU]) {
            sm.addressU = stage0[StageState::AddressU];
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, AddressMode(sm.addressU));
        }
        if (sm.addressV != stage0[StageState::AddressV]) {
            sm.addressV = stage0[StageState::AddressV];
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, AddressMode(sm.addressV));
        }
        if (!impl.texture0Enabled) {
            glEnable(GL_TEXTURE_2D);
            glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
            impl.texture0Enabled = true;
        }
    } else if (impl.texture0Enabled) {
        glDisable(GL_TEXTURE_2D);
        impl.texture0Enabled = false;
    }

    // Vertex arrays from the caller's memory.
    const uint8_t *base = call.vertices;
    const uint32_t vertexCount = call.indices != nullptr ? call.maxIndex + 1 : call.vertexCount;
    if (pretransformed) {
        // (x, y, z, 1) / rhw keeps texture coordinates perspective-correct.
        impl.positions.resize(size_t(vertexCount) * 4);
        for (uint32_t i = 0; i < vertexCount; ++i) {
            float p[4];
            std::memcpy(p, base + size_t(i) * call.stride, 16);
            const float w = p[3] != 0.0f ? 1.0f / p[3] : 1.0f;
            float *out = &impl.positions[size_t(i) * 4];
            out[0] = p[0] * w;
            out[1] = p[1] * w;
            out[2] = p[2] * w;
            out[3] = w;
        }
        glVertexPointer(4, GL_FLOAT, 0, impl.positions.data());
    } else {
        glVertexPointer(3, GL_FLOAT, GLsizei(call.stride), base);
    }
    if (layout.normalOffset >= 0) {
        glEnableClientState(GL_NORMAL_ARRAY);
        glNormalPointer(GL_FLOAT, GLsizei(call.stride), base + layout.normalOffset);
    } else {
        glDisableClientState(GL_NORMAL_ARRAY);
    }
    if (layout.diffuseOffset >= 0) {
        glEnableClientState(GL_COLOR_ARRAY);
        glColorPointer(GL_BGRA, GL_UNSIGNED_BYTE, GLsizei(call.stride),
                       base + layout.diffuseOffset);
    } else {
        glDisableClientState(GL_COLOR_ARRAY);
        glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    }
    impl.gl.ClientActiveTexture(GL_TEXTURE0);
    const uint32_t set = stage0[StageState::TexCoordIndex] & 0xFFFFu;
    if (textured && set < layout.texSets) {
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        glTexCoordPointer(GLint(layout.texDims[set]), GL_FLOAT, GLsizei(call.stride),
                          base + layout.texOffset[set]);
    } else {
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);
        impl.gl.MultiTexCoord4f(GL_TEXTURE0, 0.0f, 0.0f, 0.0f, 1.0f);
    }

    const GLenum mode = PrimitiveMode(call.primitive);
    if (call.indices != nullptr) {
        glDrawElements(mode, GLsizei(call.vertexCount),
                       call.index32 ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT, call.indices);
    } else {
        glDrawArrays(mode, 0, GLsizei(call.vertexCount));
    }
    return Result::Ok;
}

int32_t GlDevice::DoPresent() {
    Impl &impl = *impl_;
    int dw = 0;
    int dh = 0;
    SDL_GL_GetDrawableSize(window_, &dw, &dh);
    while (glGetError() != GL_NO_ERROR) {
    }
    impl.gl.BindFramebuffer(GL_READ_FRAMEBUFFER, impl.framebuffer);
    impl.gl.BindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    // The target is stored top-down; the window is bottom-up.
    impl.gl.BlitFramebuffer(0, 0, GLint(impl.width), GLint(impl.height), 0, dh, dw, 0,
                            GL_COLOR_BUFFER_BIT, GL_NEAREST);
    const GLenum error = glGetError();
    SDL_GL_SwapWindow(window_);
    impl.gl.BindFramebuffer(GL_FRAMEBUFFER, impl.framebuffer);
    if (error != GL_NO_ERROR) {
        char text[64];
        std::snprintf(text, sizeof text, "GL error 0x%04X after the present blit", error);
        lastError_ = text;
        return Result::Fail;
    }
    return Result::Ok;
}

int32_t GlDevice::DoReadBack(std::vector<uint8_t> *pixels, uint32_t *width, uint32_t *height) {
    Impl &impl = *impl_;
    // GL's row 0 is the target's top row (it is stored top-down).
    pixels->resize(size_t(impl.width) * 4 * impl.height);
    impl.gl.BindFramebuffer(GL_READ_FRAMEBUFFER, impl.framebuffer);
    glReadPixels(0, 0, GLsizei(impl.width), GLsizei(impl.height), GL_BGRA, GL_UNSIGNED_BYTE,
                 pixels->data());
    *width = impl.width;
    *height = impl.height;
    return Result::Ok;
}

void GlDevice::DoSetGamma(const GammaRamp &ramp) {
    // Not every display takes a ramp (Xvfb, offscreen): ignored then.
    SDL_SetWindowGammaRamp(window_, ramp.red, ramp.green, ramp.blue);
}

int32_t GlDevice::DoReset(const PresentParameters &params, uint32_t *backWidth,
                          uint32_t *backHeight) {
    Impl &impl = *impl_;
    uint32_t w = params.backBufferWidth;
    uint32_t h = params.backBufferHeight;
    if (w == 0 || h == 0) {
        int dw = 0;
        int dh = 0;
        SDL_GL_GetDrawableSize(window_, &dw, &dh);
        w = uint32_t(dw > 0 ? dw : 1);
        h = uint32_t(dh > 0 ? dh : 1);
    }
    if (w != impl.width || h != impl.height) {
        if (!impl.MakeTargets(w, h, &lastError_)) {
            return Result::Fail;
        }
    }
    impl.InitState();
    *backWidth = w;
    *backHeight = h;
    return Result::Ok;
}

void GlDevice::DoResourceDestroyed(Resource *resource) {
    if (resource->GetType() != ResourceType::Texture) {
        return;
    }
    auto it = impl_->textures.find(static_cast<Texture *>(resource));
    if (it == impl_->textures.end()) {
        return;
    }
    if (it->second.name != 0) {
        glDeleteTextures(1, &it->second.name);
    }
    impl_->textures.erase(it);
}

} // namespace gfx
