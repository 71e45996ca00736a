// Fixture of the actor-system tests: the whole world made by
// InitActorSystem, and a recording actor class that the class factory makes
// for class 12 (Game Object).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "core/actors/actor.h"
#include "core/actors/actor_system.h"

// Class id under which the factory makes WorldRecorder actors.
inline constexpr int32_t kRecorderClass = 12;

// One delivered command. For "Recursive Command" the carried id and block
// are recorded too.
struct Delivery {
    int32_t actorId;
    std::string actorName;
    uint32_t commandId;
    std::vector<uint8_t> block;
    uint32_t innerId = 0;
    std::vector<uint8_t> innerBlock;

    template <class T> T Read(size_t offset, const std::vector<uint8_t> &bytes) const;
    Actor *PointerAt(size_t offset) const;
    int32_t InnerI32() const;
};

// Records every command into the fixture's log, then answers through the
// base handler. "Create" is refused when the actor's name is "refuse".
class WorldRecorder : public Actor {
  public:
    WorldRecorder() { classId = kRecorderClass; }
    int HandleCommand(uint32_t commandId, ParamBlock block) override;

    std::function<void(uint32_t, ParamBlock)> onCommand;
};

class ActorWorldTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // A recorder made through the factory under parent (Scenery when null).
    WorldRecorder *Make(const char *name, Actor *parent = nullptr, int32_t id = -1);

    // The commands delivered since the last call, then forgotten.
    std::vector<Delivery> TakeLog();
    // Ids of the deliveries in the log, in order (recursive ones as 97).
    static std::vector<uint32_t> Ids(const std::vector<Delivery> &log);
    // "<actor name> <command id>" of each delivery, or only the names of
    // the deliveries of one command.
    static std::vector<std::string> Trace(const std::vector<Delivery> &log);
    static std::vector<std::string> Names(const std::vector<Delivery> &log, uint32_t commandId);

    ActorSystem *system = nullptr;
    Actor *global = nullptr;
    Actor *scenery = nullptr;
    Actor *clipboard = nullptr;
};

// Every delivery to a recorder lands here.
std::vector<Delivery> &DeliveryLog();

template <class T> T Delivery::Read(size_t offset, const std::vector<uint8_t> &bytes) const {
    T v{};
    if (offset + sizeof(T) <= bytes.size()) {
        std::memcpy(&v, bytes.data() + offset, sizeof(T));
    }
    return v;
}
