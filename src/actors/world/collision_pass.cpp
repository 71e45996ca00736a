// The collision and simulation pass: sub-steps, the pair walk, contact
// resolution with the velocity response, and the integrator of simulated
// actors.
#include <algorithm>
#include <cmath>

#include "actors/presentation/environment_actor.h"
#include "actors/world/collision.h"
#include "actors/world/collision_grid.h"
#include "base/random.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_ids.h"
#include "core/actors/material_table.h"
#include "core/actors/script_runner.h"

namespace {

constexpr uint32_t kMaxResolutionIterations = 10;
// Scheduled with kind 7: acted on in the next pump only, on layer 1.
constexpr uint32_t kNextPassFlags = 0x700;

bool Enabled(const Actor *actor) { return actor->HasFlag(kActorCollisionEnabled); }

void UpdateBounds(Actor *actor) {
    if (const CollisionScene &scene = GetCollisionScene(); scene.updateBounds != nullptr) {
        scene.updateBounds(actor);
    }
}

const MaterialInfo &Material(uint32_t index) {
    static const MaterialInfo kNone{"", {0.0f, 0.0f, 0.0f}};
    return index < MaterialTable.size() ? MaterialTable[index] : kNone;
}
float Friction(const ColObj *object) { return Material(object->material).coefficients[1]; }
float Bounce(const ColObj *object) { return Material(object->material).coefficients[2]; }

// The record an actor without one is treated with: style 0, weight 1.0,
// state 0, events on.
const SimParams &DefaultSimParams() {
    static const SimParams kDefaults;
    return kDefaults;
}

void Schedule(Actor *actor, uint32_t commandId) {
    ::ScheduleCommand(actor, commandId, ParamBlock(), kNextPassFlags, 0.0f, 0.0f, 0.0f, nullptr, 1);
}

void Send(Actor *actor, uint32_t commandId) { actor->HandleCommand(commandId, ParamBlock()); }

// v - its part along the normal when that points into the surface; the
// along part goes to `along`.
Vector3 DropOpposing(const Vector3 &v, const Vector3 &normal, Vector3 *along) {
    Vector3 out;
    Vec3DropOpposingPart(&out, v, normal, along);
    return out;
}

void ApplyFriction(Vector3 &v, const ColObj *own, const ColObj *other) {
    const float k = Friction(other) * Friction(own);
    if (k == 1.0f) {
        v = {0.0f, 0.0f, 0.0f};
    } else {
        v = Vec3Scale(v, 1.0f - k);
    }
}

void RenewSpin(Actor *actor, SimParams &params, const Vector3 &v) {
    const float t = std::fabs(v.x) + std::fabs(v.y) + std::fabs(v.z);
    Vector3 axis = params.SpinAxis();
    if (t <= 330.0f) {
        Vector3 a = {0, 0, 0};
        float angle = 0.0f;
        QuaternionToAxisAngle(actor->rotation, &a, &angle);
        a.y = a.y <= 0.0f ? a.y - (0.15f - 0.9f * a.y) : 1.9f * a.y + 0.15f;
        Vec3Normalize(&a, a);
        QuaternionRotationAxis(&actor->rotation, a, angle);
        axis = a;
        const float draw = static_cast<float>(Rand() & 1023);
        params.SetSpinRate(draw * std::max(0.0f, 0.95f - std::fabs(a.y)) * 0.005f -
                           0.7f * params.SpinRate());
    } else {
        const float u = std::clamp((t - 330.0f) * 0.05f, 0.0f, 1.0f);
        axis.z += static_cast<float>(Rand() % 400 - 200) * 0.05f * u;
        axis.y += static_cast<float>(Rand() % 400 - 200) * 0.05f * u;
        axis.x += static_cast<float>(Rand() % 400 - 200) * 0.05f * u;
        params.SetSpinRate(static_cast<float>(100 - Rand() % 200) * u * 0.2f);
    }
    Vec3Normalize(&axis, axis);
    params.SetSpinAxis(axis);
}

// The Environment root's gravity and air resistance; 9.81 and 1.0 when
// actor 14 is missing or no Environment.
void EnvironmentValues(float *gravity, float *air) {
    *gravity = 9.81f;
    *air = 1.0f;
    if (const auto *environment =
            dynamic_cast<const EnvironmentActor *>(ActorTableEntry(kEnvironmentActorId))) {
        *gravity = environment->gravity;
        *air = environment->airResistance;
    }
}

} // namespace

CollisionSubSteps CollisionSubStepsFor(float delta) {
    CollisionSubSteps steps;
    uint32_t n = 1;
    if (delta > 0.0f) {
        const float k = std::min(35.0f * delta, 1.0e6f);
        n = 1 + static_cast<uint32_t>(k);
    }
    steps.fraction = 1.0f / static_cast<float>(n);
    steps.count = std::min<uint32_t>(n, 2);
    return steps;
}

namespace {

// What the pair walk knows of an object before the narrow phase: a world
// box that every contact of the object lies in, when there is one.
struct Candidate {
    enum : uint8_t { kAlways, kBoxed, kNever };
    ColObj *object = nullptr;
    size_t actor = 0; // index in the walked list
    Actor *owner = nullptr;
    int32_t group = -1; // the owner's draw group, of walked objects
    uint8_t cull = kAlways;
    Vector3 lo = {0, 0, 0};
    Vector3 hi = {0, 0, 0};
};

bool FiniteBox(const Vector3 &lo, const Vector3 &hi) {
    return std::isfinite(lo.x) && std::isfinite(lo.y) && std::isfinite(lo.z) &&
           std::isfinite(hi.x) && std::isfinite(hi.y) && std::isfinite(hi.z);
}

// Spheres, boxes, mesh triangles and swept points touch only inside their
// world boxes; the ground kinds test the mesh under them and are never
// culled; the other kinds touch nothing.
Candidate MakeCandidate(ColObj *object, size_t actor, Actor *owner) {
    Candidate c;
    c.object = object;
    c.actor = actor;
    c.owner = owner;
    const Vector3 &a = object->worldMin;
    const Vector3 &b = object->worldMax;
    // Mesh triangles are boxed as boxes are.
    switch (IsMeshKind(object->type) ? uint32_t{kKindBox} : object->type) {
    case kKindSphere: {
        const float r = std::fabs(b.x);
        c.lo = {a.x - r, a.y - r, a.z - r};
        c.hi = {a.x + r, a.y + r, a.z + r};
        break;
    }
    case kKindBox:
        c.lo = a;
        c.hi = b;
        break;
    case kKindRayPoint:
        c.lo = {std::min(a.x, a.x + b.x), std::min(a.y, a.y + b.y), std::min(a.z, a.z + b.z)};
        c.hi = {std::max(a.x, a.x + b.x), std::max(a.y, a.y + b.y), std::max(a.z, a.z + b.z)};
        break;
    case kKindGround:
    case kKindGround2:
        return c;
    default:
        c.cull = Candidate::kNever;
        return c;
    }
    c.cull = FiniteBox(c.lo, c.hi) ? Candidate::kBoxed : Candidate::kAlways;
    return c;
}

// False only for pairs that certainly do not touch.
bool MayTouch(const Candidate &a, const Candidate &b) {
    if (a.cull == Candidate::kNever || b.cull == Candidate::kNever) {
        return false;
    }
    if (a.cull != Candidate::kBoxed || b.cull != Candidate::kBoxed) {
        return true;
    }
    return !(a.hi.x < b.lo.x || b.hi.x < a.lo.x || a.hi.y < b.lo.y || b.hi.y < a.lo.y ||
             a.hi.z < b.lo.z || b.hi.z < a.lo.z);
}

} // namespace

namespace {

// The flattened lists of one pair walk: the objects of the walked list's
// actors, then those of the passive colliders, then the static objects of
// each draw group a walked actor is in, one block per group. Nothing the
// walk calls runs a handler (events are queued, contacts only recorded), so
// the lists are flattened once.
struct PairWalk {
    struct Block {
        int32_t group = -1;
        size_t begin = 0;
        size_t end = 0;
    };
    std::vector<Candidate> all;
    std::vector<size_t> firstOfActor; // first object of each walked actor
    std::vector<int32_t> blockOf;     // per walked object; -1: no statics
    std::vector<Block> blocks;
    size_t walked = 0;  // all[0, walked): the walked list's objects
    size_t passive = 0; // all[walked, passive): the passive colliders'
};

// What one walk builds, kept for the next so that its storage stays.
struct PairScratch {
    PairWalk walk;
    std::vector<CollisionGrid::Box> boxes;
    CollisionGrid grid;
    std::vector<uint32_t> met;   // per object, the walked object that met it last
    std::vector<uint32_t> found; // the partners one walked object meets
};

void FlattenPairWalk(const PointerList<Actor> &list, PairWalk &w) {
    const CollisionScene &scene = GetCollisionScene();
    w.all.clear();
    w.firstOfActor.clear();
    w.blocks.clear();
    size_t index = 0;
    for (const PointerListNode *n = list.First(); n != list.End(); n = n->next, ++index) {
        auto *actor = static_cast<Actor *>(n->item);
        w.firstOfActor.push_back(w.all.size());
        if (!Enabled(actor)) {
            continue;
        }
        const int32_t group = actor->drawGroupId;
        for (const auto &object : actor->colObjs) {
            w.all.push_back(MakeCandidate(object.get(), index, actor));
            w.all.back().group = group;
        }
    }
    w.firstOfActor.push_back(w.all.size());
    w.walked = w.all.size();
    if (scene.passive != nullptr) {
        for (Actor *actor : *scene.passive) {
            if (Enabled(actor)) {
                for (const auto &object : actor->colObjs) {
                    w.all.push_back(MakeCandidate(object.get(), 0, actor));
                }
            }
        }
    }
    w.passive = w.all.size();
    w.blockOf.assign(w.walked, -1);
    for (size_t k = 0; k < w.walked; ++k) {
        const int32_t group = w.all[k].group;
        if (group == -1 || scene.staticObjects == nullptr) {
            continue;
        }
        int32_t found = -1;
        if (k > 0 && w.blockOf[k - 1] != -1 &&
            w.blocks[static_cast<size_t>(w.blockOf[k - 1])].group == group) {
            found = w.blockOf[k - 1];
        }
        for (size_t b = 0; found == -1 && b < w.blocks.size(); ++b) {
            if (w.blocks[b].group == group) {
                found = static_cast<int32_t>(b);
            }
        }
        if (found == -1) {
            PairWalk::Block block;
            block.group = group;
            block.begin = w.all.size();
            if (PointerList<ColObj> *statics = scene.staticObjects(group)) {
                for (ColObj *object : *statics) {
                    if (object->owner != nullptr && Enabled(object->owner)) {
                        w.all.push_back(MakeCandidate(object, 0, object->owner));
                    }
                }
            }
            block.end = w.all.size();
            found = static_cast<int32_t>(w.blocks.size());
            w.blocks.push_back(block);
        }
        w.blockOf[k] = found;
    }
}

// The objects walked object k meets, in the order of the list: the later
// actors' objects and the passive colliders' [later, passive), then the
// statics of its group [blockBegin, blockEnd).
struct Partners {
    size_t later = 0;
    size_t passive = 0;
    size_t blockBegin = 0;
    size_t blockEnd = 0;

    Partners(const PairWalk &w, size_t k)
        : later(w.firstOfActor[w.all[k].actor + 1]), passive(w.passive) {
        if (w.blockOf[k] != -1) {
            const PairWalk::Block &block = w.blocks[static_cast<size_t>(w.blockOf[k])];
            blockBegin = block.begin;
            blockEnd = block.end;
        }
    }
    bool Has(size_t m) const {
        return (m >= later && m < passive) || (m >= blockBegin && m < blockEnd);
    }
    size_t Count() const { return passive - later + blockEnd - blockBegin; }
    template <class Each> void ForEach(Each &&each) const {
        for (size_t m = later; m < passive; ++m) {
            each(m);
        }
        for (size_t m = blockBegin; m < blockEnd; ++m) {
            each(m);
        }
    }
};

// Hands every pair of the walk that may touch to `visit`, object by walked
// object in list order: first the later actors' objects, then the passive
// colliders', then the statics of its group, each in list order. With a
// large enough walk the broadphase grid finds each object's candidates,
// which are handed out in that same order.
// Answers whether the grid's cells were searched.
template <class Visit> bool WalkPairs(PairScratch &scratch, Visit &&visit) {
    const PairWalk &w = scratch.walk;
    auto walkEveryPair = [&] {
        for (size_t k = 0; k < w.walked; ++k) {
            const Candidate &a = w.all[k];
            Partners(w, k).ForEach([&](size_t m) {
                if (MayTouch(a, w.all[m])) {
                    visit(a.object, w.all[m].object);
                }
            });
        }
    };
    if (w.walked < CollisionGridMinimum()) {
        walkEveryPair();
        return false;
    }
    std::vector<CollisionGrid::Box> &boxes = scratch.boxes;
    boxes.resize(w.all.size());
    for (size_t m = 0; m < w.all.size(); ++m) {
        const Candidate &c = w.all[m];
        boxes[m].lo = c.lo;
        boxes[m].hi = c.hi;
        boxes[m].use = c.cull == Candidate::kBoxed   ? CollisionGrid::Box::kPlace
                       : c.cull == Candidate::kNever ? CollisionGrid::Box::kSkip
                                                     : CollisionGrid::Box::kLoose;
    }
    CollisionGrid &grid = scratch.grid;
    grid.Build(boxes, w.walked);

    // Where most objects crowd into a few cells, searching the cells costs
    // more than testing every pair: then every pair is tested.
    const auto walked = static_cast<uint32_t>(w.walked);
    size_t everyPair = 0;
    for (uint32_t k = 0; k < walked; ++k) {
        everyPair += Partners(w, k).Count();
    }
    if (grid.SearchLoad() > everyPair / 2) {
        walkEveryPair();
        return false;
    }

    // Walked object k meets m when m is one of its partners and their boxes
    // may touch. The objects the grid keeps aside meet everything.
    std::vector<uint32_t> &met = scratch.met;
    met.assign(w.all.size(), walked);
    std::vector<uint32_t> &found = scratch.found;
    const std::vector<uint32_t> &loose = grid.Loose();
    for (uint32_t k = 0; k < walked; ++k) {
        const Candidate &a = w.all[k];
        if (a.cull == Candidate::kNever) {
            continue; // touches nothing
        }
        const Partners partners(w, k);
        if (!grid.Placed(k)) {
            partners.ForEach([&](size_t m) {
                if (MayTouch(a, w.all[m])) {
                    visit(a.object, w.all[m].object);
                }
            });
            continue;
        }
        found.clear();
        grid.ForEachLaterInCellsOf(k, [&](uint32_t m) {
            if (met[m] != k) {
                met[m] = k;
                if (partners.Has(m)) {
                    found.push_back(m);
                }
            }
        });
        for (const uint32_t l : loose) {
            if (partners.Has(l)) {
                met[l] = k;
                found.push_back(l);
            }
        }
        // In the list's order: sorted when few, else picked out of the
        // partners in turn.
        if (found.size() * 16 < partners.Count()) {
            std::sort(found.begin(), found.end());
            for (const uint32_t m : found) {
                if (MayTouch(a, w.all[m])) {
                    visit(a.object, w.all[m].object);
                }
            }
        } else {
            partners.ForEach([&](size_t m) {
                if (met[m] == k && MayTouch(a, w.all[m])) {
                    visit(a.object, w.all[m].object);
                }
            });
        }
    }
    return true;
}

} // namespace

void CollidePairsOfList(const PointerList<Actor> &list, uint32_t mode) {
    // A pair whose boxes are apart is not handed to the narrow phase, where
    // it would find nothing.
    static PairScratch scratch;
    FlattenPairWalk(list, scratch.walk);
    WalkPairs(scratch, [mode](ColObj *a, ColObj *b) { CollideColObjs(a, b, mode); });
}

std::vector<std::pair<ColObj *, ColObj *>> CandidatePairsOfList(const PointerList<Actor> &list,
                                                                bool *searchedCells) {
    std::vector<std::pair<ColObj *, ColObj *>> pairs;
    PairScratch scratch;
    FlattenPairWalk(list, scratch.walk);
    const bool searched =
        WalkPairs(scratch, [&pairs](ColObj *a, ColObj *b) { pairs.emplace_back(a, b); });
    if (searchedCells != nullptr) {
        *searchedCells = searched;
    }
    return pairs;
}

void IntegrateSimulatedActor(Actor *actor, float fraction) {
    RefreshTimeRecord(actor->timeRecord);
    const TimeRecord *record = actor->timeRecord;
    const float dt = record != nullptr ? record->delta * record->simMultiplier * fraction : 0.0f;
    if (!actor->simParams) {
        actor->simParams = std::make_unique<SimParams>();
    }
    SimParams &params = *actor->simParams;
    float gravity = 9.81f;
    float air = 1.0f;
    EnvironmentValues(&gravity, &air);
    const float s = CollisionWorldScale();
    Vector3 v = actor->deltaPosition;
    v.y -= s * params.GravityMultiplier() * gravity * dt * 1.8f;
    const Vector3 d = Vec3Scale(v, Vec3Length(v));
    const float k = dt * air * 0.0005f;
    const Vector3 drag = params.AirResistance();
    // Drag slows the motion down to rest at most, never past it.
    const auto slowed = [](float before, float after) { return before * after < 0.0f ? 0.0f : after; };
    v = {slowed(v.x, v.x - d.x * k * drag.x), slowed(v.y, v.y - d.y * k * drag.y),
         slowed(v.z, v.z - d.z * k * drag.z)};
    const Vector3 position = Vec3Add(actor->position, Vec3Scale(v, dt));
    // A step whose velocity or place would not be finite (a gravity or a
    // drag so large that the numbers overflow) is not taken.
    if (!Vec3IsFinite(v) || !Vec3IsFinite(position)) {
        return;
    }
    actor->deltaPosition = v;
    actor->position = position;

    if (params.Motion() == kSimWaking) {
        params.SetMotion(kSimWoken);
    } else if (params.Motion() == kSimWoken && params.EventsOn()) {
        params.SetMotion(kSimFree);
        Send(actor, cmd::base::OnSimFreeStart);
    }

    switch (params.Style()) {
    case 0:
        break;
    case 3:
    case 4: {
        Quaternion spin;
        QuaternionRotationAxis(&spin, params.SpinAxis(), dt * params.SpinRate());
        params.SetSpinRotation(spin);
        QuaternionMultiply(&actor->rotation, actor->rotation, spin);
        break;
    }
    case 5: {
        Quaternion spin;
        QuaternionRotationYawPitchRoll(&spin, dt * v.x, dt * v.y, dt * v.z);
        params.SetSpinRotation(spin);
        QuaternionMultiply(&actor->rotation, actor->rotation, spin);
        break;
    }
    default:
        if ((params.Flags() & kSimDirectionByMovement) != 0) {
            // A zero velocity or a straight fall gives no direction: the
            // rotation stays.
            Vector3 across;
            const Vector3 up = {0.0f, 1.0f, 0.0f};
            Vec3Cross(&across, v, up);
            if (Vec3LengthSquared(across) > 1e-12f * std::max(1.0f, Vec3LengthSquared(v))) {
                Matrix view;
                MatrixLookAt(&view, actor->position, Vec3Add(actor->position, v), up);
                Matrix world;
                if (MatrixInverse(&world, view) != nullptr) {
                    QuaternionFromMatrix(&actor->rotation, world);
                }
            }
        }
        break;
    }
    actor->InvalidateTransform();
}

void ResolveOneContact(Actor *actor) {
    SimState *holder = actor->simState.get();
    if (holder == nullptr || holder->contacts.empty()) {
        actor->flags &= ~kActorContacted;
        return;
    }
    const size_t contactCount = holder->contacts.size();
    const ContactRecord *best = &holder->contacts[0];
    for (const ContactRecord &record : holder->contacts) {
        if (Vec3LengthSquared(record.push) < Vec3LengthSquared(best->push)) {
            best = &record;
        }
    }
    const ContactRecord contact = *best;
    holder->contacts.clear();
    actor->position = Vec3Add(actor->position, contact.push);
    holder->w1 |= kSimStatePushed;
    holder->touches.push_back({contact.point, contact.normal, contact.push, contact.other->groups});

    const Vector3 normal = contact.normal;
    Vector3 v = actor->deltaPosition;
    Vector3 along = {0, 0, 0};
    SimParams *params = actor->simParams.get();
    const SimParams &settings = params != nullptr ? *params : DefaultSimParams();
    const bool events = settings.EventsOn();
    if (settings.Style() == 0 || params == nullptr) {
        v = DropOpposing(v, normal, &along);
        v = Vec3Sub(v, Vec3Scale(along, Bounce(contact.own)));
        ApplyFriction(v, contact.own, contact.other);
        const bool otherDynamic = (contact.other->flags & kColObjDynamic) != 0;
        if (contactCount == 1 && (contact.own->flags & kColObjDynamic) != 0 && !otherDynamic &&
            contact.other->owner != nullptr) {
            actor->position = Vec3Add(actor->position, contact.other->owner->deltaPosition);
        }
    } else {
        if (params->Style() == 3 || params->Style() == 4) {
            RenewSpin(actor, *params, v);
        }
        v = DropOpposing(v, normal, &along);
        switch (params->Motion()) {
        case kSimFree: {
            const Vector3 b = Vec3Scale(along, Bounce(contact.own));
            if (Vec3LengthSquared(b) <= params->BounceToSlide()) {
                params->SetMotion(kSimSliding);
                if (events) {
                    Send(actor, cmd::base::OnSimFreeStop);
                    Send(actor, cmd::base::OnSimSlideStart);
                }
            } else {
                v = Vec3Sub(v, b);
                if (events) {
                    RunEventScripts(actor, cmd::base::OnSimBounce, contact.other->owner);
                }
            }
            break;
        }
        case kSimSliding:
            ApplyFriction(v, contact.own, contact.other);
            if (Vec3LengthSquared(v) < params->SlideToRest()) {
                Schedule(actor, cmd::base::StopSimulate);
            }
            break;
        case kSimResting:
            Schedule(actor, cmd::base::StartSimulate);
            params->SetMotion(kSimWaking);
            if (events) {
                Send(actor, cmd::base::OnSimRestStop);
            }
            break;
        case kSimWoken:
            params->SetMotion(kSimSliding);
            if (events) {
                Send(actor, cmd::base::OnSimSlideStart);
            }
            break;
        default:
            break;
        }
    }
    actor->deltaPosition = v;
    actor->flags &= ~kActorContacted;
    actor->InvalidateTransform();
    UpdateBounds(actor);
}

int RunCollisionPass(ActorSystem *system, float delta) {
    (void)system;
    ActorDeliveryScope delivery;
    ColObjFreeDeferral keepObjects;
    const CollisionScene &scene = GetCollisionScene();
    CollisionEventQueue &queue = GetCollisionEventQueue();
    queue.Clear();
    const CollisionSubSteps steps = CollisionSubStepsFor(delta);

    // The movers of both lists, taken once for each sub-step: integrating
    // may run handlers. Updating bounds runs none, so the first sub-step
    // takes the movers whose bounds were just brought up to date.
    std::vector<Actor *> simulated;
    auto takeMovers = [&scene, &simulated] {
        simulated.clear();
        simulated.reserve((scene.passive != nullptr ? scene.passive->Count() : 0) +
                          (scene.active != nullptr ? scene.active->Count() : 0));
        for (const PointerList<Actor> *list : {scene.passive, scene.active}) {
            if (list != nullptr) {
                for (Actor *actor : *list) {
                    simulated.push_back(actor);
                }
            }
        }
    };
    takeMovers();
    for (Actor *actor : simulated) {
        if (!actor->HasFlag(kActorSimulated)) {
            UpdateBounds(actor);
        }
    }
    static PointerList<Actor> workList;
    static const PointerList<Actor> kEmpty;
    for (uint32_t k = 0; k < steps.count; ++k) {
        if (k > 0) {
            takeMovers();
        }
        for (Actor *actor : simulated) {
            if (actor->HasFlag(kActorSimulated)) {
                IntegrateSimulatedActor(actor, steps.fraction);
                UpdateBounds(actor);
            }
        }
        const bool last = k + 1 == steps.count;
        CollidePairsOfList(scene.active != nullptr ? *scene.active : kEmpty,
                           last ? (kCollideEvents | kCollideContacts) : kCollideContacts);
        for (uint32_t iteration = 0; iteration < kMaxResolutionIterations && !ContactedList.Empty();
             ++iteration) {
            workList.Assign(ContactedList);
            ContactedList.Clear();
            for (Actor *actor : workList.Items()) {
                const size_t contacts = actor->simState ? actor->simState->contacts.size() : 0;
                ResolveOneContact(actor);
                if (contacts <= 1) {
                    workList.UnlinkFirst(actor);
                }
            }
            CollidePairsOfList(workList, kCollideContacts);
        }
        workList.Clear();
        // Still touching after the last iteration: back to the previous pose.
        for (Actor *actor : ContactedList.Items()) {
            actor->position = actor->oldPosition;
            actor->rotation = actor->oldRotation;
            actor->deltaPosition = {0.0f, 0.0f, 0.0f};
            if (actor->simState) {
                actor->simState->contacts.clear();
            }
            actor->flags &= ~kActorContacted;
            Send(actor, cmd::base::PoseRestored);
            actor->InvalidateTransform();
        }
        ContactedList.Clear();
    }
    queue.Deliver();
    return 1;
}

void RunEventScripts(Actor *actor, uint32_t eventId, Actor *local) {
    ScriptRunScope scope(actor);
    for (size_t i = 0; i < actor->scripts.size(); ++i) {
        ScriptRecord *record = actor->scripts[i].get();
        if (record != nullptr && !record->dead && record->eventId == eventId) {
            RunHeldScript(actor, record, local);
        }
    }
}
