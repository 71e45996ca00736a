#include "core/actors/command_table.h"

#include "core/actors/class_descriptor.h"
#include "core/actors/command_registry.h"
#include "core/actors/material_table.h"

#include <array>
#include <unordered_map>

namespace {

constexpr std::string_view kTableText =
#include "core/actors/command_table.inc"
    ;

// Type letters in parameter-type order: letter i names type i + 1.
constexpr std::array<std::string_view, 25> kTypeLetters = {
    "U", "I",  "B",  "R",  "S128", "K",  "P",  "A", "AX", "CO", "SC", "SP", "C",
    "D", "S",  "D16", "D32", "V2",  "V3", "V4", "M", "Q",  "PL", "BX", "CL"};

// 0 when the token is not a type letter.
uint32_t TypeFromLetter(std::string_view token) {
    for (size_t i = 0; i < kTypeLetters.size(); ++i) {
        if (kTypeLetters[i] == token)
            return static_cast<uint32_t>(i + 1);
    }
    return 0;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Parameter names carry a small letter; type letters never do.
bool IsParamName(std::string_view token) {
    for (char c : token) {
        if (c >= 'a' && c <= 'z')
            return true;
    }
    return false;
}

// Parses a decimal number of at most `limit`; false on anything else.
bool ParseNumber(std::string_view text, uint32_t limit, uint32_t& value) {
    if (text.empty() || text.size() > 9)
        return false;
    uint32_t v = 0;
    for (char c : text) {
        if (!IsDigit(c))
            return false;
        v = v * 10 + static_cast<uint32_t>(c - '0');
    }
    if (v > limit)
        return false;
    value = v;
    return true;
}

std::vector<std::string_view> SplitOn(std::string_view text, std::string_view separator) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    for (;;) {
        size_t at = text.find(separator, start);
        if (at == std::string_view::npos) {
            parts.push_back(text.substr(start));
            return parts;
        }
        parts.push_back(text.substr(start, at - start));
        start = at + separator.size();
    }
}

// Parses the text between ": " and the flags: plain letters, or named pairs.
bool ParseTypes(std::string_view text, CommandRow& row, std::string& what) {
    std::vector<std::string_view> items = SplitOn(text, ", ");
    std::vector<std::string_view> first = SplitOn(items[0], " ");
    bool named = items.size() > 1 || (first.size() == 2 && IsParamName(first[1]));
    if (!named) {
        for (std::string_view token : first) {
            uint32_t type = TypeFromLetter(token);
            if (type == 0) {
                what = "unknown parameter type \"" + std::string(token) + "\"";
                return false;
            }
            row.types.push_back(type);
        }
        return true;
    }
    for (std::string_view item : items) {
        std::vector<std::string_view> pair = SplitOn(item, " ");
        if (pair.size() != 2 || !IsParamName(pair[1])) {
            what = "expected \"type name\", got \"" + std::string(item) + "\"";
            return false;
        }
        uint32_t type = TypeFromLetter(pair[0]);
        if (type == 0) {
            what = "unknown parameter type \"" + std::string(pair[0]) + "\"";
            return false;
        }
        row.types.push_back(type);
        row.paramNames.emplace_back(pair[1]);
    }
    row.registerFlags |= 16;
    return true;
}

bool ParseRow(std::string_view line, CommandRow& row, std::string& what) {
    size_t pos = 0;
    while (pos < line.size() && IsDigit(line[pos]))
        ++pos;
    if (!ParseNumber(line.substr(0, pos), kMaxCommandRowId, row.id)) {
        what = "expected a command id up to " + std::to_string(kMaxCommandRowId);
        return false;
    }
    if (line.substr(pos, 2) != " \"") {
        what = "expected a blank and a quoted name after the id";
        return false;
    }
    pos += 2;
    size_t close = line.find('"', pos);
    if (close == std::string_view::npos) {
        what = "unterminated name";
        return false;
    }
    row.name = std::string(line.substr(pos, close - pos));
    std::string_view rest = line.substr(close + 1);

    // Flags at the end: " {e}", " {s}" or " {es}".
    if (!rest.empty() && rest.back() == '}') {
        size_t open = rest.rfind(" {");
        if (open == std::string_view::npos) {
            what = "malformed flags";
            return false;
        }
        std::string_view flags = rest.substr(open + 2, rest.size() - open - 3);
        if (flags == "e")
            row.registerFlags = 1;
        else if (flags == "s")
            row.registerFlags = 2;
        else if (flags == "es")
            row.registerFlags = 3;
        else {
            what = "unknown flags \"{" + std::string(flags) + "}\"";
            return false;
        }
        rest = rest.substr(0, open);
    }
    if (rest.empty())
        return true;
    if (rest.substr(0, 2) != ": " || rest.size() == 2) {
        what = "expected \": \" and parameter types after the name";
        return false;
    }
    return ParseTypes(rest.substr(2), row, what);
}

} // namespace

uint32_t g_NetworkEnabled = 0;
uint32_t g_NetworkWord = 0;

std::string_view CommandTableText() { return kTableText; }

bool ParseCommandRows(std::string_view text, std::vector<CommandRow>& rows, std::string& error) {
    rows.clear();
    std::unordered_map<uint32_t, int> seen; // id -> line
    int32_t classId = -1;
    int lineNumber = 0;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        ++lineNumber;
        if (line.empty())
            continue;

        std::string what;
        if (line.substr(0, 6) == "class ") {
            uint32_t id = 0;
            if (!ParseNumber(line.substr(6), 53, id)) {
                error = "line " + std::to_string(lineNumber) + ": bad class line";
                return false;
            }
            classId = static_cast<int32_t>(id);
            continue;
        }
        CommandRow row;
        row.line = lineNumber;
        row.classId = classId;
        if (classId < 0)
            what = "row before the first class line";
        else if (ParseRow(line, row, what)) {
            auto [it, inserted] = seen.emplace(row.id, lineNumber);
            if (inserted) {
                rows.push_back(std::move(row));
                continue;
            }
            what = "id " + std::to_string(row.id) + " already listed on line " +
                   std::to_string(it->second);
        }
        error = "line " + std::to_string(lineNumber) + ": " + what;
        return false;
    }
    return true;
}

namespace {
bool g_registered = false;
}

bool RegisterAllCommands(std::string* error) {
    if (g_registered)
        return true;
    std::vector<CommandRow> rows;
    std::string parseError;
    if (!ParseCommandRows(CommandTableText(), rows, parseError)) {
        if (error)
            *error = "command table: " + parseError;
        return false;
    }

    // 1. No network session.
    g_NetworkEnabled = 0;
    g_NetworkWord = 0;

    // 2. Every class gets an empty descriptor; "Base" is filled here.
    ClassDescriptorTable.assign(kClassCount, ActorClassDescriptor());
    FillBaseClassDescriptor(ClassDescriptorTable[0]);

    // 3. Parameter types.
    FillParamTypeTable();

    // 4. The commands, class block by class block, in table order.
    std::vector<ParamSpec> params;
    for (const CommandRow& row : rows) {
        params.clear();
        for (size_t i = 0; i < row.types.size(); ++i) {
            if (row.paramNames.empty())
                params.emplace_back(row.types[i]);
            else
                params.emplace_back(row.types[i], row.paramNames[i]);
        }
        RegisterCommand(row.id, row.name, "", row.classId, row.registerFlags, params);
    }

    // 5. Parameter sizes, PlainBlock and the script-name map.
    FinishCommandRegistration();

    // 6. Surface materials.
    FillMaterialTable();

    g_registered = true;
    return true;
}

void ResetCommandTablesForTest() {
    ResetCommandRegistry();
    ClassDescriptorTable.clear();
    MaterialTable.clear();
    g_NetworkEnabled = 0;
    g_NetworkWord = 0;
    g_registered = false;
}
