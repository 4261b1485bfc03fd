#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// How the server identifies itself in bring-up: 19 exchanges of one byte and one required answer.
// Step 1's answer and the identification characters of steps 4 to 19 form the 17-byte
// identification text; the server is accepted when the text begins with 0x11 and "VADOZIROZA".

inline constexpr int IdentificationSteps = 19;
inline constexpr std::size_t IdentificationTextLength = 17;
// The compared beginning of the identification text.
inline constexpr std::string_view IdentificationPrefix{"\x11"
                                                       "VADOZIROZA"};
inline constexpr std::size_t IdentificationPrefixLength = IdentificationPrefix.size(); // 11

// "0" to "9" and "A" to "[" (91, not 90). Any int, -1 (no byte) included.
bool IsIdentificationChar(int value);

// The byte sent in identification step 1 to 19: 0x80, 0x00, 0xA5, then 0x55.
std::uint8_t IdentificationByte(int step);
// The one answer the step requires (0x55 for step 2, 0xF0 for step 3), or -1 where a range or
// a class of bytes is required (1 to 255 for step 1, an identification character from step 4).
int IdentificationRequiredAnswer(int step);
// Whether answer (0..255, or -1 for none) passes the step.
bool IdentificationAnswerOk(int step, int answer);
// Whether the step's answer belongs to the identification text (steps 1 and 4 to 19).
bool IdentificationAnswerKept(int step);

// The rule: the text's first 11 bytes are 0x11 and "VADOZIROZA"; the rest is not checked.
bool IdentificationAccepted(const std::string& text);
