#pragma once
// The POWER slider of the parameter panel.
#include <QSlider>

class QSpinBox;

namespace ui {

// A slider that keeps a spin box beside it showing its value, also when the program sets the
// value with the slider's signals blocked, and takes typed values from that box. Without
// Q_OBJECT it keeps QSlider's class name, which style-sheet selectors are built from.
class PowerSlider : public QSlider {
public:
    using QSlider::QSlider;
    void setValueBox(QSpinBox* box);

protected:
    void sliderChange(SliderChange change) override;

private:
    QSpinBox* m_valueBox = nullptr;
};

}   // namespace ui
