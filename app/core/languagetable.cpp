#include "app/core/languagetable.h"

#include <cstddef>

namespace {

// 32 entries, each ended by a NUL: English 1 to 16, Nederlands 17 to 32. A carriage return starts
// a new line; an ampersand marks the accelerator of the letter after it.
constexpr char Table[] =
    "English\0"
    "&Next =>\0"
    "<= &Back\0"
    "Exit\0"
    "&Shutdown server\0"
    "&File\0"
    "Output file\0"
    "Specify output file\0"
    "Options\0"
    "Connect the server to your computer.\r\rClick Next.\0"
    "Now connecting to server,\rplease wait...\0"
    "Now reading server memory,\rplease wait...\0"
    "Read-out of server memory\rwas successful!\rThis program will exit now.\r\rClick Next.\0"
    "An error has occurred while\rwriting to the specified output file.\r\rClick Next to retry.\0"
    "Server could not be found.\rMake sure it is properly connected.\r\rPress Next to retry.\0"
    "An error has occurred while\rreading from the server.\r\rClick Next to retry.\0"
    "Nederlands\0"
    "&Verder =>\0"
    "<= &Terug\0"
    "Einde\0"
    "&Server stoppen\0"
    "&File\0"
    "Opslaan als\0"
    "Gegevens opslaan als\0"
    "Opties\0"
    "Sluit de server aan op deze PC.\r\rKlik vervolgens op Verder...\0"
    "Verbinding maken met de server -\reven geduld alstublieft...\0"
    "De server wordt nu uitgelezen -\reven geduld alstublieft...\0"
    "De server is met succes uitgelezen!\rHet programma wordt nu afgesloten.\r\rKlik op Verder...\0"
    "Er is een fout opgetreden bij het\rschrijven naar het opgegeven bestand,\rhet programma zal "
    "nu een herstart maken.\r\rKlik op Verder...\0"
    "De server is niet gevonden,\rhet programma zal nu een herstart maken.\r\rKlik op Verder...\0"
    "Er is een communicatie-fout opgetreden,\rhet programma zal nu een herstart maken.\r\rKlik op "
    "Verder...\0";

} // namespace

const std::string_view LanguageTable(Table, sizeof(Table) - 1);

std::string LangStr(std::uint8_t langIndex, std::uint8_t n)
{
    const std::size_t target = static_cast<std::size_t>(langIndex) * 16 + n;
    std::size_t count = 0;
    std::size_t start = 0;
    for (std::size_t i = 0; i < LanguageTable.size(); ++i) {
        if (LanguageTable[i] != '\0')
            continue;
        if (++count == target)
            return std::string(LanguageTable.substr(start, i - start));
        start = i + 1;
    }
    return {};
}
