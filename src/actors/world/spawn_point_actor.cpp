#include "actors/world/spawn_point_actor.h"

#include <algorithm>

#include "base/file_system.h"
#include "base/random.h"
#include "core/actors/actor_file_dump.h"
#include "core/actors/actor_path.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/class_descriptor.h"
#include "core/actors/command_ids.h"
#include "core/actors/create_source.h"
#include "core/actors/script_runner.h"

namespace {

constexpr int32_t kSceneryId = 2;
constexpr uint32_t kMaxPercent = 100;
constexpr float kCharacterLift = 40.0f;
constexpr float kHalfTurn = 3.1415927f;
constexpr size_t kPointerSlot = sizeof(void *);

// clang-format off
const BasicSheetRow kSheet[] = {
    {"Spawn Point Properties", PropertyKind::PageTitle, 0, 0},
    {"Type:|Placeholder|0|Player Start Position|1|Spawn|2|Warp|3|", PropertyKind::Enumeration, cmd::spawn_point::SetSpawnpointType, cmd::spawn_point::GetSpawnpointType},
    {"Use Spawn Box:", PropertyKind::CheckBox, cmd::spawn_point::SetUseSpawnBox, cmd::spawn_point::GetUseSpawnBox},
    {"Set Box Width, Height and Depth.", PropertyKind::Caption, 0, 0},
    {"Value:", PropertyKind::Vector, cmd::spawn_point::SetSpawnBox, cmd::spawn_point::GetSpawnBox},
    {"Spawn On Start Game:", PropertyKind::CheckBox, cmd::spawn_point::SetSpawnOnStartGame, cmd::spawn_point::GetSpawnOnStartGame},
    {"Min Spawn Time Interval:", PropertyKind::Time, cmd::spawn_point::SetMinSpawnTime, cmd::spawn_point::GetMinSpawnTime},
    {"Max total objects to spawn.", PropertyKind::Caption, 0, 0},
    {"Count:", PropertyKind::WholeNumber, cmd::spawn_point::SetSpawnMaxCount, cmd::spawn_point::GetSpawnMaxCount},
    {"Set Non Spawn Procent", PropertyKind::Caption, 0, 0},
    {"Procent:", PropertyKind::WholeNumber, cmd::spawn_point::SetNonSpawnPercent, cmd::spawn_point::GetNonSpawnPercent},
    {"Spawn Objects Properties", PropertyKind::PageTitle, 0, 0},
    {"Add Game Objects To Spawn.", PropertyKind::Caption, 0, 0},
    {"Add:", PropertyKind::ActorReference, cmd::spawn_point::AddSpawnRecord, cmd::spawn_point::GetSpawnRecordPath},
    {"Select:", PropertyKind::ListSelector, cmd::spawn_point::SelectSpawnRecord, cmd::spawn_point::GetSpawnRecordPaths},
    {"Delete Selected:|Delete|", PropertyKind::Button, cmd::spawn_point::DeleteSpawnRecord, 0},
    {"Set Random Weight, Max Count.", PropertyKind::Caption, 0, 0},
    {"Weight:", PropertyKind::WholeNumber, cmd::spawn_point::SetSpawnRecordWeight, cmd::spawn_point::GetSpawnRecordWeight},
    {"Count:", PropertyKind::WholeNumber, cmd::spawn_point::SetSpawnRecordMaxCount, cmd::spawn_point::GetSpawnRecordMaxCount},
    {"Type:|Spawn|0|Only Set Position|1|", PropertyKind::Enumeration,
     cmd::spawn_point::SetSpawnRecordType,
     cmd::spawn_point::GetSpawnRecordType},
    {"Use Of Extern Spawn Point Objects", PropertyKind::PageTitle, 0, 0},
    {"Use Extern Spawn Objects:", PropertyKind::CheckBox, cmd::spawn_point::SetUseExternSpawnObject, cmd::spawn_point::GetUseExternSpawnObject},
    {"Select Extern Spawn Point", PropertyKind::Caption, 0, 0},
    {"Pick:", PropertyKind::ActorReference, cmd::spawn_point::SetExternSpawnActor, cmd::spawn_point::GetExternSpawnActor},
};
// clang-format on

// "ActorPointerExt" blocks: a pointer slot, then the path text.
void WritePathBlock(ParamBlock block, const std::string &path) {
    block.WritePointer(0, nullptr);
    block.WriteString(kPointerSlot, path);
}

// Sends a command by id, so that spies and deferred deletion see it.
void SendById(Actor *actor, uint32_t commandId, void *data = nullptr, size_t size = 0) {
    SendCommand(static_cast<uint32_t>(actor->actorId), commandId, ParamBlock(data, size));
}

void SendRecursiveById(Actor *actor, uint32_t commandId, void *data = nullptr, size_t size = 0) {
    ParamBlock inner(data, size);
    RecursiveCommandParams params{commandId, &inner};
    SendById(actor, kRecursiveCommandId, &params, sizeof(params));
}

void SendTextById(Actor *actor, uint32_t commandId, const char *text) {
    std::string copy(text);
    SendById(actor, commandId, copy.data(), copy.size() + 1);
}

void SendTwoFloatsById(Actor *actor, uint32_t commandId, float a, float b) {
    float values[2] = {a, b};
    SendById(actor, commandId, values, sizeof(values));
}

bool StillThere(const Actor *actor, int32_t id) {
    return GetActorById(static_cast<uint32_t>(id)) == actor;
}

// (u x box / 2) per axis, drawn in the order x, y, z.
Vector3 BoxOffset(const Vector3 &box) {
    const float x = RandomSigned() * box.x * 0.5f;
    const float y = RandomSigned() * box.y * 0.5f;
    const float z = RandomSigned() * box.z * 0.5f;
    return {x, y, z};
}

} // namespace

void SpawnPointActor::RegisterClass() {
    RegisterBasicClassSheet(kSpawnPointClassId, kSheet);
}

bool SpawnPointActor::IsReady() {
    return GetCurrentTime() >= lastSpawnTime + minSpawnInterval && spawnCounter < spawnMaxCount;
}

SpawnRecord *SpawnPointActor::Selected() {
    if (selectedRecord < 0 || static_cast<size_t>(selectedRecord) >= records.size()) {
        return nullptr;
    }
    return &records[static_cast<size_t>(selectedRecord)];
}

Actor *SpawnPointActor::ChooseSpawnObject() {
    if (!IsReady() || records.empty()) {
        return nullptr;
    }
    SpawnRecord *drawn = nullptr;
    if (records.size() == 1 && nonSpawnPercent == 0) {
        if (records[0].count >= records[0].maxCount) {
            return nullptr;
        }
        drawn = &records[0];
    } else {
        // Each open record holds `weight` tickets, in record order. The draw
        // walks the running total instead of listing the tickets: a weight
        // read from a file may be anything up to 0xFFFFFFFF.
        const auto open = [](const SpawnRecord &record) {
            return record.count < record.maxCount && record.weight != 0;
        };
        uint64_t total = 0;
        for (const SpawnRecord &record : records) {
            if (open(record)) {
                total += record.weight;
            }
        }
        if (total == 0) {
            return nullptr;
        }
        const uint64_t ticket = static_cast<uint64_t>(static_cast<size_t>(Rand())) % total;
        if (nonSpawnPercent != 0 && static_cast<uint32_t>(Rand()) % 100 < nonSpawnPercent) {
            return nullptr;
        }
        uint64_t running = 0;
        for (SpawnRecord &record : records) {
            if (open(record)) {
                running += record.weight;
                if (ticket < running) {
                    drawn = &record;
                    break;
                }
            }
        }
    }
    // A template that is not there still uses up its draw.
    ++drawn->count;
    Actor *templateActor = FindActorByPath(drawn->objectPath, nullptr);
    if (templateActor == nullptr) {
        return nullptr;
    }
    ++spawnCounter;
    return templateActor;
}

void SpawnPointActor::Spawn() {
    // Handlers of the copy may delete it or this point: the objects stay
    // until the outermost delivery returns.
    ActorDeliveryScope scope;
    const int32_t ownId = actorId;
    if (!IsReady()) {
        return;
    }
    Actor *templateActor = nullptr;
    if (useExternSpawn == 0) {
        templateActor = ChooseSpawnObject();
    } else {
        auto *extern_ = dynamic_cast<SpawnPointActor *>(FindActorByPath(externSpawnPath, nullptr));
        if (extern_ == nullptr) {
            return;
        }
        templateActor = extern_->ChooseSpawnObject();
        if (nonSpawnPercent > 0 && static_cast<uint32_t>(Rand()) % 100 < nonSpawnPercent) {
            return;
        }
    }
    if (templateActor == nullptr) {
        return;
    }

    Actor *source = this;
    if (!children.empty() && templateActor->name != name) {
        auto named = std::find_if(children.begin(), children.end(), [&](const Actor *child) {
            return child != nullptr && child->name == templateActor->name;
        });
        if (named != children.end()) {
            source = *named;
        } else {
            const size_t r = static_cast<size_t>(Rand()) % (children.size() + 1);
            if (r < children.size() && children[r] != nullptr) {
                source = children[r];
            }
        }
    }

    Actor *copy = nullptr;
    if (templateActor->classId == kCharacterClassId) {
        // CopyActorTree refuses a template that holds the new parent.
        copy = CopyActorTree(templateActor, GetActorById(kSceneryId));
        if (copy == nullptr) {
            return;
        }
        SendRecursiveById(copy, cmd::base::LoadResources);
        Vector3 p = {0.0f, 0.0f, 0.0f};
        source->HandleCommand(cmd::base::GetWSPosition, ParamBlock(&p, sizeof(p)));
        p.y += kCharacterLift;
        const Matrix &world = source->GetWorldMatrix();
        if (useSpawnBox != 0) {
            const Vector3 offset = BoxOffset(spawnBox);
            Matrix turn = world;
            turn.m[3][0] = turn.m[3][1] = turn.m[3][2] = 0.0f;
            Vector3 turned;
            Vec3TransformCoord(&turned, offset, turn);
            p.x += turned.x;
            p.y += turned.y;
            p.z += turned.z;
        }
        const Vector3 forward = {world.m[2][0], world.m[2][1], world.m[2][2]};
        float heading = Vec3YawFromForward(forward) + kHalfTurn;
        SendById(copy, cmd::base::SetPosition, &p, sizeof(p));
        SendById(copy, cmd::character::SetRotY_976, &heading, sizeof(heading));
    } else {
        copy = CopyActorTree(templateActor, source);
        if (copy == nullptr) {
            return;
        }
        SendRecursiveById(copy, cmd::base::LoadResources);
        if (useSpawnBox != 0) {
            Vector3 offset = BoxOffset(spawnBox);
            SendById(copy, cmd::base::PositionAdd, &offset, sizeof(offset));
        }
        copy->InvalidateTransform();
        copy->UpdateWorldMatrix();
    }
    SendById(copy, cmd::base::InvalidateOldPosition);

    if (StillThere(this, ownId)) {
        ScriptRunScope running(this);
        for (size_t i = 0; i < scripts.size(); ++i) {
            ScriptRecord *record = scripts[i].get();
            if (record != nullptr && !record->dead &&
                record->eventId == cmd::spawn_point::OnSpawnActor) {
                RunHeldScript(this, record, copy);
            }
        }
    }
    SendById(copy, cmd::base::OnSpawned);
    uint32_t pointId = static_cast<uint32_t>(ownId);
    SendRecursiveById(copy, cmd::spawn_point::SpawnNotify, &pointId, sizeof(pointId));
    SendRecursiveById(copy, cmd::base::LoadResources);

    lastSpawnTime = GetCurrentTime();
    if (useExternSpawn != 0) {
        ++spawnCounter;
    }
}

void SpawnPointActor::SetType(uint32_t type) {
    spawnType = type;
    if (type == kSpawnTypeWarp) {
        auto object = std::make_unique<ColObj>(this);
        object->name = "Player Col";
        object->flags = 0x07;
        object->type = 2;
        object->groups = 1;
        object->receiveGroups = 1;
        object->excludeGroups = 0;
        object->material = 0;
        object->fill = 7;
        object->boxMin = {-100.0f, -100.0f, -100.0f};
        object->boxMax = {100.0f, 100.0f, 100.0f};
        object->reference = -1;
        object->hitEffect = 0;
        object->factor = 1.0f;
        AddColObj(std::move(object));
        return;
    }
    while (!colObjs.empty()) {
        if (!RemoveColObj(colObjs.size() - 1)) {
            break;
        }
    }
}

// The player's character touched the warp box: back onto the point.
void SpawnPointActor::Warp(ParamBlock block) {
    if (spawnType != kSpawnTypeWarp) {
        return;
    }
    const auto *other = static_cast<const ColObj *>(block.ReadPointer(0));
    if (other == nullptr || other->owner == nullptr) {
        return;
    }
    Actor *owner = other->owner;
    if (owner->classId != kCharacterClassId || !owner->HasFlag(kActorMaster) ||
        (other->flags & kColObjDynamic) == 0) {
        return;
    }
    ActorDeliveryScope scope;
    Vector3 zero = {0.0f, 0.0f, 0.0f};
    SendById(owner, cmd::base::SetDeltaPosition, &zero, sizeof(zero));
    Vector3 p = {0.0f, 0.0f, 0.0f};
    HandleCommand(cmd::base::GetWSPosition, ParamBlock(&p, sizeof(p)));
    SendById(owner, cmd::base::InvalidateOldPosition);
    SendById(owner, cmd::base::SetPosition, &p, sizeof(p));
    SendTextById(owner, cmd::character::SetMovement_845, "Gethit0");
    SendTextById(owner, cmd::character::SetNextMovement, "Neutral");
    SendTwoFloatsById(owner, cmd::character::ChangeCPGammaRAdd, 300.0f, 1.0f);
    SendTwoFloatsById(owner, cmd::character::ChangeCPHealth, -10.0f, 0.0f);
}

int SpawnPointActor::HandleCommand(uint32_t commandId, ParamBlock block) {
    switch (commandId) {
    case cmd::spawn_point::SetSpawnpointType:
        SetType(block.ReadU32(0));
        break;
    case cmd::spawn_point::GetSpawnpointType:
        block.WriteU32(0, spawnType);
        break;
    case cmd::spawn_point::SetUseSpawnBox:
        useSpawnBox = block.ReadU32(0) != 0 ? 1 : 0;
        break;
    case cmd::spawn_point::GetUseSpawnBox:
        block.WriteU32(0, useSpawnBox);
        break;
    case cmd::spawn_point::SetMinSpawnTime:
        minSpawnInterval = block.ReadF32(0);
        break;
    case cmd::spawn_point::GetMinSpawnTime:
        block.WriteF32(0, minSpawnInterval);
        break;
    case cmd::spawn_point::SetSpawnBox:
        spawnBox = block.Read<Vector3>(0);
        break;
    case cmd::spawn_point::GetSpawnBox:
        block.Write(0, spawnBox);
        break;
    case cmd::spawn_point::SetSpawnOnStartGame:
        spawnOnStartGame = block.ReadU32(0) != 0 ? 1 : 0;
        break;
    case cmd::spawn_point::GetSpawnOnStartGame:
        block.WriteU32(0, spawnOnStartGame);
        break;
    case cmd::spawn_point::SelectSpawnRecord: {
        const std::string_view path = block.ReadString(0);
        for (size_t i = 0; i < records.size(); ++i) {
            if (records[i].objectPath == path) {
                selectedRecord = static_cast<int32_t>(i);
                break;
            }
        }
        break;
    }
    case cmd::spawn_point::GetSpawnRecordPaths:
        if (auto *out = static_cast<std::vector<std::string> *>(block.ReadPointer(0))) {
            out->clear();
            for (const SpawnRecord &record : records) {
                out->push_back(record.objectPath);
            }
        }
        break;
    case cmd::spawn_point::AddSpawnRecord: {
        SpawnRecord record;
        record.objectPath = std::string(block.ReadString(kPointerSlot));
        records.push_back(std::move(record));
        selectedRecord = static_cast<int32_t>(records.size() - 1);
        break;
    }
    case cmd::spawn_point::GetSpawnRecordPath:
        if (const SpawnRecord *record = Selected()) {
            WritePathBlock(block, record->objectPath);
        }
        break;
    case cmd::spawn_point::SetSpawnRecordWeight:
        if (SpawnRecord *record = Selected()) {
            const uint32_t value = block.ReadU32(0);
            record->weight = value == 0 ? 1 : std::min(value, kMaxPercent);
        }
        break;
    case cmd::spawn_point::GetSpawnRecordWeight:
        if (const SpawnRecord *record = Selected()) {
            block.WriteU32(0, record->weight);
        }
        break;
    case cmd::spawn_point::SetSpawnRecordMaxCount:
        if (SpawnRecord *record = Selected()) {
            record->maxCount = block.ReadU32(0);
        }
        break;
    case cmd::spawn_point::GetSpawnRecordMaxCount:
        if (const SpawnRecord *record = Selected()) {
            block.WriteU32(0, record->maxCount);
        }
        break;
    case cmd::spawn_point::SetSpawnRecordType:
        if (SpawnRecord *record = Selected()) {
            record->recordType = block.ReadU32(0);
        }
        break;
    case cmd::spawn_point::GetSpawnRecordType:
        if (const SpawnRecord *record = Selected()) {
            block.WriteU32(0, record->recordType);
        }
        break;
    case cmd::spawn_point::SetNonSpawnPercent:
        nonSpawnPercent = std::min(block.ReadU32(0), kMaxPercent);
        break;
    case cmd::spawn_point::GetNonSpawnPercent:
        block.WriteU32(0, nonSpawnPercent);
        break;
    case cmd::spawn_point::SetSpawnCounter:
        spawnCounter = block.ReadU32(0);
        break;
    case cmd::spawn_point::GetSpawnCounter:
        block.WriteU32(0, spawnCounter);
        break;
    case cmd::spawn_point::SetSpawnMaxCount:
        spawnMaxCount = block.ReadU32(0);
        break;
    case cmd::spawn_point::GetSpawnMaxCount:
        block.WriteU32(0, spawnMaxCount);
        break;
    case cmd::spawn_point::Spawn:
    case cmd::base::ActionStart:
        Spawn();
        break;
    case cmd::spawn_point::DeleteSpawnRecord:
        if (Selected() != nullptr) {
            records.erase(records.begin() + selectedRecord);
        }
        break;
    case cmd::spawn_point::SetExternSpawnActor:
        externSpawnPath = std::string(block.ReadString(kPointerSlot));
        break;
    case cmd::spawn_point::GetExternSpawnActor:
        WritePathBlock(block, externSpawnPath);
        break;
    case cmd::spawn_point::SetUseExternSpawnObject:
        useExternSpawn = block.ReadU32(0) != 0 ? 1 : 0;
        if (useExternSpawn == 0) {
            externSpawnPath.clear();
        }
        break;
    case cmd::spawn_point::GetUseExternSpawnObject:
        block.WriteU32(0, useExternSpawn);
        break;
    case cmd::base::Precalculate: {
        const float now = GetCurrentTime();
        lastSpawnTime = now - minSpawnInterval;
        break;
    }
    case cmd::base::StartGame:
        if (spawnType == kSpawnTypeSpawn && spawnOnStartGame != 0) {
            HandleCommand(cmd::spawn_point::Spawn, ParamBlock());
        }
        break;
    case cmd::base::Create:
        // The base handler copies the Actor part.
        if (auto *source = CreateSource(*this, block)) {
            spawnType = source->spawnType;
            useSpawnBox = source->useSpawnBox;
            spawnBox = source->spawnBox;
            spawnOnStartGame = source->spawnOnStartGame;
            minSpawnInterval = source->minSpawnInterval;
            lastSpawnTime = source->lastSpawnTime;
            spawnCounter = source->spawnCounter;
            spawnMaxCount = source->spawnMaxCount;
            records = source->records;
            selectedRecord = source->selectedRecord;
            nonSpawnPercent = source->nonSpawnPercent;
            reserved = source->reserved;
            externSpawnPath = source->externSpawnPath;
            useExternSpawn = source->useExternSpawn;
        }
        break;
    case cmd::base::CollisionEvent:
        Warp(block);
        break;
    default:
        break;
    }
    return Actor::HandleCommand(commandId, block);
}

int SpawnPointActor::Serialize(Archive &archive, uint32_t mode) {
    if (Actor::Serialize(archive, mode) == 0) {
        return 0;
    }
    const uint32_t version = archive.Version();
    const bool reading = !archive.IsWriting();
    if (version >= 1) {
        archive.SerializeWord(&spawnType);
        archive.SerializeWord(&useSpawnBox);
        archive.SerializeWords(&spawnBox, 3);
    }
    if (version >= 8) {
        const uint32_t count = archive.SerializeU32(static_cast<uint32_t>(records.size()));
        if (reading) {
            // The smallest record of this version: a count the bytes left
            // cannot hold is a broken file.
            uint64_t recordSize = 12;
            recordSize += version >= 23 ? 4 : 0;
            recordSize += version >= 24 ? 4 : 0;
            recordSize += version >= 33 ? 4 : 0;
            recordSize += version >= 59 ? 4 : 0;
            if (archive.Failed() || uint64_t{count} * recordSize > archive.BytesLeft()) {
                archive.SetFailed();
                return 0;
            }
            records.assign(count, SpawnRecord());
        }
        for (SpawnRecord &record : records) {
            archive.SerializeString(record.name);
            archive.SerializeWord(&record.reserved);
            archive.SerializeWord(&record.weight);
            if (version >= 23) {
                archive.SerializeWord(&record.maxCount);
            }
            if (version >= 24) {
                archive.SerializeWord(&record.recordType);
            }
            if (version >= 33) {
                archive.SerializeWord(&record.count);
            }
            if (version >= 59) {
                archive.SerializeString(record.objectPath);
            }
        }
        archive.SerializeWord(&nonSpawnPercent);
        uint32_t spare[2] = {0, 0};
        archive.SerializeWords(spare, 2);
    } else if (reading) {
        records.clear();
    }
    if (reading) {
        spawnOnStartGame = 1;
    }
    if (version >= 19) {
        archive.SerializeWord(&spawnOnStartGame);
    }
    if (version >= 20) {
        archive.SerializeWords(&minSpawnInterval, 1);
    }
    if (version >= 23) {
        archive.SerializeWord(&reserved);
    }
    if (version >= 34) {
        archive.SerializeWord(&useExternSpawn);
    }
    if (version >= 59) {
        if (reading) {
            externSpawnPath.clear();
        }
        archive.SerializeString(externSpawnPath);
    }
    if (version >= 33) {
        archive.SerializeWord(&spawnMaxCount);
    }
    if (version >= 32) {
        archive.SerializeWords(&lastSpawnTime, 1);
    }
    if (version >= 33) {
        archive.SerializeWord(&spawnCounter);
    }
    if (reading && archive.Failed()) {
        return 0;
    }
    return 1;
}

void SpawnPointActor::DumpClassFields(std::vector<std::string> &lines) const {
    const float box[3] = {spawnBox.x, spawnBox.y, spawnBox.z};
    lines.push_back("spawnpoint type " + std::to_string(spawnType) + " usebox " +
                    std::to_string(useSpawnBox) + " box " + DumpNumbers(box, 3) + " records " +
                    std::to_string(records.size()) + " nonspawn " +
                    std::to_string(nonSpawnPercent) + " onstart " +
                    std::to_string(spawnOnStartGame) + " interval " + DumpNumber(minSpawnInterval) +
                    " useextern " + std::to_string(useExternSpawn) + " extern " +
                    DumpText(externSpawnPath) + " max " + std::to_string(spawnMaxCount) + " last " +
                    DumpNumber(lastSpawnTime) + " counter " + std::to_string(spawnCounter));
    for (size_t i = 0; i < records.size(); ++i) {
        const SpawnRecord &r = records[i];
        lines.push_back("spawnrecord " + std::to_string(i) + " name " + DumpText(r.name) +
                        " weight " + std::to_string(r.weight) + " max " +
                        std::to_string(r.maxCount) + " type " + std::to_string(r.recordType) +
                        " count " + std::to_string(r.count) + " path " + DumpText(r.objectPath));
    }
}
