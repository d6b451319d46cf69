// The editable combo box on a small panel of its own, driven with real key and mouse events.
#include <QAbstractItemView>
#include <QApplication>
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

// What the owner's callback on the text control received.
struct OwnerEvent {
    int m_control = 0;
    int m_event = 0;
    int m_data1 = 0;
    std::string m_text;   // the text control's text when the event arrived
};
std::vector<OwnerEvent> g_ownerEvents;
int g_swallowedKey = 0;

int OwnerCallback(int panel, int control, int event, void*, int eventData1, int) {
    std::string text;
    platform::GetCtrlVal(panel, C_TEXT, text);
    g_ownerEvents.push_back({control, event, eventData1, text});
    return event == platform::EVENT_KEYPRESS && eventData1 == g_swallowedKey ? 1 : 0;
}

QWidget* CreateTestPanel() {
    auto* panel = new QWidget;
    panel->resize(400, 200);
    auto* first = new QLineEdit(panel);
    first->setObjectName("first");
    first->setGeometry(40, 10, 120, 24);
    auto* dimmed = new QPushButton("DIMMED", panel);
    dimmed->setObjectName("dimmed");
    dimmed->setGeometry(40, 40, 120, 24);
    auto* text = new QLineEdit(panel);
    text->setObjectName("text");
    text->setGeometry(60, 80, 150, 24);
    auto* button = new QPushButton("OK", panel);
    button->setObjectName("button");
    button->setGeometry(40, 120, 120, 24);
    return panel;
}

class ComboBox : public ::testing::Test {
protected:
    void SetUp() override {
        g_ownerEvents.clear();
        autoCompletion = true;
        platform::RegisterCallback("TestOwner", OwnerCallback);
        platform::RegisterPanelResource({kTestPanelResource, "TESTP", CreateTestPanel, "",
                                         {{C_FIRST, "first", ""},
                                          {C_DIMMED, "dimmed", ""},
                                          {C_TEXT, "text", "TestOwner"},
                                          {C_BUTTON, "button", ""}}});
        m_panel = platform::LoadPanel(0, kTestPanelResource);
        ASSERT_GT(m_panel, 0);
        platform::SetCtrlAttribute(m_panel, C_DIMMED, platform::ATTR_DIMMED, 1);
        platform::DisplayPanel(m_panel);
        QWidget* window = platform::PanelWidget(m_panel);
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
        ASSERT_EQ(Combo_NewComboBox(m_panel, C_TEXT), C_TEXT);
        m_record = GetComboRecord(m_panel, C_TEXT);
        ASSERT_NE(m_record, nullptr);
    }

    void TearDown() override {
        if (GetComboRecord(m_panel, C_TEXT) != nullptr) {
            EXPECT_EQ(Combo_DiscardComboBox(m_panel, C_TEXT), 0);
        }
        platform::DiscardPanel(m_panel);
    }

    void Fill(std::initializer_list<const char*> entries) {
        int index = 0;
        for (const char* entry : entries)
            ASSERT_EQ(Combo_InsertComboItem(m_panel, C_TEXT, index++, entry), 0);
    }

    QLineEdit* Text() const { return qobject_cast<QLineEdit*>(platform::ControlWidget(m_panel, C_TEXT)); }
    QComboBox* List() const {
        return qobject_cast<QComboBox*>(platform::ControlWidget(m_panel, m_record->m_listButton));
    }
    QWidget* Frame() const { return platform::ControlWidget(m_panel, m_record->m_frame); }

    void Type(const char* keys) {
        Text()->setFocus();
        QTest::keyClicks(Text(), keys);
    }

    int Count() const {
        int count = 0;
        platform::GetNumListItems(m_panel, m_record->m_listButton, count);
        return count;
    }

    std::vector<int> OwnerEventsOf(int event) const {
        std::vector<int> controls;
        for (const OwnerEvent& e : g_ownerEvents)
            if (e.m_event == event) controls.push_back(e.m_control);
        return controls;
    }

    int m_panel = 0;
    ComboRecord* m_record = nullptr;
};

TEST_F(ComboBox, CompletesFromTheFirstMatchAndSelectsTheAddedPart) {
    Fill({"Alpha", "alps"});
    Type("a");
    EXPECT_EQ(Text()->text(), "alpha");
    EXPECT_EQ(Text()->selectedText(), "lpha");
    Type("l");
    EXPECT_EQ(Text()->text(), "alpha");
    EXPECT_EQ(Text()->selectedText(), "pha");
    Type("ps");
    EXPECT_EQ(Text()->text(), "alps");
    EXPECT_FALSE(Text()->hasSelectedText());
    // The owner saw every key and every change, from the text control.
    EXPECT_EQ(OwnerEventsOf(platform::EVENT_KEYPRESS), std::vector<int>(4, C_TEXT));
    EXPECT_EQ(OwnerEventsOf(platform::EVENT_VAL_CHANGED), std::vector<int>(4, C_TEXT));
}

TEST_F(ComboBox, BackspaceRemovesTheCompletionWithoutCompletingAgain) {
    Fill({"Alpha"});
    Type("a");
    ASSERT_EQ(Text()->text(), "alpha");
    QTest::keyClick(Text(), Qt::Key_Backspace);
    EXPECT_EQ(Text()->text(), "a");
    QTest::keyClick(Text(), Qt::Key_Backspace);
    EXPECT_EQ(Text()->text(), "");
    // The next typed character completes again.
    Type("A");
    EXPECT_EQ(Text()->text(), "Alpha");
    EXPECT_EQ(Text()->selectedText(), "lpha");
}

TEST_F(ComboBox, AnEmptiedTextFillsInTheFirstEntryWhollySelected) {
    Fill({"server.local", "s"});
    Type("xyz");
    ASSERT_EQ(Text()->text(), "xyz");
    QTest::keyClick(Text(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(Text(), Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(Text()->text(), "server.local");
    EXPECT_EQ(Text()->selectedText(), "server.local");
}

TEST_F(ComboBox, CompletionStopsAtTheMaximumEntryLength) {
    Fill({"abcdefghij"});
    ASSERT_EQ(Combo_SetComboAttribute(m_panel, C_TEXT, COMBO_ATTR_MAX_ENTRY_LENGTH, 6), 0);
    Type("ab");
    EXPECT_EQ(Text()->text(), "abcdef");
    EXPECT_EQ(Text()->selectedText(), "cdef");
}

TEST_F(ComboBox, APickLongerThanTheMaximumIsCutAndReportedAsCommitOfTheText) {
    Fill({"short", "a-very-long-server-name"});
    ASSERT_EQ(Combo_SetComboAttribute(m_panel, C_TEXT, COMBO_ATTR_MAX_ENTRY_LENGTH, 6), 0);
    QTest::mouseClick(List(), Qt::LeftButton);
    ASSERT_TRUE(List()->view()->isVisible());
    QAbstractItemView* view = List()->view();
    // A list ignores a release that follows its opening as closely as a double click would.
    QTest::qWait(QApplication::doubleClickInterval() + 100);
    const QRect second = view->visualRect(view->model()->index(1, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, second.center());
    EXPECT_EQ(Text()->text(), "a-very");
    const std::vector<int> commits = OwnerEventsOf(platform::EVENT_COMMIT);
    ASSERT_EQ(commits, std::vector<int>{C_TEXT});
    // The owner found the text already set when the commit arrived.
    for (const OwnerEvent& e : g_ownerEvents) {
        if (e.m_event == platform::EVENT_COMMIT) {
            EXPECT_EQ(e.m_text, "a-very");
        }
    }
}

TEST_F(ComboBox, UpOrDownOpensTheListWithTheFocusOnTheListButton) {
    Fill({"one", "two"});
    for (Qt::Key key : {Qt::Key_Down, Qt::Key_Up}) {
        Text()->setFocus();
        QTest::keyClick(Text(), key);
        EXPECT_TRUE(List()->view()->isVisible());
        EXPECT_EQ(platform::GetActiveCtrl(m_panel), m_record->m_listButton);
        // Enter takes the highlighted entry, as a commit of the text.
        QTest::keyClick(List()->view(), Qt::Key_Return);
        EXPECT_FALSE(List()->view()->isVisible());
        EXPECT_EQ(Text()->text(), "one");
    }
    EXPECT_EQ(OwnerEventsOf(platform::EVENT_COMMIT), (std::vector<int>{C_TEXT, C_TEXT}));
}

TEST_F(ComboBox, AClickOnTheListButtonLeavesTheTypingFocusInTheText) {
    Fill({"one"});
    platform::SetActiveCtrl(m_panel, C_FIRST);
    QTest::mouseClick(List(), Qt::LeftButton);
    EXPECT_TRUE(List()->view()->isVisible());
    EXPECT_EQ(platform::GetActiveCtrl(m_panel), C_TEXT);
    QTest::keyClick(List()->view(), Qt::Key_Escape);
    EXPECT_FALSE(List()->view()->isVisible());
    EXPECT_EQ(platform::GetActiveCtrl(m_panel), C_TEXT);
    EXPECT_TRUE(OwnerEventsOf(platform::EVENT_COMMIT).empty());
}

TEST_F(ComboBox, ShiftTabGoesToThePreviousOperableControlOnly) {
    Text()->setFocus();
    QTest::keyClick(Text(), Qt::Key_Backtab, Qt::ShiftModifier);
    // The list button and the dimmed button lie between; neither takes the focus.
    EXPECT_EQ(platform::GetActiveCtrl(m_panel), C_FIRST);
}

TEST_F(ComboBox, ShiftTabFromTheFirstPositionWrapsToTheLastControl) {
    // Tab order: list button, text, OK button, frame, first line edit, dimmed button.
    for (int control : {C_FIRST, C_DIMMED})
        ASSERT_EQ(platform::SetCtrlAttribute(m_panel, control, platform::ATTR_CTRL_TAB_POSITION, 5), 0);
    int position = -1;
    platform::GetCtrlAttribute(m_panel, C_TEXT, platform::ATTR_CTRL_TAB_POSITION, position);
    ASSERT_EQ(position, 1);
    Text()->setFocus();
    QTest::keyClick(Text(), Qt::Key_Backtab, Qt::ShiftModifier);
    // From the top the search wraps to the end and passes over the dimmed button.
    EXPECT_EQ(platform::GetActiveCtrl(m_panel), C_FIRST);
}

TEST_F(ComboBox, TheOwnerCanStillSwallowAKey) {
    g_swallowedKey = '7';
    Type("17");
    EXPECT_EQ(Text()->text(), "1");
}

TEST_F(ComboBox, ListOperations) {
    for (int i = 0; i < 11; ++i)
        ASSERT_EQ(Combo_InsertComboItem(m_panel, C_TEXT, i, "host" + std::to_string(i)), 0);
    int index = 0;
    EXPECT_EQ(Combo_GetIndexFromValue(m_panel, C_TEXT, index, "host4"), 0);
    EXPECT_EQ(index, 4);
    EXPECT_EQ(Combo_GetIndexFromValue(m_panel, C_TEXT, index, "nowhere"), 0);
    EXPECT_EQ(index, -1);

    ASSERT_EQ(Combo_DeleteComboItem(m_panel, C_TEXT, 10, -1), 0);
    EXPECT_EQ(Count(), 10);
    std::string last;
    platform::GetValueFromIndex(m_panel, m_record->m_listButton, 9, last);
    EXPECT_EQ(last, "host9");

    ASSERT_EQ(Combo_ReplaceComboItem(m_panel, C_TEXT, 0, "renamed"), 0);
    EXPECT_EQ(Combo_GetIndexFromValue(m_panel, C_TEXT, index, "renamed"), 0);
    EXPECT_EQ(index, 0);
    EXPECT_EQ(List()->itemText(0), "renamed");   // label and value alike

    // None of them works on a control that is no combo box.
    EXPECT_EQ(Combo_InsertComboItem(m_panel, C_FIRST, 0, "x"), kComboNotComboBox);
    EXPECT_EQ(Combo_DeleteComboItem(m_panel, C_FIRST, 0, 1), kComboNotComboBox);
    EXPECT_EQ(Combo_GetIndexFromValue(m_panel, C_FIRST, index, "x"), kComboNotComboBox);
}

TEST_F(ComboBox, CreationIsRefusedOnAComboBoxAndOnNonStringControls) {
    int controls = 0;
    platform::GetPanelAttribute(m_panel, platform::ATTR_PANEL_NUM_CTRLS, controls);
    EXPECT_EQ(Combo_NewComboBox(m_panel, C_TEXT), kComboNotComboBox);
    EXPECT_EQ(Combo_NewComboBox(m_panel, C_BUTTON), kComboNotComboBox);
    EXPECT_EQ(Combo_NewComboBox(m_panel, 99), platform::kErrBadControl);
    int after = 0;
    platform::GetPanelAttribute(m_panel, platform::ATTR_PANEL_NUM_CTRLS, after);
    EXPECT_EQ(after, controls);
    EXPECT_EQ(GetComboRecord(m_panel, C_TEXT), m_record);
    EXPECT_EQ(m_record->m_mark, kComboMark);
}

TEST_F(ComboBox, CreationFramesTheListButtonAndTheText) {
    const QRect frame = Frame()->geometry();
    const QRect list = List()->geometry();
    const QRect text = Text()->geometry();
    EXPECT_EQ(list.height(), text.height());
    EXPECT_EQ(list.width(), text.height());
    EXPECT_LT(list.left(), text.left());
    EXPECT_TRUE(frame.contains(list));
    EXPECT_TRUE(frame.contains(text));
    // The list button precedes the text in tab order.
    int listPosition = -1;
    int textPosition = -1;
    platform::GetCtrlAttribute(m_panel, m_record->m_listButton, platform::ATTR_CTRL_TAB_POSITION,
                               listPosition);
    platform::GetCtrlAttribute(m_panel, C_TEXT, platform::ATTR_CTRL_TAB_POSITION, textPosition);
    EXPECT_EQ(listPosition + 1, textPosition);
}

TEST_F(ComboBox, Attributes) {
    EXPECT_EQ(Combo_SetComboAttribute(m_panel, C_TEXT, COMBO_ATTR_HEIGHT, 40), kComboBadAttribute);
    EXPECT_EQ(Combo_SetComboAttribute(m_panel, C_TEXT, COMBO_ATTR_SELECTION_LENGTH, 1),
              kComboBadAttribute);
    EXPECT_EQ(Combo_SetComboAttribute(m_panel, C_TEXT, COMBO_ATTR_TEXT_FONT, 1), kComboBadAttribute);
    EXPECT_EQ(Combo_SetComboAttribute(m_panel, C_TEXT, 15, 1), kComboBadAttribute);
    EXPECT_EQ(Combo_SetComboAttribute(m_panel, C_FIRST, COMBO_ATTR_VISIBLE, 0), kComboNotComboBox);

    ASSERT_EQ(Combo_SetComboAttribute(m_panel, C_TEXT, COMBO_ATTR_VISIBLE, 0), 0);
    EXPECT_TRUE(Text()->isHidden());
    EXPECT_TRUE(List()->isHidden());
    EXPECT_TRUE(Frame()->isHidden());
    int value = -1;
    EXPECT_EQ(Combo_GetComboAttribute(m_panel, C_TEXT, COMBO_ATTR_VISIBLE, value), 0);
    EXPECT_EQ(value, 0);
    ASSERT_EQ(Combo_SetComboAttribute(m_panel, C_TEXT, COMBO_ATTR_VISIBLE, 1), 0);
    EXPECT_FALSE(Text()->isHidden() || List()->isHidden() || Frame()->isHidden());

    ASSERT_EQ(Combo_SetComboAttribute(m_panel, C_TEXT, COMBO_ATTR_DIMMED, 1), 0);
    EXPECT_FALSE(Text()->isEnabled() || List()->isEnabled());

    // Moving and sizing keep the parts together.
    ASSERT_EQ(Combo_SetComboAttribute(m_panel, C_TEXT, COMBO_ATTR_LEFT, 100), 0);
    ASSERT_EQ(Combo_SetComboAttribute(m_panel, C_TEXT, COMBO_ATTR_TOP, 150), 0);
    ASSERT_EQ(Combo_SetComboAttribute(m_panel, C_TEXT, COMBO_ATTR_WIDTH, 200), 0);
    EXPECT_EQ(Frame()->geometry(), QRect(100, 150, 200, Frame()->height()));
    EXPECT_EQ(List()->geometry().topLeft(), QPoint(101, 151));
    EXPECT_EQ(Text()->geometry().left(), 100 + List()->width());
    EXPECT_EQ(Text()->geometry().right(), Frame()->geometry().right());
    EXPECT_EQ(Combo_GetComboAttribute(m_panel, C_TEXT, COMBO_ATTR_WIDTH, value), 0);
    EXPECT_EQ(value, 200);

    ASSERT_EQ(Combo_SetComboAttribute(m_panel, C_TEXT, COMBO_ATTR_FRAME_COLOR, 0xE0E0E0), 0);
    EXPECT_EQ(Combo_GetComboAttribute(m_panel, C_TEXT, COMBO_ATTR_FRAME_COLOR, value), 0);
    EXPECT_EQ(value, 0xE0E0E0);

    EXPECT_EQ(Combo_GetComboAttribute(m_panel, C_TEXT, COMBO_ATTR_MAX_ENTRY_LENGTH, value), 0);
    EXPECT_EQ(value, -1);
    EXPECT_EQ(m_record->m_lengthLimit, -1);
}

TEST_F(ComboBox, AValueChangeSentByTheProgramIsFollowedByACommitFromTheEventLoop) {
    SendValChangedEvent(m_record);
    EXPECT_EQ(OwnerEventsOf(platform::EVENT_VAL_CHANGED), std::vector<int>{C_TEXT});
    EXPECT_TRUE(OwnerEventsOf(platform::EVENT_COMMIT).empty());
    const double start = platform::Timer();
    while (OwnerEventsOf(platform::EVENT_COMMIT).empty() && platform::Timer() - start < 5.0)
        platform::ProcessSystemEvents();
    EXPECT_EQ(OwnerEventsOf(platform::EVENT_COMMIT), std::vector<int>{C_TEXT});
}

TEST_F(ComboBox, DiscardingRemovesAllThreeParts) {
    const int list = m_record->m_listButton;
    const int frame = m_record->m_frame;
    ASSERT_EQ(Combo_DiscardComboBox(m_panel, C_TEXT), 0);
    for (int control : {static_cast<int>(C_TEXT), list, frame}) {
        int value = 0;
        EXPECT_EQ(platform::GetCtrlAttribute(m_panel, control, platform::ATTR_VISIBLE, value),
                  platform::kErrBadControl);
    }
    EXPECT_EQ(Combo_DiscardComboBox(m_panel, C_TEXT), platform::kErrBadControl);
}

}  // namespace
