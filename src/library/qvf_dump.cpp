#include "library/qvf_dump.h"

#include <string>

#include "base/escape_text.h"
#include "base/tool_arguments.h"
#include "library/bitmap_font.h"
#include "library/key_track.h"
#include "library/resource_library.h"

namespace {

// Slot words print as signed numbers, so "none" reads -1.
long long SlotNumber(uint32_t slot) { return static_cast<int32_t>(slot); }

std::string Quoted(const std::string& text) { return "\"" + EscapeText(text) + "\""; }

void PrintEntry(std::FILE* out, uint32_t slot, const LibraryItem& item) {
    std::string line = std::to_string(slot) + " " + ItemClassName(item.classId) + " " +
                       Quoted(item.name);
    char buffer[256];
    switch (item.GetClass()) {
    case ItemClass::Texture: {
        const auto& t = static_cast<const TextureItem&>(item);
        std::snprintf(buffer, sizeof buffer, " kind=%u mips=%u size=%ux%u", t.kind, t.mipLevels,
                      t.width, t.height);
        line += " file=" + Quoted(t.fileName) + buffer;
        break;
    }
    case ItemClass::Mesh: {
        const auto& m = static_cast<const MeshItem&>(item);
        std::snprintf(buffer, sizeof buffer, " kind=%u subsets=%zu", m.meshKind,
                      m.subsetSettings.size());
        line += " file=" + Quoted(m.fileName) + buffer;
        break;
    }
    case ItemClass::Sound: {
        const auto& s = static_cast<const SoundItem&>(item);
        std::snprintf(buffer, sizeof buffer, " flags=%u volume=%g category=%u", s.flags,
                      static_cast<double>(s.volume), s.category);
        line += " file=" + Quoted(s.fileName) + buffer;
        break;
    }
    case ItemClass::Material: {
        const auto& m = static_cast<const MaterialItem&>(item);
        std::snprintf(buffer, sizeof buffer, " blend=%u mask=%u textures=", m.blendMode,
                      m.bucketMask);
        line += buffer;
        if (m.textureIds.empty()) {
            line += "-";
        }
        for (size_t i = 0; i < m.textureIds.size(); ++i) {
            if (i != 0) {
                line += ",";
            }
            line += std::to_string(SlotNumber(m.textureIds[i]));
        }
        break;
    }
    case ItemClass::Motion: {
        const auto& m = static_cast<const MotionItem&>(item);
        line += " file=" + Quoted(m.fileName) + " tracks=" + std::to_string(m.recordTracks.size());
        break;
    }
    case ItemClass::Font: {
        const auto& f = static_cast<const FontItem&>(item);
        std::snprintf(buffer, sizeof buffer, " size=%u style=%u glyph-texture=%lld glyphs=%u",
                      f.size, f.styleFlags, SlotNumber(f.glyphTexture), f.font->glyphCount);
        line += " face=" + Quoted(f.faceName) + buffer;
        break;
    }
    default:
        break;
    }
    std::fprintf(out, "%s\n", line.c_str());
}

} // namespace

int RunQvfDump(int argc, const char* const* argv, std::FILE* out, std::FILE* err) {
    const FileToolCall call = ClassifyFileToolCall(argc, argv);
    if (call != FileToolCall::Run) {
        std::fputs("usage: qvfdump FILE\n", call == FileToolCall::Help ? out : err);
        return call == FileToolCall::Help ? 0 : 2;
    }
    ResourceLibrary library;
    LibraryReadObserver observer;
    observer.onHeader = [out](const LibraryFileInfo& info) {
        std::fprintf(out, "version %u, scale %g, groups %u, items %u\n", info.version,
                     static_cast<double>(info.worldScale), info.groupCount, info.itemCount);
    };
    observer.onEntry = [out](uint32_t slot, const LibraryItem& item) {
        PrintEntry(out, slot, item);
    };
    int ok = library.ReadLibraryFile(argv[1], 1, observer);
    std::fflush(out);
    if (!ok) {
        std::fprintf(err, "error: %s\n", library.GetLastError());
        return 1;
    }
    return 0;
}
