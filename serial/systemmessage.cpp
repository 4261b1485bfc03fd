#include "serial/systemmessage.h"

std::string TrimSystemMessage(std::string text)
{
    while (!text.empty()) {
        const auto c = static_cast<unsigned char>(text.back());
        if (c > ' ' && c != '.' && c != 0x7F)
            break;
        text.pop_back();
    }
    return text;
}
