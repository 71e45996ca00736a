// Writes seed actor files made by the engine's own writer into the folder given as the argument: a
// bare actor, a Class Manager, a FileIO with a file name, and an actor with a collision object, a
// script, saved scheduled commands and simulation settings; two Draw Groups joined by a Draw Group
// Connector, with a door-type connector below a probe; an active target camera following an actor;
// a State holding a Time Instance, a Timer with keys and the three Developers;
// a File actor with two weighted files and a warp-type Spawn Point with two spawn records.
// a SkinObject with motion and layer records and an Animation with a child.
// Particle Systems in the three override modes, and one in a version-57 file.
// A 2D looping Sound, a spot Light, an Ambient Sound with a channel and a released entry, and a
// Light Sensor.
// Two doors (one sliding and saved mid-opening, one locked) and a trigger.
// A Matrix Animation with a layer, a Path with two nodes and its mover, and a LOD with two levels.
// A Character with its item holders, skin and collision spheres beside an Aim Target, a Player 2
// and a Character 2.
// A menu: a UI System with its cursor sprite, a window with a button holding a text, a sprite and a
// nested window.
// A key-remapping row (UI Map Input) saved as an axis row with its children and the pair its action
// has in the action map.
// A lock-on AutoAim below a character with its two spheres and both links, and a trap-wire Game
// Container triggered by collision.
//
// Given the sample's data folder as a second argument, it also writes what
// "Save Game" writes once the sample's globals and scene are loaded, and
// copies of the sample's scene, globals, that save and a File actor's file,
// each damaged in its ids, counts or parent links (one copy of each kind of
// damage per file): the reader's checks of whole files start from there.
#include <cstdio>
#include <map>
#include <filesystem>
#include <memory>
#include <string>

#include "actors/characters/ai_helper_actor.h"
#include "actors/characters/ai_player2_actor.h"
#include "actors/characters/ai_player_actor.h"
#include "actors/characters/auto_aim_actor.h"
#include "actors/characters/character_actor.h"
#include "actors/characters/game_container_actor.h"
#include "actors/presentation/ambient_sound_actor.h"
#include "actors/presentation/animation_actor.h"
#include "actors/presentation/lod_actor.h"
#include "actors/presentation/matrix_animation_actor.h"
#include "actors/presentation/skin_object_actor.h"
#include "actors/world/door_actor.h"
#include "actors/world/path_actor.h"
#include "actors/world/path_node_actor.h"
#include "actors/world/timer_actor.h"
#include "actors/world/trigger_actor.h"
#include "app/class_list.h"
#include "core/actors/command_ids.h"
#include "game/ui_button_actor.h"
#include "game/ui_map_input_actor.h"
#include "game/ui_sprite_actor.h"
#include "game/ui_system_actor.h"
#include "game/ui_text_actor.h"
#include "game/ui_window_actor.h"
#include "base/file_system.h"
#include "core/actors/actor.h"
#include "core/actors/actor_file.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/param_builder.h"
#include "platform/input.h"
#include "seed_folder.h"
#include "support/actor_file_damage.h"

namespace {

bool Write(const std::string &folder, const char *name, uint32_t first, uint32_t end) {
    const std::string path = (std::filesystem::path(folder) / name).string();
    if (SaveActors(path, first, end, kSerializeSave) == 0) {
        std::fprintf(stderr, "fuzz_seeds_actor_file: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

// "Level1.qva", "id := grandparent's id" -> "damaged_Level1_id_grandparent_s_id.qva".
std::string DamagedName(const std::string &file, const std::string &family) {
    std::string name = "damaged_" + std::filesystem::path(file).stem().string() + "_";
    for (char c : family) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
        if (plain) {
            name += c;
        } else if (name.back() != '_') {
            name += '_';
        }
    }
    return name + ".qva";
}

bool WriteSampleSeeds(const std::string &folder, const std::string &data) {
    const std::string save = actorfiles::SaveAfterLoading(
        {data + "/Globals.qva", data + "/Level1.qva"}, folder);
    if (save.empty()) {
        std::fprintf(stderr, "fuzz_seeds_actor_file: cannot save the sample's game\n");
        return false;
    }
    const std::string files[] = {"Level1.qva", "Globals.qva", "sample.sav", "crate.qva"};
    for (const std::string &file : files) {
        const std::string bytes =
            file == "sample.sav" ? save : actorfiles::ReadWholeFile(data + "/" + file);
        ResetActorWorldForTests();
        if (InitActorSystem() == 0) {
            return false;
        }
        const std::vector<actorfiles::Record> records = actorfiles::ReadRecords(bytes);
        if (records.empty()) {
            std::fprintf(stderr, "fuzz_seeds_actor_file: cannot read the sample's %s\n",
                         file.c_str());
            return false;
        }
        std::map<std::string, std::vector<actorfiles::DamagedFile>> families;
        for (actorfiles::DamagedFile &copy : actorfiles::DamagedCopies(bytes, records)) {
            families[copy.what.substr(0, copy.what.rfind(' '))].push_back(std::move(copy));
        }
        for (const auto &[family, copies] : families) {
            const std::filesystem::path path =
                std::filesystem::path(folder) / DamagedName(file, family);
            if (!SaveSeed(path, copies[copies.size() / 2].bytes)) {
                return false;
            }
        }
    }
    ResetActorWorldForTests();
    return true;
}

} // namespace

int main(int argc, char** argv) {
    InstallEngineClasses();
    // FOLDER [SAMPLE_DATA]
    const std::string sampleData = argc == 3 ? argv[2] : "";
    const std::filesystem::path seeds = SeedFolder(argc == 3 ? 2 : argc, argv);
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
    SendCommandArgs(room, cmd::base::SetBoxMin, Vector3{-100.0f, -10.0f, -100.0f});
    SendCommandArgs(room, cmd::base::SetBoxMax, Vector3{100.0f, 90.0f, 100.0f});
    SendCommandArgs(next, cmd::base::SetBoxMin, Vector3{100.0f, -10.0f, -100.0f});
    SendCommandArgs(next, cmd::base::SetBoxMax, Vector3{300.0f, 95.0f, 100.0f});
    SendCommandArgs(room, cmd::draw_group::SetOpenDrawgroup, 1u);
    SendCommandArgs(portal, cmd::base::SetPosition, Vector3{100.0f, 30.0f, 0.0f});
    SendCommandArgs(portal, cmd::draw_group_connector::GetForceOpenConnactor, 1u);
    SendCommandArgs(door, cmd::draw_group_connector::SetConnactorType, 1u);
    SendCommandArgs(door, cmd::draw_group_connector::SetLoadPoint, 1u);
    probe->AddColObj(std::make_unique<ColObj>(probe)).name = "probe box";
    ok = ok && Write(folder, "draw_groups.qva", 3010, 3015);

    // A target camera with its collision sphere, following an actor.
    Actor *hero = CreateActor(0, "Hero", nullptr, scenery, 3020, false);
    Actor *camera = CreateActor(19, "Cam", nullptr, scenery, 3021, false);
    if (hero == nullptr || camera == nullptr) {
        return 1;
    }
    SendCommandArgs(camera, cmd::camera::SetCameraType, 1u);
    camera->HandleCommand(cmd::camera::SetCameraTarget1_1222, ParamBlock(&hero, sizeof(hero)));
    SendCommandArgs(camera, cmd::camera::SetFov, 1.4f);
    SendCommandArgs(camera, cmd::camera::SetCameraActive, true);
    ok = ok && Write(folder, "camera.qva", 3020, 3022);

    // Level logic: a State with a Time Instance, a running looping Timer with two keys, and the
    // three Developers.
    Actor *logic = CreateActor(53, "Logic", nullptr, scenery, 3030, false);
    Actor *clockwork = CreateActor(47, "Clockwork", nullptr, logic, 3031, true);
    auto *clock = dynamic_cast<TimerActor *>(CreateActor(11, "Clock", nullptr, logic, 3032, true));
    if (logic == nullptr || clockwork == nullptr || clock == nullptr) {
        return 1;
    }
    SendCommandArgs(clock, cmd::timer::SetTimerType, 1u);
    SendCommandArgs(clock, cmd::base::SetTotalTime, 2.0f);
    clock->AddKey(0.5f, "off", "GA32.Set_Visible(0);", 601);
    clock->AddKey(1.5f, "on", "GA32.Set_Visible(1);", 601);
    SendCommandArgs(clock, cmd::base::SetCurrentTime, 0.0f);
    SendCommandArgs(clock, cmd::timer::StartTimer);
    for (int32_t classId : {22, 23, 24}) {
        if (CreateActor(classId, "Developer", nullptr, logic, 3033 + (classId - 22), true) == nullptr) {
            return 1;
        }
    }
    ok = ok && Write(folder, "logic.qva", 3030, 3036);

    // A File actor choosing between two files, the barrel limited to two in
    // a level; a warp point with its box and two spawn records.
    Actor *props = CreateActor(5, "Props", nullptr, scenery, 3040, false);
    Actor *point = CreateActor(21, "SP", nullptr, scenery, 3041, false);
    if (props == nullptr || point == nullptr) {
        return 1;
    }
    SendCommandArgs(props, cmd::file::SetFilename, std::string("crate.qva"));
    SendCommandArgs(props, cmd::file::SetFilename, std::string("barrel.qva"));
    SendCommandArgs(props, cmd::file::SetFileStringlist, std::string("barrel.qva"));
    SendCommandArgs(props, cmd::file::SetFileRandWeight, 3u);
    uint32_t limit = 2;
    props->HandleCommand(cmd::file::SetFileMaxCount, ParamBlock(&limit, sizeof(limit)));
    SendCommandArgs(props, cmd::file::SetNonFileRandWeight, 10u);
    SendCommandArgs(point, cmd::spawn_point::SetSpawnpointType, 3u);
    SendCommandArgs(point, cmd::spawn_point::SetSpawnOnStartGame, true);
    SendCommandArgs(point, cmd::spawn_point::SetMinSpawnTime, 2.5f);
    for (const std::string path : {"/Scenery/Templates/Crate", "/Scenery/Templates/Barrel"}) {
        std::string block(sizeof(void *), '\0');
        block += path;
        block += '\0';
        point->HandleCommand(cmd::spawn_point::AddSpawnRecord,
                             ParamBlock(block.data(), block.size()));
    }
    uint32_t weight = 3;
    point->HandleCommand(cmd::spawn_point::SetSpawnRecordWeight,
                         ParamBlock(&weight, sizeof(weight)));
    ok = ok && Write(folder, "file_spawn.qva", 3040, 3042);

    // A skin with three motion records playing on two layer records, and an
    // Animation with a child of its motion's track name.
    auto *skin = dynamic_cast<SkinObjectActor *>(
        CreateActor(17, "Figure", nullptr, scenery, 3050, false));
    auto *rig =
        dynamic_cast<AnimationActor *>(CreateActor(40, "Rig", nullptr, scenery, 3051, false));
    if (skin == nullptr || rig == nullptr || CreateActor(0, "Head", nullptr, rig, 3052, false) == nullptr) {
        return 1;
    }
    const char *names[3] = {"N_Neutral", "N_Walk", "N_Die0"};
    for (int i = 0; i < 3; ++i) {
        SkinMotion motion;
        motion.index = 60 + i;
        motion.name = names[i];
        motion.blendTime = 0.1f * static_cast<float>(i);
        motion.layer = i == 1 ? 2 : 255;
        motion.playStyle = static_cast<uint8_t>(i);
        skin->motions.push_back(motion);
    }
    skin->skinFlags |= kSkinLayersInUse;
    skin->layers[0].mask = 255;
    skin->layers[0].motion = 0;
    skin->layers[0].time = 0.5f;
    skin->layers[2].mask = 1;
    skin->layers[2].motion = 1;
    skin->layers[2].requested = "N_Walk";
    skin->layers[2].next = "N_Neutral";
    skin->layers[2].speed = 2.0f;
    skin->layers[2].flags |= kLayerTransition;
    rig->motionName = "N_Neutral";
    rig->style = 5;
    rig->currentTime = 0.25f;
    SendCommandArgs(rig, cmd::base::X_260, 1u);
    ok = ok && Write(folder, "presentation.qva", 3050, 3053);

    // Particle Systems in the three override modes: the table's type, an "Extend Base" copy with
    // its local values and a full record.
    Actor *fire = CreateActor(18, "Fire", nullptr, scenery, 3060, false);
    Actor *smoke = CreateActor(18, "Smoke", nullptr, scenery, 3061, false);
    Actor *flare = CreateActor(18, "Flare", nullptr, scenery, 3062, false);
    if (fire == nullptr || smoke == nullptr || flare == nullptr) {
        return 1;
    }
    SendCommandArgs(smoke, cmd::particle_system::SetParticleType, 1u);
    SendCommandArgs(smoke, cmd::particle_system::SetTypeOverride, 1u);
    SendCommandArgs(smoke, cmd::particle_system::SetEmitFlowSpeed, 12.0f);
    SendCommandArgs(flare, cmd::particle_system::SetTypeOverride, 2u);
    SendCommandArgs(flare, cmd::particle_system::SetStatic, 1u);
    SendCommandArgs(flare, cmd::particle_system::SetMovement, Vector3{1.0f, 2.0f, 3.0f});
    ok = ok && Write(folder, "particles.qva", 3060, 3063);

    // Sounds and lights: a 2D looping Sound, a spot Light, an Ambient Sound playing a loop on its
    // first channel while a sound fades out, and a Light Sensor with masks of its own.
    Actor *hum = CreateActor(2, "Hum", nullptr, scenery, 3070, false);
    Actor *lamp = CreateActor(4, "Lamp", nullptr, scenery, 3071, false);
    auto *ambience =
        dynamic_cast<AmbientSoundActor *>(CreateActor(30, "Ambience", nullptr, scenery, 3072, false));
    Actor *eye = CreateActor(52, "Eye", nullptr, scenery, 3073, false);
    if (hum == nullptr || lamp == nullptr || ambience == nullptr || eye == nullptr) {
        return 1;
    }
    SendCommandArgs(hum, cmd::sound::SetSoundType, 0u);
    SendCommandArgs(hum, cmd::sound::SetSoundPlayStyle, 1u);
    SendCommandArgs(hum, cmd::sound::SetVolume, 0.5f);
    SendCommandArgs(hum, cmd::sound::SetPan, -0.25f);
    SendCommandArgs(hum, cmd::sound::SetFrequencyV, 0.1f);
    SendCommandArgs(lamp, cmd::light::SetLightType, 1u);
    SendCommandArgs(lamp, cmd::light::SetDiffuseColor, Vector4{1.0f, 0.5f, 0.25f, 1.0f});
    SendCommandArgs(lamp, cmd::base::SetRadius, 300.0f);
    SendCommandArgs(lamp, cmd::light::SetTheta, 0.5f);
    SendCommandArgs(lamp, cmd::light::SetPhi, 1.0f);
    AmbientSoundEntry &channel = ambience->entries[0];
    channel.name = "beep";
    channel.fade = 1.0f;
    channel.state = kAmbientPlaying;
    channel.looping = 1;
    AmbientSoundEntry released;
    released.name = "hum3d";
    released.fade = 0.5f;
    released.fadeRate = 0.5f;
    released.state = kAmbientReleased;
    ambience->entries.push_back(released);
    SendCommandArgs(eye, cmd::light_sensor::SetLightsensorRayGroup, 3u);
    SendCommandArgs(eye, cmd::light_sensor::SetLightSensorMinColor,
                    Vector4{0.1f, 0.1f, 0.1f, 1.0f});
    ok = ok && Write(folder, "sound_light.qva", 3070, 3074);
    // Doors and a trigger: a sliding double door saved mid-opening with its leaves, a locked
    // door with a connector flag, and a trigger taking three occupants with its sphere and script.
    auto *sliding = dynamic_cast<DoorActor *>(CreateActor(13, "Slide", nullptr, scenery, 3080, false));
    Actor *locked = CreateActor(13, "Locked", nullptr, scenery, 3083, false);
    Actor *trigger = CreateActor(31, "T", nullptr, scenery, 3084, true);
    if (sliding == nullptr || locked == nullptr || trigger == nullptr ||
        CreateActor(0, "Door_1", nullptr, sliding, 3081, false) == nullptr ||
        CreateActor(0, "Door_2", nullptr, sliding, 3082, false) == nullptr) {
        return 1;
    }
    sliding->doorType = kDoorDoubleSide;
    sliding->doorState = kDoorOpening;
    sliding->linearVelocity = {0.0f, 0.0f, 40.0f};
    sliding->closedPosition2 = {50.0f, 0.0f, 0.0f};
    SendCommandArgs(sliding, cmd::door::SetDoorAxis_758, 5u);
    SendCommandArgs(sliding, cmd::door::SetOpenLength, 40.0f);
    SendCommandArgs(locked, cmd::door::SetLockGroup, 3u, true);
    SendCommandArgs(locked, cmd::door::SetLockLocked, true);
    SendCommandArgs(locked, cmd::door::SetLockTime, 5.0f);
    SendCommandArgs(locked, cmd::door::SetOpenAngle, 120.0f);
    SendCommandArgs(locked, cmd::door::SetSoundSwitch, true);
    SendCommandArgs(trigger, cmd::base::SetSelectionMaxCount, 3u);
    SendCommandArgs(trigger, cmd::trigger::SetTriggerDelayTime, 0.5f);
    SendCommandArgs(trigger, cmd::trigger::SetTriggerDeactivateTime, 2.0f);
    ok = ok && Write(folder, "doors.qva", 3080, 3085);
    // Moving content: a turning Matrix Animation with one layer, a Path with a node and a Reverse
    // leaf moving a child, and a LOD whose two levels are made beforehand and adopted.
    Actor *spin = CreateActor(28, "Spin", nullptr, scenery, 3090, false);
    Actor *route = CreateActor(27, "Route", nullptr, scenery, 3091, false);
    Actor *n1 = route != nullptr ? CreateActor(26, "N1", nullptr, route, 3092, false) : nullptr;
    Actor *n2 = n1 != nullptr ? CreateActor(26, "N2", nullptr, n1, 3093, false) : nullptr;
    Actor *walker = route != nullptr ? CreateActor(0, "Walker", nullptr, route, 3094, false) : nullptr;
    Actor *pillar = CreateActor(46, "Pillar", nullptr, scenery, 3095, false);
    if (spin == nullptr || n2 == nullptr || walker == nullptr || pillar == nullptr ||
        CreateActor(0, "Lev_1", nullptr, pillar, 3096, false) == nullptr ||
        CreateActor(0, "Lev_2", nullptr, pillar, 3097, false) == nullptr) {
        return 1;
    }
    SendCommandArgs(spin, cmd::matrix_animation::SetMatrixAnimRotation,
                    Vector3{0.0f, 3.1415927f, 0.0f});
    SendCommandArgs(spin, cmd::matrix_animation::SetMatrixAnimPosition,
                    Vector3{-300.0f, 60.0f, 100.0f});
    SendCommandArgs(spin, cmd::matrix_animation::SetDirByMov, 1u);
    SendCommandArgs(spin, cmd::matrix_animation::AddMatrixAnimLayer);
    SendCommandArgs(spin, cmd::matrix_animation::SetParamLayer, std::string("Layer 0"));
    SendCommandArgs(spin, cmd::matrix_animation::FirstLayerVector + 12, Vector3{0.0f, 10.0f, 0.0f});
    SendCommandArgs(spin, cmd::matrix_animation::FirstLayerVector + 14, Vector3{1.0f, 2.0f, 1.0f});
    SendCommandArgs(route, cmd::path::SetPathSpeed, 100.0f);
    SendCommandArgs(route, cmd::path_node::SetPathnodeTime, 0.5f);
    SendCommandArgs(n1, cmd::base::SetPosition, Vector3{300.0f, 0.0f, 0.0f});
    SendCommandArgs(n2, cmd::base::SetPosition, Vector3{300.0f, 0.0f, 0.0f});
    SendCommandArgs(n2, cmd::path_node::SetPathnodeRandweight, 3u);
    SendCommandArgs(n2, cmd::path_node::SetPathnodeTime, 1.5f);
    SendCommandArgs(pillar, cmd::lod::SetLodLevelCount, 2u);
    SendCommandArgs(pillar, cmd::lod::SetLodLevelDistance, 1500.0f);
    SendCommandArgs(pillar, cmd::lod::SetLodLevelLabel, std::string("Level 2"));
    SendCommandArgs(pillar, cmd::lod::SetLodLevelDistance, 100000.0f);
    SendCommandArgs(pillar, cmd::lod::SetLodLevelFADE, 0.5f);
    ok = ok && Write(folder, "moving.qva", 3090, 3098);
    // A full override in a version-57 file, which carries the local block in every mode.
    Actor *old = CreateActor(18, "Old", nullptr, scenery, 3064, false);
    if (old == nullptr) {
        return 1;
    }
    SendCommandArgs(old, cmd::particle_system::SetTypeOverride, 2u);
    SendCommandArgs(old, cmd::particle_system::SetEmitFlowSpeed, 33.0f);
    {
        const std::string path = (std::filesystem::path(folder) / "particles_v57.qva").string();
        Archive archive;
        ok = ok && archive.Open(path, "wb");
        archive.SetVersion(57);
        for (uint32_t word : {57u, 1u, 3064u, 1u}) {
            archive.SerializeU32(word);
        }
        ok = ok && old->Serialize(archive, kSerializeSave) != 0 && archive.Close() == 0;
    }
    // A Character with a type, health, parameters, ammunition, look angles and the three flag
    // bits of its record, its children, and the three placeholder classes.
    auto *body = dynamic_cast<CharacterActor *>(CreateActor(16, "Body", nullptr, scenery, 3100, false));
    if (body == nullptr) {
        return 1;
    }
    body->characterType = 3;
    body->health = 100.0f;
    body->paramBase[kParamGammaRAdd] = 0.0f;
    body->ammoCount[4] = 12;
    body->look.rotY = 1.5f;
    body->holdTime = 0.5f;
    body->charFlags |= kCharSuspended | kCharDeadLock;
    body->AddColObj(std::make_unique<ColObj>(body)).name = "Chest";
    const struct {
        int32_t classId;
        const char *name;
        Actor *parent;
    } others[] = {{17, "Skin", body}, {0, "Items", body}, {0, "LeftHand", body},
                  {0, "RightHand", body}, {48, "Aim", scenery}, {49, "Second", scenery},
                  {51, "Other", scenery}};
    int32_t id = 3101;
    for (const auto &other : others) {
        if (CreateActor(other.classId, other.name, nullptr, other.parent, id++, false) == nullptr) {
            return 1;
        }
    }
    ok = ok && Write(folder, "characters.qva", 3100, static_cast<uint32_t>(id));

    // A menu saved while active, with every element class.
    auto *menu = dynamic_cast<UISystemActor *>(
        CreateActor(kUiSystemClassId, "Menu", nullptr, scenery, 3110, false));
    auto *cursor = dynamic_cast<UISpriteActor *>(
        CreateActor(kUiSpriteClassId, "Cursor", nullptr, menu, 3111, false));
    auto *page = dynamic_cast<UIWindowActor *>(
        CreateActor(kUiWindowClassId, "Page", nullptr, menu, 3112, false));
    auto *button = dynamic_cast<UIButtonActor *>(
        CreateActor(kUiButtonClassId, "Button_Resume", nullptr, page, 3113, false));
    auto *label = dynamic_cast<UITextActor *>(
        CreateActor(kUiTextClassId, "Label", nullptr, button, 3114, false));
    if (menu == nullptr || cursor == nullptr || page == nullptr || button == nullptr ||
        label == nullptr ||
        CreateActor(kUiSpriteClassId, "Face", nullptr, button, 3115, false) == nullptr ||
        CreateActor(kUiWindowClassId, "Inner", nullptr, page, 3116, false) == nullptr) {
        return 1;
    }
    menu->refWidth = 640.0f;
    menu->active = 1;
    cursor->cursor = 1;
    cursor->materialId = 3;
    cursor->width = 16.0f;
    page->type = 0;
    button->isStatic = 1;
    button->defaultButton = 1;
    label->type = kUiTextLiteral;
    label->text = "Resume";
    label->alignX = 1;
    label->style = 1;
    label->maxDistance = 600.0f;
    label->fadeDistance = 400.0f;
    label->color = {1.0f, 0.5f, 0.25f, 1.0f};
    ok = ok && Write(folder, "ui.qva", 3110, 3117);

    // A brain with its groups and ray masks below a character, and two
    // markers of its room.
    Actor *guard = CreateActor(16, "Guard", nullptr, scenery, 3160, false);
    auto *brain = guard == nullptr ? nullptr
                                   : dynamic_cast<AIPlayer2Actor *>(
                                         CreateActor(50, "Brain", nullptr, guard, 3161, false));
    auto *shelter =
        dynamic_cast<AIHelperActor *>(CreateActor(32, "Shelter", nullptr, scenery, 3162, false));
    auto *node = dynamic_cast<AIHelperActor *>(CreateActor(32, "Node", nullptr, scenery, 3163, false));
    if (brain == nullptr || shelter == nullptr || node == nullptr) {
        return 1;
    }
    brain->goToGroup = 0x4;
    brain->fightGroup = 0x1;
    brain->preFightTime = 0.5f;
    brain->rayGroup = 0xFFFFFFFF;
    brain->rayReceive = 0x10000;
    shelter->radius = 40.0f;
    node->type = kAIHelperNode;
    node->box = {10.0f, 20.0f, 30.0f};
    ok = ok && Write(folder, "ai.qva", 3160, 3164);

    // A simpler brain below a character, with a hit effect of a type that
    // is stored but never sent, an attack, and a state of its own.
    Actor *follower = CreateActor(16, "Follower", nullptr, scenery, 3270, false);
    auto *player = follower == nullptr ? nullptr
                                       : dynamic_cast<AIPlayerActor *>(
                                             CreateActor(29, "Brain", nullptr, follower, 3271, false));
    if (player == nullptr) {
        return 1;
    }
    player->startFollow = 2;
    player->followGroup = 0x3;
    player->fightGroup = 0;
    player->hitEffects = {{12, -10.0f, 0.5f}, {99, 1.0f, 1.0f}};
    player->attacks = {{3, 1.5f, 0.25f}};
    player->selectedAttack = 0;
    player->deathType = 2;
    player->aiState = kAIPFollow;
    player->stateTimer = 1.5f;
    ok = ok && Write(folder, "ai_player.qva", 3270, 3272);

    // A remapping row for "Backward": the record takes the map's pair, not the row's own.
    auto *row = dynamic_cast<UIMapInputActor *>(
        CreateActor(kUiMapInputClassId, "Row_Backward", nullptr, scenery, 3200, false));
    if (row == nullptr ||
        CreateActor(kUiSpriteClassId, "Frame", nullptr, row, 3201, false) == nullptr ||
        CreateActor(kUiTextClassId, "Text", nullptr, row, 3202, false) == nullptr ||
        CreateActor(0, "On_Input_Over", nullptr, row, 3203, false) == nullptr ||
        CreateActor(0, "On_Input_Focus", nullptr, row, 3204, false) == nullptr) {
        return 1;
    }
    row->action = 10;
    row->primaryCode = 1;
    row->secondCode = 2;
    row->axis = 1;
    BindAction(10, 'S', 0);
    BindAction(10, 101, 0);
    ok = ok && Write(folder, "ui_map_input.qva", 3200, 3205);

    // A lock-on aim below its character, its output by path, its target linked; a container
    // without the children "Create" would build.
    Actor *holder = CreateActor(16, "Holder", nullptr, scenery, 3280, false);
    auto *lockOn = holder == nullptr ? nullptr
                                   : dynamic_cast<AutoAimActor *>(
                                         CreateActor(42, "Lock", nullptr, holder, 3281, false));
    Actor *aimed = CreateActor(0, "Aimed", nullptr, scenery, 3282, false);
    auto *box =
        dynamic_cast<GameContainerActor *>(CreateActor(14, "Box", nullptr, scenery, 3283, false));
    if (lockOn == nullptr || aimed == nullptr || box == nullptr) {
        return 1;
    }
    SendCommandArgs(lockOn, cmd::auto_aim::SetAutoaimType, kAimTypeLockOn);
    lockOn->aimFlags |= (kAimLinear << kAimSmoothShift) | kAimUseLimits | kAimAutoRelease;
    lockOn->turnSpeed = 2.0f;
    lockOn->limitVerticalMin = -0.5f;
    lockOn->autoReleaseTime = 3.0f;
    lockOn->aimTarget.Assign(aimed);
    lockOn->aimOutput.path = "../Head";
    box->containerKind = kContainerTrapWire;
    box->contentType = 7;
    box->contentActorId = 3282;
    box->searchTime = 2.5f;
    box->triggerType = kTriggerCollision;
    box->triggerTime = 4.0f;
    box->deleteAfterActivation = 1;
    ok = ok && Write(folder, "aim_container.qva", 3280, 3284);
    ResetActorWorldForTests();
    if (ok && !sampleData.empty()) {
        ok = WriteSampleSeeds(folder, sampleData);
    }
    return ok ? 0 : 1;
}
