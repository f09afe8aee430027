# Writes a C++ source that holds the given shader files byte for byte, so that
# a tool can lay out a scene folder without a shaders/ folder beside it.
# Run as: cmake -DOUTPUT=file.cpp "-DFILES=a;b;c" -P embed_shaders.cmake
set(arrays "")
set(table "")
set(index 0)
foreach(file IN LISTS FILES)
  get_filename_component(name "${file}" NAME)
  file(READ "${file}" hex HEX)
  string(LENGTH "${hex}" hex_length)
  math(EXPR size "${hex_length} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  # A trailing 0 keeps the array non-empty for an empty file; it is not part
  # of the text.
  string(APPEND arrays "const unsigned char kText${index}[] = {${bytes}0};\n")
  string(APPEND table "    {\"${name}\", std::string_view(reinterpret_cast<const char*>(kText${index}), ${size})},\n")
  math(EXPR index "${index} + 1")
endforeach()

set(source "// Generated at build time from the shaders/ folder; edit those files instead.
#include \"gpu/builtin_shaders.h\"

namespace {
${arrays}
const std::vector<ShaderFileText> kBuiltinShaders = {
${table}};
}  // namespace

const std::vector<ShaderFileText>& builtinShaders() { return kBuiltinShaders; }
")

# Rewrite only on change, so that an unchanged shader folder rebuilds nothing.
set(old "")
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" old)
endif()
if(NOT old STREQUAL source)
  file(WRITE "${OUTPUT}" "${source}")
endif()
