#pragma once

// How many times longer the tests make the program's response time-outs in a build that runs
// many times slower. Under ThreadSanitizer the program and the simulated peers run five to
// fifteen times slower, and a reply that misses the time-out changes what the program does
// (a retry, a skipped row). Waits for a condition need no factor: their bounds of several
// seconds are generous already.
#if defined(__SANITIZE_THREAD__)
inline constexpr int SlowBuildFactor = 4;
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
inline constexpr int SlowBuildFactor = 4;
#else
inline constexpr int SlowBuildFactor = 1;
#endif
#else
inline constexpr int SlowBuildFactor = 1;
#endif
