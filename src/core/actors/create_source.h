// The template of a "Create": the actor the block's first word points at,
// taken only when it has the creating actor's class.
#pragma once

#include "core/actors/param_block.h"

// The template when it is an actor of the class T other than `self`; null
// otherwise (a copy of itself copies nothing).
template <class T> T *CreateSource(const T &self, ParamBlock block) {
    auto *source = dynamic_cast<T *>(block.ReadActor(0));
    return source != &self ? source : nullptr;
}
