// The Game Object's property sheet and its cut, and the actor-file record
// per item type with its version gates.
#include <string>
#include <tuple>
#include <vector>

#include "../../core/actors/actor_file_bytes.h"
#include "core/actors/actor_file.h"
#include "core/actors/class_descriptor.h"
#include "core/actors/command_ids.h"
#include "game_object_fixture.h"
#include "support/temp_folder.h"

namespace {

class GameObjectRecordTest : public GameObjectTest {
  protected:
    // The bytes the item writes after its base record.
    std::string Tail(GameObjectActor *item, uint32_t version) {
        return Write(item, version, false).substr(Write(item, version, true).size());
    }
    std::string Write(GameObjectActor *item, uint32_t version, bool baseOnly) {
        Archive archive;
        EXPECT_TRUE(archive.Open(folder / "r.qva", "wb"));
        archive.SetVersion(version);
        if (baseOnly) {
            item->Actor::Serialize(archive, kSerializeSave);
        } else {
            item->Serialize(archive, kSerializeSave);
        }
        EXPECT_EQ(archive.Close(), 0);
        return folder.Get("r.qva");
    }
    // Reads the item's base record (without the class and id words that the
    // loader takes) followed by the tail into the item: the answer of
    // Serialize.
    int Read(GameObjectActor *item, uint32_t version, const std::string &tail) {
        bytes = Write(item, version, true).substr(8) + tail;
        Archive archive;
        EXPECT_TRUE(archive.OpenMemory(bytes.data(), static_cast<uint32_t>(bytes.size())));
        archive.SetVersion(version);
        return item->Serialize(archive, kSerializeLoad);
    }
    // A record's common words at version 1 for the type.
    static FileBytes Common(uint32_t type) {
        FileBytes b;
        b.U32(type).U32(1).F32(2.0f).U32(0).U32(4).F32(1.0f).F32(1.0f).U32(0).U32(0).Zeros(12);
        return b;
    }

    TempFolder folder;
    std::string bytes;
};

TEST_F(GameObjectRecordTest, SheetItemsPagesAndCut) {
    GameObjectActor::RegisterClass();
    const ActorClassDescriptor &sheet = ClassDescriptorTable[kGameObjectClassId];
    EXPECT_EQ(sheet.name + "|" + sheet.description, "Game Object|Game Object");
    EXPECT_EQ(sheet.lineage, (std::vector<uint32_t>{0, 12}));
    ASSERT_EQ(sheet.items.size(), 133u);
    EXPECT_EQ(std::vector<uint32_t>(GameObjectActor::PageTable().begin(),
                                    GameObjectActor::PageTable().end()),
              (std::vector<uint32_t>{16, 17, 36, 40, 42, 63, 76, 79, 92, 119, 133}));
    // Samples from every page: label, kind, set and get.
    const std::tuple<size_t, const char *, PropertyKind, uint32_t, uint32_t> rows[] = {
        {2, "Icon 1:", PropertyKind::LibraryMaterial, 625, 626},
        {4, "On Action CharacterMotion:", PropertyKind::Text, 604, 605},
        {10, "Price ID:", PropertyKind::GroupMask, 649, 650},
        {15, "Animation Length:", PropertyKind::Time, 610, 611},
        {22, "Functional Deleay", PropertyKind::Time, 667, 668},
        {30, "Add Effect|Add|", PropertyKind::Button, 669, 0},
        {32, "Power Up Effect", PropertyKind::Caption, 0, 0},
        {39, "Key Time Multiplyer", PropertyKind::Time, 643, 644},
        {46, "Precision|\xB0|", PropertyKind::Real, 686, 687},
        {60, "Max Bullets In Clip", PropertyKind::WholeNumber, 714, 715},
        {61, "CrossHair Material", PropertyKind::Text, 717, 718},
        {64, "Object Hit Character Animation Effect", PropertyKind::Caption, 0, 0},
        {78, "Pick Container:", PropertyKind::ListNumber, 634, 635},
        {88, "Power Up Character Effect", PropertyKind::Caption, 0, 0},
        {99, "Unlimited", PropertyKind::CheckBox, 733, 734},
        {105, "Hit Effect Groups", PropertyKind::GroupMask, 739, 740},
        {115, "Ammo Hit Character Effect", PropertyKind::Caption, 0, 0},
        {120, "Bomb Timer", PropertyKind::Time, 645, 646},
        {132, "Time", PropertyKind::Time, 677, 678},
    };
    for (const auto &[index, label, kind, set, get] : rows) {
        const PropertyItem &item = sheet.items[index];
        EXPECT_EQ(std::tie(item.label, item.kind, item.setCommand, item.getCommand),
                  std::tie(label, kind, set, get))
            << index;
    }
    size_t ranged = 0;
    for (const PropertyItem &item : sheet.items) {
        ranged += item.ranged;
        EXPECT_EQ(item.displayScale, 1.0f);
    }
    EXPECT_EQ(std::tuple(ranged, sheet.items[46].minimum, sheet.items[46].maximum),
              std::tuple(1u, 0.0f, 360.0f));

    auto cut = [&](uint32_t type) {
        ActorClassDescriptor copy = sheet;
        ActorClassDescriptor *pointer = &copy;
        Item(type)->HandleCommand(cmd::game_object::PropertySheetQuery,
                                  ParamBlock(&pointer, sizeof(pointer)));
        std::vector<std::string> labels;
        for (const PropertyItem &item : copy.items) {
            labels.push_back(item.label);
        }
        return labels;
    };
    const std::vector<std::string> weapon = cut(kItemWeapon);
    ASSERT_EQ(weapon.size(), 37u);
    EXPECT_EQ(std::tie(weapon[15], weapon[16], weapon[36]),
              std::tie(sheet.items[15].label, sheet.items[42].label, sheet.items[62].label));
    EXPECT_EQ(cut(kItemLight).size(), 18u);
    EXPECT_EQ(cut(kItemBomb).size(), 16u + 14u);
}

TEST_F(GameObjectRecordTest, RecordsPerTypeWithTheirGates) {
    GameObjectActor *key = Item(kItemKey);
    key->keyGroups = 0x15;
    key->keyDeleteAfterUse = 1;
    key->keyTime = 2.5f;
    EXPECT_EQ(Tail(key, 1), Common(kItemKey).U32(0x15).U32(1).F32(2.5f).Zeros(8).str());
    GameObjectActor *back = Item(kItemKey);
    ASSERT_EQ(Read(back, 1, Tail(key, 1)), 1);
    EXPECT_EQ(std::tuple(back->keyGroups, back->keyDeleteAfterUse, back->keyTime),
              std::tuple(0x15u, 1u, 2.5f));

    GameObjectActor *light = Item(kItemLight);
    ASSERT_EQ(Read(light, 1, Common(kItemLight).F32(7.0f).Zeros(8).str()), 1);
    EXPECT_EQ(std::tuple(light->lightTime, light->keyTime), std::tuple(7.0f, 7.0f));

    // The common gates: icon 2 from 36, the motion from 26, rotate from 54.
    key->icon2MaterialId = 9;
    key->actionMotion = "N_Use";
    key->rotateInScene = 0;
    const std::string keyTail = FileBytes().U32(0x15).U32(1).F32(2.5f).Zeros(8).str();
    EXPECT_EQ(Tail(key, 25), Common(kItemKey).str() + keyTail);
    EXPECT_EQ(Tail(key, 26), Common(kItemKey).Str("N_Use").str() + keyTail);
    EXPECT_EQ(Tail(key, 36), Common(kItemKey).U32(9).Str("N_Use").str() + keyTail);
    EXPECT_EQ(Tail(key, 54), Common(kItemKey).U32(9).Str("N_Use").U32(0).str() + keyTail);
    back->actionMotion = "stale";
    ASSERT_EQ(Read(back, 26, Common(kItemKey).Str("").str() + keyTail), 1);
    EXPECT_EQ(back->actionMotion, ""); // a stored empty text empties it

    // A Trap with an empty list: count 0, then its spare word.
    GameObjectActor *trap = Item(kItemTrap);
    const FileBytes trapHead = FileBytes()
                                   .U32(0).U32(0).F32(10.0f)
                                   .F32(1.0f).F32(2.0f).F32(1.0f).F32(2.0f).F32(5.0f);
    EXPECT_EQ(Tail(trap, 1), Common(kItemTrap).Raw(trapHead.str()).U32(0).U32(0).str());
    trap->effects = {{3, 50.0f, 2.0f}};
    EXPECT_EQ(Tail(trap, 1), Common(kItemTrap)
                                 .Raw(trapHead.str())
                                 .U32(1).U32(3).F32(50.0f).F32(2.0f).U32(0).U32(0)
                                 .str());
    // A type above 9 ends after the common fields.
    GameObjectActor *odd = Item(kItemKey);
    odd->itemType = 10;
    EXPECT_EQ(Tail(odd, 1), Common(10).str());
}

TEST_F(GameObjectRecordTest, WeaponAndAmmoWordsFlagsAndVersions) {
    GameObjectActor *gun = Item(kItemWeapon);
    const FileBytes seven = FileBytes().F32(1.0f).F32(0.1f).F32(1.0f).F32(3.0f).F32(50.0f).U32(1).U32(1);
    EXPECT_EQ(Tail(gun, 13), Common(kItemWeapon).Raw(seven.str()).str());
    gun->weaponFlags = weapon::FireOnRelease | weapon::ReloadSecondary | weapon::FireRequested;
    gun->crosshairMaterial = "Cross";
    gun->weaponState = 12;
    const FileBytes v14 = FileBytes(seven)
                              .U32(1).U32(0).F32(1.0f).U32(0).U32(0).U32(0).U32(0).U32(0)
                              .U32(1).U32(6).F32(0.0f).U32(12).Zeros(8);
    EXPECT_EQ(Tail(gun, 25), Common(kItemWeapon).Raw(v14.str()).str());
    EXPECT_EQ(Tail(gun, 26), Common(kItemWeapon).Str("").Raw(v14.str()).Str("Cross").str());

    // Each stored bit sets or clears only its own bit; the run-time bit 6
    // stays as it was.
    GameObjectActor *read = Item(kItemWeapon);
    read->weaponFlags = weapon::FireRequested | weapon::BulletLoadAfterFire;
    ASSERT_EQ(Read(read, 26, Tail(gun, 26)), 1);
    EXPECT_EQ(read->weaponFlags,
              weapon::FireOnRelease | weapon::ReloadSecondary | weapon::FireRequested);
    EXPECT_EQ(std::tuple(read->crosshairMaterial, read->weaponState), std::tuple("Cross", 12u));
    // Version 13: the rest keeps the defaults.
    GameObjectActor *old = Item(kItemWeapon);
    ASSERT_EQ(Read(old, 13, FileBytes(Common(kItemWeapon))
                                .F32(2.0f).F32(0.2f).F32(3.0f).F32(4.0f).F32(5.0f).U32(2).U32(2)
                                .str()),
              1);
    EXPECT_EQ(std::tuple(old->recoil, old->range, old->weaponType, old->weaponFlags,
                         old->maxBulletsInClip, old->preFire1ReverseSpeed),
              std::tuple(2.0f, 5.0f, 2u, 0x0Cu, 6u, 1.0f));

    GameObjectActor *ammo = Item(kItemAmmo);
    EXPECT_EQ(Tail(ammo, 14), Common(kItemAmmo)
                                  .U32(0).U32(0).U32(0).F32(10.0f)
                                  .F32(1.0f).F32(1.0f).F32(1.0f).F32(1.0f).F32(1.0f)
                                  .U32(1).U32(1)
                                  .U32(6).U32(0).U32(1).U32(1).U32(0x4000001).U32(0x40000).U32(0)
                                  .str());
}

TEST_F(GameObjectRecordTest, BadRecordsFailTheLoad) {
    // An effect count beyond the bytes left or above 4096 fails before any
    // entry is made.
    for (uint32_t count : {3u, 5000u, 0xFFFFFFFFu}) {
        GameObjectActor *bomb = Item(kItemBomb);
        bomb->effects = {{1, 1.0f, 1.0f}};
        EXPECT_EQ(Read(bomb, 1, Common(kItemBomb).U32(count).Zeros(32).str()), 0) << count;
        EXPECT_EQ(bomb->effects.size(), 1u) << count;
    }
    // A short record answers 0 at every cut, the base record's included.
    GameObjectActor *source = Item(kItemAmmo);
    const std::string whole = Write(source, 54, false).substr(8);
    for (size_t length : {size_t{8}, whole.size() - Tail(source, 54).size() + 20, whole.size() - 4}) {
        GameObjectActor *item = Item(kItemAmmo);
        Archive archive;
        ASSERT_TRUE(archive.OpenMemory(whole.data(), static_cast<uint32_t>(length)));
        archive.SetVersion(54);
        EXPECT_EQ(item->Serialize(archive, kSerializeLoad), 0) << length;
    }
    // Through the loader: "Serialize Error".
    GameObjectActor *bomb = Item(kItemBomb);
    bomb->effects.resize(2);
    std::string file = WriteActorAtVersion(bomb, 54, folder, "b.qva");
    file.resize(file.size() - 20);
    Archive archive;
    ASSERT_TRUE(archive.OpenMemory(file.data(), static_cast<uint32_t>(file.size())));
    EXPECT_EQ(LoadActorsFrom(archive, kSerializeLoad), 0);
    EXPECT_EQ(std::string(GetActorSystem()->errorText), "Serialize Error");
}

} // namespace
