#pragma once
// Text files as the installer's users know them from Windows, identical on
// every platform: read and written as bytes, every line end written is CR LF,
// CR LF or a bare LF read is one line end, and every other byte (a lone CR,
// NUL, Ctrl-Z) is data. Lines of any length are read whole.

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vorlan::platform {

inline constexpr std::string_view line_end = "\r\n";

struct Line {
    std::string_view text; // without its line end; valid until the next read
    bool has_line_end;     // false only for a last line that ends the file
};

class TextReader {
  public:
    // False when the file cannot be opened for reading.
    bool open(std::string_view windows_path);
    // The next line, or nothing at the end of the file or on a read error.
    std::optional<Line> next();
    bool failed() const { return failed_; }

  private:
    bool refill();

    std::unique_ptr<std::FILE, int (*)(std::FILE *)> file_{nullptr, &std::fclose};
    std::vector<char> buffer_;
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
    std::string long_line_; // a line that did not fit in one buffer load
    bool at_eof_ = false;
    bool failed_ = false;
};

class TextWriter {
  public:
    // Creates the file, or truncates it; false when that is not possible.
    bool create(std::string_view windows_path);
    void write_line(std::string_view text); // the text and a line end
    void write_text(std::string_view text); // the bytes as they are
    // False when anything could not be written.
    bool close();

  private:
    void drain();

    std::unique_ptr<std::FILE, int (*)(std::FILE *)> file_{nullptr, &std::fclose};
    std::vector<char> pending_; // gathered here so that a line costs no library call
    bool failed_ = false;
};

} // namespace vorlan::platform
