#include "app/cli/verdicttexts.h"

namespace {

// What the verdict's stage is called in a sentence: "block 50", "identification step 4".
std::string StagePhrase(const TTraceVerdict& v, bool dutch)
{
    switch (v.Stage) {
    case TTraceStage::Probe:
        return dutch ? "de peilbyte" : "the probe";
    case TTraceStage::Wake:
        return dutch ? "de wekbytes" : "the wake bytes";
    case TTraceStage::Identification:
        return (dutch ? "identificatiestap " : "identification step ") + std::to_string(v.Step);
    case TTraceStage::LinkCheck:
        return dutch ? "de verbindingscontrole" : "the link check";
    case TTraceStage::Shutdown:
        return dutch ? "het uitschakelcommando" : "the shutdown command";
    case TTraceStage::Block:
        return (dutch ? "blok " : "block ") + std::to_string(v.Block);
    case TTraceStage::Discovery:
    case TTraceStage::Port:
    case TTraceStage::ReadOut:
        break;
    }
    return dutch ? "het uitlezen" : "the read-out";
}

} // namespace

std::string VerdictText(const TTraceVerdict& v, std::uint8_t langIndex)
{
    const bool nl = langIndex == 1;
    const std::string at = StagePhrase(v, nl);
    const auto instead = [&](const std::string& what) {
        if (v.Expected < 0 && v.Stage == TTraceStage::Identification && v.Step == 1)
            return what + " (" + ByteHex(v.Received) + (nl ? " in plaats van " : " instead of ") +
                   "0x01..0xFF)";
        if (v.Expected < 0 && v.Stage == TTraceStage::Identification)
            return what + " (" + ByteHex(v.Received) +
                   (nl ? ", geen identificatieteken)" : ", not an identification character)");
        if (v.Expected < 0)
            return what + " (" + ByteHex(v.Received) + ")";
        return what + " (" + ByteHex(v.Received) + (nl ? " in plaats van " : " instead of ") +
               ByteHex(v.Expected) + ")";
    };
    switch (v.Fault) {
    case TTraceFault::None:
        return nl ? "alle 1536 bytes zijn gelezen" : "all 1536 bytes were read";
    case TTraceFault::NothingExchanged:
        return nl ? "geen server gevonden, er is niets uitgewisseld"
                  : "no server was found, nothing was exchanged";
    case TTraceFault::PortNotOpened:
        return nl ? "poort " + v.Device + " kon niet worden geopend"
                  : "port " + v.Device + " could not be opened";
    case TTraceFault::NoAnswer:
        return (nl ? "geen antwoord op " : "no answer to ") + at;
    case TTraceFault::WrongAnswer:
        return instead((nl ? "verkeerd antwoord op " : "wrong answer to ") + at);
    case TTraceFault::WrongAck:
        return instead((nl ? "verkeerde bevestiging van " : "wrong acknowledgement of ") + at);
    case TTraceFault::WrongChecksum:
        return (nl ? "verkeerde controlesom in " : "wrong checksum in ") + at;
    case TTraceFault::Echo:
        return nl ? "de server beantwoordde de eerste controlebyte, die hij moet negeren"
                  : "server answered the first link-check byte, which it must ignore";
    case TTraceFault::LineLost:
        return (nl ? "verbinding verbroken bij " : "line lost at ") + at;
    case TTraceFault::ShutdownRefused:
        return nl ? "de server weigerde het uitschakelcommando"
                  : "server refused the shutdown command";
    case TTraceFault::IdentMismatch:
        return nl ? "identificatietekst komt niet overeen" : "identification text does not match";
    case TTraceFault::ProbeOutOfStep:
        return nl ? "de server antwoordde niet in de pas op de peilbyte"
                  : "server answered the probe out of step";
    case TTraceFault::Stopped:
        return (nl ? "onderbroken bij " : "interrupted at ") + at;
    }
    return "?";
}

std::string VerdictCause(const TTraceVerdict& v, std::uint8_t langIndex)
{
    const bool nl = langIndex == 1;
    const bool connect = v.Stage != TTraceStage::Shutdown && v.Stage != TTraceStage::Block;
    switch (v.Fault) {
    case TTraceFault::None:
        return nl ? "Elk blok is gelezen; wat misging kwam daarna, meestal het schrijven van het "
                    "dumpbestand (een map die niet bestaat, geen schrijfrecht, een volle schijf)."
                  : "Every block was read; what failed came after the exchange, usually writing "
                    "the dump file (a folder that does not exist, no permission, a full disk).";
    case TTraceFault::NothingExchanged:
        return nl ? "De server is niet aangesloten of niet gevonden: het programma zoekt USB-"
                    "apparaat 04d8:fe88. Controleer de kabel en of de server aan staat."
                  : "The server is not plugged in or was not found: the tool looks for USB "
                    "device 04d8:fe88. Check the cable and that the server is switched on.";
    case TTraceFault::PortNotOpened:
        return nl ? "Een ander programma houdt de poort open, of de gebruiker mag haar niet openen "
                    "(op Linux: lid van de groep dialout)."
                  : "Another program holds the port, or the user may not open it (on Linux: "
                    "membership of the dialout group).";
    case TTraceFault::NoAnswer:
        if (connect)
            return nl ? "De server antwoordt niet: hij staat uit, start nog op, of de kabel "
                        "geeft geen gegevens door."
                      : "The server does not answer: it is switched off, still starting, or the "
                        "cable passes no data.";
        return nl ? "De server hield midden in het uitlezen op met antwoorden: een losse kabel, "
                    "de server werd uitgeschakeld of herstart, of losgekoppeld."
                  : "The server stopped answering in the middle of the read-out: a loose cable, "
                    "the server was switched off or restarted, or it was unplugged.";
    case TTraceFault::WrongAnswer:
    case TTraceFault::ProbeOutOfStep:
        return nl ? "De server is in een andere toestand, of een ander apparaat antwoordt op deze "
                    "poort; schakel de server uit en weer aan en probeer opnieuw."
                  : "The server is in another state, or another device answers on this port; "
                    "switch the server off and on and try again.";
    case TTraceFault::WrongAck:
    case TTraceFault::WrongChecksum:
        return nl ? "Bytes zijn onderweg verminkt: een slechte kabel, storing of een USB-hub; "
                    "probeer opnieuw, met een andere kabel als het terugkomt."
                  : "Bytes were corrupted on the way: a bad cable, electrical noise or a USB hub; "
                    "try again, with another cable if it happens again.";
    case TTraceFault::Echo:
        return nl ? "De server herhaalt bytes die hij moet negeren: hij is niet in zijn gewone "
                    "toestand; schakel hem uit en weer aan."
                  : "The server echoes bytes it should ignore: it is not in its normal state; "
                    "switch it off and on.";
    case TTraceFault::LineLost:
        return nl ? "Het USB-apparaat verdween: de kabel werd losgetrokken, de server herstartte "
                    "of de hub verloor zijn voeding."
                  : "The USB device went away: the cable was pulled, the server restarted or the "
                    "hub lost power.";
    case TTraceFault::ShutdownRefused:
        return nl ? "De server nam het uitschakelcommando niet aan, meestal omdat hij bezig is; "
                    "lees hem uit zonder --shutdown, of probeer het later."
                  : "The server did not take the shutdown command, usually because it is busy; "
                    "read it out without --shutdown, or try again later.";
    case TTraceFault::IdentMismatch:
        return nl ? "Een apparaat antwoordde met een andere identificatie: geen server van deze "
                    "soort, of andere firmware."
                  : "A device answered with another identification: not a server of this kind, "
                    "or other firmware.";
    case TTraceFault::Stopped:
        return nl ? "De poging werd afgebroken (Ctrl+C, of Terug in het venster) voordat ze klaar "
                    "was."
                  : "The attempt was broken off (Ctrl+C, or Back in the window) before it ended.";
    }
    return "";
}

const char* StageName(TTraceStage stage)
{
    switch (stage) {
    case TTraceStage::Discovery:
        return "discovery";
    case TTraceStage::Port:
        return "port";
    case TTraceStage::Probe:
        return "probe";
    case TTraceStage::Wake:
        return "wake";
    case TTraceStage::Identification:
        return "identification";
    case TTraceStage::LinkCheck:
        return "link-check";
    case TTraceStage::Shutdown:
        return "shutdown";
    case TTraceStage::Block:
        return "block";
    case TTraceStage::ReadOut:
        return "read-out";
    }
    return "?";
}

const char* FaultName(TTraceFault fault)
{
    switch (fault) {
    case TTraceFault::None:
        return "none";
    case TTraceFault::NothingExchanged:
        return "nothing-exchanged";
    case TTraceFault::PortNotOpened:
        return "port-not-opened";
    case TTraceFault::NoAnswer:
        return "no-answer";
    case TTraceFault::WrongAnswer:
        return "wrong-answer";
    case TTraceFault::WrongAck:
        return "wrong-acknowledgement";
    case TTraceFault::WrongChecksum:
        return "wrong-checksum";
    case TTraceFault::Echo:
        return "echo";
    case TTraceFault::LineLost:
        return "line-lost";
    case TTraceFault::ShutdownRefused:
        return "shutdown-refused";
    case TTraceFault::IdentMismatch:
        return "identification-mismatch";
    case TTraceFault::ProbeOutOfStep:
        return "probe-out-of-step";
    case TTraceFault::Stopped:
        return "stopped";
    }
    return "?";
}
