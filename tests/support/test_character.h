// A stand-in for the Character class (16) in tests: it answers the look
// queries other actors ask a character ("Get Look Rot X" 981, "Get Look Rot
// Y Offset" 988, "Get LookDirection" 990) with values the test sets (0 by
// default, copied by "Create"), can be made the master character and can
// carry a "Character Col" sphere. Its collision-hold word is what
// CharacterCollisionHold answers for it. TestCharacterClass installs it as
// the class's constructor (and the hold reader) for as long as it lives.
#pragma once

#include <cstdint>
#include <memory>

#include "actors/characters/character_seams.h"
#include "base/math.h"
#include "core/actors/actor.h"
#include "core/actors/actor_services.h"
#include "core/actors/class_factory.h"
#include "core/actors/command_ids.h"
#include "core/actors/placeholder_actor.h"

namespace testcharacter {

inline constexpr uint32_t kCharacterClassId = 16;

class TestCharacter : public Actor {
  public:
    TestCharacter() { classId = kCharacterClassId; }

    int HandleCommand(uint32_t commandId, ParamBlock block) override {
        switch (commandId) {
        case 981:
            block.Write(0, lookRotX);
            break;
        case 988:
            block.Write(0, lookRotYOffset);
            break;
        case 990:
            block.Write(0, lookDirection);
            break;
        case cmd::base::Create:
            if (auto *source = dynamic_cast<TestCharacter *>(block.ReadActor(0))) {
                if (source != this) {
                    lookRotX = source->lookRotX;
                    lookRotYOffset = source->lookRotYOffset;
                    lookDirection = source->lookDirection;
                }
            }
            break;
        default:
            break;
        }
        return Actor::HandleCommand(commandId, block);
    }

    void SetMaster(bool on) { flags = on ? (flags | kActorMaster) : (flags & ~kActorMaster); }

    // A sphere of the radius about the origin: solid, dynamic, groups 1,
    // receive groups 1.
    ColObj &AddCharacterCol(float radius = 20.0f) {
        ColObj object(this);
        object.name = "Character Col";
        object.type = 1;
        object.flags = kColObjActive | kColObjDynamic | kColObjSolid;
        object.groups = 1;
        object.receiveGroups = 1;
        object.boxMin = {0.0f, 0.0f, 0.0f};
        object.boxMax = {radius, radius, radius};
        return AddColObj(object);
    }

    float lookRotX = 0.0f;
    float lookRotYOffset = 0.0f;
    Vector3 lookDirection = {0.0f, 0.0f, 0.0f};
    uint32_t collisionHold = 0;
};

// Class 16 makes TestCharacters while this lives; the previous row comes
// back after.
class TestCharacterClass {
  public:
    TestCharacterClass()
        : previous_(SetActorClassRowForTests(
              kCharacterClassId,
              {kCharacterClassId, &New, &RegisterPlaceholderClassOf<kCharacterClassId>})),
          previousReader_(SetCollisionHoldReader(&Hold)) {}
    ~TestCharacterClass() {
        SetCollisionHoldReader(previousReader_);
        SetActorClassRowForTests(kCharacterClassId, previous_);
    }
    TestCharacterClass(const TestCharacterClass &) = delete;
    TestCharacterClass &operator=(const TestCharacterClass &) = delete;

  private:
    static Actor *New() { return new TestCharacter(); }
    static uint32_t Hold(const Actor *actor) {
        const auto *character = dynamic_cast<const TestCharacter *>(actor);
        return character != nullptr ? character->collisionHold : 0;
    }
    ActorClassRow previous_;
    CollisionHoldReader previousReader_;
};

} // namespace testcharacter
