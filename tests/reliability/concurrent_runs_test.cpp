// Two installations at once on one machine: a rewrite waits for the other
// run's rewrite of the same file, and every file either run writes ends up
// as one of the two orders of the runs would leave it.
#include "replace_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <future>
#include <map>
#include <optional>
#include <thread>

namespace reliability {
namespace {

using namespace std::chrono_literals;

// Another Java SDK, and the same Tomcat spelled another way.
const std::string other_answers =
    "y\nC:\\jdk1.4.2\n\nc:\\PROGRAM FILES\\Apache Group\\..\\apache tomcat 4.0\n\n";

const std::string apache = std::string(e2e::apache_dir);
const std::string tomcat = std::string(e2e::tomcat_dir);
const std::string written_files[] = {
    apache + "/conf/httpd.conf",
    tomcat + "/bin/startup.bat",
    tomcat + "/bin/shutdown.bat",
    tomcat + "/bin/tomcat.reg",
    tomcat + "/conf/jk/vorlan_mod_jk.conf",
    tomcat + "/conf/jk/vorlan_worker.properties",
};

using Files = std::map<std::string_view, std::optional<std::string>>;

// Large enough that a rewrite takes a while, so that the runs overlap in it.
std::string large_httpd_conf() {
    std::string text(e2e::original_httpd_conf);
    for (int i = 0; i < 60'000; ++i) {
        text += (i % 50 == 0 ? "Include conf/extra/" : "# a comment of the administrator, line ") +
                std::to_string(i) + "\r\n";
    }
    return text;
}

int pair_count() {
    if (const char *count = std::getenv("VORLAN_CONCURRENT_PAIRS")) {
        return std::atoi(count);
    }
    return e2e::under_wine() ? 30 : 100;
}

class ConcurrentRuns : public ::testing::Test {
  protected:
    void SetUp() override {
        e2e::write_file(machine.c(e2e::apache_dir) / "conf/httpd.conf", large_httpd_conf());
        before = files();
    }

    Files files() const {
        Files now;
        for (const std::string_view file : written_files) {
            const fs::path path = machine.c(file);
            now[file] = fs::exists(path) ? std::optional(e2e::read_file(path)) : std::nullopt;
        }
        return now;
    }

    void reset() const {
        for (const auto &[file, content] : before) {
            if (content) {
                e2e::write_file(machine.c(file), *content);
            } else {
                fs::remove(machine.c(file));
            }
        }
    }

    Files serially(const std::string &first, const std::string &second) const {
        reset();
        for (const std::string *answers : {&first, &second}) {
            const auto run = machine.run(*answers);
            EXPECT_EQ(run.exit_status, 0) << run.out << run.err;
        }
        return files();
    }

    e2e::Scenario machine = e2e::Scenario::default_machine();
    Files before;
};

TEST_F(ConcurrentRuns, EveryFileIsWhatOneOrderOfTheRunsLeaves) {
    const Files one_order = serially(accept_defaults, other_answers);
    const Files other_order = serially(other_answers, accept_defaults);
    const int pairs = pair_count();
    for (int pair = 0; pair < pairs && !HasFailure(); ++pair) {
        reset();
        auto first = std::async(std::launch::async, [&] { return machine.run(accept_defaults); });
        auto second = std::async(std::launch::async, [&] { return machine.run(other_answers); });
        for (auto *run : {&first, &second}) {
            const auto result = run->get();
            EXPECT_EQ(result.exit_status, 0)
                << "pair " << pair << ": " << result.exit_status << "\n"
                << result.out << result.err;
        }
        const Files now = files();
        for (const std::string_view file : written_files) {
            const auto &content = now.at(file);
            EXPECT_TRUE(content == one_order.at(file) || content == other_order.at(file))
                << file << " after pair " << pair << " of " << pairs << ": "
                << difference(content.value_or("(none)"), one_order.at(file).value_or("(none)"));
        }
    }
}

// A blocked flock waiter on the file shows in /proc/locks as "N: -> FLOCK".
bool someone_waits_for(const fs::path &path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        return false;
    }
    const std::string inode = ":" + std::to_string(status.st_ino) + " ";
    std::ifstream locks("/proc/locks");
    for (std::string line; std::getline(locks, line);) {
        if (line.find("-> FLOCK") != std::string::npos && line.find(inode) != std::string::npos) {
            return true;
        }
    }
    return false;
}

TEST_F(ConcurrentRuns, ARewriteWaitsForTheRunThatHoldsItsLock) {
    if (e2e::under_wine()) {
        GTEST_SKIP() << "the lock is looked at through /proc/locks";
    }
    const fs::path httpd = machine.c(e2e::apache_dir) / "conf/httpd.conf";
    const fs::path scratch = machine.c(e2e::apache_dir) / "conf/httpd.npm";
    const int held = ::open(scratch.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    auto run = std::async(std::launch::async, [&] { return machine.run(accept_defaults); });
    bool waits = false;
    for (int look = 0; look < 6000 && !waits; ++look) {
        waits = someone_waits_for(scratch);
        if (!waits) {
            std::this_thread::sleep_for(10ms);
        }
    }
    EXPECT_TRUE(waits) << "the run never waited for the lock";
    EXPECT_EQ(e2e::read_file(httpd), *before.at(written_files[0]));
    EXPECT_EQ(run.wait_for(0s), std::future_status::timeout);
    ::close(held);
    const auto result = run.get();
    EXPECT_EQ(result.exit_status, 0) << result.out << result.err;
    EXPECT_TRUE(e2e::read_file(httpd) ==
                httpd_conf_after_default_run(*before.at(written_files[0])));
}

} // namespace
} // namespace reliability
