#include "ui/region_button_win.h"

#include <windowsx.h>

#include <algorithm>
#include <utility>
#include <vector>

#include <oleacc.h>

#include "ui/art_names.h"
#include "ui/look_win.h"
#include "ui/resample.h"
#include "win/gdi.h"
#include "win/text.h"

namespace kv::ui {

namespace {

constexpr UINT_PTR kRepeatTimerId = 1;
constexpr wchar_t kClassName[] = L"KorvelloEzRgnBtn";

// Tried, never waited for: see paintLock_.
class TryLock {
public:
    explicit TryLock(HANDLE event) noexcept
        : event_(event), taken_(!event || ::WaitForSingleObject(event, 0) == WAIT_OBJECT_0) {}
    ~TryLock() {
        if (event_ && taken_) ::SetEvent(event_);
    }
    TryLock(const TryLock&) = delete;
    TryLock& operator=(const TryLock&) = delete;
    explicit operator bool() const noexcept { return taken_; }

private:
    HANDLE event_;
    bool taken_;
};

win::UniqueRgn RegionFromRuns(const std::vector<TPixelRun>& runs) {
    if (runs.empty()) return win::UniqueRgn(::CreateRectRgn(0, 0, 0, 0));
    std::vector<std::byte> buf(sizeof(RGNDATAHEADER) + runs.size() * sizeof(RECT));
    auto* data = reinterpret_cast<RGNDATA*>(buf.data());
    data->rdh.dwSize = sizeof(RGNDATAHEADER);
    data->rdh.iType = RDH_RECTANGLES;
    data->rdh.nCount = static_cast<DWORD>(runs.size());
    data->rdh.nRgnSize = static_cast<DWORD>(runs.size() * sizeof(RECT));
    RECT bound{runs.front().x0, runs.front().y, runs.front().x1, runs.front().y + 1};
    auto* rects = reinterpret_cast<RECT*>(data->Buffer);
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const TPixelRun& r = runs[i];
        rects[i] = RECT{r.x0, r.y, r.x1, r.y + 1};
        bound.left = std::min<LONG>(bound.left, r.x0);
        bound.right = std::max<LONG>(bound.right, r.x1);
        bound.bottom = std::max<LONG>(bound.bottom, r.y + 1);
    }
    data->rdh.rcBound = bound;
    return win::UniqueRgn(::ExtCreateRegion(nullptr, static_cast<DWORD>(buf.size()), data));
}

// Every other pixel, as the system's focus rectangles: seen on any art.
win::UniqueBrush DottedBrush() {
    static const WORD kDots[8] = {0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA};
    win::UniqueBitmap pattern(::CreateBitmap(8, 8, 1, 1, kDots));
    return win::UniqueBrush(pattern ? ::CreatePatternBrush(pattern.Get()) : nullptr);
}

COLORREF ToColorRef(std::uint32_t rgb) noexcept { return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF); }

}  // namespace

TEzRgnBtn::TEzRgnBtn(TComponent* owner)
    : TSkinnedControl(owner),
      // Auto-reset, created free.
      paintLock_(::CreateEventW(nullptr, FALSE, TRUE, nullptr)) {}

TEzRgnBtn::~TEzRgnBtn() {
    if (Handle()) ::KillTimer(Handle(), kRepeatTimerId);
    // Destroyed with its owner window already? Then only forget it.
    if (tip_ && !::IsWindow(tip_.Get())) (void)tip_.Release();
    // tip_ goes before the button's window and unhooks itself from it.
}

bool TEzRgnBtn::Create(HWND parent, int left, int top, int width, int height, int id) {
    if (Handle()) return false;
    if (!Window::Create(kClassName, 0, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, L"", left, top, width, height, parent,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), CS_DBLCLKS)) {
        return false;
    }
    BuildCropRegion();
    UpdateTooltip();
    Paint();
    return true;
}

void TEzRgnBtn::SetPicture(TPicSlot slot, TPixmap pic) {
    const bool newShape = slot == psIdle && mode_ == pmCrop && !pic.Empty();
    pics_[slot].Assign(std::move(pic));
    Paint();
    // The shape follows a new idle picture, also when crop mode came first
    // and found no picture to cut by.
    if (newShape) {
        if (regionApplied_) ResetRegion();
        BuildCropRegion();
    }
}

bool TEzRgnBtn::LoadPictureSet(std::string_view set, HMODULE module, int scalePercent, SIZE fitTo, Appearance look) {
    const std::string name(set);
    const auto load = [&](const char* state) {
        TPixmap art =
            PixmapFromBitmap(LoadArtBitmap(ArtId(name + state, scalePercent, look == Appearance::Dark), module).Get());
        if (fitTo.cx > 0 && fitTo.cy > 0) art = Resampled(art, fitTo.cx, fitTo.cy);
        if (look != Appearance::HighContrast) return art;
        // The close and minimize marks are dark at rest, the note and every hot mark light.
        const bool atRest = std::string_view(state) == "_idle";
        return HighContrastPicture(art, atRest && set != "convert", SystemButtonColours(!atRest));
    };
    TPixmap idle = load("_idle");
    if (idle.Empty()) return false;
    SetPicture(psDown, load("_down"));
    SetPicture(psUp, load("_hover"));
    SetPicture(psIdle, std::move(idle));
    return true;
}

void TEzRgnBtn::SetPaintMode(TPaintMode mode) {
    if (mode == mode_) return;
    if (mode_ == pmCrop) ResetRegion();
    mode_ = mode;
    if (mode_ == pmCrop) BuildCropRegion();
    Paint();
}

void TEzRgnBtn::SetImageList(HIMAGELIST list) {
    if (list == imageList_) return;
    imageList_ = list;
    if (!list) return;
    const int count = std::min(::ImageList_GetImageCount(list), kPicSlots);
    for (int i = 0; i < count; ++i) {
        pics_[i].Assign(PixmapFromImageList(list, i));
        Paint();
    }
    // As with SetPicture: a new idle picture brings its own shape.
    if (count > 0 && mode_ == pmCrop && !pics_[psIdle].Empty()) {
        if (regionApplied_) ResetRegion();
        BuildCropRegion();
    }
}

void TEzRgnBtn::SetHint(std::string utf8) {
    hint_ = std::move(utf8);
    UpdateTooltip();
}

void TEzRgnBtn::SetShowHint(bool show) {
    showHint_ = show;
    if (tip_) ::SendMessageW(tip_.Get(), TTM_ACTIVATE, show ? TRUE : FALSE, 0);
}

void TEzRgnBtn::UpdateTooltip() {
    if (!Handle()) return;
    TTTOOLINFOW ti{};
    ti.cbSize = TTTOOLINFOW_V2_SIZE;  // understood by every comctl32, themed or not
    ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    ti.hwnd = ::GetParent(Handle());
    ti.uId = reinterpret_cast<UINT_PTR>(Handle());
    if (hint_.empty()) {
        if (toolAdded_) ::SendMessageW(tip_.Get(), TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
        toolAdded_ = false;
        return;
    }
    if (!tip_) {
        // Owned by the button's top-level window, which destroys it with itself.
        tip_.Reset(::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                     CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, Handle(), nullptr,
                                     ::GetModuleHandleW(nullptr), nullptr));
        if (!tip_) return;
        ::SendMessageW(tip_.Get(), TTM_ACTIVATE, showHint_ ? TRUE : FALSE, 0);
    }
    std::wstring text = win::Widen(hint_);
    ti.lpszText = text.data();
    if (toolAdded_) {
        ::SendMessageW(tip_.Get(), TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&ti));
    } else {
        toolAdded_ = ::SendMessageW(tip_.Get(), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti)) != FALSE;
    }
}

TPicPresence TEzRgnBtn::Presence() const noexcept {
    TPicPresence has{};
    for (int i = 0; i < kPicSlots; ++i) has[i] = !pics_[i].Empty();
    return has;
}

void TEzRgnBtn::Paint() {
    if (!Handle()) return;
    win::WindowDc dc(Handle());
    if (dc) PaintFace(dc.Get());
}

void TEzRgnBtn::PaintFace(HDC dc) {
    const TBitmapPicture& pic = pics_[ShownPicture()];
    if (pic.Empty()) return;
    TryLock lock(paintLock_.Get());
    if (!lock) {
        ::InvalidateRect(Handle(), nullptr, FALSE);
        return;
    }
    RECT rc{};
    ::GetClientRect(Handle(), &rc);
    if (rc.right != pic.Width() || rc.bottom != pic.Height()) {
        // Only schedules painting: no paint runs inside this call.
        ::SetWindowPos(Handle(), nullptr, 0, 0, pic.Width(), pic.Height(), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (mode_ == pmTransparent) {
        DrawKeyed(dc, pic);
    } else {
        win::MemoryDc src(dc, pic.Bitmap());
        if (src.Get()) ::BitBlt(dc, 0, 0, pic.Width(), pic.Height(), src.Get(), 0, 0, SRCCOPY);
    }
    if (FocusCueShown()) DrawFocusCue(dc);
}

bool TEzRgnBtn::FocusCueShown() const {
    if (!Handle() || ::GetFocus() != Handle()) return false;
    // Hidden until the keyboard is used, as the system's own controls do.
    return (::SendMessageW(Handle(), WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS) == 0;
}

// A dotted line just inside the button's own shape, so the cue follows the art.
void TEzRgnBtn::DrawFocusCue(HDC dc) {
    win::UniqueRgn shape(::CreateRectRgn(0, 0, 0, 0));
    if (!shape) return;
    if (::GetWindowRgn(Handle(), shape.Get()) == ERROR) {
        RECT rc{};
        ::GetClientRect(Handle(), &rc);
        ::SetRectRgn(shape.Get(), rc.left, rc.top, rc.right, rc.bottom);
    }
    win::UniqueBrush dots = DottedBrush();
    if (!dots) return;
    const COLORREF text = ::SetTextColor(dc, RGB(0, 0, 0));
    const COLORREF back = ::SetBkColor(dc, RGB(255, 255, 255));
    ::FrameRgn(dc, shape.Get(), dots.Get(), 1, 1);
    ::SetTextColor(dc, text);
    ::SetBkColor(dc, back);
}

// Enter reaches the button rather than the window's default action; Tab and
// the arrows stay the dialog manager's.
LRESULT TEzRgnBtn::KeyboardCode(LPARAM lp) const {
    const auto* m = reinterpret_cast<const MSG*>(lp);
    if (m && (m->message == WM_KEYDOWN || m->message == WM_CHAR) && m->wParam == VK_RETURN)
        return DLGC_BUTTON | DLGC_WANTMESSAGE;
    return DLGC_BUTTON;
}

void TEzRgnBtn::DrawKeyed(HDC dc, const TBitmapPicture& pic) {
    const int w = pic.Width();
    const int h = pic.Height();
    // Composed off screen: the parent's look beneath, then the picture
    // without its key colour, then one copy to the screen, so nothing flickers.
    win::UniqueBitmap canvas(::CreateCompatibleBitmap(dc, w, h));
    if (!canvas) return;
    win::MemoryDc out(dc, canvas.Get());
    win::MemoryDc src(dc, pic.Bitmap());
    if (!out.Get() || !src.Get()) return;
    RECT all{0, 0, w, h};
    ::FillRect(out.Get(), &all, ::GetSysColorBrush(COLOR_BTNFACE));
    if (HWND parent = ::GetParent(Handle())) {
        POINT org{0, 0};
        ::MapWindowPoints(Handle(), parent, &org, 1);
        POINT old{};
        ::SetViewportOrgEx(out.Get(), -org.x, -org.y, &old);
        ::SendMessageW(parent, WM_ERASEBKGND, reinterpret_cast<WPARAM>(out.Get()), 0);
        ::SendMessageW(parent, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(out.Get()), PRF_CLIENT);
        ::SetViewportOrgEx(out.Get(), old.x, old.y, nullptr);
    }
    ::GdiTransparentBlt(out.Get(), 0, 0, w, h, src.Get(), 0, 0, w, h, ToColorRef(KeyColour(pic.Pixels())));
    ::BitBlt(dc, 0, 0, w, h, out.Get(), 0, 0, SRCCOPY);
}

void TEzRgnBtn::BuildCropRegion() {
    if (mode_ != pmCrop || regionApplied_ || !Handle()) return;
    const TPixmap& idle = pics_[psIdle].Pixels();
    if (idle.Empty()) return;  // nothing to cut by: the shape stays as it is
    TryLock lock(paintLock_.Get());
    if (!lock) return;
    win::UniqueRgn rgn = RegionFromRuns(ShapeRuns(idle, KeyColour(idle)));
    if (!rgn) return;
    // The system owns the region once it is the window's shape.
    if (::SetWindowRgn(Handle(), rgn.Get(), TRUE)) (void)rgn.Release();
    regionApplied_ = true;
}

void TEzRgnBtn::ResetRegion() {
    if (Handle()) {
        TryLock lock(paintLock_.Get());
        if (!lock) return;
        // No region at all is the whole window, whatever size it takes later.
        ::SetWindowRgn(Handle(), nullptr, TRUE);
    }
    regionApplied_ = false;
}

bool TEzRgnBtn::IsOverButton(POINT pt) const {
    RECT rc{};
    ::GetClientRect(Handle(), &rc);
    if (!::PtInRect(&rc, pt)) return false;
    win::UniqueRgn shape(::CreateRectRgn(0, 0, 0, 0));
    // Without a shape of its own the window is its rectangle. A child with no
    // border has the same origin for window and client coordinates.
    if (!shape || ::GetWindowRgn(Handle(), shape.Get()) == ERROR) return true;
    return ::PtInRegion(shape.Get(), pt.x, pt.y) != FALSE;
}

void TEzRgnBtn::TrackLeave() {
    TRACKMOUSEEVENT t{sizeof t, TME_LEAVE, Handle(), 0};
    ::TrackMouseEvent(&t);
}

void TEzRgnBtn::Raise(const TOnMouseEvent& ev) {
    if (!ev) return;
    TOnMouseEvent handler = ev;
    const TMessage msg = current_;
    win::ReportedStep([&] { handler(msg); });
}

void TEzRgnBtn::CapturePointer(bool capture) {
    if (!Handle()) return;
    if (capture) {
        ::SetCapture(Handle());
        return;
    }
    // ReleaseCapture sends WM_CAPTURECHANGED at once: ours, not a loss.
    releasing_ = true;
    if (::GetCapture() == Handle()) ::ReleaseCapture();
    releasing_ = false;
}

void TEzRgnBtn::RunRepeatTimer(bool run) {
    if (!Handle()) return;
    if (run) {
        ::SetTimer(Handle(), kRepeatTimerId, kRepeatPeriodMs, nullptr);
    } else {
        ::KillTimer(Handle(), kRepeatTimerId);
    }
}

LRESULT TEzRgnBtn::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    // Messages nest (ReleaseCapture sends WM_CAPTURECHANGED while a release
    // is handled): each level keeps its own current message.
    struct Restore {
        TMessage& slot;
        TMessage saved;
        ~Restore() { slot = saved; }
    } restore{current_, current_};
    current_ = TMessage{msg, wp, lp};

    if (const auto r = HandleSkinMessage(msg, wp, lp)) return *r;
    if (const auto r = OnPointerMessage(msg, wp, lp)) return *r;
    if (const auto r = OnKeyboardMessage(msg, wp, lp)) return *r;
    switch (msg) {
    case WM_UPDATEUISTATE: {
        const LRESULT r = Default(msg, wp, lp);
        Invalidate();
        return r;
    }
    case WM_TIMER:
        if (wp != kRepeatTimerId) break;
        state_.RepeatTick();
        return 0;
    case WM_DESTROY:
        OnDestroy();
        break;
    default:
        break;
    }
    return Default(msg, wp, lp);
}

std::optional<LRESULT> TEzRgnBtn::OnPointerMessage(UINT msg, WPARAM wp, LPARAM lp) {
    const POINT pt{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
    switch (msg) {
    case WM_MOUSEMOVE:
        OnPointerMove(pt, wp);
        return 0;
    case WM_MOUSELEAVE:
        // While the pointer is held the moves decide; a leave notice then says nothing.
        if (::GetCapture() != Handle() && state_.MouseInside()) state_.PointerLeft();
        return 0;
    case WM_LBUTTONDOWN:
        if (!state_.MouseInside() && IsOverButton(pt)) {
            TrackLeave();
            state_.PointerEntered();
        }
        state_.ButtonDown();
        return 0;
    case WM_LBUTTONDBLCLK:
        state_.DoubleClick();
        return 0;
    case WM_LBUTTONUP:
        OnLeftButtonUp(pt);
        return 0;
    case WM_CAPTURECHANGED:
        if (!releasing_ && reinterpret_cast<HWND>(lp) != Handle()) state_.CaptureLost();
        return 0;
    default:
        return std::nullopt;
    }
}

// While the button holds the pointer, moves come from anywhere: whether it is
// over the button is decided here, shape included.
void TEzRgnBtn::OnPointerMove(POINT pt, WPARAM keys) {
    const bool over = IsOverButton(pt);
    if (over && !state_.MouseInside()) {
        TrackLeave();
        state_.PointerEntered();
    } else if (!over && state_.MouseInside()) {
        state_.PointerLeft();
    }
    RaiseMouseMove(static_cast<unsigned>(keys), pt.x, pt.y);
}

void TEzRgnBtn::OnLeftButtonUp(POINT pt) {
    RECT rc{};
    ::GetClientRect(Handle(), &rc);
    state_.ButtonUp(::PtInRect(&rc, pt) != FALSE);
    if (!state_.MouseInside()) return;
    // Holding the pointer suspended the leave notice: ask for it again.
    if (IsOverButton(pt)) {
        TrackLeave();
    } else {
        state_.PointerLeft();
    }
}

std::optional<LRESULT> TEzRgnBtn::OnKeyboardMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_GETDLGCODE:
        return KeyboardCode(lp);
    case WM_KEYDOWN:
        if (wp != VK_SPACE && wp != VK_RETURN) return std::nullopt;
        state_.KeyDown();  // the key's own repeat is ignored by the state
        if (wp == VK_RETURN) state_.KeyUp();
        return 0;
    case WM_KEYUP:
        if (wp != VK_SPACE) return std::nullopt;
        state_.KeyUp();
        return 0;
    case WM_SETFOCUS:
        Invalidate();
        return 0;
    case WM_KILLFOCUS:
        state_.KeyCancel();
        Invalidate();
        return 0;
    default:
        return std::nullopt;
    }
}

AccessibleFace TEzRgnBtn::Face() const {
    return {win::Widen(AccessibleName().empty() ? hint_ : AccessibleName()), ROLE_SYSTEM_PUSHBUTTON, 0,
            win::Widen(hint_), L"Press"};
}

void TEzRgnBtn::OnDestroy() {
    ::KillTimer(Handle(), kRepeatTimerId);
    if (tip_ && !::IsWindow(tip_.Get())) (void)tip_.Release();
    tip_.Reset();
    toolAdded_ = false;
    regionApplied_ = false;
}

}  // namespace kv::ui
