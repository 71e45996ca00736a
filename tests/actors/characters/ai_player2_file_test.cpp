// The AI brains' classes on their own: descriptors and sheets, the state
// names and the instance list, and the file records of the AI Player 2 and
// the AI Helper at old and current versions.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "../../core/actors/actor_file_bytes.h"
#include "actors/characters/ai_helper_actor.h"
#include "actors/characters/ai_player2_actor.h"
#include "core/actors/actor_file.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/class_descriptor.h"
#include "support/actor_record.h"
#include "support/temp_folder.h"

namespace {

constexpr int32_t kId = 3000;

class AIClassesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetActorWorldForTests();
        ASSERT_EQ(InitActorSystem(), 1);
    }
    void TearDown() override { ResetActorWorldForTests(); }

    template <class T> T *Make(uint32_t classId) {
        return dynamic_cast<T *>(CreateActor(static_cast<int32_t>(classId), "a", nullptr,
                                             GetActorById(kSceneryRootId), kId, true));
    }
    // Writes the actor at the version and loads the file again; the actor
    // loaded, or null.
    template <class T> T *RoundTrip(Actor *actor, uint32_t version) {
        return Load<T>(WriteActorAtVersion(actor, version, folder, "a.qva"), version);
    }
    template <class T> T *Load(const std::string &bytes, uint32_t version) {
        Archive archive;
        EXPECT_TRUE(archive.OpenMemory(bytes.data(), static_cast<uint32_t>(bytes.size())));
        if (LoadActorsFrom(archive, kSerializeLoad) == 0) {
            return nullptr;
        }
        return dynamic_cast<T *>(GetActorById(MoveActorFileId(kId, version)));
    }
    // The bytes of a default base record of the class at the version.
    std::string BaseRecord(uint32_t classId, uint32_t version) {
        Actor plain;
        plain.classId = classId;
        plain.actorId = kId;
        plain.parentId = kSceneryRootId;
        plain.name = "a";
        return WriteActorAtVersion(&plain, version, folder, "base.qva");
    }

    TempFolder folder;
};

using Row = std::tuple<std::string, PropertyKind, uint32_t, uint32_t>;

std::vector<Row> Rows(uint32_t classId) {
    std::vector<Row> rows;
    for (const PropertyItem &item : ClassDescriptorTable.at(classId).items) {
        rows.emplace_back(item.label, item.kind, item.setCommand, item.getCommand);
    }
    return rows;
}

TEST_F(AIClassesTest, DescriptorsSheetsAndStateNames) {
    const ActorClassDescriptor &ai = ClassDescriptorTable.at(kAIPlayer2ClassId);
    EXPECT_EQ(std::tuple(ai.name, ai.description, ai.lineage),
              std::tuple(std::string("AI Player 2"), std::string("Do Not Use This!!!"),
                         std::vector<uint32_t>{0, 50}));
    const std::vector<Row> aiRows = {
        {"AI Player 2 Properties", PropertyKind::PageTitle, 0, 0},
        {"Go To Group:", PropertyKind::GroupMask, 1546, 1547},
        {"Fight Group:", PropertyKind::GroupMask, 1543, 1544},
        {"Vision Ray Collision Groups:", PropertyKind::Caption, 0, 0},
        {"Group:", PropertyKind::GroupMask, 1564, 1565},
        {"Recive:", PropertyKind::GroupMask, 1566, 1567},
        {"Exclude:", PropertyKind::GroupMask, 1568, 1569},
    };
    EXPECT_EQ(Rows(kAIPlayer2ClassId), aiRows);

    const ActorClassDescriptor &helper = ClassDescriptorTable.at(kAIHelperClassId);
    EXPECT_EQ(std::tuple(helper.name, helper.description, helper.lineage),
              std::tuple(std::string("AI Helper"), std::string("AI Helper"),
                         std::vector<uint32_t>{0, 32}));
    const std::vector<Row> helperRows = {
        {"AI Helper Properties", PropertyKind::PageTitle, 0, 0},
        {"Type:|Stair Bottom|0|Stair Plane|1|Stair Top|2|Door Node|3|Node|4|Shelter|5|",
         PropertyKind::Enumeration, 1437, 1438},
        {"Radius:", PropertyKind::Real, 1439, 1440},
        {"Box:", PropertyKind::Vector, 1441, 1442},
    };
    EXPECT_EQ(Rows(kAIHelperClassId), helperRows);

    EXPECT_EQ(AIPlayer2StateNames,
              (std::vector<std::string>{"Idle", "GoTo", "Pre Fight", "Fight", "Follow", "Scared",
                                        "Hide", "Hostage Victim", "Hostage Taker", "Inactive",
                                        "Dead", "GoTo Shelter", "Shelter", ""}));
}

TEST_F(AIClassesTest, InstancesListTheLiveBrains) {
    const size_t before = AIPlayer2Instances.size();
    auto *ai = Make<AIPlayer2Actor>(kAIPlayer2ClassId);
    ASSERT_NE(ai, nullptr);
    ASSERT_EQ(AIPlayer2Instances.size(), before + 1);
    EXPECT_EQ(AIPlayer2Instances.back(), ai);
    EXPECT_EQ(std::tuple(ai->aiState, ai->previousState, ai->findShelterEnable,
                         ai->findShelterRadius, ai->idleMotion, ai->trailInterval),
              std::tuple(0u, -1, 1u, 1200.0f, std::string("N_Neutral"), 2.0f));
    DeleteActor(ai);
    EXPECT_EQ(AIPlayer2Instances.size(), before);
}

TEST_F(AIClassesTest, AIPlayer2RecordsByVersion) {
    auto *ai = Make<AIPlayer2Actor>(kAIPlayer2ClassId);
    ASSERT_NE(ai, nullptr);
    ai->goToGroup = 0x5;
    ai->fightGroup = 0x2;
    ai->preFightTime = 1.5f;
    ai->rayGroup = 0xFFFFFFFF;
    ai->rayReceive = 0x10000;
    ai->rayExclude = 0x40;
    ai->findShelterRadius = 50.0f; // not stored

    // Version 69: six words and four spares after the base record.
    const std::string bytes = WriteActorAtVersion(ai, 69, folder, "a.qva");
    FileBytes tail;
    tail.U32(0x5).U32(0x2).F32(1.5f).U32(0).U32(0xFFFFFFFF).U32(0x10000).U32(0x40).Zeros(12);
    EXPECT_EQ(bytes.substr(BaseRecord(kAIPlayer2ClassId, 69).size()), tail.str());
    auto *back = Load<AIPlayer2Actor>(bytes, 69);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(std::tuple(back->goToGroup, back->fightGroup, back->preFightTime, back->rayGroup,
                         back->rayReceive, back->rayExclude, back->findShelterRadius),
              std::tuple(0x5u, 0x2u, 1.5f, 0xFFFFFFFFu, 0x10000u, 0x40u, 1200.0f));

    // Version 68 has no ray masks.
    back->rayGroup = back->rayReceive = back->rayExclude = 7;
    auto *old = RoundTrip<AIPlayer2Actor>(back, 68);
    ASSERT_NE(old, nullptr);
    EXPECT_EQ(std::tuple(old->goToGroup, old->fightGroup, old->preFightTime, old->rayGroup,
                         old->rayReceive, old->rayExclude),
              std::tuple(0x5u, 0x2u, 1.5f, 0u, 0u, 0u));
}

TEST_F(AIClassesTest, AIHelperRecordsByVersionAndCutFiles) {
    auto *marker = Make<AIHelperActor>(kAIHelperClassId);
    ASSERT_NE(marker, nullptr);
    EXPECT_EQ(std::tuple(marker->type, marker->radius, marker->box.x, marker->box.y, marker->box.z),
              std::tuple(5u, 0.0f, 100.0f, 100.0f, 100.0f));
    marker->type = kAIHelperDoorNode;
    marker->radius = 40.0f;
    marker->box = {1.0f, 2.0f, 3.0f};
    const std::string bytes = WriteActorAtVersion(marker, 70, folder, "m.qva");
    FileBytes tail;
    tail.U32(3).F32(40.0f).F32(1.0f).F32(2.0f).F32(3.0f).Zeros(12);
    EXPECT_EQ(bytes.substr(BaseRecord(kAIHelperClassId, 70).size()), tail.str());
    auto *back = Load<AIHelperActor>(bytes, 70);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(std::tuple(back->type, back->radius, back->box.z), std::tuple(3u, 40.0f, 3.0f));

    // Version 0 keeps the defaults.
    auto *old = RoundTrip<AIHelperActor>(back, 0);
    ASSERT_NE(old, nullptr);
    EXPECT_EQ(std::tuple(old->type, old->radius, old->box.x, old->box.y, old->box.z),
              std::tuple(5u, 0.0f, 100.0f, 100.0f, 100.0f));

    // A record cut inside the class fields fails the load.
    EXPECT_EQ(Load<AIHelperActor>(bytes.substr(0, bytes.size() - 14), 70), nullptr);
}

} // namespace
