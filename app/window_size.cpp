#include "app/window_size.h"

QSize windowSizeOnScreen(QSize wanted, QSize minimum, QSize available) {
    if (!available.isEmpty()) wanted = wanted.boundedTo(available - kWindowFrameAllowance);
    return wanted.expandedTo(minimum);
}
