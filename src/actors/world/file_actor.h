// The File actor (class 5): a placeholder in the scene that holds a list of
// actor files with chance weights, chooses one of them when it is read from
// an actor file (or none, by a set percentage) and loads that file's actors
// as its children. A per-file maximum bounds how often one file is chosen in
// a level, through the level-wide FileCountTable. It can write its children
// back into the chosen file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/actors/actor.h"
#include "core/actors/command_ids.h"

// How often a limited file was chosen in the current level.
struct FileCountRecord {
    std::string fileName;
    uint32_t max = 0;
    uint32_t count = 0;
};
// Emptied when a level load starts; never stored.
extern std::vector<FileCountRecord> FileCountTable;
void ClearFileCountTable();

class FileActor : public Actor {
  public:
    FileActor() { classId = kFileClassId; }

    static void RegisterClass();

    int HandleCommand(uint32_t commandId, ParamBlock block) override;
    int Serialize(Archive &archive, uint32_t mode) override;
    void DumpClassFields(std::vector<std::string> &lines) const override;

    // Draws the file to load; 1 when one was chosen (selectedFile), else 0
    // with selectedFile -1.
    int ChooseFile();
    // Reads the file at the index below this actor; 1 on success.
    int LoadFileObject(int32_t index);
    // Writes the children (File actors and their contents left out) into
    // the named file, or the selected one when the name is empty; 1 when
    // written.
    int SaveFileObject(const std::string *name);
    // Whether the file has reached its limit in FileCountTable; `record`
    // receives the index of its first record, -1 when there is none.
    static bool IsFileAtMaxCount(const std::string &fileName, int32_t *record);

    bool SelectedValid() const {
        return selectedFile >= 0 && static_cast<size_t>(selectedFile) < fileNames.size();
    }

    uint32_t spareWord = 0;
    std::vector<std::string> fileNames;
    std::vector<uint32_t> weights;
    std::vector<uint32_t> maxCounts;
    int32_t selectedFile = -1;
    uint32_t loaded = 0;
    uint32_t alwaysReload = 0;
    uint32_t autoLoad = 1;
    uint32_t noFilePercent = 0;

  private:
    void AddFile(const std::string &fileName);
    void RemoveFile(size_t index);
    void UnloadChildren();
    int LoadSelected();
};

// The path of a file of the data folder: base folder + "\Data\" + name.
// False, with `out` untouched, for a name that would leave the folder: an
// absolute name or one with a ".." component.
bool DataFilePath(const std::string &name, std::string *out);
