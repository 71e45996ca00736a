#include "core/actors/class_descriptor.h"

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
const PropertySheetRow kBaseSheet[] = {
    {"Base Properties", PropertyKind::PageTitle, 0, 0},
    {"Operational", PropertyKind::CheckBox, 39, 40},
    {"Enabled", PropertyKind::CheckBox, 34, 35},
    {"Snap To Grid", PropertyKind::CheckBox, 177, 178},
    {"Lock Transform", PropertyKind::CheckBox, 179, 180},
    {"Lock Transform Recursive", PropertyKind::CheckBox, 181, 182},
    {"Dummy Object Style|Hidden|0|wire Z|8|wire|6|solid|5|solid Z|7|", PropertyKind::Enumeration, 183, 184},
    {"Position:", PropertyKind::Vector, 63, 64},
    {"Scale:", PropertyKind::ScaleVector, 66, 67},
    {"Rotation:", PropertyKind::Rotation, 79, 80},
    {"Event Properties", PropertyKind::PageTitle, 0, 0},
    {"Event", PropertyKind::EventScripts, 0, 0},
    {"Advanced Base Properties", PropertyKind::PageTitle, 0, 0},
    {"Tools", PropertyKind::Heading, 0, 0},
    {"Action Start Pre|Starte|", PropertyKind::Button, 208, 0},
    {"Action Stop Pre|Stop|", PropertyKind::Button, 209, 0},
    {"Clean Unused|Recursive|", PropertyKind::Button, 348, 0},
    {"Action Timers", PropertyKind::Heading, 0, 0},
    {"Kill Delay:", PropertyKind::Time, 189, 190},
    {"Kill Time:", PropertyKind::Time, 191, 192},
    {"Action Start Delay:", PropertyKind::Time, 193, 194},
    {"Action Start Time:", PropertyKind::Time, 195, 196},
    {"Action Stop Delay:", PropertyKind::Time, 197, 198},
    {"Action Stop Time:", PropertyKind::Time, 199, 200},
    {"Action Time:", PropertyKind::Time, 201, 202},
    {"Calc ActionTime:|Calc|", PropertyKind::Button, 204, 0},
    {"Action Flags", PropertyKind::Heading, 0, 0},
    {"- Blocks From Parent", PropertyKind::Caption, 0, 0},
    {"Block Action_Start From Parent", PropertyKind::CheckBox, 274, 275},
    {"Block Action_Stop From Parent", PropertyKind::CheckBox, 276, 277},
    {"Block Action_Kill From Parent", PropertyKind::CheckBox, 278, 279},
    {"Block Action_Command From Parent:", PropertyKind::CheckBox, 280, 281},
    {"- Blocks To Children", PropertyKind::Caption, 0, 0},
    {"Block Action_Start To Children", PropertyKind::CheckBox, 282, 283},
    {"Block Action_Stop To Children", PropertyKind::CheckBox, 284, 285},
    {"Block Action_Kill To Children", PropertyKind::CheckBox, 286, 287},
    {"Block Action_Command To Children", PropertyKind::CheckBox, 288, 289},
    {"-", PropertyKind::Caption, 0, 0},
    {"Dont Execute Action_Command", PropertyKind::CheckBox, 290, 291},
    {"- AutoSend", PropertyKind::Caption, 0, 0},
    {"Action_Stop_Pre On Action_Start_Post", PropertyKind::CheckBox, 292, 293},
    {"Action_Start_Pre On Action_Stop_Post", PropertyKind::CheckBox, 294, 295},
    {"Action_Kill_Pre On Action_Start_Post", PropertyKind::CheckBox, 296, 297},
    {"Collision/Physics Management", PropertyKind::Heading, 0, 0},
    {"Collision Enable (all colobj):", PropertyKind::CheckBox, 145, 146},
    {"Object:", PropertyKind::ListSelector, 112, 113},
    {"Name", PropertyKind::Text, 110, 111},
    {"Don't Save (MeshSynced)", PropertyKind::CheckBox, 132, 133},
    {"Type:|Non|0|Sphere|1|Box|2|Y-Triangles|4|RayPoint|7|Triangle(Test)|5|TriangleBoxes|8|TriangleBoxes|9|TriangleBoxes|10|", PropertyKind::Enumeration, 114, 115},
    {"Create:|Create|", PropertyKind::Button, 108, 0},
    {"Delete Selected:|Delete|", PropertyKind::Button, 109, 0},
    {"Physique Properties", PropertyKind::Heading, 0, 0},
    {"Subtype:|Normal|0|Event|1|Dynamic|2|GeometryEvent|3|_unused|4|", PropertyKind::Enumeration, 120, 121},
    {"Material:|Metal|0|Custom|1|Wood|2|Stone|3|Rubber|4|Glass|5|Mud|6|Character(no friction)|7|Grass|8|", PropertyKind::Enumeration, 118, 119},
    {"Box Min / Sphere Position", PropertyKind::Caption, 0, 0},
    {"Value:", PropertyKind::Vector, 74, 75},
    {"Box Max / Sphere Radius", PropertyKind::Caption, 0, 0},
    {"Value::", PropertyKind::Vector, 76, 77},
    {"Collision Properties", PropertyKind::Heading, 0, 0},
    {"Collision Active:", PropertyKind::CheckBox, 122, 123},
    {"Set Collision Group:", PropertyKind::GroupMask, 124, 125},
    {"Set Collision Group Receive:", PropertyKind::GroupMask, 126, 127},
    {"Set Collision Group Exclude:", PropertyKind::GroupMask, 128, 129},
    {"Global Hit Effect (GHE):", PropertyKind::GroupMask, 130, 131},
};

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
