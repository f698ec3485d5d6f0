#include "ui/controls/LightBlend.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define NK7X_LIGHT_AVX2 1
#endif

namespace nk7x {
namespace {

// The light's share of a pixel, 0..128, from the pixel's weight and the brightness (both 0..255):
// q * b / 508 rounded, kept inside 16 bits at every step so the wide pass computes the same.
inline int Share(int q, int brightness) {
    const int x = q * brightness;
    return ((x >> 1) + (x >> 8) + 32) >> 8;
}

inline uint32_t BlendPixel(uint32_t base, uint32_t under, int share, uint32_t colour) {
    uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const int k = int((colour >> shift) & 0xFF);
        const int u = int((under >> shift) & 0xFF);
        const int p = int((base >> shift) & 0xFF);
        const int t = ((k - u) * share + 64) >> 7;
        out |= uint32_t(std::clamp(p + t, 0, 255)) << shift;
    }
    return out;
}

#if defined(NK7X_LIGHT_AVX2)
__attribute__((target("avx2"))) inline __m256i HalfAvx2(__m256i p16, __m256i u16, __m256i q16, __m256i k16,
                                                        __m256i b16, __m256i round32, __m256i round64) {
    const __m256i x = _mm256_mullo_epi16(q16, b16);
    const __m256i w = _mm256_srli_epi16(
        _mm256_add_epi16(_mm256_add_epi16(_mm256_srli_epi16(x, 1), _mm256_srli_epi16(x, 8)), round32), 8);
    const __m256i d = _mm256_sub_epi16(k16, u16);
    const __m256i t = _mm256_srai_epi16(_mm256_add_epi16(_mm256_mullo_epi16(d, w), round64), 7);
    return _mm256_add_epi16(p16, t);
}

// Eight pixels at a time; each 128-bit half of a register does what the two-pixel SSE2 steps do.
__attribute__((target("avx2"))) size_t BlendLightAvx2(uint32_t* out, const LightLayers& layers, size_t count,
                                                      uint32_t colour, int brightness) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i k16 = _mm256_unpacklo_epi8(_mm256_set1_epi32(int(colour)), zero);
    const __m256i b16 = _mm256_set1_epi16(short(brightness));
    const __m256i round32 = _mm256_set1_epi16(32);
    const __m256i round64 = _mm256_set1_epi16(64);
    size_t i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m256i p = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(layers.base + i));
        const __m256i u = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(layers.under + i));
        const __m128i q8 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(layers.weight + i));
        const __m128i q16 = _mm_unpacklo_epi8(q8, q8);
        const __m256i q = _mm256_set_m128i(_mm_unpackhi_epi16(q16, q16), _mm_unpacklo_epi16(q16, q16));
        const __m256i lo = HalfAvx2(_mm256_unpacklo_epi8(p, zero), _mm256_unpacklo_epi8(u, zero),
                                    _mm256_unpacklo_epi8(q, zero), k16, b16, round32, round64);
        const __m256i hi = HalfAvx2(_mm256_unpackhi_epi8(p, zero), _mm256_unpackhi_epi8(u, zero),
                                    _mm256_unpackhi_epi8(q, zero), k16, b16, round32, round64);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), _mm256_packus_epi16(lo, hi));
    }
    return i;
}

bool HasAvx2() {
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}
#endif

} // namespace

void BlendLightScalar(uint32_t* out, const LightLayers& layers, size_t count, uint32_t rgb, int brightness) {
    const uint32_t colour = 0xFF000000u | (rgb & 0xFFFFFFu);
    brightness = std::clamp(brightness, 0, 255);
    for (size_t i = 0; i < count; ++i)
        out[i] = BlendPixel(layers.base[i], layers.under[i], Share(layers.weight[i], brightness), colour);
}

void BlendLight(uint32_t* out, const LightLayers& layers, size_t count, uint32_t rgb, int brightness) {
    const uint32_t colour = 0xFF000000u | (rgb & 0xFFFFFFu);
    brightness = std::clamp(brightness, 0, 255);
    size_t i = 0;
#if defined(NK7X_LIGHT_AVX2)
    if (HasAvx2())
        i = BlendLightAvx2(out, layers, count, colour, brightness);
#endif
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    const __m128i k16 = _mm_unpacklo_epi8(_mm_set1_epi32(int(colour)), zero);
    const __m128i b16 = _mm_set1_epi16(short(brightness));
    const __m128i round32 = _mm_set1_epi16(32);
    const __m128i round64 = _mm_set1_epi16(64);
    auto share = [&](__m128i q16) {
        const __m128i x = _mm_mullo_epi16(q16, b16); // at most 65025: fits unsigned 16 bits
        const __m128i s = _mm_add_epi16(_mm_add_epi16(_mm_srli_epi16(x, 1), _mm_srli_epi16(x, 8)), round32);
        return _mm_srli_epi16(s, 8);
    };
    auto half = [&](__m128i p16, __m128i u16, __m128i w16) {
        const __m128i d = _mm_sub_epi16(k16, u16);
        const __m128i t = _mm_srai_epi16(_mm_add_epi16(_mm_mullo_epi16(d, w16), round64), 7);
        return _mm_add_epi16(p16, t);
    };
    for (; i + 4 <= count; i += 4) {
        const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(layers.base + i));
        const __m128i u = _mm_loadu_si128(reinterpret_cast<const __m128i*>(layers.under + i));
        int packed = 0;
        std::memcpy(&packed, layers.weight + i, 4);
        __m128i q = _mm_cvtsi32_si128(packed);
        q = _mm_unpacklo_epi8(q, q);
        q = _mm_unpacklo_epi16(q, q); // each weight in its pixel's four channels
        const __m128i lo =
            half(_mm_unpacklo_epi8(p, zero), _mm_unpacklo_epi8(u, zero), share(_mm_unpacklo_epi8(q, zero)));
        const __m128i hi =
            half(_mm_unpackhi_epi8(p, zero), _mm_unpackhi_epi8(u, zero), share(_mm_unpackhi_epi8(q, zero)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(lo, hi));
    }
#endif
    for (; i < count; ++i)
        out[i] = BlendPixel(layers.base[i], layers.under[i], Share(layers.weight[i], brightness), colour);
}

} // namespace nk7x
