#include "core/actors/null_actor.h"

#include "core/actors/actor_system.h"

namespace {

// Made on first use and never destroyed: they outlive every actor and are
// still valid while static objects are torn down at exit.
NullActor *Instance(int index) {
    static NullActor *const instances[2] = {new NullActor("NULLACTOR"), new NullActor("NULLACTOR")};
    return instances[index];
}

} // namespace

NullActor::NullActor(const char *actorName) {
    classId = kNullActorClassId;
    actorId = -1;
    name = actorName;
}

int NullActor::HandleCommand(uint32_t /*commandId*/, ParamBlock /*block*/) { return 1; }

NullActor *FirstNullActor() { return Instance(0); }

NullActor *GetNullActor(bool safe) { return Instance(safe ? 0 : 1); }

void ResetNullActorsForTests() {
    Instance(0)->name = "NULLACTOR";
    Instance(1)->name = "NULLACTOR";
}
