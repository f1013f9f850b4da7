#include "platform/held_file.h"

#include <gtest/gtest.h>

#include <vector>

namespace vorlan::platform {
namespace {

using std::chrono::milliseconds;
using enum Attempt;

// Time passes in pauses, and `cost` for each try.
struct ScriptedPauses : Pauses {
    milliseconds elapsed() const override { return now; }
    void pause(milliseconds length) override {
        paused.push_back(length);
        now += length;
    }
    std::vector<milliseconds> paused;
    milliseconds now{0};
};

TEST(TryWhileHeld, WaitsBoundedlyForAHeldFileAndNeverForAnotherFailure) {
    const struct {
        std::vector<Attempt> outcomes; // the last one repeats for ever
        milliseconds cost;
        Attempt expected;
        int warnings;
    } table[] = {
        {{done}, milliseconds{0}, done, 0},
        {{held, held, done}, milliseconds{0}, done, 0},
        {{failed}, milliseconds{0}, failed, 0},
        {{held, failed}, milliseconds{0}, failed, 0},
        {{held}, milliseconds{0}, held, 1},
        {{held}, milliseconds{700}, held, 1},
        {{held, held, held, held, held, held, held, held, held, done}, milliseconds{0}, done, 1},
    };
    for (const auto &row : table) {
        SCOPED_TRACE(::testing::Message()
                     << row.outcomes.size() << " outcomes, cost " << row.cost.count());
        ScriptedPauses pauses;
        std::size_t tries = 0;
        int warnings = 0;
        const auto attempt = [&] {
            pauses.now += row.cost;
            return row.outcomes[std::min(tries++, row.outcomes.size() - 1)];
        };
        EXPECT_EQ(try_while_held(attempt, pauses, [&] { ++warnings; }), row.expected);
        EXPECT_EQ(warnings, row.warnings);
        EXPECT_EQ(pauses.paused.size() + 1, tries) << "one pause between two tries";
        if (row.expected != held) {
            EXPECT_EQ(tries, row.outcomes.size());
        } else {
            EXPECT_GE(pauses.now, held_file_bound) << "gave up before the bound";
        }
        EXPECT_LE(pauses.now, held_file_bound + row.cost);
        // Pauses double up to the longest; only the last may be cut short.
        milliseconds expected = first_pause;
        for (std::size_t i = 0; i < pauses.paused.size(); ++i) {
            EXPECT_TRUE(pauses.paused[i] == expected ||
                        (i + 1 == pauses.paused.size() && pauses.paused[i] < expected))
                << "pause " << i;
            expected = std::min(expected * 2, longest_pause);
        }
    }
}

} // namespace
} // namespace vorlan::platform
