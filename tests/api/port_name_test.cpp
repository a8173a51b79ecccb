// Port names: links to names of the known forms are followed, everything
// else keeps its meaning.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "Orvy_Api.h"
#include "port_name.h"
#include "transport.h"

namespace fs = std::filesystem;
using orvy::api::is_serial_port;
using orvy::api::mode_for_port;
using orvy::api::resolve_port_name;

namespace {

class PortNameLinks : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = fs::temp_directory_path() / ("orvy-links-" + std::to_string(getpid()));
        fs::create_directories(dir_ / "by-serial" / "K1");
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string link(const std::string &name, const std::string &target)
    {
        const fs::path path = dir_ / name;
        fs::create_symlink(target, path);
        return path.string();
    }

    fs::path dir_;
};

TEST_F(PortNameLinks, LinksAreFollowedUntilAKnownForm)
{
    // As udev makes them: relative, from a directory three levels below /dev.
    const std::string stable =
        link("by-serial/K1/usb", "../../../../../../../../../../dev/bus/usb/001/011");
    EXPECT_EQ(resolve_port_name(stable), "/dev/bus/usb/001/011");
    // A chain of links, the last one absolute; a link to a serial adapter.
    link("hop2", "/dev/usb/lp3");
    EXPECT_EQ(resolve_port_name(link("hop1", "hop2")), "/dev/usb/lp3");
    EXPECT_EQ(resolve_port_name(link("by-id", "/dev/ttyUSB0")), "/dev/ttyUSB0");
}

// A relative link is read from the directory it really lies in, as the
// kernel reads it, also when the way there passes through a linked directory.
TEST_F(PortNameLinks, RelativeTargetsCountFromTheRealDirectoryOfTheLink)
{
    fs::create_directories(dir_ / "d1" / "d2");
    const std::string real_dir = fs::canonical(dir_).string();
    // Through a relative link to a directory: dl/rel lies in d1/d2.
    link("dl", "d1/d2");
    EXPECT_EQ(resolve_port_name(link("dl/rel", "../../dev/ttyS1")), real_dir + "/dev/ttyS1");
    // Through an absolute one.
    link("abs", (dir_ / "d1" / "d2").string());
    fs::create_symlink("../../x/dev/usb/lp2", dir_ / "d1" / "d2" / "up");
    EXPECT_EQ(resolve_port_name((dir_ / "abs" / "up").string()), real_dir + "/x/dev/usb/lp2");
}

TEST_F(PortNameLinks, OtherNamesStayAsTheyAre)
{
    std::ofstream(dir_ / "printer") << "a plain file\n";
    const std::string plain = (dir_ / "printer").string();
    const std::string dangling = link("dangling", "no-such-node");
    const std::string loop = link("loop-a", "loop-b");
    link("loop-b", "loop-a");
    const std::string to_plain = link("to-plain", "printer");
    for (const std::string &name : {plain, dangling, loop, to_plain}) {
        EXPECT_EQ(resolve_port_name(name), name) << name;
    }

    // Names of the known forms are never looked at, links or not.
    fs::create_directories(dir_ / "dev");
    const std::string known = link("dev/ttyS9", "/dev/usb/lp0");
    EXPECT_EQ(resolve_port_name("/dev/ttyS1"), "/dev/ttyS1");
    EXPECT_EQ(resolve_port_name(known), known);

    // In a fresh process none of them selects a transport: open returns -2.
    for (const std::string &name : {plain, dangling, loop, to_plain}) {
        communication = orvy::api::kModeNone;
        std::string copy = name;
        EXPECT_EQ(orvy_api_printer_open(copy.data()), -2) << name;
    }
}

TEST(PortNames, SerialAdaptersAreSerialPorts)
{
    for (const char *name : {"/dev/ttyUSB0", "/dev/ttyACM12", "/dev/ttyS1", "/dev/TTYS0"}) {
        EXPECT_EQ(mode_for_port(name, orvy::api::kModeNone), orvy::api::kModeDeviceFile) << name;
        EXPECT_TRUE(is_serial_port(name)) << name;
    }
    EXPECT_FALSE(is_serial_port("/dev/usb/lp0"));
    EXPECT_FALSE(is_serial_port("/dev/bus/usb/001/011"));
}

}  // namespace
