// The window from photo to video, offscreen: the panel (-panel) clicked by
// a script, the export from the window, stillflow PATH from another working
// directory, and pictures and folders dropped on the window.

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <algorithm>
#include <set>
#include <sstream>
#include <string>

#include "flow/document.h"
#include "flow/scene_files.h"
#include "support/pictures.h"
#include "support/scene.h"
#include "support/scratch_folder.h"

namespace fs = std::filesystem;

namespace {

// The widget of these runs: tall enough for the whole panel, so that none
// of it scrolls.
constexpr int kWidth = 400;
constexpr int kHeight = 560;

// Where the panel's controls are in the widget (its top-left corner sits at
// (6, 6); rows as app/panel.cpp lays them out with Dear ImGui's own font and
// style), as a script clicks them.
struct Point {
    int x, y;
};
constexpr Point kParticlesSwitch = {23, 160};
constexpr Point kExportButton = {65, 505};
constexpr Point kFasterButton = {44, 298};  // the speed's "+"
constexpr Point kCancelButton = {45, 436};  // where the export's choices were, while it runs

// A left click at `at`: the pointer moves there in `frame`, the button goes
// down in the next and up in the one after.
std::string click(int frame, Point at) {
    std::ostringstream script;
    script << frame << " move " << at.x << " " << at.y << "\n"
           << frame + 1 << " press left\n"
           << frame + 2 << " release left\n";
    return script.str();
}

// A guide drawn right of the panel, over the picture as the fit shows it.
const std::string kGuide = "4 move 320 200\n5 press left\n6 move 345 205\n7 move 380 210\n8 release left\n";

ImageGrid detailedPicture(int width, int height) {
    return makePicture(width, height, [](int x, int y) {
        return Rgba8{static_cast<std::uint8_t>(x * 5), static_cast<std::uint8_t>(y * 7),
                     static_cast<std::uint8_t>((x * y) & 0xFF), 255};
    });
}

// Whether two grabs agree right of the panel (which names each scene
// folder, and shows which of its controls has the focus).
bool sameRightOfPanel(const ImageGrid& a, const ImageGrid& b) {
    constexpr int kPanelRight = 280;
    if (a.empty() || a.width != b.width || a.height != b.height) return false;
    for (int y = 0; y < a.height; ++y) {
        for (int x = kPanelRight; x < a.width; ++x) {
            if (std::memcmp(&a.at(x, y), &b.at(x, y), sizeof(Rgba8)) != 0) return false;
        }
    }
    return true;
}

bool sameGrab(const ImageGrid& a, const ImageGrid& b) {
    return !a.empty() && a.byteCount() == b.byteCount() && std::memcmp(a.data(), b.data(), a.byteCount()) == 0;
}

// The names in a folder, hidden ones included, as one sorted line.
std::string listing(const fs::path& folder) {
    std::set<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        names.insert(entry.path().filename().string());
    }
    std::string line;
    for (const std::string& name : names) line += name + " ";
    return line;
}

// The system's temporary folder, for the runs in its scope, is a scratch
// folder of its own, so that what a run leaves there shows.
class PrivateTemporaryFolder {
public:
    PrivateTemporaryFolder() : folder_("window-tmp") {
        const char* old = std::getenv("TMPDIR");
        had_ = old != nullptr;
        if (had_) old_ = old;
        setenv("TMPDIR", folder_.path().c_str(), 1);
    }
    ~PrivateTemporaryFolder() {
        if (had_) {
            setenv("TMPDIR", old_.c_str(), 1);
        } else {
            unsetenv("TMPDIR");
        }
    }
    const fs::path& path() const { return folder_.path(); }

private:
    ScratchFolder folder_;
    bool had_ = false;
    std::string old_;
};

TEST(Panel, ASwitchOrAStepperDoesWhatItsKeyDoes) {
    // A control clicked, against its key pressed with the pointer in the
    // same place: the same lines, and from the frame after on the same
    // frames.
    const ImageGrid picture = detailedPicture(48, 32);
    const struct {
        const char* name;
        Point control;
        const char* key;
    } cases[] = {
        {"the particles' switch", kParticlesSwitch, "P"},
        {"the speed's +", kFasterButton, "Equals"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Scene clicked("panel-click");
        clicked.writePicture(pictureFileName, picture);
        clicked.writeScript(kGuide + click(10, c.control));
        Scene pressed("panel-key");
        pressed.writePicture(pictureFileName, picture);
        // A button acts when it is released, in frame 12.
        pressed.writeScript(kGuide + "10 move " + std::to_string(c.control.x) + " " + std::to_string(c.control.y) +
                            "\n12 keydown " + c.key + "\n13 keyup " + c.key + "\n");
        const ProgramRun byClick = clicked.run(kWidth, kHeight, 16, "-panel");
        const ProgramRun byKey = pressed.run(kWidth, kHeight, 16, "-panel");
        ASSERT_EQ(byClick.exitCode, 0) << byClick.err;
        ASSERT_EQ(byKey.exitCode, 0) << byKey.err;
        EXPECT_EQ(byClick.out, byKey.out);
        EXPECT_FALSE(sameRightOfPanel(clicked.grab(9), clicked.grab(15))) << "the control changed nothing";
        for (const int frame : {14, 15}) {
            EXPECT_TRUE(sameRightOfPanel(clicked.grab(frame), pressed.grab(frame))) << frame;
        }
    }
}

TEST(Panel, ExportWritesTheSceneAsItStandsAndLeavesTheDocumentUnwritten) {
    const ImageGrid picture = detailedPicture(48, 32);
    Scene window("panel-export");
    window.writePicture(pictureFileName, picture);
    window.writeScript(kGuide + click(10, kExportButton));
    Scene saved("panel-export-saved");
    saved.writePicture(pictureFileName, picture);
    saved.writeScript(kGuide + "10 keydown Ctrl\n11 keydown S\n12 keyup S\n13 keyup Ctrl\n");
    {
        const PrivateTemporaryFolder temporary;
        const ProgramRun run = window.run(kWidth, kHeight, 14, "-panel");
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(listing(temporary.path()), "") << "the scene's copy was left behind";
    }
    EXPECT_TRUE(window.exists("loop.mp4")) << listing(window.dir());
    EXPECT_FALSE(window.exists(flowDocumentFileName));

    // The file stillflow-export makes from the document the same edit saves.
    const ProgramRun save = saved.run(kWidth, kHeight, 14);
    ASSERT_EQ(save.exitCode, 0) << save.err;
    ASSERT_TRUE(saved.exists(flowDocumentFileName));
    const std::string command = "cd '" + saved.dir().string() + "' && '" + STILLFLOW_EXPORT_BINARY +
                                "' -q loop.mp4 >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_TRUE(window.readFile("loop.mp4") == saved.readFile("loop.mp4")) << "not the file stillflow-export makes";
}

TEST(Panel, CancelOrEscapeStopsTheExportAndLeavesNothing) {
    const ImageGrid picture = detailedPicture(48, 32);
    const struct {
        const char* name;
        std::string stop;
    } cases[] = {
        {"the Cancel button", click(13, kCancelButton)},
        {"Escape", "14 keydown Escape\n15 keyup Escape\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Scene scene("panel-cancel");
        scene.writePicture(pictureFileName, picture);
        scene.writeScript(kGuide + click(10, kExportButton) + c.stop);
        const std::string before = listing(scene.dir());
        const PrivateTemporaryFolder temporary;
        const ProgramRun run = scene.run(kWidth, kHeight, 17, "-panel");
        ASSERT_EQ(run.exitCode, 0) << run.err;
        for (const char* name : {"grabs", "stdout.txt", "stderr.txt"}) fs::remove_all(scene.dir() / name);
        EXPECT_EQ(listing(scene.dir()), before);
        EXPECT_EQ(listing(temporary.path()), "");
    }
}

TEST(OpenPath, APhotoGetsItsSceneBesideItOnceAndAFolderOpensFromAnywhere) {
    ScratchFolder pictures("open-path-pictures");
    const ImageGrid photo = detailedPicture(40, 30);
    Scene elsewhere("open-path-cwd");  // the working directory of the runs
    elsewhere.writePicture("lake.png", photo);
    fs::copy_file(elsewhere.dir() / "lake.png", pictures.path() / "lake.png");
    const std::string photoPath = (pictures.path() / "lake.png").string();

    // 1. The photo: its scene is made beside it and opened (Ctrl+S saves
    //    there); named again, the same scene opens, nothing new is made.
    elsewhere.writeScript("3 keydown Ctrl\n4 keydown S\n5 keyup S\n6 keyup Ctrl\n");
    const ProgramRun first = elsewhere.run(64, 48, 8, "'" + photoPath + "'");
    ASSERT_EQ(first.exitCode, 0) << first.err;
    const fs::path scene = pictures.path() / "lake";
    EXPECT_NE(first.out.find("made " + scene.string()), std::string::npos) << first.out;
    EXPECT_TRUE(fs::exists(scene / pictureFileName));
    EXPECT_TRUE(fs::exists(scene / flowDocumentFileName));
    EXPECT_FALSE(elsewhere.exists(flowDocumentFileName));
    const ProgramRun again = elsewhere.run(64, 48, 8, "'" + photoPath + "'");
    ASSERT_EQ(again.exitCode, 0) << again.err;
    EXPECT_EQ(again.out.find("made "), std::string::npos) << again.out;
    EXPECT_EQ(listing(pictures.path()), "lake lake.png ");

    // 2. The folder itself, from elsewhere: the same scene, the same frames.
    const ProgramRun folder = elsewhere.run(64, 48, 8, "'" + scene.string() + "'");
    ASSERT_EQ(folder.exitCode, 0) << folder.err;
    EXPECT_TRUE(sameGrab(elsewhere.grab(7), elsewhere.grab(7)));

    // 3. What is neither: one line, exit code 1.
    const ProgramRun neither = elsewhere.run(64, 48, 8, "'" + (elsewhere.dir() / "input.txt").string() + "'");
    EXPECT_EQ(neither.exitCode, 1);
    EXPECT_NE(neither.err.find("neither a scene folder nor a picture"), std::string::npos) << neither.err;
}

TEST(Drop, AFolderOrAPictureDroppedOpensItAndAFailedOpenChangesNothing) {
    // Scene A is red, scene B green; a dropped photo is blue.
    const auto solid = [](std::uint8_t r, std::uint8_t g, std::uint8_t b) {
        return makePicture(32, 24, [=](int, int) { return Rgba8{r, g, b, 255}; });
    };
    Scene a("drop-a");
    a.writePicture(pictureFileName, solid(200, 0, 0));
    Scene b("drop-b");
    b.writePicture(pictureFileName, solid(0, 200, 0));
    b.writePicture("photo.png", solid(0, 0, 200));
    const fs::path photo = b.dir() / "photo.png";
    // The widget's middle shows the picture (no panel: offscreen without
    // -panel), and P hides the particles over it.
    const auto middle = [&a](int frame) { return a.grab(frame).at(32, 24); };
    const std::string hideParticles = "1 keydown P\n2 keyup P\n";

    // 1. A folder, then Ctrl+S: it is shown, and saving writes there.
    a.writeScript(hideParticles + "5 drop " + b.dir().string() +
                  "\n10 keydown Ctrl\n11 keydown S\n12 keyup S\n13 keyup Ctrl\n");
    ProgramRun run = a.run(64, 48, 16);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(middle(4).r, 200);
    EXPECT_EQ(middle(8).g, 200);
    EXPECT_TRUE(b.exists(flowDocumentFileName));
    EXPECT_FALSE(a.exists(flowDocumentFileName));

    // 2. A picture: its scene is made beside it and shown.
    a.writeScript(hideParticles + "5 drop " + photo.string() + "\n");
    run = a.run(64, 48, 10);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(fs::exists(b.dir() / "photo" / pictureFileName));
    EXPECT_EQ(middle(8).b, 200);

    // 3. What cannot be opened: one line, and the frames of a run without
    //    it. A scene whose shaders do not build is refused before anything
    //    of the current one goes (its build log is on standard output).
    Scene broken("drop-broken");
    broken.writePicture(pictureFileName, solid(0, 200, 0));
    broken.writeFile(displaceFragmentFileName, "void main() { this does not build }\n");
    a.writeScript("");
    const ProgramRun plain = a.run(64, 48, 10);
    const ImageGrid expected = a.grab(9);
    for (const std::string& bad :
         {(a.dir() / "missing").string(), (a.dir() / "input.txt").string(), broken.dir().string()}) {
        SCOPED_TRACE(bad);
        a.writeScript("5 drop " + bad + "\n");
        run = a.run(64, 48, 10);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        if (bad != broken.dir().string()) {
            EXPECT_EQ(run.out, plain.out);
        }
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        EXPECT_NE(run.err.find(bad), std::string::npos) << run.err;
        EXPECT_TRUE(sameGrab(a.grab(9), expected));
    }
}

}  // namespace
