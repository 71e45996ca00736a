// Films as library items: the texture items whose file is a film, and the
// full-screen films named after the library's data folder.
#pragma once

#include <cstdint>

class LibraryItem;

// Texture-item operations. An item that is not a texture item (class id
// other than 0) counts as null.
void BindVideoTexture(LibraryItem *item, uint32_t stage);
void RestartVideoTexture(LibraryItem *item);
void StopVideoTexture(LibraryItem *item);
uint32_t GetTextureItemHeight(LibraryItem *item);

// PlayFullScreenVideo(library folder + "\Data\" + name + ".mpg").
int PlayVideoFile(const char *name);

// Connects the film operations to the texture items and texture objects,
// and lets films play sound while the library's sound is on.
void InstallVideoHooks();
