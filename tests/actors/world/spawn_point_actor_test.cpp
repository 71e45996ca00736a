// The Spawn Point actor: its sheet and record commands, the spawn gate and
// lottery, where copies go and what they are told, extern points, the warp
// box and its file record.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "../../core/actors/actor_file_bytes.h"
#include "actors/world/spawn_point_actor.h"
#include "base/file_system.h"
#include "base/random.h"
#include "core/actors/actor_file.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/class_descriptor.h"
#include "core/actors/class_factory.h"
#include "core/actors/command_ids.h"
#include "core/actors/script_runner.h"
#include "support/temp_folder.h"

namespace {

// What the recorders and the script runner saw, in order.
std::vector<std::string> g_log;
std::map<std::string, std::vector<float>> g_values;

// Logs the commands a spawned copy or a warped character is told.
class Recorder : public Actor {
  public:
    int HandleCommand(uint32_t commandId, ParamBlock block) override {
        switch (commandId) {
        case 63:
        case 72:
        case 78:
        case 949:
        case 952:
        case 976: {
            const size_t n = commandId == 976 ? 1 : commandId >= 949 && commandId <= 952 ? 2 : 3;
            std::vector<float> v(n);
            for (size_t i = 0; i < n; ++i) {
                v[i] = block.ReadF32(4 * i);
            }
            g_values[std::to_string(commandId)] = v;
            g_log.push_back(std::to_string(commandId));
            break;
        }
        case 65:
        case 345:
            g_log.push_back(std::to_string(commandId));
            break;
        case 845:
        case 847:
            g_log.push_back(std::to_string(commandId) + " " + std::string(block.ReadString(0)));
            break;
        case kRecursiveCommandId: {
            RecursiveCommandParams params{0, nullptr};
            block.ReadBytes(0, &params, sizeof(params));
            if (params.commandId == 226 || params.commandId == 1287) {
                std::string entry = "97/" + std::to_string(params.commandId);
                if (params.commandId == 1287 && params.block != nullptr) {
                    entry += " " + std::to_string(params.block->ReadU32(0));
                }
                g_log.push_back(entry);
            }
            break;
        }
        default:
            break;
        }
        return Actor::HandleCommand(commandId, block);
    }
};

class ScriptLog : public ScriptRunner {
  public:
    int Run(ScriptRecord *record, Actor *local) override {
        g_log.push_back("script " + record->name + " " + (local ? local->name : "-"));
        return 1;
    }
};

std::string ReadAll(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class SpawnPointTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetActorWorldForTests();
        ASSERT_EQ(InitActorSystem(), 1);
        system = GetActorSystem();
        scenery = GetActorById(kSceneryRootId);
        for (uint32_t cls : {3u, 16u}) {
            SetActorClassRowForTests(
                cls, {cls, [] { return static_cast<Actor *>(new Recorder()); }, nullptr});
        }
        previousRunner = InstallScriptRunner(&scripts);
        RootTimeRecord()->time = 0.0f;
        SeedRand(1);
        g_log.clear();
        g_values.clear();
        templates = CreateActor(0, "Templates", nullptr, scenery, 3000, false);
    }
    void TearDown() override {
        InstallScriptRunner(previousRunner);
        ResetActorWorldForTests();
    }

    SpawnPointActor *MakePoint(const char *name = "SP", Actor *parent = nullptr) {
        auto *point = static_cast<SpawnPointActor *>(
            CreateActor(21, name, nullptr, parent ? parent : scenery, -1, false));
        return point;
    }
    Actor *MakeTemplate(const char *name, uint32_t cls = 3) {
        return CreateActor(static_cast<int32_t>(cls), name, nullptr, templates, -1, false);
    }
    static void AddRecord(SpawnPointActor *point, const std::string &path) {
        std::vector<char> block(8 + path.size() + 1, 0);
        std::copy(path.begin(), path.end(), block.begin() + 8);
        point->HandleCommand(cmd::spawn_point::AddSpawnRecord,
                             ParamBlock(block.data(), block.size()));
    }
    static uint32_t Spawn(SpawnPointActor *point) {
        return SendCommand(static_cast<uint32_t>(point->actorId), cmd::spawn_point::Spawn,
                           ParamBlock());
    }
    static std::vector<Actor *> DirectCopies(Actor *parent, const std::string &name) {
        std::vector<Actor *> found;
        for (Actor *child : parent->children) {
            if (child->name == name) {
                found.push_back(child);
            }
        }
        return found;
    }
    // The actors of that name below an actor, at any depth: a later copy
    // goes below an earlier one, which is a child of the template's name.
    static std::vector<Actor *> Copies(Actor *parent, const std::string &name) {
        std::vector<Actor *> found;
        for (Actor *child : parent->children) {
            if (child->name == name) {
                found.push_back(child);
            }
            for (Actor *deeper : Copies(child, name)) {
                found.push_back(deeper);
            }
        }
        return found;
    }

    ScriptLog scripts;
    ScriptRunner *previousRunner = nullptr;
    ActorSystem *system = nullptr;
    Actor *scenery = nullptr;
    Actor *templates = nullptr;
    TempFolder folder;
};

TEST_F(SpawnPointTest, DescriptorConstructorAndCreate) {
    const ActorClassDescriptor &d = ClassDescriptorTable.at(21);
    EXPECT_EQ(d.name, "Spawn Point");
    EXPECT_EQ(d.description, "Spawn Point");
    EXPECT_EQ(d.lineage, (std::vector<uint32_t>{0, 21}));
    ASSERT_EQ(d.items.size(), 24u);
    EXPECT_EQ(d.items[1].label, "Type:|Placeholder|0|Player Start Position|1|Spawn|2|Warp|3|");
    EXPECT_EQ(std::tuple(d.items[1].kind, d.items[1].setCommand, d.items[1].getCommand),
              std::tuple(PropertyKind::Enumeration, 1253u, 1254u));
    EXPECT_EQ(std::tuple(d.items[4].kind, d.items[4].setCommand),
              std::tuple(PropertyKind::Vector, 1259u));
    EXPECT_EQ(std::tuple(d.items[6].label, d.items[6].kind),
              std::tuple(std::string("Min Spawn Time Interval:"), PropertyKind::Time));
    EXPECT_EQ(std::tuple(d.items[13].label, d.items[13].kind, d.items[13].setCommand,
                         d.items[13].getCommand),
              std::tuple(std::string("Add:"), PropertyKind::ActorReference, 1265u, 1266u));
    EXPECT_EQ(std::tuple(d.items[15].label, d.items[15].kind, d.items[15].setCommand),
              std::tuple(std::string("Delete Selected:|Delete|"), PropertyKind::Button, 1282u));
    EXPECT_EQ(d.items[19].label, "Type:|Spawn|0|Only Set Position|1|");
    EXPECT_EQ(std::tuple(d.items[23].label, d.items[23].setCommand, d.items[23].getCommand),
              std::tuple(std::string("Pick:"), 1283u, 1284u));
    for (const PropertyItem &item : d.items) {
        EXPECT_EQ(item.ranged, 0u);
    }

    SpawnPointActor *p = MakePoint();
    EXPECT_EQ(std::tuple(p->classId, p->spawnType, p->useSpawnBox, p->spawnBox.x, p->spawnBox.y,
                         p->spawnBox.z, p->spawnOnStartGame, p->minSpawnInterval, p->spawnCounter,
                         p->spawnMaxCount, p->selectedRecord, p->nonSpawnPercent, p->reserved,
                         p->useExternSpawn),
              std::tuple(21u, 2u, 0u, 50.0f, 0.0f, 50.0f, 0u, 0.0f, 0u, 1000000u, 0, 0u,
                         0xFFFFFFFFu, 0u));
    EXPECT_TRUE(std::isinf(p->lastSpawnTime) && p->lastSpawnTime < 0);

    AddRecord(p, "/Scenery/Templates/Crate");
    p->records[0].name = "n";
    p->records[0].count = 4;
    p->records[0].recordType = 1;
    p->spawnType = 3;
    p->useSpawnBox = 1;
    p->spawnBox = {1, 2, 3};
    p->spawnOnStartGame = 1;
    p->minSpawnInterval = 2.5f;
    p->lastSpawnTime = 7.0f;
    p->spawnCounter = 5;
    p->spawnMaxCount = 9;
    p->nonSpawnPercent = 30;
    p->reserved = 11;
    p->externSpawnPath = "/Scenery/Other";
    p->useExternSpawn = 1;
    auto *c = static_cast<SpawnPointActor *>(CreateActor(21, "copy", p, scenery, -1, true));
    ASSERT_NE(c, nullptr);
    ASSERT_EQ(c->records.size(), 1u);
    EXPECT_EQ(std::tuple(c->records[0].name, c->records[0].objectPath, c->records[0].count,
                         c->records[0].recordType),
              std::tuple(std::string("n"), std::string("/Scenery/Templates/Crate"), 4u, 1u));
    EXPECT_EQ(std::tuple(c->spawnType, c->useSpawnBox, c->spawnBox.z, c->spawnOnStartGame,
                         c->minSpawnInterval, c->lastSpawnTime, c->spawnCounter, c->spawnMaxCount,
                         c->nonSpawnPercent, c->reserved, c->externSpawnPath, c->useExternSpawn),
              std::tuple(3u, 1u, 3.0f, 1u, 2.5f, 7.0f, 5u, 9u, 30u, 11u,
                         std::string("/Scenery/Other"), 1u));
}

TEST_F(SpawnPointTest, RecordCommands) {
    SpawnPointActor *p = MakePoint();
    uint32_t value = 7;
    // No record: the record commands do nothing.
    p->HandleCommand(cmd::spawn_point::SetSpawnRecordWeight, ParamBlock(&value, 4));
    p->HandleCommand(cmd::spawn_point::DeleteSpawnRecord, ParamBlock());
    for (const char *path : {"/a", "/b", "/c"}) {
        AddRecord(p, path);
    }
    EXPECT_EQ(p->selectedRecord, 2);
    EXPECT_EQ(std::tuple(p->records[2].weight, p->records[2].maxCount, p->records[2].count),
              std::tuple(1u, 1000000u, 0u));
    std::string select = "/b";
    p->HandleCommand(cmd::spawn_point::SelectSpawnRecord,
                     ParamBlock(select.data(), select.size() + 1));
    EXPECT_EQ(p->selectedRecord, 1);
    select = "/none";
    p->HandleCommand(cmd::spawn_point::SelectSpawnRecord,
                     ParamBlock(select.data(), select.size() + 1));
    EXPECT_EQ(p->selectedRecord, 1);
    std::vector<std::string> paths;
    std::vector<std::string> *out = &paths;
    p->HandleCommand(cmd::spawn_point::GetSpawnRecordPaths, ParamBlock(&out, sizeof(out)));
    EXPECT_EQ(paths, (std::vector<std::string>{"/a", "/b", "/c"}));
    // The path comes after a null pointer slot.
    char ext[32];
    std::fill(std::begin(ext), std::end(ext), 'x');
    p->HandleCommand(cmd::spawn_point::GetSpawnRecordPath, ParamBlock(ext, sizeof(ext)));
    void *slot = reinterpret_cast<void *>(1);
    std::memcpy(&slot, ext, sizeof(slot));
    EXPECT_EQ(slot, nullptr);
    EXPECT_STREQ(ext + 8, "/b");

    for (auto [in, stored] : {std::pair{0u, 1u}, {500u, 100u}, {3u, 3u}}) {
        value = in;
        p->HandleCommand(cmd::spawn_point::SetSpawnRecordWeight, ParamBlock(&value, 4));
        value = 0;
        p->HandleCommand(cmd::spawn_point::GetSpawnRecordWeight, ParamBlock(&value, 4));
        EXPECT_EQ(value, stored);
    }
    value = 12;
    p->HandleCommand(cmd::spawn_point::SetSpawnRecordMaxCount, ParamBlock(&value, 4));
    value = 1;
    p->HandleCommand(cmd::spawn_point::SetSpawnRecordType, ParamBlock(&value, 4));
    EXPECT_EQ(std::tuple(p->records[1].maxCount, p->records[1].recordType), std::tuple(12u, 1u));
    value = 250;
    p->HandleCommand(cmd::spawn_point::SetNonSpawnPercent, ParamBlock(&value, 4));
    EXPECT_EQ(p->nonSpawnPercent, 100u);

    // Deleting the middle one moves the last down; the selection stays 1.
    p->HandleCommand(cmd::spawn_point::DeleteSpawnRecord, ParamBlock());
    ASSERT_EQ(p->records.size(), 2u);
    EXPECT_EQ(std::tuple(p->records[1].objectPath, p->selectedRecord),
              std::tuple(std::string("/c"), 1));
    p->HandleCommand(cmd::spawn_point::DeleteSpawnRecord, ParamBlock());
    p->HandleCommand(cmd::spawn_point::DeleteSpawnRecord, ParamBlock()); // index 1 is gone now
    EXPECT_EQ(p->records.size(), 1u);

    // The extern point: a path after the pointer slot; "use" off empties it.
    std::vector<char> pick(8, 0);
    for (char ch : std::string("/Scenery/X"))
        pick.push_back(ch);
    pick.push_back(0);
    EXPECT_EQ(p->HandleCommand(cmd::spawn_point::SetExternSpawnActor,
                               ParamBlock(pick.data(), pick.size())), 1);
    EXPECT_EQ(p->externSpawnPath, "/Scenery/X");
    std::fill(std::begin(ext), std::end(ext), 'x');
    p->HandleCommand(cmd::spawn_point::GetExternSpawnActor, ParamBlock(ext, sizeof(ext)));
    EXPECT_STREQ(ext + 8, "/Scenery/X");
    value = 1;
    p->HandleCommand(cmd::spawn_point::SetUseExternSpawnObject, ParamBlock(&value, 4));
    EXPECT_EQ(p->externSpawnPath, "/Scenery/X");
    value = 0;
    p->HandleCommand(cmd::spawn_point::SetUseExternSpawnObject, ParamBlock(&value, 4));
    EXPECT_EQ(std::tuple(p->useExternSpawn, p->externSpawnPath), std::tuple(0u, std::string()));
}

TEST_F(SpawnPointTest, MinimumIntervalGatesSpawns) {
    MakeTemplate("Crate");
    SpawnPointActor *p = MakePoint();
    AddRecord(p, "/Scenery/Templates/Crate");
    p->minSpawnInterval = 5.0f;
    SendCommand(static_cast<uint32_t>(p->actorId), 153, ParamBlock());
    EXPECT_EQ(p->lastSpawnTime, -5.0f);
    std::vector<float> spawnedAt;
    for (float t : {0.0f, 3.0f, 6.0f}) {
        RootTimeRecord()->time = t;
        const size_t before = Copies(p, "Crate").size();
        Spawn(p);
        if (Copies(p, "Crate").size() > before) {
            spawnedAt.push_back(t);
        }
    }
    EXPECT_EQ(spawnedAt, (std::vector<float>{0.0f, 6.0f}));
    EXPECT_EQ(p->lastSpawnTime, 6.0f);
    EXPECT_EQ(p->spawnCounter, 2u);
}

// Before "Precalculate" or a load the point is ready at once.
TEST_F(SpawnPointTest, ReadyBeforePrecalculate) {
    MakeTemplate("Crate");
    SpawnPointActor *p = MakePoint();
    AddRecord(p, "/Scenery/Templates/Crate");
    p->minSpawnInterval = 1000.0f;
    RootTimeRecord()->time = -50.0f;
    Spawn(p);
    EXPECT_EQ(Copies(p, "Crate").size(), 1u);
    // The total bounds it too.
    p->lastSpawnTime = -1e9f;
    p->spawnMaxCount = 1;
    Spawn(p);
    EXPECT_EQ(Copies(p, "Crate").size(), 1u);
}

TEST_F(SpawnPointTest, SingleRecordSpawnsUntilItsMaximumWithoutDraws) {
    MakeTemplate("Crate");
    SpawnPointActor *p = MakePoint();
    AddRecord(p, "/Scenery/Templates/Crate");
    p->records[0].maxCount = 3;
    p->records[0].weight = 0;
    SeedRand(9);
    const int next = Rand();
    SeedRand(9);
    for (int i = 0; i < 5; ++i) {
        Spawn(p);
    }
    EXPECT_EQ(Rand(), next);
    EXPECT_EQ(Copies(p, "Crate").size(), 3u);
    EXPECT_EQ(std::tuple(p->records[0].count, p->spawnCounter), std::tuple(3u, 3u));
}

TEST_F(SpawnPointTest, WeightedLottery) {
    Actor *a = MakeTemplate("A");
    Actor *b = MakeTemplate("B");
    SpawnPointActor *p = MakePoint();
    AddRecord(p, "/Scenery/Templates/A");
    AddRecord(p, "/Scenery/Templates/B");
    p->records[1].weight = 3;
    (void)a;
    (void)b;
    for (int i = 0; i < 4000; ++i) {
        Spawn(p);
        DeleteActor(p->children.back());
    }
    EXPECT_NEAR(p->records[0].count, 1000u, 200);
    EXPECT_NEAR(p->records[1].count, 3000u, 200);

    // A record at its maximum drops out.
    p->records[1].maxCount = p->records[1].count;
    for (int i = 0; i < 20; ++i) {
        Spawn(p);
    }
    EXPECT_EQ(Copies(p, "A").size(), 20u);

    // 100 % never spawns from two records, and counts nothing.
    p->records[1].maxCount = 1000000;
    p->nonSpawnPercent = 100;
    const uint32_t counted = p->records[0].count + p->records[1].count;
    for (int i = 0; i < 50; ++i) {
        Spawn(p);
    }
    EXPECT_EQ(Copies(p, "A").size() + Copies(p, "B").size(), 20u);
    EXPECT_EQ(p->records[0].count + p->records[1].count, counted);
}

// A file may give any weight: the draw keeps one ticket per unit of weight
// without listing them.
TEST_F(SpawnPointTest, WeightsOfAnySizeAreDrawnWithoutAListOfTickets) {
    MakeTemplate("A");
    MakeTemplate("B");
    SpawnPointActor *p = MakePoint();
    for (const char *path :
         {"/Scenery/Templates/A", "/Scenery/Templates/B", "/Scenery/Templates/B"}) {
        AddRecord(p, path);
    }
    p->records[0].weight = 0;
    p->records[1].weight = p->records[2].weight = 0xFFFFFFFFu;
    // Every draw (0..32767) falls among the second record's tickets.
    Spawn(p);
    Spawn(p);
    EXPECT_EQ(std::tuple(Copies(p, "A").size(), p->records[1].count, p->records[2].count),
              std::tuple(size_t{0}, 2u, 0u));
    // Every weight 0: nothing to draw, silently.
    for (SpawnRecord &record : p->records) {
        record.weight = 0;
    }
    Spawn(p);
    EXPECT_EQ(Copies(p, "B").size(), 2u);
}

// A template that cannot be found uses up a draw of its record.
TEST_F(SpawnPointTest, MissingTemplateUsesADraw) {
    SpawnPointActor *p = MakePoint();
    AddRecord(p, "/Scenery/Templates/Gone");
    p->records[0].maxCount = 2;
    Spawn(p);
    Spawn(p);
    Spawn(p);
    EXPECT_EQ(std::tuple(p->records[0].count, p->spawnCounter, p->children.size()),
              std::tuple(2u, 0u, size_t{0}));
}

TEST_F(SpawnPointTest, CopiesGoToTheMarkerOfTheirName) {
    MakeTemplate("B");
    MakeTemplate("C");
    SpawnPointActor *p = MakePoint();
    Actor *a = CreateActor(0, "A", nullptr, p, -1, false);
    Actor *b = CreateActor(0, "B", nullptr, p, -1, false);
    AddRecord(p, "/Scenery/Templates/B");
    for (int i = 0; i < 20; ++i) {
        Spawn(p);
    }
    EXPECT_EQ(Copies(b, "B").size(), 20u);

    // "C" has no marker: A, B or the point, one time in three each.
    p->records.clear();
    AddRecord(p, "/Scenery/Templates/C");
    std::map<std::string, int> at;
    for (int i = 0; i < 3000; ++i) {
        ASSERT_EQ(SendCommand(static_cast<uint32_t>(p->actorId), 211, ParamBlock()), 1u);
        for (Actor *holder : {static_cast<Actor *>(p), a, b}) {
            for (Actor *copy : DirectCopies(holder, "C")) {
                ++at[holder->name];
                DeleteActor(copy);
            }
        }
    }
    for (const char *name : {"A", "B", "SP"}) {
        EXPECT_NEAR(at[name], 1000, 150) << name;
    }
}

TEST_F(SpawnPointTest, BoxOffsetStaysInsideTheBox) {
    MakeTemplate("Crate");
    SpawnPointActor *p = MakePoint();
    p->position = {100, 0, 0};
    AddRecord(p, "/Scenery/Templates/Crate");
    p->useSpawnBox = 1;
    p->spawnBox = {20, 4, 10};
    for (int i = 0; i < 200; ++i) {
        g_values.clear();
        Spawn(p);
        ASSERT_EQ(g_values.count("78"), 1u);
        const std::vector<float> &v = g_values["78"];
        EXPECT_LE(std::fabs(v[0]), 10.0f);
        EXPECT_LE(std::fabs(v[1]), 2.0f);
        EXPECT_LE(std::fabs(v[2]), 5.0f);
        Actor *copy = p->children.back();
        EXPECT_FLOAT_EQ(copy->position.x, v[0]); // in the point's own space
        DeleteActor(copy);
    }
}

TEST_F(SpawnPointTest, CopyHearsItsSpawnInOrder) {
    MakeTemplate("Crate");
    SpawnPointActor *p = MakePoint();
    AddRecord(p, "/Scenery/Templates/Crate");
    auto script = std::make_unique<ScriptRecord>();
    script->name = "named";
    script->eventId = cmd::spawn_point::OnSpawnActor;
    script->owner = p;
    p->scripts.push_back(std::move(script));
    auto other = std::make_unique<ScriptRecord>();
    other->name = "other";
    other->eventId = 345;
    other->owner = p;
    p->scripts.push_back(std::move(other));
    Spawn(p);
    ASSERT_EQ(p->children.size(), 1u);
    // CopyActorTree's own 65 comes first.
    EXPECT_EQ(g_log, (std::vector<std::string>{"65", "97/226", "65", "script named Crate", "345",
                                               "97/1287 " + std::to_string(p->actorId), "97/226"}));
}

TEST_F(SpawnPointTest, CharacterCopiesGoUnderSceneryAboveTheSource) {
    Actor *hero = MakeTemplate("Hero", 16);
    (void)hero;
    SpawnPointActor *p = MakePoint();
    p->position = {10, 5, -3};
    // Turned a quarter round the y axis.
    p->rotation = {0.0f, std::sin(0.7853982f), 0.0f, std::cos(0.7853982f)};
    p->InvalidateTransform();
    AddRecord(p, "/Scenery/Templates/Hero");
    Spawn(p);
    std::vector<Actor *> copies = DirectCopies(scenery, "Hero");
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_EQ(g_log, (std::vector<std::string>{"65", "97/226", "63", "976", "65", "345",
                                               "97/1287 " + std::to_string(p->actorId), "97/226"}));
    EXPECT_EQ(g_values["63"], (std::vector<float>{10.0f, 45.0f, -3.0f}));
    const Matrix &world = p->GetWorldMatrix();
    const float heading =
        Vec3YawFromForward({world.m[2][0], world.m[2][1], world.m[2][2]}) + 3.1415927f;
    EXPECT_FLOAT_EQ(g_values["976"][0], heading);

    // With a box the offset turns with the source: x of the box becomes z.
    g_values.clear();
    p->useSpawnBox = 1;
    p->spawnBox = {10, 0, 0};
    Spawn(p);
    const std::vector<float> &v = g_values["63"];
    EXPECT_NEAR(v[0], 10.0f, 1e-3f);
    EXPECT_LE(std::fabs(v[2] + 3.0f), 5.0f);
}

// A template that holds the spawn point would be copied into itself.
TEST_F(SpawnPointTest, TemplateHoldingThePointIsRefused) {
    Actor *crate = MakeTemplate("Crate");
    SpawnPointActor *p = MakePoint("SP", crate);
    AddRecord(p, "/Scenery/Templates/Crate");
    p->lastSpawnTime = -3.0f;
    Spawn(p);
    EXPECT_TRUE(p->children.empty());
    EXPECT_EQ(crate->children.size(), 1u);
    EXPECT_EQ(std::tuple(p->records[0].count, p->spawnCounter, p->lastSpawnTime),
              std::tuple(1u, 1u, -3.0f));
}

TEST_F(SpawnPointTest, ExternPoints) {
    MakeTemplate("Crate");
    SpawnPointActor *source = MakePoint("Source");
    AddRecord(source, "/Scenery/Templates/Crate");
    source->records[0].maxCount = 2;
    SpawnPointActor *p = MakePoint();
    p->useExternSpawn = 1;
    Spawn(p); // an empty path names nothing here
    EXPECT_TRUE(p->children.empty());
    p->externSpawnPath = "/Scenery/Templates";
    Spawn(p); // not a spawn point
    EXPECT_TRUE(p->children.empty());
    p->externSpawnPath = "/Scenery/Source";
    for (int i = 0; i < 3; ++i) {
        Spawn(p);
    }
    EXPECT_EQ(Copies(p, "Crate").size(), 2u);
    EXPECT_TRUE(source->children.empty());
    EXPECT_EQ(std::tuple(source->spawnCounter, source->records[0].count, p->spawnCounter),
              std::tuple(2u, 2u, 2u));
    // The extern point's gate applies.
    source->records[0].maxCount = 10;
    source->minSpawnInterval = 5.0f;
    source->lastSpawnTime = 0.0f;
    Spawn(p);
    EXPECT_EQ(Copies(p, "Crate").size(), 2u);
}

TEST_F(SpawnPointTest, StartGameSpawnsOnlyMarkedSpawnTypes) {
    MakeTemplate("Crate");
    SpawnPointActor *p = MakePoint();
    AddRecord(p, "/Scenery/Templates/Crate");
    SendCommand(static_cast<uint32_t>(p->actorId), 154, ParamBlock());
    EXPECT_TRUE(p->children.empty());
    p->spawnOnStartGame = 1;
    p->spawnType = kSpawnTypePlayerStart;
    SendCommand(static_cast<uint32_t>(p->actorId), 154, ParamBlock());
    EXPECT_TRUE(p->children.empty());
    p->spawnType = kSpawnTypeSpawn;
    SendCommand(static_cast<uint32_t>(p->actorId), 154, ParamBlock());
    EXPECT_EQ(p->children.size(), 1u);
}

TEST_F(SpawnPointTest, WarpBoxes) {
    SpawnPointActor *p = MakePoint();
    p->position = {1, 2, 3};
    uint32_t type = 3;
    p->HandleCommand(cmd::spawn_point::SetSpawnpointType, ParamBlock(&type, 4));
    p->HandleCommand(cmd::spawn_point::SetSpawnpointType, ParamBlock(&type, 4));
    ASSERT_EQ(p->colObjs.size(), 2u);
    const ColObj &box = *p->colObjs[1];
    EXPECT_EQ(std::tuple(box.name, box.flags, box.type, box.groups, box.receiveGroups,
                         box.excludeGroups, box.material, box.fill, box.owner, box.reference,
                         box.hitEffect, box.factor),
              std::tuple(std::string("Player Col"), 7u, 2u, 1u, 1u, 0u, 0u, 7u,
                         static_cast<Actor *>(p), -1, 0u, 1.0f));
    EXPECT_EQ(std::tuple(box.boxMin.x, box.boxMin.y, box.boxMax.z),
              std::tuple(-100.0f, -100.0f, 100.0f));

    Actor *player = CreateActor(16, "Player", nullptr, scenery, -1, false);
    Actor *other = CreateActor(3, "Other", nullptr, scenery, -1, false);
    ColObj hit(player);
    hit.flags |= kColObjDynamic;
    const ColObj *event[2] = {&hit, p->colObjs[0].get()};
    auto collide = [&] {
        return SendCommand(static_cast<uint32_t>(p->actorId), 171,
                           ParamBlock(event, sizeof(event)));
    };
    collide(); // not the master
    player->flags |= kActorMaster;
    hit.flags &= ~kColObjDynamic;
    collide(); // not dynamic
    hit.owner = other;
    other->flags |= kActorMaster;
    collide(); // not a character
    hit.owner = nullptr;
    collide(); // no owner at all
    EXPECT_TRUE(g_log.empty());

    hit.owner = player;
    hit.flags |= kColObjDynamic;
    collide();
    EXPECT_EQ(g_log, (std::vector<std::string>{"72", "65", "63", "845 Gethit0", "847 Neutral",
                                               "949", "952"}));
    EXPECT_EQ(g_values["72"], (std::vector<float>{0, 0, 0}));
    EXPECT_EQ(g_values["63"], (std::vector<float>{1, 2, 3}));
    EXPECT_EQ(g_values["949"], (std::vector<float>{300, 1}));
    EXPECT_EQ(g_values["952"], (std::vector<float>{-10, 0}));

    // Another type takes both boxes away; then nothing warps.
    type = 2;
    p->HandleCommand(cmd::spawn_point::SetSpawnpointType, ParamBlock(&type, 4));
    EXPECT_TRUE(p->colObjs.empty());
    g_log.clear();
    event[1] = nullptr;
    collide();
    EXPECT_TRUE(g_log.empty());
}

class SpawnRecordTest : public SpawnPointTest {
  protected:
    std::string Record(uint32_t version, const FileBytes &tail) {
        const std::string path = folder / "base.bin";
        {
            Archive archive;
            EXPECT_TRUE(archive.Open(path, "wb"));
            archive.SetVersion(version);
            Actor plain;
            plain.classId = 21;
            plain.actorId = 3000;
            plain.parentId = 2;
            plain.Serialize(archive, kSerializeSave);
            EXPECT_EQ(archive.Close(), 0);
        }
        return ReadAll(path) + tail.str();
    }
    int Read(uint32_t version, const std::string &bytes, SpawnPointActor *p) {
        Archive archive;
        EXPECT_TRUE(archive.OpenMemory(bytes.data(), static_cast<uint32_t>(bytes.size())));
        archive.SetVersion(version);
        archive.SerializeU32(0);
        archive.SerializeU32(0);
        return p->Serialize(archive, kSerializeLoad);
    }
};

TEST_F(SpawnRecordTest, WritesTheFieldsInOrderAtVersion70) {
    SpawnPointActor *p = MakePoint();
    p->useSpawnBox = 1;
    p->spawnBox = {1, 2, 3};
    AddRecord(p, "/a");
    p->records[0].name = "first";
    p->records[0].reserved = 4;
    p->records[0].weight = 5;
    p->records[0].maxCount = 6;
    p->records[0].recordType = 1;
    p->records[0].count = 7;
    p->nonSpawnPercent = 8;
    p->spawnOnStartGame = 1;
    p->minSpawnInterval = 2.5f;
    p->reserved = 9;
    p->useExternSpawn = 1;
    p->externSpawnPath = "/x";
    p->spawnMaxCount = 10;
    p->lastSpawnTime = 1.5f;
    p->spawnCounter = 11;
    const std::string path = folder / "p.bin";
    {
        Archive archive;
        ASSERT_TRUE(archive.Open(path, "wb"));
        archive.SetVersion(70);
        ASSERT_EQ(p->Serialize(archive, kSerializeSave), 1);
        ASSERT_EQ(archive.Close(), 0);
    }
    FileBytes tail;
    tail.U32(2).U32(1).F32(1).F32(2).F32(3).U32(1);
    tail.Str("first").U32(4).U32(5).U32(6).U32(1).U32(7).Str("/a");
    tail.U32(8).U32(0).U32(0).U32(1).F32(2.5f).U32(9).U32(1).Str("/x").U32(10).F32(1.5f).U32(11);
    const std::string bytes = ReadAll(path);
    ASSERT_GE(bytes.size(), tail.size());
    EXPECT_EQ(bytes.substr(bytes.size() - tail.size()), tail.str());

    SpawnPointActor back;
    back.externSpawnPath = "stale";
    ASSERT_EQ(Read(70, bytes, &back), 1);
    ASSERT_EQ(back.records.size(), 1u);
    EXPECT_EQ(
        std::tuple(back.records[0].name, back.records[0].objectPath, back.records[0].count,
                   back.externSpawnPath, back.lastSpawnTime, back.spawnCounter),
        std::tuple(std::string("first"), std::string("/a"), 7u, std::string("/x"), 1.5f, 11u));
}

TEST_F(SpawnRecordTest, OlderVersions) {
    // Version 22: no per-record maximum or path.
    FileBytes v22;
    v22.U32(2).U32(0).F32(50).F32(0).F32(50).U32(2);
    v22.Str("one").U32(0).U32(3).Str("two").U32(0).U32(4);
    v22.U32(0).U32(0).U32(0).U32(0).F32(1.0f);
    SpawnPointActor a;
    ASSERT_EQ(Read(22, Record(22, v22), &a), 1);
    ASSERT_EQ(a.records.size(), 2u);
    for (const SpawnRecord &r : a.records) {
        EXPECT_EQ(std::tuple(r.maxCount, r.objectPath), std::tuple(1000000u, std::string()));
    }
    EXPECT_EQ(std::tuple(a.records[0].name, a.records[1].weight, a.spawnOnStartGame),
              std::tuple(std::string("one"), 4u, 0u));
    // Version 18: spawn on start is on.
    FileBytes v18;
    v18.U32(2).U32(0).F32(50).F32(0).F32(50).U32(0).U32(0).U32(0).U32(0);
    SpawnPointActor b;
    ASSERT_EQ(Read(18, Record(18, v18), &b), 1);
    EXPECT_EQ(b.spawnOnStartGame, 1u);
    // Version 7: no list at all.
    FileBytes v7;
    v7.U32(1).U32(0).F32(50).F32(0).F32(50);
    SpawnPointActor c;
    c.records.resize(2);
    ASSERT_EQ(Read(7, Record(7, v7), &c), 1);
    EXPECT_TRUE(c.records.empty());
    EXPECT_EQ(c.spawnType, 1u);
}

TEST_F(SpawnRecordTest, CountsBeyondTheFileFail) {
    FileBytes huge;
    huge.U32(2).U32(0).F32(50).F32(0).F32(50).U32(0x08000000u).Str("a").U32(0).U32(1);
    SpawnPointActor p;
    EXPECT_EQ(Read(70, Record(70, huge), &p), 0);
    EXPECT_TRUE(p.records.empty());
}

} // namespace
