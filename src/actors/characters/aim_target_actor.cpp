#include "actors/characters/aim_target_actor.h"

void AimTargetActor::RegisterClass() {
    RegisterSinglePageClass(kAimTargetClassId, "Aim Target Properties");
}
