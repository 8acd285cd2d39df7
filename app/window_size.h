#pragma once

#include <QSize>

// Room a window manager's frame takes around a window: a title bar and thin
// borders.
constexpr QSize kWindowFrameAllowance{8, 40};

// The size a window opens at: `wanted` (the remembered size, or the one its
// layout asks for) with its frame within `available` (the screen without its
// panels), but never below `minimum`. An empty `available` (no screen yet)
// limits nothing.
QSize windowSizeOnScreen(QSize wanted, QSize minimum, QSize available);
