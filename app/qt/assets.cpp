#include "app/qt/assets.h"

#include "app/qt/window_design.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace rankmoth::shell {

namespace {
void DrawMoth(QPainter& p, QRectF box, QColor wing, QColor body) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    const QPointF c = box.center();
    const qreal w = box.width() / 2, h = box.height() / 2;
    p.setBrush(wing);
    p.drawEllipse(QRectF(c.x() - w, c.y() - h * 0.9, w * 0.95, h * 1.1));
    p.drawEllipse(QRectF(c.x() + w * 0.05, c.y() - h * 0.9, w * 0.95, h * 1.1));
    p.setBrush(wing.darker(125));
    p.drawEllipse(QRectF(c.x() - w * 0.75, c.y() + h * 0.05, w * 0.7, h * 0.85));
    p.drawEllipse(QRectF(c.x() + w * 0.05, c.y() + h * 0.05, w * 0.7, h * 0.85));
    p.setBrush(body);
    p.drawRoundedRect(QRectF(c.x() - w * 0.12, c.y() - h * 0.8, w * 0.24, h * 1.7), w * 0.12, w * 0.12);
    p.restore();
}
} // namespace

QPixmap BannerImage(const QString& which, QSize size) {
    QPixmap pixmap(size);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const QRectF all(QPointF(0, 0), QSizeF(size));
    QFont font = WindowFont(QString::fromUtf8("微软雅黑"));

    if (which == "software") {
        // Two halves, each the face of one of the maker's programs.
        const QRectF left(0, 0, size.width() / 2.0, size.height());
        const QRectF right(size.width() / 2.0, 0, size.width() / 2.0, size.height());
        QLinearGradient g1(left.topLeft(), left.bottomLeft());
        g1.setColorAt(0, QColor(0x3C, 0x8D, 0x5A));
        g1.setColorAt(1, QColor(0x24, 0x62, 0x3C));
        p.fillRect(left, g1);
        QLinearGradient g2(right.topLeft(), right.bottomLeft());
        g2.setColorAt(0, QColor(0x2F, 0x6D, 0xB5));
        g2.setColorAt(1, QColor(0x1D, 0x4A, 0x80));
        p.fillRect(right, g2);
        font.setPixelSize(std::max(11, size.height() * 2 / 5));
        font.setBold(true);
        p.setFont(font);
        p.setPen(Qt::white);
        p.drawText(left, Qt::AlignCenter, QString::fromUtf8("Fernlane 软件 · 免费下载"));
        p.drawText(right, Qt::AlignCenter, QString::fromUtf8("Tarnbay 软件 · 免费下载"));
        return pixmap;
    }

    QLinearGradient g(all.topLeft(), all.topRight());
    if (which == "update") {
        g.setColorAt(0, QColor(0xF6, 0xF9, 0xFF));
        g.setColorAt(1, QColor(0xD6, 0xE6, 0xFA));
    } else {
        g.setColorAt(0, QColor(0xFF, 0xF4, 0xE0));
        g.setColorAt(1, QColor(0xFF, 0xD9, 0x9A));
    }
    p.fillRect(all, g);
    p.setPen(QPen(QColor(0xC8, 0x8A, 0x2C), 1));
    p.drawRect(all.adjusted(0.5, 0.5, -0.5, -0.5));
    const qreal mothSize = size.height() - 8;
    DrawMoth(p, QRectF(6, 4, mothSize * 1.3, mothSize), QColor(0xE0, 0x8E, 0x2B), QColor(0x5A, 0x3A, 0x1A));
    const QRectF textBox(mothSize * 1.3 + 14, 0, size.width() - mothSize * 1.3 - 20, size.height());
    p.setPen(QColor(0x5A, 0x3A, 0x1A));
    if (which == "update") {
        font.setPixelSize(std::max(12, size.height() / 3));
        font.setBold(true);
        p.setFont(font);
        p.drawText(textBox, Qt::AlignVCenter | Qt::AlignLeft, QString::fromUtf8("Rankmoth 正在更新到新版本"));
    } else {
        font.setPixelSize(std::max(12, size.height() * 2 / 5));
        font.setBold(true);
        p.setFont(font);
        p.drawText(textBox.adjusted(0, 4, 0, -size.height() / 2.0), Qt::AlignVCenter | Qt::AlignLeft,
                   QString::fromUtf8("Pellwood 论坛"));
        font.setBold(false);
        font.setPixelSize(std::max(11, size.height() / 4));
        p.setFont(font);
        p.drawText(textBox.adjusted(0, size.height() / 2.0, 0, -4), Qt::AlignVCenter | Qt::AlignLeft,
                   QString::fromUtf8("使用心得、排名技巧与新版本消息，点击进入"));
    }
    return pixmap;
}

QPixmap SupportButtonImage() {
    QPixmap pixmap(34, 34);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    // A speech bubble: the support chat.
    QPainterPath bubble;
    bubble.addRoundedRect(QRectF(2, 3, 30, 22), 8, 8);
    QPainterPath tail;
    tail.moveTo(9, 23);
    tail.lineTo(7, 32);
    tail.lineTo(17, 24);
    tail.closeSubpath();
    p.setPen(QPen(QColor(0x1C, 0x6F, 0xC9), 2));
    p.setBrush(QColor(0x4F, 0xA3, 0xF0));
    p.drawPath(bubble.united(tail));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    for (int i = 0; i < 3; ++i)
        p.drawEllipse(QPointF(10 + i * 7, 14), 2.6, 2.6);
    return pixmap;
}

QIcon WindowIcon() {
    // The launcher's mark, rendered from its SVG at build time at each size a window or tray asks for.
    QIcon icon;
    for (int side : {16, 32, 48, 128, 256})
        icon.addFile(QString(":/rankmoth/icons/rankmoth-%1.png").arg(side), QSize(side, side));
    return icon;
}

} // namespace rankmoth::shell
