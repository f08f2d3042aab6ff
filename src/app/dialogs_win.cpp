#include "app/dialogs_win.h"

#include <commdlg.h>
#include <shellapi.h>

#include <vector>

#include "components/BrowseForFolderU_win.h"
#include "win/text.h"

namespace kv {

namespace {

class SystemDialogs final : public IDialogs {
public:
    int MessageBox(HWND owner, const std::string& text, const std::string& caption, UINT flags) override {
        return ::MessageBoxW(owner, win::Widen(text).c_str(), win::Widen(caption).c_str(), flags);
    }

    std::optional<std::string> OpenFile(HWND owner, const OpenFileRequest& request) override {
        // "Name|pattern" becomes the dialog's double-zero-terminated pairs.
        std::wstring filter = win::Widen(request.filter);
        for (auto& c : filter)
            if (c == L'|') c = L'\0';
        filter.push_back(L'\0');
        filter.push_back(L'\0');
        std::vector<wchar_t> file(32768, L'\0');
        const std::wstring defExt = win::Widen(request.defaultExtension);
        OPENFILENAMEW ofn{};
        ofn.lStructSize = sizeof ofn;
        ofn.hwndOwner = owner;
        ofn.lpstrFilter = filter.c_str();
        ofn.nFilterIndex = 1;
        ofn.lpstrFile = file.data();
        ofn.nMaxFile = static_cast<DWORD>(file.size());
        ofn.lpstrDefExt = defExt.empty() ? nullptr : defExt.c_str();
        ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_NOCHANGEDIR;
        if (!::GetOpenFileNameW(&ofn)) return std::nullopt;
        return win::Narrow(file.data());
    }

    std::string BrowseForFolder(HWND owner, const std::string& title, const std::string& initialFolder,
                                bool allowNewFolder) override {
        return kv::BrowseForFolder(title, initialFolder, allowNewFolder, owner);
    }

    void ShellOpen(HWND owner, const std::string& target, int show) override {
        ::ShellExecuteW(owner, L"open", win::Widen(target).c_str(), nullptr, nullptr, show);
    }
};

}  // namespace

std::unique_ptr<IDialogs> MakeSystemDialogs() { return std::make_unique<SystemDialogs>(); }

std::vector<std::string> DroppedPaths(HDROP drop) {
    std::vector<std::string> paths;
    const UINT n = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < n; ++i) {
        std::wstring buf(::DragQueryFileW(drop, i, nullptr, 0) + 1, L'\0');
        buf.resize(::DragQueryFileW(drop, i, buf.data(), static_cast<UINT>(buf.size())));
        paths.push_back(win::Narrow(buf));
    }
    ::DragFinish(drop);
    return paths;
}

}  // namespace kv
