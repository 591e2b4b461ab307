// Detection by the compiler's cpu-model support (which also checks that the
// operating system saves the wide registers), plus the cap.
#include "platform/CpuLevel.h"

#include <atomic>
#include <cctype>
#include <cstdlib>
#include <string>

namespace {

constexpr int kNoCap = -1;

CpuLevel Detect() {
    __builtin_cpu_init();
    const bool avx2 = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma") &&
                      __builtin_cpu_supports("bmi") && __builtin_cpu_supports("bmi2");
    if (!avx2) return CpuLevel::Baseline;
    const bool avx512 = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512cd") &&
                        __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512dq") &&
                        __builtin_cpu_supports("avx512vl");
    return avx512 ? CpuLevel::Avx512 : CpuLevel::Avx2;
}

// The detected level lowered by PLINDROW_CPU_LEVEL (an unknown name is ignored):
// the process treats the levels above it as absent.
int UsableLevel() {
    static const int usable = [] {
        const int detected = int(DetectedCpuLevel());
        const char* env = std::getenv("PLINDROW_CPU_LEVEL");
        const auto level = env ? ParseCpuLevel(env) : std::nullopt;
        return level && int(*level) < detected ? int(*level) : detected;
    }();
    return usable;
}

std::atomic<int> gCap{kNoCap};

}  // namespace

CpuLevel DetectedCpuLevel() {
    static const CpuLevel level = Detect();
    return level;
}

CpuLevel ActiveCpuLevel() {
    const int usable = UsableLevel();
    const int cap = gCap.load(std::memory_order_relaxed);
    return CpuLevel(cap == kNoCap || cap > usable ? usable : cap);
}

std::vector<CpuLevel> AvailableCpuLevels() {
    std::vector<CpuLevel> out;
    for (int l = 0; l <= UsableLevel(); ++l) out.push_back(CpuLevel(l));
    return out;
}

void SetCpuLevelCap(CpuLevel cap) { gCap.store(int(cap), std::memory_order_relaxed); }

void ResetCpuLevelCap() { gCap.store(kNoCap, std::memory_order_relaxed); }

const char* CpuLevelName(CpuLevel level) {
    switch (level) {
    case CpuLevel::Baseline: return "baseline";
    case CpuLevel::Avx2: return "avx2";
    case CpuLevel::Avx512: return "avx512";
    }
    return "baseline";
}

std::optional<CpuLevel> ParseCpuLevel(std::string_view name) {
    std::string lower;
    for (char c : name) lower += char(std::tolower(static_cast<unsigned char>(c)));
    for (CpuLevel l : {CpuLevel::Baseline, CpuLevel::Avx2, CpuLevel::Avx512})
        if (lower == CpuLevelName(l)) return l;
    return std::nullopt;
}

ScopedCpuLevel::ScopedCpuLevel(CpuLevel level) : previous_(gCap.load()) { SetCpuLevelCap(level); }

ScopedCpuLevel::~ScopedCpuLevel() { gCap.store(previous_); }

void ForEachCpuLevel(const std::function<void(CpuLevel)>& fn) {
    for (CpuLevel level : AvailableCpuLevels()) {
        ScopedCpuLevel hold(level);
        fn(level);
    }
}
