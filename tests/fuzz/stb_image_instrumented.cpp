// The stb_image decoder compiled into the fuzz target with the sanitizers
// and coverage instrumentation, in place of the prebuilt shared library.
#define STB_IMAGE_IMPLEMENTATION
#include <stb_image.h>
