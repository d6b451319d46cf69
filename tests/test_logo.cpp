// The title banner of the main panel: variant 5 (the one the program shows), variant 0 (no
// brand), codes that show nothing, and the three text styles, checked through the platform and
// on the drawn panel.
#include <QApplication>
#include <QImage>
#include <QLabel>
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "ui/panels.h"
#include "platform/platform.h"
#include "shell/TavrixV20.h"
#include "shell/logo.h"
#include "ui/TavrixV20.h"

namespace {

constexpr int kWhite = 0xFFFFFF;
constexpr int kBlack = 0x000000;
constexpr int kVariant5Banner = 0x0080FF;
constexpr int kTextTolerance = 0x30;   // anti-aliasing leaves the core of a glyph near its colour

int Attribute(int control, int attr) {
    int value = -1;
    EXPECT_GE(platform::GetCtrlAttribute(ui::mainpanel, control, attr, value), 0) << attr;
    return value;
}

std::set<int> Controls() {
    std::set<int> ids;
    for (int id = 1; id <= 200; ++id)
        if (platform::ControlWidget(ui::mainpanel, id) != nullptr) ids.insert(id);
    return ids;
}

// Pixels of the image within area whose colour is rgb (0xRRGGBB), up to the tolerance.
int Pixels(const QImage& image, const QRect& area, int rgb, int tolerance) {
    const auto near = [&](int a, int b) { return std::abs(a - b) <= tolerance; };
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QRgb p = image.pixel(x, y);
            count += near(qRed(p), rgb >> 16 & 0xFF) && near(qGreen(p), rgb >> 8 & 0xFF) && near(qBlue(p), rgb & 0xFF);
        }
    }
    return count;
}

// One label as the banner must show it.
struct Expected {
    std::string text;
    int left, top, pointSize;
};

class LogoTest : public ::testing::Test {
protected:
    void SetUp() override {
        ui::RegisterPanelResources();
        ui::mainpanel = platform::LoadPanel(0, ui::MAINP);
        ASSERT_GT(ui::mainpanel, 0);
        platform::DisplayPanel(ui::mainpanel);
        m_formControls = Controls();
    }
    void TearDown() override { platform::DiscardPanel(ui::mainpanel); }

    // The banner colour, the logo picture's top and left, and whether it shows a bitmap.
    static std::tuple<int, int, int, bool> Banner() {
        const auto* logo = qobject_cast<QLabel*>(platform::ControlWidget(ui::mainpanel, ui::MAINP_LOGO));
        return {Attribute(ui::MAINP_BANNER, platform::ATTR_FRAME_COLOR),
                Attribute(ui::MAINP_LOGO, platform::ATTR_TOP),
                Attribute(ui::MAINP_LOGO, platform::ATTR_LEFT), logo && !logo->pixmap().isNull()};
    }

    // Each label: its text, place, size and colours as set, in the application font, large
    // enough for its text, and on the drawn panel its text colour over the background shown
    // (for white on transparent: the banner, where it stays readable).
    void ExpectLabels(const std::vector<Expected>& expected, int textColour, int background,
                      int shownBackground) const {
        std::vector<int> labels;   // those created since the panel was loaded, in creation order
        std::ranges::set_difference(Controls(), m_formControls, std::back_inserter(labels));
        ASSERT_EQ(labels.size(), expected.size());
        const QImage drawn = platform::PanelWidget(ui::mainpanel)->grab().toImage();
        for (size_t i = 0; i < labels.size(); ++i) {
            const int id = labels[i];
            const Expected& e = expected[i];
            SCOPED_TRACE(e.text);
            std::string text;
            platform::GetCtrlVal(ui::mainpanel, id, text);
            EXPECT_EQ(std::tuple(text, Attribute(id, platform::ATTR_LEFT), Attribute(id, platform::ATTR_TOP),
                                 Attribute(id, platform::ATTR_TEXT_POINT_SIZE),
                                 Attribute(id, platform::ATTR_TEXT_COLOR), Attribute(id, platform::ATTR_TEXT_BGCOLOR)),
                      std::tuple(e.text, e.left, e.top, e.pointSize, textColour, background));
            const auto* label = qobject_cast<QLabel*>(platform::ControlWidget(ui::mainpanel, id));
            ASSERT_TRUE(label && label->isVisible());
            EXPECT_EQ(label->font().family(), QApplication::font().family());
            const QSize needed = label->fontMetrics().size(0, label->text());
            EXPECT_TRUE(label->width() >= needed.width() && label->height() >= needed.height());
            const QRect area = label->geometry();
            EXPECT_GT(Pixels(drawn, area, shownBackground, 0), area.width() * area.height() / 2);
            EXPECT_GT(Pixels(drawn, area, textColour, kTextTolerance), 10) << "the text's colour";
        }
    }

    std::set<int> m_formControls;
};

}  // namespace

TEST_F(LogoTest, Variant5ShowsTheBrandInWhiteOnTheBlueBanner) {
    shell::ShowLogo(5);
    EXPECT_EQ(Banner(), std::make_tuple(kVariant5Banner, 6, 325, true));
    // The picture lies on the banner, beside the contact lines and above the title.
    const QRect banner = platform::ControlWidget(ui::mainpanel, ui::MAINP_BANNER)->geometry();
    const QRect logo = platform::ControlWidget(ui::mainpanel, ui::MAINP_LOGO)->geometry();
    EXPECT_TRUE(banner.contains(logo));
    EXPECT_LE(logo.bottom(), 30);
    // Title, then company, telephone and web address of the brand.
    ExpectLabels({{"TAVRIX-Vovez V2.0", 323, 30, 18},
                  {"Vovez Sensor Systems", 15, 5, 12},
                  {"Tel. +44 1632 960418", 15, 20, 12},
                  {"www.vovez-sensors.example", 15, 35, 12}},
                 kWhite, platform::kTransparent, kVariant5Banner);
}

TEST_F(LogoTest, Variant0ShowsOnlyTheTitleBlackOnWhite) {
    shell::ShowLogo(0);
    EXPECT_EQ(Banner(), std::make_tuple(kWhite, 5, 800, false));
    ExpectLabels({{"TAVRIX-Vovez V2.0", 285, 20, 22}}, kBlack, kWhite, kWhite);
}

TEST_F(LogoTest, CodesWithoutAVariantShowNothing) {
    const auto form = Banner();
    // The form's own place differs from both variants, so a moved picture would show.
    EXPECT_NE(std::make_pair(std::get<1>(form), std::get<2>(form)), std::make_pair(6, 325));
    EXPECT_NE(std::make_pair(std::get<1>(form), std::get<2>(form)), std::make_pair(5, 800));
    for (int code : {13, -1}) {
        shell::ShowLogo(code);
        EXPECT_EQ(Controls(), m_formControls) << code << ": no label is created";
        EXPECT_EQ(Banner(), form) << code;
    }
}

// The other two styles are those of variants 0 and 5.
TEST_F(LogoTest, InfoText1IsGreyOnWhite) {
    shell::ShowInfoText1("Style", 400, 70, 14);
    ExpectLabels({{"Style", 400, 70, 14}}, 0x808080, kWhite, kWhite);
}
