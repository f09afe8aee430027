// Flow synthesis from the guide segments.
//
// Sections
//   1. the per-cell arithmetic (shared by the oracle and the fast kernel)
//   2. the oracle: the literal scalar loop
//   3. the fast kernel: cells innermost, one tile of a row at a time, compiled
//      for the plain target, AVX2 and AVX-512
//   4. the worker pool: row bands over the hardware threads
//   5. kernel choice and computeFlowField
//
// Bit-exactness: the fast kernel evaluates exactly the same float operations
// per cell as the oracle, in the same order; it only reorders the loops (cells
// innermost instead of guides innermost), which changes no single cell's
// arithmetic. The build passes -ffp-contract=off, so no multiply-add is fused,
// and this file is compiled with -fno-math-errno so that sqrt can be
// vectorised (errno is never read here; the results are the same).

#include "flow/synthesis.h"

#include <algorithm>
#include <atomic>
#include <cassert>
#include <cmath>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

namespace {

// ---- 1. the per-cell arithmetic ---------------------------------------------

// The guide's vector at full length: a guide twice as long pushes twice as hard.
inline float guideVectorX(const GuideSegment& g) { return g.x1 - g.x0; }
inline float guideVectorY(const GuideSegment& g) { return g.y1 - g.y0; }

// A vector within `fastest` as it is; a longer one at that length in its own
// direction (an infinite component counts as the whole of it); NaN anywhere
// as no motion. Only a vector beyond the bound is touched, so every other
// cell keeps its bits (-0 included).
inline Vec2 limitSpeed(Vec2 v, float fastest) {
    if (std::isnan(v.x) || std::isnan(v.y)) return Vec2{};
    if (std::isinf(v.x) || std::isinf(v.y)) {
        v.x = std::isinf(v.x) ? std::copysign(1.0f, v.x) : 0.0f;
        v.y = std::isinf(v.y) ? std::copysign(1.0f, v.y) : 0.0f;
    } else if (std::fabs(v.x) <= fastest && std::fabs(v.y) <= fastest) {
        // The common case: within the bound on both axes and in length.
        const double squared = static_cast<double>(v.x) * v.x + static_cast<double>(v.y) * v.y;
        if (squared <= static_cast<double>(fastest) * fastest) return v;
    }
    // In double, so that the length of two finite floats cannot overflow.
    const double length = std::sqrt(static_cast<double>(v.x) * v.x + static_cast<double>(v.y) * v.y);
    const double shrink = static_cast<double>(fastest) / length;
    return Vec2{static_cast<float>(v.x * shrink), static_cast<float>(v.y * shrink)};
}

// The weighted mean, then the scale, then the speed limit. A cell that no
// guide reached (sw == 0) is (0, 0) before the scale is applied, so a
// negative scale leaves -0 there, as the literal loop does.
inline Vec2 finishCell(float sx, float sy, float sw, float flowScale, float fastest) {
    Vec2 v;
    if (sw > 0.0f) {
        v.x = sx / sw;
        v.y = sy / sw;
    }
    v.x = v.x * flowScale;
    v.y = v.y * flowScale;
    return limitSpeed(v, fastest);
}

// ---- 2. the oracle ----------------------------------------------------------

}  // namespace

float fastestFlowSpeed(const FlowGrid& field) {
    return kFastestFlowSidesPerSecond * static_cast<float>(std::max(field.width, field.height));
}

void computeFlowFieldReference(const std::vector<GuideSegment>& guides, float flowScale, FlowGrid& field) {
    if (field.empty()) return;
    if (guides.empty()) {
        for (std::int32_t y = 0; y < field.height; ++y)
            for (std::int32_t x = 0; x < field.width; ++x) field.at(x, y) = Vec2{};
        return;
    }
    const float fastest = fastestFlowSpeed(field);
    for (std::int32_t y = 0; y < field.height; ++y) {
        for (std::int32_t x = 0; x < field.width; ++x) {
            const float px = static_cast<float>(x);
            const float py = static_cast<float>(y);
            float sx = 0.0f, sy = 0.0f, sw = 0.0f;
            for (const GuideSegment& s : guides) {
                const float dx = px - s.x0;
                const float dy = py - s.y0;
                // The float sum is widened for the root and the root rounded
                // back to float: deliberate, it fixes the result bit for bit.
                const float squared = dy * dy + dx * dx;
                const float d = static_cast<float>(std::sqrt(static_cast<double>(squared)));
                if (d > 0.0f) {
                    const float w = 1.0f / (d * d);
                    sx = sx + w * guideVectorX(s);
                    sy = sy + w * guideVectorY(s);
                    sw = sw + w;
                }
            }
            field.at(x, y) = finishCell(sx, sy, sw, flowScale, fastest);
        }
    }
}

namespace {

// ---- 3. the fast kernel -----------------------------------------------------

// Cells of one row handled together. A multiple of every vector width the
// body is compiled for (4 floats for the plain x86-64 target, 8 for AVX2, 16
// for AVX-512), so even GCC's cheapest vectoriser, the one of -O2, replaces
// the whole lane loop with vector code; small enough that the three running
// sums stay in L1 while the guides stream by.
constexpr int tileWidth = 64;

// All ones where a lane takes part, all zeros where it does not.
inline std::uint32_t laneMask(bool takesPart) { return 0u - static_cast<std::uint32_t>(takesPart); }

// value where the mask is all ones, +0 where it is all zeros. A bitwise select
// rather than a branch: the compiler would sink the division into a branch and
// then refuse to vectorise a division it may not execute speculatively.
inline float keepWhere(float value, std::uint32_t mask) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    bits &= mask;
    float kept;
    std::memcpy(&kept, &bits, sizeof kept);
    return kept;
}

// Rows [rowBegin, rowEnd) of the field. The lane loop is branch-free: every
// lane computes its terms, and where d is not > 0 they are replaced by +0
// before the add. A running sum is never -0 (it starts at +0 and a sum of
// nonzero terms that cancels rounds to +0), so adding +0 leaves it exactly as
// the oracle's skipped branch does, whatever inf or NaN the discarded terms
// held.
#if defined(__GNUC__)
__attribute__((always_inline))
#endif
inline void synthesizeRowsBody(const GuideSegment* guides, std::size_t guideCount, float flowScale,
                               FlowGrid& field, std::int32_t rowBegin, std::int32_t rowEnd) {
    alignas(64) float px[tileWidth];
    alignas(64) float sx[tileWidth];
    alignas(64) float sy[tileWidth];
    alignas(64) float sw[tileWidth];
    const std::int32_t width = field.width;
    const float fastest = fastestFlowSpeed(field);
    for (std::int32_t y = rowBegin; y < rowEnd; ++y) {
        const float py = static_cast<float>(y);
        Vec2* row = &field.at(0, y);
        for (std::int64_t tileStart = 0; tileStart < width; tileStart += tileWidth) {
            // Lanes past the row's end compute on positions that are never stored.
            for (int k = 0; k < tileWidth; ++k) {
                px[k] = static_cast<float>(tileStart + k);
                sx[k] = 0.0f;
                sy[k] = 0.0f;
                sw[k] = 0.0f;
            }
            for (std::size_t i = 0; i < guideCount; ++i) {
                const GuideSegment& s = guides[i];
                const float dy = py - s.y0;
                const float dyy = dy * dy;
                const float x0 = s.x0;
                const float vx = guideVectorX(s);
                const float vy = guideVectorY(s);
                for (int k = 0; k < tileWidth; ++k) {
                    const float dx = px[k] - x0;
                    // A correctly rounded float root equals the double root
                    // rounded to float (double has more than 2 * 24 + 2 bits).
                    const float d = std::sqrt(dyy + dx * dx);
                    const float w = 1.0f / (d * d);
                    const std::uint32_t reaches = laneMask(d > 0.0f);
                    sx[k] = sx[k] + keepWhere(w * vx, reaches);
                    sy[k] = sy[k] + keepWhere(w * vy, reaches);
                    sw[k] = sw[k] + keepWhere(w, reaches);
                }
            }
            const int cellsInTile = static_cast<int>(std::min<std::int64_t>(tileWidth, width - tileStart));
            for (int k = 0; k < cellsInTile; ++k) {
                row[tileStart + k] = finishCell(sx[k], sy[k], sw[k], flowScale, fastest);
            }
        }
    }
}

using RowKernel = void (*)(const GuideSegment*, std::size_t, float, FlowGrid&, std::int32_t, std::int32_t);

// The body compiled once for each instruction set. None of them enables FMA:
// every multiply and add must stay its own rounded operation.
void synthesizeRowsPlain(const GuideSegment* guides, std::size_t guideCount, float flowScale, FlowGrid& field,
                         std::int32_t rowBegin, std::int32_t rowEnd) {
    synthesizeRowsBody(guides, guideCount, flowScale, field, rowBegin, rowEnd);
}

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define STILLFLOW_HAVE_X86_KERNELS 1
__attribute__((target("avx2"))) void synthesizeRowsAvx2(const GuideSegment* guides, std::size_t guideCount,
                                                        float flowScale, FlowGrid& field, std::int32_t rowBegin,
                                                        std::int32_t rowEnd) {
    synthesizeRowsBody(guides, guideCount, flowScale, field, rowBegin, rowEnd);
}

__attribute__((target("avx512f"))) void synthesizeRowsAvx512(const GuideSegment* guides, std::size_t guideCount,
                                                             float flowScale, FlowGrid& field, std::int32_t rowBegin,
                                                             std::int32_t rowEnd) {
    synthesizeRowsBody(guides, guideCount, flowScale, field, rowBegin, rowEnd);
}
#endif

RowKernel rowKernel(SynthesisKernel kernel) {
    switch (kernel) {
#if defined(STILLFLOW_HAVE_X86_KERNELS)
    case SynthesisKernel::avx2: return synthesizeRowsAvx2;
    case SynthesisKernel::avx512: return synthesizeRowsAvx512;
#endif
    default: return synthesizeRowsPlain;
    }
}

// ---- 4. the worker pool -----------------------------------------------------

// Below this many (cell, guide) pairs a synthesis runs on the calling thread:
// waking the workers would cost more than it saves.
constexpr std::int64_t minPairsForThreads = 1 << 15;

// Bands per thread: more bands than threads so that a thread slowed down by
// another process does not hold up the join.
constexpr int bandsPerThread = 8;

// Upper bound on pool threads, whatever the machine reports.
constexpr unsigned maxWorkers = 63;

struct BandJob {
    RowKernel kernel = nullptr;
    const GuideSegment* guides = nullptr;
    std::size_t guideCount = 0;
    float flowScale = 0.0f;
    FlowGrid* field = nullptr;
    std::int32_t rowsPerBand = 1;
    std::int32_t bandCount = 0;
    std::atomic<std::int32_t> nextBand{0};
};

// Takes bands until none is left; every thread of a job runs this.
void runBands(BandJob& job) {
    for (;;) {
        const std::int32_t band = job.nextBand.fetch_add(1, std::memory_order_relaxed);
        if (band >= job.bandCount) return;
        const std::int32_t rowBegin = band * job.rowsPerBand;
        const std::int32_t rowEnd = std::min(job.field->height, rowBegin + job.rowsPerBand);
        job.kernel(job.guides, job.guideCount, job.flowScale, *job.field, rowBegin, rowEnd);
    }
}

// Threads started once, on the first synthesis large enough to share, and
// kept until the process ends. The calling thread works on the bands too.
struct WorkerPool {
    std::mutex callMutex;  // one synthesis at a time
    std::mutex mutex;      // guards everything below
    std::condition_variable wake;
    std::condition_variable finished;
    std::vector<std::thread> threads;
    BandJob* job = nullptr;
    std::uint64_t generation = 0;  // bumped for each job
    std::size_t busy = 0;          // workers not yet done with the current job
    bool stopping = false;

    WorkerPool() {
        const unsigned hardware = std::thread::hardware_concurrency();
        const unsigned workers = hardware > 1 ? std::min(hardware - 1, maxWorkers) : 0;
        threads.reserve(workers);
        for (unsigned i = 0; i < workers; ++i) threads.emplace_back([this] { workerLoop(); });
    }

    ~WorkerPool() {
        {
            std::lock_guard<std::mutex> lock(mutex);
            stopping = true;
        }
        wake.notify_all();
        for (std::thread& t : threads) t.join();
    }

    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    void workerLoop() {
        std::uint64_t seen = 0;
        for (;;) {
            BandJob* current = nullptr;
            {
                std::unique_lock<std::mutex> lock(mutex);
                wake.wait(lock, [&] { return stopping || generation != seen; });
                if (stopping) return;
                seen = generation;
                current = job;
            }
            runBands(*current);
            {
                std::lock_guard<std::mutex> lock(mutex);
                if (--busy == 0) finished.notify_one();
            }
        }
    }

    // Runs the job on every pool thread and the caller; returns when all bands
    // are written. Every worker takes part in every generation (possibly
    // finding no band left), so none can miss one.
    void run(BandJob& work) {
        std::lock_guard<std::mutex> serial(callMutex);
        {
            std::lock_guard<std::mutex> lock(mutex);
            job = &work;
            busy = threads.size();
            ++generation;
        }
        wake.notify_all();
        runBands(work);
        std::unique_lock<std::mutex> lock(mutex);
        finished.wait(lock, [&] { return busy == 0; });
        job = nullptr;
    }
};

WorkerPool& workerPool() {
    static WorkerPool pool;
    return pool;
}

}  // namespace

// ---- 5. computeFlowField ----------------------------------------------------

bool synthesisKernelAvailable(SynthesisKernel kernel) {
    switch (kernel) {
    case SynthesisKernel::plain: return true;
#if defined(STILLFLOW_HAVE_X86_KERNELS)
    // These also check that the OS saves the wide registers.
    case SynthesisKernel::avx2: __builtin_cpu_init(); return __builtin_cpu_supports("avx2");
    case SynthesisKernel::avx512: __builtin_cpu_init(); return __builtin_cpu_supports("avx512f");
#endif
    default: return false;
    }
}

SynthesisKernel bestSynthesisKernel() {
    static const SynthesisKernel best = [] {
        for (SynthesisKernel k : {SynthesisKernel::avx512, SynthesisKernel::avx2})
            if (synthesisKernelAvailable(k)) return k;
        return SynthesisKernel::plain;
    }();
    return best;
}

void computeFlowFieldWith(SynthesisKernel kernel, const std::vector<GuideSegment>& guides, float flowScale,
                          FlowGrid& field) {
    assert(synthesisKernelAvailable(kernel) && "this CPU cannot run that kernel: ask synthesisKernelAvailable first");
    if (field.empty()) return;
    if (guides.empty()) {
        std::fill(field.data(), field.data() + field.cellCount(), Vec2{});
        return;
    }
    const RowKernel rows = rowKernel(kernel);
    const std::int64_t pairs = field.cellCount() * static_cast<std::int64_t>(guides.size());
    if (pairs < minPairsForThreads) {
        rows(guides.data(), guides.size(), flowScale, field, 0, field.height);
        return;
    }
    WorkerPool& pool = workerPool();
    const std::int64_t threadCount = static_cast<std::int64_t>(pool.threads.size()) + 1;
    const std::int64_t wantedBands = std::min<std::int64_t>(field.height, threadCount * bandsPerThread);
    BandJob job;
    job.kernel = rows;
    job.guides = guides.data();
    job.guideCount = guides.size();
    job.flowScale = flowScale;
    job.field = &field;
    job.rowsPerBand = static_cast<std::int32_t>((field.height + wantedBands - 1) / wantedBands);
    job.bandCount = static_cast<std::int32_t>((field.height + job.rowsPerBand - 1) / job.rowsPerBand);
    pool.run(job);
}

void computeFlowField(const std::vector<GuideSegment>& guides, float flowScale, FlowGrid& field) {
    computeFlowFieldWith(bestSynthesisKernel(), guides, flowScale, field);
}
