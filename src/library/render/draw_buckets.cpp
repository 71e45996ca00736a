// Draw instances, the 32 draw buckets, the 3D pass and the frame pair.
#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <limits>
#include <new>

#include "library/display.h"
#include "library/library_item.h"
#include "library/render/draw_owner.h"
#include "library/render/draw_subset.h"
#include "library/render/render_front_end.h"
#include "library/resource_library.h"
#include "platform/graphics.h"

namespace {

gfx::Device *Dev() { return GetD3DDevice(); }

// Bit n of the material's mask: the instance is drawn in bucket n.
uint32_t MaskOf(const DrawInstance *instance) {
    return instance->material != nullptr ? instance->material->bucketMask : 0u;
}

// Subset settings record the 3D pass reads, or null when the index is past
// the mesh's records.
const SubsetSettings *SettingsOf(const DrawInstance *instance) {
    if (instance->mesh == nullptr || instance->subset >= instance->mesh->subsetSettings.size()) {
        return nullptr;
    }
    return &instance->mesh->subsetSettings[instance->subset];
}

// The place of a key (a number) in a sorted bucket: the larger key first,
// equal keys (-0 and +0 too) alike.
uint32_t KeyRank(float key) {
    if (key == 0.0f) {
        key = 0.0f;
    }
    const uint32_t bits = std::bit_cast<uint32_t>(key);
    // Larger floats give larger words, then the word is turned round.
    const uint32_t ascending = (bits & 0x80000000u) != 0 ? ~bits : bits | 0x80000000u;
    return ~ascending;
}

// The place of the instance in its sorted bucket. Were each instance put in
// its place on arrival, before the first smaller key, one whose key is not a
// number would be smaller than none and go last, and a later one would go
// before it only when going before the smallest key ahead of it too. So it
// sorts as the smallest key the bucket held when it came, after the ones
// already there, or as the largest of all in an empty bucket: fixed when it
// is linked (see LinkIntoNextBucket).
uint32_t SortRank(const DrawInstance *instance) {
    return std::isnan(instance->sortKey) ? instance->nanRank : KeyRank(instance->sortKey);
}

// Whether a sorted bucket draws a before b.
bool DrawnBefore(const DrawInstance *a, const DrawInstance *b) { return SortRank(a) < SortRank(b); }

// Orders the entries by rank, equal ranks as they came: a radix sort of
// three 11-bit digits, or a merge sort for short lists. `spare` is the
// second buffer.
void SortByRank(std::vector<DrawSortEntry> &list, std::vector<DrawSortEntry> &spare) {
    constexpr size_t kShortList = 256;
    if (list.size() < kShortList) {
        std::stable_sort(
            list.begin(), list.end(),
            [](const DrawSortEntry &a, const DrawSortEntry &b) { return a.rank < b.rank; });
        return;
    }
    constexpr uint32_t kDigitBits = 11;
    constexpr uint32_t kDigits = 3;
    constexpr uint32_t kRadix = 1u << kDigitBits;
    std::array<std::array<size_t, kRadix>, kDigits> counts{};
    for (const DrawSortEntry &entry : list) {
        for (uint32_t d = 0; d < kDigits; ++d) {
            ++counts[d][(entry.rank >> (d * kDigitBits)) & (kRadix - 1)];
        }
    }
    spare.resize(list.size());
    for (uint32_t d = 0; d < kDigits; ++d) {
        const uint32_t shift = d * kDigitBits;
        std::array<size_t, kRadix> &at = counts[d];
        // A digit every entry shares leaves the order as it is.
        if (at[(list[0].rank >> shift) & (kRadix - 1)] == list.size()) {
            continue;
        }
        size_t start = 0;
        for (size_t &count : at) {
            const size_t n = count;
            count = start;
            start += n;
        }
        for (const DrawSortEntry &entry : list) {
            spare[at[(entry.rank >> shift) & (kRadix - 1)]++] = entry;
        }
        list.swap(spare);
    }
}

// Asks for the instance's list bookkeeping ahead of its use.
void Fetch(const DrawInstance *instance) { __builtin_prefetch(instance, 1); }

// How many places ahead of the pass the instances of a sorted list are
// fetched: walking a large list in key order goes all over memory.
constexpr size_t kFetchAhead = 16;

// Links the instance into the bucket's list between two neighbours (null:
// that end of the list).
void LinkBetween(DrawBucket &bucket, DrawInstance *instance, DrawInstance *previous,
                 DrawInstance *next) {
    instance->previous = previous;
    instance->next = next;
    (previous != nullptr ? previous->next : bucket.head) = instance;
    (next != nullptr ? next->previous : bucket.tail) = instance;
}

void PushFront(DrawBucket &bucket, DrawInstance *instance) {
    LinkBetween(bucket, instance, nullptr, bucket.head);
}

void Append(DrawBucket &bucket, DrawInstance *instance) {
    LinkBetween(bucket, instance, bucket.tail, nullptr);
}

// Takes the head out of the bucket's list; null when the list is empty.
DrawInstance *PopFront(DrawBucket &bucket) {
    DrawInstance *instance = bucket.head;
    if (instance == nullptr) {
        return nullptr;
    }
    bucket.head = instance->next;
    if (bucket.head != nullptr) {
        bucket.head->previous = nullptr;
    } else {
        bucket.tail = nullptr;
    }
    instance->next = nullptr;
    instance->previous = nullptr;
    instance->bucket = kNotInBucket;
    return instance;
}

} // namespace

// --- instance helpers ---------------------------------------------------------------

DrawInstance *SetDrawInstanceOwner(DrawInstance *instance, DrawOwner *owner) {
    if (instance != nullptr) {
        instance->owner = owner;
    }
    return instance;
}

DrawOwner *GetDrawInstanceOwner(const DrawInstance *instance) {
    return instance != nullptr ? instance->owner : nullptr;
}

DrawInstance *SetDrawInstanceScale(DrawInstance *instance, float scale) {
    if (instance != nullptr) {
        instance->scale = scale;
    }
    return instance;
}

DrawInstance *SetDrawInstancePreDrawCallback(DrawInstance *instance,
                                             DrawInstanceCallback callback) {
    if (instance != nullptr) {
        instance->preDraw = callback;
    }
    return instance;
}

bool IsDrawInstanceDestroyed(const DrawInstance *instance) {
    return instance != nullptr && instance->destroyed != 0;
}

void ActorDrawHook(DrawInstance *instance) {
    if (DrawOwner *owner = GetDrawInstanceOwner(instance)) {
        owner->Slot5();
    }
}

// --- buckets ----------------------------------------------------------------------------

void ResourceLibrary::SetUpDrawBuckets() {
    for (DrawBucket &bucket : render_.buckets) {
        bucket = DrawBucket{};
    }
    for (DrawInstance *instance : render_.instances) {
        instance->next = nullptr;
        instance->previous = nullptr;
        instance->bucket = kNotInBucket;
        instance->queued = 0;
    }
    DrawBucket *b = render_.buckets;
    b[3].insertMode = 1;
    b[3].spareFlag = 1;
    b[4].skipLights = 1;
    b[4].skipTransform = 1;
    b[4].skipMaterial = 1;
    b[4].skipDraw = 1;
    b[4].spareFlag = 1;
    b[5].insertMode = 1;
    b[5].spareFlag = 1;
    b[7].insertMode = 2;
    b[7].spareFlag = 1;
    b[11].beginCallback = [](uint32_t) {
        if (CQVGraphics *graphics = GetGraphics()) {
            graphics->ClearDepthStencil();
        }
    };
    b[11].spareFlag = 1;
}

#define BUCKET_SETTER(Name, field, Type)                                                           \
    void ResourceLibrary::Name(uint32_t bucket, Type value) {                                      \
        if (bucket < kDrawBucketCount) {                                                           \
            render_.buckets[bucket].field = value;                                                 \
        }                                                                                          \
    }
BUCKET_SETTER(SetBucketSpareFlag, spareFlag, uint32_t)
BUCKET_SETTER(SetBucketBeginCallback, beginCallback, DrawBucketCallback)
BUCKET_SETTER(SetBucketEndCallback, endCallback, DrawBucketCallback)
BUCKET_SETTER(SetBucketInstanceCallback, instanceCallback, DrawInstanceCallback)
BUCKET_SETTER(SetBucketCreateCallback, createCallback, DrawInstanceCallback)
BUCKET_SETTER(SetBucketReleaseCallback, releaseCallback, DrawInstanceCallback)
BUCKET_SETTER(SetBucketSkipLights, skipLights, uint32_t)
BUCKET_SETTER(SetBucketSkipTransform, skipTransform, uint32_t)
BUCKET_SETTER(SetBucketSkipMaterial, skipMaterial, uint32_t)
BUCKET_SETTER(SetBucketSkipDraw, skipDraw, uint32_t)
#undef BUCKET_SETTER

const DrawBucket *ResourceLibrary::GetDrawBucket(uint32_t bucket) const {
    return bucket < kDrawBucketCount ? &render_.buckets[bucket] : nullptr;
}

// --- instances ----------------------------------------------------------------------------

DrawInstance *ResourceLibrary::CreateDrawInstance(MeshItem *mesh, uint32_t subset,
                                                  MaterialItem *material, const Matrix *world,
                                                  uint32_t userWord, float sortBias) {
    auto *instance = new (std::nothrow) DrawInstance();
    if (instance == nullptr) {
        return nullptr;
    }
    instance->mesh = mesh;
    instance->subset = subset;
    instance->material = material;
    instance->world = world;
    instance->userWord = userWord;
    instance->sortBias = sortBias;
    instance->listIndex = render_.instances.size();
    render_.instances.push_back(instance);
    const uint32_t mask = MaskOf(instance);
    for (uint32_t b = 0; b < kDrawBucketCount; ++b) {
        if ((mask >> b) & 1u) {
            if (DrawInstanceCallback create = render_.buckets[b].createCallback) {
                create(instance);
            }
        }
    }
    return instance;
}

void ResourceLibrary::UnlinkDrawInstance(DrawInstance *instance) {
    // An instance waiting in the sorted run is only marked: the pass passes
    // over it.
    const uint32_t b = instance->bucket;
    instance->bucket = kNotInBucket;
    if (b < kDrawBucketCount) {
        DrawBucket &bucket = render_.buckets[b];
        if (instance->previous != nullptr) {
            instance->previous->next = instance->next;
        } else {
            bucket.head = instance->next;
        }
        if (instance->next != nullptr) {
            instance->next->previous = instance->previous;
        } else {
            bucket.tail = instance->previous;
        }
    }
    instance->next = nullptr;
    instance->previous = nullptr;
}

void ResourceLibrary::SortDrawBucket(DrawBucket &bucket) {
    // A stable sort: equal keys keep the order they came in, as they would
    // had each been put in its place on arrival. What is still to come of
    // the run goes before the list (everything queued since the run was
    // sorted). The keys sort beside their instances, which stay where they
    // are; they wait in the run, out of the list, and are taken from it in
    // turn (see TakeNextInstance).
    const auto b = static_cast<uint32_t>(&bucket - render_.buckets);
    std::vector<DrawSortEntry> &run = render_.sortScratch;
    std::vector<DrawSortEntry> &list = render_.sortSpare;
    list.clear();
    if (render_.sortBucket == b) {
        for (size_t i = render_.sortNext; i < run.size(); ++i) {
            if (run[i].instance->bucket == (b | kInSortedRun)) {
                list.push_back(run[i]);
            }
        }
    }
    for (DrawInstance *at = bucket.head; at != nullptr;) {
        DrawInstance *following = at->next;
        at->next = nullptr;
        at->previous = nullptr;
        at->bucket = b | kInSortedRun;
        list.push_back({SortRank(at), at});
        at = following;
    }
    bucket.head = nullptr;
    bucket.tail = nullptr;
    run.swap(list);
    SortByRank(run, list);
    render_.sortNext = 0;
    render_.sortBucket = b;
    bucket.unsorted = 0;
}

DrawInstance *ResourceLibrary::TakeNextInstance(DrawBucket &bucket) {
    const auto b = static_cast<uint32_t>(&bucket - render_.buckets);
    if (render_.sortBucket == b) {
        const std::vector<DrawSortEntry> &run = render_.sortScratch;
        while (render_.sortNext < run.size()) {
            // Only a hint: an entry may have been destroyed meanwhile.
            if (render_.sortNext + kFetchAhead < run.size()) {
                Fetch(run[render_.sortNext + kFetchAhead].instance);
            }
            DrawInstance *instance = run[render_.sortNext++].instance;
            // Unlinked (destroyed, or linked elsewhere) since the sort: passed
            // over.
            if (instance->bucket == (b | kInSortedRun)) {
                instance->bucket = kNotInBucket;
                return instance;
            }
        }
    }
    return PopFront(bucket);
}

void ResourceLibrary::FreeDrawInstance(DrawInstance *instance) {
    // A release callback that destroys the instance again finds it gone.
    instance->destroyed = 1;
    const uint32_t mask = MaskOf(instance);
    for (uint32_t b = 0; b < kDrawBucketCount; ++b) {
        if ((mask >> b) & 1u) {
            if (DrawInstanceCallback release = render_.buckets[b].releaseCallback) {
                release(instance);
            }
        }
    }
    // The last instance of the list takes its place.
    auto &all = render_.instances;
    const size_t at = instance->listIndex;
    if (at < all.size() && all[at] == instance) {
        all[at] = all.back();
        all[at]->listIndex = at;
        all.pop_back();
    }
    delete instance;
}

void ResourceLibrary::DestroyDrawInstance(DrawInstance *instance) {
    if (instance == nullptr || instance->destroyed) {
        return;
    }
    // Only this instance leaves its list; the others keep their place.
    UnlinkDrawInstance(instance);
    instance->queued = 0;
    if (render_.drawingScene) {
        // Its owner may be going; the pass may still hold it. It is skipped
        // from now on and freed once the pass is over.
        instance->destroyed = 1;
        render_.destroyedInScene.push_back(instance);
        return;
    }
    FreeDrawInstance(instance);
}

// --- queueing -------------------------------------------------------------------------------

void ResourceLibrary::QueueDrawInstance(DrawInstance *instance, float frame, float alpha) {
    if (instance == nullptr || instance->queued || instance->destroyed) {
        return;
    }
    const SubsetSettings *settings = SettingsOf(instance);
    if (settings == nullptr || instance->material == nullptr || instance->world == nullptr) {
        return;
    }
    ++render_.queuedCount;
    const Vector3 local = {settings->sphereCentre[0], settings->sphereCentre[1],
                           settings->sphereCentre[2]};
    Vec3TransformCoord(&instance->centre, local, *instance->world);
    instance->radius = settings->sphereRadius * instance->scale;
    if (!IsSphereVisible(instance->centre, instance->radius, &instance->sortKey,
                         instance->material->fog != 0)) {
        return;
    }
    instance->sortKey += instance->sortBias;
    instance->alpha = alpha;
    instance->frame = frame;
    instance->queued = 1;
    // Linking takes it out of any list it is still in (one it was linked
    // into directly) before its next is cleared.
    LinkIntoNextBucket(instance, 0);
}

bool ResourceLibrary::LinkIntoNextBucket(DrawInstance *instance, uint32_t firstBucket) {
    if (instance == nullptr) {
        return false;
    }
    if (instance->bucket != kNotInBucket) {
        UnlinkDrawInstance(instance);
    }
    instance->next = nullptr;
    // The first bucket of the mask from firstBucket on.
    const uint32_t mask =
        firstBucket < kDrawBucketCount ? MaskOf(instance) >> firstBucket << firstBucket : 0u;
    if (mask == 0) {
        instance->queued = 0;
        return false;
    }
    const auto b = static_cast<uint32_t>(std::countr_zero(mask));
    DrawBucket &bucket = render_.buckets[b];
    switch (bucket.insertMode) {
    case 0:
        PushFront(bucket, instance);
        break;
    case 1:
        Append(bucket, instance);
        break;
    case 2:
    case 3: {
        // Farthest first, equal keys in queueing order: the list is sorted
        // before the pass takes from it, together with what is left of the
        // sorted run of the bucket being drawn.
        const bool runLeft =
            render_.sortBucket == b && render_.sortNext < render_.sortScratch.size();
        const bool empty = bucket.head == nullptr && !runLeft;
        // A key that is not a number sorts as the smallest one there, or as
        // the largest of all in an empty bucket.
        instance->nanRank =
            empty ? KeyRank(std::numeric_limits<float>::infinity()) : bucket.lastRank;
        const uint32_t rank = SortRank(instance);
        bucket.lastRank = empty ? rank : std::max(bucket.lastRank, rank);
        if ((bucket.tail != nullptr && DrawnBefore(instance, bucket.tail)) || runLeft) {
            bucket.unsorted = 1;
        }
        Append(bucket, instance);
        break;
    }
    default:
        instance->queued = 0;
        return false;
    }
    instance->bucket = b;
    return true;
}

bool ResourceLibrary::IsSphereVisible(const Vector3 &centre, float radius, float *outKey,
                                      bool fogCull) const {
    Vector3 p;
    Vec3TransformCoord(&p, centre, render_.view);
    if (outKey != nullptr) {
        *outKey = p.z;
    }
    if (p.z + radius < 0.0f) {
        return false;
    }
    float far = render_.farPlane;
    if (render_.fogOn && fogCull) {
        far = render_.fogEnd;
    }
    if (p.z - radius > far) {
        return false;
    }
    for (const Matrix &plane : render_.sidePlanes) {
        Vec3TransformCoord(&p, centre, plane);
        if (p.z + radius < 0.0f) {
            return false;
        }
    }
    return true;
}

// --- the 3D pass ------------------------------------------------------------------------------

void ResourceLibrary::SelectLocalLights(DrawInstance *instance) {
    gfx::Device *device = Dev();
    const auto &locals = render_.localLights;
    if (device != nullptr) {
        for (LightItem *light : locals) {
            device->LightEnable(light->deviceIndex, false);
        }
    }
    uint32_t count = 0;
    // Lights enabled by a callback during the pass wait for the next one.
    const size_t known = std::min(locals.size(), render_.lightScratch.size());
    for (size_t i = 0; i < known && count < kMaxLocalLightsPerInstance; ++i) {
        const LocalLightSphere &s = render_.lightScratch[i];
        const float dx = s.position.x - instance->centre.x;
        const float dy = s.position.y - instance->centre.y;
        const float dz = s.position.z - instance->centre.z;
        const float reach = s.range + instance->radius;
        if (reach * reach > dx * dx + dy * dy + dz * dz) {
            if (device != nullptr) {
                device->LightEnable(locals[i]->deviceIndex, true);
            }
            ++count;
        }
    }
    instance->lightCount = count;
}

void ResourceLibrary::DrawScene() {
    gfx::Device *device = Dev();
    // Where the local lights are this frame.
    render_.lightScratch.resize(render_.localLights.size());
    for (size_t i = 0; i < render_.localLights.size(); ++i) {
        const LightItem *item = render_.localLights[i];
        gfx::Light light = item->light;
        if (device != nullptr) {
            device->GetLight(item->deviceIndex, &light);
        }
        render_.lightScratch[i].position = {light.position.x, light.position.y, light.position.z};
        render_.lightScratch[i].range = light.range;
    }

    render_.drawingScene = true;
    for (uint32_t b = 0; b < kDrawBucketCount; ++b) {
        DrawBucket &bucket = render_.buckets[b];
        if (bucket.head == nullptr) {
            continue;
        }
        if (bucket.beginCallback != nullptr) {
            bucket.beginCallback(b);
        }
        // The instance being drawn leaves the list (or the sorted run)
        // first, so that both stay whole for anything destroyed meanwhile.
        // Instances queued into a sorted bucket meanwhile take their place
        // before the next.
        render_.sortScratch.clear();
        render_.sortNext = 0;
        render_.sortBucket = kNotInBucket;
        while (true) {
            if (bucket.unsorted) {
                SortDrawBucket(bucket);
            }
            DrawInstance *instance = TakeNextInstance(bucket);
            if (instance == nullptr) {
                break;
            }

            if (!bucket.skipLights) {
                SelectLocalLights(instance);
            }
            if (!bucket.skipTransform && instance->world != nullptr) {
                SetWorldTransform(*instance->world);
            }
            if (!bucket.skipMaterial) {
                const SubsetSettings *settings = SettingsOf(instance);
                ApplyMaterial(instance->material, instance->alpha,
                              settings != nullptr ? settings->secondTexture : kNoSlot);
            }
            if (bucket.instanceCallback != nullptr && !instance->destroyed) {
                bucket.instanceCallback(instance);
            }
            if (!bucket.skipDraw && !instance->destroyed) {
                DrawInstanceSubset(instance);
            }
            if (!instance->destroyed) {
                LinkIntoNextBucket(instance, b + 1);
            }
        }
        if (bucket.endCallback != nullptr) {
            bucket.endCallback(b);
        }
        // The list ends with its bucket: what the end callback linked here
        // is dropped and stays queued until the buckets are set up again.
        for (DrawInstance *left = bucket.head; left != nullptr;) {
            DrawInstance *next = left->next;
            left->next = nullptr;
            left->previous = nullptr;
            left->bucket = kNotInBucket;
            left = next;
        }
        bucket.head = nullptr;
        bucket.tail = nullptr;
        bucket.unsorted = 0;
        render_.sortScratch.clear();
        render_.sortBucket = kNotInBucket;
    }
    render_.drawingScene = false;

    if (device != nullptr) {
        for (LightItem *light : render_.localLights) {
            device->LightEnable(light->deviceIndex, false);
        }
    }
    // Instances destroyed during the pass go now. Their release callbacks
    // may destroy further instances, which then go at once.
    std::vector<DrawInstance *> doomed;
    doomed.swap(render_.destroyedInScene);
    for (DrawInstance *instance : doomed) {
        FreeDrawInstance(instance);
    }
}

void ResourceLibrary::DrawInstanceSubset(DrawInstance *instance) {
    if (instance == nullptr || instance->destroyed || instance->mesh == nullptr) {
        return;
    }
    MeshItem *mesh = instance->mesh;
    if (!mesh->loaded) {
        LoadItem(mesh);
        if (!mesh->loaded) {
            return;
        }
    }
    SubsetDrawRecord record;
    if (!ReadSubsetDrawRecord(*mesh, instance->subset, &record)) {
        return;
    }
    if (instance->preDraw != nullptr) {
        instance->preDraw(instance);
        if (instance->destroyed) {
            return;
        }
    }
    uint32_t baseVertex = 0;
    if (!SubsetBaseVertex(record, instance->frame, &baseVertex)) {
        return;
    }
    if (record.frameCount >= 2 && record.subsetWord != 0) {
        return;
    }
    gfx::Device *device = Dev();
    if (device == nullptr || record.vertexBuffer == nullptr || record.indexBuffer == nullptr) {
        return;
    }
    device->SetStreamSource(0, record.vertexBuffer, record.stride);
    device->SetVertexShader(record.fvf);
    device->SetIndices(record.indexBuffer, baseVertex);
    device->DrawIndexedPrimitive(gfx::Primitive::TriangleList, 0, record.verticesPerFrame, 0,
                                 record.triangleCount);
}

// --- frames ------------------------------------------------------------------------------------

bool ResourceLibrary::BeginRender(bool clearAll, bool clearDepth) {
    CQVGraphics *graphics = GetGraphics();
    if (render_.frameNesting != 0 || graphics == nullptr || !graphics->BeginFrame()) {
        return false;
    }
    render_.frameNesting = 1;
    if (clearAll) {
        graphics->ClearScreen(render_.clearColor);
    } else if (clearDepth) {
        graphics->ClearDepthStencil();
    }
    return true;
}

bool ResourceLibrary::EndRender(bool present) {
    if (render_.frameNesting != 1) {
        return false;
    }
    CQVGraphics *graphics = GetGraphics();
    render_.frameNesting = 0;
    if (graphics == nullptr || !graphics->EndFrame()) {
        return false;
    }
    if (present) {
        graphics->PresentFrame();
    }
    return true;
}

// --- registration
// ---------------------------------------------------------------------------------

void RegisterRenderFrontEnd() {
    SetDrawBucketSetUpHook([] {
        if (ResourceLibrary *library = GetLibrary()) {
            library->SetUpDrawBuckets();
        }
    });
    SetRestoreDeviceStateHook([](ResourceLibrary &library) { library.RestoreLightsAndFog(); });
}
