// Removal of a file being written when a signal ends the program.
//
// A writer creates its output under a temporary name and links it into place once it is
// complete. A signal that ends the program meanwhile (any whose default action ends it:
// SIGINT, SIGQUIT, SIGTERM, SIGALRM, SIGUSR1, SIGXFSZ, a real-time signal ...) would leave
// the temporary file behind; while a removal_on_signal exists, the handler unlinks its
// path, then the program dies of the same signal. The path is copied
// before writing starts, so the handler only calls unlink and raise, which are safe there.
// Signals the program ignores or handles otherwise keep their disposition.
#pragma once

#include <cstddef>
#include <string>

class removal_on_signal {
  public:
    removal_on_signal() = default;
    explicit removal_on_signal(const std::string& path);
    removal_on_signal(removal_on_signal&& other) noexcept;
    removal_on_signal& operator=(removal_on_signal&& other) noexcept;
    removal_on_signal(const removal_on_signal&) = delete;
    removal_on_signal& operator=(const removal_on_signal&) = delete;
    ~removal_on_signal() { release(); }

    // The path is no longer removed on a signal (it was removed, or is the finished file).
    void release();

  private:
    int slot_ = -1;  // none when every slot was taken or the path is too long
};

// A font file read in place through a memory mapping: if another program cuts the file
// short meanwhile, reading a page past its new end raises SIGBUS. While a guard exists,
// that SIGBUS ends the run with a message naming the file and exit status 255, after the
// temporary files are removed, instead of a crash.
// Whether this program's handler takes SIGBUS (not, for instance, a sanitizer's): only
// then is an input file mapped.
bool bus_errors_guarded();

class mapped_input_guard {
  public:
    mapped_input_guard() = default;
    mapped_input_guard(const mapped_input_guard&) = delete;
    mapped_input_guard& operator=(const mapped_input_guard&) = delete;
    ~mapped_input_guard() { release(); }

    // Watches [data, data + size) for the file at path; false when no slot is free, the
    // path is too long, or SIGBUS is handled by someone else (the caller then reads the
    // file instead of mapping it).
    bool watch(const void* data, std::size_t size, const char* path);
    void release();

  private:
    int slot_ = -1;
};
