// A test-only allocation-failure hook: this program's malloc, calloc,
// realloc and aligned allocations can be made to fail from the Nth call on.
#ifndef HESTREL_TESTS_FAILING_ALLOCATOR_HPP
#define HESTREL_TESTS_FAILING_ALLOCATOR_HPP

namespace alloc_test {

// The Nth allocation from now on fails (N counted from 1); with persistent
// every later one fails too, until disarm().
void arm(long n, bool persistent);
void disarm();
// How many allocations failed since the last arm().
long failures();

}  // namespace alloc_test

#endif
