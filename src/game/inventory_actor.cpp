#include "game/inventory_actor.h"
#include "core/actors/command_ids.h"
#include "game/inventory_helpers.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "base/file_system.h"
#include "base/text_table.h"
#include "core/actors/actor_sends.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/process_entry.h"
#include "game/ui_element.h"
#include "game/ui_text_actor.h"
#include "library/library_item.h"
#include "library/render/render_front_end.h"
#include "library/resource_library.h"

namespace {

constexpr float kRetryFadeSeconds = 0.3f;
constexpr float kAlmostBlack = 0.999999f;
constexpr uint32_t kVolumeSteps = 5;
constexpr size_t kMovieNameBytes = 128;

const UiSheetRow kSheet[] = {
    {"Inventory Properties", PropertyKind::PageTitle, 0, 0},
};

LibraryItem *FindItem(ResourceLibrary *library, const char *name, ItemClass itemClass) {
    return library != nullptr ? library->FindItemByName(name, itemClass) : nullptr;
}

} // namespace

InventoryActor::InventoryActor() {
    classId = kInventoryClassId;
    Module().offerSaveAfterFade = 0;
}

void InventoryActor::RegisterClass() {
    RegisterUiClass(kInventoryClassId, kSheet);
    MarkClassPassingCommandsOn(kInventoryClassId, typeid(InventoryActor));
}

InventoryModuleValues &InventoryActor::Module() {
    static InventoryModuleValues values;
    return values;
}

void InventoryActor::StartFade(float seconds, float from, float to) {
    if (fadeActive != 0) {
        return;
    }
    fadeActive = 1;
    if (!(seconds > 0.0f)) {
        // No time to fade over: at the end level at once, ended by the next
        // frame.
        fadeTimer = 0.0f;
        fadeLevel = to;
        fadeSpeed = 0.0f;
        return;
    }
    fadeTimer = seconds;
    fadeLevel = from;
    fadeSpeed = (to - from) / seconds;
}

void InventoryActor::FadeDown(float seconds) { StartFade(seconds, 0.0f, 1.0f); }

void InventoryActor::FadeUp(float seconds) { StartFade(seconds, 1.0f, 0.0f); }

void InventoryActor::FadeDownPlayMovie(const std::string &movie, float fadeUpSeconds) {
    pendingMovieFadeUp = fadeUpSeconds;
    pendingMovie = movie;
    fadeActive = 0;
    FadeDown(fadeUpSeconds);
    if (fadeUpSeconds <= 0.01f) {
        fadeLevel = 1.0f;
    }
}

void InventoryActor::SetUpHud() {
    musicVolumeLabel = Translate("MUSIC_VOLUME");
    effectsVolumeLabel = Translate("SOUND_EFFECT_VOLUME");

    ResourceLibrary *library = GetLibrary();
    gameFont = FindItem(library, "GameFont", ItemClass::Font);
    const struct {
        LibraryItem **field;
        const char *name;
    } materials[] = {
        {&blackMaterial, "Black"},
        {&ammoFlareMaterial, "AmmoFlare"},
        {&soulIconMaterial, "SoulIcon"},
        {&soulIcon02Material, "SoulIcon02"},
        {&soulIconFillMaterial, "SoulIconFill"},
        {&addGlowMaterial, "AddGlow"},
        {&enduranceBackMaterial, "endurance_back"},
        {&enduranceMarkMaterial, "endurance_mark"},
        {&filmGrainMaterial, "FilmGrain"},
        {&lightSensorMaterial, "LightSensor"},
        {&lightSensor2Material, "LightSensor2"},
    };
    for (const auto &material : materials) {
        *material.field = FindItem(library, material.name, ItemClass::Material);
    }
    if (enduranceBackMaterial != nullptr) {
        enduranceBarShown = 1;
    }

    pendingMission = -1;
    missionMapActor.Assign(nullptr);
    missionTimeActor.Assign(FindDescendantByName(this, "MissionTime"));
    soulAmountActor.Assign(ResolveActorName(this, "/Global/ScriptSoul/Amount"));

    screenWidth = GetScreenWidth();
    screenHeight = GetScreenHeight();
    fadeWidth = screenWidth;
    fadeHeight = screenHeight;
    screenCentreX = screenWidth / 2;
    screenCentreY = screenHeight / 2;
    hudOriginX = 0;
    hudOriginY = 0;

    // Children laid out for 800 x 600 follow the screen.
    scale.x = float(screenWidth) * 0.00125f;
    scale.y = float(screenHeight) * 0.0016666667f;
    InvalidateTransform();

    hudVisible = 0;
    EnsureProcessEntry(*this);
}

void InventoryActor::QueueFlash(float alpha, float growth, uint32_t materialId) {
    ResourceLibrary *library = GetLibrary();
    MaterialItem *material =
        library != nullptr && ResourceLibrary::IsItemIndexValid(materialId)
            ? AsMaterial(library->UseItem(materialId))
            : nullptr;
    if (material == nullptr) {
        return;
    }
    LibraryItem *texture = library->GetMaterialTexture(material, 0);
    const float h = texture != nullptr && texture->classId == uint32_t(ItemClass::Texture)
                        ? float(static_cast<TextureItem *>(texture)->height)
                        : 0.0f;
    const float side = (growth + 1.0f) * h;
    const float fade = std::fmin(0.1f * growth, alpha);
    library->QueueRect(float(screenCentreX) - 0.5f * side, float(screenCentreY) - 0.5f * side,
                       side, side, 1.0f, 1.0f, 1.0f, alpha - fade, material);
}

int InventoryActor::TakeGameState(ParamBlock block) {
    const auto *source = block.Read<const uint32_t *>(offsetof(SaveExchangeBlock, state));
    // Only a whole progress block is taken.
    if (source == nullptr || block.ReadU32(offsetof(SaveExchangeBlock, size)) != kGameStateBytes) {
        return 0;
    }
    std::memcpy(gameState.data(), source, kGameStateBytes);
    const uint32_t word = gameState[0];
    const uint32_t index = word > 0 ? word - 1 : 0;
    if (SendCommandArgs(this, cmd::inventory::LevelCompleted, index) == 0) {
        return 0;
    }
    FadeToNextMission(0);
    return 1;
}

void InventoryActor::GiveGameState(ParamBlock block) {
    char name[128];
    std::snprintf(name, sizeof(name), "Mission %d", int(gameState[0]));
    block.WriteString(offsetof(SaveExchangeBlock, name), name);
    block.WriteU32(offsetof(SaveExchangeBlock, mission), gameState[0]);
    block.Write(offsetof(SaveExchangeBlock, state), gameState.data());
    block.WriteU32(offsetof(SaveExchangeBlock, size), kGameStateBytes);
}

void InventoryActor::FadeToNextMission(uint32_t offerSave) {
    Module().offerSaveAfterFade = offerSave;
    fadeActive = 0;
    FadeDown(kRetryFadeSeconds);
    fadeLevel = kAlmostBlack;
}

void InventoryActor::RetryWithFade(uint32_t missionWord) {
    const uint32_t index = missionWord > 0 ? missionWord - 1 : 0;
    SendCommandArgs(this, cmd::inventory::LevelCompleted, index);
    FadeToNextMission(0);
}

void InventoryActor::VolumeOption(uint32_t which, bool step) {
    Actor *option = FindDescendantByName(GetActorSystem(),
                                         which == 0 ? "MusicVolume" : "SoundEffectVolume");
    Actor *text = FindDescendantByName(option, "Text");
    if (text == nullptr) {
        return;
    }
    InventoryModuleValues &module = Module();
    uint32_t &level = which == 0 ? module.musicVolumeStep : module.effectsVolumeStep;
    if (step) {
        level = (level + 1) % kVolumeSteps;
    }
    char number[16];
    std::snprintf(number, sizeof(number), ": %d", int(level + 1));
    SendCommandArgs(text, cmd::ui_text::SetUITextText,
                    (which == 0 ? musicVolumeLabel : effectsVolumeLabel) + number);
    if (!step) {
        return;
    }
    float &volume = which == 0 ? module.musicVolume : module.effectsVolume;
    volume = float(level + 1) * 0.1f + 0.5f;
    if (ResourceLibrary *library = GetLibrary()) {
        // Music plays in category 1, the sound effects in category 0.
        library->SetSoundCategoryVolume(which == 0 ? 1 : 0, volume);
    }
    inventory::TellEveryActor(cmd::sound::SoundUpdatePlayingSoundParams);
}

void inventory::TellEveryActor(uint32_t commandId) {
    if (ActorSystem *system = GetActorSystem()) {
        RecursiveCommandParams params = {commandId, nullptr};
        system->HandleCommand(kRecursiveCommandId, ParamBlock(&params, sizeof(params)));
    }
}

void InventoryActor::Hack(uint32_t code) {
    switch (code) {
    case 10:
        hudVisible = 0;
        enduranceBarShown = 0;
        lightSensorShown = 0;
        missionClockShown = 0;
        break;
    case 11:
        missionClockShown = 1;
        break;
    case 12:
        soulGaugeShown = 0;
        break;
    case 13:
        soulGaugeShown = 1;
        break;
    case 5:
        RestartMission();
        break;
    case 255:
        // Mission number 0 (none started yet) restarts the first.
        StartMission(Module().missionNumber > 0 ? Module().missionNumber - 1 : 0, 0);
        pendingMission = -1;
        break;
    case 6:
        RetryWithFade(Module().missionNumber);
        break;
    case 52:
    case 53:
    case 54:
    case 55:
        VolumeOption(code < 54 ? 0 : 1, code == 52 || code == 54);
        break;
    default:
        break;
    }
}

int InventoryActor::HandleCommand(uint32_t commandId, ParamBlock block) {
    InventoryModuleValues &module = Module();
    switch (commandId) {
    case cmd::base::Precalculate:
        SetUpHud();
        break;
    case cmd::base::StartGame:
        StartGame();
        break;
    case cmd::inventory::LevelCompleted:
        if (LevelCompleted(block.ReadU32(0))) {
            return 1;
        }
        break;
    case cmd::mesh_object::GetVisible:
        block.WriteU32(0, selectorOpen != 0 && selectorAlpha > 0.5f ? 1u : 0u);
        break;
    case cmd::inventory::FadeDown:
        FadeDown(block.ReadF32(0));
        break;
    case cmd::inventory::FadeUp:
        FadeUp(block.ReadF32(0));
        break;
    case cmd::inventory::FadeDownPlayMovie:
        if (!block.empty()) {
            const std::string_view movie = block.Sub(0, kMovieNameBytes).ReadString(0);
            FadeDownPlayMovie(std::string(movie), block.ReadF32(kMovieNameBytes));
        }
        break;
    case cmd::inventory::GetMasterCharacter: {
        // The character the master player controls, asked now.
        Actor *player = FindActorByName("MASTERPLAYER", int32_t(kPlayerClassId));
        Actor *character = nullptr;
        if (player != nullptr) {
            player->HandleCommand(cmd::player::GetCharacter,
                                  ParamBlock(&character, sizeof(character)));
        }
        if (IsInActorTable(character)) {
            block.WriteU32(0, uint32_t(character->actorId));
        }
        break;
    }
    case cmd::inventory::Unnamed_563:
        QueueFlash(block.ReadF32(4), block.ReadF32(8), block.ReadU32(12));
        break;
    case cmd::inventory::InventoryPause:
        // A pause that would never end (or has no length) stops nothing:
        // the run mode holds the whole world's clock.
        if (!std::isfinite(block.ReadF32(0))) {
            break;
        }
        pauseTime = block.ReadF32(0);
        if (pauseTime > 0.0f) {
            if (ActorSystem *system = GetActorSystem()) {
                system->SetRunMode(1, this, 1);
            }
        }
        break;
    case cmd::inventory::AddTotalScore:
        module.totalScore += block.ReadF32(0);
        break;
    case cmd::inventory::SubTotalScore:
        module.totalScore -= block.ReadF32(0);
        break;
    case cmd::inventory::SetTotalScore:
        module.totalScore = block.ReadF32(0);
        break;
    case cmd::inventory::GetTotalScore:
        block.WriteF32(0, module.totalScore);
        break;
    case cmd::inventory::ClearTotalScore:
        module.totalScore = 0.0f;
        break;
    case cmd::inventory::TakeGameState:
        return TakeGameState(block);
    case cmd::inventory::GiveGameState:
        GiveGameState(block);
        break;
    case cmd::inventory::InventoryHack:
        Hack(block.ReadU32(0));
        break;
    case cmd::inventory::SetFilmGrainColor:
        filmGrainColor = {block.ReadF32(0), block.ReadF32(4), block.ReadF32(8), block.ReadF32(12)};
        break;
    default:
        break;
    }
    return Actor::HandleCommand(commandId, block);
}

int InventoryActor::Serialize(Archive &archive, uint32_t mode) {
    if (Actor::Serialize(archive, mode) == 0 || archive.Failed()) {
        return 0;
    }
    // Spare words only: written as 0, read and dropped.
    uint32_t spare[11] = {};
    if (archive.Version() >= 1) {
        archive.SerializeWords(spare, 4);
    }
    if (archive.Version() >= 35) {
        archive.SerializeWords(spare + 4, 7);
    }
    return archive.Failed() ? 0 : 1;
}
