#include "core/actors/subsystem_hooks.h"

#include <algorithm>
#include <iterator>

std::vector<Actor *> DrawGroupRegistry(kSystemDrawGroupCount, nullptr);
std::vector<Actor *> FileActorList;
Actor *CurrentCamera = nullptr;
float GlobalGamma[6] = {1.0f, 1.0f, 1.0f, 0.0f, 0.0f, 0.0f};
float GlobalHitEffectMultiplier = 1.0f;
uint32_t DebugTextFlag = 0;

namespace {

WorldHooks g_world;
PresentationHooks g_presentation;
CharacterHooks g_character;

} // namespace

void InstallWorldHooks(const WorldHooks &hooks) { g_world = hooks; }
void InstallPresentationHooks(const PresentationHooks &hooks) { g_presentation = hooks; }
void InstallCharacterHooks(const CharacterHooks &hooks) { g_character = hooks; }
const WorldHooks &GetWorldHooks() { return g_world; }
const PresentationHooks &GetPresentationHooks() { return g_presentation; }

void ResetWorldHooks() {
    DrawGroupRegistry.assign(kSystemDrawGroupCount, nullptr);
    FileActorList.clear();
    if (g_world.reset != nullptr) g_world.reset();
}

void ResetPresentationHooks() {
    CurrentCamera = nullptr;
    const float startGamma[6] = {1.0f, 1.0f, 1.0f, 0.0f, 0.0f, 0.0f};
    std::copy(std::begin(startGamma), std::end(startGamma), GlobalGamma);
    if (g_presentation.reset != nullptr) g_presentation.reset();
}

void ResetCharacterHooks() {
    GlobalHitEffectMultiplier = 1.0f;
    DebugTextFlag = 0;
    if (g_character.reset != nullptr) g_character.reset();
}

void UpdateCollisionShapeBounds(Actor *actor) {
    if (g_world.updateCollisionShapeBounds != nullptr) g_world.updateCollisionShapeBounds(actor);
}

void UpdateCurrentCamera() {
    if (CurrentCamera != nullptr && g_presentation.updateCurrentCamera != nullptr) {
        g_presentation.updateCurrentCamera();
    }
}

void RefreshCameraGamma(Actor *camera) {
    if (camera != nullptr && g_presentation.refreshCameraGamma != nullptr) {
        g_presentation.refreshCameraGamma(camera);
    }
}

bool SetRootRange(Actor *root, uint32_t firstId, uint32_t idLimit, const char *fileName) {
    return g_world.setRootRange != nullptr && g_world.setRootRange(root, firstId, idLimit, fileName);
}

float DrawGroupDiagonal(Actor *group) {
    return g_world.drawGroupDiagonal != nullptr ? g_world.drawGroupDiagonal(group) : 0.0f;
}

void SetDrawGroupId(Actor *group, int32_t drawGroupId) {
    if (g_world.setDrawGroupId != nullptr) g_world.setDrawGroupId(group, drawGroupId);
}
