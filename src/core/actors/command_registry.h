// Command registry: the command table, the parameter-type table and the
// script-name map.
//
// Every command is a number; the registry gives each number a name, an owning
// class, a list of parameter types and flags. The tables are filled once at
// start-up (register every command, then run FinishCommandRegistration) and
// are read-only afterwards. Main thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Parameter type ids (index into the ParamTypeTable).
struct ParamType {
    static constexpr uint32_t UInt32 = 1;
    static constexpr uint32_t Int32 = 2;
    static constexpr uint32_t Bool = 3;
    static constexpr uint32_t Real = 4;
    static constexpr uint32_t String128 = 5;
    static constexpr uint32_t CommandID = 6;
    static constexpr uint32_t Pointer = 7;
    static constexpr uint32_t ActorPointer = 8;
    static constexpr uint32_t ActorPointerExt = 9;
    static constexpr uint32_t ColObjPointer = 10;
    static constexpr uint32_t ScriptPointer = 11;
    static constexpr uint32_t StringPtr = 12;
    static constexpr uint32_t Command = 13;
    static constexpr uint32_t DataWithSizeheader = 14;
    static constexpr uint32_t String = 15;
    static constexpr uint32_t DataNullterminated16 = 16;
    static constexpr uint32_t DataNullterminated32 = 17;
    static constexpr uint32_t Vector2 = 18;
    static constexpr uint32_t Vector3 = 19;
    static constexpr uint32_t Vector4 = 20;
    static constexpr uint32_t Matrix = 21;
    static constexpr uint32_t Quaternion = 22;
    static constexpr uint32_t Plane = 23;
    static constexpr uint32_t Box = 24;
    static constexpr uint32_t Color = 25;

    static constexpr uint32_t kFirstDefined = 1;
    static constexpr uint32_t kLastDefined = 25;
    static constexpr uint32_t kTableSize = 100;
};

// Flags of a ParamTypeInfo.
struct ParamTypeFlags {
    static constexpr uint32_t Plain = 1; // the value holds no pointer
};

struct ParamTypeInfo {
    std::string name;
    std::vector<uint32_t> components;
    int32_t size = 0;       // bytes in the 32-bit layout; -1 = variable
    int32_t nativeSize = 0; // bytes in memory (pointers take 8); -1 = variable
    uint32_t flags = ParamTypeFlags::Plain;

    bool plain() const { return (flags & ParamTypeFlags::Plain) != 0; }
};

// Final flags of a command.
struct CommandFlags {
    static constexpr uint32_t EventHook = 1;
    static constexpr uint32_t ScriptCallable = 2;
    static constexpr uint32_t PlainBlock = 4;
    static constexpr uint32_t GetQuery = 8;
};

// Flags argument of RegisterCommand. Value 4 is accepted and ignored.
struct RegisterFlags {
    static constexpr uint32_t EventHook = 1;
    static constexpr uint32_t ScriptCallable = 2;
    static constexpr uint32_t NamedParams = 16;
};

struct CommandInfo {
    std::string name;
    int32_t classId = -1;
    int32_t paramBytes = 0;       // 32-bit layout total; -1 when a value is variable
    int32_t nativeParamBytes = 0; // in-memory layout total; -1 when a value is variable
    std::vector<uint32_t> paramTypes;
    std::vector<std::string> paramNames; // only for NamedParams registrations
    std::string description;
    uint32_t flags = CommandFlags::PlainBlock;

    bool Has(uint32_t flag) const { return (flags & flag) != 0; }
    bool registered() const { return classId != -1 || !name.empty(); }
};

// Growable table of CommandInfo indexed by command id.
class CommandTable {
public:
    size_t size() const { return rows_.size(); }
    bool empty() const { return rows_.empty(); }
    // The record of an id below the table size, else null.
    const CommandInfo* Find(uint32_t id) const { return id < rows_.size() ? &rows_[id] : nullptr; }
    const CommandInfo& operator[](size_t id) const { return rows_[id]; }
    const std::vector<CommandInfo>& rows() const { return rows_; }

    // Written only by the registration functions (GetCommandTable() is const).
    std::vector<CommandInfo> rows_;
};

// Table of ParamTypeInfo indexed by ParamType (100 rows once filled).
class ParamTypeTable {
public:
    size_t size() const { return rows_.size(); }
    // The record of a type; a fresh record for types outside the table.
    const ParamTypeInfo& Get(uint32_t type) const;
    const std::vector<ParamTypeInfo>& rows() const { return rows_; }

    // Written only by FillParamTypeTable (GetParamTypeTable() is const).
    std::vector<ParamTypeInfo> rows_;
};

// Script name -> command id. 4096 buckets indexed by NameHash; nodes keep
// their key, so two names with the same hash stay apart.
class CommandNameMap {
public:
    struct Node {
        uint32_t hash = 0;
        uint32_t value = 0;
        std::string key;
        std::unique_ptr<Node> next;
    };

    static constexpr uint32_t kBucketCount = 4096;

    CommandNameMap();
    ~CommandNameMap();
    CommandNameMap(const CommandNameMap&) = delete;
    CommandNameMap& operator=(const CommandNameMap&) = delete;

    uint32_t entryCount() const { return entryCount_; }
    uint32_t bucketCount() const { return kBucketCount; }
    uint32_t defaultValue() const { return defaultValue_; }

    // The node holding key, or null.
    const Node* Find(std::string_view key) const;
    void Clear();

private:
    friend Node* StringHashInsert(CommandNameMap& map, std::string_view key, uint32_t value,
                                  bool replace);
    uint32_t entryCount_ = 0;
    uint32_t defaultValue_ = 0;
    std::vector<std::unique_ptr<Node>> buckets_;
};

// One parameter of a registration: its type and, for NamedParams
// registrations, its name.
struct ParamSpec {
    ParamSpec(uint32_t t, std::string_view n = {}) : type(t), name(n) {}
    uint32_t type;
    std::string_view name;
};

// The process-wide tables.
const CommandTable& GetCommandTable();
const ParamTypeTable& GetParamTypeTable();
const CommandNameMap& GetCommandNameMap();

// Fills rows 1-25 of the ParamTypeTable (100 rows; the others stay fresh).
void FillParamTypeTable();

// Adds one command. The table grows to id + 10 rows when id is beyond it.
// The first registration with a non-empty name wins: returns false and
// changes nothing when the row already has a name. A row with an empty name
// is free and is filled from a fresh record. Parameter names are kept only
// when flags has NamedParams.
bool RegisterCommand(uint32_t id, std::string_view name, std::string_view description,
                     int32_t classId, uint32_t flags, std::span<const ParamSpec> params);
inline bool RegisterCommand(uint32_t id, std::string_view name, std::string_view description,
                            int32_t classId, uint32_t flags,
                            std::initializer_list<ParamSpec> params = {}) {
    return RegisterCommand(id, name, description, classId, flags,
                           std::span<const ParamSpec>(params.begin(), params.size()));
}

// After the last registration: parameter byte totals, PlainBlock and the
// script-name map.
void FinishCommandRegistration();

// Empties every table and the name map (tests register again).
void ResetCommandRegistry();

// h = h * 65599 + byte, each byte taken as a signed 8-bit value.
uint32_t NameHash(std::string_view text);

// Inserts key -> value. An existing key keeps its node: its value is
// overwritten when replace is set and the node is returned, else null.
CommandNameMap::Node* StringHashInsert(CommandNameMap& map, std::string_view key, uint32_t value,
                                       bool replace);

// A-Z turned to a-z, other bytes unchanged.
std::string LowerCaseCopy(std::string_view text);
// Replaces every byte equal to from by to.
void ReplaceChar(std::string& text, char from, char to);
// Registered name -> script name: lower-cased, blanks as underscores.
std::string ScriptName(std::string_view name);

// Script-name look-up: the command id, or 0 on a miss.
uint32_t LookupCommandByName(std::string_view name);
// Same look-up telling a miss (false) from a hit on id 0.
bool FindCommandByName(std::string_view name, uint32_t* id);
// First event command in id order whose registered name equals name
// exactly; 0 when none.
uint32_t FindEventCommandByName(std::string_view name);

// The record of a command id below the table size, else null.
inline const CommandInfo* FindCommandInfo(uint32_t id) { return GetCommandTable().Find(id); }
