// The action system of the base handler: starting, stopping and killing an
// actor with delays and timed transitions, passed down the tree. A running
// transition is one "Command Lerp" entry tagged 255 that feeds the value
// command (205-207) from the current value to its target; the "Post" step
// that ends it is an entry tagged 254 (untagged for "Kill Post"). A new start
// or stop takes over the value of a running transition.
#include <algorithm>

#include "core/actors/command_ids.h"
#include "core/actors/actor.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/base_command_families.h"
#include "core/actors/param_builder.h"

namespace {

enum : uint32_t {
    kFirstTimeCommand = cmd::base::SetKillDelay,
    kLastTimeCommand = cmd::base::GetActionTime,
    kFirstFlagCommand = cmd::base::SetBlockStartFromParent,
    kLastFlagCommand = cmd::base::GetStopLeaveDelayedStart,
};

// Action flag bits.
enum : uint32_t {
    kBlockStartFromParent = 1u << 0,
    kBlockStopFromParent = 1u << 1,
    kBlockKillFromParent = 1u << 2,
    kBlockCmdFromParent = 1u << 3,
    kBlockStartToChildren = 1u << 4,
    kBlockStopToChildren = 1u << 5,
    kBlockKillToChildren = 1u << 6,
    kBlockCmdToChildren = 1u << 7,
    kDontExecActionCommand = 1u << 8,
    kStopPreOnStartPost = 1u << 9,
    kStartPreOnStopPost = 1u << 10,
    kKillPreOnStartPost = 1u << 11,
    kForceDeleteOnKillPost = 1u << 12,
};
constexpr uint32_t kActionFlagCount = 14;

// Schedule flags.
constexpr uint32_t kOnceSaved = 4608;       // kind 2, saved
constexpr uint32_t kOnceSavedTag254 = 4862; // kind 2, tag 254, saved
constexpr uint32_t kTransitionFlags = 7679; // kind 13, tag 255, saved
constexpr uint8_t kTransitionTag = 255;
constexpr uint8_t kPostTag = 254;
constexpr float kTransitionInterval = 1.0f / 30.0f;

bool Has(const Actor &actor, uint32_t bit) { return (actor.actionFlags & bit) != 0; }

float *TimeField(Actor &actor, uint32_t commandId) {
    switch ((commandId - kFirstTimeCommand) / 2) {
    case 0:
        return &actor.killDelay;
    case 1:
        return &actor.killTime;
    case 2:
        return &actor.actionStartDelay;
    case 3:
        return &actor.actionStartTime;
    case 4:
        return &actor.actionStopDelay;
    case 5:
        return &actor.actionStopTime;
    default:
        return &actor.actionTime;
    }
}

// Sends the block on to every child that does not block it.
void PassToChildren(Actor &actor, uint32_t commandId, ParamBlock block, uint32_t childBlockBit) {
    for (const auto &ref : SnapshotChildren(&actor)) {
        Actor *child = ResolveChild(&actor, ref);
        if (child != nullptr && !Has(*child, childBlockBit)) {
            child->HandleCommand(commandId, block);
        }
    }
}

// "... Pre": the command now, or once after the delay.
void Pre(Actor &actor, uint32_t commandId, float delay, ParamBlock block) {
    if (delay == 0.0f) {
        actor.HandleCommand(commandId, block);
    } else {
        actor.ScheduleCommand(commandId, ParamBlock(), kOnceSaved, delay, 0.0f, 0.0f);
    }
}

// A timed transition from the current value (or `from` when none runs) to
// `to` over `duration`, fed to valueCommand, then `post` once at its end.
void Transition(Actor &actor, float from, uint32_t valueCommand, float to, float duration,
                uint32_t post, uint32_t postFlags) {
    float value = from;
    if (ScheduledCommand *running = FindScheduledCommandByTag(&actor, kTransitionTag)) {
        value = ScheduledCommandLerpValue(running);
        ActorSystem::CancelScheduledCommand(running);
        CancelScheduledCommandsByTag(&actor, kPostTag);
    }
    float announced = value;
    actor.HandleCommand(valueCommand, BlockOf(announced));

    ParamBlockBuilder builder;
    if (builder.Build(cmd::base::CommandLerp,
                      {ParamValue(0.0f), ParamValue::Command(valueCommand, {value}),
                                     ParamValue::Command(valueCommand, {to})})) {
        actor.ScheduleCommand(cmd::base::CommandLerp, builder.block(), kTransitionFlags, 0.0f,
                              duration,
                              kTransitionInterval);
    }
    actor.ScheduleCommand(post, ParamBlock(), postFlags, duration, 0.0f, 0.0f);
}

void ActionStart(Actor &actor, ParamBlock block) {
    if ((actor.state & kActorKilled) != 0) {
        return;
    }
    actor.CancelScheduledCommands(cmd::base::ActionStop);
    if (!Has(actor, kBlockStartToChildren)) {
        PassToChildren(actor, cmd::base::ActionStartPre, block, kBlockStartFromParent);
    }
    if (actor.actionStartTime == 0.0f) {
        actor.HandleCommand(cmd::base::ActionStartPost, ParamBlock());
    } else {
        Transition(actor, 0.0f, cmd::base::ActionStartValue, 1.0f, actor.actionStartTime,
                   cmd::base::ActionStartPost,
                   kOnceSavedTag254);
    }
}

void ActionStop(Actor &actor, ParamBlock block) {
    actor.CancelScheduledCommands(cmd::base::ActionStart);
    if (!Has(actor, kBlockStopToChildren)) {
        PassToChildren(actor, cmd::base::ActionStopPre, block, kBlockStopFromParent);
    }
    if (actor.actionStopTime == 0.0f) {
        actor.HandleCommand(cmd::base::ActionStopPost, ParamBlock());
    } else {
        Transition(actor, 1.0f, cmd::base::ActionStopValue, 0.0f, actor.actionStopTime,
                   cmd::base::ActionStopPost,
                   kOnceSavedTag254);
    }
}

void Kill(Actor &actor, ParamBlock block) {
    if (!Has(actor, kBlockKillToChildren)) {
        PassToChildren(actor, cmd::base::KillPre, block, kBlockKillFromParent);
    }
    if (actor.killTime == 0.0f) {
        actor.HandleCommand(cmd::base::KillPost, ParamBlock());
    } else {
        Transition(actor, 1.0f, cmd::base::KillValue, 0.0f, actor.killTime, cmd::base::KillPost,
                   kOnceSaved);
    }
}

void SetCollisionEnable(Actor &actor, bool on) {
    uint32_t value = on ? 1u : 0u;
    actor.HandleCommand(cmd::base::SetCollisionEnable, BlockOf(value));
}

void ActionStartPost(Actor &actor) {
    if (!actor.colObjs.empty() && !actor.HasFlag(kActorCollisionEnabled)) {
        SetCollisionEnable(actor, true);
    }
    if (Has(actor, kKillPreOnStartPost)) {
        actor.HandleCommand(cmd::base::KillPre, ParamBlock());
    }
    if (Has(actor, kStopPreOnStartPost)) {
        actor.HandleCommand(cmd::base::ActionStopPre, ParamBlock());
    }
}

void ActionStopPost(Actor &actor) {
    if (!actor.colObjs.empty() && actor.HasFlag(kActorCollisionEnabled)) {
        SetCollisionEnable(actor, false);
    }
    if (Has(actor, kStartPreOnStopPost)) {
        actor.HandleCommand(cmd::base::ActionStartPre, ParamBlock());
    }
}

void KillPost(Actor &actor) {
    if (actor.children.empty() || Has(actor, kForceDeleteOnKillPost)) {
        actor.HandleCommand(cmd::base::Delete, ParamBlock());
    }
    actor.state |= kActorKilled;
}

void ActionCommand(Actor &actor, ParamBlock block) {
    if (!Has(actor, kDontExecActionCommand)) {
        ExecuteCommand(&actor, block.ReadU32(0), block.Sub(4));
    }
    if (!Has(actor, kBlockCmdToChildren)) {
        PassToChildren(actor, cmd::base::ActionCommand, block, kBlockCmdFromParent);
    }
}

void CalcActionTime(Actor &actor, ParamBlock block) {
    const float value = std::max(block.ReadF32(0), actor.actionTime);
    block.WriteF32(0, value);
    for (const auto &ref : SnapshotChildren(&actor)) {
        if (Actor *child = ResolveChild(&actor, ref)) {
            child->HandleCommand(cmd::base::CalcActionTime_203, block);
        }
    }
}

} // namespace

bool HandleActionCommand(Actor &actor, uint32_t commandId, ParamBlock block) {
    if (commandId >= kFirstTimeCommand && commandId <= kLastTimeCommand) {
        float *field = TimeField(actor, commandId);
        if ((commandId - kFirstTimeCommand) % 2 == 0) {
            *field = block.ReadF32(0);
        } else {
            block.WriteF32(0, *field);
        }
        return true;
    }
    if (commandId >= kFirstFlagCommand && commandId <= kLastFlagCommand) {
        const uint32_t bit = 1u << ((commandId - kFirstFlagCommand) / 2);
        static_assert((kLastFlagCommand - kFirstFlagCommand) / 2 + 1 == kActionFlagCount);
        if ((commandId - kFirstFlagCommand) % 2 == 0) {
            actor.actionFlags =
                block.ReadU32(0) != 0 ? (actor.actionFlags | bit) : (actor.actionFlags & ~bit);
        } else {
            block.WriteU32(0, (actor.actionFlags & bit) != 0 ? 1u : 0u);
        }
        return true;
    }
    switch (commandId) {
    case cmd::base::ActionStartPre:
        Pre(actor, cmd::base::ActionStart, actor.actionStartDelay, block);
        return true;
    case cmd::base::ActionStopPre:
        Pre(actor, cmd::base::ActionStop, actor.actionStopDelay, block);
        return true;
    case cmd::base::KillPre:
        Pre(actor, cmd::base::Kill, actor.killDelay, block);
        return true;
    case cmd::base::ActionStart:
        ActionStart(actor, block);
        return true;
    case cmd::base::ActionStop:
        ActionStop(actor, block);
        return true;
    case cmd::base::Kill:
        Kill(actor, block);
        return true;
    case cmd::base::ActionStartPost:
        ActionStartPost(actor);
        return true;
    case cmd::base::ActionStopPost:
        ActionStopPost(actor);
        return true;
    case cmd::base::KillPost:
        KillPost(actor);
        return true;
    case cmd::base::ActionCommand:
        ActionCommand(actor, block);
        return true;
    case cmd::base::CalcActionTime_204:
        actor.HandleCommand(cmd::base::CalcActionTime_203, BlockOf(actor.actionTime));
        return true;
    case cmd::base::CalcActionTime_203:
        CalcActionTime(actor, block);
        return true;
    default:
        return false;
    }
}
