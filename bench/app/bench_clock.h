#pragma once

// Small helpers for the window benchmarks: a monotonic clock, medians and
// the process's resident memory.

#include <cstdint>
#include <vector>

double NowSeconds();
// CPU time of the calling thread: steadier than wall time on a busy machine.
double ThreadCpuSeconds();
double Median(std::vector<double> values);
double Percentile(std::vector<double> values, double fraction);
// VmRSS in KiB, from /proc/self/status.
long ResidentKiB();
