// The save device: one storage device, "Hard Disc", always present and
// usable, that keeps each saved game as one file in the save folder (the
// base folder followed by "\SaveGames"). A saved-game file is the u32 1, the
// u32 payload size, then the payload. The resource library forwards its
// save operations here; every operation takes a device index first, which is
// ignored. Main thread only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Marks the one storage device present and names it "Hard Disc"; the
// argument is not used. Answers 1.
uint32_t InitSaveDevice(uint32_t unused);

// Replaces the save-game folder text. A null text empties it.
void SetSaveFolder(const char* folder);

// Copies the text into the last-error text; answers 0.
uint32_t SetSaveDeviceError(const char* text);

namespace SaveDevice {

constexpr uint32_t kStateUsable = 3;
constexpr uint32_t kSpace = 20971520;

uint32_t IsAvailable(uint32_t device);
uint32_t Mount(uint32_t device);
// 3 (usable).
uint32_t GetState(uint32_t device);
// Writes the present flag to a non-null out; answers 1.
uint32_t IsInserted(uint32_t device, uint32_t* out);
// The name cut to size - 1 characters and terminated; nothing for a null
// buffer or a size of 0. Answers 1.
uint32_t GetName(uint32_t device, char* buffer, uint32_t size);
// 20971520 into each non-null pointer; answers 1.
uint32_t GetSpace(uint32_t device, uint32_t* free, uint32_t* total);
// "100 MB" cut to size - 1 characters and terminated. Answers 1.
uint32_t GetSizeText(uint32_t device, char* buffer, uint32_t size);
// Replaces the named file of the save folder with header and payload. 1
// only when every byte was written, synced and renamed into place; 0 with
// "File Open Error:" when the file cannot be made, "File Write Error:" when
// a later step fails (the old file then stays as it was unless the failure
// came after the rename). Null data or a size of 0 answer 0 and change
// nothing. Makes the listing stale.
uint32_t WriteFile(uint32_t device, const char* name, const void* data, uint32_t size,
                   uint32_t unused1, uint32_t unused2);
// Brings the listing up to date (searching the folder only when a write
// made it stale) and writes its length to *count. Regular files only, in
// the folder's order; files that cannot be opened and temporary files of
// unfinished writes are left out. 0 with count 0 when the folder is missing.
uint32_t ListFiles(uint32_t device, uint32_t* count);
// Reads the payload of listing entry index into buffer: 1 only when the
// index is listed, size is its listed size, the header says so too and the
// whole payload is there; otherwise the buffer is untouched.
uint32_t ReadFile(uint32_t device, uint32_t index, void* buffer, uint32_t size);
// The listing index of the file that opening name in the save folder would
// read (the exact name first, else the first match with case folded); 0
// when the listing holds no such file.
uint32_t FindFile(uint32_t device, const char* name, uint32_t* index);
// 1 when the save folder holds an entry that opening name would read,
// listed or not (one that cannot be opened too).
uint32_t HasFile(uint32_t device, const char* name);

} // namespace SaveDevice

// The same read, under the name the resource library forwards to.
uint32_t ReadSavedGameFile(uint32_t device, uint32_t slot, void* buffer, uint32_t size);

// What the device holds, for tests.
const std::string& GetSaveFolder();
const std::string& GetSaveDeviceName();
uint32_t IsSaveDevicePresent();
const std::string& GetSaveDeviceError();
// The listing as "<name> <size>" lines.
std::vector<std::string> SaveDeviceListingForTests();
// How many times the folder was searched.
uint32_t SaveDeviceSearchCountForTests();
// Listing entries with this name count as files that cannot be opened
// (null: none).
void SetSaveDeviceUnopenableForTests(const char* name);
