#include "core/actors/class_factory.h"

#include <array>
#include <vector>

#include "core/actors/actor.h"
#include "core/actors/actor_system.h"
#include "core/actors/class_descriptor.h"
#include "core/actors/class_manager_actor.h"
#include "core/actors/placeholder_actor.h"

const uint32_t kClassRegistrationOrder[kRegisteredClassCount] = {
    2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16, 17, 18,
    19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35,
    36, 38, 40, 42, 41, 43, 37, 44, 45, 46, 47, 48, 49, 50, 51, 52, 53,
};

namespace {

using RowTable = std::array<ActorClassRow, kClassCount>;

Actor *NewBaseActor() { return new Actor(); }
Actor *NewClassManagerActor() { return new ClassManagerActor(); }

// The core's own rows: class 0 and the Class Manager.
const ActorClassRow kCoreClassRows[] = {
    {0, &NewBaseActor, nullptr},
    {kClassManagerClassId, &NewClassManagerActor, &ClassManagerActor::RegisterClass},
};

// The rows the subsystems registered, in registration order.
std::vector<std::span<const ActorClassRow>> &RegisteredRows() {
    static std::vector<std::span<const ActorClassRow>> parts;
    return parts;
}

RowTable BuildRows() {
    RowTable rows{};
    for (size_t id = 0; id < rows.size(); ++id) {
        rows[id].classId = static_cast<uint32_t>(id);
    }
    std::vector<std::span<const ActorClassRow>> parts = {kCoreClassRows};
    parts.insert(parts.end(), RegisteredRows().begin(), RegisteredRows().end());
    for (std::span<const ActorClassRow> part : parts) {
        for (const ActorClassRow &row : part) {
            if (row.classId < rows.size() && row.classId != kActorSystemClassId &&
                row.classId != kNullActorClassId) {
                rows[row.classId] = row;
            }
        }
    }
    return rows;
}

RowTable &Rows() {
    static RowTable rows = BuildRows();
    return rows;
}

} // namespace

void RegisterActorClassRows(std::span<const ActorClassRow> rows) {
    for (std::span<const ActorClassRow> part : RegisteredRows()) {
        if (part.data() == rows.data() && part.size() == rows.size()) {
            return;
        }
    }
    RegisteredRows().push_back(rows);
    Rows() = BuildRows();
}

ActorClassRow GetActorClassRow(uint32_t classId) {
    if (classId >= kClassCount) {
        return ActorClassRow{classId, nullptr, nullptr};
    }
    return Rows()[classId];
}

Actor *ConstructActorOfClass(uint32_t classId) {
    ActorClassRow row = GetActorClassRow(classId);
    return row.construct != nullptr ? row.construct() : nullptr;
}

void RegisterActorClasses() {
    for (uint32_t classId : kClassRegistrationOrder) {
        ActorClassRow row = GetActorClassRow(classId);
        if (row.registerClass != nullptr) {
            row.registerClass();
        }
    }
}

ActorClassRow SetActorClassRowForTests(uint32_t classId, const ActorClassRow &row) {
    if (classId >= kClassCount) {
        return ActorClassRow{classId, nullptr, nullptr};
    }
    ActorClassRow previous = Rows()[classId];
    Rows()[classId] = row;
    Rows()[classId].classId = classId;
    return previous;
}

void ResetActorClassRowsForTests() { Rows() = BuildRows(); }

void RegisterPlaceholderClass(uint32_t classId) {
    if (classId >= kClassCount) {
        return;
    }
    ActorClassDescriptor &descriptor = NameClassDescriptor(classId);
    if (classId == 8) {
        descriptor.lineage = {8};
    } else {
        descriptor.lineage = {0, classId};
    }
    descriptor.items.clear();
}
