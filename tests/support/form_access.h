#pragma once
// The in-process tests' view of the main window's state: what they set up
// (tool paths, folders, a busy window) and read back.
#include "ui/main_form_win.h"

namespace kvtest {

struct FormAccess {
    static kv::RunState& Run(kv::TfrmMain& f) { return f.runState_; }
    static kv::ui::JobRows& Rows(kv::TfrmMain& f) { return *f.rows_; }
    static kv::FormOptions& Options(kv::TfrmMain& f) { return f.options_; }
    static kv::ConversionRun& Conversion(kv::TfrmMain& f) { return *f.run_; }
    static kv::ConversionChoices& Choices(kv::TfrmMain& f) { return f.choices_; }
    static std::string& TempDir(kv::TfrmMain& f) { return f.TempDir; }
    static std::string& WorkDir(kv::TfrmMain& f) { return f.WorkDir; }
    static std::string& AppDir(kv::TfrmMain& f) { return f.AppDir; }
    static std::string& FfmpegPath(kv::TfrmMain& f) { return f.FfmpegPath; }
    static std::string& MediaInfoPath(kv::TfrmMain& f) { return f.MediaInfoPath; }
    static kv::AddCommands& Adder(kv::TfrmMain& f) { return *f.adder_; }
    static kv::DurationProbe& Probe(kv::TfrmMain& f) { return *f.probe_; }
    static kv::TFindFile& FindFile1(kv::TfrmMain& f) { return *f.FindFile1; }
    static auto& Pictures(kv::TfrmMain& f) { return f.pictures_; }
    // Where a picture or label is drawn and takes the pointer; empty when it is not.
    static RECT GraphicRect(kv::TfrmMain& f, std::string_view name) {
        for (const auto& g : f.graphics_)
            if (g.def->name == name) return g.rect;
        return RECT{};
    }
};

}  // namespace kvtest
