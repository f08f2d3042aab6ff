#include "ui/main_form_win.h"

#include <windowsx.h>

#include <shellapi.h>

#include "app/main_instance_win.h"
#include "components/FindFile.h"
#include "components/advantmr.h"
#include "ui/dpi.h"
#include "ui/dpi_win.h"
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

    // No frame: the window is its client area, centred on the screen, at the
    // system's DPI until the window can tell its own (its monitor's).
    dpi_ = ui::SystemDpi();
    const int w = ui::Scale(ui::kClientWidth, dpi_);
    const int h = ui::Scale(ui::kClientHeight, dpi_);
    const int x = (::GetSystemMetrics(SM_CXSCREEN) - w) / 2;
    const int y = (::GetSystemMetrics(SM_CYSCREEN) - h) / 2;
    Create(kFormClass, 0, WS_POPUP | WS_CLIPCHILDREN | WS_MINIMIZEBOX | WS_SYSMENU, win::Widen(app_.Title()), x, y, w,
           h, app_.Handle(), nullptr, CS_DBLCLKS, ::GetSysColorBrush(COLOR_BTNFACE));
    app_.SetMainForm(Handle());
    if (const int own = ui::WindowDpi(Handle()); own != dpi_) {
        dpi_ = own;
        const int ownW = ui::Scale(ui::kClientWidth, dpi_), ownH = ui::Scale(ui::kClientHeight, dpi_);
        ::SetWindowPos(Handle(), nullptr, x + (w - ownW) / 2, y + (h - ownH) / 2, ownW, ownH,
                       SWP_NOZORDER | SWP_NOACTIVATE);
    }
    MakeFonts();
    BuildControls();
    ApplyTabOrder();
    rows_ = std::make_unique<ui::JobRows>(Control("ListView1"), Control("ListBox1"), Control("ListBox2"));
    jobs_ = std::make_unique<JobList>(rows_.get());
    runPlatform_ = std::make_unique<WinRunPlatform>(
        Handle(), kJobExitedMessage, WorkDir, FfmpegPath, [this] { SignalRunFinished(); }, app_.Handle());
    ReadChoices();
    runPlatform_->FollowChoices(choices_);
    FillSystemMenu();
    run_ = std::make_unique<ConversionRun>(runState_, *jobs_, *runPlatform_, this);
    run_->OnTick = [this](TAdvancedTimer* sender) { MyTimerEventHandlerConversion(sender); };

    // Components without a face, in layout order: the single-instance check first.
    new TMainInstance(this, app_.Handle(), app_.Title(), options_.parameters, kFormClass, options_.convert);
    FindFile1 = new TFindFile(this);
    FindFile1->SetName("FindFile1");
    FindFile1->SetFilter("*.mp4");
    probePlatform_ = std::make_unique<WinProbePlatform>(Control("Memo3"));
    probe_ = std::make_unique<DurationProbe>(*probePlatform_, TempDir, MediaInfoPath);
    addHost_ = std::make_unique<AddHost>(*this);
    adder_ = std::make_unique<AddCommands>(*addHost_, *probe_, *jobs_, *FindFile1, kept_);
    // Hand-overs taken while the window was still being built.
    if (!kept_.Empty()) addHost_->ScheduleHandedOver();
    ::DragAcceptFiles(Handle(), TRUE);

    try {
        FormCreate();
    } catch (...) {
        win::ReportCurrentException();
    }
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
    if (!toolProblem_.empty()) ::PostMessageW(Handle(), kToolProblemMessage, 0, 0);
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
    ApplyShape();
    for (const char* name : {"TranPanel1", "TranPanel2", "EzRgnBtn1", "EzRgnBtn2", "EzRgnBtn3"})
        if (HWND h = Control(name)) ::InvalidateRect(h, nullptr, TRUE);
}

void TfrmMain::Image1MouseDown(int button, int, int) {
    if (button != VK_LBUTTON) return;
    ::ReleaseCapture();
    ::SendMessageW(Handle(), WM_SYSCOMMAND, 0xF012, 0);  // move, as if the caption were dragged
}

void TfrmMain::EzRgnBtn1Click() { app_.Minimize(); }

void TfrmMain::PointerOverGraphic(const Graphic* g) {
    const ui::ControlDef* now = g ? g->def : nullptr;
    if (now == pointerOver_) return;
    const ui::ControlDef* before = std::exchange(pointerOver_, now);
    if (before) MouseLeave(*before);
    if (now) MouseEnter(*now);
}

void TfrmMain::InvalidateGraphic(std::string_view name) {
    for (const auto& g : graphics_)
        if (g.def->name == name) ::InvalidateRect(Handle(), &g.rect, FALSE);
}

const TfrmMain::Graphic* TfrmMain::GraphicAt(POINT pt) const {
    for (auto it = graphics_.rbegin(); it != graphics_.rend(); ++it)
        if (::PtInRect(&it->rect, pt)) return &*it;
    return nullptr;
}

LRESULT TfrmMain::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_DPICHANGED:  // moved to a monitor of another DPI (the Y value; both are the same)
        ApplyDpi(HIWORD(wp), reinterpret_cast<const RECT*>(lp));
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        OnButtonDown(msg, POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)});
        return 0;
    case WM_LBUTTONUP:
        OnLeftButtonUp(POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)});
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
    case WM_MOUSEMOVE:
        OnMouseMove(POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)});
        return 0;
    case WM_MOUSELEAVE:
        trackingLeave_ = false;
        PointerOverGraphic(nullptr);
        return 0;
    case WM_SETCURSOR:
        if (reinterpret_cast<HWND>(wp) == Handle() && LOWORD(lp) == HTCLIENT && OnSetCursor()) return TRUE;
        break;
    case WM_COMMAND:
        OnCommand(reinterpret_cast<HWND>(lp), LOWORD(wp), HIWORD(wp));
        return 0;
    case WM_NOTIFY:
        if (const auto answer = OnNotify(*reinterpret_cast<NMHDR*>(lp))) return *answer;
        break;
    case WM_DROPFILES:
        OnDropFiles(reinterpret_cast<HDROP>(wp));
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
        const auto links = LinkLabels();
        if (wp < links.size()) Click(*links[wp]->def);
        return 0;
    }
    case kAddHandedOverMessage:
        AddHandedOver();
        return 0;
    case kToolProblemMessage:
        Dialogs().MessageBox(Handle(), toolProblem_, app_.Title(), MB_OK | MB_ICONWARNING);
        return 0;
    case kJobExitedMessage:
        OnJobExited(static_cast<std::int64_t>(lp));
        return 0;
    default:
        return Default(msg, wp, lp);
    }
}

void TfrmMain::OnPaint() {
    win::PaintDc dc(Handle());
    if (dc) PaintGraphics(dc.Get());
}

void TfrmMain::OnButtonDown(UINT msg, POINT pt) {
    const bool left = msg == WM_LBUTTONDOWN || msg == WM_LBUTTONDBLCLK;
    const int button = left ? VK_LBUTTON : msg == WM_RBUTTONDOWN ? VK_RBUTTON : VK_MBUTTON;
    const Graphic* g = GraphicAt(pt);
    if (left) pressed_ = g;
    if (g) MouseDown(*g->def, button, pt.x - g->rect.left, pt.y - g->rect.top);
}

// A click is a press and a release on the same control: a release that ends a
// press elsewhere (or a window drag) opens nothing.
void TfrmMain::OnLeftButtonUp(POINT pt) {
    const Graphic* g = GraphicAt(pt);
    const Graphic* pressed = std::exchange(pressed_, nullptr);
    if (g && g == pressed) Click(*g->def);
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

void TfrmMain::OnMouseMove(POINT pt) {
    if (!trackingLeave_) {
        TRACKMOUSEEVENT tme{sizeof tme, TME_LEAVE, Handle(), 0};
        trackingLeave_ = ::TrackMouseEvent(&tme) != FALSE;
    }
    PointerOverGraphic(GraphicAt(pt));
}

// The hand over a painted link.
bool TfrmMain::OnSetCursor() {
    POINT pt;
    ::GetCursorPos(&pt);
    ::ScreenToClient(Handle(), &pt);
    const Graphic* g = GraphicAt(pt);
    if (!g || !(g->def->look & ui::lkHandPointer)) return false;
    ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
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

void TfrmMain::OnDropFiles(HDROP drop) {
    std::vector<std::string> paths;
    const UINT n = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < n; ++i) {
        std::wstring buf(::DragQueryFileW(drop, i, nullptr, 0) + 1, L'\0');
        buf.resize(::DragQueryFileW(drop, i, buf.data(), static_cast<UINT>(buf.size())));
        paths.push_back(win::Narrow(buf));
    }
    ::DragFinish(drop);
    AddDroppedPaths(paths);
}

// Once, however the window goes: the running job's half-written MP3 goes with it.
void TfrmMain::OnDestroy() {
    if (run_) run_->Abandon();
    if (destroyed_) return;
    destroyed_ = true;
    GuardedStep([this] { FormDestroy(); });
}

const ui::ControlDef* TfrmMain::DefOf(HWND control) const {
    const auto it = defsByHwnd_.find(control);
    return it == defsByHwnd_.end() ? nullptr : it->second;
}

}  // namespace kv
