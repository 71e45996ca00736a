// The Player actor (class 9): the local user's hands on a Character. Every
// frame it reads the action map and a few raw keys and turns them into the
// Character's input, look and movement commands (the main scheme for the
// FirstPerson, ThirdPerson and ThirdPersonShooter types, the console scheme
// for type 5), runs the time-scale effect, starts and stops the key actors
// under "/Global/Inventory/" and quits the engine on Esc when the game has
// no Esc key actor of its own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/actors/actor.h"
#include "core/actors/command_ids.h"

// The values every Player shares, kept for the whole run: the mouse
// settings, the time scale with its blend value, release and freeze timers,
// the console scheme's heading with its two parts, and whether the "pow2"
// key actor was started.
struct PlayerInputSettings {
    uint32_t mouseInverted = 1;
    float mouseSensitivity = 1.0f;
    float timeScale = 1.0f;
    float blend = 0.5f;
    float sinceRelease = 10.0f;
    float freezeTimer = 0.0f;
    uint32_t freezing = 0;
    float consoleHeading = 0.0f;
    float cameraHeading = 0.0f;
    float stickHeading = 0.0f;
    uint32_t pow2Started = 0;
};
extern PlayerInputSettings PlayerInput;

// Puts the time scale back as a new Player finds it: scale 1.0, blend 0.5,
// release timer 10.0, no freeze, and the root time record's multipliers at
// 1.0 (its delta and time stay as they are). The mouse settings stay.
void ResetPlayerTimeScale();
// Every shared value back to its start value (a new world).
void ResetPlayerInputSettings();

class PlayerActor : public Actor {
  public:
    PlayerActor();
    ~PlayerActor() override;

    static void RegisterClass();

    int HandleCommand(uint32_t commandId, ParamBlock block) override;
    // The base record, then (version 1 on) the type, the character's type,
    // the control set and the character's path from the Player. 0 when the
    // archive failed.
    int Serialize(Archive &archive, uint32_t mode) override;
    void Process() override;
    void DumpClassFields(std::vector<std::string> &lines) const override;

    uint32_t playerType = 0;
    uint32_t characterTypeCopy = 0;
    uint32_t playerHost = 0;
    uint32_t controllerSet = 0;
    // The character driven; cleared when it goes away.
    ActorLink controlledCharacter{this};
    std::string characterPath;
    // Seconds this Player has run; not saved.
    float runTime = 0.0f;

  private:
    // Whether the run and crouch actions were held when PostureKeys last
    // read them. Not saved and not copied: a new Player starts with neither.
    bool runHeld_ = false;
    bool crouchHeld_ = false;

    void SetCharacter(Actor *character);
    void MainScheme();
    void ConsoleScheme();
    void PostureKeys();
    void FireKeys(bool frontEndVisible);
    void DebugChord();
    void TimeScale();
    void KeyActors();
    void EscKey();
    char CharacterPosture() const;
};
