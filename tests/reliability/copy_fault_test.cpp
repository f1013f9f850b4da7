// A new version of the distribution copied over an installed one while
// strace makes one system call fail: each copied file is left whole, old or
// new; a run that leaves the old bytes says why; and the next run mends all.
#include "replace_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace reliability {
namespace {

struct Fault {
    std::vector<std::string> injections; // strace -e inject= arguments
    std::string complaint; // that the fault cost a copy; none when it must cost nothing
    // Where the faulty calls are counted (strace -P), in the distribution:
    // a count over the whole process would depend on how it was built.
    std::string only_in = {};
    // A descriptor limit so low that a batch fails while the next one fills.
    std::string descriptors = {};
};

// Enough web files that their replacements are synced as one batch, and
// files large enough to take several writes each.
std::vector<e2e::CopiedFile> copied_files(const e2e::Scenario &machine) {
    std::vector<e2e::CopiedFile> files = machine.default_copies();
    for (int i = 0; i < 12; ++i) {
        const std::string name = "htdocs/pages/page" + std::to_string(i) + ".html";
        files.push_back({name, machine.c(e2e::apache_dir) / name});
    }
    return files;
}

std::string version_of(std::size_t file, unsigned version) {
    return vorlan::testing::binary_content(150'000 + file * 20'011,
                                           static_cast<unsigned>(file) + version * 100);
}

void put_version(const e2e::Scenario &machine, const std::vector<e2e::CopiedFile> &files,
                 unsigned version) {
    for (std::size_t i = 0; i < files.size(); ++i) {
        e2e::write_file(machine.dist / files[i].source, version_of(i, version));
    }
}

TEST(CopyFault, EveryCopiedFileIsWholeAndAFailedCopyIsReported) {
    const auto strace = program_on_path("strace");
    if (!strace) {
        GTEST_SKIP() << "SKIPPED: strace is not installed (.ci/run installs it)";
    }
    const Fault table[] = {
        {{"copy_file_range:error=EXDEV"}, ""},
        {{"copy_file_range:error=EPERM"}, ""},
        {{"write:error=ENOSPC:when=20", "copy_file_range:error=EXDEV"},
         "There is not enough space on the disk."},
        {{"fsync:error=EIO:when=5"},
         "The request could not be performed because of an I/O device error."},
        {{"rename:error=EIO:when=5"},
         "The request could not be performed because of an I/O device error."},
        {{"openat:error=EACCES:when=5"}, "Access is denied.", "htdocs/pages"},
        {{"syncfs:error=EIO"},
         "The request could not be performed because of an I/O device error.",
         "",
         "32"},
    };
    for (const Fault &row : table) {
        const std::string name = row.injections.front();
        SCOPED_TRACE(name);
        e2e::Scenario machine;
        machine.add_default_products();
        machine.add_distribution();
        const auto files = copied_files(machine);
        put_version(machine, files, 1);
        ASSERT_EQ(machine.run(accept_defaults).exit_status, 0);

        put_version(machine, files, 2);
        const fs::path trace = machine.root / "trace.txt";
        std::vector<std::string> wrapper = {strace->string(), "-f", "-qq", "-o", trace.string()};
        if (!row.descriptors.empty()) {
            const std::string limit = "--nofile=" + row.descriptors + ":" + row.descriptors;
            const auto prlimit = program_on_path("prlimit").value_or("prlimit"); // util-linux
            wrapper.insert(wrapper.begin(), {prlimit.string(), limit});
        }
        if (!row.only_in.empty()) {
            wrapper.insert(wrapper.end(), {"-P", (machine.dist / row.only_in).string()});
        }
        for (const std::string &injection : row.injections) {
            wrapper.insert(wrapper.end(), {"-e", "inject=" + injection});
        }
        const auto faulty = run_wrapped(machine, accept_defaults, wrapper);
        EXPECT_FALSE(faulty.timed_out);
        EXPECT_NE(e2e::read_file(trace).find("(INJECTED)"), std::string::npos)
            << "the fault was never injected";
        int old_files = 0;
        for (std::size_t i = 0; i < files.size(); ++i) {
            const std::string now = e2e::read_file(files[i].target);
            old_files += now == version_of(i, 1);
            EXPECT_TRUE(now == version_of(i, 1) || now == version_of(i, 2)) << files[i].target;
        }
        if (row.complaint.empty()) {
            // Another way to copy does it all, as a run without the fault.
            EXPECT_EQ(faulty.exit_status, 0) << faulty.out << faulty.err;
            EXPECT_EQ(old_files, 0);
        } else {
            EXPECT_NE((faulty.out + faulty.err).find(row.complaint + "\n"), std::string::npos)
                << faulty.out << faulty.err;
        }

        const auto mended = machine.run(accept_defaults);
        EXPECT_EQ(mended.exit_status, 0) << mended.out << mended.err;
        for (std::size_t i = 0; i < files.size(); ++i) {
            EXPECT_TRUE(e2e::read_file(files[i].target) == version_of(i, 2)) << files[i].target;
            EXPECT_EQ(replace_leftovers(files[i].target.parent_path()), std::vector<fs::path>{});
        }
    }
}

} // namespace
} // namespace reliability
