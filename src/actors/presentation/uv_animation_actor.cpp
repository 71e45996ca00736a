#include "actors/presentation/uv_animation_actor.h"

#include "core/actors/class_descriptor.h"
#include "core/actors/command_ids.h"
#include "core/actors/draw_group_hooks.h"

namespace {


} // namespace

void UVAnimationActor::RegisterClass() {
    ActorClassDescriptor &descriptor = NameClassDescriptor(kUVAnimationClassId);
    descriptor.lineage = {0, kUVAnimationClassId};
    descriptor.items.clear();
    descriptor.items.push_back(
        PropertyItem::PropertyItemBasic("UVAnimation Properties", PropertyKind::PageTitle, 0, 0));
}

void UVAnimationActor::SwitchCollision(bool on) {
    RemoveActorFromDrawGroup(this, 0);
    uint32_t value = on ? 1u : 0u;
    HandleCommand(cmd::base::SetCollisionEnable, ParamBlock(&value, sizeof(value)));
    AddActorToDrawGroup(this, 0);
}

int UVAnimationActor::HandleCommand(uint32_t commandId, ParamBlock block) {
    switch (commandId) {
    case cmd::base::ActionStart:
    case cmd::base::Kill:
        if (!HasFlag(kActorCollisionEnabled)) {
            SwitchCollision(true);
        }
        break;
    case cmd::base::ActionStop:
        if (HasFlag(kActorCollisionEnabled)) {
            SwitchCollision(false);
        }
        break;
    default:
        break;
    }
    return Actor::HandleCommand(commandId, block);
}

int UVAnimationActor::Serialize(Archive &archive, uint32_t mode) {
    return Actor::Serialize(archive, mode);
}
