#pragma once
// Lets a panel grow with its window: when a panel widget is resized, each direct child that
// carries the dynamic property "tavrixAnchors" keeps the distance to the edges it names
// ("left|top|right|bottom"): anchored to left and right it grows in width, to the right
// alone it moves with the right edge, and likewise for top and bottom. Children without the
// property keep their place. A panel never shrinks below the size of its form.
#include <QObject>
#include <QSize>

class QWidget;

namespace ui {

// Event filter that applies the anchors of a panel's children on every resize.
class Anchors : public QObject {
public:
    explicit Anchors(QWidget* panel);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QSize m_size;   // the panel's size when its children were last placed
};

}   // namespace ui
