#pragma once
// The duration probe: the media reader run through a four-line batch file that
// writes its answer to a text file. A path the batch file cannot carry exactly
// (letters outside the console code page with no short form, "%" signs, more
// than the classic length) goes to the reader directly on a UTF-16 command
// line instead. Plain logic; files, the console code page and processes are
// reached through IProbePlatform.
#include <cstdint>
#include <optional>
#include <string>

#include "app/checked_path.h"

namespace kv {

class IProbePlatform {
public:
    virtual ~IProbePlatform() = default;
    // The path's short (8.3) form, or the path itself when the volume keeps none.
    virtual std::string ShortName(const std::string& path) = 0;
    // The text in the console code page; false when a character has no exact form there.
    virtual bool ToConsoleCodePage(const std::string& utf8, std::string& bytes) = 0;
    // Creates or replaces the file; raises Error("Cannot create file ...") when it cannot.
    virtual void WriteFile(const std::string& path, const std::string& bytes) = 0;
    // Runs the batch file hidden and waits for it; true when it was ended for outliving the limit.
    virtual bool RunBatch(const std::string& batPath, std::uint32_t limitMs) = 0;
    // Runs the reader itself, hidden, with a UTF-16 command line and its output
    // written to `outputPath`; true when it was ended for outliving the limit.
    virtual bool RunReader(const std::string& reader, const std::string& args, const std::string& outputPath,
                           std::uint32_t limitMs) = 0;
    // The file's contents; nothing when it cannot be opened, with the system's reason in `why`.
    virtual std::optional<std::string> ReadFile(const std::string& path, std::string& why) = 0;
    virtual void DeleteFile(const std::string& path) = 0;
    // The hidden store that holds the batch text, then the answer.
    virtual void ShowProbeText(const std::string& text) = 0;
};

// What the add commands ask of a probe.
class IProbe {
public:
    virtual ~IProbe() = default;
    // The reader's first answer line; nothing when it gave none. Raises Error
    // when no answer file appeared at all, or there is no reader to run.
    virtual std::optional<std::string> Answer(const CheckedPath& path) = 0;
};

class DurationProbe final : public IProbe {
public:
    static constexpr int kAttempts = 2;

    // The folder strings are the window's own, read at each probe: they are
    // known only once the window has started.
    // Slot 0 uses "open.bat" and "duration_time.txt"; slot n the same names
    // with n + 1 before the extension, so that probes can run side by side.
    DurationProbe(IProbePlatform& platform, const std::string& tempDir, const std::string& mediaInfoPath, int slot = 0);

    std::optional<std::string> Answer(const CheckedPath& path) override;

    // The form of a path the batch file carries best: the path itself, or its
    // short form when that is safer.
    [[nodiscard]] std::string PathForm(const std::string& path) const;
    // The reader's arguments when it is run directly.
    static std::string DirectArgs(const CheckedPath& path);

    // The time a probe may take before its tool is ended and the file taken as unusable.
    std::uint32_t TimeLimitMs = 60000;
    // The reader is run directly for every file, never through the batch file:
    // probes side by side then start no interpreter and no console each.
    bool AlwaysDirect = false;

private:
    // Runs the reader up to twice; the answer file's text.
    template <class RunOnce>
    std::string Ask(const std::string& answerPath, RunOnce run);

    IProbePlatform& platform_;
    const std::string& tempDir_;
    const std::string& mediaInfoPath_;
    std::string batName_, answerName_;
};

}  // namespace kv
