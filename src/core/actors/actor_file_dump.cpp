#include "core/actors/actor_file_dump.h"

#include <charconv>
#include <cinttypes>

#include "base/escape_text.h"
#include "base/file_system.h"
#include "base/tool_arguments.h"
#include "core/actors/actor.h"
#include "core/actors/actor_file.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/actor_tree_dump.h"
#include "core/actors/class_descriptor.h"
#include "core/actors/command_registry.h"

namespace {

// Shortest text that reads back as the same float, independent of locale.
std::string Num(float value) {
    char buffer[32];
    auto result = std::to_chars(buffer, buffer + sizeof(buffer), value);
    return std::string(buffer, result.ptr);
}

std::string Nums(const float *values, size_t count) {
    std::string text;
    for (size_t i = 0; i < count; ++i) {
        if (i != 0) {
            text += ' ';
        }
        text += Num(values[i]);
    }
    return text;
}

std::string Hex(uint32_t value, int digits) {
    char buffer[16];
    std::snprintf(buffer, sizeof(buffer), "0x%0*" PRIx32, digits, value);
    return buffer;
}

std::string Quoted(std::string_view text) { return "\"" + EscapeText(text) + "\""; }

std::string Bit(uint32_t flags, uint32_t bit) { return (flags & bit) != 0 ? "1" : "0"; }

std::string CommandName(uint32_t id) {
    const CommandInfo *info = FindCommandInfo(id);
    return info != nullptr ? info->name : std::string();
}

std::string ClassName(uint32_t classId) {
    return classId < ClassDescriptorTable.size() ? ClassDescriptorTable[classId].name
                                                 : std::string();
}

std::string ActorLine(const Actor &actor) {
    return "id=" + std::to_string(actor.actorId) + " class=" + std::to_string(actor.classId) +
           " name=" + Quoted(actor.name) + " parent=" + std::to_string(actor.parentId) +
           " classname=" + Quoted(ClassName(actor.classId));
}

std::string EntryLine(size_t index, const ScheduledCommand &entry) {
    std::string line = "sched " + std::to_string(index) + " command " +
                       std::to_string(entry.command) + " " + Quoted(CommandName(entry.command)) +
                       " kind " + std::to_string(entry.kind) + " layer " +
                       std::to_string(entry.layer) + " tag " + std::to_string(entry.tag) +
                       " times";
    const float times[4] = {entry.due, entry.interval, entry.start, entry.end};
    size_t count = 0;
    switch (entry.kind & 7) {
    case 2:
        count = 1;
        break;
    case 3:
        count = 2;
        break;
    case 4:
    case 5:
        count = 4;
        break;
    default:
        break;
    }
    for (size_t i = 0; i < count; ++i) {
        line += ' ' + Num(times[i]);
    }
    line += " block";
    if (entry.paramSize != 0 && entry.params) {
        line += ' ';
        char buffer[3];
        for (uint32_t i = 0; i < entry.paramSize; ++i) {
            std::snprintf(buffer, sizeof(buffer), "%02x", entry.params[i]);
            line += buffer;
        }
    }
    return line;
}

} // namespace

std::string DumpNumber(float value) { return Num(value); }
std::string DumpNumbers(const float *values, size_t count) { return Nums(values, count); }
std::string DumpMask(uint32_t value) { return Hex(value, 8); }
std::string DumpText(std::string_view text) { return Quoted(text); }

std::string DumpActorFields(const Actor &actor, size_t indent) {
    const std::string pad(indent, ' ');
    std::string text;
    auto add = [&](const std::string &line) { text += pad + line + '\n'; };

    add("transform pos " + Nums(&actor.position.x, 3) + " scale " + Nums(&actor.scale.x, 3) +
        " rot " + Nums(&actor.rotation.x, 4));
    add("state " + std::to_string(actor.state) + " collision " +
        Bit(actor.flags, kActorCollisionEnabled) + " master " + Bit(actor.flags, kActorMaster) +
        " flag18 " + Bit(actor.flags, kActorFlag18) + " action " + Hex(actor.actionFlags, 4) +
        " user " + Hex(actor.userWord, 8));
    const float times[7] = {actor.killDelay,       actor.killTime,      actor.actionStartDelay,
                            actor.actionStartTime, actor.actionStopDelay, actor.actionStopTime,
                            actor.actionTime};
    add("times " + Nums(times, 7));
    for (size_t i = 0; i < actor.colObjs.size(); ++i) {
        const ColObj &c = *actor.colObjs[i];
        add("colobj " + std::to_string(i) + " " + Quoted(c.name) + " type " +
            std::to_string(c.type) + " material " + std::to_string(c.material) + " fill " +
            std::to_string(c.fill) + " factor " + Num(c.factor) + " min " + Nums(&c.boxMin.x, 3) +
            " max " + Nums(&c.boxMax.x, 3) + " ref " + std::to_string(c.reference) + " ghe " +
            std::to_string(c.hitEffect) + " flags " + Hex(c.flags & 0xFF, 2) + " groups " +
            Hex(c.groups, 8) + " receive " + Hex(c.receiveGroups, 8) + " exclude " +
            Hex(c.excludeGroups, 8));
    }
    for (size_t i = 0; i < actor.scripts.size(); ++i) {
        const ScriptRecord *s = actor.scripts[i].get();
        if (s == nullptr) {
            continue;
        }
        add("script " + std::to_string(i) + " " + Quoted(s->name) + " event " +
            std::to_string(s->eventId) + " " + Quoted(CommandName(s->eventId)) + " source " +
            Quoted(s->source));
    }
    size_t index = 0;
    for (const ScheduledCommand *entry : actor.scheduledCommands) {
        if (entry != nullptr && entry->owner == &actor && (entry->state & kEntrySaved) != 0) {
            add(EntryLine(index++, *entry));
        }
    }
    std::string sim = "sim style ";
    const uint32_t style = actor.simParams ? actor.simParams->words[0] : 0;
    sim += std::to_string(style);
    if (style != 0) {
        for (size_t word : {1, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14}) {
            sim += ' ' + Hex(actor.simParams->words[word], 8);
        }
        sim += ' ' + std::to_string(actor.simParams->Flags() & kSimDirectionByMovement);
    }
    add(sim);
    std::vector<std::string> classLines;
    actor.DumpClassFields(classLines);
    for (const std::string &line : classLines) {
        add(line);
    }
    return text;
}

std::string DumpActorTreeWithFields() {
    return DumpActorTree([](const Actor &actor, size_t indent) {
        return ActorLine(actor) + '\n' + DumpActorFields(actor, indent);
    });
}

int RunQvaDump(int argc, char **argv, FILE *out, FILE *err) {
    const FileToolCall call = ClassifyFileToolCall(argc, argv);
    if (call != FileToolCall::Run) {
        std::fputs("usage: qvadump FILE\n", call == FileToolCall::Help ? out : err);
        return call == FileToolCall::Help ? 0 : 2;
    }
    const std::string path = argv[1];
    if (InitActorSystem() == 0) {
        std::fputs("error: the actor system could not be made\n", err);
        return 1;
    }
    ActorSystem *system = GetActorSystem();
    for (int32_t rootId : {kGlobalRootId, kSceneryRootId, kClipboardRootId}) {
        DeleteAllChildren(GetActorById(static_cast<uint32_t>(rootId)));
    }

    FileHandle file;
    if (file.Open(path, "rb")) {
        uint32_t words[4] = {};
        file.SerializeWords(words, 4);
        if (!file.Failed()) {
            std::fprintf(out, "header version %" PRIu32 " count %" PRIu32 " first %" PRIu32
                              " span %" PRIu32 "\n",
                         words[0], words[1], words[2], words[3]);
        }
        file.Close();
    }
    ActorFileStop stop;
    const int loaded = LoadActors(path, kSerializeLoad, &stop);
    std::fputs(DumpActorTreeWithFields().c_str(), out);
    if (loaded == 0) {
        const std::string where = DescribeActorFileStop(stop);
        std::fprintf(err, "error: %s: %s%s%s\n", path.c_str(), system->errorText,
                     where.empty() ? "" : ": ", where.c_str());
    }
    // Everything goes (a stopped load has freed what it made).
    ResetActorWorldForTests();
    return loaded == 0 ? 1 : 0;
}
