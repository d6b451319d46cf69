// Line edits whose frame is painted from a picture kept per size and state.
#include "platform/panelstate.h"

#include <QApplication>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOption>
#include <map>
#include <tuple>

namespace platform {
namespace {

// Frames kept at most; more only come from palettes changed again and again.
constexpr size_t kMaxFrames = 32;

// The application's style, except that a line edit's panel (its fill and frame) is drawn
// once per size, state and palette and then copied: the number displays repaint on every
// frame of the GO loop, and the style would stroke the frame's rounded outline each time.
class CachedFrameStyle final : public QProxyStyle {
public:
    CachedFrameStyle() : QProxyStyle(QStyleFactory::create(QApplication::style()->name())) {}

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override {
        const auto* frame = qstyleoption_cast<const QStyleOptionFrame*>(option);
        if (element != PE_PanelLineEdit || frame == nullptr || widget == nullptr) {
            QProxyStyle::drawPrimitive(element, option, painter, widget);
            return;
        }
        const Key key{frame->rect.width(),       frame->rect.height(),      frame->state.toInt(),
                      frame->direction,          frame->lineWidth,          frame->features.toInt(),
                      frame->palette.cacheKey(), widget->devicePixelRatio()};
        auto found = m_frames.find(key);
        if (found == m_frames.end()) {
            if (m_frames.size() >= kMaxFrames) m_frames.clear();
            found = m_frames.emplace(key, Paint(*frame, widget)).first;
        }
        painter->drawPixmap(frame->rect.topLeft(), found->second);
    }

private:
    using Key = std::tuple<int, int, int, Qt::LayoutDirection, int, int, qint64, qreal>;

    QPixmap Paint(const QStyleOptionFrame& frame, const QWidget* widget) const {
        const qreal ratio = widget->devicePixelRatio();
        QPixmap picture(frame.rect.size() * ratio);
        picture.setDevicePixelRatio(ratio);
        picture.fill(Qt::transparent);
        QStyleOptionFrame atOrigin = frame;
        atOrigin.rect.moveTo(0, 0);
        // Without its object the style draws the state's final look, not one step of an
        // animated change between states that the picture would then keep.
        atOrigin.styleObject = nullptr;
        QPainter painter(&picture);
        QProxyStyle::drawPrimitive(PE_PanelLineEdit, &atOrigin, &painter, widget);
        return picture;
    }

    mutable std::map<Key, QPixmap> m_frames;
};

}   // namespace

void PaintFrameFromCache(QLineEdit* edit) {
    static CachedFrameStyle* const style = [] {
        auto* made = new CachedFrameStyle;
        made->setParent(QCoreApplication::instance());
        return made;
    }();
    edit->setStyle(style);
}

}   // namespace platform
