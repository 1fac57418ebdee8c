// Functions looked up when the program runs rather than imported, so that it still starts on a
// Windows without them (XP lacks CNG, the slim locks and more).
#pragma once
#include <windows.h>

// The function of that name in module, as Function; null when either is missing.
template <typename Function> Function LookUpFunction(HMODULE module, const char* name) {
    if (!module) return nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}
