#pragma once
// Texts that come as bytes from the sensor or from files, made fit to show and to store.
// Pure functions, no I/O.
#include <cstddef>
#include <string>
#include <string_view>

namespace sensorlink {

// The bytes as UTF-8: every valid UTF-8 sequence is kept as it is, every other byte is taken
// as a Windows-1252 character, as such texts come from Windows PCs (0xB0 shows as the degree
// sign, 0x80 as the euro sign, 0xFF padding as ÿ), so nothing shows as a replacement character.
std::string DisplayText(std::string_view bytes);

// At most maxBytes of a UTF-8 text, cut before a character that would not fit whole.
std::string_view CutOnCharBoundary(std::string_view utf8, size_t maxBytes);

}   // namespace sensorlink
