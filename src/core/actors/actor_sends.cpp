#include "core/actors/actor_sends.h"

#include <string>

#include "core/actors/actor.h"

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

Actor *FirstChild(Actor *actor) {
    return actor != nullptr && !actor->children.empty() ? actor->children.front() : nullptr;
}
