#pragma once
// How the files the installer writes itself reach their names, and how two
// runs keep out of each other's rewrites.

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string_view>

namespace vorlan::platform {

enum class PublishMode { create_new, replace };
enum class Publication { published, name_taken, failed };

// A file filled out of sight beside the name it will take and then published
// whole: its bytes are on disk before it takes the name, and the name is on
// disk when publish returns. A draft never published leaves nothing behind,
// and a run that begins one clears what killed runs left in that directory.
class DraftFile {
  public:
    DraftFile() = default;
    DraftFile(const DraftFile &) = delete;
    DraftFile &operator=(const DraftFile &) = delete;
    ~DraftFile();

    // False when no file can be made in the directory of the host path.
    bool open(const std::filesystem::path &target);
    std::FILE *stream() const { return stream_; }
    // Closes the stream. name_taken: create_new found a file at the name,
    // which stays as it is.
    Publication publish(PublishMode mode);

  private:
    // The temporary behind the stream, as each system keeps it
    // (posix/publish.cpp, win32/publish.cpp).
    struct Temporary;
    struct Dropper {
        void operator()(Temporary *temporary) const; // removes it unless named
    };
    using TemporaryPtr = std::unique_ptr<Temporary, Dropper>;
    // A temporary beside `target` and a stream that writes it; none on failure.
    static TemporaryPtr make(const std::filesystem::path &target, std::FILE *&stream);
    // Closes `stream`, then gives the temporary its name, whole and synced.
    static Publication name(Temporary &temporary, std::FILE *stream, PublishMode mode);

    TemporaryPtr temporary_;
    std::FILE *stream_ = nullptr;
};

// Our own files are never written through a link: a link standing at the
// name is removed, so that the file is made in its place. False when one
// stands there still.
bool remove_link_at(const std::filesystem::path &path);

// The scratch file of one file's rewrite, held for this run: a second run's
// rewrite of the same file, however its path is spelled, waits until this
// one is released or its process ends. The lock is taken as the file is
// opened (created empty when missing; a link at its name is replaced),
// without covering its bytes, so that the command that copies the file can
// read it. Where the file cannot be opened, nothing is held and it cannot
// be written either.
class RewriteScratch {
  public:
    explicit RewriteScratch(std::string_view windows_path);
    RewriteScratch(const RewriteScratch &) = delete;
    RewriteScratch &operator=(const RewriteScratch &) = delete;
    ~RewriteScratch();

    // A stream that writes the file anew; none when it cannot be written.
    // The caller closes it, and the lock stays until the scratch is released.
    std::FILE *rewrite();

  private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace vorlan::platform
