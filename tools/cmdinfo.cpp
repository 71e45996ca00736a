// cmdinfo: prints one registered command, or totals over the whole table.
//
//   cmdinfo <id>       a command by id (all digits)
//   cmdinfo <name>     a command by script name ("Set Name", set_name, SET_NAME)
//   cmdinfo --totals   counts over the registered tables
//
// Exit code 0 on success, 1 for a command that does not exist, 2 for bad use.
#include "app/class_list.h"
#include "core/actors/class_descriptor.h"
#include "core/actors/command_registry.h"
#include "core/actors/command_table.h"
#include "core/actors/material_table.h"

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <string_view>

namespace {

bool AllDigits(std::string_view text) {
    if (text.empty())
        return false;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

// A digit string as an id; false when it is at or beyond the table size.
bool IdFromDigits(std::string_view digits, uint32_t& id) {
    size_t first = digits.find_first_not_of('0');
    if (first == std::string_view::npos) {
        id = 0;
        return GetCommandTable().size() > 0;
    }
    digits.remove_prefix(first);
    if (digits.size() > 9)
        return false;
    uint64_t value = 0;
    for (char c : digits)
        value = value * 10 + static_cast<uint64_t>(c - '0');
    if (value >= GetCommandTable().size())
        return false;
    id = static_cast<uint32_t>(value);
    return true;
}

std::string ClassText(int32_t classId) {
    std::string text = std::to_string(classId);
    if (classId >= 0 && static_cast<size_t>(classId) < kClassCount &&
        kActorClassNames[classId].name[0] != '\0')
        text += std::string(" ") + kActorClassNames[classId].name;
    return text;
}

std::string FlagsText(uint32_t flags) {
    static const struct {
        uint32_t bit;
        const char* name;
    } kFlags[] = {{CommandFlags::EventHook, "EventHook"},
                  {CommandFlags::ScriptCallable, "ScriptCallable"},
                  {CommandFlags::PlainBlock, "PlainBlock"},
                  {CommandFlags::GetQuery, "GetQuery"}};
    std::string text;
    for (const auto& flag : kFlags) {
        if ((flags & flag.bit) == 0)
            continue;
        if (!text.empty())
            text += ' ';
        text += flag.name;
    }
    return text.empty() ? "-" : text;
}

bool InNameMap(const CommandInfo& info) {
    return info.Has(CommandFlags::EventHook) || info.Has(CommandFlags::ScriptCallable);
}

void PrintCommand(uint32_t id) {
    const CommandInfo& info = GetCommandTable()[id];
    std::printf("id: %u\n", id);
    std::printf("name: \"%s\"\n", info.name.c_str());
    std::printf("class: %s\n", ClassText(info.classId).c_str());

    std::string types;
    for (uint32_t type : info.paramTypes) {
        if (!types.empty())
            types += ", ";
        types += GetParamTypeTable().Get(type).name;
    }
    std::printf("types: %s\n", types.empty() ? "-" : types.c_str());

    if (!info.paramNames.empty()) {
        std::string names;
        for (const std::string& name : info.paramNames) {
            if (!names.empty())
                names += ", ";
            names += name;
        }
        std::printf("parameter names: %s\n", names.c_str());
    }
    std::printf("portable bytes: %d\n", info.paramBytes);
    std::printf("flags: %s\n", FlagsText(info.flags).c_str());

    std::string script = "-";
    if (InNameMap(info)) {
        script = ScriptName(info.name);
        uint32_t holder = 0;
        if (FindCommandByName(script, &holder) && holder != id)
            script += " -> " + std::to_string(holder);
    }
    std::printf("script name: %s\n", script.c_str());
}

void PrintTotals() {
    const CommandTable& table = GetCommandTable();
    uint32_t registered = 0, highest = 0, events = 0, eventsOn = 0, scripts = 0, both = 0;
    uint32_t queries = 0, variable = 0, plain = 0, notPlain = 0, mapped = 0, emptyNames = 0;
    std::map<int32_t, uint32_t> perClass;
    for (uint32_t id = 0; id < table.size(); ++id) {
        const CommandInfo& info = table[id];
        if (info.classId == -1)
            continue;
        ++registered;
        highest = id;
        ++perClass[info.classId];
        bool event = info.Has(CommandFlags::EventHook);
        bool script = info.Has(CommandFlags::ScriptCallable);
        events += event;
        eventsOn += event && info.name.compare(0, 3, "On ") == 0;
        scripts += script;
        both += event && script;
        mapped += event || script;
        queries += info.Has(CommandFlags::GetQuery);
        variable += info.paramBytes == -1;
        if (info.Has(CommandFlags::PlainBlock))
            ++plain;
        else
            ++notPlain;
        emptyNames += info.name.empty();
    }
    std::printf("registered: %u\n", registered);
    std::printf("table size: %zu\n", table.size());
    std::printf("highest id: %u\n", highest);
    std::printf("events: %u\n", events);
    std::printf("events named On: %u\n", eventsOn);
    std::printf("script commands: %u\n", scripts);
    std::printf("events and script commands: %u\n", both);
    std::printf("queries: %u\n", queries);
    std::printf("variable size: %u\n", variable);
    std::printf("plain: %u\n", plain);
    std::printf("not plain: %u\n", notPlain);
    std::printf("name map entries: %u\n", mapped);
    std::printf("script names: %u\n", GetCommandNameMap().entryCount());
    std::printf("empty names: %u\n", emptyNames);
    std::printf("materials: %zu\n", MaterialTable.size());
    std::printf("class descriptors: %zu\n", ClassDescriptorTable.size());
    std::printf("base sheet items: %zu\n",
                ClassDescriptorTable.empty() ? size_t{0} : ClassDescriptorTable[0].items.size());
    for (const auto& [classId, count] : perClass)
        std::printf("class %d: %u\n", classId, count);
}

} // namespace

int main(int argc, char** argv) {
    InstallEngineClasses();
    if (argc != 2) {
        std::fprintf(stderr, "usage: cmdinfo <id> | <name> | --totals\n");
        return 2;
    }
    std::string error;
    if (!RegisterAllCommands(&error)) {
        std::fprintf(stderr, "cmdinfo: %s\n", error.c_str());
        return 1;
    }
    std::string_view arg = argv[1];
    if (arg == "--totals") {
        PrintTotals();
        return 0;
    }
    uint32_t id = 0;
    bool found = AllDigits(arg) ? IdFromDigits(arg, id) : FindCommandByName(arg, &id);
    if (!found) {
        std::fprintf(stderr, "cmdinfo: no such command: %s\n", argv[1]);
        return 1;
    }
    PrintCommand(id);
    return 0;
}
