#include "Confinement.h"

#include <cerrno>
#include <cstring>
#include <sched.h>
#include <seccomp.h>
#include <sys/prctl.h>
#include <sys/resource.h>

namespace tivra::sandbox {

namespace {

// A test of a call's first argument. libseccomp's SCMP_A0 builds one with a
// C compound literal, which C++ compilers warn of.
scmp_arg_cmp firstArgument(scmp_compare op, scmp_datum_t a, scmp_datum_t b = 0) {
    return {0, op, a, b};
}

constexpr rlim_t kAddressSpace = rlim_t(1) << 30;
constexpr rlim_t kCpuSeconds = 10;

bool setLimit(int resource, rlim_t soft, rlim_t hard, const char* name, QString* error) {
    const rlimit limit{soft, hard};
    if (setrlimit(resource, &limit) == 0)
        return true;
    *error = QStringLiteral("cannot limit %1: %2")
                 .arg(QLatin1String(name), QString::fromLocal8Bit(std::strerror(errno)));
    return false;
}

// AddressSanitizer reserves terabytes of address space for its shadow
// memory: under it the address space is left unlimited.
constexpr bool kSanitized =
#if defined(__SANITIZE_ADDRESS__)
    true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    true;
#else
    false;
#endif
#else
    false;
#endif

} // namespace

bool limitResources(QString* error) {
    if (!kSanitized && !setLimit(RLIMIT_AS, kAddressSpace, kAddressSpace, "memory", error))
        return false;
    if (!setLimit(RLIMIT_CPU, kCpuSeconds, kCpuSeconds + 1, "CPU time", error) ||
        !setLimit(RLIMIT_CORE, 0, 0, "core dumps", error))
        return false;
    if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) {
        *error = QStringLiteral("cannot drop privileges: %1")
                     .arg(QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    return true;
}

bool allowOnlyDecoding(QString* error) {
    scmp_filter_ctx filter = seccomp_init(SCMP_ACT_KILL_PROCESS);
    if (!filter) {
        *error = QStringLiteral("cannot make a system-call filter");
        return false;
    }
    static const int allowed[] = {
        // The file it was given, its answer and its messages.
        SCMP_SYS(read), SCMP_SYS(readv), SCMP_SYS(pread64), SCMP_SYS(lseek), SCMP_SYS(fstat),
        SCMP_SYS(newfstatat), SCMP_SYS(statx), SCMP_SYS(write), SCMP_SYS(writev), SCMP_SYS(close),
        // Memory.
        SCMP_SYS(brk), SCMP_SYS(mmap), SCMP_SYS(munmap), SCMP_SYS(mremap), SCMP_SYS(mprotect),
        SCMP_SYS(madvise),
        // Threads, which the HEIF and AVIF decoders start, and their waits.
        SCMP_SYS(futex), SCMP_SYS(set_robust_list), SCMP_SYS(rseq), SCMP_SYS(sched_yield),
        SCMP_SYS(sched_getaffinity), SCMP_SYS(gettid), SCMP_SYS(getpid), SCMP_SYS(nanosleep),
        SCMP_SYS(clock_nanosleep), SCMP_SYS(clock_gettime), SCMP_SYS(gettimeofday),
        SCMP_SYS(getrandom), SCMP_SYS(sysinfo), SCMP_SYS(rt_sigaction), SCMP_SYS(rt_sigprocmask),
        SCMP_SYS(rt_sigreturn), SCMP_SYS(sigaltstack), SCMP_SYS(exit), SCMP_SYS(exit_group),
        // Qt's threads (which scale large pictures) wake each other.
        SCMP_SYS(eventfd2), SCMP_SYS(poll), SCMP_SYS(ppoll)};
    bool ok = true;
    for (int call : allowed)
        ok = ok && seccomp_rule_add(filter, SCMP_ACT_ALLOW, call, 0) == 0;
    // The game's request arrives on standard input, with the picture; the
    // picture then takes that descriptor's place.
    ok = ok && seccomp_rule_add(filter, SCMP_ACT_ALLOW, SCMP_SYS(recvmsg), 1,
                                firstArgument(SCMP_CMP_EQ, 0)) == 0;
    ok = ok && seccomp_rule_add(filter, SCMP_ACT_ALLOW, SCMP_SYS(dup), 0) == 0;
    // A new thread, never a new process.
    ok = ok && seccomp_rule_add(filter, SCMP_ACT_ALLOW, SCMP_SYS(clone), 1,
                                firstArgument(SCMP_CMP_MASKED_EQ, CLONE_THREAD, CLONE_THREAD)) == 0;
    // Threads are named as they start.
    ok = ok && seccomp_rule_add(filter, SCMP_ACT_ALLOW, SCMP_SYS(prctl), 1,
                                firstArgument(SCMP_CMP_EQ, PR_SET_NAME)) == 0;
    // clone3's flags are out of a filter's reach: the C library falls back to clone.
    ok = ok && seccomp_rule_add(filter, SCMP_ACT_ERRNO(ENOSYS), SCMP_SYS(clone3), 0) == 0;
    // AddressSanitizer tests whether memory can be read through a pipe.
    if (kSanitized)
        ok = ok && seccomp_rule_add(filter, SCMP_ACT_ALLOW, SCMP_SYS(pipe2), 0) == 0;
    // Asking whether a descriptor is a terminal is answered: it is not.
    ok = ok && seccomp_rule_add(filter, SCMP_ACT_ERRNO(ENOTTY), SCMP_SYS(ioctl), 0) == 0;
    ok = ok && seccomp_load(filter) == 0;
    seccomp_release(filter);
    if (!ok)
        *error = QStringLiteral("cannot load the system-call filter");
    return ok;
}

} // namespace tivra::sandbox
