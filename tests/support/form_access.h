#pragma once
// The in-process tests' view of the main window's state: what they set up
// (tool paths, folders) and read back.
#include "ui/main_form_win.h"

namespace kvtest {

struct FormAccess {
    static kv::Controller& Logic(kv::TfrmMain& f) { return *f.controller_; }
    static kv::ui::JobRows& Rows(kv::TfrmMain& f) { return *f.rows_; }
    static kv::FormOptions& Options(kv::TfrmMain& f) { return f.options_; }
    static kv::ConversionRun& Conversion(kv::TfrmMain& f) { return f.controller_->Run(); }
    static kv::ConversionChoices& Choices(kv::TfrmMain& f) { return f.controller_->choices_; }
    static std::string& TempDir(kv::TfrmMain& f) { return f.controller_->folders_.TempDir; }
    static std::string& WorkDir(kv::TfrmMain& f) { return f.controller_->folders_.WorkDir; }
    static std::string& AppDir(kv::TfrmMain& f) { return f.controller_->folders_.AppDir; }
    static std::string& FfmpegPath(kv::TfrmMain& f) { return f.controller_->ffmpegPath_; }
    static std::string& MediaInfoPath(kv::TfrmMain& f) { return f.controller_->mediaInfoPath_; }
    static kv::AddCommands& Adder(kv::TfrmMain& f) { return f.controller_->Adder(); }
    static kv::DurationProbe& Probe(kv::TfrmMain& f) { return f.controller_->Probe(); }
    static kv::TFindFile& FindFile1(kv::TfrmMain& f) { return *f.FindFile1; }
    static auto& Pictures(kv::TfrmMain& f) { return f.skin_->pictures_; }
    // Where a picture or label is drawn and takes the pointer; empty when it is not.
    static RECT GraphicRect(kv::TfrmMain& f, std::string_view name) { return f.skin_->RectOf(name); }
    static void PaintSkin(kv::TfrmMain& f, HDC dc) { f.skin_->Paint(dc); }
    static int ColumnWidth(kv::TfrmMain& f, int column) { return f.skin_->ColumnWidth(column); }
    static void RunEnded(kv::TfrmMain& f, const kv::RunCounts& counts, bool notify) {
        f.SignalRunFinished(counts, notify);
    }
    static kv::ui::DoneNotice& Notice(kv::TfrmMain& f) { return *f.doneNotice_; }
    static UINT NoticeMessage() { return kv::TfrmMain::kDoneNoticeMessage; }
};

}  // namespace kvtest
