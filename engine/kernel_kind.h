// The five kernel kinds and which drawing mode uses which.
#pragma once

#include <cstdint>

namespace qv {

/// Kernel kinds: 1 (modes 1, 3..25), 2 (mode 2), 3 (mode 26), 4 (mode 27), 5 (mode 28).
enum class KernelKind : std::int32_t {
    Plain = 1,       ///< |z|^2 > bailout
    RealSquare = 2,  ///< 2 zr^2 >= bailout (deep: zr^2 + zr zi > bailout)
    Lagged = 3,      ///< zr^2 + zr zi > bailout, lagged fast test
    LaggedPlain = 4, ///< |z|^2 > bailout, lagged fast test
    MixedOrbit = 5,  ///< zr zi^2 + zr zi > bailout, modified map in the exact pass
};

/// The kernel kind that computes drawing mode 1..28 (modes outside that range use kind 1).
constexpr KernelKind kernelKindForMode(std::int32_t drawingMode)
{
    switch (drawingMode) {
    case 2:
        return KernelKind::RealSquare;
    case 26:
        return KernelKind::Lagged;
    case 27:
        return KernelKind::LaggedPlain;
    case 28:
        return KernelKind::MixedOrbit;
    default:
        return KernelKind::Plain;
    }
}

} // namespace qv
