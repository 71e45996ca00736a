// Writes seed actor files made by the engine's own writer into the folder given as the argument: a
// bare actor, a Class Manager, a FileIO with a file name, and an actor with a collision object, a
// script, saved scheduled commands and simulation settings; two Draw Groups joined by a Draw Group
// Connector, with a door-type connector below a probe; an active target camera following an actor;
// a State holding a Time Instance, a Timer with keys and the three Developers; Particle Systems in
// the three override modes.
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "actors/world/timer_actor.h"
#include "app/class_list.h"
#include "core/actors/actor.h"
#include "core/actors/actor_file.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/param_builder.h"
#include "seed_folder.h"

namespace {

bool Write(const std::string &folder, const char *name, uint32_t first, uint32_t end) {
    const std::string path = (std::filesystem::path(folder) / name).string();
    if (SaveActors(path, first, end, kSerializeSave) == 0) {
        std::fprintf(stderr, "fuzz_seeds_actor_file: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    InstallEngineClasses();
    const std::filesystem::path seeds = SeedFolder(argc, argv);
    if (seeds.empty()) {
        return 2;
    }
    const std::string folder = seeds.string();
    if (InitActorSystem() == 0) {
        return 1;
    }
    Actor *scenery = GetActorById(kSceneryRootId);
    Actor *a = CreateActor(0, "A", nullptr, scenery, 3000, false);
    Actor *b = CreateActor(0, "B", nullptr, a, 3001, false);
    CreateActor(8, "Classes", nullptr, scenery, 3002, false);
    CreateActor(6, "Part", nullptr, scenery, 3003, false);
    if (a == nullptr || b == nullptr) {
        return 1;
    }
    bool ok = Write(folder, "bare.qva", 3001, 3002) && Write(folder, "classes.qva", 3002, 3004);

    a->AddColObj(std::make_unique<ColObj>(a)).name = "box";
    auto script = std::make_unique<ScriptRecord>();
    script->name = "s";
    script->eventId = 98;
    script->source = "GA1.Set_Position 0 1 0";
    a->scripts.push_back(std::move(script));
    a->simParams = std::make_unique<SimParams>();
    a->simParams->words[0] = 1;
    ParamBlockBuilder force;
    force.Build(141, {b, 1.0f, 2.0f, 3.0f});
    a->ScheduleCommand(141, force.block(), kScheduleSaved | (2u << kScheduleKindShift), 1.0f, 0,
                       0);
    ParamBlockBuilder aim;
    aim.Build(1754, {ParamValue::ActorExt(b, "head")});
    a->ScheduleCommand(1754, aim.block(), kScheduleSaved | (4u << kScheduleKindShift) | 3, 0.5f,
                       4.0f, 1.0f);
    ok = ok && Write(folder, "full.qva", 3000, 3004);

    // Two rooms joined by a portal, with a probe and a door-type connector.
    Actor *room = CreateActor(15, "Room", nullptr, scenery, 3010, false);
    Actor *next = CreateActor(15, "Next", nullptr, scenery, 3011, false);
    Actor *portal = CreateActor(20, "Portal", nullptr, scenery, 3012, false);
    Actor *probe = CreateActor(0, "Probe", nullptr, room, 3013, false);
    Actor *door = CreateActor(20, "DoorLink", nullptr, probe, 3014, false);
    if (room == nullptr || next == nullptr || portal == nullptr || probe == nullptr ||
        door == nullptr) {
        return 1;
    }
    SendCommandArgs(room, 74, Vector3{-100.0f, -10.0f, -100.0f});
    SendCommandArgs(room, 76, Vector3{100.0f, 90.0f, 100.0f});
    SendCommandArgs(next, 74, Vector3{100.0f, -10.0f, -100.0f});
    SendCommandArgs(next, 76, Vector3{300.0f, 95.0f, 100.0f});
    SendCommandArgs(room, 824, 1u);
    SendCommandArgs(portal, 63, Vector3{100.0f, 30.0f, 0.0f});
    SendCommandArgs(portal, 1245, 1u);
    SendCommandArgs(door, 1242, 1u);
    SendCommandArgs(door, 1246, 1u);
    probe->AddColObj(std::make_unique<ColObj>(probe)).name = "probe box";
    ok = ok && Write(folder, "draw_groups.qva", 3010, 3015);

    // A target camera with its collision sphere, following an actor.
    Actor *hero = CreateActor(0, "Hero", nullptr, scenery, 3020, false);
    Actor *camera = CreateActor(19, "Cam", nullptr, scenery, 3021, false);
    if (hero == nullptr || camera == nullptr) {
        return 1;
    }
    SendCommandArgs(camera, 1220, 1u);
    camera->HandleCommand(1222, ParamBlock(&hero, sizeof(hero)));
    SendCommandArgs(camera, 1212, 1.4f);
    SendCommandArgs(camera, 1235, true);
    ok = ok && Write(folder, "camera.qva", 3020, 3022);

    // Level logic: a State with a Time Instance, a running looping Timer with two keys, and the
    // three Developers.
    Actor *logic = CreateActor(53, "Logic", nullptr, scenery, 3030, false);
    Actor *clockwork = CreateActor(47, "Clockwork", nullptr, logic, 3031, true);
    auto *clock = dynamic_cast<TimerActor *>(CreateActor(11, "Clock", nullptr, logic, 3032, true));
    if (logic == nullptr || clockwork == nullptr || clock == nullptr) {
        return 1;
    }
    SendCommandArgs(clock, 588, 1u);
    SendCommandArgs(clock, 256, 2.0f);
    clock->AddKey(0.5f, "off", "GA32.Set_Visible(0);", 601);
    clock->AddKey(1.5f, "on", "GA32.Set_Visible(1);", 601);
    SendCommandArgs(clock, 251, 0.0f);
    SendCommandArgs(clock, 596);
    for (int32_t classId : {22, 23, 24}) {
        if (CreateActor(classId, "Developer", nullptr, logic, 3033 + (classId - 22), true) == nullptr) {
            return 1;
        }
    }
    ok = ok && Write(folder, "logic.qva", 3030, 3036);

    // Particle Systems in the three override modes: the table's type, an "Extend Base" copy with
    // its local values and a full record.
    Actor *fire = CreateActor(18, "Fire", nullptr, scenery, 3040, false);
    Actor *smoke = CreateActor(18, "Smoke", nullptr, scenery, 3041, false);
    Actor *flare = CreateActor(18, "Flare", nullptr, scenery, 3042, false);
    if (fire == nullptr || smoke == nullptr || flare == nullptr) {
        return 1;
    }
    SendCommandArgs(smoke, 1143, 1u);
    SendCommandArgs(smoke, 1146, 1u);
    SendCommandArgs(smoke, 1150, 12.0f);
    SendCommandArgs(flare, 1146, 2u);
    SendCommandArgs(flare, 1180, 1u);
    SendCommandArgs(flare, 1186, Vector3{1.0f, 2.0f, 3.0f});
    ok = ok && Write(folder, "particles.qva", 3040, 3043);
    ResetActorWorldForTests();
    return ok ? 0 : 1;
}
