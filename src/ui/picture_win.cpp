#include "ui/picture_win.h"

#include <cstring>
#include <span>

#include "win/gdi.h"

namespace kv::ui {

namespace {

BITMAPINFO TopDown32(int w, int h) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;  // negative: top row first, as TPixmap keeps it
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    return bi;
}

}  // namespace

TPixmap PixmapFromBitmap(HBITMAP bmp) {
    BITMAP info{};
    if (!bmp || ::GetObjectW(bmp, sizeof info, &info) != sizeof info) return {};
    if (info.bmWidth <= 0 || info.bmHeight == 0) return {};
    const int w = info.bmWidth;
    const int h = info.bmHeight < 0 ? -info.bmHeight : info.bmHeight;
    TPixmap pic(w, h);
    BITMAPINFO bi = TopDown32(w, h);
    win::WindowDc screen(nullptr);
    if (::GetDIBits(screen.Get(), bmp, 0, static_cast<UINT>(h), pic.pixels.data(), &bi, DIB_RGB_COLORS) != h) {
        return {};
    }
    for (auto& p : pic.pixels) p &= 0x00FFFFFFu;  // the fourth byte is no colour
    return pic;
}

win::UniqueBitmap BitmapFromPixmap(const TPixmap& pic) {
    if (pic.Empty()) return {};
    BITMAPINFO bi = TopDown32(pic.width, pic.height);
    void* bits = nullptr;
    win::UniqueBitmap bmp(::CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bmp || !bits) return {};
    std::memcpy(bits, pic.pixels.data(), pic.pixels.size() * sizeof(std::uint32_t));
    ::GdiFlush();
    return bmp;
}

TPixmap PixmapFromImageList(HIMAGELIST list, int index) {
    IMAGEINFO ii{};
    if (!list || !::ImageList_GetImageInfo(list, index, &ii) || !ii.hbmImage) return {};
    // The list keeps its images side by side in one bitmap; rcImage is this one's place.
    const TPixmap all = PixmapFromBitmap(ii.hbmImage);
    const RECT r = ii.rcImage;
    if (all.Empty() || r.left < 0 || r.top < 0 || r.right > all.width || r.bottom > all.height || r.right <= r.left ||
        r.bottom <= r.top) {
        return {};
    }
    TPixmap pic(r.right - r.left, r.bottom - r.top);
    for (int y = 0; y < pic.height; ++y) {
        for (int x = 0; x < pic.width; ++x) pic.Set(x, y, all.At(r.left + x, r.top + y));
    }
    return pic;
}

win::UniqueBitmap LoadArtBitmap(int id, HMODULE module) {
    if (!module) module = ::GetModuleHandleW(nullptr);
    // LR_CREATEDIBSECTION keeps the 24-bit pixels exact on any display depth.
    win::UniqueBitmap bmp(
        static_cast<HBITMAP>(::LoadImageW(module, MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    if (bmp) return bmp;
    // The art above 100 % is packed (ui/pixmap.h, UnpackPixels).
    HRSRC res = ::FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(10));  // RT_RCDATA
    HGLOBAL loaded = res ? ::LoadResource(module, res) : nullptr;
    const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
    if (!bytes) return {};
    return BitmapFromPixmap(
        UnpackPixels(std::span(static_cast<const std::uint8_t*>(bytes), ::SizeofResource(module, res))));
}

void TBitmapPicture::Assign(TPixmap pic) {
    win::UniqueBitmap bmp = BitmapFromPixmap(pic);
    if (!pic.Empty() && !bmp) pic = TPixmap{};  // no drawable copy: hold nothing rather than half a picture
    pixels_ = std::move(pic);
    bitmap_ = std::move(bmp);
}

}  // namespace kv::ui
