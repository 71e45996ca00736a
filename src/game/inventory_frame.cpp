// The front-end actor's per-frame work: the end of a pause, the ammunition
// selector, the screen fade with the film that may follow it, and the
// head-up display drawn as screen quads and texts.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <vector>

#include "actors/characters/character_actor.h"
#include "actors/characters/game_object_actor.h"
#include "base/random.h"
#include "core/actors/actor_sends.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_ids.h"
#include "core/actors/time_record.h"
#include "game/inventory_actor.h"
#include "game/inventory_helpers.h"
#include "game/ui_element.h"
#include "library/library_item.h"
#include "library/resource_library.h"
#include "library/video_items.h"
#include "platform/input.h"
#include "platform/os/window.h"
#include "platform/video.h"

namespace {

using inventory::kFilmInputStep;
using inventory::Live;
using inventory::SendZero;

// Actions of set 0.
constexpr int kActionStart = 14;
constexpr int kActionJump = 15;
constexpr int kActionNext = 21;
constexpr int kActionPrev = 22;
constexpr int kActionFire1 = 25;
constexpr int kActionFire2 = 26;

constexpr float kSelectorFadeTime = 0.25f;
constexpr float kSelectorFadeSpeed = 4.0f;
constexpr float kGrainPeriod = 1.0f / 15.0f;
// An ammunition count above this is shown as the bullets alone.
constexpr uint32_t kCountShownUpTo = 10000;
// Clock times are whole seconds well inside an int.
constexpr float kLongestClock = 1.0e7f;

// Where the pieces of the head-up display sit inside their anchors
// (pixels from the anchor's top-left corner). Texts are drawn centred on
// their point (style 18), so each sits clear of the pictures beside it: the
// bullets above the middle of the hand's icon, the health right of the soul
// gauge's frame.
struct Offset {
    float x, y;
};
constexpr struct {
    Offset handText{48.0f, -12.0f};
    Offset handIcon{0.0f, 0.0f};
    Offset handFlare{16.0f, 16.0f};
    Offset soulIcon{0.0f, 0.0f};
    Offset soulFill{0.0f, 13.0f};
    Offset soulGlow{21.0f, 5.0f};
    Offset healthText{152.0f, 48.0f};
    // The selector icon from the right edge and the screen's middle.
    Offset selectorIcon{-106.0f, -48.0f};
} kHudLayout;

constexpr float kHandIconSide = 96.0f;
constexpr float kFlareSide = 64.0f;
constexpr float kSoulIconWidth = 128.0f;
constexpr float kSoulIconHeight = 96.0f;
constexpr float kSoulFillHeight = 70.0f;
constexpr float kGlowSide = 86.0f;
constexpr float kSensorSide = 111.0f;

MaterialItem *MaterialAt(ResourceLibrary *library, uint32_t id) {
    return library != nullptr && ResourceLibrary::IsItemIndexValid(id)
               ? AsMaterial(library->UseItem(id))
               : nullptr;
}

bool IsGameObject(const Actor *actor) {
    return actor != nullptr && actor->classId == kGameObjectClassId;
}

// The Game Object's "Ammo" child, or null.
Actor *AmmoOf(Actor *item) {
    return IsGameObject(item) ? FindChildByName(item, "Ammo") : nullptr;
}

// The ammunition type of a group mask: the lowest set bit plus 1; 0 (no
// ammunition) for an empty mask.
uint32_t AmmoType(uint32_t groups) {
    for (uint32_t bit = 0; bit < 32; ++bit) {
        if ((groups & (1u << bit)) != 0) {
            return bit + 1;
        }
    }
    return 0;
}

bool Unlimited(Actor *ammo) {
    const auto *object = dynamic_cast<const GameObjectActor *>(ammo);
    return object != nullptr && object->unlimited != 0;
}

// Handles the window's waiting messages as the message loop would; true
// when a close request is among them (it stays queued for the loop).
bool PumpWindow(ResourceLibrary *library) {
    EngineWindow *window = library != nullptr ? library->GetWindow() : nullptr;
    if (window == nullptr) {
        return false;
    }
    while (window->HasMessage() && !window->QuitPending()) {
        WindowMessage message;
        if (!window->NextMessage(&message)) {
            break;
        }
        HandleInputMessage(message);
    }
    return window->QuitPending();
}

} // namespace

InventoryHudValues &InventoryActor::Hud() {
    static InventoryHudValues values;
    return values;
}

float InventoryActor::RecordDelta() {
    RefreshTimeRecord(timeRecord);
    return timeRecord != nullptr ? timeRecord->delta : 0.0f;
}

// --- Process ------------------------------------------------------------------

void InventoryActor::Process() {
    if (!IsOperational()) {
        return;
    }
    const float delta = RecordDelta();
    CountDownPause();
    ListAmmoItems();
    SelectorInput();
    SelectorFade(delta);
    ScreenFade(delta);
}

void InventoryActor::CountDownPause() {
    if (!(pauseTime > 0.0f)) {
        return;
    }
    // Every record stands still while paused: the pause runs on the frame
    // time itself, that of a front-end frame when it is one (only the root
    // record takes it; the last normal frame's is stale then).
    const ActorSystem *world = GetActorSystem();
    const bool frontEndFrame = world != nullptr && world->runMode == 1 && world->runFlags == 0;
    pauseTime -= frontEndFrame ? RootTimeRecord()->delta : FrameDelta;
    if (pauseTime < 0.0f || ActionPressed(kActionJump, 0) != 0) {
        if (ActorSystem *system = GetActorSystem()) {
            system->SetRunMode(0, this, 1);
        }
    }
}

void InventoryActor::ListAmmoItems() {
    ammoItemCount = 0;
    if (Actor *items = Live(itemsActor)) {
        // The answers may change the list: walk the ids it held.
        std::vector<int32_t> ids;
        for (Actor *child : items->children) {
            ids.push_back(child != nullptr ? child->actorId : -1);
        }
        for (int32_t id : ids) {
            if (ammoItemCount >= ammoItems.size()) {
                break;
            }
            Actor *item = ActorTableEntry(id);
            Actor *ammo = AmmoOf(item);
            if (ammo == nullptr) {
                continue;
            }
            const uint32_t type =
                AmmoType(Query<uint32_t>(ammo, cmd::game_object::GetAmmoAmmoGroups));
            const auto *master = dynamic_cast<const CharacterActor *>(Live(masterCharacter));
            if (type != 0 && master != nullptr && master->ammoPresent[type - 1] != 0) {
                ammoItems[ammoItemCount++] = item->actorId;
            }
        }
    }
    // A selection the list no longer reaches is dropped.
    if (selectedIndex >= int32_t(ammoItemCount)) {
        selectedIndex = -1;
    }
}

void InventoryActor::SelectorInput() {
    const bool prev = ActionPressed(kActionPrev, 0) != 0;
    const bool next = ActionPressed(kActionNext, 0) != 0;
    const int32_t count = int32_t(ammoItemCount);
    if (selectorOpen == 0 && (prev || next)) {
        if (Live(itemsActor) != nullptr && count > 0) {
            selectedIndex = 0;
        }
        selectorOpen = 1;
        selectorAlpha = 0.0f;
        selectorFadeSpeed = kSelectorFadeSpeed;
        selectorTimer = kSelectorFadeTime;
    }
    if (selectorTimer < 0.0f && count > 0) {
        if (prev) {
            selectedIndex = selectedIndex - 1 < 0 ? count - 1 : selectedIndex - 1;
        }
        if (next) {
            selectedIndex = selectedIndex + 1 >= count ? 0 : selectedIndex + 1;
        }
    }
    if (hudVisible == 0 || !(selectorTimer < 0.0f)) {
        return;
    }
    Actor *master = Live(masterCharacter);
    const auto *character = dynamic_cast<const CharacterActor *>(master);
    const bool shooter = character != nullptr && character->characterType == kCharacterThirdPersonShooter;
    uint32_t grab = 0;
    bool close = false;
    if (ActionReleased(kActionFire1, 0) != 0) {
        grab = shooter ? cmd::character::LeftHandGrabItem : cmd::character::RightHandGrabItem;
        close = true;
    } else if (ActionReleased(kActionFire2, 0) != 0) {
        grab = shooter ? cmd::character::RightHandGrabItem : 0;
        close = true;
    }
    if (grab != 0 && count > 0 && selectedIndex >= 0) {
        Actor *item = GetActorById(uint32_t(ammoItems[size_t(selectedIndex)]));
        if (item != nullptr && master != nullptr) {
            SendCommandArgs(master, grab, item);
        }
        selectedIndex = -1;
    }
    if (close) {
        selectorTimer = kSelectorFadeTime;
        selectorFadeSpeed = -kSelectorFadeSpeed;
    }
}

void InventoryActor::SelectorFade(float delta) {
    if (!(selectorTimer > 0.0f)) {
        return;
    }
    // The fade's length is real time; its opacity follows the actor's clock.
    selectorTimer -= FrameDelta;
    selectorAlpha += delta * selectorFadeSpeed;
    if (selectorTimer < 0.0f) {
        if (selectorAlpha >= 0.5f) {
            selectorAlpha = 1.0f;
        } else {
            selectorAlpha = 0.0f;
            selectedIndex = -1;
            selectorOpen = 0;
        }
    }
}

void InventoryActor::ScreenFade(float delta) {
    if (fadeActive == 0) {
        return;
    }
    fadeTimer -= delta;
    fadeLevel = std::clamp(fadeLevel + delta * fadeSpeed, 0.0f, 1.0f);
    if (!(fadeTimer < 0.0f)) {
        return;
    }
    fadeActive = 0;
    if (!pendingMovie.empty()) {
        const std::string movie = pendingMovie;
        PlayPendingMovie(movie);
        pendingMovie.clear();
    }
    if (pendingMission != -1) {
        FadeEndedWithMission();
    }
}

void InventoryActor::WatchFilm(bool heldJumpStops) {
    ResourceLibrary *library = GetLibrary();
    while (UpdateVideo() != 0) {
        // A close request ends the film; the message loop then sees it.
        if (PumpWindow(library)) {
            StopVideo();
            break;
        }
        UpdateInput(kFilmInputStep, 1);
        if (ActionPressed(kActionJump, 0) != 0 || ActionPressed(kActionStart, 0) != 0 ||
            (heldJumpStops && ActionDown(kActionJump, 0) != 0)) {
            StopVideo();
        }
    }
}

void inventory::StopPlayerCharacter() {
    for (uint32_t stop : {cmd::character::CCRAction1Stop, cmd::character::CCRAction2Stop,
                          cmd::character::CCLAction1Stop}) {
        SendZero(GetGlobalActor(1), stop);
    }
}

void InventoryActor::PlayPendingMovie(const std::string &movie) {
    PlayVideoFile(movie.c_str());
    WatchFilm(false);
    inventory::StopPlayerCharacter();
    FadeUp(pendingMovieFadeUp);
    pendingMovie.clear();
}

// --- Update -------------------------------------------------------------------

void InventoryActor::Update() {
    if (!IsOperational()) {
        return;
    }
    Actor::Update();
    const float delta = timeRecord != nullptr ? timeRecord->delta : 0.0f;
    if (hudAlpha < 1.0f) {
        hudAlpha = std::min(hudAlpha + delta * 0.25f, 1.0f);
    }
    ResourceLibrary *library = GetLibrary();
    if (hudVisible != 0 && library != nullptr) {
        DrawHud(delta);
    }
    if (Actor *master = Live(masterCharacter); handItemTick != 0 && master != nullptr) {
        SendCommandArgs(master, cmd::character::Unnamed_1049, 0u);
    }
    if (library == nullptr) {
        return;
    }
    if (filmGrainMaterial != nullptr) {
        DrawFilmGrain(delta);
    }
    if (lightSensorShown != 0 && lightSensorMaterial != nullptr) {
        DrawLightSensor(delta);
    }
    if (enduranceBarShown != 0) {
        DrawEnduranceBar();
    }
    if (fadeActive != 0 || fadeLevel == 1.0f) {
        library->SetOverlayQuad(0.0f, 0.0f, float(fadeWidth), float(fadeHeight), 0.0f, 0.0f, 0.0f,
                                fadeLevel, AsMaterial(blackMaterial));
    }
}

void InventoryActor::DrawHud(float delta) {
    ResourceLibrary *library = GetLibrary();
    library->SetCurrentFont(gameFont != nullptr && gameFont->classId == uint32_t(ItemClass::Font)
                                ? static_cast<FontItem *>(gameFont)
                                : nullptr);
    DrawHandPanel(Live(rightHandActor), float(screenWidth) - 122.0f, rightFlash,
                  rightLastBullets, true, delta);
    DrawHandPanel(Live(leftHandActor), float(screenWidth) - 182.0f, leftFlash, leftLastBullets,
                  false, delta);
    DrawSelectorIcon();
    if (soulGaugeShown != 0) {
        DrawSoulGauge(delta);
    }
    if (missionClockShown != 0) {
        DrawMissionClock();
    }
}

void InventoryActor::DrawHandPanel(Actor *hand, float anchorX, float &flash,
                                   uint32_t &lastBullets, bool right, float delta) {
    Actor *weapon = hand != nullptr && !hand->children.empty() ? hand->children.front() : nullptr;
    if (!IsGameObject(weapon)) {
        return;
    }
    ResourceLibrary *library = GetLibrary();
    const float anchorY = float(screenHeight) - 120.0f;
    Actor *ammo = AmmoOf(weapon);
    if (ammo != nullptr && !(right && Unlimited(ammo))) {
        if (flash > 0.0f) {
            flash -= delta * 4.0f;
            library->QueueRect(anchorX + kHudLayout.handFlare.x, anchorY + kHudLayout.handFlare.y,
                               kFlareSide, kFlareSide, 1.0f, 1.0f, 1.0f, flash * hudAlpha,
                               AsMaterial(ammoFlareMaterial));
        }
        const uint32_t bullets = Query<uint32_t>(ammo, cmd::game_object::GetAmmoBullets);
        char text[32];
        uint32_t count = 0;
        if (right) {
            // No ammunition group: no type to count.
            const uint32_t type =
                AmmoType(Query<uint32_t>(ammo, cmd::game_object::GetAmmoAmmoGroups));
            if (type != 0) {
                const std::array<uint32_t, 2> query = {type, 0};
                count = Query(Live(masterCharacter), cmd::character::GetAmmoCount, query)[1];
            }
        }
        if (right && count <= kCountShownUpTo) {
            std::snprintf(text, sizeof(text), "%d/%d", int(count), int(bullets));
        } else {
            std::snprintf(text, sizeof(text), "%d", int(bullets));
        }
        library->QueueText(anchorX + kHudLayout.handText.x, anchorY + kHudLayout.handText.y, 1.0f,
                           1.0f, 1.0f, hudAlpha, text, 18);
        if (bullets != lastBullets && lastBullets != 0) {
            flash = 1.0f;
        }
        lastBullets = bullets;
    }
    library->QueueRect(
        anchorX + kHudLayout.handIcon.x, anchorY + kHudLayout.handIcon.y, kHandIconSide,
        kHandIconSide, 1.0f, 1.0f, 1.0f, hudAlpha,
        MaterialAt(library, Query<uint32_t>(weapon, cmd::game_object::GetIcon2MaterialLibID)));
}

void InventoryActor::DrawSelectorIcon() {
    if (selectorOpen == 0 || ammoItemCount == 0 || selectedIndex < 0 ||
        selectedIndex >= int32_t(ammoItemCount)) {
        return;
    }
    Actor *item = GetActorById(uint32_t(ammoItems[size_t(selectedIndex)]));
    if (item == nullptr) {
        return;
    }
    ResourceLibrary *library = GetLibrary();
    library->QueueRect(
        float(screenWidth) + kHudLayout.selectorIcon.x,
        float(screenCentreY) + kHudLayout.selectorIcon.y, kHandIconSide, kHandIconSide, 1.0f, 1.0f,
        1.0f, selectorAlpha * hudAlpha,
        MaterialAt(library, Query<uint32_t>(item, cmd::game_object::GetIconMaterialLibID)));
}

void InventoryActor::DrawSoulGauge(float delta) {
    ResourceLibrary *library = GetLibrary();
    InventoryHudValues &hud = Hud();
    Actor *master = Live(masterCharacter);
    const float x = float(hudOriginX) + 20.0f;
    const float y = float(screenHeight) - 120.0f;
    const float health = Query<float>(master, cmd::character::GetHealth);
    float fill = Query<float>(Live(soulAmountActor), cmd::base::GetCurrentNormalizedTime);
    fill = fill > 0.0f ? std::min(fill, 1.0f) : 0.0f;

    const float fillHeight = fill * kSoulFillHeight;
    library->QueueRectUV(x + kHudLayout.soulFill.x,
                         y + kHudLayout.soulFill.y + kSoulFillHeight - fillHeight, kSoulIconWidth,
                         fillHeight, 0.0f, 1.0f - fill, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f,
                         0.8f * hudAlpha, AsMaterial(soulIconFillMaterial));
    library->QueueRect(x + kHudLayout.soulIcon.x, y + kHudLayout.soulIcon.y, kSoulIconWidth,
                       kSoulIconHeight, 1.0f, 1.0f, 1.0f, hudAlpha, AsMaterial(soulIconMaterial));
    if (soulIcon02Material != nullptr) {
        const double eighths = std::floor(double(GetCurrentTime()) * 8.0);
        if (std::fmod(eighths, 2.0) != 0.0 &&
            Query<uint32_t>(master, cmd::character::CharacterHealthIsAbove100) == 1) {
            library->QueueRect(x + kHudLayout.soulIcon.x, y + kHudLayout.soulIcon.y,
                               kSoulIconWidth, kSoulIconHeight, 1.0f, 1.0f, 1.0f, hudAlpha,
                               AsMaterial(soulIcon02Material));
        }
    }
    if (hud.lastSoulAmount != 0.0f && fill > hud.lastSoulAmount) {
        hud.glowTimer = 1.0f;
    }
    if (hud.glowTimer > 0.0f) {
        hud.glowTimer -= delta;
        library->QueueRect(x + kHudLayout.soulGlow.x, y + kHudLayout.soulGlow.y, kGlowSide,
                           kGlowSide, 1.0f, 1.0f, 1.0f, hud.glowTimer * hudAlpha,
                           AsMaterial(addGlowMaterial));
    }
    char text[32];
    std::snprintf(text, sizeof(text), "%d",
                  int(std::clamp(std::isnan(health) ? 0.0f : health, -kLongestClock,
                                 kLongestClock)));
    library->QueueText(x + kHudLayout.healthText.x, y + kHudLayout.healthText.y, 1.0f, 1.0f, 1.0f,
                       hudAlpha, text, 18);
}

void InventoryActor::DrawMissionClock() {
    float t = Query<float>(Live(missionTimeActor), cmd::base::GetCurrentTime);
    t = t > 0.0f ? std::min(t, kLongestClock) : 0.0f; // not a number counts as 0 too
    const int minutes = int(t / 60.0f);
    const float rest = t - float(minutes) * 60.0f;
    const int seconds = int(rest);
    const int hundredths = int((rest - float(seconds)) * 100.0f);
    char text[32];
    std::snprintf(text, sizeof(text), "%d:%02d", minutes, seconds);
    const float x = float(screenWidth) - 90.0f;
    const float y = float(hudOriginY) + 20.0f;
    // The last minute blinks red.
    if (minutes < 1 && hundredths < 50) {
        GetLibrary()->QueueText(x, y, 1.0f, 0.0f, 0.0f, 0.8f * hudAlpha, text, 8);
    } else {
        GetLibrary()->QueueText(x, y, 1.0f, 1.0f, 1.0f, hudAlpha, text, 8);
    }
}

void InventoryActor::DrawEnduranceBar() {
    auto *master = dynamic_cast<CharacterActor *>(Live(masterCharacter));
    ResourceLibrary *library = GetLibrary();
    if (master == nullptr) {
        return;
    }
    if (!(master->health >= 0.0f)) {
        master->health = 0.0f;
    }
    float fill = 1.0f - Query<float>(master, cmd::character::GetCapacity);
    fill = fill >= 0.0f ? std::min(fill, 1.0f) : 0.0f;
    const int k = int(16.0f * fill);
    MaterialItem *mark = AsMaterial(enduranceMarkMaterial);
    for (int i = 0; i <= k; ++i) {
        // From green to red.
        const float g = 0.6f - 0.05f * float(i + 1);
        const float b = (g + 1.0f) * 0.3125f;
        const float w = i >= 7 ? 1.0f : (0.6f - g) * 1.6f;
        const float alpha = i == k ? 16.0f * fill - float(k) : 1.0f;
        library->QueueSprite(float(hudOriginX) + 138.0f + 4.0f * float(i),
                             float(screenHeight) - 25.0f, (1.0f - b) * w + b, (g - b) * w + b,
                             b - b * w, alpha, mark);
    }
    library->QueueSprite(float(hudOriginX) + 143.0f, float(screenHeight) - 26.0f, 1.0f, 1.0f, 1.0f,
                         1.0f, AsMaterial(enduranceBackMaterial));
}

void InventoryActor::DrawFilmGrain(float delta) {
    if (filmGrainColor.w == 0.0f) {
        return;
    }
    InventoryHudValues &hud = Hud();
    filmGrainTimer += delta;
    if (filmGrainTimer > kGrainPeriod) {
        hud.grainU = float(Rand() % 1000) * 0.001f;
        hud.grainV = float(Rand() % 1000) * 0.001f;
        filmGrainTimer = 0.0f;
    }
    GetLibrary()->QueueRectUV(0.0f, 0.0f, float(screenWidth), float(screenHeight), hud.grainU,
                              hud.grainV, hud.grainU + 1.5625f, hud.grainV + 1.5625f * 0.75f,
                              filmGrainColor.x, filmGrainColor.y, filmGrainColor.z,
                              filmGrainColor.w, AsMaterial(filmGrainMaterial));
}

void InventoryActor::DrawLightSensor(float delta) {
    Actor *master = Live(masterCharacter);
    if (master == nullptr) {
        return;
    }
    InventoryHudValues &hud = Hud();
    Vector4 light = Query<Vector4>(master, cmd::base::GetColor);
    const float mean = (light.x + light.y + light.z) / 3.0f;
    Vector4 target = hud.lightSensorColor;
    if (mean > 0.0f) {
        light = {light.x / mean, light.y / mean, light.z / mean, light.w / mean};
        // The character keeps the normalised colour and answers its light
        // value in the block's first word.
        Vector4 block = light;
        master->HandleCommand(cmd::character::Visibility, ParamBlock(&block, sizeof(block)));
        const float scaleBy = 3.0f * block.x;
        target = {light.x * scaleBy, light.y * scaleBy, light.z * scaleBy, light.w * scaleBy};
    }
    // Towards the target at one unit a second at most.
    const Vector4 step = {target.x - hud.lightSensorColor.x, target.y - hud.lightSensorColor.y,
                          target.z - hud.lightSensorColor.z, target.w - hud.lightSensorColor.w};
    const float length =
        std::sqrt(step.x * step.x + step.y * step.y + step.z * step.z + step.w * step.w);
    const float most = std::max(delta, 0.0f);
    const float share = length > most ? most / length : 1.0f;
    if (std::isfinite(share * length)) {
        hud.lightSensorColor = {hud.lightSensorColor.x + step.x * share,
                                hud.lightSensorColor.y + step.y * share,
                                hud.lightSensorColor.z + step.z * share,
                                hud.lightSensorColor.w + step.w * share};
    }
    ResourceLibrary *library = GetLibrary();
    const float x = float(hudOriginX) + 20.0f;
    const float y = float(screenHeight) - 120.0f;
    if (lightSensor2Material != nullptr) {
        library->QueueRect(x, y, kSensorSide, kSensorSide, 0.4f, 0.4f, 0.4f, 1.0f,
                           AsMaterial(lightSensor2Material));
    }
    const Vector4 &shown = hud.lightSensorColor;
    library->QueueRect(x, y, kSensorSide, kSensorSide, shown.x, shown.y, shown.z, shown.w,
                       AsMaterial(lightSensorMaterial));
}
