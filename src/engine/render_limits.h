#pragma once

#include <cstdint>

// Limits of the render cycle, in one place.
namespace tolva {

// The largest frame count a device is expected to ask for in one cycle
// (JACK's largest period). Larger cycles are still rendered correctly: the
// cycle works through its frames in chunks and needs no buffer of N frames.
inline constexpr uint32_t kMaxDeviceFrames = 8192;

// Frames per chunk of the render cycle's stack scratch (3 floats per frame).
inline constexpr uint32_t kRenderChunkFrames = 256;

}  // namespace tolva
