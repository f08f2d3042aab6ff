// Adding files and folders (main_form_add_win.cpp, through the controller): the buttons, dropping, and the
// boxes that show what was added.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <cstring>

#include "app/handover.h"
#include "app/media_kinds.h"
#include "app/main_instance_win.h"
#include "app/runner_text.h"
#include "convert/auto_convert.h"
#include "components/FindFile.h"
#include "support/form_fixture.h"

namespace {

namespace fs = std::filesystem;
using kvtest::FormAccess;
using kvtest::TempFolder;

using MainFormAdd = kvtest::FormTest;

TEST_F(MainFormAdd, AddFileTakesAwkwardNamesUnchanged) {
    TempFolder dir(L"kv add");
    const fs::path src = kvtest::MediaFile("aac_mono_48k.mp4");
    const std::vector<fs::path> names{
        dir.Path() / L"a b&c^!'(),;=x.mp4",
        dir.Path() / L"100% sure %PATH%.mp4",
        dir.Path() / L"Привет мир.mp4",
        dir.Path() / L"Ελληνικά 日本語 🎵.mp4",
        dir.Path() / std::wstring(120, L'd') / std::wstring(120, L'e') / L"long name past the old limit.mp4",
    };
    const std::vector<std::string> shown{"a b&c^!'(),;=x", "100% sure %PATH%", "Привет мир", "Ελληνικά 日本語 🎵",
                                         "long name past the old limit"};
    for (const auto& n : names) AddFile(src, n);
    EXPECT_TRUE(p->dialogs->boxes.empty()) << p->dialogs->boxes[0].text;
    ASSERT_EQ(Jobs().Count(), static_cast<int>(names.size()));
    for (int i = 0; i < Jobs().Count(); ++i) {
        EXPECT_EQ(Jobs().Path(i), kvtest::Utf8(names[static_cast<size_t>(i)]));
        EXPECT_EQ(StoredDuration(i), "5");
        EXPECT_EQ(Cell(i, 0), "MP4");
        EXPECT_EQ(Cell(i, 1), shown[static_cast<size_t>(i)]);
        EXPECT_EQ(Jobs().Progress(i), "Pending");
        EXPECT_EQ(Jobs().Converted(i), "");
        EXPECT_EQ(Cell(i, 4), "X");
    }
    EXPECT_EQ(f->ControlText("Edit1"), kvtest::Utf8(names.back()));
    EXPECT_EQ(p->dialogs->openRequests[0].filter, kv::MediaDialogFilter());
    EXPECT_TRUE(p->dialogs->openRequests[0].filter.starts_with("MP4 Files|*.mp4|"));
    EXPECT_EQ(p->dialogs->openRequests[0].defaultExtension, "mp4");
}

TEST_F(MainFormAdd, AddFileReportsUnusableFilesAndAddsNothing) {
    p->dialogs->openAnswers.push_back(kvtest::Utf8(kvtest::MediaFile("zero.mp4")));
    f->Button1Click();
    ASSERT_EQ(p->dialogs->boxes.size(), 1u);
    EXPECT_EQ(p->dialogs->boxes[0].text, "Cannot process this file! Bad file header! Please use different file.");
    EXPECT_EQ(p->dialogs->boxes[0].caption, "Korvello");
    EXPECT_EQ(p->dialogs->boxes[0].flags, static_cast<UINT>(MB_OK));
    EXPECT_EQ(Jobs().Count(), 0);
    EXPECT_EQ(f->ControlText("Edit1"), "");
    // Cancelling the dialog changes nothing.
    f->Button1Click();
    EXPECT_EQ(Jobs().Count(), 0);
    ExpectAligned();
}

TEST_F(MainFormAdd, AddFolderStopsAtTheFirstUnusableFile) {
    TempFolder dir(L"kv folder");
    const fs::path good = kvtest::MediaFile("aac_mono_48k.mp4");
    for (const wchar_t* n : {L"1.mp4", L"2.mp4", L"4.mp4"}) fs::copy_file(good, dir.Path() / n);
    fs::copy_file(kvtest::MediaFile("zero.mp4"), dir.Path() / L"3 bad.mp4");
    fs::create_directories(dir.Path() / L"sub");
    fs::copy_file(good, dir.Path() / L"sub" / L"5.mp4");
    kvtest::WriteBytes(dir.Path() / L"notes.txt", "x");

    const std::string folder = kvtest::Utf8(dir.Path());
    p->dialogs->folderAnswers.push_back(folder);
    f->Button2Click();
    ASSERT_EQ(p->dialogs->folderAsks.size(), 1u);
    EXPECT_EQ(p->dialogs->folderAsks[0].title, "Select Output Folder");
    EXPECT_EQ(p->dialogs->folderAsks[0].initial, "");
    EXPECT_FALSE(p->dialogs->folderAsks[0].allowNew);
    EXPECT_EQ(FormAccess::Adder(*f).LastFolder(), folder);
    EXPECT_EQ(f->ControlText("Edit2"), folder);

    // Rows for the files found before the bad one, in the finder's order; the text file is no candidate.
    std::vector<std::string> found;
    for (const auto& listed : FormAccess::FindFile1(*f).Files())
        if (kv::IsMediaName(listed)) found.push_back(listed);
    ASSERT_EQ(found.size(), 4u);
    size_t before = 0;
    while (before < found.size() && kv::FileNamePart(found[before]) != "3 bad.mp4") ++before;
    ASSERT_LT(before, found.size());
    EXPECT_EQ(Jobs().Count(), static_cast<int>(before));
    for (size_t i = 0; i < before; ++i) EXPECT_EQ(Jobs().Path(static_cast<int>(i)), found[i]);
    ASSERT_EQ(p->dialogs->boxes.size(), 1u);
    EXPECT_EQ(
        p->dialogs->boxes[0].text,
        "Cannot process file 3 bad.mp4 Bad file header or bad characters in filename! Please use different file.");
    ExpectAligned();
    // The probes ran side by side, each with its own files, and left none.
    for (int slot = 0; slot < kv::kMostProbeSlots; ++slot) {
        EXPECT_FALSE(kv::FileExists(FormAccess::TempDir(*f) + kv::ProbeBatchName(slot))) << slot;
        EXPECT_FALSE(kv::FileExists(FormAccess::TempDir(*f) + kv::ProbeAnswerName(slot))) << slot;
    }

    // The next picker starts at the folder added last.
    f->Button2Click();
    EXPECT_EQ(p->dialogs->folderAsks.back().initial, folder);
}

TEST_F(MainFormAdd, FolderWithoutMp4FilesAddsNothingSilently) {
    TempFolder dir;
    kvtest::WriteBytes(dir.Path() / L"a.txt", "x");
    p->dialogs->folderAnswers.push_back(kvtest::Utf8(dir.Path()));
    f->Button2Click();
    EXPECT_EQ(Jobs().Count(), 0);
    EXPECT_TRUE(p->dialogs->boxes.empty());
    EXPECT_EQ(FormAccess::Adder(*f).LastFolder(), kvtest::Utf8(dir.Path()));
}

TEST_F(MainFormAdd, DroppedFilesAndFoldersAreAddedLikeTheButtonsDo) {
    TempFolder dir;
    const fs::path good = kvtest::MediaFile("aac_mono_48k.mp4");
    fs::copy_file(good, dir.Path() / L"single.MP4");
    fs::create_directories(dir.Path() / L"folder");
    fs::copy_file(good, dir.Path() / L"folder" / L"in folder.mp4");
    kvtest::WriteBytes(dir.Path() / L"ignored.txt", "x");
    f->Logic().AddDropped({kvtest::Utf8(dir.Path() / L"ignored.txt"), kvtest::Utf8(dir.Path() / L"single.MP4"),
                           kvtest::Utf8(dir.Path() / L"folder")});
    ASSERT_EQ(Jobs().Count(), 2);
    EXPECT_EQ(Cell(0, 1), "single");
    EXPECT_EQ(Cell(1, 1), "in folder");
    // During a run a drop waits for its end.
    MakeBusy();
    f->Logic().AddDropped({kvtest::Utf8(dir.Path() / L"single.MP4")});
    kvtest::PumpFor(300);
    EXPECT_EQ(Jobs().Count(), 3);
    EndBusy();
    ASSERT_TRUE(kvtest::PumpUntil([&] { return Jobs().Count() == 3; }, 10000));
    EXPECT_EQ(Cell(2, 1), "single");
}

// A name whose short form keeps its "%", on the C: drive, dropped on the window
// through the system's own drop message.
TEST_F(MainFormAdd, ADroppedNameTheBatchFileCannotCarryIsAdded) {
    const fs::path folder = L"C:\\kv odd drop";
    fs::remove_all(folder);
    fs::create_directories(folder);
    const fs::path file = folder / L"a b%c&d^e!f'(g).mp4";
    fs::copy_file(kvtest::MediaFile("aac_mono_48k.mp4"), file);
    const std::wstring name = file.wstring();
    // DROPFILES, then the wide names, each ended by a null, and one more null.
    const SIZE_T bytes = sizeof(DROPFILES) + (name.size() + 2) * sizeof(wchar_t);
    HGLOBAL drop = ::GlobalAlloc(GHND, bytes);
    ASSERT_TRUE(drop);
    auto* df = static_cast<DROPFILES*>(::GlobalLock(drop));
    df->pFiles = sizeof(DROPFILES);
    df->fWide = TRUE;
    std::memcpy(reinterpret_cast<char*>(df) + sizeof(DROPFILES), name.c_str(), name.size() * sizeof(wchar_t));
    ::GlobalUnlock(drop);
    ::SendMessageW(f->Handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);  // the window frees it
    EXPECT_TRUE(p->dialogs->boxes.empty()) << (p->dialogs->boxes.empty() ? "" : p->dialogs->boxes[0].text);
    ASSERT_EQ(Jobs().Count(), 1);
    EXPECT_EQ(Cell(0, 1), "a b%c&d^e!f'(g)");
    EXPECT_EQ(StoredDuration(0), "5");
    fs::remove_all(folder);
}

// The parameters a second copy sends as text in an atom are left to default
// processing: its files come in the hand-over that follows.
TEST_F(MainFormAdd, TheParameterMessageOfASecondCopyAddsNothing) {
    TempFolder dir;
    fs::copy_file(kvtest::MediaFile("aac_mono_48k.mp4"), dir.Path() / L"sent.mp4");
    const ATOM atom = ::GlobalAddAtomW((dir.Path() / L"sent.mp4").wstring().c_str());
    ASSERT_NE(atom, 0);
    EXPECT_EQ(::SendMessageW(f->Handle(), kv::kPassParametersMessage, atom, 0), 0);
    kvtest::PumpFor(300);
    ::GlobalDeleteAtom(atom);
    EXPECT_EQ(Jobs().Count(), 0);
    EXPECT_TRUE(p->dialogs->boxes.empty());
}

TEST_F(MainFormAdd, CommandsDoNothingWhileBusy) {
    MakeBusy();
    f->Button1Click();
    f->Button2Click();
    f->Button3Click();
    EXPECT_TRUE(p->dialogs->openRequests.empty());
    EXPECT_TRUE(p->dialogs->folderAsks.empty());
    EndBusy();
}

TEST_F(MainFormAdd, EditBoxesDropTypedCharacters) {
    f->SetControlText("Edit3", "C:\\out");
    for (const char* name : {"Edit1", "Edit2", "Edit3"}) {
        const std::string before = f->ControlText(name);
        ::SendMessageW(f->Control(name), WM_CHAR, 'a', 0);
        ::SendMessageW(f->Control(name), WM_CHAR, VK_BACK, 0);
        EXPECT_EQ(f->ControlText(name), before) << name;
    }
}

}  // namespace

namespace {

using kvtest::FormAccess;
using kvtest::TempFolder;
namespace fs = std::filesystem;

// Paths from outside: the command line of the first start, and what a second
// copy hands over, as the window receives it (WM_COPYDATA).
class MainFormHandOver : public kvtest::FormTest {
protected:
    void Copy(const fs::path& target, const char* media = "aac_mono_48k.mp4") {
        fs::create_directories(target.parent_path());
        fs::copy_file(kvtest::MediaFile(media), target, fs::copy_options::overwrite_existing);
    }
    std::vector<std::string> Paths() {
        std::vector<std::string> out;
        for (int i = 0; i < Jobs().Count(); ++i) out.push_back(Jobs().Path(i));
        return out;
    }
};

TEST_F(MainFormHandOver, TheFirstStartsFilesAndFoldersAreAddedOnceTheWindowShows) {
    TempFolder dir(L"kv start");
    Copy(dir.Path() / L"one.mp4");
    Copy(dir.Path() / L"Clips" / L"a.mp4");
    Copy(dir.Path() / L"Clips" / L"b.MP4");
    kvtest::WriteBytes(dir.Path() / L"Clips" / L"notes.txt", "not a video");
    kvtest::WriteBytes(dir.Path() / L"list.txt", "not a video");
    p.reset();
    kv::FormOptions options;
    options.parameters = {kvtest::Utf8(dir.Path() / L"one.mp4"), kvtest::Utf8(dir.Path() / L"list.txt"),
                          kvtest::Utf8(dir.Path() / L"Clips")};
    p = std::make_unique<kvtest::Program>(std::move(options));
    f = p->form.get();
    EXPECT_EQ(Jobs().Count(), 0) << "nothing is added before the window shows";
    f->Show();
    ASSERT_TRUE(kvtest::PumpUntil([&] { return Jobs().Count() == 3; }, 30000)) << Jobs().Count();
    kvtest::PumpFor(200);
    const auto d = kvtest::Utf8(dir.Path());
    EXPECT_EQ(Paths(), (std::vector<std::string>{d + "\\one.mp4", d + "\\Clips\\a.mp4", d + "\\Clips\\b.MP4"}));
    EXPECT_EQ(StoredDuration(0), "5");
    // What gave no row is named, once, with its reason; the folder's other files are no concern.
    ASSERT_EQ(p->dialogs->boxes.size(), 1u);
    EXPECT_EQ(p->dialogs->boxes[0].text,
              "This file was not added:\n\n\"list.txt\": it is not a video or audio file Korvello takes.");
}

TEST_F(MainFormHandOver, ASecondCopysPathsWaitForAnOpenDialogAndForTheRun) {
    TempFolder dir(L"kv hand"), out(L"kv hand out");
    const fs::path longFile = dir.Path() / std::wstring(150, L'l') / std::wstring(120, L'm') / L"long one.mp4";
    const fs::path cyrillic = dir.Path() / L"Лекция 2 — звук.mp4";
    Copy(longFile);
    Copy(cyrillic);
    Copy(dir.Path() / L"Clips" / L"a.mp4");
    kvtest::WriteBytes(dir.Path() / L"Clips" / L"notes.txt", "not a video");
    const std::vector<std::string> three{kvtest::Utf8(longFile), kvtest::Utf8(cyrillic),
                                         kvtest::Utf8(dir.Path() / L"Clips")};
    ASSERT_GT(three[0].size(), 300u);
    f->Show();

    // A message box or picker of the window is open: the paths wait for it.
    ::EnableWindow(f->Handle(), FALSE);
    ASSERT_TRUE(kv::HandOverPaths(f->Handle(), nullptr, three));
    kvtest::PumpFor(800);
    EXPECT_EQ(Jobs().Count(), 0);
    ::EnableWindow(f->Handle(), TRUE);
    ASSERT_TRUE(kvtest::PumpUntil([&] { return Jobs().Count() == 3; }, 30000)) << Jobs().Count();
    EXPECT_EQ(Paths(), (std::vector<std::string>{three[0], three[1], three[2] + "\\a.mp4"}));
    EXPECT_EQ(Cell(1, 1), "Лекция 2 — звук");

    // While converting, handed-over paths are kept and added when the run ends.
    FormAccess::WorkDir(*f) = kvtest::Utf8(out.Path());
    f->EzRgnBtn3Click();
    ASSERT_TRUE(Busy());
    const fs::path later = dir.Path() / L"later.mp4";
    Copy(later);
    ASSERT_TRUE(kv::HandOverPaths(f->Handle(), nullptr, {kvtest::Utf8(later)}));
    bool addedDuringRun = false;
    ASSERT_TRUE(kvtest::PumpUntil(
        [&] {
            if (Busy() && Jobs().Count() != 3) addedDuringRun = true;
            return !Busy();
        },
        180000));
    EXPECT_FALSE(addedDuringRun);
    ASSERT_TRUE(kvtest::PumpUntil([&] { return Jobs().Count() == 4; }, 30000));
    EXPECT_EQ(Jobs().Path(3), kvtest::Utf8(later));
    EXPECT_EQ(Jobs().Progress(3), "Pending");
    for (int i = 0; i < 3; ++i) EXPECT_EQ(Jobs().Progress(i), "Done") << i;
}

// Explorer's menu starts one copy per selected file with the "/convert"
// switch: the files convert in one run, which starts only once they have
// stopped coming; files handed over without the switch wait for the button.
TEST_F(MainFormHandOver, FilesWithTheConvertSwitchConvertInOneRunOnceAllAreIn) {
    TempFolder dir(L"kv switch"), out(L"kv switch out");
    for (const wchar_t* name : {L"one.mp4", L"two.mp4", L"three.mp4"}) Copy(dir.Path() / name);
    f->Show();
    FormAccess::WorkDir(*f) = kvtest::Utf8(out.Path());
    ASSERT_EQ(kv::SendHandOver(f->Handle(), nullptr, {kvtest::Utf8(dir.Path() / L"one.mp4")}, 5000, true),
              kv::Delivery::Taken);
    kvtest::PumpFor(700);  // the next copy of the selection comes a moment later
    ASSERT_EQ(kv::SendHandOver(f->Handle(), nullptr, {kvtest::Utf8(dir.Path() / L"two.mp4")}, 5000, true),
              kv::Delivery::Taken);
    const ULONGLONG lastArrival = ::GetTickCount64();
    ASSERT_TRUE(kvtest::PumpUntil([&] { return Busy(); }, 15000)) << "the run never started";
    EXPECT_GE(::GetTickCount64() - lastArrival, kv::AutoConvert::kSettleMs - 100) << "started before the pause";
    EXPECT_EQ(Jobs().Count(), 2) << "both files were in when it started";
    ASSERT_TRUE(kvtest::PumpUntil([&] { return !Busy(); }, 120000));
    for (int i = 0; i < 2; ++i) EXPECT_EQ(Jobs().Progress(i), "Done") << i;
    EXPECT_TRUE(fs::exists(out.Path() / L"one.mp3") && fs::exists(out.Path() / L"two.mp3"));

    // Without the switch: added, and left for the user's press.
    ASSERT_EQ(kv::SendHandOver(f->Handle(), nullptr, {kvtest::Utf8(dir.Path() / L"three.mp4")}, 5000, false),
              kv::Delivery::Taken);
    ASSERT_TRUE(kvtest::PumpUntil([&] { return Jobs().Count() == 3; }, 30000));
    kvtest::PumpFor(kv::AutoConvert::kSettleMs + 1500);
    EXPECT_FALSE(Busy());
    EXPECT_EQ(Jobs().Progress(2), "Pending");
    EXPECT_TRUE(p->dialogs->boxes.empty());

    // With the switch, a file that gives no row starts nothing: the waiting row waits on.
    kvtest::WriteBytes(dir.Path() / L"not really.mp4", "no video inside");
    ASSERT_EQ(kv::SendHandOver(f->Handle(), nullptr, {kvtest::Utf8(dir.Path() / L"not really.mp4")}, 5000, true),
              kv::Delivery::Taken);
    ASSERT_TRUE(kvtest::PumpUntil([&] { return !p->dialogs->boxes.empty(); }, 30000)) << "the probe's message";
    kvtest::PumpFor(kv::AutoConvert::kSettleMs + 1500);
    EXPECT_FALSE(Busy());
    EXPECT_EQ(Jobs().Count(), 3);
    EXPECT_EQ(Jobs().Progress(2), "Pending");
}

// Any program on the desktop can send the window WM_COPYDATA: a message
// without data, a short or ragged block, and names no file can have take
// nothing, and a name built to break out of a command line runs nothing.
TEST_F(MainFormHandOver, WhatAnyProgramSendsIsCheckedAtTheBorder) {
    TempFolder dir(L"kv border");
    f->Show();
    DWORD_PTR r = 1;
    ASSERT_TRUE(::SendMessageTimeoutW(f->Handle(), WM_COPYDATA, 0, 0, SMTO_BLOCK, 5000, &r));
    EXPECT_EQ(r, static_cast<DWORD_PTR>(FALSE)) << "no data at all";
    const char16_t one = u'x';
    COPYDATASTRUCT shortBlock{kv::kHandOverTag, 1, const_cast<char16_t*>(&one)};
    ASSERT_TRUE(::SendMessageTimeoutW(f->Handle(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&shortBlock), SMTO_BLOCK,
                                      5000, &r));
    EXPECT_EQ(r, static_cast<DWORD_PTR>(FALSE)) << "a block shorter than one entry";
    COPYDATASTRUCT nullData{kv::kHandOverTag, 64, nullptr};
    ASSERT_TRUE(
        ::SendMessageTimeoutW(f->Handle(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&nullData), SMTO_BLOCK, 5000, &r));
    EXPECT_EQ(r, static_cast<DWORD_PTR>(FALSE)) << "a size without data";

    const fs::path pwned = dir.Path() / L"pwned.txt";
    const std::string injection = "C:\\x\" & echo pwned > " + kvtest::Utf8(pwned) + " & \".mp4";
    const fs::path good = dir.Path() / L"good.mp4";
    Copy(good);
    EXPECT_TRUE(kv::HandOverPaths(f->Handle(), nullptr, {injection, "relative.mp4", "C:\\nul.mp4", kvtest::Utf8(good)}))
        << "taken: one path could name a file";
    ASSERT_TRUE(kvtest::PumpUntil([&] { return Jobs().Count() == 1; }, 30000));
    kvtest::PumpFor(500);
    EXPECT_EQ(Paths(), std::vector<std::string>{kvtest::Utf8(good)});
    EXPECT_FALSE(fs::exists(pwned)) << "nothing ran";
    // What fails the check is named with its reason, in one message.
    ASSERT_EQ(p->dialogs->boxes.size(), 1u);
    const std::string& said = p->dialogs->boxes[0].text;
    for (const char* name : {"\"relative.mp4\"", "\"nul.mp4\"", "cannot be found"})
        EXPECT_NE(said.find(name), std::string::npos) << name << " in " << said;
    // None of them could name a file: nothing is taken, and the sender says so.
    EXPECT_FALSE(kv::HandOverPaths(f->Handle(), nullptr, {injection, "relative.mp4", "C:\\x?.mp4"}));
}

// A drop during a run is kept, as a hand-over is, and added at the run's end.
TEST_F(MainFormHandOver, ADropDuringARunIsAddedWhenTheRunEnds) {
    TempFolder dir(L"kv drop run"), out(L"kv drop out");
    f->Show();
    FormAccess::WorkDir(*f) = kvtest::Utf8(out.Path());
    AddFile(kvtest::MediaFile("aac_stereo_video.mp4"), dir.Path() / L"first.mp4");
    f->EzRgnBtn3Click();
    ASSERT_TRUE(Busy());
    const fs::path dropped = dir.Path() / L"dropped.mp4";
    Copy(dropped);
    f->Logic().AddDropped({kvtest::Utf8(dropped)});
    EXPECT_EQ(Jobs().Count(), 1) << "not added during the run";
    ASSERT_TRUE(RunToEnd());
    ASSERT_TRUE(kvtest::PumpUntil([&] { return Jobs().Count() == 2; }, 30000));
    EXPECT_EQ(Jobs().Path(1), kvtest::Utf8(dropped));
    EXPECT_EQ(Jobs().Progress(1), "Pending");
}

}  // namespace
