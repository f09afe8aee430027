#pragma once
// Draws the guide marks (edit/guide_marks) with the fixed-function pipeline,
// in picture coordinates under the current projection.

#include "edit/guide_marks.h"

// Every list as lines over a dark halo, so that they show on light and dark
// parts of the picture alike: the guides, then the delete target over them,
// then the grab target. Leaves blending and texturing off, the line width 1
// and the colour white.
void drawGuideMarks(const GuideMarks& marks);
