// Plain records shared between the resource library and the graphics device:
// a surface material and a device light. Both keep the 32-bit layout of the
// original device structures word for word (every field is a 4-byte u32 or
// f32), so their sizes and offsets are fixed and checked below. Files never
// copy these structs whole: readers and writers go field by field.
#pragma once

#include <cstddef>
#include <cstdint>

namespace gfx {

// Red, green, blue, alpha; each nominally 0..1.
struct ColorValue {
    float r = 0.0f;
    float g = 0.0f;
    float b = 0.0f;
    float a = 0.0f;
};

struct Vec3 {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
};

// Surface material: four colours and the specular power (68 bytes).
struct Material {
    ColorValue diffuse;
    ColorValue ambient;
    ColorValue specular;
    ColorValue emissive;
    float power = 0.0f;
};

// Light types as the device numbers them.
enum LightType : uint32_t {
    kLightPoint = 1,
    kLightSpot = 2,
    kLightDirectional = 3,
};

// One device light (104 bytes).
struct Light {
    uint32_t type = kLightPoint;
    ColorValue diffuse;
    ColorValue specular;
    ColorValue ambient;
    Vec3 position;
    Vec3 direction;
    float range = 0.0f;
    float falloff = 0.0f;
    float attenuation0 = 0.0f;
    float attenuation1 = 0.0f;
    float attenuation2 = 0.0f;
    float theta = 0.0f;
    float phi = 0.0f;
};

static_assert(sizeof(ColorValue) == 16);
static_assert(sizeof(Vec3) == 12);

static_assert(sizeof(Material) == 68);
static_assert(offsetof(Material, diffuse) == 0);
static_assert(offsetof(Material, ambient) == 16);
static_assert(offsetof(Material, specular) == 32);
static_assert(offsetof(Material, emissive) == 48);
static_assert(offsetof(Material, power) == 64);

static_assert(sizeof(Light) == 104);
static_assert(offsetof(Light, type) == 0);
static_assert(offsetof(Light, diffuse) == 4);
static_assert(offsetof(Light, specular) == 20);
static_assert(offsetof(Light, ambient) == 36);
static_assert(offsetof(Light, position) == 52);
static_assert(offsetof(Light, direction) == 64);
static_assert(offsetof(Light, range) == 76);
static_assert(offsetof(Light, falloff) == 80);
static_assert(offsetof(Light, attenuation0) == 84);
static_assert(offsetof(Light, attenuation1) == 88);
static_assert(offsetof(Light, attenuation2) == 92);
static_assert(offsetof(Light, theta) == 96);
static_assert(offsetof(Light, phi) == 100);

} // namespace gfx
