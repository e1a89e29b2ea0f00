#include "platform/cpu.h"

#include <sched.h>

#include <thread>

namespace ferry {

unsigned usableCores() {
    cpu_set_t allowed;
    CPU_ZERO(&allowed);
    if (sched_getaffinity(0, sizeof allowed, &allowed) == 0) {
        const int count = CPU_COUNT(&allowed);
        if (count > 0) return static_cast<unsigned>(count);
    }
    const unsigned machine = std::thread::hardware_concurrency();
    return machine > 0 ? machine : 1;
}

bool keepToFirstCores(unsigned count) {
    cpu_set_t cores;
    CPU_ZERO(&cores);
    for (unsigned core = 0; core < count && core < CPU_SETSIZE; ++core) CPU_SET(core, &cores);
    return sched_setaffinity(0, sizeof cores, &cores) == 0;
}

}  // namespace ferry
