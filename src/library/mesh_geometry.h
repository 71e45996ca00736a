// Run-time geometry services on mesh items: meshes built from plain arrays
// (particle effects) and rewritten every frame, software skinning with a
// skeleton's bone matrices, frame count and rate, the per-subset collision
// records, and the two narrow-phase queries against a subset: a line
// parallel to an axis (the surface under or over a point) and a sphere
// pushed out of the subset's geometry.
//
// Null meshes get neutral answers and no error. Subset and record indexes
// out of range answer as for a null mesh and store nothing. Triangles with
// an index past the vertex buffer are skipped by the queries.
#pragma once

#include <cstdint>
#include <vector>

#include "base/math.h"
#include "library/mesh_subset.h"

class MeshItem;
struct BoneMatrices;

inline constexpr float kMeshFrameRate = 30.0f;
// Slack added to the radius of bounds taken from a skinned pose.
inline constexpr float kSkinnedBoundsSlack = 50.0f;
// Collision types: a surface with a height test, and triangle boxes merged
// loosest (8) to tightest (13).
inline constexpr uint32_t kCollisionSurface = 4;
inline constexpr uint32_t kCollisionBoxesFirst = 8;
inline constexpr uint32_t kCollisionBoxesLast = 13;
inline constexpr uint32_t kMaxSpherePushPasses = 100;

// Collision data of a type-4 subset: its triangles' corners in the frame of
// the subset's mean normal (that normal is the frame's Y axis).
struct SurfaceCollisionData : SubsetWorkData {
    Vector3 meanNormal = {0.0f, 0.0f, 0.0f};
    Basis inverseBasis = {{{1.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f}, {0.0f, 0.0f, 1.0f}}};
    Basis basis = {{{1.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f}, {0.0f, 0.0f, 1.0f}}};
    std::vector<Vector3> corners; // three per triangle
};

// Collision data of a type 8-13 subset: per-triangle boxes, merged.
struct CollisionBoxList : SubsetWorkData {
    BoxList boxes;
};

// A private mesh (not in the library's table, loaded, unused) with one
// subset "Subset 1". Positions, texture coordinates (two floats a vertex)
// and indices (three a triangle) are required, and normals or colours:
// normals and colours give FVF 0x152 (36 bytes), normals 0x112 (32 bytes),
// colours 0x142 (24 bytes). Its one collision record is type 0, parameter
// 4, third word 0xFFFFFFFF with the box and sphere of the positions. Null on
// failure, with the library's error text "Error - Invalid Param!", "Error
// Vertex Buffer", "Error Index Buffer", "LockIndexBuffer" or
// "LockVertexBuffer".
MeshItem* CreateMeshFromArrays(const Vector3* positions, const Vector3* normals,
                               const uint32_t* colours, const float* uvs,
                               const uint16_t* indices, uint32_t vertexCount,
                               uint32_t triangleCount);

// Rewrites the first subset's vertices in its layout from the arrays given;
// a null array keeps its field. A count other than kKeepCount replaces the
// stored one, up to what the buffers hold.
inline constexpr uint32_t kKeepCount = 0xFFFFFFFFu;
void UpdateMeshVertices(MeshItem* mesh, const Vector3* positions, const Vector3* normals,
                        const uint32_t* colours, const float* uvs, uint32_t vertexCount,
                        uint32_t triangleCount);

// Skins every subset of a skinned mesh (loaded first when needed) from its
// skin records into its 32-byte vertices: position and normal, bytes 24-31
// untouched, normals not renormalised. A vertex naming a bone past the
// matrices is left as it is; null matrices do nothing. Then each subset's
// record takes the given sphere, or, once, the bounds of the first pose
// with kSkinnedBoundsSlack added to the radius.
void SkinMeshVertices(MeshItem* mesh, const BoneMatrices* matrices, uint32_t unused,
                      const float* sphere);

// Frees every subset's collision data, then deletes the item when it is a
// private one (unused and not in its table slot). Null is ignored.
void ReleaseMesh(MeshItem* mesh);

float GetMeshFrameRate(const MeshItem* mesh);
// The first subset's frame count, else the item's own; 0 for null. Does
// not load the item.
uint32_t GetMeshFrameCount(const MeshItem* mesh);

uint32_t GetSubsetCollisionCount(const MeshItem* mesh);
uint32_t GetSubsetCollisionType(const MeshItem* mesh, uint32_t i);
// The record's parameter (the subset's material slot); 4 without a record.
uint32_t GetSubsetCollisionParam(const MeshItem* mesh, uint32_t i);
// Sphere: centre x, y, z and radius.
void GetSubsetCollisionVector(float out[4], const MeshItem* mesh, uint32_t i);
void SetSubsetCollisionVector(MeshItem* mesh, uint32_t i, const float sphere[4]);
void GetSubsetCollisionExtents(AABox* out, const MeshItem* mesh, uint32_t i);

// The line through the point parallel to the height axis (axis code 0: Y,
// 1: X, 2 or 3: Z) against the subset's triangles of one winding (subset
// kKeepCount means 0). The hinted triangle is tried first; otherwise the
// first triangle that passes wins and its index goes to the hint. On a hit
// outPoint is the point moved to the surface height and outNormal the third
// corner's normal (the face normal when the format has none). 1 on a hit.
int IntersectRayWithMesh(MeshItem* mesh, uint32_t subset, uint32_t axisCode, const Vector3& point,
                         Vector3* outPoint, Vector3* outNormal, uint32_t* hint);

// Makes the subset's collision data from its vertices as they are now, by
// the type of its record; the old data goes first.
void BuildSubsetCollisionData(MeshItem* mesh, uint32_t subset);
void FreeSubsetCollisionData(MeshItem* mesh, uint32_t subset);
// The collision data a subset holds, or null.
const SurfaceCollisionData* GetSurfaceCollisionData(const MeshItem* mesh, uint32_t subset);
const CollisionBoxList* GetCollisionBoxList(const MeshItem* mesh, uint32_t subset);

// Pushes a sphere out of the subset's geometry (its collision data is built
// on first use). On contact answers 1 with out pointing from the sphere into
// the geometry (move the sphere by its negation); else 0 and out zero.
int IntersectSphereWithMesh(MeshItem* mesh, uint32_t subset, const Vector3& centre, float radius,
                            Vector3* out, Vector3* outPoint);
