#include "ui/main_form_win.h"

#include <windowsx.h>

#include <shellapi.h>

#include "app/dialogs_win.h"
#include "app/main_instance_win.h"
#include "app/settings_win.h"
#include "components/FindFile.h"
#include "components/advantmr.h"
#include "ui/dpi.h"
#include "ui/dpi_win.h"
#include "ui/window_ports_win.h"
#include "win/error.h"
#include "win/gdi.h"
#include "win/text.h"

namespace kv {

namespace {

constexpr wchar_t kFormClass[] = L"TfrmMain";

}  // namespace

TfrmMain::TfrmMain(TApplication& app, FormOptions options)
    : TComponent(nullptr), app_(app), options_(std::move(options)) {
    SetName("frmMain");
    if (!options_.resourceModule) options_.resourceModule = ::GetModuleHandleW(nullptr);
    ConversionChoices stored;
    ReadLanguageChoice(stored, settings_.Read(kLanguageValue));
    ShowLanguage(stored.language);

    // No frame: the window is its client area, centred on the screen, at the
    // system's DPI until the window can tell its own (its monitor's).
    int dpi = ui::SystemDpi();
    const int w = ui::Scale(ui::kClientWidth, dpi);
    const int h = ui::Scale(ui::kClientHeight, dpi);
    const int x = (::GetSystemMetrics(SM_CXSCREEN) - w) / 2;
    const int y = (::GetSystemMetrics(SM_CYSCREEN) - h) / 2;
    Create(kFormClass, 0, WS_POPUP | WS_CLIPCHILDREN | WS_MINIMIZEBOX | WS_SYSMENU, win::Widen(app_.Title()), x, y, w,
           h, app_.Handle(), nullptr, CS_DBLCLKS, ::GetSysColorBrush(COLOR_BTNFACE));
    app_.SetMainForm(Handle());
    if (const int own = ui::WindowDpi(Handle()); own != dpi) {
        dpi = own;
        const int ownW = ui::Scale(ui::kClientWidth, dpi), ownH = ui::Scale(ui::kClientHeight, dpi);
        ::SetWindowPos(Handle(), nullptr, x + (w - ownW) / 2, y + (h - ownH) / 2, ownW, ownH,
                       SWP_NOZORDER | SWP_NOACTIVATE);
    }
    MakeSkin(dpi);
    BuildControls();
    StyleControls();
    ApplyTabOrder();
    WireParts();

    try {
        FormCreate();
    } catch (...) {
        win::ReportCurrentException();
    }
}

// The painted parts pass the pointer's clicks and hovers on to the layout's handlers.
void TfrmMain::MakeSkin(int dpi) {
    skin_ = std::make_unique<ui::FormSkin>(
        Handle(), ui::FormSkin::Events{
                      [this](const ui::ControlDef& d) { Click(d); }, [this](const ui::ControlDef& d) { MouseEnter(d); },
                      [this](const ui::ControlDef& d) { MouseLeave(d); },
                      [this](const ui::ControlDef& d, int b, int x, int y) { MouseDown(d, b, x, y); }});
    skin_->SetLook(AskedLook());
    skin_->Build(dpi);
}

// The controller and what it stands on, then the components without a face:
// the finder, which the controller lists folders with, and the single-instance
// check, which may take hand-overs while it waits for another copy.
void TfrmMain::WireParts() {
    rows_ = std::make_unique<ui::JobRows>(Control("ListView1"), Control("ListBox1"), Control("ListBox2"));
    ports_ = std::make_unique<WindowPorts>(*this);
    runPlatform_ = std::make_unique<WinRunPlatform>(Handle(), kJobExitedMessage, app_.Handle());
    probePlatform_ = std::make_unique<WinProbePlatform>(Control("Memo3"));
    FindFile1 = new TFindFile(this);
    FindFile1->SetName("FindFile1");
    FindFile1->SetFilter("*.*");  // the controller picks the names it takes
    controller_ = std::make_unique<Controller>(ControllerPorts{*ports_, rows_.get(), *ports_, settings_, disk_,
                                                               *runPlatform_, *probePlatform_, *FindFile1, this});
    const int processors = options_.logicalProcessors > 0 ? options_.logicalProcessors : LogicalProcessorCount();
    controller_->LoadChoices(processors);
    probeSlots_ = std::make_unique<WinProbeSlots>(ProbeSlotCount(static_cast<unsigned>(processors)),
                                                  controller_->Dirs().TempDir, controller_->MediaInfoPath());
    addingWait_ = std::make_unique<ui::AddingWait>(Handle(), Control("Edit2"));
    doneNotice_ = std::make_unique<ui::DoneNotice>(Handle(), kDoneNoticeMessage);
    controller_->Adder().UsePool(probeSlots_.get(), addingWait_.get());
    new TMainInstance(this, app_.Handle(), app_.Title(), options_.parameters, kFormClass, options_.convert);
    ::DragAcceptFiles(Handle(), TRUE);
}

TfrmMain::~TfrmMain() {
    OnDestroy();
    if (app_.MainForm() == Handle()) app_.SetMainForm(nullptr);
}

void TfrmMain::Show() {
    ::ShowWindow(app_.Handle(), SW_SHOWNOACTIVATE);
    ::ShowWindow(Handle(), SW_SHOW);
    ::SetForegroundWindow(Handle());
    FormShow();
    // The keyboard starts at the first control Tab reaches.
    if (HWND first = Control(ui::TabOrder().front()); first && !::IsChild(Handle(), ::GetFocus())) ::SetFocus(first);
    ::UpdateWindow(Handle());
    // Files given on the command line ("Open with", "Send to", a drop on the program's icon).
    HandOverPaths(FullPaths(options_.parameters), options_.convert);
    if (!tools_.Problem().empty()) ::PostMessageW(Handle(), kToolProblemMessage, 0, 0);
}

HWND TfrmMain::Control(std::string_view name) const {
    auto it = controls_.find(name);
    return it == controls_.end() ? nullptr : it->second;
}

std::string TfrmMain::ControlText(std::string_view name) const {
    HWND h = Control(name);
    if (!h) return {};
    std::wstring buf(static_cast<size_t>(::GetWindowTextLengthW(h)) + 1, L'\0');
    buf.resize(static_cast<size_t>(::GetWindowTextW(h, buf.data(), static_cast<int>(buf.size()))));
    return win::Narrow(buf);
}

void TfrmMain::SetControlText(std::string_view name, const std::string& text) {
    if (HWND h = Control(name)) ::SetWindowTextW(h, win::Widen(text).c_str());
}

void TfrmMain::FormShow() {
    skin_->ApplyShape();
    for (const char* name : {"TranPanel1", "TranPanel2", "EzRgnBtn1", "EzRgnBtn2", "EzRgnBtn3"})
        if (HWND h = Control(name)) ::InvalidateRect(h, nullptr, TRUE);
}

void TfrmMain::Image1MouseDown(int button, int, int) {
    if (button != VK_LBUTTON) return;
    ::ReleaseCapture();
    ::SendMessageW(Handle(), WM_SYSCOMMAND, 0xF012, 0);  // move, as if the caption were dragged
}

void TfrmMain::EzRgnBtn1Click() { app_.Minimize(); }

// The pointer over the painted parts.
void TfrmMain::OnPointer(UINT msg, LPARAM lp) {
    const POINT at{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
    if (msg == WM_LBUTTONUP)
        skin_->LeftButtonUp(at);
    else if (msg == WM_MOUSEMOVE)
        skin_->MouseMove(at);
    else if (msg == WM_MOUSELEAVE)
        skin_->MouseLeft();
    else
        skin_->ButtonDown(msg, at);
}

LRESULT TfrmMain::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_DPICHANGED:  // moved to a monitor of another DPI (the Y value; both are the same)
        ApplyDpi(HIWORD(wp), reinterpret_cast<const RECT*>(lp));
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_SYSCOLORCHANGE:
    case WM_SETTINGCHANGE:
    case WM_THEMECHANGED:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
        if (const auto r = OnLookMessage(msg, wp, lp)) return *r;
        break;
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_MOUSEMOVE:
    case WM_MOUSELEAVE:
        OnPointer(msg, lp);
        return 0;
    case WM_ACTIVATE:
        if (OnActivate(LOWORD(wp) != WA_INACTIVE)) return 0;
        break;
    case WM_SYSCOMMAND:
        if (OnSysCommand(wp)) return 0;
        break;
    case WM_CONTEXTMENU:
        OnContextMenu(lp);
        return 0;
    case WM_SETCURSOR:  // the hand over a painted link
        if (reinterpret_cast<HWND>(wp) == Handle() && LOWORD(lp) == HTCLIENT && skin_->SetCursor()) return TRUE;
        break;
    case WM_COMMAND:
        OnCommand(reinterpret_cast<HWND>(lp), LOWORD(wp), HIWORD(wp));
        return 0;
    case WM_NOTIFY:
        if (const auto answer = OnNotify(*reinterpret_cast<NMHDR*>(lp))) return *answer;
        break;
    case WM_DROPFILES:
        controller_->AddDropped(DroppedPaths(reinterpret_cast<HDROP>(wp)));
        return 0;
    case WM_GETOBJECT:
        if (const LRESULT r = AnswerReader(wp, lp)) return r;
        break;
    case WM_ENTERMENULOOP:
    case WM_EXITMENULOOP:
        menuOpen_ = msg == WM_ENTERMENULOOP;
        break;
    case WM_COPYDATA:
        return TakeCopyData(reinterpret_cast<const COPYDATASTRUCT*>(lp)) ? TRUE : FALSE;
    case kPassParametersMessage:
        // Another copy's parameters as one text in an atom: at most 255
        // characters, blanks in names lost. The same paths come whole and
        // checked in the WM_COPYDATA that follows, so this one adds nothing.
        return Default(msg, wp, lp);
    case WM_TIMER:
        if (OnTimer(wp)) return 0;
        break;
    case WM_QUERYENDSESSION:
        return TRUE;  // nothing to ask: the run ends cleanly on WM_ENDSESSION
    case WM_ENDSESSION:
        OnEndSession(wp != FALSE);
        return 0;
    case WM_CLOSE:
        ::DestroyWindow(Handle());
        return 0;
    case WM_DESTROY:
        OnDestroy();
        return 0;
    default:
        if (msg >= WM_APP) return OnAppMessage(msg, wp, lp);
        break;
    }
    return Default(msg, wp, lp);
}

// The window's own messages, posted to itself.
LRESULT TfrmMain::OnAppMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case kReaderLinkMessage: {
        const auto links = skin_->LinkLabels();
        if (wp < links.size()) Click(*links[wp]->def);
        return 0;
    }
    case kAddHandedOverMessage:
        ::KillTimer(Handle(), kHandOverRetryTimer);
        controller_->AddHandedOver();
        return 0;
    case kToolProblemMessage:
        Dialogs().MessageBox(Handle(), tools_.Problem(), app_.Title(), MB_OK | MB_ICONWARNING);
        return 0;
    case kJobExitedMessage:
        controller_->JobExited(static_cast<std::int64_t>(lp));
        return 0;
    case kDoneNoticeMessage:
        if (doneNotice_) doneNotice_->OnCallback(lp);
        return 0;
    default:
        return Default(msg, wp, lp);
    }
}

void TfrmMain::OnPaint() {
    win::PaintDc dc(Handle());
    if (dc) skin_->Paint(dc.Get());
}

// The focus leaves and comes back with the window, to the same control. True
// when the focus was given back.
bool TfrmMain::OnActivate(bool active) {
    if (!active) {
        HWND focus = ::GetFocus();
        if (focus && ::IsChild(Handle(), focus)) lastFocus_ = focus;
        return false;
    }
    if (!lastFocus_ || !::IsWindow(lastFocus_) || !::IsWindowVisible(lastFocus_)) return false;
    ::SetFocus(lastFocus_);
    return true;
}

// Minimizing by the system menu (Alt+Space) or Win+Down goes where the minimize
// button goes: the application's taskbar button.
bool TfrmMain::OnSysCommand(WPARAM command) {
    if (OnChoiceCommand(static_cast<UINT>(command & 0xFFF0))) return true;
    if ((command & 0xFFF0) != SC_MINIMIZE) return false;
    app_.Minimize();
    return true;
}

void TfrmMain::OnCommand(HWND from, WORD id, WORD code) {
    // From the dialog manager: Enter (IDOK) presses the focused button; Esc (IDCANCEL) does nothing.
    if (!from && id == IDOK) PressFocusedButton();
    // A choice's item of a menu (a submenu of the system menu may send it so).
    if (!from && code == 0 && OnChoiceCommand(id)) return;
    const ui::ControlDef* def = DefOf(from);
    if (def && (code == BN_CLICKED || code == STN_CLICKED)) Click(*def);
}

// Nothing for a notice from no control of the layout.
std::optional<LRESULT> TfrmMain::OnNotify(NMHDR& hdr) {
    const ui::ControlDef* def = DefOf(hdr.hwndFrom);
    if (!def) return std::nullopt;
    if (hdr.code == NM_CLICK) Click(*def);
    if (hdr.code == LVN_KEYDOWN) {
        WORD key = reinterpret_cast<NMLVKEYDOWN&>(hdr).wVKey;
        const UINT shift = (::GetKeyState(VK_SHIFT) < 0 ? 1u : 0u) | (::GetKeyState(VK_CONTROL) < 0 ? 2u : 0u) |
                           (::GetKeyState(VK_MENU) < 0 ? 4u : 0u);
        KeyDown(*def, key, shift);
    }
    if (hdr.code == NM_CUSTOMDRAW) return CustomDraw(*def, reinterpret_cast<NMLVCUSTOMDRAW&>(hdr)).value_or(0);
    return 0;
}

// Once, however the window goes: the running job's half-written MP3 goes with it.
void TfrmMain::OnDestroy() {
    if (controller_) controller_->Close();
    if (destroyed_) return;
    destroyed_ = true;
    GuardedStep([this] { FormDestroy(); });
}

const ui::ControlDef* TfrmMain::DefOf(HWND control) const {
    const auto it = defsByHwnd_.find(control);
    return it == defsByHwnd_.end() ? nullptr : it->second;
}

}  // namespace kv
