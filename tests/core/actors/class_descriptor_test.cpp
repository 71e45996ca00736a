#include "core/actors/class_descriptor.h"
#include "core/actors/command_registry.h"
#include "core/actors/command_table.h"
#include "core/actors/material_table.h"

#include <gtest/gtest.h>

#include <map>
#include <tuple>
#include <string>

namespace {

class DescriptorTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetCommandTablesForTest();
        std::string error;
        ASSERT_TRUE(RegisterAllCommands(&error)) << error;
    }
    void TearDown() override { ResetCommandTablesForTest(); }

    static const std::vector<PropertyItem>& BaseItems() { return ClassDescriptorTable[0].items; }
};

// The parameter type a control of each kind edits, where it has one.
uint32_t KindParamType(PropertyKind kind) {
    switch (kind) {
    case PropertyKind::CheckBox:
        return ParamType::Bool;
    case PropertyKind::Enumeration:
    case PropertyKind::GroupMask:
        return ParamType::UInt32;
    case PropertyKind::Vector:
    case PropertyKind::ScaleVector:
        return ParamType::Vector3;
    case PropertyKind::Rotation:
        return ParamType::Quaternion;
    case PropertyKind::Time:
        return ParamType::Real;
    case PropertyKind::Text:
        return ParamType::String;
    default:
        return 0;
    }
}

} // namespace

TEST_F(DescriptorTest, TableAfterRegistration) {
    ASSERT_EQ(ClassDescriptorTable.size(), 54u);
    const ActorClassDescriptor& base = ClassDescriptorTable[0];
    EXPECT_EQ(base.name, "Base");
    EXPECT_EQ(base.description, "The base class for all actors, has position, rotation, radius, "
                                "box, collision and script");
    EXPECT_EQ(base.lineage, std::vector<uint32_t>{0});
    EXPECT_EQ(base.items.size(), 64u);
    // Only entry 0 is filled by the command registration.
    for (size_t i = 1; i < ClassDescriptorTable.size(); ++i) {
        EXPECT_TRUE(ClassDescriptorTable[i].name.empty()) << i;
        EXPECT_TRUE(ClassDescriptorTable[i].lineage.empty()) << i;
        EXPECT_TRUE(ClassDescriptorTable[i].items.empty()) << i;
    }
    EXPECT_EQ(FindClassDescriptorByName("Base"), 0);
    EXPECT_EQ(FindClassDescriptorByName("Light"), -1);
}

TEST_F(DescriptorTest, NamingFillsTheTableEntry) {
    ActorClassDescriptor& light = NameClassDescriptor(4);
    EXPECT_EQ(std::tuple(&light, light.name), std::tuple(&ClassDescriptorTable[4], "Light"));
    EXPECT_EQ(FindClassDescriptorByName("Light"), 4);
    EXPECT_EQ(SquareRootTransform(3, 1), 9.0);
    EXPECT_EQ(SquareRootTransform(9, 0), 3.0);
}

TEST_F(DescriptorTest, BaseSheetItems) {
    const std::vector<PropertyItem>& items = BaseItems();
    ASSERT_EQ(items.size(), 64u);

    struct Expect {
        size_t index; // 1-based position on the sheet
        const char* label;
        PropertyKind kind;
        uint32_t set, get;
    };
    const Expect spots[] = {
        {1, "Base Properties", PropertyKind::PageTitle, 0, 0},
        {2, "Operational", PropertyKind::CheckBox, 39, 40},
        {7, "Dummy Object Style|Hidden|0|wire Z|8|wire|6|solid|5|solid Z|7|",
         PropertyKind::Enumeration, 183, 184},
        {9, "Scale:", PropertyKind::ScaleVector, 66, 67},
        {15, "Action Start Pre|Starte|", PropertyKind::Button, 208, 0},
        {46, "Object:", PropertyKind::ListSelector, 112, 113},
        {48, "Don't Save (MeshSynced)", PropertyKind::CheckBox, 132, 133},
        {49,
         "Type:|Non|0|Sphere|1|Box|2|Y-Triangles|4|RayPoint|7|Triangle(Test)|5|TriangleBoxes|8|"
         "TriangleBoxes|9|TriangleBoxes|10|",
         PropertyKind::Enumeration, 114, 115},
        {54,
         "Material:|Metal|0|Custom|1|Wood|2|Stone|3|Rubber|4|Glass|5|Mud|6|Character(no "
         "friction)|7|Grass|8|",
         PropertyKind::Enumeration, 118, 119},
        {64, "Global Hit Effect (GHE):", PropertyKind::GroupMask, 130, 131},
    };
    for (const Expect& e : spots) {
        const PropertyItem& item = items[e.index - 1];
        EXPECT_EQ(item.label, e.label) << e.index;
        EXPECT_EQ(item.kind, e.kind) << e.index;
        EXPECT_EQ(item.setCommand, e.set) << e.index;
        EXPECT_EQ(item.getCommand, e.get) << e.index;
    }

    std::map<PropertyKind, int> perKind;
    for (const PropertyItem& item : items) {
        ++perKind[item.kind];
        EXPECT_EQ(item.ranged, 0u) << item.label;
        EXPECT_EQ(item.displayScale, 1.0f) << item.label;
        EXPECT_EQ(item.transform, nullptr) << item.label;
        switch (item.kind) {
        case PropertyKind::Button:
            EXPECT_NE(item.setCommand, 0u) << item.label;
            EXPECT_EQ(item.getCommand, 0u) << item.label;
            break;
        case PropertyKind::PageTitle:
        case PropertyKind::Heading:
        case PropertyKind::Caption:
        case PropertyKind::EventScripts:
            EXPECT_EQ(item.setCommand, 0u) << item.label;
            EXPECT_EQ(item.getCommand, 0u) << item.label;
            break;
        default:
            EXPECT_NE(item.setCommand, 0u) << item.label;
            EXPECT_NE(item.getCommand, 0u) << item.label;
        }
    }
    using K = PropertyKind;
    const std::map<PropertyKind, int> counts = {
        {K::PageTitle, 3}, {K::Heading, 6}, {K::Caption, 6}, {K::Button, 6}, {K::CheckBox, 20},
        {K::Enumeration, 4}, {K::Time, 7}, {K::GroupMask, 4}, {K::Vector, 3}};
    for (const auto& [kind, count] : counts)
        EXPECT_EQ(perKind[kind], count) << static_cast<int>(kind);
}

// Cross-check of the sheet against the command table: a valued control's set
// and get commands exist, the get command is a query, and both carry the
// parameter type of the control. Commands sent by id only have no row.
TEST_F(DescriptorTest, BaseSheetMatchesTheCommandTable) {
    const CommandTable& table = GetCommandTable();
    for (const PropertyItem& item : BaseItems()) {
        for (uint32_t id : {item.setCommand, item.getCommand}) {
            if (id == 0)
                continue;
            bool byIdOnly = (id >= 177 && id <= 184) || id == 348;
            EXPECT_EQ(table[id].classId, byIdOnly ? -1 : 0) << item.label << " " << id;
        }
        if (item.getCommand != 0 && table[item.getCommand].classId == 0) {
            EXPECT_TRUE(table[item.getCommand].Has(CommandFlags::GetQuery)) << item.label;
            EXPECT_EQ(table[item.setCommand].name.substr(0, 4), "Set ") << item.label;
        }
        uint32_t type = KindParamType(item.kind);
        if (type != 0 && table[item.setCommand].classId == 0) {
            EXPECT_EQ(table[item.setCommand].paramTypes, std::vector<uint32_t>{type}) << item.label;
            EXPECT_EQ(table[item.getCommand].paramTypes, std::vector<uint32_t>{type}) << item.label;
        }
    }
    // The material enumeration lists the materials by id.
    const std::string& materials = BaseItems()[53].label;
    for (size_t id = 0; id < MaterialTable.size(); ++id) {
        std::string value = "|" + std::to_string(id) + "|";
        EXPECT_NE(materials.find(value), std::string::npos) << id;
    }
}

TEST(PropertyItem, BasicDefaults) {
    PropertyItem basic = PropertyItem::PropertyItemBasic("Radius:", PropertyKind::Real, 475, 476);
    EXPECT_EQ((std::vector<float>{static_cast<float>(basic.ranged), basic.minimum, basic.maximum,
                                  basic.displayScale}),
              (std::vector<float>{0, 0, 0, 1}));
    EXPECT_EQ(basic.transform, nullptr);
}

TEST_F(DescriptorTest, Materials) {
    const char* const names[] = {"Default (Metal)", "Custom", "Wood",      "Stone", "Rubber",
                                 "Glass",           "Mud",    "Character", "Grass"};
    const float coefficients[9][3] = {{5.0f, 0.25f, 0.6f}, {5.0f, 0.25f, 0.6f},
                                      {1.5f, 0.2f, 0.4f},  {1.5f, 0.2f, 0.4f},
                                      {1.5f, 0.95f, 0.4f}, {1.5f, 0.05f, 0.4f},
                                      {1.5f, 0.05f, 0.4f}, {1.5f, 0.0f, 0.0f},
                                      {1.5f, 0.08f, 0.4f}};
    ASSERT_EQ(MaterialTable.size(), 9u);
    for (size_t i = 0; i < 9; ++i) {
        EXPECT_EQ(MaterialTable[i].name, names[i]);
        for (int c = 0; c < 3; ++c)
            EXPECT_EQ(MaterialTable[i].coefficients[c], coefficients[i][c]) << i << " " << c;
    }
}
