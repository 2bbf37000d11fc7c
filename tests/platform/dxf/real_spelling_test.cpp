// The writer's spelling of a real (GroupWriter::RealValue) held against the
// shortest form std::to_chars gives, with ".0" after a whole number: values
// of a few decimals take a quicker way, which must spell every value alike.
#include <gtest/gtest.h>

#include <charconv>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "dxf_internal.h"

namespace {

using standin::dxf::GroupWriter;

std::string Shortest(double v)
{
    if (!std::isfinite(v) || v == 0) v = 0;
    char buf[40];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    std::string s(buf, r.ptr);
    if (s.find_first_of(".e") == std::string::npos) s += ".0";
    return s;
}

double FromBits(uint64_t bits)
{
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

TEST(DxfRealSpelling, EveryValueSpelledAsTheShortestFormThatReadsBack)
{
    std::vector<double> values = {0.0, -0.0, 1.0, -1.0, 0.1, 0.3, 3.55, 1050.125, 12.0, 100.0, 10000.0,
                                  99999.0, 99999.999999, 100000.0, 1e5 - 1e-6, 0.001, -0.001, 0.002, 0.009,
                                  0.000999, 0.0009999999, 0.0011, 0.01, 0.123456, 0.1234567, 1234.5678905,
                                  std::numeric_limits<double>::denorm_min(), -std::numeric_limits<double>::denorm_min(),
                                  DBL_MIN, DBL_MAX, -DBL_MAX, DBL_EPSILON, 1e15, 1e300, 1e-300, M_PI, -M_PI * 1e4,
                                  std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                                  std::numeric_limits<double>::quiet_NaN()};
    // Both sides of each bound of the quick way.
    for (double bound : {1e-3, 1e5, 1.0, 0.5e-6, 1e-6})
        for (double v = bound, up = bound, i = 0; i < 4; ++i) {
            v = std::nextafter(v, 0.0);
            up = std::nextafter(up, INFINITY);
            values.insert(values.end(), {v, up, -v, -up});
        }
    std::mt19937_64 random(43);
    // Decimals as drawings hold them: whole numbers and a few places, below
    // the bounds and past them, and the doubles next to them.
    for (int i = 0; i < 300000; ++i) {
        const int places = (int)(random() % 10);
        const double scale = std::pow(10.0, places);
        const int64_t n = (int64_t)(random() % 20000000000ull) - 10000000000ll;
        const double v = (double)(n >> (random() % 34)) / scale;
        values.push_back(v);
        if (i % 4 == 0) values.push_back(std::nextafter(v, INFINITY));
    }
    // Any bits: subnormals, huge, tiny, not finite.
    for (int i = 0; i < 300000; ++i) values.push_back(FromBits(random()));
    // Uniform over the range of the quick way.
    std::uniform_real_distribution<double> inRange(-1e5, 1e5);
    for (int i = 0; i < 300000; ++i) values.push_back(inRange(random));

    int mismatches = 0;
    for (double v : values) {
        const std::string got = GroupWriter::RealValue(v);
        const std::string want = Shortest(v);
        if (got != want && ++mismatches <= 10) ADD_FAILURE() << "bits " << std::hexfloat << v << ": " << got << " not " << want;
    }
    EXPECT_EQ(mismatches, 0);
}

}  // namespace
