#include "actors/world/reference_actor.h"

#include "base/file_system.h"
#include "core/actors/actor_file_dump.h"
#include "core/actors/class_descriptor.h"
#include "core/actors/command_ids.h"

void ReferenceActor::RegisterClass() {
    ActorClassDescriptor &descriptor = NameClassDescriptor(kReferenceClassId);
    descriptor.lineage = {0, kReferenceClassId};
    descriptor.items.clear();
    descriptor.items.push_back(
        PropertyItem::PropertyItemBasic("Reference Properties", PropertyKind::PageTitle, 0, 0));
    descriptor.items.push_back(PropertyItem::PropertyItemBasic(
        "Path:", PropertyKind::Text, cmd::reference::SetReferencePath,
        cmd::reference::GetReferencePath));
}

int ReferenceActor::HandleCommand(uint32_t commandId, ParamBlock block) {
    switch (commandId) {
    // The tree's own commands: it hangs below its parent, goes into the
    // files of its parent's subtree and lets the walks over that subtree
    // through, like any actor.
    case cmd::base::BuildTree:
    case cmd::base::NOSpawned:
    case cmd::base::SetSavedRecursive:
    case cmd::base::CollectDescendants:
    case cmd::base::FindChildByClass:
    case cmd::base::FindDescendantByClass:
    case cmd::base::FindChildByName:
    case cmd::base::FindDescendantByName:
        return Actor::HandleCommand(commandId, block);
    default:
        return DoNothingReturnOne(commandId, block);
    }
}

int ReferenceActor::Serialize(Archive &archive, uint32_t mode) {
    if (Actor::Serialize(archive, mode) == 0) {
        return 0;
    }
    if (archive.Version() >= 1) {
        archive.SerializeWord(&referencedId);
        // A stored empty text leaves a string as it was: start from none.
        if (!archive.IsWriting()) {
            referencePath.clear();
        }
        archive.SerializeString(referencePath);
    }
    if (!archive.IsWriting() && archive.Failed()) {
        return 0;
    }
    return 1;
}

void ReferenceActor::DumpClassFields(std::vector<std::string> &lines) const {
    lines.push_back("reference id " + std::to_string(referencedId) + " path " +
                    DumpText(referencePath));
}
