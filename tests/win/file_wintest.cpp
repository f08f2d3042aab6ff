// Reading a file whole: any size, any path length, while another program
// writes it; and what tells a file that cannot be opened.
#include "win/file.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/win_test_util.h"
#include "win/handle.h"

namespace {

namespace fs = std::filesystem;

// More than one read's worth, with every byte value in it.
std::string Bytes() {
    std::string bytes;
    for (int i = 0; i < 20000; ++i) bytes += static_cast<char>(i * 7 % 256);
    return bytes;
}

TEST(ReadWholeFile, GivesEveryByte) {
    kvtest::TempFolder dir(L"kv read");
    const fs::path file = dir.Path() / L"\u00E9t\u00E9.bin";
    kvtest::WriteBytes(file, Bytes());
    EXPECT_EQ(kv::win::ReadWholeFile(kvtest::Utf8(file)), Bytes());
    kvtest::WriteBytes(dir.Path() / L"empty", "");
    EXPECT_EQ(kv::win::ReadWholeFile(kvtest::Utf8(dir.Path() / L"empty")), "");
}

TEST(ReadWholeFile, ReadsWhatAnotherProgramHoldsOpenForWriting) {
    kvtest::TempFolder dir(L"kv read");
    const fs::path file = dir.Path() / L"log.txt";
    const kv::win::UniqueFile writer(::CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                   nullptr, CREATE_ALWAYS, 0, nullptr));
    ASSERT_TRUE(writer);
    DWORD written = 0;
    ASSERT_TRUE(::WriteFile(writer.Get(), "so far", 6, &written, nullptr));
    EXPECT_EQ(kv::win::ReadWholeFile(kvtest::Utf8(file)), "so far");
}

TEST(ReadWholeFile, ReadsBeyondTheClassicPathLimit) {
    kvtest::TempFolder dir(L"kv read");
    std::wstring folder = LR"(\\?\)" + dir.Path().wstring();
    for (int i = 0; i < 6; ++i) {
        folder += L"\\a folder with a name of some fifty characters " + std::to_wstring(i);
        ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    }
    const std::wstring file = folder + L"\\deep.txt";
    {
        const kv::win::UniqueFile f(::CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
        ASSERT_TRUE(f);
        DWORD written = 0;
        ASSERT_TRUE(::WriteFile(f.Get(), "deep", 4, &written, nullptr));
    }
    const std::string plain = kvtest::Utf8(file.substr(4));
    ASSERT_GT(plain.size(), 300u);
    EXPECT_EQ(kv::win::ReadWholeFile(plain), "deep");
    ::DeleteFileW(file.c_str());
    for (; folder.size() > 4 + dir.Path().wstring().size(); folder.erase(folder.rfind(L'\\')))
        ::RemoveDirectoryW(folder.c_str());
}

TEST(ReadWholeFile, AFileThatCannotBeOpenedGivesNothingAndItsReason) {
    kvtest::TempFolder dir(L"kv read");
    const std::string path = kvtest::Utf8(dir.Path() / L"absent.txt");
    ::SetLastError(0);
    const auto read = kv::win::ReadWholeFile(path);
    const DWORD error = ::GetLastError();
    EXPECT_FALSE(read);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST(ReadToEnd, ReadsFromWhereTheFileStands) {
    kvtest::TempFolder dir(L"kv read");
    const fs::path file = dir.Path() / L"tail.txt";
    kvtest::WriteBytes(file, "head|tail");
    const kv::win::UniqueFile f(
        ::CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(f);
    LARGE_INTEGER at{};
    at.QuadPart = 5;
    ASSERT_TRUE(::SetFilePointerEx(f.Get(), at, nullptr, FILE_BEGIN));
    EXPECT_EQ(kv::win::ReadToEnd(f.Get()), "tail");
    EXPECT_EQ(kv::win::ReadToEnd(f.Get()), "") << "nothing past the end";
}

}  // namespace
