// Compares a double with a number as printed in a table of reference values:
// equal to every printed digit, i.e. within half a unit of the last one.
#ifndef PRINTED_VALUE_H
#define PRINTED_VALUE_H

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>

inline ::testing::AssertionResult MatchesPrinted(double actual, const std::string &printed)
{
    const double expected = std::strtod(printed.c_str(), nullptr);
    // Position of the last printed digit relative to the decimal point.
    const std::string mantissa = printed.substr(0, printed.find_first_of("eE"));
    const auto exponentAt = printed.find_first_of("eE");
    const int exponent = exponentAt == std::string::npos ? 0 : std::atoi(printed.c_str() + exponentAt + 1);
    const auto point = mantissa.find('.');
    const int decimals = point == std::string::npos ? 0 : int(mantissa.size() - point - 1);
    const double halfUnit = 0.5 * std::pow(10.0, exponent - decimals) * (1 + 1e-9);
    if (std::fabs(actual - expected) <= halfUnit)
        return ::testing::AssertionSuccess();
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.17g", actual);
    return ::testing::AssertionFailure() << buf << " does not print as " << printed;
}

#endif
