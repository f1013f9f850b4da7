#include "support/process.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace e2e {
namespace {

std::vector<std::string> environment_with(const std::map<std::string, std::string> &extra) {
    std::vector<std::string> result;
    for (char **entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        const auto name = text.substr(0, text.find('='));
        if (extra.count(name) == 0) {
            result.push_back(text);
        }
    }
    for (const auto &[name, value] : extra) {
        result.push_back(name + "=" + value);
    }
    return result;
}

std::vector<char *> pointers_to(std::vector<std::string> &strings) {
    std::vector<char *> pointers;
    for (auto &s : strings) {
        pointers.push_back(s.data());
    }
    pointers.push_back(nullptr);
    return pointers;
}

[[noreturn]] void become_child(const ProcessRequest &request, int in[2], int out[2], int err[2]) {
    // A group of its own, so that a timeout also ends what the program started
    // (under Wine, cmd and xcopy are processes of their own).
    setpgid(0, 0);
    dup2(in[0], 0);
    dup2(out[1], 1);
    dup2(err[1], 2);
    for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) {
        close(fd);
    }
    if (!request.working_directory.empty() && chdir(request.working_directory.c_str()) != 0) {
        _exit(126);
    }
    auto argv_strings = request.argv;
    auto env_strings = environment_with(request.extra_environment);
    auto argv = pointers_to(argv_strings);
    auto envp = pointers_to(env_strings);
    execve(argv[0], argv.data(), envp.data());
    _exit(127);
}

} // namespace

ProcessResult run_process(const ProcessRequest &request) {
    ProcessResult result;
    int in[2], out[2], err[2];
    if (pipe(in) != 0 || pipe(out) != 0 || pipe(err) != 0) {
        return result;
    }
    std::signal(SIGPIPE, SIG_IGN);
    const pid_t child = fork();
    if (child == 0) {
        become_child(request, in, out, err);
    }
    if (child < 0) {
        for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) {
            close(fd);
        }
        return result;
    }
    setpgid(child, child); // also here, so that the group exists before any timeout
    close(in[0]);
    close(out[1]);
    close(err[1]);
    fcntl(in[1], F_SETFL, O_NONBLOCK);

    std::size_t written = 0;
    int stdin_fd = in[1];
    if (request.input.empty()) {
        close(stdin_fd);
        stdin_fd = -1;
    }
    const auto deadline = std::chrono::steady_clock::now() + request.limit;
    int open_outputs = 2;
    while (open_outputs > 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            result.timed_out = true;
            kill(-child, SIGKILL);
            break;
        }
        pollfd fds[3] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}, {stdin_fd, POLLOUT, 0}};
        if (poll(fds, stdin_fd >= 0 ? 3 : 2, static_cast<int>(left.count())) < 0 &&
            errno != EINTR) {
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) == 0) {
                continue;
            }
            char buffer[65536];
            const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            if (n <= 0) {
                close(fds[i].fd);
                (i == 0 ? out[0] : err[0]) = -1;
                --open_outputs;
            } else {
                (i == 0 ? result.out : result.err).append(buffer, static_cast<std::size_t>(n));
            }
        }
        if (stdin_fd >= 0 && (fds[2].revents & (POLLOUT | POLLERR | POLLHUP)) != 0) {
            const ssize_t n =
                write(stdin_fd, request.input.data() + written, request.input.size() - written);
            if (n > 0) {
                written += static_cast<std::size_t>(n);
            }
            if (n < 0 || written == request.input.size()) {
                close(stdin_fd);
                stdin_fd = -1;
            }
        }
    }
    for (int fd : {out[0], err[0], stdin_fd}) {
        if (fd >= 0) {
            close(fd);
        }
    }
    int status = 0;
    waitpid(child, &status, 0);
    if (!result.timed_out && WIFEXITED(status)) {
        result.exit_status = WEXITSTATUS(status);
    }
    return result;
}

} // namespace e2e
