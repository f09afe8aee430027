#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <filesystem>
#include <limits>
#include <optional>
#include <utility>
#include <string>
#include <vector>

#include <unistd.h>

#include "app/schedule.h"
#include "flow/grid.h"
#include "flow/scene_files.h"
#include "gpu/flow_upload.h"
#include "gpu/passes.h"
#include "gpu/shader_program.h"
#include "support/gl_test.h"
#include "support/pictures.h"
#include "support/scratch_folder.h"

namespace {

constexpr double frameTime = 1.0 / 60.0;
constexpr float phaseSpacing = 0.5f;

// Layer phases as the entry point starts them without a flow document.
std::array<double, 3> startPhases(double now) { return {now - 1.0, now - 0.5, now}; }

FlowGrid uniformField(std::int32_t width, std::int32_t height, Vec2 velocity) {
    FlowGrid field(width, height);
    for (std::int64_t i = 0; i < field.cellCount(); ++i) field.data()[i] = velocity;
    return field;
}

void runFrame(RenderTargets& targets, double t, float advectStep, std::array<double, 3>& phases,
              PictureFilter filter = PictureFilter::Fast) {
    ASSERT_FALSE(animateLayers(t, advectStep, phaseSpacing, phases, targets, filter));
}

// The picture filters, for the properties both must keep.
struct FilterCase {
    PictureFilter filter;
    const char* name;
};
constexpr FilterCase filterCases[] = {{PictureFilter::Fast, "fast"}, {PictureFilter::Sharp, "sharp"}};

// The loop must show the still picture exactly when nothing flows: identity
// layers address texel centres and the three weights sum to one, through
// every reset.
TEST(Passes, ZeroFlowShowsTheStillPictureThroughEveryFrame) {
    const ImageGrid picture = makeTestPicture(37, 23);
    for (const FilterCase& c : filterCases) {
        SCOPED_TRACE(c.name);
        RenderTargets targets;
        createRenderTargets(picture, targets);
        const double start = 0.3;
        std::array<double, 3> phases = startPhases(start);
        for (int frame = 0; frame < 100; ++frame) {
            const double t = start + frame * frameTime;
            runFrame(targets, t, frame == 0 ? 0.0f : static_cast<float>(frameTime), phases, c.filter);
            if (frame % 9 != 0) continue;
            const std::vector<std::uint8_t> shown = readRgbaBytes(targets.output);
            const std::uint8_t* expected = reinterpret_cast<const std::uint8_t*>(picture.data());
            int worst = 0;
            for (std::size_t i = 0; i < shown.size(); ++i) {
                worst = std::max(worst, std::abs(int(shown[i]) - int(expected[i])));
            }
            ASSERT_EQ(worst, 0) << "frame " << frame;
        }
    }
}

// With a uniform flow v, a layer of age a maps every texel to its position
// minus v * a: the picture seen through it has moved by +v * a, the way a
// preview particle moves by position + flow * dt. Checked through the
// scheduling, across resets, where a reset layer is advanced by its whole age.
TEST(Passes, LayersCarryThePictureAlongAUniformFlowAtParticleSpeed) {
    const std::int32_t width = 40;
    const std::int32_t height = 30;
    const Vec2 velocity{7.5f, -4.25f};
    RenderTargets targets;
    createRenderTargets(makeTestPicture(width, height), targets);
    uploadFlowField(uniformField(width, height, velocity), targets.flow);

    // Phases long past: every layer is due in the first frame.
    std::array<double, 3> phases = startPhases(-4.0);
    for (int frame = 0; frame < 120; ++frame) {
        const double t = frame * frameTime;
        runFrame(targets, t, frame == 0 ? 0.0f : static_cast<float>(frameTime), phases);
        if (frame % 13 != 0) continue;
        for (int layer = 0; layer < 3; ++layer) {
            const double age = t - phases[layer];
            const std::vector<float> mapping = readRgFloats(targets.current[layer]);
            float worst = 0.0f;
            for (std::int32_t y = 0; y < height; ++y) {
                for (std::int32_t x = 0; x < width; ++x) {
                    const std::size_t i = static_cast<std::size_t>(y * width + x) * 2u;
                    worst = std::max(worst, std::abs(mapping[i] - float(x - velocity.x * age)));
                    worst = std::max(worst, std::abs(mapping[i + 1] - float(y - velocity.y * age)));
                }
            }
            ASSERT_LT(worst, 2e-3f) << "frame " << frame << " layer " << layer << " age " << age;
        }
    }
}

// A smooth picture whose mirrored continuation past every edge is the same
// formula: cosines about the texel centres, mirror-symmetric about -1/2 and
// width - 1/2. Periods of 12 and 14 texels: detail that bilinear reads
// between texels visibly flatten.
float smoothPictureValue(float x, float y, std::int32_t width, std::int32_t height) {
    const float pi = 3.14159265f;
    const float across = std::cos(pi * (x + 0.5f) * (width / 6.0f) / width);
    const float down = std::cos(pi * (y + 0.5f) * (height / 7.0f) / height);
    return 128.0f + 100.0f * across * down;
}

// What the picture shows, read back: the blend of the picture moved by
// flow * age through each layer, between texels and past the edges (read
// mirrored) alike, within a unit of the bytes.
TEST(Passes, TheDisplacedPictureMovesWithTheFlowBetweenTexels) {
    const std::int32_t width = 48;
    const std::int32_t height = 35;
    ImageGrid picture(width, height);
    for (std::int32_t y = 0; y < height; ++y) {
        for (std::int32_t x = 0; x < width; ++x) {
            const auto value = static_cast<std::uint8_t>(std::lround(smoothPictureValue(x, y, width, height)));
            picture.at(x, y) = Rgba8{value, value, value, 255};
        }
    }
    const Vec2 velocity{2.3f, -1.7f};
    for (const FilterCase& c : filterCases) {
        SCOPED_TRACE(c.name);
        RenderTargets targets;
        createRenderTargets(picture, targets);
        uploadFlowField(uniformField(width, height, velocity), targets.flow);

        // Phases long past: every layer is reset in the first frame and
        // advanced by its whole age, so each layer's mapping is as old as its
        // phase says.
        std::array<double, 3> phases = startPhases(-4.0);
        for (int frame = 0; frame < 100; ++frame) {
            const double t = frame * frameTime;
            const float step = frame == 0 ? 0.0f : static_cast<float>(frameTime);
            std::array<double, 3> planned = phases;
            const LayerPlan plan = planLayers(t, step, phaseSpacing, planned);
            runFrame(targets, t, step, phases, c.filter);
            if (frame % 11 != 5) continue;

            const std::vector<std::uint8_t> shown = readRgbaBytes(targets.output);
            double worst = 0.0;
            for (std::int32_t y = 0; y < height; ++y) {
                for (std::int32_t x = 0; x < width; ++x) {
                    double expected = 0.0;
                    for (int layer = 0; layer < 3; ++layer) {
                        const double age = t - phases[layer];
                        expected += plan.weight[layer] * smoothPictureValue(float(x - velocity.x * age),
                                                                          float(y - velocity.y * age), width,
                                                                          height);
                    }
                    const std::uint8_t got = shown[(static_cast<std::size_t>(y) * width + x) * 4];
                    worst = std::max(worst, std::abs(got - expected));
                }
            }
            // Half a unit of rounding in the picture, half in the output.
            ASSERT_LE(worst, 1.0) << "frame " << frame;
        }
    }
}

// A flow far below 1/256 texel per frame still moves the layer: hardware
// filter weights would round such a step away.
TEST(Passes, SlowFlowStillMovesTheLayer) {
    RenderTargets targets;
    createRenderTargets(makeTestPicture(8, 8), targets);
    uploadFlowField(uniformField(8, 8, Vec2{0.06f, 0.0f}), targets.flow);
    for (int frame = 0; frame < 60; ++frame) {
        ASSERT_FALSE(advectPass(targets.current[0], targets.flow, targets.scratch[0], static_cast<float>(frameTime)));
        std::swap(targets.current[0], targets.scratch[0]);
    }
    const std::vector<float> mapping = readRgFloats(targets.current[0]);
    EXPECT_NEAR(mapping[(3 * 8 + 4) * 2], 4.0f - 0.06f, 1e-4f);
}

TEST(Passes, AdvectWithZeroStepCopiesTheLayerExactly) {
    const std::int32_t width = 11;
    const std::int32_t height = 9;
    FlowGrid layerValues(width, height);
    FlowGrid field(width, height);
    for (std::int32_t y = 0; y < height; ++y) {
        for (std::int32_t x = 0; x < width; ++x) {
            layerValues.at(x, y) = Vec2{x * 1.37f - y * 0.1f + 0.01f, std::sin(x * 0.7f) * 5.0f + y};
            field.at(x, y) = Vec2{float(y) - 4.0f, 3.0f - x * 0.5f};
        }
    }
    Texture layer;
    Texture flow;
    Texture target;
    uploadFlowField(layerValues, layer);
    uploadFlowField(field, flow);
    target.upload(GL_RG32F, width, height, GL_RG, GL_FLOAT, nullptr);
    ASSERT_FALSE(advectPass(layer, flow, target, 0.0f));
    const std::vector<float> back = readRgFloats(target);
    EXPECT_EQ(0, std::memcmp(back.data(), layerValues.data(), layerValues.byteCount()));
}

// Whatever flow reaches the passes (a file from elsewhere, an older program),
// the layers hold finite positions and the picture shows: NaN and infinite
// vectors move nothing, a step past the float range restarts the texel, and
// a layer that already holds NaN (from an older advect.frag) heals.
TEST(Passes, NonFiniteOrAbsurdFlowsNeverLeaveALayerNaNOrThePictureBlack) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        const char* name;
        Vec2 velocity;
        float layerValue;  // every texel of layer 0 before the first frame
    };
    const Case cases[] = {
        {"NaN", Vec2{nan, 1.0f}, 0.0f},
        {"infinite", Vec2{inf, -inf}, 0.0f},
        {"1e30", Vec2{1e30f, 3.0f}, 0.0f},
        {"largest float", Vec2{-3.4e38f, 3.4e38f}, 0.0f},
        {"NaN already in the layer", Vec2{1.0f, 0.0f}, nan},
    };
    const std::int32_t width = 20;
    const std::int32_t height = 14;
    const ImageGrid picture = makeTestPicture(width, height);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RenderTargets targets;
        createRenderTargets(picture, targets);
        uploadFlowField(uniformField(width, height, c.velocity), targets.flow);
        if (c.layerValue != 0.0f) uploadFlowField(uniformField(width, height, Vec2{c.layerValue, c.layerValue}), targets.current[0]);
        std::array<double, 3> phases = startPhases(0.3);
        for (int frame = 0; frame < 12; ++frame) {
            runFrame(targets, 0.3 + frame * frameTime, frame == 0 ? 0.0f : static_cast<float>(frameTime), phases);
        }
        for (int layer = 0; layer < 3; ++layer) {
            const std::vector<float> mapping = readRgFloats(targets.current[layer]);
            const auto notFinite = std::count_if(mapping.begin(), mapping.end(), [](float v) { return !std::isfinite(v); });
            EXPECT_EQ(notFinite, 0) << "layer " << layer;
        }
        const std::vector<std::uint8_t> shown = readRgbaBytes(targets.output);
        long sum = 0;
        for (std::size_t i = 0; i < shown.size(); i += 4) sum += shown[i] + shown[i + 1] + shown[i + 2];
        EXPECT_GT(sum, 0) << "an all-black frame";
    }
}

TEST(Passes, IdentityPassWritesTheStartUpIdentity) {
    Texture layer;
    FlowGrid noise(6, 5);
    for (std::int64_t i = 0; i < noise.cellCount(); ++i) noise.data()[i] = Vec2{-3.5f, 99.0f};
    uploadFlowField(noise, layer);
    ASSERT_FALSE(identityPass(layer));
    const FlowGrid identity = makeIdentityGrid(6, 5);
    const std::vector<float> back = readRgFloats(layer);
    EXPECT_EQ(0, std::memcmp(back.data(), identity.data(), identity.byteCount()));
}

// The picture column or row that a texel position reads with the picture's
// mirrored repeat: -1 reads 0, n reads n - 1.
int mirroredIndex(int i, int n) {
    if (i < 0) i = -i - 1;
    if (i >= n) i = 2 * n - 1 - i;
    return i;
}

// Each weight must scale the picture seen through its own layer: a weight
// paired with another layer resets a layer while it still shows. The three
// layers are shifted by different whole texels, so every sample lands on a
// texel centre and the expected blend is plain arithmetic.
TEST(Passes, EachWeightGoesWithItsOwnLayer) {
    const std::int32_t width = 23;
    const std::int32_t height = 17;
    const ImageGrid picture = makeTestPicture(width, height);
    RenderTargets targets;
    createRenderTargets(picture, targets);
    const std::array<std::array<int, 2>, 3> shifts = {{{1, 0}, {-2, 3}, {4, -1}}};
    for (int layer = 0; layer < 3; ++layer) {
        FlowGrid mapping = makeIdentityGrid(width, height);
        for (std::int64_t i = 0; i < mapping.cellCount(); ++i) {
            mapping.data()[i].x += static_cast<float>(shifts[layer][0]);
            mapping.data()[i].y += static_cast<float>(shifts[layer][1]);
        }
        uploadFlowField(mapping, targets.current[layer]);
    }

    const std::array<float, 3> weightCases[] = {
        {1.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f}, {0.0f, 0.0f, 1.0f}, {0.6f, 0.3f, 0.1f}};
    for (const FilterCase& c : filterCases) {
        for (const std::array<float, 3>& w : weightCases) {
            SCOPED_TRACE(::testing::Message() << c.name << ", weights " << w[0] << " " << w[1] << " " << w[2]);
            ASSERT_FALSE(displacePass(targets.picture, targets.current[0], targets.current[1], targets.current[2],
                                      w[0], w[1], w[2], targets.output, c.filter));
            const std::vector<std::uint8_t> shown = readRgbaBytes(targets.output);
            int worst = 0;
            for (std::int32_t y = 0; y < height; ++y) {
                for (std::int32_t x = 0; x < width; ++x) {
                    for (int channel = 0; channel < 4; ++channel) {
                        float expected = 0.0f;
                        for (int layer = 0; layer < 3; ++layer) {
                            const Rgba8& seen = picture.at(mirroredIndex(x + shifts[layer][0], width),
                                                           mirroredIndex(y + shifts[layer][1], height));
                            const std::uint8_t bytes[4] = {seen.r, seen.g, seen.b, seen.a};
                            expected += w[layer] * bytes[channel];
                        }
                        const int got = shown[(static_cast<std::size_t>(y) * width + x) * 4 + channel];
                        worst = std::max(worst, std::abs(got - static_cast<int>(std::lround(expected))));
                    }
                }
            }
            EXPECT_LE(worst, 1);
        }
    }
}

TEST(Passes, ViewportAndSizeFollowTheTarget) {
    RenderTargets targets;
    createRenderTargets(makeTestPicture(9, 7), targets);
    ASSERT_FALSE(displacePass(targets.picture, targets.current[0], targets.current[1], targets.current[2], 1.0f,
                              0.0f, 0.0f, targets.output, PictureFilter::Fast));
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 9);
    EXPECT_EQ(viewport[3], 7);
    GLint program = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &program);
    GLfloat size[2] = {};
    glGetUniformfv(static_cast<GLuint>(program), glGetUniformLocation(static_cast<GLuint>(program), "size"), size);
    EXPECT_EQ(size[0], 9.0f);
    EXPECT_EQ(size[1], 7.0f);
}

// ---- passes that cannot draw, or read other shader files ------------------
// Each runs in a child started afresh (the GL driver's threads do not survive
// a plain fork), so the child builds its pass programs from its own working
// directory. A pass that cannot draw answers with its failure and leaves the
// process running: the child's exit code says whether the answer was right.

// Makes the child's own empty folder its working directory. The folder is
// removed, with what the child left in it, when the child exits.
const ScratchFolder& enterScratchFolder() {
    static const ScratchFolder folder("stillflow-passes");
    std::filesystem::current_path(folder.path());
    return folder;
}

// Sends the child's standard output to its standard error, where the death
// test's pattern looks.
void printToStderr() {
    std::fflush(stdout);
    dup2(STDERR_FILENO, STDOUT_FILENO);
}

// 0 when `failure` is of `kind`, its line has `says` in it and a program
// that did not link brings its link log; else 2, with what came back on
// standard error.
int exitCodeFor(const std::optional<PassFailure>& failure, PassFailure::Kind kind, const std::string& says) {
    if (!failure) return 2;
    std::fprintf(stderr, "reason: %s\n", failure->reason.c_str());
    const bool logKept = kind != PassFailure::Kind::programNotLinked || !failure->linkLog.empty();
    return failure->kind == kind && failure->reason.find(says) != std::string::npos && logKept ? 0 : 2;
}

class PassesDeathTest : public ::testing::Test {
protected:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

TEST_F(PassesDeathTest, ZeroSizedTargetIsAnIncompleteFramebufferAndTheRunGoesOn) {
    EXPECT_EXIT(
        {
            printToStderr();
            Texture empty;
            empty.upload(GL_RGBA8, 0, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
            std::exit(exitCodeFor(identityPass(empty), PassFailure::Kind::framebufferIncomplete, "0 x 0"));
        },
        ::testing::ExitedWithCode(0), "incomplete FBO!\n");
}

// Shader files the first pass cannot build: the pass prints the driver's
// logs on standard output and answers with one line naming the file to
// blame; nothing is kept, so the next call tries again.
TEST_F(PassesDeathTest, ShaderFilesThatDoNotBuildAreNamedInTheFailure) {
    const std::string vertexSource = readTextFile(passVertexFileName);
    const std::string advectSource = readTextFile(advectFragmentFileName);
    ASSERT_FALSE(vertexSource.empty() || advectSource.empty()) << "run with the shaders folder as working directory";
    struct Case {
        const char* name;
        const char* vertex;    // null: the file is missing
        const char* fragment;
        const char* says;
    };
    const std::string brokenFragment = "#version 130\nvoid main() { gl_FragColor = undeclaredColour; }\n";
    // Compiles, but calls a function that no shader of the program defines.
    const std::string unlinkedFragment = "#version 130\nvec4 definedNowhere();\n"
                                         "void main() { gl_FragColor = definedNowhere(); }\n";
    const Case cases[] = {
        {"missing", vertexSource.c_str(), nullptr, "cannot read shader file \"advect.frag\""},
        {"empty", vertexSource.c_str(), "", "cannot read shader file \"advect.frag\""},
        {"missing vertex", nullptr, advectSource.c_str(), "cannot read shader file \"pass.vert\""},
        {"not compiling", vertexSource.c_str(), brokenFragment.c_str(), "shader file \"advect.frag\" does not compile"},
        {"not linking", vertexSource.c_str(), unlinkedFragment.c_str(),
         "\"pass.vert\" and \"advect.frag\" compile but do not link"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EXIT(
            {
                printToStderr();
                const ScratchFolder& folder = enterScratchFolder();
                if (c.vertex) folder.writeFile(passVertexFileName, std::string(c.vertex));
                if (c.fragment) folder.writeFile(advectFragmentFileName, std::string(c.fragment));
                RenderTargets targets;
                createRenderTargets(makeTestPicture(4, 4), targets);
                const std::optional<PassFailure> failure =
                    advectPass(targets.current[0], targets.flow, targets.scratch[0], 0.1f);
                const int code = exitCodeFor(failure, PassFailure::Kind::programNotLinked, c.says);
                // Nothing was kept: with the files put right, the pass builds
                // and draws.
                folder.writeFile(passVertexFileName, vertexSource);
                folder.writeFile(advectFragmentFileName, advectSource);
                const bool drawsNow = !advectPass(targets.current[0], targets.flow, targets.scratch[0], 0.1f);
                std::exit(code != 0 ? code : drawsNow ? 0 : 3);
            },
            ::testing::ExitedWithCode(0), "");
    }
}

// An advect shader that declares "flow" but never reads it: the pass reports
// the sampler on every call and still draws. Its files are read only once.
TEST_F(PassesDeathTest, UnusedSamplerIsReportedEveryCallAndThePassStillDraws) {
    const std::string vertexSource = readTextFile(passVertexFileName);
    ASSERT_FALSE(vertexSource.empty()) << "run with the shaders folder as working directory";
    const std::string fragmentSource =
        "#version 130\n"
        "uniform sampler2D image;\n"
        "uniform sampler2D flow;\n"
        "void main() { gl_FragColor = texelFetch(image, ivec2(gl_FragCoord.xy), 0) + vec4(0.5); }\n";
    EXPECT_EXIT(
        {
            printToStderr();
            const ScratchFolder& folder = enterScratchFolder();
            folder.writeFile(passVertexFileName, vertexSource);
            folder.writeFile(advectFragmentFileName, fragmentSource);
            RenderTargets targets;
            createRenderTargets(makeTestPicture(4, 3), targets);
            if (advectPass(targets.current[0], targets.flow, targets.scratch[0], 0.1f)) std::exit(3);
            std::remove(advectFragmentFileName);
            std::remove(passVertexFileName);
            if (advectPass(targets.current[0], targets.flow, targets.scratch[0], 0.1f)) std::exit(3);
            const std::vector<float> drawn = readRgFloats(targets.scratch[0]);
            // Texel (2, 1) of the identity, plus the shader's 0.5.
            const std::size_t i = (1 * 4 + 2) * 2;
            std::exit(drawn[i] == 2.5f && drawn[i + 1] == 1.5f ? 0 : 2);
        },
        ::testing::ExitedWithCode(0), "sampler flow does not exist!\n.*sampler flow does not exist!\n");
}

// A displace.frag whose sharp variant does not build: asking for the sharp
// filter says no, naming the file and the variant, and the fast one still
// draws.
TEST_F(PassesDeathTest, ABrokenSharpVariantIsRefusedAndTheFastFilterKeepsDrawing) {
    const std::string vertexSource = readTextFile(passVertexFileName);
    const std::string displaceSource = readTextFile(displaceFragmentFileName);
    ASSERT_FALSE(vertexSource.empty() || displaceSource.empty()) << "run with the shaders folder as working directory";
    EXPECT_EXIT(
        {
            printToStderr();
            const ScratchFolder& folder = enterScratchFolder();
            folder.writeFile(passVertexFileName, vertexSource);
            folder.writeFile(displaceFragmentFileName,
                             displaceSource + "\n#ifdef SHARP_FILTER\n#error no sharp variant here\n#endif\n");
            if (exitCodeFor(preparePictureFilter(PictureFilter::Sharp), PassFailure::Kind::programNotLinked,
                            "\"displace.frag\" does not compile with SHARP_FILTER defined") != 0) {
                std::exit(2);
            }
            if (preparePictureFilter(PictureFilter::Fast)) std::exit(3);
            const ImageGrid picture = makeTestPicture(5, 4);
            RenderTargets targets;
            createRenderTargets(picture, targets);
            if (displacePass(targets.picture, targets.current[0], targets.current[1], targets.current[2], 1.0f, 0.0f,
                             0.0f, targets.output, PictureFilter::Fast)) {
                std::exit(3);
            }
            const std::vector<std::uint8_t> shown = readRgbaBytes(targets.output);
            std::exit(std::memcmp(shown.data(), picture.data(), shown.size()) == 0 ? 0 : 4);
        },
        ::testing::ExitedWithCode(0), "no sharp variant here");
}

}  // namespace
