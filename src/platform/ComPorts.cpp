#include "platform/ComPorts.h"

#include <dirent.h>
#include <grp.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string_view>

namespace tolvane {

namespace {

std::string ReadLine(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' ')) {
        line.pop_back();
    }
    return line;
}

bool Exists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0;
}

// Names in `dir` of the form <prefix><number>, sorted by number.
std::vector<std::string> Numbered(const std::string& dir, std::string_view prefix) {
    std::vector<std::pair<long, std::string>> found;
    if (DIR* d = opendir(dir.c_str())) {
        while (const dirent* e = readdir(d)) {
            const std::string_view name(e->d_name);
            if (name.size() <= prefix.size() || name.substr(0, prefix.size()) != prefix) {
                continue;
            }
            const std::string_view digits = name.substr(prefix.size());
            if (!std::all_of(digits.begin(), digits.end(),
                             [](char c) { return c >= '0' && c <= '9'; }) ||
                digits.size() > 6) {
                continue;
            }
            found.emplace_back(std::strtol(std::string(digits).c_str(), nullptr, 10),
                               std::string(name));
        }
        closedir(d);
    }
    std::sort(found.begin(), found.end());
    std::vector<std::string> names;
    for (auto& f : found) {
        names.push_back(std::move(f.second));
    }
    return names;
}

// An 8250-style port with no UART behind it reports type 0.
bool HasUart(const DeviceRoots& roots, const std::string& name) {
    const std::string type = ReadLine(roots.sysTty + "/" + name + "/type");
    return !type.empty() && type != "0";
}

std::string UsbAttribute(const DeviceRoots& roots, const std::string& name, const char* attr) {
    // device -> the USB interface; its parent holds the device's attributes.
    const std::string base = roots.sysTty + "/" + name + "/device";
    for (const char* up : {"/../", "/../../"}) {
        const std::string value = ReadLine(base + up + attr);
        if (!value.empty()) {
            return value;
        }
    }
    return {};
}

}  // namespace

std::vector<std::string> ListSerialDevices(const DeviceRoots& roots) {
    std::vector<std::string> paths;
    for (const char* prefix : {"ttyUSB", "ttyACM"}) {
        for (const auto& name : Numbered(roots.dev, prefix)) {
            paths.push_back(roots.dev + "/" + name);
        }
    }
    for (const auto& name : Numbered(roots.dev, "ttyS")) {
        if (HasUart(roots, name)) {
            paths.push_back(roots.dev + "/" + name);
        }
    }
    return paths;
}

std::string ComDevicePath(int n, const DeviceRoots& roots) {
    if (n < 1) {
        return {};
    }
    const std::string var = "TOLVANE_COM" + std::to_string(n);
    if (const char* set = std::getenv(var.c_str()); set != nullptr && *set != '\0') {
        return set;
    }
    const auto devices = ListSerialDevices(roots);
    if (static_cast<size_t>(n) <= devices.size()) {
        return devices[static_cast<size_t>(n) - 1];
    }
    return {};
}

std::string DescribeComPort(int n, const DeviceRoots& roots) {
    const std::string path = ComDevicePath(n, roots);
    const std::string var = "TOLVANE_COM" + std::to_string(n);
    if (path.empty()) {
        return "No serial device for COM " + std::to_string(n) +
               ". Plug in a USB serial adapter, or set " + var +
               "=/dev/ttyUSB0 (any serial device path) before starting.";
    }
    std::string text = "COM " + std::to_string(n) + " opens " + path;
    if (const char* set = std::getenv(var.c_str()); set != nullptr && *set != '\0') {
        text += " (from " + var + ")";
    }
    const std::string name = path.substr(path.rfind('/') + 1);
    if (name.rfind("ttyUSB", 0) == 0 || name.rfind("ttyACM", 0) == 0) {
        const std::string product = UsbAttribute(roots, name, "product");
        const std::string serial = UsbAttribute(roots, name, "serial");
        if (!product.empty()) {
            text += "\nUSB adapter: " + product;
        }
        if (!serial.empty()) {
            text += "\nSerial number: " + serial;
        }
    }
    if (!Exists(path)) {
        text += "\n(the device is not present now)";
    }
    return text;
}

std::string ExplainOpenFailure(int error, const std::string& device, int comNumber) {
    const std::string com = "COM " + std::to_string(comNumber);
    if (device.empty()) {
        if (comNumber < 1) {
            return "No port is selected.";
        }
        return "No serial device for " + com +
               ". Plug in a USB serial adapter, or set TOLVANE_COM" + std::to_string(comNumber) +
               "=/dev/ttyUSB0 (any serial device path) before starting.";
    }
    switch (error) {
        case ENOENT:
        case ENODEV:
        case ENXIO:
            return "No such device: " + device + " (" + com + "). Is the adapter plugged in?";
        case EACCES:
        case EPERM: {
            std::string text = "Permission denied: " + device + ".";
            struct stat st {};
            if (stat(device.c_str(), &st) == 0) {
                if (const group* g = getgrgid(st.st_gid); g != nullptr && g->gr_name != nullptr) {
                    const std::string name = g->gr_name;
                    text += " Add your user to the " + name + " group (sudo usermod -aG " + name +
                            " $USER), then log in again.";
                }
            }
            return text;
        }
        case EBUSY:
        case EWOULDBLOCK:
            return device +
                   " is busy: it is in use by another program. Close that program and try again.";
        case ENOTTY:
            return device + " is not a serial device.";
        default:
            return device + ": " + std::strerror(error);
    }
}

}  // namespace tolvane
