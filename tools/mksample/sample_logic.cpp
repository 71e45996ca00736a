#include "sample_logic.h"

#include "actors/presentation/mesh_object_actor.h"
#include "actors/world/state_actor.h"
#include "actors/world/time_instance_actor.h"
#include "actors/world/timer_actor.h"
#include "core/actors/actor.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_ids.h"
#include "sample_actors.h"
#include "sample_output.h"

namespace {


}  // namespace

bool AddRoomLogic(SampleOutput& out, const std::string& file, int32_t& next) {
    Actor* room = FindChildByName(GetActorById(kSceneryRootId), "RoomA");
    if (room == nullptr) return out.Fail(file, "no room \"RoomA\" for the logic");

    Actor* beacon = CreateActor(static_cast<int32_t>(kMeshObjectClassId), "GA32_Beacon", nullptr,
                                room, next++, true);
    if (beacon == nullptr || SendCommandArgs(beacon, cmd::base::SetResource,
                                             std::string("sphere")) == 0) {
        return out.Fail(file, "cannot make actor \"GA32_Beacon\"");
    }
    beacon->position = {200.0f, 100.0f, 300.0f};

    Actor* logic = CreateActor(static_cast<int32_t>(kStateClassId), "Logic", nullptr, room, next++,
                               true);
    Actor* clockwork = logic == nullptr ? nullptr
                                        : CreateActor(static_cast<int32_t>(kTimeInstanceClassId),
                                                      "GA33_Clockwork", nullptr, logic, next++, true);
    auto* clock = logic == nullptr ? nullptr
                                   : dynamic_cast<TimerActor*>(CreateActor(
                                         static_cast<int32_t>(kTimerClassId), "Clock", nullptr,
                                         logic, next++, true));
    if (clockwork == nullptr || clock == nullptr) {
        return out.Fail(file, "cannot make the logic actors");
    }
    SendCommandArgs(clock, cmd::timer::SetTimerType, kTimerForwardLoop);
    SendCommandArgs(clock, cmd::base::SetTotalTime, 2.0f);
    SendCommandArgs(clock, cmd::timer::SetTimerStartActive, 0u);
    clock->AddKey(0.5f, "hide", "[ga]GA32.Set_Visible(0);");
    clock->AddKey(1.5f, "show", "[ga]GA32.Set_Visible(1);");
    SendCommandArgs(clock, cmd::base::SetCurrentTime, 0.0f);
    std::string error;
    if (!AddSampleScript(clock, "run", cmd::base::StartGame,
                         "this.Connect_to_TimeInstance([ga]GA33); this.Start_Timer();", &error)) {
        return out.Fail(file, error);
    }
    return true;
}
