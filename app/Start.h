// The program's start: the main window, a path given on the command line, the run loop, and
// a start that can make no window.
#pragma once
#include <optional>
#include <string>

#include "app/MainWindow.h"

// The exit code of a start that could make no window.
constexpr int NoWindowExitCode = 3;
// What the user is told then, when a message box can still be shown.
inline constexpr char NoWindowText[] = "Невозможно создание окна программы!";

// Runs the program until its window closes and gives its exit code: 0, or NoWindowExitCode
// when the system made no window. given is the path on the command line, if any.
int RunVarnok(const std::optional<std::string>& given);

// A path given on the command line: a piece opens the join page with the piece, any other
// file the split page with the source, as the drop and the open dialog fill them.
void OpenGivenPath(MainWindow* w, const std::string& path);
