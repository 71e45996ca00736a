// Writes seed ".anb" files into the folder given as the argument: one part
// and one frame, two parts over three frames with shared and unused
// texture coordinates.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "platform/anb_writer.h"

namespace {

AnbPart Triangle(float x) {
    AnbPart p;
    p.vertices = {{{x, 0, 0}, {0, 0, 1}}, {{x + 1, 0, 0}, {0, 0, 1}}, {{x, 1, 0}, {0, 0, 1}}};
    p.positionIndices = {0, 1, 2};
    p.texCoords = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};
    p.textureIndices = {0, 1, 0};
    return p;
}

bool Save(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    std::filesystem::path folder(argv[1]);
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    bool ok = true;

    AnbWriter one;
    one.parts = {Triangle(0)};
    ok &= Save(folder / "one_frame.anb", one.WriteToMemory());

    AnbWriter three;
    three.frameCount = 3;
    three.parts = {Triangle(0), Triangle(5)};
    for (int f = 1; f < 3; ++f) {
        std::vector<AnbVertex> frame;
        for (const AnbPart& p : three.parts) {
            for (AnbVertex v : p.vertices) {
                v.position.z = static_cast<float>(f);
                frame.push_back(v);
            }
        }
        three.laterFrames.push_back(frame);
    }
    ok &= Save(folder / "two_parts.anb", three.WriteToMemory());
    return ok ? 0 : 1;
}
