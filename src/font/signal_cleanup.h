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
