// Actor files: golden bytes of the writer, the reader's version rules and id
// moves, SaveActors, LoadActors and SerializeFileActors, and how damaged or
// forged files are refused.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <tuple>
#include <filesystem>
#include <cstring>
#include <string>
#include <vector>

#include "actor_file_bytes.h"
#include "actors/world/file_io_actor.h"
#include "base/file_system.h"
#include "core/actors/actor_file.h"
#include "core/actors/actor_path.h"
#include "core/actors/actor_services.h"
#include "core/actors/class_manager_actor.h"
#include "core/actors/command_ids.h"
#include "core/actors/param_builder.h"
#include "core/actors/param_convert.h"
#include "support/temp_folder.h"
#include "world_fixture.h"

namespace {

class ActorFileTest : public ActorWorldTest {
  protected:
    // Saves [first, end) and answers the file's bytes.
    std::string Save(uint32_t first, uint32_t end) {
        const std::string path = folder / "save.qva";
        EXPECT_EQ(SaveActors(path, first, end, kSerializeSave), 1) << system->errorText;
        return folder.Get("save.qva");
    }
    // Loads bytes through LoadActors' reader.
    int Load(const std::string &bytes) {
        Archive archive;
        EXPECT_TRUE(archive.OpenMemory(bytes.data(), static_cast<uint32_t>(bytes.size())));
        return LoadActorsFrom(archive, kSerializeLoad);
    }
    int LoadInto(const std::string &bytes, Actor *fileActor) {
        Archive archive;
        EXPECT_TRUE(archive.OpenMemory(bytes.data(), static_cast<uint32_t>(bytes.size())));
        return SerializeFileActors(archive, fileActor);
    }
    // A fresh world, as after start-up.
    void Restart() {
        ResetActorWorldForTests();
        SetUp();
    }
    // Runs the scheduled pass at root time `t`.
    void RunAt(float t) {
        RootTimeRecord()->time = t;
        RunScheduledCommands(system);
    }
    Actor *Plain(const char *name, Actor *parent, int32_t id) {
        return CreateActor(0, name, nullptr, parent, id, false);
    }

    TempFolder folder;
};

// The entries an actor got from its file (classes may add their own).
std::vector<ScheduledCommand *> FileEntries(const Actor *actor) {
    std::vector<ScheduledCommand *> out;
    for (ScheduledCommand *e : actor->scheduledCommands) {
        if ((e->state & kEntrySaved) != 0)
            out.push_back(e);
    }
    return out;
}

uint32_t WordAt(const std::string &bytes, size_t offset) {
    uint32_t v = 0;
    if (offset + 4 <= bytes.size())
        std::memcpy(&v, bytes.data() + offset, 4);
    return v;
}

ParamBlockBuilder Block(uint32_t commandId, std::initializer_list<ParamValue> values) {
    ParamBlockBuilder builder;
    EXPECT_TRUE(builder.Build(commandId, values));
    return builder;
}

constexpr uint32_t kSaved = kScheduleSaved;
constexpr uint32_t Kind(uint32_t kind) { return kind << kScheduleKindShift; }

// --- golden bytes --------------------------------------------------------------

TEST_F(ActorFileTest, BareActorClassManagerAndFileIOWriteTheirGoldenBytes) {
    Plain("()", scenery, 3000);
    FileBytes bare;
    bare.Header(70, 1, 3000, 1);
    DefaultActorRecord(bare, 0, 3000, 2);
    const std::string bytes = Save(3000, 3001);
    EXPECT_EQ(std::tuple(bytes.size(), bytes), std::tuple(154u, bare.str()));

    Restart();
    CreateActor(8, "()", nullptr, scenery, 3000, false);
    auto *io = static_cast<FileIOActor *>(CreateActor(6, "()", nullptr, scenery, 3001, false));
    io->fileName = "Level2.qva";
    FileBytes two;
    two.Header(70, 2, 3000, 2);
    DefaultActorRecord(two, 8, 3000, 2).Zeros(8);
    DefaultActorRecord(two, 6, 3001, 2).Str("Level2.qva");
    EXPECT_EQ(Save(3000, 3002), two.str());

    // Reading skips the Class Manager's words and restores the file name.
    Restart();
    ASSERT_EQ(Load(two.str()), 1) << system->errorText;
    ASSERT_NE(dynamic_cast<ClassManagerActor *>(GetActorById(3000)), nullptr);
    auto *read = dynamic_cast<FileIOActor *>(GetActorById(3001));
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(std::tuple(read->fileName, read->name, read->parent),
              std::tuple("Level2.qva", "()", scenery));
}

TEST_F(ActorFileTest, FullRecordWithColObjScriptAndPortableEntriesMatchesGoldenBytes) {
    Actor *a = Plain("A", scenery, 3000);
    Actor *b = Plain("B", scenery, 3001);
    a->position = {1, 2, 3};
    a->flags |= kActorFlag18 | kActorMaster;
    a->actionFlags = 5;
    a->state = 3;
    a->killDelay = 0.5f;
    a->actionTime = 3.5f;
    a->userWord = 0xDEADBEEF;
    ColObj object(a);
    object.name = "box";
    object.type = 2;
    object.material = 3;
    object.boxMin = {-1, -1, -1};
    object.boxMax = {1, 1, 1};
    object.hitEffect = 4;
    object.flags = kColObjActive | kColObjSolid | (1u << 2) | (1u << 4);
    object.groups = 0x11;
    object.excludeGroups = 2;
    object.receiveGroups = 3;
    a->AddColObj(object);
    ColObj fromMesh(a);
    fromMesh.flags |= 1u << 7;
    a->AddColObj(fromMesh);
    auto script = std::make_unique<ScriptRecord>();
    script->name = "s1";
    script->eventId = 98;
    script->source = "Print 1";
    a->scripts.push_back(std::move(script));

    auto force = Block(141, {b, 1.0f, 2.0f, 3.0f});
    a->ScheduleCommand(141, force.block(), kSaved | Kind(2), 1.5f, 0.0f, 0.0f);
    auto nested = Block(60, {b, uint32_t{35}, ParamValue::Command(141, {b, 4.0f, 5.0f, 6.0f})});
    a->ScheduleCommand(60, nested.block(), kSaved | Kind(3), 1.0f, 0.0f, 2.0f);
    auto aim = Block(1754, {ParamValue::ActorExt(b, "head")});
    a->ScheduleCommand(1754, aim.block(), kSaved | Kind(4) | 7, 0.5f, 5.0f, 1.0f);
    a->ScheduleCommand(141, force.block(), Kind(2), 1.0f, 0.0f, 0.0f); // not saved

    FileBytes g;
    g.Header(70, 2, 3000, 2);
    g.U32(0).U32(3000).U32(2).Str("A");
    g.F32(1).F32(2).F32(3).F32(1).F32(1).F32(1).F32(0).F32(0).F32(0).F32(1);
    g.U32(1).U32(1).U32(5).U32(0).U32(0);
    g.U32(1); // one collision object: the mesh-synchronised one is left out
    g.Str("box").U32(2).U32(3).U32(7).F32(1);
    g.F32(-1).F32(-1).F32(-1).F32(1).F32(1).F32(1);
    g.U32(0xFFFFFFFF).U32(4);
    g.U32(0).U32(1).U32(1).U32(0).U32(1).U32(0); // dynamic solid event report geometry reserved
    g.U32(1).U32(0x11).U32(2).U32(3).U32(0);     // active groups exclude receive reserved
    g.U32(1).U32(98).Str("On Enter DrawGroup").Str("s1").Str("Print 1");
    g.U32(3).F32(0.5f);
    for (int i = 0; i < 5; ++i)
        g.F32(0);
    g.F32(3.5f).U32(1).U32(0xDEADBEEF).U32(0);
    g.U32(3);
    g.U8(2).U8(1).U8(0).U32(141).U32(17).Raw(std::string("../B\0", 5)).F32(1).F32(2).F32(3);
    g.F32(1.5f);
    g.U8(3).U8(1).U8(0).U32(60).U32(29).Raw(std::string("../B\0", 5)).U32(35).U32(141).U32(0);
    g.F32(4).F32(5).F32(6).F32(1.0f).F32(2.0f);
    g.U8(4).U8(1).U8(7).U32(1754).U32(10).Raw(std::string("../B\0head\0", 10));
    g.F32(0.5f).F32(1.0f).F32(0.5f).F32(5.0f);
    g.U32(0);
    DefaultActorRecord(g, 0, 3001, 2, "B");
    EXPECT_EQ(Save(3000, 3002), g.str());

    Restart();
    ASSERT_EQ(Load(g.str()), 1) << system->errorText;
    Actor *ra = GetActorById(3000);
    Actor *rb = GetActorById(3001);
    ASSERT_TRUE(ra != nullptr && rb != nullptr);
    EXPECT_EQ(std::tuple(ra->name + " " + rb->name, ra->parent), std::tuple("A B", scenery));
    EXPECT_TRUE(ra->HasFlag(kActorFlag18) && ra->HasFlag(kActorMaster));
    EXPECT_EQ((std::vector<uint32_t>{ra->actionFlags, ra->userWord}), (std::vector<uint32_t>{5, 0xDEADBEEF}));
    EXPECT_EQ((std::vector<float>{ra->position.y, ra->killDelay, ra->actionTime}),
              (std::vector<float>{2.0f, 0.5f, 3.5f}));
    ASSERT_EQ(ra->colObjs.size(), 1u);
    const ColObj &ro = *ra->colObjs[0];
    EXPECT_EQ(ro.name, "box");
    // Init derives the high group bits; the stored ones come back.
    EXPECT_EQ((std::vector<uint32_t>{ro.material, ro.hitEffect, ro.flags & 0x7F, ro.groups & 0xFFFF,
                                     ro.receiveGroups, ro.excludeGroups}),
              (std::vector<uint32_t>{3, 4, kColObjActive | kColObjSolid | (1u << 2) | (1u << 4), 0x11, 3, 2}));
    EXPECT_EQ(ro.reference, -1);
    EXPECT_FLOAT_EQ(ro.boxMax.x, 1.0f);
    ASSERT_EQ(ra->scripts.size(), 1u);
    EXPECT_EQ(ra->scripts[0]->eventId, 98u);
    EXPECT_EQ(ra->scripts[0]->source, "Print 1");
    ASSERT_EQ(FileEntries(ra).size(), 3u);
    ScheduledCommand *e0 = FileEntries(ra)[0];
    ScheduledCommand *e2 = FileEntries(ra)[2];
    EXPECT_EQ(e0->command, 141u);
    EXPECT_FLOAT_EQ(e0->due, 1.5f);
    EXPECT_EQ(e2->tag, 7);
    EXPECT_FLOAT_EQ(e2->end, 5.0f);
    EXPECT_NE(e0->state & kEntryPortable, 0);
    EXPECT_NE(e0->state & kEntryLinked, 0);
    // Made live, the stored path names B again.
    ASSERT_TRUE(MakeScheduledCommandLive(e0));
    EXPECT_EQ(e0->Block().ReadActor(0), rb);
    EXPECT_FLOAT_EQ(e0->Block().ReadF32(sizeof(Actor *) + 8), 3.0f);
}

TEST_F(ActorFileTest, StyleZeroWritesOneWordSimSettingsAndLerpTimesRoundTrip) {
    Actor *a = Plain("A", scenery, 3000);
    a->simParams = std::make_unique<SimParams>();
    const std::string styleZero = Save(3000, 3001);
    EXPECT_EQ(styleZero.size(), 154u - 2 + 1); // name "A"
    Restart();
    ASSERT_EQ(Load(styleZero), 1);
    EXPECT_EQ(GetActorById(3000)->simParams, nullptr);

    a = GetActorById(3000);
    a->simParams = std::make_unique<SimParams>();
    a->simParams->words[0] = 2;
    a->simParams->SetFloat(11, 123.5f);
    a->simParams->words[15] = 5;
    a->simParams->words[20] = 77; // not stored
    auto lerp = Block(250, {0.0f, ParamValue::Command(63, {Vector3{0, 0, 0}}),
                            ParamValue::Command(63, {Vector3{1, 1, 1}})});
    a->ScheduleCommand(250, lerp.block(), kSaved | Kind(13), 0.25f, 4.0f, 0.1f);
    const std::string bytes = Save(3000, 3001);
    // Style, eleven words and the flag; before them the Lerp with four times.
    EXPECT_EQ(WordAt(bytes, bytes.size() - 52), 2u);
    EXPECT_EQ(bytes.size(), 153u + 48 + 11 + lerp.size() + 16);

    Restart();
    ASSERT_EQ(Load(bytes), 1);
    Actor *r = GetActorById(3000);
    ASSERT_NE(r->simParams, nullptr);
    EXPECT_EQ(r->simParams->words[20], SimParams().words[20]);
    EXPECT_EQ(Save(3000, 3001), bytes);
}

TEST_F(ActorFileTest, ActorLinkWritesTheTargetsAbsolutePathOrItsOwn) {
    Actor *a = Plain("A", scenery, 3000);
    const std::string path = folder / "link.bin";
    {
        ActorLink link;
        link.Assign(a);
        ActorLink withPath;
        withPath.path = "../X";
        Archive out;
        ASSERT_TRUE(out.Open(path, "wb"));
        EXPECT_EQ(link.Serialize(out), 1);
        EXPECT_EQ(withPath.Serialize(out), 1);
        EXPECT_EQ(out.Close(), 0);
        EXPECT_TRUE(link.path.empty());
    }
    FileBytes expected;
    expected.Str("/Scenery/A").Str("../X");
    const std::string bytes = folder.Get("link.bin");
    EXPECT_EQ(bytes, expected.str());

    Archive in;
    ASSERT_TRUE(in.OpenMemory(bytes.data(), static_cast<uint32_t>(bytes.size())));
    ActorLink read;
    EXPECT_EQ(read.Serialize(in), 1);
    EXPECT_EQ(std::tuple(read.path, read.target), std::tuple("/Scenery/A", nullptr));
}

// --- versions ---------------------------------------------------------------------

// One actor (id 500 under Global) with a collision object, a script bound by
// event id 99 and event name `eventName`, an entry with tag 9, action flags 6
// and simulation style 3, written with the fields of `version`.
std::string OldFile(uint32_t version, const char *eventName = "On Enter DrawGroup") {
    FileBytes b;
    b.Header(version, 1, 10, 491);
    b.U32(0).U32(500).U32(1).Str("Old");
    b.F32(0).F32(0).F32(0).F32(1).F32(1).F32(1).F32(0).F32(0).F32(0).F32(1);
    b.U32(0);
    if (version >= 6)
        b.U32(1).U32(6).U32(0);
    b.U32(0);
    b.U32(1).Str("c").U32(2).U32(0).U32(7).F32(1).F32(-1).F32(-1).F32(-1).F32(1).F32(1).F32(1);
    b.U32(0xFFFFFFFF).U32(0);
    if (version >= 2) {
        b.U32(0).U32(1).U32(0).U32(0).U32(1).U32(0); // geometry event (or reserved) = 1
    }
    if (version >= 6)
        b.U32(1).U32(0x40).U32(0x8);
    if (version >= 11)
        b.U32(0x20).U32(0);
    b.U32(1).U32(99);
    if (version >= 15)
        b.Str(eventName);
    b.Str("s").Str("x");
    b.U32(3);
    for (int i = 0; i < 7; ++i)
        b.F32(0);
    b.U32(0).U32(0).U32(0);
    if (version >= 46) {
        b.U32(1).U8(2).U8(1);
        if (version >= 50)
            b.U8(9);
        b.U32(36).U32(0).F32(5.0f);
    }
    if (version >= 61) {
        b.U32(3);
        for (int i = 0; i < 11; ++i)
            b.F32(2.0f);
        b.U32(1);
    }
    return b.str();
}

TEST_F(ActorFileTest, OlderVersionsReadOnlyTheirFields) {
    for (uint32_t v : {1u, 5u, 10u, 14u, 15u, 20u, 37u, 45u, 46u, 49u, 50u, 56u, 57u, 60u, 61u,
                       65u, 66u, 70u}) {
        SCOPED_TRACE("version " + std::to_string(v));
        Restart();
        ASSERT_EQ(Load(OldFile(v)), 1) << system->errorText;
        Actor *a = GetActorById(500);
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(a->parent, global);
        EXPECT_EQ(system->GetFileVersion(), kNoFileVersion);
        ASSERT_EQ(a->colObjs.size(), 1u);
        const ColObj &c = *a->colObjs[0];
        EXPECT_EQ((std::vector<uint32_t>{c.groups & 0xFFFF, c.receiveGroups, c.excludeGroups}),
                  (v < 11 ? std::vector<uint32_t>{1, 1, 0} : std::vector<uint32_t>{0x40, 0x20, 8}));
        EXPECT_EQ((c.flags & (1u << 4)) != 0, v >= 66);
        // Below 15 the stored id binds; from 15 the name does.
        EXPECT_EQ(a->scripts.at(0)->eventId, v >= 15 ? 98u : 99u);
        EXPECT_EQ(a->actionFlags, v >= 57 ? 6u : 0u);
        ASSERT_EQ(FileEntries(a).size(), v >= 46 ? 1u : 0u);
        if (v >= 46) {
            EXPECT_EQ(FileEntries(a)[0]->tag, v >= 50 ? 9 : 0);
            EXPECT_FLOAT_EQ(FileEntries(a)[0]->due, 5.0f);
        }
        EXPECT_EQ(a->simParams != nullptr, v >= 61);
        if (v >= 61) {
            EXPECT_EQ(a->simParams->words[0], 3u);
            EXPECT_FLOAT_EQ(a->simParams->GetFloat(14), 2.0f);
        }
    }
    Restart();
    ASSERT_EQ(Load(OldFile(15, "On No Such Event")), 1);
    EXPECT_EQ(GetActorById(500)->scripts.at(0)->eventId, 0u);
}

TEST_F(ActorFileTest, OldFilesMoveIdsToTheCurrentRanges) {
    // Version 20: first id 1500 becomes 3500; actor 500 stays. Records of
    // such versions have no fields from 46 and 61: the last two words go.
    auto oldRecord = [](uint32_t id, uint32_t parentId, const char *name) {
        FileBytes r;
        DefaultActorRecord(r, 0, id, parentId, name);
        return r.str().substr(0, r.size() - 8);
    };
    FileBytes h20;
    h20.Header(20, 2, 1500, 1);
    ASSERT_EQ(Load(h20.str() + oldRecord(500, 1, "low") + oldRecord(1500, 2, "high")), 1)
        << system->errorText;
    ASSERT_NE(GetActorById(3500), nullptr);
    EXPECT_EQ(GetActorById(500)->name + " " + GetActorById(3500)->name, "low high");
    EXPECT_EQ(std::tuple(GetActorById(500)->parent, GetActorById(3500)->parent, GetActorById(1500)),
              std::tuple(global, scenery, nullptr));

    Restart();
    FileBytes h37;
    h37.Header(37, 2, 2050, 51);
    ASSERT_EQ(Load(h37.str() + oldRecord(2050, 2, "parent") + oldRecord(2100, 2050, "child")), 1)
        << system->errorText;
    Actor *parent = GetActorById(3050);
    Actor *child = GetActorById(3100);
    ASSERT_NE(parent, nullptr);
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(std::tuple(parent->parentId, parent->parent, child->parentId, child->parent),
              std::tuple(2, scenery, 3050, parent));
}

// --- SaveActors and SerializeFileActors -----------------------------------------------

TEST_F(ActorFileTest, SavingARangeWithoutFlaggedActorsWritesOnlyTheHeader) {
    Plain("a", scenery, 3000)->flags &= ~kActorSaved;
    Plain("b", scenery, 3004)->flags &= ~kActorSaved;
    FileBytes expected;
    expected.Header(70, 0, 3000, 5);
    EXPECT_EQ(Save(3000, 7000), expected.str());
}

TEST_F(ActorFileTest, FileActorLoadTakesTheFirstFreeRunAndHangsTopActorsUnderTheContainer) {
    for (int32_t id = 8000; id < 8120; ++id)
        Plain("filler", clipboard, id);
    Actor *container = Plain("F", scenery, 3500);
    FileBytes f;
    f.Header(70, 4, 3000, 5);
    DefaultActorRecord(f, 0, 3000, 2, "top");
    DefaultActorRecord(f, 0, 3001, 3000, "inner");
    DefaultActorRecord(f, 0, 3004, 9000, "outside"); // parent outside the file
    DefaultActorRecord(f, 0, 3003, 1, "rooted");
    ASSERT_EQ(LoadInto(f.str(), container), 1);
    EXPECT_EQ(GetActorById(8120)->name, "top");
    EXPECT_EQ(GetActorById(8120)->parentId, 3500);
    EXPECT_EQ(GetActorById(8121)->parentId, 8120);
    EXPECT_EQ(GetActorById(8124)->parentId, 3500);
    EXPECT_EQ(GetActorById(8123)->parentId, 3500);
    EXPECT_EQ(GetActorById(8122), nullptr);
    EXPECT_EQ(system->GetFileVersion(), kNoFileVersion);
}

// Names come back as stored up to their first 0 byte, whatever their length,
// through both readers; an empty one is replaced, and a loaded name that
// names a global slot takes the slot.
TEST_F(ActorFileTest, LoadedNamesEndAtTheirFirstZeroAndBindTheirGlobalSlot) {
    const std::string longName(40, 'n');
    const std::string cut("ab\0cd", 5);
    FileBytes f;
    f.Header(70, 4, 3000, 4);
    DefaultActorRecord(f, 0, 3000, 2, longName);
    DefaultActorRecord(f, 0, 3001, 3000, cut);
    DefaultActorRecord(f, 0, 3002, 3000, "");
    DefaultActorRecord(f, 0, 3003, 3000, "GA7_Lamp");
    ASSERT_EQ(Load(f.str()), 1) << system->errorText;
    EXPECT_EQ(GetActorById(3000)->name, longName);
    EXPECT_EQ(GetActorById(3001)->name, "ab");
    EXPECT_EQ(GetActorById(3002)->name, "Invalid Name");
    EXPECT_EQ(GetActorById(3003)->name, "GA7_Lamp");
    EXPECT_EQ(GlobalActorSlots[7], GetActorById(3003));

    Restart();
    Actor *container = Plain("F", scenery, 3500);
    ASSERT_EQ(LoadInto(f.str(), container), 1);
    const uint32_t base = kFirstFreeActorId;
    EXPECT_EQ(GetActorById(base)->name, longName);
    EXPECT_EQ(GetActorById(base + 1)->name, "ab");
    EXPECT_EQ(GetActorById(base + 2)->name, "");
    EXPECT_EQ(GlobalActorSlots[7], GetActorById(base + 3));
}

TEST_F(ActorFileTest, FileActorsWriteUnderFileIdsAndRestoreTheirIds) {
    Actor *container = Plain("F", scenery, 3500);
    Actor *top = Plain("top", container, 9000);
    Actor *inner = Plain("inner", top, 9100);
    const std::string path = folder / "file.qva";
    {
        Archive out;
        ASSERT_TRUE(out.Open(path, "wb"));
        EXPECT_EQ(SerializeFileActors(out, container), 1);
        EXPECT_EQ(out.Close(), 0);
    }
    EXPECT_EQ(std::tuple(top->actorId, inner->parent, inner->parentId),
              std::tuple(9000, top, 9000));
    FileBytes expected;
    expected.Header(70, 2, 3000, 2);
    DefaultActorRecord(expected, 0, 3000, 2, "top");
    DefaultActorRecord(expected, 0, 3001, 3000, "inner");
    EXPECT_EQ(folder.Get("file.qva"), expected.str());

    Archive notWriting;
    EXPECT_EQ(SerializeFileActors(notWriting, container), 0);
}

// --- damaged and forged files --------------------------------------------------------

// The table's actors from id 10 up (none but the fixed ones after start-up).
size_t UserActorCount() {
    size_t count = 0;
    for (size_t id = kFirstUserActorId; id < ActorTable.size(); ++id) {
        count += ActorTable[id] != nullptr ? 1 : 0;
    }
    return count;
}

TEST_F(ActorFileTest, ShortFileStopsWithSerializeErrorAndFreesWhatItMade) {
    FileBytes f;
    f.Header(70, 2, 3000, 2);
    DefaultActorRecord(f, 0, 3000, 2, "first");
    DefaultActorRecord(f, 0, 3001, 2, "second");
    const std::string whole = f.str();
    Restart();
    const size_t fixed = UserActorCount();
    for (size_t cut : {size_t{10}, size_t{40}, whole.size() / 2 + 20, whole.size() - 3}) {
        SCOPED_TRACE(cut);
        Restart();
        EXPECT_EQ(Load(whole.substr(0, cut)), 0);
        EXPECT_STREQ(system->errorText, "Serialize Error");
        EXPECT_EQ(system->GetFileVersion(), kNoFileVersion);
        // The whole first record and the half-read second are gone.
        EXPECT_EQ(std::tuple(GetActorById(3000), GetActorById(3001), UserActorCount()),
                  std::tuple(nullptr, nullptr, fixed));
    }

    // The same below a File actor: only the container is left.
    Restart();
    Actor *container = Plain("F", scenery, 3500);
    EXPECT_EQ(LoadInto(whole.substr(0, whole.size() - 3), container), 0);
    EXPECT_EQ(UserActorCount(), fixed + 1);
    EXPECT_TRUE(container->children.empty());
    // The whole file loads afterwards.
    EXPECT_EQ(LoadInto(whole, container), 1);
    EXPECT_EQ(UserActorCount(), fixed + 3);
}

TEST_F(ActorFileTest, AWrittenFileCutAtARecordBoundaryIsShortUnlessItIsOfAnOlderVersion) {
    Plain("first", scenery, 3000);
    Plain("second", GetActorById(3000), 3001);
    Plain("third", scenery, 3002);
    // Where each record ends: the files of the first k actors hold the same
    // records as the whole one.
    std::vector<size_t> boundaries;
    for (uint32_t k = 0; k < 3; ++k) {
        boundaries.push_back(Save(3000, 3000 + k).size());
    }
    const std::string whole = Save(3000, 3003);
    ASSERT_EQ(WordAt(whole, 0), 70u);
    ASSERT_EQ(boundaries.front(), size_t{kActorFileHeaderSize});
    Restart();
    const size_t fixed = UserActorCount();
    for (size_t cut : boundaries) {
        SCOPED_TRACE(cut);
        Restart();
        EXPECT_EQ(Load(whole.substr(0, cut)), 0);
        EXPECT_STREQ(system->errorText, "Serialize Error");
        EXPECT_EQ(UserActorCount(), fixed);
        Actor *container = Plain("F", scenery, 3500);
        EXPECT_EQ(LoadInto(whole.substr(0, cut), container), 0);
        EXPECT_EQ(std::tuple(UserActorCount(), container->children.size()),
                  std::tuple(fixed + 1, size_t{0}));
    }

    // An older file may end where the record of an actor that wrote nothing
    // would have begun: it loads the records it holds.
    std::string older = whole;
    const uint32_t version = 69;
    std::memcpy(older.data(), &version, 4);
    for (size_t k = 1; k < boundaries.size(); ++k) {
        SCOPED_TRACE(k);
        Restart();
        ASSERT_EQ(Load(older.substr(0, boundaries[k])), 1) << system->errorText;
        EXPECT_EQ(UserActorCount(), fixed + k);
        EXPECT_EQ(GetActorById(3000)->name, "first");
    }
    Restart();
    ASSERT_EQ(Load(whole), 1) << system->errorText;
    EXPECT_EQ(std::tuple(UserActorCount(), GetActorById(3001)->parent),
              std::tuple(fixed + 3, GetActorById(3000)));
}

TEST_F(ActorFileTest, CountsThatCannotFitTheFileAreRefused) {
    FileBytes f;
    f.Header(70, 1, 3000, 1);
    FileBytes rec;
    DefaultActorRecord(rec, 0, 3000, 2);
    std::string record = rec.str();
    // Collision-object count at offset 8 + 4 + 6 + 40 + 20.
    const size_t countAt = 78;
    for (size_t offset : {countAt, countAt + 4, countAt + 4 + 4 + 4 + 28 + 12}) {
        std::string bad = record;
        const uint32_t huge = 0x7FFFFFFF;
        std::memcpy(bad.data() + offset, &huge, 4);
        Restart();
        EXPECT_EQ(Load(f.str() + bad), 0);
        EXPECT_STREQ(system->errorText, "Serialize Error");
    }
    // A header count larger than the records.
    FileBytes many;
    many.Header(70, 0xFFFFFFFF, 3000, 1);
    Restart();
    EXPECT_EQ(Load(many.str() + record), 0);

    // A forged span: the Load Fileobject walk stays inside the table.
    FileBytes wide;
    wide.Header(70, 1, 3000, 0xFFFFFFF0);
    Restart();
    EXPECT_EQ(Load(wide.str() + record), 1);

    // File actors refuse spans beyond the id space before allocating ids.
    Actor *container = Plain("F", scenery, 3500);
    const size_t tableBefore = ActorTable.size();
    FileBytes tooWide;
    tooWide.Header(70, 1, 3000, 492002);
    EXPECT_EQ(LoadInto(tooWide.str() + record, container), 0);
    EXPECT_EQ(ActorTable.size(), tableBefore);
    EXPECT_EQ(system->GetFileVersion(), kNoFileVersion);
    // A record outside the file's range is refused.
    FileBytes outside;
    outside.Header(70, 1, 4000, 1);
    EXPECT_EQ(LoadInto(outside.str() + record, container), 0);
    EXPECT_EQ(system->GetFileVersion(), kNoFileVersion);
}

TEST_F(ActorFileTest, RepeatedIdsParentLoopsAndBytesAfterTheLastRecordAreRefused) {
    // One id twice; two actors each the other's parent; an actor its own
    // parent; an actor below one of the world that waits to hang below it.
    FileBytes twice, loop, self, throughWorld;
    twice.Header(70, 2, 3000, 1);
    DefaultActorRecord(twice, 0, 3000, 2, "first");
    DefaultActorRecord(twice, 0, 3000, 2, "second");
    loop.Header(70, 2, 3000, 2);
    DefaultActorRecord(loop, 0, 3000, 3001, "a");
    DefaultActorRecord(loop, 0, 3001, 3000, "b");
    self.Header(70, 1, 3000, 1);
    DefaultActorRecord(self, 0, 3000, 3000);
    throughWorld.Header(70, 1, 3000, 1);
    DefaultActorRecord(throughWorld, 0, 3000, 3100);
    FileBytes one;
    one.Header(70, 1, 3000, 1);
    DefaultActorRecord(one, 0, 3000, 2);
    const std::string trailing = one.str() + std::string(5, '\x7f');
    Restart();
    const size_t fixed = UserActorCount();
    for (const std::string &bytes : {twice.str(), loop.str(), self.str(), throughWorld.str(),
                                     trailing}) {
        SCOPED_TRACE(WordAt(bytes, 24));
        Restart();
        Actor *waiting = Plain("waiting", nullptr, 3100);
        waiting->parentId = 3000;
        EXPECT_EQ(Load(bytes), 0);
        EXPECT_STREQ(system->errorText, "Serialize Error");
        EXPECT_EQ(std::tuple(GetActorById(3000), GetActorById(3001), UserActorCount()),
                  std::tuple(nullptr, nullptr, fixed + 1));
        // The same below a File actor (the loop through the world aside:
        // its parents become the File actor).
        Actor *container = Plain("F", scenery, 3500);
        EXPECT_EQ(LoadInto(bytes, container), bytes == throughWorld.str() ? 1 : 0);
    }
    // An older file may hold bytes after its records.
    std::string older = trailing;
    const uint32_t version = 69;
    std::memcpy(older.data(), &version, 4);
    Restart();
    EXPECT_EQ(Load(older), 1) << system->errorText;
    EXPECT_EQ(LoadInto(older, Plain("F", scenery, 3500)), 1);
}

TEST_F(ActorFileTest, RecordsCannotReplaceSystemActors) {
    for (uint32_t id : {0u, 2u, 9u}) {
        FileBytes f;
        f.Header(70, 1, 0, 10);
        DefaultActorRecord(f, 0, id, 1);
        EXPECT_EQ(Load(f.str()), 0);
        EXPECT_STREQ(system->errorText, "Serialize Error");
    }
    EXPECT_EQ(std::tuple(GetActorById(2), GetActorById(2)->classId, GetActorById(0)),
              std::tuple(scenery, 6u, system));
}

// A record whose only entry is given by the bytes after the count.
std::string EntryFile(const FileBytes &entry) {
    FileBytes f;
    f.Header(70, 1, 3000, 1);
    FileBytes rec;
    DefaultActorRecord(rec, 0, 3000, 2);
    std::string record = rec.str();
    record.resize(record.size() - 8); // entry count and style follow
    FileBytes tail;
    tail.U32(1).Raw(entry.str()).U32(0);
    return f.str() + record + tail.str();
}

TEST_F(ActorFileTest, ScheduledRecordsAreChecked) {
    FileBytes badLayer, badKind, bigBlock;
    badLayer.U8(2).U8(4).U8(0).U32(36).U32(0).F32(1);
    badKind.U8(16).U8(1).U8(0).U32(36).U32(0);
    bigBlock.U8(2).U8(1).U8(0).U32(63).U32(0x10000000).F32(1);
    for (const FileBytes *entry : {&badLayer, &badKind, &bigBlock}) {
        Restart();
        EXPECT_EQ(Load(EntryFile(*entry)), 0);
        EXPECT_STREQ(system->errorText, "Serialize Error");
    }

    Restart();
    FileBytes unknown;
    unknown.U8(2).U8(1).U8(0).U32(100000).U32(4).U32(7).F32(1);
    ASSERT_EQ(Load(EntryFile(unknown)), 1);
    EXPECT_TRUE(FileEntries(GetActorById(3000)).empty());

    Restart();
    FileBytes shortBlock;
    shortBlock.U8(2).U8(1).U8(0).U32(63).U32(4).F32(7.0f).F32(1);
    ASSERT_EQ(Load(EntryFile(shortBlock)), 1);
    ScheduledCommand *e = FileEntries(GetActorById(3000)).at(0);
    ASSERT_EQ(e->paramSize, 12u);
    EXPECT_FLOAT_EQ(e->Block().ReadF32(0), 7.0f);
    EXPECT_FLOAT_EQ(e->Block().ReadF32(8), 0.0f);
}

TEST_F(ActorFileTest, AnInterpolatingEntryIsReadOnlyForACommandThatTakesAFloatFirst) {
    Actor *a = Plain("A", scenery, 3000);
    Actor *b = Plain("B", scenery, 3001);
    auto lerp = Block(250, {0.0f, ParamValue::Command(63, {Vector3{0, 0, 0}}),
                            ParamValue::Command(63, {Vector3{1, 1, 1}})});
    auto radius = Block(138, {2.0f});
    auto turn = Block(270, {b});
    auto noActor = Block(270, {static_cast<Actor *>(nullptr)});
    a->ScheduleCommand(250, lerp.block(), kSaved | Kind(13), 0.0f, 0.1f, 0.01f);
    a->ScheduleCommand(138, radius.block(), kSaved | Kind(5), 0.0f, 0.1f, 0.01f);
    // Each run would write its progress over the address.
    a->ScheduleCommand(270, turn.block(), kSaved | Kind(5), 0.0f, 0.1f, 0.01f);
    a->ScheduleCommand(270, noActor.block(), kSaved | Kind(13), 0.0f, 0.1f, 0.01f);
    a->ScheduleCommand(158, ParamBlock(), kSaved | Kind(5), 0.0f, 0.1f, 0.01f); // no types
    const std::string bytes = Save(3000, 3002);
    Restart();
    ASSERT_EQ(Load(bytes), 1);
    std::vector<uint32_t> read;
    for (const ScheduledCommand *e : FileEntries(GetActorById(3000))) {
        read.push_back(e->command);
    }
    EXPECT_EQ(read, (std::vector<uint32_t>{250, 138}));
}

TEST_F(ActorFileTest, CancelledAndRunningEntriesAreNotSaved) {
    WorldRecorder *r = Make("R", scenery, 3000);
    std::string saved;
    r->onCommand = [&](uint32_t id, ParamBlock) {
        if (id == 36)
            saved = Save(3000, 3001);
    };
    r->ScheduleCommand(36, ParamBlock(), kSaved | Kind(2), 0.5f, 0.0f, 0.0f);
    ScheduledCommand *cancelled = r->ScheduleCommand(37, ParamBlock(), kSaved | Kind(2), 0.5f, 0, 0);
    ActorSystem::CancelScheduledCommand(cancelled);
    RunAt(1.0f);
    ASSERT_FALSE(saved.empty());
    Restart();
    ASSERT_EQ(Load(saved), 1);
    EXPECT_TRUE(FileEntries(GetActorById(3000)).empty());
}

TEST_F(ActorFileTest, FailedSavesAnswerZeroAndKeepTheTarget) {
    Plain("a", scenery, 3000);
    EXPECT_EQ(SaveActors(folder / "missing/dir/x.qva", 3000, 3001, kSerializeSave), 0);
    EXPECT_STREQ(system->errorText, "Error - Saving Actors");

    // A backend whose writes fail: the close reports it.
    class FailingWrites : public MemoryFileSystem {
      public:
        void *Open(const char *, const char *) override { return NewMemoryHandle(buffer, 4); }
        uint8_t buffer[4] = {};
    } failing;
    SetCurrentFileSystem(&failing);
    system->errorText[0] = 0;
    EXPECT_EQ(SaveActors("x.qva", 3000, 3001, kSerializeSave), 0);
    SetCurrentFileSystem(nullptr);
    EXPECT_STREQ(system->errorText, "Error - Saving Actors");
}

// --- entry times across loads ---------------------------------------------------------

TEST_F(ActorFileTest, EntryTimesAreKeptRelativeToTheOwnersClock) {
    RootTimeRecord()->time = 1000.0f;
    WorldRecorder *r = Make("R", scenery, 3000);
    r->ScheduleCommand(36, ParamBlock(), kSaved | Kind(2), 2.0f, 0.0f, 0.0f);
    r->ScheduleCommand(37, ParamBlock(), kSaved | Kind(3), 1.0f, 0.0f, 1.0f);
    const std::string bytes = Save(3000, 3001);

    // Loaded at clock 0 (start-up, level load): the timer fires after 2 s.
    Restart();
    ASSERT_EQ(Load(bytes), 1);
    Actor *loaded = GetActorById(3000);
    EXPECT_FLOAT_EQ(FileEntries(loaded).at(0)->due, 2.0f);
    TakeLog();
    RunAt(1.9f);
    RunAt(2.1f);
    EXPECT_EQ(Names(TakeLog(), 36).size(), 1u);

    // Loaded below a File actor at clock 500: due at 502; the repeating
    // entry loaded at 600 runs once per interval, no burst.
    auto loadUnderFileAt = [&](float time) {
        Restart();
        RootTimeRecord()->time = time;
        return LoadInto(bytes, Plain("F", scenery, 3500));
    };
    ASSERT_EQ(loadUnderFileAt(500.0f), 1);
    Actor *atFile = ActorTable.at(8000);
    ASSERT_NE(atFile, nullptr);
    EXPECT_FLOAT_EQ(FileEntries(atFile).at(0)->due, 502.0f);

    ASSERT_EQ(loadUnderFileAt(600.0f), 1);
    TakeLog();
    RunAt(601.5f);
    EXPECT_EQ(Names(TakeLog(), 37).size(), 1u);
}

// What a save keeps of each saved entry: command, kind, tag, layer, the
// times the file holds, and the live block in the form a file holds it
// (actors as their paths from the owner).
std::vector<std::string> SavedEntries(Actor *owner) {
    std::vector<std::string> out;
    for (ScheduledCommand *e : FileEntries(owner)) {
        ParamBlockResult portable;
        EXPECT_TRUE(ParamBlockToPortable(owner, &portable, e->command, e->Block()));
        const uint32_t times = std::array{0u, 0u, 1u, 2u, 4u, 4u, 0u, 0u}[e->kind & 7];
        const float time[4] = {e->due, e->interval, e->start, e->end};
        std::string line = std::to_string(e->command) + " kind " + std::to_string(e->kind) +
                           " tag " + std::to_string(e->tag) + " layer " + std::to_string(e->layer) +
                           " " + std::to_string(e->paramSize) + " bytes, times";
        for (uint32_t i = 0; i < times; ++i) {
            line += " " + std::to_string(time[i]);
        }
        out.push_back(line + ": " +
                      std::string(portable.data(), portable.data() + portable.size()));
    }
    return out;
}

TEST_F(ActorFileTest, EveryEntryTheEngineSavesComesBackFromItsFile) {
    Actor *a = Plain("A", scenery, 3000);
    Actor *b = Plain("B", scenery, 3001);
    Actor *c = Plain("C", a, 3002);
    // An action start over time: "Command Lerp" (kind 13, tag 255) and its
    // end (kind 2, tag 254, no parameters).
    a->actionStartTime = 0.5f;
    a->HandleCommand(cmd::base::ActionStart, ParamBlock());
    // "TimerCommand" entries: an actor, a text, a nested command.
    const ParamValue move = ParamValue::Command(63, {Vector3{1, 2, 3}});
    for (auto timer : {Block(57, {1.0f, ParamValue::Command(270, {b})}),
                       Block(57, {1.5f, ParamValue::Command(32, {"Later"})}),
                       Block(57, {2.0f, ParamValue::Command(60, {b, 35u, move})})}) {
        a->HandleCommand(57, timer.block());
    }
    auto aim = Block(1754, {ParamValue::ActorExt(c, "head")});
    a->ScheduleCommand(1754, aim.block(), kSaved | Kind(4) | 7, 0.5f, 5.0f, 1.0f);
    auto force = Block(141, {c, 1.0f, 2.0f, 3.0f});
    ScheduleCommand(a, 141, force.block(), kSaved | Kind(3), 1.0f, 0.0f, 2.0f, nullptr, 2);
    auto radius = Block(138, {2.0f});
    a->ScheduleCommand(138, radius.block(), 7164, 0.5f, 0.0f, 0.5f); // kind 11, tag 252
    const std::vector<std::string> saved = SavedEntries(a);
    ASSERT_EQ(saved.size(), 8u);

    const std::string bytes = Save(3000, 3003);
    Restart();
    ASSERT_EQ(Load(bytes), 1);
    Actor *read = GetActorById(3000);
    read->HandleCommand(cmd::base::Precalculate, ParamBlock());
    EXPECT_EQ(SavedEntries(read), saved);
    EXPECT_EQ(FileEntries(read).at(2)->Block().ReadActor(0), GetActorById(3001));
}

// --- files opened from inside a delivery ----------------------------------------------

class OpenFromHandlerTest : public ActorFileTest {
  protected:
    void SetUp() override {
        ActorFileTest::SetUp();
        system->baseFolder = folder.Path();
        std::filesystem::create_directories(folder / "Data");
    }
};

TEST_F(OpenFromHandlerTest, AHandlerThatEmptiesItsOwnRootStillReadsItself) {
    WorldRecorder *r = Make("R", scenery, 3000);
    Make("child", r, 3001);
    std::string seenName;
    float seenX = 0.0f;
    bool stillInTable = true;
    r->position = {7, 0, 0};
    r->onCommand = [&](uint32_t id, ParamBlock) {
        if (id != 36)
            return;
        EXPECT_EQ(SendCommandArgs(scenery, cmd::file_io::OpenFile, std::string("missing.qva")), 0);
        stillInTable = GetActorById(3000) != nullptr;
        seenName = r->name;
        seenX = r->position.x;
    };
    EXPECT_EQ(SendCommand(3000, 36, ParamBlock()), 1u);
    EXPECT_FALSE(stillInTable);
    EXPECT_EQ(seenName, "R");
    EXPECT_FLOAT_EQ(seenX, 7.0f);
    EXPECT_EQ(std::tuple(GetActorById(3000), GetActorById(3001)), std::tuple(nullptr, nullptr));
    EXPECT_TRUE(scenery->children.empty());
}

TEST_F(OpenFromHandlerTest, AFileHoldingTheSendersIdReplacesItAfterTheDelivery) {
    FileBytes f;
    f.Header(70, 1, 10, 2991);
    DefaultActorRecord(f, 0, 3000, 1, "fromFile");
    folder.Put("Data/Globals.qva", f.str());

    WorldRecorder *r = Make("R", scenery, 3000);
    r->ScheduleCommand(36, ParamBlock(), Kind(2), 0.5f, 0.0f, 0.0f);
    std::string seenName;
    int entriesAfter = -1;
    r->onCommand = [&](uint32_t id, ParamBlock) {
        if (id != 36)
            return;
        r->ScheduleCommand(37, ParamBlock(), Kind(2), 0.5f, 0.0f, 0.0f);
        EXPECT_EQ(SendCommandArgs(global, cmd::file_io::OpenFile, std::string("Globals.qva")), 1)
            << system->errorText;
        seenName = r->name;
        entriesAfter = static_cast<int>(r->scheduledCommands.size());
    };
    // Run from the scheduled pass.
    RunAt(1.0f);
    EXPECT_EQ(seenName, "R");
    EXPECT_EQ(entriesAfter, 0); // its entries were taken away with it
    ASSERT_NE(GetActorById(3000), nullptr);
    EXPECT_EQ(GetActorById(3000)->name, "fromFile");
    EXPECT_EQ(GetActorById(3000)->parent, global);
    EXPECT_EQ(GetActorById(kEnvironmentActorId), nullptr);
    EXPECT_EQ(GetActorById(kInventoryActorId), nullptr);
    // Nothing of the old actor runs any more.
    TakeLog();
    RunAt(3.0f);
    EXPECT_TRUE(TakeLog().empty());
}

} // namespace
