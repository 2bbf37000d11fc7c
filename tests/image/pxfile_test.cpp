#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "image/pxfile.h"
#include "standin_control.h"
#include "test_support.h"

TEST(PxMemFile, WithoutABufferEverythingFails)
{
    PxMemFile file;
    char c = 0;
    EXPECT_EQ(file.Tell(), -1);
    EXPECT_EQ(file.Size(), -1);
    EXPECT_TRUE(file.Eof());
    EXPECT_EQ(file.Error(), -1);
    EXPECT_EQ(file.Read(&c, 1, 1), 0u);
    EXPECT_EQ(file.Write(&c, 1, 1), 0u);
    EXPECT_FALSE(file.PutC('x'));
    EXPECT_FALSE(file.Flush());
    EXPECT_FALSE(file.Seek(0, 0));
    EXPECT_EQ(file.GetC(), -1);
}

// A caller's buffer is written in place while it has room; beyond that the
// stream copies it into a block of its own and the caller's memory stays as
// it was (a read-only resource would crash on realloc).
TEST(PxMemFile, GrowsIn64KiBStepsWithoutReallocatingTheCallersBuffer)
{
    BYTE callers[16];
    memset(callers, 'a', sizeof callers);
    PxMemFile file(callers, 16);
    EXPECT_FALSE(file.ownsBuffer);
    EXPECT_EQ(file.Write("0123456789abcdef", 1, 16), 16u);
    EXPECT_EQ(memcmp(callers, "0123456789abcdef", 16), 0);
    EXPECT_EQ(file.Write("X", 1, 1), 1u);
    EXPECT_EQ(file.capacity, 65536);
    EXPECT_TRUE(file.ownsBuffer);
    EXPECT_NE(file.buffer, callers);
    EXPECT_EQ(memcmp(file.buffer, "0123456789abcdefX", 17), 0);
    EXPECT_EQ(memcmp(callers, "0123456789abcdef", 16), 0);

    std::string block(65536 - 17, 'z');
    EXPECT_EQ(file.Write(block.data(), 1, block.size()), block.size());
    EXPECT_EQ(file.capacity, 65536);
    EXPECT_TRUE(file.PutC('!'));
    EXPECT_EQ(file.capacity, 131072);
    EXPECT_EQ(file.Size(), 65537);
    EXPECT_EQ(file.buffer[16], 'X');
    EXPECT_EQ(file.buffer[65536], '!');
}

TEST(PxMemFile, ReadsWholeItemsAndClampsAtTheEnd)
{
    BYTE data[10] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    PxMemFile file(data, 10);
    BYTE out[12] = {};
    EXPECT_EQ(file.Read(out, 4, 3), 2u);
    EXPECT_EQ(memcmp(out, data, 10), 0);
    EXPECT_EQ(file.Tell(), 10);
    EXPECT_TRUE(file.Eof());
    EXPECT_EQ(file.Read(out, 1, 1), 0u);

    EXPECT_TRUE(file.Seek(-5, 0));
    EXPECT_EQ(file.Tell(), 0);
    EXPECT_TRUE(file.Seek(-3, 2));
    EXPECT_EQ(file.GetC(), 7);
    EXPECT_TRUE(file.Seek(100, 2));
    EXPECT_EQ(file.Tell(), 110);
    EXPECT_TRUE(file.Eof());
    EXPECT_EQ(file.Error(), 1);
    EXPECT_FALSE(file.Seek(0, 3));
}

// Writing after a seek past the end fills the gap with zeros, not with
// whatever the heap held.
TEST(PxMemFile, GapAfterASeekPastTheEndIsZero)
{
    PxMemFile file((BYTE*)malloc(4), 0);
    file.ownsBuffer = true;
    ASSERT_EQ(file.Write("ab", 1, 2), 2u);
    ASSERT_TRUE(file.Seek(1000, 0));
    ASSERT_EQ(file.Write("c", 1, 1), 1u);
    ASSERT_EQ(file.Size(), 1001);
    for (int i = 2; i < 1000; ++i) ASSERT_EQ(file.buffer[i], 0) << i;
    EXPECT_EQ(file.buffer[1000], 'c');
}

// Positions are 32-bit; a request that would pass 2 GiB fails instead of
// wrapping.
TEST(PxMemFile, PositionsBeyond2GiBFail)
{
    BYTE data[4] = {};
    PxMemFile file(data, 4);
    EXPECT_EQ(file.Read(data, SIZE_MAX, 2), 0u);  // size × count wraps
    EXPECT_EQ(file.Write(data, SIZE_MAX, 2), 0u);
    EXPECT_TRUE(file.Seek(INT32_MAX, 0));
    EXPECT_EQ(file.Write("x", 1, 1), 0u);
    EXPECT_FALSE(file.PutC('x'));
    EXPECT_FALSE(file.Seek(1, 1));
    EXPECT_EQ(file.Tell(), INT32_MAX);
    EXPECT_EQ(file.buffer, data);
}

TEST(PxMemFile, GetS)
{
    BYTE text[] = {'a', 'b', '\n', 'c', 'd'};
    PxMemFile file(text, 5);
    char line[10];
    ASSERT_NE(file.GetS(line, 10), nullptr);
    EXPECT_STREQ(line, "ab\n");
    EXPECT_EQ(file.GetS(line, 10), nullptr);  // "cd" has no newline before the end

    file.Seek(0, 0);
    ASSERT_NE(file.GetS(line, 3), nullptr);
    EXPECT_STREQ(line, "ab");
    ASSERT_NE(file.GetS(line, 1), nullptr);
    EXPECT_STREQ(line, "");
}

// Copies never own: destroying both a stream and its copy frees once
// (the sanitizer checks).
TEST(PxMemFile, CopiesNeverOwn)
{
    PxMemFile* owner = new PxMemFile((BYTE*)malloc(8), 8);
    owner->ownsBuffer = true;
    PxMemFile copy(*owner);
    EXPECT_FALSE(copy.ownsBuffer);
    EXPECT_EQ(copy.buffer, owner->buffer);
    PxMemFile assigned;
    assigned = *owner;
    EXPECT_FALSE(assigned.ownsBuffer);
    copy.Close();
    assigned.Close();
    EXPECT_NE(owner->buffer, nullptr);
    delete owner;
}

TEST(PxIOFile, CallersStreamIsNeverClosed)
{
    std::string path = velktest::MachineRoot() + "/f.bin";
    FILE* f = fopen(path.c_str(), "w+b");
    ASSERT_NE(f, nullptr);
    {
        PxIOFile file(f);
        EXPECT_FALSE(file.ownsStream);
        EXPECT_FALSE(file.Open(L"C:\\other.bin", L"wb"));
        EXPECT_EQ(file.stream, f);
        EXPECT_EQ(file.Write("hello", 1, 5), 5u);
        EXPECT_TRUE(file.Seek(2, 0));
        EXPECT_EQ(file.Size(), 5);
        EXPECT_EQ(file.Tell(), 2);
        EXPECT_EQ(file.GetC(), 'l');
        EXPECT_TRUE(file.Close());
        EXPECT_EQ(file.stream, f);
        PxIOFile copy(file);
        EXPECT_FALSE(copy.ownsStream);
    }
    EXPECT_EQ(fputc('!', f), '!');  // still open
    EXPECT_EQ(fclose(f), 0);
}

TEST(PxIOFile, OpensWindowsPathsAndClosesWhatItOpened)
{
    PxIOFile file;
    EXPECT_TRUE(file.ownsStream);
    EXPECT_EQ(file.Size(), -1);
    EXPECT_TRUE(file.Eof());
    EXPECT_FALSE(file.Open(L"C:\\missing\\f.bin", L"rb"));
    velktest::WriteNativeFile(standin::NativePath(L"C:\\d\\f.txt"), "line one\nline two\n");
    ASSERT_TRUE(file.Open(L"C:\\d\\f.txt", L"rb"));
    char line[32];
    ASSERT_NE(file.GetS(line, sizeof line), nullptr);
    EXPECT_STREQ(line, "line one\n");
    char word[16];
    EXPECT_EQ(file.Scanf("%15s", word), 1);
    EXPECT_STREQ(word, "line");
    EXPECT_TRUE(file.Close());
    EXPECT_EQ(file.stream, nullptr);
    EXPECT_EQ(file.Read(line, 1, 1), 0u);
}
