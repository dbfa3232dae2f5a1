#pragma once

#include <vector>

/// The few statistics the benchmarks print.
namespace Figures {

/// The median of \a values (the mean of the middle two for an even count); 0 when empty.
double median(std::vector<double> values);
/// The largest of \a values; 0 when empty.
double maximum(const std::vector<double>& values);
/// The smallest of \a values; 0 when empty.
double minimum(const std::vector<double>& values);
/// The slope of the least-squares line through (i, values[i]), in units of value per index.
double slope(const std::vector<double>& values);
/// The standard error of slope(values), from the scatter about the line.
double slopeStandardError(const std::vector<double>& values);
/// The absolute values of \a values.
std::vector<double> magnitudes(std::vector<double> values);

/// "met" or "MISSED", for a figure against its target.
const char* verdict(bool met);

} // namespace Figures
