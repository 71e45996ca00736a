// Actor files (".qva"): a 16-byte header, then one record per actor, each
// written and read by the actor's own Serialize.
//
//   offset 0  u32 version   (70 in every file written)
//   offset 4  u32 count     actor records that follow
//   offset 8  u32 first id  lowest id of the range the records belong to
//   offset 12 u32 span      highest id present in the range + 1 - first id
//
// Each record starts with the actor's class id and actor id, which the
// loader reads before it creates the actor. Files older than version 38 hold
// ids of older id ranges, which LoadActors moves. Main thread only.
#pragma once

#include "core/actors/command_ids.h"

#include <cstdint>
#include <string>
#include <vector>


class Actor;
class Archive;

inline constexpr uint32_t kActorFileVersion = 70;
inline constexpr uint32_t kActorFileHeaderSize = 16;

// Serialize modes: reading a file, writing one.
inline constexpr uint32_t kSerializeLoad = 0;
inline constexpr uint32_t kSerializeSave = 2;

// The loaded-file version outside a load.
inline constexpr uint32_t kNoFileVersion = 0xFFFFFFFFu;

struct ActorFileHeader {
    uint32_t version = kActorFileVersion;
    uint32_t count = 0;
    uint32_t firstId = 0;
    uint32_t span = 0;
};

// The id moves of old files: below version 22 an id of 1000 or more gets
// 1000 more, then below version 38 an id of 2000 or more gets 1000 more.
// `rules`, when given, receives how many moves applied.
uint32_t MoveActorFileId(uint32_t id, uint32_t version, uint32_t *rules = nullptr);

// Called once per actor read, with 0 (the level load's loading screen), as
// its record has been read (before the actor takes its id).
using ActorLoadProgress = void (*)(uint32_t);
ActorLoadProgress SetActorLoadProgress(ActorLoadProgress callback);

// Writes the actors of [first, end) whose "saved" flag (15) is set. 0, with
// "Error - Saving Actors", when the file cannot be made or a write (or the
// closing rename) failed; the target then stays as it was.
int SaveActors(const std::string &fileName, uint32_t first, uint32_t end, uint32_t mode);

// Where the reading of a refused actor file stopped, for messages that name
// the record.
struct ActorFileStop {
    enum class Why {
        None,     // not refused (or the file did not open)
        Header,   // the header cannot be read, or counts more than the file holds
        Record,   // the record cannot be read: short, an unknown class, an id
                  // outside the user range, or refused by its actor
        IdTwice,  // the record repeats the id of an earlier one (`other`)
        Loop,     // the record's actor would be its own ancestor
        Trailing, // `other` bytes follow the last record counted
    };
    Why why = Why::None;
    uint32_t record = 0; // 1 for the first record; the last one for Trailing
    uint32_t count = 0;  // records the header counts
    bool idRead = false;
    uint32_t id = 0;     // as the file gives it, moved as its version asks
    uint32_t other = 0;
};
// "record 3 of 9 (id 3012) repeats the id of record 1" and the like; empty
// for Why::None.
std::string DescribeActorFileStop(const ActorFileStop &stop);

// Reads a file back into the ids it records, each actor replacing the one
// at its id. 0 with the actor system's error text ("Error - Loading Actors",
// "Serialize Error") on failure. The whole file is read and checked before
// any actor of it takes its id or is told "Init Load": a refused file
// changes no actor of the world. A file that names one id twice, or whose
// parent links would make an actor its own ancestor, is refused. A file older than version 70 may end after fewer records than it
// counts (its writer counted actors that wrote nothing) and may hold bytes
// after them; in a file of version 70 every byte belongs to a counted
// record. `stop`, when given, tells where a refused file stopped.
int LoadActors(const std::string &fileName, uint32_t mode, ActorFileStop *stop = nullptr);
// The same over an archive open for reading, which it closes.
int LoadActorsFrom(Archive &archive, uint32_t mode, ActorFileStop *stop = nullptr);

// Reads a file's actors below a File actor, under fresh ids.
int LoadActorsIntoFile(const std::string &fileName, Actor *fileActor);
// Reads (an archive open for reading, which it closes) or writes (the File
// actor's spawned actors, under file ids from 3000) by the archive's
// direction. 0 on failure; a read, checked whole before any actor of it
// takes its id, refuses what LoadActors refuses and then changes nothing.
int SerializeFileActors(Archive &archive, Actor *fileActor);

// Writes the header and one record per listed actor under file ids from
// 3000, in list order. A record's parent is the file id of its parent when
// that is listed too, else the scenery root (so also for the actors right
// below `owner`); each actor gets its own ids and parent back after its
// record. The caller checks the archive for failure.
void WriteActorRecords(Archive &archive, const std::vector<Actor *> &listed, const Actor *owner);
