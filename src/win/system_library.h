#pragma once
// DLLs that are not among the system's known DLLs are loaded from the system
// folder only: the program may run from a Downloads folder where anyone's
// file of the same name could lie beside it.
#include <windows.h>

namespace kv::win {

// Makes the system folder the only place this process loads DLLs from by
// default, and drops the current folder from the search. Call first thing.
void LoadDllsFromSystemOnly() noexcept;

// A DLL of the system folder, loaded once for the process; null when there is none.
HMODULE SystemLibrary(const wchar_t* name) noexcept;

// A function of a system DLL; null when the DLL or the function is missing.
template <class Function>
Function SystemFunction(const wchar_t* dll, const char* name) noexcept {
    const HMODULE module = SystemLibrary(dll);
    // The function's own type, as its header declares it.
    return module ? reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(module, name))) : nullptr;
}

}  // namespace kv::win
