#include "sample_guidance.h"

#include <algorithm>
#include <cmath>

#include "actors/presentation/light_actor.h"
#include "actors/presentation/matrix_animation_actor.h"
#include "actors/world/timer_actor.h"
#include "core/actors/actor.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_ids.h"
#include "game/ui_sprite_actor.h"
#include "game/ui_text_actor.h"
#include "platform/wave_file.h"
#include "sample_actors.h"
#include "sample_dialogs.h"
#include "sample_hud.h"
#include "sample_level_parts.h"
#include "sample_menu.h"
#include "sample_output.h"

namespace sample {
namespace {

constexpr double kPi = 3.14159265358979323846;

uint32_t Pack(double r, double g, double b, double a = 1.0) {
    const auto byte = [](double v) { return uint32_t(std::lround(std::clamp(v, 0.0, 1.0) * 255.0)); };
    return (byte(a) << 24) | (byte(r) << 16) | (byte(g) << 8) | byte(b);
}

} // namespace

Image KeyIconImage() {
    Image image(64, 64, 0x00000000u);
    const auto inKey = [](double x, double y) {
        const double ring = std::hypot(x - 17.0, y - 32.0);
        return (ring <= 13.0 && ring >= 6.0) || (x >= 28.0 && x <= 58.0 && y >= 29.0 && y <= 35.0) ||
               (x >= 44.0 && x <= 48.0 && y >= 35.0 && y <= 44.0) ||
               (x >= 52.0 && x <= 57.0 && y >= 35.0 && y <= 41.0);
    };
    for (uint32_t y = 0; y < image.height; ++y) {
        for (uint32_t x = 0; x < image.width; ++x) {
            const double px = x + 0.5;
            const double py = y + 0.5;
            if (inKey(px, py)) {
                // Lit from above: lighter at the top of each part.
                const double shade = 0.85 + 0.15 * (1.0 - py / 64.0);
                image.At(x, y) = Pack(1.0 * shade, 0.78 * shade, 0.25 * shade);
            } else if (inKey(px - 2.0, py) || inKey(px + 2.0, py) || inKey(px, py - 2.0) ||
                       inKey(px, py + 2.0)) {
                image.At(x, y) = Pack(0.25, 0.16, 0.02); // the outline
            }
        }
    }
    return image;
}

Image ExitImage() {
    Image image(128, 128, Pack(0.1, 0.75, 0.25));
    for (uint32_t y = 0; y < image.height; ++y) {
        for (uint32_t x = 0; x < image.width; ++x) {
            const int dx = std::abs(int(x) - 64);
            const int dy = std::abs(int(y) - 64);
            const int ring = std::max(dx, dy);
            if (ring >= 56) {
                image.At(x, y) = Pack(0.75, 1.0, 0.75);
            } else if (ring % 16 >= 12 && ring < 48 && std::min(dx, dy) < ring / 2) {
                // Chevrons on the four sides, pointing in.
                image.At(x, y) = Pack(0.55, 1.0, 0.6);
            }
        }
    }
    return image;
}

std::vector<uint8_t> ChimeWave() {
    constexpr uint32_t kRate = 44100;
    const uint32_t count = kRate * 2 / 5;
    std::vector<int16_t> samples(count);
    for (uint32_t i = 0; i < count; ++i) {
        const double t = double(i) / kRate;
        const bool second = t >= 0.15;
        const double start = second ? 0.15 : 0.0;
        const double note = second ? 990.0 : 660.0;
        const double envelope = std::exp(-(t - start) * 9.0);
        samples[i] = int16_t(std::lround(0.45 * envelope * std::sin(2.0 * kPi * note * t) * 32767.0));
    }
    std::vector<uint8_t> bytes(samples.size() * 2);
    for (size_t i = 0; i < samples.size(); ++i) {
        bytes[i * 2] = uint8_t(uint16_t(samples[i]));
        bytes[i * 2 + 1] = uint8_t(uint16_t(samples[i]) >> 8);
    }
    WaveWriter writer(1, 16, kRate);
    return writer.Build(bytes.data(), uint32_t(bytes.size()));
}

void LogoFilmFrame(const PreparedFont &font, int k, int frames, uint32_t width, uint32_t height,
                   std::vector<uint8_t> &bgrx) {
    Image image(width, height, 0xFF182030u);
    DrawWords(font, image, "QV engine", int32_t(width / 2), int32_t(height / 2), 3, 0xFFF0F0F0u);
    // Half a second (12 frames at 25 a second) in and out of black.
    const double ramp = 12.0;
    const double light = std::clamp(std::min(double(k), double(frames - 1 - k)) / ramp, 0.0, 1.0);
    bgrx.resize(size_t(width) * height * 4);
    for (size_t i = 0; i < image.pixels.size(); ++i) {
        const uint32_t c = image.pixels[i];
        for (int channel = 0; channel < 3; ++channel) {
            bgrx[i * 4 + size_t(channel)] =
                uint8_t(std::lround(double((c >> (8 * channel)) & 0xFF) * light));
        }
        bgrx[i * 4 + 3] = 0xFF;
    }
}

} // namespace sample

namespace {

constexpr int32_t kFirstGuidanceId = 7600;
constexpr uint32_t kTextFontSlot = 80;
constexpr uint32_t kBlockStartFromParent = 1;
// How long a notice stays up.
constexpr float kNoticeTime = 5.0f;

// A text in the font, aligned as asked (0 left or top, 1 centre), in the
// colour.
Actor *Words(MenuMaker &maker, const std::string &name, Actor *parent, const Vector3 &at,
             const std::string &text, uint32_t font, uint32_t align, const Vector4 &color) {
    Actor *words = maker.Text(name, parent, at, text, align);
    SendCommandArgs(words, cmd::ui_text::SetUITextFont, font);
    SendCommandArgs(words, cmd::ui_text::SetUITextColor, color);
    return words;
}

} // namespace

std::string ShowNotice(const std::string &text) {
    const std::string notice = "/Global/Inventory/Notice";
    return notice + "/Text.Set_UI_Text_Text(\"" + text + "\"); " + notice + ".Action_Start(); " +
           notice + ".Action_Stop_Pre();";
}

std::string SetObjective(const std::string &text) {
    return "/Global/PauseMenu/Page/Objective.Set_UI_Text_Text(\"" + text + "\");";
}

bool AddGuidance(SampleOutput &out, const std::string &file, int32_t &end) {
    MenuMaker maker(out, file, kFirstGuidanceId);
    Actor *inventory = GetActorById(kInventoryActorId);
    Actor *menu = FindChildByName(GetActorById(kGlobalRootId), "PauseMenu");
    Actor *page = menu != nullptr ? FindChildByName(menu, "Page") : nullptr;
    Actor *offer = FindDescendantByName(GetActorById(kGlobalRootId), "SaveContinueMenu");
    auto *clock = dynamic_cast<TimerActor *>(FindDescendantByName(inventory, "MissionTime"));
    if (!maker.Check(inventory != nullptr && page != nullptr && offer != nullptr && clock != nullptr,
                     "no game actor, pause page, save offer or clock for the guidance")) {
        return false;
    }
    // The notice: up after "Action Start", down again kNoticeTime after
    // "Action Stop Pre" (a new "Action Start" cancels a stop on its way).
    Actor *notice = maker.Make(kUiSpriteClassId, "Notice", inventory, {400.0f, 120.0f, 0.0f});
    MenuMaker::Bar(notice, 640.0f, 64.0f, {0.0f, 0.0f, 0.0f, 0.6f});
    SendCommandArgs(notice, cmd::ui_sprite::SetUiSpriteVisible, 0u);
    SendCommandArgs(notice, cmd::base::SetActionStopDelay, kNoticeTime);
    Actor *said = Words(maker, "Text", notice, {0.0f, 0.0f, 0.0f}, "", sample::kNoticeFont, 1,
                        {1.0f, 0.95f, 0.75f, 1.0f});
    SendCommandArgs(said, cmd::ui_text::SetUiTextVisible, 0u);
    // The key, left of the weapon panel once taken.
    Actor *key = maker.Make(kUiSpriteClassId, "KeyHeld", inventory, {600.0f, 530.0f, 0.0f});
    SendCommandArgs(key, cmd::ui_sprite::SetUISpriteMaterial, std::string("KeyIcon"));
    SendCommandArgs(key, cmd::ui_sprite::SetUISpriteWidth, 56.0f);
    SendCommandArgs(key, cmd::ui_sprite::SetUISpriteHeight, 56.0f);
    SendCommandArgs(key, cmd::ui_sprite::SetUISpriteAlignX, 1u);
    SendCommandArgs(key, cmd::ui_sprite::SetUISpriteAlignY, 1u);
    SendCommandArgs(key, cmd::ui_sprite::SetUiSpriteVisible, 0u);
    Actor *keyName = Words(maker, "Label", key, {0.0f, 36.0f, 0.0f}, "Key", kTextFontSlot, 1,
                           {1.0f, 0.85f, 0.4f, 1.0f});
    SendCommandArgs(keyName, cmd::ui_text::SetUiTextVisible, 0u);
    // The objective along the foot of the screen, below every window the
    // pause page opens beside it (the slots of "Save Game" and "Load Game",
    // their questions, the options' rows); and "Saved" after a save, below
    // the buttons of the page and of the offer.
    Words(maker, "Objective", page, {70.0f, 540.0f, 0.0f}, "", kTextFontSlot, 0,
          {1.0f, 0.95f, 0.75f, 1.0f});
    for (const auto &[window, at] : {std::pair{page, Vector3{170.0f, 295.0f, 0.0f}},
                                     std::pair{offer, Vector3{170.0f, 165.0f, 0.0f}}}) {
        Actor *saved = Words(maker, "Saved", window, at, "Saved", kTextFontSlot, 1,
                             {0.55f, 1.0f, 0.55f, 1.0f});
        SendCommandArgs(saved, cmd::ui_text::SetUiTextVisible, 0u);
        if (saved != nullptr)
            saved->actionFlags |= kBlockStartFromParent;
    }
    // Time is up: the mission is failed and the death menu offers to try
    // again or to load.
    clock->AddKey(0.0f, "up",
                  "/Global/DeathMenu/Died/Title.Set_UI_Text_Text(\"Time is up\"); "
                  "/Global/DeathMenu.UI_System_Activate();");
    end = std::max(end, maker.Next());
    return maker.Ok();
}

Actor *AddMenuBackdrop(Actor *menu, int32_t id) {
    Actor *backdrop = menu == nullptr ? nullptr
                                      : CreateActor(static_cast<int32_t>(kUiSpriteClassId),
                                                    "Backdrop", nullptr, menu, id, true);
    if (backdrop == nullptr)
        return nullptr;
    SendCommandArgs(backdrop, cmd::base::SetPosition, Vector3{400.0f, 300.0f, 0.0f});
    MenuMaker::Bar(backdrop, 800.0f, 600.0f, {0.11f, 0.13f, 0.19f, 1.0f});
    return backdrop;
}

bool AddBriefing(SampleOutput &out, const std::string &file, Actor *room, int32_t id,
                 const std::string &notice, const std::string &objective) {
    Actor *briefing = room == nullptr ? nullptr : CreateActor(0, "Briefing", nullptr, room, id, true);
    if (briefing == nullptr)
        return out.Fail(file, "cannot make actor \"Briefing\"");
    SendCommandArgs(briefing, cmd::base::SetActionStartDelay, 2.0f);
    std::string error;
    if (!AddSampleScript(briefing, "brief", cmd::base::StartGame,
                         "/Global/Inventory.Inventory_Hack(11); " + SetObjective(objective) +
                             " this.Action_Start_Pre();",
                         &error) ||
        !AddSampleScript(briefing, "notice", cmd::base::ActionStartPost, ShowNotice(notice),
                         &error)) {
        return out.Fail(file, error);
    }
    return true;
}

namespace {

// A point light of the colour below `parent` at `at`.
Actor *Lamp(Actor *parent, const char *name, int32_t id, const Vector3 &at, const Vector4 &color,
            float radius) {
    auto *lamp = dynamic_cast<LightActor *>(CreateActor(static_cast<int32_t>(kLightClassId), name,
                                                        nullptr, parent, id, true));
    if (lamp == nullptr)
        return nullptr;
    lamp->position = at;
    lamp->InvalidateTransform();
    SendCommandArgs(lamp, cmd::light::SetLightType, 0u);
    SendCommandArgs(lamp, cmd::light::SetDiffuseColor, color);
    SendCommandArgs(lamp, cmd::base::SetRadius, radius);
    return lamp;
}

// A word in the notices' font floating at `at` below `parent`, facing the
// camera: seen across a room, fading only far beyond it.
Actor *Sign(Actor *parent, const char *name, int32_t id, const Vector3 &at, const std::string &word,
            const Vector4 &color) {
    Actor *sign = CreateActor(static_cast<int32_t>(kUiTextClassId), name, nullptr, parent, id, true);
    if (sign == nullptr)
        return nullptr;
    SendCommandArgs(sign, cmd::base::SetPosition, at);
    SendCommandArgs(sign, cmd::ui_text::SetUITextFont, sample::kNoticeFont);
    SendCommandArgs(sign, cmd::ui_text::SetUITextAlignX, 1u);
    SendCommandArgs(sign, cmd::ui_text::SetUITextAlignY, 1u);
    SendCommandArgs(sign, cmd::ui_text::SetUITextColor, color);
    SendCommandArgs(sign, cmd::ui_text::SetUITextText, word);
    SendCommandArgs(sign, cmd::ui_text::SetUITextOrientationStyle, 1u);
    SendCommandArgs(sign, cmd::ui_text::SetUIText3DLabelMaxDistance, 2600.0f);
    SendCommandArgs(sign, cmd::ui_text::SetUIText3DLabelFadeDistance, 2200.0f);
    return sign;
}

} // namespace

bool AddExitLook(Actor *room, int32_t &next, const Slab &square) {
    if (room == nullptr || !AddSlabMeshes(room, "ExitMark", next, square, "Exit"))
        return false;
    const Vector3 centre = {(square.min.x + square.max.x) / 2.0f, square.max.y,
                            (square.min.z + square.max.z) / 2.0f};
    const int32_t lampId = next++;
    return Lamp(room, "ExitLamp", lampId, {centre.x, centre.y + 150.0f, centre.z},
                {0.4f, 1.0f, 0.5f, 1.0f}, 450.0f) != nullptr &&
           Sign(room, "ExitSign", next++, {centre.x, centre.y + 110.0f, centre.z}, "EXIT",
                {0.5f, 1.0f, 0.55f, 1.0f}) != nullptr;
}

bool AddPickupLook(Actor *item, int32_t &next, const std::vector<PickupPart> &parts,
                   const std::string &word, const Vector4 &color, bool lamp) {
    if (item == nullptr)
        return false;
    // The hero's body takes it by touching this sphere. (Made first: adding
    // it tells what the item holds that its room is not drawn, and a light
    // would keep that in the file as a switching off to come.)
    ColObj reach(item);
    reach.name = "Pick";
    reach.type = 1;
    reach.flags = kColObjActive | kColObjCausesEvents | kColObjTakesEvents | kColObjDynamic;
    reach.groups = 1;
    reach.receiveGroups = 1;
    reach.boxMax = {25.0f, 25.0f, 25.0f};
    item->AddColObj(reach);
    // The parts float kPickupLift above the item and bob 6 units up and down
    // every two seconds; the item turns them about its upright axis as it
    // lies in the scene.
    auto *look = dynamic_cast<MatrixAnimationActor *>(CreateActor(
        static_cast<int32_t>(kMatrixAnimationClassId), "Look", nullptr, item, next++, true));
    if (look == nullptr)
        return false;
    look->basePosition = {0.0f, kPickupLift, 0.0f};
    look->position = look->basePosition;
    look->InvalidateTransform();
    MatrixAnimLayer bob;
    bob.At(kMatrixPosition, kSinMul) = {0.0f, 6.0f, 0.0f};
    bob.At(kMatrixPosition, kSinFreq) = {1.0f, 3.0f, 1.0f};
    look->layers.push_back(bob);
    for (const PickupPart &part : parts) {
        if (MeshLook(look, "Part", next++, part.mesh, part.material, {}) == nullptr)
            return false;
    }
    if (Sign(item, "Label", next++, {0.0f, kPickupLift + 42.0f, 0.0f}, word, color) == nullptr ||
        (lamp && Lamp(item, "Light", next++, {0.0f, kPickupLift + 25.0f, 0.0f}, color, 320.0f) ==
                     nullptr)) {
        return false;
    }
    // Taken, the parts no longer show where the item is kept.
    std::string error;
    return AddSampleScript(item, "hide", cmd::game_object::OnPickup,
                           "Look.CommandChildren(Set_Visible(0));", &error);
}
