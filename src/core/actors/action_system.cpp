// The action system of the base handler: starting, stopping and killing an
// actor with delays and timed transitions, passed down the tree. A running
// transition is one "Command Lerp" entry tagged 255 that feeds the value
// command (205-207) from the current value to its target; the "Post" step
// that ends it is an entry tagged 254 (untagged for "Kill Post"). A new start
// or stop takes over the value of a running transition.
#include <algorithm>

#include "core/actors/actor.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/base_command_families.h"
#include "core/actors/param_builder.h"

namespace {

enum : uint32_t {
    kDelete = 48,
    kSetCollisionEnable = 145,
    kFirstTimeCommand = 189,
    kLastTimeCommand = 202,
    kCalcActionTime = 203,
    kCalcActionTimeOwn = 204,
    kActionStartValue = 205,
    kActionStopValue = 206,
    kKillValue = 207,
    kActionStartPre = 208,
    kActionStopPre = 209,
    kKillPre = 210,
    kActionStart = 211,
    kActionStop = 212,
    kKill = 213,
    kActionStartPost = 214,
    kActionStopPost = 215,
    kKillPost = 216,
    kActionCommand = 217,
    kCommandLerp = 250,
    kFirstFlagCommand = 274,
    kLastFlagCommand = 301,
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
    if (builder.Build(kCommandLerp, {ParamValue(0.0f), ParamValue::Command(valueCommand, {value}),
                                     ParamValue::Command(valueCommand, {to})})) {
        actor.ScheduleCommand(kCommandLerp, builder.block(), kTransitionFlags, 0.0f, duration,
                              kTransitionInterval);
    }
    actor.ScheduleCommand(post, ParamBlock(), postFlags, duration, 0.0f, 0.0f);
}

void ActionStart(Actor &actor, ParamBlock block) {
    if ((actor.state & kActorKilled) != 0) {
        return;
    }
    actor.CancelScheduledCommands(kActionStop);
    if (!Has(actor, kBlockStartToChildren)) {
        PassToChildren(actor, kActionStartPre, block, kBlockStartFromParent);
    }
    if (actor.actionStartTime == 0.0f) {
        actor.HandleCommand(kActionStartPost, ParamBlock());
    } else {
        Transition(actor, 0.0f, kActionStartValue, 1.0f, actor.actionStartTime, kActionStartPost,
                   kOnceSavedTag254);
    }
}

void ActionStop(Actor &actor, ParamBlock block) {
    actor.CancelScheduledCommands(kActionStart);
    if (!Has(actor, kBlockStopToChildren)) {
        PassToChildren(actor, kActionStopPre, block, kBlockStopFromParent);
    }
    if (actor.actionStopTime == 0.0f) {
        actor.HandleCommand(kActionStopPost, ParamBlock());
    } else {
        Transition(actor, 1.0f, kActionStopValue, 0.0f, actor.actionStopTime, kActionStopPost,
                   kOnceSavedTag254);
    }
}

void Kill(Actor &actor, ParamBlock block) {
    if (!Has(actor, kBlockKillToChildren)) {
        PassToChildren(actor, kKillPre, block, kBlockKillFromParent);
    }
    if (actor.killTime == 0.0f) {
        actor.HandleCommand(kKillPost, ParamBlock());
    } else {
        Transition(actor, 1.0f, kKillValue, 0.0f, actor.killTime, kKillPost, kOnceSaved);
    }
}

void SetCollisionEnable(Actor &actor, bool on) {
    uint32_t value = on ? 1u : 0u;
    actor.HandleCommand(kSetCollisionEnable, BlockOf(value));
}

void ActionStartPost(Actor &actor) {
    if (!actor.colObjs.empty() && !actor.HasFlag(kActorCollisionEnabled)) {
        SetCollisionEnable(actor, true);
    }
    if (Has(actor, kKillPreOnStartPost)) {
        actor.HandleCommand(kKillPre, ParamBlock());
    }
    if (Has(actor, kStopPreOnStartPost)) {
        actor.HandleCommand(kActionStopPre, ParamBlock());
    }
}

void ActionStopPost(Actor &actor) {
    if (!actor.colObjs.empty() && actor.HasFlag(kActorCollisionEnabled)) {
        SetCollisionEnable(actor, false);
    }
    if (Has(actor, kStartPreOnStopPost)) {
        actor.HandleCommand(kActionStartPre, ParamBlock());
    }
}

void KillPost(Actor &actor) {
    if (actor.children.empty() || Has(actor, kForceDeleteOnKillPost)) {
        actor.HandleCommand(kDelete, ParamBlock());
    }
    actor.state |= kActorKilled;
}

void ActionCommand(Actor &actor, ParamBlock block) {
    if (!Has(actor, kDontExecActionCommand)) {
        ExecuteCommand(&actor, block.ReadU32(0), block.Sub(4));
    }
    if (!Has(actor, kBlockCmdToChildren)) {
        PassToChildren(actor, kActionCommand, block, kBlockCmdFromParent);
    }
}

void CalcActionTime(Actor &actor, ParamBlock block) {
    const float value = std::max(block.ReadF32(0), actor.actionTime);
    block.WriteF32(0, value);
    for (const auto &ref : SnapshotChildren(&actor)) {
        if (Actor *child = ResolveChild(&actor, ref)) {
            child->HandleCommand(kCalcActionTime, block);
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
    case kActionStartPre:
        Pre(actor, kActionStart, actor.actionStartDelay, block);
        return true;
    case kActionStopPre:
        Pre(actor, kActionStop, actor.actionStopDelay, block);
        return true;
    case kKillPre:
        Pre(actor, kKill, actor.killDelay, block);
        return true;
    case kActionStart:
        ActionStart(actor, block);
        return true;
    case kActionStop:
        ActionStop(actor, block);
        return true;
    case kKill:
        Kill(actor, block);
        return true;
    case kActionStartPost:
        ActionStartPost(actor);
        return true;
    case kActionStopPost:
        ActionStopPost(actor);
        return true;
    case kKillPost:
        KillPost(actor);
        return true;
    case kActionCommand:
        ActionCommand(actor, block);
        return true;
    case kCalcActionTimeOwn:
        actor.HandleCommand(kCalcActionTime, BlockOf(actor.actionTime));
        return true;
    case kCalcActionTime:
        CalcActionTime(actor, block);
        return true;
    default:
        return false;
    }
}
