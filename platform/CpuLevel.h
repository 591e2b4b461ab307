#pragma once
// The instruction-set level every vectorised kernel runs at, chosen in one
// place. The level is detected once from the processor;
// PLINDROW_CPU_LEVEL=baseline|avx2|avx512 in the environment makes the process
// treat higher levels as absent, and a cap set from code (SetCpuLevelCap,
// ScopedCpuLevel) lowers the active level further, so that tests and
// benchmarks can run each fast path the machine has against its scalar
// reference.
//
// A kernel reads ActiveCpuLevel() when it picks its row functions (once per
// call, not once per process) and compiles one variant per level with a
// target attribute inside that level's instruction sets.
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

enum class CpuLevel : int {
    Baseline = 0,  // plain x86-64 (SSE2), what the compiler targets by default
    Avx2 = 1,      // adds AVX2, FMA, BMI1/2 (x86-64-v3)
    Avx512 = 2,    // adds AVX-512 F, CD, BW, DQ, VL (x86-64-v4)
};

// The best level this processor supports (read once).
CpuLevel DetectedCpuLevel();
// The level kernels use now: the highest available one, lowered by the cap.
CpuLevel ActiveCpuLevel();
// Every level the process may use, from Baseline up to the detected level
// (or the environment's, if lower).
std::vector<CpuLevel> AvailableCpuLevels();

// Caps the active level (a cap above the detected level has no effect);
// ResetCpuLevelCap removes it. Process-wide: set
// it before starting kernels, not while they run on other threads.
void SetCpuLevelCap(CpuLevel cap);
void ResetCpuLevelCap();

// "baseline", "avx2", "avx512"; parsing is case-insensitive.
const char* CpuLevelName(CpuLevel level);
std::optional<CpuLevel> ParseCpuLevel(std::string_view name);

// Holds the cap at `level` for its lifetime, then restores the previous cap.
class ScopedCpuLevel {
public:
    explicit ScopedCpuLevel(CpuLevel level);
    ~ScopedCpuLevel();
    ScopedCpuLevel(const ScopedCpuLevel&) = delete;
    ScopedCpuLevel& operator=(const ScopedCpuLevel&) = delete;

private:
    int previous_;
};

// Runs fn once at each available level with the cap held there, lowest first,
// and restores the cap afterwards. Tests wrap the fast-versus-reference checks
// in it (with SCOPED_TRACE(CpuLevelName(level))) so every variant is held to
// the reference, not only the best one.
void ForEachCpuLevel(const std::function<void(CpuLevel)>& fn);
