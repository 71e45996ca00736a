// Actor class descriptors and their property sheets.
//
// Every actor class has a descriptor: a name, a description, the lineage of
// class ids an actor of the class belongs to, and a property sheet, the
// ordered list of controls through which an editing front end shows and
// changes an actor. Each control names the command that sets its value and
// the command that reads it back, so editing an actor is sending it commands.
// The running game builds the sheets at start-up and never reads them back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/actors/param_block.h"

// Which control a property item is; the control edits the parameter type of
// its set and get commands. No other values are used.
enum class PropertyKind : uint32_t {
    Color = 1,            // "Color"
    WholeNumber = 3,      // "UInt32" (or "Bool")
    Real = 4,             // "Real", optionally ranged, scaled or transformed
    Text = 6,             // "String"
    Rotation = 7,         // "Quaternion"
    Vector = 8,           // "Vector3"
    SoundPick = 9,        // "Pointer" to a sound item
    MaterialPick = 10,    // "Pointer", "UInt32" (material and sub-mesh index)
    MeshPick = 11,        // "Pointer" to a mesh item
    Caption = 12,         // caption line without value
    PageTitle = 13,       // starts a new page
    Button = 14,          // its set command is the action it triggers
    Enumeration = 16,     // "UInt32", label lists name|value| pairs
    CheckBox = 17,        // "Bool"
    SaveFileDialog = 18,  // "String"
    OpenFileDialog = 19,  // "String"
    ListSelector = 20,    // "String" or "Pointer"
    ClassDefinition = 22, // the Class Manager's "Class Definition" page
    GlobalClasses = 24,   // the Class Manager's "Global Classes" page
    MotionPick = 25,      // "Pointer" to a motion item
    ListNumber = 26,      // "UInt32" picked from a list
    LibraryMaterial = 27, // "UInt32", library material by number
    GroupMask = 32,       // "UInt32" group bit mask
    Time = 33,            // "Real" time value
    EventScripts = 34,    // the scripts bound to the actor's events
    Heading = 35,         // group heading
    TimedEvents = 36,     // the timed events of the Timer class
    TimeLineValue = 37,   // "Real" on the Timer class's time line
    FontPick = 38,        // "UInt32"
    MultiLineText = 39,   // "String"
    RealCompanion = 41,   // "Real" belonging to the item before it
    ScaleVector = 42,     // "Vector3"
    LightControl = 43,    // a Light class control without label or commands
    ActorReference = 44,  // "ActorPointerExt"
    Angle = 45,           // "Real" in radians, optionally ranged
};

// Converts between a stored and a shown value; direction non-zero goes from
// shown to stored, 0 from stored to shown.
using PropertyTransform = double (*)(double value, uint32_t direction);

// Direction non-zero squares the value, direction 0 takes its square root.
// Used for speed thresholds stored as squares.
double SquareRootTransform(double value, uint32_t direction);

struct PropertyItem {
    // The control's caption, followed by the kind's extra fields after
    // vertical bars ("Type:|Point|0|Spot|1|", "Speed:|%|", ...).
    std::string label;
    PropertyKind kind = PropertyKind::Caption;
    uint32_t setCommand = 0; // command sent with a new value; 0 = none
    uint32_t getCommand = 0; // query command that reads the value; 0 = none
    uint32_t ranged = 0;     // 1 = the value is limited to [minimum, maximum]
    float minimum = 0.0f;
    float maximum = 0.0f;
    float displayScale = 1.0f; // 100 for "%" fields
    PropertyTransform transform = nullptr;

    PropertyItem(std::string label, PropertyKind kind, uint32_t setCommand, uint32_t getCommand,
                 uint32_t ranged, float minimum, float maximum, float displayScale,
                 PropertyTransform transform);

    // Unranged, unscaled, untransformed.
    static PropertyItem PropertyItemBasic(std::string label, PropertyKind kind,
                                          uint32_t setCommand, uint32_t getCommand);
};

struct ActorClassDescriptor {
    std::string name;
    std::string description;
    std::vector<uint32_t> lineage; // class ids, most general first
    std::vector<PropertyItem> items; // the property sheet in display order
};

inline constexpr size_t kClassCount = 54;

struct ActorClassName {
    const char* name;
    const char* description;
};

// Name and description of every class id; entry 39 is unused and empty.
// A class's registration copies its entry into its descriptor.
extern const ActorClassName kActorClassNames[kClassCount];

// Indexed by class id. Made with kClassCount empty descriptors by the command
// registration, which fills entry 0; each class registration fills its own.
extern std::vector<ActorClassDescriptor> ClassDescriptorTable;

// Copies kActorClassNames[classId] into the table entry and returns it.
// classId must be below kClassCount.
ActorClassDescriptor& NameClassDescriptor(uint32_t classId);

// One property-sheet row: unranged and untransformed; "%" fields give their
// display scale.
struct BasicSheetRow {
    const char* label;
    PropertyKind kind;
    uint32_t setCommand;
    uint32_t getCommand;
    float displayScale = 1.0f;
};

// Names the class's descriptor, gives it the lineage [0, classId] and the
// rows as its sheet.
void RegisterBasicClassSheet(uint32_t classId, std::span<const BasicSheetRow> rows);

// First class id, in id order, whose descriptor has this name; -1 if none.
int FindClassDescriptorByName(std::string_view name);

// The same row under the name the appending callers use.
using PropertySheetRow = BasicSheetRow;

// Appends an item per row to the descriptor's sheet.
void AppendPropertyRows(ActorClassDescriptor& descriptor, std::span<const PropertySheetRow> rows);

// The get of a list selector that names its entries by number: the block
// holds a pointer to the caller's std::vector<std::string> (null: nothing),
// which receives prefix + n for n = first .. first + count - 1.
void FillNumberedLabels(ParamBlock block, std::string_view prefix, size_t count, size_t first);

// Fills a descriptor as class 0, "Base": names, lineage [0] and its sheet.
void FillBaseClassDescriptor(ActorClassDescriptor& descriptor);
