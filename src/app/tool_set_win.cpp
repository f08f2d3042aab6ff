#include "app/tool_set_win.h"

#include <map>
#include <optional>
#include <string_view>

#include "app/process_runner_win.h"
#include "app/runner_text.h"
#include "app/settings_win.h"
#include "app/texts.h"
#include "app/tool_install_win.h"
#include "win/error.h"

namespace kv {

void ToolSet::Install(HMODULE resources, const std::string& appDir) {
    locks_.clear();
    problem_.clear();
    std::map<std::string_view, bool> ok;
    for (const auto& tool : kToolFiles) {
        // A program without its tools cannot run: a missing resource is no guarded step.
        const auto bytes = ToolResource(resources, tool.resource);
        std::string why = Tr(TextId::ToolFolderWhy);
        std::optional<win::UniqueFile> held;
        if (!appDir.empty()) held = InstallToolFile(bytes, appDir + tool.fileName, why);
        ok[tool.fileName] = held.has_value();
        if (held)
            locks_.push_back(std::move(*held));
        else if (problem_.empty())
            problem_ = ToolProblemText(tool.fileName, appDir, why);
    }
    const bool reader = ok["mediainfo.dll"] && ok["mediainfo.exe"];
    const bool transcoder = ok["cygwin1.dll"] && ok["cygz.dll"] && ok["ffmpeg.exe"];
    mediaInfo_ = reader ? ShortName(appDir + "mediainfo.exe") : std::string();
    ffmpeg_ = transcoder ? ShortName(appDir + "ffmpeg.exe") : std::string();
}

void ToolSet::Delete(const std::string& appDir, const std::string& tempDir, const std::string& ffmpegPath,
                     bool batchFileFourth) {
    locks_.clear();  // held files cannot be deleted
    // Without a tool folder a bare name would name a file of the current folder.
    auto tool = [&appDir](const char* name) {
        if (!appDir.empty()) DeleteFileUtf8(appDir + name);
    };
    if (ffmpegPath.empty())
        tool("ffmpeg.exe");
    else
        DeleteFileUtf8(ffmpegPath);
    tool("cygwin1.dll");
    tool("cygz.dll");
    if (batchFileFourth) DeleteFileUtf8(tempDir + "open.bat");
    tool("mediainfo.dll");
    tool("mediainfo.exe");
    if (!batchFileFourth) DeleteFileUtf8(tempDir + "open.bat");
    // What the probes that ran side by side may have left.
    for (int slot = 1; slot < kMostProbeSlots && !tempDir.empty(); ++slot) {
        DeleteFileUtf8(tempDir + ProbeBatchName(slot));
        DeleteFileUtf8(tempDir + ProbeAnswerName(slot));
    }
}

void ToolSet::EndAndDelete(const std::string& appDir, const std::string& tempDir, const std::string& ffmpegPath) {
    GuardedStep([] { EndProcessesByName("ffmpeg.exe"); });
    GuardedStep([&] {
        if (!appDir.empty()) EndProcessesOfProgram(appDir + "ffmpeg.exe");
    });
    GuardedStep([&] {
        // A transcoder asked to end may still hold its files for a moment.
        for (int i = 0; i < 20 && !appDir.empty() && FileExists(appDir + "ffmpeg.exe"); ++i) {
            Delete(appDir, tempDir, ffmpegPath, true);
            if (!FileExists(appDir + "ffmpeg.exe")) break;
            ::Sleep(50);
        }
        Delete(appDir, tempDir, ffmpegPath, true);
    });
}

}  // namespace kv
