#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "PortNames.h"

namespace keltrove {
namespace {

// Sets an environment variable for one test and puts the old value back.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : m_Name(name) {
        if (const char* old = std::getenv(name)) m_Old = old;
        if (value != nullptr) {
            ::setenv(name, value, 1);
        } else {
            ::unsetenv(name);
        }
    }
    ~ScopedEnv() {
        if (m_Old) {
            ::setenv(m_Name, m_Old->c_str(), 1);
        } else {
            ::unsetenv(m_Name);
        }
    }

private:
    const char* m_Name;
    std::optional<std::string> m_Old;
};

TEST(PortNames, DirectoryComesFromKeltroveThenXdgRuntimeThenTmpWithTheUid) {
    ScopedEnv runtime("XDG_RUNTIME_DIR", "/run/user/1234");
    {
        ScopedEnv ports("KELTROVE_PORT_DIR", "/srv/ports");
        EXPECT_EQ(PortDirectory(), "/srv/ports");
    }
    ScopedEnv ports("KELTROVE_PORT_DIR", nullptr);
    EXPECT_EQ(PortDirectory(), "/run/user/1234/keltrove");
    ScopedEnv noRuntime("XDG_RUNTIME_DIR", nullptr);
    EXPECT_EQ(PortDirectory(), "/tmp/keltrove-" + std::to_string(::getuid()));
}

TEST(PortNames, ComWithoutAnEntryIsTheMatchingTtyS) {
    char dir[] = "/tmp/keltrove-ports-XXXXXX";
    ASSERT_NE(::mkdtemp(dir), nullptr);
    ScopedEnv ports("KELTROVE_PORT_DIR", dir);
    EXPECT_EQ(ResolvePortName("COM1"), "/dev/ttyS0");
    EXPECT_EQ(ResolvePortName("COM8"), "/dev/ttyS7");

    // A dangling link is still the user's mapping: opening it reports it as broken.
    const std::string entry = std::string(dir) + "/COM2";
    ASSERT_EQ(::symlink("/dev/keltrove-unplugged", entry.c_str()), 0);
    EXPECT_EQ(ResolvePortName("COM2"), entry);

    // A directory that others may write cannot say where a port is.
    ASSERT_EQ(::chmod(dir, 0777), 0);
    EXPECT_EQ(ResolvePortName("COM2"), "/dev/ttyS1");
    ::unlink(entry.c_str());
    ::rmdir(dir);
}

TEST(PortNames, AnyOtherNameIsADevicePathAlready) {
    for (const char* name : {"COM0", "COM9", "COM10", "com1", "/dev/ttyUSB0", "/dev/pts/4"}) {
        EXPECT_EQ(ResolvePortName(name), name);
    }
}

}  // namespace
}  // namespace keltrove
