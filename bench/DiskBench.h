// The disk modes of varnok_bench: a set split with recovery volumes onto scripted disks of one
// size, and the join straight from those disks with every disk present or one piece disk lost.
#pragma once
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "bench/QuietHooks.h"

// Times work, then runs settle untimed (false: the outcome is wrong), and reports the figures;
// the process's exit code.
using Measure = std::function<int(QuietHooks& hooks, const std::function<void()>& work,
                                  const std::function<bool()>& settle)>;

// Runs "disk-set SOURCE DRIVE\ DISKS SLICES" or "disk-join DRIVE\ FOLDER\ LOST" (args without
// the program's name) through measure; its exit code, or nothing when args are neither.
std::optional<int> RunDiskMode(const std::vector<std::string>& args, const Measure& measure);
