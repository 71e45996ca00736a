#include "actors/presentation/presentation_seams.h"

#include "actors/presentation/environment_actor.h"
#include "actors/presentation/mesh_object_actor.h"
#include "actors/presentation/particle_system_actor.h"
#include "actors/presentation/uv_animation_actor.h"

namespace {

Actor *NewCameraActor() { return new CameraActor(); }
Actor *NewMeshObjectActor() { return new MeshObjectActor(); }
Actor *NewEnvironmentActor() { return new EnvironmentActor(); }
Actor *NewParticleSystemActor() { return new ParticleSystemActor(); }
Actor *NewUVAnimationActor() { return new UVAnimationActor(); }

const ActorClassRow kRows[] = {
    {2, &NewPlaceholderActor<2>, &RegisterPlaceholderClassOf<2>},
    {kMeshObjectClassId, &NewMeshObjectActor, &MeshObjectActor::RegisterClass},
    {4, &NewPlaceholderActor<4>, &RegisterPlaceholderClassOf<4>},
    {kEnvironmentClassId, &NewEnvironmentActor, &EnvironmentActor::RegisterClass},
    {17, &NewPlaceholderActor<17>, &RegisterPlaceholderClassOf<17>},
    {kParticleSystemClassId, &NewParticleSystemActor, &ParticleSystemActor::RegisterClass},
    {kCameraClassId, &NewCameraActor, &CameraActor::RegisterClass},
    {28, &NewPlaceholderActor<28>, &RegisterPlaceholderClassOf<28>},
    {30, &NewPlaceholderActor<30>, &RegisterPlaceholderClassOf<30>},
    {40, &NewPlaceholderActor<40>, &RegisterPlaceholderClassOf<40>},
    {kUVAnimationClassId, &NewUVAnimationActor, &UVAnimationActor::RegisterClass},
    {46, &NewPlaceholderActor<46>, &RegisterPlaceholderClassOf<46>},
    {52, &NewPlaceholderActor<52>, &RegisterPlaceholderClassOf<52>},
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
