// One-value sends: the block holds the value itself. Nothing is sent to a
// null actor, and the answer is then 0; otherwise it is the handler's.
#pragma once

#include <cstdint>
#include <string_view>
#include <typeinfo>

#include "core/actors/param_block.h"

class Actor;

int SendWord(Actor *actor, uint32_t commandId, uint32_t word);
int SendReal(Actor *actor, uint32_t commandId, float value);
// The text with its terminator, from a copy: a handler that writes into its
// block leaves the caller's text alone.
int SendText(Actor *actor, uint32_t commandId, std::string_view text);
// "Recursive Command" carrying commandId with the inner block (null: none).
int SendRecursive(Actor *actor, uint32_t commandId, const ParamBlock *inner);

// Marks the class as one whose handler gives every command it has no case
// for, untouched, to Actor::HandleCommand and does nothing else with it; the
// mark holds for objects of exactly that type made for the class id.
void MarkClassPassingCommandsOn(uint32_t classId, const std::type_info &type);
// SendRecursive with an event that carries no parameters and that neither
// the base handler nor any class so marked answers (such as "On Load
// Resource Group"). The same actors receive it in the same order, but an
// actor of a marked class without spies or scripts, to which both commands
// would only pass on, is passed over without a delivery: its children are
// reached as the base handler would reach them.
int SendRecursiveEvent(Actor *actor, uint32_t eventId);

// The block as it is; 0 for a null actor, else the handler's answer.
int SendBlock(Actor *actor, uint32_t commandId, ParamBlock block);

// A query: the block holds the preset and the handler writes its answer over
// it. The preset comes back from a null actor and from a handler that leaves
// the block alone.
template <class T> T Query(Actor *actor, uint32_t commandId, T preset = T{}) {
    SendBlock(actor, commandId, ParamBlock(&preset, sizeof(preset)));
    return preset;
}

// The first direct child; null for a null actor or one without children.
Actor *FirstChild(Actor *actor);
