// The Game Object's property sheet (a common page and one page per item
// type), its cut to the item's own pages, and the actor-file record.
#include <vector>

#include "actors/characters/game_object_actor.h"
#include "actors/characters/record_lists.h"
#include "base/file_system.h"
#include "core/actors/actor_file_dump.h"
#include "core/actors/class_descriptor.h"

namespace {

using Kind = PropertyKind;

const char kGethitEnumeration[] =
    "Gethit:|Non|0|Gethit 0|1|Gethit 1|2|Gethit 2|3|Gethit 3|4|Gethit 4|5|Gethit 5|6|Gethit "
    "6|7|Gethit 7|8|Gethit 8|9|Gethit 9|10|";
const char kDamageEnumeration[] =
    "Damage:|Non|0|Damage 0|1|Damage 1|2|Damage 2|3|Damage 3|4|Damage 4|5|Damage 5|6|Damage "
    "6|7|Damage 7|8|Damage 8|9|Damage 9|10|";
const char kEffectEnumeration[] =
    "Effect:|Speed|0|Endurance|1|Strength|2|Weight|3|Hearing|4|Noise Level|5|Constitution|6|"
    "Vision|7|Fov|8|Gamma R Add|9|Gamma G Add|10|Gamma B Add|11|Health|12|Drop Items|13|"
    "Unused|14|";

const PropertySheetRow kCommonPage[] = {
    {"Game Object Properties", Kind::PageTitle, 0, 0},
    {"Type:|Valuable|0|Trap|1|Key|2|Light|3|Weapon|4|Throw Object|5|Trigger|6|Power Up|7|Ammo|"
     "8|Bomb|9|",
     Kind::Enumeration, 602, 603},
    {"Icon 1:", Kind::LibraryMaterial, 625, 626},
    {"Icon 2:", Kind::LibraryMaterial, 627, 628},
    {"On Action CharacterMotion:", Kind::Text, 604, 605},
    {"Rotate In Scene:", Kind::CheckBox, 623, 624},
    {"Droppable:", Kind::CheckBox, 606, 607},
    {"Initial State", Kind::Caption, 0, 0},
    {"State:|In Container|0|In Scene|2|In Inventory|3|In Hand|4|", Kind::Enumeration, 612, 613},
    {"Price:", Kind::Real, 647, 648},
    {"Price ID:", Kind::GroupMask, 649, 650},
    {"Weight:", Kind::Real, 651, 652},
    {"Pick Up Effect", Kind::PageTitle, 0, 0},
    {"Animation Effect, Length...", Kind::Caption, 0, 0},
    {"Animation:|No Animation|0|Spin|1|Spin Jump|2|", Kind::Enumeration, 608, 609},
    {"Animation Length:", Kind::Time, 610, 611},
};

const PropertySheetRow kTrapSetup[] = {
    {"Trap Setup Properties", Kind::PageTitle, 0, 0},
    {"Min Setup Time", Kind::Time, 659, 660},
    {"Max Setup Time", Kind::Time, 661, 662},
    {"Min Trigger Time", Kind::Time, 663, 664},
    {"Max Trigger Time", Kind::Time, 665, 666},
    {"Functional Deleay", Kind::Time, 667, 668},
    {"Trap Effect Management", Kind::PageTitle, 0, 0},
};

const PropertySheetRow kKeyPage[] = {
    {"Key Type Properties", Kind::PageTitle, 0, 0},
    {"Set Keygroups", Kind::GroupMask, 629, 630},
    {"Delete Key After Use", Kind::CheckBox, 632, 633},
    {"Key Time Multiplyer", Kind::Time, 643, 644},
};

const PropertySheetRow kLightPage[] = {
    {"Light Type Properties", Kind::PageTitle, 0, 0},
    {"Duration Time:", Kind::Time, 641, 642},
};

const PropertySheetRow kWeaponPage[] = {
    {"Weapon Type Properties", Kind::PageTitle, 0, 0},
    {"Recoil", Kind::Real, 680, 681},
    {"Bullet Load Time", Kind::Time, 682, 683},
    {"Clip Load Time", Kind::Time, 684, 685},
    {"Precision|\xB0|", Kind::Real, 686, 687},
    {"Range", Kind::Real, 688, 689},
    {"Ammo Groups", Kind::GroupMask, 690, 691},
    {"Type:|Manual|0|Semi Auto|1|Auto|2|", Kind::Enumeration, 694, 695},
    {"Weapon Type Properties2", Kind::PageTitle, 0, 0},
    {"Fire On Release", Kind::CheckBox, 696, 697},
    {"- Prefire1 Reverse", Kind::CheckBox, 698, 699},
    {"- Prefire1 ReverseSpeed", Kind::Real, 700, 701},
    {"PreFire2 TimeOut:|Hold|0|Fire|1|CancelFire|2|", Kind::Enumeration, 702, 703},
    {"BulletLoad After ClipLoad", Kind::CheckBox, 704, 705},
    {"BulletLoad After Fire", Kind::CheckBox, 706, 707},
    {"Partial ClipLoad", Kind::CheckBox, 708, 709},
    {"Secondary Type:|Separate|0|Wait|1|", Kind::Enumeration, 710, 711},
    {"Reload Secondary", Kind::CheckBox, 712, 713},
    {"Max Bullets In Clip", Kind::WholeNumber, 714, 715},
    {"CrossHair Material", Kind::Text, 717, 718},
    {"Weapon FOV", Kind::Real, 719, 720},
};
constexpr size_t kPrecisionItem = 46;
constexpr float kPrecisionMaximum = 360.0f;

const PropertySheetRow kTriggerPage[] = {
    {"Trigger Type Properties", Kind::PageTitle, 0, 0},
    {"Select Trigger Container...", Kind::Caption, 0, 0},
    {"Pick Container:", Kind::ListNumber, 634, 635},
};

const PropertySheetRow kAmmoPage[] = {
    {"Ammo Type Properties", Kind::PageTitle, 0, 0},
    {"Recoil", Kind::Real, 721, 722},
    {"Bullet Load Time", Kind::Real, 723, 724},
    {"Clip Load Time", Kind::Real, 725, 726},
    {"Precision", Kind::Real, 727, 728},
    {"Range", Kind::Real, 729, 730},
    {"Bullets in Clip", Kind::WholeNumber, 731, 732},
    {"Unlimited", Kind::CheckBox, 733, 734},
    {"RayCount", Kind::WholeNumber, 735, 736},
    {"Ammo Groups", Kind::GroupMask, 737, 738},
    {"Col Groups", Kind::GroupMask, 741, 742},
    {"Col Groups Receive", Kind::GroupMask, 743, 744},
    {"Col Groups Exclude", Kind::GroupMask, 745, 746},
    {"Hit Effect Groups", Kind::GroupMask, 739, 740},
    {"Ammo Type Character Effect Properties", Kind::PageTitle, 0, 0},
};

// The hit block of the trap, throw, power-up, ammunition and bomb pages:
// the motions and hold time the hit gives, then the effect list.
void AppendHitBlock(std::vector<PropertySheetRow> &rows, const char *motions,
                    const char *management, const char *effect) {
    const PropertySheetRow block[] = {
        {motions, Kind::Caption, 0, 0},
        {kGethitEnumeration, Kind::Enumeration, 653, 654},
        {kDamageEnumeration, Kind::Enumeration, 655, 656},
        {"Character Hold Time", Kind::Time, 657, 658},
        {management, Kind::Caption, 0, 0},
        {"Effect", Kind::ListSelector, 671, 672},
        {"Add Effect|Add|", Kind::Button, 669, 0},
        {"Delete Effect|Delete|", Kind::Button, 670, 0},
        {effect, Kind::Caption, 0, 0},
        {kEffectEnumeration, Kind::Enumeration, 673, 674},
        {"Value", Kind::Real, 675, 676},
        {"Time", Kind::Time, 677, 678},
    };
    rows.insert(rows.end(), std::begin(block), std::end(block));
}

template <size_t N> void Append(std::vector<PropertySheetRow> &rows, const PropertySheetRow (&page)[N]) {
    rows.insert(rows.end(), page, page + N);
}

std::array<uint32_t, 11> pageTable{};

// The rows in order; each type page's first index goes into the table.
std::vector<PropertySheetRow> SheetRows(std::array<uint32_t, 11> &table) {
    std::vector<PropertySheetRow> rows;
    auto page = [&](uint32_t type) { table[type] = static_cast<uint32_t>(rows.size()); };
    Append(rows, kCommonPage);
    page(kItemValuable);
    rows.push_back({"Valuable Type Properties", Kind::PageTitle, 0, 0});
    page(kItemTrap);
    Append(rows, kTrapSetup);
    AppendHitBlock(rows, "Character Animation Effect", "Power Up Effect Management",
                   "Power Up Effect");
    page(kItemKey);
    Append(rows, kKeyPage);
    page(kItemLight);
    Append(rows, kLightPage);
    page(kItemWeapon);
    Append(rows, kWeaponPage);
    page(kItemThrowObject);
    rows.push_back({"Throw Object Type Properties", Kind::PageTitle, 0, 0});
    AppendHitBlock(rows, "Object Hit Character Animation Effect",
                   "Object Hit Character Effect Management", "Object Hit Character Effect");
    page(kItemTrigger);
    Append(rows, kTriggerPage);
    page(kItemPowerUp);
    rows.push_back({"Power Up Type Properties", Kind::PageTitle, 0, 0});
    AppendHitBlock(rows, "Power Up Character Animation Effect",
                   "Power Up Character Effect Management", "Power Up Character Effect");
    page(kItemAmmo);
    Append(rows, kAmmoPage);
    AppendHitBlock(rows, "Ammo Hit Character Animation Effect",
                   "Ammo Hit Character Effect Management", "Ammo Hit Character Effect");
    page(kItemBomb);
    rows.push_back({"Bomb Type Properties", Kind::PageTitle, 0, 0});
    rows.push_back({"Bomb Timer", Kind::Time, 645, 646});
    AppendHitBlock(rows, "Object Hit Character Animation Effect",
                   "Object Hit Character Effect Management", "Object Hit Character Effect");
    table[10] = static_cast<uint32_t>(rows.size());
    return rows;
}

// A string field read whole: a stored empty string empties it too.
void SerializeText(Archive &archive, std::string &text) {
    if (!archive.IsWriting()) {
        text.clear();
    }
    archive.SerializeString(text);
}

// One bit of a flag word as its own u32 0 or 1; reading sets or clears
// only that bit.
void SerializeBit(Archive &archive, uint32_t &flags, uint32_t bit) {
    uint32_t word = (flags & bit) != 0 ? 1u : 0u;
    archive.SerializeWord(&word);
    if (!archive.IsWriting() && !archive.Failed()) {
        flags = word != 0 ? (flags | bit) : (flags & ~bit);
    }
}

void SerializeSpares(Archive &archive, int count) {
    for (int i = 0; i < count; ++i) {
        archive.SerializeSpareWords(1);
    }
}

} // namespace

void GameObjectActor::RegisterClass() {
    ActorClassDescriptor &descriptor = NameClassDescriptor(kGameObjectClassId);
    descriptor.lineage = {0, kGameObjectClassId};
    descriptor.items.clear();
    const std::vector<PropertySheetRow> rows = SheetRows(pageTable);
    AppendPropertyRows(descriptor, rows);
    PropertyItem &precision = descriptor.items[kPrecisionItem];
    precision.ranged = 1;
    precision.minimum = 0.0f;
    precision.maximum = kPrecisionMaximum;
}

const std::array<uint32_t, 11> &GameObjectActor::PageTable() { return pageTable; }

void GameObjectActor::CutPropertySheet(ParamBlock block) const {
    auto *sheet = static_cast<ActorClassDescriptor *>(block.ReadPointer(0));
    const uint32_t common = pageTable[kItemValuable];
    if (sheet == nullptr || sheet->items.size() < pageTable[10] || common == 0) {
        return;
    }
    std::vector<PropertyItem> items(sheet->items.begin(), sheet->items.begin() + common);
    if (itemType <= kItemBomb) {
        items.insert(items.end(), sheet->items.begin() + pageTable[itemType],
                     sheet->items.begin() + pageTable[itemType + 1]);
    }
    sheet->items = std::move(items);
}

int GameObjectActor::Serialize(Archive &archive, uint32_t mode) {
    if (Actor::Serialize(archive, mode) == 0 || archive.Failed()) {
        return 0;
    }
    const uint32_t version = archive.Version();
    if (version >= 1) {
        archive.SerializeWord(&itemType);
        archive.SerializeWord(&animationType);
        archive.SerializeFloat(&animationTime);
        archive.SerializeWord(&itemState);
        archive.SerializeWord(&icon1MaterialId);
        archive.SerializeFloat(&weight);
        archive.SerializeFloat(&price);
        archive.SerializeWord(&priceId);
        archive.SerializeWord(&droppable);
        SerializeSpares(archive, 3);
    }
    if (version >= 36) {
        archive.SerializeWord(&icon2MaterialId);
    }
    if (version >= 26) {
        SerializeText(archive, actionMotion);
    }
    if (version >= 54) {
        archive.SerializeWord(&rotateInScene);
    }
    if (archive.Failed() || (version >= 1 && !SerializeTypeFields(archive))) {
        return 0;
    }
    return archive.Failed() ? 0 : 1;
}

bool GameObjectActor::SerializeTypeFields(Archive &archive) {
    const uint32_t version = archive.Version();
    auto effectList = [&] {
        return SerializeRecordList(archive, 1, effects, [&](ItemEffect &e) {
            archive.SerializeWord(&e.type);
            archive.SerializeFloat(&e.value);
            archive.SerializeFloat(&e.time);
        });
    };
    auto hit = [&] {
        archive.SerializeWord(&gethitId);
        archive.SerializeWord(&damageId);
        archive.SerializeFloat(&characterHoldTime);
    };
    // The five reals every weapon and ammunition record begins with.
    auto reals = [&] {
        for (float *value : {&recoil, &bulletLoadTime, &clipLoadTime, &precision, &range}) {
            archive.SerializeFloat(value);
        }
    };
    switch (itemType) {
    case kItemValuable:
        SerializeSpares(archive, 2);
        break;
    case kItemTrap:
        hit();
        for (float *value : {&trapSetupMin, &trapSetupMax, &trapTriggerMin, &trapTriggerMax,
                             &trapFunctionalDelay}) {
            archive.SerializeFloat(value);
        }
        if (!effectList()) {
            return false;
        }
        SerializeSpares(archive, 1);
        break;
    case kItemKey:
        archive.SerializeWord(&keyGroups);
        archive.SerializeWord(&keyDeleteAfterUse);
        archive.SerializeFloat(&keyTime);
        SerializeSpares(archive, 2);
        break;
    case kItemLight:
        archive.SerializeFloat(&lightTime);
        if (!archive.IsWriting()) {
            keyTime = lightTime;
        }
        SerializeSpares(archive, 2);
        break;
    case kItemWeapon:
        reals();
        archive.SerializeWord(&ammoGroups);
        archive.SerializeWord(&weaponType);
        if (version >= 14) {
            SerializeBit(archive, weaponFlags, weapon::FireOnRelease);
            SerializeBit(archive, weaponFlags, weapon::PreFire1Reverse);
            archive.SerializeWord(&unlimited); // the word of preFire1ReverseSpeed
            archive.SerializeWord(&preFire2TimeOut);
            SerializeBit(archive, weaponFlags, weapon::BulletLoadAfterClipLoad);
            SerializeBit(archive, weaponFlags, weapon::BulletLoadAfterFire);
            SerializeBit(archive, weaponFlags, weapon::PartialClipLoad);
            archive.SerializeWord(&secondaryType);
            SerializeBit(archive, weaponFlags, weapon::ReloadSecondary);
            archive.SerializeWord(&maxBulletsInClip);
            archive.SerializeWord(&rayExclude); // the word of weaponFov
            archive.SerializeWord(&weaponState);
            SerializeSpares(archive, 2);
        }
        if (version >= 26) {
            SerializeText(archive, crosshairMaterial);
        }
        break;
    case kItemThrowObject:
        if (!effectList()) {
            return false;
        }
        hit();
        break;
    case kItemTrigger:
        archive.SerializeWord(&triggerContainerId);
        SerializeSpares(archive, 4);
        break;
    case kItemPowerUp:
        hit();
        if (!effectList()) {
            return false;
        }
        SerializeSpares(archive, 4);
        break;
    case kItemAmmo:
        if (!effectList()) {
            return false;
        }
        hit();
        reals();
        archive.SerializeWord(&ammoGroups);
        archive.SerializeWord(&HitEffectGroups());
        if (version >= 14) {
            for (uint32_t *word : {&BulletsInClip(), &unlimited, &RayCount(), &RayGroup(),
                                   &RayReceive(), &rayExclude}) {
                archive.SerializeWord(word);
            }
            SerializeSpares(archive, 1);
        }
        break;
    case kItemBomb:
        if (!effectList()) {
            return false;
        }
        hit();
        archive.SerializeFloat(&bombTimer);
        break;
    default:
        break;
    }
    return !archive.Failed();
}

void GameObjectActor::DumpClassFields(std::vector<std::string> &lines) const {
    std::string line = "gameobject type " + std::to_string(itemType) + " state " +
                       std::to_string(itemState) + " motion " + DumpText(actionMotion);
    if (itemType == kItemWeapon) {
        line += " weaponstate " + std::to_string(weaponState) + " crosshair " +
                DumpText(crosshairMaterial);
    } else if (itemType == kItemAmmo) {
        line +=
            " bullets " + std::to_string(BulletsInClip()) + " rays " + std::to_string(RayCount());
    }
    lines.push_back(line);
    for (size_t i = 0; i < effects.size(); ++i) {
        const ItemEffect &e = effects[i];
        lines.push_back("effect " + std::to_string(i) + " type " + std::to_string(e.type) +
                        " value " + DumpNumber(e.value) + " time " + DumpNumber(e.time));
    }
}
