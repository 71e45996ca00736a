// The FileIO actor (class 6): the container of one actor file. It opens the
// file into the tree below itself, saves the actors of its id range and
// unloads them. The roots "Global", "Scenery" and "Clipboard" are FileIO
// actors.
#pragma once

#include <cstdint>
#include <string>

#include "core/actors/actor.h"
#include "core/actors/command_ids.h"

class FileIOActor : public Actor {
  public:
    FileIOActor() { classId = kFileIOClassId; }

    static void RegisterClass();

    int HandleCommand(uint32_t commandId, ParamBlock block) override;
    int Serialize(Archive &archive, uint32_t mode) override;

    std::string fileName; // relative to the data folder; empty when none
    // The lowest and the highest actor id of the range this actor saves;
    // 0 and 0 (nothing) unless the actor system set them.
    uint32_t firstId = 0;
    uint32_t idLimit = 0;

  private:
    int OpenFile(ParamBlock block);
    int SaveFile(ParamBlock block);
    // What opening and unloading share: every actor leaves its draw group,
    // the children go, the draw-group registry and member lists are reset.
    void EmptyContents();
};
