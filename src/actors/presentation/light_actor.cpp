#include "actors/presentation/light_actor.h"

#include <cstdio>
#include <vector>

#include "base/file_system.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/class_descriptor.h"
#include "core/actors/command_ids.h"
#include "core/actors/scheduled_command.h"
#include "library/library_item.h"
#include "library/render/render_front_end.h"
#include "library/resource_library.h"

namespace {


constexpr uint32_t kFadeFlags = 0xD00;            // interpolated, tag 0, not saved
constexpr uint32_t kDeactivateFlags = 0x1200;     // once, saved with the light
constexpr float kFadeTime = 0.4f;
constexpr float kFadeStep = 1.0f / 30.0f;
constexpr float kDeactivateDelay = 0.6f;
constexpr uint32_t kCodeOfFirstLerpCommand = 4; // bytes: the progress, then the command

// clang-format off
const BasicSheetRow kSheet[] = {
    {"Light Properties", PropertyKind::PageTitle, 0, 0},
    {"Type:|Point|0|Spot|1|Directional|2|", PropertyKind::Enumeration, cmd::light::SetLightType, cmd::light::GetLightType},
    {"Light Active:", PropertyKind::CheckBox, cmd::light::SetLightActive, cmd::light::GetLightActive},
    {"Diffuse:", PropertyKind::Color, cmd::light::SetDiffuseColor, cmd::light::GetDiffuseColor},
    {"Ambient:", PropertyKind::Color, cmd::light::SetAmbientColor, cmd::light::GetAmbientColor},
    {"Range:", PropertyKind::Real, cmd::base::SetRadius, cmd::base::GetRadius},
    {"", static_cast<PropertyKind>(43), 0, 0},
    {"Cone Min:|0.1|", PropertyKind::Real, cmd::light::SetTheta, cmd::light::GetTheta},
    {"Cone Max:|0.1|", PropertyKind::Real, cmd::light::SetPhi, cmd::light::GetPhi},
    {"Cone Falloff:|0.1|", PropertyKind::Real, cmd::light::SetFalloff, cmd::light::GetFalloff},
    {"Light Effect Properties", PropertyKind::PageTitle, 0, 0},
};
// clang-format on

gfx::ColorValue ReadColor(ParamBlock block) {
    gfx::ColorValue c;
    c.r = block.ReadF32(0);
    c.g = block.ReadF32(4);
    c.b = block.ReadF32(8);
    c.a = block.ReadF32(12);
    return c;
}

void WriteColor(ParamBlock block, const gfx::ColorValue &c) {
    block.Write(0, c.r);
    block.Write(4, c.g);
    block.Write(8, c.b);
    block.Write(12, c.a);
}

// The colours and the spot light's shape: a set stores the value, hands it
// to the device light and marks the light dirty; a get answers it.
struct ColorCommand {
    uint32_t set, get;
    gfx::ColorValue LightActor::*field;
    void (*send)(LightItem *light, const gfx::ColorValue &color);
};
const ColorCommand kColors[] = {
    {cmd::light::SetDiffuseColor, cmd::light::GetDiffuseColor, &LightActor::diffuse,
     &SetLightDiffuse},
    {cmd::light::SetAmbientColor, cmd::light::GetAmbientColor, &LightActor::ambient,
     &SetLightAmbient},
    {cmd::light::SetSpecularColor, cmd::light::GetSpecularColor, &LightActor::specular,
     &SetLightSpecular},
};
struct SpotCommand {
    uint32_t set, get;
    float LightActor::*field;
    void (*send)(LightItem *light, float value);
};
const SpotCommand kSpotShape[] = {
    {cmd::light::SetFalloff, cmd::light::GetFalloff, &LightActor::falloff, &SetLightFalloff},
    {cmd::light::SetTheta, cmd::light::GetTheta, &LightActor::theta, &SetLightTheta},
    {cmd::light::SetPhi, cmd::light::GetPhi, &LightActor::phi, &SetLightPhi},
};

// Serves a command of the tables; false only where the handler answers 0
// at once (the spot shape of a light that is not a spot).
bool ServeDeviceField(LightActor &light, uint32_t commandId, ParamBlock block) {
    for (const ColorCommand &c : kColors) {
        if (commandId == c.set) {
            light.*c.field = ReadColor(block);
            c.send(light.deviceLight, light.*c.field);
            light.dirty = 1;
        } else if (commandId == c.get) {
            WriteColor(block, light.*c.field);
        }
    }
    for (const SpotCommand &c : kSpotShape) {
        if (commandId == c.set) {
            light.*c.field = block.ReadF32(0);
            c.send(light.deviceLight, light.*c.field);
            light.dirty = 1;
        } else if (commandId == c.get) {
            block.Write(0, light.*c.field);
            return light.lightType == kLightSpot;
        }
    }
    return true;
}

gfx::ColorValue Scaled(const gfx::ColorValue &c, float v) {
    gfx::ColorValue out;
    out.r = c.r * v;
    out.g = c.g * v;
    out.b = c.b * v;
    out.a = c.a * v;
    return out;
}

gfx::ColorValue Lerp(const gfx::ColorValue &a, const gfx::ColorValue &b, float t) {
    gfx::ColorValue out;
    out.r = a.r + (b.r - a.r) * t;
    out.g = a.g + (b.g - a.g) * t;
    out.b = a.b + (b.b - a.b) * t;
    out.a = a.a + (b.a - a.a) * t;
    return out;
}

void SerializeColor(Archive &archive, gfx::ColorValue *c) {
    for (float *v : {&c->r, &c->g, &c->b, &c->a}) {
        archive.SerializeFloat(v);
    }
}

Vector3 Row(const Matrix &m, int row) { return {m.m[row][0], m.m[row][1], m.m[row][2]}; }

} // namespace

LightActor::LightActor() {
    classId = kLightClassId;
    state |= kActorEnabled;
}

LightActor::~LightActor() {
    if (deviceLight != nullptr) {
        if (ResourceLibrary *library = GetLibrary()) {
            library->DestroyLight(deviceLight);
        }
        deviceLight = nullptr;
    }
}

void LightActor::RegisterClass() {
    RegisterBasicClassSheet(kLightClassId, kSheet);
}

void LightActor::AttenuationFromValues() {
    attenuation0 = attenuationOffset;
    attenuation1Scaled = attenuationStrength * attenuationStyle;
    attenuation2Scaled = (1.0f - attenuationStyle) * attenuationStrength;
}

void LightActor::ValuesFromAttenuation() {
    attenuationOffset = attenuation0;
    attenuationStrength = attenuation1Scaled + attenuation2Scaled;
    // Without any strength the style is not defined: it keeps its value.
    if (attenuationStrength != 0.0f) {
        attenuationStyle = attenuation1Scaled / attenuationStrength;
    }
}

void LightActor::SendScaledAttenuation() {
    // At range 0 the terms are not defined; the device gets 0.0 for both.
    if (range == 0.0f) {
        SetLightAttenuation1(deviceLight, 0.0f);
        SetLightAttenuation2(deviceLight, 0.0f);
        return;
    }
    SetLightAttenuation1(deviceLight, attenuation1Scaled / range);
    SetLightAttenuation2(deviceLight, attenuation2Scaled / (range * range));
}

void LightActor::SendColors(const gfx::ColorValue colors[3]) {
    SetLightDiffuse(deviceLight, colors[0]);
    SetLightSpecular(deviceLight, colors[1]);
    SetLightAmbient(deviceLight, colors[2]);
}

void LightActor::ApplyToDevice() {
    SetLightType(deviceLight, lightType);
    const gfx::ColorValue colors[3] = {diffuse, specular, ambient};
    SendColors(colors);
    if ((flags & kActorWorldMatrixValid) == 0) {
        UpdateWorldMatrix();
    }
    SetLightPosition(deviceLight, Row(worldMatrix, 3));
    SetLightDirection(deviceLight, Row(worldMatrix, 2));
    SetLightRange(deviceLight, range);
    SetLightAttenuation0(deviceLight, attenuation0);
    SendScaledAttenuation();
    SetLightFalloff(deviceLight, falloff);
    SetLightTheta(deviceLight, theta);
    SetLightPhi(deviceLight, phi);
    ApplyLight(deviceLight);
}

void LightActor::ReadFromDevice() {
    lightType = GetLightType(deviceLight);
    diffuse = GetLightDiffuse(deviceLight);
    specular = GetLightSpecular(deviceLight);
    ambient = GetLightAmbient(deviceLight);
    range = GetLightRange(deviceLight);
    falloff = GetLightFalloff(deviceLight);
    theta = GetLightTheta(deviceLight);
    phi = GetLightPhi(deviceLight);
}

void LightActor::SetOn(bool on) {
    if (on) {
        state |= kActorEnabled;
    } else {
        state &= ~kActorEnabled;
    }
    if (ResourceLibrary *library = GetLibrary()) {
        library->EnableLight(deviceLight, on);
    }
}

void LightActor::StartFade() {
    CancelScheduledCommands(cmd::light::LightFade);
    CancelScheduledCommands(cmd::light::LightDeactivate);
    // A fade still running would go on over the new colours: it goes too.
    std::vector<ScheduledCommand *> running;
    for (ScheduledCommand *entry : scheduledCommands) {
        if (entry->command == cmd::base::CommandLerp && entry->tag == 0 &&
            entry->Block().ReadU32(kCodeOfFirstLerpCommand) == cmd::light::LightFade) {
            running.push_back(entry);
        }
    }
    for (ScheduledCommand *entry : running) {
        ActorSystem::CancelScheduledCommand(entry);
    }
    ScheduleLerp(cmd::light::LightFade, 0.0f, 1.0f, kFadeFlags, kFadeTime, kFadeStep);
}

int LightActor::Create(ParamBlock block) {
    Actor *sourceActor = block.ReadActor(0);
    auto *source = dynamic_cast<LightActor *>(sourceActor);
    if (source != nullptr && source != this) {
        CopyFrom(*source);
        deviceLight = source->deviceLight; // dropped again by "Init Copy"
        spare0 = source->spare0;
        lightType = source->lightType;
        diffuse = source->diffuse;
        specular = source->specular;
        ambient = source->ambient;
        for (int i = 0; i < 3; ++i) {
            fadeFrom[i] = source->fadeFrom[i];
            fadeTo[i] = source->fadeTo[i];
            fadeCurrent[i] = source->fadeCurrent[i];
            spare1[i] = source->spare1[i];
        }
        range = source->range;
        spare2 = source->spare2;
        falloff = source->falloff;
        theta = source->theta;
        phi = source->phi;
        dirty = source->dirty;
        attenuation0 = source->attenuation0;
        attenuation1Scaled = source->attenuation1Scaled;
        attenuation2Scaled = source->attenuation2Scaled;
        attenuationOffset = source->attenuationOffset;
        attenuationStrength = source->attenuationStrength;
        attenuationStyle = source->attenuationStyle;
        return 1;
    }
    if (sourceActor == nullptr) {
        ResourceLibrary *library = GetLibrary();
        if (deviceLight == nullptr && library != nullptr) {
            deviceLight = library->CreateLight();
        }
        ReadFromDevice();
        SetOn(true);
        ApplyLight(deviceLight);
    }
    return 1;
}

int LightActor::HandleCommand(uint32_t commandId, ParamBlock block) {
    switch (commandId) {
    case cmd::light::SetLightType:
        lightType = block.ReadU32(0) + 1;
        SetLightType(deviceLight, lightType);
        dirty = 1;
        break;
    case cmd::light::GetLightType:
        block.WriteU32(0, lightType - 1);
        break;
    case cmd::light::SetLightActive: {
        const bool on = (block.ReadU32(0) & 1) != 0;
        SetOn(on);
        if (on) {
            ApplyToDevice();
        }
        break;
    }
    case cmd::light::GetLightActive:
        block.WriteU32(0, IsOn() ? 1 : 0);
        break;
    case cmd::light::SetAttenuationOffset:
        attenuationOffset = block.ReadF32(0);
        AttenuationFromValues();
        SetLightAttenuation0(deviceLight, attenuation0);
        dirty = 1;
        break;
    case cmd::light::GetAttenuationOffset:
        ValuesFromAttenuation();
        block.Write(0, attenuationOffset);
        break;
    case cmd::light::SetAttenuationStrength:
        attenuationStrength = block.ReadF32(0);
        AttenuationFromValues();
        SendScaledAttenuation();
        dirty = 1;
        break;
    case cmd::light::GetAttenuationStrength:
        ValuesFromAttenuation();
        block.Write(0, attenuationStrength);
        break;
    case cmd::light::SetAttenuationStyle:
        attenuationStyle = block.ReadF32(0);
        AttenuationFromValues();
        SendScaledAttenuation();
        dirty = 1;
        break;
    case cmd::light::GetAttenuationStyle:
        ValuesFromAttenuation();
        block.Write(0, attenuationStyle);
        break;
    case cmd::light::LightFade:
        if (IsOn()) {
            const float t = block.ReadF32(0);
            for (int i = 0; i < 3; ++i) {
                fadeCurrent[i] = Lerp(fadeFrom[i], fadeTo[i], t);
            }
            SendColors(fadeCurrent);
            ApplyLight(deviceLight);
        }
        return 1;
    case cmd::light::LightDeactivate:
        if (ResourceLibrary *library = GetLibrary()) {
            library->EnableLight(deviceLight, false);
        }
        break;
    case cmd::base::SetRadius:
        range = block.ReadF32(0);
        SetLightRange(deviceLight, range);
        SetLightAttenuation0(deviceLight, attenuation0);
        SendScaledAttenuation();
        dirty = 1;
        break;
    case cmd::base::GetRadius:
        block.Write(0, range);
        if (lightType == kLightDirectional) {
            return 0;
        }
        break;
    case cmd::base::Start:
    case cmd::base::ActionStart:
        SetOn(true);
        ApplyToDevice();
        break;
    case cmd::base::Stop:
    case cmd::base::ActionStopPost:
        SetOn(false);
        break;
    case cmd::base::ActionStartValue:
    case cmd::base::ActionStopValue:
    case cmd::base::KillValue: {
        if (!IsOn()) {
            return 1;
        }
        const float v = block.ReadF32(0);
        const gfx::ColorValue colors[3] = {Scaled(diffuse, v), Scaled(specular, v),
                                           Scaled(ambient, v)};
        SendColors(colors);
        ApplyLight(deviceLight);
        return 1;
    }
    case cmd::base::OnDrawStart:
        if (IsOn()) {
            StartFade();
            for (int i = 0; i < 3; ++i) {
                fadeFrom[i] = gfx::ColorValue();
            }
            fadeTo[0] = diffuse;
            fadeTo[1] = specular;
            fadeTo[2] = ambient;
            SendColors(fadeFrom);
            ApplyLight(deviceLight);
            if (ResourceLibrary *library = GetLibrary()) {
                library->EnableLight(deviceLight, true);
            }
        }
        break;
    case cmd::base::OnDrawStop:
        if (IsOn()) {
            StartFade();
            for (int i = 0; i < 3; ++i) {
                fadeFrom[i] = fadeCurrent[i];
                fadeTo[i] = gfx::ColorValue();
            }
            ScheduleCommand(cmd::light::LightDeactivate, ParamBlock(), kDeactivateFlags,
                            kDeactivateDelay,
                            0.0f, 0.0f);
        }
        break;
    case cmd::base::InitCopy:
        deviceLight = nullptr;
        break;
    case cmd::base::Precalculate:
        if (deviceLight == nullptr) {
            if (ResourceLibrary *library = GetLibrary()) {
                deviceLight = library->CreateLight();
            }
        }
        ApplyToDevice();
        break;
    case cmd::base::Create:
        Create(block);
        break;
    default:
        if (!ServeDeviceField(*this, commandId, block)) {
            return 0;
        }
        break;
    }
    if (dirty != 0) {
        ApplyLight(deviceLight);
        dirty = 0;
    }
    return Actor::HandleCommand(commandId, block);
}

void LightActor::Process() {
    if (IsOperational()) {
        Actor::Process();
    }
}

void LightActor::Update() {
    if (IsOperational() && IsOn() && (flags & kActorMovedBefore) != 0) {
        if ((flags & kActorWorldMatrixValid) == 0) {
            UpdateWorldMatrix();
        }
        if (lightType != kLightPoint) {
            SetLightDirection(deviceLight, Row(worldMatrix, 2));
        }
        SetLightPosition(deviceLight, Row(worldMatrix, 3));
        ApplyLight(deviceLight);
    }
    Actor::Update();
}

int LightActor::Serialize(Archive &archive, uint32_t mode) {
    if (Actor::Serialize(archive, mode) == 0) {
        return 0;
    }
    const uint32_t version = archive.Version();
    archive.SerializeWord(&lightType);
    SerializeColor(archive, &diffuse);
    SerializeColor(archive, &specular);
    SerializeColor(archive, &ambient);
    archive.SerializeFloat(&range);
    if (version >= 55) {
        archive.SerializeFloat(&attenuation0);
        archive.SerializeFloat(&attenuation1Scaled);
        archive.SerializeFloat(&attenuation2Scaled);
    }
    float legacy = 0.0f;
    archive.SerializeFloat(&legacy);
    if (version < 55 && !archive.IsWriting()) {
        attenuation0 = 1.0f;
        attenuation1Scaled = legacy * range;
        attenuation2Scaled = legacy * range * range * 0.1f;
    }
    archive.SerializeFloat(&falloff);
    archive.SerializeFloat(&theta);
    archive.SerializeFloat(&phi);
    if (version <= 64) {
        uint32_t active = IsOn() ? 1 : 0;
        archive.SerializeWord(&active);
        if (!archive.IsWriting()) {
            state = (state & ~kActorEnabled) | (active != 0 ? kActorEnabled : 0);
        }
    }
    return archive.Failed() ? 0 : 1;
}

void LightActor::DumpClassFields(std::vector<std::string> &lines) const {
    char text[400];
    std::snprintf(text, sizeof(text),
                  "light type %u diffuse %g %g %g %g specular %g %g %g %g ambient %g %g %g %g "
                  "range %g attenuation %g %g %g falloff %g theta %g phi %g",
                  lightType, diffuse.r, diffuse.g, diffuse.b, diffuse.a, specular.r, specular.g,
                  specular.b, specular.a, ambient.r, ambient.g, ambient.b, ambient.a, range,
                  attenuation0, attenuation1Scaled, attenuation2Scaled, falloff, theta, phi);
    lines.push_back(text);
}
