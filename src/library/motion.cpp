#include "library/motion.h"

#include <cstring>
#include <memory>

#include "base/file_system.h"
#include "base/pack_archive.h"
#include "library/key_track.h"
#include "library/library_item.h"
#include "library/name_table.h"
#include "library/record_io.h"
#include "library/resource_library.h"

namespace {

const char kTrackError[] = "Error - Saving Loading motion data.";

bool IsMotExtension(const std::string& extension) {
    static const char kMot[] = ".mot";
    if (extension.size() != 4) {
        return false;
    }
    for (size_t i = 0; i < 4; ++i) {
        char c = extension[i];
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c + ('a' - 'A'));
        }
        if (c != kMot[i]) {
            return false;
        }
    }
    return true;
}

// Reads the header and the tracks from an open archive.
int ReadMotion(ResourceLibrary& library, MotionItem& item, Archive& archive) {
    RecordIo io(archive);
    uint32_t version = 0;
    float first[3] = {};
    float displacement[3] = {};
    uint32_t count = 0;
    io.U32(version);
    io.F32s(first, 3);
    io.F32s(displacement, 3);
    io.U32(count);
    if (!io.Ok()) {
        return library.ReportLibraryError(kTrackError);
    }
    std::memcpy(item.firstVector, first, sizeof first);
    std::memcpy(item.displacement, displacement, sizeof displacement);
    if (uint64_t{count} * KeyTrack::kMinRecordBytes > io.BytesLeft()) {
        return library.ReportLibraryError(kTrackError);
    }
    item.tracks.reserve(item.tracks.size() + count);
    for (uint32_t i = 0; i < count; ++i) {
        auto track = std::make_unique<KeyTrack>();
        if (!track->Load(archive, 1, version)) {
            return library.ReportLibraryError(kTrackError);
        }
        item.tracks.push_back(std::move(track));
    }
    return 1;
}

// Loads an item that is not loaded, through its Load.
void EnsureLoaded(MotionItem& item) {
    if (item.loaded == 0) {
        item.Load();
    }
}

int LoadMotionItem(LibraryItem& item) {
    if (item.loaded != 0) {
        return 1;
    }
    if (LoadMotionFile(GetLibrary(), static_cast<MotionItem*>(&item))) {
        item.loaded = 1;
    }
    return 1;
}

int ReleaseMotionItem(LibraryItem& item) {
    if (item.loaded == 0) {
        return 1;
    }
    static_cast<MotionItem&>(item).tracks.clear();
    item.loaded = 0;
    return 1;
}

} // namespace

void RegisterMotionLoader() {
    SetItemLoader(ItemClass::Motion, {LoadMotionItem, ReleaseMotionItem});
}

int LoadMotionData(ResourceLibrary* library, MotionItem* item, const char* path) {
    if (library == nullptr) {
        return 0;
    }
    if (item == nullptr) {
        return library->ReportLibraryError("Error Can't Load Motion");
    }
    Archive archive;
    if (path == nullptr || !archive.Open(path, "rb")) {
        return library->ReportLibraryError("Error - Saving Motion");
    }
    int result = ReadMotion(*library, *item, archive);
    archive.Close();
    return result;
}

std::string BlendLayerBaseName(const std::string& name) {
    if (name.size() < 9 || name[6] != 'B' || name[7] != 'L' || name[8] != '_') {
        return std::string();
    }
    std::string base = name;
    base[7] = 'K';
    size_t cut = base.find('_', 9);
    if (cut != std::string::npos) {
        base.resize(cut);
    }
    return base;
}

int LoadMotionFile(ResourceLibrary* library, MotionItem* item) {
    if (library == nullptr) {
        return 0;
    }
    if (item == nullptr) {
        return library->ReportLibraryError("Error: Load Motion From File");
    }
    std::string path = library->GetDataFilePath(*item);
    if (IsMotExtension(GetFileExtension(path))) {
        item->tracks.clear();
        if (!LoadMotionData(library, item, path.c_str())) {
            return 0;
        }
    } else {
        // The record's tracks stay absolute; each Load starts from them, so
        // a blend layer is made relative once per Load.
        item->ResetWorkingTracks();
    }
    std::string baseName = BlendLayerBaseName(item->name);
    if (!baseName.empty()) {
        auto* base =
            static_cast<MotionItem*>(library->FindItemByName(baseName.c_str(), ItemClass::Motion));
        if (base != nullptr && base != item) {
            EnsureLoaded(*base);
            MakeMotionRelative(item, base);
        }
    }
    return 1;
}

void MakeMotionRelative(MotionItem* motion, const MotionItem* base) {
    if (motion == nullptr || base == nullptr || motion->tracks.empty()) {
        return;
    }
    const NameTable& names = GetNameTable();
    size_t cursor = 0;
    for (const auto& b : base->tracks) {
        KeyTrack& t = *motion->tracks[cursor];
        if (std::strcmp(names.GetName(t.nameId), names.GetName(b->nameId)) != 0) {
            continue;
        }
        // The base's keys are read before anything changes: the base may be
        // the motion itself.
        if (!b->positionKeys.empty()) {
            const PositionKey origin = b->positionKeys.front();
            for (PositionKey& k : t.positionKeys) {
                k.x -= origin.x;
                k.y -= origin.y;
                k.z -= origin.z;
            }
        }
        if (!b->rotationKeys.empty()) {
            const RotationKey& r = b->rotationKeys.front();
            Matrix baseRotation;
            MatrixFromQuaternion(&baseRotation, Quaternion{r.x, r.y, r.z, r.w});
            Matrix inverse;
            MatrixInverse(&inverse, baseRotation);
            for (RotationKey& k : t.rotationKeys) {
                Matrix m;
                MatrixFromQuaternion(&m, Quaternion{k.x, k.y, k.z, k.w});
                MatrixMultiply(&m, m, inverse);
                Quaternion q;
                QuaternionFromMatrix(&q, m);
                k.x = q.x;
                k.y = q.y;
                k.z = q.z;
                k.w = q.w;
            }
        }
        if (++cursor == motion->tracks.size()) {
            return;
        }
    }
}

uint32_t GetMotionTrackCount(MotionItem* item) {
    if (item == nullptr) {
        return 0;
    }
    EnsureLoaded(*item);
    return static_cast<uint32_t>(item->tracks.size());
}

void GetMotionTracks(KeyTrack** out, MotionItem* item) {
    if (out == nullptr || item == nullptr) {
        return;
    }
    EnsureLoaded(*item);
    for (size_t i = 0; i < item->tracks.size(); ++i) {
        out[i] = item->tracks[i].get();
    }
}

KeyTrack* FindMotionTrack(MotionItem* item, const char* name) {
    if (item == nullptr || name == nullptr) {
        return nullptr;
    }
    EnsureLoaded(*item);
    for (const auto& track : item->tracks) {
        if (std::strcmp(GetTrackName(track.get()), name) == 0) {
            return track.get();
        }
    }
    return nullptr;
}

const KeyTrack *FindTrackById(const MotionItem &motion, uint32_t nameId) {
    for (const auto &track : motion.tracks) {
        if (track != nullptr && track->nameId == nameId) {
            return track.get();
        }
    }
    return nullptr;
}

float GetMotionLength(MotionItem* item) {
    if (item == nullptr) {
        return 0.0f;
    }
    EnsureLoaded(*item);
    return item->tracks.empty() ? 0.0f : item->tracks.front()->length;
}

void GetMotionVelocity(const MotionItem* item, Vector3* out) {
    if (item == nullptr || out == nullptr) {
        return;
    }
    float length = item->tracks.empty() ? 0.0f : item->tracks.front()->length;
    if (length == 0.0f) {
        *out = Vector3{0.0f, 0.0f, 0.0f};
        return;
    }
    *out = Vector3{item->displacement[0] / length, item->displacement[1] / length,
                   item->displacement[2] / length};
}
