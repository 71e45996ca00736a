#include "actors/characters/character_actor.h"

#include <algorithm>
#include <cmath>
#include <tuple>

#include "base/file_system.h"
#include "core/actors/actor_file_dump.h"
#include "core/actors/actor_services.h"
#include "core/actors/class_descriptor.h"
#include "core/actors/command_ids.h"

uint32_t MaxAmmo[kMaxAmmoCount];
std::vector<CharacterActor *> CharacterList;

namespace {

constexpr float kCapacityFloor = 0.05f;
constexpr float kCapacityCeiling = 1.0f;
constexpr uint32_t kCharacterColFlags = kColObjActive | kColObjCausesEvents | kColObjTakesEvents |
                                        kColObjDynamic | kColObjSolid; // 0x67
constexpr float kCharacterColRadius = 23.0f;

// Label, control, set and get command of each item of the property sheet.
using SheetRow = std::tuple<const char *, PropertyKind, uint32_t, uint32_t>;

// clang-format off
const SheetRow kSheet[] = {
    {"Character Properties", PropertyKind::PageTitle, 0, 0},
    {"Type:|Custom|0|FirstPerson|1|Guard|2|ThirdPerson|3|ThirdPersonShooter|4|Console|5|Undef6|6|"
     "Undef7|7|Undef8|8|",
     PropertyKind::Enumeration, cmd::character::SetCharacterType, cmd::character::GetCharacterType},
    {"Pick Character Icon Material:", PropertyKind::LibraryMaterial, cmd::character::SetCharacterIconLibID, cmd::character::GetCharacterIconLibID},
    {"Character Health", PropertyKind::Caption, 0, 0},
    {"Health:", PropertyKind::Real, cmd::character::SetHealth, cmd::character::GetHealth},
    {"Character Group:", PropertyKind::GroupMask, cmd::character::SetCharactergroup, cmd::character::GetCharactergroup},
    {"Character Parameters", PropertyKind::PageTitle, 0, 0},
    {"Speed:", PropertyKind::Real, cmd::character::SetCPSpeed, cmd::character::GetCPSpeed},
    {"Endurance:", PropertyKind::Real, cmd::character::SetCPEndurance, cmd::character::GetCPEndurance},
    {"Strength:", PropertyKind::Real, cmd::character::SetCPStrength, cmd::character::GetCPStrength},
    {"Weight:", PropertyKind::Real, cmd::character::SetCPWeight, cmd::character::GetCPWeight},
    {"Hearing:", PropertyKind::Real, cmd::character::SetCPHearing, cmd::character::GetCPHearing},
    {"Noise:", PropertyKind::Real, cmd::character::SetCPNoiselevel, cmd::character::GetCPNoiselevel},
    {"Constitution:", PropertyKind::Real, cmd::character::SetCPConstitution, cmd::character::GetCPConstitution},
    {"Character Vision Parameters", PropertyKind::PageTitle, 0, 0},
    {"Vision:", PropertyKind::Real, cmd::character::SetCPVision, cmd::character::GetCPVision},
    {"Fov:", PropertyKind::Real, cmd::character::SetCPFov, cmd::character::GetCPFov},
    {"JumpForce:", PropertyKind::Real, cmd::character::SetCPJumpForce, cmd::character::GetCPJumpForce},
    {"JumpForce KickMul:", PropertyKind::Real, cmd::character::SetKickMul, cmd::character::GetKickMul},
    {"MoveOnJump:", PropertyKind::Real, cmd::character::SetCPMoveOnJump, cmd::character::GetCPMoveOnJump},
    {"MoveOnJumpMax:", PropertyKind::Real, cmd::character::SetCPMoveOnJumpMax, cmd::character::GetCPMoveOnJumpMax},
    {"MoveOnFallMul:", PropertyKind::Real, cmd::character::SetMoveOnFallMul, cmd::character::GetMoveOnFallMul},
    {"Gamma Add R:", PropertyKind::Real, cmd::character::SetCPGammaRAdd, cmd::character::GetCPGammaRAdd},
    {"Gamma Add G:", PropertyKind::Real, cmd::character::SetCPGammaGAdd, cmd::character::GetCPGammaGAdd},
    {"Gamma Add B:", PropertyKind::Real, cmd::character::SetCPGammaBAdd, cmd::character::GetCPGammaBAdd},
    {"FallDamage1 Mul:", PropertyKind::Real, cmd::character::SetCpLast, cmd::character::GetCpLast},
    {"FallDamage2 Start:", PropertyKind::Real, cmd::character::SetFallDamageStart, cmd::character::GetFallDamageStart},
    {"FallDamage2 Stop:", PropertyKind::Real, cmd::character::SetFallDamageStop, cmd::character::GetFallDamageStop},
    {"FallDamage2 Value:", PropertyKind::Real, cmd::character::SetFallDamageValue, cmd::character::GetFallDamageValue},
};
// clang-format on
// The last item of the sheet, in the short form.
const SheetRow kSheetLast = {"Suspend Mode:", PropertyKind::CheckBox,
                             cmd::character::SetSuspendMode, cmd::character::GetSuspendMode};

// One flag bit as a u32 word (0 or 1); reading takes bit 0 of the word.
void FlagWord(Archive &archive, uint32_t since, uint32_t &flags, uint32_t bit) {
    if (archive.Version() < since) {
        return;
    }
    uint32_t word = (flags & bit) != 0 ? 1u : 0u;
    archive.SerializeWords(&word, 1);
    if (!archive.IsWriting() && !archive.Failed()) {
        flags = (word & 1u) != 0 ? (flags | bit) : (flags & ~bit);
    }
}

std::string Words(const uint32_t *words, size_t count) {
    std::string text;
    for (size_t i = 0; i < count; ++i) {
        text += (i == 0 ? "" : " ") + std::to_string(words[i]);
    }
    return text;
}

} // namespace

void ResetCharacterModuleForTests() {
    CharacterList.clear();
    CharacterActor::lastClimbedWallNormal = {0.0f, 0.0f, 0.0f};
    std::fill(std::begin(MaxAmmo), std::end(MaxAmmo), kMaxAmmoValue);
}

void CharacterActor::RegisterClass() {
    ActorClassDescriptor &descriptor = NameClassDescriptor(kCharacterClassId);
    descriptor.lineage = {0, kCharacterClassId};
    descriptor.items.clear();
    for (const auto &[label, kind, setCommand, getCommand] : kSheet) {
        descriptor.items.emplace_back(label, kind, setCommand, getCommand, 0, 0.0f, 0.0f, 1.0f,
                                      nullptr);
    }
    const auto &[label, kind, setCommand, getCommand] = kSheetLast;
    descriptor.items.push_back(
        PropertyItem::PropertyItemBasic(label, kind, setCommand, getCommand));
}

CharacterFields::CharacterFields() {
    for (float *array :
         {paramBase, paramChanged, paramBlend, paramBlendStep, paramPrevious, paramValue}) {
        std::fill(array, array + kCharacterParamCount, 1.0f);
    }
}

CharacterActor::CharacterActor() {
    classId = kCharacterClassId;
    for (ActorLink &link : boneActors) {
        link.origin = this;
    }
    // A new character runs the reduced controller until a brain makes it
    // master.
    flags &= ~(kActorMaster | kActorStatic);
    auto body = std::make_unique<ColObj>(this);
    body->name = "Character Col";
    body->type = 1;
    body->flags = kCharacterColFlags;
    body->groups = 1;
    body->receiveGroups = 1;
    body->excludeGroups = 0;
    body->boxMin = {0.0f, 0.0f, 0.0f};
    body->boxMax = {kCharacterColRadius, kCharacterColRadius, kCharacterColRadius};
    AddColObj(std::move(body));
    std::fill(std::begin(MaxAmmo), std::end(MaxAmmo), kMaxAmmoValue);
    CharacterList.push_back(this);
}

CharacterActor::~CharacterActor() {
    auto it = std::find(CharacterList.begin(), CharacterList.end(), this);
    if (it != CharacterList.end()) {
        CharacterList.erase(it);
    }
}

std::vector<ActorLink *> CharacterActor::Links() {
    std::vector<ActorLink *> links = {&skin,           &notifyCamera,  &lookCamera, &sensorTarget,
                                      &itemsActor,     &leftHand,      &rightHand,  &brain,
                                      &activateTarget, &activatedChild};
    for (ActorLink &link : boneActors) {
        links.push_back(&link);
    }
    return links;
}

void CharacterActor::SetSkin(Actor *actor) {
    if (actor != skin.target || actor == nullptr) {
        bones.clear();
    }
    skin.Assign(actor);
}

int32_t CharacterActor::FindOwnColObj(const char *objectName) const {
    for (size_t i = 0; i < colObjs.size(); ++i) {
        if (colObjs[i]->name == objectName) {
            return static_cast<int32_t>(i);
        }
    }
    return -1;
}

ColObj *CharacterActor::OwnColObj(int32_t index, const char *objectName) {
    if (index < 0 || static_cast<size_t>(index) >= colObjs.size()) {
        return nullptr;
    }
    ColObj *object = colObjs[static_cast<size_t>(index)].get();
    return object->name == objectName ? object : nullptr;
}

void CharacterActor::ChangeCapacity(float amount) {
    const float endurance = paramValue[kParamEndurance];
    amount = amount <= 0.0f ? amount / endurance : amount * endurance;
    if (std::isnan(amount)) {
        return;
    }
    capacity += amount;
    if (capacity < kCapacityFloor) {
        capacity = kCapacityFloor;
        HandleCommand(cmd::character::Exhaust100, ParamBlock());
    } else if (capacity > kCapacityCeiling) {
        capacity = kCapacityCeiling;
    }
}

int CharacterActor::Serialize(Archive &archive, uint32_t mode) {
    if (Actor::Serialize(archive, mode) == 0) {
        return 0;
    }
    archive.SerializeWordsSince(1, &characterType, 1);
    archive.SerializeWordsSince(1, &iconLibId, 1);
    archive.SerializeWordsSince(1, &health, 1);
    archive.SerializeWordsSince(1, &reserved, 1);
    uint32_t spare[3] = {};
    archive.SerializeWordsSince(4, paramBase, kParamGammaRAdd);
    archive.SerializeWordsSince(4, spare, 3);
    archive.SerializeWordsSince(4, &paramBase[kParamGammaRAdd], 3);
    archive.SerializeWordsSince(14, &paramBase[kParamJumpForce], 1);
    archive.SerializeWordsSince(14, &paramBase[kParamMoveOnJumpMax], 1);
    archive.SerializeWordsSince(25, &paramBase[kParamFallDamage1Mul], 1);
    archive.SerializeWordsSince(25, &fallDamageStart, 1);
    archive.SerializeWordsSince(25, &fallDamageStop, 1);
    archive.SerializeWordsSince(25, &fallDamageValue, 1);
    FlagWord(archive, 25, charFlags, kCharSuspended);
    archive.SerializeWordsSince(29, &characterGroup, 1);
    archive.SerializeWordsSince(41, ammoCount, kAmmoTypeCount);
    for (float *angle : {&look.rotX, &look.rotXSmooth, &look.rotXSpeed, &look.rotY,
                         &look.rotYSmooth, &look.rotYSpeed}) {
        archive.SerializeWordsSince(41, angle, 1);
    }
    archive.SerializeWordsSince(41, &rotY, 1);
    archive.SerializeWordsSince(41, &rotYSmooth, 1);
    archive.SerializeWordsSince(41, &turnSpeed, 1);
    archive.SerializeWordsSince(42, &holdTime, 1);
    FlagWord(archive, 42, charFlags, kCharDeadLock);
    FlagWord(archive, 42, charFlags, kCharInputLocked);
    archive.SerializeWordsSince(49, &capacity, 1);
    archive.SerializeWordsSince(49, &capacityPrevious, 1);
    archive.SerializeWordsSince(62, &paramBase[kParamMoveOnJump], 1);
    archive.SerializeWordsSince(62, &moveOnFallMul, 1);
    archive.SerializeWordsSince(62, &kickMul, 1);
    return archive.Failed() ? 0 : 1;
}

void CharacterActor::DumpClassFields(std::vector<std::string> &lines) const {
    const float params[] = {paramBase[0],  paramBase[1],  paramBase[2],  paramBase[3],
                            paramBase[4],  paramBase[5],  paramBase[6],  paramBase[7],
                            paramBase[8],  paramBase[9],  paramBase[10], paramBase[11],
                            paramBase[12], paramBase[14], paramBase[15]};
    const float fall[] = {fallDamageStart, fallDamageStop, fallDamageValue};
    const float lookAngles[] = {look.rotX, look.rotXSmooth, look.rotXSpeed,
                                look.rotY, look.rotYSmooth, look.rotYSpeed};
    const float body[] = {rotY, rotYSmooth, turnSpeed};
    const float tail[] = {paramBase[kParamMoveOnJump], moveOnFallMul, kickMul};
    auto bit = [this](uint32_t mask) { return (charFlags & mask) != 0 ? "1" : "0"; };
    lines.push_back(
        "character type " + std::to_string(characterType) + " icon " + std::to_string(iconLibId) +
        " health " + DumpNumber(health) + " reserved " + std::to_string(reserved) + " params " +
        DumpNumbers(params, 15) + " falldamage " + DumpNumbers(fall, 3) + " suspend " +
        bit(kCharSuspended) + " group " + DumpMask(characterGroup) + " ammo " +
        Words(ammoCount, kAmmoTypeCount) + " look " + DumpNumbers(lookAngles, 6) + " body " +
        DumpNumbers(body, 3) + " hold " + DumpNumber(holdTime) + " deadlock " + bit(kCharDeadLock) +
        " inputlocked " + bit(kCharInputLocked) + " capacity " + DumpNumber(capacity) + " " +
        DumpNumber(capacityPrevious) + " jumpmoves " + DumpNumbers(tail, 3));
}
