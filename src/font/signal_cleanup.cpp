#include "font/signal_cleanup.h"

#include <array>
#include <atomic>
#include <csignal>
#include <cstdint>
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

// Input files mapped for reading, whose SIGBUS means the file was cut short meanwhile.
struct mapping_slot {
    std::atomic<bool> taken{false};
    std::atomic<bool> armed{false};
    std::atomic<std::uintptr_t> begin{0};
    std::atomic<std::uintptr_t> end{0};
    char path[kPathBytes] = {};
};
constexpr int kMappingSlots = 64;
mapping_slot mappings[kMappingSlots];
std::atomic<bool> bus_errors_ours{false};  // our handler took SIGBUS

static_assert(std::atomic<bool>::is_always_lock_free);
static_assert(std::atomic<std::uintptr_t>::is_always_lock_free);

void remove_outputs() {
    for (removal_slot& s : slots)
        if (s.armed.load()) unlink(s.path);
}

extern "C" void remove_and_die(int sig) {
    remove_outputs();
    // SA_RESETHAND restored the default action and SA_NODEFER lets it act at once.
    raise(sig);
}

void write_text(const char* text) {
    if (write(STDERR_FILENO, text, std::strlen(text)) < 0) return;
}

const mapping_slot* mapping_holding(const void* address) {
    const auto at = reinterpret_cast<std::uintptr_t>(address);
    for (const mapping_slot& m : mappings)
        if (m.armed.load() && at >= m.begin.load() && at < m.end.load()) return &m;
    return nullptr;
}

// Only write, unlink, _exit and raise here: they are safe in a signal handler.
extern "C" void on_bus_error(int sig, siginfo_t* info, void*) {
    if (const mapping_slot* m = info ? mapping_holding(info->si_addr) : nullptr) {
        remove_outputs();
        write_text("load_font: \"");
        write_text(m->path);
        write_text("\" was cut short while it was being read\n");
        _exit(255);
    }
    remove_and_die(sig);
}

void install_handler(int sig) {
    struct sigaction current {};
    if (sigaction(sig, nullptr, &current) != 0 || current.sa_handler != SIG_DFL) return;
    struct sigaction ours {};
    sigemptyset(&ours.sa_mask);
    ours.sa_flags = SA_RESETHAND | SA_NODEFER;
    if (sig == SIGBUS) {
        ours.sa_sigaction = on_bus_error;
        ours.sa_flags |= SA_SIGINFO;
    } else {
        ours.sa_handler = remove_and_die;
    }
    if (sigaction(sig, &ours, nullptr) == 0 && sig == SIGBUS) bus_errors_ours.store(true);
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

bool bus_errors_guarded() {
    std::call_once(handlers_installed, install_handlers);
    return bus_errors_ours.load();
}

bool mapped_input_guard::watch(const void* data, std::size_t size, const char* path) {
    release();
    const std::size_t length = std::strlen(path);
    if (length >= kPathBytes || !bus_errors_guarded()) return false;
    for (int i = 0; i < kMappingSlots; ++i) {
        bool expected = false;
        if (!mappings[i].taken.compare_exchange_strong(expected, true)) continue;
        std::memcpy(mappings[i].path, path, length + 1);
        const auto begin = reinterpret_cast<std::uintptr_t>(data);
        mappings[i].begin.store(begin);
        mappings[i].end.store(begin + size);
        mappings[i].armed.store(true);
        slot_ = i;
        return true;
    }
    return false;
}

void mapped_input_guard::release() {
    if (slot_ < 0) return;
    mappings[slot_].armed.store(false);
    mappings[slot_].taken.store(false);
    slot_ = -1;
}
