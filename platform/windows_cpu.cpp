#include <windows.h>

#include <bit>
#include <thread>

#include "platform/cpu.h"

namespace ferry {

unsigned usableCores() {
    DWORD_PTR process = 0;
    DWORD_PTR system = 0;
    if (GetProcessAffinityMask(GetCurrentProcess(), &process, &system) && process != 0) {
        return static_cast<unsigned>(std::popcount(process));
    }
    const unsigned machine = std::thread::hardware_concurrency();
    return machine > 0 ? machine : 1;
}

bool keepToFirstCores(unsigned count) {
    DWORD_PTR cores = 0;
    for (unsigned core = 0; core < count && core < 8 * sizeof cores; ++core) {
        cores |= DWORD_PTR{1} << core;
    }
    return cores != 0 && SetProcessAffinityMask(GetCurrentProcess(), cores) != 0;
}

}  // namespace ferry
