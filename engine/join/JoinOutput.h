// Where a join puts the file it restores: the target folder, the gathering file beside the
// output, and whether the output's name may be taken.
#pragma once
#include <string>

#include "engine/Hooks.h"

// The target folder is there or made; false after telling the user.
bool MakeOutputFolder(const std::string& targetFolder, JoinHooks& hooks);

// The file in the target folder that a join gathers the pieces in before it gives it the
// output name.
std::string GatheringPath(const std::string& outputPath);

// Whether the output name is free or taken by a file the join may replace; false after telling
// the user, so that no piece is copied in vain.
bool OutputReplaceable(const std::string& outputPath, JoinHooks& hooks);

// What the status bar and the completion text say of the join: "Востановление файла <output>".
std::string RestoringText(const std::string& outputPath);

// Tells the user that the output could not be made.
void ShowOutputNotMade(const std::string& outputPath, JoinHooks& hooks);
// Tells the user that the output could not be made, or replaced when a file holds its name.
void ShowOutputRefused(const std::string& outputPath, JoinHooks& hooks);
