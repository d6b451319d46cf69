#include "shell/logo.h"

#include <vector>

#include "platform/platform.h"
#include "shell/TavrixV20.h"
#include "ui/TavrixV20.h"
#include "ui/panels.h"

namespace shell {

namespace {

constexpr int kWhite = 0xFFFFFF;
constexpr int kBlack = 0x000000;
constexpr int kGrey = 0x808080;
constexpr int kMinVariant = 0;
constexpr int kMaxVariant = 12;

using TextStyle = void (*)(const std::string&, int, int, int);

struct TextLine {
    std::string text;
    int left;
    int top;
    int pointSize;
};

// One brand variant of the banner.
struct Variant {
    int code;
    int bannerColor;
    int logoTop;
    int logoLeft;
    const char* bitmap;   // "" for none
    TextStyle style;
    TextLine title;
    std::vector<TextLine> contacts;
};

// The variants this build offers: 0 (no brand) and 5 (the brand it ships with). The
// other codes of the range show nothing, like codes outside it.
const std::vector<Variant>& Variants() {
    static const std::vector<Variant> variants = {
        {0, kWhite, 5, 800, "", ShowInfoText2, {kTitle, 285, 20, 22}, {}},
        {5,
         0x0080FF,
         6,
         325,
         ":/logo/VovezLogo.png",
         ShowInfoText3,
         {kTitle, 323, 30, 18},
         {{"Vovez Sensor Systems", 15, 5, 12},
          {"Tel. +44 1632 960418", 15, 20, 12},
          {"www.vovez-sensors.example", 15, 35, 12}}},
    };
    return variants;
}

void ShowInfoText(const std::string& text, int left, int top, int pointSize, int textColor,
                  int background) {
    const int label = platform::NewCtrl(ui::mainpanel, platform::CTRL_TEXT_MSG, "", top, left);
    if (label < 0) return;
    platform::SetCtrlAttribute(ui::mainpanel, label, platform::ATTR_TEXT_BGCOLOR, background);
    platform::SetCtrlAttribute(ui::mainpanel, label, platform::ATTR_TEXT_COLOR, textColor);
    platform::SetCtrlAttribute(ui::mainpanel, label, platform::ATTR_TEXT_POINT_SIZE, pointSize);
    platform::SetCtrlVal(ui::mainpanel, label, text);
}

}   // namespace

void ShowInfoText1(const std::string& text, int left, int top, int pointSize) {
    ShowInfoText(text, left, top, pointSize, kGrey, kWhite);
}

void ShowInfoText2(const std::string& text, int left, int top, int pointSize) {
    ShowInfoText(text, left, top, pointSize, kBlack, kWhite);
}

void ShowInfoText3(const std::string& text, int left, int top, int pointSize) {
    ShowInfoText(text, left, top, pointSize, kWhite, platform::kTransparent);
}

void ShowLogo(int code) {
    if (code < kMinVariant || code > kMaxVariant) return;
    for (const Variant& v : Variants()) {
        if (v.code != code) continue;
        platform::SetCtrlAttribute(ui::mainpanel, ui::MAINP_BANNER, platform::ATTR_FRAME_COLOR,
                                   v.bannerColor);
        platform::SetCtrlAttribute(ui::mainpanel, ui::MAINP_LOGO, platform::ATTR_TOP, v.logoTop);
        platform::SetCtrlAttribute(ui::mainpanel, ui::MAINP_LOGO, platform::ATTR_LEFT, v.logoLeft);
        if (*v.bitmap != '\0') platform::DisplayImageFile(ui::mainpanel, ui::MAINP_LOGO, v.bitmap);
        v.style(v.title.text, v.title.left, v.title.top, v.title.pointSize);
        for (const TextLine& line : v.contacts)
            v.style(line.text, line.left, line.top, line.pointSize);
        return;
    }
}

}   // namespace shell
