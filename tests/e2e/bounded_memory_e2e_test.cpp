// The installer streams what it rewrites: a line of tens of megabytes costs
// it no more memory than a short one; and a folder of many files costs it
// little more than their names.
#include "support/scenario.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <fstream>
#include <string>

namespace e2e {
namespace {

constexpr long memory_limit_kib = 16 * 1024;

constexpr std::size_t line_length = 24 << 20;

// The largest resident size of any child this process has waited for. A
// child's memory before it starts the program counts too: this process must
// hold nothing large when it starts one.
long largest_child_kib() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_maxrss;
}

void write_repeated(std::ofstream &out, char byte, std::size_t count) {
    const std::string chunk(1 << 20, byte);
    for (std::size_t written = 0; written < count; written += chunk.size()) {
        out << chunk;
    }
}

// First: a child's size counts what this process holds when it starts
// one, and the huge lines below leave this process large.
TEST(BoundedMemory, AFolderOfManyFilesInstallsAndInstallsAgainInLittleMemory) {
    if (under_wine()) {
        GTEST_SKIP() << "under Wine, Windows' own xcopy copies the folder";
    }
    if (largest_child_kib() >= memory_limit_kib) {
        GTEST_SKIP() << "an earlier child of this process already used that much";
    }
    Scenario machine = Scenario::default_machine();
    const fs::path folder = machine.dist / "htdocs" / "many";
    fs::create_directories(folder);
    for (int i = 0; i < 100'000; ++i) {
        std::ofstream(folder / ("page-" + std::to_string(i) + ".html"), std::ios::binary)
            << std::string(100, 'x');
    }
    for (const char *pass : {"first installation", "second"}) {
        const auto run = machine.run("y\n\n\n\n\n");
        ASSERT_EQ(run.exit_status, 0) << pass << ": " << run.err;
        EXPECT_LT(largest_child_kib(), memory_limit_kib) << pass;
    }
    EXPECT_EQ(read_file(machine.c(apache_dir) / "htdocs/many/page-99999.html"),
              std::string(100, 'x'));
}

TEST(BoundedMemory, HugeLinesPassThroughTheRewriteInLittleMemory) {
    if (largest_child_kib() >= memory_limit_kib) {
        GTEST_SKIP() << "an earlier child of this process already used that much";
    }
    Scenario machine = Scenario::default_machine();
    const fs::path conf = machine.c(apache_dir) / "conf" / "httpd.conf";
    {
        std::ofstream out(conf, std::ios::binary);
        out << "Listen 80\r\n";
        write_repeated(out, 'k', line_length);
        out << "\r\nInclude ";
        write_repeated(out, 'd', line_length);
        out << "\r\nlast\n";
    }

    const auto run = machine.run("y\n\n\n\n\n");
    ASSERT_EQ(run.exit_status, 0) << run.err;

    EXPECT_LT(largest_child_kib(), memory_limit_kib);
    const std::string expected = "Listen 80\r\n" + std::string(line_length, 'k') +
                                 "\r\nlast\r\n\r\n#configured by Vorlan 1.5\r\n" + default_include +
                                 "\r\n";
    const std::string written = read_file(conf);
    EXPECT_EQ(written.size(), expected.size());
    EXPECT_TRUE(written == expected) << "httpd.conf differs from what was expected";
}

} // namespace
} // namespace e2e
