// Draw instances and buckets: queueing, culling, linking, the 3D pass, the
// frame pair and destruction at any time, on a RecordingDevice.
#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "core/actors/actor.h"
#include "library/display.h"
#include "library/render/render_front_end.h"
#include "library/render/render_test_util.h"

namespace {

using namespace gfx;
using rendertest::MakeMaterial;
using rendertest::MakeMesh;
using rendertest::Translation;

std::vector<std::string> g_events;
ResourceLibrary *g_library = nullptr;
DrawInstance *g_victim = nullptr;
std::vector<DrawInstance *> g_latecomers;

std::string Name(const DrawInstance *instance) { return std::to_string(instance->userWord); }

template <int B> void OnInstance(DrawInstance *instance) {
    g_events.push_back(std::to_string(B) + ":" + Name(instance));
}
template <int B> void OnBegin(uint32_t bucket) {
    g_events.push_back("begin " + std::to_string(B) + "=" + std::to_string(bucket));
}
template <int B> void OnEnd(uint32_t bucket) {
    g_events.push_back("end " + std::to_string(B) + "=" + std::to_string(bucket));
}
void OnCreate(DrawInstance *instance) { g_events.push_back("create " + Name(instance)); }
void OnRelease(DrawInstance *instance) { g_events.push_back("release " + Name(instance)); }

class DrawBucketTest : public rendertest::RenderTest {
  protected:
    void SetUp() override {
        RenderTest::SetUp();
        g_events.clear();
        g_library = &library_;
        g_victim = nullptr;
        // Camera at the origin looking down +z.
        library_.SetFarClip(35000.0f);
        library_.SetNearClip(1.5f);
        library_.SetCameraTransform({0.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 0.0f, 1.0f});
        ClearLog();
    }
    void TearDown() override {
        g_library = nullptr;
        RenderTest::TearDown();
    }
    // An instance of subset 0 of mesh_ at the world matrix; userWord names it.
    DrawInstance *Make(MaterialItem *material, const Matrix *world, uint32_t name,
                       float bias = 0.0f) {
        return library_.CreateDrawInstance(mesh_.get(), 0, material, world, name, bias);
    }
    void Queue(std::initializer_list<DrawInstance *> instances) {
        for (DrawInstance *i : instances) {
            library_.QueueDrawInstance(i, 0.0f, 1.0f);
        }
    }
    // Instance callbacks that log, on the buckets given.
    void Watch(std::initializer_list<uint32_t> buckets) {
        for (uint32_t b : buckets) {
            DrawInstanceCallback cb = nullptr;
            switch (b) {
            case 0: cb = OnInstance<0>; break;
            case 3: cb = OnInstance<3>; break;
            case 5: cb = OnInstance<5>; break;
            case 7: cb = OnInstance<7>; break;
            case 9: cb = OnInstance<9>; break;
            case 11: cb = OnInstance<11>; break;
            default: FAIL() << "no watcher for " << b;
            }
            library_.SetBucketInstanceCallback(b, cb);
        }
    }

    std::unique_ptr<MeshItem> mesh_ = MakeMesh();
    Matrix near_ = Translation(0.0f, 0.0f, 100.0f);
    Matrix mid_ = Translation(0.0f, 0.0f, 200.0f);
    Matrix far_ = Translation(0.0f, 0.0f, 300.0f);
};

TEST_F(DrawBucketTest, BucketSetUp) {
    const DrawBucket *shadow = library_.GetDrawBucket(4);
    EXPECT_TRUE(shadow->skipLights && shadow->skipTransform && shadow->skipMaterial &&
                shadow->skipDraw);
    EXPECT_EQ(library_.GetDrawBucket(32), nullptr);
    library_.SetBucketSkipDraw(40, 1); // out of range: ignored

    // The display start-up sets the buckets up again through its hook.
    library_.SetBucketSkipDraw(4, 0);
    library_.SetBucketInstanceCallback(2, OnInstance<0>);
    RegisterRenderFrontEnd();
    library_.StartDeviceServices(1);
    SetRestoreDeviceStateHook(nullptr);
    SetDrawBucketSetUpHook({});
    EXPECT_EQ(library_.GetDrawBucket(4)->skipDraw, 1u);
    EXPECT_EQ(library_.GetDrawBucket(2)->instanceCallback, nullptr);
}

TEST_F(DrawBucketTest, InstanceDrawnInEachBucketOfItsMask) {
    auto both = MakeMaterial(0, 1u | (1u << 7));
    auto seventh = MakeMaterial(0, 1u << 7);
    DrawInstance *a = Make(both.get(), &near_, 1);
    DrawInstance *b = Make(seventh.get(), &far_, 2);
    Watch({0, 7});
    Queue({a, b});
    library_.QueueDrawInstance(a, 0.0f, 1.0f); // queued already: ignored
    EXPECT_EQ((std::tuple{library_.GetQueuedInstanceCount(), a->queued}), (std::tuple{2u, 1u}));
    EXPECT_FLOAT_EQ(a->sortKey, 100.0f);
    library_.DrawScene();
    // Bucket 7 sorts far to near.
    const std::vector<std::string> expected = {"0:1", "7:2", "7:1"};
    EXPECT_EQ((std::tuple{g_events, a->queued + b->queued}), (std::tuple{expected, 0u}));
    for (uint32_t n = 0; n < kDrawBucketCount; ++n) {
        EXPECT_EQ(library_.GetDrawBucket(n)->head, nullptr);
    }
    // World transform and material per pass.
    EXPECT_EQ(Lines("SetTransform 256").size(), 3u);
}

TEST_F(DrawBucketTest, EmptyMaskCountsButNeverLinks) {
    auto none = MakeMaterial(0, 0);
    DrawInstance *a = Make(none.get(), &near_, 1);
    library_.QueueDrawInstance(a, 0.0f, 1.0f);
    EXPECT_EQ((std::tuple{library_.GetQueuedInstanceCount(), a->queued}), (std::tuple{1u, 0u}));
    library_.DrawScene();
    EXPECT_TRUE(Log().empty());
}

TEST_F(DrawBucketTest, InsertModes) {
    auto sorted = MakeMaterial(0, 1u << 7);
    auto front = MakeMaterial(0, 1u << 9);
    auto append = MakeMaterial(0, 1u << 3);
    Matrix same = Translation(0.0f, 0.0f, 200.0f);
    DrawInstance *s1 = Make(sorted.get(), &mid_, 1);
    DrawInstance *s2 = Make(sorted.get(), &same, 2);
    DrawInstance *s3 = Make(sorted.get(), &near_, 3, 150.0f); // key 250
    DrawInstance *s4 = Make(sorted.get(), &mid_, 4);
    DrawInstance *f1 = Make(front.get(), &near_, 5);
    DrawInstance *f2 = Make(front.get(), &near_, 6);
    DrawInstance *p1 = Make(append.get(), &near_, 7);
    DrawInstance *p2 = Make(append.get(), &near_, 8);
    Watch({3, 7, 9});
    Queue({s1, s2, s3, s4, f1, f2, p1, p2});
    EXPECT_FLOAT_EQ(s3->sortKey, 250.0f);
    library_.DrawScene();
    // Equal keys keep their queueing order; the bias moves s3 to the front.
    const std::vector<std::string> expected = {"3:7", "3:8", "7:3", "7:1", "7:2",
                                               "7:4", "9:6", "9:5"};
    EXPECT_EQ(g_events, expected);
}

// Queues the latecomers from the first drawn instance's callback on.
void QueueLatecomers(DrawInstance *instance) {
    OnInstance<7>(instance);
    for (DrawInstance *late : g_latecomers) {
        g_library->QueueDrawInstance(late, 0.0f, 1.0f);
    }
    g_latecomers.clear();
}

// Each instance put in its place as it arrives: before the first smaller key.
void PlaceOnArrival(std::vector<DrawInstance *> &list, DrawInstance *instance) {
    list.insert(std::find_if(list.begin(), list.end(),
                             [&](const DrawInstance *at) { return at->sortKey < instance->sortKey; }),
                instance);
}

TEST_F(DrawBucketTest, SortedBucketDrawsAsIfEachWerePlacedOnArrival) {
    // Keys from few depths and biases, so that many are equal; a third of
    // the instances reach bucket 7 from bucket 0, during the pass. The list
    // is long enough for the radix sort.
    std::mt19937 random(20261208u);
    auto sortedOnly = MakeMaterial(0, 1u << 7);
    auto throughFront = MakeMaterial(0, 1u | (1u << 7));
    constexpr uint32_t kCount = 400;
    constexpr uint32_t kLate = 20;
    std::vector<Matrix> worlds(kCount + kLate);
    std::vector<DrawInstance *> queued;
    std::vector<DrawInstance *> latecomers;
    for (uint32_t i = 0; i < kCount + kLate; ++i) {
        worlds[i] = Translation(0.0f, 0.0f, 100.0f + 10.0f * float(random() % 40));
        // Biases take some keys below zero.
        const float bias = random() % 4 == 0 ? 20.0f * float(int(random() % 61) - 30) : 0.0f;
        const bool late = i >= kCount;
        MaterialItem *material = i % 3 == 0 && !late ? throughFront.get() : sortedOnly.get();
        (late ? latecomers : queued).push_back(Make(material, &worlds[i], i + 1, bias));
    }
    library_.SetBucketInstanceCallback(7, QueueLatecomers);

    for (int frame = 0; frame < 2; ++frame) {
        std::shuffle(queued.begin(), queued.end(), random);
        for (DrawInstance *instance : queued) {
            library_.QueueDrawInstance(instance, 0.0f, 1.0f);
        }
        // Some go again before the pass, from both buckets.
        for (size_t i = 5; i < queued.size(); i += 9) {
            library_.DestroyDrawInstance(queued[i]);
            queued[i] = nullptr;
        }
        std::erase(queued, nullptr);
        g_latecomers = latecomers;
        g_events.clear();
        library_.DrawScene();

        // Arrivals: bucket 7's own in queueing order, then bucket 0's in its
        // order (pushed at the front: the reverse), the latecomers once the
        // first is drawn.
        std::vector<DrawInstance *> arrivals;
        for (DrawInstance *instance : queued) {
            if (instance->material == sortedOnly.get()) {
                arrivals.push_back(instance);
            }
        }
        for (auto at = queued.rbegin(); at != queued.rend(); ++at) {
            if ((*at)->material == throughFront.get()) {
                arrivals.push_back(*at);
            }
        }
        std::vector<DrawInstance *> order;
        for (DrawInstance *instance : arrivals) {
            PlaceOnArrival(order, instance);
        }
        std::vector<std::string> expected = {"7:" + Name(order.front())};
        order.erase(order.begin());
        for (DrawInstance *instance : latecomers) {
            PlaceOnArrival(order, instance);
        }
        for (const DrawInstance *instance : order) {
            expected.push_back("7:" + Name(instance));
        }
        ASSERT_EQ(g_events, expected) << "frame " << frame;
    }
}

TEST_F(DrawBucketTest, KeysThatAreNotNumbersDrawAsIfEachWerePlacedOnArrival) {
    // Keys NaN, 200, 300 in this order: the NaN passes every key, the 300
    // goes before the first smaller one, the 200.
    const float nan = std::numeric_limits<float>::quiet_NaN();
    auto sorted = MakeMaterial(0, 1u << 7);
    DrawInstance *a = Make(sorted.get(), &near_, 1, nan);
    DrawInstance *b = Make(sorted.get(), &mid_, 2);
    DrawInstance *c = Make(sorted.get(), &far_, 3);
    Watch({7});
    Queue({a, b, c});
    library_.DrawScene();
    EXPECT_EQ(g_events, (std::vector<std::string>{"7:1", "7:3", "7:2"}));
    for (DrawInstance *instance : {a, b, c}) {
        library_.DestroyDrawInstance(instance);
    }

    // Random keys from few depths, a fifth of them not numbers, in a short
    // list and in one long enough for the radix sort; latecomers come while
    // the first is drawn.
    std::mt19937 random(20270114u);
    library_.SetBucketInstanceCallback(7, QueueLatecomers);
    constexpr uint32_t kLate = 10;
    for (const uint32_t count : {12u, 300u}) {
        std::vector<Matrix> worlds(count + kLate);
        std::vector<DrawInstance *> queued;
        std::vector<DrawInstance *> latecomers;
        for (uint32_t i = 0; i < count + kLate; ++i) {
            worlds[i] = Translation(0.0f, 0.0f, 100.0f + 10.0f * float(random() % 20));
            const float bias = random() % 5 == 0 ? nan : 0.0f;
            (i < count ? queued : latecomers).push_back(Make(sorted.get(), &worlds[i], i + 1, bias));
        }
        for (int frame = 0; frame < 2; ++frame) {
            std::shuffle(queued.begin(), queued.end(), random);
            std::vector<DrawInstance *> order;
            for (DrawInstance *instance : queued) {
                library_.QueueDrawInstance(instance, 0.0f, 1.0f);
                PlaceOnArrival(order, instance);
            }
            g_latecomers = latecomers;
            g_events.clear();
            library_.DrawScene();

            std::vector<std::string> expected = {"7:" + Name(order.front())};
            order.erase(order.begin());
            for (DrawInstance *instance : latecomers) {
                PlaceOnArrival(order, instance);
            }
            for (const DrawInstance *instance : order) {
                expected.push_back("7:" + Name(instance));
            }
            ASSERT_EQ(g_events, expected) << count << " frame " << frame;
        }
        for (DrawInstance *instance : queued) {
            library_.DestroyDrawInstance(instance);
        }
        for (DrawInstance *instance : latecomers) {
            library_.DestroyDrawInstance(instance);
        }
    }
}

TEST_F(DrawBucketTest, QueueingAnInstanceLinkedDirectlyKeepsTheListWhole) {
    // x and y linked into the append bucket without queueing; queueing x
    // then takes it out of the list before it goes to the end again.
    auto append = MakeMaterial(0, 1u << 3);
    DrawInstance *x = Make(append.get(), &near_, 1);
    DrawInstance *y = Make(append.get(), &near_, 2);
    ASSERT_TRUE(library_.LinkIntoNextBucket(x, 0) && library_.LinkIntoNextBucket(y, 0));
    library_.QueueDrawInstance(x, 0.0f, 1.0f);
    Watch({3});
    library_.DrawScene();
    EXPECT_EQ(g_events, (std::vector<std::string>{"3:2", "3:1"}));
    EXPECT_EQ(library_.GetDrawBucket(3)->head, nullptr);
}

TEST_F(DrawBucketTest, CullingAtTheNearSideAndFogEnd) {
    // Sphere centre one unit behind the eye: z + r = 0 is still visible.
    EXPECT_EQ(std::vector<bool>({library_.IsSphereVisible({0.0f, 0.0f, -1.0f}, 1.0f, nullptr, false),
                                 library_.IsSphereVisible({0.0f, 0.0f, -1.0f}, 0.999f, nullptr, false),
                                 library_.IsSphereVisible({0.0f, 0.0f, -1.001f}, 1.0f, nullptr, false)}),
              std::vector<bool>({true, false, false}));
    float key = 0.0f;
    EXPECT_TRUE(library_.IsSphereVisible({0.0f, 0.0f, 34000.0f}, 1.0f, &key, true));
    EXPECT_FLOAT_EQ(key, 34000.0f);
    EXPECT_FALSE(library_.IsSphereVisible({0.0f, 0.0f, 35002.0f}, 1.0f, nullptr, false));

    auto fogged = MakeMaterial(0, 1);
    fogged->fog = 1;
    auto clear = MakeMaterial(0, 1);
    Matrix beyond = Translation(0.0f, 0.0f, 600.0f);
    library_.SetFogEnd(500.0f);
    library_.SetFogEnable(1);
    DrawInstance *a = Make(fogged.get(), &beyond, 1);
    DrawInstance *b = Make(clear.get(), &beyond, 2);
    Queue({a, b});
    EXPECT_EQ(a->queued * 10 + b->queued, 1u);
    library_.SetFogEnable(0);
    library_.QueueDrawInstance(a, 0.0f, 1.0f);
    EXPECT_EQ(a->queued, 1u);

    // The radius scales with the instance's scale.
    Matrix behind = Translation(0.0f, 0.0f, -3.0f);
    DrawInstance *c = Make(clear.get(), &behind, 3);
    library_.QueueDrawInstance(c, 0.0f, 1.0f);
    EXPECT_EQ((std::tuple{c->queued, SetDrawInstanceScale(c, 3.0f)}), (std::tuple{0u, c}));
    library_.QueueDrawInstance(c, 0.0f, 1.0f);
    EXPECT_EQ(c->queued, 1u);
    EXPECT_FLOAT_EQ(c->radius, 3.0f);
}

TEST_F(DrawBucketTest, AtMostSevenTouchingLocalLightsPerInstance) {
    std::vector<LightItem *> lights;
    for (int i = 0; i < 10; ++i) {
        LightItem *light = library_.CreateLight();
        SetLightRange(light, 50.0f);
        // The instance's sphere (radius 1) sits at z 100; light 0 touches it
        // only (distance = range + radius), lights 1-9 overlap it.
        const float z = i == 0 ? 100.0f - 51.0f : 100.0f - float(i);
        SetLightPosition(light, {0.0f, 0.0f, z});
        ApplyLight(light);
        library_.EnableLight(light, true);
        lights.push_back(light);
    }
    auto m = MakeMaterial(0, 1);
    DrawInstance *a = Make(m.get(), &near_, 1);
    library_.QueueDrawInstance(a, 0.0f, 1.0f);
    ClearLog();
    library_.DrawScene();
    const std::vector<std::string> on = Lines("LightEnable");
    std::vector<std::string> switchedOn;
    for (const std::string &line : on) {
        if (line.back() == '1') {
            switchedOn.push_back(line);
        }
    }
    std::vector<std::string> expected;
    for (int i = 1; i <= 7; ++i) {
        expected.push_back("LightEnable " + std::to_string(i) + " 1");
    }
    EXPECT_EQ((std::tuple{switchedOn, a->lightCount}), (std::tuple{expected, 7u}));
    // Every local light is off after the pass.
    for (LightItem *light : lights) {
        bool enabled = true;
        device_->GetLightEnable(light->deviceIndex, &enabled);
        EXPECT_FALSE(enabled);
    }
    // Bucket 4 skips the light step (and the rest).
    ClearLog();
    auto shadow = MakeMaterial(0, 1u << 4);
    DrawInstance *s = Make(shadow.get(), &near_, 2);
    library_.QueueDrawInstance(s, 0.0f, 1.0f);
    library_.DrawScene();
    EXPECT_EQ(Lines("LightEnable").size(), 10u); // the final switch-off only
    EXPECT_TRUE(Lines("SetTransform").empty() && Lines("SetMaterial").empty());
}

TEST_F(DrawBucketTest, CallbacksRunAroundNonEmptyBucketsOnly) {
    library_.SetBucketBeginCallback(5, OnBegin<5>);
    library_.SetBucketEndCallback(5, OnEnd<5>);
    library_.SetBucketBeginCallback(9, OnBegin<9>);
    library_.SetBucketEndCallback(9, OnEnd<9>);
    library_.SetBucketCreateCallback(5, OnCreate);
    library_.SetBucketReleaseCallback(5, OnRelease);
    library_.SetBucketCreateCallback(6, OnCreate);
    Watch({5});
    auto m = MakeMaterial(0, 1u << 5);
    DrawInstance *a = Make(m.get(), &near_, 1);
    DrawInstance *b = Make(m.get(), &mid_, 2);
    Queue({a, b});
    library_.DrawScene();
    library_.DestroyDrawInstance(a);
    library_.DestroyDrawInstance(nullptr);
    const std::vector<std::string> expected = {"create 1", "create 2", "begin 5=5", "5:1",
                                               "5:2",      "end 5=5",  "release 1"};
    EXPECT_EQ(g_events, expected);
}

TEST_F(DrawBucketTest, BucketElevenClearsDepthAndStencilFirst) {
    auto m = MakeMaterial(0, 1u << 11);
    DrawInstance *a = Make(m.get(), &near_, 1);
    library_.QueueDrawInstance(a, 0.0f, 1.0f);
    Watch({11});
    ClearLog();
    library_.DrawScene();
    ASSERT_FALSE(Log().empty());
    EXPECT_EQ(Log().front(), "Clear 0 6 0x00000000 1 0");
    EXPECT_EQ(g_events, std::vector<std::string>{"11:1"});
    // Without an instance the bucket does not clear.
    ClearLog();
    library_.DrawScene();
    EXPECT_TRUE(Lines("Clear").empty());
}

TEST_F(DrawBucketTest, FramePair) {
    library_.SetClearColor(0xFF112233u);
    EXPECT_EQ(std::vector<bool>({library_.EndRender(true), library_.BeginRender(true, true),
                                 Logged("Clear 0 7 0xFF112233 1 0"), library_.BeginRender(true, true),
                                 library_.EndRender(true)}),
              std::vector<bool>({false, true, true, false, true}));
    EXPECT_EQ(recording_->GetPresentCount(), 1u);
    EXPECT_EQ(Lines("BeginScene").size() * 10 + Lines("EndScene").size(), 11u);
    EXPECT_FALSE(library_.EndRender(true));

    ClearLog();
    EXPECT_TRUE(library_.BeginRender(false, true) && Logged("Clear 0 6 0x00000000 1 0") &&
                library_.EndRender(false));
    EXPECT_EQ(recording_->GetPresentCount(), 1u);
    ClearLog();
    EXPECT_TRUE(library_.BeginRender(false, false) && Lines("Clear").empty() &&
                library_.EndRender(false));
}

// --- destruction ------------------------------------------------------------------------

TEST_F(DrawBucketTest, DestroyingOneInstanceKeepsTheOthersQueued) {
    auto m = MakeMaterial(0, 1u | (1u << 3) | (1u << 7));
    DrawInstance *a = Make(m.get(), &near_, 1);
    DrawInstance *b = Make(m.get(), &mid_, 2);
    DrawInstance *c = Make(m.get(), &far_, 3);
    DrawInstance *d = Make(m.get(), &far_, 4);
    Queue({a, b, c, d});
    // Bucket 0 pushes at the front: d c b a. Take out the head, the middle
    // and the tail in turn.
    library_.DestroyDrawInstance(d);
    library_.DestroyDrawInstance(b);
    DrawInstance *e = Make(m.get(), &near_, 5);
    library_.QueueDrawInstance(e, 0.0f, 1.0f);
    library_.DestroyDrawInstance(a);
    Watch({0, 3, 7});
    library_.DrawScene();
    const std::vector<std::string> expected = {"0:5", "0:3", "3:5", "3:3", "7:3", "7:5"};
    EXPECT_EQ(g_events, expected);

    // In an append bucket the tail stays right after its removal.
    g_events.clear();
    auto appendOnly = MakeMaterial(0, 1u << 3);
    DrawInstance *x = Make(appendOnly.get(), &near_, 6);
    DrawInstance *y = Make(appendOnly.get(), &near_, 7);
    Queue({x, y});
    library_.DestroyDrawInstance(y);
    DrawInstance *z = Make(appendOnly.get(), &near_, 8);
    library_.QueueDrawInstance(z, 0.0f, 1.0f);
    library_.DrawScene();
    EXPECT_EQ(g_events, (std::vector<std::string>{"3:6", "3:8"}));
}

void DestroyVictim(DrawInstance *instance) {
    g_events.push_back("cb " + Name(instance));
    if (g_victim != nullptr) {
        g_library->DestroyDrawInstance(g_victim);
        g_library->DestroyDrawInstance(g_victim); // twice: still one release
        g_victim = nullptr;
    }
}

TEST_F(DrawBucketTest, DestructionDuringTheSceneIsDeferred) {
    library_.SetBucketReleaseCallback(0, OnRelease);
    library_.SetBucketInstanceCallback(0, DestroyVictim);
    Watch({7});
    auto m = MakeMaterial(0, 1u | (1u << 7));
    DrawInstance *a = Make(m.get(), &near_, 1);
    DrawInstance *b = Make(m.get(), &mid_, 2);
    DrawInstance *c = Make(m.get(), &far_, 3);
    Queue({a, b, c});
    // Bucket 0 holds c b a. c's callback destroys a (still to come in bucket
    // 0); then b destroys itself.
    g_victim = a;
    library_.SetBucketInstanceCallback(0, [](DrawInstance *instance) {
        DestroyVictim(instance);
        if (instance->userWord == 2) {
            g_victim = instance;
            DestroyVictim(instance);
            EXPECT_TRUE(IsDrawInstanceDestroyed(instance));
        }
    });
    library_.DrawScene();
    const std::vector<std::string> expected = {"cb 3", "cb 2", "cb 2", "7:3", "release 1",
                                               "release 2"};
    EXPECT_EQ(g_events, expected);
    // c goes on as before.
    g_events.clear();
    library_.QueueDrawInstance(c, 0.0f, 1.0f);
    library_.DrawScene();
    EXPECT_EQ(g_events, (std::vector<std::string>{"cb 3", "7:3"}));
}

// What bucket 7's callback does to instances still waiting to be drawn there.
std::vector<DrawInstance *> g_doomed;
DrawInstance *g_moved = nullptr;
DrawInstance *g_late = nullptr;
void UpsetTheRun(DrawInstance *instance) {
    OnInstance<7>(instance);
    if (instance->userWord == 250) {
        for (DrawInstance *doomed : g_doomed) {
            g_library->DestroyDrawInstance(doomed);
            g_library->DestroyDrawInstance(doomed);
        }
        g_library->LinkIntoNextBucket(g_moved, 9);
    }
    if (instance->userWord == 40) {
        g_library->QueueDrawInstance(g_late, 0.0f, 1.0f);
    }
}

TEST_F(DrawBucketTest, InstancesStillToBeDrawnInASortedBucketMayGoOrMoveDuringThePass) {
    // 300 instances (long enough for the radix sort), instance n at depth
    // 100 + n: drawn from 299 down. While 250 is drawn, 100 and 101 are
    // destroyed and 50 moves on to bucket 9; while 40 is, a latecomer at
    // 120.5 comes.
    library_.SetBucketReleaseCallback(7, OnRelease);
    library_.SetBucketInstanceCallback(7, UpsetTheRun);
    Watch({9});
    auto m = MakeMaterial(0, 1u << 7);
    auto onTo9 = MakeMaterial(0, (1u << 7) | (1u << 9));
    std::vector<Matrix> worlds(301);
    std::vector<DrawInstance *> all;
    for (uint32_t n = 0; n < 300; ++n) {
        worlds[n] = Translation(0.0f, 0.0f, 100.0f + float(n));
        all.push_back(Make(n == 50 ? onTo9.get() : m.get(), &worlds[n], n));
    }
    worlds[300] = Translation(0.0f, 0.0f, 120.5f);
    g_late = Make(m.get(), &worlds[300], 1000);
    g_doomed = {all[100], all[101]};
    g_moved = all[50];
    std::vector<DrawInstance *> shuffled = all;
    std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(5));
    for (DrawInstance *instance : shuffled) {
        library_.QueueDrawInstance(instance, 0.0f, 1.0f);
    }
    library_.DrawScene();
    std::vector<std::string> expected;
    for (int n = 299; n >= 0; --n) {
        if (n == 20) {
            expected.push_back("7:1000");
        }
        if (n != 100 && n != 101 && n != 50) {
            expected.push_back("7:" + std::to_string(n));
        }
    }
    expected.push_back("9:50");
    expected.push_back("release 100");
    expected.push_back("release 101");
    EXPECT_EQ(g_events, expected);

    // The next frame draws the others in order again, nothing twice.
    g_events.clear();
    library_.SetBucketInstanceCallback(7, OnInstance<7>);
    // By address: the two are freed.
    std::erase_if(shuffled, [&](DrawInstance *i) { return i == all[100] || i == all[101]; });
    for (DrawInstance *instance : shuffled) {
        library_.QueueDrawInstance(instance, 0.0f, 1.0f);
    }
    library_.DrawScene();
    ASSERT_EQ(g_events.size(), 299u);
    EXPECT_EQ(g_events.front(), "7:299");
    EXPECT_EQ(g_events[g_events.size() - 2], "7:0");
    EXPECT_EQ(g_events.back(), "9:50");
    EXPECT_TRUE(
        std::is_sorted(g_events.begin(), g_events.end() - 1, [](const auto &a, const auto &b) {
            return std::stoi(a.substr(2)) > std::stoi(b.substr(2));
        }));
}

TEST_F(DrawBucketTest, ReleaseCallbackThatDestroysAgainFreesOnce) {
    library_.SetBucketReleaseCallback(0, [](DrawInstance *instance) {
        OnRelease(instance);
        g_library->DestroyDrawInstance(instance);
    });
    auto m = MakeMaterial(0, 1);
    library_.DestroyDrawInstance(Make(m.get(), &near_, 1));
    EXPECT_EQ(g_events, std::vector<std::string>{"release 1"});
}

TEST_F(DrawBucketTest, BadInstancesAreNeitherLinkedNorDrawn) {
    auto m = MakeMaterial(0, 1);
    Watch({0});
    DrawInstance *pastRecords = library_.CreateDrawInstance(mesh_.get(), 1, m.get(), &near_, 1, 0);
    DrawInstance *noMesh = library_.CreateDrawInstance(nullptr, 0, m.get(), &near_, 2, 0);
    DrawInstance *noMaterial = library_.CreateDrawInstance(mesh_.get(), 0, nullptr, &near_, 3, 0);
    DrawInstance *noWorld = library_.CreateDrawInstance(mesh_.get(), 0, m.get(), nullptr, 4, 0);
    for (DrawInstance *i : {pastRecords, noMesh, noMaterial, noWorld}) {
        library_.QueueDrawInstance(i, 0.0f, 1.0f);
        EXPECT_EQ(i->queued, 0u);
    }
    library_.QueueDrawInstance(nullptr, 0.0f, 1.0f);
    EXPECT_EQ(library_.GetQueuedInstanceCount(), 0u);
    library_.DrawScene();
    EXPECT_TRUE(g_events.empty());
    library_.DestroyDrawInstance(noMaterial);
}

struct HookedActor : Actor {
    int hooks = 0;
    void Slot5() override { ++hooks; }
};

TEST_F(DrawBucketTest, OwnerAndHooks) {
    auto m = MakeMaterial(0, 1);
    DrawInstance *a = Make(m.get(), &near_, 1);
    EXPECT_EQ(GetDrawInstanceOwner(nullptr), nullptr);
    ActorDrawHook(a); // no owner: nothing
    ActorDrawHook(nullptr);
    HookedActor actor;
    EXPECT_EQ(SetDrawInstanceOwner(a, &actor), a);
    EXPECT_EQ(SetDrawInstanceOwner(nullptr, &actor), nullptr);
    ActorDrawHook(a);
    EXPECT_EQ(actor.hooks, 1);
}

// --- the geometry draw ----------------------------------------------------------------

class SubsetDrawTest : public DrawBucketTest {
  protected:
    void SetUp() override {
        DrawBucketTest::SetUp();
        // Subset 0: 10 frames of 4 vertices (position only), 2 triangles.
        ASSERT_TRUE(rendertest::AddSubset(*mesh_, *device_, Fvf::Xyz, 12,
                                          std::vector<uint8_t>(10 * 4 * 12), 10,
                                          {0, 1, 2, 2, 1, 3}));
        ClearLog();
    }
    void TearDown() override {
        mesh_->subsets.clear();
        DrawBucketTest::TearDown();
    }
    std::vector<std::string> DrawAt(float frame) {
        DrawInstance *a = Make(material_.get(), &near_, 1);
        library_.QueueDrawInstance(a, frame, 1.0f);
        ClearLog();
        library_.DrawScene();
        library_.DestroyDrawInstance(a);
        std::vector<std::string> out = Lines("SetIndices");
        for (const std::string &line : Lines("DrawIndexedPrimitive")) {
            out.push_back(line);
        }
        return out;
    }
    std::string Indices(uint32_t base) const {
        return "SetIndices " + std::to_string(mesh_->subsets[0].indexBuffer->GetId()) + " " +
               std::to_string(base);
    }

    std::unique_ptr<MaterialItem> material_ = MakeMaterial(0, 1);
};

TEST_F(SubsetDrawTest, FrameChoosesTheBaseVertex) {
    EXPECT_EQ(DrawAt(23.7f), (std::vector<std::string>{Indices(12), "DrawIndexedPrimitive 4 0 4 0 2"}));
    EXPECT_TRUE(Logged("SetVertexShader 0x2"));
    EXPECT_EQ(DrawAt(9.99f)[0], Indices(36));
    EXPECT_EQ(DrawAt(4.0e9f)[0], Indices(0)); // 4e9 mod 10 without overflow
    // Frames that make no sense draw frame 0.
    for (float frame : {-3.0f, std::numeric_limits<float>::quiet_NaN(),
                        std::numeric_limits<float>::infinity()}) {
        EXPECT_EQ(DrawAt(frame)[0], Indices(0)) << frame;
    }
}

TEST_F(SubsetDrawTest, SubsetsThatDoNotDraw) {
    // Several frames and a non-zero subset word.
    mesh_->subsets[0].subsetWord = 1;
    EXPECT_TRUE(DrawAt(0.0f).empty());
    mesh_->subsets[0].frameCount = 1;
    EXPECT_EQ(DrawAt(0.0f).size(), 2u); // one frame: the word does not matter
    // No frames at all.
    mesh_->subsets[0].frameCount = 0;
    EXPECT_TRUE(DrawAt(0.0f).empty());
    // A settings record past the subsets: queued, not drawn.
    mesh_->subsets[0].frameCount = 10;
    mesh_->subsets[0].subsetWord = 0;
    mesh_->subsetSettings.push_back(mesh_->subsetSettings[0]);
    DrawInstance *a = library_.CreateDrawInstance(mesh_.get(), 1, material_.get(), &near_, 1, 0);
    library_.QueueDrawInstance(a, 0.0f, 1.0f);
    EXPECT_EQ(a->queued, 1u);
    ClearLog();
    library_.DrawScene();
    EXPECT_TRUE(Lines("DrawIndexedPrimitive").empty());
}

int g_preDraws = 0;

TEST_F(SubsetDrawTest, InstanceDestroyedByItsPreDrawCallback) {
    auto m = MakeMaterial(0, 1u | (1u << 7));
    library_.SetBucketReleaseCallback(7, OnRelease);
    library_.SetBucketInstanceCallback(7, OnInstance<7>);
    HookedActor actor;
    DrawInstance *a = Make(m.get(), &near_, 1);
    DrawInstance *b = Make(m.get(), &mid_, 2);
    SetDrawInstanceOwner(a, &actor);
    g_preDraws = 0;
    SetDrawInstancePreDrawCallback(a, [](DrawInstance *instance) {
        ActorDrawHook(instance);
        ++g_preDraws;
        g_library->DestroyDrawInstance(instance);
        g_events.push_back(IsDrawInstanceDestroyed(instance) ? "destroyed" : "alive");
    });
    Queue({a, b});
    ClearLog();
    library_.DrawScene();
    // b twice (buckets 0 and 7); a not at all, and it goes after the pass.
    EXPECT_EQ(Lines("DrawIndexedPrimitive").size(), 2u);
    EXPECT_EQ(actor.hooks * 10 + g_preDraws, 11);
    EXPECT_EQ(g_events, (std::vector<std::string>{"destroyed", "7:2", "release 1"}));
}

TEST_F(SubsetDrawTest, UnloadedMeshIsLoadedAtItsFirstDraw) {
    static int loads = 0;
    loads = 0;
    const ItemLoader saved = GetItemLoader(ItemClass::Mesh);
    SetItemLoader(ItemClass::Mesh, {[](LibraryItem &item) {
                                        ++loads;
                                        item.loaded = 1;
                                        return 1;
                                    },
                                    [](LibraryItem &) { return 1; }});
    mesh_->loaded = 0;
    EXPECT_EQ((std::tuple{DrawAt(0.0f).size(), DrawAt(0.0f).size(), loads}),
              (std::tuple{2u, 2u, 1}));
    // A load that fails draws nothing.
    SetItemLoader(ItemClass::Mesh, {[](LibraryItem &) { return 0; }, nullptr});
    mesh_->loaded = 0;
    EXPECT_TRUE(DrawAt(0.0f).empty());
    SetItemLoader(ItemClass::Mesh, saved);
    mesh_->loaded = 1;
}

} // namespace
