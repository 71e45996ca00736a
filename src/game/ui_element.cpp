#include "game/ui_element.h"

#include <cmath>
#include <limits>

#include "base/file_system.h"
#include "base/text_table.h"
#include "core/actors/actor.h"
#include "core/actors/actor_system.h"
#include "core/actors/enable_commands.h"
#include "library/library_item.h"
#include "library/resource_library.h"

int32_t SaturateToI32(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    value = std::trunc(value);
    if (value >= 2147483647.0) {
        return std::numeric_limits<int32_t>::max();
    }
    if (value <= -2147483648.0) {
        return std::numeric_limits<int32_t>::min();
    }
    return static_cast<int32_t>(value);
}

float AlignShift(uint32_t align, float size) {
    if (align == 1) {
        return 0.5f * size;
    }
    return align == 2 ? size : 0.0f;
}

float LabelVisibility(const Vector3 &p, float maxDistance, float fadeDistance) {
    if (!(maxDistance > 0.0f)) {
        return 1.0f;
    }
    ResourceLibrary *library = GetLibrary();
    if (library == nullptr) {
        return 1.0f;
    }
    const float *camera = library->GetCameraPosition();
    const float dx = p.x - camera[0];
    const float dy = p.y - camera[1];
    const float dz = p.z - camera[2];
    const float d = std::sqrt(dx * dx + dy * dy + dz * dz);
    if (!(d < maxDistance)) {
        return 0.0f;
    }
    if (d < fadeDistance) {
        return 1.0f;
    }
    return 1.0f - (d - fadeDistance) / (maxDistance - fadeDistance);
}

Actor *ActorOfClass(int32_t id, uint32_t classId) {
    Actor *actor = id >= 0 ? ActorTableEntry(id) : nullptr;
    return actor != nullptr && actor->classId == classId ? actor : nullptr;
}

uint32_t EnabledWord(const Actor &actor) { return (actor.state & kActorEnabled) != 0 ? 1u : 0u; }

void SetEnabled(Actor &actor, bool on) {
    if (on) {
        actor.state |= kActorEnabled;
    } else {
        actor.state &= ~kActorEnabled;
    }
}

std::string LibraryItemName(int32_t id) {
    ResourceLibrary *library = GetLibrary();
    if (library == nullptr || id < 0 || !ResourceLibrary::IsItemIndexValid(uint32_t(id))) {
        return std::string();
    }
    const char *name = ResourceLibrary::GetItemName(library->GetItemById(uint32_t(id)));
    return name != nullptr ? name : std::string();
}

void SerializeColor(Archive &archive, Vector4 *color) {
    archive.SerializeWords(&color->x, 1);
    archive.SerializeWords(&color->y, 1);
    archive.SerializeWords(&color->z, 1);
    archive.SerializeWords(&color->w, 1);
}

void SerializeEnabledWord(Archive &archive, Actor &actor) {
    uint32_t enabled = EnabledWord(actor);
    archive.SerializeWord(&enabled);
    if (!archive.IsWriting() && !archive.Failed()) {
        SetEnabled(actor, enabled != 0);
    }
}

bool ServeUiLook(Actor &actor, UiLook &look, const UiLookCommands &ids, uint32_t commandId,
                 ParamBlock block) {
    if (ServeEnableCommands(actor, commandId)) {
        return true;
    }
    switch (commandId) {
    case kUiCmdActionStartValue:
    case kUiCmdActionStopValue:
    case kUiCmdKillValue:
        look.fade = block.ReadF32(0);
        return true;
    default:
        break;
    }
    // Each get command follows its set command.
    const uint32_t set = commandId;
    const bool get = commandId != 0 && (commandId - 1 == ids.color || commandId - 1 == ids.alignX ||
                                        commandId - 1 == ids.alignY || commandId - 1 == ids.style ||
                                        commandId - 1 == ids.fadeDistance ||
                                        commandId - 1 == ids.maxDistance);
    const uint32_t which = get ? commandId - 1 : set;
    if (which == ids.color) {
        float *c[4] = {&look.color.x, &look.color.y, &look.color.z, &look.color.w};
        for (size_t i = 0; i < 4; ++i) {
            if (get) {
                block.WriteF32(i * 4, *c[i]);
            } else {
                *c[i] = block.ReadF32(i * 4);
            }
        }
        return true;
    }
    uint32_t *word = which == ids.alignX  ? &look.alignX
                     : which == ids.alignY ? &look.alignY
                     : which == ids.style  ? &look.style
                                           : nullptr;
    float *real = which == ids.fadeDistance  ? &look.fadeDistance
                  : which == ids.maxDistance ? &look.maxDistance
                                             : nullptr;
    if (word == nullptr && real == nullptr) {
        return false;
    }
    if (get) {
        if (word != nullptr) {
            block.WriteU32(0, *word);
        } else {
            block.WriteF32(0, *real);
        }
    } else if (word != nullptr) {
        *word = block.ReadU32(0);
        if (which == ids.style) {
            // A new style starts from no distance fade; 3D labels from 400-600.
            look.maxDistance = look.style == 1 ? 600.0f : 0.0f;
            look.fadeDistance = look.style == 1 ? 400.0f : 0.0f;
        }
    } else {
        *real = block.ReadF32(0);
    }
    return true;
}

MaterialItem *AsMaterial(LibraryItem *item) {
    return item != nullptr && item->classId == uint32_t(ItemClass::Material)
               ? static_cast<MaterialItem *>(item)
               : nullptr;
}

std::string Translate(const std::string &key) {
    TextTable *table = TextTable::Instance();
    return table != nullptr ? table->Lookup(key) : key;
}

int32_t IdOf(const Actor *actor) { return actor != nullptr ? actor->actorId : -1; }
