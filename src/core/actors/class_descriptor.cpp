#include "core/actors/class_descriptor.h"
#include "core/actors/command_ids.h"

#include <cmath>
#include <iterator>
#include <utility>

std::vector<ActorClassDescriptor> ClassDescriptorTable;

const ActorClassName kActorClassNames[kClassCount] = {
    {"Base", "The base class for all actors, has position, rotation, radius, box, collision and script"},  // 0
    {"Actor System", "Actor System"},  // 1
    {"Sound", "Sound"},  // 2
    {"Object", "Object"},  // 3
    {"Light", "Directional, point or spotlight"},  // 4
    {"File", "File Actor is a placeholder in the hirarchy where to insert object from a actorfile (*.qva), it can hold multiple file names, and randomly select different files on construction."},  // 5
    {"FileIO", "FileIO actor is responsible for saving and loading actorfiles (*.qva)"},  // 6
    {"Environment", "Environment"},  // 7
    {"Class", "Class Manager"},  // 8
    {"Player", "Player"},  // 9
    {"Inventory", "Inventory"},  // 10
    {"Timer", "Time Line, used for timer scripts..."},  // 11
    {"Game Object", "Game Object"},  // 12
    {"Door", "Door"},  // 13
    {"Game Container", "Game Container is a an object that the player can interact with..."},  // 14
    {"Draw Group", "Draw Group"},  // 15
    {"Character", "Character"},  // 16
    {"SkinObject", "SkinObject"},  // 17
    {"Particle", "Particle System"},  // 18
    {"Camera", "Camera"},  // 19
    {"Draw Group Connector", "Connects Draw Groups"},  // 20
    {"Spawn Point", "Spawn Point"},  // 21
    {"Developer", "Do Not Use This!!!"},  // 22
    {"Developer 2", "Temp Send Voice Command"},  // 23
    {"Developer 3", "Temp Transform Object Trigger"},  // 24
    {"Guard", "Guard Character Control"},  // 25
    {"Path Node", "Path Node"},  // 26
    {"Path", "Path"},  // 27
    {"Matrix Animation", "Matrix Animation"},  // 28
    {"AI Player", "AI Player"},  // 29
    {"Ambient Sound", "Ambient Sound"},  // 30
    {"Trigger", "Trigger"},  // 31
    {"AI Helper", "AI Helper"},  // 32
    {"UI System", "UI System"},  // 33
    {"UI Button", "UI Button"},  // 34
    {"UI Text", "UI Text"},  // 35
    {"UI Sprite", "UI Sprite"},  // 36
    {"Reference", "A Reference to another Actor"},  // 37
    {"UI Map Input", "UI Map Input"},  // 38
    {"", ""},  // 39
    {"Animation", "Animation"},  // 40
    {"UVAnimation", "UVAnimation"},  // 41
    {"AutoAim", "AutoAim"},  // 42
    {"Simulation", "Simulation"},  // 43
    {"UI Window", "UI Window"},  // 44
    {"Save Game", "Save Game"},  // 45
    {"Lod", "Lod"},  // 46
    {"Time Instance", ""},  // 47
    {"Aim Target", "Do Not Use This!!!"},  // 48
    {"Player 2", "Do Not Use This!!!"},  // 49
    {"AI Player 2", "Do Not Use This!!!"},  // 50
    {"Character 2", "Do Not Use This!!!"},  // 51
    {"Light Sensor", ""},  // 52
    {"State", ""},  // 53
};

double SquareRootTransform(double value, uint32_t direction) {
    return direction != 0 ? value * value : std::sqrt(value);
}

PropertyItem::PropertyItem(std::string label_, PropertyKind kind_, uint32_t setCommand_,
                           uint32_t getCommand_, uint32_t ranged_, float minimum_, float maximum_,
                           float displayScale_, PropertyTransform transform_)
    : label(std::move(label_)), kind(kind_), setCommand(setCommand_), getCommand(getCommand_),
      ranged(ranged_), minimum(minimum_), maximum(maximum_), displayScale(displayScale_),
      transform(transform_) {}

PropertyItem PropertyItem::PropertyItemBasic(std::string label, PropertyKind kind,
                                             uint32_t setCommand, uint32_t getCommand) {
    return PropertyItem(std::move(label), kind, setCommand, getCommand, 0, 0.0f, 0.0f, 1.0f,
                        nullptr);
}

ActorClassDescriptor& NameClassDescriptor(uint32_t classId) {
    if (ClassDescriptorTable.size() < kClassCount)
        ClassDescriptorTable.resize(kClassCount);
    ActorClassDescriptor& descriptor = ClassDescriptorTable[classId];
    descriptor.name = kActorClassNames[classId].name;
    descriptor.description = kActorClassNames[classId].description;
    return descriptor;
}

void RegisterBasicClassSheet(uint32_t classId, std::span<const BasicSheetRow> rows) {
    ActorClassDescriptor& descriptor = NameClassDescriptor(classId);
    descriptor.lineage = {0, classId};
    descriptor.items.clear();
    AppendPropertyRows(descriptor, rows);
}

int FindClassDescriptorByName(std::string_view name) {
    for (size_t i = 0; i < ClassDescriptorTable.size(); ++i) {
        if (ClassDescriptorTable[i].name == name)
            return static_cast<int>(i);
    }
    return -1;
}

namespace {

// Commands 177-184 and 348 have no row in the command table; they are sent
// by id.
// clang-format off
const PropertySheetRow kBaseSheet[] = {
    {"Base Properties", PropertyKind::PageTitle, 0, 0},
    {"Operational", PropertyKind::CheckBox, cmd::base::SetOperational, cmd::base::GetOperational},
    {"Enabled", PropertyKind::CheckBox, cmd::base::SetEnabled, cmd::base::GetEnabled},
    {"Snap To Grid", PropertyKind::CheckBox, cmd::base::SetSnapToGrid, cmd::base::GetSnapToGrid},
    {"Lock Transform", PropertyKind::CheckBox, cmd::base::LockTransform, cmd::base::GetLockTransform},
    {"Lock Transform Recursive", PropertyKind::CheckBox, cmd::base::SetLockTransformRecursive, cmd::base::GetLockTransformRecursive},
    {"Dummy Object Style|Hidden|0|wire Z|8|wire|6|solid|5|solid Z|7|", PropertyKind::Enumeration, cmd::base::SetDummyObjectStyle, cmd::base::GetDummyObjectStyle},
    {"Position:", PropertyKind::Vector, cmd::base::SetPosition, cmd::base::GetPosition},
    {"Scale:", PropertyKind::ScaleVector, cmd::base::SetScale, cmd::base::GetScale},
    {"Rotation:", PropertyKind::Rotation, cmd::base::SetQuaternion, cmd::base::GetQuaternion},
    {"Event Properties", PropertyKind::PageTitle, 0, 0},
    {"Event", PropertyKind::EventScripts, 0, 0},
    {"Advanced Base Properties", PropertyKind::PageTitle, 0, 0},
    {"Tools", PropertyKind::Heading, 0, 0},
    {"Action Start Pre|Starte|", PropertyKind::Button, cmd::base::ActionStartPre, 0},
    {"Action Stop Pre|Stop|", PropertyKind::Button, cmd::base::ActionStopPre, 0},
    {"Clean Unused|Recursive|", PropertyKind::Button, cmd::base::SetCleanUnused, 0},
    {"Action Timers", PropertyKind::Heading, 0, 0},
    {"Kill Delay:", PropertyKind::Time, cmd::base::SetKillDelay, cmd::base::GetKillDelay},
    {"Kill Time:", PropertyKind::Time, cmd::base::SetKillTime, cmd::base::GetKillTime},
    {"Action Start Delay:", PropertyKind::Time, cmd::base::SetActionStartDelay, cmd::base::GetActionStartDelay},
    {"Action Start Time:", PropertyKind::Time, cmd::base::SetActionStartTime, cmd::base::GetActionStartTime},
    {"Action Stop Delay:", PropertyKind::Time, cmd::base::SetActionStopDelay, cmd::base::GetActionStopDelay},
    {"Action Stop Time:", PropertyKind::Time, cmd::base::SetActionStopTime, cmd::base::GetActionStopTime},
    {"Action Time:", PropertyKind::Time, cmd::base::SetActionTime, cmd::base::GetActionTime},
    {"Calc ActionTime:|Calc|", PropertyKind::Button, cmd::base::CalcActionTime_204, 0},
    {"Action Flags", PropertyKind::Heading, 0, 0},
    {"- Blocks From Parent", PropertyKind::Caption, 0, 0},
    {"Block Action_Start From Parent", PropertyKind::CheckBox, cmd::base::SetBlockStartFromParent, cmd::base::GetBlockStartFromParent},
    {"Block Action_Stop From Parent", PropertyKind::CheckBox, cmd::base::SetBlockStopFromParent, cmd::base::GetBlockStopFromParent},
    {"Block Action_Kill From Parent", PropertyKind::CheckBox, cmd::base::SetBlockKillFromParent, cmd::base::GetBlockKillFromParent},
    {"Block Action_Command From Parent:", PropertyKind::CheckBox, cmd::base::SetBlockCmdFromParent, cmd::base::GetBlockCmdFromParent},
    {"- Blocks To Children", PropertyKind::Caption, 0, 0},
    {"Block Action_Start To Children", PropertyKind::CheckBox, cmd::base::SetBlockStartToChildren, cmd::base::GetBlockStartToChildren},
    {"Block Action_Stop To Children", PropertyKind::CheckBox, cmd::base::SetBlockStopToChildren, cmd::base::GetBlockStopToChildren},
    {"Block Action_Kill To Children", PropertyKind::CheckBox, cmd::base::SetBlockKillToChildren, cmd::base::GetBlockKillToChildren},
    {"Block Action_Command To Children", PropertyKind::CheckBox, cmd::base::SetBlockCmdToChildren, cmd::base::GetBlockCmdToChildren},
    {"-", PropertyKind::Caption, 0, 0},
    {"Dont Execute Action_Command", PropertyKind::CheckBox, cmd::base::SetDontExecActionCommand, cmd::base::GetDontExecActionCommand},
    {"- AutoSend", PropertyKind::Caption, 0, 0},
    {"Action_Stop_Pre On Action_Start_Post", PropertyKind::CheckBox, cmd::base::SetStopPreOnStartPost, cmd::base::GetStopPreOnStartPost},
    {"Action_Start_Pre On Action_Stop_Post", PropertyKind::CheckBox, cmd::base::SetStartPreOnStopPost, cmd::base::GetStartPreOnStopPost},
    {"Action_Kill_Pre On Action_Start_Post", PropertyKind::CheckBox, cmd::base::SetKillPreOnStartPost, cmd::base::GetKillPreOnStartPost},
    {"Collision/Physics Management", PropertyKind::Heading, 0, 0},
    {"Collision Enable (all colobj):", PropertyKind::CheckBox, cmd::base::SetCollisionEnable, cmd::base::GetCollisionEnable},
    {"Object:", PropertyKind::ListSelector, cmd::base::SetCollisionStringlist, cmd::base::GetCollisionStringlist},
    {"Name", PropertyKind::Text, cmd::base::SetCollisionName, cmd::base::GetCollisionName},
    {"Don't Save (MeshSynced)", PropertyKind::CheckBox, cmd::base::SetCollisionSyncFromMesh, cmd::base::GetCollisionSyncFromMesh},
    {"Type:|Non|0|Sphere|1|Box|2|Y-Triangles|4|RayPoint|7|Triangle(Test)|5|TriangleBoxes|8|"
     "TriangleBoxes|9|TriangleBoxes|10|",
     PropertyKind::Enumeration, cmd::base::SetCollisionType, cmd::base::GetCollisionType},
    {"Create:|Create|", PropertyKind::Button, cmd::base::CreateCollision, 0},
    {"Delete Selected:|Delete|", PropertyKind::Button, cmd::base::DeleteCollision, 0},
    {"Physique Properties", PropertyKind::Heading, 0, 0},
    {"Subtype:|Normal|0|Event|1|Dynamic|2|GeometryEvent|3|_unused|4|", PropertyKind::Enumeration, cmd::base::SetCollisionSubtype, cmd::base::GetCollisionSubtype},
    {"Material:|Metal|0|Custom|1|Wood|2|Stone|3|Rubber|4|Glass|5|Mud|6|Character(no "
     "friction)|7|Grass|8|",
     PropertyKind::Enumeration, cmd::base::SetCollisionPhysique, cmd::base::GetCollisionPhysique},
    {"Box Min / Sphere Position", PropertyKind::Caption, 0, 0},
    {"Value:", PropertyKind::Vector, cmd::base::SetBoxMin, cmd::base::GetBoxMin},
    {"Box Max / Sphere Radius", PropertyKind::Caption, 0, 0},
    {"Value::", PropertyKind::Vector, cmd::base::SetBoxMax, cmd::base::GetBoxMax},
    {"Collision Properties", PropertyKind::Heading, 0, 0},
    {"Collision Active:", PropertyKind::CheckBox, cmd::base::SetCollisionActive, cmd::base::GetCollisionActive},
    {"Set Collision Group:", PropertyKind::GroupMask, cmd::base::SetCollisionGroups, cmd::base::GetCollisionGroups},
    {"Set Collision Group Receive:", PropertyKind::GroupMask, cmd::base::SetCollisionGroupsReceive, cmd::base::GetCollisionGroupsReceive},
    {"Set Collision Group Exclude:", PropertyKind::GroupMask, cmd::base::SetCollisionGroupsExclude, cmd::base::GetCollisionGroupsExclude},
    {"Global Hit Effect (GHE):", PropertyKind::GroupMask, cmd::base::SetCollisionGHE_130, cmd::base::GetCollisionGHE},
};
// clang-format on

} // namespace

void FillBaseClassDescriptor(ActorClassDescriptor& descriptor) {
    descriptor.name = kActorClassNames[0].name;
    descriptor.description = kActorClassNames[0].description;
    descriptor.lineage.assign(1, 0);
    descriptor.items.clear();
    AppendPropertyRows(descriptor, kBaseSheet);
}

void AppendPropertyRows(ActorClassDescriptor& descriptor, std::span<const PropertySheetRow> rows) {
    descriptor.items.reserve(descriptor.items.size() + rows.size());
    for (const PropertySheetRow& row : rows)
        descriptor.items.emplace_back(row.label, row.kind, row.setCommand, row.getCommand, 0, 0.0f,
                                      0.0f, row.displayScale, nullptr);
}

void FillNumberedLabels(ParamBlock block, std::string_view prefix, size_t count, size_t first) {
    auto* out = static_cast<std::vector<std::string>*>(block.ReadPointer(0));
    if (out == nullptr)
        return;
    out->clear();
    for (size_t i = 0; i < count; ++i)
        out->push_back(std::string(prefix) + std::to_string(first + i));
}
