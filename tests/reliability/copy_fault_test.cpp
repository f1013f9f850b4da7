// A new version of the distribution copied over an installed one while
// strace makes one system call fail: each copied file is left whole, old or
// new; a run that leaves the old bytes says why; and the next run mends all.
#include "replace_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

namespace reliability {
namespace {

struct Fault {
    std::vector<std::string> injections = {}; // strace -e inject= arguments
    std::string complaint; // that the fault cost a copy; none when it must cost nothing
    // Where the faulty calls are counted (strace -P), below the scenario's
    // root: a count over the whole process would depend on how it was built.
    std::string only_in = {};
    // A descriptor limit so low that the web files fill several batches,
    // one failing while the next fills.
    std::string descriptors = {};
    // A kernel feature refused (refuse_call) for both runs, not a call injected.
    std::string refused = {};
    // Large files cost much under strace: only the rows that need several
    // writes for each file, or a fault late in one, have them.
    bool small_files = false;
};

const std::string device_error =
    "The request could not be performed because of an I/O device error.";

// Enough web files that their replacements are synced as one batch; small
// ones fill five batches under 24 descriptors.
std::vector<e2e::CopiedFile> copied_files(const e2e::Scenario &machine, bool small_files) {
    std::vector<e2e::CopiedFile> files = machine.default_copies();
    for (int i = 0; i < (small_files ? 24 : 12); ++i) {
        const std::string name = "htdocs/pages/page" + std::to_string(i) + ".html";
        files.push_back({name, machine.c(e2e::apache_dir) / name});
    }
    return files;
}

// Large files take several writes each.
std::string version_of(std::size_t file, unsigned version, bool small_files) {
    return vorlan::testing::binary_content(small_files ? 1'000 + file * 211
                                                       : 150'000 + file * 20'011,
                                           static_cast<unsigned>(file) + version * 100);
}

void put_version(const e2e::Scenario &machine, const std::vector<e2e::CopiedFile> &files,
                 unsigned version, bool small_files) {
    for (std::size_t i = 0; i < files.size(); ++i) {
        e2e::write_file(machine.dist / files[i].source, version_of(i, version, small_files));
    }
}

TEST(CopyFault, EveryCopiedFileIsWholeAndAFailedCopyIsReported) {
    const auto strace = program_on_path("strace");
    if (!strace) {
        GTEST_SKIP() << "SKIPPED: strace is not installed (.ci/run installs it)";
    }
    // The web files' places in `files`, in the order xcopy copies them: a
    // folder's files before its folders.
    const auto listing_order = [](const std::vector<e2e::CopiedFile> &files) {
        std::vector<std::size_t> web;
        for (std::size_t i = 0; i < files.size(); ++i) {
            if (files[i].source.starts_with("htdocs/")) {
                web.push_back(i);
            }
        }
        std::ranges::sort(web, {}, [&](std::size_t i) {
            const fs::path source(files[i].source);
            return std::pair{source.parent_path() == "htdocs" ? fs::path() : source.parent_path(),
                             source.filename()};
        });
        return web;
    };
    const Fault table[] = {
        {.injections = {"copy_file_range:error=EXDEV"}, .complaint = ""},
        {.injections = {"copy_file_range:error=EPERM"}, .complaint = ""},
        {.injections = {"write:error=ENOSPC:when=20", "copy_file_range:error=EXDEV"},
         .complaint = "There is not enough space on the disk."},
        {.injections = {"fsync:error=EIO:when=5"}, .complaint = device_error},
        {.injections = {"rename:error=EIO:when=5"}, .complaint = device_error},
        {.injections = {"openat:error=EACCES:when=5"},
         .complaint = "Access is denied.",
         .only_in = "dist/htdocs/pages"},
        {.injections = {"syncfs:error=EIO"}, .complaint = device_error, .descriptors = "32"},
        // A target folder's sync alone fails: its files were named, not kept.
        {.injections = {"fsync:error=EIO"},
         .complaint = device_error,
         .only_in = "prefix/drive_c/" + std::string(e2e::apache_dir) + "/htdocs/pages",
         .small_files = true},
        // Batches of six: all five listed; the third failing (page19.html, the
        // fourteenth file opened there) while the second is published.
        {.injections = {"copy_file_range:error=EXDEV"},
         .complaint = "",
         .descriptors = "24",
         .small_files = true},
        {.injections = {"openat:error=EACCES:when=14"},
         .complaint = "Access is denied.",
         .only_in = "dist/htdocs/pages",
         .descriptors = "24",
         .small_files = true},
        {.complaint = "", .refused = "tmpfile", .small_files = true},
        {.complaint = "", .refused = "empty-path", .small_files = true},
    };
    for (const Fault &row : table) {
        SCOPED_TRACE(row.refused + (row.injections.empty() ? "" : row.injections.front()) + " " +
                     row.descriptors);
        e2e::Scenario machine = e2e::Scenario::default_machine();
        const bool small = row.small_files;
        const auto files = copied_files(machine, small);
        put_version(machine, files, 1, small);
        const std::vector<std::string> refusing = {VORLAN_REFUSE_CALL, row.refused};
        const auto first = row.refused.empty() ? machine.run(accept_defaults)
                                               : run_wrapped(machine, accept_defaults, refusing);
        ASSERT_EQ(first.exit_status, 0) << first.out << first.err;

        put_version(machine, files, 2, small);
        const fs::path trace = machine.root / "trace.txt";
        std::vector<std::string> wrapper = {strace->string(), "-f", "-qq", "-o", trace.string()};
        if (!row.refused.empty()) {
            wrapper = refusing;
        }
        if (!row.descriptors.empty()) {
            const std::string limit = "--nofile=" + row.descriptors + ":" + row.descriptors;
            const auto prlimit = program_on_path("prlimit").value_or("prlimit"); // util-linux
            wrapper.insert(wrapper.begin(), {prlimit.string(), limit});
        }
        if (!row.only_in.empty()) {
            wrapper.insert(wrapper.end(), {"-P", (machine.root / row.only_in).string()});
        }
        for (const std::string &injection : row.injections) {
            wrapper.insert(wrapper.end(), {"-e", "inject=" + injection});
        }
        const auto faulty = run_wrapped(machine, accept_defaults, wrapper);
        EXPECT_FALSE(faulty.timed_out);
        if (row.refused.empty()) {
            EXPECT_NE(e2e::read_file(trace).find("(INJECTED)"), std::string::npos)
                << "the fault was never injected";
        }
        // A failed draft is removed as it fails, not by the next run.
        for (const auto &file : files) {
            EXPECT_EQ(replace_leftovers(file.target.parent_path()), std::vector<fs::path>{});
        }
        // Each web file listed once, in order, and only once it stands whole at its name.
        const auto web = listing_order(files);
        std::vector<std::string> listed;
        std::string counted;
        std::istringstream out(faulty.out);
        for (std::string line; std::getline(out, line);) {
            // The first line of xcopy's follows the last question on its line.
            line.erase(0, line.rfind(": ") == std::string::npos ? 0 : line.rfind(": ") + 2);
            if (line.starts_with("htdocs\\")) {
                listed.push_back(line);
            } else if (counted.empty() && line.ends_with(" File(s) copied")) {
                counted = line;
            }
        }
        ASSERT_LE(listed.size(), web.size()) << faulty.out;
        for (std::size_t i = 0; i < listed.size(); ++i) {
            std::string shown = files[web[i]].source;
            std::ranges::replace(shown, '/', '\\');
            EXPECT_EQ(listed[i], shown);
            EXPECT_TRUE(e2e::read_file(files[web[i]].target) == version_of(web[i], 2, small))
                << shown;
        }
        EXPECT_EQ(counted, std::to_string(listed.size()) + " File(s) copied");
        int old_files = 0;
        for (std::size_t i = 0; i < files.size(); ++i) {
            const std::string now = e2e::read_file(files[i].target);
            old_files += now == version_of(i, 1, small);
            EXPECT_TRUE(now == version_of(i, 1, small) || now == version_of(i, 2, small))
                << files[i].target;
        }
        if (row.complaint.empty()) {
            // Another way to copy does it all, as a run without the fault.
            EXPECT_EQ(faulty.exit_status, 0) << faulty.out << faulty.err;
            EXPECT_EQ(old_files, 0);
            EXPECT_EQ(listed.size(), web.size());
        } else {
            // A run that stopped early says so; one that went on ends with 2.
            EXPECT_EQ(faulty.exit_status,
                      faulty.out.find("***ERROR***") == std::string::npos ? 2 : 1);
            EXPECT_NE((faulty.out + faulty.err).find(row.complaint + "\n"), std::string::npos)
                << faulty.out << faulty.err;
        }

        const auto mended = machine.run(accept_defaults);
        EXPECT_EQ(mended.exit_status, 0) << mended.out << mended.err;
        for (std::size_t i = 0; i < files.size(); ++i) {
            EXPECT_TRUE(e2e::read_file(files[i].target) == version_of(i, 2, small))
                << files[i].target;
            EXPECT_EQ(replace_leftovers(files[i].target.parent_path()), std::vector<fs::path>{});
        }
    }
}

} // namespace
} // namespace reliability
