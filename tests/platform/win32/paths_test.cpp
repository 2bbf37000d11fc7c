// Windows paths stay inside the machine: ".." at a drive's root, a leading
// separator, device and share forms, symbolic links that lead out, and the
// module's unload clearing a cache root that climbs out of the machine.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <vector>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>

#include "base/basefile.h"
#include "state/settings.h"
#include "odrx_module.h"
#include "machine_control.h"
#include "standin_control.h"
#include "standin_peer.h"
#include "test_support.h"
#include "text_internal.h"
#include "windows.h"

namespace fs = std::filesystem;

namespace {

TEST(MachinePaths, WindowsPathsMapIntoTheMachineRoot)
{
    const std::string& root = standin::MachineRoot();
    EXPECT_EQ(standin::NativePath(L"C:\\Users\\a.txt"), root + "/C/Users/a.txt");
    EXPECT_EQ(standin::NativePath(L"d:\\x"), root + "/D/x");
    EXPECT_EQ(standin::NativePath(L"C:/a//b/./c"), root + "/C/a/b/c");
    EXPECT_EQ(standin::NativePath(L"\\\\server\\share\\f.txt"), root + "/UNC/server/share/f.txt");
    EXPECT_EQ(standin::NativePath(L"\\\\?\\C:\\long\\f.txt"), root + "/C/long/f.txt");
    EXPECT_EQ(standin::NativePath(L"\\\\?\\UNC\\server\\share\\f"), root + "/UNC/server/share/f");
    EXPECT_EQ(standin::NativePathUtf8("C:\\数据\\图.txt"), root + "/C/数据/图.txt");
    // Trailing dots and blanks go as Windows completes the path: all of
    // them from the last part, a single dot from another; not behind "\\?\".
    EXPECT_EQ(standin::NativePath(L"C:\\a.txt."), root + "/C/a.txt");
    EXPECT_EQ(standin::NativePath(L"C:\\a.txt . ."), root + "/C/a.txt");
    EXPECT_EQ(standin::NativePath(L"C:\\dir.\\f"), root + "/C/dir/f");
    EXPECT_EQ(standin::NativePath(L"C:\\x..\\f"), root + "/C/x../f");
    EXPECT_EQ(standin::NativePath(L"C:\\x\\..."), root + "/C/x");
    EXPECT_EQ(standin::NativePath(L"\\\\?\\C:\\a.txt."), root + "/C/a.txt.");
}

TEST(MachinePaths, DotDotStopsAtTheDriveRootAndTheShare)
{
    const std::string& root = standin::MachineRoot();
    EXPECT_EQ(standin::NativePath(L"C:\\..\\..\\x"), root + "/C/x");
    EXPECT_EQ(standin::NativePath(L"C:\\a\\..\\..\\..\\b\\..\\c"), root + "/C/c");
    EXPECT_EQ(standin::NativePath(L"C:/../../../etc/passwd"), root + "/C/etc/passwd");
    EXPECT_EQ(standin::NativePath(L"C:\\.."), root + "/C");
    EXPECT_EQ(standin::NativePath(L"\\\\server\\share\\..\\..\\x"), root + "/UNC/server/share/x");
    EXPECT_EQ(standin::NativePath(L"\\\\?\\C:\\..\\..\\x"), root + "/C/x");
}

TEST(MachinePaths, ALeadingSeparatorOrNoDriveStartsFromTheCurrentDirectory)
{
    const std::string& root = standin::MachineRoot();
    // A new machine runs in the host's folder.
    EXPECT_EQ(standin::NativePath(L"plug.ini"), root + "/C/Program Files/CadHost/plug.ini");
    EXPECT_EQ(standin::NativePath(L"..\\..\\..\\..\\x"), root + "/C/x");
    EXPECT_EQ(standin::NativePath(L"/tmp/x"), root + "/C/tmp/x");
    EXPECT_EQ(standin::NativePath(L"\\x"), root + "/C/x");

    ASSERT_TRUE(CreateDirectoryW(L"D:\\", nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    fs::create_directories(root + "/D/work");
    ASSERT_TRUE(SetCurrentDirectoryW(L"D:\\work\\..\\..\\work"));
    WCHAR current[MAX_PATH];
    ASSERT_EQ(GetCurrentDirectoryW(MAX_PATH, current), 7u);
    EXPECT_STREQ(current, L"D:\\work");
    EXPECT_EQ(standin::NativePath(L"f.txt"), root + "/D/work/f.txt");
    EXPECT_EQ(standin::NativePath(L"/f.txt"), root + "/D/f.txt");
    EXPECT_EQ(standin::NativePath(L"..\\..\\f.txt"), root + "/D/f.txt");
    // A drive and no separator: that drive's current folder, its root on
    // another drive.
    EXPECT_EQ(standin::NativePath(L"D:f.txt"), root + "/D/work/f.txt");
    EXPECT_EQ(standin::NativePath(L"C:f.txt"), root + "/C/f.txt");
    // A folder whose name ends in a dot, reached through "\\?\", stays the
    // current one: relative names are not trimmed into another folder.
    ASSERT_TRUE(CreateDirectoryW(L"\\\\?\\D:\\work\\a.", nullptr));
    ASSERT_TRUE(SetCurrentDirectoryW(L"\\\\?\\D:\\work\\a."));
    EXPECT_EQ(standin::NativePath(L"f.txt"), root + "/D/work/a./f.txt");
    ASSERT_TRUE(SetCurrentDirectoryW(L"D:\\work"));

    // The process's own directory never moves.
    char before[PATH_MAX];
    ASSERT_NE(getcwd(before, sizeof before), nullptr);
    ASSERT_TRUE(SetCurrentDirectoryW(L"C:\\Temp"));
    char after[PATH_MAX];
    ASSERT_NE(getcwd(after, sizeof after), nullptr);
    EXPECT_STREQ(before, after);
    ASSERT_EQ(GetCurrentDirectoryW(MAX_PATH, current), 7u);
    EXPECT_STREQ(current, L"C:\\Temp");
    ASSERT_TRUE(SetCurrentDirectoryW(L"C:\\"));
    ASSERT_EQ(GetCurrentDirectoryW(MAX_PATH, current), 3u);
    EXPECT_STREQ(current, L"C:\\");
    EXPECT_FALSE(SetCurrentDirectoryW(L"C:\\Temp\\none"));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_PATH_NOT_FOUND);
}

TEST(MachinePaths, DevicesAndBrokenSharesNameNothing)
{
    for (const wchar_t* path : {L"", L"\\\\.\\COM1", L"\\\\?\\Volume{0}\\f", L"\\\\.\\PhysicalDrive0", L"\\\\..\\share\\x",
                                L"\\\\server\\..\\x", L"\\\\server", L"\\\\\\share"}) {
        EXPECT_EQ(standin::NativePath(path), "") << standin::NativePath(path);
        SetLastError(0);
        EXPECT_EQ(GetFileAttributesW(path), INVALID_FILE_ATTRIBUTES);
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_BAD_PATHNAME);
    }
    EXPECT_EQ(_wfopen(L"\\\\.\\COM1", L"wb"), nullptr);
    EXPECT_FALSE(CreateDirectoryW(L"\\\\..\\share", nullptr));
}

// A name Windows gives no file, a device's or one holding a character names
// may not hold, is refused by every call as Windows refuses it
// (ERROR_INVALID_NAME, EINVAL), and nothing is made; a search's last part
// may hold its wildcards, and the drive's colon is no part.
TEST(MachinePaths, DeviceNamesAndForbiddenCharactersNameNoFile)
{
    const std::string& root = standin::MachineRoot();
    ASSERT_TRUE(CreateDirectoryW(L"C:\\x", nullptr));
    velktest::WriteNativeFile(root + "/C/x/a.txt", "a");
    auto everything = [&] {
        std::vector<std::string> names;
        for (const auto& e : fs::recursive_directory_iterator(root)) names.push_back(e.path().string());
        std::sort(names.begin(), names.end());
        return names;
    };
    const auto before = everything();
    for (const wchar_t* path :
         {L"C:\\x\\con.txt", L"NUL", L"nul", L"C:\\x\\CON", L"C:\\x\\Aux.dxf", L"C:\\x\\prn.", L"C:\\x\\com1",
          L"C:\\x\\COM9.log", L"C:\\x\\lpt1.png", L"C:\\x\\LPT9", L"C:\\x\\con .txt", L"C:\\nul\\f.txt",
          L"\\\\server\\con\\f", L"C:\\x\\a<b", L"C:\\x\\a>b", L"C:\\x\\a:b", L"C:\\x\\a\"b",
          L"C:\\x\\a|b", L"C:\\x\\a?b", L"C:\\x\\a*b", L"C:\\x\\a\tb", L"C:\\a:b\\c.txt", L"a:b:c",
          L"C:\\x\\COM\u00B9", L"C:\\x\\lpt\u00B3.txt", L"C:\\x\\nul..."}) {
        const std::string shown = standin::WideToUtf8(path);
        EXPECT_EQ(standin::NativePath(path), "") << shown;
        SetLastError(0);
        EXPECT_EQ(GetFileAttributesW(path), INVALID_FILE_ATTRIBUTES) << shown;
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_NAME) << shown;
        errno = 0;
        EXPECT_EQ(_wfopen(path, L"wb"), nullptr) << shown;
        EXPECT_EQ(errno, EINVAL) << shown;
        EXPECT_FALSE(CreateDirectoryW(path, nullptr)) << shown;
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_NAME) << shown;
        EXPECT_FALSE(CopyFileW(L"C:\\x\\a.txt", path, FALSE)) << shown;
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_NAME) << shown;
        EXPECT_FALSE(MoveFileW(L"C:\\x\\a.txt", path)) << shown;
        EXPECT_FALSE(DeleteFileW(path)) << shown;
        EXPECT_FALSE(SetCurrentDirectoryW(path)) << shown;
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_NAME) << shown;
    }
    EXPECT_EQ(everything(), before);

    // Names that only look like devices are files, and wildcards search.
    for (const wchar_t* path : {L"C:\\x\\console.txt", L"C:\\x\\com10", L"C:\\x\\lpt0", L"C:\\x\\xcon",
                                L"C:\\x\\nul_", L"C:\\x\\a.con", L"C:/x/ok.txt", L"c:\\x\\..\\x\\b.txt"}) {
        FILE* f = _wfopen(path, L"wb");
        EXPECT_NE(f, nullptr) << standin::WideToUtf8(path);
        if (f) fclose(f);
    }
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(L"C:\\x\\co?sole.*", &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    EXPECT_STREQ(data.cFileName, L"console.txt");
    FindClose(find);
    EXPECT_EQ(FindFirstFileW(L"C:\\x*\\a.txt", &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_NAME);
    EXPECT_EQ(FindFirstFileW(L"C:\\x\\a|*", &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_NAME);
}

// Every file under a native folder with its bytes and permission bits; links
// as their targets.
std::map<std::string, std::string> Snapshot(const std::string& folder)
{
    std::map<std::string, std::string> files;
    for (auto& e : fs::recursive_directory_iterator(folder)) {
        std::string key = e.path().string().substr(folder.size());
        struct stat st;
        lstat(e.path().c_str(), &st);
        std::string value = std::to_string(st.st_mode);
        if (e.is_symlink()) value += " -> " + fs::read_symlink(e.path()).string();
        else if (e.is_regular_file()) value += " " + velktest::ReadNativeFile(e.path().string());
        files[key] = value;
    }
    return files;
}

// A machine in a folder of its own with a folder beside it that no call
// may touch: <parent>/machine and <parent>/outside, <parent>/x.
class ConfinedMachine : public testing::Test {
protected:
    void SetUp() override
    {
        saved_ = velktest::MachineRoot();
        std::string tmpl = (fs::temp_directory_path() / "velk-confined-XXXXXX").string();
        ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
        parent = tmpl;
        machine = parent + "/machine";
        outside = parent + "/outside";
        fs::create_directories(machine);
        velktest::WriteNativeFile(outside + "/secret.txt", "secret");
        velktest::WriteNativeFile(outside + "/sub/deep.txt", "deep");
        velktest::WriteNativeFile(parent + "/x/MapTemp/1/16/1_2.png", "tile outside");
        standin::ResetMachine(machine);
        before = Snapshot(parent + "/x");
        outsideBefore = Snapshot(outside);
    }
    void TearDown() override
    {
        EXPECT_EQ(Snapshot(outside), outsideBefore);
        EXPECT_EQ(Snapshot(parent + "/x"), before);
        standin::ResetMachine(saved_);
        std::error_code ec;
        for (auto& e : fs::recursive_directory_iterator(parent, ec))
            if (!e.is_symlink()) chmod(e.path().c_str(), 0755);
        fs::remove_all(parent, ec);
    }
    std::string In(const std::string& rest) const { return machine + rest; }

    std::string parent, machine, outside;
    std::map<std::string, std::string> before, outsideBefore;

private:
    std::string saved_;
};

TEST_F(ConfinedMachine, ClimbingPathsLandInsideTheMachine)
{
    // What a path climbing out names is made inside, at the drive's root.
    ASSERT_TRUE(CreateDirectoryW(L"C:\\..\\..\\outside", nullptr));
    EXPECT_TRUE(fs::is_directory(In("/C/outside")));
    FILE* f = _wfopen(L"C:\\..\\..\\outside\\secret.txt", L"wb");
    ASSERT_NE(f, nullptr);
    fputs("mine", f);
    fclose(f);
    EXPECT_EQ(velktest::ReadNativeFile(In("/C/outside/secret.txt")), "mine");
    f = _wfopen(L"/../outside/sub/deep.txt", L"rb");
    EXPECT_EQ(f, nullptr);
    if (f) fclose(f);
    EXPECT_TRUE(DeleteFileW(L"..\\..\\..\\..\\..\\..\\outside\\secret.txt"));
    EXPECT_FALSE(velktest::NativeExists(In("/C/outside/secret.txt")));
    EXPECT_FALSE(DeleteFileW(L"C:\\..\\..\\outside\\sub\\deep.txt"));
    EXPECT_FALSE(RemoveDirectoryW(L"C:\\..\\..\\x\\MapTemp\\1\\16"));
    EXPECT_FALSE(MoveFileW(L"C:\\..\\..\\x\\MapTemp\\1\\16\\1_2.png", L"C:\\taken.png"));
    RemoveFolderTree("C:\\..\\..\\x\\MapTemp");
    EXPECT_TRUE(RemoveDirectoryW(L"/../outside"));
    EXPECT_FALSE(fs::exists(In("/C/outside")));
}

TEST_F(ConfinedMachine, LinksThatLeadOutAreRefusedAndLinksInsideAreFollowed)
{
    fs::create_directories(In("/C/data"));
    velktest::WriteNativeFile(In("/C/data/f.txt"), "inside");
    velktest::WriteNativeFile(In("/C/mine.txt"), "mine");
    fs::create_directory_symlink(outside, In("/C/out"));              // absolute
    fs::create_directory_symlink("../../outside", In("/C/relout"));   // relative
    fs::create_symlink(outside + "/secret.txt", In("/C/secret"));     // a file
    fs::create_symlink(outside + "/planted.txt", In("/C/dangling"));  // to nothing yet
    fs::create_directory_symlink("data", In("/C/in"));
    fs::create_directory_symlink(In("/C/data"), In("/C/inabs"));
    fs::create_symlink("loop", In("/C/loop"));
    fs::create_directory_symlink("../../../machine/C/out", In("/C/data/back"));  // in, then out

    for (const wchar_t* path : {L"C:\\out\\secret.txt", L"C:\\relout\\secret.txt", L"C:\\secret", L"C:\\dangling",
                                L"C:\\data\\back\\secret.txt", L"C:\\in\\back\\sub\\deep.txt"}) {
        SCOPED_TRACE(testing::Message() << standin::NativePath(path));
        EXPECT_EQ(standin::NativePath(path), "");
        for (const wchar_t* mode : {L"rb", L"wb", L"ab", L"r+b"}) {
            errno = 0;
            EXPECT_EQ(_wfopen(path, mode), nullptr) << mode;
            EXPECT_EQ(errno, EACCES);
        }
        struct _stat64 st;
        EXPECT_EQ(_wstat64(path, &st), -1);
        EXPECT_FALSE(SetFileAttributesW(path, FILE_ATTRIBUTE_READONLY));
        EXPECT_FALSE(CopyFileW(path, L"C:\\copy.txt", FALSE));
        EXPECT_FALSE(CopyFileW(L"C:\\mine.txt", path, FALSE));
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
        EXPECT_FALSE(MoveFileW(L"C:\\mine.txt", path));
    }
    EXPECT_FALSE(velktest::NativeExists(In("/C/copy.txt")));
    EXPECT_FALSE(velktest::NativeExists(outside + "/planted.txt"));

    // Through a folder link that leads out nothing is read, made or removed.
    EXPECT_EQ(GetFileAttributesW(L"C:\\out\\secret.txt"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    EXPECT_FALSE(DeleteFileW(L"C:\\out\\secret.txt"));
    EXPECT_FALSE(DeleteFileW(L"C:\\relout\\sub\\deep.txt"));
    EXPECT_FALSE(CreateDirectoryW(L"C:\\out\\made", nullptr));
    EXPECT_FALSE(RemoveDirectoryW(L"C:\\out\\sub"));
    EXPECT_FALSE(MoveFileW(L"C:\\out\\secret.txt", L"C:\\taken.txt"));
    EXPECT_FALSE(MoveFileW(L"C:\\mine.txt", L"C:\\out\\planted.txt"));
    WIN32_FIND_DATAW data;
    EXPECT_EQ(FindFirstFileW(L"C:\\out\\*", &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(FindFirstFileW(L"C:\\relout\\*.txt", &data), INVALID_HANDLE_VALUE);
    EXPECT_FALSE(SetCurrentDirectoryW(L"C:\\out"));
    EXPECT_FALSE(SetCurrentDirectoryW(L"C:\\relout"));
    ULARGE_INTEGER free;
    EXPECT_FALSE(GetDiskFreeSpaceExW(L"C:\\out", &free, nullptr, nullptr));
    EXPECT_EQ(standin::NativePath(L"C:\\loop"), "");

    // Links that stay inside are followed.
    EXPECT_EQ(standin::NativePath(L"C:\\in\\f.txt"), In("/C/in/f.txt"));
    FILE* f = _wfopen(L"C:\\inabs\\f.txt", L"rb");
    ASSERT_NE(f, nullptr);
    fclose(f);
    ASSERT_TRUE(SetCurrentDirectoryW(L"C:\\in"));
    f = _wfopen(L"f.txt", L"ab");
    ASSERT_NE(f, nullptr);
    fputs("+", f);
    fclose(f);
    EXPECT_EQ(velktest::ReadNativeFile(In("/C/data/f.txt")), "inside+");

    // A link is itself the machine's: it is reported and removed, never
    // what it leads to.
    EXPECT_EQ(GetFileAttributesW(L"C:\\out"), (DWORD)(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));
    EXPECT_EQ(GetFileAttributesW(L"C:\\secret") & FILE_ATTRIBUTE_REPARSE_POINT, (DWORD)FILE_ATTRIBUTE_REPARSE_POINT);
    EXPECT_TRUE(DeleteFileW(L"C:\\secret"));
    EXPECT_TRUE(DeleteFileW(L"C:\\dangling"));
    EXPECT_TRUE(MoveFileW(L"C:\\relout", L"C:\\moved"));
    RemoveFolderTree("C:\\");
    EXPECT_FALSE(fs::exists(In("/C")));
}

TEST_F(ConfinedMachine, ADriveMappedOutsideIsTheOnlyWayOut)
{
    standin::MapDrive(L'S', outside + "/sub");
    EXPECT_EQ(standin::NativePath(L"S:\\deep.txt"), outside + "/sub/deep.txt");
    EXPECT_EQ(standin::NativePath(L"S:\\..\\..\\secret.txt"), outside + "/sub/secret.txt");
    EXPECT_EQ(GetFileAttributesW(L"S:\\deep.txt"), (DWORD)FILE_ATTRIBUTE_ARCHIVE);
    // A new machine has no such drive.
    standin::ResetMachine(machine);
    EXPECT_EQ(standin::NativePath(L"S:\\deep.txt"), machine + "/S/deep.txt");
}

// The case that made this rule: a settings file whose cache root climbs out
// of the machine, with the cache cleared on exit, loaded and unloaded as the
// host does it.
class ConfinedModule : public ConfinedMachine {
protected:
    void LoadAndUnloadWithCacheRoot(const wchar_t* cacheRoot)
    {
        fs::path built = std::string(VELK_BINARY_DIR) + "/module/VelkGrx2020(x64).grx";
        ASSERT_TRUE(fs::exists(built)) << "the module is not built";
        fs::path installed = standin::NativePath(standin::kModulePath);
        fs::create_directories(installed.parent_path());
        fs::copy_file(built, installed, fs::copy_options::overwrite_existing);
        const std::wstring file = std::wstring(standin::kLocalAppDataFolder) + L"\\VelkArx_setting.ini";
        PluginSettings s;
        SetDefaultSettings(s);
        s.clearCacheOnExit = 1;
        ASSERT_TRUE(WritePrivateProfileStructW(L"VelkArx", L"ini", &s, sizeof s, file.c_str()));
        ASSERT_TRUE(WritePrivateProfileStringW(L"TempPath", L"MapTemp", cacheRoot, file.c_str()));

        auto peer = std::make_unique<velkpeer::StandinPeer>();
        OdRxModule* module = odrxDynamicLinker()->loadModule(standin::kModulePath);
        ASSERT_NE(module, nullptr);
        EXPECT_TRUE(odrxDynamicLinker()->unloadModule(module));
    }
};

TEST_F(ConfinedModule, UnloadClearsACacheRootThatClimbsOutInsideTheMachine)
{
    // The cache is cleared inside the machine, at the drive's root; the
    // folder of the same name beside the machine is left as it was.
    velktest::WriteNativeFile(In("/C/x/MapTemp/1/16/1_2.png"), "tile inside");
    velktest::WriteNativeFile(In("/C/x/keep.txt"), "kept");
    LoadAndUnloadWithCacheRoot(L"C:\\..\\..\\x");
    EXPECT_FALSE(velktest::NativeExists(In("/C/x/MapTemp")));
    EXPECT_TRUE(velktest::NativeExists(In("/C/x/keep.txt")));
}

TEST_F(ConfinedModule, UnloadLeavesACacheRootLinkedOutOfTheMachine)
{
    velktest::WriteNativeFile(outside + "/MapTemp/1/t.png", "tile outside");
    outsideBefore = Snapshot(outside);
    fs::create_directory_symlink(outside, In("/C/cache"));
    LoadAndUnloadWithCacheRoot(L"C:\\cache");
    EXPECT_TRUE(velktest::NativeExists(outside + "/MapTemp/1/t.png"));
    EXPECT_TRUE(fs::is_symlink(In("/C/cache")));
}

}  // namespace
