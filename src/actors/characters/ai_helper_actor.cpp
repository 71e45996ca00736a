#include "actors/characters/ai_helper_actor.h"

#include "base/file_system.h"
#include "core/actors/actor_file_dump.h"
#include "core/actors/class_descriptor.h"
#include "core/actors/command_ids.h"
#include "core/actors/create_source.h"

namespace {

// clang-format off
const BasicSheetRow kSheet[] = {
    {"AI Helper Properties", PropertyKind::PageTitle, 0, 0},
    {"Type:|Stair Bottom|0|Stair Plane|1|Stair Top|2|Door Node|3|Node|4|Shelter|5|",
     PropertyKind::Enumeration, cmd::ai_helper::SetAIHelperType, cmd::ai_helper::GetAIHelperType},
    {"Radius:", PropertyKind::Real, cmd::ai_helper::SetAIHelperRadius, cmd::ai_helper::GetAIHelperRadius},
    {"Box:", PropertyKind::Vector, cmd::ai_helper::SetAIHelperBox, cmd::ai_helper::GetAIHelperBox},
};
// clang-format on

} // namespace

void AIHelperActor::RegisterClass() { RegisterBasicClassSheet(kAIHelperClassId, kSheet); }

int AIHelperActor::HandleCommand(uint32_t commandId, ParamBlock block) {
    switch (commandId) {
    case cmd::ai_helper::SetAIHelperType:
        type = block.ReadU32(0);
        break;
    case cmd::ai_helper::GetAIHelperType:
        block.WriteU32(0, type);
        break;
    case cmd::ai_helper::SetAIHelperRadius:
        radius = block.ReadF32(0);
        break;
    case cmd::ai_helper::GetAIHelperRadius:
        block.WriteF32(0, radius);
        break;
    case cmd::ai_helper::SetAIHelperBox:
        box = block.Read<Vector3>(0);
        break;
    case cmd::ai_helper::GetAIHelperBox:
        block.Write(0, box);
        break;
    case cmd::base::Create:
        if (auto *source = CreateSource(*this, block)) {
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
