// Writes seed level files for fuzz_level_file, made by the engine's own
// writer, into the folder given as the argument. Each is a room with a floor
// and two actors, "Mover" and "Target", that hold saved scheduled commands
// due within the first frames:
//   timed.qva        "Set Position" once and repeating, "Set Orientation"
//                    toward the other actor (stored as its path) once;
//   lerp.qva         "Command Lerp" of "Set Position", interpolating with and
//                    without catching up;
//   every_pass.qva   "Set Position" every pass and on the next pass only;
// and entries whose blocks are as a file may hold them, written byte for
// byte (an entry read from a file and not yet run):
//   raw_create.qva, raw_spawned.qva   "Create", "nO Spawned" with 0x41 bytes;
//   raw_action_create.qva             "Action Command" nesting that "Create";
// and "Set Orientation" toward the other actor as an interpolating entry
// (the interpolation writes its progress at the start of the block):
//   orientation_lerp.qva, orientation_lerp_no_catch_up.qva.
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/class_list.h"
#include "core/actors/actor.h"
#include "core/actors/actor_file.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_ids.h"
#include "core/actors/param_builder.h"
#include "core/actors/scheduled_command.h"
#include "seed_folder.h"
#include "support/game_fixture.h"
#include "support/scene_harness.h"
#include "support/stored_entry.h"

namespace {

constexpr float kDue = 0.05f;

uint32_t Saved(uint8_t kind) { return kScheduleSaved | (uint32_t{kind} << kScheduleKindShift); }

bool Schedule(Actor *owner, uint32_t command, std::initializer_list<ParamValue> values,
              uint8_t kind, float start, float end, float interval) {
    ParamBlockBuilder block;
    return block.Build(command, values) &&
           owner->ScheduleCommand(command, block.block(), Saved(kind), start, end, interval) !=
               nullptr;
}

bool Lerp(Actor *owner, uint8_t kind, const Vector3 &from, const Vector3 &to) {
    return Schedule(owner, cmd::base::CommandLerp,
                    {0.0f, ParamValue::Command(cmd::base::SetPosition, {from}),
                     ParamValue::Command(cmd::base::SetPosition, {to})},
                    kind, 0.0f, 0.1f, 0.02f);
}

const std::vector<uint8_t> kRaw(0x41, 0x41);

std::vector<uint8_t> Nesting(uint32_t command, const std::vector<uint8_t> &block) {
    std::vector<uint8_t> bytes;
    for (int shift = 0; shift < 32; shift += 8) {
        bytes.push_back(static_cast<uint8_t>(command >> shift));
    }
    bytes.insert(bytes.end(), block.begin(), block.end());
    return bytes;
}

// The level: a room, its floor, "Mover" and "Target" above it; `fill` gives
// them their entries. False when a step fails.
bool WriteLevel(const std::filesystem::path &path,
                const std::function<bool(Actor *mover, Actor *target)> &fill) {
    scene::SceneBuilder builder;
    Actor *room = game::Room(builder, "Room", {-500, -100, -500}, {500, 500, 500});
    game::BoxWall(builder, "Floor", {-500, -10, -500}, {500, 0, 500}, room);
    Actor *mover = builder.Make(kBaseClassId, "Mover", room);
    Actor *target = builder.Make(kBaseClassId, "Target", room);
    if (mover == nullptr || target == nullptr) {
        return false;
    }
    SendCommandArgs(mover, cmd::base::SetPosition, Vector3{0, 50, 0});
    SendCommandArgs(target, cmd::base::SetPosition, Vector3{100, 50, 100});
    if (!fill(mover, target) ||
        SaveActors(path.string(), 3000, static_cast<uint32_t>(builder.nextId), kSerializeSave) ==
            0) {
        std::fprintf(stderr, "fuzz_seeds_level_file: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char **argv) {
    InstallEngineClasses();
    const std::filesystem::path folder = SeedFolder(argc, argv);
    if (folder.empty()) {
        return 2;
    }
    const Vector3 up{0, 80, 0};
    const struct {
        const char *name;
        std::function<bool(Actor *, Actor *)> fill;
    } levels[] = {
        {"timed.qva",
         [&](Actor *mover, Actor *target) {
             return Schedule(mover, cmd::base::SetPosition, {up}, kScheduleOnce, kDue, 0, 0) &&
                    Schedule(target, cmd::base::SetPosition, {up}, kScheduleRepeat, 0.02f, 0,
                             0.03f) &&
                    Schedule(target, cmd::base::SetOrientation, {mover}, kScheduleOnce, kDue, 0, 0);
         }},
        {"lerp.qva",
         [&](Actor *mover, Actor *target) {
             return Lerp(mover, kScheduleInterpolate, {0, 50, 0}, {100, 50, 0}) &&
                    Lerp(target, kScheduleInterpolateNoCatchUp, {100, 50, 100}, up);
         }},
        {"every_pass.qva",
         [&](Actor *mover, Actor *target) {
             return Schedule(mover, cmd::base::SetPosition, {up}, kScheduleEveryPass, 0, 0, 0) &&
                    Schedule(target, cmd::base::SetPosition, {up}, kScheduleNextPass, 0, 0, 0);
         }},
        {"raw_create.qva",
         [&](Actor *mover, Actor *) {
             AddStoredEntry(mover, cmd::base::Create, kScheduleOnce, kRaw, kDue);
             return true;
         }},
        {"raw_spawned.qva",
         [&](Actor *mover, Actor *) {
             AddStoredEntry(mover, cmd::base::NOSpawned, kScheduleOnce, kRaw, kDue);
             return true;
         }},
        {"raw_action_create.qva",
         [&](Actor *mover, Actor *) {
             AddStoredEntry(mover, cmd::base::ActionCommand, kScheduleOnce,
                            Nesting(cmd::base::Create, kRaw), kDue);
             return true;
         }},
        {"orientation_lerp.qva",
         [&](Actor *mover, Actor *target) {
             return Schedule(mover, cmd::base::SetOrientation, {target}, kScheduleInterpolate, 0,
                             0.1f, 0.02f);
         }},
        {"orientation_lerp_no_catch_up.qva",
         [&](Actor *mover, Actor *target) {
             return Schedule(mover, cmd::base::SetOrientation, {target},
                             kScheduleInterpolateNoCatchUp, 0, 0.1f, 0.02f);
         }},
    };
    for (const auto &level : levels) {
        if (!WriteLevel(folder / level.name, level.fill)) {
            return 1;
        }
    }
    return 0;
}
