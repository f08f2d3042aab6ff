// ASCII case, trimming and the UTF-16 length of the program's UTF-8 text.
#include "win/utf8.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(Utf8, OnlyAsciiLettersChangeCase) {
    EXPECT_EQ(kv::UpperAscii("ffmpeg.exe"), "FFMPEG.EXE");
    EXPECT_EQ(kv::UpperAscii("a-z@[`{"), "A-Z@[`{");
    // é (C3 A9) stays: its bytes are no ASCII letters.
    EXPECT_EQ(kv::UpperAscii("caf\xC3\xA9"), "CAF\xC3\xA9");
    EXPECT_EQ(kv::UpperAscii('q'), 'Q');
    EXPECT_EQ(kv::UpperAscii('Q'), 'Q');
    EXPECT_EQ(kv::UpperAscii('\xE9'), '\xE9');
}

TEST(Utf8, SameTextAsciiFoldsOnlyTheAsciiLetters) {
    EXPECT_TRUE(kv::SameTextAscii("FFmpeg.EXE", "ffmpeg.exe"));
    EXPECT_TRUE(kv::SameTextAscii("", ""));
    EXPECT_FALSE(kv::SameTextAscii("ffmpeg.exe", "ffmpeg.ex"));
    EXPECT_FALSE(kv::SameTextAscii("\xC3\xA9", "\xC3\x89")) << "é and É are no ASCII letters";
    // Characters 32 apart that are no letters stay apart.
    EXPECT_FALSE(kv::SameTextAscii("@", "`"));
    EXPECT_FALSE(kv::SameTextAscii("[", "{"));
}

TEST(Utf8, TrimTextTakesBlanksAndControlsFromBothEnds) {
    EXPECT_EQ(kv::TrimText(" \t\r\nThe file was not found.\r\n"), "The file was not found.");
    EXPECT_EQ(kv::TrimText("a  b"), "a  b");
    EXPECT_EQ(kv::TrimText(" \r\n "), "");
    EXPECT_EQ(kv::TrimText(""), "");
    EXPECT_EQ(kv::TrimText("\xC3\xA9 "), "\xC3\xA9") << "UTF-8 bytes are above the blank";
}

TEST(Utf8, Utf16LengthCountsSurrogatePairsTwice) {
    EXPECT_EQ(kv::Utf16Length("abc"), 3u);
    EXPECT_EQ(kv::Utf16Length("\xD0\x96"), 1u);          // Ж
    EXPECT_EQ(kv::Utf16Length("\xE9\x9F\xB3"), 1u);      // 音
    EXPECT_EQ(kv::Utf16Length("\xF0\x9F\x8E\xB5"), 2u);  // 🎵
    EXPECT_EQ(kv::Utf16Length(""), 0u);
}

}  // namespace
