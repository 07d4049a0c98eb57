// WatchPorts: `keltrove-cli ports --watch`, a line for each serial device that appears or
// goes, so that an adapter can be told apart by plugging it in.
//
// The devices are what `ports` lists: the serial devices found, and on Linux the devices
// that COM1 to COM8 are mapped to (a simulator's pty among them); each line says which COMn
// a device is mapped as. A port watch for every port (PortWatch.h) says when to look again.
// Runs on the calling thread until the stop request, or until standard output goes away;
// returns the exit code.
#pragma once

namespace keltrove::cli {

class CConsole;
class CStopRequest;

int WatchPorts(bool json, CStopRequest& stop, CConsole& console);

}  // namespace keltrove::cli
