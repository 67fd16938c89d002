// The test launcher hands every test the build and source folders.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

TEST(TestEnvironment, BuildAndSourceFoldersAndOffscreenPlatformAreSet)
{
    for (const char *name : {"ROWPOUR_BUILD_DIR", "ROWPOUR_SOURCE_DIR", "QT_QPA_PLATFORM"}) {
        const char *value = std::getenv(name);
        ASSERT_NE(value, nullptr) << name;
        EXPECT_FALSE(std::string(value).empty()) << name;
    }
}
