#include "actors/presentation/presentation_seams.h"

#include "actors/presentation/ambient_sound_actor.h"
#include "actors/presentation/animation_actor.h"
#include "actors/presentation/environment_actor.h"
#include "actors/presentation/light_actor.h"
#include "actors/presentation/light_sensor_actor.h"
#include "actors/presentation/lod_actor.h"
#include "actors/presentation/matrix_animation_actor.h"
#include "actors/presentation/mesh_object_actor.h"
#include "actors/presentation/particle_system_actor.h"
#include "actors/presentation/skin_object_actor.h"
#include "actors/presentation/sound_actor.h"
#include "actors/presentation/uv_animation_actor.h"

namespace {

Actor *NewCameraActor() { return new CameraActor(); }
Actor *NewSoundActor() { return new SoundActor(); }
Actor *NewLightActor() { return new LightActor(); }
Actor *NewLightSensorActor() { return new LightSensorActor(); }
Actor *NewAmbientSoundActor() { return new AmbientSoundActor(); }
Actor *NewMeshObjectActor() { return new MeshObjectActor(); }
Actor *NewSkinObjectActor() { return new SkinObjectActor(); }
Actor *NewAnimationActor() { return new AnimationActor(); }
Actor *NewEnvironmentActor() { return new EnvironmentActor(); }
Actor *NewParticleSystemActor() { return new ParticleSystemActor(); }
Actor *NewUVAnimationActor() { return new UVAnimationActor(); }
Actor *NewMatrixAnimationActor() { return new MatrixAnimationActor(); }
Actor *NewLodActor() { return new LodActor(); }

const ActorClassRow kRows[] = {
    {kSoundClassId, &NewSoundActor, &SoundActor::RegisterClass},
    {kMeshObjectClassId, &NewMeshObjectActor, &MeshObjectActor::RegisterClass},
    {kLightClassId, &NewLightActor, &LightActor::RegisterClass},
    {kEnvironmentClassId, &NewEnvironmentActor, &EnvironmentActor::RegisterClass},
    {kSkinObjectClassId, &NewSkinObjectActor, &SkinObjectActor::RegisterClass},
    {kParticleSystemClassId, &NewParticleSystemActor, &ParticleSystemActor::RegisterClass},
    {kCameraClassId, &NewCameraActor, &CameraActor::RegisterClass},
    {kMatrixAnimationClassId, &NewMatrixAnimationActor, &MatrixAnimationActor::RegisterClass},
    {kAmbientSoundClassId, &NewAmbientSoundActor, &AmbientSoundActor::RegisterClass},
    {kAnimationClassId, &NewAnimationActor, &AnimationActor::RegisterClass},
    {kUVAnimationClassId, &NewUVAnimationActor, &UVAnimationActor::RegisterClass},
    {kLodClassId, &NewLodActor, &LodActor::RegisterClass},
    {kLightSensorClassId, &NewLightSensorActor, &LightSensorActor::RegisterClass},
};

void UpdateCamera() {
    if (auto *camera = dynamic_cast<CameraActor *>(CurrentCamera)) {
        camera->FrameUpdate();
    }
}

void RefreshGamma(Actor *camera) {
    if (auto *cameraActor = dynamic_cast<CameraActor *>(camera)) {
        cameraActor->gammaRefresh = 1;
    }
}

} // namespace

std::span<const ActorClassRow> PresentationClassRows() { return kRows; }

PresentationHooks PresentationSubsystemHooks() {
    PresentationHooks hooks;
    hooks.updateCurrentCamera = &UpdateCamera;
    hooks.refreshCameraGamma = &RefreshGamma;
    hooks.reset = &ResetCameraState;
    return hooks;
}
