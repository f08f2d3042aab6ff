#pragma once
// Bitmaps as the skinned controls hold them: the pixels, for shapes and
// hit-testing, plus a DIB section of the same pixels for drawing.
#include <windows.h>
#include <commctrl.h>

#include "ui/pixmap.h"
#include "win/handle.h"

namespace kv::ui {

// Reads any bitmap the system can describe (device-dependent or DIB section).
// An invalid handle gives an empty pixmap.
TPixmap PixmapFromBitmap(HBITMAP bmp);
// A 32-bit top-down DIB section holding the pixels; empty for an empty pixmap.
win::UniqueBitmap BitmapFromPixmap(const TPixmap& pic);
// Image index of an image list, copied exactly (no mask or blending applied).
TPixmap PixmapFromImageList(HIMAGELIST list, int index);

// A picture resource (ids in ui/art_ids.h) of module, or of the program
// itself: a bitmap, or for the larger scales the packed pixels.
win::UniqueBitmap LoadArtBitmap(int id, HMODULE module = nullptr);

class TBitmapPicture {
public:
    // An empty pixmap, or one no bitmap can be made for, leaves the picture empty.
    void Assign(TPixmap pic);

    [[nodiscard]] bool Empty() const noexcept { return pixels_.Empty(); }
    [[nodiscard]] int Width() const noexcept { return pixels_.width; }
    [[nodiscard]] int Height() const noexcept { return pixels_.height; }
    [[nodiscard]] const TPixmap& Pixels() const noexcept { return pixels_; }
    [[nodiscard]] HBITMAP Bitmap() const noexcept { return bitmap_.Get(); }

private:
    TPixmap pixels_;
    win::UniqueBitmap bitmap_;
};

}  // namespace kv::ui
