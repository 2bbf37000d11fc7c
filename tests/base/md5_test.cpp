#include <gtest/gtest.h>

#include <string>

#include "base/basefile.h"
#include "base/md5.h"
#include "base/numtext.h"
#include "standin_control.h"

namespace {

std::string Hex(const Md5Digest& d)
{
    static const char* digits = "0123456789abcdef";
    std::string s;
    for (uint8_t b : d.bytes) s += std::string{digits[b >> 4], digits[b & 15]};
    return s;
}

std::string Md5Of(const std::string& s)
{
    Md5Digest d;
    Md5Buffer(&d, s.data(), (uint32_t)s.size());
    return Hex(d);
}

}  // namespace

TEST(Md5, Rfc1321TestSuite)
{
    EXPECT_EQ(Md5Of(""), "d41d8cd98f00b204e9800998ecf8427e");
    Md5Digest empty;
    Md5Buffer(&empty, nullptr, 0);
    EXPECT_EQ(Hex(empty), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(Md5Of("a"), "0cc175b9c0f1b6a831c399e269772661");
    EXPECT_EQ(Md5Of("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(Md5Of("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
    EXPECT_EQ(Md5Of("abcdefghijklmnopqrstuvwxyz"), "c3fcd3d76192e4007dfb496cca67e13b");
    EXPECT_EQ(Md5Of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
              "d174ab98d277d9f5a5611c2c9f419d9f");
    EXPECT_EQ(Md5Of("12345678901234567890123456789012345678901234567890123456789012345678901234567890"),
              "57edf4a22be3c955ac49da2e2107b67a");
}

TEST(Md5, PiecesAcrossThePaddingBoundariesGiveTheSameDigest)
{
    std::string all;
    for (int i = 0; i < 300; ++i) all += (char)(i * 7 + 3);
    for (size_t length : {55u, 56u, 63u, 64u, 65u, 127u, 128u, 300u}) {
        std::string msg = all.substr(0, length);
        std::string whole = Md5Of(msg);
        for (size_t split : {1u, 7u, 55u, 56u, 63u, 64u, 65u}) {
            if (split > length) continue;
            Md5Context c;
            Md5Init(&c);
            for (size_t at = 0; at < length; at += split)
                Md5Update(&c, msg.data() + at, (uint32_t)std::min(split, length - at));
            Md5Digest d;
            Md5Final(&d, &c);
            EXPECT_EQ(Hex(d), whole) << "length " << length << " split " << split;
        }
    }
}

TEST(Md5, BitCountCarriesIntoItsHighWord)
{
    Md5Context c;
    Md5Init(&c);
    c.count[0] = 0xFFFFFFF8u;  // 2^29 - 1 bytes already absorbed
    Md5Update(&c, "a", 1);
    EXPECT_EQ(c.count[0], 0u);
    EXPECT_EQ(c.count[1], 1u);
    Md5Update(&c, "abc", 3);
    EXPECT_EQ(c.count[0], 24u);
    EXPECT_EQ(c.count[1], 1u);
}

TEST(Md5, KeyIsTheLittleEndianHeadWithTheTopBitCleared)
{
    Md5Digest d;
    Md5Buffer(&d, "abc", 3);
    EXPECT_EQ(Md5Key63(d), 3481232194675933584ull);
    char text[32];
    EXPECT_STREQ(Int64ToText((int64_t)Md5Key63(d), text, 10), "3481232194675933584");
    for (int i = 0; i < 64; ++i) {
        std::string s = "drawing" + std::to_string(i);
        Md5Buffer(&d, s.data(), (uint32_t)s.size());
        uint64_t key = Md5Key63(d);
        ASSERT_LT(key, 1ull << 63);
        // every key survives its decimal text
        EXPECT_EQ(ParseUInt64(Int64ToText((int64_t)key, text, 10)), key);
    }
}

TEST(Md5, FilesMatchTheirBytesAndFailuresLeaveTheDigest)
{
    Md5Digest d, untouched;
    memset(&untouched, 0xAB, sizeof untouched);
    d = untouched;
    EXPECT_EQ(Md5File("C:\\missing.bin", &d), 0);
    EXPECT_EQ(memcmp(&d, &untouched, sizeof d), 0);
    EXPECT_EQ(Md5File("C:\\Temp", &d), 0);  // a folder does not open
    EXPECT_EQ(memcmp(&d, &untouched, sizeof d), 0);

    // a stream that fails to read: 0, and the digest of what was read (nothing)
    FILE* folder = fopen(standin::NativePath(L"C:\\Temp").c_str(), "rb");
    ASSERT_NE(folder, nullptr);
    EXPECT_EQ(Md5Stream(folder, &d), 0);
    fclose(folder);
    EXPECT_EQ(Hex(d), "d41d8cd98f00b204e9800998ecf8427e");

    WriteFileUtf8("C:\\empty.bin", "", 0);
    ASSERT_EQ(Md5File("C:\\empty.bin", &d), 1);
    EXPECT_EQ(Hex(d), "d41d8cd98f00b204e9800998ecf8427e");
    std::string bytes(3000, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = (char)(i * 31);
    WriteFileUtf8("C:\\data.bin", bytes.data(), (int32_t)bytes.size());
    ASSERT_EQ(Md5File("C:\\data.bin", &d), 1);
    EXPECT_EQ(Hex(d), Md5Of(bytes));

    FILE* writeOnly = FopenUtf8("C:\\data.bin", "ab");  // reading it fails
    ASSERT_NE(writeOnly, nullptr);
    EXPECT_EQ(Md5Stream(writeOnly, &d), 0);
    EXPECT_EQ(Hex(d), "d41d8cd98f00b204e9800998ecf8427e");
    fclose(writeOnly);
}
