// Fixture of the camera tests: the presentation fixture's world and library
// with a "whiteadd" material added, and helpers that send the camera's
// commands with raw parameter blocks.
#pragma once

#include <cmath>
#include <cstring>
#include <vector>

#include "actors/presentation/camera_actor.h"
#include "core/actors/subsystem_hooks.h"
#include "presentation_fixture.h"

namespace cameratest {

using presentationtest::CommandSpy;

inline constexpr uint32_t kWhiteAddSlot = 40;

class CameraTest : public presentationtest::PresentationTest {
  protected:
    void SetUp() override {
        PresentationTest::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        MaterialItem flash;
        flash.name = "whiteadd";
        LibraryWriter writer(7);
        writer.AddItem(kWhiteAddSlot, flash);
        const std::vector<uint8_t> bytes = writer.WriteToMemory();
        Archive archive;
        archive.OpenMemory(bytes.data(), static_cast<uint32_t>(bytes.size()));
        ASSERT_EQ(library.ReadLibraryArchive(archive, 1), 1) << library.GetLastError();
    }

    CameraActor *MakeCamera(const char *name = "cam", Actor *parent = nullptr) {
        return Make<CameraActor>(kCameraClassId, name, parent);
    }

    // Sends 32-bit words (floats or integers) as the command's block.
    template <class... T> static int Send(Actor *actor, uint32_t commandId, T... values) {
        std::vector<uint8_t> bytes;
        (Append(bytes, values), ...);
        return actor->HandleCommand(commandId, ParamBlock(bytes.data(), bytes.size()));
    }
    static int SendPointer(Actor *actor, uint32_t commandId, Actor *value) {
        return actor->HandleCommand(commandId, ParamBlock(&value, sizeof(value)));
    }
    template <class T> static T Ask(Actor *actor, uint32_t commandId) {
        T value{};
        actor->HandleCommand(commandId, ParamBlock(&value, sizeof(value)));
        return value;
    }

    Vector3 LibraryEye() const {
        const float *p = library.GetCameraPosition();
        return {p[0], p[1], p[2]};
    }
    Vector3 LibraryLook() const {
        const float *p = library.GetCameraTarget();
        return {p[0], p[1], p[2]};
    }

    static bool Finite(const Vector3 &v) {
        return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
    }

  private:
    template <class T> static void Append(std::vector<uint8_t> &bytes, T value) {
        static_assert(sizeof(T) == 4);
        uint8_t word[4];
        std::memcpy(word, &value, 4);
        bytes.insert(bytes.end(), word, word + 4);
    }
};

inline ::testing::AssertionResult Near(const Vector3 &got, const Vector3 &want,
                                       float tolerance = 1e-3f) {
    if (std::fabs(got.x - want.x) <= tolerance && std::fabs(got.y - want.y) <= tolerance &&
        std::fabs(got.z - want.z) <= tolerance) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << "(" << got.x << ", " << got.y << ", " << got.z << ") is not (" << want.x << ", "
           << want.y << ", " << want.z << ")";
}

} // namespace cameratest
