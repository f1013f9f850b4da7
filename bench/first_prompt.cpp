// Times a program from its start to its first prompt: the clock starts just
// before fork and stops when the prompt's last bytes arrive on the pipe from
// its standard output. Then the prompt is answered, so that the program ends
// as it would for a user, and its end is waited for outside the clock.
//
//   first-prompt RUNS PROMPT ANSWER PROGRAM
//
// Prints the median, the smallest and the largest time in milliseconds.

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

[[noreturn]] void fail(const char *what) {
    std::perror(what);
    std::exit(1);
}

double one_run(const char *program, std::string_view prompt, std::string_view answer) {
    int to_child[2];
    int from_child[2];
    if (pipe(to_child) != 0 || pipe(from_child) != 0) {
        fail("pipe");
    }
    const auto start = Clock::now();
    const pid_t child = fork();
    if (child < 0) {
        fail("fork");
    }
    if (child == 0) {
        dup2(to_child[0], 0);
        dup2(from_child[1], 1);
        close(to_child[1]);
        close(from_child[0]);
        execl(program, program, static_cast<char *>(nullptr));
        _exit(127);
    }
    close(to_child[0]);
    close(from_child[1]);
    std::string seen;
    char buffer[4096];
    while (seen.find(prompt) == std::string::npos) {
        const ssize_t got = read(from_child[0], buffer, sizeof buffer);
        if (got <= 0) {
            std::fprintf(stderr, "first-prompt: the program ended before its prompt\n");
            std::exit(1);
        }
        seen.append(buffer, static_cast<std::size_t>(got));
    }
    const auto prompted = Clock::now();
    if (write(to_child[1], answer.data(), answer.size()) != static_cast<ssize_t>(answer.size())) {
        fail("write");
    }
    close(to_child[1]);
    while (read(from_child[0], buffer, sizeof buffer) > 0) {
    }
    close(from_child[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "first-prompt: the program failed\n");
        std::exit(1);
    }
    return std::chrono::duration<double, std::milli>(prompted - start).count();
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: first-prompt RUNS PROMPT ANSWER PROGRAM\n");
        return 2;
    }
    const int runs = std::max(1, std::atoi(argv[1]));
    std::string answer = argv[3];
    answer += '\n';
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        times.push_back(one_run(argv[4], argv[2], answer));
    }
    std::sort(times.begin(), times.end());
    const std::size_t n = times.size();
    const double median = n % 2 ? times[n / 2] : (times[n / 2 - 1] + times[n / 2]) / 2;
    std::printf("%.3f %.3f %.3f\n", median, times.front(), times.back());
    return 0;
}
