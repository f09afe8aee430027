#pragma once
// Flow synthesis: the dense flow field computed from the guide segments.
//
// Every cell (x, y), taken at the position (x, y), gets the mean of the guide
// vectors (x1 - x0, y1 - y0) weighted by 1 / d^2, d being the cell's distance
// to each guide's first endpoint, times flowScale. A guide whose first
// endpoint sits exactly on the cell adds nothing to that cell. No guides give
// an all-zero field.
//
// Every vector is kept within what a frame can show: one longer than
// fastestFlowSpeed (field) keeps its direction at that length, and one that
// is not a number (sums that overflowed, from guides out at 1e30 or a
// flowScale of 1e30) is no motion. No sane scene comes near the bound, so its
// field is the plain weighted mean, bit for bit.
//
// Both functions fill a field that the caller has already sized (the working
// picture's W x H); they allocate nothing that outlives the call, touch no GL
// state and print nothing. The caller owns the dirty flag, the diagnostic line
// and the texture upload.

#include <vector>

#include "flow/grid.h"
#include "flow/guides.h"

// The fastest flow synthesised, in picture sides per second: at 60 a texel
// crosses the whole picture within each frame of a 60 Hz display, so nothing
// of the motion can be followed any more, and a faster one only carries the
// UV layers towards the end of the float range, where they turn into
// infinities and the picture black. (A hand-drawn flow moves a fraction of
// a side per second.)
constexpr float kFastestFlowSidesPerSecond = 60.0f;

// kFastestFlowSidesPerSecond times the field's longer side, in picture
// pixels per second.
float fastestFlowSpeed(const FlowGrid& field);

// The literal one-cell-at-a-time loop, kept as the oracle the fast version is
// checked against. Slow: W * H * N distance evaluations on one thread.
void computeFlowFieldReference(const std::vector<GuideSegment>& guides, float flowScale, FlowGrid& field);

// The one the program uses: the same result bit for bit on every cell,
// vectorised across cells with the best kernel this CPU runs, and split in row
// bands over a pool of worker threads that is started on first use and kept
// for the whole run. Returns once every band is written. Calls from several
// threads are served one after the other.
void computeFlowField(const std::vector<GuideSegment>& guides, float flowScale, FlowGrid& field);

// The instruction sets the fast synthesis is compiled for, from the most
// portable up. Every kernel gives the oracle's result bit for bit; tests and
// benchmarks pick one to check or time each path the program may take.
enum class SynthesisKernel { plain, avx2, avx512 };

// Whether this build and this CPU (and OS) can run the kernel; plain always.
bool synthesisKernelAvailable(SynthesisKernel kernel);

// The kernel computeFlowField uses: the widest available one.
SynthesisKernel bestSynthesisKernel();

// computeFlowField on the given kernel, which must be available.
void computeFlowFieldWith(SynthesisKernel kernel, const std::vector<GuideSegment>& guides, float flowScale,
                          FlowGrid& field);
