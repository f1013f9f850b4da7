#pragma once
// A virus scanner, the search indexer or a backup agent may hold a file that
// the installer is about to open or replace, for a moment. An operation
// refused for that alone is tried again, with growing pauses and for a
// bounded time, before the run gives up on it; only a long wait is told.

#include <chrono>
#include <functional>
#include <string_view>

namespace vorlan::platform {

enum class Attempt { done, held, failed };

inline constexpr std::chrono::milliseconds first_pause{10};
inline constexpr std::chrono::milliseconds longest_pause{320};
inline constexpr std::chrono::milliseconds silent_wait{1000};
inline constexpr std::chrono::milliseconds held_file_bound{5000};

// The passing of time, which a test scripts.
class Pauses {
  public:
    virtual ~Pauses() = default;
    virtual std::chrono::milliseconds elapsed() const = 0;
    virtual void pause(std::chrono::milliseconds length) = 0;
};

// Tries until a try is done or failed, or is still held when the bound is
// reached; returns the last try's outcome. `warn` is called once, when the
// file has been held for silent_wait.
Attempt try_while_held(const std::function<Attempt()> &attempt, Pauses &pauses,
                       const std::function<void()> &warn);

// The same in real time, the warning naming the file on the console.
Attempt try_while_held(const std::function<Attempt()> &attempt, std::string_view shown_path);

// Whether another program holds the file so that it cannot be written now.
// Only Windows has such holds.
bool held_by_another_program(std::string_view windows_path);

} // namespace vorlan::platform
