// The Camera actor: construction, sheet, activation, types, targets, gamma,
// flash, turning and its record in actor files.
#include <gtest/gtest.h>

#include "camera_fixture.h"
#include "core/actors/class_descriptor.h"
#include "core/actors/command_ids.h"
#include "core/actors/debug_tint.h"
#include "library/render/screen_layers.h"

namespace cameratest {
namespace {

using CameraActorTest = CameraTest;

TEST_F(CameraActorTest, ConstructorAndSheet) {
    CameraActor *camera = MakeCamera();
    ASSERT_NE(camera, nullptr);
    EXPECT_TRUE(Near(camera->position, {0.0f, 0.0f, 7.0f}));
    EXPECT_FALSE(camera->HasFlag(kActorStatic));
    EXPECT_EQ(std::tuple(camera->heightOffset, camera->distance, camera->distanceSlack,
                         camera->pullDecay, camera->pullRecovery, camera->targetHeight),
              std::tuple(30.0f, 125.0f, 100.0f, 1.0f, 0.6f, 30.0f));
    EXPECT_EQ(std::tuple(camera->eyeSmoothing, camera->lookSmoothing, camera->upSmoothing,
                         camera->fov, camera->aspect, camera->nearClip, camera->farClip,
                         camera->lookHeight),
              std::tuple(0.92f, 0.86f, 0.0f, 1.1f, 1.333f, 10.0f, 2500.0f, 20.0f));
    EXPECT_EQ(std::tuple(camera->fovDirty, camera->gammaRefresh, camera->active, camera->blocked),
              std::tuple(1u, 1u, 0u, 0u));

    const ActorClassDescriptor &d = ClassDescriptorTable[kCameraClassId];
    EXPECT_EQ(d.name + "/" + d.description, "Camera/Camera");
    EXPECT_EQ(d.lineage, (std::vector<uint32_t>{0, 19}));
    struct Row {
        const char *label;
        PropertyKind kind;
        uint32_t set, get;
    };
    const Row rows[] = {
        {"Camera Properties", PropertyKind::PageTitle, 0, 0},
        {"Type:|Free|0|Target|1|TargetX2|2|Target2|3|Target2|4|Target2|4|",
         PropertyKind::Enumeration, 1220, 1221},
        {"Fov:", PropertyKind::Angle, 1212, 1213},
        {"Aspect:", PropertyKind::Real, 1214, 1215},
        {"Near:", PropertyKind::Real, 1216, 1217},
        {"Far:", PropertyKind::Real, 1218, 1219},
        {"Active:", PropertyKind::CheckBox, 1235, 1236},
        {"CameraTarget 1:", PropertyKind::ActorReference, 1226, 1227},
        {"CameraTarget 2:", PropertyKind::ActorReference, 1228, 1229},
    };
    ASSERT_EQ(d.items.size(), std::size(rows));
    for (size_t i = 0; i < std::size(rows); ++i) {
        EXPECT_EQ(std::tuple(d.items[i].label, d.items[i].kind, d.items[i].setCommand,
                             d.items[i].getCommand),
                  std::tuple(std::string(rows[i].label), rows[i].kind, rows[i].set, rows[i].get))
            << i;
    }
}

TEST_F(CameraActorTest, ActivationKeepsOneCurrentCamera) {
    CameraActor *a = MakeCamera("a");
    CameraActor *b = MakeCamera("b");
    CommandSpy *spyA = SpyOn(a);
    CommandSpy *spyB = SpyOn(b);
    Send(a, cmd::camera::SetCameraActive, 1u);
    EXPECT_EQ(CurrentCamera, a);
    Send(b, cmd::camera::SetCameraActive, 1u);
    EXPECT_EQ(std::tuple(a->active, b->active, CurrentCamera), std::tuple(0u, 1u, b));
    EXPECT_EQ(spyA->Count(cmd::camera::SetCameraActive), 2u); // on, then off from b

    // The same value again answers 1 and reaches no spy.
    const size_t seen = spyB->Count(cmd::camera::SetCameraActive);
    EXPECT_EQ(Send(b, cmd::camera::SetCameraActive, 1u), 1);
    EXPECT_EQ(spyB->Count(cmd::camera::SetCameraActive), seen);

    // Off on a camera that is not current leaves the current one.
    a->active = 1;
    Send(a, cmd::camera::SetCameraActive, 0u);
    EXPECT_EQ(std::tuple(a->active, CurrentCamera), std::tuple(0u, b));
    EXPECT_EQ(Ask<uint32_t>(b, cmd::camera::GetCameraActive), 1u);

    // "Action Start" and "Action Stop Post".
    a->HandleCommand(211, ParamBlock());
    EXPECT_EQ(std::tuple(a->active, b->active, CurrentCamera), std::tuple(1u, 0u, a));
    a->HandleCommand(215, ParamBlock());
    EXPECT_EQ(std::tuple(a->active, CurrentCamera), std::tuple(0u, nullptr));

    // A camera made current from outside still ends up active when switched on.
    CurrentCamera = b;
    b->active = 0;
    Send(b, cmd::camera::SetCameraActive, 1u);
    EXPECT_EQ(std::tuple(b->active, CurrentCamera), std::tuple(1u, b));

    EXPECT_EQ(DeleteActor(b), 1);
    EXPECT_EQ(CurrentCamera, nullptr);
}

TEST_F(CameraActorTest, FollowCameraActivationPlacesTheEye) {
    Actor *target = Make<Actor>(2, "target");
    ASSERT_NE(target, nullptr);
    target->position = {10.0f, 0.0f, -5.0f};
    target->InvalidateTransform();
    CameraActor *camera = MakeCamera();
    Send(camera, cmd::camera::SetCameraType, kCameraFollow);
    SendPointer(camera, cmd::camera::SetCameraTarget1_1222, target);
    Send(camera, cmd::camera::SetCameraActive, 1u);
    EXPECT_TRUE(Near(camera->look, {10.0f, 0.0f, -5.0f}));
    EXPECT_TRUE(Near(camera->eye, {160.0f, 150.0f, -5.0f}));
    EXPECT_TRUE(Near(camera->position, camera->eye));
    EXPECT_TRUE(Near(LibraryEye(), camera->eye));
    EXPECT_TRUE(Near(LibraryLook(), camera->look));

    // Without a target the placement is skipped; the camera still becomes current.
    CameraActor *lone = MakeCamera("lone");
    Send(lone, cmd::camera::SetCameraType, kCameraFollow);
    Send(lone, cmd::camera::SetCameraActive, 1u);
    EXPECT_EQ(std::tuple(lone->active, CurrentCamera), std::tuple(1u, lone));
    EXPECT_TRUE(Near(lone->position, {0.0f, 0.0f, 7.0f}));
}

TEST_F(CameraActorTest, CameraTypeSetsTheCollisionSphereAndPresets) {
    CameraActor *camera = MakeCamera();
    for (uint32_t type : {kCameraTarget, kCameraFollow, kCameraOrbit, kCameraTarget}) {
        camera->flags |= kActorFlag11;
        Send(camera, cmd::camera::SetCameraType, type);
        EXPECT_EQ(Ask<uint32_t>(camera, cmd::camera::GetCameraType), type);
        EXPECT_FALSE(camera->HasFlag(kActorFlag11));
        ASSERT_EQ(camera->colObjs.size(), 1u) << type;
        const ColObj &col = *camera->colObjs[0];
        EXPECT_EQ(col.name, "Camera Col");
        EXPECT_EQ(std::tuple(col.type, col.groups, col.receiveGroups, col.excludeGroups, col.flags,
                             col.material, col.fill, col.hitEffect, col.reference, col.owner),
                  std::tuple(1u, 1u, 1u, 0x04040000u, 0x31u, 0u, 9u, 0u, -1, camera));
        EXPECT_EQ(col.factor, 0.0f);
        EXPECT_TRUE(Near(col.boxMin, {0, 0, 0}) && Near(col.boxMax, {9, 9, 9}));
    }
    Send(camera, cmd::camera::SetCameraType, kCameraTargetX2);
    EXPECT_TRUE(camera->colObjs.empty());

    Send(camera, cmd::camera::SetCameraType, kCameraLookChase);
    EXPECT_TRUE(camera->colObjs.empty());
    EXPECT_EQ(std::tuple(camera->lookSmoothing, camera->eyeSmoothing, camera->targetHeight,
                         camera->distance, camera->pullDecay, camera->pullRecovery),
              std::tuple(0.05f, 0.5f, 43.0f, 105.0f, 0.97f, 0.0f));
    Send(camera, cmd::camera::SetCameraType, kCameraOrbit);
    EXPECT_EQ(std::tuple(camera->lookSmoothing, camera->eyeSmoothing, camera->upSmoothing,
                         camera->targetHeight, camera->distance),
              std::tuple(0.5f, 0.7f, 0.9f, 0.0f, 105.0f));
    camera->heightOffset = 3.0f;
    Send(camera, cmd::camera::SetCameraType, kCameraTarget);
    EXPECT_EQ(std::tuple(camera->lookSmoothing, camera->eyeSmoothing, camera->heightOffset,
                         camera->distance, camera->upSmoothing, camera->pullDecay),
              std::tuple(0.86f, 0.92f, 30.0f, 125.0f, 0.9f, 0.97f));
}

TEST_F(CameraActorTest, TargetsAndRigChildren) {
    Actor *hero = Make<Actor>(2, "hero");
    Actor *rigTarget = Make<Actor>(2, "CameraTarget", hero);
    Actor *rigPosition = Make<Actor>(2, "CameraPosition", hero);
    Actor *other = Make<Actor>(2, "other");
    ASSERT_TRUE(hero && rigTarget && rigPosition && other);
    rigTarget->position = {0.0f, 50.0f, 0.0f};
    rigPosition->position = {0.0f, 60.0f, -80.0f};
    CameraActor *camera = MakeCamera();

    SendPointer(camera, cmd::camera::SetCameraTarget1_1222, hero);
    EXPECT_EQ(std::tuple(camera->target1.target, camera->target2.target),
              std::tuple(hero, rigTarget));
    EXPECT_FLOAT_EQ(camera->targetHeight, 50.0f);
    EXPECT_FLOAT_EQ(camera->lookHeight, 30.0f);
    EXPECT_FLOAT_EQ(camera->distance, 100.0f);
    EXPECT_NEAR(camera->heightOffset, 33.33f, 0.01f);
    EXPECT_EQ(Ask<Actor *>(camera, cmd::camera::GetCameraTarget1_1223), hero);
    EXPECT_EQ(Ask<Actor *>(camera, cmd::camera::GetCameraTarget2_1225), rigTarget);
    EXPECT_EQ(hero->backLinks, std::vector<ActorLink *>{&camera->target1});

    SendPointer(camera, cmd::camera::SetCameraTarget1_1222, nullptr);
    EXPECT_EQ(camera->target1.target, nullptr);
    EXPECT_TRUE(hero->backLinks.empty());

    // Pointer then path: the path wins.
    std::vector<uint8_t> ext(sizeof(Actor *));
    std::memcpy(ext.data(), &hero, sizeof(hero));
    const char path[] = "/Scenery/other";
    ext.insert(ext.end(), path, path + sizeof(path));
    camera->HandleCommand(cmd::camera::SetCameraTarget1_1226, ParamBlock(ext.data(), ext.size()));
    EXPECT_EQ(camera->target1.target, other);
    EXPECT_TRUE(hero->backLinks.empty());

    // By id; 1231 answers the id or 0xFFFFFFFF.
    Send(camera, cmd::camera::SetCameraTarget2_1232, static_cast<uint32_t>(hero->actorId));
    EXPECT_EQ(camera->target2.target, hero);
    Send(camera, cmd::camera::SetCameraTarget1_1230, static_cast<uint32_t>(hero->actorId));
    EXPECT_EQ(std::tuple(camera->target1.target, camera->target2.target), std::tuple(hero, hero));
    EXPECT_EQ(Ask<uint32_t>(camera, cmd::camera::GetCameraTarget1_1231),
              static_cast<uint32_t>(hero->actorId));
    SendPointer(camera, cmd::camera::SetCameraTarget1_1222, nullptr);
    EXPECT_EQ(Ask<uint32_t>(camera, cmd::camera::GetCameraTarget1_1231), 0xFFFFFFFFu);

    // 1234 sets both heights, for type 1 only.
    Send(camera, cmd::camera::GetCameraHeight, 12.0f);
    EXPECT_EQ(std::tuple(camera->heightOffset, camera->targetHeight),
              std::tuple(camera->heightOffset, 50.0f));
    Send(camera, cmd::camera::SetCameraType, kCameraTarget);
    Send(camera, cmd::camera::GetCameraHeight, 12.0f);
    EXPECT_EQ(std::tuple(camera->heightOffset, camera->targetHeight), std::tuple(12.0f, 12.0f));

    // A destroyed target empties the link and tells the camera.
    CommandSpy *spy = SpyOn(camera);
    EXPECT_EQ(DeleteActor(hero), 1);
    EXPECT_EQ(camera->target2.target, nullptr);
    EXPECT_EQ(spy->Count(cmd::base::InvalidActorPointer), 1u);
}

TEST_F(CameraActorTest, GammaAndFlashGoOutFromTheCurrentCamera) {
    auto *recording = dynamic_cast<gfx::RecordingDevice *>(device);
    ASSERT_NE(recording, nullptr);
    CameraActor *camera = MakeCamera();
    Send(camera, cmd::camera::SetCameraActive, 1u);
    Send(camera, cmd::camera::SetGamma, 1.0f, 1.0f, 1.0f, 0.0f, 0.0f, 0.0f);
    library.GetScreenLayers().quads.clear();
    camera->Process();
    EXPECT_EQ(camera->gammaRefresh, 0u);
    EXPECT_EQ(recording->GetAppliedGamma().red[100], 100 * 256); // scale 1, offset 0
    EXPECT_TRUE(library.GetScreenLayers().quads.empty());

    Send(camera, cmd::camera::SetGamma, 1.0f, 1.0f, 1.0f, 128.0f, 0.0f, 0.0f);
    for (int frame = 0; frame < 2; ++frame) {
        library.GetScreenLayers().quads.clear();
        camera->Process();
        ASSERT_EQ(library.GetScreenLayers().quads.size(), 1u);
        const ScreenQuad &quad = library.GetScreenLayers().quads[0];
        EXPECT_EQ(quad.material, library.GetItemById(kWhiteAddSlot));
        EXPECT_EQ(quad.vertices[0].color, PackColor(0.5f, 0.0f, 0.0f, 1.0f));
        EXPECT_EQ(std::tuple(quad.vertices[0].x, quad.vertices[3].x, quad.vertices[3].y),
                  std::tuple(0.0f, static_cast<float>(GetScreenWidth()),
                             static_cast<float>(GetScreenHeight())));
    }
    Send(camera, cmd::camera::SetGamma, 1.0f, 1.0f, 1.0f, 0.0f, 0.0f, 0.0f);
    library.GetScreenLayers().quads.clear();
    camera->Process();
    EXPECT_TRUE(library.GetScreenLayers().quads.empty());

    // The global gamma multiplies the camera's scales.
    Send(camera, cmd::camera::SetGamma, 0.5f, 1.0f, 1.0f, 0.0f, 0.0f, 0.0f);
    camera->Process();
    Send(camera, cmd::camera::SetGlobalGamma, 0.5f, 1.0f, 1.0f, 10.0f, 0.0f, 0.0f);
    EXPECT_EQ(GlobalGamma[3], 10.0f);
    EXPECT_EQ(camera->gammaRefresh, 1u);
    camera->Process();
    EXPECT_EQ(recording->GetAppliedGamma().red[100],
              static_cast<uint16_t>((0.25f * 100 + 10) * 256));

    // The debug tint flashes the current camera.
    DebugTint(1, kDebugTintDefault, kDebugTintDefault, kDebugTintDefault);
    EXPECT_EQ(std::tuple(camera->flashColor[0], camera->flashColor[1], camera->flashColor[2]),
              std::tuple(60.0f, 140.0f, 200.0f));

    // An inactive camera hands nothing.
    CameraActor *idle = MakeCamera("idle");
    Send(idle, cmd::camera::SetGamma, 1.0f, 1.0f, 1.0f, 50.0f, 0.0f, 0.0f);
    library.GetScreenLayers().quads.clear();
    idle->Process();
    EXPECT_EQ(idle->gammaRefresh, 1u);
    EXPECT_TRUE(library.GetScreenLayers().quads.empty());
}

TEST_F(CameraActorTest, FieldOfViewAndClipPlanes) {
    CameraActor *current = MakeCamera("current");
    CameraActor *idle = MakeCamera("idle");
    Send(current, cmd::camera::SetCameraActive, 1u);
    current->Process();
    EXPECT_FLOAT_EQ(library.GetFieldOfView(), 0.75f * 1.1f);
    EXPECT_EQ(current->fovDirty, 0u);

    Send(idle, cmd::camera::SetFov, 2.0f); // at once, even when not current
    EXPECT_FLOAT_EQ(library.GetFieldOfView(), 1.5f);
    current->Process(); // not dirty: hands nothing
    EXPECT_FLOAT_EQ(library.GetFieldOfView(), 1.5f);
    current->fovDirty = 1;
    current->Process();
    EXPECT_FLOAT_EQ(library.GetFieldOfView(), 0.75f * 1.1f);
    EXPECT_FLOAT_EQ(Ask<float>(idle, cmd::camera::GetFov), 2.0f);

    Send(idle, cmd::camera::SetAspectratio, 1.5f);
    Send(idle, cmd::camera::SetNear, 4.0f);
    Send(idle, cmd::camera::SetFar, 900.0f);
    EXPECT_EQ(std::tuple(library.GetAspectAdjust(), library.GetNearClip(), library.GetFarClip()),
              std::tuple(1.5f, 4.0f, 900.0f));
    EXPECT_EQ(std::tuple(Ask<float>(idle, cmd::camera::GetAspectratio),
                         Ask<float>(idle, cmd::camera::GetNear),
                         Ask<float>(idle, cmd::camera::GetFar)),
              std::tuple(1.5f, 4.0f, 900.0f));
}

TEST_F(CameraActorTest, PrecalculateSubscribesOnceAndReactivates) {
    CameraActor *camera = MakeCamera();
    camera->active = 1; // as loaded from a file
    camera->HandleCommand(153, ParamBlock());
    EXPECT_TRUE(Near(camera->eye, {5553.0f, 5550.0f, -99999.0f}));
    EXPECT_EQ(std::tuple(camera->active, CurrentCamera), std::tuple(1u, camera));
    ASSERT_NE(camera->processEntry, nullptr);
    EXPECT_EQ(camera->processEntry->layer, 2);
    EXPECT_NE(camera->simState, nullptr);
    EXPECT_NE(camera->simParams, nullptr);
    ScheduledCommand *entry = camera->processEntry;
    camera->HandleCommand(153, ParamBlock());
    EXPECT_EQ(camera->processEntry, entry);
    size_t subscriptions = 0;
    for (ScheduledCommand *held : camera->scheduledCommands) {
        subscriptions += held != nullptr && held->command == cmd::base::Process ? 1 : 0;
    }
    EXPECT_EQ(subscriptions, 1u);

    // An entry deleted from outside (a time instance letting go of it) is
    // dropped; the next "Precalculate" subscribes again.
    ActorSystem::DeleteScheduledCommand(entry);
    EXPECT_EQ(camera->processEntry, nullptr);
    camera->HandleCommand(153, ParamBlock());
    EXPECT_NE(camera->processEntry, nullptr);
}

TEST_F(CameraActorTest, DirectionAndTurns) {
    CameraActor *camera = MakeCamera();
    camera->look = {0.0f, 0.0f, 0.0f};
    camera->distancePull = -25.0f;
    Send(camera, 271, 0.0f, 0.0f, 2.0f); // not normalised
    EXPECT_TRUE(Near(camera->eye, {0.0f, 0.0f, -200.0f}));
    const Vector3 direction = Ask<Vector3>(camera, 272);
    EXPECT_TRUE(Near(direction, {0.0f, 0.0f, 1.0f}));

    Step(0.5f);
    camera->eye = {0.0f, 0.0f, -100.0f};
    Send(camera, cmd::camera::CameraTurnHorizontal, 0.1f);
    // d = (0, 0, -1); cross(d, up) = (1, 0, 0); len 100 x 0.1.
    EXPECT_TRUE(Near(camera->eye, {10.0f, 0.0f, -100.0f}));
    EXPECT_FLOAT_EQ(camera->lastTurnTime, RootTimeRecord()->time);
    camera->eye = {0.0f, 0.0f, -100.0f};
    Send(camera, cmd::camera::SetRelativeRotX, 0.1f);
    // cross(d, cross(d, up)) = cross((0,0,-1), (1,0,0)) = (0, -1, 0).
    EXPECT_TRUE(Near(camera->eye, {0.0f, -10.0f, -100.0f}));

    camera->eye = camera->look; // no length: no turn, no NaN
    Send(camera, cmd::camera::SetRelativeRotX, 0.1f);
    EXPECT_TRUE(Finite(camera->eye));
    EXPECT_TRUE(Finite(Ask<Vector3>(camera, 272)));
}

TEST_F(CameraActorTest, CreateCopiesTheCameraFields) {
    Actor *hero = Make<Actor>(2, "hero");
    CameraActor *source = MakeCamera("source");
    Send(source, cmd::camera::SetCameraType, kCameraOrbit);
    SendPointer(source, cmd::camera::SetCameraTarget1_1222, hero);
    source->smoothEye = {1.0f, 2.0f, 3.0f};
    source->flashColor[1] = 9.0f;
    source->gammaScale[2] = 0.5f;
    auto *copy =
        dynamic_cast<CameraActor *>(CreateActor(kCameraClassId, "copy", source, scenery, -1, true));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(std::tuple(copy->cameraType, copy->target1.target, copy->upSmoothing,
                         copy->flashColor[1], copy->gammaScale[2]),
              std::tuple(kCameraOrbit, hero, 0.9f, 9.0f, 0.5f));
    EXPECT_TRUE(Near(copy->smoothEye, {1.0f, 2.0f, 3.0f}));
    EXPECT_EQ(hero->backLinks.size(), 2u);
    EXPECT_EQ(DeleteActor(hero), 1);
    EXPECT_EQ(std::tuple(source->target1.target, copy->target1.target),
              std::tuple(nullptr, nullptr));
}

TEST_F(CameraActorTest, ACopyOfTheActiveCameraStartsInactive) {
    CameraActor *source = MakeCamera("source");
    Send(source, cmd::camera::SetCameraActive, 1u);
    auto *copy =
        dynamic_cast<CameraActor *>(CreateActor(kCameraClassId, "copy", source, scenery, -1, true));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(std::tuple(copy->active, source->active, CurrentCamera),
              std::tuple(0u, 1u, source));
    EXPECT_EQ(Ask<uint32_t>(copy, cmd::camera::GetCameraActive), 0u);
    // Switched on, the copy takes over from its template.
    Send(copy, cmd::camera::SetCameraActive, 1u);
    EXPECT_EQ(std::tuple(copy->active, source->active, CurrentCamera),
              std::tuple(1u, 0u, copy));
}

TEST_F(CameraActorTest, CollisionEventsBlockOnSolidNonCharacters) {
    CameraActor *camera = MakeCamera();
    Actor *wall = Make<Actor>(2, "wall");
    ColObj solid(wall);
    solid.flags = kColObjActive | kColObjSolid;
    ColObj soft(wall);
    soft.flags = kColObjActive;
    ColObj ownerless(nullptr);
    ownerless.flags = kColObjSolid;
    auto event = [&](ColObj *first) {
        ColObj *pair[2] = {first, nullptr};
        camera->blocked = 0;
        camera->HandleCommand(171, ParamBlock(pair, sizeof(pair)));
        return camera->blocked;
    };
    EXPECT_EQ(event(&solid), 1u);
    EXPECT_EQ(event(&soft), 0u);
    EXPECT_EQ(event(&ownerless), 1u);
    EXPECT_EQ(event(nullptr), 0u);
    wall->classId = 16; // a Character does not block
    EXPECT_EQ(event(&solid), 0u);
    wall->classId = 2;
}

// --- files --------------------------------------------------------------------------

std::string Words(std::initializer_list<uint32_t> words) {
    std::string bytes;
    for (uint32_t w : words) {
        for (int i = 0; i < 4; ++i) {
            bytes += static_cast<char>((w >> (8 * i)) & 0xFF);
        }
    }
    return bytes;
}
uint32_t Bits(float f) {
    uint32_t w;
    std::memcpy(&w, &f, 4);
    return w;
}

TEST_F(CameraActorTest, RecordOfTheCurrentVersion) {
    Actor *hero = Make<Actor>(2, "hero");
    CameraActor *camera = MakeCamera();
    Send(camera, cmd::camera::SetCameraType, kCameraTarget);
    camera->distancePull = -4.0f;
    camera->target2.path = "GA5";
    camera->target1.path = "/Scenery/earlier"; // as read from a file
    SendPointer(camera, cmd::camera::SetCameraTarget1_1222, hero); // saved by the new target's path
    camera->active = 1;
    const std::string bytes = WriteAtVersion(camera, kActorFileVersion);
    const std::string tail = Words({1u, 1u, Bits(30.0f), Bits(125.0f), Bits(-4.0f), Bits(30.0f),
                                    Bits(0.86f), Bits(0.92f), Bits(1.1f), Bits(1.333f), Bits(10.0f),
                                    Bits(2500.0f), Bits(20.0f), 13u}) +
                             "/Scenery/hero" + Words({3u}) + "GA5";
    ASSERT_GT(bytes.size(), tail.size());
    EXPECT_EQ(bytes.substr(bytes.size() - tail.size()), tail);

    // Read back into a fresh camera: the stored fields come back, the others
    // keep the constructor's values.
    const int32_t id = camera->actorId;
    camera->distanceSlack = 1.0f;
    EXPECT_EQ(DeleteActor(camera), 1);
    ASSERT_EQ(Load(bytes), 1) << system->errorText;
    auto *read = dynamic_cast<CameraActor *>(GetActorById(static_cast<uint32_t>(id)));
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(
        std::tuple(read->cameraType, read->active, read->distancePull, read->target1.path,
                   read->target2.path, read->distanceSlack, read->upSmoothing),
        std::tuple(1u, 1u, -4.0f, std::string("/Scenery/hero"), std::string("GA5"), 100.0f, 0.0f));
}

TEST_F(CameraActorTest, OlderRecordsCarryFewerFields) {
    CameraActor *camera = MakeCamera();
    camera->cameraType = 2;
    camera->active = 1;
    const std::string v70 = WriteAtVersion(camera, kActorFileVersion);
    const std::string v39 = WriteAtVersion(camera, 39);
    const std::string v38 = WriteAtVersion(camera, 38);
    const std::string v26 = WriteAtVersion(camera, 26);
    const std::string v25 = WriteAtVersion(camera, 25);
    EXPECT_EQ(v39.size() - v38.size(), 4u);          // the Active word
    EXPECT_EQ(v26.size() - v25.size(), 4u * 12 + 8); // type, eleven reals, two empty paths
    (void)v70;

    // Version 38: no Active word; version 25: no camera field at all.
    const int32_t id = camera->actorId;
    EXPECT_EQ(DeleteActor(camera), 1);
    ASSERT_EQ(Load(v38), 1) << system->errorText;
    auto *read = dynamic_cast<CameraActor *>(GetActorById(static_cast<uint32_t>(id)));
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(std::tuple(read->cameraType, read->active), std::tuple(2u, 0u));
    EXPECT_EQ(DeleteActor(read), 1);
    ASSERT_EQ(Load(v25), 1) << system->errorText; // the old layout moves the id
    const std::vector<Actor *> found = FindActorsByName("cam", kCameraClassId);
    ASSERT_EQ(found.size(), 1u);
    read = dynamic_cast<CameraActor *>(found[0]);
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(std::tuple(read->cameraType, read->active), std::tuple(0u, 0u));

    // Writing the current camera marks it active.
    CurrentCamera = read;
    WriteAtVersion(read, kActorFileVersion);
    EXPECT_EQ(read->active, 1u);
}

} // namespace
} // namespace cameratest
