#pragma once
// The one guess at the GPU made before any GL context exists.

// The widest and tallest texture any GL implementation offers (desktop GPUs
// stop at 16384 or 32768). Before a context exists it bounds every side the
// program is asked for: a picture to animate, the offscreen widget, a
// scene tool's picture, an export's width. Once a context is current the
// GPU's own figure decides (largestTextureSide, gpu/gpu_limits.h).
constexpr int kLargestAnyGpuSide = 32768;
