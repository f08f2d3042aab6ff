#include "app/instance_guard_win.h"

#include <sddl.h>

#include <vector>

#include "app/runner_text.h"
#include "win/handle.h"
#include "win/text.h"

namespace kv {

namespace {

std::vector<unsigned char> TokenInfo(HANDLE process, TOKEN_INFORMATION_CLASS what) {
    HANDLE raw = nullptr;
    if (!::OpenProcessToken(process, TOKEN_QUERY, &raw)) return {};
    const win::UniqueHandle token(raw);
    DWORD bytes = 0;
    ::GetTokenInformation(token.Get(), what, nullptr, 0, &bytes);
    std::vector<unsigned char> buf(bytes);
    if (bytes == 0 || !::GetTokenInformation(token.Get(), what, buf.data(), bytes, &bytes)) return {};
    return buf;
}

std::wstring ImageOf(HANDLE process) {
    std::wstring image(32768, L'\0');
    DWORD size = static_cast<DWORD>(image.size());
    if (!::QueryFullProcessImageNameW(process, 0, image.data(), &size)) return {};
    image.resize(size);
    return image;
}

}  // namespace

InstanceNamespace::InstanceNamespace(std::wstring fallback) : mutexName_(std::move(fallback)) {
    const std::vector<unsigned char> user = TokenInfo(::GetCurrentProcess(), TokenUser);
    const std::vector<unsigned char> label = TokenInfo(::GetCurrentProcess(), TokenIntegrityLevel);
    if (user.empty() || label.empty()) return;
    PSID userSid = reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid;
    PSID levelSid = reinterpret_cast<const TOKEN_MANDATORY_LABEL*>(label.data())->Label.Sid;
    LPWSTR sidText = nullptr;
    if (!::ConvertSidToStringSidW(userSid, &sidText)) return;
    const std::wstring sid(sidText);
    ::LocalFree(sidText);
    boundary_ = ::CreateBoundaryDescriptorW(L"Korvello", 0);
    if (!boundary_ || !::AddSIDToBoundaryDescriptor(&boundary_, userSid) ||
        !::AddIntegrityLabelToBoundaryDescriptor(&boundary_, levelSid))
        return;
    // Only this user (and the system) may open the namespace.
    PSECURITY_DESCRIPTOR sd = nullptr;
    const std::wstring sddl = L"D:P(A;;GA;;;" + sid + L")(A;;GA;;;SY)";
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &sd, nullptr)) return;
    SECURITY_ATTRIBUTES sa{sizeof sa, sd, FALSE};
    const std::wstring alias = L"Korvello-" + sid;
    space_ = ::CreatePrivateNamespaceW(&sa, boundary_, alias.c_str());
    if (!space_ && ::GetLastError() == ERROR_ALREADY_EXISTS) space_ = ::OpenPrivateNamespaceW(boundary_, alias.c_str());
    ::LocalFree(sd);
    if (space_) mutexName_ = alias + L"\\FirstCopy";
}

InstanceNamespace::~InstanceNamespace() {
    if (space_) ::ClosePrivateNamespace(space_, 0);
    if (boundary_) ::DeleteBoundaryDescriptor(boundary_);
}

std::optional<std::uint32_t> IntegrityLevelOf(HANDLE process) {
    const std::vector<unsigned char> label = TokenInfo(process, TokenIntegrityLevel);
    if (label.empty()) return std::nullopt;
    PSID sid = reinterpret_cast<const TOKEN_MANDATORY_LABEL*>(label.data())->Label.Sid;
    const UCHAR count = *::GetSidSubAuthorityCount(sid);
    if (count == 0) return std::nullopt;
    return *::GetSidSubAuthority(sid, count - 1U);
}

bool RunsKorvello(HWND window) {
    DWORD pid = 0;
    if (!::GetWindowThreadProcessId(window, &pid) || pid == 0) return false;
    const win::UniqueHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    if (!process) return false;
    const std::wstring image = ImageOf(process.Get());
    if (image.empty()) return false;
    const std::wstring name = win::Widen(FileNamePart(win::Narrow(image)));
    if (!win::SameTextAnyCase(name, L"korvello.exe") && !win::SameTextAnyCase(image, ImageOf(::GetCurrentProcess())))
        return false;
    // A level the token does not tell is no proof of one.
    const std::optional<std::uint32_t> theirs = IntegrityLevelOf(process.Get());
    const std::optional<std::uint32_t> ours = IntegrityLevelOf(::GetCurrentProcess());
    if (!ours) return true;  // this process cannot tell its own: nothing to compare
    return theirs && *theirs >= *ours;
}

}  // namespace kv
