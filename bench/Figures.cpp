#include "Figures.h"

#include <algorithm>
#include <cmath>

namespace Figures {

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

double maximum(const std::vector<double>& values)
{
    return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
}

double minimum(const std::vector<double>& values)
{
    return values.empty() ? 0 : *std::min_element(values.begin(), values.end());
}

double slope(const std::vector<double>& values)
{
    const double n = static_cast<double>(values.size());
    if (values.size() < 2)
        return 0;
    double sumX = 0, sumY = 0, sumXY = 0, sumXX = 0;
    for (std::size_t i = 0; i < values.size(); ++i) {
        const double x = static_cast<double>(i);
        sumX += x;
        sumY += values[i];
        sumXY += x * values[i];
        sumXX += x * x;
    }
    return (n * sumXY - sumX * sumY) / (n * sumXX - sumX * sumX);
}

double slopeStandardError(const std::vector<double>& values)
{
    const std::size_t n = values.size();
    if (n < 3)
        return 0;
    const double b = slope(values);
    const double meanX = static_cast<double>(n - 1) / 2;
    double meanY = 0;
    for (double v : values)
        meanY += v / static_cast<double>(n);
    double residuals = 0, spreadX = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double x = static_cast<double>(i) - meanX;
        const double r = values[i] - meanY - b * x;
        residuals += r * r;
        spreadX += x * x;
    }
    return std::sqrt(residuals / static_cast<double>(n - 2) / spreadX);
}

std::vector<double> magnitudes(std::vector<double> values)
{
    for (double& value : values)
        value = std::fabs(value);
    return values;
}

const char* verdict(bool met)
{
    return met ? "met" : "MISSED";
}

} // namespace Figures
