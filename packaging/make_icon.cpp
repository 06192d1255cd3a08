// Draws the program's icon into PNG files of the given sizes: a printer with a
// form coming out of it, the form's box drawn in lines as the service prints them.
//
//   norvexa_icon OUTDIR 16 32 48 ...   writes OUTDIR/<size>/norvexa.png
//   norvexa_icon --ico FILE 16 32 ...   writes one Windows icon file holding the
//                                       sizes as PNG images
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <cstdio>

namespace {

QImage draw(int size) {
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);

    // The sheet, standing out of the printer.
    p.setPen(QPen(QColor(0x44, 0x4a, 0x55), 1.5));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(16, 4, 32, 36));
    // The form on it: a box with a rule and a column, as line drawing prints it.
    p.setPen(QPen(QColor(0x1f, 0x5f, 0xa8), size >= 32 ? 1.6 : 2.4));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(20.5, 9.5, 23, 20));
    p.drawLine(QPointF(20.5, 15.5), QPointF(43.5, 15.5));
    p.drawLine(QPointF(32, 15.5), QPointF(32, 29.5));

    // The printer's body.
    QPainterPath body;
    body.addRoundedRect(QRectF(4, 28, 56, 26), 5, 5);
    p.setPen(QPen(QColor(0x2b, 0x30, 0x38), 1.5));
    p.setBrush(QColor(0x5c, 0x66, 0x75));
    p.drawPath(body);
    // The slot the paper comes out of, and a lamp.
    p.setBrush(QColor(0x2b, 0x30, 0x38));
    p.drawRect(QRectF(12, 34, 40, 4));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x3c, 0xc4, 0x5a));
    p.drawEllipse(QPointF(50, 46), 3, 3);
    // The output tray.
    p.setBrush(QColor(0xd9, 0xde, 0xe6));
    p.drawRect(QRectF(10, 54, 44, 5));
    return img;
}

void put16(QByteArray& out, int v) {
    out.append(static_cast<char>(v & 0xff));
    out.append(static_cast<char>((v >> 8) & 0xff));
}
void put32(QByteArray& out, qint64 v) {
    put16(out, static_cast<int>(v & 0xffff));
    put16(out, static_cast<int>((v >> 16) & 0xffff));
}

// An .ico file: a directory of images, each stored as PNG (Windows Vista and later).
bool writeIco(const QString& path, const QList<int>& sizes) {
    QList<QByteArray> images;
    for (int size : sizes) {
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        if (!draw(size).save(&buffer, "PNG")) return false;
        images.append(png);
    }
    QByteArray out;
    put16(out, 0);  // reserved
    put16(out, 1);  // an icon
    put16(out, static_cast<int>(images.size()));
    qint64 offset = 6 + 16 * images.size();
    for (qsizetype i = 0; i < images.size(); ++i) {
        const int size = sizes[i];
        out.append(static_cast<char>(size >= 256 ? 0 : size));  // 0 stands for 256
        out.append(static_cast<char>(size >= 256 ? 0 : size));
        out.append('\0');  // no palette
        out.append('\0');
        put16(out, 1);   // colour planes
        put16(out, 32);  // bits per pixel
        put32(out, images[i].size());
        put32(out, offset);
        offset += images[i].size();
    }
    for (const QByteArray& image : images) out.append(image);
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(out) == out.size();
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s OUTDIR SIZE...\n", argv[0]);
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    if (out == QStringLiteral("--ico")) {
        QList<int> sizes;
        for (int i = 3; i < argc; ++i) sizes.append(QString::fromLatin1(argv[i]).toInt());
        if (sizes.contains(0) || !writeIco(QString::fromLocal8Bit(argv[2]), sizes)) {
            std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[2]);
            return 1;
        }
        return 0;
    }
    for (int i = 2; i < argc; ++i) {
        const int size = QString::fromLatin1(argv[i]).toInt();
        if (size <= 0) return 2;
        const QString dir = out + QStringLiteral("/%1").arg(size);
        if (!QDir().mkpath(dir) || !draw(size).save(dir + QStringLiteral("/norvexa.png"))) {
            std::fprintf(stderr, "%s: cannot write %s\n", argv[0], qPrintable(dir));
            return 1;
        }
    }
    return 0;
}
