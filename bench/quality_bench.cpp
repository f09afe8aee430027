// How sharp the animated loop stays against its picture, and what the passes
// cost per frame. Prints a table.
//
// Sharpness is the mean absolute Laplacian of the luminance (4 neighbours),
// of the displace pass's output divided by that of the picture, over the same
// pixels, averaged over one steady period of the loop (every layer reset at
// least once before). 100 % is as sharp as the picture. Only the passes are
// measured: no particles, no overlay, no composition.
//
//   a  a photo-like texture (fine grain, soft shading, hard-edged shapes) under
//      a slow uniform flow: the three layers lie at most 0.4 px apart, so what
//      it loses is what reading the picture between texels costs
//   b  the same under a fast uniform flow: the blend of three layers of
//      different ages is what the animation looks like there
//   c  the scene of the working folder (its flow document: picture, guides,
//      flow scale, phase spacing), split by the flow's speed into still,
//      slow and moving parts
//
// Every case is measured with each picture filter: fast, the window's
// default, and sharp, the video export's (F previews it in the window).
//
// Then, for each filter, the frame cost of the passes on a 1920 x 1080
// picture (a swirl), as the frame loop runs them, and of the displace pass
// alone: the median wall
// time of frames finished with glFinish, and the process's mean CPU time per
// frame (the software GL driver renders on the CPU, so on a shared machine
// that is the steadier figure).
//
// Run it in a scene folder, e.g. the demo scene:
//   build/make_demo_scene /tmp/scene && (cd /tmp/scene && $BUILD/bench/quality_bench)
// `--write DIR` also writes each case's picture and its last measured frame
// as PNG files into DIR, to look at side by side.

#include <stb_image_write.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "app/schedule.h"
#include "bench/bench_gl.h"
#include "flow/document.h"
#include "flow/grid.h"
#include "flow/scene_files.h"
#include "flow/synthesis.h"
#include "gpu/flow_upload.h"
#include "gpu/frame_readback.h"
#include "gpu/gl_runtime.h"
#include "gpu/passes.h"
#include "gpu/render_targets.h"

namespace {

constexpr double frameTime = 1.0 / 60.0;

// Case a: the largest distance between two layers over a period is the speed
// times two phase spacings (the ages of the oldest and the youngest layer
// differ by up to 2p); 0.4 px keeps every layer within half a pixel of the
// others.
constexpr float slowLayerSpread = 0.4f;
constexpr float fastSpeed = 12.0f;  // px/s: case b, layers 12 px apart
constexpr std::int32_t textureWidth = 640;
constexpr std::int32_t textureHeight = 480;

// Case c: below the first speed (px/s) a place counts as still (a layer
// drifts there by at most two pixels over its life at the demo's 0.7 s
// spacing); from the second on as moving; slow in between.
constexpr float stillSpeed = 1.0f;
constexpr float movingSpeed = 8.0f;

// Pixels along the border left out of the measure, so the picture's mirrored
// edges don't weigh in.
constexpr std::int32_t measureMargin = 4;

// The cost is measured on a picture of this size.
constexpr std::int32_t costWidth = 1920;
constexpr std::int32_t costHeight = 1080;
constexpr int costFrames = 40;

// The textures of one animation, as the program owns them.
struct Animation {
    RenderTargets targets;
    float phaseSpacing = kDefaultPhaseSpacing;
    std::array<double, 3> phases{};
    PictureFilter filter = PictureFilter::Fast;

    Animation(const ImageGrid& image, const FlowGrid& field, float spacing,
              std::array<double, 3> startPhases, PictureFilter pictureFilter)
        : phaseSpacing(spacing), phases(startPhases), filter(pictureFilter) {
        createRenderTargets(image, targets);
        uploadFlowField(field, targets.flow);
    }

    void frame(double t, float advectStep) {
        requireDrawn(animateLayers(t, advectStep, phaseSpacing, phases, targets, filter));
    }
};

// ---- pictures and fields ----------------------------------------------------

// A small seeded generator, so every run measures the same picture.
struct Random {
    std::uint32_t state;
    float next() {  // in [0, 1)
        state = state * 1664525u + 1013904223u;
        return static_cast<float>(state >> 8) / 16777216.0f;
    }
};

// Value noise at one scale: a lattice of random values every `cell` pixels,
// smoothly interpolated.
std::vector<float> valueNoise(std::int32_t width, std::int32_t height, int cell, Random& random) {
    const int latticeWidth = width / cell + 2;
    const int latticeHeight = height / cell + 2;
    std::vector<float> lattice(static_cast<std::size_t>(latticeWidth) * latticeHeight);
    for (float& value : lattice) value = random.next();
    std::vector<float> noise(static_cast<std::size_t>(width) * height);
    for (std::int32_t y = 0; y < height; ++y) {
        for (std::int32_t x = 0; x < width; ++x) {
            const float fx = static_cast<float>(x) / cell;
            const float fy = static_cast<float>(y) / cell;
            const int ix = static_cast<int>(fx);
            const int iy = static_cast<int>(fy);
            float sx = fx - ix;
            float sy = fy - iy;
            sx = sx * sx * (3.0f - 2.0f * sx);
            sy = sy * sy * (3.0f - 2.0f * sy);
            auto at = [&](int i, int j) { return lattice[static_cast<std::size_t>(j) * latticeWidth + i]; };
            const float top = at(ix, iy) + (at(ix + 1, iy) - at(ix, iy)) * sx;
            const float bottom = at(ix, iy + 1) + (at(ix + 1, iy + 1) - at(ix, iy + 1)) * sx;
            noise[static_cast<std::size_t>(y) * width + x] = top + (bottom - top) * sy;
        }
    }
    return noise;
}

std::uint8_t toByte(float value) {
    return static_cast<std::uint8_t>(std::clamp(value, 0.0f, 255.0f) + 0.5f);
}

// Like a photo: shading at every scale down to per-pixel grain, in colour,
// with a few hard-edged shapes (discs, bars) whose edges show any ringing.
ImageGrid makePhotoLikePicture(std::int32_t width, std::int32_t height) {
    Random random{20261210u};
    std::array<std::vector<float>, 3> channels;
    for (auto& channel : channels) {
        channel.assign(static_cast<std::size_t>(width) * height, 0.0f);
        float amplitude = 90.0f;
        for (int cell : {64, 24, 9, 4, 2, 1}) {
            const std::vector<float> octave = valueNoise(width, height, cell, random);
            for (std::size_t i = 0; i < channel.size(); ++i) channel[i] += amplitude * (octave[i] - 0.5f);
            amplitude *= 0.6f;
        }
    }
    ImageGrid picture(width, height);
    for (std::int32_t y = 0; y < height; ++y) {
        for (std::int32_t x = 0; x < width; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * width + x;
            // Mostly shared shading, a little colour of each channel's own.
            const float shade = 128.0f + channels[0][i];
            Rgba8& pixel = picture.at(x, y);
            pixel.r = toByte(shade + 0.4f * channels[1][i]);
            pixel.g = toByte(shade * 0.9f + 0.3f * channels[2][i]);
            pixel.b = toByte(shade * 0.7f + 20.0f - 0.3f * channels[1][i]);
            pixel.a = 255;
        }
    }
    // Hard edges: dark and bright discs and bars.
    for (int shape = 0; shape < 8; ++shape) {
        const float cx = random.next() * width;
        const float cy = random.next() * height;
        const float radius = 12.0f + random.next() * 40.0f;
        const bool bright = shape % 2 == 0;
        const Rgba8 colour = bright ? Rgba8{245, 240, 225, 255} : Rgba8{20, 25, 35, 255};
        for (std::int32_t y = 0; y < height; ++y) {
            for (std::int32_t x = 0; x < width; ++x) {
                const float dx = x - cx;
                const float dy = y - cy;
                const bool inside = shape < 4 ? dx * dx + dy * dy < radius * radius
                                              : std::fabs(dx) < radius && std::fabs(dy) < radius * 0.2f;
                if (inside) picture.at(x, y) = colour;
            }
        }
    }
    return picture;
}

FlowGrid uniformField(std::int32_t width, std::int32_t height, Vec2 velocity) {
    FlowGrid field(width, height);
    for (std::int64_t i = 0; i < field.cellCount(); ++i) field.data()[i] = velocity;
    return field;
}

// A swirl about the centre, so the advect passes read scattered positions.
FlowGrid swirlField(std::int32_t width, std::int32_t height) {
    FlowGrid field(width, height);
    for (std::int32_t y = 0; y < height; ++y) {
        for (std::int32_t x = 0; x < width; ++x) {
            field.at(x, y) = Vec2{-(y - height * 0.5f) * 0.05f, (x - width * 0.5f) * 0.05f};
        }
    }
    return field;
}

// ---- the measure ------------------------------------------------------------

std::vector<float> luminance(const std::uint8_t* rgba, std::int32_t width, std::int32_t height) {
    std::vector<float> y(static_cast<std::size_t>(width) * height);
    for (std::size_t i = 0; i < y.size(); ++i) {
        y[i] = 0.299f * rgba[i * 4] + 0.587f * rgba[i * 4 + 1] + 0.114f * rgba[i * 4 + 2];
    }
    return y;
}

// Mean |Laplacian| over the pixels whose `area` byte is set.
double meanAbsLaplacian(const std::vector<float>& y, std::int32_t width, std::int32_t height,
                        const std::vector<std::uint8_t>& area) {
    double sum = 0.0;
    std::int64_t count = 0;
    for (std::int32_t row = measureMargin; row < height - measureMargin; ++row) {
        for (std::int32_t column = measureMargin; column < width - measureMargin; ++column) {
            const std::size_t i = static_cast<std::size_t>(row) * width + column;
            if (!area[i]) continue;
            const float laplacian = 4.0f * y[i] - y[i - 1] - y[i + 1] - y[i - width] - y[i + width];
            sum += std::fabs(laplacian);
            ++count;
        }
    }
    return count > 0 ? sum / static_cast<double>(count) : 0.0;
}

std::vector<std::uint8_t> readOutput(Texture& output, std::int32_t width, std::int32_t height) {
    return readTextureRgba8(output, width, height);
}

struct Area {
    const char* name;
    std::vector<std::uint8_t> pixels;  // 1 where measured
};

struct Measured {
    double mean;   // over the period, relative to the picture
    double worst;  // the softest frame of the period
};

// Runs the animation from t = 0 through two periods, then measures every
// second frame of the next period; the last frame measured stays in the
// output texture.
std::vector<Measured> measureLoop(Animation& animation, const ImageGrid& picture,
                                  const std::vector<Area>& areas) {
    const std::int32_t width = picture.width;
    const std::int32_t height = picture.height;
    const std::vector<float> source =
        luminance(reinterpret_cast<const std::uint8_t*>(picture.data()), width, height);
    std::vector<double> sourceSharpness;
    for (const Area& area : areas) sourceSharpness.push_back(meanAbsLaplacian(source, width, height, area.pixels));

    const double period = static_cast<double>(animation.phaseSpacing) * 3.0;
    const int warmFrames = static_cast<int>(std::ceil(2.0 * period / frameTime));
    const int periodFrames = static_cast<int>(std::lround(period / frameTime));
    std::vector<Measured> results(areas.size(), Measured{0.0, 1e9});
    int samples = 0;
    for (int frame = 0; frame <= warmFrames + periodFrames; ++frame) {
        animation.frame(frame * frameTime, frame == 0 ? 0.0f : static_cast<float>(frameTime));
        if (frame <= warmFrames || (frame - warmFrames) % 2 != 0) continue;
        const std::vector<std::uint8_t> shown = readOutput(animation.targets.output, width, height);
        const std::vector<float> y = luminance(shown.data(), width, height);
        for (std::size_t a = 0; a < areas.size(); ++a) {
            const double relative = meanAbsLaplacian(y, width, height, areas[a].pixels) / sourceSharpness[a];
            results[a].mean += relative;
            results[a].worst = std::min(results[a].worst, relative);
        }
        ++samples;
    }
    for (Measured& result : results) result.mean /= samples;
    return results;
}

void writePicture(const std::string& folder, const std::string& name, const std::uint8_t* rgba,
                  std::int32_t width, std::int32_t height) {
    if (folder.empty()) return;
    const std::string path = folder + "/" + name;
    if (!stbi_write_png(path.c_str(), width, height, 4, rgba, width * 4)) {
        std::fprintf(stderr, "quality_bench: cannot write %s\n", path.c_str());
    }
}

const char* filterName(PictureFilter filter) { return filter == PictureFilter::Sharp ? "sharp" : "fast"; }

void printRow(const char* name, PictureFilter filter, const char* area, const Measured& result, const char* note) {
    std::printf("%-26s %-6s %-7s %6.1f %%   %6.1f %%   %s\n", name, filterName(filter), area, 100.0 * result.mean,
                100.0 * result.worst, note);
}

// Cases a and b: the texture under a uniform flow, default phases as the
// program starts them without a document.
void runUniformCase(const char* name, const ImageGrid& picture, Vec2 velocity, PictureFilter filter,
                    const std::string& writeFolder, const std::string& fileStem) {
    const double spacing = kDefaultPhaseSpacing;
    Animation animation(picture, uniformField(picture.width, picture.height, velocity), kDefaultPhaseSpacing,
                        {-2.0 * spacing, -spacing, 0.0}, filter);
    std::vector<Area> areas;
    areas.push_back(Area{"all", std::vector<std::uint8_t>(static_cast<std::size_t>(picture.cellCount()), 1)});
    const Measured result = measureLoop(animation, picture, areas)[0];
    const float speed = std::hypot(velocity.x, velocity.y);
    char note[96];
    std::snprintf(note, sizeof(note), "%.2f px/s, layers up to %.2f px apart", speed,
                  speed * 2.0f * kDefaultPhaseSpacing);
    printRow(name, filter, "all", result, note);
    const std::vector<std::uint8_t> shown = readOutput(animation.targets.output, picture.width, picture.height);
    writePicture(writeFolder, fileStem + "-picture.png", reinterpret_cast<const std::uint8_t*>(picture.data()),
                 picture.width, picture.height);
    writePicture(writeFolder, fileStem + "-loop-" + filterName(filter) + ".png", shown.data(), picture.width,
                 picture.height);
}

std::vector<std::uint8_t> readFileBytes(const char* path) {
    std::ifstream file(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// Case c: the working folder's flow document, its phases as the program takes
// them from a document.
void runSceneCase(PictureFilter filter, const std::string& writeFolder) {
    const std::vector<std::uint8_t> bytes = readFileBytes(flowDocumentFileName);
    FlowDocument document;
    if (!decodeFlowDocument(bytes.data(), bytes.size(), &document)) {
        std::printf("%-26s (no flow document \"%s\" here)\n", "c scene", flowDocumentFileName);
        return;
    }
    const ImageGrid& picture = document.picture;
    FlowGrid field(picture.width, picture.height);
    computeFlowField(document.guides, document.flowScale, field);

    std::vector<Area> areas = {Area{"still", {}}, Area{"slow", {}}, Area{"moving", {}}};
    for (Area& area : areas) area.pixels.assign(static_cast<std::size_t>(field.cellCount()), 0);
    for (std::int64_t i = 0; i < field.cellCount(); ++i) {
        const float speed = std::hypot(field.data()[i].x, field.data()[i].y);
        const std::size_t area = speed < stillSpeed ? 0 : speed < movingSpeed ? 1 : 2;
        areas[area].pixels[i] = 1;
    }
    const double spacing = document.phaseSpacing;
    Animation animation(picture, field, document.phaseSpacing, {2.0 * spacing, spacing, 0.0}, filter);
    const std::vector<Measured> results = measureLoop(animation, picture, areas);
    for (std::size_t a = 0; a < areas.size(); ++a) {
        std::int64_t count = 0;
        for (std::uint8_t in : areas[a].pixels) count += in;
        const float speeds[] = {0.0f, stillSpeed, movingSpeed};
        char note[96];
        std::snprintf(note, sizeof(note), "from %.0f px/s, %.0f %% of the picture", speeds[a],
                      100.0 * count / field.cellCount());
        printRow("c scene", filter, areas[a].name, results[a], note);
    }
    const std::vector<std::uint8_t> shown = readOutput(animation.targets.output, picture.width, picture.height);
    writePicture(writeFolder, "c-scene-picture.png", reinterpret_cast<const std::uint8_t*>(picture.data()),
                 picture.width, picture.height);
    writePicture(writeFolder, std::string("c-scene-loop-") + filterName(filter) + ".png", shown.data(),
                 picture.width, picture.height);
}

// ---- the cost -----------------------------------------------------------------

// CPU time of the whole process (the GL driver's worker threads included),
// in milliseconds: on a machine shared with other work it says more about
// the passes' own cost than the wall clock does.
double processCpuMilliseconds() {
    return 1000.0 * static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
}

struct Cost {
    double wall;  // median milliseconds per call
    double cpu;   // mean CPU milliseconds per call
};

template <typename Step>
Cost measureCost(int frames, Step step) {
    std::vector<double> times;
    const double cpuBegin = processCpuMilliseconds();
    for (int frame = 0; frame < frames; ++frame) {
        const auto begin = std::chrono::steady_clock::now();
        step(frame);
        waitForGpu();
        const auto end = std::chrono::steady_clock::now();
        times.push_back(std::chrono::duration<double, std::milli>(end - begin).count());
    }
    const double cpu = (processCpuMilliseconds() - cpuBegin) / frames;
    std::nth_element(times.begin(), times.begin() + frames / 2, times.end());
    return Cost{times[frames / 2], cpu};
}

void runCost(PictureFilter filter) {
    ImageGrid picture = makePhotoLikePicture(costWidth, costHeight);
    Animation animation(picture, swirlField(costWidth, costHeight), kDefaultPhaseSpacing, {-1.0, -0.5, 0.0},
                        filter);
    animation.frame(0.0, 0.0f);  // builds the programs and the geometry
    waitForGpu();
    double t = 0.0;
    const Cost frameCost = measureCost(costFrames, [&](int) {
        t += frameTime;
        animation.frame(t, static_cast<float>(frameTime));
    });
    const Cost displaceCost = measureCost(costFrames, [&](int) {
        RenderTargets& targets = animation.targets;
        requireDrawn(displacePass(targets.picture, targets.current[0], targets.current[1], targets.current[2],
                                  0.25f, 0.5f, 0.25f, targets.output, filter));
    });
    std::printf("%s filter: per frame %.1f ms wall (median), %.1f ms CPU (mean); the displace pass alone "
                "%.1f ms wall, %.1f ms CPU\n",
                filterName(filter), frameCost.wall, frameCost.cpu, displaceCost.wall, displaceCost.cpu);
}

}  // namespace

int main(int argc, char** argv) {
    std::string writeFolder;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--write" && i + 1 < argc) writeFolder = argv[++i];
    }
    const BenchGl gl(argv[0], "run it in a scene folder");

    const PictureFilter filters[] = {PictureFilter::Fast, PictureFilter::Sharp};
    std::printf("%-26s %-6s %-7s %8s   %8s\n", "case", "filter", "area", "sharp", "softest");
    {
        const ImageGrid texture = makePhotoLikePicture(textureWidth, textureHeight);
        // Diagonal (3, 4, 5), so both axes read between texels.
        const float slowSpeed = slowLayerSpread / (2.0f * kDefaultPhaseSpacing);
        for (const PictureFilter filter : filters) {
            runUniformCase("a texture, slow uniform", texture, Vec2{0.6f * slowSpeed, 0.8f * slowSpeed}, filter,
                           writeFolder, "a-texture");
        }
        for (const PictureFilter filter : filters) {
            runUniformCase("b texture, fast uniform", texture, Vec2{0.6f * fastSpeed, 0.8f * fastSpeed}, filter,
                           writeFolder, "b-texture");
        }
        for (const PictureFilter filter : filters) runSceneCase(filter, writeFolder);
    }
    std::printf("\npasses at %d x %d, %d frames each:\n", costWidth, costHeight, costFrames);
    for (const PictureFilter filter : filters) runCost(filter);
    return 0;
}
