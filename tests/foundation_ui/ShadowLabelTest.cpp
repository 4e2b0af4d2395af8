// The shadow label: the four text styles, the ellipses and the layout.

#include "foundation/ui/controls/ShadowLabel.h"
#include "UiTestHelpers.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QVBoxLayout>

#include <memory>

namespace {

struct Box {
    int left = INT_MAX, top = INT_MAX, right = -1, bottom = -1;
    bool Empty() const { return right < 0; }
};

Box ColourBox(const QImage& img, QRgb colour)
{
    Box b;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (img.pixel(x, y) == colour) {
                b.left = std::min(b.left, x);
                b.right = std::max(b.right, x);
                b.top = std::min(b.top, y);
                b.bottom = std::max(b.bottom, y);
            }
    return b;
}

// A label with distinct colours, so that each drawing pass can be found.
std::unique_ptr<Tyq_ShadowLabel> MakeLabel(TTextStyle style)
{
    auto l = std::make_unique<Tyq_ShadowLabel>(QStringLiteral("Ошибка"));
    QPalette pal = l->palette();
    pal.setColor(QPalette::Window, Qt::white);
    pal.setColor(QPalette::WindowText, Qt::black);
    pal.setColor(QPalette::Light, Qt::green);
    pal.setColor(QPalette::Dark, Qt::blue);
    l->setPalette(pal);
    QFont f = l->font();
    f.setPixelSize(20);
    f.setBold(true);
    l->setFont(f);
    l->SetTextStyle(style);
    l->SetShadowColor(Qt::red);
    l->SetShadowDepth(2);
    l->resize(140, 40);
    return l;
}

TEST(ShadowLabel, DefaultsAreRecessedWithDepthOne)
{
    Tyq_ShadowLabel l;
    EXPECT_EQ(l.TextStyle(), tsRecessed);
    EXPECT_EQ(l.ShadowDepth(), 1);
    EXPECT_EQ(l.ShadowColor(), l.palette().color(QPalette::Dark));
    EXPECT_EQ(l.TextElipsis(), tsNoneElisis);
}

TEST(ShadowLabel, EachStyleDrawsItsPassesAroundTheText)
{
    {
        const QImage img = MakeLabel(tsShadow)->grab().toImage();
        const Box text = ColourBox(img, qRgb(0, 0, 0)), shadow = ColourBox(img, qRgb(255, 0, 0));
        ASSERT_FALSE(text.Empty());
        ASSERT_FALSE(shadow.Empty());
        EXPECT_EQ(shadow.right - text.right, 2);
        EXPECT_EQ(shadow.bottom - text.bottom, 2);
        EXPECT_TRUE(ColourBox(img, qRgb(0, 255, 0)).Empty());
    }
    {
        // Raised: the light passes above and to the left, the dark ones below and to the right.
        const QImage img = MakeLabel(tsRaised)->grab().toImage();
        const Box text = ColourBox(img, qRgb(0, 0, 0));
        const Box light = ColourBox(img, qRgb(0, 255, 0)), dark = ColourBox(img, qRgb(0, 0, 255));
        EXPECT_EQ(text.top - light.top, 2);
        EXPECT_EQ(text.left - light.left, 2);
        EXPECT_EQ(dark.bottom - text.bottom, 2);
        EXPECT_EQ(dark.right - text.right, 2);
    }
    {
        const QImage img = MakeLabel(tsRecessed)->grab().toImage();
        const Box text = ColourBox(img, qRgb(0, 0, 0));
        const Box light = ColourBox(img, qRgb(0, 255, 0)), dark = ColourBox(img, qRgb(0, 0, 255));
        EXPECT_EQ(light.bottom - text.bottom, 2);
        EXPECT_EQ(text.top - dark.top, 2);
    }
    {
        const QImage img = MakeLabel(tsNone)->grab().toImage();
        EXPECT_TRUE(ColourBox(img, qRgb(0, 255, 0)).Empty());
        EXPECT_TRUE(ColourBox(img, qRgb(0, 0, 255)).Empty());
        EXPECT_TRUE(ColourBox(img, qRgb(255, 0, 0)).Empty());
    }
}

TEST(ShadowLabel, DisabledTextIsGrey)
{
    auto l = MakeLabel(tsNone);
    QPalette pal = l->palette();
    pal.setColor(QPalette::Disabled, QPalette::Text, QColor(128, 128, 128));
    l->setPalette(pal);
    l->setEnabled(false);
    const QImage img = l->grab().toImage();
    EXPECT_TRUE(ColourBox(img, qRgb(0, 0, 0)).Empty());
    EXPECT_FALSE(ColourBox(img, qRgb(128, 128, 128)).Empty());
}

TEST(ShadowLabel, LayoutMovesTheTextDown)
{
    auto l = MakeLabel(tsNone);
    l->resize(140, 100);
    const int top = ColourBox(l->grab().toImage(), qRgb(0, 0, 0)).top;
    l->SetLayout(tlCenter);
    const Box centre = ColourBox(l->grab().toImage(), qRgb(0, 0, 0));
    l->SetLayout(tlBottom);
    const Box bottom = ColourBox(l->grab().toImage(), qRgb(0, 0, 0));
    EXPECT_NEAR((centre.top + centre.bottom) / 2.0, 50, 6);
    EXPECT_GT(bottom.bottom, 90);
    EXPECT_LT(top, 10);
}

TEST(ShadowLabel, EllipsesShortenTheCaption)
{
    Tyq_ShadowLabel l(QStringLiteral("/home/kadry/Зарплата/Архив/2024/Ведомость.txt"));
    l.resize(150, 20);
    EXPECT_EQ(l.DisplayText(), l.text());
    l.SetTextElipsis(tsEndElisis);
    EXPECT_TRUE(l.DisplayText().endsWith(QStringLiteral("\u2026")));
    EXPECT_TRUE(l.DisplayText().startsWith(QStringLiteral("/home")));
    l.SetTextElipsis(tsPathElisis);
    const QString path = l.DisplayText();
    EXPECT_TRUE(path.endsWith(QStringLiteral("/Ведомость.txt"))) << path.toStdString();
    EXPECT_TRUE(path.contains(QStringLiteral("\u2026")));
    EXPECT_LE(l.fontMetrics().horizontalAdvance(path), 150);
    // A name that does not fit even alone is kept whole after the ellipsis.
    EXPECT_EQ(
        ElidePathText(l.fontMetrics(), QStringLiteral("/a/Ведомость.txt"), 20), QStringLiteral("\u2026/Ведомость.txt"));
    // Short enough: unchanged.
    EXPECT_EQ(ElidePathText(l.fontMetrics(), QStringLiteral("/a/b"), 150), QStringLiteral("/a/b"));
}

TEST(ShadowLabel, StylesScreenshot)
{
    QWidget w;
    w.setObjectName(QStringLiteral("ShadowLabels"));
    auto* layout = new QVBoxLayout(&w);
    const struct {
        TTextStyle style;
        const char* caption;
    } rows[] = {{tsNone, "Без тени (tsNone)"}, {tsRaised, "Выпуклый (tsRaised)"},
        {tsRecessed, "Вдавленный (tsRecessed)"}, {tsShadow, "С тенью (tsShadow)"}};
    for (const auto& r : rows) {
        auto* l = new Tyq_ShadowLabel(QString::fromUtf8(r.caption), &w);
        QFont f = l->font();
        f.setPointSize(14);
        f.setBold(true);
        l->setFont(f);
        l->SetTextStyle(r.style);
        if (r.style == tsShadow) {
            l->SetShadowColor(Qt::darkGray);
            l->SetShadowDepth(2);
        }
        layout->addWidget(l);
    }
    auto* path = new Tyq_ShadowLabel(QStringLiteral("/home/kadry/Зарплата/Архив/2024/Ведомость.txt"), &w);
    path->SetTextElipsis(tsPathElisis);
    path->setMinimumWidth(10);
    layout->addWidget(path);
    w.resize(260, 200);
    w.show();
    SaveScreenshot(&w, QStringLiteral("shadow_label_styles"));
}

} // namespace
