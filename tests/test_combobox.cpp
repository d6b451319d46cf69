// The editable combo box on a small panel of its own, driven with real key and mouse events.
// Which entry completes a text is tested in test_core.cpp; the list operations the history
// uses (find, delete, insert), a pick with the mouse and showing or hiding the three parts in
// test_connection.cpp.
#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "connection/combobox.h"
#include "platform/platform.h"

using namespace connection;

namespace {

constexpr int kTestPanelResource = 901;
enum TestControl : int { C_FIRST = 1, C_DIMMED, C_TEXT, C_BUTTON };

// The events the owner's callback on the text control received, each with the text then shown.
std::vector<std::pair<int, std::string>> g_ownerEvents;
int g_swallowedKey = 0;

int OwnerCallback(int panel, int control, int event, void*, int eventData1, int) {
    std::string text;
    platform::GetCtrlVal(panel, C_TEXT, text);
    if (control == C_TEXT) g_ownerEvents.push_back({event, text});
    return event == platform::EVENT_KEYPRESS && eventData1 == g_swallowedKey ? 1 : 0;
}

// Four controls one below the other: a line edit, a (dimmed) button, the text, a button.
QWidget* CreateTestPanel() {
    auto* panel = new QWidget;
    panel->resize(400, 200);
    QWidget* widgets[] = {new QLineEdit(panel), new QPushButton("DIMMED", panel),
                          new QLineEdit(panel), new QPushButton("OK", panel)};
    const char* names[] = {"first", "dimmed", "text", "button"};
    for (int i = 0; i < 4; ++i) {
        widgets[i]->setObjectName(names[i]);
        widgets[i]->setGeometry(60, 10 + 40 * i, 150, 24);
    }
    return panel;
}

class ComboBox : public ::testing::Test {
protected:
    void SetUp() override {
        g_ownerEvents.clear();
        g_swallowedKey = 0;
        autoCompletion = true;
        platform::RegisterCallbacks({{"TestOwner", OwnerCallback}});
        platform::RegisterPanelResource({kTestPanelResource, "TESTP", CreateTestPanel, "",
            {{C_FIRST, "first", ""}, {C_DIMMED, "dimmed", ""}, {C_TEXT, "text", "TestOwner"},
             {C_BUTTON, "button", ""}}});
        m_panel = platform::LoadPanel(0, kTestPanelResource);
        ASSERT_GT(m_panel, 0);
        platform::SetCtrlAttribute(m_panel, C_DIMMED, platform::ATTR_DIMMED, 1);
        platform::DisplayPanel(m_panel);
        platform::PanelWidget(m_panel)->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(platform::PanelWidget(m_panel)));
        ASSERT_EQ(Combo_NewComboBox(m_panel, C_TEXT), C_TEXT);
        m_record = GetComboRecord(m_panel, C_TEXT);
        ASSERT_NE(m_record, nullptr);
    }

    void TearDown() override {
        EXPECT_EQ(Combo_DiscardComboBox(m_panel, C_TEXT), 0);
        platform::DiscardPanel(m_panel);
    }

    void Fill(std::initializer_list<const char*> entries) {
        int index = 0;
        for (const char* entry : entries)
            ASSERT_EQ(Combo_InsertComboItem(m_panel, C_TEXT, index++, entry), 0);
    }

    QLineEdit* Text() const {
        return qobject_cast<QLineEdit*>(platform::ControlWidget(m_panel, C_TEXT));
    }
    QComboBox* List() const {
        return qobject_cast<QComboBox*>(platform::ControlWidget(m_panel, m_record->m_listButton));
    }

    void Type(const char* keys) {
        Text()->setFocus();
        QTest::keyClicks(Text(), keys);
    }
    void ExpectText(const char* text, const char* selected) const {
        EXPECT_EQ((Text()->text() + "|" + Text()->selectedText()).toStdString(),
                  std::string(text) + "|" + selected);
    }

    // The texts the owner found when each event of this kind arrived.
    static std::vector<std::string> OwnerEventsOf(int event) {
        std::vector<std::string> texts;
        for (const auto& [received, text] : g_ownerEvents)
            if (received == event) texts.push_back(text);
        return texts;
    }

    int m_panel = 0;
    ComboRecord* m_record = nullptr;
};

TEST_F(ComboBox, TypingCompletesAndSelectsTheAddedPartBackspaceDoesNot) {
    Fill({"Alpha", "alps"});
    Type("a");
    ExpectText("alpha", "lpha");
    Type("lps");   // typed over the selection
    ExpectText("alps", "");
    // The owner saw every key and every change; it can still swallow a key.
    EXPECT_EQ(OwnerEventsOf(platform::EVENT_KEYPRESS).size(), 4u);
    EXPECT_EQ(OwnerEventsOf(platform::EVENT_VAL_CHANGED).size(), 4u);
    g_swallowedKey = '7';
    Type("7");
    EXPECT_EQ(Text()->text(), "alps");
    QTest::keyClick(Text(), Qt::Key_Backspace);
    ExpectText("alp", "");
    // A text emptied by a cut takes the first entry, selected.
    QTest::keyClick(Text(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(Text(), Qt::Key_X, Qt::ControlModifier);
    ExpectText("Alpha", "Alpha");
}

TEST_F(ComboBox, UpOrDownOpensTheListAPickIsCutAndCommittedAButtonClickLeavesTheFocus) {
    Fill({"a-very-long-server-name", "two"});
    ASSERT_EQ(Combo_SetComboAttribute(m_panel, C_TEXT, COMBO_ATTR_MAX_ENTRY_LENGTH, 6), 0);
    for (Qt::Key key : {Qt::Key_Down, Qt::Key_Up}) {
        Text()->setFocus();
        QTest::keyClick(Text(), key);
        EXPECT_TRUE(List()->view()->isVisible());
        EXPECT_EQ(platform::GetActiveCtrl(m_panel), m_record->m_listButton);
        QTest::keyClick(List()->view(), Qt::Key_Return);   // takes the highlighted entry
        EXPECT_FALSE(List()->view()->isVisible());
    }
    // One commit a pick, and the owner found the text already set when it arrived.
    EXPECT_EQ(OwnerEventsOf(platform::EVENT_COMMIT), (std::vector<std::string>{"a-very", "a-very"}));

    platform::SetActiveCtrl(m_panel, C_FIRST);
    QTest::mouseClick(List(), Qt::LeftButton);
    EXPECT_TRUE(List()->view()->isVisible());
    EXPECT_EQ(platform::GetActiveCtrl(m_panel), C_TEXT);
    QTest::keyClick(List()->view(), Qt::Key_Escape);
    EXPECT_FALSE(List()->view()->isVisible());
    EXPECT_EQ(platform::GetActiveCtrl(m_panel), C_TEXT);
    EXPECT_EQ(OwnerEventsOf(platform::EVENT_COMMIT).size(), 2u);   // escape commits nothing
}

TEST_F(ComboBox, ShiftTabGoesToThePreviousOperableControlWrappingFromTheTop) {
    // Tab order now: list button, text, OK button, frame, first line edit, dimmed button.
    for (int control : {C_FIRST, C_DIMMED})
        platform::SetCtrlAttribute(m_panel, control, platform::ATTR_CTRL_TAB_POSITION, 5);
    int position = -1;
    platform::GetCtrlAttribute(m_panel, C_TEXT, platform::ATTR_CTRL_TAB_POSITION, position);
    ASSERT_EQ(position, 1);
    Text()->setFocus();
    QTest::keyClick(Text(), Qt::Key_Backtab, Qt::ShiftModifier);
    // The list button, then the dimmed button at the end, take no focus.
    EXPECT_EQ(platform::GetActiveCtrl(m_panel), C_FIRST);
}

}  // namespace
