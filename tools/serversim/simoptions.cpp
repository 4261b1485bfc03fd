#include "tools/serversim/simoptions.h"

std::string DefaultIdentification()
{
    return std::string("\x11") + "VADOZIROZA" + "K7Q2[9";
}

std::string PatternImage()
{
    // Every byte differs from its neighbours and every block from every other, so a block
    // read twice, skipped or reordered shows in a byte-for-byte comparison.
    std::string image(SimMemorySize, '\0');
    for (std::size_t k = 0; k < SimMemorySize; ++k)
        image[k] = static_cast<char>((k * 37 + k / 256 + 11) & 0xFF);
    return image;
}
