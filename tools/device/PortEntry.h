// PortEntry: the simulator's name in the port directory, <directory>/COMn, a symbolic link
// to its pty, through which Keltrove opens it like any other port.
//
// The name is claimed with an flock on <directory>/.COMn.lock, which holds the pid. The
// lock lives exactly as long as its process, so a name held by a live simulator is refused,
// and the entry that a killed one left behind is stale and taken over. An existing COMn
// that is not a link to a pty under /dev/pts is not a simulator's (such as a USB adapter the
// user mapped there) and is never replaced. The directory is created, mode 0700, when it
// is missing, and refused by the same rule by which Keltrove trusts a port map (PortMap.h):
// Keltrove opens whatever its links point at.
//
// The destructor removes the link, if it still points at this simulator's pty, and the lock
// file. One thread. Failures throw CPortRefused (the name is not ours to take; the message
// says why) or CSystemError.
#pragma once

#include <stdexcept>
#include <string>

#include "UniqueFd.h"

namespace keltrove::device {

class CPortRefused : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class CPortEntry {
public:
    CPortEntry(std::string directory, std::string name);
    ~CPortEntry();
    CPortEntry(const CPortEntry&) = delete;
    CPortEntry& operator=(const CPortEntry&) = delete;

    // Points the link at `target`, replacing an earlier one in one step, so that Keltrove
    // never finds the name missing.
    void PointAt(const std::string& target);

    // Removes the link, if it still points at this simulator's pty, while the name stays
    // claimed: an unplugged adapter's name goes from the directory until it comes back.
    void Remove();

    const std::string& LinkPath() const { return m_strLink; }

private:
    void PrepareDirectory();
    void Lock();
    void CheckExistingLink() const;
    std::string HolderPid() const;

    std::string m_strDirectory;
    std::string m_strName;
    std::string m_strLink;
    std::string m_strLockName;  // .COMn.lock, beside the link
    std::string m_strTarget;    // what the link points at once PointAt ran
    UniqueFd m_Dir;             // the checked directory; every name is taken relative to it
    UniqueFd m_Lock;
};

}  // namespace keltrove::device
