#include "sample_camera.h"

#include "actors/presentation/camera_actor.h"
#include "core/actors/actor.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_ids.h"
#include "sample_output.h"

bool AddSampleCamera(SampleOutput& out, const std::string& file, int32_t& next) {
    auto* camera = dynamic_cast<CameraActor*>(CreateActor(
        static_cast<int32_t>(kCameraClassId), "GA29_Cam", nullptr,
        GetActorById(kSceneryRootId), next++, true));
    if (camera == nullptr) return out.Fail(file, "cannot make actor \"GA29_Cam\"");
    camera->position = {0.0f, 120.0f, -450.0f};
    camera->InvalidateTransform();
    SendCommandArgs(camera, cmd::camera::SetCameraType, kCameraFree);
    SendCommandArgs(camera, cmd::camera::SetFov, 2.0943952f);
    SendCommandArgs(camera, cmd::camera::SetCameraActive, true);
    if (camera->cameraType != kCameraFree || camera->fov != 2.0943952f || camera->active != 1) {
        return out.Fail(file, "cannot set up \"GA29_Cam\"");
    }
    return true;
}

bool AddFollowCameraRig(SampleOutput& out, const std::string& file, Actor* character,
                        int32_t& next) {
    Actor* target = CreateActor(0, "CameraTarget", nullptr, character, next++, true);
    Actor* position = CreateActor(0, "CameraPosition", nullptr, character, next++, true);
    if (target == nullptr || position == nullptr) {
        return out.Fail(file, "cannot make the follow camera's rig");
    }
    SendCommandArgs(target, cmd::base::SetPosition, Vector3{0.0f, kFollowCameraTargetHeight, 0.0f});
    SendCommandArgs(position, cmd::base::SetPosition, Vector3{0.0f, 0.0f, kFollowCameraDistance});
    return true;
}
