// The Mesh Object actor: its mesh, sub-meshes and collision objects, the
// drawing and the animation clock, the base commands with work of their own,
// "Create", and its file record with the upgrades of older files.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <tuple>
#include <vector>

#include "actors/presentation/mesh_object_actor.h"
#include "core/actors/class_descriptor.h"
#include "core/actors/command_ids.h"
#include "library/render/render_front_end.h"
#include "presentation_fixture.h"

namespace {

using namespace presentationtest;

constexpr float kFlagTotal = 15.0f / 30.0f;

class MeshObjectTest : public PresentationTest {
  protected:
    MeshObjectActor *NewMesh(const char *name = "m", Actor *parent = nullptr) {
        return Make<MeshObjectActor>(kMeshObjectClassId, name, parent);
    }
    int SetMesh(MeshObjectActor *actor, uint32_t slot) {
        LibraryItem *item = library.GetItemById(slot);
        return actor->HandleCommand(cmd::mesh_object::SetMesh, ParamBlock(&item, sizeof(item)));
    }
    // A mesh on "flag" (0.5 s), playing in the given style.
    MeshObjectActor *Animated(uint32_t style) {
        MeshObjectActor *actor = NewMesh();
        SetMesh(actor, kFlagSlot);
        SendCommandArgs(actor, cmd::mesh_object::SetMeshAnimationStyle_452, style);
        SendCommandArgs(actor, 262);
        return actor;
    }
    float Get(Actor *actor, uint32_t command) {
        float v = -1.0f;
        actor->HandleCommand(command, ParamBlock(&v, sizeof(v)));
        return v;
    }
    uint32_t GetWord(Actor *actor, uint32_t command) {
        uint32_t v = 0xDEAD;
        actor->HandleCommand(command, ParamBlock(&v, sizeof(v)));
        return v;
    }
    std::vector<uint32_t> MaterialSlots(const MeshObjectActor *actor) {
        std::vector<uint32_t> slots;
        for (const SubMeshRecord &record : actor->subMeshes) {
            slots.push_back(record.materialIndex);
            EXPECT_EQ(record.material, Material(record.materialIndex));
        }
        return slots;
    }
    // One frame: the clock steps, then the mesh updates.
    void Frame(MeshObjectActor *actor, float dt = 1.0f / 60.0f) {
        Step(dt);
        actor->Update();
    }
};

// --- mesh, sub-meshes and collision objects -------------------------------------------

TEST_F(MeshObjectTest, SetMeshTakesTheSubsetsMaterialsAndShapes) {
    MeshObjectActor *actor = NewMesh();
    ColObj own(actor);
    own.name = "own";
    actor->AddColObj(own);
    ASSERT_EQ(SetMesh(actor, kTripleSlot), 1);

    EXPECT_EQ(actor->mesh, Mesh(kTripleSlot));
    EXPECT_EQ(actor->meshIndex, kTripleSlot);
    // Slot 99 is empty: the default material stands in.
    EXPECT_EQ(MaterialSlots(actor), (std::vector<uint32_t>{21, 4, 4}));
    EXPECT_EQ(GetWord(actor, cmd::mesh_object::GetSubsetCount), 3u);

    ASSERT_EQ(actor->colObjs.size(), 4u);
    EXPECT_EQ(actor->colObjs[0]->name, "own");
    const ColObj &sphere = *actor->colObjs[1];
    EXPECT_EQ(std::tuple(sphere.flags, sphere.groups, sphere.receiveGroups, sphere.excludeGroups,
                         sphere.type, sphere.material, sphere.fill, sphere.hitEffect,
                         sphere.reference, sphere.owner),
              std::tuple(0xC1u, 1u, 1u, 0u, 1u, kRedField2, 7u, kRedField8, -1, actor));
    EXPECT_EQ(std::tuple(sphere.boxMin.x, sphere.boxMin.y, sphere.boxMin.z, sphere.boxMax.x,
                         sphere.boxMax.y, sphere.boxMax.z),
              std::tuple(1.0f, 2.0f, 3.0f, 4.0f, 4.0f, 4.0f));
    const ColObj &box = *actor->colObjs[2];
    EXPECT_EQ(std::tuple(box.type, box.material, box.hitEffect, box.reference, box.boxMin.z,
                         box.boxMax.z),
              std::tuple(2u, kDefaultField2, kDefaultField8, 1, -3.0f, 3.0f));
    const ColObj &surface = *actor->colObjs[3];
    EXPECT_EQ(std::tuple(surface.type, surface.reference, surface.boxMin.x, surface.boxMax.y),
              std::tuple(4u, 2, 0.0f, 0.0f));

    // The next mesh replaces the synchronised objects; types 0, 7 and 14
    // make none.
    ASSERT_EQ(SetMesh(actor, kNoShapeSlot), 1);
    ASSERT_EQ(actor->colObjs.size(), 1u);
    EXPECT_EQ(actor->colObjs[0]->name, "own");
    EXPECT_EQ(MaterialSlots(actor), (std::vector<uint32_t>{21, 4, 4}));

    // Another rebuild does not add a second set.
    SetMesh(actor, kTripleSlot);
    SendCommandArgs(actor, cmd::mesh_object::RebuildMeshColObjs);
    EXPECT_EQ(actor->colObjs.size(), 4u);
    // Without "MeshSync Collision" the objects stay as they are.
    SendCommandArgs(actor, cmd::mesh_object::SetSyncCollision, false);
    SetMesh(actor, kNoShapeSlot);
    EXPECT_EQ(actor->colObjs.size(), 1u);
    SetMesh(actor, kTripleSlot);
    EXPECT_EQ(actor->colObjs.size(), 1u);

    // An item that is no mesh leaves the actor without one.
    EXPECT_EQ(SetMesh(actor, kRedMaterialSlot), 0);
    EXPECT_EQ(actor->mesh, nullptr);
}

TEST_F(MeshObjectTest, MeshesAndMaterialsByName) {
    MeshObjectActor *actor = NewMesh();
    EXPECT_EQ(SendCommandArgs(actor, 91, std::string("FLAG")), 1);
    EXPECT_EQ(actor->mesh, Mesh(kFlagSlot));
    EXPECT_EQ(SendCommandArgs(actor, 91, std::string("nothing")), 0);
    EXPECT_EQ(actor->mesh, Mesh(kFlagSlot));
    void *answer = nullptr;
    actor->HandleCommand(cmd::mesh_object::GetMesh, ParamBlock(&answer, sizeof(answer)));
    EXPECT_EQ(answer, Mesh(kFlagSlot));

    SetMesh(actor, kTripleSlot);
    Step();
    actor->Update();
    ASSERT_NE(actor->subMeshes[0].instance, nullptr);
    SendCommandArgs(actor, cmd::mesh_object::SetMaterial_447, std::string("nothing"));
    EXPECT_NE(actor->subMeshes[0].instance, nullptr);
    EXPECT_EQ(SendCommandArgs(actor, cmd::mesh_object::SetMaterial_447, std::string("red")), 1);
    EXPECT_EQ(MaterialSlots(actor), (std::vector<uint32_t>{21, 21, 21}));
    for (const SubMeshRecord &record : actor->subMeshes) {
        EXPECT_EQ(record.instance, nullptr);
    }
}

TEST_F(MeshObjectTest, SubsetIndexesOutOfRangeChangeNothing) {
    MeshObjectActor *actor = NewMesh();
    SetMesh(actor, kTripleSlot);
    struct MaterialBlock {
        void *item;
        uint32_t subset;
    };
    MaterialBlock set{Material(kRedMaterialSlot), 2};
    EXPECT_EQ(actor->HandleCommand(cmd::mesh_object::SetMaterial_448,
                                   ParamBlock(&set, sizeof(set))), 1);
    EXPECT_EQ(MaterialSlots(actor), (std::vector<uint32_t>{21, 4, 21}));
    MaterialBlock get{nullptr, 2};
    actor->HandleCommand(cmd::mesh_object::GetMaterial, ParamBlock(&get, sizeof(get)));
    EXPECT_EQ(get.item, Material(kRedMaterialSlot));

    // Subset 3 does not exist: no write past the records, a null answer.
    set = {Material(kDefaultMaterialSlot), 3};
    EXPECT_EQ(actor->HandleCommand(cmd::mesh_object::SetMaterial_448,
                                   ParamBlock(&set, sizeof(set))), 0);
    get = {Material(kRedMaterialSlot), 3};
    actor->HandleCommand(cmd::mesh_object::GetMaterial, ParamBlock(&get, sizeof(get)));
    EXPECT_EQ(get.item, nullptr);
    // A pointer to something that is no material is refused.
    set = {Mesh(kCubeSlot), 0};
    EXPECT_EQ(actor->HandleCommand(cmd::mesh_object::SetMaterial_448,
                                   ParamBlock(&set, sizeof(set))), 0);
    EXPECT_EQ(MaterialSlots(actor), (std::vector<uint32_t>{21, 4, 21}));

    SendCommandArgs(actor, cmd::mesh_object::SetActiveSubset, 1u);
    SendCommandArgs(actor, cmd::mesh_object::SetZOffset, 2.5f);
    EXPECT_EQ(Get(actor, cmd::mesh_object::GetZOffset), 2.5f);
    EXPECT_EQ(GetWord(actor, cmd::mesh_object::GetActiveSubset), 1u);
    SendCommandArgs(actor, cmd::mesh_object::SetActiveSubset, 7u);
    SendCommandArgs(actor, cmd::mesh_object::SetZOffset, 9.0f);
    EXPECT_EQ(Get(actor, cmd::mesh_object::GetZOffset), 0.0f);
    EXPECT_EQ(std::tuple(actor->subMeshes[0].zOffset, actor->subMeshes[1].zOffset,
                         actor->subMeshes[2].zOffset),
              std::tuple(0.0f, 2.5f, 0.0f));
    // "Set Mesh" goes back to the first subset.
    SetMesh(actor, kTripleSlot);
    EXPECT_EQ(GetWord(actor, cmd::mesh_object::GetActiveSubset), 0u);
}

TEST_F(MeshObjectTest, SettersAndGettersOfTheFields) {
    MeshObjectActor *actor = NewMesh();
    struct Pair {
        uint32_t set, get, value;
    };
    for (const Pair &p : {Pair{cmd::mesh_object::SetInitialMeshAnimationPlaying_454,
                               cmd::mesh_object::SetInitialMeshAnimationPlaying_455, 1},
                          Pair{cmd::mesh_object::SetVisible, cmd::mesh_object::GetVisible, 0},
                          Pair{cmd::mesh_object::SetSyncCollision,
                               cmd::mesh_object::GetSyncCollision, 0},
                          Pair{cmd::mesh_object::SetSyncMaterial, cmd::mesh_object::GetSyncMaterial,
                               0},
                          Pair{cmd::mesh_object::SetMeshAnimationStyle_452,
                               cmd::mesh_object::SetMeshAnimationStyle_453, 9}}) {
        SCOPED_TRACE(p.set);
        SendCommandArgs(actor, p.set, p.value);
        EXPECT_EQ(GetWord(actor, p.get), p.value);
    }
    EXPECT_EQ(actor->meshFlags & (kMeshInitiallyPlaying | kMeshSyncCollision | kMeshSyncMaterial),
              kMeshInitiallyPlaying);
    EXPECT_EQ(actor->state & kActorEnabled, 0u);
    SendCommandArgs(actor, 265, 0.25f);
    EXPECT_EQ(Get(actor, 266), 0.25f);
}

TEST_F(MeshObjectTest, CalculateBoxWidensByTheTransformedVertexBox) {
    MeshObjectActor *actor = NewMesh();
    actor->scale = {2.0f, 1.0f, 1.0f};
    actor->position = {100.0f, 0.0f, 0.0f};
    actor->InvalidateTransform();
    // The cube has no vertices loaded: its record's box (+-10) stands in.
    Vector3 box[2] = {{0.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 50.0f}};
    actor->HandleCommand(151, ParamBlock(box, sizeof(box)));
    EXPECT_EQ(std::tuple(box[0].x, box[0].y, box[0].z, box[1].x, box[1].y, box[1].z),
              std::tuple(0.0f, -10.0f, -10.0f, 120.0f, 10.0f, 50.0f));
}

// --- drawing ----------------------------------------------------------------------------

TEST_F(MeshObjectTest, DrawsEveryRecordEachFrameWithTheFrameAndTheSortValue) {
    MeshObjectActor *actor = NewMesh();
    SetMesh(actor, kTripleSlot);
    actor->position = {0.0f, 0.0f, 200.0f};
    actor->scale = {2.0f, 3.0f, 1.0f};
    actor->InvalidateTransform();
    EXPECT_EQ(actor->subMeshes[0].instance, nullptr);

    const uint32_t before = library.GetQueuedInstanceCount();
    Step();
    actor->Update();
    EXPECT_EQ(library.GetQueuedInstanceCount() - before, 3u);
    EXPECT_EQ(actor->boundingScale, 3.0f);
    for (const SubMeshRecord &record : actor->subMeshes) {
        ASSERT_NE(record.instance, nullptr);
        EXPECT_EQ(std::tuple(record.instance->scale, record.instance->alpha,
                             record.instance->userWord, record.instance->queued),
                  std::tuple(3.0f, 1.0f, static_cast<uint32_t>(actor->actorId), 1u));
    }

    // The next frame: the animation frame and the last 205 value.
    library.DrawScene();
    SetMesh(actor, kFlagSlot);
    SendCommandArgs(actor, 251, 0.25f);
    SendCommandArgs(actor, 205, 0.5f);
    Step();
    actor->Update();
    DrawInstance *instance = actor->subMeshes[0].instance;
    ASSERT_NE(instance, nullptr);
    EXPECT_EQ(std::tuple(instance->frame, instance->alpha), std::tuple(30.0f * 0.25f, 0.5f));

    // A kept bounding scale stays.
    actor->ReleaseRenderInstances();
    actor->boundingScale = 7.0f;
    actor->flags |= kActorBoundingScaleKept;
    library.DrawScene();
    Step();
    actor->Update();
    EXPECT_EQ(actor->subMeshes[0].instance->scale, 7.0f);

    // Invisible or not operational: nothing is queued.
    library.DrawScene();
    for (uint32_t clear : {kActorEnabled, kActorOperational}) {
        actor->state &= ~clear;
        const uint32_t count = library.GetQueuedInstanceCount();
        Step();
        actor->Update();
        EXPECT_EQ(library.GetQueuedInstanceCount(), count);
        actor->state |= clear;
    }
}

TEST_F(MeshObjectTest, AnInstanceDestroyedWhileTheSceneIsQueuedIsNotDrawn) {
    MeshObjectActor *first = NewMesh("first");
    MeshObjectActor *target = NewMesh("target");
    MeshObjectActor *looper = NewMesh("looper");
    float x = 0.0f;
    for (MeshObjectActor *actor : {first, target, looper}) {
        SetMesh(actor, actor == looper ? kFlagSlot : kCubeSlot);
        actor->position = {x += 11.0f, 0.0f, 200.0f};
        actor->InvalidateTransform();
    }
    // The looper's loop event takes away the target's instance, queued
    // earlier in the same frame.
    SendCommandArgs(looper, 262);
    SendCommandArgs(looper, 251, kFlagTotal - 0.001f);
    looper->scripts.push_back(std::make_unique<ScriptRecord>());
    looper->scripts.back()->owner = looper;
    looper->scripts.back()->eventId = cmd::mesh_object::OnMeshAnimationLoop;
    looper->scripts.back()->name = "loop";
    looper->scripts.back()->source = "/Scenery/target.Set_Material(\"red\");";
    Step();
    first->Update();
    target->Update();
    looper->Update();
    EXPECT_EQ(target->subMeshes[0].instance, nullptr);

    // What is drawn (last queued first): the looper and the first mesh.
    auto *recording = dynamic_cast<gfx::RecordingDevice *>(device);
    ASSERT_NE(recording, nullptr);
    recording->ClearLog();
    library.DrawScene();
    // The world transforms of the draws end with the translation row.
    const std::string row = " 0 200 1";
    std::vector<std::string> places;
    for (const std::string &line : recording->GetLog()) {
        if (line.rfind("SetTransform", 0) == 0 && line.size() > row.size() &&
            line.compare(line.size() - row.size(), row.size(), row) == 0) {
            const size_t end = line.size() - row.size();
            const size_t start = line.rfind(' ', end - 1) + 1;
            places.push_back(line.substr(start, end - start));
        }
    }
    EXPECT_EQ(places, (std::vector<std::string>{"33", "11"}));
}

// --- animation --------------------------------------------------------------------------

TEST_F(MeshObjectTest, ForwardStylesAtTheirEnd) {
    // Forward Loop, a step longer than two loops: back to 0, one loop event.
    MeshObjectActor *loop = Animated(kForwardLoop);
    CommandSpy *spy = SpyOn(loop);
    Frame(loop, 1.2f);
    EXPECT_EQ(loop->playTime, 0.0f);
    EXPECT_EQ(spy->Count(cmd::mesh_object::OnMeshAnimationLoop), 1u);
    // A shorter overshoot keeps the rest.
    Frame(loop, 0.6f);
    EXPECT_FLOAT_EQ(loop->playTime, 0.1f);

    MeshObjectActor *once = Animated(kForwardOnce);
    spy = SpyOn(once);
    SendCommandArgs(once, 251, kFlagTotal - 0.01f);
    Frame(once);
    EXPECT_EQ(once->playTime, kFlagTotal - 1e-9f);
    EXPECT_EQ(std::tuple(once->meshFlags & kMeshPlaying,
                         spy->Count(cmd::mesh_object::OnMeshAnimationEnd)),
              std::tuple(0u, 1u));
    Frame(once);
    EXPECT_EQ(spy->Count(cmd::mesh_object::OnMeshAnimationEnd), 1u);

    for (uint32_t style : {kForwardBackwardOnce, kForwardBackwardLoop}) {
        MeshObjectActor *turn = Animated(style);
        spy = SpyOn(turn);
        Frame(turn, 0.51f);
        EXPECT_EQ(std::tuple(turn->playTime, turn->direction, spy->seen.size()),
                  std::tuple(kFlagTotal - 2e-9f, 1u, size_t{0}));
    }
}

TEST_F(MeshObjectTest, BackwardStylesAtTheStart) {
    struct Case {
        uint32_t style;
        float time;
        uint32_t direction;
        uint32_t playing;
        uint32_t event;
    };
    for (const Case &c :
         {Case{kBackwardOnce, 0.0f, 1, 0, cmd::mesh_object::OnMeshAnimationEnd},
          Case{kForwardBackwardOnce, 0.0f, 0, 0, cmd::mesh_object::OnMeshAnimationEnd},
          Case{kBackwardLoop, kFlagTotal - 1e-9f, 1, kMeshPlaying,
               cmd::mesh_object::OnMeshAnimationLoop},
          Case{kForwardBackwardLoop, 1e-9f, 0, kMeshPlaying,
               cmd::mesh_object::OnMeshAnimationLoop}}) {
        SCOPED_TRACE(c.style);
        MeshObjectActor *actor = Animated(c.style);
        actor->direction = 1;
        actor->playTime = 0.005f;
        CommandSpy *spy = SpyOn(actor);
        Frame(actor);
        EXPECT_EQ(std::tuple(actor->playTime, actor->direction, actor->meshFlags & kMeshPlaying,
                             spy->seen),
                  std::tuple(c.time, c.direction, c.playing, std::vector<uint32_t>{c.event}));
    }
    // The reset puts backward styles at the end.
    MeshObjectActor *actor = Animated(kBackwardOnce);
    EXPECT_EQ(std::tuple(actor->playTime, actor->direction), std::tuple(kFlagTotal - 1e-9f, 1u));
}

TEST_F(MeshObjectTest, TimesAndTheirLimits) {
    // A single frame never advances.
    MeshObjectActor *still = NewMesh();
    SendCommandArgs(still, 262);
    CommandSpy *spy = SpyOn(still);
    Frame(still, 5.0f);
    EXPECT_EQ(std::tuple(still->playTime, spy->seen.size()), std::tuple(0.0f, size_t{0}));
    // No division by a total time of 0.
    EXPECT_EQ(Get(still, 255), 0.0f);

    MeshObjectActor *actor = NewMesh();
    SetMesh(actor, kFlagSlot);
    actor->totalTime = 0.0f;
    SendCommandArgs(actor, 153);
    EXPECT_EQ(Get(actor, 257), kFlagTotal);
    SendCommandArgs(actor, 251, 3.0f);
    EXPECT_EQ(Get(actor, 252), kFlagTotal - 1e-9f);
    SendCommandArgs(actor, 251, 0.25f);
    EXPECT_EQ(Get(actor, 252), 0.25f);

    spy = SpyOn(actor);
    EXPECT_EQ(SendCommandArgs(actor, 254, 0.5f), 1);
    EXPECT_EQ(Get(actor, 252), kFlagTotal * 0.5f);
    EXPECT_EQ(SendCommandArgs(actor, 254, 1.0f), 1);
    EXPECT_EQ(Get(actor, 252), kFlagTotal - 1e-9f);
    EXPECT_EQ(Get(actor, 255), (kFlagTotal - 1e-9f) / kFlagTotal);
    EXPECT_EQ(spy->Count(254) + spy->Count(255), 0u);

    // The action time is the larger of the given one and total / speed.
    SendCommandArgs(actor, 265, 0.5f);
    float time = 0.2f;
    actor->HandleCommand(203, ParamBlock(&time, sizeof(time)));
    EXPECT_EQ(time, kFlagTotal / 0.5f);
    time = 4.0f;
    actor->HandleCommand(203, ParamBlock(&time, sizeof(time)));
    EXPECT_EQ(time, 4.0f);
}

// --- base commands ----------------------------------------------------------------------

TEST_F(MeshObjectTest, StartAndStopShowHideAndPlay) {
    MeshObjectActor *actor = NewMesh();
    SetMesh(actor, kFlagSlot);
    SendCommandArgs(actor, 251, 0.3f);
    SendCommandArgs(actor, cmd::mesh_object::SetVisible, false);

    // Not updated in the last frame: shown, but the animation stays.
    Step();
    Step();
    EXPECT_EQ(SendCommandArgs(actor, 36), 1);
    EXPECT_EQ(std::tuple(actor->state & kActorEnabled, actor->meshFlags & kMeshPlaying,
                         actor->playTime, actor->sortValue),
              std::tuple(kActorEnabled, 0u, 0.3f, 1.0f));

    // Updated last frame: reset and played.
    actor->Update();
    Step();
    SendCommandArgs(actor, 211);
    EXPECT_EQ(std::tuple(actor->meshFlags & kMeshPlaying, actor->playTime),
              std::tuple(kMeshPlaying, 0.0f));

    // "Stop" hides it by visibility and by the sort value.
    SendCommandArgs(actor, 37);
    EXPECT_EQ(std::tuple(actor->state & kActorEnabled, actor->sortValue), std::tuple(0u, 0.0f));
    SendCommandArgs(actor, 36);
    SendCommandArgs(actor, 215);
    EXPECT_EQ(actor->state & kActorEnabled, 0u);

    // "Start Game" plays only with the initial state set.
    actor->meshFlags &= ~kMeshPlaying;
    SendCommandArgs(actor, 154);
    EXPECT_EQ(actor->meshFlags & kMeshPlaying, 0u);
    SendCommandArgs(actor, cmd::mesh_object::SetInitialMeshAnimationPlaying_454, true);
    SendCommandArgs(actor, 154);
    EXPECT_EQ(actor->meshFlags & kMeshPlaying, kMeshPlaying);
}

TEST_F(MeshObjectTest, ActionStopAndKillTurnCollisionOffAndKillPostDeletes) {
    for (uint32_t command : {212u, 213u}) {
        MeshObjectActor *actor = NewMesh();
        SetMesh(actor, kTripleSlot);
        ASSERT_TRUE(actor->HasFlag(kActorCollisionEnabled));
        SendCommandArgs(actor, command);
        EXPECT_FALSE(actor->HasFlag(kActorCollisionEnabled));
        EXPECT_EQ(actor->colObjs[0]->flags & kColObjActive, 0u);
    }
    MeshObjectActor *parent = NewMesh("parent");
    NewMesh("child", parent);
    MeshObjectActor *lone = NewMesh("lone");
    SendCommandArgs(parent, 216);
    SendCommandArgs(lone, 216);
    EXPECT_EQ(std::tuple(lone->HasFlag(kActorQueuedForDeletion),
                         parent->HasFlag(kActorQueuedForDeletion), parent->state & kActorEnabled),
              std::tuple(true, false, 0u));
}

int g_loads = 0;
int g_releases = 0;

TEST_F(MeshObjectTest, ResourcesAreLoadedAndReleasedOnce) {
    MeshObjectActor *actor = NewMesh();
    SetMesh(actor, kTripleSlot);
    const ItemLoader meshLoader = GetItemLoader(ItemClass::Mesh);
    const ItemLoader materialLoader = GetItemLoader(ItemClass::Material);
    const ItemLoader counting{[](LibraryItem &) { return ++g_loads, 1; },
                              [](LibraryItem &) { return ++g_releases, 1; }};
    SetItemLoader(ItemClass::Mesh, counting);
    SetItemLoader(ItemClass::Material, counting);
    g_loads = g_releases = 0;
    // The mesh and its three materials, once each way.
    SendCommandArgs(actor, 226);
    SendCommandArgs(actor, 226);
    EXPECT_EQ(std::tuple(g_loads, g_releases, actor->meshFlags & kMeshResourcesLoaded),
              std::tuple(4, 0, kMeshResourcesLoaded));
    SendCommandArgs(actor, 227);
    SendCommandArgs(actor, 227);
    EXPECT_EQ(std::tuple(g_loads, g_releases, actor->meshFlags & kMeshResourcesLoaded),
              std::tuple(4, 4, 0u));
    SetItemLoader(ItemClass::Mesh, meshLoader);
    SetItemLoader(ItemClass::Material, materialLoader);
}

// --- "Create" ---------------------------------------------------------------------------

TEST_F(MeshObjectTest, CreateWithoutTemplateTakesTheDefaultsOrFails) {
    MeshObjectActor *actor = NewMesh();
    ASSERT_NE(actor, nullptr);
    EXPECT_EQ(std::tuple(actor->mesh, actor->meshIndex), std::tuple(Mesh(kCubeSlot), 3u));
    EXPECT_EQ(MaterialSlots(actor), (std::vector<uint32_t>{4}));

    ResourceLibrary empty;
    ReplaceLibraryForTests(&empty);
    const size_t children = scenery->children.size();
    EXPECT_EQ(CreateActor(kMeshObjectClassId, "none", nullptr, scenery, 600, true), nullptr);
    EXPECT_EQ(GetActorById(600), nullptr);
    EXPECT_EQ(scenery->children.size(), children);
    ReplaceLibraryForTests(&library);
}

TEST_F(MeshObjectTest, CreateFromATemplateCopiesTheRecordsWithoutInstances) {
    MeshObjectActor *source = NewMesh("source");
    SetMesh(source, kTripleSlot);
    SendCommandArgs(source, cmd::mesh_object::SetZOffset, 4.0f);
    SendCommandArgs(source, cmd::mesh_object::SetMeshAnimationStyle_452,
                    static_cast<uint32_t>(kForwardOnce));
    source->position = {0.0f, 0.0f, 200.0f};
    source->InvalidateTransform();
    Step();
    source->Update();
    ASSERT_NE(source->subMeshes[0].instance, nullptr);

    auto *copy = dynamic_cast<MeshObjectActor *>(
        CreateActor(kMeshObjectClassId, "copy", source, scenery, -1, true));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(std::tuple(copy->mesh, copy->animationStyle, copy->subMeshes.size(),
                         copy->subMeshes[0].zOffset, copy->meshFlags & kMeshResourcesLoaded),
              std::tuple(Mesh(kTripleSlot), uint32_t{kForwardOnce}, size_t{3}, 4.0f,
                         kMeshResourcesLoaded));
    EXPECT_EQ(MaterialSlots(copy), (std::vector<uint32_t>{21, 4, 4}));
    for (const SubMeshRecord &record : copy->subMeshes) {
        EXPECT_EQ(record.instance, nullptr);
    }
    // The source keeps its own instances.
    EXPECT_NE(source->subMeshes[0].instance, nullptr);
}

// --- descriptor ---------------------------------------------------------------------------

TEST_F(MeshObjectTest, DescriptorAndSheet) {
    const ActorClassDescriptor &d = ClassDescriptorTable[kMeshObjectClassId];
    EXPECT_EQ(std::tuple(d.name, d.description, d.lineage),
              std::tuple("Object", "Object", std::vector<uint32_t>{0, 3}));
    ASSERT_EQ(d.items.size(), 17u);
    std::vector<std::tuple<std::string, uint32_t, uint32_t, uint32_t, float>> items;
    for (const PropertyItem &item : d.items) {
        items.emplace_back(item.label, static_cast<uint32_t>(item.kind), item.setCommand,
                           item.getCommand, item.displayScale);
    }
    EXPECT_EQ(items[0], std::tuple("Mesh Object Properties", 13u, 0u, 0u, 1.0f));
    EXPECT_EQ(items[1], std::tuple("Mesh:", 11u, 445u, 446u, 1.0f));
    EXPECT_EQ(items[3], std::tuple("Material:", 10u, 448u, 449u, 1.0f));
    EXPECT_EQ(items[10],
              std::tuple("Style:|Forward Once|0|Backward Once|1|Forward->Backward Once|2|Forward "
                         "Loop|3|Backward Loop|4|Forward<->Backward Loop|5|",
                         16u, 452u, 453u, 1.0f));
    EXPECT_EQ(items[11], std::tuple("Speed:|%|", 4u, 265u, 266u, 100.0f));
    EXPECT_EQ(items[16], std::tuple("Reset Animation|Reset|", 14u, 264u, 0u, 1.0f));
}

} // namespace
