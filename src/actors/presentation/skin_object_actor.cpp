#include "actors/presentation/skin_object_actor.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "base/file_system.h"
#include "base/random.h"
#include "core/actors/actor_file.h"
#include "core/actors/actor_file_dump.h"
#include "core/actors/actor_sends.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/class_descriptor.h"
#include "core/actors/command_ids.h"
#include "core/actors/create_source.h"
#include "library/key_track.h"
#include "library/library_item.h"
#include "library/mesh_geometry.h"
#include "library/motion.h"
#include "library/motion_layer.h"
#include "library/render/render_front_end.h"
#include "library/resource_library.h"
#include "library/skeleton.h"

namespace {


// The step clock starts this far behind the actor's clock, so that the
// first step after a start moves the motions.
constexpr float kStepLead = 0.005f;
// A weight above this in the next record means it is not fading.
constexpr float kFadeWeightLimit = 5.0f;
// Smallest bytes of a motion record and of a layer record in a file.
constexpr uint64_t kMotionRecordBytes = 12;
constexpr uint64_t kLayerRecordBytes = 4;
// The bone layer that pins "Bip01" for the output actor.
constexpr uint32_t kBip01BoneLayer = 3;

// clang-format off
const BasicSheetRow kSheet[] = {
    {"SkinObject Properties", PropertyKind::PageTitle, 0, 0},
    {"Slave", PropertyKind::CheckBox, cmd::skin_object::SetSkinSlave, cmd::skin_object::GetSkinSlave},
    {"Motion:", PropertyKind::ListSelector, cmd::skin_object::SetMotionStringList_1095, cmd::skin_object::SetMotionStringList_1096},
    {"Add Motion:|Add|", PropertyKind::Button, cmd::skin_object::AddMotion, 0},
    {"Delete All Motion:|Delete All|", PropertyKind::Button, cmd::skin_object::DeleteAllMotions, 0},
    {"Delete Selected Motion:|Delete|", PropertyKind::Button, cmd::skin_object::DeleteMotion, 0},
    {"Name:", PropertyKind::Text, cmd::skin_object::SetMotionName, cmd::skin_object::GetMotionName},
    {"Priority:", PropertyKind::WholeNumber, cmd::skin_object::SetMotionPriority, cmd::skin_object::GetMotionPriority},
    {"Layer:", PropertyKind::WholeNumber, cmd::skin_object::SetMotionLayer, cmd::skin_object::GetMotionLayer},
    {"BlendTime:", PropertyKind::Real, cmd::skin_object::SetMotionBlendTime, cmd::skin_object::GetMotionBlendTime},
    {"PlayStyle:|Loop|0|Once|1|OnceThenHold|2|", PropertyKind::Enumeration,
     cmd::skin_object::SetMotionPlayStyle,
     cmd::skin_object::GetMotionPlayStyle},
    {"Set Motion:", PropertyKind::MotionPick, cmd::skin_object::SetMotionH, cmd::skin_object::GetMotionH},
    {"SkinObject Properties2", PropertyKind::PageTitle, 0, 0},
    {"Speed:|%|", PropertyKind::Real, cmd::skin_object::SetMotionSpeed, cmd::skin_object::GetMotionSpeed, 100.0f},
    {"Auto Assign motions:", PropertyKind::Caption, 0, 0},
    {"Name:", PropertyKind::Text, cmd::skin_object::SetAutoAssignName, cmd::skin_object::GetAutoAssignName},
    {"Auto Assign:", PropertyKind::Button, cmd::skin_object::AutoAssignMotions, 0},
    {"Tools:", PropertyKind::Caption, 0, 0},
    {"BoneSync AutoCreate", PropertyKind::Button, cmd::skin_object::CreateBoneSyncActors_1136, 0},
    {"Activate AutoCreate", PropertyKind::Button, cmd::skin_object::CreateBoneSyncActors_1137, 0},
    {"ReSync Bones", PropertyKind::Button, cmd::skin_object::ResyncBones, 0},
};
// clang-format on

ResourceLibrary *Library() { return GetLibrary(); }

int SendPlain(Actor *actor, uint32_t commandId) {
    return actor != nullptr ? actor->HandleCommand(commandId, ParamBlock()) : 0;
}

bool NameAt(const std::string &name, size_t from, const char *text) {
    const size_t n = std::char_traits<char>::length(text);
    return name.size() >= from + n && name.compare(from, n, text) == 0;
}

// A child of the actor with the name, made as a Base actor when missing.
Actor *EnsureChild(Actor *parent, const std::string &name) {
    if (Actor *found = FindChildByName(parent, name.c_str())) {
        return found;
    }
    return CreateActor(0, name, nullptr, parent, -1, true);
}

void LinkTo(ActorLink &link, Actor *origin, Actor *target) {
    link.Release();
    link.origin = origin;
    link.Assign(target);
}

} // namespace

uint32_t SkeletonGenerationOf(const Actor *actor) {
    const auto *skin = dynamic_cast<const SkinObjectActor *>(actor);
    return skin != nullptr ? skin->skeletonGeneration : 0;
}

void ApplyMotionNameRules(SkinMotion &motion, bool dieHolds, bool dieOnly) {
    if (NameAt(motion.name, 2, "Die")) {
        motion.blendTime = 0.1f;
        if (dieHolds) {
            motion.playStyle = kSkinOnceThenHold;
        }
    }
    if (dieOnly) {
        return;
    }
    if (NameAt(motion.name, 2, "Dead")) {
        motion.playStyle = kSkinOnceThenHold;
    }
    if (NameAt(motion.name, 1, "_BL_")) {
        motion.playStyle = kSkinOnce;
    }
}

SkinObjectActor::SkinObjectActor() {
    classId = kSkinObjectClassId;
    InitLayers();
    for (CallbackSlot &slot : callbacks) {
        slot.root.origin = this;
        slot.current.origin = this;
    }
    master.origin = this;
    bip01.origin = this;
}

SkinObjectActor::~SkinObjectActor() {
    boneSync.clear();
    bip01.Release();
    master.Release();
    for (CallbackSlot &slot : callbacks) {
        slot.root.Release();
        slot.current.Release();
    }
    FreeAllSkeletonLayers();
    DestroySkeleton(skeleton);
    skeleton = nullptr;
    FreeBoneMatrices();
    if (ResourceLibrary *library = Library()) {
        for (SkinMotion &motion : motions) {
            library->DeleteItemIfUnused(motion.item);
        }
    }
}

void SkinObjectActor::RegisterClass() {
    RegisterBasicClassSheet(kSkinObjectClassId, kSheet);
}

void SkinObjectActor::InitLayers() {
    for (uint32_t k = 0; k < kSkinLayerCount; ++k) {
        layers[k] = SkinLayer();
        layers[k].flags = k << 8;
    }
}

int SkinObjectActor::FindMotion(const std::string &name) const {
    for (size_t i = 0; i < motions.size(); ++i) {
        if (motions[i].name == name) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

SkinMotion *SkinObjectActor::Selected() {
    if (selected < 0 || static_cast<size_t>(selected) >= motions.size()) {
        return nullptr;
    }
    return &motions[static_cast<size_t>(selected)];
}

MotionItem *SkinObjectActor::LayerItem(const SkinLayer &layer) const {
    if (layer.motion < 0 || static_cast<size_t>(layer.motion) >= motions.size()) {
        return nullptr;
    }
    return motions[static_cast<size_t>(layer.motion)].item;
}

bool SkinObjectActor::EnsureSkeleton() {
    if (skeleton == nullptr) {
        skeleton = CreateSkeleton(mesh);
    }
    return skeleton != nullptr;
}

bool SkinObjectActor::EnsureBoneMatrices() {
    if (boneMatrices == nullptr) {
        boneMatrices = AllocBoneMatrices(mesh);
    }
    return boneMatrices != nullptr;
}

void SkinObjectActor::FreeBoneMatrices() {
    ::FreeBoneMatrices(boneMatrices);
    boneMatrices = nullptr;
}

void SkinObjectActor::FreeSkeletonLayer(SkinLayer &layer) {
    FreeMotionLayer(layer.skeletonLayer);
    layer.skeletonLayer = nullptr;
}

void SkinObjectActor::FreeAllSkeletonLayers() {
    for (SkinLayer &layer : layers) {
        FreeSkeletonLayer(layer);
    }
}

void SkinObjectActor::SetLayerMask(uint32_t mask) {
    SkinLayer &layer = CurrentLayer();
    FreeSkeletonLayer(layer);
    layer.mask = mask;
    bool inUse = false;
    for (uint32_t k = 1; k < kSkinLayerCount; ++k) {
        inUse = inUse || layers[k].mask != 0;
    }
    skinFlags = inUse ? (skinFlags | kSkinLayersInUse) : (skinFlags & ~kSkinLayersInUse);
}

void SkinObjectActor::SetLayerBlendValue(SkinLayer &layer, float value) {
    layer.flags &= ~kLayerRamp;
    if (value != layer.weight) {
        layer.weight = value;
        layer.flags &= ~kLayerWeightSet;
    }
}

void SkinObjectActor::LerpLayerBlendValue(SkinLayer &layer, float lerpTime, float value) {
    if (value == layer.weight || lerpTime == 0.0f) {
        SetLayerBlendValue(layer, value);
        return;
    }
    layer.flags |= kLayerRamp;
    layer.flags &= ~kLayerFading;
    layer.target = value;
    layer.rate = std::fabs(value - layer.weight) / lerpTime;
}

void SkinObjectActor::CallbackMotionSet(const std::string &name) {
    CallbackSlot &slot = callbacks[CurrentLayer().Number() % kSkinLayerCount];
    if (slot.root.target == nullptr) {
        return;
    }
    if (slot.current.target != nullptr) {
        Actor *old = slot.current.target;
        slot.current.Release();
        SendPlain(old, cmd::base::ActionStopPre);
    }
    if (slot.root.target == nullptr) {
        return;
    }
    if (Actor *found = FindChildByName(slot.root.target, name.c_str())) {
        LinkTo(slot.current, this, found);
        SendPlain(found, cmd::base::ActionStartPre);
    }
}

int SkinObjectActor::SetMotion(const std::string &name) {
    SkinLayer &L = CurrentLayer();
    const uint32_t number = L.Number();
    if (name.empty()) {
        if (number != 0) {
            L.next.clear();
            L.requested.clear();
            L.motion = -1;
            FreeSkeletonLayer(L);
            SendText(this, cmd::skin_object::CallbackMotionSet, "_None");
        }
        return 1;
    }
    const int found = FindMotion(name);
    if (found < 0) {
        return 0;
    }
    bool carried = false;
    float carriedTime = 0.0f;
    const float blendTime = motions[static_cast<size_t>(found)].blendTime;
    if ((L.flags & kLayerServingEnd) == 0 && blendTime != 0.0f && number + 1 < kSkinLayerCount) {
        SkinLayer &N = layers[number + 1];
        float startWeight = 1.0f;
        if (N.weight != 0.0f && N.motion == found) {
            startWeight = 1.0f - N.weight;
            carriedTime = N.time;
            carried = true;
        }
        if (N.weight <= kFadeWeightLimit) {
            MotionLayer *own = N.skeletonLayer;
            const bool keep = N.mask == L.mask;
            N.skeletonLayer = nullptr;
            N.flags = L.flags;
            N.mask = L.mask;
            N.motion = L.motion;
            N.requested = L.requested;
            N.next = L.next;
            N.speed = L.speed;
            N.time = L.time;
            N.weight = L.weight;
            N.target = L.target;
            N.rate = L.rate;
            if (keep) {
                N.skeletonLayer = own;
                if (own != nullptr && own->mode == 0) {
                    SetMotionLayerMode(own, 1);
                }
            } else {
                FreeMotionLayer(own);
            }
            N.flags = (N.flags & ~0xFFFu) | ((number + 1) << 8);
            N.SetBlendMode(1);
            skinFlags |= kSkinLayersInUse;
            SetLayerBlendValue(N, startWeight);
            LerpLayerBlendValue(N, startWeight * blendTime, 0.0f);
            N.flags |= kLayerFading;
        }
    }
    if ((L.flags & kLayerTransition) != 0) {
        L.next.clear();
        L.flags &= ~kLayerTransition;
    }
    const std::string transition = L.requested + "_2_" + name;
    if (FindMotion(transition) >= 0) {
        SendText(this, cmd::skin_object::SetMotion, transition);
        L.next = name;
        L.flags |= kLayerTransition;
        return 1;
    }
    std::vector<int> candidates = {found};
    for (int n = 1;; ++n) {
        char variant[16];
        std::snprintf(variant, sizeof(variant), "_%02d", n);
        const int index = FindMotion(name + variant);
        if (index < 0) {
            break;
        }
        candidates.push_back(index);
    }
    const int previous = L.motion;
    const int chosen = candidates[static_cast<size_t>(Rand()) % candidates.size()];
    L.motion = chosen;
    L.time = carried ? carriedTime : 0.0f;
    L.requested = name;
    const bool killed = (state & kActorKilled) != 0;
    const std::string &motionName = motions[static_cast<size_t>(chosen)].name;
    if (chosen == previous) {
        if (!killed) {
            SendPlain(callbacks[number % kSkinLayerCount].current.target,
                      cmd::base::OnAnimationLoop);
        }
    } else {
        if (callbacksEnabled && number == 0) {
            SendText(parent, cmd::skin_object::CallbackMotionSet, motionName);
        }
        if (!killed && (skinFlags & kSkinSelfCallbacks) != 0) {
            SendText(this, cmd::skin_object::CallbackMotionSet, motionName);
        }
    }
    return 1;
}

void SkinObjectActor::StartNeutralIfIdle() {
    if (layers[0].motion < 0) {
        const uint32_t keep = currentLayer;
        currentLayer = 0;
        SendText(this, cmd::skin_object::SetMotion, "N_Neutral");
        if (layers[0].motion < 0 && !motions.empty()) {
            layers[0].motion = 0;
            layers[0].time = 0.0f;
        }
        currentLayer = keep;
    }
}

void SkinObjectActor::MotionStep() {
    if (slave != 0 || timeRecord == nullptr) {
        return;
    }
    RefreshTimeRecord(timeRecord);
    const float now = timeRecord->time;
    if (now == lastStepTime) {
        return;
    }
    const float dt = (now - lastStepTime) * timeRecord->simMultiplier;
    lastStepTime = now;
    StartNeutralIfIdle();
    const uint32_t count = (skinFlags & kSkinLayersInUse) != 0 ? kSkinLayerCount : 1;
    for (uint32_t r = 0; r < count; ++r) {
        SkinLayer &layer = layers[r];
        if (LayerItem(layer) == nullptr) {
            continue;
        }
        if ((layer.flags & kLayerRamp) != 0) {
            layer.flags &= ~kLayerWeightSet;
            const float step = dt * layer.rate;
            if (layer.weight < layer.target) {
                layer.weight = std::min(layer.target, layer.weight + step);
            } else {
                layer.weight = std::max(layer.target, layer.weight - step);
            }
            if (layer.weight == layer.target) {
                layer.flags &= ~(kLayerRamp | kLayerFading);
            }
        }
        layer.time += dt * layer.speed;
        const SkinMotion &motion = motions[static_cast<size_t>(layer.motion)];
        if (layer.time < motion.length) {
            continue;
        }
        const uint32_t keep = currentLayer;
        switch (motion.playStyle) {
        case kSkinOnce:
            if (r != 0) {
                layer.flags |= kLayerServingEnd;
                currentLayer = r;
                SendText(this, cmd::skin_object::SetMotion, "");
                layer.flags &= ~kLayerServingEnd;
            }
            break;
        case kSkinOnceThenHold:
            layer.time = motion.length;
            break;
        default:
            layer.flags |= kLayerServingEnd;
            currentLayer = r;
            if (!layer.next.empty()) {
                const std::string next = layer.next;
                layer.next.clear();
                SendText(this, cmd::skin_object::SetMotion, next);
            } else {
                callbacksEnabled = false;
                const std::string again = layer.requested;
                SendText(this, cmd::skin_object::SetMotion, again);
                callbacksEnabled = true;
            }
            layer.flags &= ~kLayerServingEnd;
            if (parent != nullptr) {
                uint32_t number = r;
                parent->HandleCommand(cmd::skin_object::CallbackSkinLooping,
                                      ParamBlock(&number, sizeof(number)));
            }
            break;
        }
        currentLayer = keep;
    }
}

void SkinObjectActor::Pose() {
    if (slave != 0 || poseStamp == FrameCounter) {
        return;
    }
    poseStamp = FrameCounter;
    ResourceLibrary *library = Library();
    if ((skinFlags & kSkinLayersInUse) != 0 && EnsureSkeleton()) {
        for (uint32_t r = 1; r < kSkinLayerCount; ++r) {
            SkinLayer &layer = layers[r];
            MotionItem *item = LayerItem(layer);
            if (item == nullptr) {
                continue;
            }
            if (layer.skeletonLayer == nullptr && layer.weight != 0.0f) {
                layer.skeletonLayer =
                    CreateMotionLayer(skeleton, BoneGroup(layer.mask),
                                      LayerIndex(layer.BoneLayer()), LayerMode(layer.BlendMode()));
                layer.flags &= ~kLayerWeightSet;
            }
            if (layer.skeletonLayer == nullptr) {
                continue;
            }
            if ((layer.flags & kLayerWeightSet) != 0 && layer.weight == 0.0f) {
                continue;
            }
            if ((layer.flags & kLayerWeightSet) == 0) {
                SetMotionLayerWeight(layer.skeletonLayer, layer.weight);
                layer.flags |= kLayerWeightSet;
            }
            // The layer does not load its motion; a released one is loaded
            // again here.
            if (library != nullptr) {
                library->LoadItem(item);
            }
            ApplyMotionToLayer(layer.skeletonLayer, item, layer.time);
        }
    }
    StartNeutralIfIdle();
    if (!EnsureBoneMatrices() || !EnsureSkeleton()) {
        return;
    }
    ComputeBonePose(skeleton, LayerItem(layers[0]), boneMatrices, layers[0].time);
    for (size_t i = 0; i < boneSync.size(); ++i) {
        BoneSyncEntry &entry = *boneSync[i];
        if (entry.link.target == nullptr || entry.bone == nullptr) {
            continue;
        }
        Matrix matrix;
        GetBoneMatrix(entry.bone, &matrix);
        entry.link.target->HandleCommand(cmd::base::SetLocalMatrix,
                                         ParamBlock(&matrix, sizeof(matrix)));
    }
}

void SkinObjectActor::Skin() {
    if (skinStamp == FrameCounter) {
        return;
    }
    skinStamp = FrameCounter;
    auto *owner = dynamic_cast<SkinObjectActor *>(master.target);
    if (slave != 0 && owner != nullptr) {
        SkinMeshVertices(mesh, owner->boneMatrices, 0, owner->clipSphere);
        return;
    }
    EnsureBoneMatrices();
    SkinMeshVertices(mesh, boneMatrices, 0, clipSphere);
}

void SkinObjectActor::Slot5() {
    if (slave == 0) {
        HandleCommand(cmd::base::Update, ParamBlock());
        uint32_t on = 1;
        HandleCommand(cmd::skin_object::UpdateBones, ParamBlock(&on, sizeof(on)));
    }
    Skin();
}

void SkinObjectActor::Update() {
    if (IsOperational() && bip01.target != nullptr) {
        if (slave == 0) {
            HandleCommand(cmd::base::Update, ParamBlock());
        }
        SkinLayer &layer = CurrentLayer();
        KeyTrack *track = FindMotionTrack(LayerItem(layer), "Bip01");
        if (Actor *output = bip01.target; output != nullptr && track != nullptr) {
            SampleTrackRotation(&output->rotation, track, layer.time);
            output->InvalidateTransform();
            SampleTrackPosition(&output->position, track, layer.time);
            output->InvalidateTransform();
        }
    }
    MeshObjectActor::Update();
}

void SkinObjectActor::CreateRenderInstances() {
    MeshObjectActor::CreateRenderInstances();
    for (SubMeshRecord &record : subMeshes) {
        if (record.instance != nullptr) {
            SetDrawInstancePreDrawCallback(record.instance, &ActorDrawHook);
            SetDrawInstanceOwner(record.instance, this);
        }
    }
}

void SkinObjectActor::ResyncBones() {
    skinFlags &= ~(kSkinFlag2 | kSkinSelfCallbacks);
    Actor *bones = FindChildByName(this, "Bones");
    const int neutral = FindMotion("N_Neutral");
    if (bones != nullptr && neutral >= 0 && motions[static_cast<size_t>(neutral)].item != nullptr) {
        EnsureSkeleton();
        MotionItem *item = motions[static_cast<size_t>(neutral)].item;
        totalTime = motions[static_cast<size_t>(neutral)].length;
        boneSync.clear();
        std::vector<KeyTrack *> tracks(GetMotionTrackCount(item), nullptr);
        GetMotionTracks(tracks.data(), item);
        for (KeyTrack *track : tracks) {
            const char *trackName = GetTrackName(track);
            Actor *child = trackName != nullptr ? FindChildByName(bones, trackName) : nullptr;
            if (child == nullptr) {
                continue;
            }
            auto entry = std::make_unique<BoneSyncEntry>();
            LinkTo(entry->link, this, child);
            entry->bone = FindBoneByName(skeleton, trackName);
            boneSync.push_back(std::move(entry));
        }
    }
    for (uint32_t n = 0; n < kSkinLayerCount; ++n) {
        CallbackSlot &slot = callbacks[n];
        slot.root.Release();
        slot.current.Release();
        const std::string rootName = "Activate" + std::to_string(n);
        Actor *root = FindChildByName(this, rootName.c_str());
        if (root == nullptr) {
            continue;
        }
        LinkTo(slot.root, this, root);
        skinFlags |= kSkinSelfCallbacks;
        if (Actor *current = FindChildByName(root, layers[n].requested.c_str())) {
            LinkTo(slot.current, this, current);
        }
    }
}

void SkinObjectActor::CreateBoneSyncActors() {
    Actor *bones = EnsureChild(this, "Bones");
    const int neutral = FindMotion("N_Neutral");
    if (bones == nullptr || neutral < 0) {
        return;
    }
    MotionItem *item = motions[static_cast<size_t>(neutral)].item;
    std::vector<KeyTrack *> tracks(GetMotionTrackCount(item), nullptr);
    GetMotionTracks(tracks.data(), item);
    std::vector<std::string> names;
    for (KeyTrack *track : tracks) {
        if (const char *trackName = GetTrackName(track)) {
            names.emplace_back(trackName);
        }
    }
    for (const std::string &trackName : names) {
        EnsureChild(bones, trackName);
    }
}

void SkinObjectActor::CreateActivateActors() {
    const std::vector<SkinMotion> list = motions;
    for (const SkinMotion &motion : list) {
        const std::string rootName =
            "Activate" + std::to_string(motion.layer == kNoLayer ? 0 : motion.layer);
        if (Actor *root = EnsureChild(this, rootName)) {
            EnsureChild(root, motion.name);
        }
    }
}

int SkinObjectActor::SetBip01Output(Actor *actor) {
    if (actor == bip01.target) {
        return 1;
    }
    if (bip01.target == nullptr && EnsureSkeleton()) {
        PinBip01Bone();
    }
    LinkTo(bip01, this, actor);
    return 1;
}

void SkinObjectActor::PinBip01Bone() {
    Bone *bone = FindBoneByName(skeleton, "Bip01");
    SetBoneLayerMode(bone, 1, kBip01BoneLayer);
    SetBoneLayerWeight(bone, 1.0f, kBip01BoneLayer);
}

int SkinObjectActor::SetMesh(ParamBlock block) {
    FreeAllSkeletonLayers();
    FreeBoneMatrices();
    if (skeleton != nullptr) {
        DestroySkeleton(skeleton);
        skeleton = nullptr;
        ++skeletonGeneration;
    }
    for (const std::unique_ptr<BoneSyncEntry> &entry : boneSync) {
        entry->bone = nullptr;
    }
    const int result = MeshObjectActor::HandleCommand(cmd::mesh_object::SetMesh, block);
    // Nothing points into a skeleton yet: it is made on need.
    if ((boneSync.empty() && bip01.target == nullptr) || !EnsureSkeleton()) {
        return result;
    }
    // A bone actor is named after its bone (see ResyncBones).
    for (const std::unique_ptr<BoneSyncEntry> &entry : boneSync) {
        if (const Actor *follower = entry->link.target) {
            entry->bone = FindBoneByName(skeleton, follower->name.c_str());
        }
    }
    if (bip01.target != nullptr) {
        PinBip01Bone();
    }
    return result;
}

Vector3 SkinObjectActor::MotionVector() {
    SkinLayer &layer = CurrentLayer();
    MotionItem *item = LayerItem(layer);
    if (item == nullptr || layer.time == motions[static_cast<size_t>(layer.motion)].length) {
        return {0.0f, 0.0f, 0.0f};
    }
    Vector3 v{};
    GetMotionVelocity(item, &v);
    const uint32_t next = layer.Number() + 1;
    if (next < kSkinLayerCount) {
        const SkinLayer &fading = layers[next];
        MotionItem *other = LayerItem(fading);
        if ((fading.flags & kLayerFading) != 0 && other != nullptr) {
            Vector3 w{};
            GetMotionVelocity(other, &w);
            v = {v.x + (w.x - v.x) * fading.weight, v.y + (w.y - v.y) * fading.weight,
                 v.z + (w.z - v.z) * fading.weight};
        }
    }
    return {v.x * layer.speed, v.y * layer.speed, v.z * layer.speed};
}

bool SkinObjectActor::AutoAssign() {
    ResourceLibrary *library = Library();
    if (library != nullptr) {
        for (SkinMotion &motion : motions) {
            library->DeleteItemIfUnused(motion.item);
        }
    }
    motions.clear();
    selected = -1;
    // Every layer's index pointed into the list just erased.
    for (SkinLayer &layer : layers) {
        layer.motion = -1;
    }
    if (library == nullptr) {
        return false;
    }
    const std::string prefix = autoAssignName.substr(0, 3);
    for (uint32_t index : library->FindItemsByPrefix(prefix.c_str(), 3, ItemClass::Motion)) {
        auto *item =
            static_cast<MotionItem *>(library->AcquireItem(index, ItemClass::Motion, 0, 0));
        if (item == nullptr) {
            return false;
        }
        SkinMotion motion;
        motion.item = item;
        motion.index = static_cast<int32_t>(index);
        motion.name = ResourceLibrary::GetItemName(item);
        motion.length = GetMotionLength(item);
        ApplyMotionNameRules(motion, false, false);
        motions.push_back(std::move(motion));
    }
    return true;
}

void SkinObjectActor::DeleteMotion() {
    const auto erased = selected;
    if (ResourceLibrary *library = Library()) {
        library->DeleteItemIfUnused(motions[static_cast<size_t>(erased)].item);
    }
    motions.erase(motions.begin() + erased);
    // The layers keep naming the records they played.
    for (SkinLayer &layer : layers) {
        if (layer.motion == erased) {
            layer.motion = -1;
        } else if (layer.motion > erased) {
            --layer.motion;
        }
    }
    selected = -1;
}

void SkinObjectActor::ApplyVersionRules(uint32_t version) {
    if (version < 67) {
        for (SkinMotion &motion : motions) {
            motion.layer = kNoLayer;
            motion.playStyle = kSkinLoop;
            motion.priority = 0;
            motion.blendTime = 0.0f;
            ApplyMotionNameRules(motion, true, false);
        }
    } else if (version < 68) {
        for (SkinMotion &motion : motions) {
            ApplyMotionNameRules(motion, true, true);
        }
    }
}

void SkinObjectActor::InitCommon(bool copy) {
    if (copy) {
        // The copied records point at nothing of this actor's yet.
        boneSync.clear();
        bip01.Release();
        FreeAllSkeletonLayers();
        DestroySkeleton(skeleton);
        skeleton = nullptr;
    }
    master.origin = this;
    bip01.origin = this;
    for (CallbackSlot &slot : callbacks) {
        slot.root.origin = this;
        slot.current.origin = this;
    }
    poseStamp = 0xFFFFFFFFu;
    layers[0].mask = BoneGroup::kEveryBone;
    RefreshTimeRecord(timeRecord);
    lastStepTime = (timeRecord != nullptr ? timeRecord->time : 0.0f) - kStepLead;
}

int SkinObjectActor::Create(ParamBlock block) {
    auto *source = CreateSource(*this, block);
    if (source == nullptr) {
        return 1;
    }
    if (ResourceLibrary *library = Library()) {
        for (SkinMotion &motion : motions) {
            library->DeleteItemIfUnused(motion.item);
        }
    }
    FreeAllSkeletonLayers();
    motions = source->motions;
    for (uint32_t k = 0; k < kSkinLayerCount; ++k) {
        SkinLayer copy = source->layers[k];
        copy.skeletonLayer = nullptr;
        layers[k] = copy;
    }
    skinFlags = source->skinFlags & ~kSkinResourcesLoaded;
    currentLayer = 0;
    lastStepTime = source->lastStepTime;
    autoAssignName = source->autoAssignName;
    selected = source->selected;
    slave = source->slave;
    std::copy(std::begin(source->sphere), std::end(source->sphere), std::begin(sphere));
    clipSphere = source->clipSphere != nullptr ? sphere : nullptr;
    FreeBoneMatrices();
    return 1;
}

void SkinObjectActor::Precalculate() {
    for (SkinMotion &motion : motions) {
        motion.length = GetMotionLength(motion.item);
    }
    for (uint32_t n = 1; n < kSkinLayerCount; ++n) {
        if (layers[n].mask != 0) {
            currentLayer = n;
            SetLayerMask(layers[n].mask);
        }
    }
    currentLayer = 0;
    if (slave != 0 && parent != nullptr) {
        for (Actor *up = parent; up != nullptr; up = up->parent) {
            if (up->classId == kSkinObjectClassId) {
                LinkTo(master, this, up);
                break;
            }
        }
    }
    ResyncBones();
}

void SkinObjectActor::InvalidLink(const ActorLink *link) {
    for (size_t i = 0; i < boneSync.size(); ++i) {
        if (&boneSync[i]->link == link) {
            boneSync.erase(boneSync.begin() + static_cast<std::ptrdiff_t>(i));
            return;
        }
    }
}

void SkinObjectActor::LoadResources() {
    if ((skinFlags & kSkinResourcesLoaded) != 0) {
        return;
    }
    if (ResourceLibrary *library = Library()) {
        for (SkinMotion &motion : motions) {
            library->LoadItem(motion.item);
        }
    }
    skinFlags |= kSkinResourcesLoaded;
}

void SkinObjectActor::UnloadResources() {
    if ((skinFlags & kSkinResourcesLoaded) == 0) {
        return;
    }
    if (ResourceLibrary *library = Library()) {
        for (SkinMotion &motion : motions) {
            library->ReleaseItem(motion.item);
        }
    }
    skinFlags &= ~kSkinResourcesLoaded;
}

int SkinObjectActor::HandleCommand(uint32_t commandId, ParamBlock block) {
    switch (commandId) {
    case cmd::skin_object::SetMotionStringList_1095: {
        const std::string name(block.ReadString(0));
        for (size_t i = 0; i < motions.size(); ++i) {
            if (motions[i].name == name) {
                SendText(this, cmd::skin_object::SetMotion, name);
                selected = static_cast<int32_t>(i);
            }
        }
        break;
    }
    case cmd::skin_object::SetMotionStringList_1096:
        if (auto *out = static_cast<std::vector<std::string> *>(block.ReadPointer(0))) {
            out->clear();
            for (const SkinMotion &motion : motions) {
                out->push_back(motion.name);
            }
        }
        break;
    case cmd::skin_object::SetMotion: {
        const int answer = SetMotion(std::string(block.ReadString(0)));
        if (answer == 0) {
            return 0;
        }
        break;
    }
    case cmd::skin_object::SetMotionH: {
        SkinLayer &layer = CurrentLayer();
        ResourceLibrary *library = Library();
        if (layer.motion < 0 || static_cast<size_t>(layer.motion) >= motions.size() ||
            library == nullptr) {
            return 0;
        }
        SkinMotion &motion = motions[static_cast<size_t>(layer.motion)];
        library->DeleteItemIfUnused(motion.item);
        motion.item = nullptr;
        motion.index =
            ResourceLibrary::GetItemIndex(static_cast<LibraryItem *>(block.ReadPointer(0)));
        motion.item = static_cast<MotionItem *>(
            library->AcquireItem(static_cast<uint32_t>(motion.index), ItemClass::Motion, 0, 0));
        if (motion.item == nullptr) {
            return 0;
        }
        motion.name = ResourceLibrary::GetItemName(motion.item);
        motion.length = GetMotionLength(motion.item);
        break;
    }
    case cmd::skin_object::GetMotionH: {
        MotionItem *item = LayerItem(CurrentLayer());
        if (item == nullptr) {
            return 0;
        }
        block.WritePointer(0, item);
        break;
    }
    case cmd::skin_object::SetMotionName:
    case cmd::skin_object::GetMotionName:
    case cmd::skin_object::SetMotionPriority:
    case cmd::skin_object::GetMotionPriority:
    case cmd::skin_object::SetMotionLayer:
    case cmd::skin_object::GetMotionLayer:
    case cmd::skin_object::SetMotionPlayStyle:
    case cmd::skin_object::GetMotionPlayStyle:
    case cmd::skin_object::SetMotionBlendTime:
    case cmd::skin_object::GetMotionBlendTime: {
        SkinMotion *motion = Selected();
        if (motion == nullptr) {
            return 0;
        }
        switch (commandId) {
        case cmd::skin_object::SetMotionName:
            motion->name = std::string(block.ReadString(0));
            break;
        case cmd::skin_object::GetMotionName:
            block.WriteString(0, motion->name);
            break;
        case cmd::skin_object::SetMotionPriority:
            motion->priority = static_cast<uint8_t>(block.ReadU32(0));
            break;
        case cmd::skin_object::GetMotionPriority:
            block.WriteU32(0, motion->priority);
            break;
        case cmd::skin_object::SetMotionLayer: {
            const uint32_t value = block.ReadU32(0);
            motion->layer = value > 10 ? kNoLayer : static_cast<uint8_t>(value);
            break;
        }
        case cmd::skin_object::GetMotionLayer:
            block.WriteU32(0, motion->layer);
            break;
        case cmd::skin_object::SetMotionPlayStyle:
            motion->playStyle = static_cast<uint8_t>(block.ReadU32(0));
            break;
        case cmd::skin_object::GetMotionPlayStyle:
            block.WriteU32(0, motion->playStyle);
            break;
        case cmd::skin_object::SetMotionBlendTime:
            motion->blendTime = block.ReadF32(0);
            break;
        default:
            block.WriteF32(0, motion->blendTime);
            break;
        }
        break;
    }
    case cmd::skin_object::AddMotion:
        motions.emplace_back();
        selected = -1;
        break;
    case cmd::skin_object::DeleteMotion:
        if (Selected() == nullptr) {
            return 0;
        }
        DeleteMotion();
        break;
    case cmd::skin_object::DeleteAllMotions:
        motions.clear();
        selected = -1;
        for (SkinLayer &layer : layers) {
            layer.motion = -1;
        }
        break;
    case cmd::skin_object::SetAutoAssignName:
        autoAssignName = std::string(block.ReadString(0));
        break;
    case cmd::skin_object::GetAutoAssignName:
        block.WriteString(0, autoAssignName);
        break;
    case cmd::skin_object::AutoAssignMotions:
        if (!AutoAssign()) {
            return 0;
        }
        break;
    case cmd::skin_object::SetSkinSlave:
        slave = block.ReadU32(0) != 0 ? 1 : 0;
        break;
    case cmd::skin_object::GetSkinSlave:
        block.WriteU32(0, slave);
        break;
    case cmd::skin_object::GetBone: {
        const auto *boneName = static_cast<const char *>(block.ReadPointer(0));
        EnsureSkeleton();
        block.WritePointer(sizeof(void *), FindBoneByName(skeleton, boneName));
        return 1;
    }
    case cmd::skin_object::CallbackMotionSet:
        CallbackMotionSet(std::string(block.ReadString(0)));
        break;
    case cmd::skin_object::SetMotionSpeed:
        CurrentLayer().speed = block.ReadF32(0);
        break;
    case cmd::skin_object::GetMotionSpeed:
        block.WriteF32(0, CurrentLayer().speed);
        break;
    case cmd::base::Update:
        MotionStep();
        break;
    case cmd::skin_object::UpdateBones:
        Pose();
        break;
    case cmd::skin_object::SetLayerDestBoneLayer:
        FreeSkeletonLayer(CurrentLayer());
        CurrentLayer().flags = (CurrentLayer().flags & ~0xFFu) | (block.ReadU32(0) & 0xFFu);
        break;
    case cmd::skin_object::SetLayerMask:
        if (currentLayer != 0) {
            SetLayerMask(block.ReadU32(0));
        }
        break;
    case cmd::skin_object::SetLayerBlendValue:
        if (currentLayer != 0) {
            SetLayerBlendValue(CurrentLayer(), block.ReadF32(0));
        }
        break;
    case cmd::skin_object::LerpLayerBlendValue:
        LerpLayerBlendValue(CurrentLayer(), block.ReadF32(0), block.ReadF32(4));
        break;
    case cmd::skin_object::SetCurrentLayer: {
        const uint32_t n = block.ReadU32(0);
        if (n >= kSkinLayerCount) {
            return 0;
        }
        currentLayer = n;
        break;
    }
    case cmd::skin_object::BlendMotion: {
        const uint32_t n = block.ReadU32(128);
        if (n >= kSkinLayerCount) {
            return 0;
        }
        const uint32_t keep = currentLayer;
        currentLayer = n;
        char name[129] = {};
        block.ReadBytes(0, name, 128);
        SendText(this, cmd::skin_object::SetMotion, name);
        currentLayer = keep;
        break;
    }
    case cmd::skin_object::IsTransitionPlaying:
        block.WriteU32(0, (CurrentLayer().flags & kLayerTransition) != 0 ? 1u : 0u);
        break;
    case cmd::skin_object::CreateBoneSyncActors_1136:
        if (FindMotion("N_Neutral") >= 0) {
            CreateBoneSyncActors();
            HandleCommand(cmd::skin_object::ResyncBones, ParamBlock());
            return 2;
        }
        EnsureChild(this, "Bones");
        break;
    case cmd::skin_object::CreateBoneSyncActors_1137:
        CreateActivateActors();
        return 2;
    case cmd::skin_object::ResyncBones:
        ResyncBones();
        break;
    case cmd::skin_object::SetBip01Output:
        SetBip01Output(block.ReadActor(0));
        break;
    case cmd::skin_object::GetBip01Output:
        block.WriteActor(0, bip01.target);
        break;
    case cmd::skin_object::SetSkinClippingSphere: {
        const Vector3 centre = block.Read<Vector3>(0);
        sphere[0] = centre.x;
        sphere[1] = centre.y;
        sphere[2] = centre.z;
        sphere[3] = block.ReadF32(sizeof(Vector3));
        clipSphere = sphere;
        break;
    }
    case cmd::skin_object::GetSkinClippingSphere:
        block.Write(0, Vector3{sphere[0], sphere[1], sphere[2]});
        block.WriteF32(sizeof(Vector3), sphere[3]);
        break;
    case cmd::character::GetMotionVector:
        block.Write(0, MotionVector());
        break;
    case cmd::base::InvalidActorPointer:
        InvalidLink(static_cast<const ActorLink *>(block.ReadPointer(0)));
        break;
    case cmd::base::Start:
    case cmd::base::ActionStart:
    case cmd::mesh_object::SetVisible:
        RefreshTimeRecord(timeRecord);
        lastStepTime = (timeRecord != nullptr ? timeRecord->time : 0.0f) - kStepLead;
        break;
    case cmd::base::InitNew:
        InitCommon(false);
        break;
    case cmd::base::InitLoad: {
        InitCommon(false);
        const ActorSystem *system = GetActorSystem();
        ApplyVersionRules(system != nullptr ? system->GetFileVersion() : kNoFileVersion);
        break;
    }
    case cmd::base::InitCopy:
        InitCommon(true);
        break;
    case cmd::base::Precalculate:
        Precalculate();
        break;
    case cmd::base::Create:
        Create(block);
        break;
    case cmd::base::Kill:
        state |= kActorKilled;
        break;
    case cmd::base::LoadResources:
        LoadResources();
        break;
    case cmd::base::UnloadResources:
        UnloadResources();
        break;
    // The mesh's own clock would answer in place of the layer's: these two
    // go past the Mesh Object to the base.
    case cmd::base::SetCurrentTime:
        CurrentLayer().time = block.ReadF32(0);
        return Actor::HandleCommand(commandId, block);
    case cmd::base::GetCurrentTime:
        block.WriteF32(0, CurrentLayer().time);
        return Actor::HandleCommand(commandId, block);
    case cmd::base::SetCurrentNormalizedTime: {
        const SkinMotion *motion = nullptr;
        if (CurrentLayer().motion >= 0 &&
            static_cast<size_t>(CurrentLayer().motion) < motions.size()) {
            motion = &motions[static_cast<size_t>(CurrentLayer().motion)];
        }
        CurrentLayer().time = (motion != nullptr ? motion->length : 0.0f) * block.ReadF32(0);
        return 1;
    }
    case cmd::base::GetCurrentNormalizedTime: {
        float length = 0.0f;
        if (CurrentLayer().motion >= 0 &&
            static_cast<size_t>(CurrentLayer().motion) < motions.size()) {
            length = motions[static_cast<size_t>(CurrentLayer().motion)].length;
        }
        // A motion without length has no position in it.
        block.WriteF32(0, length != 0.0f ? CurrentLayer().time / length : 0.0f);
        return 1;
    }
    case cmd::mesh_object::SetMesh:
        return SetMesh(block);
    default:
        break;
    }
    return MeshObjectActor::HandleCommand(commandId, block);
}

int SkinObjectActor::Serialize(Archive &archive, uint32_t mode) {
    if (MeshObjectActor::Serialize(archive, mode) == 0) {
        return 0;
    }
    const bool writing = archive.IsWriting();
    const uint32_t version = archive.Version();
    ResourceLibrary *library = Library();
    if (version >= 1) {
        archive.SerializeWord(&slave);
        archive.SerializeSpareWords(1);
        uint32_t count = static_cast<uint32_t>(motions.size());
        archive.SerializeWord(&count);
        if (!writing) {
            if (archive.Failed() || uint64_t{count} * kMotionRecordBytes > archive.BytesLeft()) {
                archive.SetFailed();
                return 0;
            }
            if (library != nullptr) {
                for (SkinMotion &motion : motions) {
                    library->DeleteItemIfUnused(motion.item);
                }
            }
            SkinMotion blank;
            blank.name.clear();
            motions.assign(count, blank);
            selected = -1;
        }
        for (SkinMotion &motion : motions) {
            archive.SerializeWords(&motion.index, 1);
            archive.SerializeWords(&motion.blendTime, 1);
            uint32_t packed = uint32_t{motion.priority} | uint32_t{motion.layer} << 8 |
                              uint32_t{motion.playStyle} << 16 | uint32_t{motion.extra} << 24;
            archive.SerializeWord(&packed);
            if (version >= 37) {
                if (!writing) {
                    motion.name.clear();
                }
                archive.SerializeString(motion.name);
            }
            if (writing || archive.Failed()) {
                continue;
            }
            motion.priority = static_cast<uint8_t>(packed);
            motion.layer = static_cast<uint8_t>(packed >> 8);
            motion.playStyle = static_cast<uint8_t>(packed >> 16);
            motion.extra = static_cast<uint8_t>(packed >> 24);
            if (library != nullptr) {
                motion.item = static_cast<MotionItem *>(library->AcquireItem(
                    static_cast<uint32_t>(motion.index), ItemClass::Motion, 0, 0));
            }
            if (version < 37 && motion.item != nullptr) {
                motion.name = ResourceLibrary::GetItemName(motion.item);
            }
        }
    }
    if (version >= 42) {
        archive.SerializeSpareWords(1);
        uint32_t count = (skinFlags & kSkinLayersInUse) != 0 ? kSkinLayerCount : 1;
        archive.SerializeWord(&count);
        if (!writing &&
            (archive.Failed() || uint64_t{count} * kLayerRecordBytes > archive.BytesLeft())) {
            archive.SetFailed();
            return 0;
        }
        SkinLayer dropped;
        if (!writing && count > 1) {
            // The records read are in use as "Set Layer Mask" would mark them,
            // so that the actor writes them again before it is precalculated.
            skinFlags |= kSkinLayersInUse;
        }
        for (uint32_t k = 0; k < count && !archive.Failed(); ++k) {
            SkinLayer &layer = k < kSkinLayerCount ? layers[k] : dropped;
            archive.SerializeWord(&layer.mask);
            if (layer.mask == 0) {
                continue;
            }
            archive.SerializeWords(&layer.motion, 1);
            if (!writing) {
                layer.requested.clear();
                layer.next.clear();
            }
            archive.SerializeString(layer.requested);
            archive.SerializeString(layer.next);
            archive.SerializeWords(&layer.speed, 1);
            archive.SerializeWords(&layer.time, 1);
            uint32_t transition = (layer.flags & kLayerTransition) != 0 ? 1u : 0u;
            archive.SerializeWord(&transition);
            if (!writing) {
                layer.flags = transition != 0 ? (layer.flags | kLayerTransition)
                                              : (layer.flags & ~kLayerTransition);
                // A record names a motion of the list or none.
                if (layer.motion < 0 || static_cast<size_t>(layer.motion) >= motions.size()) {
                    layer.motion = -1;
                }
            }
        }
    }
    if (!writing && archive.Failed()) {
        return 0;
    }
    return 1;
}

void SkinObjectActor::DumpClassFields(std::vector<std::string> &lines) const {
    MeshObjectActor::DumpClassFields(lines);
    const bool inUse = (skinFlags & kSkinLayersInUse) != 0;
    lines.push_back("skin slave " + std::to_string(slave) + " motions " +
                    std::to_string(motions.size()) + " layers " +
                    std::to_string(inUse ? kSkinLayerCount : 1));
    for (size_t i = 0; i < motions.size(); ++i) {
        const SkinMotion &m = motions[i];
        lines.push_back("motion " + std::to_string(i) + " index " + std::to_string(m.index) +
                        " name " + DumpText(m.name) + " blend " + DumpNumber(m.blendTime) +
                        " priority " + std::to_string(m.priority) + " layer " +
                        std::to_string(m.layer) + " style " + std::to_string(m.playStyle) +
                        " extra " + std::to_string(m.extra));
    }
    for (uint32_t k = 0; k < (inUse ? kSkinLayerCount : 1); ++k) {
        const SkinLayer &l = layers[k];
        std::string line = "layer " + std::to_string(k) + " mask " + std::to_string(l.mask);
        if (l.mask != 0) {
            line += " motion " + std::to_string(l.motion) + " requested " + DumpText(l.requested) +
                    " next " + DumpText(l.next) + " speed " + DumpNumber(l.speed) + " time " +
                    DumpNumber(l.time) + " transition " +
                    ((l.flags & kLayerTransition) != 0 ? "1" : "0");
        }
        lines.push_back(line);
    }
}
