// Main of every test program: a fresh stand-in machine for each test.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "standin_control.h"

namespace {

class FreshMachine : public testing::EmptyTestEventListener {
public:
    explicit FreshMachine(std::string base) : base_(std::move(base)) {}

    void OnTestStart(const testing::TestInfo&) override
    {
        root_ = base_ + "/m" + std::to_string(++count_);
        std::filesystem::create_directories(root_);
        standin::ResetMachine(root_);
    }

    void OnTestEnd(const testing::TestInfo&) override
    {
        // Read-only bits set by a test must not stop the clean-up.
        std::error_code ec;
        for (auto& e : std::filesystem::recursive_directory_iterator(root_, ec))
            if (!e.is_symlink()) chmod(e.path().c_str(), 0755);
        std::filesystem::remove_all(root_, ec);
    }

    void OnTestProgramEnd(const testing::UnitTest&) override
    {
        std::error_code ec;
        std::filesystem::remove_all(base_, ec);
    }

private:
    std::string base_;
    std::string root_;
    int count_ = 0;
};

}  // namespace

int main(int argc, char** argv)
{
    testing::InitGoogleMock(&argc, argv);
    std::string tmpl = (std::filesystem::temp_directory_path() / "velk-test-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) return 2;
    testing::UnitTest::GetInstance()->listeners().Append(new FreshMachine(tmpl));
    return RUN_ALL_TESTS();
}
