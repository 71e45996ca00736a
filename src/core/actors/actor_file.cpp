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
#include "core/actors/subsystem_hooks.h"

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

bool StillHeld(int32_t id, const Actor *actor) { return ActorTableEntry(id) == actor; }

// The actors of one load, one per record in record order. They are made and
// read unplaced, in no table slot and no tree, so that a file refused
// part-way leaves the world as it was: no actor of the world is replaced and
// no actor of the file is told anything before the whole file has been read
// and checked. Then Place stores them at their ids in record order, each
// replacing the actor there, as if each had been made when its record was
// read.
class MadeActors {
  public:
    MadeActors() : registrySize_(DrawGroupRegistry.size()) {}
    MadeActors(const MadeActors &) = delete;
    MadeActors &operator=(const MadeActors &) = delete;
    ~MadeActors() {
        for (Made &m : made_) {
            delete m.actor;
        }
    }

    // The index of the record that made the actor of this id in this load,
    // or -1.
    int64_t RecordOf(uint32_t id) const {
        const auto it = records_.find(id);
        return it != records_.end() ? static_cast<int64_t>(it->second) : -1;
    }
    // Makes the actor of a record under the id (as CreateActor makes it,
    // without "Create": no name, no parent), keeps it and reads its record;
    // null when the class is not made or the record not read.
    Actor *ReadRecord(Archive &archive, uint32_t classId, uint32_t id, uint32_t mode) {
        Actor *actor = MakeUnplacedActor(static_cast<int32_t>(classId));
        if (actor == nullptr) {
            return nullptr;
        }
        actor->actorId = static_cast<int32_t>(id);
        actor->name.clear();
        actor->parent = nullptr;
        actor->parentId = -1;
        records_.emplace(id, made_.size());
        made_.push_back({static_cast<int32_t>(id), -1, -1, actor});
        return actor->Serialize(archive, mode) != 0 ? actor : nullptr;
    }
    size_t Count() const { return made_.size(); }
    uint32_t IdOf(size_t record) const { return static_cast<uint32_t>(made_[record].id); }
    // The parent id the record's actor will name once it is placed, for
    // FindLoop.
    void SetLinkedParent(size_t record, int32_t parentId) { made_[record].linkedParent = parentId; }
    // Follows the parent links up from each actor, as "Build Tree" will link
    // them once every actor is placed (those at the records' ids gone with
    // their subtrees), marking the actors whose walk ended at a root; true,
    // with the index of a record whose actor lies on it, when a walk comes
    // back to an actor on itself. Each actor is walked over once at most; an
    // actor outside the table ends a walk like a root.
    bool FindLoop(size_t *record) const {
        enum : uint8_t { kNotSeen = 0, kOnWalk = 1, kEndsAtRoot = 2 };
        size_t slots = ActorTable.size();
        for (const Made &m : made_) {
            slots = std::max(slots, static_cast<size_t>(m.id) + 1);
        }
        std::vector<uint8_t> seen(slots, kNotSeen);
        std::vector<int32_t> walk;
        for (size_t i = 0; i < made_.size(); ++i) {
            walk.clear();
            for (int32_t id = made_[i].id; id >= 0; id = ParentAfterPlacing(id)) {
                uint8_t &state = seen[static_cast<size_t>(id)];
                if (state == kOnWalk) {
                    const int64_t own = RecordOf(static_cast<uint32_t>(id));
                    *record = own >= 0 ? static_cast<size_t>(own) : i;
                    return true;
                }
                if (state == kEndsAtRoot) {
                    break;
                }
                state = kOnWalk;
                walk.push_back(id);
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
    // Destroys the actors of a refused file (none of them placed), latest
    // first, and takes the entries their construction added to the
    // draw-group registry away again.
    void DestroyAll() {
        for (auto it = made_.rbegin(); it != made_.rend(); ++it) {
            delete it->actor;
            it->actor = nullptr;
        }
        made_.clear();
        records_.clear();
        if (DrawGroupRegistry.size() > registrySize_ &&
            std::all_of(DrawGroupRegistry.begin() + static_cast<std::ptrdiff_t>(registrySize_),
                        DrawGroupRegistry.end(), [](const Actor *a) { return a == nullptr; })) {
            DrawGroupRegistry.resize(registrySize_);
        }
    }
    // Stores the record's actor at its id, replacing the actor there.
    Actor *Place(size_t record) {
        Made &m = made_[record];
        Actor *actor = m.actor;
        m.actor = nullptr;
        if (!PlaceActor(actor, m.id)) {
            delete actor;
            return nullptr;
        }
        return actor;
    }
    // Notes the parent a placed actor names once "Init Load" is done.
    void NoteParent(size_t record, int32_t parentId) { made_[record].parentId = parentId; }
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
        int32_t parentId;     // after "Init Load", for ReserveChildLists
        int32_t linkedParent; // before placing, for FindLoop
        Actor *actor;         // null once placed
    };

    // The id of the actor that the actor of this id will hang below once
    // every record's actor is placed, -1 for none. An actor of the world
    // whose slot a record takes, or that hangs below one, is gone by then.
    int32_t ParentAfterPlacing(int32_t id) const {
        const Actor *actor = nullptr;
        int32_t parentId = -1;
        if (const int64_t own = RecordOf(static_cast<uint32_t>(id)); own >= 0) {
            parentId = made_[static_cast<size_t>(own)].linkedParent;
        } else {
            actor = ActorTableEntry(id);
            if (actor == nullptr) {
                return -1;
            }
            parentId = actor->parentId;
        }
        if (parentId == -1) {
            // Hangs where it hangs now; an actor just read hangs nowhere.
            const Actor *parent = actor != nullptr ? actor->parent : nullptr;
            return parent != nullptr && IsInActorTable(parent) && !Replaced(parent)
                       ? parent->actorId
                       : -1;
        }
        if (RecordOf(static_cast<uint32_t>(parentId)) >= 0) {
            return parentId;
        }
        const Actor *parent = ActorTableEntry(parentId);
        return parent != nullptr && !Replaced(parent) ? parentId : -1;
    }
    // Whether an actor of the world goes when the records' actors are placed.
    bool Replaced(const Actor *actor) const {
        for (const Actor *a = actor; a != nullptr; a = a->parent) {
            if (RecordOf(static_cast<uint32_t>(a->actorId)) >= 0 && StillHeld(a->actorId, a)) {
                return true;
            }
        }
        return false;
    }

    std::vector<Made> made_;
    std::unordered_map<uint32_t, size_t> records_;
    size_t registrySize_;
};

// A parent id of an old file whose record's id moved (`rules` moves, see
// MoveActorFileId) moves as far, unless it names a root.
int32_t MovedParentId(int32_t parentId, uint32_t rules) {
    if (rules != 0 && parentId >= 0 && parentId != kSceneryRootId && parentId != kClipboardRootId &&
        parentId <= static_cast<int32_t>(kMaxActorId)) {
        return parentId + static_cast<int32_t>(1000 * rules);
    }
    return parentId;
}

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
    // Per record, how many of the old files' id moves applied to its id.
    std::vector<uint32_t> movesOf;
    movesOf.reserve(std::min<uint32_t>(header.count, 16384));
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
        const Actor *actor = made.ReadRecord(archive, classId, id, mode);
        if (actor == nullptr) {
            return fail(ActorFileStop::Why::Record);
        }
        movesOf.push_back(rules);
        made.SetLinkedParent(i, MovedParentId(actor->parentId, rules));
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

    // The file is whole: its actors take their ids in record order, each
    // told "Init Load" (while the file's version still holds) before the
    // next one arrives.
    for (size_t i = 0; i < made.Count(); ++i) {
        Actor *actor = made.Place(i);
        if (actor == nullptr) {
            continue;
        }
        const auto actorId = static_cast<int32_t>(made.IdOf(i));
        actor->HandleCommand(cmd::base::InitLoad, ParamBlock());
        if (StillHeld(actorId, actor)) {
            actor->parentId = MovedParentId(actor->parentId, movesOf[i]);
            if (actor->name.empty()) {
                actor->name = "Invalid Name";
            }
            made.NoteParent(i, actor->parentId);
        }
    }
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
        made.SetLinkedParent(i, actor->parentId);
        ReportProgress();
    }
    if (size_t record = 0; BytesAfterLastRecord(archive) || made.FindLoop(&record)) {
        return fail();
    }
    archive.Close();
    // The file is whole: its actors take their ids in record order, each
    // told "Init Load" before the next one arrives.
    for (size_t i = 0; i < made.Count(); ++i) {
        if (Actor *actor = made.Place(i)) {
            actor->HandleCommand(cmd::base::InitLoad, ParamBlock());
        }
    }
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
