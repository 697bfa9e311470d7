// Draws the title banner, banner.png at 350 x 128 pixels and banner@2x.png at
// twice that for dense screens, from one drawing so that the two always match.
// Run it again only when the drawing changes, and commit both pictures:
//   cmake --build build --target vr_draw_banner
//   QT_QPA_PLATFORM=offscreen build/resources/vr_draw_banner resources

#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <cstdio>

namespace {
QImage draw(int scale, const QImage &icon)
{
    QImage banner(350 * scale, 128 * scale, QImage::Format_RGB888);
    QPainter painter(&banner);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.scale(scale, scale);

    QLinearGradient sky(0, 0, 350, 128);
    sky.setColorAt(0, QColor(0x17, 0x33, 0x4d));
    sky.setColorAt(1, QColor(0x1b, 0x47, 0x52));
    painter.fillRect(QRectF(0, 0, 350, 128), sky);
    painter.setPen(QPen(QColor(255, 255, 255, 22), 0.5));
    for (int x = 7; x < 350; x += 14)
        painter.drawLine(QLineF(x, 0, x, 128));
    for (int y = 8; y < 128; y += 14)
        painter.drawLine(QLineF(0, y, 350, y));
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x3c, 0x8c, 0x5a, 70));
    painter.drawEllipse(QRectF(-40, 84, 200, 70));
    painter.drawEllipse(QRectF(240, -18, 150, 62));

    painter.drawImage(QRectF(12, 20, 72, 72), icon);

    QFont title(QStringLiteral("DejaVu Sans"));
    title.setBold(true);
    title.setPixelSize(31);
    painter.setFont(title);
    painter.setPen(QColor(0xf3, 0xec, 0xd2));
    painter.drawText(QPointF(98, 54), QStringLiteral("Vantorel"));
    painter.drawText(QPointF(98, 90), QStringLiteral("Renamer"));

    QFont example(QStringLiteral("DejaVu Sans Mono"));
    example.setPixelSize(11);
    painter.setFont(example);
    painter.setPen(QColor(0xe6, 0xb4, 0x3c));
    painter.drawText(QPointF(99, 110), QStringLiteral(u"levl2131.DAT \u2192 levl2001.DAT"));
    return banner;
}
} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: vr_draw_banner RESOURCES-FOLDER\n");
        return 2;
    }
    const QDir resources(QString::fromLocal8Bit(argv[1]));
    const QImage icon(resources.filePath(QStringLiteral("icons/vantorel-renamer-256.png")));
    if (icon.isNull()) {
        std::fprintf(stderr, "no icons/vantorel-renamer-256.png in %s\n", argv[1]);
        return 1;
    }
    const bool saved =
        draw(1, icon).save(resources.filePath(QStringLiteral("images/banner.png"))) &&
        draw(2, icon).save(resources.filePath(QStringLiteral("images/banner@2x.png")));
    return saved ? 0 : 1;
}
