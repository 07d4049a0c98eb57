// PortDir: a folder of the test's own, gone with it, holding the port map
// ($KELTROVE_PORT_DIR, where COMn can be mapped), the lock folder and the user's
// configuration, so that nothing of the machine's plays a part; and the test's files.
// Sets the environment when made; one at a time. Failures throw.
#pragma once

#include <filesystem>
#include <string>

namespace keltrove::test {

class CPortDir {
public:
    CPortDir();
    ~CPortDir();
    CPortDir(const CPortDir&) = delete;
    CPortDir& operator=(const CPortDir&) = delete;

    // COMn -> `target`, replacing an earlier mapping; an empty target removes it.
    void Map(int com, const std::string& target) const;
    // The port map itself.
    std::string Path() const { return (m_Path / "map").string(); }
    // A file of the test's, beside the map; the folder itself.
    std::filesystem::path File(const std::string& name) const { return m_Path / name; }
    const std::filesystem::path& Root() const { return m_Path; }
    // How many UUCP lock files there are now.
    int LockFiles() const;

private:
    std::filesystem::path m_Path;
};

}  // namespace keltrove::test
