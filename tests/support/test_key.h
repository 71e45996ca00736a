// A stand-in for a Game Object (class 12) key in tests: it answers "Get
// Gameobject Type" (603), "Get Keygroup" (630) and "Get Key Time" (644) with
// the values the test sets. TestKeyClass installs it as the class's
// constructor for as long as it lives.
#pragma once

#include <cstdint>

#include "core/actors/actor.h"
#include "core/actors/class_factory.h"
#include "core/actors/placeholder_actor.h"

namespace testkey {

inline constexpr uint32_t kGameObjectClassId = 12;
inline constexpr uint32_t kItemTypeKey = 2;

class TestKey : public Actor {
  public:
    TestKey() { classId = kGameObjectClassId; }

    int HandleCommand(uint32_t commandId, ParamBlock block) override {
        switch (commandId) {
        case 603:
            block.WriteU32(0, itemType);
            break;
        case 630:
            block.WriteU32(0, keyGroups);
            break;
        case 644:
            block.WriteF32(0, keyTime);
            break;
        default:
            break;
        }
        return Actor::HandleCommand(commandId, block);
    }

    uint32_t itemType = kItemTypeKey;
    uint32_t keyGroups = 0;
    float keyTime = 0.0f;
};

class TestKeyClass {
  public:
    TestKeyClass()
        : previous_(SetActorClassRowForTests(
              kGameObjectClassId,
              {kGameObjectClassId, &New, &RegisterPlaceholderClassOf<kGameObjectClassId>})) {}
    ~TestKeyClass() { SetActorClassRowForTests(kGameObjectClassId, previous_); }
    TestKeyClass(const TestKeyClass &) = delete;
    TestKeyClass &operator=(const TestKeyClass &) = delete;

  private:
    static Actor *New() { return new TestKey(); }
    ActorClassRow previous_;
};

} // namespace testkey
