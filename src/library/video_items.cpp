#include "library/video_items.h"

#include <string>

#include "library/library_item.h"
#include "library/resource_library.h"
#include "library/texture_items.h"
#include "platform/video.h"

namespace {

// The texture object of a texture item; null for anything else.
TextureObject *ItemTexture(LibraryItem *item) {
    if (item == nullptr || item->classId != uint32_t(ItemClass::Texture)) {
        return nullptr;
    }
    return static_cast<TextureItem *>(item)->texture;
}

bool LibrarySoundEnabled() {
    ResourceLibrary *library = GetLibrary();
    return library != nullptr && library->IsSoundEnabled() != 0;
}

} // namespace

void BindVideoTexture(LibraryItem *item, uint32_t stage) {
    SetVideoStageTexture(ItemTexture(item), stage);
}

void RestartVideoTexture(LibraryItem *item) {
    TextureObject *object = ItemTexture(item);
    ResetVideoTexture(object);
    RunVideoTexture(object);
}

void StopVideoTexture(LibraryItem *item) { ResetVideoTexture(ItemTexture(item)); }

uint32_t GetTextureItemHeight(LibraryItem *item) {
    if (item == nullptr || item->classId != uint32_t(ItemClass::Texture)) {
        return 0;
    }
    return static_cast<TextureItem *>(item)->height;
}

int PlayVideoFile(const char *name) {
    ResourceLibrary *library = GetLibrary();
    if (library == nullptr || name == nullptr) {
        return 0;
    }
    const std::string path = library->GetBaseFolder() + "\\Data\\" + name + ".mpg";
    return PlayFullScreenVideo(path.c_str());
}

void InstallVideoHooks() {
    SetOpenVideoTextureHook(&OpenVideoTexture);
    InstallFilmHooks(&LibrarySoundEnabled);
}
