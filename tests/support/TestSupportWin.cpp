// The Windows half of the test helpers. The settings store is the registry
// key HKCU\Software\kalvorin itself (in the Wine prefix the tests run in), so
// a test's store of its own is that key emptied before and after it.
#include "support/TestSupport.h"

#include <filesystem>
#include <random>

#include "platform/registry.h"

namespace kalvorin::test {

TempDir::TempDir() {
    const std::filesystem::path tmp = std::filesystem::temp_directory_path();
    std::random_device seed;
    std::mt19937_64 draw(seed());
    // A name no one holds yet: create_directory is false when it exists.
    for (;;) {
        const std::filesystem::path p = tmp / ("kalvorin-test-" + std::to_string(draw()));
        if (std::filesystem::create_directory(p)) {
            path_ = p.string();
            return;
        }
    }
}

namespace {

// Deletes the whole settings key; the store then holds no setting.
void empty_store() {
    platform::reg_delete_key("Software\\kalvorin");
    EXPECT_FALSE(platform::RegKey::open_read("Software\\kalvorin")) << "the settings key could not be deleted";
}

}  // namespace

void HiveTest::SetUp() {
    empty_store();
    make_base();
}

void HiveTest::TearDown() { empty_store(); }

}  // namespace kalvorin::test
