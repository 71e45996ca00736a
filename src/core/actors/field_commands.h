// Set/get command pairs bound to fields: a class lists its plain property
// commands in a table instead of a case pair each in its handler.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/actors/param_block.h"

// A set/get command pair bound to one field of the owner. A set stores the
// block's first value, passed through `keep` when there is one (a clamp, a
// 0-or-1 flag); a get answers the field as it is.
template <class Owner, class T> struct FieldCommand {
    uint32_t set;
    uint32_t get;
    T Owner::*field;
    T (*keep)(T) = nullptr;
};

// Serves the first pair of the table that names the command. False when no
// pair names it.
template <class Owner, class T, size_t N, class Object>
bool ServeFieldCommand(const FieldCommand<Owner, T> (&table)[N], Object &object, uint32_t commandId,
                       ParamBlock block) {
    for (const FieldCommand<Owner, T> &p : table) {
        if (commandId == p.set) {
            const T value = block.Read<T>(0);
            object.*p.field = p.keep != nullptr ? p.keep(value) : value;
            return true;
        }
        if (commandId == p.get) {
            block.Write(0, object.*p.field);
            return true;
        }
    }
    return false;
}

// A keep for flag words: 1 for any word but 0.
inline uint32_t AsFlag(uint32_t word) { return word != 0 ? 1 : 0; }
