#pragma once
// The media reader as the duration probe runs it, without a process: the
// batch file and the answer file live in memory, and `answer` says what the
// reader writes for a batch (empty: no answer).
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>

#include "convert/duration_probe.h"

namespace kvtest {

class FakeReader : public kv::IProbePlatform {
public:
    std::function<std::string(const std::string& batch)> answer;
    std::map<std::string, std::string> files;

    std::string ShortName(const std::string& p) override { return p; }
    bool ToConsoleCodePage(const std::string& utf8, std::string& bytes) override {
        bytes = utf8;
        return true;
    }
    void WriteFile(const std::string& p, const std::string& bytes) override { files[p] = bytes; }
    bool RunBatch(const std::string& bat, std::uint32_t) override {
        files["C:\\Temp\\duration_time.txt"] = answer ? answer(files[bat]) : std::string();
        return false;
    }
    bool RunReader(const std::string&, const std::string&, const std::string& out, std::uint32_t) override {
        files[out] = "";
        return false;
    }
    std::optional<std::string> ReadFile(const std::string& p, std::string& why) override {
        const auto it = files.find(p);
        if (it != files.end()) return it->second;
        why = "The system cannot find the file specified.";
        return std::nullopt;
    }
    void DeleteFile(const std::string& p) override { files.erase(p); }
    void ShowProbeText(const std::string&) override {}
};

}  // namespace kvtest
