#include "core/actors/class_manager_actor.h"

#include "base/file_system.h"
#include "core/actors/actor_services.h"
#include "core/actors/class_descriptor.h"
#include "core/actors/command_ids.h"

void ClassManagerActor::RegisterClass() {
    ActorClassDescriptor &descriptor = NameClassDescriptor(kClassManagerClassId);
    descriptor.lineage = {kClassManagerClassId};
    descriptor.items.clear();
    descriptor.items.push_back(
        PropertyItem::PropertyItemBasic("Class Definition", PropertyKind::PageTitle, 0, 0));
    descriptor.items.push_back(
        PropertyItem::PropertyItemBasic("", PropertyKind::ClassDefinition, 0, 0));
    descriptor.items.push_back(
        PropertyItem::PropertyItemBasic("Global Classes", PropertyKind::PageTitle, 0, 0));
    descriptor.items.push_back(
        PropertyItem::PropertyItemBasic("", PropertyKind::GlobalClasses, 0, 0));
}

int ClassManagerActor::HandleCommand(uint32_t commandId, ParamBlock block) {
    if (commandId == cmd::base::Create) {
        return 1;
    }
    return Actor::HandleCommand(commandId, block);
}

int ClassManagerActor::Serialize(Archive &archive, uint32_t mode) {
    if (Actor::Serialize(archive, mode) == 0) {
        return 0;
    }
    if (archive.Version() != 0) {
        uint32_t reserved[2] = {0, 0};
        archive.SerializeWords(reserved, 2);
    }
    return archive.Failed() ? 0 : 1;
}
