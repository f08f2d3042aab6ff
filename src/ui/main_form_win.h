#pragma once
// The main window: its controls built from the layout table, its state, and
// the handlers of every command. Handler bodies live in main_form_*_win.cpp, by
// subsystem; the conversion run itself is plain logic in convert/.
#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/application_win.h"
#include "app/handover.h"
#include "convert/conversion_run.h"
#include "convert/conversion_run_win.h"
#include "convert/add_commands.h"
#include "convert/auto_convert.h"
#include "convert/duration_probe.h"
#include "convert/duration_probe_win.h"
#include "convert/job_list.h"
#include "ui/job_rows_win.h"
#include "components/component.h"
#include "ui/layout.h"
#include "win/handle.h"
#include "win/window.h"

namespace kvtest {
struct FormAccess;  // the in-process tests' view of the window's state
}

namespace kv {

class TAdvancedTimer;
class TFindFile;

struct FormOptions {
    HMODULE resourceModule = nullptr;     // where the tool files and art are; null: the program itself
    std::vector<std::string> parameters;  // the command-line paths, for a second copy to pass on
    bool convert = false;                 // they came with the "/convert" switch
    std::function<void()> terminateSelf;  // the close button's last step; null: end the process
    int logicalProcessors = 0;            // 0: the PC's own count
    // Shows the shortcut menu at a point of the screen and gives the command
    // chosen (0 for none); null: the system's TrackPopupMenuEx.
    std::function<UINT(HMENU menu, POINT at)> trackMenu;
};

class TfrmMain : public win::Window, public TComponent {
public:
    TfrmMain(TApplication& app, FormOptions options = {});
    ~TfrmMain() override;

    void Show();

    // Handlers.
    void FormCreate();
    void FormShow();
    void FormDestroy();
    void Image1MouseDown(int button, int x, int y);
    void EzRgnBtn1Click();
    void EzRgnBtn2Click();
    // Job list.
    void ListView1KeyDown(WORD& key, UINT shift);
    void ListView1Click();
    // Adding files and folders.
    void Button1Click();
    void Button2Click();
    void Edit1KeyPress(wchar_t& key);
    void Edit2KeyPress(wchar_t& key);
    void Edit3KeyPress(wchar_t& key);
    // Output folder.
    void Button3Click();
    // Conversion run.
    void EzRgnBtn3Click();
    void MyTimerEventHandlerConversion(TAdvancedTimer* sender);
    static constexpr UINT kJobExitedMessage = WM_APP + 1;
    void OnJobExited(std::int64_t jobId);

    // The duration probe in its two halves: the tool's first answer line (none
    // when it gave no answer), then the stored duration (raises on a bad time).
    std::optional<std::string> ProbeAnswer(const std::string& path);
    static int ProbeDuration(const std::string& firstLine);

    // Links and list colouring.
    void OpenLink(std::string_view control);
    void LinkMouseEnter(std::string_view label);
    void LinkMouseLeave(std::string_view label);
    [[nodiscard]] bool LinkUnderlined(std::string_view label) const { return hoveredLink_ == label; }
    LRESULT d4_ListViewCustomDrawSubItem(NMLVCUSTOMDRAW& draw);

    // Adds dropped files and folders as the two add commands do; each path
    // passes the border check first, and one that fails it is skipped.
    void AddDroppedPaths(const std::vector<std::string>& paths);
    // Paths from the command line or a second copy: checked, then added as
    // dropped ones once the window is free (no run, no command, no dialog
    // open). False when the window has no room left to keep them. With
    // `convert`, the files are converted once they are in (see AutoConvert).
    bool HandOverPaths(const std::vector<std::string>& paths, bool convert = false);
    // The border check as the window applies it.
    static constexpr UINT kAddHandedOverMessage = WM_APP + 2;

    JobList& Jobs() { return *jobs_; }

    // Runs the click handler the layout binds under this name; false when it binds none.
    bool RunClick(std::string_view handler);

    // Controls by name.
    [[nodiscard]] HWND Control(std::string_view name) const;
    [[nodiscard]] std::string ControlText(std::string_view name) const;
    void SetControlText(std::string_view name, const std::string& text);

    // The DPI the window is laid out for, and the scale of the art it shows.
    [[nodiscard]] int Dpi() const noexcept { return dpi_; }
    [[nodiscard]] int ArtScale() const noexcept;

    TApplication& Application() noexcept { return app_; }
    IDialogs& Dialogs() noexcept { return app_.Dialogs(); }

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    friend struct kvtest::FormAccess;
    class AddHost;

    // The handlers the layout names, bound when the program is built, and
    // each event of a control passed to the handler its layout entry names.
    struct Handlers;
    void Click(const ui::ControlDef& def);
    void MouseEnter(const ui::ControlDef& def);
    void MouseLeave(const ui::ControlDef& def);
    void MouseDown(const ui::ControlDef& def, int button, int x, int y);
    void KeyDown(const ui::ControlDef& def, WORD& key, UINT shift);
    bool KeyPress(const ui::ControlDef& def, wchar_t& key);  // false: none bound
    std::optional<LRESULT> CustomDraw(const ui::ControlDef& def, NMLVCUSTOMDRAW& draw);
    [[nodiscard]] const ui::ControlDef* DefOf(HWND control) const;

    // Window messages.
    LRESULT OnAppMessage(UINT msg, WPARAM wp, LPARAM lp);
    void OnPaint();
    void OnButtonDown(UINT msg, POINT pt);
    void OnLeftButtonUp(POINT pt);
    bool OnActivate(bool active);
    bool OnSysCommand(WPARAM command);
    void OnMouseMove(POINT pt);
    bool OnSetCursor();
    void OnCommand(HWND from, WORD id, WORD code);
    std::optional<LRESULT> OnNotify(NMHDR& hdr);
    void OnDropFiles(HDROP drop);
    void OnDestroy();
    void OnContextMenu(LPARAM lp);

    // The user's choices (main_form_choices_win.cpp).
    void ReadChoices();
    void SaveChoices();
    void FillSystemMenu();
    bool OnChoiceCommand(UINT id);  // false: no command of the choices

    // Main-window state (besides what the conversion run keeps in runState_ and
    // the add commands in their last folder).
    std::string TempDir, WorkDir, AppDir, FfmpegPath, MediaInfoPath;
    // The tool files as written and checked, held until they are deleted.
    std::vector<win::UniqueFile> toolLocks_;
    std::string toolProblem_;
    TFindFile* FindFile1 = nullptr;

    struct Graphic {
        const ui::ControlDef* def;
        RECT rect;
    };

    void PointerOverGraphic(const Graphic* g);
    void InvalidateGraphic(std::string_view name);
    void BuildControls();
    void ApplyTabOrder();
    void PressFocusedButton();
    [[nodiscard]] const Job* SelectedJob() const;
    void CreateWindowed(const ui::ControlDef& def);
    // Layout at the window's DPI: a control's place, the fonts, the pictures
    // and labels, the window's shape; ApplyDpi redoes them all for another DPI.
    [[nodiscard]] RECT Placed(const ui::ControlDef& def) const;
    void MakeFonts();
    void AddGraphic(HDC dc, const ui::ControlDef& def);
    void ApplyShape();
    void ApplyDpi(int dpi, const RECT* suggested);
    void PaintGraphics(HDC dc);
    const Graphic* GraphicAt(POINT pt) const;
    void DeleteToolFiles(bool batchFileFourth);
    void EndRunAndTools();
    void OnEndSession(bool ending);
    void SweepLeftovers();
    void InstallTools();
    // Shown once the window is up: why a tool could not be set up.
    static constexpr UINT kToolProblemMessage = WM_APP + 4;
    void SignalRunFinished();
    void AddHandedOver();
    static constexpr UINT_PTR kHandOverRetryTimer = 1;
    // While files of the "/convert" switch wait for their run.
    static constexpr UINT_PTR kAutoConvertTimer = 2;
    bool OnTimer(UINT_PTR id);
    void AutoConvertTick();
    [[nodiscard]] bool IdleForAutoConvert() const;
    // A screen reader's "jump" on a link label; WPARAM: the label's index among the parts.
    static constexpr UINT kReaderLinkMessage = WM_APP + 3;
    LRESULT AnswerReader(WPARAM wp, LPARAM lp);
    std::vector<const Graphic*> LinkLabels() const;
    bool TakeCopyData(const COPYDATASTRUCT* data);
    static LRESULT CALLBACK SubclassProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
    static LRESULT AnswerControlReader(HWND h, const ui::ControlDef& def, WPARAM wp, LPARAM lp);

    TApplication& app_;
    FormOptions options_;
    win::UniqueFont font_, boldFont_;
    std::map<std::string, HWND, std::less<>> controls_;
    std::map<HWND, const ui::ControlDef*> defsByHwnd_;
    std::vector<Graphic> graphics_;
    std::map<std::string, win::UniqueBitmap, std::less<>> pictures_;
    int dpi_ = 96;
    bool destroyed_ = false;
    bool menuOpen_ = false;  // between WM_ENTERMENULOOP and WM_EXITMENULOOP
    std::string hoveredLink_;
    const ui::ControlDef* pointerOver_ = nullptr;
    bool trackingLeave_ = false;
    const Graphic* pressed_ = nullptr;  // where the left button went down
    HWND lastFocus_ = nullptr;          // the control to give the focus back to on activation
    win::UniqueFont linkFont_, listUnderlineFont_;
    RunState runState_;  // what the run sets and the other commands read
    ConversionChoices choices_;
    int maxFilesAtOnce_ = 1;
    int systemMenuBase_ = -1;  // where the choices begin in the system menu
    std::unique_ptr<ui::JobRows> rows_;
    std::unique_ptr<JobList> jobs_;
    std::unique_ptr<WinRunPlatform> runPlatform_;
    std::unique_ptr<ConversionRun> run_;
    std::unique_ptr<WinProbePlatform> probePlatform_;
    std::unique_ptr<DurationProbe> probe_;
    std::unique_ptr<AddHost> addHost_;
    // Paths that arrive before the add commands exist or while they cannot add them.
    HandOverQueue kept_;
    std::unique_ptr<AddCommands> adder_;
    AutoConvert autoConvert_;
};

// The window as the add commands see it.
class TfrmMain::AddHost final : public IAddHost {
public:
    explicit AddHost(TfrmMain& form) : form_(form) {}
    [[nodiscard]] bool Busy() const override { return form_.runState_.Busy; }
    std::optional<std::string> AskForFile() override;
    std::string AskForFolder(const std::string& initial) override;
    void Tell(const std::string& text) override;
    void ShowFile(const std::string& path) override { form_.SetControlText("Edit1", path); }
    void ShowFolder(const std::string& folder) override { form_.SetControlText("Edit2", folder); }
    [[nodiscard]] std::optional<CheckedPath> Check(const std::string& raw) const override;
    void ScheduleHandedOver() override;
    void RowAdded(std::uint64_t request, std::int64_t jobId) override;

private:
    TfrmMain& form_;
};

}  // namespace kv
