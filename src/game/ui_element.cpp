#include "game/ui_element.h"

#include <cmath>
#include <limits>

#include "base/file_system.h"
#include "core/actors/actor.h"
#include "core/actors/actor_system.h"
#include "library/resource_library.h"

void RegisterUiClass(uint32_t classId, std::span<const UiSheetRow> rows) {
    ActorClassDescriptor &descriptor = NameClassDescriptor(classId);
    descriptor.lineage = {0, classId};
    descriptor.items.clear();
    for (const UiSheetRow &row : rows) {
        descriptor.items.emplace_back(row.label, row.kind, row.setCommand, row.getCommand, 0, 0.0f,
                                      0.0f, 1.0f, nullptr);
    }
}

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
    uint32_t enabled = actor.state & kActorEnabled;
    archive.SerializeWord(&enabled);
    if (!archive.IsWriting() && !archive.Failed()) {
        SetEnabled(actor, (enabled & kActorEnabled) != 0);
    }
}
