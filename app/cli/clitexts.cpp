#include "app/cli/clitexts.h"

#include <array>
#include <string_view>

namespace {

using TTexts = std::array<std::string_view, cmMessageCount>;

constexpr TTexts English = {
    "read the server's memory: {1} bytes written to {2}",
    "connecting to the server...",
    "cannot write {1}: {2}",
    "server not found: no USB device 04d8:fe88; found: {1}",
    "no USB devices",
    "and {1} more",
    "server not found: the USB device 04d8:fe88 ({1}) has no serial port",
    "server not found: the USB devices could not be listed",
    "server not found on {1}: {2}",
    "cannot open {1}: {2}; install the package's udev rule, or add yourself to the dialout "
    "group and log in again",
    "cannot open {1}: {2}; another program holds the port: close it and try again",
    "communication error: {1}",
    "interrupted; {1} was left as it was",
    "interrupted; no dump was written",
    "interrupted; the {1} bytes read so far are in {2}",
    "trace written to {1}",
    "trace could not be written to {1}: {2}",
    "cannot write {1}: {2}; the read-out is kept in {3}",
};

constexpr TTexts Dutch = {
    "servergeheugen uitgelezen: {1} bytes geschreven naar {2}",
    "verbinding maken met de server...",
    "kan {1} niet schrijven: {2}",
    "server niet gevonden: geen USB-apparaat 04d8:fe88; wel gevonden: {1}",
    "geen USB-apparaten",
    "en nog {1}",
    "server niet gevonden: het USB-apparaat 04d8:fe88 ({1}) heeft geen poort",
    "server niet gevonden: de USB-apparaten konden niet worden opgesomd",
    "server niet gevonden op {1}: {2}",
    "kan {1} niet openen: {2}; installeer de udev-regel van het pakket, of voeg uzelf toe aan "
    "de groep dialout en meld u opnieuw aan",
    "kan {1} niet openen: {2}; een ander programma gebruikt de poort: sluit het en probeer het "
    "opnieuw",
    "communicatiefout: {1}",
    "afgebroken; {1} is ongewijzigd gebleven",
    "afgebroken; er is geen dump geschreven",
    "afgebroken; de {1} tot nu toe gelezen bytes staan in {2}",
    "trace geschreven naar {1}",
    "trace kon niet worden geschreven naar {1}: {2}",
    "kan {1} niet schrijven: {2}; de uitlezing staat in {3}",
};

} // namespace

std::string CliText(TCliMessage message, std::uint8_t langIndex,
                    std::initializer_list<std::string> values)
{
    const std::string_view pattern = (langIndex == 1 ? Dutch : English).at(message);
    std::string text;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        // {n} with a single digit n; a value's own braces are never looked at again.
        if (pattern[i] == '{' && i + 2 < pattern.size() && pattern[i + 2] == '}' &&
            pattern[i + 1] >= '1' && pattern[i + 1] <= '9') {
            const auto index = static_cast<std::size_t>(pattern[i + 1] - '1');
            if (index < values.size())
                text += values.begin()[index];
            i += 2;
        } else {
            text += pattern[i];
        }
    }
    return text;
}

std::uint8_t LanguageFromLocale(const std::function<const char*(const char*)>& lookup)
{
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = lookup(name);
        if (value == nullptr || *value == '\0')
            continue;
        return std::string_view(value).substr(0, 2) == "nl" ? 1 : 0;
    }
    return 0;
}
