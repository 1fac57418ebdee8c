// File names between the system's wide form and the program's ANSI texts.
#include "ui/AnsiNames.h"

#include <windows.h>

std::wstring WideFromAnsi(const std::string& text) {
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    std::wstring wide(MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), size, wide.data(), static_cast<int>(wide.size()));
    return wide;
}

std::string AnsiNameOrEmpty(const std::wstring& name) {
    if (name.empty()) return {};
    const int size = static_cast<int>(name.size());
    // No best fit: a character the code page lacks must be noticed, never be made another one.
    BOOL lost = FALSE;
    const int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, name.data(), size, nullptr,
                                           0, nullptr, &lost);
    if (length <= 0 || lost) return {};
    std::string text(length, '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, name.data(), size, text.data(), length,
                        nullptr, &lost);
    return lost ? std::string() : text;
}
