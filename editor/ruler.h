#pragma once

#include "richedit/rich_edit_types.h"

#include <QFrame>

#include <functional>

namespace tk {

// One draggable indent marker of the ruler: a small triangle with a pointing-hand cursor and a
// hint. It keeps no position logic of its own; the editor window moves it from its mouse events.
class TRulerMarker final : public QWidget {
    Q_OBJECT

  public:
    enum class Shape { PointDown, PointUp };

    TRulerMarker(Shape shape, const QString& hint, int top, QWidget* parent);

    // Left edge inside the ruler's client area, in pixels.
    int Left() const { return x(); }
    void SetLeft(int left) { move(left, y()); }
    int Width() const { return width(); }

    std::function<void(QObject* Sender, TMouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y)> OnMouseDown;
    std::function<void(QObject* Sender, Qt::KeyboardModifiers Shift, int X, int Y)> OnMouseMove;
    std::function<void(QObject* Sender, TMouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y)> OnMouseUp;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    Shape shape_;
};

// The ruler across the top of the rich text view: a single border, tick marks every half inch
// with smaller ones between, a line under the ticks and the three indent markers. Marker positions
// are pixels from the left of the client area, which lies inside the border.
class TRuler final : public QFrame {
    Q_OBJECT

  public:
    explicit TRuler(QWidget* parent = nullptr);

    int ClientWidth() const;
    QWidget* ClientArea() const { return client_; }

    QFrame* RulerLine;
    TRulerMarker* FirstInd;
    TRulerMarker* LeftInd;
    TRulerMarker* RightInd;

    // Runs after every resize of the ruler.
    std::function<void(QObject* Sender)> OnResize;

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    QWidget* client_;
};

}  // namespace tk
