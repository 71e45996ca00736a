// Feeds arbitrary pairs of collision objects (kinds 0 to 13, any flags,
// masks, shapes, poses and velocities) to the narrow phase, and arbitrary
// rays to the ray query, over two actors whose mesh kinds use a small test
// mesh. Checks that every push, normal and hit point is finite when the
// input is finite and of sane size.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "../tests/support/fake_display.h"
#include "actors/world/collision.h"
#include "app/class_list.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "library/library_item.h"
#include "library/mesh_geometry.h"
#include "library/resource_library.h"
#include "platform/graphics.h"

namespace {

class Reader {
  public:
    Reader(const uint8_t *data, size_t size) : data_(data), size_(size) {}
    uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    uint32_t Word() {
        uint32_t w = 0;
        for (int i = 0; i < 4; ++i) {
            w |= static_cast<uint32_t>(Byte()) << (8 * i);
        }
        return w;
    }
    float Float() {
        const uint32_t w = Word();
        float f;
        std::memcpy(&f, &w, sizeof f);
        sane_ = sane_ && std::isfinite(f) && std::fabs(f) < 1.0e5f;
        return f;
    }
    Vector3 Vec() { return {Float(), Float(), Float()}; }
    Quaternion Quat() { return {Float(), Float(), Float(), Float()}; }
    bool Sane() const { return sane_; }

  private:
    const uint8_t *data_;
    size_t size_;
    size_t pos_ = 0;
    bool sane_ = true;
};

class MeshHolder : public Actor {
  public:
    MeshItem *CollisionMesh() const override { return mesh; }
    MeshItem *mesh = nullptr;
};

void Check(bool ok, const char *what) {
    if (!ok) {
        std::fprintf(stderr, "fuzz_collision: %s\n", what);
        std::abort();
    }
}

bool Finite(const Vector3 &v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

// A square at height 0 over [-200, 200] in x and z, both windings, with
// surface collision data.
MeshItem *TestMesh() {
    const Vector3 positions[4] = {{-200, 0, -200}, {-200, 0, 200}, {200, 0, 200}, {200, 0, -200}};
    const Vector3 normals[4] = {{0, 0, 1}, {0, 0, 1}, {0, 0, 1}, {0, 0, 1}};
    const float uvs[8] = {};
    const uint16_t indices[12] = {0, 1, 3, 1, 2, 3, 0, 3, 1, 1, 3, 2};
    MeshItem *mesh = CreateMeshFromArrays(positions, normals, nullptr, uvs, indices, 4, 4);
    if (mesh != nullptr) {
        mesh->subsetSettings[0].word0 = 4;
    }
    return mesh;
}

struct World {
    MeshHolder *actors[2] = {nullptr, nullptr};
    PointerList<Actor> active;
    PointerList<Actor> passive;
    bool ready = false;
};

World &GetWorld() {
    static World world;
    if (world.ready) {
        return world;
    }
    Check(CreateEngineServices() == 1, "no engine services");
    testdisplay::UseFakeAdapter();
    Check(GetGraphics()->CreateWindowDevice(nullptr), "no device");
    InstallEngineClasses();
    Check(InitActorSystem() == 1, "no actor system");
    MeshItem *mesh = TestMesh();
    Check(mesh != nullptr, "no test mesh");
    for (MeshHolder *&actor : world.actors) {
        actor = new MeshHolder();
        actor->mesh = mesh;
    }
    CollisionScene scene;
    scene.active = &world.active;
    scene.passive = &world.passive;
    SetCollisionScene(scene);
    world.ready = true;
    return world;
}

void ReadObject(Reader &in, MeshHolder *owner, ColObj &object) {
    object.owner = owner;
    object.type = in.Byte() % 14;
    object.flags = in.Byte() | kColObjActive;
    object.groups = in.Byte() & 3;
    object.receiveGroups = in.Byte() & 3;
    object.excludeGroups = in.Byte() & 4;
    object.material = in.Byte() % 12; // beyond the table too
    object.reference = static_cast<int8_t>(in.Byte());
    object.sweepRadius = (in.Byte() & 1) != 0 ? 0.0f : in.Float();
    object.boxMin = in.Vec();
    object.boxMax = in.Vec();
    object.worldMin = in.Vec();
    object.worldMax = in.Vec();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    World &world = GetWorld();
    Reader in(data, size);
    ColObj objects[2];
    for (int i = 0; i < 2; ++i) {
        MeshHolder *actor = world.actors[i];
        actor->position = in.Vec();
        actor->rotation = in.Quat();
        actor->deltaPosition = in.Vec();
        actor->simParams.reset();
        if ((in.Byte() & 1) != 0) {
            actor->simParams = std::make_unique<SimParams>();
            actor->simParams->SetFloat(1, in.Float());
        }
        actor->InvalidateTransform();
        ReadObject(in, actor, objects[i]);
    }
    const uint32_t mode = in.Byte() & 3;
    const bool sane = in.Sane();
    CollideColObjs(&objects[0], &objects[1], mode);
    for (MeshHolder *actor : world.actors) {
        if (actor->simState) {
            for (const ContactRecord &c : actor->simState->contacts) {
                Check(!sane || (Finite(c.push) && Finite(c.point)), "a push or point not finite");
            }
            actor->simState->contacts.clear();
        }
        actor->flags &= ~kActorContacted;
    }
    ContactedList.Clear();
    GetCollisionEventQueue().Clear();

    // A ray over the two as movers.
    world.active.Clear();
    world.active.Append(world.actors[0]);
    world.active.Append(world.actors[1]);
    world.actors[0]->colObjs.clear();
    world.actors[1]->colObjs.clear();
    world.actors[0]->colObjs.push_back(std::make_unique<ColObj>(objects[0]));
    world.actors[1]->colObjs.push_back(std::make_unique<ColObj>(objects[1]));
    const Vector3 origin = in.Vec();
    const Vector3 end = in.Vec();
    const uint32_t masks[3] = {in.Byte() & 3u, in.Byte() & 3u, in.Byte() & 4u};
    Vector3 hit;
    Vector3 normal;
    ColObj *found = RunCollisionQuery(origin, end, masks, &hit, &normal);
    Check(found == nullptr || found == world.actors[0]->colObjs[0].get() ||
              found == world.actors[1]->colObjs[0].get(),
          "the query found a stranger");
    Check(!in.Sane() || Finite(hit), "a hit point not finite");
    world.actors[0]->colObjs.clear();
    world.actors[1]->colObjs.clear();
    world.active.Clear();
    return 0;
}
