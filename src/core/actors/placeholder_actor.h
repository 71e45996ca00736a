// Stand-ins for actor classes that are not built yet.
//
// A PlaceholderActor carries the class id of the class it stands for and
// answers every command through the base handler. The class factory makes
// one wherever a class's own constructor does not exist yet, and the class's
// registration names its descriptor. Each class replaces its factory row
// when it is built.
#pragma once

#include <cstdint>

#include "core/actors/actor.h"

class PlaceholderActor : public Actor {
  public:
    explicit PlaceholderActor(uint32_t classIdOfStandIn) { classId = classIdOfStandIn; }
};

// Names the class's descriptor from the class name table and gives it the
// lineage [0, id] ([8] for the Class Manager) and no property items.
void RegisterPlaceholderClass(uint32_t classId);

template <uint32_t Id> Actor *NewPlaceholderActor() { return new PlaceholderActor(Id); }
template <uint32_t Id> void RegisterPlaceholderClassOf() { RegisterPlaceholderClass(Id); }
