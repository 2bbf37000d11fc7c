#include "common/io/textfileutil.h"

#include "afxfile.h"

bool CTextFileUtil::Save(const wchar_t* fileName, const std::vector<CString>& lines)
{
    try {
        CStdioFile file(fileName, CFile::modeCreate | CFile::modeWrite | CFile::typeText);
        for (const CString& line : lines) file.WriteString(line + L"\n");
        file.Close();
        return true;
    } catch (CFileException* e) {
        e->Delete();
        return false;
    }
}

bool CTextFileUtil::Load(const wchar_t* fileName, std::vector<CString>& lines)
{
    lines.clear();
    try {
        CStdioFile file(fileName, CFile::modeRead | CFile::typeText);
        CString line;
        while (file.ReadString(line)) lines.push_back(line);
        file.Close();
        return true;
    } catch (CFileException* e) {
        e->Delete();
        lines.clear();
        return false;
    }
}
