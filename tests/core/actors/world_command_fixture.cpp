#include "world_command_fixture.h"

#include "base/file_system.h"
#include "core/actors/actor_services.h"
#include "core/actors/class_factory.h"
#include "core/actors/loading_screen.h"
#include "core/actors/placeholder_actor.h"
#include "core/actors/screen_capture.h"
#include "library/library_writer.h"
#include "library/resource_library.h"

namespace {

Actor *NewRecorder() { return new WorldRecorder(); }

} // namespace

RecordedLibrary::RecordedLibrary() : library_(std::make_unique<ResourceLibrary>()) {
    previous_ = ReplaceLibraryForTests(library_.get());
    previousLoader_ = GetItemLoader(ItemClass::Material);
    SetItemLoader(ItemClass::Material, {[](LibraryItem &item) {
                                            Calls().push_back("load " + item.name);
                                            return 1;
                                        },
                                        [](LibraryItem &item) {
                                            Calls().push_back("release " + item.name);
                                            return 1;
                                        }});
    Calls().clear();
    MaterialItem wallRecord;
    wallRecord.name = "wall";
    TextureItem filmRecord;
    filmRecord.name = "film";
    LibraryWriter writer;
    writer.AddItem(1, wallRecord);
    writer.AddItem(2, filmRecord);
    const std::vector<uint8_t> bytes = writer.WriteToMemory();
    Archive archive;
    archive.OpenMemory(bytes.data(), static_cast<uint32_t>(bytes.size()));
    if (library_->ReadLibraryArchive(archive, 1) == 1) {
        wall = library_->GetItemById(1);
        film = library_->GetItemById(2);
    }
}

RecordedLibrary::~RecordedLibrary() {
    ReplaceLibraryForTests(previous_);
    library_.reset();
    SetItemLoader(ItemClass::Material, previousLoader_);
    Calls().clear();
}

std::vector<std::string> &RecordedLibrary::Calls() {
    static std::vector<std::string> calls;
    return calls;
}

std::vector<std::string> RecordedLibrary::TakeCalls() {
    std::vector<std::string> out = std::move(Calls());
    Calls().clear();
    return out;
}

void WorldCommandTest::SetUp() {
    ActorWorldTest::SetUp();
    cameraRow = GetActorClassRow(19);
    for (uint32_t cls : {3u, 9u, 16u, 19u})
        SetActorClassRowForTests(cls, {cls, &NewRecorder, nullptr});
    ActorSystemHooks &hooks = GetActorSystemHooks();
    hooks.traceSound = [this](uint32_t v) { traced.push_back(v); };
    hooks.requestClose = [this] { ++closeRequests; };
    hooks.saveActors = [this](const std::string &file, uint32_t first, uint32_t end,
                              uint32_t mode) {
        savedFiles.push_back(file);
        EXPECT_EQ(std::tuple(first, end, mode), std::tuple(10u, ActorTable.size(), 2u));
        return saveResult;
    };
    ResetLoadingScreenForTests();
    ResetCaptureImageForTests();
}

void WorldCommandTest::TearDown() {
    ResetActorSystemHooks();
    ResetCaptureImageForTests();
    SetLoadingScreenRenderer(FrontEndLoadingScreenRenderer());
    ResetLoadingScreenForTests();
    ActorWorldTest::TearDown();
}

int WorldCommandTest::SendRaw(uint32_t commandId, const void *bytes, size_t size) {
    std::vector<uint8_t> copy(size + 64, 0);
    if (size > 0)
        std::memcpy(copy.data(), bytes, size);
    return system->HandleCommand(commandId, ParamBlock(copy.data(), size));
}

uint32_t WorldCommandTest::AskU32(uint32_t commandId) {
    uint32_t value = 0xDEADBEEF;
    system->HandleCommand(commandId, ParamBlock(&value, sizeof(value)));
    return value;
}

std::vector<uint8_t> WorldCommandTest::Name128(const std::string &text) {
    std::vector<uint8_t> bytes(128, 0);
    std::memcpy(bytes.data(), text.data(), std::min<size_t>(text.size(), 127));
    return bytes;
}

WorldRecorder *WorldCommandTest::MakeOfClass(int32_t classId, const char *name, Actor *parent,
                                             int32_t id) {
    return static_cast<WorldRecorder *>(
        CreateActor(classId, name, nullptr, parent ? parent : scenery, id, false));
}

CameraActor *WorldCommandTest::MakeRealCamera(const char *name) {
    const ActorClassRow recorderRow = SetActorClassRowForTests(19, cameraRow);
    Actor *camera = CreateActor(19, name, nullptr, scenery, -1, false);
    SetActorClassRowForTests(19, recorderRow);
    return dynamic_cast<CameraActor *>(camera);
}
