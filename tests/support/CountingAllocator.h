#pragma once

// Counts heap allocations for the tests that check a stage allocates
// nothing: linking CountingAllocator.cpp replaces the program's global
// operator new and delete (all their forms) with ones that count while
// counting is on, so such a test is a program of its own.

namespace TestSupport {

// Counting from 0, on every thread, until stopCounting(), which returns
// the allocations made.
void startCounting();
long stopCounting();

// The allocations counted for one new and delete (through a volatile
// pointer, so that the pair is not left out): 1 when the program counts.
long allocationsOfOneBlock();

// Allocations made by i_work, with counting on only around it.
template <class TWork>
long allocationsOf(TWork&& i_work)
{
    startCounting();
    i_work();
    return stopCounting();
}

}  // namespace TestSupport
