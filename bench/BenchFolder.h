#pragma once

#include "store/Session.h"

namespace bench {

// One program folder per benchmark run holding 100,000 generated persons (TESSALY_BENCH_PERSONS
// overrides the count), opened as the super user.
store::Session& sharedSession();
double residentMegabytes();

} // namespace bench
