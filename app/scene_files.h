#pragma once
// The files the program reads from its working directory: a scene folder.

constexpr const char* pictureFileName = "vornapozadi.png";
constexpr const char* overlayFileName = "vorex.png";
constexpr const char* flowDocumentFileName = "vorna2.flw";
constexpr const char* musicFileName = "track.wav";
