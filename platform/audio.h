#pragma once
// The music: exactly the three calls that start-up makes. Plays a WAV file
// in a loop on the default audio device, on its own thread. Every failure
// leaves the program running on without sound: the calls return false or 0.
// No device and no file are silent; a file that is there but unusable (not
// a regular file, unreadable, not a WAV file, or declaring more than
// kLongestMusicSeconds or 1 GiB of music) gets one line on standard error
// saying why, with or without a device; a track too long is refused from
// its header, before a sample is read.

#include <cstdint>

constexpr std::uint32_t BASS_SAMPLE_LOOP = 4;  // loop the stream forever

// device -1 is the default device; freq the output rate in Hz.
bool BASS_Init(int device, std::uint32_t freq, std::uint32_t flags, void* win, const void* clsid);
// mem false: file is a NUL-terminated path, played whole (offset and length
// 0; a part of a file is not supported); mem true: length bytes from offset
// of the block at file. Returns a stream handle, 0 on failure.
std::uint32_t BASS_StreamCreateFile(bool mem, const void* file, std::uint64_t offset, std::uint64_t length,
                                    std::uint32_t flags);
bool BASS_ChannelPlay(std::uint32_t handle, bool restart);
// Stops the stream and gives back its decoded music (opening another scene
// ends the old scene's track); the handle is dead afterwards. False for a
// handle that plays nothing.
bool BASS_StreamFree(std::uint32_t handle);
