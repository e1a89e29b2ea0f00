#pragma once

// How much parallel work the machine lets this process do.

namespace ferry {

// The cores this process may run on (its affinity mask, which taskset or a container
// may narrow below the machine's count); at least 1.
unsigned usableCores();

// Narrows this process (and the processes it starts) to the machine's first `count` cores,
// for measurements comparable between machines. False when the system refuses.
bool keepToFirstCores(unsigned count);

}  // namespace ferry
