#pragma once
// Flow synthesis: the dense flow field computed from the guide segments.
//
// Every cell (x, y), taken at the position (x, y), gets the mean of the guide
// vectors (x1 - x0, y1 - y0) weighted by 1 / d^2, d being the cell's distance
// to each guide's first endpoint, times flowScale. A guide whose first
// endpoint sits exactly on the cell adds nothing to that cell. No guides give
// an all-zero field.
//
// Both functions fill a field that the caller has already sized (the working
// picture's W x H); they allocate nothing that outlives the call, touch no GL
// state and print nothing. The caller owns the dirty flag, the diagnostic line
// and the texture upload.

#include <vector>

#include "flow/grid.h"
#include "flow/guides.h"

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
