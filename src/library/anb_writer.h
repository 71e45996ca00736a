// Writes ".anb" vertex-animated mesh files (format in platform/anb_mesh.h)
// as given: counts come from the parts, nothing is checked, so tests can
// write broken files too. For tests, fuzz seeds and the sample generator.
#pragma once

#include <cstdint>
#include <vector>

#include "base/math.h"

struct AnbVertex {
    Vector3 position;
    Vector3 normal;
};

struct AnbPart {
    std::vector<AnbVertex> vertices;        // frame 0; Np
    std::vector<uint16_t> positionIndices;  // three per triangle; Kp from here
    std::vector<Vector2> texCoords;         // Tp
    std::vector<uint16_t> textureIndices;   // Kp x 3 written, zeros when short
};

class AnbWriter {
public:
    std::vector<uint8_t> WriteToMemory() const;
    // Written through the engine's file system; 1 or 0.
    int WriteFile(const char* path) const;

    uint32_t frameCount = 1;
    std::vector<AnbPart> parts;
    // Frames 1 to F - 1, each holding the vertices of all parts in part
    // order; written as given.
    std::vector<std::vector<AnbVertex>> laterFrames;
};
