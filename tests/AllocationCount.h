#pragma once

// Counts heap allocations while a test asks for it, to show that a piece of work makes none.
// The sanitizers bring their own allocation functions, which must stay in pairs; their
// builds leave them alone and count nothing.

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define TESTS_COUNT_ALLOCATIONS 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define TESTS_COUNT_ALLOCATIONS 0
#endif
#endif
#ifndef TESTS_COUNT_ALLOCATIONS
#define TESTS_COUNT_ALLOCATIONS 1
#endif

inline constexpr bool kAllocationsCounted = TESTS_COUNT_ALLOCATIONS;

// Counting runs from Start to Stop; Stop returns the allocations made in between.
void StartCountingAllocations();
long StopCountingAllocations();
