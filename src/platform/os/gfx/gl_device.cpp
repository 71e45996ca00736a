#include "platform/os/gfx/gl_device.h"

#include "platform/os/gfx/gl_fixed_function.h"

#include <SDL.h>
#include <SDL_opengl.h>

#include <cstdio>
#include <cstring>
#include <type_traits>

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
    // Optional (GL 3.2 or ARB_sync): without them a present that copies
    // nothing waits for its frame with glFinish.
    PFNGLFENCESYNCPROC FenceSync = nullptr;
    PFNGLCLIENTWAITSYNCPROC ClientWaitSync = nullptr;
    PFNGLDELETESYNCPROC DeleteSync = nullptr;

    bool Load() {
        // Each entry point by its GL name, as the member's own pointer type.
        auto get = [](auto &entry, const char *name) {
            entry = reinterpret_cast<std::remove_reference_t<decltype(entry)>>(
                SDL_GL_GetProcAddress(name));
        };
        get(GenFramebuffers, "glGenFramebuffers");
        get(DeleteFramebuffers, "glDeleteFramebuffers");
        get(BindFramebuffer, "glBindFramebuffer");
        get(FramebufferRenderbuffer, "glFramebufferRenderbuffer");
        get(CheckFramebufferStatus, "glCheckFramebufferStatus");
        get(GenRenderbuffers, "glGenRenderbuffers");
        get(DeleteRenderbuffers, "glDeleteRenderbuffers");
        get(BindRenderbuffer, "glBindRenderbuffer");
        get(RenderbufferStorage, "glRenderbufferStorage");
        get(BlitFramebuffer, "glBlitFramebuffer");
        get(ActiveTexture, "glActiveTexture");
        get(ClientActiveTexture, "glClientActiveTexture");
        get(CompressedTexImage2D, "glCompressedTexImage2D");
        get(MultiTexCoord4f, "glMultiTexCoord4f");
        get(FenceSync, "glFenceSync");
        get(ClientWaitSync, "glClientWaitSync");
        get(DeleteSync, "glDeleteSync");
        if (!FenceSync || !ClientWaitSync || !DeleteSync) {
            FenceSync = nullptr;
            ClientWaitSync = nullptr;
            DeleteSync = nullptr;
        }
        return GenFramebuffers && DeleteFramebuffers && BindFramebuffer &&
               FramebufferRenderbuffer && CheckFramebufferStatus && GenRenderbuffers &&
               DeleteRenderbuffers && BindRenderbuffer && RenderbufferStorage && BlitFramebuffer &&
               ActiveTexture && ClientActiveTexture && CompressedTexImage2D && MultiTexCoord4f;
    }
};

// The parameters' back-buffer size; where either side is 0, the window's
// drawable size (at least 1 by 1).
void BackBufferSize(SDL_Window *window, const PresentParameters &params, uint32_t *w, uint32_t *h) {
    *w = params.backBufferWidth;
    *h = params.backBufferHeight;
    if (*w == 0 || *h == 0) {
        int dw = 0;
        int dh = 0;
        SDL_GL_GetDrawableSize(window, &dw, &dh);
        *w = uint32_t(dw > 0 ? dw : 1);
        *h = uint32_t(dh > 0 ? dh : 1);
    }
}

} // namespace

struct GlDevice::Impl {
    SDL_GLContext context = nullptr;
    GlFunctions gl;
    GLuint framebuffer = 0;
    GLuint colorBuffer = 0;
    GLuint depthBuffer = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    // The end of the last frame presented without a copy, not yet waited for.
    GLsync frameFence = nullptr;

    // Render, stage and transform state, textures and vertex arrays.
    GlFixedFunction pipeline;

    bool MakeTargets(uint32_t w, uint32_t h, std::string *error);
    void DeleteTargets();
    void InitState();
    void EndUnseenFrame();
    void DropFrameFence();
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

// A frame that is not copied to the window is not waited for by anything:
// the rasteriser would fall ever further behind the frames handed to it.
// Each such frame is flushed behind a fence and the one before it awaited,
// so at most one frame is drawn while the next is built.
void GlDevice::Impl::EndUnseenFrame() {
    if (gl.FenceSync == nullptr) {
        glFinish();
        return;
    }
    GLsync previous = frameFence;
    frameFence = gl.FenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
    if (frameFence == nullptr) {
        // The entry point exists but the context has no fences.
        glFinish();
    } else {
        glFlush();
    }
    if (previous != nullptr) {
        constexpr GLuint64 kOneSecond = 1000000000;
        gl.ClientWaitSync(previous, GL_SYNC_FLUSH_COMMANDS_BIT, kOneSecond);
        gl.DeleteSync(previous);
    }
}

void GlDevice::Impl::DropFrameFence() {
    if (frameFence != nullptr) {
        gl.DeleteSync(frameFence);
        frameFence = nullptr;
    }
}

void GlDevice::Impl::InitState() {
    glDisable(GL_SCISSOR_TEST);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    pipeline.Reset();
}

GlDevice::GlDevice() : impl_(std::make_unique<Impl>()) {}

GlDevice::~GlDevice() {
    if (impl_->context != nullptr) {
        SDL_GL_MakeCurrent(window_, impl_->context);
    }
    ShutdownDevice();
    if (impl_->context != nullptr) {
        impl_->DropFrameFence();
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
    if (!impl.gl.Load() || !impl.pipeline.Load()) {
        *error = "no framebuffer objects";
        return nullptr;
    }
    SDL_GL_SetSwapInterval(params.windowed ? 1 : 0);

    uint32_t w = 0;
    uint32_t h = 0;
    BackBufferSize(window, params, &w, &h);
    if (!impl.MakeTargets(w, h, error)) {
        return nullptr;
    }
    impl.InitState();
    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
    device->InitializeDevice(params, w, h, uint32_t(maxSize > 0 ? maxSize : 2048));
    return device;
}

void SetGlWindowAttributes() {
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
}

std::unique_ptr<GlDevice> GlDevice::CreateOffscreen(uint32_t width, uint32_t height,
                                                    std::string *error) {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        if (error != nullptr) {
            *error = std::string("SDL video: ") + SDL_GetError();
        }
        return nullptr;
    }
    SetGlWindowAttributes();
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
    }
    if (flags & ClearFlag::Stencil) {
        mask |= GL_STENCIL_BUFFER_BIT;
        glStencilMask(0xFF);
        glClearStencil(GLint(stencil & 0xFF));
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
    impl.pipeline.ForgetWriteMasks();
    return Result::Ok;
}

int32_t GlDevice::DoDraw(const DrawCall &call) {
    Impl &impl = *impl_;
    impl.pipeline.PrepareDraw(GetState(), call, impl.width, impl.height);
    impl.pipeline.Draw(call);
    return Result::Ok;
}

bool PresentCopiesToWindow(const char *videoDriver, uint32_t windowFlags) {
    if (videoDriver != nullptr && std::strcmp(videoDriver, "offscreen") == 0) {
        return false;
    }
    return (windowFlags & SDL_WINDOW_HIDDEN) == 0;
}

int32_t GlDevice::DoPresent() {
    Impl &impl = *impl_;
    if (!PresentCopiesToWindow(SDL_GetCurrentVideoDriver(), SDL_GetWindowFlags(window_))) {
        // The flipped copy is a full-screen draw on a software rasteriser;
        // a window no one sees only needs its frames finished in turn.
        SDL_GL_SwapWindow(window_);
        impl.EndUnseenFrame();
        return Result::Ok;
    }
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
    uint32_t w = 0;
    uint32_t h = 0;
    BackBufferSize(window_, params, &w, &h);
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
    if (resource->GetType() == ResourceType::Texture) {
        impl_->pipeline.ForgetTexture(static_cast<Texture *>(resource));
    }
}

} // namespace gfx
