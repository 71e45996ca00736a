// The AI Player on its own: its sheet, the commands that edit its lists and
// groups, a copy made from it, and its file record at old and current
// versions, cut or swollen.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "../../core/actors/actor_file_bytes.h"
#include "actors/characters/ai_player_actor.h"
#include "actors/characters/brain_services.h"
#include "core/actors/actor_file.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "base/file_system.h"
#include "core/actors/class_descriptor.h"
#include "core/actors/command_ids.h"
#include "support/actor_record.h"
#include "support/record_file.h"
#include "support/temp_folder.h"

namespace {

constexpr int32_t kId = 3000;

class AIPlayerFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetActorWorldForTests();
        ASSERT_EQ(InitActorSystem(), 1);
        ai = Make();
        ASSERT_NE(ai, nullptr);
    }
    void TearDown() override { ResetActorWorldForTests(); }

    AIPlayerActor *Make(int32_t id = kId) {
        return dynamic_cast<AIPlayerActor *>(CreateActor(static_cast<int32_t>(kAIPlayerClassId),
                                                         "a", nullptr,
                                                         GetActorById(kSceneryRootId), id, true));
    }
    AIPlayerActor *Load(const std::string &bytes, uint32_t version) {
        Archive archive;
        EXPECT_TRUE(archive.OpenMemory(bytes.data(), static_cast<uint32_t>(bytes.size())));
        if (LoadActorsFrom(archive, kSerializeLoad) == 0) {
            return nullptr;
        }
        return dynamic_cast<AIPlayerActor *>(GetActorById(MoveActorFileId(kId, version)));
    }
    AIPlayerActor *RoundTrip(uint32_t version) {
        return Load(WriteActorAtVersion(ai, version, folder, "a.qva"), version);
    }
    std::string BaseRecord(uint32_t version) {
        Actor plain;
        plain.classId = kAIPlayerClassId;
        plain.actorId = kId;
        plain.parentId = kSceneryRootId;
        plain.name = "a";
        return WriteActorAtVersion(&plain, version, folder, "base.qva");
    }
    int Send(uint32_t id) { return ai->HandleCommand(id, ParamBlock()); }
    int SendText(uint32_t id, std::string text) {
        return ai->HandleCommand(id, ParamBlock(text.data(), text.size() + 1));
    }
    // Every field a record holds, set away from its default.
    void FillRecordFields() {
        ai->aiType = 1;
        ai->useMemory = 1;
        ai->canOpenDoor = 0;
        ai->canFightInGoTo = 1;
        ai->deleteIfNotDrawn = 1;
        ai->deleteIfNotDrawnTime = 3.0f;
        ai->notDrawnEventTime = 2.0f;
        ai->neverRunInFight = 1;
        ai->followDistance = 250.0f;
        ai->followMinTime = 1.0f;
        ai->followMaxTime = 9.0f;
        ai->startFollow = 2;
        ai->followGroup = 0x6;
        ai->fightDistance = 700.0f;
        ai->fightHitDistance = 150.0f;
        ai->fightGroup = 0x8;
        ai->hitEffects = {{12, -20.0f, 0.5f}, {99, 1.0f, 2.0f}};
        ai->hitGethitId = 2;
        ai->hitDamageId = 1;
        ai->hitHoldTime = 0.75f;
        ai->attacks = {{3, 1.5f, 0.4f}};
        ai->deathType = 2;
        ai->deathDelay = 4.0f;
        ai->turnSpeed = 2.0f;
        ai->stateTimer = 1.25f;
        ai->aiState = kAIPFollow;
        ai->previousState = kAIPIdle;
    }

    TempFolder folder;
    AIPlayerActor *ai = nullptr;
};

TEST_F(AIPlayerFileTest, SheetAndDefaults) {
    const ActorClassDescriptor &d = ClassDescriptorTable.at(kAIPlayerClassId);
    EXPECT_EQ(std::tuple(d.name, d.description, d.lineage, d.items.size()),
              std::tuple(std::string("AI Player"), std::string("AI Player"),
                         std::vector<uint32_t>{0, 29}, size_t{46}));
    const auto row = [&](size_t i) {
        const PropertyItem &item = d.items.at(i);
        return std::tuple(item.label, item.kind, item.setCommand, item.getCommand);
    };
    EXPECT_EQ(row(2), std::tuple(std::string("Type:|Normal|0|Static|1|"), PropertyKind::Enumeration,
                                 1443u, 1444u));
    EXPECT_EQ(row(21), std::tuple(std::string("Add Attack|Add|"), PropertyKind::Button, 1489u, 0u));
    EXPECT_EQ(row(45), std::tuple(std::string("Use Memory:"), PropertyKind::CheckBox, 1445u, 1446u));

    EXPECT_EQ(std::tuple(ai->aiState, ai->previousState, ai->followDistance, ai->fightDistance,
                         ai->fightHitDistance, ai->followGroup, ai->fightGroup, ai->canOpenDoor,
                         ai->deathDelay, ai->evalCountdown, ai->wantedMotion, ai->goToMotion),
              std::tuple(0, -1, 300.0f, 600.0f, 200.0f, 1u, 1u, 1u, 60.0f, 1.0e38f, 2u, 3u));
}

TEST_F(AIPlayerFileTest, ListCommandsActOnlyOnAValidSelection) {
    Send(cmd::ai_player::AddAIPlayerHitEffect);
    Send(cmd::ai_player::AddAIPlayerHitEffect);
    ASSERT_EQ(ai->hitEffects.size(), 2u);
    EXPECT_EQ(std::tuple(ai->hitEffects[1].type, ai->hitEffects[1].value, ai->hitEffects[1].time,
                         ai->selectedHitEffect),
              std::tuple(0u, 100.0f, 5.0f, 1));
    Send(cmd::ai_player::DeleteAIPlayerHitEffect);
    EXPECT_EQ(std::tuple(ai->hitEffects.size(), ai->selectedHitEffect), std::tuple(size_t{1}, -1));

    Send(cmd::ai_player::AddAIPlayerHitEffect);
    SendText(cmd::ai_player::Unnamed_1479, "Hit Effect 0");
    EXPECT_EQ(ai->selectedHitEffect, 0);
    SendText(cmd::ai_player::Unnamed_1479, "HitEffect 1");
    EXPECT_EQ(ai->selectedHitEffect, 0);
    SendText(cmd::ai_player::Unnamed_1479, "Hit Effect 1");
    EXPECT_EQ(ai->selectedHitEffect, 1);
    std::vector<std::string> labels;
    LabelListScope open(&labels);
    void *list = &labels;
    ai->HandleCommand(cmd::ai_player::Unnamed_1480, ParamBlock(&list, sizeof(list)));
    EXPECT_EQ(labels, (std::vector<std::string>{"Hit Effect 0", "Hit Effect 1"}));

    Send(cmd::ai_player::AddAIPlayerAttackParam);
    Send(cmd::ai_player::AddAIPlayerAttackParam);
    SendText(cmd::ai_player::Unnamed_1487, "Attack1");
    EXPECT_EQ(ai->selectedAttack, 1);
    SendCommandArgs(ai, 1493u, uint32_t{7});
    EXPECT_EQ(ai->attacks[1].weight, 7u);

    // Without a valid selection the entry commands change and answer nothing.
    for (int32_t selection : {-1, 5}) {
        ai->selectedHitEffect = selection;
        ai->selectedAttack = selection;
        for (uint32_t id : {1481u, 1483u, 1485u, 1493u, 1495u, 1497u}) {
            SendCommandArgs(ai, id, uint32_t{0x41200000}); // 10.0f as a word
        }
        float answer = -1.0f;
        ai->HandleCommand(1484, ParamBlock(&answer, sizeof(answer)));
        EXPECT_EQ(answer, -1.0f);
    }
    EXPECT_EQ(std::tuple(ai->hitEffects[0].type, ai->hitEffects[1].value, ai->attacks[0].evalDelay,
                         ai->attacks[1].effectMul),
              std::tuple(0u, 100.0f, 0.0f, 1.0f));

    // The second forms of the group setters change one bit.
    ai->followGroup = 0x11;
    SendCommandArgs(ai, cmd::ai_player::SetAIPlayerFollowGroup_1461, uint32_t{3}, true);
    SendCommandArgs(ai, cmd::ai_player::SetAIPlayerFightGroup_1470, uint32_t{1}, false);
    EXPECT_EQ(std::tuple(ai->followGroup, ai->fightGroup), std::tuple(0x15u, 0u));
}

TEST_F(AIPlayerFileTest, CreateCopiesEveryFieldListAndTheLink) {
    FillRecordFields();
    ai->trail = {{1, 2, 3}};
    ai->goToPoints = {{4, 5, 6}};
    Actor *leader = CreateActor(0, "leader", nullptr, GetActorById(kSceneryRootId), kId + 5, true);
    ai->targetLink.Assign(leader);
    AIPlayerActor *copy = Make(kId + 1);
    ASSERT_NE(copy, nullptr);
    Actor *template_ = ai;
    copy->HandleCommand(cmd::base::Create, ParamBlock(&template_, sizeof(template_)));
    copy->HandleCommand(cmd::base::InitCopy, ParamBlock());
    EXPECT_EQ(std::tuple(copy->aiType, copy->startFollow, copy->hitEffects.size(),
                         copy->hitEffects[1].type, copy->attacks[0].weight, copy->trail.size(),
                         copy->goToPoints.size(), copy->aiState, copy->turnSpeed),
              std::tuple(1u, 2u, size_t{2}, 99u, 3u, size_t{1}, size_t{1}, kAIPFollow, 2.0f));
    EXPECT_EQ(std::tuple(copy->Target(), copy->targetLink.origin),
              std::tuple(leader, static_cast<Actor *>(copy)));
    EXPECT_EQ(leader->backLinks.size(), 2u);
}

TEST_F(AIPlayerFileTest, RecordsByVersion) {
    FillRecordFields();
    // Version 70: every field in file order, the list entries with a spare
    // word each.
    const std::string bytes = WriteActorAtVersion(ai, 70, folder, "a.qva");
    FileBytes tail;
    tail.U32(1).U32(1).U32(0).U32(1).U32(1).F32(3.0f).F32(2.0f).U32(1);
    tail.F32(250.0f).F32(1.0f).F32(9.0f).U32(2).U32(0x6).F32(700.0f).F32(150.0f).U32(0x8);
    tail.U32(2).U32(12).F32(-20.0f).F32(0.5f).U32(0).U32(99).F32(1.0f).F32(2.0f).U32(0);
    tail.U32(2).U32(1).F32(0.75f);
    tail.U32(1).U32(3).F32(1.5f).F32(0.4f).U32(0);
    tail.U32(2).F32(4.0f).F32(2.0f).F32(1.25f).U32(kAIPFollow).U32(0);
    EXPECT_EQ(bytes.substr(BaseRecord(70).size()), tail.str());
    AIPlayerActor *back = Load(bytes, 70);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(std::tuple(back->hitEffects.size(), back->hitEffects[1].type, back->attacks.size(),
                         back->attacks[0].evalDelay, back->stateTimer, back->aiState,
                         back->previousState, back->turnSpeed, back->followGroup),
              std::tuple(size_t{2}, 99u, size_t{1}, 0.4f, 1.25f, kAIPFollow, 0, 2.0f, 0x6u));

    // Version 44 brings no state back; version 26 no follow type and
    // groups; version 18 no lists (each written from the version-44 copy).
    back->aiState = kAIPScared;
    back->startFollow = 1;
    ai = back;
    AIPlayerActor *v44 = RoundTrip(44);
    ASSERT_NE(v44, nullptr);
    EXPECT_EQ(std::tuple(v44->aiState, v44->startFollow), std::tuple(kAIPIdle, 1u));
    ai = v44;
    AIPlayerActor *v26 = RoundTrip(26);
    ASSERT_NE(v26, nullptr);
    EXPECT_EQ(std::tuple(v26->fightDistance, v26->fightHitDistance, v26->startFollow,
                         v26->followGroup, v26->fightGroup, v26->deathDelay, v26->turnSpeed),
              std::tuple(700.0f, 150.0f, 0u, 1u, 1u, 4.0f, 1.0f));
    AIPlayerActor *v18 = RoundTrip(18);
    ASSERT_NE(v18, nullptr);
    EXPECT_EQ(std::tuple(v18->hitEffects.size(), v18->attacks.size(), v18->followDistance,
                         v18->neverRunInFight),
              std::tuple(size_t{0}, size_t{0}, 300.0f, 1u));
}

TEST_F(AIPlayerFileTest, ASwollenCountOrACutRecordFailsWithoutAllocating) {
    const std::string bytes = WriteActorAtVersion(ai, 70, folder, "a.qva");
    const size_t countAt = BaseRecord(70).size() + 16 * 4;
    for (uint32_t count : {0x7FFFFFFFu, 4097u}) {
        std::string swollen = bytes;
        FileBytes word;
        word.U32(count);
        swollen.replace(countAt, 4, word.str());
        EXPECT_EQ(Load(swollen, 70), nullptr) << count;
        EXPECT_STREQ(GetActorSystem()->errorText, "Serialize Error");
    }
    EXPECT_EQ(Load(bytes.substr(0, bytes.size() - 6), 70), nullptr);

    // A record that ends inside its base part answers 0 and leaves the
    // AI's own fields alone (the loads above replaced the first AI).
    ai = Make(kId + 2);
    ASSERT_NE(ai, nullptr);
    FillRecordFields();
    ASSERT_TRUE(recordfile::Write(*ai, folder / "ai.bin", 70));
    folder.Put("short.bin", folder.Get("ai.bin").substr(0, 24));
    AIPlayerActor *fresh = Make(kId + 1);
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(recordfile::Read(*fresh, folder / "short.bin", 70), 0);
    EXPECT_EQ(std::tuple(fresh->followDistance, fresh->hitEffects.size(), fresh->aiState),
              std::tuple(300.0f, size_t{0}, kAIPIdle));
}

} // namespace
