// A progress bar showing a percent.
#pragma once
#include "ui/Control.h"

// A bar from 0 to 100, made hidden; it shows once placed and made visible.
Control* CreateProgressBar(Control* parent);
void SetProgressPercent(Control* bar, int percent);
