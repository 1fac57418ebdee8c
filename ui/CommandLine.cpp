// The command line read in its wide form, so that a name the code page cannot hold is told
// apart from its look-alike, as with dropped files.
#include "ui/CommandLine.h"

#include <windows.h>

#include <shellapi.h>

#include "ui/AnsiNames.h"

std::optional<std::string> FirstArgument(const std::wstring& commandLine) {
    // The system's own splitting: quotes around names with blanks, and backslashes before
    // quotes, as the shell writes them.
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(commandLine.c_str(), &count);
    if (!arguments) return std::nullopt;
    std::wstring first = count > 1 ? arguments[1] : L"";
    LocalFree(arguments);
    if (first.empty()) return std::nullopt;
    return AnsiNameOrEmpty(first);
}

std::optional<std::string> FirstCommandLineArgument() { return FirstArgument(GetCommandLineW()); }
