#include "actors/characters/ai_helper_actor.h"

#include "base/file_system.h"
#include "core/actors/actor_file_dump.h"
#include "core/actors/base_command_ids.h"
#include "core/actors/class_descriptor.h"

namespace {

const BasicSheetRow kSheet[] = {
    {"AI Helper Properties", PropertyKind::PageTitle, 0, 0},
    {"Type:|Stair Bottom|0|Stair Plane|1|Stair Top|2|Door Node|3|Node|4|Shelter|5|",
     PropertyKind::Enumeration, kCmdSetAIHelperType, kCmdGetAIHelperType},
    {"Radius:", PropertyKind::Real, kCmdSetAIHelperRadius, kCmdGetAIHelperRadius},
    {"Box:", PropertyKind::Vector, kCmdSetAIHelperBox, kCmdGetAIHelperBox},
};

} // namespace

void AIHelperActor::RegisterClass() { RegisterBasicClassSheet(kAIHelperClassId, kSheet); }

int AIHelperActor::HandleCommand(uint32_t commandId, ParamBlock block) {
    switch (commandId) {
    case kCmdSetAIHelperType:
        type = block.ReadU32(0);
        break;
    case kCmdGetAIHelperType:
        block.WriteU32(0, type);
        break;
    case kCmdSetAIHelperRadius:
        radius = block.ReadF32(0);
        break;
    case kCmdGetAIHelperRadius:
        block.WriteF32(0, radius);
        break;
    case kCmdSetAIHelperBox:
        box = block.Read<Vector3>(0);
        break;
    case kCmdGetAIHelperBox:
        block.Write(0, box);
        break;
    case kCmdCreate:
        if (auto *source = dynamic_cast<AIHelperActor *>(block.ReadActor(0));
            source != nullptr && source != this) {
            type = source->type;
            radius = source->radius;
            box = source->box;
        }
        break;
    default:
        break;
    }
    return Actor::HandleCommand(commandId, block);
}

int AIHelperActor::Serialize(Archive &archive, uint32_t mode) {
    if (Actor::Serialize(archive, mode) == 0) {
        return 0;
    }
    uint32_t spare[3] = {0, 0, 0};
    archive.SerializeWordsSince(1, &type, 1);
    archive.SerializeWordsSince(1, &radius, 1);
    archive.SerializeWordsSince(1, &box, 3);
    archive.SerializeWordsSince(1, spare, 3);
    return archive.Failed() ? 0 : 1;
}

void AIHelperActor::DumpClassFields(std::vector<std::string> &lines) const {
    const float extents[3] = {box.x, box.y, box.z};
    lines.push_back("aihelper type " + std::to_string(type) + " radius " + DumpNumber(radius) +
                    " box " + DumpNumbers(extents, 3));
}
