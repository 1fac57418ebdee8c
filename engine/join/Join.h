// Joining a piece set back into the whole file.
#pragma once
#include <string>

#include "engine/join/DiskJoin.h"
#include "engine/Hooks.h"
#include "engine/join/JoinOutput.h"

// Restores the file of the set that the chosen piece belongs to into the target folder
// (its text ends in "\" whenever it is not empty) and tells every outcome through the hooks.
// The file at the output name is replaced only when every piece was appended in full.
void JoinPieces(const std::string& chosenPiecePath, const std::string& targetFolder,
                JoinHooks& hooks);
// The same, with the drives' questions put to system; a set on a removable drive whose folder
// lacks pieces of it is gathered disk by disk.
void JoinPieces(const std::string& chosenPiecePath, const std::string& targetFolder,
                JoinHooks& hooks, const JoinSystem& system);
