#pragma once

#include "imagelib/metafile/metafile_geometry.h"

#include <cstdint>

// How logical coordinates reach the reference device: the world transform,
// then the map mode's scaling of the window onto the viewport. The device
// context saves and restores it with the rest of its state.
namespace metafile {

enum MapMode : int {
    kMapText = 1,
    kMapLoMetric = 2,
    kMapHiMetric = 3,
    kMapLoEnglish = 4,
    kMapHiEnglish = 5,
    kMapTwips = 6,
    kMapIsotropic = 7,
    kMapAnisotropic = 8,
};

// A rectangle in logical coordinates.
struct LogicalRect {
    double left, top, right, bottom;
};

// What the page mapping needs of the device it maps onto; fixed for one
// playback.
struct ReferenceDevice {
    // Pixels per millimetre, for the fixed map modes.
    double pixelsPerMmX = 96 / 25.4;
    double pixelsPerMmY = 96 / 25.4;
    // Windows metafiles are played as a converted one is: every map mode
    // but isotropic scales the window onto the viewport.
    bool windowsMapping = false;
};

class CPageMapping {
public:
    int MapMode() const { return m_mapMode; }
    void SetMapMode(int mode);
    void SetWindowOrg(double x, double y);
    void SetWindowExt(double x, double y);
    void SetViewportOrg(double x, double y);
    void SetViewportExt(double x, double y);
    void OffsetWindowOrg(double dx, double dy);
    void OffsetViewportOrg(double dx, double dy);
    void ScaleWindowExt(double xNum, double xDenom, double yNum, double yDenom);
    void ScaleViewportExt(double xNum, double xDenom, double yNum, double yDenom);

    const Affine& World() const { return m_world; }
    void SetWorldTransform(const Affine& transform);
    // Modes: 1 identity, 2 multiply on the left, 3 on the right, 4 set.
    void ModifyWorldTransform(const Affine& transform, std::uint32_t mode);

    // Page space (after the world transform) to device pixels.
    Affine PageTransform(const ReferenceDevice& device) const;
    // Logical coordinates to device pixels.
    Affine LogicalToDevice(const ReferenceDevice& device) const {
        return m_world.Then(PageTransform(device));
    }

private:
    int m_mapMode = kMapText;
    Point m_windowOrg{0, 0};
    Point m_windowExt{1, 1};
    Point m_viewportOrg{0, 0};
    Point m_viewportExt{1, 1};
    Affine m_world;
};

}  // namespace metafile
