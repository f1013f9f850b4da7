#include "platform/text_file.h"

#include "platform/file_cache.h"
#include "platform/open_file.h"
#include "platform/windows_path.h"

#include <cstring>
#include <system_error>

namespace vorlan::platform {
namespace {

std::optional<std::filesystem::path> file_path(std::string_view windows_path) {
    auto path = host_path(windows_path);
    std::error_code error;
    // A directory opens for reading on POSIX, but never on Windows.
    if (!path || std::filesystem::is_directory(*path, error)) {
        return std::nullopt;
    }
    return path;
}

OpenedFile open_for_reading(std::string_view windows_path) {
    const auto path = file_path(windows_path);
    return path ? open_file(*path, OpenMode::read) : OpenedFile{};
}

std::string_view without_cr(std::string_view text) {
    if (!text.empty() && text.back() == '\r') {
        text.remove_suffix(1);
    }
    return text;
}

} // namespace

bool TextReader::open(std::string_view windows_path) {
    const OpenedFile opened = open_for_reading(windows_path);
    file_.reset(opened.file);
    held_ = opened.held;
    if (!file_) {
        return false;
    }
    // Our buffer is the only one: the stream's own would add a copy.
    std::setvbuf(file_.get(), nullptr, _IONBF, 0);
    if (!buffer_) {
        buffer_ = std::make_unique_for_overwrite<char[]>(text_buffer_size);
    }
    begin_ = end_ = 0;
    loaded_ = 0;
    in_line_ = at_eof_ = failed_ = false;
    return true;
}

// Keeps the unread bytes, moved to the front, and fills the rest.
bool TextReader::refill() {
    if (at_eof_ || !file_) {
        return false;
    }
    const std::size_t kept = end_ - begin_;
    std::memmove(buffer_.get(), buffer_.get() + begin_, kept);
    begin_ = 0;
    const std::size_t wanted = text_buffer_size - kept;
    const std::size_t got = std::fread(buffer_.get() + kept, 1, wanted, file_.get());
    end_ = kept + got;
    forget_cached_bytes(file_.get(), loaded_, got);
    loaded_ += got;
    if (got < wanted) {
        at_eof_ = true;
        failed_ = std::ferror(file_.get()) != 0;
    }
    return got > 0;
}

Line TextReader::take(std::size_t length, Piece piece) {
    const std::string_view text(buffer_.get() + begin_, length);
    const bool begins_line = !in_line_;
    in_line_ = piece == Piece::more_follows;
    if (piece == Piece::ends_with_line_end) {
        begin_ += length + 1;
        return {without_cr(text), true, begins_line};
    }
    begin_ += length;
    return {text, false, begins_line};
}

std::optional<Line> TextReader::next() {
    for (;;) {
        const char *start = buffer_.get() + begin_;
        const std::size_t available = end_ - begin_;
        if (const auto *newline = static_cast<const char *>(std::memchr(start, '\n', available))) {
            return take(static_cast<std::size_t>(newline - start), Piece::ends_with_line_end);
        }
        if (!at_eof_ && available < text_buffer_size) {
            if (!refill() && failed_) {
                return std::nullopt;
            }
            continue;
        }
        if (available == 0 || failed_) {
            return std::nullopt;
        }
        if (at_eof_) {
            return take(available, Piece::ends_the_file);
        }
        // The buffer holds nothing but part of one line. A CR at its end
        // waits for the next load: it may be the first half of a line end.
        return take(start[available - 1] == '\r' ? available - 1 : available, Piece::more_follows);
    }
}

bool TextWriter::write_into(std::FILE *stream) {
    draft_.reset();
    own_file_.reset(stream);
    return begin(own_file_.get());
}

bool TextWriter::create_draft(std::string_view windows_path) {
    own_file_.reset();
    draft_ = std::make_unique<DraftFile>();
    const auto path = file_path(windows_path);
    return begin(path && draft_->open(*path) ? draft_->stream() : nullptr);
}

bool TextWriter::begin(std::FILE *stream) {
    file_ = stream;
    if (!file_) {
        return false;
    }
    std::setvbuf(file_, nullptr, _IONBF, 0);
    if (!pending_) {
        pending_ = std::make_unique_for_overwrite<char[]>(text_buffer_size);
    }
    used_ = 0;
    failed_ = false;
    return true;
}

void TextWriter::drain() {
    if (used_ > 0 && std::fwrite(pending_.get(), 1, used_, file_) != used_) {
        failed_ = true;
    }
    used_ = 0;
}

void TextWriter::write_text(std::string_view text) {
    if (!file_) {
        return;
    }
    if (text.size() > text_buffer_size - used_) {
        drain();
        if (text.size() >= text_buffer_size) {
            if (std::fwrite(text.data(), 1, text.size(), file_) != text.size()) {
                failed_ = true;
            }
            return;
        }
    }
    std::memcpy(pending_.get() + used_, text.data(), text.size());
    used_ += text.size();
}

void TextWriter::write_line(std::string_view text) {
    write_text(text);
    write_text(line_end);
}

bool TextWriter::close() {
    if (!file_ || !own_file_) {
        return false;
    }
    drain();
    file_ = nullptr;
    const bool closed = std::fclose(own_file_.release()) == 0;
    return closed && !failed_;
}

Publication TextWriter::publish(PublishMode mode) {
    if (!file_ || !draft_) {
        return Publication::failed;
    }
    drain();
    file_ = nullptr;
    // A draft with a write error is dropped, never published.
    const Publication publication = failed_ ? Publication::failed : draft_->publish(mode);
    draft_.reset();
    return publication;
}

} // namespace vorlan::platform
