// The title banner of the main panel: variant 5 (the one the program shows), variant 0 (no
// brand), codes that show nothing, and the three text styles, checked through the platform and
// on the drawn panel.
#include <QApplication>
#include <QImage>
#include <QLabel>
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "shell/TavrixV20.h"
#include "shell/logo.h"
#include "ui/TavrixV20.h"

namespace {

constexpr int kMaxControlId = 200;
constexpr int kWhite = 0xFFFFFF;
constexpr int kBlack = 0x000000;
constexpr int kGrey = 0x808080;
constexpr int kVariant5Banner = 0x0080FF;
constexpr int kTextTolerance = 0x30;   // anti-aliasing leaves the core of a glyph near its colour

int Attribute(int control, int attr) {
    int value = -1;
    EXPECT_GE(platform::GetCtrlAttribute(shell::mainpanel, control, attr, value), 0) << attr;
    return value;
}

std::set<int> Controls() {
    std::set<int> ids;
    for (int id = 1; id <= kMaxControlId; ++id)
        if (platform::ControlWidget(shell::mainpanel, id) != nullptr) ids.insert(id);
    return ids;
}

bool Near(QRgb pixel, int colour) {
    const QColor want(static_cast<QRgb>(colour));
    return std::abs(qRed(pixel) - want.red()) <= kTextTolerance &&
           std::abs(qGreen(pixel) - want.green()) <= kTextTolerance &&
           std::abs(qBlue(pixel) - want.blue()) <= kTextTolerance;
}

// How a label looks on the drawn panel: the share of its area in the background colour and
// the number of pixels in its text colour.
struct Look {
    double backgroundShare = 0.0;
    int textPixels = 0;
};

Look LookOf(const QImage& panel, const QRect& rect, int background, int text) {
    Look look;
    int backgroundPixels = 0;
    int all = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        for (int x = rect.left(); x <= rect.right(); ++x) {
            const QRgb pixel = panel.pixel(x, y);
            ++all;
            if ((pixel & 0xFFFFFF) == static_cast<QRgb>(background)) ++backgroundPixels;
            if (Near(pixel, text)) ++look.textPixels;
        }
    }
    look.backgroundShare = all > 0 ? static_cast<double>(backgroundPixels) / all : 0.0;
    return look;
}

// One label as the banner must show it.
struct Expected {
    std::string text;
    int left;
    int top;
    int pointSize;
};

class LogoTest : public ::testing::Test {
protected:
    void SetUp() override {
        ui::RegisterPanelResources();
        shell::mainpanel = platform::LoadPanel(0, ui::MAINP);
        ASSERT_GT(shell::mainpanel, 0);
        platform::DisplayPanel(shell::mainpanel);
        m_formControls = Controls();
        m_formBanner = Attribute(ui::MAINP_BANNER, platform::ATTR_FRAME_COLOR);
        m_formLogoTop = Attribute(ui::MAINP_LOGO, platform::ATTR_TOP);
        m_formLogoLeft = Attribute(ui::MAINP_LOGO, platform::ATTR_LEFT);
        ASSERT_NE(Logo(), nullptr);
        m_formLogoEmpty = Logo()->pixmap().isNull();
    }
    void TearDown() override { platform::DiscardPanel(shell::mainpanel); }

    // The labels created since the panel was loaded, in creation order.
    std::vector<int> NewLabels() const {
        std::vector<int> labels;
        for (int id : Controls())
            if (!m_formControls.contains(id)) labels.push_back(id);
        return labels;
    }

    static QLabel* Label(int control) {
        return qobject_cast<QLabel*>(platform::ControlWidget(shell::mainpanel, control));
    }
    static QLabel* Logo() { return Label(ui::MAINP_LOGO); }
    static QImage Drawn() {
        return platform::PanelWidget(shell::mainpanel)->grab().toImage();
    }

    // Each label: its text, place and size through the platform and on the widget, its colours
    // as set, and on the drawn panel its text colour over the expected background.
    void ExpectLabels(const std::vector<Expected>& expected, int textColour, int setBackground,
                      int shownBackground) const {
        const std::vector<int> labels = NewLabels();
        ASSERT_EQ(labels.size(), expected.size());
        const QImage drawn = Drawn();
        const QString appFont = QApplication::font().family();
        for (size_t i = 0; i < labels.size(); ++i) {
            const int id = labels[i];
            const Expected& e = expected[i];
            SCOPED_TRACE(e.text);
            std::string text;
            platform::GetCtrlVal(shell::mainpanel, id, text);
            EXPECT_EQ(text, e.text);
            EXPECT_EQ(Attribute(id, platform::ATTR_LEFT), e.left);
            EXPECT_EQ(Attribute(id, platform::ATTR_TOP), e.top);
            EXPECT_EQ(Attribute(id, platform::ATTR_TEXT_POINT_SIZE), e.pointSize);
            EXPECT_EQ(Attribute(id, platform::ATTR_TEXT_COLOR), textColour);
            EXPECT_EQ(Attribute(id, platform::ATTR_TEXT_BGCOLOR), setBackground);

            QLabel* label = Label(id);
            ASSERT_NE(label, nullptr);
            EXPECT_TRUE(label->isVisible());
            EXPECT_EQ(label->text().toStdString(), e.text);
            EXPECT_EQ(label->geometry().topLeft(), QPoint(e.left, e.top));
            EXPECT_EQ(label->font().pointSize(), e.pointSize);
            EXPECT_EQ(label->font().family(), appFont);
            // The whole text fits: the label is at least as large as the text needs.
            const QSize needed = label->fontMetrics().size(0, label->text());
            EXPECT_GE(label->width(), needed.width());
            EXPECT_GE(label->height(), needed.height());

            const Look look = LookOf(drawn, label->geometry(), shownBackground, textColour);
            EXPECT_GT(look.backgroundShare, 0.5) << "the background shown behind the text";
            EXPECT_GT(look.textPixels, 10) << "the text is drawn in its colour";
        }
    }

    std::set<int> m_formControls;
    int m_formBanner = 0;
    int m_formLogoTop = 0;
    int m_formLogoLeft = 0;
    bool m_formLogoEmpty = true;
};

}  // namespace

TEST_F(LogoTest, Variant5ShowsTheBrandInWhiteOnTheBlueBanner) {
    shell::ShowLogo(5);
    EXPECT_EQ(Attribute(ui::MAINP_BANNER, platform::ATTR_FRAME_COLOR), kVariant5Banner);
    QWidget* banner = platform::ControlWidget(shell::mainpanel, ui::MAINP_BANNER);
    ASSERT_NE(banner, nullptr);
    const QImage bannerDrawn = banner->grab().toImage();
    EXPECT_EQ(bannerDrawn.pixel(bannerDrawn.width() - 2, bannerDrawn.height() / 2) & 0xFFFFFF,
              static_cast<QRgb>(kVariant5Banner));

    EXPECT_EQ(Attribute(ui::MAINP_LOGO, platform::ATTR_TOP), 6);
    EXPECT_EQ(Attribute(ui::MAINP_LOGO, platform::ATTR_LEFT), 325);
    ASSERT_NE(Logo(), nullptr);
    EXPECT_EQ(Logo()->geometry().topLeft(), QPoint(325, 6));
    EXPECT_TRUE(Logo()->isVisible());
    ASSERT_FALSE(Logo()->pixmap().isNull()) << "the logo bitmap is shown";
    // The picture lies on the banner, beside the contact lines and above the title.
    EXPECT_TRUE(banner->geometry().contains(Logo()->geometry()));
    EXPECT_LE(Logo()->geometry().bottom(), 30);

    // Title, then company, telephone and web address of the brand.
    ExpectLabels({{"TAVRIX-Vovez V2.0", 323, 30, 18},
                  {"Vovez Sensor Systems", 15, 5, 12},
                  {"Tel. +44 1632 960418", 15, 20, 12},
                  {"www.vovez-sensors.example", 15, 35, 12}},
                 kWhite, platform::kTransparent, kVariant5Banner);
    // Every label lies wholly on the banner, so white on transparent stays readable.
    for (int id : NewLabels()) EXPECT_TRUE(banner->geometry().contains(Label(id)->geometry())) << id;
}

TEST_F(LogoTest, Variant0ShowsOnlyTheTitleBlackOnWhite) {
    shell::ShowLogo(0);
    EXPECT_EQ(Attribute(ui::MAINP_BANNER, platform::ATTR_FRAME_COLOR), kWhite);
    EXPECT_EQ(Attribute(ui::MAINP_LOGO, platform::ATTR_TOP), 5);
    EXPECT_EQ(Attribute(ui::MAINP_LOGO, platform::ATTR_LEFT), 800);
    ASSERT_NE(Logo(), nullptr);
    EXPECT_EQ(Logo()->geometry().topLeft(), QPoint(800, 5));
    EXPECT_TRUE(Logo()->pixmap().isNull()) << "no bitmap is loaded";
    ExpectLabels({{"TAVRIX-Vovez V2.0", 285, 20, 22}}, kBlack, kWhite, kWhite);
}

TEST_F(LogoTest, CodesWithoutAVariantShowNothing) {
    for (int code : {13, -1}) {
        SCOPED_TRACE(code);
        shell::ShowLogo(code);
        EXPECT_EQ(Controls(), m_formControls) << "no label is created";
        EXPECT_EQ(Attribute(ui::MAINP_BANNER, platform::ATTR_FRAME_COLOR), m_formBanner);
        EXPECT_EQ(Attribute(ui::MAINP_LOGO, platform::ATTR_TOP), m_formLogoTop);
        EXPECT_EQ(Attribute(ui::MAINP_LOGO, platform::ATTR_LEFT), m_formLogoLeft);
        EXPECT_EQ(Logo()->pixmap().isNull(), m_formLogoEmpty);
    }
    // The form's own place differs from both variants, so a moved picture would show.
    EXPECT_NE(std::make_pair(m_formLogoTop, m_formLogoLeft), std::make_pair(6, 325));
    EXPECT_NE(std::make_pair(m_formLogoTop, m_formLogoLeft), std::make_pair(5, 800));
}

TEST_F(LogoTest, EachTextStyleMakesOneLabelInItsColours) {
    struct Style {
        void (*show)(const std::string&, int, int, int);
        int text;
        int background;
    };
    const Style styles[] = {{shell::ShowInfoText1, kGrey, kWhite},
                            {shell::ShowInfoText2, kBlack, kWhite},
                            {shell::ShowInfoText3, kWhite, platform::kTransparent}};
    int top = 70;
    for (const Style& s : styles) {
        const size_t before = NewLabels().size();
        s.show("Style", 400, top, 14);
        const std::vector<int> labels = NewLabels();
        ASSERT_EQ(labels.size(), before + 1);
        const int id = labels.back();
        EXPECT_EQ(Attribute(id, platform::ATTR_TEXT_COLOR), s.text);
        EXPECT_EQ(Attribute(id, platform::ATTR_TEXT_BGCOLOR), s.background);
        EXPECT_EQ(Attribute(id, platform::ATTR_TEXT_POINT_SIZE), 14);
        EXPECT_EQ(Label(id)->geometry().topLeft(), QPoint(400, top));
        top += 40;
    }
}
