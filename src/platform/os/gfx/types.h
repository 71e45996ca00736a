// Numbers, result codes and plain records of the graphics device facade.
//
// The numeric values are those the engine's data and callers were written
// against (render-state ids, vertex-format bits, pixel formats, ...), so a
// caller can set state 7 to 1 and mean "depth test on".
#pragma once

#include <cstdint>

#include "base/math.h"

class EngineWindow;

namespace gfx {

// The window a device draws into.
using WindowHandle = EngineWindow *;

// --- results -----------------------------------------------------------------

namespace Result {
constexpr int32_t Ok = 0;
constexpr int32_t Fail = int32_t(0x80004005u);
constexpr int32_t OutOfMemory = int32_t(0x8007000Eu);
constexpr int32_t InvalidArg = int32_t(0x80070057u);
constexpr int32_t InvalidCall = int32_t(0x8876086Cu);
constexpr int32_t DeviceLost = int32_t(0x88760868u);
constexpr int32_t DeviceNotReset = int32_t(0x88760869u);
constexpr int32_t NotAvailable = int32_t(0x8876086Au);
} // namespace Result

constexpr bool Succeeded(int32_t r) { return r >= 0; }
constexpr bool Failed(int32_t r) { return r < 0; }

// --- render states -------------------------------------------------------------

namespace RenderState {
constexpr uint32_t DepthEnable = 7;
constexpr uint32_t FillMode = 8;
constexpr uint32_t ShadeMode = 9;
constexpr uint32_t LinePattern = 10;
constexpr uint32_t DepthWriteEnable = 14;
constexpr uint32_t AlphaTestEnable = 15;
constexpr uint32_t LastPixel = 16;
constexpr uint32_t SrcBlend = 19;
constexpr uint32_t DestBlend = 20;
constexpr uint32_t CullMode = 22;
constexpr uint32_t DepthFunc = 23;
constexpr uint32_t AlphaRef = 24;
constexpr uint32_t AlphaFunc = 25;
constexpr uint32_t DitherEnable = 26;
constexpr uint32_t AlphaBlendEnable = 27;
constexpr uint32_t FogEnable = 28;
constexpr uint32_t SpecularEnable = 29;
constexpr uint32_t DepthVisible = 30;
constexpr uint32_t FogColor = 34;
constexpr uint32_t FogTableMode = 35;
constexpr uint32_t FogStart = 36; // float bits
constexpr uint32_t FogEnd = 37;   // float bits
constexpr uint32_t FogDensity = 38;
constexpr uint32_t EdgeAntialias = 40;
constexpr uint32_t DepthBias = 47;
constexpr uint32_t RangeFogEnable = 48;
constexpr uint32_t StencilEnable = 52;
constexpr uint32_t StencilFail = 53;
constexpr uint32_t StencilDepthFail = 54;
constexpr uint32_t StencilPass = 55;
constexpr uint32_t StencilFunc = 56;
constexpr uint32_t StencilRef = 57;
constexpr uint32_t StencilMask = 58;
constexpr uint32_t StencilWriteMask = 59;
constexpr uint32_t TextureFactor = 60;
constexpr uint32_t Wrap0 = 128;
constexpr uint32_t Clipping = 136;
constexpr uint32_t Lighting = 137;
constexpr uint32_t Ambient = 139;
constexpr uint32_t FogVertexMode = 140;
constexpr uint32_t ColorVertex = 141;
constexpr uint32_t LocalViewer = 142;
constexpr uint32_t NormalizeNormals = 143;
constexpr uint32_t DiffuseMaterialSource = 145;
constexpr uint32_t SpecularMaterialSource = 146;
constexpr uint32_t AmbientMaterialSource = 147;
constexpr uint32_t EmissiveMaterialSource = 148;
constexpr uint32_t VertexBlend = 151;
constexpr uint32_t ClipPlaneEnable = 152;
constexpr uint32_t SoftwareVertexProcessing = 153;
constexpr uint32_t PointSize = 154;
constexpr uint32_t PointSizeMin = 155;
constexpr uint32_t PointSpriteEnable = 156;
constexpr uint32_t PointScaleEnable = 157;
constexpr uint32_t PointScaleA = 158;
constexpr uint32_t PointScaleB = 159;
constexpr uint32_t PointScaleC = 160;
constexpr uint32_t MultisampleAntialias = 161;
constexpr uint32_t MultisampleMask = 162;
constexpr uint32_t PatchEdgeStyle = 163;
constexpr uint32_t PatchSegments = 164;
constexpr uint32_t PointSizeMax = 166;
constexpr uint32_t IndexedVertexBlendEnable = 167;
constexpr uint32_t ColorWriteEnable = 168;
constexpr uint32_t TweenFactor = 170;
constexpr uint32_t BlendOp = 171;
constexpr uint32_t Count = 176; // size of the state table
} // namespace RenderState

// --- texture-stage states ----------------------------------------------------------

namespace StageState {
constexpr uint32_t ColorOp = 1;
constexpr uint32_t ColorArg1 = 2;
constexpr uint32_t ColorArg2 = 3;
constexpr uint32_t AlphaOp = 4;
constexpr uint32_t AlphaArg1 = 5;
constexpr uint32_t AlphaArg2 = 6;
constexpr uint32_t BumpEnvMat00 = 7;
constexpr uint32_t BumpEnvMat01 = 8;
constexpr uint32_t BumpEnvMat10 = 9;
constexpr uint32_t BumpEnvMat11 = 10;
constexpr uint32_t TexCoordIndex = 11;
constexpr uint32_t AddressU = 13;
constexpr uint32_t AddressV = 14;
constexpr uint32_t BorderColor = 15;
constexpr uint32_t MagFilter = 16;
constexpr uint32_t MinFilter = 17;
constexpr uint32_t MipFilter = 18;
constexpr uint32_t MipMapLodBias = 19;
constexpr uint32_t MaxMipLevel = 20;
constexpr uint32_t MaxAnisotropy = 21;
constexpr uint32_t BumpEnvLScale = 22;
constexpr uint32_t BumpEnvLOffset = 23;
constexpr uint32_t TextureTransformFlags = 24;
constexpr uint32_t AddressW = 25;
constexpr uint32_t ColorArg0 = 26;
constexpr uint32_t AlphaArg0 = 27;
constexpr uint32_t ResultArg = 28;
constexpr uint32_t Count = 29;
} // namespace StageState

constexpr uint32_t kStageCount = 8;

namespace TextureOp {
constexpr uint32_t Disable = 1;
constexpr uint32_t SelectArg1 = 2;
constexpr uint32_t SelectArg2 = 3;
constexpr uint32_t Modulate = 4;
constexpr uint32_t Modulate2x = 5;
constexpr uint32_t Modulate4x = 6;
constexpr uint32_t Add = 7;
constexpr uint32_t AddSigned = 8;
constexpr uint32_t AddSigned2x = 9;
constexpr uint32_t Subtract = 10;
constexpr uint32_t AddSmooth = 11;
constexpr uint32_t BlendDiffuseAlpha = 12;
constexpr uint32_t BlendTextureAlpha = 13;
constexpr uint32_t BlendFactorAlpha = 14;
constexpr uint32_t BlendTextureAlphaPm = 15;
constexpr uint32_t BlendCurrentAlpha = 16;
} // namespace TextureOp

namespace TextureArg {
constexpr uint32_t Diffuse = 0;
constexpr uint32_t Current = 1;
constexpr uint32_t Texture = 2;
constexpr uint32_t TFactor = 3;
constexpr uint32_t Specular = 4;
constexpr uint32_t Temp = 5;
constexpr uint32_t Complement = 0x10;
constexpr uint32_t AlphaReplicate = 0x20;
} // namespace TextureArg

namespace TextureFilter {
constexpr uint32_t None = 0;
constexpr uint32_t Point = 1;
constexpr uint32_t Linear = 2;
constexpr uint32_t Anisotropic = 3;
} // namespace TextureFilter

namespace TextureAddress {
constexpr uint32_t Wrap = 1;
constexpr uint32_t Mirror = 2;
constexpr uint32_t Clamp = 3;
constexpr uint32_t Border = 4;
} // namespace TextureAddress

namespace TexCoordIndexFlag {
constexpr uint32_t PassThru = 0;
constexpr uint32_t CameraSpaceNormal = 0x10000;
constexpr uint32_t CameraSpacePosition = 0x20000;
constexpr uint32_t CameraSpaceReflectionVector = 0x30000;
} // namespace TexCoordIndexFlag

namespace TextureTransformFlag {
constexpr uint32_t Disable = 0;
constexpr uint32_t Count1 = 1;
constexpr uint32_t Count2 = 2;
constexpr uint32_t Count3 = 3;
constexpr uint32_t Count4 = 4;
constexpr uint32_t Projected = 256;
} // namespace TextureTransformFlag

namespace Blend {
constexpr uint32_t Zero = 1;
constexpr uint32_t One = 2;
constexpr uint32_t SrcColor = 3;
constexpr uint32_t InvSrcColor = 4;
constexpr uint32_t SrcAlpha = 5;
constexpr uint32_t InvSrcAlpha = 6;
constexpr uint32_t DestAlpha = 7;
constexpr uint32_t InvDestAlpha = 8;
constexpr uint32_t DestColor = 9;
constexpr uint32_t InvDestColor = 10;
constexpr uint32_t SrcAlphaSat = 11;
} // namespace Blend

namespace Cmp {
constexpr uint32_t Never = 1;
constexpr uint32_t Less = 2;
constexpr uint32_t Equal = 3;
constexpr uint32_t LessEqual = 4;
constexpr uint32_t Greater = 5;
constexpr uint32_t NotEqual = 6;
constexpr uint32_t GreaterEqual = 7;
constexpr uint32_t Always = 8;
} // namespace Cmp

namespace Cull {
constexpr uint32_t None = 1;
constexpr uint32_t Cw = 2;
constexpr uint32_t Ccw = 3;
} // namespace Cull

namespace Fill {
constexpr uint32_t Point = 1;
constexpr uint32_t Wireframe = 2;
constexpr uint32_t Solid = 3;
} // namespace Fill

namespace Shade {
constexpr uint32_t Flat = 1;
constexpr uint32_t Gouraud = 2;
} // namespace Shade

namespace StencilOp {
constexpr uint32_t Keep = 1;
constexpr uint32_t Zero = 2;
constexpr uint32_t Replace = 3;
constexpr uint32_t IncrSat = 4;
constexpr uint32_t DecrSat = 5;
constexpr uint32_t Invert = 6;
constexpr uint32_t Incr = 7;
constexpr uint32_t Decr = 8;
} // namespace StencilOp

namespace FogMode {
constexpr uint32_t None = 0;
constexpr uint32_t Exp = 1;
constexpr uint32_t Exp2 = 2;
constexpr uint32_t Linear = 3;
} // namespace FogMode

// --- transforms ----------------------------------------------------------------------

namespace Transform {
constexpr uint32_t View = 2;
constexpr uint32_t Projection = 3;
constexpr uint32_t Texture0 = 16; // Texture0 + stage, up to stage 7
constexpr uint32_t World = 256;   // World + n, n up to 3
} // namespace Transform

// The engine's matrix: row vectors (p' = p x M), translation in the fourth
// row. Its 16 floats are GL's column-major storage of the transpose.
using Matrix = ::Matrix;

Matrix IdentityMatrix();

// --- geometry ----------------------------------------------------------------------

namespace Primitive {
constexpr uint32_t PointList = 1;
constexpr uint32_t LineList = 2;
constexpr uint32_t LineStrip = 3;
constexpr uint32_t TriangleList = 4;
constexpr uint32_t TriangleStrip = 5;
constexpr uint32_t TriangleFan = 6;
} // namespace Primitive

// Flexible vertex format bits.
namespace Fvf {
constexpr uint32_t PositionMask = 0x00E;
constexpr uint32_t Xyz = 0x002;
constexpr uint32_t XyzRhw = 0x004;
constexpr uint32_t XyzB1 = 0x006;
constexpr uint32_t XyzB2 = 0x008;
constexpr uint32_t XyzB3 = 0x00A;
constexpr uint32_t XyzB4 = 0x00C;
constexpr uint32_t XyzB5 = 0x00E;
constexpr uint32_t Normal = 0x010;
constexpr uint32_t PointSize = 0x020;
constexpr uint32_t Diffuse = 0x040;
constexpr uint32_t Specular = 0x080;
constexpr uint32_t TexCountMask = 0xF00;
constexpr uint32_t TexCountShift = 8;
constexpr uint32_t Tex1 = 0x100;
constexpr uint32_t Tex2 = 0x200;
// Size code of texture set n: (code << (16 + 2 n)); 0 two floats (the
// default), 1 three, 2 four, 3 one.
constexpr uint32_t TexSize2 = 0;
constexpr uint32_t TexSize3 = 1;
constexpr uint32_t TexSize4 = 2;
constexpr uint32_t TexSize1 = 3;
} // namespace Fvf

// --- resources --------------------------------------------------------------------------

namespace Format {
constexpr uint32_t Unknown = 0;
constexpr uint32_t R8G8B8 = 20;
constexpr uint32_t A8R8G8B8 = 21;
constexpr uint32_t X8R8G8B8 = 22;
constexpr uint32_t R5G6B5 = 23;
constexpr uint32_t X1R5G5B5 = 24;
constexpr uint32_t A1R5G5B5 = 25;
constexpr uint32_t A4R4G4B4 = 26;
constexpr uint32_t R3G3B2 = 27;
constexpr uint32_t A8 = 28;
constexpr uint32_t A8R3G3B2 = 29;
constexpr uint32_t X4R4G4B4 = 30;
constexpr uint32_t L8 = 50;
constexpr uint32_t A8L8 = 51;
constexpr uint32_t A4L4 = 52;
constexpr uint32_t D16Lockable = 70;
constexpr uint32_t D32 = 71;
constexpr uint32_t D15S1 = 73;
constexpr uint32_t D24S8 = 75;
constexpr uint32_t D24X8 = 77;
constexpr uint32_t D24X4S4 = 79;
constexpr uint32_t D16 = 80;
constexpr uint32_t VertexData = 100;
constexpr uint32_t Index16 = 101;
constexpr uint32_t Index32 = 102;
constexpr uint32_t Dxt1 = 0x31545844u; // "DXT1"
constexpr uint32_t Dxt2 = 0x32545844u;
constexpr uint32_t Dxt3 = 0x33545844u;
constexpr uint32_t Dxt4 = 0x34545844u;
constexpr uint32_t Dxt5 = 0x35545844u;
} // namespace Format

// Bytes of one pixel (0 for block-compressed and unknown formats).
uint32_t FormatBytesPerPixel(uint32_t format);
bool IsCompressedFormat(uint32_t format);
// Bytes of one 4 x 4 block of a compressed format (8 or 16), else 0.
uint32_t FormatBlockBytes(uint32_t format);
// True for the formats a texture can be made with.
bool IsTextureFormat(uint32_t format);

namespace Pool {
constexpr uint32_t Default = 0;
constexpr uint32_t Managed = 1;
constexpr uint32_t SystemMem = 2;
} // namespace Pool

namespace Usage {
constexpr uint32_t RenderTarget = 0x1;
constexpr uint32_t DepthStencil = 0x2;
constexpr uint32_t WriteOnly = 0x8;
constexpr uint32_t SoftwareProcessing = 0x10;
constexpr uint32_t DoNotClip = 0x20;
constexpr uint32_t Points = 0x40;
constexpr uint32_t Dynamic = 0x200;
} // namespace Usage

namespace Lock {
constexpr uint32_t ReadOnly = 0x10;
constexpr uint32_t NoSysLock = 0x800;
constexpr uint32_t NoOverwrite = 0x1000;
constexpr uint32_t Discard = 0x2000;
} // namespace Lock

namespace ResourceType {
constexpr uint32_t Surface = 1;
constexpr uint32_t Texture = 3;
constexpr uint32_t VertexBuffer = 6;
constexpr uint32_t IndexBuffer = 7;
} // namespace ResourceType

namespace ClearFlag {
constexpr uint32_t Target = 1;
constexpr uint32_t DepthBuffer = 2;
constexpr uint32_t Stencil = 4;
} // namespace ClearFlag

// Description of a surface or a texture level.
struct SurfaceDesc {
    uint32_t format = 0;
    uint32_t type = 0;
    uint32_t usage = 0;
    uint32_t pool = 0;
    uint32_t size = 0;
    uint32_t multiSampleType = 0;
    uint32_t width = 0;
    uint32_t height = 0;
};

struct VertexBufferDesc {
    uint32_t format = 0; // Format::VertexData
    uint32_t type = 0;
    uint32_t usage = 0;
    uint32_t pool = 0;
    uint32_t size = 0;
    uint32_t fvf = 0;
};

struct IndexBufferDesc {
    uint32_t format = 0; // Format::Index16 or Index32
    uint32_t type = 0;
    uint32_t usage = 0;
    uint32_t pool = 0;
    uint32_t size = 0;
};

struct LockedRect {
    int32_t pitch = 0; // bytes from one row (of blocks, when compressed) to the next
    void *bits = nullptr;
};

struct Rect {
    int32_t left, top, right, bottom;
};

struct Viewport {
    uint32_t x = 0;
    uint32_t y = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    float minZ = 0.0f;
    float maxZ = 1.0f;
};

struct DisplayMode {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t refreshRate = 0;
    uint32_t format = 0;
};

namespace SwapEffect {
constexpr uint32_t Discard = 1;
constexpr uint32_t Flip = 2;
constexpr uint32_t Copy = 3;
constexpr uint32_t CopyVsync = 4;
} // namespace SwapEffect

namespace PresentFlag {
constexpr uint32_t LockableBackBuffer = 1;
}

namespace PresentInterval {
constexpr uint32_t Default = 0;
constexpr uint32_t One = 1;
constexpr uint32_t Immediate = 0x80000000u;
} // namespace PresentInterval

namespace CreateFlag {
constexpr uint32_t Multithreaded = 0x4;
constexpr uint32_t SoftwareVertexProcessing = 0x20;
} // namespace CreateFlag

struct PresentParameters {
    uint32_t backBufferWidth = 0; // 0: the window's drawable size
    uint32_t backBufferHeight = 0;
    uint32_t backBufferFormat = 0;
    uint32_t backBufferCount = 0;
    uint32_t multiSampleType = 0;
    uint32_t swapEffect = 0;
    WindowHandle deviceWindow = nullptr;
    bool windowed = false;
    bool enableAutoDepthStencil = false;
    uint32_t autoDepthStencilFormat = 0;
    uint32_t flags = 0;
    uint32_t fullScreenRefreshRate = 0;
    uint32_t presentationInterval = 0;
};

// Texture filtering capabilities (Caps::textureFilterCaps).
namespace FilterCaps {
constexpr uint32_t MinPoint = 0x100;
constexpr uint32_t MinLinear = 0x200;
constexpr uint32_t MinAnisotropic = 0x400;
constexpr uint32_t MipPoint = 0x10000;
constexpr uint32_t MipLinear = 0x20000;
constexpr uint32_t MagPoint = 0x1000000;
constexpr uint32_t MagLinear = 0x2000000;
constexpr uint32_t MagAnisotropic = 0x4000000;
} // namespace FilterCaps

struct Caps {
    uint32_t maxTextureWidth = 0;
    uint32_t maxTextureHeight = 0;
    uint32_t textureFilterCaps = 0;
    uint32_t maxTextureBlendStages = 0;
    uint32_t maxSimultaneousTextures = 0;
    uint32_t maxActiveLights = 0;
    uint32_t maxAnisotropy = 0;
};

// Gamma ramp: 256 entries per channel.
struct GammaRamp {
    uint16_t red[256];
    uint16_t green[256];
    uint16_t blue[256];
};

namespace GammaFlag {
constexpr uint32_t NoCalibration = 0;
constexpr uint32_t Calibrate = 1;
} // namespace GammaFlag

// SimulateDeviceLost flags (test hook).
namespace LostFlag {
constexpr uint32_t Lost = 1;      // TestCooperativeLevel answers DeviceLost
constexpr uint32_t NotReset = 2;  // ... answers DeviceNotReset
constexpr uint32_t FailReset = 4; // the next Reset fails
} // namespace LostFlag

} // namespace gfx
