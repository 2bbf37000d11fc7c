#include <gtest/gtest.h>

#include "windows.h"

namespace {

const BYTE kOne[] = {1, 2, 3};
const BYTE kTwo[] = {4, 5};
const standin::ModuleResource kTable[] = {
    {L"PNG", 8315, 0x804, kOne, sizeof kOne},
    {RT_RCDATA, 8315, 0x804, kTwo, sizeof kTwo},
};
const standin::ModuleResource kOther[] = {{L"PNG", 7, 0x804, kTwo, sizeof kTwo}};

HMODULE Module(uintptr_t n) { return (HMODULE)n; }

}  // namespace

TEST(Resources, FoundByTypeAndIdInTheModulesTables)
{
    HMODULE module = Module(0x1000);
    standin::AddModuleResources(module, kTable, 2);
    standin::AddModuleResources(module, kTable, 2);  // once only
    standin::AddModuleResources(module, kOther, 1);

    HRSRC png = FindResourceW(module, MAKEINTRESOURCEW(8315), L"png");
    ASSERT_NE(png, nullptr);
    EXPECT_EQ(SizeofResource(module, png), 3u);
    HGLOBAL handle = LoadResource(module, png);
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(LockResource(handle), (LPVOID)kOne);
    EXPECT_FALSE(FreeResource(handle));

    HRSRC data = FindResourceW(module, MAKEINTRESOURCEW(8315), RT_RCDATA);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(SizeofResource(module, data), 2u);
    EXPECT_NE(FindResourceW(module, MAKEINTRESOURCEW(7), L"PNG"), nullptr);

    EXPECT_EQ(FindResourceW(module, MAKEINTRESOURCEW(8316), L"PNG"), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_RESOURCE_NAME_NOT_FOUND);
    EXPECT_EQ(FindResourceW(module, MAKEINTRESOURCEW(8315), L"GIF"), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_RESOURCE_TYPE_NOT_FOUND);
    EXPECT_EQ(FindResourceW(module, L"NAMED", L"PNG"), nullptr);

    // A handle is only good with the module it came from.
    HMODULE other = Module(0x2000);
    EXPECT_EQ(FindResourceW(other, MAKEINTRESOURCEW(8315), L"PNG"), nullptr);
    EXPECT_EQ(SizeofResource(other, png), 0u);
    EXPECT_EQ(LoadResource(other, png), nullptr);
    EXPECT_EQ(LoadResource(module, nullptr), nullptr);

    standin::RemoveModuleResources(module);
    EXPECT_EQ(FindResourceW(module, MAKEINTRESOURCEW(8315), L"PNG"), nullptr);
    EXPECT_EQ(LoadResource(module, png), nullptr);
}
