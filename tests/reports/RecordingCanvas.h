#pragma once
// A paint device that writes every drawing call as a line of text, with the
// painter's transform applied: "text 12,30 #ff0000 'Abc'", "line 1,2 3,4 w1",
// "fill 0,0 10x10 #000080", "image 0,0 10x10".

#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QPicture>
#include <QStringList>
#include <QTextItem>

class RecordingEngine : public QPaintEngine {
public:
    RecordingEngine() : QPaintEngine(QPaintEngine::AllFeatures) {}
    bool begin(QPaintDevice*) override { return true; }
    bool end() override { return true; }
    Type type() const override { return QPaintEngine::User; }
    void updateState(const QPaintEngineState& s) override
    {
        if (s.state() & DirtyPen)
            pen_ = s.pen();
        if (s.state() & DirtyBrush)
            brush_ = s.brush();
        if (s.state() & DirtyTransform)
            transform_ = s.transform();
    }
    void drawTextItem(const QPointF& p, const QTextItem& ti) override
    {
        const QPointF at = transform_.map(p);
        // The pieces of one drawn text (split by script) join again.
        if (!Log.isEmpty() && Log.last().startsWith(QLatin1String("text ")) && qAbs(at.y() - lastY_) < 0.01
            && qAbs(at.x() - lastEnd_) < 0.5) {
            Log.last().insert(Log.last().size() - 1, ti.text());
            lastEnd_ = at.x() + ti.width();
            return;
        }
        lastY_ = at.y();
        lastEnd_ = at.x() + ti.width();
        Log << QStringLiteral("text %1,%2 %3 '%4'")
                   .arg(qRound(at.x()))
                   .arg(qRound(at.y()))
                   .arg(pen_.color().name(), ti.text());
    }
    void drawLines(const QLineF* lines, int n) override
    {
        for (int i = 0; i < n; ++i) {
            const QLineF l = transform_.map(lines[i]);
            Log << QStringLiteral("line %1,%2 %3,%4 w%5%6")
                       .arg(l.x1())
                       .arg(l.y1())
                       .arg(l.x2())
                       .arg(l.y2())
                       .arg(pen_.widthF())
                       .arg(pen_.style() == Qt::DotLine ? QStringLiteral(" dot") : QString());
        }
    }
    void drawRects(const QRectF* rects, int n) override
    {
        for (int i = 0; i < n; ++i) {
            const QRectF r = transform_.mapRect(rects[i]);
            Log << QStringLiteral("fill %1,%2 %3x%4 %5")
                       .arg(r.x())
                       .arg(r.y())
                       .arg(r.width())
                       .arg(r.height())
                       .arg(brush_.color().name());
        }
    }
    void drawPolygon(const QPointF*, int, PolygonDrawMode) override { Log << QStringLiteral("polygon"); }
    void drawPixmap(const QRectF& r, const QPixmap&, const QRectF&) override { Image(r); }
    void drawImage(const QRectF& r, const QImage&, const QRectF&, Qt::ImageConversionFlags) override { Image(r); }

    QStringList Log;

private:
    void Image(const QRectF& r)
    {
        const QRectF m = transform_.mapRect(r);
        Log << QStringLiteral("image %1,%2 %3x%4").arg(m.x()).arg(m.y()).arg(m.width()).arg(m.height());
    }
    QPen pen_;
    QBrush brush_;
    qreal lastY_ = 0, lastEnd_ = 0;
    QTransform transform_;
};

class RecordingCanvas : public QPaintDevice {
public:
    ~RecordingCanvas() override = default;
    QPaintEngine* paintEngine() const override { return &engine_; }
    QStringList& Log() { return engine_.Log; }
    // Only the lines that start with kind ("text", "line", ...).
    QStringList Only(const QString& kind) const
    {
        QStringList out;
        for (const QString& l : engine_.Log)
            if (l.startsWith(kind + QLatin1Char(' ')))
                out << l;
        return out;
    }
    // The texts drawn, in order.
    QStringList Texts() const
    {
        QStringList out;
        for (const QString& l : Only(QStringLiteral("text")))
            out << l.mid(l.indexOf(QLatin1Char('\'')) + 1).chopped(1);
        return out;
    }

protected:
    int metric(PaintDeviceMetric m) const override
    {
        switch (m) {
        case PdmWidth: return 2000;
        case PdmHeight: return 2000;
        case PdmDpiX:
        case PdmDpiY:
        case PdmPhysicalDpiX:
        case PdmPhysicalDpiY: return 96;
        case PdmDepth: return 32;
        case PdmDevicePixelRatio: return 1;
        case PdmDevicePixelRatioScaled: return static_cast<int>(QPaintDevice::devicePixelRatioFScale());
        default: return 0;
        }
    }

private:
    mutable RecordingEngine engine_;
};

// The calls of a recorded picture.
inline QStringList Replay(const QPicture& picture, QStringList* texts = nullptr)
{
    RecordingCanvas canvas;
    {
        QPainter p(&canvas);
        p.drawPicture(0, 0, picture);
    }
    if (texts)
        *texts = canvas.Texts();
    return canvas.Log();
}
