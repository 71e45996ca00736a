// Where the sound and film libraries' own diagnostics go. By default they
// stay off the player's terminal: OpenAL Soft logs nothing (unless its own
// log-level variable is set), ALSA's error lines are discarded, and FFmpeg's
// lines are counted per film and summed up in one line when the film closes.
// ENGINE_VERBOSE=1 lets every library print its lines as it would alone.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <utility>

// Whether ENGINE_VERBOSE is "1".
bool LibraryLogVerbose();

// Sets OpenAL Soft's log level and ALSA's error handler; call before the
// first device is opened. Once per process, later calls do nothing.
void QuietenSoundLibraries();

// The FFmpeg lines of one film, counted while a FilmLogScope for it is open on
// the calling thread.
class FilmLog {
  public:
    explicit FilmLog(std::string name) : name_(std::move(name)) {}
    // Prints "film <name>: <n> decoder messages, first: <line>" on stderr
    // when any were counted.
    ~FilmLog();
    FilmLog(const FilmLog &) = delete;
    FilmLog &operator=(const FilmLog &) = delete;

    void Count(const std::string &line);
    uint64_t Lines() const;

  private:
    std::string name_;
    mutable std::mutex mutex_;
    uint64_t lines_ = 0;
    std::string first_;
};

// Routes FFmpeg's lines on this thread to `log` (none: printed as FFmpeg
// prints them) while it lives; scopes nest.
class FilmLogScope {
  public:
    explicit FilmLogScope(FilmLog *log);
    ~FilmLogScope();
    FilmLogScope(const FilmLogScope &) = delete;
    FilmLogScope &operator=(const FilmLogScope &) = delete;

  private:
    FilmLog *previous_;
};

// Installs the FFmpeg log callback (errors only); once per process.
void RouteFfmpegLog();
