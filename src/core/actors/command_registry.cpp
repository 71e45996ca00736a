#include "core/actors/command_registry.h"

#include <map>
#include <string>
#include <utility>

namespace {

CommandTable gCommandTable;
ParamTypeTable gParamTypeTable;
CommandNameMap gCommandNameMap;

const ParamTypeInfo kFreshParamType{};

// Registered name -> first event command of that name, made again on the
// first look-up after the table changed (every script read from a file
// looks its event up by name).
std::map<std::string, uint32_t, std::less<>> gEventCommandIndex;
bool gEventCommandIndexStale = true;

bool StartsWithGetIgnoringCase(std::string_view name) {
    if (name.size() < 3)
        return false;
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    return lower(name[0]) == 'g' && lower(name[1]) == 'e' && lower(name[2]) == 't';
}

} // namespace

const ParamTypeInfo& ParamTypeTable::Get(uint32_t type) const {
    return type < rows_.size() ? rows_[type] : kFreshParamType;
}

CommandNameMap::CommandNameMap() : buckets_(kBucketCount) {}

CommandNameMap::~CommandNameMap() { Clear(); }

const CommandNameMap::Node* CommandNameMap::Find(std::string_view key) const {
    uint32_t hash = NameHash(key);
    for (const Node* n = buckets_[hash & (kBucketCount - 1)].get(); n; n = n->next.get()) {
        if (n->hash == hash && n->key == key)
            return n;
    }
    return nullptr;
}

void CommandNameMap::Clear() {
    // Unlink iteratively so long chains never recurse in destructors.
    for (auto& head : buckets_) {
        while (head)
            head = std::move(head->next);
    }
    entryCount_ = 0;
}

const CommandTable& GetCommandTable() { return gCommandTable; }
const ParamTypeTable& GetParamTypeTable() { return gParamTypeTable; }
const CommandNameMap& GetCommandNameMap() { return gCommandNameMap; }

void FillParamTypeTable() {
    auto& rows = gParamTypeTable.rows_;
    rows.assign(ParamType::kTableSize, ParamTypeInfo{});
    auto set = [&](uint32_t id, const char* name, int32_t size, int32_t nativeSize, bool plain,
                   std::vector<uint32_t> components) {
        ParamTypeInfo& t = rows[id];
        t.name = name;
        t.size = size;
        t.nativeSize = nativeSize;
        t.flags = plain ? ParamTypeFlags::Plain : 0;
        t.components = std::move(components);
    };
    using P = ParamType;
    set(P::UInt32, "UInt32", 4, 4, true, {});
    set(P::Int32, "Int32", 4, 4, true, {});
    set(P::Bool, "Bool", 4, 4, true, {});
    set(P::Real, "Real", 4, 4, true, {});
    set(P::String128, "String128", 128, 128, true, {});
    set(P::CommandID, "CommandID", 4, 4, true, {P::UInt32});
    set(P::Pointer, "Pointer", 4, 8, false, {});
    set(P::ActorPointer, "ActorPointer", 4, 8, false, {});
    set(P::ActorPointerExt, "ActorPointerExt", -1, -1, false, {P::ActorPointer, P::String});
    set(P::ColObjPointer, "ColObjPointer", 4, 8, false, {P::Pointer});
    set(P::ScriptPointer, "ScriptPointer", 4, 8, false, {P::Pointer});
    // A text pointer counts as plain here, as the table has always said; the
    // block converter still treats it as a pointer.
    set(P::StringPtr, "StringPtr", 4, 8, true, {});
    set(P::Command, "Command", -1, -1, true, {});
    set(P::DataWithSizeheader, "Data With Sizeheader", -1, -1, true, {});
    set(P::String, "String", -1, -1, true, {});
    set(P::DataNullterminated16, "Data Nullterminated16", -1, -1, true, {});
    set(P::DataNullterminated32, "Data Nullterminated32", -1, -1, true, {});
    set(P::Vector2, "Vector2", 8, 8, true, {P::Real, P::Real});
    set(P::Vector3, "Vector3", 12, 12, true, {P::Real, P::Real, P::Real});
    set(P::Vector4, "Vector4", 16, 16, true, {P::Real, P::Real, P::Real, P::Real});
    set(P::Matrix, "Matrix", 64, 64, true, std::vector<uint32_t>(16, P::Real));
    set(P::Quaternion, "Quaternion", 16, 16, true, {P::Real, P::Real, P::Real, P::Real});
    set(P::Plane, "Plane", 16, 16, true, {P::Real, P::Real, P::Real, P::Real});
    set(P::Box, "Box", 24, 24, true, {P::Vector3, P::Vector3});
    set(P::Color, "Color", 16, 16, true, {P::Real, P::Real, P::Real, P::Real});
}

bool RegisterCommand(uint32_t id, std::string_view name, std::string_view description,
                     int32_t classId, uint32_t flags, std::span<const ParamSpec> params) {
    auto& rows = gCommandTable.rows_;
    gEventCommandIndexStale = true;
    if (rows.empty() || id >= rows.size())
        rows.resize(static_cast<size_t>(id) + 10);
    CommandInfo& info = rows[id];
    if (!info.name.empty())
        return false;
    // A free (empty-name) row starts over: nothing of an earlier
    // registration survives.
    info = CommandInfo{};
    info.name = std::string(name);
    info.description = std::string(description);
    info.classId = classId;
    info.flags |= flags & (CommandFlags::EventHook | CommandFlags::ScriptCallable);
    if (StartsWithGetIgnoringCase(name))
        info.flags |= CommandFlags::GetQuery;
    bool named = (flags & RegisterFlags::NamedParams) != 0;
    info.paramTypes.reserve(params.size());
    for (const ParamSpec& p : params) {
        info.paramTypes.push_back(p.type);
        if (named)
            info.paramNames.emplace_back(p.name);
    }
    return true;
}

void FinishCommandRegistration() {
    auto& rows = gCommandTable.rows_;
    for (uint32_t id = 0; id < rows.size(); ++id) {
        CommandInfo& info = rows[id];
        int32_t bytes = 0;
        int32_t native = 0;
        for (uint32_t type : info.paramTypes) {
            const ParamTypeInfo& t = gParamTypeTable.Get(type);
            if (!t.plain())
                info.flags &= ~CommandFlags::PlainBlock;
            if (t.size == -1) {
                bytes = -1;
                native = -1;
                break;
            }
            bytes += t.size;
            native += t.nativeSize;
        }
        info.paramBytes = bytes;
        info.nativeParamBytes = native;
    }
    for (uint32_t id = 0; id < rows.size(); ++id) {
        const CommandInfo& info = rows[id];
        if (info.Has(CommandFlags::EventHook) || info.Has(CommandFlags::ScriptCallable))
            StringHashInsert(gCommandNameMap, ScriptName(info.name), id, true);
    }
}

void ResetCommandRegistry() {
    gCommandTable.rows_.clear();
    gCommandTable.rows_.shrink_to_fit();
    gParamTypeTable.rows_.clear();
    gCommandNameMap.Clear();
    gEventCommandIndex.clear();
    gEventCommandIndexStale = true;
}

uint32_t NameHash(std::string_view text) {
    uint32_t hash = 0;
    for (char c : text) {
        auto byte = static_cast<int8_t>(c);
        hash = hash * 65599u + static_cast<uint32_t>(static_cast<int32_t>(byte));
    }
    return hash;
}

CommandNameMap::Node* StringHashInsert(CommandNameMap& map, std::string_view key, uint32_t value,
                                       bool replace) {
    uint32_t hash = NameHash(key);
    auto& head = map.buckets_[hash & (CommandNameMap::kBucketCount - 1)];
    for (CommandNameMap::Node* n = head.get(); n; n = n->next.get()) {
        if (n->hash == hash && n->key == key) {
            if (!replace)
                return nullptr;
            n->value = value;
            return n;
        }
    }
    auto node = std::make_unique<CommandNameMap::Node>();
    node->hash = hash;
    node->value = value;
    node->key = std::string(key);
    node->next = std::move(head);
    head = std::move(node);
    ++map.entryCount_;
    return head.get();
}

std::string LowerCaseCopy(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

void ReplaceChar(std::string& text, char from, char to) {
    for (char& c : text) {
        if (c == from)
            c = to;
    }
}

std::string ScriptName(std::string_view name) {
    std::string s = LowerCaseCopy(name);
    ReplaceChar(s, ' ', '_');
    return s;
}

bool FindCommandByName(std::string_view name, uint32_t* id) {
    const CommandNameMap::Node* n = gCommandNameMap.Find(ScriptName(name));
    if (!n)
        return false;
    if (id)
        *id = n->value;
    return true;
}

uint32_t LookupCommandByName(std::string_view name) {
    uint32_t id = 0;
    return FindCommandByName(name, &id) ? id : gCommandNameMap.defaultValue();
}

uint32_t FindEventCommandByName(std::string_view name) {
    if (gEventCommandIndexStale) {
        gEventCommandIndex.clear();
        const auto& rows = gCommandTable.rows_;
        for (uint32_t id = 0; id < rows.size(); ++id) {
            const CommandInfo& info = rows[id];
            if (info.Has(CommandFlags::EventHook))
                gEventCommandIndex.emplace(info.name, id); // the first id of a name stays
        }
        gEventCommandIndexStale = false;
    }
    const auto it = gEventCommandIndex.find(name);
    return it != gEventCommandIndex.end() ? it->second : 0;
}
