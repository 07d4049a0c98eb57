#include "PortDir.h"

#include <stdlib.h>
#include <sys/stat.h>

#include <iterator>
#include <stdexcept>

namespace keltrove::test {

namespace fs = std::filesystem;

CPortDir::CPortDir() {
    std::string name = (fs::temp_directory_path() / "keltrove-test-XXXXXX").string();
    if (::mkdtemp(name.data()) == nullptr) throw std::runtime_error("no scratch folder");
    m_Path = name;
    for (const char* dir : {"map", "locks", "config"}) ::mkdir((m_Path / dir).c_str(), 0700);
    ::setenv("KELTROVE_PORT_DIR", (m_Path / "map").c_str(), 1);
    ::setenv("KELTROVE_LOCK_DIR", (m_Path / "locks").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (m_Path / "config").c_str(), 1);
}

CPortDir::~CPortDir() {
    std::error_code ignored;
    fs::remove_all(m_Path, ignored);
}

void CPortDir::Map(int com, const std::string& target) const {
    const fs::path link = m_Path / "map" / ("COM" + std::to_string(com));
    fs::remove(link);
    if (!target.empty()) fs::create_symlink(target, link);
}

int CPortDir::LockFiles() const {
    return static_cast<int>(
        std::distance(fs::directory_iterator(m_Path / "locks"), fs::directory_iterator()));
}

}  // namespace keltrove::test
