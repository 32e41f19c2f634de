#pragma once

// The number of allocations through operator new since the program started, so a test can
// see whether a call allocates.
long AllocationCount();
