#include "actors/presentation/camera_actor.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "actors/world/draw_groups.h"
#include "base/file_system.h"
#include "core/actors/actor_file_dump.h"
#include "core/actors/actor_sends.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/class_descriptor.h"
#include "core/actors/command_ids.h"
#include "core/actors/draw_group_hooks.h"
#include "core/actors/process_entry.h"
#include "core/actors/subsystem_hooks.h"
#include "core/actors/time_record.h"
#include "library/library_item.h"
#include "library/render/render_front_end.h"
#include "library/resource_library.h"

namespace {

constexpr uint32_t kCameraColFlags = 0x31; // active, bit 4, dynamic
constexpr uint32_t kCameraColExclude = 0x04040000;
constexpr float kLengthEpsilon = 0.00001f;

// clang-format off
const BasicSheetRow kSheet[] = {
    {"Camera Properties", PropertyKind::PageTitle, 0, 0},
    {"Type:|Free|0|Target|1|TargetX2|2|Target2|3|Target2|4|Target2|4|", PropertyKind::Enumeration, cmd::camera::SetCameraType, cmd::camera::GetCameraType},
    {"Fov:", PropertyKind::Angle, cmd::camera::SetFov, cmd::camera::GetFov},
    {"Aspect:", PropertyKind::Real, cmd::camera::SetAspectratio, cmd::camera::GetAspectratio},
    {"Near:", PropertyKind::Real, cmd::camera::SetNear, cmd::camera::GetNear},
    {"Far:", PropertyKind::Real, cmd::camera::SetFar, cmd::camera::GetFar},
    {"Active:", PropertyKind::CheckBox, cmd::camera::SetCameraActive, cmd::camera::GetCameraActive},
    {"CameraTarget 1:", PropertyKind::ActorReference, cmd::camera::SetCameraTarget1_1226, cmd::camera::GetCameraTarget1_1227},
    {"CameraTarget 2:", PropertyKind::ActorReference, cmd::camera::SetCameraTarget2_1228, cmd::camera::GetCameraTarget2_1229},
};
// clang-format on

// The flash material and the library it was found in (a new library looks
// it up again).
MaterialItem *g_flashMaterial = nullptr;
ResourceLibrary *g_flashLibrary = nullptr;

Vector3 Blend(const Vector3 &wanted, const Vector3 &held, float factor) {
    return Vec3Add(Vec3Scale(wanted, 1.0f - factor), Vec3Scale(held, factor));
}
Vector3 Lerp(const Vector3 &from, const Vector3 &to, float t) {
    return Vec3Add(from, Vec3Scale(Vec3Sub(to, from), t));
}

// The nearest collision object on the line that the camera's probe masks
// let through; null when none.
ColObj *Probe(const Vector3 &from, const Vector3 &to, Vector3 *hit, Vector3 *normal) {
    ActorSystem *system = GetActorSystem();
    if (system == nullptr) {
        return nullptr;
    }
    return system->CollisionQuery(from, to, kCameraProbeMasks, hit, normal);
}

void SetFieldOfView(float angle) {
    if (ResourceLibrary *library = GetLibrary()) {
        library->SetFieldOfView(angle);
    }
}

void SetCameraLookAt(const Vector3 &eye, const Vector3 &look, const Vector3 &up) {
    if (ResourceLibrary *library = GetLibrary()) {
        library->SetCameraLookAt(eye, look, up);
    }
}

MaterialItem *FlashMaterial(ResourceLibrary *library) {
    if (library != g_flashLibrary) {
        g_flashLibrary = library;
        g_flashMaterial = nullptr;
    }
    if (g_flashMaterial == nullptr) {
        g_flashMaterial =
            dynamic_cast<MaterialItem *>(library->FindItemByName("whiteadd", ItemClass::Material));
    }
    return g_flashMaterial;
}

} // namespace

void ResetCameraState() {
    g_flashMaterial = nullptr;
    g_flashLibrary = nullptr;
}

CameraActor::CameraActor() {
    classId = kCameraClassId;
    position = {0.0f, 0.0f, 7.0f};
    flags &= ~kActorStatic;
}

CameraActor::~CameraActor() {
    if (CurrentCamera == this) {
        CurrentCamera = nullptr;
    }
    target1.Release();
    target2.Release();
}

void CameraActor::RegisterClass() {
    RegisterBasicClassSheet(kCameraClassId, kSheet);
}

ColObj CameraActor::MakeCameraColObj() {
    ColObj object(this);
    object.name = "Camera Col";
    object.type = 1; // sphere
    object.boxMin = {0.0f, 0.0f, 0.0f};
    object.boxMax = {kCameraRadius, kCameraRadius, kCameraRadius};
    object.groups = 1;
    object.receiveGroups = 1;
    object.excludeGroups = kCameraColExclude;
    object.flags = kCameraColFlags;
    object.material = 0;
    object.fill = 9;
    object.factor = 0.0f;
    object.hitEffect = 0;
    object.reference = -1;
    return object;
}

void CameraActor::SetTarget(ActorLink &link, Actor *actor, bool rigChildren) {
    // The link is saved by its target's path from now on, not by the path
    // an earlier file gave.
    link.Release();
    link.path.clear();
    if (actor != nullptr) {
        link.Assign(actor);
    }
    if (!rigChildren || target1.target == nullptr) {
        return;
    }
    Actor *target = target1.target;
    if (Actor *rigTarget = FindChildByName(target, "CameraTarget")) {
        SetTarget(target2, rigTarget, false);
        targetHeight = rigTarget->position.y;
        lookHeight = rigTarget->position.y * 0.6f;
    }
    if (Actor *rigPosition = FindChildByName(target, "CameraPosition")) {
        distance = Vec3Length(rigPosition->position);
        heightOffset = distance / 3.0f;
    }
}

int CameraActor::SetActive(bool on) {
    if (on == (active != 0)) {
        return 1;
    }
    active = on ? 1 : 0;
    if (!on) {
        if (CurrentCamera == this) {
            CurrentCamera = nullptr;
        }
        return 0;
    }
    if (CurrentCamera != nullptr && CurrentCamera != this) {
        uint32_t off = 0;
        CurrentCamera->HandleCommand(cmd::camera::SetCameraActive, ParamBlock(&off, sizeof(off)));
    }
    CurrentCamera = this;
    if (cameraType == kCameraFollow && target1.target != nullptr) {
        Actor *target = target1.target;
        target->UpdateWorldMatrix();
        look = target->GetWorldPosition();
        eye = Vec3Add(look, {150.0f, 150.0f, 0.0f});
        position = eye;
        InvalidateTransform();
        SetCameraLookAt(eye, look, {0.0f, 1.0f, 0.0f});
    }
    return 0;
}

void CameraActor::SetCameraType(uint32_t type) {
    cameraType = type;
    while (!colObjs.empty()) {
        RemoveColObj(colObjs.size() - 1);
    }
    flags &= ~kActorFlag11;
    if (type == kCameraTarget || type == kCameraFollow || type == kCameraOrbit) {
        AddColObj(MakeCameraColObj());
    }
    switch (type) {
    case kCameraLookChase:
        lookSmoothing = 0.05f;
        eyeSmoothing = 0.5f;
        targetHeight = 43.0f;
        distance = 105.0f;
        pullDecay = 0.97f;
        pullRecovery = 0.0f;
        break;
    case kCameraOrbit:
        lookSmoothing = 0.5f;
        eyeSmoothing = 0.7f;
        upSmoothing = 0.9f;
        targetHeight = 0.0f;
        distance = 105.0f;
        pullDecay = 0.97f;
        pullRecovery = 0.0f;
        break;
    case kCameraTarget:
        lookSmoothing = 0.86f;
        eyeSmoothing = 0.92f;
        heightOffset = 30.0f;
        distance = 125.0f;
        break;
    default:
        break;
    }
}

void CameraActor::Turn(float amount, bool vertical) {
    Vector3 d = Vec3Sub(eye, look);
    const float len = Vec3Length(d);
    if (len > kLengthEpsilon) {
        d = Vec3Scale(d, 1.0f / len);
    }
    const Vector3 worldUp = {0.0f, 1.0f, 0.0f};
    const Vector3 side = vertical ? Vec3Cross(d, Vec3Cross(d, worldUp)) : Vec3Cross(d, worldUp);
    eye = Vec3Add(eye, Vec3Scale(side, len * amount));
    RefreshTimeRecord(timeRecord);
    lastTurnTime = timeRecord->time;
}

int CameraActor::HandleCommand(uint32_t commandId, ParamBlock block) {
    ResourceLibrary *library = GetLibrary();
    switch (commandId) {
    case cmd::camera::SetFov:
        fov = block.ReadF32(0);
        SetFieldOfView(fov);
        fovDirty = 1;
        break;
    case cmd::camera::GetFov:
        block.Write(0, fov);
        break;
    case cmd::camera::SetAspectratio:
        aspect = block.ReadF32(0);
        if (library != nullptr) {
            library->SetAspectAdjust(aspect);
        }
        break;
    case cmd::camera::GetAspectratio:
        block.Write(0, aspect);
        break;
    case cmd::camera::SetNear:
        nearClip = block.ReadF32(0);
        if (library != nullptr) {
            library->SetNearClip(nearClip);
        }
        break;
    case cmd::camera::GetNear:
        block.Write(0, nearClip);
        break;
    case cmd::camera::SetFar:
        farClip = block.ReadF32(0);
        if (library != nullptr) {
            library->SetFarClip(farClip);
        }
        break;
    case cmd::camera::GetFar:
        block.Write(0, farClip);
        break;
    case cmd::camera::SetCameraType:
        SetCameraType(block.ReadU32(0));
        break;
    case cmd::camera::GetCameraType:
        block.WriteU32(0, cameraType);
        break;
    case cmd::camera::SetCameraTarget1_1222:
        SetTarget(target1, block.ReadActor(0), true);
        break;
    case cmd::camera::GetCameraTarget1_1223:
        block.WriteActor(0, target1.target);
        break;
    case cmd::camera::SetCameraTarget2_1224:
        SetTarget(target2, block.ReadActor(0), false);
        break;
    case cmd::camera::GetCameraTarget2_1225:
        block.WriteActor(0, target2.target);
        break;
    case cmd::camera::SetCameraTarget1_1226:
    case cmd::camera::SetCameraTarget2_1228: {
        const bool first = commandId == cmd::camera::SetCameraTarget1_1226;
        ParamReader reader(commandId, block);
        const ParamReader::ActorExt value = reader.ActorPointerExt();
        ActorLink &link = first ? target1 : target2;
        if (value.actor != nullptr) {
            SetTarget(link, value.actor, first);
        }
        if (!value.text.empty()) {
            if (Actor *found = ResolveActorName(this, value.text)) {
                SetTarget(link, found, first);
            }
        }
        break;
    }
    case cmd::camera::SetCameraTarget1_1230:
        SetTarget(target1, GetActorById(block.ReadU32(0)), false);
        break;
    case cmd::camera::GetCameraTarget1_1231:
        block.WriteU32(0, target1.target != nullptr ? static_cast<uint32_t>(target1.target->actorId)
                                                    : 0xFFFFFFFFu);
        break;
    case cmd::camera::SetCameraTarget2_1232:
        SetTarget(target2, GetActorById(block.ReadU32(0)), false);
        break;
    case cmd::camera::GetCameraHeight:
        if (cameraType == kCameraTarget) {
            heightOffset = block.ReadF32(0);
            targetHeight = heightOffset;
        }
        break;
    case cmd::camera::SetCameraActive:
        if (SetActive(block.ReadU32(0) != 0) == 1) {
            return 1;
        }
        break;
    case cmd::camera::GetCameraActive:
        block.WriteU32(0, active);
        break;
    case cmd::camera::SetGamma:
        for (int i = 0; i < 3; ++i) {
            gammaScale[i] = block.ReadF32(static_cast<size_t>(i) * 4);
            flashColor[i] = block.ReadF32(static_cast<size_t>(i + 3) * 4);
        }
        gammaRefresh = 1;
        break;
    case cmd::camera::SetGlobalGamma:
        if (ActorSystem *system = GetActorSystem()) {
            system->HandleCommand(cmd::camera::SetGlobalGamma, block);
        }
        break;
    case cmd::camera::SetRelativeRotX:
    case cmd::camera::CameraTurnHorizontal:
        Turn(block.ReadF32(0), commandId == cmd::camera::SetRelativeRotX);
        break;
    case cmd::base::Precalculate:
        target1.Resolve();
        target2.Resolve();
        EnsureProcessEntry(*this);
        if (active != 0) {
            active = 0;
            uint32_t on = 1;
            HandleCommand(cmd::camera::SetCameraActive, ParamBlock(&on, sizeof(on)));
        }
        if (simState == nullptr) {
            simState = std::make_unique<SimState>();
        }
        if (simParams == nullptr) {
            simParams = std::make_unique<SimParams>();
        }
        eye = {5553.0f, 5550.0f, -99999.0f};
        break;
    case cmd::base::Create: {
        Actor *source = block.ReadActor(0);
        auto *camera = dynamic_cast<CameraActor *>(source);
        if (camera != nullptr && camera != this) {
            cameraType = camera->cameraType;
            for (auto [own, theirs] :
                 {std::pair{&target1, &camera->target1}, std::pair{&target2, &camera->target2}}) {
                own->AssignCopy(*theirs);
            }
            lastFreeEye = camera->lastFreeEye;
            lastFreeLook = camera->lastFreeLook;
            eye = camera->eye;
            look = camera->look;
            up = camera->up;
            smoothEye = camera->smoothEye;
            smoothLook = camera->smoothLook;
            smoothUp = camera->smoothUp;
            prevSmoothEye = camera->prevSmoothEye;
            prevSmoothLook = camera->prevSmoothLook;
            prevSmoothUp = camera->prevSmoothUp;
            heightOffset = camera->heightOffset;
            distance = camera->distance;
            distanceSlack = camera->distanceSlack;
            distancePull = camera->distancePull;
            pullDecay = camera->pullDecay;
            pullRecovery = camera->pullRecovery;
            targetHeight = camera->targetHeight;
            eyeSmoothing = camera->eyeSmoothing;
            lookSmoothing = camera->lookSmoothing;
            upSmoothing = camera->upSmoothing;
            fov = camera->fov;
            aspect = camera->aspect;
            nearClip = camera->nearClip;
            farClip = camera->farClip;
            lookHeight = camera->lookHeight;
            lastTurnTime = camera->lastTurnTime;
            blocked = camera->blocked;
            fovDirty = camera->fovDirty;
            gammaRefresh = camera->gammaRefresh;
            // Only "Set Camera Active" makes a camera the active one, so
            // that the flag and the active camera agree: a copy starts off.
            active = 0;
            hasContact = camera->hasContact;
            contactNormal = camera->contactNormal;
            std::copy(std::begin(camera->gammaScale), std::end(camera->gammaScale), gammaScale);
            std::copy(std::begin(camera->flashColor), std::end(camera->flashColor), flashColor);
        }
        break;
    }
    case cmd::base::CollisionEvent: {
        // A solid object of anything but a Character blocks the view.
        const auto *other = static_cast<const ColObj *>(block.ReadPointer(0));
        if (other != nullptr && (other->flags & kColObjSolid) != 0 &&
            (other->owner == nullptr || other->owner->classId != kCharacterClassId)) {
            blocked = 1;
        }
        break;
    }
    case cmd::base::ActionStart: {
        uint32_t on = 1;
        HandleCommand(cmd::camera::SetCameraActive, ParamBlock(&on, sizeof(on)));
        break;
    }
    case cmd::base::ActionStopPost: {
        uint32_t off = 0;
        HandleCommand(cmd::camera::SetCameraActive, ParamBlock(&off, sizeof(off)));
        break;
    }
    case cmd::base::SetDirection: {
        const Vector3 direction = block.Read<Vector3>(0);
        eye = Vec3Sub(look, Vec3Scale(direction, distance + distancePull));
        break;
    }
    case cmd::base::GetDirection:
        block.Write(0, Vec3Normalized(Vec3Sub(look, eye)));
        break;
    default:
        break;
    }
    return Actor::HandleCommand(commandId, block);
}

void CameraActor::Process() {
    if (!IsOperational()) {
        return;
    }
    if (cameraType == kCameraFollow) {
        FollowStep();
    } else if (CurrentCamera == this) {
        ResourceLibrary *library = GetLibrary();
        if (fovDirty != 0) {
            SetFieldOfView(fov);
            fovDirty = 0;
        }
        if (gammaRefresh != 0) {
            if (library != nullptr) {
                library->SetGamma(GlobalGamma[0] * gammaScale[0], GlobalGamma[1] * gammaScale[1],
                                  GlobalGamma[2] * gammaScale[2], GlobalGamma[3], GlobalGamma[4],
                                  GlobalGamma[5]);
            }
            gammaRefresh = 0;
        }
        if (library != nullptr &&
            (flashColor[0] > 0.0f || flashColor[1] > 0.0f || flashColor[2] > 0.0f)) {
            library->QueueRect(0.0f, 0.0f, static_cast<float>(GetScreenWidth()),
                               static_cast<float>(GetScreenHeight()), flashColor[0] / 256.0f,
                               flashColor[1] / 256.0f, flashColor[2] / 256.0f, 1.0f,
                               FlashMaterial(library));
        }
    }
    Actor::Process();
}

int CameraActor::Serialize(Archive &archive, uint32_t mode) {
    if (Actor::Serialize(archive, mode) == 0) {
        return 0;
    }
    const uint32_t version = archive.Version();
    if (version >= 26) {
        archive.SerializeWord(&cameraType);
    }
    if (version >= 39) {
        archive.SerializeWord(&active);
    }
    if (version >= 26) {
        for (float *value : {&heightOffset, &distance, &distancePull, &targetHeight, &lookSmoothing,
                             &eyeSmoothing, &fov, &aspect, &nearClip, &farClip, &lookHeight}) {
            archive.SerializeFloat(value);
        }
        target1.Serialize(archive);
        target2.Serialize(archive);
    }
    if (CurrentCamera == this) {
        active = 1;
    }
    return archive.Failed() ? 0 : 1;
}

void CameraActor::DumpClassFields(std::vector<std::string> &lines) const {
    std::string line =
        "camera type " + std::to_string(cameraType) + " active " + std::to_string(active);
    const std::pair<const char *, float> reals[] = {{"height", heightOffset},
                                                    {"distance", distance},
                                                    {"pull", distancePull},
                                                    {"targetheight", targetHeight},
                                                    {"looksmoothing", lookSmoothing},
                                                    {"eyesmoothing", eyeSmoothing},
                                                    {"fov", fov},
                                                    {"aspect", aspect},
                                                    {"near", nearClip},
                                                    {"far", farClip},
                                                    {"lookheight", lookHeight}};
    for (const auto &[label, value] : reals) {
        line += std::string(" ") + label + " " + DumpNumber(value);
    }
    line += " target1 " + DumpText(target1.path) + " target2 " + DumpText(target2.path);
    lines.push_back(line);
}

// --- frame update ---------------------------------------------------------------

void CameraActor::FrameUpdate() {
    switch (cameraType) {
    case kCameraFree:
        FreeRule();
        break;
    case kCameraTarget:
        TargetRule();
        break;
    case kCameraTargetX2:
        TargetX2Rule();
        break;
    case kCameraLookChase:
        LookChaseRule();
        break;
    case kCameraOrbit:
        OrbitRule();
        break;
    default:
        break;
    }
    blocked = 0;
}

void CameraActor::FreeRule() {
    UpdateWorldMatrix();
    const Vector3 where = Query(this, cmd::base::GetWSPosition, Vector3{0.0f, 0.0f, 0.0f});
    const Quaternion turn =
        Query(this, cmd::base::GetWSQuaternion, Quaternion{0.0f, 0.0f, 0.0f, 1.0f});
    SetFieldOfView(fov);
    if (ResourceLibrary *library = GetLibrary()) {
        library->SetCameraTransform(where, turn);
    }
}

void CameraActor::TargetRule() {
    Actor *target = target1.target;
    if (target == nullptr) {
        return;
    }
    const float yaw = Query(target, cmd::character::GetLookRotYOffset, 0.0f);
    Matrix yawTurn;
    MatrixRotationYawPitchRoll(&yawTurn, yaw, 0.0f, 0.0f);
    Matrix m1;
    MatrixMultiply(&m1, yawTurn, target->GetWorldMatrix());
    const float pitch = std::clamp(Query(target, cmd::character::GetLookRotX, 0.0f), -0.5f, 1.0f);
    Matrix m2;
    MatrixRotationYawPitchRoll(&m2, 0.0f, -pitch, 0.0f);

    const float d = distance + distancePull;
    Vector3 a;
    Vec3TransformCoord(&a, {0.0f, heightOffset, d}, m2);
    Vec3TransformCoord(&eye, a, m1);
    Vector3 b;
    Vec3TransformCoord(&b, {0.0f, 0.0f, -d - 20.0f}, m2);
    b.y += targetHeight;
    Vec3TransformCoord(&look, b, m1);

    const float k = (pitch - 0.3f) * 0.7f;
    Vector3 shift;
    Vec3TransformNormal(&shift, {0.0f, 0.0f, d * k}, m1);
    shift.y -= k * lookHeight;
    eye = Vec3Add(eye, shift);
    look = Vec3Add(look, shift);

    const bool sameGroup =
        FindDrawGroupAt(eye, 2) == drawGroupId && target->drawGroupId == drawGroupId;
    if (blocked != 0 || !sameGroup) {
        const Vector3 start = Vec3Add(target->GetWorldPosition(), {0.0f, heightOffset, 0.0f});
        Vector3 hitPoint = eye;
        if (Probe(start, eye, &hitPoint, nullptr) != nullptr) {
            const Vector3 toStart = Vec3Normalized(Vec3Sub(start, eye));
            const float radius = colObjs.empty() ? kCameraRadius : colObjs.front()->boxMax.x;
            const Vector3 held = Vec3Add(hitPoint, Vec3Scale(toStart, 2.0f * radius));
            const Vector3 away = Vec3Normalized(Vec3Sub(eye, held));
            if (Vec3Dot(away, toStart) < 0.0f) {
                distancePull -= Vec3Length(Vec3Sub(eye, held));
            }
        } else if (simState != nullptr && !simState->touches.empty()) {
            const float push = Vec3Length(simState->touches.front().push);
            distancePull -= (push * 0.25f) / (std::fabs(distancePull * 0.1f) + 1.0f);
        }
        distancePull = std::max(distancePull, -0.85f * distance);
    }
    SmoothAndApply();
}

void CameraActor::TargetX2Rule() {
    const Vector3 origin = {0.0f, 0.0f, 0.0f};
    const Vector3 a = target1.target != nullptr
                          ? Query(target1.target, cmd::base::GetWSPosition, origin)
                          : origin;
    const Vector3 b = target2.target != nullptr
                          ? Query(target2.target, cmd::base::GetWSPosition, origin)
                          : origin;
    const Vector3 middle = Vec3Scale(Vec3Add(a, b), 0.5f);
    look = Vec3Add(middle, {0.0f, heightOffset, 0.0f});
    const float separation = Vec3Length(Vec3Sub(a, b));

    const Vector3 d = Vec3Sub(look, eye);
    const float len = Vec3Length(d);
    if (len > kLengthEpsilon) {
        eye = Vec3Add(eye, Vec3Scale(d, (len - separation - distance) * 0.1f / len));
    }
    eye.y += ((separation + distance) - 1.8f * eye.y) * 0.1f;

    const Vector3 side = Vec3Normalized(Vec3Cross(Vec3Sub(look, eye), {0.0f, 1.0f, 0.0f}));
    const Vector3 toA = Vec3Normalized(Vec3Sub(a, middle));
    const Vector3 toEye = Vec3Normalized(Vec3Sub(eye, middle));
    eye = Vec3Sub(eye, Vec3Scale(side, 40.0f * Vec3Dot(toA, toEye)));

    prevSmoothLook = smoothLook;
    prevSmoothEye = smoothEye;
    smoothLook = Blend(look, smoothLook, lookSmoothing);
    smoothEye = Blend(eye, smoothEye, eyeSmoothing);
    SetCameraLookAt(smoothEye, smoothLook, {0.0f, 1.0f, 0.0f});
}

void CameraActor::LookChaseRule() {
    Actor *target = target1.target;
    if (target == nullptr) {
        return;
    }
    const Vector3 direction =
        Query(target, cmd::character::GetLookDirection, Vector3{0.0f, 0.0f, 0.0f});
    if (target2.target != nullptr) {
        look = target2.target->GetWorldPosition();
    } else {
        look = Vec3Add(target->GetWorldPosition(), {0.0f, targetHeight, 0.0f});
    }
    eye = Vec3Sub(look, Vec3Scale(direction, distance + distancePull));

    const Vector3 origin = Vec3Sub(look, {0.0f, 30.0f, 0.0f});
    const Vector3 dir = Vec3Normalized(Vec3Sub(eye, origin));
    Vector3 hitPoint = eye;
    if (Probe(origin, Vec3Add(eye, Vec3Scale(dir, 20.0f)), &hitPoint, &contactNormal) != nullptr) {
        const Vector3 held = Vec3Sub(hitPoint, Vec3Scale(dir, 10.0f));
        const float facing = contactNormal.y;
        if (facing <= -0.8f || facing >= 0.8f) {
            Vector3 along;
            Vec3SplitAlongAxis(Vec3Sub(held, eye), contactNormal, &along, nullptr);
            eye = Vec3Add(eye, along);
            look = Vec3Add(look, along);
        } else {
            eye = held;
        }
        distancePull = Vec3Length(Vec3Sub(eye, look)) * 1.05f - distance;
    }
    SmoothAndApply();
}

void CameraActor::OrbitRule() {
    Actor *target = target1.target;
    if (target == nullptr) {
        return;
    }
    RefreshTimeRecord(timeRecord);
    const float dt = timeRecord->delta;
    look = Vec3Add(target->GetWorldPosition(), {0.0f, targetHeight, 0.0f});

    if ((hasContact == 0 || contactNormal.y > 0.8f) && timeRecord->time - lastTurnTime > 2.7f) {
        const float level = look.y + 30.0f;
        const float rate = std::min(eye.y - level, 19.0f);
        const float step = std::fabs(rate) * dt;
        eye.y = eye.y > level ? std::max(eye.y - step, level) : std::min(eye.y + step, level);
    }

    Vector3 e = Vec3Sub(eye, look);
    const float dist = Vec3Length(e);
    distancePull = std::max(distancePull, -0.9f * distance);
    const float reach = distance + distancePull;
    if (dist > kLengthEpsilon) {
        if (dist > reach + distanceSlack) {
            eye = Vec3Add(look, Vec3Scale(e, (reach + distanceSlack) / dist));
        } else if (dist < reach) {
            eye = Vec3Add(look, Vec3Scale(e, reach / dist));
        }
        // Steep angles are held at about 53 degrees above or below the target.
        e = Vec3Sub(eye, look);
        const float len = Vec3Length(e);
        const Vector3 n = Vec3Scale(e, 1.0f / len);
        if (std::fabs(n.y) > 0.8f) {
            const Vector3 w = {0.0f, n.y >= 0.0f ? 1.0f : -1.0f, 0.0f};
            const Vector3 h = Vec3Normalized(Vec3Cross(w, Vec3Cross(n, w)));
            const Vector3 q = Vec3Normalized(Vec3Add(h, Vec3Scale(Vec3Sub(w, h), 0.57f)));
            eye = Vec3Add(look, Vec3Scale(q, len));
        }
    }

    const Vector3 below = Vec3Sub(look, {0.0f, 100.0f, 0.0f});
    const Vector3 dir = Vec3Normalized(Vec3Sub(eye, below));
    hasContact = 0;
    Vector3 hitPoint = eye;
    ColObj *hit = Probe(below, Vec3Add(eye, Vec3Scale(dir, 15.001f)), &hitPoint, &contactNormal);
    if (hit == nullptr) {
        lastFreeEye = eye;
        lastFreeLook = look;
        SmoothAndApply();
        return;
    }
    hasContact = 1;
    if (-contactNormal.y > 0.8f) {
        // Under something: keep the last free point, carried along with it.
        if (hit->owner != nullptr) {
            lastFreeEye = Vec3Add(lastFreeEye, Query(hit->owner, cmd::base::GetDeltaPosition,
                                                     Vector3{0.0f, 0.0f, 0.0f}));
        }
        eye = lastFreeEye;
        SmoothAndApply();
        return;
    }
    Vector3 secondHit = eye;
    if (Probe(look, Vec3Add(eye, Vec3Scale(dir, 15.001f)), &secondHit, &contactNormal) != nullptr) {
        eye = Vec3Sub(secondHit, Vec3Scale(dir, 15.0f));
        distancePull = Vec3Length(Vec3Sub(eye, look)) * 0.985f - distance;
        lastFreeEye = eye;
        lastFreeLook = look;
    }
    SmoothAndApply();
}

void CameraActor::SmoothAndApply() {
    if (lookSmoothing == 0.0f && eyeSmoothing == 0.0f && upSmoothing == 0.0f) {
        prevSmoothLook = smoothLook;
        prevSmoothEye = smoothEye;
        prevSmoothUp = smoothUp;
        smoothEye = eye;
        position = eye;
        smoothLook = look;
        smoothUp = up;
        InvalidateTransform();
        SetCameraLookAt(eye, look, up);
        SetFieldOfView(fov);
        return;
    }
    RefreshTimeRecord(timeRecord);
    // 60 steps a second, at least one and at most 30 (a delta that is not a
    // number counts as one step).
    float n = timeRecord->delta * 60.0f;
    n = !(n >= 1.0f) ? 1.0f : std::min(n, 30.0f);
    const int steps = static_cast<int>(n);
    const float frac = n - static_cast<float>(steps);
    for (int i = 0; i < steps; ++i) {
        if (blocked == 0) {
            distancePull = std::min(distancePull * pullDecay + pullRecovery, 0.0f);
        }
        prevSmoothLook = smoothLook;
        prevSmoothEye = smoothEye;
        prevSmoothUp = smoothUp;
        smoothLook = Blend(look, smoothLook, lookSmoothing);
        smoothEye = Blend(eye, smoothEye, eyeSmoothing);
        smoothUp = Blend(up, smoothUp, upSmoothing);
    }
    position = Lerp(prevSmoothEye, smoothEye, frac);
    const Vector3 shownLook = Lerp(prevSmoothLook, smoothLook, frac);
    const Vector3 shownUp = Vec3Normalized(Lerp(prevSmoothUp, smoothUp, frac));
    InvalidateTransform();
    SetCameraLookAt(position, shownLook, shownUp);
    UpdateActorDrawGroup(this);
    SetFieldOfView(fov);
}

void CameraActor::FollowStep() {
    Actor *target = target1.target;
    if (target == nullptr) {
        blocked = 0;
        return;
    }
    RefreshTimeRecord(timeRecord);
    const float dt = timeRecord->delta;
    eye = GetWorldPosition();
    look = Vec3Add(target->GetWorldPosition(), {0.0f, 30.0f, 0.0f});
    const Vector3 d = Vec3Sub(eye, look);
    const float len = Vec3Length(d);
    const Vector3 step = len > kLengthEpsilon ? Vec3Scale(d, dt) : Vector3{0.0f, 0.0f, 0.0f};
    if (blocked == 0 && len < 150.0f) {
        eye = Vec3Add(eye, step);
    } else if (blocked == 0 && len <= 160.0f) {
        // held
    } else {
        eye = Vec3Sub(eye, step);
    }
    if (eye.y > look.y + 40.0f) {
        eye.y -= dt * 50.0f;
    } else if (eye.y < look.y + 30.0f) {
        eye.y += dt * 50.0f;
    }
    blocked = 0;
    oldPosition = position;
    position = eye;
    InvalidateTransform();
    SetCameraLookAt(eye, look, {0.0f, 1.0f, 0.0f});
}
