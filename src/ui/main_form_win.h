#pragma once
// The main window: its controls built from the layout table, the pictures and
// messages, and the handlers of every command, each one line into the
// controller (convert/controller.h), which decides. Controls only show what
// the controller says, through the job rows and the window's ports below.
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
#include "app/settings_store_win.h"
#include "app/settings_win.h"
#include "app/tool_set_win.h"
#include "convert/controller.h"
#include "convert/conversion_run_win.h"
#include "convert/duration_probe_win.h"
#include "convert/probe_slots_win.h"
#include "ui/adding_wait_win.h"
#include "ui/done_notice_win.h"
#include "ui/form_skin_win.h"
#include "ui/job_rows_win.h"
#include "ui/layout_controls_win.h"
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
class WindowPorts;

struct FormOptions {
    HMODULE resourceModule = nullptr;     // where the tool files and art are; null: the program itself
    std::vector<std::string> parameters;  // the command-line paths, for a second copy to pass on
    bool convert = false;                 // they came with the "/convert" switch
    std::function<void()> terminateSelf;  // the close button's last step; null: end the process
    int logicalProcessors = 0;            // 0: the PC's own count
    // Shows the shortcut menu at a point of the screen and gives the command
    // chosen (0 for none); null: the system's TrackPopupMenuEx.
    std::function<UINT(HMENU menu, POINT at)> trackMenu;
    // The look Windows asks for (high contrast, dark, the skin); null: asked of Windows.
    std::function<ui::Appearance()> look;
};

class TfrmMain : public win::Window, public TComponent {
public:
    TfrmMain(TApplication& app, FormOptions options = {});
    ~TfrmMain() override;

    void Show();

    void FormCreate();
    void FormShow();
    void FormDestroy();
    void Image1MouseDown(int button, int x, int y);
    void EzRgnBtn1Click();
    void EzRgnBtn2Click();
    void ListView1KeyDown(WORD& key, UINT shift);
    void ListView1Click();
    void Button1Click();
    void Button2Click();
    void Edit1KeyPress(wchar_t& key);
    void Edit2KeyPress(wchar_t& key);
    void Edit3KeyPress(wchar_t& key);
    void Button3Click();
    void EzRgnBtn3Click();
    static constexpr UINT kJobExitedMessage = WM_APP + 1;

    // Links and list colouring.
    void OpenLink(std::string_view control);
    void LinkMouseEnter(std::string_view label);
    void LinkMouseLeave(std::string_view label);
    [[nodiscard]] bool LinkUnderlined(std::string_view label) const { return skin_->Underlined(label); }
    LRESULT d4_ListViewCustomDrawSubItem(NMLVCUSTOMDRAW& draw);

    // Paths from the command line or a second copy (see Controller::HandOver).
    bool HandOverPaths(const std::vector<std::string>& paths, bool convert = false);
    static constexpr UINT kAddHandedOverMessage = WM_APP + 2;

    Controller& Logic() noexcept { return *controller_; }
    JobList& Jobs() noexcept { return controller_->Jobs(); }

    // Runs the click handler the layout binds under this name; false when it binds none.
    bool RunClick(std::string_view handler);

    // Controls by name.
    [[nodiscard]] HWND Control(std::string_view name) const;
    [[nodiscard]] std::string ControlText(std::string_view name) const;
    void SetControlText(std::string_view name, const std::string& text);

    // The DPI the window is laid out for, and the scale of the art it shows.
    [[nodiscard]] int Dpi() const noexcept { return skin_->Dpi(); }
    [[nodiscard]] int ArtScale() const noexcept { return skin_->ArtScale(); }

    TApplication& Application() noexcept { return app_; }
    IDialogs& Dialogs() noexcept { return app_.Dialogs(); }

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    friend struct kvtest::FormAccess;
    friend class WindowPorts;

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
    bool OnActivate(bool active);
    bool OnSysCommand(WPARAM command);
    void OnCommand(HWND from, WORD id, WORD code);
    std::optional<LRESULT> OnNotify(NMHDR& hdr);
    void OnDestroy();
    void OnContextMenu(LPARAM lp);

    // The user's choices (main_form_choices_win.cpp).
    void FillSystemMenu();
    // The language choice: on a change, every caption, hint, name and row in
    // the new language (main_form_language_win.cpp).
    void ShowLanguage(const std::string& choice);
    void Relabel();
    bool OnChoiceCommand(UINT id);  // false: no command of the choices

    ToolSet tools_;
    TFindFile* FindFile1 = nullptr;

    void MakeSkin(int dpi);
    void WireParts();
    void BuildControls();
    void ApplyTabOrder();
    void PressFocusedButton();
    void CreateWindowed(const ui::ControlDef& def);
    // A new DPI: the skin's fonts and art, the controls' places and fonts.
    void ApplyDpi(int dpi, const RECT* suggested);
    void SizeColumns(HWND list) const;
    // The look (main_form_look_win.cpp): taken at creation and at each change of
    // the system's colours or settings.
    [[nodiscard]] ui::Appearance AskedLook() const;
    void ApplyLook(bool coloursChanged);
    void StyleControls();
    [[nodiscard]] std::optional<LRESULT> OnControlColour(HDC dc) const;
    std::optional<LRESULT> OnLookMessage(UINT msg, WPARAM wp, LPARAM lp);
    void OnPointer(UINT msg, LPARAM lp);
    void EndRunAndTools();
    void OnEndSession(bool ending);
    void SweepLeftovers();
    void InstallTools();
    // Shown once the window is up: why a tool could not be set up.
    static constexpr UINT kToolProblemMessage = WM_APP + 4;
    void SignalRunFinished(const RunCounts& counts, bool notify);
    // The notification's icon events.
    static constexpr UINT kDoneNoticeMessage = WM_APP + 5;
    static constexpr UINT_PTR kHandOverRetryTimer = 1;
    // While files of the "/convert" switch wait for their run.
    static constexpr UINT_PTR kAutoConvertTimer = 2;
    bool OnTimer(UINT_PTR id);
    // A screen reader's "jump" on a link label; WPARAM: the label's index among the parts.
    static constexpr UINT kReaderLinkMessage = WM_APP + 3;
    LRESULT AnswerReader(WPARAM wp, LPARAM lp);
    bool TakeCopyData(const COPYDATASTRUCT* data);

    TApplication& app_;
    FormOptions options_;
    std::unique_ptr<ui::FormSkin> skin_;
    std::map<std::string, HWND, std::less<>> controls_;
    std::map<HWND, const ui::ControlDef*> defsByHwnd_;
    ui::KeyPressFilter keyPress_;  // what the windowed controls' characters go through
    bool destroyed_ = false;
    bool menuOpen_ = false;       // between WM_ENTERMENULOOP and WM_EXITMENULOOP
    HWND lastFocus_ = nullptr;    // the control to give the focus back to on activation
    int systemMenuBase_ = -1;     // where the choices begin in the system menu
    std::string languageChoice_;  // as stored: "auto" or a table's tag
    win::UniqueBrush darkBox_;    // the path boxes' ground in the dark look
    std::unique_ptr<ui::JobRows> rows_;
    std::unique_ptr<WindowPorts> ports_;
    std::unique_ptr<WinRunPlatform> runPlatform_;
    std::unique_ptr<WinProbePlatform> probePlatform_;
    RegistrySettings settings_{kSettingsKey};
    LocalFolders disk_;
    std::unique_ptr<Controller> controller_;
    std::unique_ptr<WinProbeSlots> probeSlots_;  // folders' probes, several at once
    std::unique_ptr<ui::AddingWait> addingWait_;
    std::unique_ptr<ui::DoneNotice> doneNotice_;
};

}  // namespace kv
