#pragma once

// Counts the blocks of operator new that are not yet deleted, across all threads, so that a
// test can tell that a run of the host's code freed everything it allocated (the reply texts
// of workers and of the queue above all).

namespace host_test {

long live_allocations();

}  // namespace host_test
