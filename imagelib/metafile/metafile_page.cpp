#include "imagelib/metafile/metafile_page.h"

#include <algorithm>
#include <cmath>

namespace metafile {

void CPageMapping::SetMapMode(int mode) {
    if (mode >= kMapText && mode <= kMapAnisotropic) m_mapMode = mode;
}

void CPageMapping::SetWindowOrg(double x, double y) {
    m_windowOrg = {x, y};
}

void CPageMapping::SetWindowExt(double x, double y) {
    // A zero extent would divide by zero; the platform refuses it too.
    if (x != 0 && y != 0 && std::isfinite(x) && std::isfinite(y)) m_windowExt = {x, y};
}

void CPageMapping::SetViewportOrg(double x, double y) {
    m_viewportOrg = {x, y};
}

void CPageMapping::SetViewportExt(double x, double y) {
    if (x != 0 && y != 0 && std::isfinite(x) && std::isfinite(y)) m_viewportExt = {x, y};
}

void CPageMapping::OffsetWindowOrg(double dx, double dy) {
    m_windowOrg = {m_windowOrg.x + dx, m_windowOrg.y + dy};
}

void CPageMapping::OffsetViewportOrg(double dx, double dy) {
    m_viewportOrg = {m_viewportOrg.x + dx, m_viewportOrg.y + dy};
}

void CPageMapping::ScaleWindowExt(double xNum, double xDenom, double yNum, double yDenom) {
    if (xDenom == 0 || yDenom == 0) return;
    SetWindowExt(m_windowExt.x * xNum / xDenom, m_windowExt.y * yNum / yDenom);
}

void CPageMapping::ScaleViewportExt(double xNum, double xDenom, double yNum, double yDenom) {
    if (xDenom == 0 || yDenom == 0) return;
    SetViewportExt(m_viewportExt.x * xNum / xDenom, m_viewportExt.y * yNum / yDenom);
}

void CPageMapping::SetWorldTransform(const Affine& transform) {
    if (transform.IsUsable()) m_world = transform;
}

void CPageMapping::ModifyWorldTransform(const Affine& transform, std::uint32_t mode) {
    Affine result = m_world;
    switch (mode) {
        case 1:
            result = Affine{};
            break;
        case 2:
            result = transform.Then(m_world);
            break;
        case 3:
            result = m_world.Then(transform);
            break;
        case 4:
            result = transform;
            break;
        default:
            return;
    }
    if (result.IsUsable()) m_world = result;
}

Affine CPageMapping::PageTransform(const ReferenceDevice& device) const {
    int mode = m_mapMode;
    if (device.windowsMapping && mode != kMapIsotropic) mode = kMapAnisotropic;
    double sx = 1;
    double sy = 1;
    auto fixed = [&](double millimetresPerUnit) {
        sx = device.pixelsPerMmX * millimetresPerUnit;
        sy = -device.pixelsPerMmY * millimetresPerUnit;
    };
    switch (mode) {
        case kMapLoMetric:
            fixed(0.1);
            break;
        case kMapHiMetric:
            fixed(0.01);
            break;
        case kMapLoEnglish:
            fixed(0.254);
            break;
        case kMapHiEnglish:
            fixed(0.0254);
            break;
        case kMapTwips:
            fixed(25.4 / 1440);
            break;
        case kMapIsotropic:
        case kMapAnisotropic:
            sx = m_viewportExt.x / m_windowExt.x;
            sy = m_viewportExt.y / m_windowExt.y;
            if (mode == kMapIsotropic) {
                const double scale = std::min(std::fabs(sx), std::fabs(sy));
                sx = std::copysign(scale, sx);
                sy = std::copysign(scale, sy);
            }
            break;
        default:
            break;
    }
    return {sx, 0, 0, sy, m_viewportOrg.x - m_windowOrg.x * sx, m_viewportOrg.y - m_windowOrg.y * sy};
}

}  // namespace metafile
