#include "app/tool_install.h"

#include "win/error.h"
#include "win/handle.h"
#include "win/text.h"

namespace kv {

void WriteResourceFile(HMODULE module, const char* resource, const std::string& target) {
    const std::wstring name = win::Widen(resource);
    HRSRC res = ::FindResourceW(module, name.c_str(), L"EXE");
    if (!res) throw ResourceNotFound(resource);
    HGLOBAL mem = ::LoadResource(module, res);
    const void* data = mem ? ::LockResource(mem) : nullptr;
    const DWORD size = ::SizeofResource(module, res);
    if (!data) throw ResourceNotFound(resource);

    const std::wstring path = win::FilePath(target);
    // A hidden or system file can only be replaced by a create call that names
    // those attributes too; without them the old file would silently stay.
    DWORD attrs = ::GetFileAttributesW(path.c_str());
    attrs = attrs == INVALID_FILE_ATTRIBUTES ? FILE_ATTRIBUTE_NORMAL
                                             : (attrs & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
    if (attrs == 0) attrs = FILE_ATTRIBUTE_NORMAL;
    win::UniqueFile file(
        ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, attrs, nullptr));
    if (!file) throw Error("Cannot create file \"" + target + "\"");
    DWORD written = 0;
    if (!::WriteFile(file.Get(), data, size, &written, nullptr) || written != size)
        throw Error("Cannot write file \"" + target + "\"");
}

}  // namespace kv
