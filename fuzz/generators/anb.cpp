// Writes seed ".anb" files into the folder given as the argument: one part and one frame, two parts
// over three frames with shared and unused texture coordinates.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "library/anb_writer.h"
#include "seed_folder.h"

namespace {

AnbPart Triangle(float x) {
    AnbPart p;
    p.vertices = {{{x, 0, 0}, {0, 0, 1}}, {{x + 1, 0, 0}, {0, 0, 1}}, {{x, 1, 0}, {0, 0, 1}}};
    p.positionIndices = {0, 1, 2};
    p.texCoords = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};
    p.textureIndices = {0, 1, 0};
    return p;
}

} // namespace

int main(int argc, char** argv) {
    const std::filesystem::path folder = SeedFolder(argc, argv);
    if (folder.empty()) {
        return 2;
    }
    bool ok = true;

    AnbWriter one;
    one.parts = {Triangle(0)};
    ok &= SaveSeed(folder / "one_frame.anb", one.WriteToMemory());

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
    ok &= SaveSeed(folder / "two_parts.anb", three.WriteToMemory());
    return ok ? 0 : 1;
}
