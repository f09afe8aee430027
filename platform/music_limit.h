#pragma once
// The one limit on the music of a scene, shared by the program (which plays
// track.wav), the export (which puts it under a video) and stillflow-new
// (which makes track.wav from any sound file), so that a track one of them
// takes is taken by all three.
//
// An hour: the longest video the export makes, and about 635 MB of CD-quality
// samples held in memory while the program plays it. Each of them decides
// from the length a file declares (a WAV header, FFmpeg's stream duration)
// before decoding, so a longer track costs no more than reading its header.

constexpr double kLongestMusicSeconds = 3600.0;

// "1 hour": the limit as the programs' lines name it.
constexpr const char* kLongestMusicText = "1 hour";
