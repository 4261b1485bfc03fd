#include "app/core/portremedy.h"
#include "tests/support/scratchdir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <gtest/gtest.h>
#include <unistd.h>

// The remedy names the group that owns the node and what the udev rule can and cannot do.
TEST(PortRemedy, NamesTheOwningGroupAndWhetherTheRuleIsThere)
{
    EXPECT_EQ(RefusedPortRemedy({"uucp", false}, 0),
              "install the package's udev rule (for the user at the local seat, not over SSH), or "
              "add yourself to the group uucp (sudo usermod -aG uucp $USER) and log in again");
    EXPECT_EQ(RefusedPortRemedy({"dialout", true}, 0),
              "the package's udev rule gives access only to the user at the local seat (not over "
              "SSH): add yourself to the group dialout (sudo usermod -aG dialout $USER) and log "
              "in again");
    EXPECT_EQ(RefusedPortRemedy({"root", true}, 0),
              "the package's udev rule gives access only to the user at the local seat (not over "
              "SSH): ask the administrator for access");
    EXPECT_EQ(RefusedPortRemedy({"", false}, 1),
              "installeer de udev-regel van het pakket (voor de gebruiker aan het lokale scherm, "
              "niet via SSH), of vraag de beheerder om toegang");

    // The group of a real node, and the rule in one of the folders udev reads.
    const TScratchDir folder;
    const std::filesystem::path node = folder.Path() / "ttyACM0";
    std::ofstream(node) << "";
    const group* own = getgrgid(getegid());
    ASSERT_NE(own, nullptr);
    const std::filesystem::path rules = folder.Path() / "rules.d";
    std::filesystem::create_directory(rules);
    EXPECT_EQ(PortAccessOf(node, {rules}).Group, own->gr_name);
    EXPECT_FALSE(PortAccessOf(node, {rules}).RuleInstalled);
    std::ofstream(rules / "70-srvdiag.rules") << "";
    EXPECT_TRUE(PortAccessOf(node, {folder.Path(), rules}).RuleInstalled);
    EXPECT_EQ(PortAccessOf(folder.Path() / "gone", {}).Group, "");
}
