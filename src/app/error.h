#pragma once
// The error raised by the program's own code and by failed file operations;
// the window's general error handler shows its message.
#include <stdexcept>
#include <string>

namespace kv {

class Error : public std::runtime_error {
public:
    explicit Error(const std::string& message) : std::runtime_error(message) {}
};

// Text of the general error box: a "." is appended when the message's last
// character comes after "." in the character order (so "...!" or "...)" keep theirs).
std::string ErrorBoxText(const std::string& message);

}  // namespace kv
