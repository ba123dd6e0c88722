#include "font/signal_cleanup.h"

#include <array>
#include <atomic>
#include <csignal>
#include <cstring>
#include <mutex>

#include <unistd.h>

namespace {

constexpr int kSlots = 8;
constexpr std::size_t kPathBytes = 4096;
// Every signal whose default action ends the process (SIGKILL apart, which cannot be
// caught), those that dump core included; the real-time signals follow.
constexpr std::array kSignals{
    SIGHUP,    SIGINT,  SIGQUIT, SIGILL,  SIGTRAP, SIGABRT, SIGBUS,    SIGFPE,  SIGUSR1, SIGSEGV,
    SIGUSR2,   SIGPIPE, SIGALRM, SIGTERM, SIGXCPU, SIGXFSZ, SIGVTALRM, SIGPROF, SIGPOLL, SIGSYS,
#ifdef SIGSTKFLT
    SIGSTKFLT,
#endif
#ifdef SIGPWR
    SIGPWR,
#endif
};

struct removal_slot {
    std::atomic<bool> taken{false};  // claimed by a writer
    std::atomic<bool> armed{false};  // path is complete and removed on a signal
    char path[kPathBytes] = {};
};

// A signal handler can reach no context object, so the paths it removes live here: the
// one piece of process-wide state, written only by the writer that owns each slot.
removal_slot slots[kSlots];
std::once_flag handlers_installed;

static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void remove_and_die(int sig) {
    for (removal_slot& s : slots)
        if (s.armed.load()) unlink(s.path);
    // SA_RESETHAND restored the default action and SA_NODEFER lets it act at once.
    raise(sig);
}

void install_handler(int sig) {
    struct sigaction current {};
    if (sigaction(sig, nullptr, &current) != 0 || current.sa_handler != SIG_DFL) return;
    struct sigaction ours {};
    ours.sa_handler = remove_and_die;
    sigemptyset(&ours.sa_mask);
    ours.sa_flags = SA_RESETHAND | SA_NODEFER;
    sigaction(sig, &ours, nullptr);
}

void install_handlers() {
    for (int sig : kSignals) install_handler(sig);
    for (int sig = SIGRTMIN; sig <= SIGRTMAX; ++sig) install_handler(sig);
}

}  // namespace

removal_on_signal::removal_on_signal(const std::string& path) {
    if (path.empty() || path.size() >= kPathBytes) return;
    std::call_once(handlers_installed, install_handlers);
    for (int i = 0; i < kSlots; ++i) {
        bool expected = false;
        if (!slots[i].taken.compare_exchange_strong(expected, true)) continue;
        std::memcpy(slots[i].path, path.c_str(), path.size() + 1);
        slots[i].armed.store(true);
        slot_ = i;
        return;
    }
}

removal_on_signal::removal_on_signal(removal_on_signal&& other) noexcept : slot_(other.slot_) {
    other.slot_ = -1;
}

removal_on_signal& removal_on_signal::operator=(removal_on_signal&& other) noexcept {
    if (this != &other) {
        release();
        slot_ = other.slot_;
        other.slot_ = -1;
    }
    return *this;
}

void removal_on_signal::release() {
    if (slot_ < 0) return;
    slots[slot_].armed.store(false);
    slots[slot_].taken.store(false);
    slot_ = -1;
}
