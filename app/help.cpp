#include "app/help.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string>

#include "app/photo_scene.h"
#include "flow/scene_files.h"

namespace {

// Where the meanings are wrapped, so the help reads in a plain terminal.
constexpr std::size_t helpLineWidth = 100;

// Two columns; a meaning too long for the line goes on below, aligned.
template <std::size_t N>
void printTable(std::FILE* out, const HelpLine (&lines)[N]) {
    std::size_t width = 0;
    for (const HelpLine& line : lines) width = std::max(width, std::strlen(line.term));
    const std::size_t indent = 2 + width + 2;
    const std::size_t room = helpLineWidth > indent + 30 ? helpLineWidth - indent : 30;
    for (const HelpLine& line : lines) {
        std::fprintf(out, "  %-*s  ", static_cast<int>(width), line.term);
        const std::string meaning = line.meaning;
        std::size_t start = 0;
        while (meaning.size() - start > room) {
            std::size_t cut = meaning.rfind(' ', start + room);
            if (cut == std::string::npos || cut <= start) cut = start + room;
            std::fprintf(out, "%s\n%*s", meaning.substr(start, cut - start).c_str(), static_cast<int>(indent), "");
            start = cut < meaning.size() && meaning[cut] == ' ' ? cut + 1 : cut;
        }
        std::fprintf(out, "%s\n", meaning.substr(start).c_str());
    }
}

}  // namespace

bool helpRequested(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) return true;
    }
    return false;
}

void printHelp(std::FILE* out) {
    std::fprintf(out,
                 "usage: stillflow [--help] [--max-side N] [PATH] [window-system options]\n"
                 "\n"
                 "Brings a still picture to life. It reads %s (the picture), %s (an overlay),\n"
                 "%s (the flow document), %s (the music) and the shader files from a scene folder,\n"
                 "and writes %s only when you save (Ctrl+S). PATH is the scene folder (default: the\n"
                 "working directory), or a picture: its scene folder is made beside it, named after it (the\n"
                 "picture upright, its longer side at most N pixels, %d unless --max-side says; 0: no\n"
                 "limit), and opened again when it is given next time.\n"
                 "\n"
                 "Controls:\n",
                 pictureFileName, overlayFileName, flowDocumentFileName, musicFileName, flowDocumentFileName,
                 kDefaultPhotoMaxSide);
    printTable(out, controlsHelp);
    std::fprintf(out, "\nWindow-system options:\n");
    printTable(out, guiOptionHelp);
}
