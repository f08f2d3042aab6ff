#pragma once
// The main window in-process against the real embedded tools and real MP4
// files: the fixture of the window's handler tests, and what they check with.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "support/form_access.h"
#include "support/program.h"
#include "win/handle.h"

namespace kvtest {

namespace fs = std::filesystem;

inline fs::path StandInTranscoder(const fs::path& dir);

inline std::string StoreLine(HWND box, int row) {
    const LRESULT len = ::SendMessageW(box, LB_GETTEXTLEN, static_cast<WPARAM>(row), 0);
    if (len == LB_ERR) return {};
    std::wstring buf(static_cast<size_t>(len) + 1, L'\0');
    const LRESULT got = ::SendMessageW(box, LB_GETTEXT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(buf.data()));
    buf.resize(got == LB_ERR ? 0 : static_cast<size_t>(got));
    return Utf8(buf);
}

class FormTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(MediaAvailable()) << "KV_MEDIA_DIR must name the folder tests/make_media.sh filled";
        ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Korvello");
        p = std::make_unique<Program>();
        f = p->form.get();
    }
    void TearDown() override { p.reset(); }

    // Copies a test file to `target` and adds it with "Add MP4 File".
    void AddFile(const fs::path& source, const fs::path& target) {
        fs::create_directories(target.parent_path());
        fs::copy_file(source, target, fs::copy_options::overwrite_existing);
        p->dialogs->openAnswers.push_back(Utf8(target));
        try {
            f->Button1Click();
        } catch (const std::exception& e) {
            ADD_FAILURE() << Utf8(target) << ": " << e.what();
        }
    }
    kv::JobList& Jobs() { return f->Jobs(); }
    kv::ui::JobRows& Rows() { return FormAccess::Rows(*f); }
    // What the window shows: a cell of the list, a hidden store's line.
    std::string Cell(int row, int column) { return Rows().Cell(row, column); }
    std::string StoredPath(int row) { return StoreLine(f->Control("ListBox1"), row); }
    std::string StoredDuration(int row) { return StoreLine(f->Control("ListBox2"), row); }
    void SetState(int row, kv::JobState state) { Jobs().SetState(Jobs().At(row).id, state); }
    bool Busy() { return f->Logic().Busy(); }
    // The first row whose job runs; -1 when none does.
    int RunningRow() {
        for (int i = 0; i < Jobs().Count(); ++i)
            if (Jobs().At(i).state == kv::JobState::Running) return i;
        return -1;
    }
    void ExpectAligned() {
        const int n = Jobs().Count();
        EXPECT_EQ(::SendMessageW(f->Control("ListBox1"), LB_GETCOUNT, 0, 0), n);
        EXPECT_EQ(::SendMessageW(f->Control("ListBox2"), LB_GETCOUNT, 0, 0), n);
    }
    void Select(int row) {
        ListView_SetItemState(Rows().ListView(), row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    }
    // The folders of a run test: the output folder becomes the window's, and
    // the tool folder has no blank in its path, as the real one.
    struct RunFolders {
        TempFolder in, out, tool{L"kvtool"};
    };
    RunFolders& RunIn() {
        folders_.emplace();
        FormAccess::WorkDir(*f) = Utf8(folders_->out.Path());
        return *folders_;
    }
    // kv_child as the window's transcoder, in the run's tool folder (RunIn first).
    fs::path UseStandIn() {
        const fs::path exe = StandInTranscoder(folders_->tool.Path());
        FormAccess::FfmpegPath(*f) = Utf8(exe);
        return exe;
    }
    bool RunToEnd(DWORD ms = 180000) {
        return PumpUntil([&] { return !Busy(); }, ms);
    }
    // A run that goes on until EndBusy: one more row, whose stand-in transcoder sleeps.
    void MakeBusy();
    void EndBusy() {
        for (int i = 0; i < Jobs().Count(); ++i)
            if (Jobs().At(i).name == "busy") f->Logic().RemoveRow(i);
        EXPECT_TRUE(RunToEnd(30000));
    }

    std::unique_ptr<Program> p;
    kv::TfrmMain* f = nullptr;

private:
    std::optional<RunFolders> folders_;
};

// A stand-in media reader: a batch file that notes each run in runs.txt and
// answers with `answer` from its n-th run on (never when n is 0).
inline fs::path FakeReader(const fs::path& dir, int answersFrom, const char* answer = "00:00:05.000") {
    std::string t = "@echo off\r\necho run>>\"%~dp0runs.txt\"\r\n";
    if (answersFrom > 0) {
        t += "set /a n=0\r\nfor /f %%l in ('type \"%~dp0runs.txt\"') do set /a n+=1\r\n";
        t += "if %n% GEQ " + std::to_string(answersFrom) + " echo " + answer + "\r\n";
    }
    const fs::path bat = dir / L"reader.bat";
    WriteBytes(bat, t);
    return bat;
}

// The runs a stand-in noted in runs.txt of its folder.
inline int Runs(const fs::path& dir) {
    const std::string log = ReadBytes(dir / L"runs.txt");
    return static_cast<int>(std::count(log.begin(), log.end(), '\n'));
}

// A stand-in transcoder: notes each run in runs.txt; its first `failures`
// runs end with code 7 before writing anything, later ones run the real one.
// With no failures it only counts the starts of the real one.
inline fs::path FlakyTranscoder(const fs::path& dir, int failures, const std::string& realOne) {
    std::string t = "@echo off\r\necho run>>\"%~dp0runs.txt\"\r\n";
    t += "set /a n=0\r\nfor /f %%l in ('type \"%~dp0runs.txt\"') do set /a n+=1\r\n";
    t += "if %n% LEQ " + std::to_string(failures) + " exit /b 7\r\n";
    t += "\"" + realOne + "\" %*\r\n";
    const fs::path bat = dir / L"transcoder.bat";
    WriteBytes(bat, t);
    return bat;
}

// kv_child as "ffmpeg.exe" in `dir`: a transcoder that does what its input
// file says (see tests/helpers/kv_child.cpp). Rows for it are appended with
// StandInRow, whose input holds those words.
inline fs::path StandInTranscoder(const fs::path& dir) {
    const fs::path exe = dir / L"ffmpeg.exe";
    fs::copy_file(ProgramFolder() / L"kv_child.exe", exe, fs::copy_options::overwrite_existing);
    return exe;
}
inline void StandInRow(kv::JobList& jobs, const fs::path& dir, const std::wstring& name, const std::string& words,
                       int storedSeconds) {
    const fs::path in = dir / (name + L".mp4");
    WriteBytes(in, words);
    jobs.Append(Present(Utf8(in)), Utf8(fs::path(name)), storedSeconds);
}

inline void FormTest::MakeBusy() {
    RunIn();
    UseStandIn();
    StandInRow(Jobs(), folders_->in.Path(), L"busy", "size 1000 sleep 60000", 120);
    f->EzRgnBtn3Click();
    ASSERT_TRUE(Busy());
}

// What the MPEG audio frames of an MP3 file say, read frame by frame.
struct Mp3Facts {
    int frames = 0;             // audio frames, the encoder's information frame not counted
    bool uniform = true;        // every frame MPEG-1 layer III, 44100 Hz, 128 kbit/s, stereo
    std::int64_t trailing = 0;  // bytes after the last frame that are no ID3v1 tag
    [[nodiscard]] double Seconds() const { return frames * 1152.0 / 44100.0; }
};

inline Mp3Facts ReadMp3(const fs::path& file) {
    const std::string b = ReadBytes(file);
    auto at = [&](size_t i) { return static_cast<unsigned char>(b[i]); };
    Mp3Facts m;
    size_t pos = 0;
    if (b.size() >= 10 && b.compare(0, 3, "ID3") == 0) {
        pos = 10 + ((at(6) & 0x7F) << 21 | (at(7) & 0x7F) << 14 | (at(8) & 0x7F) << 7 | (at(9) & 0x7F));
        if (at(5) & 0x10) pos += 10;  // footer
    }
    static const int kKbps[16] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0};
    bool first = true;
    while (pos + 4 <= b.size()) {
        if (at(pos) != 0xFF || (at(pos + 1) & 0xE0) != 0xE0) break;
        const bool mpeg1Layer3 = (at(pos + 1) & 0x1E) == 0x1A;
        const int kbps = kKbps[at(pos + 2) >> 4];
        const int rateIndex = (at(pos + 2) >> 2) & 3;
        const int padding = (at(pos + 2) >> 1) & 1;
        const bool mono = (at(pos + 3) >> 6) == 3;
        if (!mpeg1Layer3 || kbps == 0 || rateIndex != 0) {
            m.uniform = false;
            break;
        }
        const size_t length = static_cast<size_t>(144000 * kbps / 44100 + padding);
        // The encoder's information frame comes first, at whatever rate holds it.
        const bool info = first && pos + 36 + 4 <= b.size() &&
                          (b.compare(pos + 36, 4, "Info") == 0 || b.compare(pos + 36, 4, "Xing") == 0);
        if (!info) {
            ++m.frames;
            if (kbps != 128 || mono) m.uniform = false;
        }
        first = false;
        pos += length;
    }
    if (pos > b.size()) pos = b.size();
    m.trailing = static_cast<std::int64_t>(b.size() - pos);
    if (m.trailing == 128 && b.compare(pos, 3, "TAG") == 0) m.trailing = 0;
    return m;
}

// Checks that `file` is an MP3 of the fixed format lasting about `seconds`
// (the encoder adds a few hundredths of a second of its own).
inline ::testing::AssertionResult Mp3Lasting(const fs::path& file, double seconds) {
    if (!fs::exists(file)) return ::testing::AssertionFailure() << Utf8(file) << " does not exist";
    const Mp3Facts m = ReadMp3(file);
    if (!m.uniform) return ::testing::AssertionFailure() << Utf8(file) << " has frames not 44100 Hz stereo 128 kbit/s";
    if (m.trailing != 0)
        return ::testing::AssertionFailure() << Utf8(file) << " ends in " << m.trailing << " stray bytes";
    if (m.Seconds() < seconds - 0.05 || m.Seconds() > seconds + 0.2)
        return ::testing::AssertionFailure() << Utf8(file) << " lasts " << m.Seconds() << " s, not " << seconds << " s";
    return ::testing::AssertionSuccess();
}

// The names of the MP3 files in a folder, sorted.
inline std::vector<std::string> Mp3Names(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir))
        if (e.path().extension() == L".mp3") names.push_back(Utf8(e.path().filename()));
    std::sort(names.begin(), names.end());
    return names;
}

// Every file name in a folder, sorted: what a user sees there.
inline std::vector<std::string> FileNames(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(Utf8(e.path().filename()));
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace kvtest
