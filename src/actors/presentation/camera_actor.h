// The Camera actor (class 19): the viewpoint of the 3D scene. At most one
// camera is current (CurrentCamera); the frame loop moves it once per frame
// with the rule of its camera type, and it hands eye, look-at point, up,
// field of view, clip planes and gamma to the library's renderer. It can
// follow one or two target actors, is a small sphere in the collision system
// (types 1, 3 and 6) and draws a full-screen additive colour flash.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/math.h"
#include "core/actors/actor.h"
#include "core/actors/command_ids.h"

struct ColObj;

// Camera types.
inline constexpr uint32_t kCameraFree = 0;
inline constexpr uint32_t kCameraTarget = 1;
inline constexpr uint32_t kCameraTargetX2 = 2;
inline constexpr uint32_t kCameraFollow = 3;
inline constexpr uint32_t kCameraStill = 4;
inline constexpr uint32_t kCameraLookChase = 5;
inline constexpr uint32_t kCameraOrbit = 6;

// The three mask words of the camera's collision probes (groups, receive
// groups, exclude groups).
inline constexpr uint32_t kCameraProbeMasks[3] = {0xFFFFFFFFu, 0x12000u, 0x04040010u};
// Radius of the "Camera Col" sphere, and of a camera without collision object.
inline constexpr float kCameraRadius = 9.0f;

class CameraActor : public Actor {
  public:
    CameraActor();
    ~CameraActor() override;

    static void RegisterClass();

    int HandleCommand(uint32_t commandId, ParamBlock block) override;
    int Serialize(Archive &archive, uint32_t mode) override;
    void Process() override;
    void DumpClassFields(std::vector<std::string> &lines) const override;

    // Moves the camera by its type and targets; run once per normal frame on
    // the current camera. Clears `blocked` last.
    void FrameUpdate();
    // Smoothing of eye, look and up, the fraction of a step interpolated, and
    // the hand-over to the renderer (types 1, 5 and 6).
    void SmoothAndApply();
    // The type-3 rule, run by Process every frame.
    void FollowStep();

    // The "Camera Col" object that types 1, 3 and 6 carry.
    ColObj MakeCameraColObj();

    uint32_t cameraType = kCameraFree;
    ActorLink target1{this};
    ActorLink target2{this};
    Vector3 lastFreeEye = {0.0f, 0.0f, 0.0f};
    Vector3 lastFreeLook = {0.0f, 0.0f, 0.0f};
    Vector3 eye = {0.0f, 0.0f, 1.0f};
    Vector3 look = {0.0f, 0.0f, 2.0f};
    Vector3 up = {0.0f, 1.0f, 0.0f};
    Vector3 smoothEye = {0.0f, 0.0f, 5.0f};
    Vector3 smoothLook = {0.0f, 0.0f, 6.0f};
    Vector3 smoothUp = {0.0f, 1.0f, 0.0f};
    Vector3 prevSmoothEye = {0.0f, 0.0f, 3.0f};
    Vector3 prevSmoothLook = {0.0f, 0.0f, 4.0f};
    Vector3 prevSmoothUp = {0.0f, 1.0f, 0.0f};
    float heightOffset = 30.0f;
    float distance = 125.0f;
    float distanceSlack = 100.0f;
    float distancePull = 0.0f;
    float pullDecay = 1.0f;
    float pullRecovery = 0.6f;
    float targetHeight = 30.0f;
    float eyeSmoothing = 0.92f;
    float lookSmoothing = 0.86f;
    float upSmoothing = 0.0f;
    float fov = 1.1f;
    float aspect = 1.333f;
    float nearClip = 10.0f;
    float farClip = 2500.0f;
    float lookHeight = 20.0f;
    float lastTurnTime = 0.0f;
    uint32_t blocked = 0;
    uint32_t fovDirty = 1;
    uint32_t gammaRefresh = 1;
    uint32_t active = 0;
    uint32_t hasContact = 0;
    Vector3 contactNormal = {0.0f, 1.0f, 0.0f};
    float gammaScale[3] = {1.0f, 1.0f, 1.0f};
    float flashColor[3] = {0.0f, 0.0f, 0.0f};

  private:
    int SetActive(bool on);
    void SetCameraType(uint32_t type);
    // Release, store, register; 1222 adds the rig children.
    void SetTarget(ActorLink &link, Actor *actor, bool rigChildren);
    void Turn(float amount, bool vertical);

    void FreeRule();
    void TargetRule();
    void TargetX2Rule();
    void LookChaseRule();
    void OrbitRule();
};

// The camera subsystem's start values (the flash material is looked up
// again).
void ResetCameraState();
