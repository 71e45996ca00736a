#include "platform/texture_object.h"

namespace {

DestroyVideoHook g_destroyVideo = nullptr;

} // namespace

void SetDestroyVideoHook(DestroyVideoHook hook) { g_destroyVideo = hook; }

uint32_t GetTextureObjectWidth(const TextureObject *object) {
    return object != nullptr ? object->levelDesc.width : 0;
}

uint32_t GetTextureObjectHeight(const TextureObject *object) {
    return object != nullptr ? object->levelDesc.height : 0;
}

void AddRefTextureObject(TextureObject *object) {
    if (object != nullptr && object->texture != nullptr) {
        object->texture->AddRef();
    }
}

void DestroyTextureObject(TextureObject *object) {
    if (object == nullptr) {
        return;
    }
    if (object->video != nullptr) {
        if (g_destroyVideo != nullptr) {
            g_destroyVideo(object);
        }
        object->video = nullptr;
    }
    if (object->texture != nullptr) {
        object->texture->Release();
        object->texture = nullptr;
    }
    delete object;
}

TextureObject *GetTextureObject(TextureObject *object) { return object; }
