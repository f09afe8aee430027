#include "gpu/gl_runtime.h"

#include <GL/glew.h>

void loadGlFunctions() { glewInit(); }

void waitForGpu() { glFinish(); }
