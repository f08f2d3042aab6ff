#pragma once
// The embedded tools over one run of the program: installed into the tool
// folder at start and held, their transcoders ended and their files deleted
// at the end, in the order the program has to keep.
#include <windows.h>

#include <string>
#include <vector>

#include "win/handle.h"

namespace kv {

class ToolSet {
public:
    // Writes each tool into `appDir` (with its trailing separator), reads it
    // back and holds it. A path to run is kept only for a program that passed
    // together with the libraries it loads; the first problem is kept to tell.
    void Install(HMODULE resources, const std::string& appDir);
    [[nodiscard]] const std::string& FfmpegPath() const noexcept { return ffmpeg_; }
    [[nodiscard]] const std::string& MediaInfoPath() const noexcept { return mediaInfo_; }
    [[nodiscard]] const std::string& Problem() const noexcept { return problem_; }

    // Lets the files go and deletes them: the transcoder at `ffmpegPath` (its
    // default name in `appDir` when empty), its libraries, the probe's batch
    // file in `tempDir` fourth or last, then the media reader. Each deletion
    // may fail (missing, or still in use); none stops the others.
    void Delete(const std::string& appDir, const std::string& tempDir, const std::string& ffmpegPath,
                bool batchFileFourth);
    // Ends every transcoder, this copy's and those of an earlier copy that
    // lock the tool files, then deletes the files, giving a transcoder asked
    // to end a moment to let them go.
    void EndAndDelete(const std::string& appDir, const std::string& tempDir, const std::string& ffmpegPath);

private:
    std::vector<win::UniqueFile> locks_;
    std::string ffmpeg_, mediaInfo_, problem_;
};

}  // namespace kv
