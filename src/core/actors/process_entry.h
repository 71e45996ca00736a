// The every-pass "Process" entry that an actor keeps in processEntry.
#pragma once

class Actor;

// Schedules the actor's "Process" for every pass, in layer 2 (after the
// layer the actor system runs first), unless the actor already has its
// entry. Nothing is done for an entry the actor holds.
void EnsureProcessEntry(Actor &actor);
