#include "ui/PowerSlider.h"

#include <QSignalBlocker>
#include <QSpinBox>

namespace ui {

void PowerSlider::setValueBox(QSpinBox* box) {
    m_valueBox = box;
    m_valueBox->setRange(minimum(), maximum());
    m_valueBox->setValue(value());
    connect(m_valueBox, &QSpinBox::valueChanged, this, &QSlider::setValue);
}

// Called for every value change, whether or not the slider may emit signals.
void PowerSlider::sliderChange(SliderChange change) {
    QSlider::sliderChange(change);
    if (m_valueBox == nullptr) return;
    const QSignalBlocker blocker(m_valueBox);
    if (change == SliderRangeChange) m_valueBox->setRange(minimum(), maximum());
    m_valueBox->setValue(value());
}

}   // namespace ui
