#pragma once
// Process-wide playback values shared by the frame mix, the fades and the
// oscillators. They are written only by the engine's own setters, under the
// engine lock or on an engine one thread owns; atomics keep a stray reader on
// another thread sound.
#include <atomic>
#include <cstdint>

// The frame loops are written for the vectoriser. On x86-64 they are built
// once more for the wider vector units, and the one the processor has is
// picked when the program loads; elsewhere the baseline build serves. Not
// under ThreadSanitizer: the pick runs before its runtime is up and crashes.
#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define SHOW_FRAME_LOOPS_BASELINE_ONLY
#endif
#endif
#if defined(__SANITIZE_THREAD__)
#define SHOW_FRAME_LOOPS_BASELINE_ONLY
#endif
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__)) && \
    !defined(SHOW_FRAME_LOOPS_BASELINE_ONLY)
#define SHOW_FRAME_LOOPS __attribute__((target_clones("arch=x86-64-v4", "avx2", "default")))
#else
#define SHOW_FRAME_LOOPS
#endif

// Intensity output = mixed value x GrandMaster / 255; never above 255.
extern std::atomic<uint32_t> GrandMaster;
// Hundredths of a percent, 1000..40000; 10000 plays at normal speed.
extern std::atomic<int32_t> PlaybackSpeed;

// A layer or cue list at full level: levels run 0..65535 and scale a
// layer's intensity channels.
constexpr int32_t kFullLevel = 65535;

// Milliseconds of show time per frame. Shows are timed against this whole-ms
// truncation (41 ms at 100 %, not 41.666), so keep it integer.
int32_t FrameStep();

// Show files carry 32-bit times; their sums and products are taken in 64 bits
// and brought back here rather than wrapping.
int32_t SaturateToInt32(int64_t value);
