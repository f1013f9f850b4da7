#include "platform/text_file.h"

#include "platform/windows_path.h"

#include <cstring>
#include <system_error>

namespace vorlan::platform {
namespace {

constexpr std::size_t io_buffer_size = 1 << 20;

std::FILE *open_host_file(std::string_view windows_path, const char *mode) {
    const auto path = host_path(windows_path);
    std::error_code error;
    // A directory opens for reading on POSIX, but never on Windows.
    if (!path || path->empty() || std::filesystem::is_directory(*path, error)) {
        return nullptr;
    }
    return std::fopen(path->string().c_str(), mode);
}

std::string_view without_cr(std::string_view text) {
    if (!text.empty() && text.back() == '\r') {
        text.remove_suffix(1);
    }
    return text;
}

} // namespace

bool TextReader::open(std::string_view windows_path) {
    file_.reset(open_host_file(windows_path, "rb"));
    if (!file_) {
        return false;
    }
    buffer_.resize(io_buffer_size);
    begin_ = end_ = 0;
    at_eof_ = failed_ = false;
    long_line_.clear();
    return true;
}

bool TextReader::refill() {
    if (at_eof_ || !file_) {
        return false;
    }
    end_ = std::fread(buffer_.data(), 1, buffer_.size(), file_.get());
    begin_ = 0;
    if (end_ < buffer_.size()) {
        at_eof_ = true;
        failed_ = std::ferror(file_.get()) != 0;
    }
    return end_ > 0;
}

std::optional<Line> TextReader::next() {
    long_line_.clear();
    bool spans_loads = false;
    for (;;) {
        if (begin_ == end_ && !refill()) {
            if (failed_ || !spans_loads) {
                return std::nullopt;
            }
            return Line{long_line_, false};
        }
        const char *start = buffer_.data() + begin_;
        const std::size_t available = end_ - begin_;
        const auto *newline = static_cast<const char *>(std::memchr(start, '\n', available));
        if (newline == nullptr) {
            long_line_.append(start, available);
            spans_loads = true;
            begin_ = end_;
            continue;
        }
        const auto length = static_cast<std::size_t>(newline - start);
        begin_ += length + 1;
        if (!spans_loads) {
            return Line{without_cr({start, length}), true};
        }
        long_line_.append(start, length);
        return Line{without_cr(long_line_), true};
    }
}

bool TextWriter::create(std::string_view windows_path) {
    file_.reset(open_host_file(windows_path, "wb"));
    if (!file_) {
        return false;
    }
    std::setvbuf(file_.get(), nullptr, _IONBF, 0);
    pending_.clear();
    pending_.reserve(io_buffer_size);
    failed_ = false;
    return true;
}

void TextWriter::drain() {
    if (!pending_.empty() &&
        std::fwrite(pending_.data(), 1, pending_.size(), file_.get()) != pending_.size()) {
        failed_ = true;
    }
    pending_.clear();
}

void TextWriter::write_text(std::string_view text) {
    if (!file_) {
        return;
    }
    if (pending_.size() + text.size() > io_buffer_size) {
        drain();
    }
    if (text.size() >= io_buffer_size) {
        if (std::fwrite(text.data(), 1, text.size(), file_.get()) != text.size()) {
            failed_ = true;
        }
        return;
    }
    pending_.insert(pending_.end(), text.begin(), text.end());
}

void TextWriter::write_line(std::string_view text) {
    write_text(text);
    write_text(line_end);
}

bool TextWriter::close() {
    if (!file_) {
        return false;
    }
    drain();
    const bool closed = std::fclose(file_.release()) == 0;
    return closed && !failed_;
}

} // namespace vorlan::platform
