#include "ui/main_form.h"

#include <windowsx.h>

#include <oleacc.h>
#include <shellapi.h>

#include <cstdlib>

#include "app/main_instance.h"
#include "components/FindFile.h"
#include "components/advantmr.h"
#include "ui/accessible.h"
#include "ui/art_names.h"
#include "ui/region_button_win.h"
#include "ui/picture.h"
#include "ui/resample.h"
#include "ui/click_panel.h"
#include "ui/art_ids.h"
#include "ui/dpi.h"
#include "ui/dpi_win.h"
#include "win/error.h"
#include "win/gdi.h"
#include "win/text.h"

namespace kv {

namespace {

constexpr wchar_t kFormClass[] = L"TfrmMain";
constexpr COLORREF kFaceColour = RGB(220, 220, 220);

win::UniqueFont MakeFont(int dpi, bool bold, bool underline = false) {
    LOGFONTW lf{};
    lf.lfHeight = -ui::Scale(11, dpi);  // 8 points
    lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    lf.lfUnderline = underline ? TRUE : FALSE;
    lf.lfCharSet = DEFAULT_CHARSET;
    lstrcpynW(lf.lfFaceName, L"Tahoma", LF_FACESIZE);
    return win::UniqueFont(::CreateFontIndirectW(&lf));
}

}  // namespace

TfrmMain::TfrmMain(TApplication& app, FormOptions options)
    : TComponent(nullptr), app_(app), options_(std::move(options)) {
    SetName("frmMain");
    if (!options_.resourceModule) options_.resourceModule = ::GetModuleHandleW(nullptr);
    RegisterHandlers();

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
    jobs_ = std::make_unique<JobList>(Control("ListView1"), Control("ListBox1"), Control("ListBox2"));
    runPlatform_ = std::make_unique<WinRunPlatform>(
        Handle(), kJobExitedMessage, WorkDir, FfmpegPath, [this] { SignalRunFinished(); }, app_.Handle());
    run_ = std::make_unique<ConversionRun>(static_cast<RunState&>(*this), *jobs_, *runPlatform_, this);
    run_->OnTick = [this](TAdvancedTimer* sender) { MyTimerEventHandlerConversion(sender); };

    // Components without a face, in layout order: the single-instance check first.
    new TMainInstance(this, app_.Handle(), app_.Title(), options_.parameters, kFormClass);
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
    // The running job's half-written MP3 goes with the window.
    if (run_) run_->Abandon();
    if (!destroyed_) {
        destroyed_ = true;
        GuardedStep([this] { FormDestroy(); });
    }
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
    HandOverPaths(FullPaths(options_.parameters));
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

void TfrmMain::BuildControls() {
    HINSTANCE self = ::GetModuleHandleW(nullptr);
    if (HICON icon = ::LoadIconW(self, MAKEINTRESOURCEW(IDI_MAINICON))) {
        ::SendMessageW(Handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
        ::SendMessageW(app_.Handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    }
    win::WindowDc dc(Handle());
    for (const auto& def : ui::MainLayout()) {
        const RECT place = Placed(def);
        switch (def.kind) {
        case ui::Kind::RegionButton: {
            auto* b = new ui::TEzRgnBtn(this);
            b->SetName(std::string(def.name));
            if (!b->Create(Handle(), place.left, place.top, place.right - place.left, place.bottom - place.top)) break;
            b->LoadPictureSet(def.picture, nullptr, ArtScale(), {place.right - place.left, place.bottom - place.top});
            if (def.look & ui::lkCrop) b->SetPaintMode(ui::pmCrop);
            b->SetHint(std::string(def.hint));
            b->SetAccessibleName(std::string(def.accessibleName));
            const std::string_view click = def.on.click;
            b->OnClick = [this, click](TComponent*) { RunClick(click); };
            controls_.emplace(std::string(def.name), b->Handle());
            break;
        }
        case ui::Kind::ClickPanel: {
            auto* panel = new ui::TTranPanel(this);
            panel->SetName(std::string(def.name));
            if (!panel->Create(Handle(), place.left, place.top, place.right - place.left, place.bottom - place.top))
                break;
            panel->SetAccessibleName(std::string(def.accessibleName));
            const std::string_view click = def.on.click;
            panel->OnClick = [this, click](TComponent*) { RunClick(click); };
            controls_.emplace(std::string(def.name), panel->Handle());
            break;
        }
        case ui::Kind::Picture:
        case ui::Kind::Label:
            AddGraphic(dc.Get(), def);
            break;
        default:
            CreateWindowed(def);
            break;
        }
    }
}

// Tab follows the order of sibling windows: the controls Tab reaches go on
// top in their order. Each is a group of its own, so the arrow keys never
// wander into the path boxes.
void TfrmMain::ApplyTabOrder() {
    HWND after = HWND_TOP;
    for (std::string_view name : ui::TabOrder()) {
        HWND h = Control(name);
        if (!h) continue;
        const LONG_PTR style = ::GetWindowLongPtrW(h, GWL_STYLE);
        ::SetWindowLongPtrW(h, GWL_STYLE, style | WS_TABSTOP | WS_GROUP);
        ::SetWindowPos(h, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        after = h;
    }
}

// Enter on a push button: the dialog manager asks the window for its default
// action, since the window has no default button; the focused button is it.
void TfrmMain::PressFocusedButton() {
    auto it = defsByHwnd_.find(::GetFocus());
    if (it != defsByHwnd_.end() && it->second->kind == ui::Kind::Button) RunClick(it->second->on.click);
}

void TfrmMain::CreateWindowed(const ui::ControlDef& def) {
    const wchar_t* cls = WC_EDITW;
    DWORD style = WS_CHILD | WS_VISIBLE;
    DWORD ex = 0;
    switch (def.kind) {
    case ui::Kind::Edit:
        style |= ES_AUTOHSCROLL;
        ex = WS_EX_CLIENTEDGE;
        break;
    case ui::Kind::Memo:
        style |= ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL;
        ex = WS_EX_CLIENTEDGE;
        break;
    case ui::Kind::Button:
        cls = WC_BUTTONW;
        style |= BS_PUSHBUTTON;
        break;
    case ui::Kind::ListBox:
        cls = WC_LISTBOXW;
        style |= LBS_NOINTEGRALHEIGHT | WS_VSCROLL;
        ex = WS_EX_CLIENTEDGE;
        break;
    case ui::Kind::ListView:
        cls = WC_LISTVIEWW;
        style |= LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS;
        ex = WS_EX_CLIENTEDGE;
        break;
    default:
        return;
    }
    // The stores lie outside the window's shape, so nobody sees them either way;
    // shown, each change of their contents would still cost a repaint and, for
    // the memo, a scroll bar update.
    if (def.look & ui::lkHiddenStore) style &= ~static_cast<DWORD>(WS_VISIBLE);
    const RECT place = Placed(def);
    HWND h = ::CreateWindowExW(ex, cls, win::Widen(def.caption).c_str(), style, place.left, place.top,
                               place.right - place.left, place.bottom - place.top, Handle(), nullptr,
                               ::GetModuleHandleW(nullptr), nullptr);
    if (!h) return;
    ::SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>((def.look & ui::lkBold) ? boldFont_.Get() : font_.Get()),
                   FALSE);
    if (def.kind == ui::Kind::ListBox) ::SendMessageW(h, LB_SETITEMHEIGHT, 0, ui::Scale(13, dpi_));
    if (def.kind == ui::Kind::ListView) {
        ListView_SetExtendedListViewStyle(h, LVS_EX_FULLROWSELECT);
        int i = 0;
        for (const auto& col : ui::ListColumns()) {
            std::wstring text = win::Widen(col.caption);
            LVCOLUMNW c{};
            c.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
            c.pszText = text.data();
            c.cx = ui::Scale(col.width, dpi_);
            c.iSubItem = i;
            ListView_InsertColumn(h, i, &c);
            ++i;
        }
    }
    controls_.emplace(std::string(def.name), h);
    defsByHwnd_.emplace(h, &def);
    ::SetWindowSubclass(h, &TfrmMain::SubclassProc, 1, reinterpret_cast<DWORD_PTR>(this));
}

void TfrmMain::RegisterHandlers() {
    MouseDownHandlers["Image1MouseDown"] = [this](int button, int x, int y) { Image1MouseDown(button, x, y); };
    ClickHandlers["EzRgnBtn1Click"] = [this] { EzRgnBtn1Click(); };
    ClickHandlers["EzRgnBtn2Click"] = [this] { EzRgnBtn2Click(); };
    ClickHandlers["EzRgnBtn3Click"] = [this] { EzRgnBtn3Click(); };
    ClickHandlers["Button1Click"] = [this] { Button1Click(); };
    ClickHandlers["Button2Click"] = [this] { Button2Click(); };
    ClickHandlers["Button3Click"] = [this] { Button3Click(); };
    ClickHandlers["ListView1Click"] = [this] { ListView1Click(); };
    KeyDownHandlers["ListView1KeyDown"] = [this](WORD& key, UINT shift) { ListView1KeyDown(key, shift); };
    KeyPressHandlers["Edit1KeyPress"] = [this](wchar_t& key) { Edit1KeyPress(key); };
    KeyPressHandlers["Edit2KeyPress"] = [this](wchar_t& key) { Edit2KeyPress(key); };
    KeyPressHandlers["Edit3KeyPress"] = [this](wchar_t& key) { Edit3KeyPress(key); };
    CustomDrawHandlers["d4_ListViewCustomDrawSubItem"] = [this](NMLVCUSTOMDRAW& d) {
        return d4_ListViewCustomDrawSubItem(d);
    };
    RegisterLinkHandlers();
}

bool TfrmMain::RunClick(std::string_view handler) {
    if (handler.empty()) return false;
    auto it = ClickHandlers.find(handler);
    if (it == ClickHandlers.end() || !it->second) return false;
    it->second();
    return true;
}

std::vector<std::string> TfrmMain::UnboundHandlers() const {
    std::vector<std::string> unbound;
    auto check = [&unbound](const auto& table, std::string_view name) {
        if (!name.empty() && !table.count(name)) unbound.emplace_back(name);
    };
    for (const auto& def : ui::MainLayout()) {
        check(ClickHandlers, def.on.click);
        check(ClickHandlers, def.on.mouseEnter);
        check(ClickHandlers, def.on.mouseLeave);
        check(MouseDownHandlers, def.on.mouseDown);
        check(KeyDownHandlers, def.on.keyDown);
        check(KeyPressHandlers, def.on.keyPress);
        check(CustomDrawHandlers, def.on.customDraw);
    }
    return unbound;
}

int TfrmMain::ArtScale() const noexcept { return ui::ArtScaleFor(dpi_); }

RECT TfrmMain::Placed(const ui::ControlDef& def) const {
    const ui::ScaledRect r = ui::ScaleRect(def.left, def.top, def.width, def.height, dpi_);
    return RECT{r.left, r.top, r.left + r.width, r.top + r.height};
}

void TfrmMain::MakeFonts() {
    font_ = MakeFont(dpi_, false);
    boldFont_ = MakeFont(dpi_, true);
    linkFont_ = MakeFont(dpi_, true, true);
    listUnderlineFont_ = MakeFont(dpi_, false, true);
}

void TfrmMain::AddGraphic(HDC dc, const ui::ControlDef& def) {
    RECT r = Placed(def);
    if (def.kind == ui::Kind::Picture && !pictures_.count(def.picture)) {
        // The art of the nearest scale, at exactly the size of its place.
        const ui::TPixmap art = ui::PixmapFromBitmap(
            ui::LoadArtBitmap(ui::ArtId(def.picture, ArtScale()), ::GetModuleHandleW(nullptr)).Get());
        if (auto bmp = ui::BitmapFromPixmap(ui::Resampled(art, r.right - r.left, r.bottom - r.top)))
            pictures_.emplace(std::string(def.picture), std::move(bmp));
    }
    if (def.kind == ui::Kind::Label) {
        // As wide as the caption, at least as laid out: where the system
        // lacks Tahoma the text runs wider than its place.
        win::Selection font(dc, (def.look & ui::lkBold) ? linkFont_.Get() : font_.Get());
        const std::wstring w = win::Widen(def.caption);
        SIZE sz{};
        ::GetTextExtentPoint32W(dc, w.c_str(), static_cast<int>(w.size()), &sz);
        if ((def.look & ui::lkAutoWidth) || sz.cx > r.right - r.left) r.right = r.left + sz.cx;
    }
    graphics_.push_back({&def, r});
}

void TfrmMain::ApplyShape() {
    const int corner = ui::Scale(ui::kRoundCorner, dpi_);
    win::UniqueRgn rgn(::CreateRoundRectRgn(0, 0, ui::Scale(ui::kClientWidth, dpi_), ui::Scale(ui::kClientHeight, dpi_),
                                            corner, corner));
    if (::SetWindowRgn(Handle(), rgn.Get(), TRUE)) (void)rgn.Release();  // the system owns the region now
}

void TfrmMain::ApplyDpi(int dpi, const RECT* suggested) {
    if (dpi <= 0 || !Handle()) return;
    dpi_ = dpi;
    // The controls still hold the old fonts: those go once the new ones are set.
    win::UniqueFont oldFont = std::move(font_), oldBold = std::move(boldFont_);
    win::UniqueFont oldLink = std::move(linkFont_), oldUnderline = std::move(listUnderlineFont_);
    MakeFonts();
    // The suggested place, at the size the layout takes at this DPI: the
    // suggested size is the old one scaled, which may be a pixel off.
    RECT now{};
    ::GetWindowRect(Handle(), &now);
    const RECT at = suggested ? *suggested : now;
    ::SetWindowPos(Handle(), nullptr, at.left, at.top, ui::Scale(ui::kClientWidth, dpi_),
                   ui::Scale(ui::kClientHeight, dpi_), SWP_NOZORDER | SWP_NOACTIVATE);
    for (TComponent* c : Components()) {
        auto* b = dynamic_cast<ui::TEzRgnBtn*>(c);
        const ui::ControlDef* def = b ? ui::FindControl(b->Name()) : nullptr;
        if (!def) continue;
        const RECT place = Placed(*def);
        b->LoadPictureSet(def->picture, nullptr, ArtScale(), {place.right - place.left, place.bottom - place.top});
    }
    for (const auto& [name, h] : controls_) {
        const ui::ControlDef* def = ui::FindControl(name);
        if (!def) continue;
        const RECT r = Placed(*def);
        ::SetWindowPos(h, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
        if (!defsByHwnd_.count(h)) continue;  // no text of its own
        HFONT font = (def->look & ui::lkBold) ? boldFont_.Get() : font_.Get();
        ::SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
        if (def->kind == ui::Kind::ListBox) ::SendMessageW(h, LB_SETITEMHEIGHT, 0, ui::Scale(13, dpi_));
        if (def->kind == ui::Kind::ListView) {
            int i = 0;
            for (const auto& col : ui::ListColumns()) ListView_SetColumnWidth(h, i++, ui::Scale(col.width, dpi_));
        }
    }
    pressed_ = nullptr;
    graphics_.clear();
    pictures_.clear();
    {
        win::WindowDc dc(Handle());
        for (const auto& def : ui::MainLayout())
            if (def.kind == ui::Kind::Picture || def.kind == ui::Kind::Label) AddGraphic(dc.Get(), def);
    }
    ApplyShape();
    ::RedrawWindow(Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
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

void TfrmMain::PaintGraphics(HDC dc) {
    ::SetBkMode(dc, TRANSPARENT);
    for (const auto& g : graphics_) {
        const auto& def = *g.def;
        if (def.kind == ui::Kind::Picture) {
            auto it = pictures_.find(def.picture);
            if (it != pictures_.end() && it->second) {
                win::MemoryDc mem(dc, it->second.Get());
                ::BitBlt(dc, g.rect.left, g.rect.top, g.rect.right - g.rect.left, g.rect.bottom - g.rect.top, mem.Get(),
                         0, 0, SRCCOPY);
            } else if (def.name == "Image1") {
                win::UniqueBrush face(::CreateSolidBrush(kFaceColour));
                ::FillRect(dc, &g.rect, face.Get());
            }
        } else {
            HFONT font = (def.look & ui::lkBold) ? boldFont_.Get() : font_.Get();
            if (LinkUnderlined(def.name)) font = linkFont_.Get();
            win::Selection selected(dc, font);
            ::SetTextColor(dc, ::GetSysColor(COLOR_WINDOWTEXT));
            const std::wstring w = win::Widen(def.caption);
            RECT r = g.rect;
            ::DrawTextW(dc, w.c_str(), static_cast<int>(w.size()), &r,
                        DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP);
        }
    }
}

void TfrmMain::PointerOverGraphic(const Graphic* g) {
    const std::string now = g ? std::string(g->def->name) : std::string();
    if (now == pointerOver_) return;
    const std::string before = std::exchange(pointerOver_, now);
    auto fire = [this](const std::string& name, bool enter) {
        const ui::ControlDef* def = ui::FindControl(name);
        if (!def) return;
        const std::string_view handler = enter ? def->on.mouseEnter : def->on.mouseLeave;
        if (handler.empty()) return;
        auto it = ClickHandlers.find(handler);
        if (it != ClickHandlers.end() && it->second) it->second();
    };
    if (!before.empty()) fire(before, false);
    if (!now.empty()) fire(now, true);
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
    case WM_DPICHANGED:
        // Moved to a monitor of another DPI (the Y value; both are the same).
        ApplyDpi(HIWORD(wp), reinterpret_cast<const RECT*>(lp));
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        win::PaintDc dc(Handle());
        if (dc) PaintGraphics(dc.Get());
        return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN: {
        const POINT pt{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
        const bool left = msg == WM_LBUTTONDOWN || msg == WM_LBUTTONDBLCLK;
        const int button = left ? VK_LBUTTON : msg == WM_RBUTTONDOWN ? VK_RBUTTON : VK_MBUTTON;
        if (left) pressed_ = GraphicAt(pt);
        if (const Graphic* g = GraphicAt(pt)) {
            if (g->def->on.mouseDown.empty()) return 0;
            auto it = MouseDownHandlers.find(g->def->on.mouseDown);
            if (it != MouseDownHandlers.end() && it->second)
                it->second(button, pt.x - g->rect.left, pt.y - g->rect.top);
        }
        return 0;
    }
    case WM_LBUTTONUP: {
        // A click is a press and a release on the same control: a release that
        // ends a press elsewhere (or a window drag) opens nothing.
        const POINT pt{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
        const Graphic* g = GraphicAt(pt);
        const Graphic* pressed = std::exchange(pressed_, nullptr);
        if (g && g == pressed) RunClick(g->def->on.click);
        return 0;
    }
    case WM_ACTIVATE:
        // The focus leaves and comes back with the window, to the same control.
        if (LOWORD(wp) == WA_INACTIVE) {
            HWND focus = ::GetFocus();
            if (focus && ::IsChild(Handle(), focus)) lastFocus_ = focus;
        } else if (lastFocus_ && ::IsWindow(lastFocus_) && ::IsWindowVisible(lastFocus_)) {
            ::SetFocus(lastFocus_);
            return 0;
        }
        break;
    case WM_SYSCOMMAND:
        // Minimizing by the system menu (Alt+Space) or Win+Down goes where the
        // minimize button goes: the application's taskbar button.
        if ((wp & 0xFFF0) == SC_MINIMIZE) {
            app_.Minimize();
            return 0;
        }
        break;
    case WM_MOUSEMOVE: {
        if (!trackingLeave_) {
            TRACKMOUSEEVENT tme{sizeof tme, TME_LEAVE, Handle(), 0};
            trackingLeave_ = ::TrackMouseEvent(&tme) != FALSE;
        }
        PointerOverGraphic(GraphicAt(POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)}));
        return 0;
    }
    case WM_MOUSELEAVE:
        trackingLeave_ = false;
        PointerOverGraphic(nullptr);
        return 0;
    case WM_SETCURSOR:
        if (reinterpret_cast<HWND>(wp) == Handle() && LOWORD(lp) == HTCLIENT) {
            POINT pt;
            ::GetCursorPos(&pt);
            ::ScreenToClient(Handle(), &pt);
            const Graphic* g = GraphicAt(pt);
            if (g && (g->def->look & ui::lkHandPointer)) {
                ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
                return TRUE;
            }
        }
        break;
    case WM_COMMAND: {
        HWND from = reinterpret_cast<HWND>(lp);
        // From the dialog manager: Enter (IDOK) presses the focused button; Esc (IDCANCEL) does nothing.
        if (!from && LOWORD(wp) == IDOK) PressFocusedButton();
        auto it = defsByHwnd_.find(from);
        if (it != defsByHwnd_.end() && (HIWORD(wp) == BN_CLICKED || HIWORD(wp) == STN_CLICKED))
            RunClick(it->second->on.click);
        return 0;
    }
    case WM_NOTIFY: {
        auto* hdr = reinterpret_cast<NMHDR*>(lp);
        auto it = defsByHwnd_.find(hdr->hwndFrom);
        if (it == defsByHwnd_.end()) break;
        const auto& on = it->second->on;
        if (hdr->code == NM_CLICK) {
            RunClick(on.click);
        } else if (hdr->code == LVN_KEYDOWN && !on.keyDown.empty()) {
            auto* kd = reinterpret_cast<NMLVKEYDOWN*>(lp);
            auto h = KeyDownHandlers.find(on.keyDown);
            if (h != KeyDownHandlers.end() && h->second) {
                WORD key = kd->wVKey;
                UINT shift = (::GetKeyState(VK_SHIFT) < 0 ? 1u : 0u) | (::GetKeyState(VK_CONTROL) < 0 ? 2u : 0u) |
                             (::GetKeyState(VK_MENU) < 0 ? 4u : 0u);
                h->second(key, shift);
            }
        } else if (hdr->code == NM_CUSTOMDRAW && !on.customDraw.empty()) {
            auto h = CustomDrawHandlers.find(on.customDraw);
            if (h != CustomDrawHandlers.end() && h->second) return h->second(*reinterpret_cast<NMLVCUSTOMDRAW*>(lp));
        }
        return 0;
    }
    case WM_DROPFILES: {
        HDROP drop = reinterpret_cast<HDROP>(wp);
        std::vector<std::string> paths;
        const UINT n = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
        for (UINT i = 0; i < n; ++i) {
            std::wstring buf(::DragQueryFileW(drop, i, nullptr, 0) + 1, L'\0');
            buf.resize(::DragQueryFileW(drop, i, buf.data(), static_cast<UINT>(buf.size())));
            paths.push_back(win::Narrow(buf));
        }
        ::DragFinish(drop);
        AddDroppedPaths(paths);
        return 0;
    }
    case WM_GETOBJECT:
        if (const LRESULT r = AnswerReader(wp, lp)) return r;
        break;
    case kReaderLinkMessage: {
        const auto links = LinkLabels();
        if (wp < links.size()) RunClick(links[wp]->def->on.click);
        return 0;
    }
    case WM_COPYDATA:
        return TakeCopyData(reinterpret_cast<const COPYDATASTRUCT*>(lp)) ? TRUE : FALSE;
    case kAddHandedOverMessage:
        AddHandedOver();
        return 0;
    case kToolProblemMessage:
        Dialogs().MessageBox(Handle(), toolProblem_, app_.Title(), MB_OK | MB_ICONWARNING);
        return 0;
    case WM_TIMER:
        if (wp != kHandOverRetryTimer) break;
        AddHandedOver();
        return 0;
    case kJobExitedMessage:
        OnJobExited(static_cast<std::int64_t>(lp));
        return 0;
    case WM_CLOSE:
        ::DestroyWindow(Handle());
        return 0;
    case WM_DESTROY:
        // The running job's half-written MP3 goes with the window.
        if (run_) run_->Abandon();
        if (!destroyed_) {
            destroyed_ = true;
            GuardedStep([this] { FormDestroy(); });
        }
        return 0;
    default:
        break;
    }
    return Default(msg, wp, lp);
}

// The link labels are painted, not windows: a screen reader finds them as
// parts of the window, after its child windows.
std::vector<const TfrmMain::Graphic*> TfrmMain::LinkLabels() const {
    std::vector<const Graphic*> links;
    for (const auto& g : graphics_)
        if (g.def->kind == ui::Kind::Label && (g.def->look & ui::lkLink)) links.push_back(&g);
    return links;
}

LRESULT TfrmMain::AnswerReader(WPARAM wp, LPARAM lp) {
    std::vector<ui::AccessiblePart> parts;
    for (const Graphic* g : LinkLabels())
        parts.push_back(
            {win::Widen(g->def->caption), ROLE_SYSTEM_LINK, STATE_SYSTEM_LINKED, g->rect, L"Jump", kReaderLinkMessage});
    return ui::AnswerGetObject(Handle(), wp, lp, std::move(parts));
}

LRESULT CALLBACK TfrmMain::SubclassProc(HWND h, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) {
    auto* self = reinterpret_cast<TfrmMain*>(data);
    try {
        if (msg == WM_CHAR) {
            auto it = self->defsByHwnd_.find(h);
            if (it != self->defsByHwnd_.end() && !it->second->on.keyPress.empty()) {
                auto hk = self->KeyPressHandlers.find(it->second->on.keyPress);
                if (hk != self->KeyPressHandlers.end() && hk->second) {
                    wchar_t key = static_cast<wchar_t>(wp);
                    hk->second(key);
                    if (key == 0) return 0;  // the handler dropped the character
                    wp = key;
                }
            }
        } else if (msg == WM_SETCURSOR) {
            auto it = self->defsByHwnd_.find(h);
            if (it != self->defsByHwnd_.end() && (it->second->look & ui::lkHandPointer) && LOWORD(lp) == HTCLIENT) {
                ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
                return TRUE;
            }
        } else if (msg == WM_GETOBJECT) {
            // The boxes' and the list's captions are painted, not label windows
            // the system could name them from: their names come from the layout.
            auto it = self->defsByHwnd_.find(h);
            if (it != self->defsByHwnd_.end() && !it->second->accessibleName.empty()) {
                const bool box = it->second->kind == ui::Kind::Edit;
                const ui::AccessibleFace face{win::Widen(it->second->accessibleName),
                                              box ? ROLE_SYSTEM_TEXT : ROLE_SYSTEM_LIST,
                                              box ? STATE_SYSTEM_READONLY : 0};
                if (const LRESULT r = ui::AnswerGetObject(h, wp, lp, face)) return r;
            }
        } else if (msg == WM_NCDESTROY) {
            ::RemoveWindowSubclass(h, &TfrmMain::SubclassProc, 1);
        }
    } catch (...) {
        win::ReportCurrentException();
        return 0;
    }
    return ::DefSubclassProc(h, msg, wp, lp);
}

}  // namespace kv
