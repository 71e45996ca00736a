#include "platform/os/library_log.h"

#include <alsa/asoundlib.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

extern "C" {
#include <libavutil/log.h>
}

namespace {

thread_local FilmLog *t_filmLog = nullptr;
thread_local int t_printPrefix = 1;

void DiscardAlsaError(const char *, int, const char *, int, const char *, ...) {}

void FfmpegLine(void *context, int level, const char *format, va_list arguments) {
    if (level > av_log_get_level()) {
        return;
    }
    FilmLog *log = t_filmLog;
    if (log == nullptr || LibraryLogVerbose()) {
        av_log_default_callback(context, level, format, arguments);
        return;
    }
    char line[1024];
    av_log_format_line2(context, level, format, arguments, line, sizeof line, &t_printPrefix);
    std::string text(line);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.pop_back();
    }
    if (!text.empty()) {
        log->Count(text);
    }
}

} // namespace

bool LibraryLogVerbose() {
    const char *value = std::getenv("ENGINE_VERBOSE");
    return value != nullptr && std::strcmp(value, "1") == 0;
}

void QuietenSoundLibraries() {
    static std::once_flag once;
    std::call_once(once, [] {
        if (LibraryLogVerbose()) {
            return;
        }
        setenv("ALSOFT_LOGLEVEL", "0", 0); // a level the user set stays
        snd_lib_error_set_handler(&DiscardAlsaError);
    });
}

FilmLog::~FilmLog() {
    if (lines_ == 0) {
        return;
    }
    std::fprintf(stderr, "film %s: %llu decoder message%s, first: %s\n", name_.c_str(),
                 static_cast<unsigned long long>(lines_), lines_ == 1 ? "" : "s",
                 first_.c_str());
}

void FilmLog::Count(const std::string &line) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (lines_++ == 0) {
        first_ = line;
    }
}

uint64_t FilmLog::Lines() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lines_;
}

FilmLogScope::FilmLogScope(FilmLog *log) : previous_(t_filmLog) { t_filmLog = log; }

FilmLogScope::~FilmLogScope() { t_filmLog = previous_; }

void RouteFfmpegLog() {
    static std::once_flag once;
    std::call_once(once, [] {
        av_log_set_level(AV_LOG_ERROR);
        av_log_set_callback(&FfmpegLine);
    });
}
