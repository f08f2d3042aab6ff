// The program's version resource, read as Explorer reads it.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "support/win_test_util.h"

namespace {

std::wstring Value(const std::vector<char>& info, const wchar_t* name) {
    wchar_t* text = nullptr;
    UINT len = 0;
    const std::wstring key = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
    if (!::VerQueryValueW(info.data(), key.c_str(), reinterpret_cast<void**>(&text), &len) || !text) return {};
    return std::wstring(text, len && text[len - 1] == L'\0' ? len - 1 : len);
}

TEST(VersionResource, TheProgramSaysWhatItIsAndWhoMadeIt) {
    const std::wstring exe = (kvtest::ProgramFolder() / L"korvello.exe").wstring();
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(exe.c_str(), &ignored);
    ASSERT_GT(size, 0u) << "no version resource in korvello.exe";
    std::vector<char> info(size);
    ASSERT_TRUE(::GetFileVersionInfoW(exe.c_str(), 0, size, info.data()));
    EXPECT_EQ(Value(info, L"ProductName"), L"Korvello");
    EXPECT_EQ(Value(info, L"CompanyName"), L"Korvello Labs");
    EXPECT_EQ(Value(info, L"LegalCopyright"), L"Copyright (C) 2026 Korvello Labs");
    EXPECT_EQ(Value(info, L"FileDescription"), L"Korvello MP4 to MP3 converter");
    EXPECT_EQ(Value(info, L"OriginalFilename"), L"korvello.exe");
    EXPECT_EQ(Value(info, L"FileVersion"), KV_EXPECTED_VERSION);
    EXPECT_EQ(Value(info, L"ProductVersion"), KV_EXPECTED_VERSION);
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT len = 0;
    ASSERT_TRUE(::VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &len));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    const std::wstring numbers =
        std::to_wstring(HIWORD(fixed->dwFileVersionMS)) + L"." + std::to_wstring(LOWORD(fixed->dwFileVersionMS)) +
        L"." + std::to_wstring(HIWORD(fixed->dwFileVersionLS)) + L"." + std::to_wstring(LOWORD(fixed->dwFileVersionLS));
    EXPECT_EQ(numbers, KV_EXPECTED_VERSION);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
}

}  // namespace
