// The Save Game actor (class 45): the controller of the save and load
// screens. It sits in a menu beside UI Windows, Buttons and Texts that the
// menu's scripts drive; the scripts tell it what the player chose (1700-1711)
// and it shows and hides its children, writes message keys into UI Texts
// and, after a short delay that lets the message be drawn, saves or loads.
//
// What it saves is the save index "SaveGame": one file of the save device
// in the layout of a GameStateBlock, word 0 the mission of the last save,
// word 1 the number of slot words, word 2 + i the mission saved in slot i
// (0 when empty). The index lives in one module-wide buffer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/actors/actor.h"
#include "core/actors/command_ids.h"
#include "game/inventory_actor.h"

// The save device as the Save Game reaches it (the resource library's
// operations); tests put in a scripted one.
class SaveDeviceLink {
  public:
    virtual ~SaveDeviceLink() = default;
    virtual uint32_t IsAvailable(uint32_t device);
    virtual uint32_t Mount(uint32_t device);
    virtual uint32_t GetState(uint32_t device);
    virtual uint32_t IsInserted(uint32_t device, uint32_t *out);
    virtual uint32_t GetName(uint32_t device, char *buffer, uint32_t size);
    virtual uint32_t GetSpace(uint32_t device, uint32_t *free, uint32_t *total);
    virtual uint32_t WriteFile(uint32_t device, const char *name, const void *data, uint32_t size);
    virtual uint32_t ListFiles(uint32_t device, uint32_t *count);
    virtual uint32_t ReadFile(uint32_t device, uint32_t index, void *buffer, uint32_t size);
    // The listing index of the file the file layer opens for the name.
    virtual uint32_t FindFile(uint32_t device, const char *name, uint32_t *index);
    // Whether the folder holds the named file, listed or not.
    virtual uint32_t HasFile(uint32_t device, const char *name);
};

// Installs the link (null: the resource library's); answers the one before.
SaveDeviceLink *SetSaveDeviceLink(SaveDeviceLink *link);

// The module-wide save index: word 1 = 6 at start, every other word 0.
GameStateBlock &SaveIndexBuffer();
void ResetSaveIndexBuffer();

// The save menu's fields: what a "Create" copies from a source actor.
struct SaveGameFields {
    struct SlotEntry {
        std::string name;
        uint32_t empty = 1;
        uint32_t mission = 0;
        int32_t button = -1;  // "SaveSlot_%02d", a UI Button
        int32_t image = -1;   // its "Img", a UI Sprite
        int32_t caption = -1; // its "Text", a UI Text: the words of a slot without its picture
    };

    uint32_t type = 0;
    uint32_t saveMode = 0;
    uint32_t active = 0;
    std::vector<std::string> devices; // display names
    int32_t deviceIndex = -1;
    int32_t slotIndex = -1;
    std::vector<SlotEntry> slots;
    // Children by id, resolved at each use (-1: none).
    int32_t infoDialog = -1, infoText = -1;
    int32_t infoOkDialog = -1, infoOkText = -1;
    int32_t yesNoDialog = -1, yesNoText = -1;
    int32_t slotsWindow = -1;
    int32_t deviceWindow = -1;
    float delay = 0.0f;
    uint32_t savePending = 0;
    uint32_t loadPending = 0;
    uint32_t overwriteQuestion = 0;
    uint32_t quitQuestion = 0;
};

class SaveGameActor : public Actor, public SaveGameFields {
  public:
    static constexpr uint32_t kMaxSlots = 20;
    static constexpr float kStartDelay = 0.1f;
    static constexpr uint32_t kWaitMilliseconds = 2000;

    SaveGameActor();

    static void RegisterClass();

    int HandleCommand(uint32_t commandId, ParamBlock block) override;
    int Serialize(Archive &archive, uint32_t mode) override;
    void Update() override;
    void DumpClassFields(std::vector<std::string> &lines) const override;

    // Builds the slot list from the save index; 1 when it was shown.
    int ShowSlots();
    // Runs the pending save or load at once; 1 on success.
    int Save();
    int Load();

  private:
    void Precalculate();
    void ActionStart();
    void SelectDevice(uint32_t number);
    void SelectSlot(uint32_t number);
    void YesNo(uint32_t answer);
    void Back();
    void StartSave();
    void StartLoad();
    void ShowDeviceMenu();
    // The key in the dialog's Text, then the dialog shown; nothing when
    // either is missing.
    void ShowMessage(int32_t dialog, int32_t text, const char *key);
    void ShowInfo(const char *key);
    void ShowRemoved(const char *operation);
    // Refuses a save or a load: the device menu and the message.
    int Refuse(const char *key);
    // Refuses what the chosen slot holds or would hold: the slot list stays,
    // under the message.
    int RefuseSlot(const char *key);
    // Whether a UI System above this actor runs the frames.
    bool InActiveMenu() const;
    std::string DeviceName() const;
    int32_t DeviceIndexOf(uint32_t number) const;
    Actor *InParentTree(const char *name);
};

// The message of a device removed during use: the first two "%s" of the
// format replaced by the device name and the operation word, every other
// character (any other '%' too) kept as it is.
std::string FormatRemovedMessage(const std::string &format, const std::string &device,
                                 const std::string &operation);
