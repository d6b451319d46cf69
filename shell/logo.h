#pragma once
// The title banner of the main panel: banner colour, logo picture, title and contact lines,
// chosen by a brand variant code.
#include <string>

namespace shell {

constexpr int kBrandVariant = 5;   // the variant this build shows
constexpr const char* kTitle = "TAVRIX-Vovez V2.0";

void ShowLogo(int code);   // codes outside 0..12 show nothing
void ShowInfoText1(const std::string& text, int left, int top, int pointSize);   // grey on white
void ShowInfoText2(const std::string& text, int left, int top, int pointSize);   // black on white
void ShowInfoText3(const std::string& text, int left, int top,
                   int pointSize);   // white, transparent

}   // namespace shell
