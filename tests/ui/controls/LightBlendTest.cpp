// The one-pass light blend: the wide passes equal the pixel-by-pixel one, and both match laying
// the light over the bevel and the cap over that, as separate layers would.
#include "ui/controls/LightBlend.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>
#include <vector>

namespace nk7x {
namespace {

uint32_t Premultiplied(std::mt19937& rng) {
    const int a = int(rng() % 256);
    auto channel = [&] { return a == 0 ? 0 : int(rng() % unsigned(a + 1)); };
    return uint32_t(a) << 24 | uint32_t(channel()) << 16 | uint32_t(channel()) << 8 | uint32_t(channel());
}

double Channel(uint32_t p, int shift) {
    return double((p >> shift) & 0xFF) / 255.0;
}

// Source over destination, premultiplied, in floating point.
void Over(const double src[4], double dst[4]) {
    const double inverse = 1.0 - src[3];
    for (int c = 0; c < 4; ++c)
        dst[c] = src[c] + dst[c] * inverse;
}

TEST(LightBlend, WidePassesEqualThePixelByPixelOneAndMatchSeparateLayers) {
    std::mt19937 rng(7);
    for (size_t count :
         {size_t(0), size_t(1), size_t(3), size_t(4), size_t(7), size_t(8), size_t(13), size_t(301)}) {
        std::vector<uint32_t> under(count), cover(count), base(count), fast(count), slow(count);
        std::vector<uint8_t> shape(count), weight(count);
        for (size_t i = 0; i < count; ++i) {
            under[i] = Premultiplied(rng);
            cover[i] = Premultiplied(rng);
            shape[i] = uint8_t(rng() % 4 == 0 ? 255 : rng() % 256);
            const uint32_t inverse = 255 - (cover[i] >> 24);
            // The key without light: cover over under.
            uint32_t p = 0;
            for (int shift = 0; shift < 32; shift += 8) {
                const uint32_t c = (cover[i] >> shift) & 0xFF, u = (under[i] >> shift) & 0xFF;
                p |= std::min<uint32_t>(255, c + (u * inverse + 127) / 255) << shift;
            }
            base[i] = p;
            weight[i] = uint8_t(shape[i] * inverse / 255);
        }
        const LightLayers layers{base.data(), under.data(), weight.data()};
        for (uint32_t rgb : {0x000000u, 0xFFFFFFu, 0xFF0000u, 0x12C07Fu}) {
            for (int brightness : {0, 1, 100, 200, 255}) {
                BlendLight(fast.data(), layers, count, rgb, brightness);
                BlendLightScalar(slow.data(), layers, count, rgb, brightness);
                ASSERT_EQ(fast, slow)
                    << "count " << count << " colour " << rgb << " brightness " << brightness;
                for (size_t i = 0; i < count; ++i) {
                    // The light as its own layer: the colour at shape times brightness.
                    const double alpha = shape[i] / 255.0 * brightness / 255.0;
                    const double light[4] = {Channel(rgb, 0) * alpha, Channel(rgb, 8) * alpha,
                                             Channel(rgb, 16) * alpha, alpha};
                    double pixel[4] = {Channel(under[i], 0), Channel(under[i], 8), Channel(under[i], 16),
                                       Channel(under[i], 24)};
                    Over(light, pixel);
                    const double top[4] = {Channel(cover[i], 0), Channel(cover[i], 8), Channel(cover[i], 16),
                                           Channel(cover[i], 24)};
                    Over(top, pixel);
                    for (int c = 0; c < 4; ++c) {
                        const int expected = int(std::lround(pixel[c] * 255.0));
                        const int got = int((fast[i] >> (8 * c)) & 0xFF);
                        ASSERT_LE(std::abs(got - expected), 4)
                            << "pixel " << i << " channel " << c << " colour " << rgb << " brightness "
                            << brightness;
                    }
                }
            }
        }
    }
}

TEST(LightBlend, NoWeightLeavesTheKeyAsItIsAndFullLightOnAPlainBevelIsTheColour) {
    const std::vector<uint32_t> base(9, 0xFF282C34u), under(9, 0xFF282C34u);
    const std::vector<uint8_t> none(9, 0), full(9, 255);
    std::vector<uint32_t> out(9);
    BlendLight(out.data(), {base.data(), under.data(), none.data()}, out.size(), 0x00FF00, 255);
    EXPECT_EQ(out, base);
    BlendLight(out.data(), {base.data(), under.data(), full.data()}, out.size(), 0x00FF00, 255);
    for (uint32_t p : out)
        EXPECT_EQ(p, 0xFF00FF00u);
    BlendLight(out.data(), {base.data(), under.data(), full.data()}, out.size(), 0x00FF00, 0);
    EXPECT_EQ(out, base) << "no brightness, no light";
}

} // namespace
} // namespace nk7x
