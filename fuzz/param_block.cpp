// Reads arbitrary bytes as a stored (portable) parameter block, converts it to
// the in-memory layout and back, and checks that a second round trip gives
// the same bytes. Also interpolates the in-memory block with itself.
//
// Input: one byte choosing a command of the test table below, then the block.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/actors/command_registry.h"
#include "core/actors/param_convert.h"

namespace {

using P = ParamType;

// Test commands: every type alone (ids 1001-1025), then mixtures and nesting.
constexpr uint32_t kAllTypes = 1100;
const uint32_t kCommands[] = {1001, 1002, 1003, 1004, 1005, 1006, 1007, 1008, 1009, 1010, 1011,
                              1012, 1013, 1014, 1015, 1016, 1017, 1018, 1019, 1020, 1021, 1022,
                              1023, 1024, 1025, 57,   62,   97,   141,  349,  1754, kAllTypes,
                              1101, 1102, 63,   1120};

void RegisterTestTable() {
    ResetCommandRegistry();
    FillParamTypeTable();
    for (uint32_t t = P::kFirstDefined; t <= P::kLastDefined; ++t)
        RegisterCommand(1000 + t, "Type " + std::to_string(t), "", 0, 0, {t});
    RegisterCommand(57, "TimerCommand", "", 0, 2, {P::Real, P::Command});
    RegisterCommand(62, "If_Else_Command", "", 0, 2,
                    {P::ActorPointer, P::CommandID, P::ActorPointer, P::Command, P::ActorPointer, P::Command});
    RegisterCommand(63, "Set Position", "", 0, 2, {P::Vector3});
    RegisterCommand(97, "Recursive Command", "", 0, 0, {P::Command});
    RegisterCommand(141, "AddForceInDirectionOf", "", 0, 18,
                    {{P::ActorPointer, "Actor"}, {P::Real, "Strength"}, {P::Real, "StrengthRand"},
                     {P::Real, "AnlgeRand"}});
    RegisterCommand(349, "Copy Value", "", 0, 18,
                    {{P::CommandID, "SetCommand"}, {P::ActorPointer, "Source"}, {P::CommandID, "GetCommand"}});
    RegisterCommand(1120, "Get Bone", "", 17, 0, {P::StringPtr, P::Pointer});
    RegisterCommand(1754, "Set AimTarget", "", 42, 2, {P::ActorPointerExt});
    std::vector<ParamSpec> all;
    for (uint32_t t = P::kFirstDefined; t <= P::kLastDefined; ++t)
        all.emplace_back(t);
    RegisterCommand(kAllTypes, "All Types", "", 0, 0, all);
    RegisterCommand(1101, "Text Then Word", "", 0, 0, {P::String, P::UInt32});
    RegisterCommand(1102, "Mixed", "", 0, 0,
                    {P::Command, P::ActorPointerExt, P::DataWithSizeheader, P::Command, P::String,
                     P::DataNullterminated16, P::DataNullterminated32, P::ActorPointer});
    FinishCommandRegistration();
}

// Four actors at fixed absolute paths; actors are opaque tokens here.
char gActors[4];
const char* const kPaths[4] = {"/Scenery/A", "/Scenery/B", "/Scenery", "/"};

class TestResolver : public ActorPathResolver {
public:
    Actor* FindActorByPath(std::string_view path, Actor* context) const override {
        if (path.empty())
            return context;
        std::string abs = path[0] == '/' ? std::string(path) : std::string(PathOf(context)) + "/" + std::string(path);
        std::vector<std::string> parts;
        size_t i = 0;
        while (i <= abs.size()) {
            size_t j = abs.find('/', i);
            if (j == std::string::npos)
                j = abs.size();
            std::string seg = abs.substr(i, j - i);
            if (seg == "..") {
                if (parts.empty())
                    return nullptr;
                parts.pop_back();
            } else if (!seg.empty() && seg != ".") {
                parts.push_back(seg);
            }
            i = j + 1;
        }
        std::string norm;
        for (const auto& s : parts)
            norm += "/" + s;
        if (norm.empty())
            norm = "/";
        for (int k = 0; k < 4; ++k) {
            if (norm == kPaths[k])
                return reinterpret_cast<Actor*>(&gActors[k]);
        }
        return nullptr;
    }

    std::string ActorRelativePath(Actor* actor, Actor* context) const override {
        if (actor == context)
            return "";
        return PathOf(actor);
    }

private:
    static const char* PathOf(Actor* a) {
        for (int k = 0; k < 4; ++k) {
            if (a == reinterpret_cast<Actor*>(&gActors[k]))
                return kPaths[k];
        }
        std::abort(); // only our own actors ever come back from reading
    }
};

TestResolver gResolver;

bool Setup() {
    RegisterTestTable();
    InstallActorPathResolver(&gResolver);
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool ready = Setup();
    (void)ready;
    if (size == 0)
        return 0;
    uint32_t command = kCommands[data[0] % (sizeof kCommands / sizeof kCommands[0])];
    // The block on the heap with its exact size, so any overrun is caught.
    std::vector<uint8_t> input(data + 1, data + size);
    auto* context = reinterpret_cast<Actor*>(&gActors[0]);

    ParamBlockResult native1;
    if (!ParamBlockFromPortable(context, &native1, command, ParamBlock::ReadOnly(input.data(), input.size())))
        return 0;
    std::vector<uint8_t> n1 = native1.ToVector();
    ParamBlockResult portable1;
    if (!ParamBlockToPortable(context, &portable1, command, ParamBlock::ReadOnly(n1.data(), n1.size()))) {
        std::fprintf(stderr, "writing refused a block that reading accepted\n");
        std::abort();
    }
    std::vector<uint8_t> p1 = portable1.ToVector();

    ParamBlockResult native2;
    ParamBlockResult portable2;
    if (!ParamBlockFromPortable(context, &native2, command, ParamBlock::ReadOnly(p1.data(), p1.size())) ||
        !ParamBlockToPortable(context, &portable2, command, native2.view())) {
        std::fprintf(stderr, "second round trip refused\n");
        std::abort();
    }
    if (portable2.ToVector() != p1) {
        std::fprintf(stderr, "second round trip changed the block\n");
        std::abort();
    }

    float t = 0.5f;
    if (input.size() >= 4)
        std::memcpy(&t, input.data(), 4);
    ParamBlockResult mixed;
    InterpolateCommandParams(&mixed, t, command, ParamBlock::ReadOnly(n1.data(), n1.size()), native2.view());
    return 0;
}
