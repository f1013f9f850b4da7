// refuse_call tmpfile|empty-path PROGRAM ARGS...
//
// Starts PROGRAM with one kernel feature refused, as some file systems and
// kernels refuse it, so that the program's way around it runs: "tmpfile"
// makes an open with O_TMPFILE fail with EOPNOTSUPP, "empty-path" makes a
// linkat with AT_EMPTY_PATH fail with ENOENT, as it does for a caller
// without privileges. The refusal is proved before PROGRAM starts.
#include <fcntl.h>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

#if defined(__x86_64__)
constexpr unsigned native_arch = AUDIT_ARCH_X86_64;
#elif defined(__aarch64__)
constexpr unsigned native_arch = AUDIT_ARCH_AARCH64;
#else
#error "refuse_call knows no other architecture"
#endif

constexpr unsigned argument_low(int index) {
    return static_cast<unsigned>(offsetof(seccomp_data, args) +
                                 static_cast<std::size_t>(index) * sizeof(__u64));
}

sock_filter statement(unsigned short code, unsigned k) {
    return BPF_STMT(code, k);
}

sock_filter jump(unsigned short code, unsigned k, unsigned char if_true, unsigned char if_false) {
    return BPF_JUMP(code, k, if_true, if_false);
}

// Refuses the call `number` with `error` when its argument `argument` has
// every bit of `bits` set.
void refuse_when(std::vector<sock_filter> &program, long number, int argument, unsigned bits,
                 int error) {
    program.push_back(statement(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)));
    program.push_back(jump(BPF_JMP | BPF_JEQ | BPF_K, static_cast<unsigned>(number), 0, 4));
    program.push_back(statement(BPF_LD | BPF_W | BPF_ABS, argument_low(argument)));
    program.push_back(statement(BPF_ALU | BPF_AND | BPF_K, bits));
    program.push_back(jump(BPF_JMP | BPF_JEQ | BPF_K, bits, 0, 1));
    program.push_back(
        statement(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | static_cast<unsigned>(error & 0xffff)));
}

bool install(const std::vector<sock_filter> &rules) {
    std::vector<sock_filter> program = {
        statement(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
        jump(BPF_JMP | BPF_JEQ | BPF_K, native_arch, 1, 0),
        statement(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    program.insert(program.end(), rules.begin(), rules.end());
    program.push_back(statement(BPF_RET | BPF_K, SECCOMP_RET_ALLOW));
    const sock_fprog filter{static_cast<unsigned short>(program.size()), program.data()};
    return ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
           ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &filter) == 0;
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: refuse_call tmpfile|empty-path PROGRAM ARGS...\n");
        return 125;
    }
    const bool tmpfile = std::strcmp(argv[1], "tmpfile") == 0;
    std::vector<sock_filter> rules;
    if (tmpfile) {
        refuse_when(rules, SYS_openat, 2, __O_TMPFILE, EOPNOTSUPP);
#ifdef SYS_open
        refuse_when(rules, SYS_open, 1, __O_TMPFILE, EOPNOTSUPP);
#endif
    } else {
        refuse_when(rules, SYS_linkat, 4, AT_EMPTY_PATH, ENOENT);
    }
    if (!install(rules)) {
        std::perror("refuse_call: seccomp");
        return 125;
    }
    // Without the filter both calls fail otherwise: no such folder, a bad descriptor.
    const bool refused =
        tmpfile ? ::open("/nonexistent-folder", O_TMPFILE | O_RDWR, 0600) < 0 && errno == EOPNOTSUPP
                : ::linkat(-1, "", AT_FDCWD, "/nonexistent-folder/x", AT_EMPTY_PATH) < 0 &&
                      errno == ENOENT;
    if (!refused) {
        std::fprintf(stderr, "refuse_call: the call was not refused\n");
        return 125;
    }
    ::execv(argv[2], argv + 2);
    std::perror("refuse_call: exec");
    return 127;
}
