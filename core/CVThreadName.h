#pragma once

// Names the calling thread as tools show it (top -H, perf, gdb, /proc):
// at most 15 characters are kept. Any thread.
void CVSetCurrentThreadName(const char* name);
