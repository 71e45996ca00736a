// Script compiler: turns a script's source text into byte code.
//
// A script is a sequence of statements `actor.Command(parameters);` that send
// commands to actors found relative to the script's owner, or
// `actor.Name();` calls of other scripts. Byte code of one statement:
//
//   safe byte   0x21 after "[safe]", else 0x16
//   access kind ScriptAccess, then its data: slot u32 (5), path + NUL (6, 7),
//               slot u32 + path + NUL (8), native pointer (10)
//   word        u32: 1 call a script by handle (u32 handle follows, 0 none),
//               2 or 3 call scripts by name (name + NUL follows),
//               32 and above a command id (one item per parameter follows)
//
// Parameter items: u32 tag 11 + literal value bytes, 12 + one item per
// component type of the parameter's type (none: the type's zero value at run
// time), 13 + u32 command id + one item per parameter of that command. The
// code ends with the four bytes "_End". Byte code lives only in memory: its
// pointer slots are native.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "core/script/byte_buffer.h"

class Actor;
struct ScriptRecord;

inline constexpr uint8_t kScriptPlainAccess = 0x16;
inline constexpr uint8_t kScriptSafeAccess = 0x21; // '!'

struct ScriptAccess {
    static constexpr uint8_t This = 3;
    static constexpr uint8_t Local = 4;
    static constexpr uint8_t GlobalSlot = 5;
    static constexpr uint8_t Path = 6;
    static constexpr uint8_t LocalPath = 7;
    static constexpr uint8_t GlobalSlotPath = 8;
    static constexpr uint8_t System = 9;
    static constexpr uint8_t Pointer = 10;
};

struct ScriptWord {
    static constexpr uint32_t CallHandle = 1;
    static constexpr uint32_t CallByName = 2;
    static constexpr uint32_t CallByNameSafe = 3;
    static constexpr uint32_t FirstCommand = 32;
};

struct ScriptTag {
    static constexpr uint32_t Literal = 11;
    static constexpr uint32_t Group = 12;
    static constexpr uint32_t Command = 13;
};

inline constexpr char kScriptEndMark[4] = {'_', 'E', 'n', 'd'};

// Deepest nesting of parameter groups and nested commands a script may use.
inline constexpr int kMaxScriptParamNesting = 64;

// The handle of the owner's first script with the given name; 0 when none.
using ScriptHandleLookup = std::function<uint32_t(std::string_view name)>;

// Compiles source (which ends at its first NUL byte) into code (appended).
// On the first error stops and returns false, with the message in
// errorText and the 0-based byte offset of the cursor in errorPosition
// (either may be null). findOwnScript may be empty: every handle is 0.
bool CompileScriptText(std::string_view source, const ScriptHandleLookup &findOwnScript,
                       ByteBuffer *code, std::string *errorText, size_t *errorPosition);

// Compiles the record's source with owner as "this": on success the record
// holds the byte code and the result is 1; on failure (also "No Owner!"
// without an owner) the record holds no byte code and the result is 0.
int CompileScript(ScriptRecord *record, Actor *owner, std::string *errorText,
                  size_t *errorPosition);

// Literal values, independent of the locale. Integers: the leading digits
// with an optional sign, modulo 2^32 (0 without digits). Reals: the leading
// number with optional sign, point and exponent (0 when there is none: the
// words "nan", "inf" and "infinity" are none).
uint32_t ParseScriptInteger(std::string_view text);
float ParseScriptReal(std::string_view text);

// Bytes of the zero value a literal of a type without a source form takes:
// its size in memory; for variable types a u32 0 ("Data With Sizeheader"),
// one zero unit ("Data Nullterminated16/32") or an empty text ("String").
size_t ScriptZeroValueSize(uint32_t type);
