// Conversion of parameter blocks between the native and the portable layout,
// and interpolation between two blocks of one command.
//
// Writing (native -> portable), top level:
//   "Pointer", "ColObjPointer", "ScriptPointer", "StringPtr" -> 4 zero bytes;
//   "ActorPointer" -> path of the actor relative to the context + NUL
//     ("/.." for a null actor);
//   "ActorPointerExt" -> path + NUL + text + NUL.
// Reading is the mirror image; a path that does not resolve gives null.
// Inside nested "Command" parameters, at any depth, the 32-bit layout is used
// and every pointer slot is 4 zero bytes in files and null in memory. Pointer
// words read from files are never dereferenced.
//
// A block whose layout holds no pointer at any depth comes back borrowed
// (no copy). Command 97 and nesting deeper than kMaxParamNesting are refused.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/actors/param_block.h"

class Actor;

// How actor pointers and paths are mapped; installed by the actor-file code,
// replaced by fakes in tests.
class ActorPathResolver {
public:
    virtual ~ActorPathResolver() = default;
    // The actor a path names, seen from context ("" is context itself);
    // null when it does not resolve.
    virtual Actor* FindActorByPath(std::string_view path, Actor* context) const = 0;
    // Path of actor relative to context. actor is never null.
    virtual std::string ActorRelativePath(Actor* actor, Actor* context) const = 0;
};

// Installs the resolver (null uninstalls) and returns the previous one. With
// none installed every path reads as null and every actor writes as "/..".
const ActorPathResolver* InstallActorPathResolver(const ActorPathResolver* resolver);
const ActorPathResolver* GetActorPathResolver();

enum class ParamDirection { ToPortable, FromPortable };

// Converts block (the command's parameters) in the given direction into
// result. Returns false, with an empty result, for command 97 or over-deep
// nesting; the caller then drops the command. Missing bytes of a short block
// read as zeros.
bool ConvertParamBlock(ParamDirection direction, Actor* context, ParamBlockResult* result,
                       uint32_t commandId, ParamBlock block);
inline bool ParamBlockToPortable(Actor* context, ParamBlockResult* result, uint32_t commandId,
                                 ParamBlock block) {
    return ConvertParamBlock(ParamDirection::ToPortable, context, result, commandId, block);
}
inline bool ParamBlockFromPortable(Actor* context, ParamBlockResult* result, uint32_t commandId,
                                   ParamBlock block) {
    return ConvertParamBlock(ParamDirection::FromPortable, context, result, commandId, block);
}

// Interpolates two native blocks of a command at t into result (always an
// owned buffer): integers and reals move from "from" toward "to",
// quaternions are slerped, everything else takes the "to" value. A nested
// command keeps the "from" id; when the two ids differ, the "from" command is
// copied whole. Each block is walked by its own value sizes, and missing
// bytes read as zeros. Returns false for command 97 or over-deep nesting.
bool InterpolateCommandParams(ParamBlockResult* result, float t, uint32_t commandId,
                              ParamBlock from, ParamBlock to);
