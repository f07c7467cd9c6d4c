#pragma once

// Counts the heap allocations of the whole program, so that a test or a
// benchmark can check that a piece of per-frame work allocates nothing. Link
// AllocationCounter.cpp into the program (it replaces operator new).

namespace gloam::testing {

// Allocations made by operator new since the program started.
long allocationCount();

// Allocations made while `work` runs.
template <typename Work>
long allocationsDuring(Work&& work)
{
    const long before = allocationCount();
    work();
    return allocationCount() - before;
}

} // namespace gloam::testing
