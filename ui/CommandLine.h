// The program's command line: a file dropped onto the program's icon, opened with "Open with"
// or sent through "Send To" arrives there as the first argument.
#pragma once
#include <optional>
#include <string>

// The first argument after the program's own name in a wide command line, in the code page
// as the drops give names: empty when the code page cannot hold it; nothing when there is no
// argument (or an empty one).
std::optional<std::string> FirstArgument(const std::wstring& commandLine);
// The same for the command line this process was started with.
std::optional<std::string> FirstCommandLineArgument();
