#pragma once

// Counts the blocks of operator new that are not yet deleted, across all threads, so that a
// test can tell that a run of the host's code freed everything it allocated (the reply texts
// of workers and of the queue above all).

namespace host_test {

long live_allocations();

// While set, every nothrow operator new fails, as when memory runs out; the throwing forms still
// succeed.
void fail_nothrow_allocations(bool fail);

}  // namespace host_test
