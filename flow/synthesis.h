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
// vectorised across cells and split in row bands over a pool of worker
// threads that is started on first use and kept for the whole run. Returns
// once every band is written. Call from one thread at a time.
void computeFlowField(const std::vector<GuideSegment>& guides, float flowScale, FlowGrid& field);
