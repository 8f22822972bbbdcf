// What the benchmarks share: percentiles of their samples and a field kept busy.
#pragma once

#include <random>
#include <vector>

// The sample at fraction `p` (0.5 the median, 0.99 the p99) of the sorted samples.
double percentile(std::vector<double> v, double p);

// Keeps the field full: fourteen falling blocks of every kind, the rest of the slots left
// for pieces.
void crowd_the_field(std::mt19937& rng);
