// Test registrations copied from real rows of the command table, plus a
// fake actor-path resolver.
#pragma once

#include <map>
#include <string>

#include "core/actors/command_registry.h"
#include "core/actors/param_convert.h"

namespace fixture {

// Test-only ids, beyond every real one.
inline constexpr uint32_t kStringThenU32 = 1900; // (String, UInt32)
inline constexpr uint32_t kAllFloats = 1901;     // Int32, Bool, V2, V4, M, Q, PL, BX, CL, S128
inline constexpr uint32_t kDataTypes = 1902;     // D, D16, D32, CO, SC, P

inline void RegisterCommands() {
    using P = ParamType;
    ResetCommandRegistry();
    FillParamTypeTable();
    RegisterCommand(0, "Unknown", "", 0, 1);
    RegisterCommand(32, "Set Name", "", 0, 6, {P::String});
    RegisterCommand(33, "Get Name", "", 0, 0, {P::String});
    RegisterCommand(57, "TimerCommand", "", 0, 2, {P::Real, P::Command});
    RegisterCommand(63, "Set Position", "", 0, 2, {P::Vector3});
    RegisterCommand(97, "Recursive Command", "", 0, 0, {P::Command});
    RegisterCommand(141, "AddForceInDirectionOf", "", 0, 18,
                    {{P::ActorPointer, "Actor"},
                     {P::Real, "Strength"},
                     {P::Real, "StrengthRand"},
                     {P::Real, "AnlgeRand"}});
    RegisterCommand(349, "Copy Value", "", 0, 18,
                    {{P::CommandID, "SetCommand"}, {P::ActorPointer, "Source"}, {P::CommandID, "GetCommand"}});
    RegisterCommand(863, "Character Is Neutral", "", 16, 2, {P::Bool});
    RegisterCommand(864, "Character Is Neutral", "", 16, 2, {P::Bool});
    RegisterCommand(1066, "On Jump Start", "", 16, 1);
    RegisterCommand(1068, "On Jump Start", "", 16, 1);
    RegisterCommand(1120, "Get Bone", "", 17, 0, {P::StringPtr, P::Pointer});
    RegisterCommand(1226, "Set CameraTarget1", "", 19, 0, {P::ActorPointerExt});
    RegisterCommand(1754, "Set AimTarget", "", 42, 2, {P::ActorPointerExt});
    RegisterCommand(1765, "Set Lod Level Count", "", 46, 1);
    RegisterCommand(kStringThenU32, "Test String Count", "", 0, 0, {P::String, P::UInt32});
    RegisterCommand(kAllFloats, "Test Values", "", 0, 0,
                    {P::Int32, P::Bool, P::Vector2, P::Vector4, P::Matrix, P::Quaternion, P::Plane,
                     P::Box, P::Color, P::String128});
    RegisterCommand(kDataTypes, "Test Data", "", 0, 0,
                    {P::DataWithSizeheader, P::DataNullterminated16, P::DataNullterminated32,
                     P::ColObjPointer, P::ScriptPointer, P::Pointer});
    FinishCommandRegistration();
}

// Actors are opaque here: the converter never looks inside one.
inline Actor* FakeActor(int n) {
    static char storage[8];
    return reinterpret_cast<Actor*>(&storage[n]);
}

// Actors at absolute paths; relative paths by common prefix.
class FakeResolver : public ActorPathResolver {
public:
    void Place(Actor* a, const std::string& path) { paths_[a] = path; }

    mutable int nullActorCalls = 0;

    // Every placed actor has the same parent: a path is absolute or "../X";
    // "/.." (the parent of the root) names nothing.
    Actor* FindActorByPath(std::string_view path, Actor* context) const override {
        if (path.empty())
            return context;
        std::string abs(path);
        auto c = paths_.find(context);
        if (abs.rfind("../", 0) == 0 && c != paths_.end())
            abs = c->second.substr(0, c->second.rfind('/') + 1) + abs.substr(3);
        for (const auto& [actor, p] : paths_) {
            if (p == abs)
                return actor;
        }
        return nullptr;
    }

    std::string ActorRelativePath(Actor* actor, Actor* context) const override {
        if (!actor)
            ++nullActorCalls;
        if (actor == context)
            return "";
        auto a = paths_.find(actor);
        auto c = paths_.find(context);
        if (a == paths_.end())
            return "/..";
        if (c == paths_.end())
            return a->second;
        // Both at "/Scenery/X" in these tests: siblings.
        std::string parentA = a->second.substr(0, a->second.rfind('/'));
        std::string parentC = c->second.substr(0, c->second.rfind('/'));
        if (parentA == parentC)
            return "../" + a->second.substr(a->second.rfind('/') + 1);
        return a->second;
    }

private:
    std::map<Actor*, std::string> paths_;
};

} // namespace fixture
