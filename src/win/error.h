#pragma once
// The error raised by the program's own code and by failed file operations;
// the window's general error handler shows its message.
#include <stdexcept>
#include <string>
#include <utility>

namespace kv {

class Error : public std::runtime_error {
public:
    explicit Error(const std::string& message) : std::runtime_error(message) {}
};

// Runs one guarded step: a step whose failure is to be ignored, with no
// message, so that the handler goes on with its next step (start-up, shutdown
// and the settings writes are sequences of them). The one place where errors
// are swallowed on purpose.
template <class Step>
void GuardedStep(Step&& step) noexcept {
    try {
        std::forward<Step>(step)();
    } catch (...) {  // NOLINT(bugprone-empty-catch): ignoring is the point of a guarded step
    }
}

// Text of the general error box: a "." is appended when the message's last
// character comes after "." in the character order (so "...!" or "...)" keep theirs).
std::string ErrorBoxText(const std::string& message);

}  // namespace kv
