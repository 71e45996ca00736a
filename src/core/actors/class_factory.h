// The class table behind the class factory: for every class id, the function
// that constructs an actor of the class with its defaults, and the function
// that registers the class's descriptor and property sheet. The core has
// rows for class 0 and the Class Manager; each subsystem lists the rows of
// its own classes, and the class list registers them (a class not built yet
// has a placeholder row).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

class Actor;

using ActorConstructor = Actor *(*)();
using ClassRegistration = void (*)();

struct ActorClassRow {
    uint32_t classId = 0;
    ActorConstructor construct = nullptr;
    ClassRegistration registerClass = nullptr;
};

// Class ids in the order their registrations run at start-up.
inline constexpr size_t kRegisteredClassCount = 51;
extern const uint32_t kClassRegistrationOrder[kRegisteredClassCount];

// Adds a subsystem's rows (a later row of a class id replaces an earlier
// one; the same rows twice are taken once). The rows must outlive the
// process's use of the factory.
void RegisterActorClassRows(std::span<const ActorClassRow> rows);

// The row of a class id; an empty row (no constructor) for 1, 39 and ids
// above 53.
ActorClassRow GetActorClassRow(uint32_t classId);

// A new actor of the class with its defaults; null for a class without a
// constructor.
Actor *ConstructActorOfClass(uint32_t classId);

// Runs every class registration in start-up order.
void RegisterActorClasses();

// Tests only: replaces one row (returns the previous one) / restores all.
ActorClassRow SetActorClassRowForTests(uint32_t classId, const ActorClassRow &row);
void ResetActorClassRowsForTests();
