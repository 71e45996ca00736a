#include "core/actors/actor_file.h"

#include <algorithm>
#include <memory>
#include <new>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "base/file_system.h"
#include "core/actors/actor.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_ids.h"

namespace {

ActorLoadProgress g_progress = nullptr;

// Holds the loaded-file version while a file is read and puts the "no file"
// value back on every way out.
class FileVersionScope {
  public:
    FileVersionScope(ActorSystem *system, uint32_t version) : system_(system) {
        system_->SetFileVersion(version);
    }
    ~FileVersionScope() {
        if (GetActorSystem() == system_) {
            system_->SetFileVersion(kNoFileVersion);
        }
    }
    FileVersionScope(const FileVersionScope &) = delete;
    FileVersionScope &operator=(const FileVersionScope &) = delete;

  private:
    ActorSystem *system_;
};

bool ReadHeader(Archive &archive, ActorFileHeader *header) {
    header->version = archive.SerializeU32(0);
    header->count = archive.SerializeU32(0);
    header->firstId = archive.SerializeU32(0);
    header->span = archive.SerializeU32(0);
    // Every record takes at least its class id and actor id.
    return !archive.Failed() && uint64_t{header->count} * 8 <= archive.BytesLeft();
}

void ReportProgress() {
    if (g_progress != nullptr) {
        g_progress(0);
    }
}

// Sends "Load Fileobject" to the table's actors in [first, first + span).
void SendLoadFileObject(uint32_t first, uint32_t span) {
    const uint64_t end = uint64_t{first} + span;
    for (size_t id = NextActorId(first); id < end && id < ActorTable.size();
         id = NextActorId(id + 1)) {
        SendCommand(static_cast<uint32_t>(id), cmd::file::LoadFileobject, ParamBlock());
    }
}

// Makes the actor of one record (no "Create") and checks that its slot holds
// it.
Actor *MakeRecordActor(uint32_t classId, uint32_t id) {
    Actor *actor = CreateActor(static_cast<int32_t>(classId), "", nullptr, nullptr,
                               static_cast<int32_t>(id), false);
    if (actor == nullptr || ActorTableEntry(static_cast<int32_t>(id)) != actor) {
        return nullptr;
    }
    return actor;
}

bool StillHeld(int32_t id, const Actor *actor) { return ActorTableEntry(id) == actor; }

// Where "Build Tree" will hang an actor: below the actor its parent id names
// (itself included), or where it hangs now when it names none (-1).
const Actor *HangsBelow(const Actor *actor) {
    if (actor->parentId == -1) {
        return actor->parent;
    }
    return ActorTableEntry(actor->parentId);
}

// The actors one load made, one per record in record order, destroyed when
// the load fails: none of them is in the tree yet, so nothing else would
// ever free them.
class MadeActors {
  public:
    // The index of the record that made the actor of this id in this load,
    // or -1.
    int64_t RecordOf(uint32_t id) const {
        const auto it = records_.find(id);
        return it != records_.end() ? static_cast<int64_t>(it->second) : -1;
    }
    // Makes the actor of a record under the id, keeps it and reads its
    // record; null when it cannot be made or its record not read.
    Actor *ReadRecord(Archive &archive, uint32_t classId, uint32_t id, uint32_t mode) {
        Actor *actor = MakeRecordActor(classId, id);
        if (actor == nullptr) {
            return nullptr;
        }
        Add(actor);
        return actor->Serialize(archive, mode) != 0 ? actor : nullptr;
    }
    uint32_t IdOf(size_t record) const { return static_cast<uint32_t>(made_[record].id); }
    // Follows the parent links up from each actor made, as "Build Tree" will
    // link them, marking the actors whose walk ended at a root; true, with
    // the index of a record whose actor lies on it, when a walk comes back
    // to an actor on itself. Each actor is walked over once at most; an
    // actor outside the table ends a walk like a root.
    bool FindLoop(size_t *record) const {
        enum : uint8_t { kNotSeen = 0, kOnWalk = 1, kEndsAtRoot = 2 };
        std::vector<uint8_t> seen(ActorTable.size(), kNotSeen);
        std::vector<int32_t> walk;
        for (size_t i = 0; i < made_.size(); ++i) {
            if (!StillHeld(made_[i].id, made_[i].actor)) {
                continue;
            }
            walk.clear();
            for (const Actor *a = made_[i].actor; a != nullptr && IsInActorTable(a);
                 a = HangsBelow(a)) {
                uint8_t &state = seen[static_cast<size_t>(a->actorId)];
                if (state == kOnWalk) {
                    const int64_t own = RecordOf(static_cast<uint32_t>(a->actorId));
                    *record = own >= 0 && made_[static_cast<size_t>(own)].actor == a
                                  ? static_cast<size_t>(own)
                                  : i;
                    return true;
                }
                if (state == kEndsAtRoot) {
                    break;
                }
                state = kOnWalk;
                walk.push_back(a->actorId);
            }
            for (int32_t id : walk) {
                seen[static_cast<size_t>(id)] = kEndsAtRoot;
            }
        }
        return false;
    }
    // Room for the records a header counts, so that the list is not moved
    // as it grows; a count that only the bytes bound (a record may be short
    // before it fails) reserves no more than a large file's worth.
    void Reserve(uint32_t count) {
        made_.reserve(std::min<uint32_t>(count, 16384));
        records_.reserve(std::min<uint32_t>(count, 16384));
    }
    // Destroys every one its slot still holds (a later record of the same id
    // replaced an earlier actor already), latest first.
    void DestroyAll() {
        for (auto it = made_.rbegin(); it != made_.rend(); ++it) {
            if (StillHeld(it->id, it->actor)) {
                DeleteActor(it->actor);
            }
        }
        made_.clear();
        records_.clear();
    }
    // Notes the parent the last actor read names once its record is taken in.
    void NoteParent(int32_t parentId) {
        if (!made_.empty()) {
            made_.back().parentId = parentId;
        }
    }
    // Gives each parent that a run of consecutive records names room for the
    // run in its child list before the tree is built, so that a parent's list
    // is not grown step by step as its children join it. Only the lists'
    // room changes: which actors join, and in what order, is the tree
    // building's own business.
    void ReserveChildLists() const {
        for (size_t i = 0; i < made_.size();) {
            size_t end = i + 1;
            while (end < made_.size() && made_[end].parentId == made_[i].parentId) {
                ++end;
            }
            Actor *parent = made_[i].parentId >= 0 ? ActorTableEntry(made_[i].parentId) : nullptr;
            if (end - i > 1 && parent != nullptr) {
                parent->children.reserve(parent->children.size() + (end - i));
            }
            i = end;
        }
    }

  private:
    struct Made {
        int32_t id;
        int32_t parentId;
        Actor *actor;
    };
    void Add(Actor *actor) {
        records_.emplace(static_cast<uint32_t>(actor->actorId), made_.size());
        made_.push_back({actor->actorId, -1, actor});
    }

    std::vector<Made> made_;
    std::unordered_map<uint32_t, size_t> records_;
};

// Files of the current version hold nothing but their counted records.
bool BytesAfterLastRecord(Archive &archive) {
    return archive.Version() >= kActorFileVersion && archive.BytesLeft() != 0;
}

// Files of the old layout count actors that wrote no record, so they may end
// after fewer records than their header gives: a file that ends exactly
// where a record would begin is complete. The current writer gives every
// actor it counts a record, so a file of its version that ends early is cut
// short and fails like any other short file.
bool EndsAtRecordBoundary(Archive &archive) {
    return archive.Version() < kActorFileVersion && !archive.Failed() &&
           archive.BytesLeft() == 0;
}

// Opens the file and reads its bytes into `bytes`, over which the archive
// is then open: the records are read field by field, and from memory that
// costs no call into the stream for each field. The block is not cleared
// first, since the read fills it whole or is not used. A file that cannot be
// read whole is read as a stream again. False when the file cannot be opened.
bool OpenForReading(Archive &archive, const std::string &fileName,
                    std::unique_ptr<uint8_t[]> *bytes) {
    if (!archive.Open(fileName, "rb")) {
        return false;
    }
    const uint32_t size = archive.Size();
    if (size != 0) {
        bytes->reset(new (std::nothrow) uint8_t[size]);
    }
    if (*bytes != nullptr && archive.Read(bytes->get(), size) == 1) {
        archive.OpenMemory(bytes->get(), size);
        return true;
    }
    return archive.Open(fileName, "rb");
}

} // namespace

std::string DescribeActorFileStop(const ActorFileStop &stop) {
    using Why = ActorFileStop::Why;
    if (stop.why == Why::None) {
        return {};
    }
    if (stop.why == Why::Header) {
        return "the header cannot be read or counts more records than the file holds";
    }
    if (stop.why == Why::Trailing && stop.record == 0) {
        return std::to_string(stop.other) + " bytes follow the header, which counts no records";
    }
    const std::string number =
        "record " + std::to_string(stop.record) + " of " + std::to_string(stop.count);
    const std::string id = stop.idRead ? "id " + std::to_string(stop.id) : std::string();
    const std::string record = id.empty() ? number : number + " (" + id + ")";
    switch (stop.why) {
    case Why::IdTwice:
        return record + " repeats the id of record " + std::to_string(stop.other);
    case Why::Loop:
        return record + " would be its own ancestor through the parent links";
    case Why::Trailing:
        return std::to_string(stop.other) + " bytes follow the last record (" + number +
               (id.empty() ? "" : ", " + id) + ")";
    default:
        return record + " cannot be read";
    }
}

uint32_t MoveActorFileId(uint32_t id, uint32_t version, uint32_t *rules) {
    uint32_t applied = 0;
    if (version < 22 && id >= 1000 && id < 0xFFFFFFFFu - 2000) {
        id += 1000;
        ++applied;
    }
    if (version < 38 && id >= 2000 && id < 0xFFFFFFFFu - 1000) {
        id += 1000;
        ++applied;
    }
    if (rules != nullptr) {
        *rules = applied;
    }
    return id;
}

ActorLoadProgress SetActorLoadProgress(ActorLoadProgress callback) {
    ActorLoadProgress previous = g_progress;
    g_progress = callback;
    return previous;
}

int SaveActors(const std::string &fileName, uint32_t first, uint32_t end, uint32_t mode) {
    ActorSystem *system = GetActorSystem();
    const uint64_t stop = std::min<uint64_t>(end, ActorTable.size());
    uint32_t count = 0;
    uint64_t highest = 0;
    bool any = false;
    for (uint64_t id = first; id < stop; ++id) {
        const Actor *actor = ActorTable[static_cast<size_t>(id)];
        if (actor == nullptr) {
            continue;
        }
        any = true;
        highest = id;
        if (actor->HasFlag(kActorSaved)) {
            ++count;
        }
    }
    const uint32_t span = any ? static_cast<uint32_t>(highest + 1 - first) : 0;

    Archive archive;
    if (!archive.Open(fileName, "wb")) {
        return SetActorSystemError(system, "Error - Saving Actors");
    }
    archive.SetVersion(kActorFileVersion);
    archive.SerializeU32(kActorFileVersion);
    archive.SerializeU32(count);
    archive.SerializeU32(first);
    archive.SerializeU32(span);
    for (uint64_t id = first; id < stop && id < ActorTable.size(); ++id) {
        Actor *actor = ActorTable[static_cast<size_t>(id)];
        if (actor != nullptr && actor->HasFlag(kActorSaved)) {
            actor->Serialize(archive, mode);
        }
    }
    // A failed write (or rename) leaves the old file in place.
    if (archive.Close() != 0) {
        return SetActorSystemError(system, "Error - Saving Actors");
    }
    return 1;
}

int LoadActors(const std::string &fileName, uint32_t mode, ActorFileStop *stop) {
    ActorSystem *system = GetActorSystem();
    if (system == nullptr) {
        return 0;
    }
    system->state |= kActorOperational;
    Archive archive;
    std::unique_ptr<uint8_t[]> bytes;
    if (!OpenForReading(archive, fileName, &bytes)) {
        if (stop != nullptr) {
            *stop = ActorFileStop();
        }
        return SetActorSystemError(system, "Error - Loading Actors");
    }
    return LoadActorsFrom(archive, mode, stop);
}

int LoadActorsFrom(Archive &archive, uint32_t mode, ActorFileStop *stop) {
    ActorFileStop where;
    if (stop == nullptr) {
        stop = &where;
    }
    *stop = ActorFileStop();
    ActorSystem *system = GetActorSystem();
    if (system == nullptr) {
        archive.Close();
        return 0;
    }
    system->state |= kActorOperational;
    if (!archive.IsOpen() || archive.IsWriting()) {
        archive.Close();
        return SetActorSystemError(system, "Error - Loading Actors");
    }

    ActorFileHeader header;
    const bool headerRead = ReadHeader(archive, &header);
    FileVersionScope versionScope(system, header.version);
    archive.SetVersion(header.version);
    stop->count = header.count;
    if (!headerRead) {
        stop->why = ActorFileStop::Why::Header;
        archive.Close();
        return SetActorSystemError(system, "Serialize Error");
    }
    const uint32_t first = MoveActorFileId(header.firstId, header.version);

    MadeActors made;
    made.Reserve(header.count);
    const auto fail = [&](ActorFileStop::Why why) {
        stop->why = why;
        archive.Close();
        made.DestroyAll();
        return SetActorSystemError(system, "Serialize Error");
    };
    for (uint32_t i = 0; i < header.count; ++i) {
        if (EndsAtRecordBoundary(archive)) {
            break;
        }
        stop->record = i + 1;
        stop->idRead = false;
        const uint32_t classId = archive.SerializeU32(0);
        uint32_t rules = 0;
        const uint32_t id = MoveActorFileId(archive.SerializeU32(0), header.version, &rules);
        if (archive.Failed()) {
            return fail(ActorFileStop::Why::Record);
        }
        stop->idRead = true;
        stop->id = id;
        // Ids below 10 belong to the system and its roots.
        if (id < static_cast<uint32_t>(kFirstUserActorId) || id > kMaxActorId) {
            return fail(ActorFileStop::Why::Record);
        }
        if (const int64_t earlier = made.RecordOf(id); earlier >= 0) {
            stop->other = static_cast<uint32_t>(earlier + 1);
            return fail(ActorFileStop::Why::IdTwice);
        }
        Actor *actor = made.ReadRecord(archive, classId, id, mode);
        if (actor == nullptr) {
            return fail(ActorFileStop::Why::Record);
        }
        const auto actorId = static_cast<int32_t>(id);
        actor->HandleCommand(cmd::base::InitLoad, ParamBlock());
        if (StillHeld(actorId, actor)) {
            if (rules != 0 && actor->parentId >= 0 && actor->parentId != kSceneryRootId &&
                actor->parentId != kClipboardRootId &&
                actor->parentId <= static_cast<int32_t>(kMaxActorId)) {
                actor->parentId += static_cast<int32_t>(1000 * rules);
            }
            if (actor->name.empty()) {
                actor->name = "Invalid Name";
            }
            made.NoteParent(actor->parentId);
        }
        ReportProgress();
    }
    if (BytesAfterLastRecord(archive)) {
        stop->other = archive.BytesLeft();
        return fail(ActorFileStop::Why::Trailing);
    }
    if (size_t record = 0; made.FindLoop(&record)) {
        stop->record = static_cast<uint32_t>(record + 1);
        stop->idRead = true;
        stop->id = made.IdOf(record);
        return fail(ActorFileStop::Why::Loop);
    }
    archive.Close();
    system->SetFileVersion(kNoFileVersion);

    SendLoadFileObject(first, header.span);
    made.ReserveChildLists();
    BroadcastCommand(cmd::base::BuildTree, ParamBlock());
    BroadcastCommand(cmd::draw_group::GetAssignDrawgroupID, ParamBlock());
    BroadcastCommand(cmd::draw_group_connector::ConnactorDrawgroups, ParamBlock());
    SendCommand(0, cmd::base::InvalidateOldPosition, ParamBlock());
    return 1;
}

int LoadActorsIntoFile(const std::string &fileName, Actor *fileActor) {
    Archive archive;
    std::unique_ptr<uint8_t[]> bytes;
    if (!OpenForReading(archive, fileName, &bytes)) {
        return 0;
    }
    return SerializeFileActors(archive, fileActor);
}

namespace {

// Highest span a file may claim: the ids from 8000 up to the last one.
constexpr uint32_t kMaxFileSpan = kMaxActorId - kFirstFreeActorId + 1;

int ReadFileActors(Archive &archive, Actor *fileActor) {
    ActorSystem *system = GetActorSystem();
    if (system == nullptr || fileActor == nullptr || archive.IsWriting()) {
        archive.Close();
        return 0;
    }
    ActorFileHeader header;
    const bool headerRead = ReadHeader(archive, &header);
    FileVersionScope versionScope(system, header.version);
    archive.SetVersion(header.version);
    if (!headerRead || header.span > kMaxFileSpan) {
        archive.Close();
        return 0;
    }
    uint32_t base = 0;
    if (header.span != 0) {
        base = FindFreeActorIds(header.span);
        if (base == 0 || uint64_t{base} + header.span - 1 > kMaxActorId) {
            archive.Close();
            return 0;
        }
    }
    const int32_t fileActorId = fileActor->actorId;
    const uint64_t first = header.firstId;
    const uint64_t end = first + header.span;
    MadeActors made;
    made.Reserve(header.count);
    const auto fail = [&]() {
        archive.Close();
        made.DestroyAll();
        return 0;
    };
    for (uint32_t i = 0; i < header.count; ++i) {
        if (EndsAtRecordBoundary(archive)) {
            break;
        }
        const uint32_t classId = archive.SerializeU32(0);
        const uint32_t oldId = archive.SerializeU32(0);
        if (archive.Failed() || oldId < first || oldId >= end) {
            return fail();
        }
        const uint32_t newId = static_cast<uint32_t>(oldId - first + base);
        if (made.RecordOf(newId) >= 0) {
            return fail();
        }
        Actor *actor = made.ReadRecord(archive, classId, newId, kSerializeLoad);
        if (actor == nullptr) {
            return fail();
        }
        // Parents inside the file's range move with it; anything else (a
        // root) becomes the File actor.
        const auto parentWord = static_cast<uint32_t>(actor->parentId);
        if (actor->parentId >= 0 && parentWord >= first && parentWord < end) {
            actor->parentId = static_cast<int32_t>(parentWord - first + base);
        } else {
            actor->parentId = fileActorId;
        }
        actor->HandleCommand(cmd::base::InitLoad, ParamBlock());
        ReportProgress();
    }
    if (size_t record = 0; BytesAfterLastRecord(archive) || made.FindLoop(&record)) {
        return fail();
    }
    archive.Close();
    system->SetFileVersion(kNoFileVersion);
    SendLoadFileObject(base, header.span);
    return 1;
}

int WriteFileActors(Archive &archive, Actor *fileActor) {
    if (fileActor == nullptr || !archive.IsOpen() || !archive.IsWriting()) {
        return 0;
    }
    std::vector<Actor *> listed;
    std::vector<Actor *> *out = &listed;
    for (const ChildRef &ref : SnapshotChildren(fileActor)) {
        if (Actor *child = ResolveChild(fileActor, ref)) {
            child->HandleCommand(cmd::base::NOSpawned, ParamBlock(&out, sizeof(out)));
        }
    }
    // The records keep the parent ids the actors have now.
    for (Actor *actor : listed) {
        if (actor->parent != nullptr) {
            actor->parentId = actor->parent->actorId;
        }
    }
    WriteActorRecords(archive, listed, fileActor);
    return archive.Failed() ? 0 : 1;
}

} // namespace

void WriteActorRecords(Archive &archive, const std::vector<Actor *> &listed, const Actor *owner) {
    std::unordered_map<const Actor *, uint32_t> fileIds;
    for (size_t i = 0; i < listed.size(); ++i) {
        fileIds.emplace(listed[i], static_cast<uint32_t>(3000 + i));
    }
    const auto count = static_cast<uint32_t>(listed.size());
    archive.SetVersion(kActorFileVersion);
    archive.SerializeU32(kActorFileVersion);
    archive.SerializeU32(count);
    archive.SerializeU32(3000);
    archive.SerializeU32(count);
    for (Actor *actor : listed) {
        const int32_t id = actor->actorId;
        const int32_t parentId = actor->parentId;
        Actor *parent = actor->parent;
        const auto mapped = fileIds.find(parent);
        actor->actorId = static_cast<int32_t>(fileIds[actor]);
        actor->parent = nullptr;
        actor->parentId = (parent == owner || mapped == fileIds.end())
                              ? kSceneryRootId
                              : static_cast<int32_t>(mapped->second);
        actor->Serialize(archive, kSerializeSave);
        actor->actorId = id;
        actor->parentId = parentId;
        actor->parent = parent;
    }
}

int SerializeFileActors(Archive &archive, Actor *fileActor) {
    if (archive.IsWriting()) {
        return WriteFileActors(archive, fileActor);
    }
    return ReadFileActors(archive, fileActor);
}
