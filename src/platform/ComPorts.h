#pragma once

#include <string>
#include <vector>

namespace tolvane {

// Where serial devices are looked for; tests point these at a folder of their own.
struct DeviceRoots {
    std::string dev = "/dev";
    std::string sysTty = "/sys/class/tty";
};

// Serial devices present, in the order "COM 1", "COM 2", ... take them:
// USB adapters first (ttyUSB*, then ttyACM*, each in numeric order), then the
// on-board ttyS* ports that have a UART behind them.
std::vector<std::string> ListSerialDevices(const DeviceRoots& roots = {});

// The device "COM n" opens (n from 1): the path in TOLVANE_COMn when that is
// set, else the n-th device of ListSerialDevices; empty when there is none.
std::string ComDevicePath(int n, const DeviceRoots& roots = {});

// A line for a person: the device and, for a USB adapter, its product name
// and serial number; for a "COM n" without device, how to name one.
std::string DescribeComPort(int n, const DeviceRoots& roots = {});

// Why a port did not open, for a person: from the OS error of the open and
// the device path ("" when "COM n" names no device).
std::string ExplainOpenFailure(int error, const std::string& device, int comNumber);

}  // namespace tolvane
