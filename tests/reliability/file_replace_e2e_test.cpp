// How the installer replaces httpd.conf, startup.bat and shutdown.bat on a
// POSIX machine: through symbolic links, keeping permission bits, leaving a
// read-only file whole; and how every file it writes is synced before it
// takes its name.
#include "replace_support.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <optional>
#include <regex>

namespace reliability {
namespace {

const std::string apache_conf = e2e::apache_windows_dir + "\\conf\\";
const std::string tomcat_bin = e2e::tomcat_windows_dir + "\\bin\\";

fs::perms permissions_of(const fs::path &path) {
    return fs::status(path).permissions();
}

class FileReplace : public ::testing::Test {
  protected:
    fs::path httpd_conf() const { return machine.c(e2e::apache_dir) / "conf/httpd.conf"; }
    fs::path tomcat_bin_dir() const { return machine.c(e2e::tomcat_dir) / "bin"; }

    e2e::Scenario machine = e2e::Scenario::default_machine();
};

TEST_F(FileReplace, ALinkedFileIsReplacedAtItsFinalTargetAndTheLinksStay) {
    // httpd.conf -> ../shared/httpd.conf (relative) -> <root>/etc/httpd.conf (absolute)
    const fs::path real_httpd = machine.root / "etc/httpd.conf";
    const fs::path middle = machine.c(e2e::apache_dir) / "shared/httpd.conf";
    e2e::write_file(real_httpd, e2e::original_httpd_conf);
    fs::create_directories(middle.parent_path());
    fs::create_symlink(real_httpd, middle);
    fs::remove(httpd_conf());
    fs::create_symlink("../shared/httpd.conf", httpd_conf());
    const fs::path real_startup = machine.root / "scripts/startup.bat";
    e2e::write_file(real_startup, e2e::original_startup_bat);
    fs::remove(tomcat_bin_dir() / "startup.bat");
    fs::create_symlink(real_startup, tomcat_bin_dir() / "startup.bat");
    fs::permissions(real_httpd, fs::perms(0640));

    const auto run = machine.run(accept_defaults);
    ASSERT_EQ(run.exit_status, 0) << run.out << run.err;

    EXPECT_EQ(fs::read_symlink(httpd_conf()), "../shared/httpd.conf");
    EXPECT_EQ(fs::read_symlink(middle), real_httpd);
    EXPECT_EQ(fs::read_symlink(tomcat_bin_dir() / "startup.bat"), real_startup);
    EXPECT_EQ(e2e::read_file(real_httpd), httpd_conf_after_default_run(e2e::original_httpd_conf));
    EXPECT_EQ(e2e::read_file(real_startup),
              startup_bat_after_default_run(e2e::original_startup_bat));
    EXPECT_EQ(permissions_of(real_httpd), fs::perms(0640));
    EXPECT_TRUE(replace_leftovers(real_httpd.parent_path()).empty());
}

// A scratch file is the installer's own: a link at its name must not carry
// the new content into whatever file it points at.
TEST_F(FileReplace, AScratchNameThatIsALinkIsReplacedNotFollowed) {
    const fs::path precious = machine.root / "precious.txt";
    e2e::write_file(precious, "somebody else's bytes\n");
    const fs::path httpd_scratch = machine.c(e2e::apache_dir) / "conf/httpd.npm";
    const fs::path startup_scratch = tomcat_bin_dir() / "startup.npm";
    fs::create_symlink(precious, httpd_scratch);
    fs::create_symlink(precious, startup_scratch);
    fs::create_symlink(precious, tomcat_bin_dir() / "tomcat.reg");
    // Dangling ones too: opening them to write would make a file where they point.
    const fs::path nowhere = machine.root / "nowhere";
    const fs::path mod_jk_conf = machine.c(e2e::tomcat_dir) / "conf/jk/vorlan_mod_jk.conf";
    fs::create_directories(mod_jk_conf.parent_path());
    fs::create_symlink(nowhere, tomcat_bin_dir() / "shutdown.npm");
    fs::create_symlink(nowhere, mod_jk_conf);

    const auto run = machine.run(accept_defaults);
    ASSERT_EQ(run.exit_status, 0) << run.out << run.err;

    EXPECT_EQ(e2e::read_file(precious), "somebody else's bytes\n");
    EXPECT_FALSE(fs::exists(fs::symlink_status(nowhere)));
    EXPECT_EQ(run.out.find("vorlan_mod_jk.conf exists"), std::string::npos) << run.out;
    for (const auto &written : {httpd_scratch, startup_scratch, tomcat_bin_dir() / "tomcat.reg",
                                tomcat_bin_dir() / "shutdown.npm", mod_jk_conf}) {
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(written))) << written;
    }
    EXPECT_EQ(e2e::read_file(httpd_scratch), e2e::read_file(httpd_conf()));
}

TEST_F(FileReplace, AReplacedFileKeepsItsPermissionBits) {
    const struct {
        fs::path path;
        fs::perms mode;
    } table[] = {
        {httpd_conf(), fs::perms(0640)},
        {tomcat_bin_dir() / "startup.bat", fs::perms(0750)},
        {tomcat_bin_dir() / "shutdown.bat", fs::perms(0604)},
    };
    for (const auto &row : table) {
        fs::permissions(row.path, row.mode);
    }
    const auto run = machine.run(accept_defaults);
    ASSERT_EQ(run.exit_status, 0) << run.out << run.err;
    EXPECT_EQ(e2e::read_file(httpd_conf()), httpd_conf_after_default_run(e2e::original_httpd_conf));
    for (const auto &row : table) {
        EXPECT_EQ(permissions_of(row.path), row.mode) << row.path;
    }
}

struct ReadOnlyCase {
    std::string which;          // below drive C
    std::string windows_target; // as the message names it
    std::string windows_scratch;
    std::string scratch; // below drive C
    std::string (*new_content)(std::string_view);
    std::string_view old_content;
};

// Even root, who could write it, must leave a file alone that says it is
// read-only, as Windows does.
TEST(ReadOnlyTarget, EndsTheRunWithTheScratchNamedAndTheFileWhole) {
    const ReadOnlyCase table[] = {
        {std::string(e2e::apache_dir) + "/conf/httpd.conf", apache_conf + "httpd.conf",
         apache_conf + "httpd.npm", std::string(e2e::apache_dir) + "/conf/httpd.npm",
         httpd_conf_after_default_run, e2e::original_httpd_conf},
        {std::string(e2e::tomcat_dir) + "/bin/startup.bat", tomcat_bin + "startup.bat",
         tomcat_bin + "startup.npm", std::string(e2e::tomcat_dir) + "/bin/startup.npm",
         startup_bat_after_default_run, e2e::original_startup_bat},
        {std::string(e2e::tomcat_dir) + "/bin/shutdown.bat", tomcat_bin + "shutdown.bat",
         tomcat_bin + "shutdown.npm", std::string(e2e::tomcat_dir) + "/bin/shutdown.npm",
         shutdown_bat_after_default_run, e2e::original_shutdown_bat},
    };
    for (const auto &row : table) {
        e2e::Scenario machine = e2e::Scenario::default_machine();
        const fs::path target = machine.c(row.which);
        fs::permissions(target, fs::perms(0444));

        const auto run = machine.run(accept_defaults);
        EXPECT_EQ(run.exit_status, 1) << row.which;
        EXPECT_TRUE(run.out.ends_with("***ERROR*** cannot replace file " + row.windows_target +
                                      "; its new content is in " + row.windows_scratch + "\n"))
            << run.out;
        EXPECT_EQ(run.err, "Access is denied.\n") << row.which;
        EXPECT_EQ(e2e::read_file(target), row.old_content) << row.which;
        EXPECT_EQ(permissions_of(target), fs::perms(0444)) << row.which;
        EXPECT_EQ(e2e::read_file(machine.c(row.scratch)), row.new_content(row.old_content))
            << row.which;
        EXPECT_TRUE(replace_leftovers(target.parent_path()).empty()) << row.which;
        // The run stopped there: the registry script comes after every rewrite.
        EXPECT_FALSE(fs::exists(machine.c(e2e::tomcat_dir) / "bin/tomcat.reg")) << row.which;
    }
}

// One system call from strace's record: "PID name(args) = result".
struct Call {
    std::string name;
    std::string arguments;
    long result = -1;
};

std::vector<Call> read_trace(const fs::path &trace) {
    static const std::regex line(R"(^\d+\s+(\w+)\((.*)\)\s+=\s+(-?\d+).*$)");
    // Paths named from the working directory read as plain paths.
    static const std::regex working_directory("AT_FDCWD, ");
    std::vector<Call> calls;
    std::ifstream in(trace);
    for (std::string text; std::getline(in, text);) {
        std::smatch match;
        if (std::regex_match(text, match, line)) {
            calls.push_back({match[1], std::regex_replace(match[2].str(), working_directory, ""),
                             std::stol(match[3])});
        }
    }
    return calls;
}

bool acts_on(const Call &call, const std::string &name, long fd) {
    return call.name == name && call.arguments == std::to_string(fd);
}

using Calls = std::vector<Call>::const_iterator;

// The call that gave `target` its bytes: a rename or a link onto it; and the
// descriptor those bytes were written through.
struct Publication {
    Calls call;
    long fd = -1;
};

// The quoted source and target of a rename or a link, else nothing. A link
// of a descriptor itself (AT_EMPTY_PATH) is told as one through /proc.
std::optional<std::pair<std::string, std::string>> moved(const Call &call) {
    static const std::regex two_paths(R"re(^("[^"]*"), ("[^"]*"))re");
    static const std::regex descriptor_linked(R"re(^(\d+), "", ("[^"]*"))re");
    std::smatch match;
    if (call.result != 0 ||
        !(call.name.starts_with("rename") || call.name == "link" || call.name == "linkat")) {
        return std::nullopt;
    }
    if (std::regex_search(call.arguments, match, descriptor_linked)) {
        return std::pair{"\"/proc/self/fd/" + match[1].str() + "\"", match[2].str()};
    }
    if (!std::regex_search(call.arguments, match, two_paths)) {
        return std::nullopt;
    }
    return std::pair{match[1].str(), match[2].str()};
}

// The descriptor of the file at `quoted_name` just before `end`: one linked
// there from /proc/self/fd, or the last one opened there.
long fd_named(const std::vector<Call> &calls, Calls end, const std::string &quoted_name) {
    static const std::regex proc(R"("/proc/self/fd/(\d+)\")");
    for (auto call = std::make_reverse_iterator(end); call != calls.rend(); ++call) {
        const auto paths = moved(*call);
        std::smatch match;
        if (paths && paths->second == quoted_name) {
            return std::regex_match(paths->first, match, proc)
                       ? std::stol(match[1])
                       : fd_named(calls, call.base() - 1, paths->first);
        }
        if (call->name == "openat" && call->arguments.starts_with(quoted_name + ",")) {
            return call->result;
        }
    }
    return -1;
}

Publication find_publication(const std::vector<Call> &calls, const std::string &quoted_target) {
    for (auto call = calls.begin(); call != calls.end(); ++call) {
        if (const auto paths = moved(*call); paths && paths->second == quoted_target) {
            return {call, fd_named(calls, call + 1, quoted_target)};
        }
    }
    return {calls.end()};
}

// `directory` was opened and synced after the call `after`.
bool directory_synced_after(const std::vector<Call> &calls, Calls after,
                            const fs::path &directory) {
    const std::string quoted_dir = "\"" + directory.string() + "\",";
    for (auto open = after + 1; open != calls.end(); ++open) {
        if (open->name == "openat" && open->arguments.starts_with(quoted_dir) &&
            open->arguments.find("O_DIRECTORY") != std::string::npos) {
            const auto use = std::find_if(open + 1, calls.end(), [&](const Call &call) {
                return acts_on(call, "fsync", open->result) || acts_on(call, "close", open->result);
            });
            if (use != calls.end() && use->name == "fsync" && use->result == 0) {
                return true;
            }
        }
    }
    return false;
}

// The file published at `target` was synced (by itself or with its whole
// file system) and not closed before it took the name, and the directory
// was opened and synced after.
void expect_synced_publication(const std::vector<Call> &calls, const fs::path &target) {
    const std::string quoted_target = "\"" + target.string() + "\"";
    const Publication publication = find_publication(calls, quoted_target);
    ASSERT_NE(publication.call, calls.end()) << "nothing was published at " << target;
    ASSERT_GE(publication.fd, 0) << "the file published was not opened";
    const auto opened = std::find_if(
        std::make_reverse_iterator(publication.call), calls.rend(),
        [&](const Call &call) { return call.name == "openat" && call.result == publication.fd; });
    ASSERT_NE(opened, calls.rend()) << "the file published was not opened";
    const auto first_use = std::find_if(opened.base(), publication.call, [&](const Call &call) {
        return acts_on(call, "fsync", publication.fd) || acts_on(call, "close", publication.fd) ||
               call.name == "syncfs";
    });
    ASSERT_NE(first_use, publication.call) << "the new bytes were not synced before the name";
    EXPECT_NE(first_use->name, "close") << "closed before it was synced";
    EXPECT_EQ(first_use->result, 0);

    EXPECT_TRUE(directory_synced_after(calls, publication.call, target.parent_path()))
        << "the directory was not opened and synced after the name";
}

TEST_F(FileReplace, SyncsEveryFileItWritesBeforeItTakesItsNameAndTheDirectoryAfter) {
    const auto strace = program_on_path("strace");
    if (!strace) {
        GTEST_SKIP() << "strace is not installed (.ci/run installs it)";
    }
    // Two folders xcopy makes, the outer one for the inner alone.
    e2e::write_file(machine.dist / "htdocs/deep/er/page.html", "deep");
    const fs::path trace = machine.root / "trace.txt";
    const auto run =
        run_wrapped(machine, accept_defaults,
                    {strace->string(), "-f", "-qq", "-s", "4096", "-o", trace.string(), "-e",
                     "trace=openat,fsync,fdatasync,syncfs,close,rename,renameat,renameat2,link,"
                     "linkat,mkdir,mkdirat"});
    ASSERT_EQ(run.exit_status, 0) << run.out << run.err;
    const auto calls = read_trace(trace);
    // The program names paths through the drive's link, as WINEPREFIX has it.
    const fs::path drive = machine.prefix / "dosdevices/c:";
    const std::string apache = std::string(e2e::apache_dir);
    const std::string tomcat = std::string(e2e::tomcat_dir);
    for (const std::string &file :
         {apache + "/conf/httpd.conf", tomcat + "/bin/startup.bat", tomcat + "/bin/shutdown.bat",
          tomcat + "/bin/tomcat.reg", tomcat + "/conf/jk/vorlan_mod_jk.conf",
          tomcat + "/conf/jk/vorlan_worker.properties",
          // copied, new on a first run
          apache + "/htdocs/index.html", apache + "/htdocs/images/logo.gif",
          std::string("pja_2.4/lib/pja.jar"), apache + "/modules/mod_jk.dll",
          tomcat + "/webapps/vorlan.war"}) {
        SCOPED_TRACE(file);
        expect_synced_publication(calls, drive / file);
    }
    // A folder made is kept only once its parent is synced.
    const fs::path made = drive / e2e::apache_dir / "htdocs/deep/er";
    const auto mkdir = std::find_if(calls.begin(), calls.end(), [&](const Call &call) {
        return call.name.starts_with("mkdir") && call.result == 0 &&
               call.arguments.find("\"" + made.string() + "\"") != std::string::npos;
    });
    ASSERT_NE(mkdir, calls.end()) << made << " was not made";
    EXPECT_TRUE(directory_synced_after(calls, mkdir, made.parent_path()))
        << "the parent of the folder made was not synced after it";
}

} // namespace
} // namespace reliability
