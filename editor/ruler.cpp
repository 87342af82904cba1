#include "editor/ruler.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace tk {

namespace {

constexpr int kRulerHeight = 20;
constexpr int kMarkerWidth = 6;
constexpr int kMarkerHeight = 11;
// Where zero points lies in the client area, and the tick spacing: 9 points and half an inch.
constexpr int kOrigin = 6;
constexpr int kMinorTick = 12;
constexpr int kMajorTick = 48;

// The client area of the ruler: draws the tick marks below the line.
class RulerTicks final : public QWidget {
  public:
    using QWidget::QWidget;

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setPen(palette().color(QPalette::WindowText));
        for (int x = kOrigin; x < width() - kOrigin; x += kMinorTick) {
            const bool major = (x - kOrigin) % kMajorTick == 0;
            p.drawLine(x, major ? 10 : 12, x, 14);
        }
    }
};

}  // namespace

TRulerMarker::TRulerMarker(Shape shape, const QString& hint, int top, QWidget* parent)
    : QWidget(parent), shape_(shape) {
    setGeometry(0, top, kMarkerWidth, kMarkerHeight);
    setToolTip(hint);
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_TranslucentBackground);
}

void TRulerMarker::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    // The first-line marker hangs from the top of the ruler; the others stand on its bottom.
    if (shape_ == Shape::PointDown) {
        path.moveTo(0, 2);
        path.lineTo(kMarkerWidth, 2);
        path.lineTo(kMarkerWidth / 2.0, 9);
    } else {
        path.moveTo(kMarkerWidth / 2.0, 2);
        path.lineTo(kMarkerWidth, 9);
        path.lineTo(0, 9);
    }
    path.closeSubpath();
    p.fillPath(path, Qt::black);
}

void TRulerMarker::mousePressEvent(QMouseEvent* event) {
    if (OnMouseDown) {
        const QPoint pos = event->position().toPoint();
        OnMouseDown(this, toButton(event->button()), event->modifiers(), pos.x(), pos.y());
    }
}

void TRulerMarker::mouseMoveEvent(QMouseEvent* event) {
    if (OnMouseMove) {
        const QPoint pos = event->position().toPoint();
        OnMouseMove(this, event->modifiers(), pos.x(), pos.y());
    }
}

void TRulerMarker::mouseReleaseEvent(QMouseEvent* event) {
    if (OnMouseUp) {
        const QPoint pos = event->position().toPoint();
        OnMouseUp(this, toButton(event->button()), event->modifiers(), pos.x(), pos.y());
    }
}

TRuler::TRuler(QWidget* parent) : QFrame(parent), client_(new RulerTicks(this)) {
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(1);
    setFixedHeight(kRulerHeight);
    RulerLine = new QFrame(client_);
    RulerLine->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    RulerLine->setGeometry(kOrigin, 7, 0, 2);
    FirstInd = new TRulerMarker(TRulerMarker::Shape::PointDown, QStringLiteral("첫 줄 들여쓰기"), -2, client_);
    LeftInd = new TRulerMarker(TRulerMarker::Shape::PointUp, QStringLiteral("왼쪽 들여쓰기"), 7, client_);
    RightInd = new TRulerMarker(TRulerMarker::Shape::PointUp, QStringLiteral("오른쪽 들여쓰기"), 7, client_);
}

int TRuler::ClientWidth() const {
    return contentsRect().width();
}

void TRuler::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    client_->setGeometry(contentsRect());
    RulerLine->resize(ClientWidth() - 2 * RulerLine->x(), RulerLine->height());
    if (OnResize) {
        OnResize(this);
    }
}

}  // namespace tk
