#include "platform/gui_options.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>
#include <sstream>

#include "platform/texture_side_guess.h"

namespace {
// A frame time beyond an hour is a typo, and keeps frame counts in
// nanoseconds far from overflowing the 64-bit counter.
constexpr double maxFrameTimeSeconds = 3600.0;

bool parseInt(const std::string& text, int& value) {
    const char* first = text.data();
    const char* last = first + text.size();
    if (first != last && *first == '+') ++first;
    const auto result = std::from_chars(first, last, value);
    return result.ec == std::errc() && result.ptr == last && first != last;
}

bool parseDouble(const std::string& text, double& value) {
    const char* first = text.data();
    const char* last = first + text.size();
    const auto result = std::from_chars(first, last, value);
    return result.ec == std::errc() && result.ptr == last && first != last;
}

bool parseSize(const std::string& text, int& width, int& height) {
    const auto x = text.find('x');
    if (x == std::string::npos) return false;
    return parseInt(text.substr(0, x), width) && parseInt(text.substr(x + 1), height) && width >= 1 &&
           height >= 1 && width <= kLargestAnyGpuSide && height <= kLargestAnyGpuSide;
}

bool isOption(const char* arg) {
    static const char* const names[] = {"-platform", "-size", "-frames", "-script", "-grab", "-frame-time", "-panel"};
    return std::any_of(std::begin(names), std::end(names), [&](const char* n) { return std::strcmp(arg, n) == 0; });
}
}  // namespace

bool parseGuiOptions(int& argc, char** argv, GuiOptions& options, std::string& error) {
    GuiOptions parsed;
    bool sawOffscreenOnly = false;
    std::string offscreenOnlyName;
    std::vector<char*> rest;
    for (int i = 0; i < argc; ++i) {
        const char* arg = argv[i];
        if (i == 0 || !isOption(arg)) {
            rest.push_back(argv[i]);
            continue;
        }
        const std::string name = arg;
        if (name == "-panel") {
            parsed.showPanel = true;
            continue;
        }
        if (i + 1 >= argc) {
            error = "option " + name + " needs a value";
            return false;
        }
        const std::string value = argv[++i];
        if (name == "-platform") {
            if (value == "offscreen") {
                parsed.backend = GuiBackend::Offscreen;
            } else if (value == "window") {
                parsed.backend = GuiBackend::Window;
            } else {
                error = "unknown platform '" + value + "' (use offscreen or window)";
                return false;
            }
            continue;
        }
        if (name == "-frames") {
            if (!parseInt(value, parsed.closeAtFrame) || parsed.closeAtFrame < 0) {
                error = "-frames needs a whole number of frames >= 0, got '" + value + "'";
                return false;
            }
            continue;
        }
        // The rest only make sense without a window.
        sawOffscreenOnly = true;
        offscreenOnlyName = name;
        if (name == "-size") {
            if (!parseSize(value, parsed.width, parsed.height)) {
                error = "-size needs WxH with sides from 1 to " + std::to_string(kLargestAnyGpuSide) + ", got '" +
                        value + "'";
                return false;
            }
        } else if (name == "-script") {
            if (value.empty()) {
                error = "-script needs a file name";
                return false;
            }
            parsed.scriptPath = value;
        } else if (name == "-grab") {
            if (value.empty()) {
                error = "-grab needs a folder name";
                return false;
            }
            parsed.grabDir = value;
        } else if (name == "-frame-time") {
            double seconds = 0.0;
            if (!parseDouble(value, seconds) || !(seconds > 0.0) || seconds > maxFrameTimeSeconds ||
                std::llround(seconds * 1e9) < 1) {
                error = "-frame-time needs seconds > 0 (at most 3600), got '" + value + "'";
                return false;
            }
            parsed.frameTime = seconds;
        }
    }
    if (sawOffscreenOnly && parsed.backend != GuiBackend::Offscreen) {
        error = "option " + offscreenOnlyName + " needs -platform offscreen";
        return false;
    }
    for (std::size_t i = 0; i < rest.size(); ++i) argv[i] = rest[i];
    argc = static_cast<int>(rest.size());
    argv[argc] = nullptr;
    options = parsed;
    return true;
}

namespace {
// The script words of the keys and buttons, from the one table.
struct KeyWord {
    Key key;
    const char* word;
};
#define STILLFLOW_KEY_WORD(name, ...) {Key::name, #name},
constexpr KeyWord keyWords[] = {STILLFLOW_GUI_KEYS(STILLFLOW_KEY_WORD)};
#undef STILLFLOW_KEY_WORD

struct ButtonWord {
    MouseButton button;
    const char* word;
};
#define STILLFLOW_BUTTON_WORD(name, code, word, ...) {MouseButton::name, word},
constexpr ButtonWord buttonWords[] = {STILLFLOW_GUI_BUTTONS(STILLFLOW_BUTTON_WORD)};
#undef STILLFLOW_BUTTON_WORD

bool sameWordIgnoringCase(const std::string& a, const char* b) {
    const std::size_t length = std::strlen(b);
    if (a.size() != length) return false;
    for (std::size_t i = 0; i < length; ++i) {
        const auto lower = [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

// The entry whose word is `word`, in any case, or null.
template <typename Entry, std::size_t N>
const Entry* findWord(const Entry (&entries)[N], const std::string& word) {
    for (const Entry& entry : entries) {
        if (sameWordIgnoringCase(word, entry.word)) return &entry;
    }
    return nullptr;
}

// "a, b or c": the words a script may use, for error lines.
template <typename Entry, std::size_t N>
std::string listWords(const Entry (&entries)[N]) {
    std::string list;
    for (std::size_t i = 0; i < N; ++i) {
        if (i > 0) list += i + 1 == N ? " or " : ", ";
        list += entries[i].word;
    }
    return list;
}

// What follows the event's word on the line, without the blanks around it:
// a dropped path may hold blanks of its own.
std::string restOfLine(const std::string& line, const std::string& eventWord) {
    const std::size_t at = line.find(eventWord, line.find_first_not_of(" \t\r0123456789+"));
    if (at == std::string::npos) return "";
    const std::size_t first = line.find_first_not_of(" \t\r", at + eventWord.size());
    if (first == std::string::npos) return "";
    const std::size_t last = line.find_last_not_of(" \t\r");
    return line.substr(first, last - first + 1);
}

// Parses the words of one non-empty line (`line` itself, without its
// comment, for the events that take the rest of it); false with the reason
// in error.
bool parseScriptLine(const std::string& line, const std::vector<std::string>& words, ScriptEvent& out,
                     std::string& error) {
    if (!parseInt(words[0], out.frame) || out.frame < 0) {
        error = "frame number must be a whole number >= 0, got '" + words[0] + "'";
        return false;
    }
    if (words.size() < 2) {
        error = "missing event after frame number";
        return false;
    }
    const std::string& name = words[1];
    const std::size_t argCount = words.size() - 2;
    auto expectArgs = [&](std::size_t n, const char* usage) {
        if (argCount == n) return true;
        error = std::string("expected '") + usage + "'";
        return false;
    };
    InputEvent& e = out.event;
    if (name == "move") {
        if (!expectArgs(2, "move X Y")) return false;
        e.type = InputEventType::Move;
        if (!parseInt(words[2], e.x) || !parseInt(words[3], e.y)) {
            error = "move needs whole-number pixel coordinates";
            return false;
        }
    } else if (name == "press" || name == "release") {
        if (!expectArgs(1, "press|release left|right")) return false;
        e.type = name == "press" ? InputEventType::Press : InputEventType::Release;
        const ButtonWord* button = findWord(buttonWords, words[2]);
        if (!button) {
            error = "unknown mouse button '" + words[2] + "' (use " + listWords(buttonWords) + ")";
            return false;
        }
        e.button = button->button;
    } else if (name == "wheel") {
        if (!expectArgs(1, "wheel DELTA")) return false;
        e.type = InputEventType::Wheel;
        if (!parseInt(words[2], e.wheelDelta)) {
            error = "wheel needs a whole-number delta, got '" + words[2] + "'";
            return false;
        }
    } else if (name == "keydown" || name == "keyup") {
        if (!expectArgs(1, "keydown|keyup NAME")) return false;
        e.type = name == "keydown" ? InputEventType::KeyDown : InputEventType::KeyUp;
        const KeyWord* key = findWord(keyWords, words[2]);
        if (!key) {
            error = "unknown key '" + words[2] + "' (use " + listWords(keyWords) + ")";
            return false;
        }
        e.key = key->key;
    } else if (name == "close") {
        if (!expectArgs(0, "close")) return false;
        e.type = InputEventType::Close;
    } else if (name == "drop") {
        e.type = InputEventType::Drop;
        e.path = restOfLine(line, name);
        if (e.path.empty()) {
            error = "expected 'drop PATH'";
            return false;
        }
    } else {
        error = "unknown event '" + name + "'";
        return false;
    }
    return true;
}
}  // namespace

bool parseGuiScript(const std::string& text, std::vector<ScriptEvent>& events, int& errorLine,
                    std::string& error) {
    std::vector<ScriptEvent> parsed;
    std::istringstream lines(text);
    std::string line;
    int lineNumber = 0;
    while (std::getline(lines, line)) {
        ++lineNumber;
        const auto hash = line.find('#');
        if (hash != std::string::npos) line.erase(hash);
        std::istringstream wordStream(line);
        std::vector<std::string> words;
        for (std::string w; wordStream >> w;) words.push_back(w);
        if (words.empty()) continue;
        ScriptEvent event;
        if (!parseScriptLine(line, words, event, error)) {
            errorLine = lineNumber;
            return false;
        }
        parsed.push_back(event);
    }
    std::stable_sort(parsed.begin(), parsed.end(),
                     [](const ScriptEvent& a, const ScriptEvent& b) { return a.frame < b.frame; });
    events = std::move(parsed);
    return true;
}
