// The probe's Windows side: code pages (UTF-8 included), and the real media
// reader through both routes, with short names present or missing.
#include "convert/duration_probe_win.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "convert/duration_probe.h"
#include "support/form_access.h"
#include "support/program.h"
#include "support/win_test_util.h"
#include "win/error.h"

namespace {

TEST(CodePage, UnicodeUtf8CarriesEveryLetterAndOtherCodePagesOnlyTheirOwn) {
    std::string bytes;
    const std::string mixed = "C:\\\xD0\x9B\xD0\xB5\xD0\xBA\\\xE9\x9F\xB3\xE6\xA5\xBD \xF0\x9F\x8E\xB5.mp4";
    EXPECT_TRUE(kv::EncodeForCodePage(mixed, CP_UTF8, bytes));
    EXPECT_EQ(bytes, mixed);
    EXPECT_TRUE(kv::EncodeForCodePage("C:\\plain\\clip.mp4", CP_UTF8, bytes));
    EXPECT_EQ(bytes, "C:\\plain\\clip.mp4");

    EXPECT_TRUE(kv::EncodeForCodePage("\xCE\xA9", 437, bytes));  // Ω is in the old DOS page
    EXPECT_EQ(bytes, "\xEA");
    EXPECT_FALSE(kv::EncodeForCodePage("\xE9\x9F\xB3", 437, bytes));  // 音 is not
    EXPECT_FALSE(kv::EncodeForCodePage("\xCE\xA9", 1252, bytes));
    EXPECT_TRUE(kv::EncodeForCodePage("caf\xC3\xA9", 1252, bytes));
    EXPECT_EQ(bytes, "caf\xE9");
    // A look-alike is no exact letter: ā would become a.
    EXPECT_FALSE(kv::EncodeForCodePage("\xC4\x81", 1252, bytes));
    EXPECT_TRUE(kv::EncodeForCodePage("", 850, bytes));
    EXPECT_EQ(bytes, "");
}

// The Windows platform with a short-name lookup that finds nothing, as on a
// volume that keeps no 8.3 names, and a record of which route ran.
class NoShortNames final : public kv::IProbePlatform {
public:
    explicit NoShortNames(UINT codePage) : real_(nullptr, codePage) {}
    int batches = 0, direct = 0;

    std::string ShortName(const std::string& path) override { return path; }
    bool ToConsoleCodePage(const std::string& utf8, std::string& bytes) override {
        return real_.ToConsoleCodePage(utf8, bytes);
    }
    void WriteFile(const std::string& path, const std::string& bytes) override { real_.WriteFile(path, bytes); }
    bool RunBatch(const std::string& batPath, std::uint32_t limitMs) override {
        ++batches;
        return real_.RunBatch(batPath, limitMs);
    }
    bool RunReader(const std::string& reader, const std::string& args, const std::string& outputPath,
                   std::uint32_t limitMs) override {
        ++direct;
        return real_.RunReader(reader, args, outputPath, limitMs);
    }
    std::optional<std::string> ReadFile(const std::string& path, std::string& why) override {
        return real_.ReadFile(path, why);
    }
    void DeleteFile(const std::string& path) override { real_.DeleteFile(path); }
    void ShowProbeText(const std::string&) override {}

private:
    kv::WinProbePlatform real_;
};

class RealReader : public ::testing::Test {
protected:
    void SetUp() override {
        if (!kvtest::MediaAvailable()) GTEST_SKIP() << "no test media";
        ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Korvello");
        program = std::make_unique<kvtest::Program>();
        reader = kvtest::FormAccess::MediaInfoPath(*program->form);
        temp = kvtest::FormAccess::TempDir(*program->form);
    }
    // A copy of the 4-second test file under this name.
    std::string Copy(const std::wstring& name) {
        const auto to = folder.Path() / name;
        std::filesystem::copy_file(kvtest::MediaFile("aac_mono_48k.mp4"), to);
        return kvtest::Utf8(to);
    }
    std::unique_ptr<kvtest::Program> program;
    kvtest::TempFolder folder{L"kv probe"};
    std::string reader, temp;
};

// The batch file runs through the system's own interpreter, and only as it was
// written: a file another program changed in the temporary folder is not run.
TEST(BatchFile, RunsAsWrittenThroughTheSystemsInterpreter) {
    kvtest::TempFolder dir;
    kv::WinProbePlatform p(nullptr);
    EXPECT_TRUE(kv::BatchInterpreter().ends_with("\\cmd.exe"));
    wchar_t system[MAX_PATH] = {};
    ::GetSystemDirectoryW(system, MAX_PATH);
    EXPECT_EQ(kvtest::FromUtf8(kv::BatchInterpreter()).parent_path(), std::filesystem::path(system));
    const std::string bat = kvtest::Utf8(dir.Path() / L"open.bat");
    const std::string marker = kvtest::Utf8(dir.Path() / L"ran.txt");
    p.WriteFile(bat, "echo ran> \"" + marker + "\"\r\n");
    EXPECT_FALSE(p.RunBatch(bat, 30000));
    EXPECT_TRUE(std::filesystem::exists(kvtest::FromUtf8(marker))) << "it ran";
    std::filesystem::remove(kvtest::FromUtf8(marker));
    p.WriteFile(bat, "echo ran> \"" + marker + "\"\r\n");
    kvtest::WriteBytes(dir.Path() / L"open.bat", "echo planted> \"" + marker + "\"\r\n");
    EXPECT_THROW((void)p.RunBatch(bat, 30000), kv::Error);
    EXPECT_FALSE(std::filesystem::exists(kvtest::FromUtf8(marker))) << "a changed batch file is not run";
}

TEST_F(RealReader, UnderUnicodeUtf8APlainNameStillGoesThroughTheBatchFile) {
    NoShortNames platform(CP_UTF8);
    kv::DurationProbe probe(platform, temp, reader);
    EXPECT_EQ(probe.Answer(kvtest::Present(Copy(L"plain.mp4"))), "00:00:04.000");
    EXPECT_EQ(platform.batches, 1);
    EXPECT_EQ(platform.direct, 0);
    EXPECT_FALSE(std::filesystem::exists(kvtest::FromUtf8(temp + "open.bat")));
}

TEST_F(RealReader, NamesTheBatchFileCannotCarryAreReadDirectly) {
    NoShortNames platform(437);
    kv::DurationProbe probe(platform, temp, reader);
    for (const wchar_t* name :
         {L"\u97f3\u697d \U0001F3B5.mp4", L"a b%c&d^e!f'(g).mp4", L"\u041b\u0435\u043a 100%%.mp4"}) {
        EXPECT_EQ(probe.Answer(kvtest::Present(Copy(name))), "00:00:04.000") << kvtest::Utf8(name);
    }
    EXPECT_EQ(platform.batches, 0);
    EXPECT_EQ(platform.direct, 3);
    EXPECT_FALSE(std::filesystem::exists(kvtest::FromUtf8(temp + "duration_time.txt")));
}

}  // namespace
