// Lays a key's light over its still layers in one pass. For a key whose bevel U lies under the
// light and whose cap C lies above it, the picture with a light of colour K (opaque) at
// brightness b is
//     out = P + Q * b/255 * (K - U)      per channel, premultiplied ARGB,
// where P = C over U is the key without light and Q = shape * (1 - alpha of C) says how much of
// the light each pixel lets through. P, U and Q change only with the key's look; a new colour
// costs one pass of this kernel, four pixels at a time where the processor allows.
#pragma once

#include <cstddef>
#include <cstdint>

namespace nk7x {

struct LightLayers {
    const uint32_t* base = nullptr;  // P, premultiplied ARGB
    const uint32_t* under = nullptr; // U, premultiplied ARGB
    const uint8_t* weight = nullptr; // Q, 0..255, one per pixel
};

// Writes `count` pixels of `out` for the colour `rgb` (0xRRGGBB) at `brightness` 0..255.
void BlendLight(uint32_t* out, const LightLayers& layers, size_t count, uint32_t rgb, int brightness);

// The same, one pixel at a time: the reference the fast pass must equal.
void BlendLightScalar(uint32_t* out, const LightLayers& layers, size_t count, uint32_t rgb, int brightness);

} // namespace nk7x
