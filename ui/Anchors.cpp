#include "ui/Anchors.h"

#include <QResizeEvent>
#include <QWidget>

namespace ui {

namespace {

constexpr const char* kAnchorsProperty = "tavrixAnchors";

// Moves or stretches one child by the change of its parent's size.
void Follow(QWidget* child, const QString& anchors, int dx, int dy) {
    QRect g = child->geometry();
    const bool left = anchors.contains("left"), right = anchors.contains("right");
    const bool top = anchors.contains("top"), bottom = anchors.contains("bottom");
    if (right && left)
        g.setWidth(g.width() + dx);
    else if (right)
        g.translate(dx, 0);
    if (bottom && top)
        g.setHeight(g.height() + dy);
    else if (bottom)
        g.translate(0, dy);
    child->setGeometry(g);
}

}   // namespace

Anchors::Anchors(QWidget* panel) : QObject(panel), m_size(panel->size()) {
    panel->setMinimumSize(m_size);
    panel->installEventFilter(this);
}

bool Anchors::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::Resize) return false;
    // Measured against the size last laid out: a hidden panel gets its resize only when it
    // is shown, without the size it had before.
    const QSize size = static_cast<QResizeEvent*>(event)->size();
    const int dx = size.width() - m_size.width();
    const int dy = size.height() - m_size.height();
    m_size = size;
    if (dx == 0 && dy == 0) return false;
    for (QWidget* child : static_cast<QWidget*>(watched)->findChildren<QWidget*>(
             QString(), Qt::FindDirectChildrenOnly)) {
        const QString anchors = child->property(kAnchorsProperty).toString();
        if (!anchors.isEmpty()) Follow(child, anchors, dx, dy);
    }
    return false;
}

}   // namespace ui
