#pragma once
// What `stillflow PATH` (or a file dropped on the window) names: a scene
// folder, opened as it is; or a picture file, whose scene folder beside it
// (named after it) is made from it the first time and opened again later
// (app/photo_scene.h).

#include <string>

// The scene folder for `path`. A folder is taken as it is (whether it holds
// a scene is for the opening to find). For a picture, the folder made from
// it before, or a new one made now with `maxSide`: `made` then holds one
// line saying what was made. False, with one line in `error`, when the path
// is missing, neither a folder nor a picture, or its scene cannot be made.
bool sceneFolderForPath(const std::string& path, int maxSide, std::string& folder, std::string& made,
                        std::string& error);
