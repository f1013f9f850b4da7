#include "platform/held_file.h"

#include "platform/console.h"

#include <algorithm>
#include <string>
#include <thread>

namespace vorlan::platform {
namespace {

using std::chrono::milliseconds;

class RealPauses : public Pauses {
  public:
    milliseconds elapsed() const override {
        return std::chrono::duration_cast<milliseconds>(std::chrono::steady_clock::now() - start_);
    }
    void pause(milliseconds length) override { std::this_thread::sleep_for(length); }

  private:
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

} // namespace

Attempt try_while_held(const std::function<Attempt()> &attempt, Pauses &pauses,
                       const std::function<void()> &warn) {
    milliseconds next = first_pause;
    bool warned = false;
    for (;;) {
        const Attempt outcome = attempt();
        const milliseconds waited = pauses.elapsed();
        if (outcome != Attempt::held || waited >= held_file_bound) {
            return outcome;
        }
        if (!warned && waited >= silent_wait) {
            warn();
            warned = true;
        }
        pauses.pause(std::min(next, held_file_bound - waited));
        next = std::min(next * 2, longest_pause);
    }
}

Attempt try_while_held(const std::function<Attempt()> &attempt, std::string_view shown_path) {
    RealPauses pauses;
    return try_while_held(attempt, pauses, [shown_path] {
        write("***WARNING*** file " + std::string(shown_path) +
              " is in use by another program; waiting. . .\n");
        flush();
    });
}

} // namespace vorlan::platform
