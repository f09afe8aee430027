#include "flow/particles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace {

// A copy of the particles' generator that the tests can run ahead of it. The
// real generator is process-wide and other tests may already have drawn from
// it, so a replica is first synchronised with its current state.
struct ReplicaRandom {
    std::uint32_t state = 1u;
    std::uint32_t next() {
        state = state * 214013u + 2531011u;
        return (state >> 16) & 0x7FFFu;
    }
};

// Draws three values from particleRandom and finds the generator state that
// produced them: a draw shows bits 16 to 30 of the state, so only the low 16
// bits are unknown (bit 31 never reaches a draw). The replica then predicts
// every later draw.
ReplicaRandom syncWithParticleRandom() {
    const std::uint32_t first = particleRandom();
    const std::uint32_t second = particleRandom();
    const std::uint32_t third = particleRandom();
    for (std::uint32_t low = 0; low < 0x10000u; ++low) {
        ReplicaRandom r;
        r.state = (first << 16) | low;
        if (r.next() == second && r.next() == third) return r;
    }
    ADD_FAILURE() << "no generator state produces the draws " << first << ", " << second << ", " << third;
    return ReplicaRandom{};
}

Vec2 replicaPixel(ReplicaRandom& r, std::int32_t width, std::int32_t height) {
    const std::uint32_t x = r.next() % static_cast<std::uint32_t>(width);
    const std::uint32_t y = r.next() % static_cast<std::uint32_t>(height);
    return Vec2{static_cast<float>(x), static_cast<float>(y)};
}

FlowGrid constantFlow(std::int32_t width, std::int32_t height, Vec2 v) {
    FlowGrid flow(width, height);
    for (std::int64_t i = 0; i < flow.cellCount(); ++i) flow.data()[i] = v;
    return flow;
}

void expectSameParticles(const ParticleList& actual, const ParticleList& expected) {
    for (int i = 0; i < particleCount; ++i) {
        ASSERT_EQ(actual[i].x, expected[i].x) << "particle " << i;
        ASSERT_EQ(actual[i].y, expected[i].y) << "particle " << i;
    }
}

TEST(ParticleRandom, IsTheLcgStartedFromOne) {
    // The first draws from state 1, worked out from the formula by hand:
    // 1 * 214013 + 2531011 = 2745024, and 2745024 >> 16 = 41.
    ReplicaRandom fromOne;
    EXPECT_EQ(fromOne.next(), 41u);
    EXPECT_EQ(fromOne.next(), ((2745024u * 214013u + 2531011u) >> 16) & 0x7FFFu);

    // The real generator follows the replica draw for draw...
    ReplicaRandom replica = syncWithParticleRandom();
    for (int i = 0; i < 1000; ++i) {
        const std::uint32_t draw = particleRandom();
        ASSERT_EQ(draw, replica.next()) << "draw " << i;
        ASSERT_LE(draw, 32767u);
    }

    // ...and its state lies a modest number of draws after state 1: it was
    // never reseeded, whatever other tests drew before this one.
    ReplicaRandom walker;
    bool found = false;
    for (int step = 0; step < 20000000 && !found; ++step) {
        walker.next();
        found = (walker.state & 0x7FFFFFFFu) == (replica.state & 0x7FFFFFFFu);
    }
    EXPECT_TRUE(found) << "generator state is not within 20 million draws of state 1";
}

TEST(SeedParticles, GivesEveryParticleTheNextRandomPixelInListOrder) {
    ParticleList particles{};
    ReplicaRandom replica = syncWithParticleRandom();
    seedParticles(particles, 640, 480);
    ParticleList expected{};
    for (Vec2& p : expected) p = replicaPixel(replica, 640, 480);
    expectSameParticles(particles, expected);
    EXPECT_EQ(particleRandom(), replica.next()) << "seeding draws exactly two values a particle";
}

TEST(SeedParticles, PositionsAreWholePixelsInsideThePicture) {
    struct Size {
        std::int32_t width, height;
    };
    // Pictures wider or taller than the largest draw: nothing lands past 32767.
    const Size sizes[] = {{3, 3}, {640, 480}, {100000, 5}, {4, 70000}, {1, 1}};
    for (const Size& s : sizes) {
        ParticleList particles{};
        seedParticles(particles, s.width, s.height);
        for (const Vec2& p : particles) {
            ASSERT_EQ(p.x, std::floor(p.x));
            ASSERT_EQ(p.y, std::floor(p.y));
            ASSERT_GE(p.x, 0.0f);
            ASSERT_GE(p.y, 0.0f);
            ASSERT_LT(p.x, static_cast<float>(std::min(s.width, 32768)));
            ASSERT_LT(p.y, static_cast<float>(std::min(s.height, 32768)));
        }
    }
}

TEST(AdvanceParticles, MovesByTheSampledFlowTimesTheStep) {
    const FlowGrid flow = constantFlow(16, 12, Vec2{2.0f, -1.0f});
    ParticleList particles{};
    for (int i = 0; i < particleCount; ++i) particles[i] = Vec2{static_cast<float>(i % 10) + 2.5f, 7.0f};
    ParticleList expected = particles;
    for (Vec2& p : expected) p = Vec2{p.x + 1.0f, p.y - 0.5f};

    advanceParticles(particles, flow, 0.5f);
    expectSameParticles(particles, expected);

    // A zero step moves nothing and draws nothing.
    ReplicaRandom replica = syncWithParticleRandom();
    advanceParticles(particles, flow, 0.0f);
    expectSameParticles(particles, expected);
    EXPECT_EQ(particleRandom(), replica.next());
}

TEST(AdvanceParticles, RespawnsOnlyParticlesThatLeftThePicture) {
    constexpr std::int32_t width = 10;
    constexpr std::int32_t height = 8;
    struct Case {
        const char* what;
        Vec2 start;
        Vec2 flow;
        float dt;
        bool respawns;
    };
    const Case cases[] = {
        {"pushed just past the left edge", {0.0005f, 3.0f}, {-1.0f, 0.0f}, 0.0015f, true},
        {"pushed just past the top edge", {3.0f, 0.0005f}, {0.0f, -1.0f}, 0.0015f, true},
        {"pushed past the right edge", {9.5f, 3.0f}, {1.0f, 0.0f}, 1.0f, true},
        {"pushed past the bottom edge", {3.0f, 7.5f}, {0.0f, 1.0f}, 1.0f, true},
        {"landing exactly on the right edge", {9.0f, 3.0f}, {1.0f, 0.0f}, 1.0f, false},
        {"landing exactly on the bottom edge", {3.0f, 7.0f}, {0.0f, 1.0f}, 1.0f, false},
        {"landing exactly on the left edge", {1.0f, 3.0f}, {-1.0f, 0.0f}, 1.0f, false},
        {"at a position that is not a number", {std::numeric_limits<float>::quiet_NaN(), 3.0f}, {0.0f, 0.0f},
         1.0f, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const FlowGrid flow = constantFlow(width, height, c.flow);
        ParticleList particles{};
        particles.fill(Vec2{5.0f, 5.0f});  // still: the flow only moves them inside
        particles[17] = c.start;
        ReplicaRandom replica = syncWithParticleRandom();
        advanceParticles(particles, flow, c.dt);
        if (c.respawns) {
            // Particles before 17 stay inside, so the respawn takes the next two draws.
            const Vec2 expected = replicaPixel(replica, width, height);
            EXPECT_EQ(particles[17].x, expected.x);
            EXPECT_EQ(particles[17].y, expected.y);
        } else {
            EXPECT_EQ(particles[17].x, c.start.x + c.flow.x * c.dt);
            EXPECT_EQ(particles[17].y, c.start.y + c.flow.y * c.dt);
        }
        EXPECT_EQ(particleRandom(), replica.next()) << "draws beyond the respawn";
    }
}

TEST(RefreshParticles, RescattersFiftyOnlyWhenMoreThanTheIntervalPassed) {
    constexpr std::int32_t width = 300;
    constexpr std::int32_t height = 200;
    struct Case {
        double last;
        double now;
        bool rescatters;
    };
    const Case cases[] = {
        {0.0, 0.0, false},          {0.0, 0.03125, false}, {1.0, 1.03125, false},
        {0.0, 0.0312500001, true},  {2.0, 2.5, true},      {5.0, 4.0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "last " << c.last << " now " << c.now);
        ParticleList particles{};
        particles.fill(Vec2{0.5f, 0.25f});  // off the pixel grid: a re-scattered one shows
        ParticleList expected = particles;
        double lastReseedTime = c.last;
        ReplicaRandom replica = syncWithParticleRandom();
        refreshParticles(particles, lastReseedTime, c.now, width, height);
        if (c.rescatters) {
            // Position first, then the index; one particle may be hit twice.
            for (int i = 0; i < 50; ++i) {
                const Vec2 position = replicaPixel(replica, width, height);
                expected[replica.next() % 500u] = position;
            }
            EXPECT_EQ(lastReseedTime, c.now);
        } else {
            EXPECT_EQ(lastReseedTime, c.last);
        }
        expectSameParticles(particles, expected);
        EXPECT_EQ(particleRandom(), replica.next());
    }
}

}  // namespace
