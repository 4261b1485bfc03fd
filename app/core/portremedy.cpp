#include "app/core/portremedy.h"

namespace {

// Root's group, or none known: joining it is no remedy a technician can apply.
bool GroupToJoin(const std::string& group)
{
    return !group.empty() && group != "root";
}

} // namespace

std::string RefusedPortRemedy(const TPortAccess& access, std::uint8_t lang)
{
    const bool nl = lang == 1;
    const std::string join =
        GroupToJoin(access.Group)
            ? (nl ? "voeg uzelf toe aan de groep " + access.Group + " (sudo usermod -aG " +
                        access.Group + " $USER) en meld u opnieuw aan"
                  : "add yourself to the group " + access.Group + " (sudo usermod -aG " +
                        access.Group + " $USER) and log in again")
            : (nl ? "vraag de beheerder om toegang" : "ask the administrator for access");
    if (access.RuleInstalled)
        return nl ? "de udev-regel van het pakket geeft alleen de gebruiker aan het lokale scherm "
                    "toegang (niet via SSH): " +
                        join
                  : "the package's udev rule gives access only to the user at the local seat "
                    "(not over SSH): " +
                        join;
    return nl ? "installeer de udev-regel van het pakket (voor de gebruiker aan het lokale scherm, "
                "niet via SSH), of " +
                    join
              : "install the package's udev rule (for the user at the local seat, not over SSH), "
                "or " +
                    join;
}
