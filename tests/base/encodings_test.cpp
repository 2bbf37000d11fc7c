#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "base/addresstext.h"
#include "base/encodings.h"
#include "base/scantext.h"

static std::string B64(const char* s)
{
    char out[64];
    Base64Encode((const uint8_t*)s, (uint32_t)strlen(s), out);
    return out;
}

TEST(Encodings, Base64AndHex)
{
    struct { const char* plain; const char* b64; } vectors[] = {
        {"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"}, {"abc", "YWJj"}, {"ab", "YWI="}};
    for (const auto& v : vectors) {
        EXPECT_EQ(B64(v.plain), v.b64);
        uint8_t back[64];
        const int32_t n = Base64Decode(v.b64, back);
        EXPECT_EQ(n, (int32_t)strlen(v.plain)) << v.b64;
        EXPECT_EQ(std::string((const char*)back, n), v.plain);
        EXPECT_EQ(back[n], 0);
    }
    const uint8_t bin[] = {0xFB, 0xFF, 0xBF, 0x00, 0x3E};
    char url[16], std64[16];
    EXPECT_EQ(Base64UrlEncode(bin, 5, url), 7);
    EXPECT_STREQ(url, "_-_-AD4");
    Base64Encode(bin, 5, std64);
    EXPECT_STREQ(std64, "+/+/AD4=");
    uint8_t back[16];
    // "/" and "-" both decode as 63, "+" and "_" as 62
    EXPECT_EQ(Base64Decode(url, back), 5);
    EXPECT_EQ(memcmp(back, bin, 5), 0);

    struct { char c; int v; } table[] = {{'A', 0}, {'Z', 25}, {'a', 26}, {'z', 51}, {'0', 52}, {'9', 61},
                                         {'+', 62}, {'*', 62}, {'!', 62}, {'_', 62}, {'=', 0}, {'/', 63},
                                         {'-', 63}, {'#', 63}};
    for (const auto& t : table) EXPECT_EQ(Base64DecodeChar(t.c), t.v) << t.c;

    char hex[16] = "junk";
    const uint8_t bytes[] = {0x00, 0xAB, 0x7F};
    EXPECT_EQ(HexEncode(hex, 1, bytes, 3), 6);
    EXPECT_STREQ(hex, "00ab7f");
    HexEncode(hex, 0, bytes, 3);
    EXPECT_STREQ(hex, "00AB7F");
    EXPECT_EQ(HexEncode(hex, 0, bytes, 0), 0);
    EXPECT_STREQ(hex, "");
}

TEST(Encodings, ScanTextWithFlexibleWhiteSpace)
{
    int d = 0;
    unsigned u = 0;
    float f = 0;
    uint32_t ip = 0;
    char s[1001];
    EXPECT_EQ(ScanText("name = Tom  age:\t-42 ", "name = %s age: %d", s, &d), 1);
    EXPECT_STREQ(s, "Tom");
    EXPECT_EQ(d, -42);
    EXPECT_EQ(ScanText("x=7\r\ny=2.5", "x=%u y=%f", &u, &f), 1);
    EXPECT_EQ(u, 7u);
    EXPECT_EQ(f, 2.5f);
    EXPECT_EQ(ScanText("gw 10.0.1.254 up", "gw %I up", &ip), 1);
    EXPECT_EQ(ip, 0x0A0001FEu);
    // kinds that do not fit
    EXPECT_EQ(ScanText("x=abc", "x=%d", &d), 0);
    EXPECT_EQ(ScanText("x=-3", "x=%u", &u), 0);
    EXPECT_EQ(ScanText("x=1.2.3", "x=%f", &f), 0);
    EXPECT_EQ(ScanText("ip 1.2.3.256", "ip %I", &ip), 0);
    // the first literal must stand at the start; a missing literal fails
    EXPECT_EQ(ScanText(" x=1", "x=%d", &d), 0);
    EXPECT_EQ(ScanText("x=1", "x=%d;", &d), 0);
    // null destinations are skipped
    EXPECT_EQ(ScanText("a=1 b=2", "a=%d b=%d", nullptr, &d), 1);
    EXPECT_EQ(d, 2);
    // values are cut at 1000 characters
    const std::string longValue(1500, 'v');
    EXPECT_EQ(ScanText(("<" + longValue + ">").c_str(), "<%s>", s), 1);
    EXPECT_EQ(strlen(s), 1000u);
}

TEST(Encodings, AddressTexts)
{
    struct { const char* text; int ipv4; } ips[] = {
        {"1.2.3.4", 1}, {"255.255.255.255", 1}, {"1.2.3.256", 0}, {"01234.1.1.1", 0},
        {"1.2.3", 0},   {"1.2.3.4.5", 0},       {"a.b.c.d", 0},   {"001.002.003.004", 1}};
    for (const auto& c : ips) EXPECT_EQ(IsIPv4Text(c.text), c.ipv4) << c.text;

    struct { const char* text; int net; } nets[] = {
        {"10.0.0.0/8", 1}, {"10.0.0.0/33", 0}, {"10.0.0.0/255.255.0.0", 1}, {"10.0.0.0/255.0.255.0", 0},
        {"10.0.0.0/", 0},  {"10.0.0.0", 0},    {"10.0.0.0/-1", 0}};
    for (const auto& c : nets) EXPECT_EQ(IsIPv4NetText(c.text), c.net) << c.text;

    EXPECT_EQ(IsMacText("00:1A:2b:3C:4d:5E"), 1);
    EXPECT_EQ(IsMacText("00:1A:2b:3C:4d:5"), 0);
    EXPECT_EQ(IsMacText("001:A:2b:3C:4d:5E"), 0);
    EXPECT_EQ(IsMacText("00-1A-2b-3C-4d-5E"), 0);

    EXPECT_EQ(IsIntTextInRange("-5", -10, 10), 1);
    EXPECT_EQ(IsIntTextInRange("5-", -10, 10), 0);
    EXPECT_EQ(IsIntTextInRange("11", -10, 10), 0);
    EXPECT_EQ(IsIntTextInRange("99999999999999999999", 0, 10), 0);

    uint32_t addr = 0;
    int32_t prefix = 0;
    EXPECT_EQ(ParseIPv4Net("192.168.1.0/24", &addr, &prefix), 1);
    EXPECT_EQ(addr, 0xC0A80100u);
    EXPECT_EQ(prefix, 24);
    EXPECT_EQ(ParseIPv4Net("192.168.1.0/255.255.240.0", &addr, &prefix), 1);
    EXPECT_EQ(prefix, 20);
    EXPECT_EQ(ParseIPv4Net("192.168.1.0/255.255.240.0", nullptr, nullptr), 1);
    EXPECT_EQ(ParseIPv4Net("bad", &addr, &prefix), 0);

    EXPECT_EQ(MaskToPrefix(TextToIPv4("255.255.255.0")), 24);
    EXPECT_EQ(MaskToPrefix(TextToIPv4("255.0.255.0")), -1);
    EXPECT_EQ(MaskToPrefix(0), 0);
    EXPECT_EQ(MaskToPrefix(0xFFFFFFFFu), 32);
    EXPECT_EQ(PrefixToMask(0), 0u);
    EXPECT_EQ(PrefixToMask(1), 0x80000000u);
    EXPECT_EQ(PrefixToMask(32), 0xFFFFFFFFu);
    EXPECT_EQ(PrefixToMask(33), 0u);
    char text[20];
    EXPECT_EQ(IPv4ToText(0xC0A80001u, text), 11);
    EXPECT_STREQ(text, "192.168.0.1");
    EXPECT_EQ(TextToIPv4("10.20"), 0x0A140000u);
    EXPECT_EQ(TextToIPv4("1.2.3.300"), 0x0102032Cu);
}
