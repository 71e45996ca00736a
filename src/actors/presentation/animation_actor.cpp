#include "actors/presentation/animation_actor.h"

#include <algorithm>
#include <cctype>
#include <string>

#include "base/file_system.h"
#include "core/actors/actor_file_dump.h"
#include "core/actors/actor_sends.h"
#include "core/actors/actor_services.h"
#include "core/actors/class_descriptor.h"
#include "core/actors/command_ids.h"
#include "core/actors/create_source.h"
#include "library/key_track.h"
#include "library/library_item.h"
#include "library/motion.h"
#include "library/resource_library.h"

namespace {

constexpr uint32_t kResourcesLoaded = 1u << 0;
constexpr uint32_t kPlayOnStart = 1u << 1;

// How far inside its ends the clock stops or turns.
constexpr float kEndMargin = 1e-9f;
constexpr float kTurnMargin = 2e-9f;
// The longest motion name handed out by 1098, terminator apart.
constexpr size_t kMotionTextLimit = 127;

// clang-format off
const BasicSheetRow kSheet[] = {
    {"Animation Properties", PropertyKind::PageTitle, 0, 0},
    {"Animation Motion", PropertyKind::Text, cmd::skin_object::SetMotion, cmd::skin_object::GetMotionText},
    {"Animation Style", PropertyKind::Caption, 0, 0},
    {"Style:|Forward Once|0|Backward Once|1|Forward->Backward Once|2|Forward Loop|3|Backward "
     "Loop|4|Forward<->Backward Loop|5|",
     PropertyKind::Enumeration, cmd::base::SetAnimationStyle, cmd::base::GetAnimationStyle},
    {"Speed:|%|", PropertyKind::Real, cmd::base::SetAnimationSpeed, cmd::base::GetAnimationSpeed,
     100.0f},
    {"Play on Start Game:", PropertyKind::CheckBox, cmd::base::X_260, cmd::base::X_261},
    {"Play Animation|Play|", PropertyKind::Button, cmd::base::AnimationPlay, 0},
    {"Stop Animation|Stop|", PropertyKind::Button, cmd::base::AnimationStop, 0},
    {"Reset Animation|Reset|", PropertyKind::Button, cmd::base::AnimationReset, 0},
    {"AutoCreate", PropertyKind::Button, cmd::animation::AnimationAutoCreate, 0},
};
// clang-format on

MotionItem *FindMotion(const std::string &name) {
    ResourceLibrary *library = GetLibrary();
    if (library == nullptr) {
        return nullptr;
    }
    return dynamic_cast<MotionItem *>(library->FindItemByName(name.c_str(), ItemClass::Motion));
}

bool IsDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

// The first class whose registered name has four characters or more and
// begins with the name's first three; 0 when none does.
int32_t ClassByPrefix(const std::string &name) {
    if (name.size() < 3) {
        return 0;
    }
    for (size_t id = 0; id < ClassDescriptorTable.size(); ++id) {
        const std::string &className = ClassDescriptorTable[id].name;
        if (className.size() >= 4 && className.compare(0, 3, name, 0, 3) == 0) {
            return static_cast<int32_t>(id);
        }
    }
    return 0;
}

// "Set Resource" with the name and the shorter names its numbered endings
// leave.
void SetResourceByName(Actor *actor, std::string resource) {
    if (SendText(actor, cmd::base::SetResource, resource) != 0) {
        return;
    }
    const size_t n = resource.size();
    if (n >= 3 && resource[n - 3] == '_' && IsDigit(resource[n - 2]) && IsDigit(resource[n - 1])) {
        resource.resize(n - 3);
        if (SendText(actor, cmd::base::SetResource, resource) != 0) {
            return;
        }
        resource.push_back('_');
    }
    if (resource.empty() || !IsDigit(resource.back())) {
        return;
    }
    resource.pop_back();
    if (SendText(actor, cmd::base::SetResource, resource) != 0) {
        return;
    }
    if (!resource.empty() && IsDigit(resource.back())) {
        resource.pop_back();
        SendText(actor, cmd::base::SetResource, resource);
    }
}

} // namespace

void AnimationTargetList::Append(Actor *origin, Actor *child, uint32_t trackIndex) {
    nodes.emplace_back();
    AnimationTarget &node = nodes.back();
    node.link.origin = origin;
    node.link.Assign(child);
    node.trackIndex = trackIndex;
}

bool AnimationTargetList::Remove(const ActorLink *link) {
    for (auto it = nodes.begin(); it != nodes.end(); ++it) {
        if (&it->link == link) {
            nodes.erase(it);
            return true;
        }
    }
    return false;
}

void AnimationTargetList::Assign(const AnimationTargetList &other, Actor *origin) {
    if (&other == this) {
        return;
    }
    nodes.clear();
    for (const AnimationTarget &node : other.nodes) {
        nodes.emplace_back();
        AnimationTarget &copy = nodes.back();
        copy.link.origin = origin;
        copy.link.AssignCopy(node.link);
        copy.trackIndex = node.trackIndex;
    }
}

AnimationActor::AnimationActor() {
    classId = kAnimationClassId;
    state &= ~kActorEnabled;
}

AnimationActor::~AnimationActor() { targets.Clear(); }

void AnimationActor::RegisterClass() {
    RegisterBasicClassSheet(kAnimationClassId, kSheet);
}

void AnimationActor::Bind() {
    MotionItem *found = FindMotion(motionName);
    if (found == nullptr) {
        return;
    }
    motion = found;
    totalTime = GetMotionLength(found);
    targets.Clear();
    std::vector<KeyTrack *> tracks(GetMotionTrackCount(found), nullptr);
    GetMotionTracks(tracks.data(), found);
    for (size_t i = 0; i < tracks.size(); ++i) {
        const char *name = GetTrackName(tracks[i]);
        if (name == nullptr) {
            continue;
        }
        if (Actor *child = FindDescendantByName(this, name)) {
            targets.Append(this, child, static_cast<uint32_t>(i));
        }
    }
}

void AnimationActor::ApplyPose() {
    // The tracks as the motion holds them now (loading it when released).
    std::vector<KeyTrack *> tracks(GetMotionTrackCount(motion), nullptr);
    GetMotionTracks(tracks.data(), motion);
    for (AnimationTarget &node : targets.nodes) {
        Actor *child = node.link.target;
        if (child == nullptr || node.trackIndex >= tracks.size()) {
            continue;
        }
        const KeyTrack *track = tracks[node.trackIndex];
        SampleTrackRotation(&child->rotation, track, currentTime);
        child->InvalidateTransform();
        SampleTrackPosition(&child->position, track, currentTime);
        child->InvalidateTransform();
        SampleTrackScale(&child->scale, track, currentTime);
        child->InvalidateTransform();
    }
}

int AnimationActor::AutoCreate() {
    MotionItem *found = FindMotion(motionName);
    if (found != nullptr) {
        motion = found;
        std::vector<KeyTrack *> tracks(GetMotionTrackCount(found), nullptr);
        GetMotionTracks(tracks.data(), found);
        std::vector<std::string> names;
        for (KeyTrack *track : tracks) {
            if (const char *name = GetTrackName(track)) {
                names.emplace_back(name);
            }
        }
        for (const std::string &name : names) {
            Actor *child = FindDescendantByName(this, name.c_str());
            if (child == nullptr) {
                const int32_t cls = ClassByPrefix(name);
                child = CreateActor(cls, name, nullptr, this, -1, true);
                if (child == nullptr && cls != 0) {
                    child = CreateActor(0, name, nullptr, this, -1, true);
                }
            }
            // A name too short for a class prefix and a separator names no
            // resource.
            if (child != nullptr && name.size() >= 4) {
                SetResourceByName(child, name.substr(4));
            }
        }
    }
    HandleCommand(cmd::animation::AnimationBind, ParamBlock());
    return 2;
}

void AnimationActor::Reset() {
    switch (style) {
    case 0:
    case 2:
    case 3:
    case 5:
        direction = 0;
        currentTime = 0.0f;
        break;
    case 1:
    case 4:
        direction = 1;
        currentTime = totalTime - kEndMargin;
        break;
    default:
        break;
    }
}

void AnimationActor::SetTime(float value) {
    currentTime = value >= totalTime ? totalTime - kEndMargin : value;
}

void AnimationActor::Raise(uint32_t event) { HandleCommand(event, ParamBlock()); }

void AnimationActor::Create(ParamBlock block) {
    auto *source = CreateSource(*this, block);
    if (source == nullptr) {
        return;
    }
    targets.Assign(source->targets, this);
    motionName = source->motionName;
    motion = source->motion;
    totalTime = source->totalTime;
    currentTime = source->currentTime;
    speedFactor = source->speedFactor;
    style = source->style;
    direction = source->direction;
    speed = source->speed;
    animFlags = source->animFlags & ~kResourcesLoaded;
}

void AnimationActor::Update() {
    if (!IsOperational()) {
        return;
    }
    const bool wasPlaying = (state & kActorEnabled) != 0;
    RefreshTimeRecord(timeRecord);
    const float d = timeRecord != nullptr ? timeRecord->delta : 0.0f;
    if (totalTime > 0.0f && (state & kActorEnabled) != 0) {
        const float step = speed * speedFactor * d;
        currentTime += direction == 0 ? step : -step;
        if (currentTime >= totalTime) {
            switch (style) {
            case 0:
                currentTime = totalTime - kEndMargin;
                state &= ~kActorEnabled;
                Raise(cmd::base::OnAnimationEnd);
                break;
            case 2:
            case 5:
                currentTime = totalTime - kTurnMargin;
                direction = 1;
                Raise(cmd::base::OnAnimationReverse);
                break;
            case 3:
                currentTime -= totalTime;
                if (currentTime > totalTime) {
                    currentTime = 0.0f;
                }
                Raise(cmd::base::OnAnimationLoop);
                break;
            default:
                break;
            }
        } else if (currentTime < 0.0f) {
            switch (style) {
            case 0:
            case 1:
                state &= ~kActorEnabled;
                currentTime = 0.0f;
                Raise(cmd::base::OnAnimationEnd);
                break;
            case 2:
                state &= ~kActorEnabled;
                direction = 0;
                currentTime = 0.0f;
                Raise(cmd::base::OnAnimationEnd);
                break;
            case 3:
            case 4:
                currentTime = totalTime - kEndMargin;
                Raise(cmd::base::OnAnimationLoop);
                break;
            case 5:
                direction = 0;
                currentTime = kEndMargin;
                Raise(cmd::base::OnAnimationLoop);
                break;
            default:
                break;
            }
        }
    }
    if (motion != nullptr && (wasPlaying || (state & kActorEnabled) != 0)) {
        HandleCommand(cmd::skin_object::AnimUpdatE, ParamBlock());
    }
    Actor::Update();
}

int AnimationActor::HandleCommand(uint32_t commandId, ParamBlock block) {
    switch (commandId) {
    case cmd::base::Start:
    case cmd::base::ActionStart:
        HandleCommand(cmd::base::AnimationPlay, ParamBlock());
        break;
    case cmd::base::Stop:
        HandleCommand(cmd::base::AnimationStop, ParamBlock());
        break;
    case cmd::base::InitCopy:
        targets.Clear();
        break;
    case cmd::base::Precalculate:
        HandleCommand(cmd::animation::AnimationBind, ParamBlock());
        break;
    case cmd::base::StartGame:
        if ((animFlags & kPlayOnStart) != 0) {
            HandleCommand(cmd::base::AnimationPlay, ParamBlock());
        }
        break;
    case cmd::base::Create:
        Create(block);
        break;
    case cmd::base::CalcActionTime_203:
        // A clock that does not run forward has no end to wait for.
        if (speed > 0.0f) {
            block.WriteF32(0, std::max(block.ReadF32(0), totalTime / speed));
        }
        break;
    case cmd::base::ActionStartValue:
    case cmd::base::ActionStopValue:
    case cmd::base::KillValue:
        speedFactor = block.ReadF32(0);
        break;
    case cmd::base::ActionStartPost:
        speedFactor = 1.0f;
        break;
    case cmd::base::LoadResources:
        if ((animFlags & kResourcesLoaded) == 0) {
            if (ResourceLibrary *library = GetLibrary()) {
                library->LoadItem(motion);
            }
            animFlags |= kResourcesLoaded;
        }
        break;
    case cmd::base::UnloadResources:
        if ((animFlags & kResourcesLoaded) != 0) {
            if (ResourceLibrary *library = GetLibrary()) {
                library->ReleaseItem(motion);
            }
            animFlags &= ~kResourcesLoaded;
        }
        break;
    case cmd::base::InvalidActorPointer:
        targets.Remove(static_cast<const ActorLink *>(block.ReadPointer(0)));
        break;
    case cmd::base::SetCurrentTime:
        SetTime(block.ReadF32(0));
        break;
    case cmd::base::GetCurrentTime:
        block.WriteF32(0, currentTime);
        break;
    case cmd::base::SetCurrentNormalizedTime:
        SetTime(totalTime * block.ReadF32(0));
        return 1;
    case cmd::base::GetCurrentNormalizedTime:
        // Unbound, the clock has no position in a motion.
        block.WriteF32(0, totalTime != 0.0f ? currentTime / totalTime : 0.0f);
        return 1;
    case cmd::base::GetTotalTime:
        block.WriteF32(0, totalTime);
        break;
    case cmd::base::SetAnimationStyle:
        style = block.ReadU32(0);
        Reset();
        break;
    case cmd::base::GetAnimationStyle:
        block.WriteU32(0, style);
        break;
    case cmd::base::X_260:
        animFlags =
            block.ReadU32(0) != 0 ? (animFlags | kPlayOnStart) : (animFlags & ~kPlayOnStart);
        break;
    case cmd::base::X_261:
        block.WriteU32(0, (animFlags & kPlayOnStart) != 0 ? 1u : 0u);
        break;
    case cmd::base::AnimationPlay:
        state |= kActorEnabled;
        break;
    case cmd::base::AnimationStop:
        state &= ~kActorEnabled;
        break;
    case cmd::base::AnimationReset:
        Reset();
        HandleCommand(cmd::skin_object::AnimUpdatE, ParamBlock());
        break;
    case cmd::base::SetAnimationSpeed:
        speed = block.ReadF32(0);
        break;
    case cmd::base::GetAnimationSpeed:
        block.WriteF32(0, speed);
        break;
    case cmd::skin_object::SetMotion: {
        const std::string name(block.ReadString(0));
        if (name != motionName) {
            motionName = name;
            HandleCommand(cmd::animation::AnimationBind, ParamBlock());
            float zero = 0.0f;
            HandleCommand(cmd::base::SetCurrentTime, ParamBlock(&zero, sizeof(zero)));
        }
        break;
    }
    case cmd::skin_object::GetMotionText:
        block.WriteString(0, std::string_view(motionName).substr(0, kMotionTextLimit));
        break;
    case cmd::animation::AnimationAutoCreate:
        return AutoCreate();
    case cmd::animation::AnimationBind:
        Bind();
        break;
    case cmd::skin_object::AnimUpdatE:
        ApplyPose();
        break;
    default:
        break;
    }
    return Actor::HandleCommand(commandId, block);
}

int AnimationActor::Serialize(Archive &archive, uint32_t mode) {
    if (Actor::Serialize(archive, mode) == 0) {
        return 0;
    }
    const bool writing = archive.IsWriting();
    const uint32_t version = archive.Version();
    if (version >= 1) {
        if (!writing) {
            motionName.clear();
        }
        archive.SerializeString(motionName);
        archive.SerializeWord(&style);
        uint32_t playOnStart = (animFlags & kPlayOnStart) != 0 ? 1u : 0u;
        archive.SerializeWord(&playOnStart);
        archive.SerializeWords(&speed, 1);
        if (version < 64) {
            uint32_t playing = (state & kActorEnabled) != 0 ? 1u : 0u;
            archive.SerializeWord(&playing);
            if (!writing) {
                state = playing != 0 ? (state | kActorEnabled) : (state & ~kActorEnabled);
            }
        }
        archive.SerializeWords(&currentTime, 1);
        archive.SerializeWord(&direction);
        if (!writing) {
            animFlags = playOnStart != 0 ? (animFlags | kPlayOnStart) : (animFlags & ~kPlayOnStart);
        }
    }
    if (!writing && archive.Failed()) {
        return 0;
    }
    return 1;
}

void AnimationActor::DumpClassFields(std::vector<std::string> &lines) const {
    lines.push_back("animation motion " + DumpText(motionName) + " style " + std::to_string(style) +
                    " playonstart " + ((animFlags & kPlayOnStart) != 0 ? "1" : "0") + " speed " +
                    DumpNumber(speed) + " time " + DumpNumber(currentTime) + " direction " +
                    std::to_string(direction) + " playing " +
                    ((state & kActorEnabled) != 0 ? "1" : "0"));
}
