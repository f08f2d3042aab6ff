#include "components/BrowseForFolderU_win.h"

#include <objbase.h>
#include <shlobj.h>

#include <cwchar>

#include "win/com.h"
#include "win/text.h"

namespace kv {

namespace detail {

int CALLBACK BrowseSelectionCallback(HWND dialog, UINT notification, LPARAM, LPARAM data) {
    if (notification == BFFM_INITIALIZED && data != 0) {
        const auto* folder = reinterpret_cast<const std::wstring*>(data);
        // The answer is ignored: a folder the dialog cannot select is passed over.
        (void)::SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(folder->c_str()));
        // Some dialogs fill their folder tree after this notification and lose
        // the selection; asking once more when the queue is reached settles it.
        // The text lives until the dialog has closed.
        ::PostMessageW(dialog, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(folder->c_str()));
    }
    return 0;
}

}  // namespace detail

namespace {

// The new dialog style needs a single-threaded apartment on this thread.
class ComApartment {
public:
    ComApartment() : hr_(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
    ~ComApartment() {
        if (SUCCEEDED(hr_)) ::CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    // False when the thread already lives in the multithreaded apartment.
    [[nodiscard]] bool SingleThreaded() const noexcept { return hr_ != RPC_E_CHANGED_MODE; }

private:
    HRESULT hr_;
};

}  // namespace

std::string BrowseForFolder(const std::string& title, const std::string& initialFolder, bool allowNewFolder,
                            HWND owner) {
    ComApartment com;
    // Per call, handed through the callback's data: no state shared between calls.
    const std::wstring startFolder = win::Widen(initialFolder);
    const std::wstring titleW = win::Widen(title);
    wchar_t displayName[MAX_PATH] = {};

    BROWSEINFOW bi{};
    bi.hwndOwner = owner;
    bi.pszDisplayName = displayName;
    bi.lpszTitle = titleW.c_str();
    bi.ulFlags = BIF_RETURNONLYFSDIRS;
    // The old style, all that a multithreaded apartment allows, has no new-folder button anyway.
    if (com.SingleThreaded()) bi.ulFlags |= BIF_NEWDIALOGSTYLE | (allowNewFolder ? 0 : BIF_NONEWFOLDERBUTTON);
    if (!startFolder.empty()) {
        bi.lpfn = &detail::BrowseSelectionCallback;
        bi.lParam = reinterpret_cast<LPARAM>(&startFolder);
    }

    const win::CoTaskMem<ITEMIDLIST> chosen(::SHBrowseForFolderW(&bi));
    if (!chosen) return {};
    // Long enough for any path, not only those below MAX_PATH.
    std::wstring path(32768, L'\0');
    if (!::SHGetPathFromIDListEx(chosen.Get(), path.data(), static_cast<DWORD>(path.size()), GPFIDL_DEFAULT)) return {};
    path.resize(std::wcslen(path.c_str()));
    return win::Narrow(path);
}

}  // namespace kv
