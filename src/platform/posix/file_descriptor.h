#pragma once

#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <limits>

namespace vorlan::platform::posix {

// An open file descriptor, closed when it goes out of scope.
class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;
    ~FileDescriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }

    void reset(int fd) {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = fd;
    }
    int get() const { return fd_; }
    bool is_open() const { return fd_ >= 0; }
    // Closing can report a late write error, so it is not left to the destructor.
    int close() {
        const int result = ::close(fd_);
        fd_ = -1;
        return result == 0 ? 0 : errno;
    }

  private:
    int fd_;
};

// How many descriptors the process may have open at once.
inline std::size_t descriptors_allowed() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) {
        return std::numeric_limits<std::size_t>::max();
    }
    return static_cast<std::size_t>(limit.rlim_cur);
}

} // namespace vorlan::platform::posix
