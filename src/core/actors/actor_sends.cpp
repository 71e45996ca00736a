#include "core/actors/actor_sends.h"

#include <array>
#include <string>
#include <vector>

#include "core/actors/actor.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"

int SendWord(Actor *actor, uint32_t commandId, uint32_t word) {
    return actor != nullptr ? actor->HandleCommand(commandId, ParamBlock(&word, sizeof(word))) : 0;
}

int SendReal(Actor *actor, uint32_t commandId, float value) {
    return actor != nullptr ? actor->HandleCommand(commandId, ParamBlock(&value, sizeof(value)))
                            : 0;
}

int SendBlock(Actor *actor, uint32_t commandId, ParamBlock block) {
    return actor != nullptr ? actor->HandleCommand(commandId, block) : 0;
}

int SendText(Actor *actor, uint32_t commandId, std::string_view text) {
    if (actor == nullptr) {
        return 0;
    }
    std::string copy(text);
    return actor->HandleCommand(commandId, ParamBlock(copy.data(), copy.size() + 1));
}

int SendRecursive(Actor *actor, uint32_t commandId, const ParamBlock *inner) {
    if (actor == nullptr) {
        return 0;
    }
    RecursiveCommandParams params{commandId, inner};
    return actor->HandleCommand(kRecursiveCommandId, ParamBlock(&params, sizeof(params)));
}

namespace {

// Per class id, the type of object that passes unknown commands on (see
// MarkClassPassingCommandsOn); the base actor and the actor system to start
// with.
std::array<const std::type_info *, kHighestClassId + 1> &PassingTypes() {
    static std::array<const std::type_info *, kHighestClassId + 1> types = [] {
        std::array<const std::type_info *, kHighestClassId + 1> start{};
        start[0] = &typeid(Actor);
        start[kActorSystemClassId] = &typeid(ActorSystem);
        return start;
    }();
    return types;
}

// A delivery of the recursive event would do nothing to the actor itself.
bool OnlyPassesOn(const Actor &actor) {
    const auto &types = PassingTypes();
    return actor.classId < types.size() && types[actor.classId] == &typeid(actor) &&
           actor.spies.empty() && actor.scripts.empty();
}

} // namespace

void MarkClassPassingCommandsOn(uint32_t classId, const std::type_info &type) {
    if (classId < PassingTypes().size()) {
        PassingTypes()[classId] = &type;
    }
}

int SendRecursiveEvent(Actor *actor, uint32_t eventId) {
    if (actor == nullptr || !OnlyPassesOn(*actor)) {
        return SendRecursive(actor, eventId, nullptr);
    }
    RecursiveCommandParams params{eventId, nullptr};
    const ParamBlock block(&params, sizeof(params));
    // The base handler's walk, depth first: each actor's children noted when
    // the actor is reached, each looked up again when its turn comes. The
    // notes are kept from call to call; a call made by a handler on the way
    // stacks its own above them and takes them away again.
    struct Level {
        Actor *parent;
        size_t first;
        size_t next;
        size_t end;
    };
    static std::vector<ChildRef> noted;
    static std::vector<Level> levels;
    const size_t base = levels.size();
    const auto enter = [](Actor *parent) {
        const size_t first = noted.size();
        for (Actor *child : parent->children) {
            if (child != nullptr) {
                noted.push_back({child->actorId, child});
            }
        }
        levels.push_back({parent, first, first, noted.size()});
    };
    enter(actor);
    while (levels.size() > base) {
        Level &level = levels.back();
        if (level.next == level.end) {
            noted.resize(level.first);
            levels.pop_back();
            continue;
        }
        const ChildRef ref = noted[level.next++];
        Actor *child = ResolveChild(level.parent, ref);
        if (child == nullptr) {
            continue;
        }
        if (OnlyPassesOn(*child)) {
            enter(child);
        } else {
            child->HandleCommand(kRecursiveCommandId, block);
        }
    }
    return 1;
}

Actor *FirstChild(Actor *actor) {
    return actor != nullptr && !actor->children.empty() ? actor->children.front() : nullptr;
}
