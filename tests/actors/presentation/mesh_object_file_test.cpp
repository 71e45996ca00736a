// The Mesh Object's file record: its bytes, the upgrades of older files on
// "Init Load", the materials taken from the mesh, the synchronised collision
// objects made again after a load, and damaged counts.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "actors/presentation/mesh_object_actor.h"
#include "core/actors/actor_file_bytes.h"
#include "core/actors/command_ids.h"
#include "presentation_fixture.h"

namespace {

using namespace presentationtest;

constexpr int32_t kId = 500; // below 1000: old files keep it as it is

class MeshObjectFileTest : public PresentationTest {
  protected:
    MeshObjectActor *NewMesh(uint32_t slot) {
        auto *actor = dynamic_cast<MeshObjectActor *>(
            CreateActor(kMeshObjectClassId, "m", nullptr, scenery, kId, true));
        LibraryItem *item = library.GetItemById(slot);
        actor->HandleCommand(cmd::mesh_object::SetMesh, ParamBlock(&item, sizeof(item)));
        return actor;
    }
    // Deletes the actor and reads the bytes back; the actor read.
    MeshObjectActor *Reload(MeshObjectActor *actor, const std::string &bytes) {
        EXPECT_EQ(DeleteActor(actor), 1);
        EXPECT_EQ(Load(bytes), 1) << system->errorText;
        return dynamic_cast<MeshObjectActor *>(GetActorById(kId));
    }
    std::string SaveOne() { return Save(kId, kId + 1); }
    std::vector<uint32_t> MaterialSlots(const MeshObjectActor *actor) {
        std::vector<uint32_t> slots;
        for (const SubMeshRecord &record : actor->subMeshes) {
            slots.push_back(record.materialIndex);
            EXPECT_EQ(record.material, Material(record.materialIndex));
        }
        return slots;
    }
    size_t MeshColObjs(const MeshObjectActor *actor) {
        size_t n = 0;
        for (const auto &object : actor->colObjs) {
            n += (object->flags & kColObjMeshSynchronised) != 0 ? 1 : 0;
        }
        return n;
    }
};

TEST_F(MeshObjectFileTest, RecordBytesAtTheCurrentVersion) {
    MeshObjectActor *actor = NewMesh(kTripleSlot);
    SendCommandArgs(actor, cmd::mesh_object::SetActiveSubset, 1u);
    SendCommandArgs(actor, cmd::mesh_object::SetZOffset, 2.5f);
    SendCommandArgs(actor, cmd::mesh_object::SetMeshAnimationStyle_452,
                    static_cast<uint32_t>(kBackwardLoop));
    SendCommandArgs(actor, cmd::mesh_object::SetInitialMeshAnimationPlaying_454, true);
    SendCommandArgs(actor, 265, 0.5f);
    SendCommandArgs(actor, 262);
    // A still mesh: the time stands just below its total of 0.
    SendCommandArgs(actor, 251, 0.0f);
    const std::string bytes = SaveOne();

    FileBytes tail;
    tail.U32(kTripleSlot).U32(0).U32(3);
    tail.U32(21).F32(0.0f).U32(4).F32(2.5f).U32(4).F32(0.0f);
    tail.U32(kBackwardLoop).U32(1).F32(0.5f).U32(1).U32(1).F32(0.0f - 1e-9f).U32(1).U32(1);
    ASSERT_GT(bytes.size(), tail.size());
    EXPECT_EQ(bytes.substr(bytes.size() - tail.size()), tail.str());
    // The synchronised collision objects are not in the base record.
    FileBytes base;
    DefaultActorRecord(base, kMeshObjectClassId, kId, kSceneryRootId, "m");
    EXPECT_EQ(bytes.size(), 16 + base.size() + tail.size());
}

TEST_F(MeshObjectFileTest, OldFilesGetTheirUpgradesOnInitLoad) {
    // Version 13: speed and visibility take their later meaning.
    MeshObjectActor *actor = NewMesh(kCubeSlot);
    SendCommandArgs(actor, cmd::mesh_object::SetVisible, false);
    SendCommandArgs(actor, 265, 7.0f);
    actor = Reload(actor, WriteAtVersion(actor, 13));
    ASSERT_NE(actor, nullptr);
    EXPECT_EQ(std::tuple(actor->speed, actor->state & kActorEnabled),
              std::tuple(1.0f, kActorEnabled));

    // Version 43: the stored collision objects go, synchronisation is on and
    // the objects are made from the mesh.
    actor = NewMesh(kTripleSlot);
    SendCommandArgs(actor, cmd::mesh_object::SetSyncCollision, false);
    actor->colObjs.clear();
    actor->AddColObj(ColObj(actor));
    actor = Reload(actor, WriteAtVersion(actor, 43));
    ASSERT_NE(actor, nullptr);
    EXPECT_EQ(std::tuple(actor->colObjs.size(), MeshColObjs(actor),
                         actor->meshFlags & kMeshSyncCollision),
              std::tuple(size_t{3}, size_t{3}, kMeshSyncCollision));

    // Version 46: the speed was kept per frame; a material that differs
    // from its subset's turns material synchronisation off.
    actor = NewMesh(kTripleSlot);
    SendCommandArgs(actor, 265, 15.0f);
    actor = Reload(actor, WriteAtVersion(actor, 46));
    ASSERT_NE(actor, nullptr);
    EXPECT_EQ(std::tuple(actor->speed, actor->meshFlags & kMeshSyncMaterial), std::tuple(0.5f, 0u));
    EXPECT_EQ(MaterialSlots(actor), (std::vector<uint32_t>{21, 4, 4}));

    // Version 57 with the subsets' own materials: synchronisation stays on.
    actor = NewMesh(kCubeSlot);
    actor = Reload(actor, WriteAtVersion(actor, 57));
    ASSERT_NE(actor, nullptr);
    EXPECT_EQ(std::tuple(actor->speed, actor->meshFlags & kMeshSyncMaterial),
              std::tuple(1.0f, kMeshSyncMaterial));
}

TEST_F(MeshObjectFileTest, SynchronisedMaterialsComeFromTheMesh) {
    MeshObjectActor *actor = NewMesh(kTripleSlot);
    SendCommandArgs(actor, cmd::mesh_object::SetMaterial_447, std::string("red"));
    ASSERT_EQ(MaterialSlots(actor), (std::vector<uint32_t>{21, 21, 21}));
    const std::string synced = SaveOne();
    SendCommandArgs(actor, cmd::mesh_object::SetSyncMaterial, false);
    const std::string own = SaveOne();

    actor = Reload(actor, synced);
    ASSERT_NE(actor, nullptr);
    EXPECT_EQ(MaterialSlots(actor), (std::vector<uint32_t>{21, 4, 4}));
    actor = Reload(actor, own);
    ASSERT_NE(actor, nullptr);
    EXPECT_EQ(MaterialSlots(actor), (std::vector<uint32_t>{21, 21, 21}));
}

TEST_F(MeshObjectFileTest, AReloadKeepsOneSetOfSynchronisedObjects) {
    MeshObjectActor *actor = NewMesh(kTripleSlot);
    actor->AddColObj(ColObj(actor));
    actor->colObjs.back()->name = "own";
    actor = Reload(actor, SaveOne());
    ASSERT_NE(actor, nullptr);
    EXPECT_EQ(std::tuple(actor->colObjs.size(), MeshColObjs(actor), actor->colObjs[0]->name),
              std::tuple(size_t{4}, size_t{3}, "own"));

    // A record count that differs from the mesh's rebuilds on the mesh:
    // still one set.
    actor = NewMesh(kCubeSlot);
    actor->meshIndex = kTripleSlot;
    actor = Reload(actor, SaveOne());
    ASSERT_NE(actor, nullptr);
    EXPECT_EQ(std::tuple(actor->subMeshes.size(), MeshColObjs(actor)),
              std::tuple(size_t{3}, size_t{3}));

    // A missing mesh falls back to the one at slot 3.
    actor->meshIndex = 77;
    actor = Reload(actor, SaveOne());
    ASSERT_NE(actor, nullptr);
    EXPECT_EQ(std::tuple(actor->mesh, actor->meshIndex, actor->subMeshes.size()),
              std::tuple(Mesh(kCubeSlot), 3u, size_t{1}));
}

TEST_F(MeshObjectFileTest, ARecordCountLargerThanTheFileFails) {
    MeshObjectActor *actor = NewMesh(kTripleSlot);
    std::string bytes = SaveOne();
    // The count stands before the three records and eight words.
    const size_t countAt = bytes.size() - 32 - 3 * 8 - 4;
    uint32_t count = 0;
    std::memcpy(&count, bytes.data() + countAt, 4);
    ASSERT_EQ(count, 3u);
    for (uint32_t bad : {0x20000000u, 8u}) {
        std::memcpy(bytes.data() + countAt, &bad, 4);
        ASSERT_EQ(DeleteActor(GetActorById(kId)), 1);
        EXPECT_EQ(Load(bytes), 0);
        EXPECT_STREQ(system->errorText, "Serialize Error");
        actor = NewMesh(kTripleSlot);
    }
    (void)actor;
}

} // namespace
