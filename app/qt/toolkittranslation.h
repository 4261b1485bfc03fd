#pragma once

#include <cstdint>
#include <memory>

class QTranslator;

// The toolkit's own texts (the save dialog's "Look in", "File name", "Save", "Cancel", its
// questions) in the window's language: Dutch from the toolkit's translations the system ships
// (qtbase_nl.qm), English as built in.
class TToolkitTranslation
{
public:
    TToolkitTranslation();
    ~TToolkitTranslation();
    TToolkitTranslation(const TToolkitTranslation&) = delete;
    TToolkitTranslation& operator=(const TToolkitTranslation&) = delete;

    // Installs the translation for langIndex (1 Nederlands) or removes it (any other). Without
    // the system's translation file the toolkit's texts stay English. True when the texts are in
    // the language asked for.
    bool Apply(std::uint8_t langIndex);

private:
    std::unique_ptr<QTranslator> Dutch; // loaded on first use; installed while Dutch is chosen
    bool Installed = false;
};
