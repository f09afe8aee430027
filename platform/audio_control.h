#pragma once
// How the GUI backends steer the audio of audio.h. Not for the program: it
// only ever makes the three calls of audio.h.

// From now on BASS_Init opens no device: offscreen runs are silent and
// deterministic. The offscreen backend calls it when it starts.
void silenceAudioOutput();
