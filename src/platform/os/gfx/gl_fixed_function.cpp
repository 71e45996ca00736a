#include "platform/os/gfx/gl_fixed_function.h"

#include "platform/os/image/image.h"

#include <SDL.h>
#include <SDL_opengl.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <unordered_map>
#include <vector>

#ifndef GL_FIRST_VERTEX_CONVENTION
#define GL_FIRST_VERTEX_CONVENTION 0x8E4D
#endif
#ifndef GL_TEXTURE_MAX_ANISOTROPY_EXT
#define GL_TEXTURE_MAX_ANISOTROPY_EXT 0x84FE
#endif

namespace gfx {

namespace {

constexpr float kPi = 3.14159265358979f;

float FloatFromBits(uint32_t u) {
    float f;
    std::memcpy(&f, &u, 4);
    return f;
}

// 0xAARRGGBB to red, green, blue, alpha.
void UnpackColor(uint32_t argb, float out[4]) {
    out[0] = float((argb >> 16) & 0xFF) / 255.0f;
    out[1] = float((argb >> 8) & 0xFF) / 255.0f;
    out[2] = float(argb & 0xFF) / 255.0f;
    out[3] = float(argb >> 24) / 255.0f;
}

void ColorFloats(const ColorValue &c, float out[4]) {
    out[0] = c.r;
    out[1] = c.g;
    out[2] = c.b;
    out[3] = c.a;
}

bool SameBytes(const void *a, const void *b, size_t size) { return std::memcmp(a, b, size) == 0; }

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

// Direct3D's wrapping INCR and DECR are GL's *_WRAP; its saturating
// INCRSAT and DECRSAT are GL's plain INCR and DECR.
GLenum StencilOperation(uint32_t op) {
    switch (op) {
    case StencilOp::Zero:
        return GL_ZERO;
    case StencilOp::Replace:
        return GL_REPLACE;
    case StencilOp::IncrSat:
        return GL_INCR;
    case StencilOp::DecrSat:
        return GL_DECR;
    case StencilOp::Invert:
        return GL_INVERT;
    case StencilOp::Incr:
        return GL_INCR_WRAP;
    case StencilOp::Decr:
        return GL_DECR_WRAP;
    default:
        return GL_KEEP;
    }
}

// CLAMP is GL's CLAMP_TO_EDGE: GL's own CLAMP blends in the border colour.
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

bool LinearFilter(uint32_t filter) {
    return filter == TextureFilter::Linear || filter == TextureFilter::Anisotropic;
}

GLint MinFilterMode(uint32_t minFilter, uint32_t mipFilter) {
    const bool linear = LinearFilter(minFilter);
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

// --- texture stages -------------------------------------------------------------------

bool IsTextureArg(uint32_t arg) { return (arg & 0xF) == TextureArg::Texture; }

// Whether an operation reads the stage's texture.
bool OpReadsTexture(uint32_t op, uint32_t arg1, uint32_t arg2) {
    switch (op) {
    case TextureOp::Disable:
        return false;
    case TextureOp::SelectArg1:
        return IsTextureArg(arg1);
    case TextureOp::SelectArg2:
        return IsTextureArg(arg2);
    case TextureOp::BlendTextureAlpha:
    case TextureOp::BlendTextureAlphaPm:
        return true;
    default:
        return IsTextureArg(arg1) || IsTextureArg(arg2);
    }
}

bool StageReadsTexture(const uint32_t *ss) {
    return OpReadsTexture(ss[StageState::ColorOp], ss[StageState::ColorArg1],
                          ss[StageState::ColorArg2]) ||
           OpReadsTexture(ss[StageState::AlphaOp], ss[StageState::AlphaArg1],
                          ss[StageState::AlphaArg2]);
}

// One channel (colour or alpha) of a GL_COMBINE environment.
struct CombineChannel {
    GLint mode = GL_MODULATE;
    GLint source[3] = {GL_TEXTURE, GL_PREVIOUS, GL_TEXTURE};
    GLint operand[3] = {GL_SRC_COLOR, GL_SRC_COLOR, GL_SRC_ALPHA};
    GLfloat scale = 1.0f;
    bool operator==(const CombineChannel &) const = default;
};

void ArgSource(uint32_t arg, bool alpha, GLint *source, GLint *operand) {
    switch (arg & 0xF) {
    case TextureArg::Diffuse:
    case TextureArg::Specular: // no separate source in the combiner
        *source = GL_PRIMARY_COLOR;
        break;
    case TextureArg::Texture:
        *source = GL_TEXTURE;
        break;
    case TextureArg::TFactor:
        *source = GL_CONSTANT;
        break;
    default:
        *source = GL_PREVIOUS;
        break;
    }
    const bool complement = (arg & TextureArg::Complement) != 0;
    if (alpha || (arg & TextureArg::AlphaReplicate) != 0) {
        *operand = complement ? GL_ONE_MINUS_SRC_ALPHA : GL_SRC_ALPHA;
    } else {
        *operand = complement ? GL_ONE_MINUS_SRC_COLOR : GL_SRC_COLOR;
    }
}

// Fills a channel from a Direct3D operation and its two arguments.
void SetupChannel(uint32_t op, uint32_t arg1, uint32_t arg2, bool alpha, CombineChannel *out) {
    const GLint alphaOperand = GL_SRC_ALPHA;
    *out = CombineChannel{};
    out->operand[0] = out->operand[1] = alpha ? GL_SRC_ALPHA : GL_SRC_COLOR;
    ArgSource(arg1, alpha, &out->source[0], &out->operand[0]);
    ArgSource(arg2, alpha, &out->source[1], &out->operand[1]);
    switch (op) {
    case TextureOp::SelectArg1:
        out->mode = GL_REPLACE;
        break;
    case TextureOp::SelectArg2:
        out->mode = GL_REPLACE;
        out->source[0] = out->source[1];
        out->operand[0] = out->operand[1];
        break;
    case TextureOp::Modulate2x:
        out->mode = GL_MODULATE;
        out->scale = 2.0f;
        break;
    case TextureOp::Modulate4x:
        out->mode = GL_MODULATE;
        out->scale = 4.0f;
        break;
    case TextureOp::Add:
        out->mode = GL_ADD;
        break;
    case TextureOp::AddSigned:
        out->mode = GL_ADD_SIGNED;
        break;
    case TextureOp::AddSigned2x:
        out->mode = GL_ADD_SIGNED;
        out->scale = 2.0f;
        break;
    case TextureOp::Subtract:
        out->mode = GL_SUBTRACT;
        break;
    // The blends take arg1 x a + arg2 x (1 - a), GL's INTERPOLATE of
    // sources 0 and 1 by source 2.
    case TextureOp::BlendDiffuseAlpha:
        out->mode = GL_INTERPOLATE;
        out->source[2] = GL_PRIMARY_COLOR;
        out->operand[2] = alphaOperand;
        break;
    case TextureOp::BlendTextureAlpha:
        out->mode = GL_INTERPOLATE;
        out->source[2] = GL_TEXTURE;
        out->operand[2] = alphaOperand;
        break;
    case TextureOp::BlendFactorAlpha:
        out->mode = GL_INTERPOLATE;
        out->source[2] = GL_CONSTANT;
        out->operand[2] = alphaOperand;
        break;
    case TextureOp::BlendCurrentAlpha:
        out->mode = GL_INTERPOLATE;
        out->source[2] = GL_PREVIOUS;
        out->operand[2] = alphaOperand;
        break;
    default: // MODULATE, and the operations the combiner lacks
        out->mode = GL_MODULATE;
        break;
    }
    if (out->mode == GL_REPLACE) {
        out->source[1] = GL_PREVIOUS;
        out->operand[1] = alpha ? GL_SRC_ALPHA : GL_SRC_COLOR;
    }
}

struct Combine {
    CombineChannel rgb;
    CombineChannel alpha;
    bool operator==(const Combine &) const = default;
};

// --- cached GL state ----------------------------------------------------------------------

struct DepthState {
    bool test;
    GLenum func;
    bool write;
    bool operator==(const DepthState &) const = default;
};

struct BlendState {
    bool enable;
    GLenum src;
    GLenum dst;
    bool operator==(const BlendState &) const = default;
};

struct AlphaTestState {
    bool enable;
    GLenum func;
    uint32_t ref;
    bool operator==(const AlphaTestState &) const = default;
};

struct StencilState {
    bool enable;
    GLenum func;
    uint32_t ref;
    uint32_t mask;
    uint32_t writeMask;
    GLenum fail;
    GLenum depthFail;
    GLenum pass;
    bool operator==(const StencilState &) const = default;
};

struct RasterState {
    GLenum cull; // 0: no culling
    GLenum polygonMode;
    GLenum shadeModel;
    bool dither;
    bool operator==(const RasterState &) const = default;
};

struct FogState {
    bool enable;
    GLint mode;
    float start;
    float end;
    float density;
    uint32_t color;
    bool operator==(const FogState &) const = default;
};

struct LightModelState {
    bool lighting;
    uint32_t ambient;
    bool localViewer;
    bool normalize;
    bool operator==(const LightModelState &) const = default;
};

struct MaterialState {
    Material material;
    bool specular;
    GLenum track; // GL_COLOR_MATERIAL's parameter, 0 when off
};

struct ViewportState {
    GLint x, y;
    GLsizei width, height;
    float minZ, maxZ;
    bool operator==(const ViewportState &) const = default;
};

struct GlLight {
    bool on = false;
    Light light{};
};

struct Sampler {
    GLint minFilter = 0;
    GLint magFilter = 0;
    GLint wrapS = 0;
    GLint wrapT = 0;
    float anisotropy = 0.0f;
    uint32_t border = 0;
    bool operator==(const Sampler &) const = default;
};

struct TextureInfo {
    GLuint name = 0;
    uint32_t generation = 0;
    bool samplerKnown = false;
    Sampler sampler;
};

template <typename T> struct Cached {
    bool known = false;
    T value{};
    // True (and the value stored) when `want` must be handed to GL.
    bool Update(const T &want) {
        if (known && value == want) {
            return false;
        }
        known = true;
        value = want;
        return true;
    }
};

struct MatrixValue {
    Matrix m{};
    bool operator==(const MatrixValue &o) const { return SameBytes(&m, &o.m, sizeof(Matrix)); }
};

// What one texture unit was last given.
struct UnitState {
    Cached<bool> enabled;
    Cached<GLuint> texture;
    Cached<Combine> combine;
    Cached<uint32_t> factor;
    Cached<bool> texgen;
    Cached<MatrixValue> textureMatrix;

    void Forget() {
        enabled.known = texture.known = combine.known = false;
        factor.known = texgen.known = textureMatrix.known = false;
    }
};

// Spot exponent whose cosine power matches Direct3D's falloff factor halfway
// between the inner and the outer cone.
float SpotExponent(const Light &l) {
    const float inner = l.theta * 0.5f;
    const float outer = l.phi * 0.5f;
    const float cosInner = std::cos(inner);
    const float cosOuter = std::cos(outer);
    if (!(cosInner > cosOuter) || !(l.falloff > 0.0f)) {
        return 0.0f;
    }
    const float c = std::cos(0.5f * (inner + outer));
    if (!(c > 0.0f && c < 1.0f)) {
        return 0.0f;
    }
    const float factor = std::pow((c - cosOuter) / (cosInner - cosOuter), l.falloff);
    if (!(factor > 0.0f && factor < 1.0f)) {
        return 0.0f;
    }
    return std::clamp(std::log(factor) / std::log(c), 0.0f, 128.0f);
}

} // namespace

struct GlFixedFunction::Impl {
    // Entry points past GL 1.1.
    PFNGLACTIVETEXTUREPROC ActiveTexture = nullptr;
    void(APIENTRY *ClientActiveTexture)(GLenum) = nullptr;
    void(APIENTRY *MultiTexCoord4f)(GLenum, GLfloat, GLfloat, GLfloat, GLfloat) = nullptr;
    PFNGLCOMPRESSEDTEXIMAGE2DPROC CompressedTexImage2D = nullptr;
    void(APIENTRY *ProvokingVertex)(GLenum) = nullptr; // optional
    bool anisotropic = false;
    // DXT blocks upload as they are; without S3TC they are decoded first.
    bool s3tc = false;
    uint32_t units = 1;
    uint32_t lights = 8;

    Cached<DepthState> depth;
    Cached<uint32_t> colorMask;
    Cached<BlendState> blend;
    Cached<AlphaTestState> alphaTest;
    Cached<StencilState> stencil;
    Cached<RasterState> raster;
    Cached<FogState> fog;
    Cached<LightModelState> lightModel;
    Cached<ViewportState> viewport;
    bool materialKnown = false;
    MaterialState material{};
    bool lightsKnown = false;
    Matrix lightView{};
    GlLight glLights[8];
    bool projectionKnown = false;
    Matrix projection{};
    bool modelViewKnown = false;
    Matrix modelView{};
    UnitState unitState[kStageCount];
    bool arraysKnown = false;
    bool normalArray = false;
    bool colorArray = false;
    bool texCoordArray[kStageCount] = {};

    std::unordered_map<Texture *, TextureInfo> textures;
    GLuint white = 0;             // 1 x 1 white texture for stages that read no texture
    std::vector<float> positions; // converted pre-transformed positions

    void ForgetAll() {
        depth.known = false;
        colorMask.known = false;
        blend.known = false;
        alphaTest.known = false;
        stencil.known = false;
        raster.known = false;
        fog.known = false;
        lightModel.known = false;
        viewport.known = false;
        materialKnown = false;
        lightsKnown = false;
        projectionKnown = false;
        modelViewKnown = false;
        for (UnitState &u : unitState) {
            u.Forget();
        }
        arraysKnown = false;
        for (auto &[texture, info] : textures) {
            info.samplerKnown = false;
        }
    }

    void ApplyFixedStates(const StateVector &s, bool pretransformed);
    void ApplyTransforms(const StateVector &s, bool pretransformed, uint32_t width,
                         uint32_t height);
    void ApplyLighting(const StateVector &s, const VertexLayout &layout, bool lighting);
    void ApplyLights(const StateVector &s);
    void ApplyStages(const StateVector &s);
    void BindTexture(uint32_t unit, Texture *texture, const uint32_t *ss);
    void ApplyArrays(const StateVector &s, const DrawCall &call, bool pretransformed,
                     uint32_t activeUnits);
    uint32_t activeUnits = 0;
};

GlFixedFunction::GlFixedFunction() : impl_(std::make_unique<Impl>()) {}

GlFixedFunction::~GlFixedFunction() {
    // The GL objects go with the context.
}

bool GlFixedFunction::Load() {
    Impl &g = *impl_;
    auto get = [](const char *name) { return SDL_GL_GetProcAddress(name); };
    g.ActiveTexture = reinterpret_cast<PFNGLACTIVETEXTUREPROC>(get("glActiveTexture"));
    g.ClientActiveTexture =
        reinterpret_cast<decltype(g.ClientActiveTexture)>(get("glClientActiveTexture"));
    g.MultiTexCoord4f = reinterpret_cast<decltype(g.MultiTexCoord4f)>(get("glMultiTexCoord4f"));
    g.CompressedTexImage2D =
        reinterpret_cast<PFNGLCOMPRESSEDTEXIMAGE2DPROC>(get("glCompressedTexImage2D"));
    g.ProvokingVertex = reinterpret_cast<decltype(g.ProvokingVertex)>(get("glProvokingVertex"));
    if (g.ActiveTexture == nullptr || g.ClientActiveTexture == nullptr ||
        g.MultiTexCoord4f == nullptr || g.CompressedTexImage2D == nullptr) {
        return false;
    }
    GLint units = 0;
    glGetIntegerv(GL_MAX_TEXTURE_UNITS, &units);
    GLint coords = 0;
    glGetIntegerv(GL_MAX_TEXTURE_COORDS, &coords);
    if (coords > 0) {
        units = std::min(units, coords);
    }
    g.units = uint32_t(std::clamp<GLint>(units, 1, GLint(kStageCount)));
    GLint lights = 0;
    glGetIntegerv(GL_MAX_LIGHTS, &lights);
    g.lights = uint32_t(std::clamp<GLint>(lights, 1, 8));
    const char *extensions = reinterpret_cast<const char *>(glGetString(GL_EXTENSIONS));
    g.anisotropic = extensions != nullptr &&
                    (std::strstr(extensions, "GL_EXT_texture_filter_anisotropic") != nullptr ||
                     std::strstr(extensions, "GL_ARB_texture_filter_anisotropic") != nullptr);
    g.s3tc = extensions != nullptr &&
             std::strstr(extensions, "GL_EXT_texture_compression_s3tc") != nullptr;
    return true;
}

void GlFixedFunction::Reset() {
    Impl &g = *impl_;
    // The target is stored top-down (see gl_device.h): a triangle clockwise
    // on screen winds counter-clockwise in GL's window coordinates.
    glFrontFace(GL_CCW);
    glDisable(GL_CULL_FACE);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glDepthMask(GL_TRUE);
    glDisable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ZERO);
    glDisable(GL_ALPHA_TEST);
    glAlphaFunc(GL_ALWAYS, 0.0f);
    glDisable(GL_STENCIL_TEST);
    glStencilFunc(GL_ALWAYS, 0, 0xFF);
    glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
    glStencilMask(0xFF);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glShadeModel(GL_SMOOTH);
    if (g.ProvokingVertex != nullptr) {
        g.ProvokingVertex(GL_FIRST_VERTEX_CONVENTION);
    }
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glDisable(GL_DITHER);

    // Lighting: scene ambient 0 (GL starts at 0.2 grey), every light off and
    // black (GL makes light 0 white), the viewer at the eye, specular added
    // after texturing, one-sided, normals as given.
    const float black[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    glDisable(GL_LIGHTING);
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, black);
    glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, GL_TRUE);
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, GL_FALSE);
    glLightModeli(GL_LIGHT_MODEL_COLOR_CONTROL, GL_SEPARATE_SPECULAR_COLOR);
    glDisable(GL_NORMALIZE);
    glDisable(GL_COLOR_MATERIAL);
    for (uint32_t i = 0; i < g.lights; ++i) {
        const GLenum id = GL_LIGHT0 + i;
        glDisable(id);
        glLightfv(id, GL_AMBIENT, black);
        glLightfv(id, GL_DIFFUSE, black);
        glLightfv(id, GL_SPECULAR, black);
        g.glLights[i] = GlLight{};
    }
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, black);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, black);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, black);
    glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, black);
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, 0.0f);

    glDisable(GL_FOG);
    glFogi(GL_FOG_COORD_SRC, GL_FRAGMENT_DEPTH);
    glFogi(GL_FOG_MODE, GL_LINEAR);

    glEnableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_COLOR_ARRAY);
    if (g.white == 0) {
        const uint32_t texel = 0xFFFFFFFFu;
        g.ActiveTexture(GL_TEXTURE0);
        glGenTextures(1, &g.white);
        glBindTexture(GL_TEXTURE_2D, g.white);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 1, 1, 0, GL_BGRA, GL_UNSIGNED_BYTE, &texel);
    }
    for (uint32_t unit = 0; unit < g.units; ++unit) {
        g.ActiveTexture(GL_TEXTURE0 + unit);
        glDisable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, 0);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE);
        glDisable(GL_TEXTURE_GEN_S);
        glDisable(GL_TEXTURE_GEN_T);
        glDisable(GL_TEXTURE_GEN_R);
        glMatrixMode(GL_TEXTURE);
        glLoadIdentity();
        g.ClientActiveTexture(GL_TEXTURE0 + unit);
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    }
    g.ActiveTexture(GL_TEXTURE0);
    g.ClientActiveTexture(GL_TEXTURE0);
    glMatrixMode(GL_MODELVIEW);
    g.ForgetAll();
}

void GlFixedFunction::ForgetWriteMasks() {
    impl_->depth.known = false;
    impl_->colorMask.known = false;
    impl_->stencil.known = false;
}

void GlFixedFunction::ForgetTexture(Texture *texture) {
    Impl &g = *impl_;
    auto it = g.textures.find(texture);
    if (it == g.textures.end()) {
        return;
    }
    if (it->second.name != 0) {
        // GL unbinds a deleted texture; its name may come back for another.
        for (UnitState &u : g.unitState) {
            if (u.texture.value == it->second.name) {
                u.texture.known = false;
            }
        }
        glDeleteTextures(1, &it->second.name);
    }
    g.textures.erase(it);
}

void GlFixedFunction::Impl::ApplyFixedStates(const StateVector &s, bool pretransformed) {
    const uint32_t *rs = s.renderStates;

    const DepthState wantDepth{rs[RenderState::DepthEnable] != 0,
                               CompareFunc(rs[RenderState::DepthFunc]),
                               rs[RenderState::DepthWriteEnable] != 0};
    if (depth.Update(wantDepth)) {
        if (wantDepth.test) {
            glEnable(GL_DEPTH_TEST);
        } else {
            glDisable(GL_DEPTH_TEST);
        }
        glDepthFunc(wantDepth.func);
        glDepthMask(wantDepth.write ? GL_TRUE : GL_FALSE);
    }

    // Write-enable bits: red 1, green 2, blue 4, alpha 8.
    const uint32_t mask = rs[RenderState::ColorWriteEnable] & 0xF;
    if (colorMask.Update(mask)) {
        glColorMask((mask & 1) != 0, (mask & 2) != 0, (mask & 4) != 0, (mask & 8) != 0);
    }

    const BlendState wantBlend{rs[RenderState::AlphaBlendEnable] != 0,
                               BlendFactor(rs[RenderState::SrcBlend]),
                               BlendFactor(rs[RenderState::DestBlend])};
    if (blend.Update(wantBlend)) {
        if (wantBlend.enable) {
            glEnable(GL_BLEND);
        } else {
            glDisable(GL_BLEND);
        }
        glBlendFunc(wantBlend.src, wantBlend.dst);
    }

    // The reference is an 8-bit value.
    const AlphaTestState wantAlpha{rs[RenderState::AlphaTestEnable] != 0,
                                   CompareFunc(rs[RenderState::AlphaFunc]),
                                   rs[RenderState::AlphaRef] & 0xFF};
    if (alphaTest.Update(wantAlpha)) {
        if (wantAlpha.enable) {
            glEnable(GL_ALPHA_TEST);
        } else {
            glDisable(GL_ALPHA_TEST);
        }
        glAlphaFunc(wantAlpha.func, float(wantAlpha.ref) / 255.0f);
    }

    // Both compare (reference & mask) with (stored & mask).
    const StencilState wantStencil{rs[RenderState::StencilEnable] != 0,
                                   CompareFunc(rs[RenderState::StencilFunc]),
                                   rs[RenderState::StencilRef] & 0xFF,
                                   rs[RenderState::StencilMask] & 0xFF,
                                   rs[RenderState::StencilWriteMask] & 0xFF,
                                   StencilOperation(rs[RenderState::StencilFail]),
                                   StencilOperation(rs[RenderState::StencilDepthFail]),
                                   StencilOperation(rs[RenderState::StencilPass])};
    if (stencil.Update(wantStencil)) {
        if (wantStencil.enable) {
            glEnable(GL_STENCIL_TEST);
        } else {
            glDisable(GL_STENCIL_TEST);
        }
        glStencilFunc(wantStencil.func, GLint(wantStencil.ref), wantStencil.mask);
        glStencilOp(wantStencil.fail, wantStencil.depthFail, wantStencil.pass);
        glStencilMask(wantStencil.writeMask);
    }

    RasterState wantRaster{};
    switch (rs[RenderState::CullMode]) {
    case Cull::Cw:
        wantRaster.cull = GL_FRONT;
        break;
    case Cull::Ccw:
        wantRaster.cull = GL_BACK;
        break;
    default:
        wantRaster.cull = 0;
        break;
    }
    switch (rs[RenderState::FillMode]) {
    case Fill::Point:
        wantRaster.polygonMode = GL_POINT;
        break;
    case Fill::Wireframe:
        wantRaster.polygonMode = GL_LINE;
        break;
    default:
        wantRaster.polygonMode = GL_FILL;
        break;
    }
    wantRaster.shadeModel = rs[RenderState::ShadeMode] == Shade::Flat ? GL_FLAT : GL_SMOOTH;
    wantRaster.dither = rs[RenderState::DitherEnable] != 0;
    if (raster.Update(wantRaster)) {
        if (wantRaster.cull != 0) {
            glEnable(GL_CULL_FACE);
            glCullFace(wantRaster.cull);
        } else {
            glDisable(GL_CULL_FACE);
        }
        glPolygonMode(GL_FRONT_AND_BACK, wantRaster.polygonMode);
        glShadeModel(wantRaster.shadeModel);
        if (wantRaster.dither) {
            glEnable(GL_DITHER);
        } else {
            glDisable(GL_DITHER);
        }
    }

    // Fog on camera-space depth: the table mode when one is set, else the
    // vertex mode; none of either draws no fog. Pre-transformed vertices
    // carry no depth to fog by.
    const uint32_t tableMode = rs[RenderState::FogTableMode];
    const uint32_t fogMode =
        tableMode != FogMode::None ? tableMode : rs[RenderState::FogVertexMode];
    FogState wantFog{};
    wantFog.enable = rs[RenderState::FogEnable] != 0 && !pretransformed && fogMode != FogMode::None;
    if (wantFog.enable) {
        wantFog.mode = fogMode == FogMode::Exp    ? GL_EXP
                       : fogMode == FogMode::Exp2 ? GL_EXP2
                                                  : GL_LINEAR;
        wantFog.start = FloatFromBits(rs[RenderState::FogStart]);
        wantFog.end = FloatFromBits(rs[RenderState::FogEnd]);
        wantFog.density = FloatFromBits(rs[RenderState::FogDensity]);
        wantFog.color = rs[RenderState::FogColor];
    }
    if (fog.Update(wantFog)) {
        if (wantFog.enable) {
            float color[4];
            UnpackColor(wantFog.color, color);
            glFogi(GL_FOG_MODE, wantFog.mode);
            glFogf(GL_FOG_START, wantFog.start);
            glFogf(GL_FOG_END, wantFog.end);
            glFogf(GL_FOG_DENSITY, wantFog.density);
            glFogfv(GL_FOG_COLOR, color);
            glEnable(GL_FOG);
        } else {
            glDisable(GL_FOG);
        }
    }
}

void GlFixedFunction::Impl::ApplyTransforms(const StateVector &s, bool pretransformed,
                                            uint32_t width, uint32_t height) {
    ViewportState wantViewport{};
    Matrix wantProjection;
    Matrix wantModelView;
    if (pretransformed) {
        // Screen positions: Direct3D's pixel centres lie on integers, GL's on
        // halves, so window x = x + 0.5, y = y + 0.5 (the target is stored
        // top-down); z is the depth value itself.
        const float w = float(width);
        const float h = float(height);
        wantViewport = ViewportState{0, 0, GLsizei(width), GLsizei(height), 0.0f, 1.0f};
        wantProjection = Matrix{{{2.0f / w, 0, 0, 0},
                                 {0, 2.0f / h, 0, 0},
                                 {0, 0, 2.0f, 0},
                                 {1.0f / w - 1.0f, 1.0f / h - 1.0f, -1.0f, 1.0f}}};
        wantModelView = IdentityMatrix();
    } else {
        const Viewport &vp = s.viewport;
        wantViewport = ViewportState{GLint(vp.x),        GLint(vp.y), GLsizei(vp.width),
                                     GLsizei(vp.height), vp.minZ,     vp.maxZ};
        // Direct3D's clip depth runs 0..w, GL's -w..w: z' = 2z - w, so that
        // near clipping and window depth agree. The target is stored
        // top-down: y' = -y. Then the half-pixel shift of the pixel centres:
        // x' += w / W, y' += w / H.
        Matrix remap = IdentityMatrix();
        remap.m[1][1] = -1.0f;
        remap.m[2][2] = 2.0f;
        remap.m[3][2] = -1.0f;
        Matrix shift = IdentityMatrix();
        shift.m[3][0] = vp.width != 0 ? 1.0f / float(vp.width) : 0.0f;
        shift.m[3][1] = vp.height != 0 ? 1.0f / float(vp.height) : 0.0f;
        wantProjection = Multiply(Multiply(s.projection, remap), shift);
        // Row vectors: world first, then view. The 16 floats are GL's
        // column-major storage of the transpose, loaded unchanged.
        wantModelView = Multiply(s.world[0], s.view);
    }
    if (viewport.Update(wantViewport)) {
        glViewport(wantViewport.x, wantViewport.y, wantViewport.width, wantViewport.height);
        glDepthRange(double(wantViewport.minZ), double(wantViewport.maxZ));
    }
    if (!projectionKnown || !SameBytes(&projection, &wantProjection, sizeof(Matrix))) {
        glMatrixMode(GL_PROJECTION);
        glLoadMatrixf(&wantProjection.m[0][0]);
        projection = wantProjection;
        projectionKnown = true;
    }
    if (!modelViewKnown || !SameBytes(&modelView, &wantModelView, sizeof(Matrix))) {
        glMatrixMode(GL_MODELVIEW);
        glLoadMatrixf(&wantModelView.m[0][0]);
        modelView = wantModelView;
        modelViewKnown = true;
    }
}

void GlFixedFunction::Impl::ApplyLights(const StateVector &s) {
    // Enabled lights in ascending index order take GL's slots.
    GlLight want[8];
    uint32_t count = 0;
    for (const auto &[index, slot] : s.lights) {
        if (!slot.enabled) {
            continue;
        }
        if (count == lights) {
            break;
        }
        want[count].on = true;
        want[count].light = slot.light;
        ++count;
    }
    // GL transforms positions and directions by the modelview when they are
    // set; Direct3D's are in world space, so they go in under the view alone,
    // and again whenever the view changes.
    const bool viewChanged = !lightsKnown || !SameBytes(&lightView, &s.view, sizeof(Matrix));
    bool viewLoaded = false;
    for (uint32_t i = 0; i < lights; ++i) {
        GlLight &have = glLights[i];
        const bool same = lightsKnown && have.on == want[i].on &&
                          (!want[i].on || SameBytes(&have.light, &want[i].light, sizeof(Light)));
        if (same && !(want[i].on && viewChanged)) {
            continue;
        }
        const GLenum id = GL_LIGHT0 + i;
        have = want[i];
        if (!want[i].on) {
            glDisable(id);
            continue;
        }
        if (!viewLoaded) {
            glMatrixMode(GL_MODELVIEW);
            glLoadMatrixf(&s.view.m[0][0]);
            modelViewKnown = false;
            viewLoaded = true;
        }
        const Light &l = want[i].light;
        float color[4];
        ColorFloats(l.diffuse, color);
        glLightfv(id, GL_DIFFUSE, color);
        ColorFloats(l.specular, color);
        glLightfv(id, GL_SPECULAR, color);
        ColorFloats(l.ambient, color);
        glLightfv(id, GL_AMBIENT, color);
        if (l.type == kLightDirectional) {
            // GL's direction is towards the light.
            const float position[4] = {-l.direction.x, -l.direction.y, -l.direction.z, 0.0f};
            glLightfv(id, GL_POSITION, position);
            glLightf(id, GL_SPOT_CUTOFF, 180.0f);
            glLightf(id, GL_SPOT_EXPONENT, 0.0f);
            glLightf(id, GL_CONSTANT_ATTENUATION, 1.0f);
            glLightf(id, GL_LINEAR_ATTENUATION, 0.0f);
            glLightf(id, GL_QUADRATIC_ATTENUATION, 0.0f);
        } else {
            const float position[4] = {l.position.x, l.position.y, l.position.z, 1.0f};
            glLightfv(id, GL_POSITION, position);
            // 1 / (a0 + a1 d + a2 d^2) in both.
            glLightf(id, GL_CONSTANT_ATTENUATION, l.attenuation0);
            glLightf(id, GL_LINEAR_ATTENUATION, l.attenuation1);
            glLightf(id, GL_QUADRATIC_ATTENUATION, l.attenuation2);
            if (l.type == kLightSpot) {
                const float direction[3] = {l.direction.x, l.direction.y, l.direction.z};
                glLightfv(id, GL_SPOT_DIRECTION, direction);
                const float cutoff = l.phi * 0.5f * 180.0f / kPi;
                glLightf(id, GL_SPOT_CUTOFF, std::clamp(cutoff, 0.0f, 90.0f));
                glLightf(id, GL_SPOT_EXPONENT, SpotExponent(l));
            } else {
                glLightf(id, GL_SPOT_CUTOFF, 180.0f);
                glLightf(id, GL_SPOT_EXPONENT, 0.0f);
            }
        }
        glEnable(id);
    }
    lightView = s.view;
    lightsKnown = true;
}

void GlFixedFunction::Impl::ApplyLighting(const StateVector &s, const VertexLayout &layout,
                                          bool lighting) {
    const uint32_t *rs = s.renderStates;
    const LightModelState wantModel{lighting, rs[RenderState::Ambient],
                                    rs[RenderState::LocalViewer] != 0,
                                    rs[RenderState::NormalizeNormals] != 0};
    if (lightModel.Update(wantModel)) {
        if (lighting) {
            glEnable(GL_LIGHTING);
        } else {
            glDisable(GL_LIGHTING);
        }
        float ambient[4];
        UnpackColor(wantModel.ambient, ambient);
        glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
        glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, wantModel.localViewer ? GL_TRUE : GL_FALSE);
        if (wantModel.normalize) {
            glEnable(GL_NORMALIZE);
        } else {
            glDisable(GL_NORMALIZE);
        }
    }
    if (!lighting) {
        return;
    }
    ApplyLights(s);

    // With vertex colours on, a format with a diffuse colour makes it the
    // diffuse material (and the ambient one when that source says so too).
    MaterialState want{};
    want.material = s.material;
    want.specular = rs[RenderState::SpecularEnable] != 0;
    want.track = 0;
    if (rs[RenderState::ColorVertex] != 0 && layout.diffuseOffset >= 0 &&
        rs[RenderState::DiffuseMaterialSource] == 1) {
        want.track =
            rs[RenderState::AmbientMaterialSource] == 1 ? GL_AMBIENT_AND_DIFFUSE : GL_DIFFUSE;
    }
    // While GL_COLOR_MATERIAL was on, the tracked material colours hold the
    // last vertex colour: send the material again.
    const bool resend = !materialKnown || material.track != 0 || want.track != material.track ||
                        want.specular != material.specular ||
                        !SameBytes(&want.material, &material.material, sizeof(Material));
    if (!resend) {
        return;
    }
    if (!materialKnown || want.track != material.track) {
        if (want.track != 0) {
            glColorMaterial(GL_FRONT_AND_BACK, want.track);
            glEnable(GL_COLOR_MATERIAL);
        } else {
            glDisable(GL_COLOR_MATERIAL);
        }
    }
    const Material &m = want.material;
    float color[4];
    ColorFloats(m.ambient, color);
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, color);
    ColorFloats(m.diffuse, color);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, color);
    if (want.specular) {
        ColorFloats(m.specular, color);
    } else {
        color[0] = color[1] = color[2] = color[3] = 0.0f;
    }
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, color);
    ColorFloats(m.emissive, color);
    glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, color);
    const float power = std::isfinite(m.power) ? std::clamp(m.power, 0.0f, 128.0f) : 0.0f;
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, power);
    material = want;
    materialKnown = true;
}

void GlFixedFunction::Impl::BindTexture(uint32_t unit, Texture *texture, const uint32_t *ss) {
    UnitState &u = unitState[unit];
    if (texture == nullptr) {
        if (u.texture.Update(white)) {
            glBindTexture(GL_TEXTURE_2D, white);
        }
        return;
    }
    TextureInfo &info = textures[texture];
    if (info.name == 0) {
        glGenTextures(1, &info.name);
    }
    if (u.texture.Update(info.name)) {
        glBindTexture(GL_TEXTURE_2D, info.name);
    }
    // Upload levels written since the last draw that used the texture
    // (whether or not it was bound again); a level locked right now keeps
    // the old contents until a later draw.
    texture->ReadIfChanged(&info.generation, [&](const std::vector<Texture::Level> &levels) {
        GlTextureFormat f{};
        if (!TextureFormatFor(texture->GetFormat(), &f)) {
            return;
        }
        for (size_t i = 0; i < levels.size(); ++i) {
            const Texture::Level &l = levels[i];
            if (f.compressed && s3tc) {
                CompressedTexImage2D(GL_TEXTURE_2D, GLint(i), GLenum(f.internal), GLsizei(l.width),
                                     GLsizei(l.height), 0, GLsizei(l.bytes.size()), l.bytes.data());
            } else if (f.compressed) {
                // Pixels 0xAARRGGBB are the bytes B, G, R, A.
                std::vector<uint32_t> pixels;
                if (DecodeBlocks(l.bytes.data(), l.bytes.size(), l.width, l.height,
                                 texture->GetFormat(), &pixels)) {
                    glTexImage2D(GL_TEXTURE_2D, GLint(i), GL_RGBA8, GLsizei(l.width),
                                 GLsizei(l.height), 0, GL_BGRA, GL_UNSIGNED_BYTE, pixels.data());
                }
            } else {
                glTexImage2D(GL_TEXTURE_2D, GLint(i), f.internal, GLsizei(l.width),
                             GLsizei(l.height), 0, f.format, f.type, l.bytes.data());
            }
        }
        // A texture with fewer levels than a full chain is complete in GL
        // only with its last level named.
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, 0);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, GLint(levels.size()) - 1);
    });

    // Filters and addressing are per stage in Direct3D and per texture in GL:
    // the stage's values go to the texture when it is bound.
    Sampler want;
    want.minFilter = MinFilterMode(ss[StageState::MinFilter], ss[StageState::MipFilter]);
    want.magFilter = LinearFilter(ss[StageState::MagFilter]) ? GL_LINEAR : GL_NEAREST;
    want.wrapS = AddressMode(ss[StageState::AddressU]);
    want.wrapT = AddressMode(ss[StageState::AddressV]);
    const bool anisotropicFilter = ss[StageState::MinFilter] == TextureFilter::Anisotropic ||
                                   ss[StageState::MagFilter] == TextureFilter::Anisotropic;
    want.anisotropy = anisotropicFilter
                          ? float(std::clamp<uint32_t>(ss[StageState::MaxAnisotropy], 1, 16))
                          : 1.0f;
    want.border = ss[StageState::BorderColor];
    if (info.samplerKnown && info.sampler == want) {
        return;
    }
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, want.minFilter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, want.magFilter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, want.wrapS);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, want.wrapT);
    if (anisotropic) {
        glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, want.anisotropy);
    }
    float border[4];
    UnpackColor(want.border, border);
    glTexParameterfv(GL_TEXTURE_2D, GL_TEXTURE_BORDER_COLOR, border);
    info.sampler = want;
    info.samplerKnown = true;
}

void GlFixedFunction::Impl::ApplyStages(const StateVector &s) {
    // The cascade ends at the first stage whose colour operation is DISABLE,
    // and at a stage that reads a texture it does not have: the previous
    // result (the diffuse colour and alpha at stage 0) passes on unchanged.
    activeUnits = 0;
    for (uint32_t stage = 0; stage < units; ++stage) {
        const uint32_t *ss = s.stageStates[stage];
        if (ss[StageState::ColorOp] == TextureOp::Disable) {
            break;
        }
        if (s.textures[stage] == nullptr && StageReadsTexture(ss)) {
            break;
        }
        activeUnits = stage + 1;
    }

    float factor[4];
    UnpackColor(s.renderStates[RenderState::TextureFactor], factor);
    for (uint32_t unit = 0; unit < units; ++unit) {
        UnitState &u = unitState[unit];
        const bool enable = unit < activeUnits;
        if (!enable) {
            if (u.enabled.Update(false)) {
                ActiveTexture(GL_TEXTURE0 + unit);
                glDisable(GL_TEXTURE_2D);
            }
            continue;
        }
        const uint32_t *ss = s.stageStates[unit];
        ActiveTexture(GL_TEXTURE0 + unit);
        BindTexture(unit, s.textures[unit], ss);
        if (u.enabled.Update(true)) {
            glEnable(GL_TEXTURE_2D);
        }

        // Colour and alpha are combined separately. A stage whose alpha
        // operation is off passes the previous alpha on.
        Combine want;
        SetupChannel(ss[StageState::ColorOp], ss[StageState::ColorArg1], ss[StageState::ColorArg2],
                     false, &want.rgb);
        if (ss[StageState::AlphaOp] == TextureOp::Disable) {
            want.alpha = CombineChannel{};
            want.alpha.mode = GL_REPLACE;
            want.alpha.source[0] = GL_PREVIOUS;
            want.alpha.source[1] = GL_PREVIOUS;
            want.alpha.operand[0] = want.alpha.operand[1] = GL_SRC_ALPHA;
        } else {
            SetupChannel(ss[StageState::AlphaOp], ss[StageState::AlphaArg1],
                         ss[StageState::AlphaArg2], true, &want.alpha);
        }
        if (u.combine.Update(want)) {
            static constexpr GLenum kRgbSource[3] = {GL_SRC0_RGB, GL_SRC1_RGB, GL_SRC2_RGB};
            static constexpr GLenum kRgbOperand[3] = {GL_OPERAND0_RGB, GL_OPERAND1_RGB,
                                                      GL_OPERAND2_RGB};
            static constexpr GLenum kAlphaSource[3] = {GL_SRC0_ALPHA, GL_SRC1_ALPHA, GL_SRC2_ALPHA};
            static constexpr GLenum kAlphaOperand[3] = {GL_OPERAND0_ALPHA, GL_OPERAND1_ALPHA,
                                                        GL_OPERAND2_ALPHA};
            glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE);
            glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB, want.rgb.mode);
            glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_ALPHA, want.alpha.mode);
            for (int i = 0; i < 3; ++i) {
                glTexEnvi(GL_TEXTURE_ENV, kRgbSource[i], want.rgb.source[i]);
                glTexEnvi(GL_TEXTURE_ENV, kRgbOperand[i], want.rgb.operand[i]);
                glTexEnvi(GL_TEXTURE_ENV, kAlphaSource[i], want.alpha.source[i]);
                // Alpha operands can only be alpha.
                const GLint op = want.alpha.operand[i];
                glTexEnvi(GL_TEXTURE_ENV, kAlphaOperand[i],
                          op == GL_ONE_MINUS_SRC_ALPHA || op == GL_ONE_MINUS_SRC_COLOR
                              ? GL_ONE_MINUS_SRC_ALPHA
                              : GL_SRC_ALPHA);
            }
            glTexEnvf(GL_TEXTURE_ENV, GL_RGB_SCALE, want.rgb.scale);
            glTexEnvf(GL_TEXTURE_ENV, GL_ALPHA_SCALE, want.alpha.scale);
        }
        const uint32_t packedFactor = s.renderStates[RenderState::TextureFactor];
        if (u.factor.Update(packedFactor)) {
            glTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, factor);
        }

        // Coordinates: the camera-space normal is GL's normal-map generation
        // on S, T and R (q stays 1); the stage's matrix is loaded unchanged,
        // with the fourth column (0, 0, 0, 1) unless the result is projected,
        // since Direct3D divides only then.
        const uint32_t index = ss[StageState::TexCoordIndex];
        const bool texgen = (index & 0xFFFF0000u) == TexCoordIndexFlag::CameraSpaceNormal;
        if (u.texgen.Update(texgen)) {
            if (texgen) {
                glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_NORMAL_MAP);
                glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_NORMAL_MAP);
                glTexGeni(GL_R, GL_TEXTURE_GEN_MODE, GL_NORMAL_MAP);
                glEnable(GL_TEXTURE_GEN_S);
                glEnable(GL_TEXTURE_GEN_T);
                glEnable(GL_TEXTURE_GEN_R);
            } else {
                glDisable(GL_TEXTURE_GEN_S);
                glDisable(GL_TEXTURE_GEN_T);
                glDisable(GL_TEXTURE_GEN_R);
            }
        }
        const uint32_t flags = ss[StageState::TextureTransformFlags];
        MatrixValue matrix{IdentityMatrix()};
        if (flags != TextureTransformFlag::Disable) {
            matrix.m = s.textureTransform[unit];
            if ((flags & TextureTransformFlag::Projected) == 0) {
                for (int row = 0; row < 4; ++row) {
                    matrix.m.m[row][3] = row == 3 ? 1.0f : 0.0f;
                }
            }
        }
        if (u.textureMatrix.Update(matrix)) {
            glMatrixMode(GL_TEXTURE);
            glLoadMatrixf(&matrix.m.m[0][0]);
        }
    }
    ActiveTexture(GL_TEXTURE0);
}

void GlFixedFunction::Impl::ApplyArrays(const StateVector &s, const DrawCall &call,
                                        bool pretransformed, uint32_t active) {
    const VertexLayout &layout = call.layout;
    const uint8_t *base = call.vertices;
    const uint32_t vertexCount = call.indices != nullptr ? call.maxIndex + 1 : call.vertexCount;
    if (pretransformed) {
        // (x, y, z, 1) / rhw keeps texture coordinates perspective-correct.
        positions.resize(size_t(vertexCount) * 4);
        for (uint32_t i = 0; i < vertexCount; ++i) {
            float p[4];
            std::memcpy(p, base + size_t(i) * call.stride, 16);
            const float w = p[3] != 0.0f ? 1.0f / p[3] : 1.0f;
            float *out = &positions[size_t(i) * 4];
            out[0] = p[0] * w;
            out[1] = p[1] * w;
            out[2] = p[2] * w;
            out[3] = w;
        }
        glVertexPointer(4, GL_FLOAT, 0, positions.data());
    } else {
        glVertexPointer(3, GL_FLOAT, GLsizei(call.stride), base);
    }

    // Without normals Direct3D lights with a dot product of 0 (GL would
    // reuse the last normal): only ambient and emissive light remain.
    const bool normals = layout.normalOffset >= 0;
    if (!arraysKnown || normalArray != normals) {
        if (normals) {
            glEnableClientState(GL_NORMAL_ARRAY);
        } else {
            glDisableClientState(GL_NORMAL_ARRAY);
        }
        normalArray = normals;
    }
    if (normals) {
        glNormalPointer(GL_FLOAT, GLsizei(call.stride), base + layout.normalOffset);
    } else {
        glNormal3f(0.0f, 0.0f, 0.0f);
    }

    // Colours 0xAARRGGBB are the bytes B, G, R, A. Without them the colour is
    // white, whatever colour GL kept.
    const bool colors = layout.diffuseOffset >= 0;
    if (!arraysKnown || colorArray != colors) {
        if (colors) {
            glEnableClientState(GL_COLOR_ARRAY);
        } else {
            glDisableClientState(GL_COLOR_ARRAY);
        }
        colorArray = colors;
    }
    if (colors) {
        glColorPointer(GL_BGRA, GL_UNSIGNED_BYTE, GLsizei(call.stride),
                       base + layout.diffuseOffset);
    } else {
        glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    }

    // Coordinate index n reads set n of the vertex; a set the format lacks
    // reads (0, 0, 0, 1).
    for (uint32_t unit = 0; unit < units; ++unit) {
        const uint32_t *ss = s.stageStates[unit];
        const uint32_t index = ss[StageState::TexCoordIndex];
        const uint32_t set = index & 0xFFFFu;
        const bool generated = (index & 0xFFFF0000u) == TexCoordIndexFlag::CameraSpaceNormal;
        const bool array = unit < active && !generated && set < layout.texSets;
        if (!arraysKnown || texCoordArray[unit] != array || array) {
            ClientActiveTexture(GL_TEXTURE0 + unit);
            if (array) {
                glEnableClientState(GL_TEXTURE_COORD_ARRAY);
                glTexCoordPointer(GLint(layout.texDims[set]), GL_FLOAT, GLsizei(call.stride),
                                  base + layout.texOffset[set]);
            } else {
                glDisableClientState(GL_TEXTURE_COORD_ARRAY);
            }
            texCoordArray[unit] = array;
        }
        if (unit < active && !array) {
            MultiTexCoord4f(GL_TEXTURE0 + unit, 0.0f, 0.0f, 0.0f, 1.0f);
        }
    }
    ClientActiveTexture(GL_TEXTURE0);
    arraysKnown = true;
}

void GlFixedFunction::PrepareDraw(const StateVector &state, const DrawCall &call, uint32_t width,
                                  uint32_t height) {
    Impl &g = *impl_;
    const bool pretransformed = call.layout.position == Fvf::XyzRhw;
    const bool lighting = state.renderStates[RenderState::Lighting] != 0 && !pretransformed;
    g.ApplyFixedStates(state, pretransformed);
    g.ApplyLighting(state, call.layout, lighting);
    g.ApplyTransforms(state, pretransformed, width, height);
    g.ApplyStages(state);
    g.ApplyArrays(state, call, pretransformed, g.activeUnits);
}

void GlFixedFunction::Draw(const DrawCall &call) {
    const GLenum mode = PrimitiveMode(call.primitive);
    if (call.indices != nullptr) {
        glDrawElements(mode, GLsizei(call.vertexCount),
                       call.index32 ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT, call.indices);
    } else {
        glDrawArrays(mode, 0, GLsizei(call.vertexCount));
    }
}

} // namespace gfx
