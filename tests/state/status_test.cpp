// Status texts, the reporter's two forms, job texts and the debug log.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "afxmsgbox.h"
#include "gcutprint.h"
#include "machine_control.h"
#include "standin_control.h"
#include "state/modulestate.h"
#include "state/peerstatus.h"

namespace {

TEST(PeerStatus, ReporterShowsTagAndText)
{
    ReportVelkMsgError(0, L"SetVelkObjTreeErr:", true);
    ReportVelkMsgError(5, L"SetVelkObjTreeErr:", false);
    EXPECT_TRUE(standin::MessageBoxes().empty());
    EXPECT_TRUE(standin::CommandLineText().empty());

    ReportVelkMsgError(-6, L"SetVelkObjTreeErr:", true);
    ASSERT_EQ(standin::MessageBoxes().size(), 1u);
    EXPECT_EQ(standin::MessageBoxes()[0].text, L"SetVelkObjTreeErr:消息处理失败");

    ReportVelkMsgError(-9, L"DelVelkObjErr:", false);
    ReportVelkMsgError(-1, L"SetVelkButtonErr:", false);
    EXPECT_EQ(standin::CommandLineText(),
              L"DelVelkObjErr:\nVelkMsgErrRet:-9SetVelkButtonErr:\n没有找到拓岚地图程序窗口");
}

TEST(PeerStatus, EveryStatusHasItsText)
{
    const std::pair<int, const wchar_t*> cases[] = {{-2, L"向拓岚地图程序注册失败"},
                                                    {-3, L"拓岚地图程序版本太低"},
                                                    {-4, L"参数非法"},
                                                    {-8, L"VelkMsgErrRet:-8"},
                                                    {-10, L"VelkMsgErrRet:-10"}};
    for (auto& [status, text] : cases) ReportVelkMsgError(status, L"T:", true);
    ASSERT_EQ(standin::MessageBoxes().size(), 5u);
    for (size_t i = 0; i < 5; ++i) EXPECT_EQ(standin::MessageBoxes()[i].text, std::wstring(L"T:") + cases[i].second);
}

TEST(PeerStatus, JobResultTexts)
{
    EXPECT_EQ(ReportVelkJobResult(0), L"");
    EXPECT_EQ(ReportVelkJobResult(12), L"");
    EXPECT_EQ(ReportVelkJobResult(-102), L"");
    EXPECT_EQ(ReportVelkJobResult(-106), L"\n地图扭曲太大！请纠正位置或重新设置平面坐标系。");
    EXPECT_EQ(ReportVelkJobResult(-101), L"\n坐标系设置错误(或位置偏差过大)！");
    EXPECT_EQ(ReportVelkJobResult(-5), L"\n内存异常！");
    EXPECT_EQ(ReportVelkJobResult(-3), L"\n坐标系错误！");
    EXPECT_EQ(ReportVelkJobResult(-107), L"\n其他错误！");
    EXPECT_EQ(ReportVelkJobResult(-6), L"\n其他错误！");
}

TEST(DebugLog, LinesGoBesideTheModuleEachWithItsTimeStamp)
{
    g_hModuleInstance = standin::ModuleHandle();
    WriteDebugLogText(L"before the log is open");
    InitDebugLog();
    WriteDebugLogText(L"中文 100% literal");
    WriteDebugLog("tile %d of %d", 3, 7);
    CloseDebugLog();
    std::wstring module = standin::kModulePath;
    std::ifstream in(standin::NativePath(module.substr(0, module.rfind(L'\\')) + L"\\DebugLog.txt"),
                     std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    std::string lines = text.str();
    ASSERT_EQ(std::count(lines.begin(), lines.end(), '\n'), 2) << lines;
    EXPECT_EQ(lines.find("before"), std::string::npos);
    // The text line is in the ANSI code page (GBK) and kept literally.
    EXPECT_NE(lines.find("]  \xd6\xd0\xce\xc4 100% literal\r\n"), std::string::npos) << lines;
    EXPECT_NE(lines.find("]  tile 3 of 7\r\n"), std::string::npos);
    EXPECT_EQ(lines[0], '[');
    g_hModuleInstance = nullptr;
}

TEST(DebugLog, WritesBesideAModuleInAFolderWithChineseCharacters)
{
    const std::wstring folder = L"C:\\Program Files\\插件\\拓岚";
    standin::SetModulePath(folder + L"\\VelkGrx2020(x64).grx");
    std::filesystem::create_directories(standin::NativePath(folder));
    g_hModuleInstance = standin::ModuleHandle();
    InitDebugLog();
    WriteDebugLog("line %d", 1);
    CloseDebugLog();
    std::ifstream in(standin::NativePath(folder + L"\\DebugLog.txt"), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_NE(text.str().find("]  line 1\r\n"), std::string::npos) << text.str();
    g_hModuleInstance = nullptr;
}

}  // namespace
