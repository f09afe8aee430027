#pragma once
// The audio callback's one piece of arithmetic, kept apart so it can be
// checked without a sound device.

#include <cstddef>
#include <cstdint>
#include <vector>

// Copies count bytes of the decoded track, starting at position, into out.
// Looping, the byte after the track's last is its first again, so the seam
// is as clean as the track itself; not looping, the copy stops at the end.
// Advances position; returns how many bytes were copied (count when looping
// a non-empty track).
std::size_t readTrack(const std::vector<std::uint8_t>& track, std::size_t& position, bool loop, std::uint8_t* out,
                      std::size_t count);
