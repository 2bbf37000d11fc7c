#include "test_support.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "oddbsymboltable.h"
#include "standin_control.h"

namespace velktest {

const std::string& MachineRoot() { return standin::MachineRoot(); }

void WriteNativeFile(const std::string& nativePath, const std::string& bytes)
{
    std::filesystem::path p(nativePath);
    if (p.has_parent_path()) std::filesystem::create_directories(p.parent_path());
    std::ofstream f(nativePath, std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), (std::streamsize)bytes.size());
}

std::string ReadNativeFile(const std::string& nativePath)
{
    std::ifstream f(nativePath, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

bool NativeExists(const std::string& nativePath)
{
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::symlink_status(nativePath, ec));
}

HWND CreateReceiverWindow(WNDPROC proc)
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = proc;
    wc.lpszClassName = L"VelkArxWin";
    RegisterClassW(&wc);
    return CreateWindowExW(0, L"VelkArxWin", L"DialogMODELESS", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
}

OdDbObjectId AppendEntity(OdDbDatabase* db, OdDbEntity* e, OdDbObjectId owner)
{
    OdDbBlockTableRecord* block = nullptr;
    OdDbObjectId id;
    if (oddbOpenObject(block, owner.isNull() ? db->getModelSpaceId() : owner, OdDb::kForWrite) != eOk) {
        ADD_FAILURE() << "no block to append to";
        delete e;
        return id;
    }
    EXPECT_EQ(block->appendOdDbEntity(id, e), eOk);
    e->close();
    block->close();
    return id;
}

}  // namespace velktest
