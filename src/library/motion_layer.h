// Motion layers: one animation layer (0..3) of a set of a skeleton's bones,
// driven as a whole, so that a second motion plays on part of the body over
// the base motion. The set is every bone or one of the built-in bone groups:
//   1 upper body, 2 spine and head, 3 left arm, 4 right arm, 5 spine, head
//   and right arm, 6 tails, 7 torso and arms, 8 spine, head and both arms;
//   0 and 9 are empty; 255 stands for every bone.
// A layer points at bones it does not own: free it before its skeleton.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct Bone;
class MotionItem;
struct Skeleton;

// Strong wrappers of the three words that make a layer; each takes any
// value a file or script holds, and the operations judge it.
struct BoneGroup {
    static constexpr uint32_t kEveryBone = 255;
    explicit constexpr BoneGroup(uint32_t v) : value(v) {}
    uint32_t value;
};
// 0..3 name a bone layer; kNone means none.
struct LayerIndex {
    static constexpr uint32_t kNone = 0xFFFFFFFFu;
    explicit constexpr LayerIndex(uint32_t v) : value(v) {}
    uint32_t value;
};
// 0 compose, 1 blend, 2 compose after; other values leave the layer out.
struct LayerMode {
    explicit constexpr LayerMode(uint32_t v) : value(v) {}
    uint32_t value;
};

struct MotionLayerEntry {
    Bone* bone = nullptr; // not owned
    float factor = 1.0f;  // the layer's weight is multiplied by it
    std::string boneName;
};

struct MotionLayer {
    uint32_t EntryCount() const { return static_cast<uint32_t>(entries.size()); }

    std::vector<MotionLayerEntry> entries; // the found bones, in group order
    uint32_t boneLayer = 0;
    uint32_t mode = 0;
};

// The names of a built-in group (1..9, empty for others), in order.
const std::vector<std::string>& GetBoneGroupNames(uint32_t group);

// A layer over the group's bones found in the skeleton (the first bone of
// each name); names not found take no entry, so a layer may be empty. Null
// for a null skeleton or a group other than 1..9 and 255.
MotionLayer* CreateMotionLayer(Skeleton* skeleton, BoneGroup group, LayerIndex boneLayer,
                               LayerMode mode);
// Switches the layer off on its bones (weight 0; rotation, position and
// mode stay) unless its bone layer is LayerIndex::kNone, then deletes it.
// Null is ignored.
void FreeMotionLayer(MotionLayer* layer);
// Each bone's layer weight becomes weight x factor and its mode the layer's.
void SetMotionLayerWeight(MotionLayer* layer, float weight);
// Stores the mode and copies it into every covered bone's layer.
void SetMotionLayerMode(MotionLayer* layer, uint32_t mode);
// Samples the motion's track of each covered bone at the time into the
// bone's layer rotation and position; bones without a track keep theirs.
// The motion is used as it is (the caller loads it); null does nothing.
void ApplyMotionToLayer(MotionLayer* layer, MotionItem* motion, float time);
