// The presentation actors of the sample's actor files: the root Environment
// of the globals files and the meshes of the level's rooms. They are made in
// the actor world on the library that mksample wrote, read back first.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class SampleOutput;

// Reads the written library (records only) into the library of the actor
// world. False when it does not read.
bool UseSampleLibrary(SampleOutput& out, const std::vector<uint8_t>& library);

// The root "Environment" (id 14 under "Global"), which "Open File" on
// "Global" replaces by the one of the file: grey ambient light and a blue
// fog from 500 to 3000.
bool AddSampleEnvironment(SampleOutput& out, const std::string& file);

// In the rooms "RoomA", "RoomB" and "RoomC" below "Scenery": a floor
// covering each room and a crate standing in each; in RoomA a UVAnimation
// "UVHolder" with a crate "CrateUV" and a Reference "RefA" to CrateA. Ids
// from `next` on.
bool AddRoomMeshes(SampleOutput& out, const std::string& file, int32_t& next);

// In RoomA, in view of "GA29_Cam": the SkinObject "Figure" on the worm
// mesh with the motion list "N_Neutral", its bone actors made below
// "Bones" and a crate "Hat" on "Bones/Head"; the Animation "Rig" playing
// "N_Neutral" in a loop from the start of the game on its crates "Head" and
// "Spine1". Ids from `next` on.
bool AddSkinFigures(SampleOutput& out, const std::string& file, int32_t& next);

// In RoomA, in view of "GA29_Cam": the point Light "GA30_Lamp" (white, range
// 300), two "sphere" meshes side by side at the same distance from the
// camera, "LitNear" 80 units from the lamp (the lamp on its camera side) and
// "LitFar" beyond the lamp's range; the looping 3D Sound "Hum" ("hum3d",
// played on "On Draw Start") 150 units in front of the camera; the Ambient
// Sound "Ambience", whose "Start Game" script loops "beep" on channel 1 with
// a fade-in of 0.5 s; the Light Sensor "Eye"; the looping Timer "Flicker",
// which switches the lamp off at 2.6 s and on at 2.8 s of every 3 s. Ids from 3050 (or `next`,
// when higher) on; `next` is left after them.
bool AddLightsAndSounds(SampleOutput& out, const std::string& file, int32_t& next);
// The id of the Particle System "Campfire" (its own block of the level's
// ids, apart from the numbered run of the other actors).
inline constexpr int32_t kCampfireId = 3070;

// In RoomA, in front of "GA29_Cam": the Particle System "Campfire" of type
// 0 "Fire" drawn with the material "ParticleAdd", scaled 2, standing on the
// floor; "MeshSync Collision" off, so it has no collision object.
bool AddCampfire(SampleOutput& out, const std::string& file);
