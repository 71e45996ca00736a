// Whole actor files split into their records, and copies of them damaged in
// their ids, counts and parent links rather than in single bytes: for the
// reader's tests and the seeds of the actor-file fuzz target.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace actorfiles {

// One record: its bytes [begin, end) in the file, and its actor id and
// parent id as the file holds them.
struct Record {
    size_t begin = 0;
    size_t end = 0;
    uint32_t id = 0;
    uint32_t parentId = 0;
};

// The records of a file of the current version, found by reading it into the
// actor system (which must exist; the actors read stay in it): a record ends
// where the reader stands once it has read it. Empty when the file does not
// load whole.
std::vector<Record> ReadRecords(const std::string &bytes);

struct DamagedFile {
    std::string what;
    std::string bytes;
};

// Copies of a file, each damaged in one way that a reader must refuse:
//   "id := grandparent's id"  a record whose parent is a record of the file
//                             takes the id of that parent's parent;
//   "id twice"                a record follows itself, counted;
//   "parent loop"             the parent of a record of the file takes the
//                             record as its own parent;
//   "count one short"         the header counts one record less;
//   "trailing bytes"          100 bytes follow the last record.
// Each name ends with the number of the record changed (1 for the first).
std::vector<DamagedFile> DamagedCopies(const std::string &bytes,
                                       const std::vector<Record> &records);

// What "Save Game" writes after the files were loaded in order into a fresh
// actor system (made here and left standing): every actor from id 10 up.
// Empty when a file does not load or the save fails; `folder` takes the save.
std::string SaveAfterLoading(const std::vector<std::string> &files, const std::string &folder);

// The file's bytes; empty when it cannot be read.
std::string ReadWholeFile(const std::string &path);

} // namespace actorfiles
