// The render front end of the resource library: draw instances and the 32
// draw buckets they pass through every frame, the material state tracker
// with its eight blend modes, and the view state (camera, projection, fog,
// clear colour, gamma and run-time lights). The ResourceLibrary holds one
// RenderFrontEnd and its operations (library/resource_library.h); what is
// process-wide (the state-word tracker, light and instance helpers) is
// declared here. Main thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/math.h"
#include "platform/os/gfx/records.h"

class DrawOwner;
class LibraryItem;
class LightItem;
class MaterialItem;
class MeshItem;
struct ShadowVolume;
struct DrawInstance;

inline constexpr uint32_t kDrawBucketCount = 32;
// Local lights switched on for one instance at most.
inline constexpr uint32_t kMaxLocalLightsPerInstance = 7;
// A bucket-index word for "in no bucket list".
inline constexpr uint32_t kNotInBucket = 0xFFFFFFFFu;
// Added to the bucket index of an instance that waits in the sorted run of
// the bucket being drawn instead of in its list.
inline constexpr uint32_t kInSortedRun = 0x100u;

using DrawInstanceCallback = void (*)(DrawInstance *instance);
using DrawBucketCallback = void (*)(uint32_t bucket);

// One drawable mesh subset of an actor.
struct DrawInstance {
    // Bookkeeping of the bucket lists first: sorting and the pass go through
    // these of every instance, in one cache line with the sort key, the
    // material and the world.
    DrawInstance *next = nullptr;     // link in its bucket list
    DrawInstance *previous = nullptr; // the one before it there
    uint32_t bucket = kNotInBucket;   // list (or sorted run) it is linked into
    uint32_t queued = 0;              // set while linked into a bucket this frame
    // Destroyed while the scene was drawn: unlinked, never drawn, relinked or
    // called back again; freed when DrawScene ends.
    uint32_t destroyed = 0;
    uint32_t spare0 = 0;
    MeshItem *mesh = nullptr;
    uint32_t subset = 0;
    float sortKey = 0.0f;             // view depth of the sphere centre + bias
    MaterialItem *material = nullptr; // its bucket mask chooses the buckets
    const Matrix *world = nullptr;    // the owner's, not owned
    uint32_t userWord = 0;
    uint32_t spare1 = 1;
    float alpha = 1.0f;                  // opacity of this frame
    float sortBias = 0.0f;               // added to the sort key
    float scale = 1.0f;                  // bounding-radius scale
    Vector3 centre = {0.0f, 0.0f, 0.0f}; // world bounding sphere, set when queued
    float radius = 0.0f;
    uint32_t lightCount = 0; // local lights on for it in its last draw
    float frame = 0.0f;      // animation frame of vertex-animated subsets
    DrawOwner *owner = nullptr;
    DrawInstanceCallback preDraw = nullptr;
    ShadowVolume *shadowVolume = nullptr;
    size_t listIndex = 0; // its place in the library's instance list
    // A key that is not a number: its place in the sorted bucket it was last
    // linked into (smaller first), fixed when it was linked.
    uint32_t nanRank = 0;
};

// One of the 32 render passes.
struct DrawBucket {
    DrawInstance *head = nullptr;
    DrawInstance *tail = nullptr;
    // 0 push at the front, 1 append, 2 and 3 sorted by key (larger first).
    uint32_t insertMode = 0;
    DrawInstanceCallback instanceCallback = nullptr;
    DrawBucketCallback beginCallback = nullptr;
    DrawBucketCallback endCallback = nullptr;
    DrawInstanceCallback createCallback = nullptr;
    DrawInstanceCallback releaseCallback = nullptr;
    uint32_t skipLights = 0;
    uint32_t skipTransform = 0;
    uint32_t skipMaterial = 0;
    uint32_t skipDraw = 0;
    uint32_t spareFlag = 0;
    // A sorted bucket appends as it is given instances and sorts its list
    // before the pass takes the next one out; set while an instance that
    // goes before its predecessor waits there, or one queued while the
    // bucket's sorted run is being drawn.
    uint32_t unsorted = 0;
    // A sorted bucket: the largest rank (the smallest key) linked since the
    // bucket was last empty; the place of a key that is not a number.
    uint32_t lastRank = 0;
};

// An instance of a sorted bucket and its place by key (smaller first), while
// the bucket sorts.
struct DrawSortEntry {
    uint32_t rank = 0;
    DrawInstance *instance = nullptr;
};

// Named alpha-blend and state settings a material chooses by index.
struct BlendModeEntry {
    const char *name;
    uint32_t word;
    uint32_t flag;
};
inline constexpr uint32_t kBlendModeCount = 8;

// State-word bits.
namespace StateWord {
constexpr uint32_t CaseMask = 0x7;
constexpr uint32_t DepthTest = 0x8;
constexpr uint32_t DepthWrite = 0x10;
constexpr uint32_t Lighting = 0x20;
constexpr uint32_t CullMask = 0xC0;
constexpr uint32_t CullCw = 0x40;
constexpr uint32_t CullCcw = 0x80;
constexpr uint32_t Clamp = 0x100;
constexpr uint32_t Stage1Mask = 0x1600;
constexpr uint32_t Stage1Add = 0x200;
constexpr uint32_t Stage1BlendTextureAlpha = 0x600;
constexpr uint32_t EnvStage0 = 0x2000;
constexpr uint32_t EnvStage1 = 0x4000;
constexpr uint32_t Fog = 0x8000;
constexpr uint32_t Inert = 0xF0000; // count as changed, set nothing
constexpr uint32_t Initial = 0x78;
} // namespace StateWord

// A local light as the 3D pass sees it this frame.
struct LocalLightSphere {
    Vector3 position = {0.0f, 0.0f, 0.0f};
    float range = 0.0f;
};

// Everything the library keeps for drawing.
struct RenderFrontEnd {
    RenderFrontEnd();
    // Frees the instances and the run-time lights still held.
    ~RenderFrontEnd();
    RenderFrontEnd(const RenderFrontEnd &) = delete;
    RenderFrontEnd &operator=(const RenderFrontEnd &) = delete;

    // --- buckets and frames ---
    DrawBucket buckets[kDrawBucketCount];
    uint32_t frameNesting = 0;
    uint32_t queuedCount = 0; // QueueDrawInstance calls that got past the checks
    bool drawingScene = false;
    std::vector<DrawInstance *> instances;        // every live instance
    std::vector<DrawInstance *> destroyedInScene; // freed when DrawScene ends
    // The sorted run of the bucket being drawn: its instances wait here, in
    // their order, marked kInSortedRun, until the pass takes them.
    std::vector<DrawSortEntry> sortScratch;
    size_t sortNext = 0;                  // the next entry to take
    uint32_t sortBucket = kNotInBucket;   // the bucket whose run it is
    std::vector<DrawSortEntry> sortSpare; // the sort's second buffer
    std::vector<LocalLightSphere> lightScratch;

    // --- materials ---
    BlendModeEntry blendModes[kBlendModeCount];
    MaterialItem *currentMaterial = nullptr;
    uint32_t lastSecondTexture = 0xFFFFFFFFu;

    // --- view ---
    Vector3 cameraPosition = {0.0f, 0.0f, 0.0f};
    Quaternion cameraRotation = {0.0f, 0.0f, 0.0f, 1.0f};
    Vector3 cameraTarget = {0.0f, 0.0f, 0.0f};
    Matrix view;
    Matrix sidePlanes[4];
    float fieldOfView = 1.5707964f; // vertical, radians
    float aspect = 1.3333334f;      // added to the base aspect
    float nearPlane = 10.0f;
    float farPlane = 4000.0f;
    float projectionFar = 4000.0f;
    uint32_t fogColor = 0;
    uint32_t fogOn = 0;
    float fogStart = 0.0f;
    float fogEnd = 0.0f;
    float gammaScale[3] = {1.0f, 1.0f, 1.0f};
    float gammaOffset[3] = {0.0f, 0.0f, 0.0f};
    uint32_t clearColor = 0;

    // --- lights ---
    std::vector<LightItem *> lights;      // run-time lights
    std::vector<LightItem *> localLights; // active point and spot lights
    std::vector<LightItem *> ownedLights; // made by CreateLight
    uint32_t lightCounter = 0;
};

// The base aspect that the projection adds the stored aspect to.
inline constexpr float kBaseAspect = 0.0f;

// --- state-word tracker (process-wide) ---------------------------------------

// Applies the bit groups of the word that differ from the last applied word,
// or that the force mask names.
void SetBlendMode(uint32_t word);
// Sets the force mask (-1: every group at the next SetBlendMode); answers it.
uint32_t SetCurrentBlendMode(uint32_t mask);
uint32_t GetCurrentBlendWord();
uint32_t GetLastAppliedBlendWord();
uint32_t GetBlendForceMask();
// Back to the start: both words 0x78, force mask 0.
void ResetBlendModeTracking();

// How a material's texture items reach their stages; the video module puts
// its binder here (films advance as they are bound). The default binds the
// texture of a texture item, or no texture for anything else.
using TextureBindHook = void (*)(LibraryItem *item, uint32_t stage);
void SetTextureBindHook(TextureBindHook hook);
void BindMaterialTexture(LibraryItem *item, uint32_t stage);

uint32_t GetMaterialField2(const MaterialItem *material);
uint32_t GetMaterialField8(const MaterialItem *material);

// --- draw instances ------------------------------------------------------------

DrawInstance *SetDrawInstanceOwner(DrawInstance *instance, DrawOwner *owner);
DrawOwner *GetDrawInstanceOwner(const DrawInstance *instance);
DrawInstance *SetDrawInstanceScale(DrawInstance *instance, float scale);
DrawInstance *SetDrawInstancePreDrawCallback(DrawInstance *instance, DrawInstanceCallback callback);
// Whether the instance was destroyed during this DrawScene (callers that ran
// its pre-draw callback stop then).
bool IsDrawInstanceDestroyed(const DrawInstance *instance);
// Pre-draw callback of particle systems and skinned objects: runs the
// owner's draw hook; nothing without an owner.
void ActorDrawHook(DrawInstance *instance);

// --- transforms and screen -------------------------------------------------------

void SetWorldTransform(const Matrix &matrix);
void SetViewTransform(const Matrix &matrix);
void GetViewMatrix(Matrix *out);
// World point to screen pixels (x, y) and viewport depth (z), in place.
void ProjectToScreen(Vector3 *point);
uint32_t GetScreenWidth();
uint32_t GetScreenHeight();

// --- lights ----------------------------------------------------------------------

void ApplyLight(LightItem *light);
// Diffuse x 1 / (a0 + d (a1 + d a2)) at distance d below the range; false
// beyond it, for null, and when the denominator is not positive.
bool ComputeLightAtPoint(const LightItem *light, float outColor[4], const Vector3 &point);

void SetLightType(LightItem *light, uint32_t type);
uint32_t GetLightType(const LightItem *light);
void SetLightDiffuse(LightItem *light, const gfx::ColorValue &color);
gfx::ColorValue GetLightDiffuse(const LightItem *light);
void SetLightSpecular(LightItem *light, const gfx::ColorValue &color);
gfx::ColorValue GetLightSpecular(const LightItem *light);
void SetLightAmbient(LightItem *light, const gfx::ColorValue &color);
gfx::ColorValue GetLightAmbient(const LightItem *light);
void SetLightRange(LightItem *light, float range);
float GetLightRange(const LightItem *light);
void SetLightFalloff(LightItem *light, float falloff);
float GetLightFalloff(const LightItem *light);
void SetLightTheta(LightItem *light, float theta);
float GetLightTheta(const LightItem *light);
void SetLightPhi(LightItem *light, float phi);
float GetLightPhi(const LightItem *light);
void SetLightAttenuation0(LightItem *light, float value);
void SetLightAttenuation1(LightItem *light, float value);
void SetLightAttenuation2(LightItem *light, float value);
float GetLightAttenuation0(const LightItem *light);
float GetLightAttenuation1(const LightItem *light);
float GetLightAttenuation2(const LightItem *light);
void SetLightPosition(LightItem *light, const Vector3 &position);
void GetLightPosition(const LightItem *light, Vector3 *out);
void SetLightDirection(LightItem *light, const Vector3 &direction);
void GetLightDirection(const LightItem *light, Vector3 *out);

// Puts the bucket set-up and the light and fog restore into the display
// start-up and device-reset hooks of the library.
void RegisterRenderFrontEnd();
