// Mesh items: loading their geometry from mesh files, and the bounds of
// their subsets.
//
// A mesh item's data file is chosen by extension (any case): ".qvm" is the
// engine's mesh format (subsets, and for skinned meshes bones and skin
// records), ".anb" a vertex-animated mesh (library/anb_mesh.h), ".x" is
// accepted and gives no geometry.
//
// ".qvm", little-endian; a text is a u32 length and its characters:
//   version u32, mesh kind u32 (1 = skinned)
//   kind 1: bone count b u32, 2 reserved u32, b bone records:
//           name text, parent u32 (0xFFFFFFFF = root), offset matrix
//           16 x f32, 2 reserved u32
//   9 reserved u32, subset count s u32, s subset records:
//           name text, subset word u32, 2 reserved u32, FVF u32, vertex
//           size u32, frame count F u32, triangle count t u32, vertex count
//           v u32, t x 3 u16 indices, vertex size x F x v bytes of vertices,
//           and for version 2 or later of kind 1 v x 56 bytes of skin
//           records. Skinned files of versions 0 and 1 carry the skin
//           records of their first subset in the vertex data of the second.
//
// Files are checked before anything is made from them: a file cut short,
// counts beyond the bytes left, an FVF the device does not know, vertices
// shorter than their format or than a position, a frame count of 0 with
// vertices, indices past the vertex count, skin records naming missing
// bones and parents outside the bone list fail with "Corrupt file: <path>".
#pragma once

#include <cstdint>

#include "base/math.h"

class Archive;
class MeshItem;
class ResourceLibrary;
namespace gfx {
class Device;
} // namespace gfx

// Smallest sizes of the ".qvm" records.
inline constexpr uint64_t kQvmBoneRecordBytes = 80;
inline constexpr uint64_t kQvmSubsetRecordBytes = 36;
// A bone parent word for "no parent".
inline constexpr uint32_t kQvmNoParent = 0xFFFFFFFFu;
// The vertex format of ".anb" subsets: position, normal, one (u, v).
inline constexpr uint32_t kAnimatedMeshFvf = 0x112;
inline constexpr uint32_t kAnimatedMeshStride = 32;

// Puts the mesh Load and Release into the library's loader table.
//
// Load (idempotent) marks the item loaded, loads its mesh file and, on
// failure, clears the mark and answers 0. Then each subset's settings
// record gets fixed culling bounds for a skinned mesh (box -200..200,
// sphere radius and outer radius 250), or the subset's own bounds, in
// which case a second texture the record names is marked used and loaded.
// Release marks used and releases every second texture named, destroys
// subsets and bones and clears loaded. Second textures that are not
// texture items of the table are skipped.
void RegisterMeshLoader();

// The MeshItem Load step: reads the data file chosen by extension and sizes
// the settings records to the subsets (new ones take the defaults). 1, or 0
// with the library's error text set: "Error: Load Mesh From File" (null
// item), "Error Unsupported format", the ".qvm" reader's texts, or the
// graphics error text of a failed ".anb" read.
int LoadMeshFromFile(ResourceLibrary* library, MeshItem* item);

// Reads a ".qvm" file into the item: its mesh kind, bones (replacing the
// old ones) and subsets, with bounds. 1, or 0 with the error text "Error
// Can't Load Mesh" (null item), "Error Opening File: <path>", "Corrupt file:
// <path>", "Error Creating Index Buffer", "Error Creating Vertex Buffer",
// "LockIndexBuffer" or "LockVertexBuffer". After a failure the subsets read
// so far stay with the item.
int ReadQvmMesh(ResourceLibrary* library, MeshItem* item, const char* path);

// The same from an archive open for reading, making buffers on the given
// device (none: buffers can't be made); `path` names the file in messages.
int ReadQvmMeshFrom(ResourceLibrary& library, MeshItem& item, Archive& file, const char* path,
                    gfx::Device* device);

// Box of the subset's vertices (every frame), each position carried through
// the matrix (null: the identity). Loads the item first when it is not
// loaded. A mesh without subsets gives record `subset`'s box through the
// matrix. All zeros for a null mesh, a subset or record index out of range,
// a subset without vertices, or a vertex buffer that does not lock.
void ComputeVertexBounds(AABox* out, MeshItem* mesh, uint32_t subset, const Matrix* matrix);

// Centre (x, y, z) and radius of the sphere around the subset's box.
void ComputeBoundingSphere(float out[4], MeshItem* mesh, uint32_t subset);

// The sphere around a box: its centre and half the box's diagonal.
void SphereOfBox(const AABox& box, Vector3* centre, float* radius);

// Sets the subset's box, sphere and outer radius from its vertices, without
// loading the item.
void UpdateSubsetBounds(MeshItem& item, uint32_t subset);
