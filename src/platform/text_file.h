#pragma once
// Text files as the installer's users know them from Windows, identical on
// every platform: read and written as bytes, every line end written is CR LF,
// CR LF or a bare LF read is one line end, and every other byte (a lone CR,
// NUL, Ctrl-Z) is data. Lines of any length pass through in bounded memory: a
// line longer than the read buffer comes in pieces.

#include "platform/publish.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace vorlan::platform {

inline constexpr std::string_view line_end = "\r\n";
// Bytes read, and gathered for writing, at a time.
inline constexpr std::size_t text_buffer_size = std::size_t{1} << 20;

// A line, or a piece of one too long for the read buffer.
struct Line {
    std::string_view text; // without its line end; valid until the next read
    bool has_line_end;     // false for a piece that more of the line follows,
                           // and for a last line that ends the file
    bool begins_line;      // the first piece holds the line's first
                           // text_buffer_size bytes, or the whole line
};

class TextReader {
  public:
    // False when the file cannot be opened for reading.
    bool open(std::string_view windows_path);
    // Whether it could not be opened because another program held it.
    bool held() const { return held_; }
    void close() { file_.reset(); }
    // The next line or piece, or nothing at the end of the file or on a read
    // error. The file is read once, front to back: what has been read is
    // dropped from the system's file cache, for it is not needed again.
    std::optional<Line> next();
    bool failed() const { return failed_; }

  private:
    bool refill();
    enum class Piece { ends_with_line_end, ends_the_file, more_follows };
    Line take(std::size_t length, Piece piece);

    std::unique_ptr<std::FILE, int (*)(std::FILE *)> file_{nullptr, &std::fclose};
    std::unique_ptr<char[]> buffer_; // left uninitialised: a small file touches a page of it
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
    std::uint64_t loaded_ = 0; // bytes of the file read so far
    bool in_line_ = false;     // the last piece handed out was not a line's last
    bool at_eof_ = false;
    bool failed_ = false;
    bool held_ = false;
};

class TextWriter {
  public:
    // Writes to `stream`, which it closes; false for none.
    bool write_into(std::FILE *stream);
    // Writes a draft that appears at the name only when published, whole.
    bool create_draft(std::string_view windows_path);
    void write_line(std::string_view text); // the text and a line end
    void write_text(std::string_view text); // the bytes as they are
    // False when anything could not be written.
    bool close();
    // For a draft: failed as well when anything could not be written.
    Publication publish(PublishMode mode);

  private:
    bool begin(std::FILE *stream);
    void drain();

    std::unique_ptr<std::FILE, int (*)(std::FILE *)> own_file_{nullptr, &std::fclose};
    std::unique_ptr<DraftFile> draft_;
    std::FILE *file_ = nullptr;       // one of the two
    std::unique_ptr<char[]> pending_; // gathered here so that a line costs no library call
    std::size_t used_ = 0;
    bool failed_ = false;
};

} // namespace vorlan::platform
