#include "made_machine.h"

#include <filesystem>
#include <fstream>

namespace testing_support {

namespace fs = std::filesystem;

MadeMachine::MadeMachine()
{
    fs::create_directories(dev.file("serial/by-id"));
    fs::create_directories(sys.file("class/tty"));
}

void MadeMachine::addNode(const std::string& file, const std::string& target)
{
    fs::create_symlink(target, dev.file(file));
}

void MadeMachine::plug(const std::string& file, const std::string& serial, const std::string& target)
{
    addNode(file, target);
    fs::create_symlink("../../" + file, dev.file("serial/by-id/usb-Maker_Cable_" + serial + "-if00-port0"));
    const std::string usb = sys.file("devices/pci0/usb1/1-" + serial);
    fs::create_directories(usb + "/1-1:1.0/" + file);
    std::ofstream(usb + "/idVendor") << "0403\n";
    std::ofstream(usb + "/manufacturer") << "Maker\n";
    std::ofstream(usb + "/product") << "USB-RS485 Cable\n";
    std::ofstream(usb + "/serial") << serial << "\n";
    fs::create_directories(sys.file("class/tty/" + file));
    fs::create_symlink("../../../devices/pci0/usb1/1-" + serial + "/1-1:1.0/" + file,
                       sys.file("class/tty/" + file + "/device"));
}

void MadeMachine::unplugAll()
{
    for (const auto& entry : fs::directory_iterator(dev.path()))
        if (entry.path().filename() != "serial")
            fs::remove(entry.path());
    for (const auto& entry : fs::directory_iterator(dev.file("serial/by-id")))
        fs::remove(entry.path());
    fs::remove_all(sys.path() + "/class/tty");
    fs::remove_all(sys.path() + "/devices");
    fs::create_directories(sys.file("class/tty"));
}

}  // namespace testing_support
