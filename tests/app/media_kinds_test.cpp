// Which names Korvello takes, what the Type column calls them, and the file
// dialog's filter.
#include "app/media_kinds.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

TEST(MediaKinds, VideoAndAudioNamesGiveTheirKindInAnyCase) {
    EXPECT_EQ(kv::MediaKindOf("C:\\in\\Trip.mp4"), "MP4");
    EXPECT_EQ(kv::MediaKindOf("C:\\in\\phone.MOV"), "MOV");
    EXPECT_EQ(kv::MediaKindOf("C:\\in\\a.b.Mkv"), "MKV");
    EXPECT_EQ(kv::MediaKindOf("\\\\server\\share\\cam\\00001.m2ts"), "M2TS");
    EXPECT_EQ(kv::MediaKindOf("C:\\in\\book.m4b"), "M4B");
    EXPECT_EQ(kv::MediaKindOf("C:\\in\\talk.opus"), "OPUS");
    for (const char* e :
         {"mp4", "mov", "3gp",  "webm", "mkv", "m4a", "mts", "m2ts", "avi", "flv", "wmv", "mpg",  "vob", "m4b",
          "wma", "ogg", "opus", "flac", "wav", "aac", "ac3", "m4v",  "3g2", "mka", "ts",  "mpeg", "ogv", "asf"})
        EXPECT_TRUE(kv::IsMediaName(std::string("C:\\x\\clip.") + e)) << e;
}

TEST(MediaKinds, AnMp3OrAnyOtherNameIsNotTaken) {
    for (const char* p : {"C:\\in\\song.mp3", "C:\\in\\song.MP3", "C:\\in\\notes.txt", "C:\\in\\mp4", "C:\\in\\.mp4",
                          "C:\\in.mp4\\clip", "C:\\in\\clip.mp4.part", "C:\\in\\clip.mp4x", "C:\\in\\clip.", ""})
        EXPECT_FALSE(kv::IsMediaName(p)) << p;
}

TEST(MediaKinds, TheDialogOffersMp4FirstThenEveryKindThenAllFiles) {
    const std::string f = kv::MediaDialogFilter();
    ASSERT_TRUE(f.starts_with("MP4 Files|*.mp4|Video and audio files|*.mp4;*.m4v;")) << f;
    EXPECT_TRUE(f.ends_with(";*.mp2|All files|*.*")) << f;
    std::set<std::string_view> seen;
    for (const auto e : kv::kMediaExtensions) {
        EXPECT_TRUE(seen.insert(e).second) << "listed twice: " << e;
        EXPECT_NE((f + ";").find("*." + std::string(e) + (e == "mp2" ? "|" : ";")), std::string::npos) << e;
    }
    EXPECT_FALSE(seen.contains("mp3"));
}
