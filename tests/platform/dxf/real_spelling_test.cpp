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

// A zero keeps its sign: "-0.0" reads back as the value held.
std::string Shortest(double v)
{
    if (!std::isfinite(v)) v = 0;
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

namespace {

// Reals as a file spells them are read with a quicker way for plain
// decimals: every one must read as the same double std::from_chars gives,
// bit for bit (its sign of zero too).
TEST(DxfRealSpelling, EveryRealReadsAsFromCharsReadsIt)
{
    std::vector<std::string> spelt = {"0", "-0", "0.0", "-0.0", "1", "-1", "0.1", "0.3", "3.55", "25.125", "1.",
                                      ".5", "-.5", "00012.500", "123456789012345", "-123456789012345",
                                      "12345678901234.5", "1234567890123456", "999999999999999.9", "0.000000000000001",
                                      "0.0000000000000001", "9007199254740993", "1e5", "1E-3", "2.5e+2", "7.00000000000000"};
    std::mt19937_64 random(7);
    for (int i = 0; i < 200000; ++i) {
        std::string s = random() % 4 == 0 ? "-" : "";
        const int whole = 1 + (int)(random() % 9), places = (int)(random() % 12);
        for (int d = 0; d < whole; ++d) s += (char)('0' + random() % 10);
        if (places) {
            s += '.';
            for (int d = 0; d < places; ++d) s += (char)('0' + random() % 10);
        }
        spelt.push_back(s);
    }
    std::string file;
    for (const std::string& s : spelt) file += " 10\n" + s + "\n";
    file += "  0\nEOF\n";
    std::vector<standin::dxf::Group> groups;
    std::string error;
    ASSERT_TRUE(standin::dxf::ReadGroups(file, groups, error)) << error;
    ASSERT_EQ(groups.size(), spelt.size() + 1);
    for (size_t i = 0; i < spelt.size(); ++i) {
        const std::string& s = spelt[i];
        double want = 0;
        const char* from = s.data() + (s[0] == '+' ? 1 : 0);
        std::from_chars(from, s.data() + s.size(), want);
        ASSERT_EQ(groups[i].kind, standin::dxf::Kind::kReal) << s;
        uint64_t got = 0, expected = 0;
        std::memcpy(&got, &groups[i].real, sizeof got);
        std::memcpy(&expected, &want, sizeof expected);
        ASSERT_EQ(got, expected) << s;
    }
}

}  // namespace
