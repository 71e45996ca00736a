#include "library/motion_layer.h"

#include "library/key_track.h"
#include "library/library_item.h"
#include "library/motion.h"
#include "library/skeleton.h"

namespace {

constexpr uint32_t kGroupCount = 10;

using Names = std::vector<std::string>;

const Names kSpineAndHead = {"Spine1", "Spine2", "Spine3", "Neck", "Head", "HeadNub"};

Names ArmNames(const char* side) {
    const std::string s = side;
    Names names = {s + "Clavicle", s + "UpperArm", s + "Forearm", s + "Hand"};
    for (int finger = 0; finger < 5; ++finger) {
        const std::string f = s + "Finger" + std::to_string(finger);
        names.insert(names.end(), {f, f + "1", f + "2"});
    }
    return names;
}

Names Join(std::initializer_list<const Names*> parts) {
    Names out;
    for (const Names* part : parts) {
        out.insert(out.end(), part->begin(), part->end());
    }
    return out;
}

std::vector<Names> BuildGroups() {
    const Names left = ArmNames("L_");
    const Names right = ArmNames("R_");
    std::vector<Names> groups(kGroupCount);
    groups[1] = {"Spine1",     "Spine2",     "Spine3",    "Neck",      "Head",
                 "HeadNub",    "L_Clavicle", "L_UpperArm", "L_Forearm", "L_Hand",
                 "R_Clavicle", "R_UpperArm", "R_Forearm", "R_Hand"};
    groups[2] = kSpineAndHead;
    groups[3] = left;
    groups[4] = right;
    groups[5] = Join({&kSpineAndHead, &right});
    for (const char* side : {"", "R_", "L_"}) {
        const std::string tail = std::string(side) + "Tail";
        groups[6].push_back(tail);
        for (int i = 1; i <= 4; ++i) {
            groups[6].push_back(tail + std::to_string(i));
        }
    }
    groups[7] = {"Spine1",    "Spine2",     "Spine3",     "Neck",      "L_Clavicle", "L_UpperArm",
                 "L_Forearm", "L_Hand",     "R_Clavicle", "R_UpperArm", "R_Forearm", "R_Hand"};
    groups[8] = Join({&kSpineAndHead, &right, &left});
    return groups;
}

// The process-wide group table, made on first use. Every factor is 1.0.
const std::vector<Names>& BoneGroupTable() {
    static const std::vector<Names> table = BuildGroups();
    return table;
}

void AddEntry(MotionLayer& layer, Skeleton* skeleton, const std::string& name) {
    Bone* bone = FindBoneByName(skeleton, name.c_str());
    if (bone != nullptr) {
        layer.entries.push_back({bone, 1.0f, name});
    }
}

} // namespace

const std::vector<std::string>& GetBoneGroupNames(uint32_t group) {
    static const Names kEmpty;
    const auto& table = BoneGroupTable();
    return group < table.size() ? table[group] : kEmpty;
}

MotionLayer* CreateMotionLayer(Skeleton* skeleton, BoneGroup group, LayerIndex boneLayer,
                               LayerMode mode) {
    const uint32_t g = group.value;
    if (skeleton == nullptr || g == 0 || (g >= kGroupCount && g != BoneGroup::kEveryBone)) {
        return nullptr;
    }
    auto* layer = new MotionLayer;
    layer->boneLayer = boneLayer.value;
    layer->mode = mode.value;
    if (g == BoneGroup::kEveryBone) {
        layer->entries.reserve(skeleton->bones.size());
        for (const auto& bone : skeleton->bones) {
            AddEntry(*layer, skeleton, GetBoneName(bone.get()));
        }
    } else {
        const Names& names = GetBoneGroupNames(g);
        layer->entries.reserve(names.size());
        for (const std::string& name : names) {
            AddEntry(*layer, skeleton, name);
        }
    }
    return layer;
}

void FreeMotionLayer(MotionLayer* layer) {
    if (layer == nullptr) {
        return;
    }
    if (layer->boneLayer != LayerIndex::kNone) {
        for (const MotionLayerEntry& e : layer->entries) {
            SetBoneLayerWeight(e.bone, 0.0f, layer->boneLayer);
        }
    }
    delete layer;
}

void SetMotionLayerWeight(MotionLayer* layer, float weight) {
    if (layer == nullptr) {
        return;
    }
    for (const MotionLayerEntry& e : layer->entries) {
        const double product = static_cast<double>(weight) * static_cast<double>(e.factor);
        SetBoneLayerWeight(e.bone, static_cast<float>(product), layer->boneLayer);
        SetBoneLayerMode(e.bone, layer->mode, layer->boneLayer);
    }
}

void SetMotionLayerMode(MotionLayer* layer, uint32_t mode) {
    if (layer == nullptr) {
        return;
    }
    layer->mode = mode;
    for (const MotionLayerEntry& e : layer->entries) {
        SetBoneLayerMode(e.bone, mode, layer->boneLayer);
    }
}

void ApplyMotionToLayer(MotionLayer* layer, MotionItem* motion, float time) {
    if (layer == nullptr || motion == nullptr) {
        return;
    }
    for (const MotionLayerEntry& e : layer->entries) {
        if (e.bone == nullptr) {
            continue;
        }
        const KeyTrack* track = FindTrackById(*motion, e.bone->nameId);
        if (track == nullptr) {
            continue;
        }
        const Quaternion rotation = track->SampleRotation(time);
        const Vector3 position = track->SamplePosition(time);
        SetBoneLayerRotation(e.bone, &rotation, layer->boneLayer);
        SetBoneLayerPosition(e.bone, &position, layer->boneLayer);
    }
}
