#pragma once
// The one table of a scene folder's files: the names the program reads from
// its working directory, which stillflow-new and make_demo_scene write and
// the export reads through the program's start-up. Code everywhere else
// names an entry instead of spelling the name out.

// The pictures, the flow document and the music.
inline constexpr const char* pictureFileName = "vornapozadi.png";  // the working picture (required)
inline constexpr const char* overlayFileName = "vorex.png";        // drawn over the animation (optional)
inline constexpr const char* flowDocumentFileName = "vorna2.flw";  // picture, mask, guides (optional; Ctrl+S writes it)
inline constexpr const char* musicFileName = "track.wav";          // played in a loop (optional)
// Which photo the scene was made from (its size and digest): hidden, written
// by stillflow-new, read by the program to find the scene of a photo it is
// given (optional).
inline constexpr const char* photoRecordFileName = ".stillflow-photo";

// The shader files of the animation passes (all required): the vertex
// shader every pass shares and one fragment shader per pass.
inline constexpr const char* passVertexFileName = "pass.vert";
inline constexpr const char* identityFragmentFileName = "identity.frag";
inline constexpr const char* advectFragmentFileName = "advect.frag";
inline constexpr const char* displaceFragmentFileName = "displace.frag";

inline constexpr const char* shaderFileNames[] = {passVertexFileName, identityFragmentFileName,
                                                  advectFragmentFileName, displaceFragmentFileName};
