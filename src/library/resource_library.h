// The resource library: the engine's one store of shared assets. It reads the
// library file "DAZedirad.qvf" from the base folder at start-up, keeps every
// item in a 7000-slot table by slot index, and answers look-ups by slot or by
// name. Main thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "library/library_item.h"
#include "library/render/render_front_end.h"

class Archive;
class EngineWindow;
struct Vector3;
struct ScreenLayers;

// What the header of a library file holds, as read.
struct LibraryFileInfo {
    uint32_t version = 0;
    float worldScale = 100.0f; // as stored; 100 when the version has none
    uint32_t groupCount = 0;
    uint32_t itemCount = 0;
};

// Optional observers of a library file read: the header once it is complete,
// then each entry, in file order, once its record was read.
struct LibraryReadObserver {
    std::function<void(const LibraryFileInfo&)> onHeader;
    std::function<void(uint32_t slot, const LibraryItem& item)> onEntry;
};

class ResourceLibrary {
public:
    static constexpr uint32_t kTableSize = 7000;
    static constexpr size_t kErrorTextSize = 512;

    ResourceLibrary();
    // Deletes the items of the table with the table.
    ~ResourceLibrary();
    ResourceLibrary(const ResourceLibrary&) = delete;
    ResourceLibrary& operator=(const ResourceLibrary&) = delete;

    // --- set-up ---------------------------------------------------------

    // Stores the folder and sets the save folder to folder + "\SaveGames".
    void SetBaseFolder(const char* folder);
    const std::string& GetBaseFolder() const { return baseFolder_; }

    // The save device's operations (library/save_device.h), arguments
    // passed through.
    uint32_t ReadSavedGameFile(uint32_t device, uint32_t slot, void* buffer, uint32_t size);
    uint32_t IsSaveDeviceAvailable(uint32_t device);
    uint32_t MountSaveDevice(uint32_t device);
    uint32_t GetSaveDeviceState(uint32_t device);
    uint32_t IsSaveDeviceInserted(uint32_t device, uint32_t* out);
    uint32_t GetSaveDeviceName(uint32_t device, char* buffer, uint32_t size);
    uint32_t GetSaveDeviceSpace(uint32_t device, uint32_t* free, uint32_t* total);
    uint32_t GetSaveDeviceSizeText(uint32_t device, char* buffer, uint32_t size);
    uint32_t WriteSavedGameFile(uint32_t device, const char* name, const void* data,
                                uint32_t size, uint32_t unused1, uint32_t unused2);
    uint32_t ListSavedGameFiles(uint32_t device, uint32_t* count);

    void SetTextureQuality(uint32_t formatMode, uint32_t divisor);
    uint32_t GetTextureFormatMode() const { return textureFormatMode_; }
    uint32_t GetTextureSizeDivisor() const { return textureSizeDivisor_; }

    uint32_t IsSoundEnabled() const { return soundEnabled_; }
    void SetSoundEnabled(uint32_t on) { soundEnabled_ = on; }

    float GetWorldScale() const { return worldScale_; }
    float GetInverseWorldScale() const { return inverseWorldScale_; }

    // --- library file ---------------------------------------------------

    // Reads base folder + "\DAZedirad.qvf". Mode 1 reads the records only;
    // mode 0 also loads textures, meshes, sounds and fonts at once. Answers
    // 1, or 0 with the reason in the last-error text; items read before a
    // failure stay in the table.
    int SerializeLibrary(int mode);
    // The library file SerializeLibrary reads: base folder + "\DAZedirad.qvf".
    std::string LibraryFilePath() const;

    // The same read from any path, with optional observers.
    int ReadLibraryFile(const char* path, int mode, const LibraryReadObserver& observer = {});

    // The same read from an archive open for reading.
    int ReadLibraryArchive(Archive& archive, int mode, const LibraryReadObserver& observer = {});

    // Formats the message into the last-error text (cut to 511 characters)
    // and answers 0, so that callers can return it as their failure.
    int ReportLibraryError(const char* format, ...) __attribute__((format(printf, 2, 3)));
    const char* GetLastError() const { return lastError_; }
    // Why the texture, mesh or sound being loaded was refused (the decoder's
    // or the device's words); a failed library read names it with the item.
    void NoteItemLoadFailure(const std::string& reason) { itemLoadFailure_ = reason; }

    // --- look-ups -------------------------------------------------------

    // Whether index < table size (an unsigned compare: -1 is invalid).
    static bool IsItemIndexValid(uint32_t index) { return index < kTableSize; }

    // The slot's item, null for an empty slot; an invalid index reports
    // "Error Invalid Container ID". Does not mark the item used.
    LibraryItem* GetItemById(uint32_t index);

    // The first item in slot order named so (ASCII case ignored) and of that
    // class (any class for ItemClass::Any); marked used. Null when none.
    LibraryItem* FindItemByName(const char* name, ItemClass cls);

    // The slot's item marked used; null for an invalid index or empty slot.
    LibraryItem* UseItem(uint32_t index);

    // Slot indexes, in slot order, of the items of that class whose names
    // match the prefix in their first n characters, ASCII case ignored (a
    // prefix shorter than n matches only a name equal to it).
    std::vector<uint32_t> FindItemsByPrefix(const char* prefix, uint32_t n, ItemClass cls);

    // The item's slot index, -1 for null.
    static int32_t GetItemIndex(const LibraryItem* item);
    // The item's name ("" when empty), null for null.
    static const char* GetItemName(const LibraryItem* item);

    // Run the item's Load or Release; null is ignored. Both answer 1.
    int LoadItem(LibraryItem* item);
    int ReleaseItem(LibraryItem* item);

    // The table item at index when it has that class, marked used; with the
    // copy flag a sound, material or motion item gives a private copy
    // instead, which its holder lets go through DeleteItemIfUnused. Font
    // items are loaded first. Null for an invalid index, an empty slot or
    // another class.
    LibraryItem* AcquireItem(uint32_t index, ItemClass cls, uint32_t copy, uint32_t playFlags);
    LibraryItem* AcquireItemByName(const char* name, ItemClass cls, uint32_t copy,
                                   uint32_t playFlags);

    // Deletes a private copy (used flag 0, not in its own table slot); table
    // items and null are left alone.
    void DeleteItemIfUnused(LibraryItem* item);

    // Data file of an item: base folder + "\Data\" + file name, or the file
    // path when the file name is empty.
    std::string GetDataFilePath(const LibraryItem& item) const;

    // --- display ----------------------------------------------------------

    // Creates the display device (flags bit 1 windowed, bit 0 no sound),
    // keeps the window and starts the device services. Answers 1, or 0 with
    // the graphics error text in the last-error text.
    int CreateDisplay(uint32_t width, uint32_t height, uint32_t colorDepth,
                      uint32_t depthBufferDepth, uint32_t flags, EngineWindow* window);
    // Sound device (flags bit 0 turns sound off), texture filters, draw
    // buckets and shadow quad, frame timer, default font.
    bool StartDeviceServices(uint32_t flags);
    EngineWindow* GetWindow() const { return window_; }

    // --- textures and lights ----------------------------------------------

    // Makes the item's texture object from its data file (library/texture_items.h):
    // the size from the record and the texture size divisor, the format from
    // the format mode and the extension. Answers 1, or 0 with
    // "Error: Create Texture Library Item Texture" in the last-error text.
    int LoadTextureFile(TextureItem* item);

    // The device's ambient colour from four components 0..1.
    void SetAmbientLight(float r, float g, float b, float a);

    // --- sound items (library/sound_items.cpp) -------------------------
    // Each does nothing (or answers 0) for a null or non-sound item and
    // while sound is disabled; those that play or set a value first load an
    // item whose sound is not yet made.

    static constexpr uint32_t kSoundCategories = 32;

    // Clamped to 0..1 (not a number gives 0); categories from 32 on are
    // ignored.
    void SetSoundCategoryVolume(uint32_t category, float volume);
    // 1.0 for categories from 32 on.
    float GetSoundCategoryVolume(uint32_t category) const;
    void PlaySoundItem(LibraryItem* item);
    void PlaySoundItemLooped(LibraryItem* item);
    void StopSoundItem(LibraryItem* item);
    void PauseSoundItem(LibraryItem* item);
    uint32_t IsSoundItemPlaying(LibraryItem* item);
    float GetSoundItemLength(LibraryItem* item);
    // Category volume x the item's own volume x volume.
    void SetSoundItemVolume(LibraryItem* item, float volume);
    void SetSoundItemFrequency(LibraryItem* item, float factor);
    void SetSoundItemPosition(LibraryItem* item, const Vector3& position);
    void SetSoundItemDistances(LibraryItem* item, float minDistance, float maxDistance);
    void TraceSound(uint32_t value);
    // The Load of a sound item that is no copy: opens its file whole or
    // streamed, 2D or 3D, by its flags. 1 with no buffer while sound is
    // disabled; 0 with the sound layer's text when no buffer comes.
    int CreateLibrarySound(SoundItem* item);

    // --- device reset ---------------------------------------------------

    // Frees the device objects of every font in the table and of the
    // default font before the device is reset.
    void ReleaseFontTextures();
    // Sets the library's lights and fog on the device again after a reset.
    void RestoreDeviceState();


    // --- render front end (library/render/render_front_end.h) -------------------

    // Draw instances and buckets.
    DrawInstance* CreateDrawInstance(MeshItem* mesh, uint32_t subset, MaterialItem* material,
                                     const Matrix* world, uint32_t userWord, float sortBias);
    void DestroyDrawInstance(DrawInstance* instance);
    void QueueDrawInstance(DrawInstance* instance, float frame, float alpha);
    bool LinkIntoNextBucket(DrawInstance* instance, uint32_t firstBucket);
    void DrawScene();
    void DrawInstanceSubset(DrawInstance* instance);
    bool IsSphereVisible(const Vector3& centre, float radius, float* outKey, bool fogCull) const;
    bool BeginRender(bool clearAll, bool clearDepth);
    bool EndRender(bool present);
    // The set-up of the 32 buckets made at device start.
    void SetUpDrawBuckets();
    void SetBucketSpareFlag(uint32_t bucket, uint32_t value);
    void SetBucketBeginCallback(uint32_t bucket, DrawBucketCallback callback);
    void SetBucketEndCallback(uint32_t bucket, DrawBucketCallback callback);
    void SetBucketInstanceCallback(uint32_t bucket, DrawInstanceCallback callback);
    void SetBucketCreateCallback(uint32_t bucket, DrawInstanceCallback callback);
    void SetBucketReleaseCallback(uint32_t bucket, DrawInstanceCallback callback);
    void SetBucketSkipLights(uint32_t bucket, uint32_t value);
    void SetBucketSkipTransform(uint32_t bucket, uint32_t value);
    void SetBucketSkipMaterial(uint32_t bucket, uint32_t value);
    void SetBucketSkipDraw(uint32_t bucket, uint32_t value);
    const DrawBucket* GetDrawBucket(uint32_t bucket) const;
    uint32_t GetQueuedInstanceCount() const { return render_.queuedCount; }

    // Materials.
    void ApplyMaterial(MaterialItem* material, float alpha, uint32_t secondTexture);
    LibraryItem* GetMaterialTexture(const MaterialItem* material, uint32_t i);
    MaterialItem* GetCurrentMaterial() const { return render_.currentMaterial; }
    const BlendModeEntry& GetBlendMode(uint32_t index) const;

    // Camera and projection.
    void SetCameraTransform(const Vector3& position, const Quaternion& rotation);
    void SetCameraLookAt(const Vector3& eye, const Vector3& target, const Vector3& up);
    Vector3* GetCameraForward(Vector3* out) const;
    Vector3* GetCameraUp(Vector3* out) const;
    const float* GetCameraPosition() const { return &render_.cameraPosition.x; }
    const float* GetCameraTarget() const { return &render_.cameraTarget.x; }
    const Quaternion& GetCameraRotation() const { return render_.cameraRotation; }
    const Matrix& GetCameraView() const { return render_.view; }
    const Matrix& GetSidePlane(uint32_t i) const { return render_.sidePlanes[i & 3]; }
    void SetFieldOfView(float angle);
    void SetAspectAdjust(float aspect);
    void SetFarClip(float distance);
    void SetNearClip(float distance);
    float GetFieldOfView() const { return render_.fieldOfView; }
    float GetAspectAdjust() const { return render_.aspect; }
    float GetNearClip() const { return render_.nearPlane; }
    float GetFarClip() const { return render_.farPlane; }
    float GetProjectionFarClip() const { return render_.projectionFar; }

    // Fog, clear colour, gamma.
    void SetFogColor(uint32_t color);
    void SetFogEnable(uint32_t on);
    void SetFogStart(float distance);
    void SetFogEnd(float distance);
    float GetFogStart() const { return render_.fogStart; }
    float GetFogEnd() const { return render_.fogEnd; }
    uint32_t GetFogEnable() const { return render_.fogOn; }
    void SetClearColor(uint32_t color) { render_.clearColor = color; }
    uint32_t GetClearColor() const { return render_.clearColor; }
    void SetGamma(float redScale, float greenScale, float blueScale, float redOffset,
                  float greenOffset, float blueOffset);

    // Run-time lights.
    LightItem* CreateLight();
    void DestroyLight(LightItem* light);
    void EnableLight(LightItem* light, bool on);
    LightItem* GetLocalLight(uint32_t i) const;
    uint32_t GetLocalLightCount() const { return uint32_t(render_.localLights.size()); }
    uint32_t GetLightCount() const { return uint32_t(render_.lights.size()); }
    // Lights and fog on the device again (after a reset).
    void RestoreLightsAndFog();

    // --- fonts and screen texts -------------------------------------------

    // Builds a font item's bitmap font: from its prepared glyph sheet when
    // its glyph texture names a texture item, else from its face. 0 when
    // the face name is empty.
    int BuildFont(FontItem* item);
    // A new font item outside the table (an absent face or character set
    // keeps the default), built; null when it cannot be built.
    FontItem* CreateFontItem(const char* face, uint32_t size, const char* characterSet);
    // The font of text queued from now on; null selects the default font.
    // A font that is not loaded is built first; a loaded one is kept as it is.
    void SetCurrentFont(FontItem* font);
    FontItem* GetCurrentFont();
    // Queues a text line (depth 0, or the given depth) in the current font.
    void QueueText(float x, float y, float red, float green, float blue, float alpha,
                   const char* text, uint32_t style);
    void QueueTextEx(float x, float y, float red, float green, float blue, float alpha,
                     const char* text, uint32_t style, float depth);
    // Draws the queued lines in order; empties the queue when asked.
    void DrawQueuedText(bool empty);
    // Draws the queued lines that carry a depth (the world's labels, tested
    // against the scene's depth) in order and takes them out of the queue;
    // the screen's own lines stay queued.
    void DrawQueuedLabels();
    ScreenLayers& GetScreenLayers();

    // --- screen quads and overlays ----------------------------------------

    // Queue a quad of the material (nothing for a null material); colours in
    // 0..1, sizes truncated to whole pixels.
    void QueueRect(float x, float y, float width, float height, float red, float green,
                   float blue, float alpha, MaterialItem* material);
    void QueueRectUV(float x, float y, float width, float height, float left, float top,
                     float right, float bottom, float red, float green, float blue, float alpha,
                     MaterialItem* material);
    void QueueQuad(const float corners[8], float left, float top, float right, float bottom,
                   float red, float green, float blue, float alpha, MaterialItem* material);
    void QueueSprite(float x, float y, float red, float green, float blue, float alpha,
                     MaterialItem* material);
    // Overlays, drawn once by the next DrawOverlays.
    void SetImageOverlay(float x, float y, MaterialItem* material);
    void SetOverlayQuad(float x, float y, float width, float height, float red, float green,
                        float blue, float alpha, MaterialItem* material);
    void DrawQueuedQuads(bool empty);
    void DrawOverlays();

private:
    // Puts an item into a slot, deleting the item it replaces.
    void StoreItem(uint32_t slot, LibraryItem* item);

    std::string baseFolder_;
    std::vector<LibraryItem*> items_;
    char lastError_[kErrorTextSize] = {};
    std::string itemLoadFailure_;
    float worldScale_ = 100.0f;
    float inverseWorldScale_ = 0.01f;
    uint32_t textureFormatMode_ = 0;
    uint32_t textureSizeDivisor_ = 1;
    uint32_t soundEnabled_ = 1;
    EngineWindow* window_ = nullptr;
    float soundCategoryVolumes_[kSoundCategories] = {
        1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f,
        1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f,
        1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f};

    // Sends the projection of the stored values with that far plane, unless
    // they make none.
    void RebuildProjection(float far);
    void RebuildSidePlanes();
    // Takes the instance out of its bucket list, keeping the others.
    void UnlinkDrawInstance(DrawInstance* instance);
    // Orders a sorted bucket's list farthest first, equal keys as they came.
    void SortDrawBucket(DrawBucket& bucket);
    // The next instance of the bucket being drawn, from its sorted run,
    // then from its list; null when both are empty.
    DrawInstance* TakeNextInstance(DrawBucket& bucket);
    void FreeDrawInstance(DrawInstance* instance);
    void SelectLocalLights(DrawInstance* instance);

    RenderFrontEnd render_;
    std::shared_ptr<ScreenLayers> screen_;
};

// The library; null before CreateEngineServices.
ResourceLibrary* GetLibrary();

// Tests: makes another library (or none) the process's library and answers
// the one it replaces, which the caller puts back.
ResourceLibrary* ReplaceLibraryForTests(ResourceLibrary* library);
// Tests: deletes the library CreateEngineServices made (no library is the
// process's when it was); the next CreateEngineServices makes a fresh one.
void DestroyEngineServicesLibraryForTests();

// Start-up: creates the library when none exists and fills the item loader
// table, then makes the graphics object, the frame timer and the save device.
// Answers 1, or 0 when the library, the graphics object or the frame timer
// cannot be made.
int CreateEngineServices();

// The default font item (made by the device set-up; not in the table).
FontItem* GetDefaultFontItem();
void SetDefaultFontItem(FontItem* font);

// Hook run by RestoreDeviceState (lights and fog); none by default.
using DeviceStateHook = void (*)(ResourceLibrary& library);
void SetRestoreDeviceStateHook(DeviceStateHook hook);
