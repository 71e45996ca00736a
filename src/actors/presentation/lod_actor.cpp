#include "actors/presentation/lod_actor.h"

#include <cmath>

#include "base/file_system.h"
#include "core/actors/actor_file_dump.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/class_descriptor.h"
#include "core/actors/command_ids.h"
#include "core/actors/create_source.h"
#include "library/resource_library.h"

namespace {


// An accumulator this high decides in the next update.
constexpr float kDecideNow = 1000.0f;
constexpr float kDecisionInterval = 1.0f;
// Bytes of a level record: distance, fade and two spare words.
constexpr uint32_t kLevelBytes = 16;

// clang-format off
const PropertySheetRow kSheet[] = {
    {"Lod Properties", PropertyKind::PageTitle, 0, 0},
    {"Create:|1 Level|1|2 Levels|2|3 Levels|3|4 Levels|4|", PropertyKind::Enumeration, cmd::lod::SetLodLevelCount, cmd::lod::GetLodLevelCount},
    {"Level:", PropertyKind::ListSelector, cmd::lod::SetLodLevelLabel, cmd::lod::GetLodLevelLabels},
    {"Distance:", PropertyKind::Real, cmd::lod::SetLodLevelDistance, cmd::lod::GetLodLevelDistance},
    {"Fade:", PropertyKind::Real, cmd::lod::SetLodLevelFADE, cmd::lod::GetLodLevelFADE},
};
// clang-format on

std::string LevelActorName(size_t index) { return "Lev_" + std::to_string(index + 1); }
constexpr const char *kLevelPrefix = "Level ";

std::string LevelLabel(size_t index) { return kLevelPrefix + std::to_string(index + 1); }

} // namespace

LodActor::LodActor() { classId = kLodClassId; }

void LodActor::RegisterClass() {
    ActorClassDescriptor &descriptor = NameClassDescriptor(kLodClassId);
    descriptor.lineage = {0, kLodClassId};
    descriptor.items.clear();
    AppendPropertyRows(descriptor, kSheet);
}

LodLevel *LodActor::Level(int32_t index) {
    if (index < 0 || static_cast<size_t>(index) >= levels.size()) {
        return nullptr;
    }
    return &levels[static_cast<size_t>(index)];
}

Actor *LodActor::OwnDescendant(int32_t id) const {
    if (id < 0) {
        return nullptr;
    }
    Actor *actor = GetActorById(static_cast<uint32_t>(id));
    for (Actor *up = actor != nullptr ? actor->parent : nullptr; up != nullptr; up = up->parent) {
        if (up == this) {
            return actor;
        }
    }
    return nullptr;
}

Actor *LodActor::LevelActor(int32_t index) const {
    if (index < 0 || static_cast<size_t>(index) >= levels.size()) {
        return nullptr;
    }
    return OwnDescendant(levels[static_cast<size_t>(index)].actor);
}

void LodActor::SetLevelCount(uint32_t count) {
    if (count > kMaxLodLevels) {
        return; // the levels stay as they are
    }
    levels.resize(count);
    if (count == 0) {
        return;
    }
    selectedLevel = 0;
    for (size_t i = 0; i < levels.size(); ++i) {
        const std::string name = LevelActorName(i);
        Actor *found = FindDescendantByName(this, name.c_str());
        if (found == nullptr) {
            found = CreateActor(0, name, nullptr, this, -1, true);
            if (found == nullptr) {
                continue;
            }
            levels[i].distance = 1000.0f * static_cast<float>(i);
            levels[i].fade = 1.0f;
        }
        levels[i].actor = found->actorId;
    }
}

void LodActor::FindLevelActors() {
    for (size_t i = 0; i < levels.size(); ++i) {
        const std::string name = LevelActorName(i);
        if (Actor *found = FindDescendantByName(this, name.c_str())) {
            levels[i].actor = found->actorId;
        }
    }
}

void LodActor::Decide() {
    ResourceLibrary *library = GetLibrary();
    if (library == nullptr) {
        return;
    }
    const float *camera = library->GetCameraPosition();
    UpdateWorldMatrix();
    const Vector3 here = GetWorldPosition();
    const float dx = here.x - camera[0];
    const float dy = here.y - camera[1];
    const float dz = here.z - camera[2];
    const float d = std::sqrt(dx * dx + dy * dy + dz * dz);
    int32_t next = -1;
    for (size_t i = 0; i < levels.size(); ++i) {
        if (levels[i].distance > d) {
            next = static_cast<int32_t>(i);
            break;
        }
    }
    const int32_t active = Level(activeLevel) != nullptr ? activeLevel : -1;
    // The level that runs: the one this actor started, which "On Draw
    // Start" does not forget.
    Actor *running = OwnDescendant(startedActor);
    if (running == nullptr && startedActor < 0) {
        running = LevelActor(active);
    }
    if (running != nullptr && running != LevelActor(next)) {
        running->HandleCommand(cmd::base::ActionStop, ParamBlock());
        startedActor = -1;
    }
    if (next == active) {
        activeLevel = next;
        return;
    }
    // Looked up again: the stop may have removed it.
    if (Actor *chosen = LevelActor(next)) {
        chosen->HandleCommand(cmd::base::ActionStart, ParamBlock());
        startedActor = chosen->actorId;
    }
    activeLevel = next;
}

void LodActor::Update() {
    if (!IsOperational()) {
        return;
    }
    if (Level(activeLevel) == nullptr) {
        accumulator = kDecideNow;
    }
    RefreshTimeRecord(timeRecord);
    accumulator += timeRecord != nullptr ? timeRecord->delta : 0.0f;
    if (accumulator > kDecisionInterval) {
        Decide();
        accumulator = 0.0f;
    }
    Actor::Update();
}

int LodActor::HandleCommand(uint32_t commandId, ParamBlock block) {
    switch (commandId) {
    case cmd::lod::SetLodLevelCount:
        SetLevelCount(block.ReadU32(0));
        break;
    case cmd::lod::GetLodLevelCount:
        block.WriteU32(0, static_cast<uint32_t>(levels.size()));
        break;
    case cmd::lod::SetLodLevelDistance:
    case cmd::lod::GetLodLevelDistance:
    case cmd::lod::SetLodLevelFADE:
    case cmd::lod::GetLodLevelFADE:
        // Set and get of the selected level's distance or fade.
        if (LodLevel *level = Level(selectedLevel)) {
            float &value =
                commandId <= cmd::lod::GetLodLevelDistance ? level->distance : level->fade;
            if ((commandId - cmd::lod::SetLodLevelCount) % 2 == 0) {
                value = block.ReadF32(0);
            } else {
                block.WriteF32(0, value);
            }
        }
        break;
    case cmd::lod::SetLodLevelLabel: {
        const std::string_view label = block.ReadString(0);
        selectedLevel = -1;
        for (size_t i = 0; i < levels.size(); ++i) {
            if (LevelLabel(i) == label) {
                selectedLevel = static_cast<int32_t>(i);
                break;
            }
        }
        return 4;
    }
    case cmd::lod::GetLodLevelLabels:
        FillNumberedLabels(block, kLevelPrefix, levels.size(), 1);
        break;
    case cmd::base::Precalculate:
        FindLevelActors();
        break;
    case cmd::base::OnDrawStart:
        activeLevel = -1;
        break;
    case cmd::base::Create: {
        if (auto *source = CreateSource(*this, block)) {
            // The template's level actors stay its own; this copy's
            // "Precalculate" finds those below it.
            levels = source->levels;
            for (LodLevel &level : levels) {
                level.actor = -1;
            }
            selectedLevel = source->selectedLevel;
            activeLevel = source->activeLevel;
            extraWord = source->extraWord;
            accumulator = source->accumulator;
            startedActor = -1;
        }
        break;
    }
    default:
        break;
    }
    return Actor::HandleCommand(commandId, block);
}

int LodActor::Serialize(Archive &archive, uint32_t mode) {
    if (Actor::Serialize(archive, mode) == 0) {
        return 0;
    }
    archive.SerializeSpareWords(2);
    uint32_t count = static_cast<uint32_t>(levels.size());
    archive.SerializeWord(&count);
    if (!archive.IsWriting()) {
        if (!archive.CountFits(count, kLevelBytes)) {
            return 0;
        }
        levels.resize(count);
    }
    for (LodLevel &level : levels) {
        archive.SerializeFloat(&level.distance);
        archive.SerializeFloat(&level.fade);
        archive.SerializeSpareWords(2);
    }
    return archive.Failed() ? 0 : 1;
}

void LodActor::DumpClassFields(std::vector<std::string> &lines) const {
    lines.push_back("lod levels " + std::to_string(levels.size()) + " selected " +
                    std::to_string(selectedLevel) + " active " + std::to_string(activeLevel));
    for (size_t i = 0; i < levels.size(); ++i) {
        lines.push_back("lodlevel " + std::to_string(i) + " distance " +
                        DumpNumber(levels[i].distance) + " fade " + DumpNumber(levels[i].fade));
    }
}
