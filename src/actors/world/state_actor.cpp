#include "actors/world/state_actor.h"

#include "core/actors/class_descriptor.h"

void StateActor::RegisterClass() {
    ActorClassDescriptor &descriptor = NameClassDescriptor(kStateClassId);
    descriptor.description = "State";
    descriptor.lineage = {0, kStateClassId};
    descriptor.items.clear();
    descriptor.items.push_back(
        PropertyItem::PropertyItemBasic("State Properties", PropertyKind::PageTitle, 0, 0));
}
