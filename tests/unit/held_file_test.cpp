#include "platform/held_file.h"

#include <gtest/gtest.h>

#include <vector>

namespace vorlan::platform {
namespace {

using std::chrono::milliseconds;
using enum Attempt;

// Time passes only in pauses, and each try costs `cost`.
class ScriptedPauses : public Pauses {
  public:
    explicit ScriptedPauses(milliseconds cost) : cost_(cost) {}
    milliseconds elapsed() const override { return now_; }
    void pause(milliseconds length) override {
        paused.push_back(length);
        now_ += length;
    }
    void tried() { now_ += cost_; }

    std::vector<milliseconds> paused;

  private:
    milliseconds cost_;
    milliseconds now_{0};
};

struct Case {
    const char *what;
    std::vector<Attempt> outcomes; // the last one repeats for ever
    milliseconds cost;
    Attempt expected;
    int warnings;
};

TEST(TryWhileHeld, WaitsBoundedlyForAHeldFileAndNeverForAnotherFailure) {
    const Case table[] = {
        {"done at once", {done}, milliseconds{0}, done, 0},
        {"held twice, then done", {held, held, done}, milliseconds{0}, done, 0},
        {"another failure ends it at once", {failed}, milliseconds{0}, failed, 0},
        {"held, then another failure", {held, failed}, milliseconds{0}, failed, 0},
        {"held for ever", {held}, milliseconds{0}, held, 1},
        {"held for ever, each try slow", {held}, milliseconds{700}, held, 1},
        {"held past the silent second, then done",
         {held, held, held, held, held, held, held, held, held, done},
         milliseconds{0},
         done,
         1},
    };
    for (const Case &row : table) {
        SCOPED_TRACE(row.what);
        ScriptedPauses pauses(row.cost);
        std::size_t tries = 0;
        int warnings = 0;
        const Attempt outcome = try_while_held(
            [&] {
                pauses.tried();
                return row.outcomes[std::min(tries++, row.outcomes.size() - 1)];
            },
            pauses, [&] { ++warnings; });
        EXPECT_EQ(outcome, row.expected);
        EXPECT_EQ(warnings, row.warnings);
        if (row.expected != held) {
            EXPECT_EQ(tries, row.outcomes.size()) << "a try after the outcome";
        }
        EXPECT_EQ(pauses.paused.size() + 1, tries) << "one pause between two tries";
        // Pauses double from the first up to the longest; the last may be cut
        // short by the bound.
        milliseconds expected_pause = first_pause;
        for (std::size_t i = 0; i < pauses.paused.size(); ++i) {
            if (i + 1 < pauses.paused.size()) {
                EXPECT_EQ(pauses.paused[i], expected_pause) << "pause " << i;
            } else {
                EXPECT_LE(pauses.paused[i], expected_pause) << "the last pause";
            }
            expected_pause = std::min(expected_pause * 2, longest_pause);
        }
        EXPECT_LE(pauses.elapsed(), held_file_bound + row.cost);
        if (row.expected == held) {
            EXPECT_GE(pauses.elapsed(), held_file_bound) << "gave up before the bound";
        }
    }
}

} // namespace
} // namespace vorlan::platform
