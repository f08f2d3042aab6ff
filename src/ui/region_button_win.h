#pragma once
// TEzRgnBtn: a push button drawn entirely from bitmaps. It shows its idle,
// hover, pressed or disabled picture, takes the size of the picture it shows,
// and in crop mode its window is cut to the idle picture's shape: every pixel
// of the idle picture's key colour (its top-left pixel) is removed.
//
//   auto* btn = new TEzRgnBtn(owner);            // the owner deletes it
//   btn->Create(parentHwnd, 464, 13, 23, 23);
//   btn->LoadPictureSet("close");                 // or SetPicIdle/SetPicDown/SetPicUp(HBITMAP)
//   btn->SetPaintMode(pmCrop);
//   btn->SetHint("Close");
//   btn->OnClick = [this](TComponent* sender) { ... };
#include <windows.h>
#include <commctrl.h>

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "components/component.h"
#include "ui/control_events.h"
#include "ui/look.h"
#include "ui/region_button.h"
#include "ui/picture_win.h"
#include "ui/skinned_control_win.h"
#include "win/handle.h"
#include "win/window.h"

namespace kv::ui {

enum TPaintMode : std::uint8_t {
    pmNormal = 0,       // pictures copied whole, window rectangular
    pmCrop = 1,         // window cut to the idle picture's shape
    pmTransparent = 2,  // the shown picture's key-coloured pixels let the parent show through
};

class TEzRgnBtn : public TSkinnedControl, private IRgnBtnHost {
public:
    static constexpr UINT kRepeatPeriodMs = 300;
    static constexpr int kInitialSize = 15;

    explicit TEzRgnBtn(TComponent* owner);
    ~TEzRgnBtn() override;

    // The button's window, a child of parent. Pictures, mode and hint set
    // earlier take effect with it; its size then follows the shown picture.
    bool Create(HWND parent, int left, int top, int width = kInitialSize, int height = kInitialSize, int id = 0);

    // Pictures are copied; an invalid or null bitmap empties the picture.
    void SetPicIdle(HBITMAP bmp) { SetPicture(psIdle, PixmapFromBitmap(bmp)); }
    void SetPicUp(HBITMAP bmp) { SetPicture(psUp, PixmapFromBitmap(bmp)); }
    void SetPicDown(HBITMAP bmp) { SetPicture(psDown, PixmapFromBitmap(bmp)); }
    void SetPicDsbld(HBITMAP bmp) { SetPicture(psDsbld, PixmapFromBitmap(bmp)); }
    void SetPicture(TPicSlot slot, TPixmap pic);
    // The art set's idle, pressed and hover pictures ("close" loads
    // "close_idle", "close_down", "close_hover") as drawn at an art scale
    // (ui/dpi.h); module null: the program. False when the idle picture is
    // not there. The window's shape follows the new idle picture. A size
    // given (above 0) is the one each picture is resampled to: the button's
    // place at a DPI between the art's scales.
    // The set's pictures in a look: the dark palette's art, or the light art
    // redrawn in the system's colours for high contrast.
    bool LoadPictureSet(std::string_view set, HMODULE module = nullptr, int scalePercent = 100, SIZE fitTo = {},
                        Appearance look = Appearance::Skin);
    [[nodiscard]] const TPixmap& Picture(TPicSlot slot) const noexcept { return pics_[slot].Pixels(); }
    // The picture the button shows in its present state.
    [[nodiscard]] TPicSlot ShownPicture() const noexcept { return state_.Picture(Presence()); }

    void SetPaintMode(TPaintMode mode);
    [[nodiscard]] TPaintMode PaintMode() const noexcept { return mode_; }

    // The button's own enabled flag; its window stays enabled, so pointer
    // events still arrive while clicks are held back.
    void SetEnabled(bool enabled) { state_.SetEnabled(enabled); }
    [[nodiscard]] bool Enabled() const noexcept { return state_.Enabled(); }
    [[nodiscard]] bool Disabled() const noexcept { return !state_.Enabled(); }

    void SetAutoRepeat(bool on) noexcept { state_.SetAutoRepeat(on); }
    [[nodiscard]] bool AutoRepeat() const noexcept { return state_.AutoRepeat(); }

    // Not owned. Images 0 to 3 become the idle, hover, pressed and disabled
    // pictures, as far as the list reaches.
    void SetImageList(HIMAGELIST list);
    [[nodiscard]] HIMAGELIST ImageList() const noexcept { return imageList_; }

    // The focus cue shows: the button has the focus and the keyboard is in use.
    [[nodiscard]] bool FocusCueShown() const;

    void SetHint(std::string utf8);
    [[nodiscard]] const std::string& Hint() const noexcept { return hint_; }
    void SetShowHint(bool show);
    [[nodiscard]] bool ShowHint() const noexcept { return showHint_; }
    // The tooltip window, once a hint is shown for the button.
    [[nodiscard]] HWND HintWindow() const noexcept { return tip_.Get(); }

    // Gives the window back its full rectangle.
    void ResetRegion();
    [[nodiscard]] bool RegionApplied() const noexcept { return regionApplied_; }

    [[nodiscard]] bool Pressed() const noexcept { return state_.Pressed(); }
    [[nodiscard]] bool MouseInside() const noexcept { return state_.MouseInside(); }
    [[nodiscard]] bool Repeating() const noexcept { return state_.Repeating(); }

    // Draws the shown picture at once (every state change does).
    void Paint();
    // The click operation, as a release or a repeat tick performs it:
    // delivers OnClick only while enabled.
    void Click() { state_.Click(); }

    TOnMouseEvent OnMouseDown;
    TOnMouseEvent OnMouseEnter;
    TOnMouseEvent OnMouseLeave;
    TOnMouseEvent OnMouseUp;

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    void PaintFace(HDC dc) override;
    [[nodiscard]] AccessibleFace Face() const override;
    // Held back while disabled, as a press is.
    void AccessibleClick() override { state_.Click(); }

private:
    // Window messages, by what they concern; nothing for a message they leave alone.
    std::optional<LRESULT> OnPointerMessage(UINT msg, WPARAM wp, LPARAM lp);
    std::optional<LRESULT> OnKeyboardMessage(UINT msg, WPARAM wp, LPARAM lp);
    void OnPointerMove(POINT pt, WPARAM keys);
    void OnLeftButtonUp(POINT pt);
    void OnDestroy();

    void Repaint() override { Paint(); }
    void RaiseClick() override { TSkinnedControl::RaiseClick(); }
    void RaiseMouseEnter() override { Raise(OnMouseEnter); }
    void RaiseMouseLeave() override { Raise(OnMouseLeave); }
    void RaiseMouseDown() override { Raise(OnMouseDown); }
    void RaiseMouseUp() override { Raise(OnMouseUp); }
    void CapturePointer(bool capture) override;
    void RunRepeatTimer(bool run) override;

    void Raise(const TOnMouseEvent& ev);
    [[nodiscard]] TPicPresence Presence() const noexcept;
    void DrawKeyed(HDC dc, const TBitmapPicture& pic);
    void DrawFocusCue(HDC dc);
    LRESULT KeyboardCode(LPARAM lp) const;
    void BuildCropRegion();
    [[nodiscard]] bool IsOverButton(POINT pt) const;
    void TrackLeave();
    void UpdateTooltip();

    TRgnBtnState state_{*this};
    std::array<TBitmapPicture, kPicSlots> pics_;
    TPaintMode mode_ = pmNormal;
    HIMAGELIST imageList_ = nullptr;
    std::string hint_;
    bool showHint_ = true;
    win::UniqueWindow tip_;
    bool toolAdded_ = false;
    // Serialises painting with changes of the window's shape. All callers are
    // on the window's thread, so it is tried, never waited for: a paint asked
    // for while the lock is held is deferred to the next WM_PAINT.
    win::UniqueHandle paintLock_;
    bool regionApplied_ = false;
    bool releasing_ = false;
    TMessage current_;  // the message being handled, for the events that pass it on
};

}  // namespace kv::ui
