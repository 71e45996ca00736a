// Scheduled commands read from a file hold portable blocks until their
// owner's "Precalculate" or their first firing turns them live, once.
#include <cstring>
#include <tuple>

#include "base_handler_fixture.h"
#include "core/actors/param_convert.h"
#include "support/stored_entry.h"

namespace {

class NameResolver : public ActorPathResolver {
  public:
    Actor *FindActorByPath(std::string_view path, Actor *) const override {
        return path == "target" ? target : nullptr;
    }
    std::string ActorRelativePath(Actor *, Actor *) const override { return "target"; }
    Actor *target = nullptr;
};

class PortableEntryTest : public BaseHandlerTest {
  protected:
    void SetUp() override {
        BaseHandlerTest::SetUp();
        previous = InstallActorPathResolver(&resolver);
    }
    void TearDown() override {
        InstallActorPathResolver(previous);
        BaseHandlerTest::TearDown();
    }
    // An entry as the actor reader leaves it, linked.
    static ScheduledCommand *LoadedEntry(Actor *owner, uint32_t command,
                                         const std::vector<uint8_t> &bytes, float delay) {
        ScheduledCommand *entry = AddStoredEntry(owner, command, kScheduleOnce, bytes, delay);
        LinkScheduledCommand(entry);
        return entry;
    }
    NameResolver resolver;
    const ActorPathResolver *previous = nullptr;
};

Actor *PointerIn(const ScheduledCommand *entry) {
    Actor *actor = reinterpret_cast<Actor *>(1);
    EXPECT_EQ(entry->paramSize, sizeof(Actor *));
    std::memcpy(&actor, entry->params.get(), sizeof(actor));
    return actor;
}

std::vector<uint8_t> Text(const char *text) {
    return std::vector<uint8_t>(text, text + std::strlen(text) + 1);
}

TEST_F(PortableEntryTest, FirstFiringConvertsAnUnprecalculatedEntry) {
    RecordingActor *actor = MakeActor();
    RecordingActor *target = MakeActor();
    resolver.target = target;
    Send(target, 63, {Vector3{4, 5, 6}});
    LoadedEntry(actor, 270, Text("target"), 0.0f);
    RunFor(0.05f);
    ASSERT_EQ(actor->Count(270), 1u);
    EXPECT_EQ(actor->Only(270)[0].Read<Actor *>(0), target);
    EXPECT_EQ(actor->GetWorldPosition().y, 5.0f);
}

TEST_F(PortableEntryTest, PrecalculateConvertsOnceAndNestedCommandsGrow) {
    RecordingActor *actor = MakeActor();
    RecordingActor *child = MakeActor(actor);
    resolver.target = child;
    // 56 {141 {actor, 1, 0, 0}}: stored with a 4-byte pointer slot.
    std::vector<uint8_t> bytes(20, 0);
    const uint32_t nested = 141;
    const float strength = 1.0f;
    std::memcpy(bytes.data(), &nested, 4);
    std::memcpy(bytes.data() + 8, &strength, 4);
    ScheduledCommand *nestedEntry = LoadedEntry(actor, 56, bytes, 0.0f);
    ScheduledCommand *pathEntry = LoadedEntry(actor, 270, Text("target"), 5.0f);
    Send(actor, 153);
    EXPECT_EQ(nestedEntry->paramSize, 24u); // native: 8-byte pointer
    EXPECT_EQ(nestedEntry->state & kEntryPortable, 0);
    EXPECT_EQ(PointerIn(pathEntry), child);
    // A second "Precalculate" leaves the live blocks alone.
    Send(actor, 153);
    EXPECT_EQ(PointerIn(pathEntry), child);
    // The nested pointer is null in memory: the child skips the force.
    RunFor(0.05f);
    EXPECT_EQ(std::tuple(child->Count(141), child->deltaPosition.x), std::tuple(1u, 0.0f));
}

TEST_F(PortableEntryTest, AnActorGoneBeforeItsEntryRunsArrivesAsNull) {
    RecordingActor *actor = MakeActor();
    RecordingActor *loaded = MakeActor();
    RecordingActor *fresh = MakeActor();
    RecordingActor *kept = MakeActor();
    resolver.target = loaded;
    LoadedEntry(actor, 270, Text("target"), 0.5f);
    Send(actor, 153);
    for (Actor *pointer : {static_cast<Actor *>(fresh), static_cast<Actor *>(kept)}) {
        actor->ScheduleCommand(270, ParamBlock(&pointer, sizeof(pointer)), 0x1200, 0.5f, 0.0f,
                               0.0f);
    }
    Destroy(loaded);
    Destroy(fresh);
    RunFor(1.0f);
    ASSERT_EQ(actor->Count(270), 3u);
    EXPECT_EQ(std::tuple(actor->Only(270)[0].Read<Actor *>(0), actor->Only(270)[1].Read<Actor *>(0),
                         actor->Only(270)[2].Read<Actor *>(0)),
              std::tuple(nullptr, nullptr, static_cast<Actor *>(kept)));
    EXPECT_TRUE(kept->backLinks.empty()); // the entry's link went with it
}

TEST_F(PortableEntryTest, PathWithoutTerminatorGivesNull) {
    RecordingActor *actor = MakeActor();
    resolver.target = MakeActor();
    ScheduledCommand *entry = LoadedEntry(actor, 270, {'t', 'a', 'r'}, 0.0f);
    Send(actor, 153);
    EXPECT_EQ(PointerIn(entry), nullptr);
}

TEST_F(PortableEntryTest, LoadedRecursiveCommandIsNeverDelivered) {
    RecordingActor *actor = MakeActor();
    ScheduledCommand *entry = LoadedEntry(actor, 97, std::vector<uint8_t>(16, 0xEE), 0.0f);
    entry->kind = 3; // repeating: every attempt is refused
    entry->interval = 0.001f;
    RunFor(0.05f);
    EXPECT_EQ(actor->Count(97), 0u);
    EXPECT_TRUE(actor->scheduledCommands.empty()); // cancelled and gone
}

TEST_F(PortableEntryTest, BytesBeyondTheCommandsTypesNeverReachItsHandler) {
    RecordingActor *actor = MakeActor();
    // "Create", "nO Spawned" and "Add Collision Recursive" have no types;
    // their handlers take a first word as an address.
    std::vector<ScheduledCommand *> entries;
    for (uint32_t command : {158u, 346u, 1252u}) {
        entries.push_back(LoadedEntry(actor, command, std::vector<uint8_t>(40, 0x41), 0.0f));
    }
    // Nested in "Action Command", "Cur_DG" and "Cur_DG_And_NearDG".
    for (auto [carrier, nested] : {std::pair{217u, 158u}, {55u, 346u}, {54u, 158u}}) {
        std::vector<uint8_t> bytes(36, 0x41);
        std::memcpy(bytes.data(), &nested, 4);
        entries.push_back(LoadedEntry(actor, carrier, bytes, 0.0f));
    }
    Send(actor, 153);
    std::vector<uint32_t> sizes;
    for (const ScheduledCommand *entry : entries) {
        sizes.push_back(entry->paramSize);
    }
    ASSERT_EQ(sizes, (std::vector<uint32_t>{0, 0, 0, 4, 4, 4}));
    RunFor(0.05f);
    // "Create" without a source, once itself and once from "Action Command".
    EXPECT_EQ(std::tuple(actor->Count(158), actor->Count(346), actor->Count(1252)),
              std::tuple(2u, 1u, 1u));
    for (uint32_t command : {158u, 346u, 1252u}) {
        for (const RecordedCommand &call : actor->Only(command)) {
            EXPECT_TRUE(call.block.empty()) << command;
        }
    }
}

} // namespace
