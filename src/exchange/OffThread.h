#pragma once

#include <functional>

namespace exchange {

// Runs `work` on a worker thread while this thread keeps painting and running its timers,
// calling `tick` about every 100 ms; user input to every window is refused meanwhile, so nothing
// else touches the database or the file. Returns when the work is done and rethrows what it threw.
void runOffThread(const std::function<void()>& work, const std::function<void()>& tick = {});

} // namespace exchange
