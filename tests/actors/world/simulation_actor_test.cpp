// The Simulation actor: its collision sphere, starting and stopping, the
// centre of mass, touch bookkeeping, its file record, sheet and dump line.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "actors/world/collision.h"
#include "actors/world/simulation_actor.h"
#include "core/actors/actor_file.h"
#include "core/actors/actor_file_dump.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/class_descriptor.h"
#include "core/actors/command_ids.h"
#include "support/scene_harness.h"
#include "support/temp_folder.h"

namespace {

class SimulationActorTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetActorWorldForTests();
        ASSERT_EQ(InitActorSystem(), 1);
        system = GetActorSystem();
        scenery = GetActorById(kSceneryRootId);
        savedDelta = RootTimeRecord()->delta;
        savedTime = RootTimeRecord()->time;
    }
    void TearDown() override {
        RootTimeRecord()->delta = savedDelta;
        RootTimeRecord()->time = savedTime;
        ResetActorWorldForTests();
    }

    SimulationActor *NewSimulation(const char *name, int32_t id = -1, Actor *parent = nullptr) {
        return dynamic_cast<SimulationActor *>(CreateActor(
            static_cast<int32_t>(kSimulationClassId), name, nullptr,
            parent != nullptr ? parent : scenery, id, true));
    }
    // Tells the actor that another object touched it.
    void Touch(SimulationActor *sim, ColObj *other) {
        ColObj *pair[2] = {other, sim->colObjs.empty() ? nullptr : sim->colObjs[0].get()};
        sim->HandleCommand(cmd::base::CollisionEvent, ParamBlock(pair, sizeof(pair)));
    }

    TempFolder folder;
    ActorSystem *system = nullptr;
    Actor *scenery = nullptr;
    float savedDelta = 0.0f;
    float savedTime = 0.0f;
};

TEST_F(SimulationActorTest, CreateGivesADynamicSphereOfRadius50) {
    SimulationActor *sim = NewSimulation("Ball");
    ASSERT_NE(sim, nullptr);
    ASSERT_EQ(sim->colObjs.size(), 1u);
    const ColObj &c = *sim->colObjs[0];
    EXPECT_EQ(std::tuple(c.name, c.type, c.boxMax.x, c.material, c.flags & 0x7Fu, c.groups,
                         c.receiveGroups, c.owner),
              std::tuple("Simulation", 1u, 50.0f, 0u, 0x67u, 1u, 1u, static_cast<Actor *>(sim)));
    EXPECT_EQ(std::vector<float>({c.boxMin.x, c.boxMin.y, c.boxMin.z}),
              std::vector<float>({0, 0, 0}));
    // A copy takes the template's objects, not a second sphere.
    Actor *copy = CreateActor(0, "copy", sim, scenery, -1, true);
    EXPECT_EQ(copy->colObjs.size(), 1u);
}

TEST_F(SimulationActorTest, StartAndStopSwitchCollisionOnlyWhenNeeded) {
    SimulationActor *sim = NewSimulation("Ball");
    scene::SpyLog log;
    log.Watch(sim);
    ASSERT_TRUE(sim->HasFlag(kActorCollisionEnabled));
    SendCommandArgs(sim, 211u);
    EXPECT_EQ(std::tuple(log.Count("Ball", 139), log.Count("Ball", 145)), std::tuple(1u, 0u));
    EXPECT_TRUE(sim->HasFlag(kActorSimulated));

    log.Take();
    SendCommandArgs(sim, 215u);
    EXPECT_EQ(std::tuple(log.Count("Ball", 145), log.Count("Ball", 140)), std::tuple(1u, 1u));
    EXPECT_FALSE(sim->HasFlag(kActorCollisionEnabled) || sim->HasFlag(kActorSimulated));

    log.Take();
    SendCommandArgs(sim, 215u); // collision already off: only the stop
    EXPECT_EQ(std::tuple(log.Count("Ball", 145), log.Count("Ball", 140)), std::tuple(0u, 1u));

    log.Take();
    SendCommandArgs(sim, 211u);
    EXPECT_EQ(std::tuple(log.Count("Ball", 139), log.Count("Ball", 145)), std::tuple(1u, 1u));
    EXPECT_TRUE(sim->HasFlag(kActorCollisionEnabled));
}

TEST_F(SimulationActorTest, PrecalculateTakesTheCentreOfMassFromItsChild) {
    SimulationActor *plain = NewSimulation("plain");
    plain->simParams = std::make_unique<SimParams>();
    plain->simParams->words[15] |= kSimCentreNotTaken;
    SendCommandArgs(plain, 153u);
    EXPECT_TRUE(plain->simState != nullptr);
    const Vector3 none = plain->simParams->CentreOfMass();
    EXPECT_EQ(std::vector<float>({none.x, none.y, none.z}), std::vector<float>({0, 0, 0}));
    EXPECT_NE(plain->simParams->Flags() & kSimCentreNotTaken, 0u);

    SimulationActor *sim = NewSimulation("Ball");
    Actor *centre = CreateActor(0, "CenterOfMass", nullptr, sim, -1, true);
    centre->position = {1, -2, 3};
    sim->simParams = std::make_unique<SimParams>();
    sim->simParams->words[15] |= kSimCentreNotTaken;
    SendCommandArgs(sim, 153u);
    const Vector3 c = sim->simParams->CentreOfMass();
    EXPECT_EQ(std::vector<float>({c.x, c.y, c.z}), std::vector<float>({1, -2, 3}));
    EXPECT_EQ(sim->simParams->Flags() & kSimCentreNotTaken, 0u);
}

TEST_F(SimulationActorTest, TouchesAreNotedOncePerIntervalAndTheSubscriptionFollowsThem) {
    SimulationActor *sim = NewSimulation("Ball");
    Actor *other = CreateActor(0, "other", nullptr, scenery, -1, true);
    ColObj otherObject(other);
    sim->interval = 2.0f;
    RootTimeRecord()->time = 10.0f;
    SendCommandArgs(sim, 153u);
    EXPECT_EQ(sim->lastNotedTime, 8.0f);

    RootTimeRecord()->time = 10.5f;
    Touch(sim, &otherObject);
    EXPECT_EQ(sim->toucher.target, other);
    ScheduledCommand *subscription = sim->processEntry;
    ASSERT_NE(subscription, nullptr);
    EXPECT_EQ(std::tuple(subscription->command, subscription->kind, subscription->layer),
              std::tuple(167u, uint8_t{1}, uint8_t{2}));
    Touch(sim, &otherObject); // a second touch in the frame: no second entry
    EXPECT_EQ(sim->processEntry, subscription);
    sim->Process();
    EXPECT_EQ(std::tuple(sim->lastNotedTime, sim->touchedBefore), std::tuple(10.5f, 1u));

    // Touching ends: the toucher is let go and the subscription cancelled.
    RootTimeRecord()->time = 11.0f;
    sim->Process();
    EXPECT_EQ(std::tuple(sim->lastNotedTime, sim->toucher.target, sim->processEntry),
              std::tuple(10.5f, nullptr, nullptr));

    // A touch 1 s after the noted one is within the interval.
    RootTimeRecord()->time = 11.5f;
    Touch(sim, &otherObject);
    EXPECT_NE(sim->processEntry, nullptr); // subscribed again
    sim->Process();
    EXPECT_EQ(sim->lastNotedTime, 10.5f);
    RootTimeRecord()->time = 12.0f;
    sim->Process();
    RootTimeRecord()->time = 13.0f;
    Touch(sim, &otherObject);
    sim->Process();
    EXPECT_EQ(sim->lastNotedTime, 13.0f);

    // A toucher that goes is forgotten; collision on clears the marks.
    Touch(sim, &otherObject);
    ASSERT_EQ(DeleteActor(other), 1);
    system->Process();
    EXPECT_EQ(sim->toucher.target, nullptr);
    SendCommandArgs(sim, 145u, true);
    EXPECT_EQ(std::tuple(sim->touchedNow, sim->touchedBefore), std::tuple(0u, 0u));
}

TEST_F(SimulationActorTest, IntervalAndSecondValueAreSavedFromVersion21) {
    SimulationActor *sim = NewSimulation("Ball", 3000);
    sim->interval = 2.5f;
    sim->second = -0.75f;
    sim->simParams = std::make_unique<SimParams>();
    sim->simParams->words[0] = 5;
    const std::string path = folder / "sim.qva";
    ASSERT_EQ(SaveActors(path, 3000, 3001, kSerializeSave), 1);
    const std::string bytes = folder.Get("sim.qva");
    const std::string tail("\x00\x00\x20\x40\x00\x00\x40\xBF", 8);
    EXPECT_EQ(bytes.substr(bytes.size() - tail.size()), tail);
    ASSERT_EQ(DeleteActor(sim), 1);
    system->Process();
    ASSERT_EQ(LoadActors(path, kSerializeLoad), 1) << system->errorText;
    auto *loaded = dynamic_cast<SimulationActor *>(GetActorById(3000));
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(std::tuple(loaded->interval, loaded->second, loaded->colObjs.size()),
              std::tuple(2.5f, -0.75f, 1u));
    std::vector<std::string> lines;
    loaded->DumpClassFields(lines);
    EXPECT_EQ(lines, std::vector<std::string>{"simulation interval 2.5 second -0.75"});
}

TEST_F(SimulationActorTest, DescriptorAndSheet) {
    const ActorClassDescriptor &d = ClassDescriptorTable[kSimulationClassId];
    EXPECT_EQ(std::tuple(d.name, d.lineage), std::tuple("Simulation", std::vector<uint32_t>{0, 43}));
    std::vector<std::string> rows;
    for (const PropertyItem &item : d.items) {
        rows.push_back(item.label + " " + std::to_string(static_cast<int>(item.kind)) + " " +
                       std::to_string(item.setCommand) + "/" + std::to_string(item.getCommand) +
                       (item.transform == &SquareRootTransform ? " sqrt" : ""));
    }
    EXPECT_EQ(rows, (std::vector<std::string>{
                        "Simulation Properties 13 0/0",
                        "SimulationStyle:|PositionOnly|1|RigidBody|2|CylinerApprox|3|BoxApprox|4|"
                        "SphereApprox|5|_extra2|6|_extra3|7|_extra4|8| 16 302/303",
                        "Weight 4 304/305",
                        "AirResistanceMultiplier 8 308/309",
                        "AirResistanceRotMultiplier 4 310/311",
                        "GravityMul 4 312/313",
                        "FrictionMultiplier 4 314/315",
                        "Bounce->Slide Treshold|cm/s| 4 316/317 sqrt",
                        "Slide->Rest Treshold|cm/s| 4 318/319 sqrt",
                        "StopRest Treshold 4 320/321 sqrt",
                        "StickyForce 4 322/323",
                        "DirectionByMovement 17 324/325",
                    }));
}

} // namespace
