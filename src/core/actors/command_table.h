// The engine's command vocabulary: the table of every registered command and
// the start-up fill of the registry, the class descriptors and the materials.
//
// The rows live in command_table.inc, one row per command:
//
//   class 16
//   966 "Heal": R AddToHealth, R MaxHealth {s}
//   1049 ""
//   359 "Import Collision": S128 A U S {s}
//
// A "class N" line sets the owning class of the rows that follow. A row is
// the id, the name in double quotes (taken byte for byte, blanks included),
// then optionally ": " and the parameter types, then optionally " {e}",
// " {s}" or " {es}" (event, script command). Types are letters separated by
// one blank (U I B R S128 K P A AX CO SC SP C D S D16 D32 V2 V3 V4 M Q PL BX
// CL, the parameter types 1 to 25 in order). Rows with parameter names give
// "type name" pairs separated by ", "; a single named parameter is a type
// followed by a name. Names carry at least one small letter, which type
// letters never do. Blank lines are ignored.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct CommandRow {
    uint32_t id = 0;
    std::string name;
    int32_t classId = 0;
    uint32_t registerFlags = 0; // RegisterFlags: 1 event, 2 script, 16 named parameters
    std::vector<uint32_t> types;
    std::vector<std::string> paramNames; // one per type, or empty
    int line = 0;                        // line of the row in the table text
};

// The highest id a row may carry; keeps a bad row from growing the table
// without bound.
inline constexpr uint32_t kMaxCommandRowId = 9999;

// The table text compiled into the program.
std::string_view CommandTableText();

// Parses table text into rows, in text order. On a malformed row, or an id
// listed twice, returns false and sets error to "line N: <what>"; rows then
// holds the rows before it.
bool ParseCommandRows(std::string_view text, std::vector<CommandRow>& rows, std::string& error);

// Network state that the command log and the network hooks read. Cleared by
// RegisterAllCommands; the engine never opens a connection.
extern uint32_t g_NetworkEnabled;
extern uint32_t g_NetworkWord;

// Fills the command table, the parameter types, the name map, class
// descriptor 0 and the materials, once per process (until
// ResetCommandTablesForTest). Returns false, with the failing line in
// error, when the table text does not parse; nothing is registered then.
bool RegisterAllCommands(std::string* error = nullptr);

// Tests only: empties every table filled by RegisterAllCommands so that a
// test can register again.
void ResetCommandTablesForTest();
