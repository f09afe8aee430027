#pragma once
// The freeze: the synthesised flow held still where the mask is painted. A
// step of its own after the synthesis (which stays as it is), applied before
// the flow reaches the GPU passes and the particles.

#include "flow/grid.h"

// Multiplies every cell of `field` by (255 - m) / 255, m being the mask's
// cell: a cell painted to 255 holds exactly (0, 0) (whatever it held), half-painted ones move
// at half speed, and unpainted ones keep their vector bit for bit. A mask
// of another size than the field (or an empty one) leaves the field alone.
void freezeFlow(const ByteMask& mask, FlowGrid& field);
