#include "sample_presentation.h"

#include <algorithm>
#include <utility>

#include "actors/presentation/ambient_sound_actor.h"
#include "actors/presentation/animation_actor.h"
#include "actors/presentation/environment_actor.h"
#include "actors/presentation/light_actor.h"
#include "actors/presentation/light_sensor_actor.h"
#include "actors/presentation/mesh_object_actor.h"
#include "actors/presentation/particle_system_actor.h"
#include "actors/presentation/skin_object_actor.h"
#include "actors/presentation/sound_actor.h"
#include "actors/presentation/uv_animation_actor.h"
#include "actors/world/reference_actor.h"
#include "actors/world/timer_actor.h"
#include "base/file_system.h"
#include "base/math.h"
#include "core/actors/actor.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_ids.h"
#include "library/key_track.h"
#include "library/motion.h"
#include "library/resource_library.h"
#include "sample_actors.h"
#include "sample_output.h"

namespace {

constexpr int32_t kGlobalRoot = 1;
// The lamp, the lit spheres and the sounds take ids of their own.
constexpr int32_t kFirstLightSoundId = 3050;

// A Mesh Object on the named mesh below the parent; without `collide` it
// takes no collision objects from its mesh.
Actor* MakeMesh(const char* name, const char* mesh, Actor* parent, int32_t id, Vector3 at,
                float scale, bool collide = true) {
    auto* actor = dynamic_cast<MeshObjectActor*>(CreateActor(
        static_cast<int32_t>(kMeshObjectClassId), name, nullptr, parent, id, true));
    if (actor != nullptr && !collide) actor->meshFlags &= ~kMeshSyncCollision;
    if (actor == nullptr || SendCommandArgs(actor, cmd::base::SetResource,
                                            std::string(mesh)) == 0) {
        return nullptr;
    }
    actor->position = at;
    actor->scale = {scale, scale, scale};
    actor->InvalidateTransform();
    return actor;
}

}  // namespace

bool UseSampleLibrary(SampleOutput& out, const std::vector<uint8_t>& library) {
    ResourceLibrary* resources = GetLibrary();
    if (resources == nullptr && CreateEngineServices() != 0) resources = GetLibrary();
    if (resources == nullptr) return out.Fail("game/DAZedirad.qvf", "no library for the actors");
    Archive archive;
    if (!archive.OpenMemory(library.data(), static_cast<uint32_t>(library.size())) ||
        resources->ReadLibraryArchive(archive, 1) == 0) {
        return out.Fail("game/DAZedirad.qvf", resources->GetLastError());
    }
    return true;
}

bool AddSampleEnvironment(SampleOutput& out, const std::string& file) {
    Actor* environment = MakeSampleActor(static_cast<int32_t>(kEnvironmentClassId), "Environment",
                                         kGlobalRoot, kEnvironmentActorId);
    if (environment == nullptr) return out.Fail(file, "cannot make actor \"Environment\"");
    float ambient[4] = {0.3f, 0.3f, 0.3f, 1.0f};
    float fog[4] = {0.25f, 0.5f, 0.75f, 1.0f};
    environment->HandleCommand(cmd::light::SetAmbientColor, ParamBlock(ambient, sizeof(ambient)));
    SendCommandArgs(environment, cmd::environment::SetFogEnable, true);
    environment->HandleCommand(cmd::environment::SetFogColor, ParamBlock(fog, sizeof(fog)));
    SendCommandArgs(environment, cmd::environment::SetFogNear, 500.0f);
    SendCommandArgs(environment, cmd::environment::SetFogFar, 3000.0f);
    return true;
}

bool AddRoomMeshes(SampleOutput& out, const std::string& file, int32_t& next) {
    Actor* scenery = GetActorById(kSceneryRootId);
    struct Room {
        const char* name;
        const char* floor;
        const char* crate;
        Vector3 centre;
        Vector3 crateAt;
    };
    // Every crate's centre lies in the view from the origin and from
    // (0, 120, -450), looking along +z; CrateC stands clear of the others
    // on screen.
    const Room rooms[] = {
        {"RoomA", "FloorA", "CrateA", {0.0f, 0.0f, 0.0f}, {0.0f, 50.0f, 300.0f}},
        {"RoomB", "FloorB", "CrateB", {1000.0f, 0.0f, 0.0f}, {550.0f, 50.0f, 450.0f}},
        {"RoomC", "FloorC", "CrateC", {0.0f, 0.0f, 1000.0f}, {-300.0f, 50.0f, 1000.0f}},
    };
    Actor* crateA = nullptr;
    Actor* roomA = nullptr;
    for (const Room& room : rooms) {
        Actor* group = FindChildByName(scenery, room.name);
        if (group == nullptr) return out.Fail(file, std::string("no room ") + room.name);
        Actor* floor = MakeMesh(room.floor, "floor", group, next++, room.centre, 0.5f);
        Actor* crate = MakeMesh(room.crate, "cube", group, next++, room.crateAt, 1.0f);
        if (floor == nullptr || crate == nullptr) {
            return out.Fail(file, std::string("cannot make the meshes of ") + room.name);
        }
        if (crateA == nullptr) {
            crateA = crate;
            roomA = group;
        }
    }
    Actor* holder = CreateActor(static_cast<int32_t>(kUVAnimationClassId), "UVHolder",
                                nullptr, roomA, next++, true);
    if (holder == nullptr) return out.Fail(file, "cannot make actor \"UVHolder\"");
    holder->position = {-200.0f, 0.0f, 300.0f};
    if (MakeMesh("CrateUV", "cube", holder, next++, {0.0f, 50.0f, 0.0f}, 1.0f) == nullptr) {
        return out.Fail(file, "cannot make actor \"CrateUV\"");
    }
    auto* reference = dynamic_cast<ReferenceActor*>(CreateActor(
        static_cast<int32_t>(kReferenceClassId), "RefA", nullptr, roomA, next++, true));
    if (reference == nullptr) return out.Fail(file, "cannot make actor \"RefA\"");
    reference->referencedId = static_cast<uint32_t>(crateA->actorId);
    reference->referencePath = "/Scenery/RoomA/CrateA";
    return true;
}

bool AddSkinFigures(SampleOutput& out, const std::string& file, int32_t& next) {
    ResourceLibrary* library = GetLibrary();
    Actor* roomA = FindChildByName(GetActorById(kSceneryRootId), "RoomA");
    if (library == nullptr || roomA == nullptr) return out.Fail(file, "no room RoomA");
    // The worm's bones and its motion's tracks come from their data files.
    const std::string folder = library->GetBaseFolder();
    library->SetBaseFolder((out.Root() + "/game").c_str());
    auto* figure = dynamic_cast<SkinObjectActor*>(CreateActor(
        static_cast<int32_t>(kSkinObjectClassId), "Figure", nullptr, roomA, next++, true));
    bool made = figure != nullptr &&
                SendCommandArgs(figure, cmd::base::SetResource, std::string("worm")) != 0 &&
                SendCommandArgs(figure, cmd::skin_object::SetAutoAssignName,
                                std::string("N_Neutral")) != 0;
    if (made) {
        SendCommandArgs(figure, cmd::skin_object::AutoAssignMotions);
        made = figure->motions.size() == 1 && figure->motions[0].name == "N_Neutral";
    }
    if (made) {
        // "Bones" and a child per track made beforehand at ids of the file's
        // range; "Create BoneSync Actors" finds them and binds them.
        MotionItem* neutral = figure->motions[0].item;
        std::vector<KeyTrack*> tracks(GetMotionTrackCount(neutral), nullptr);
        GetMotionTracks(tracks.data(), neutral);
        Actor* bones = CreateActor(0, "Bones", nullptr, figure, next++, true);
        made = bones != nullptr && !tracks.empty();
        for (KeyTrack* track : tracks) {
            made = made && CreateActor(0, GetTrackName(track), nullptr, bones, next++, true) != nullptr;
        }
        made = made && figure->HandleCommand(cmd::skin_object::CreateBoneSyncActors_1136,
                                             ParamBlock()) == 2 &&
               figure->boneSync.size() == tracks.size();
    }
    library->SetBaseFolder(folder.c_str());
    if (!made) return out.Fail(file, "cannot make the skin \"Figure\"");
    figure->position = {150.0f, 0.0f, 200.0f};
    figure->InvalidateTransform();
    Actor* head = FindChildByName(FindChildByName(figure, "Bones"), "Head");
    if (head == nullptr || MakeMesh("Hat", "cube", head, next++, {0.0f, 0.0f, 0.0f}, 0.3f) == nullptr) {
        return out.Fail(file, "cannot make the figure's hat");
    }

    auto* rig = dynamic_cast<AnimationActor*>(CreateActor(
        static_cast<int32_t>(kAnimationClassId), "Rig", nullptr, roomA, next++, true));
    if (rig == nullptr) return out.Fail(file, "cannot make actor \"Rig\"");
    rig->position = {-150.0f, 0.0f, 200.0f};
    rig->InvalidateTransform();
    for (const char* name : {"Head", "Spine1"}) {
        if (MakeMesh(name, "cube", rig, next++, {0.0f, 0.0f, 0.0f}, 1.0f) == nullptr) {
            return out.Fail(file, std::string("cannot make the rig's ") + name);
        }
    }
    SendCommandArgs(rig, cmd::base::SetAnimationStyle, 3u);
    SendCommandArgs(rig, cmd::base::X_260, true);
    SendCommandArgs(rig, cmd::skin_object::SetMotion, std::string("N_Neutral"));
    if (rig->motionName != "N_Neutral" || rig->targets.nodes.size() != 2) {
        return out.Fail(file, "cannot bind the rig");
    }
    return true;
}

bool AddLightsAndSounds(SampleOutput& out, const std::string& file, int32_t& next) {
    Actor* roomA = FindChildByName(GetActorById(kSceneryRootId), "RoomA");
    if (roomA == nullptr) return out.Fail(file, "no room RoomA");
    int32_t id = std::max(next, kFirstLightSoundId);
    // The spheres stand side by side, mirrored about the camera's axis,
    // each seen 22.5 degrees off it; the lamp is 80 units from "LitNear"
    // towards the camera and about 375 from "LitFar", beyond its range.
    // "LitNear" is turned by 45 degrees (one checker square of the sphere),
    // so that both show a light square at their centres.
    const Vector3 eye = {0.0f, 120.0f, -450.0f};
    const Vector3 nearAt = {-198.82f, 60.0f, 30.0f};
    Vector3 towardsEye;
    Vec3Normalize(&towardsEye, {eye.x - nearAt.x, eye.y - nearAt.y, eye.z - nearAt.z});
    const Vector3 lampAt = {nearAt.x + 80.0f * towardsEye.x, nearAt.y + 80.0f * towardsEye.y,
                            nearAt.z + 80.0f * towardsEye.z};

    auto* lamp = dynamic_cast<LightActor*>(CreateActor(static_cast<int32_t>(kLightClassId),
                                                       "GA30_Lamp", nullptr, roomA, id++, true));
    if (lamp == nullptr) return out.Fail(file, "cannot make actor \"GA30_Lamp\"");
    lamp->position = lampAt;
    lamp->InvalidateTransform();
    SendCommandArgs(lamp, cmd::light::SetLightType, 0u); // point
    SendCommandArgs(lamp, cmd::light::SetDiffuseColor, Vector4{1.0f, 1.0f, 1.0f, 1.0f});
    SendCommandArgs(lamp, cmd::base::SetRadius, 300.0f);
    for (const auto& [name, at] : {std::pair{"LitNear", nearAt},
                                   std::pair{"LitFar", Vector3{-nearAt.x, nearAt.y, nearAt.z}}}) {
        // Seen only: no collision objects to shadow the sensor or stop the ball.
        Actor* sphere = MakeMesh(name, "sphere", roomA, id++, at, 1.0f, false);
        if (sphere == nullptr || !sphere->colObjs.empty()) {
            return out.Fail(file, std::string("cannot make actor ") + name);
        }
        if (sphere->name == "LitNear") {
            sphere->rotation = {0.0f, 0.38268343f, 0.0f, 0.92387953f};
            sphere->InvalidateTransform();
        }
    }

    auto* hum = dynamic_cast<SoundActor*>(CreateActor(static_cast<int32_t>(kSoundClassId), "Hum",
                                                      nullptr, roomA, id++, true));
    if (hum == nullptr || SendCommandArgs(hum, cmd::base::SetResource, std::string("hum3d")) == 0) {
        return out.Fail(file, "cannot make the sound \"Hum\"");
    }
    hum->position = {0.0f, 120.0f, -300.0f};
    hum->InvalidateTransform();
    SendCommandArgs(hum, cmd::sound::SetSoundType, kSound3D);
    SendCommandArgs(hum, cmd::sound::SetSoundPlayStyle, kSoundLoop);
    hum->playOnStart = 1; // "Set Start Playing" would also start it here

    Actor* ambience = CreateActor(static_cast<int32_t>(kAmbientSoundClassId), "Ambience", nullptr,
                                  roomA, id++, true);
    std::string error;
    if (ambience == nullptr ||
        !AddSampleScript(ambience, "start", cmd::base::StartGame,
                         "this.ASound_Play_Looping(\"beep\", 1, 0.5);", &error)) {
        return out.Fail(file, "cannot make the ambient sound \"Ambience\" " + error);
    }
    Actor* sensor = CreateActor(static_cast<int32_t>(kLightSensorClassId), "Eye", nullptr, roomA,
                                id++, true);
    if (sensor == nullptr) return out.Fail(file, "cannot make actor \"Eye\"");
    sensor->position = {-120.0f, 60.0f, -220.0f};
    sensor->InvalidateTransform();

    // The lamp flickers: off from 2.6 s to 2.8 s of every 3 s.
    auto* flicker = dynamic_cast<TimerActor*>(CreateActor(static_cast<int32_t>(kTimerClassId),
                                                          "Flicker", nullptr, roomA, id++, true));
    if (flicker == nullptr) return out.Fail(file, "cannot make the timer \"Flicker\"");
    SendCommandArgs(flicker, cmd::timer::SetTimerType, kTimerForwardLoop);
    SendCommandArgs(flicker, cmd::base::SetTotalTime, 3.0f);
    SendCommandArgs(flicker, cmd::timer::SetTimerStartActive, 1u);
    flicker->AddKey(2.6f, "off", "[ga]GA30.Set_Enabled(0);");
    flicker->AddKey(2.8f, "on", "[ga]GA30.Set_Enabled(1);");
    next = id;
    return true;
}

bool AddCampfire(SampleOutput& out, const std::string& file) {
    Actor* roomA = FindChildByName(GetActorById(kSceneryRootId), "RoomA");
    if (roomA == nullptr) return out.Fail(file, "no room RoomA");
    Actor* fire = CreateActor(static_cast<int32_t>(kParticleSystemClassId), "Campfire", nullptr,
                              roomA, kCampfireId, true);
    if (fire == nullptr ||
        SendCommandArgs(fire, cmd::mesh_object::SetMaterial_447, std::string("ParticleAdd")) == 0) {
        return out.Fail(file, "cannot make the particle system \"Campfire\"");
    }
    fire->position = {-100.0f, 0.0f, -150.0f};
    fire->scale = {2.0f, 2.0f, 2.0f};
    fire->InvalidateTransform();
    return true;
}
