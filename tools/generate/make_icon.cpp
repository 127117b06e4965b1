// SPDX-License-Identifier: GPL-3.0-or-later
// Renders the application icon to files for packaging: trovik-16.png,
// trovik-32.png and trovik.ico (both sizes, 16 colours with a transparency
// mask, as Windows resource compilers expect), and trovik-64.png and
// trovik-128.png, the 32-pixel drawing enlarged pixel for pixel for desktops
// that show larger icons. Beside them the icon file managers show for a beat
// file, in the same four sizes: trovik-beat-16.png to trovik-beat-128.png.
//
// usage: make_icon <output-folder>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <cstdio>

#include "ui/app_icon.h"

namespace {

constexpr int kColourCount = 16;

constexpr int kBitmapInfoHeaderSize = 40;

int paddedRowBytes(int bits) {
    return (bits + 31) / 32 * 4;
}

int paletteIndex(QRgb pixel) {
    const int index = static_cast<int>(trovik::standardSixteenColours().indexOf(pixel));
    return index < 0 ? 0 : index;
}

// One icon image as Windows stores it: a bitmap header with doubled height,
// the palette, the 4-bit colour rows and the 1-bit mask rows, bottom row first.
QByteArray iconImageData(const QImage& image) {
    QByteArray data;
    QDataStream out(&data, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    const int size = image.width();
    const int colourRow = paddedRowBytes(size * 4);
    const int maskRow = paddedRowBytes(size);
    out << quint32(kBitmapInfoHeaderSize) << qint32(size) << qint32(2 * size) << quint16(1)
        << quint16(4) << quint32(0) << quint32((colourRow + maskRow) * size) << qint32(0)
        << qint32(0) << quint32(kColourCount) << quint32(0);
    for (QRgb colour : trovik::standardSixteenColours()) {
        out << quint8(qBlue(colour)) << quint8(qGreen(colour)) << quint8(qRed(colour)) << quint8(0);
    }
    for (int y = size - 1; y >= 0; --y) {
        QByteArray row(colourRow, '\0');
        for (int x = 0; x < size; ++x) {
            const QRgb pixel = image.pixel(x, y);
            const int index = qAlpha(pixel) == 0 ? 0 : paletteIndex(pixel);
            row[x / 2] = static_cast<char>(row[x / 2] | (x % 2 == 0 ? index << 4 : index));
        }
        out.writeRawData(row.constData(), static_cast<int>(row.size()));
    }
    for (int y = size - 1; y >= 0; --y) {
        QByteArray row(maskRow, '\0');
        for (int x = 0; x < size; ++x) {
            if (qAlpha(image.pixel(x, y)) == 0)
                row[x / 8] = static_cast<char>(row[x / 8] | (0x80 >> (x % 8)));
        }
        out.writeRawData(row.constData(), static_cast<int>(row.size()));
    }
    return data;
}

QByteArray iconFile(const QList<QImage>& images) {
    QByteArray file;
    QDataStream out(&file, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out << quint16(0) << quint16(1) << quint16(images.size());
    QList<QByteArray> bodies;
    for (const QImage& image : images) bodies << iconImageData(image);
    quint32 offset = 6 + 16 * static_cast<quint32>(images.size());
    for (int i = 0; i < images.size(); ++i) {
        out << quint8(images[i].width()) << quint8(images[i].height()) << quint8(kColourCount)
            << quint8(0) << quint16(1) << quint16(4) << quint32(bodies[i].size()) << offset;
        offset += static_cast<quint32>(bodies[i].size());
    }
    for (const QByteArray& body : bodies)
        out.writeRawData(body.constData(), static_cast<int>(body.size()));
    return file;
}

// The 32-pixel drawing enlarged to 64 and 128 pixels. Whole multiples keep
// every pixel a sharp square; smooth scaling would blur them.
QList<QImage> withEnlargements(const QImage& small, const QImage& large) {
    QList<QImage> images{small, large};
    for (int factor : {2, 4}) {
        images << large.scaled(large.size() * factor, Qt::IgnoreAspectRatio,
                               Qt::FastTransformation);
    }
    return images;
}

bool writePngs(const QDir& folder, const QString& baseName, const QList<QImage>& images) {
    bool written = true;
    for (const QImage& image : images) {
        const QString name = QStringLiteral("%1-%2.png").arg(baseName).arg(image.width());
        written = image.save(folder.filePath(name)) && written;
    }
    return written;
}

bool writeFile(const QString& path, const QByteArray& contents) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_icon <output-folder>\n");
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!folder.mkpath(QStringLiteral("."))) return 1;
    const QList<QImage> images{trovik::monitorIconImage(32), trovik::monitorIconImage(16)};
    bool written = writeFile(folder.filePath(QStringLiteral("trovik.ico")), iconFile(images));
    written = writePngs(folder, QStringLiteral("trovik"), withEnlargements(images[1], images[0])) &&
              written;
    written =
        writePngs(folder, QStringLiteral("trovik-beat"),
                  withEnlargements(trovik::beatFileIconImage(16), trovik::beatFileIconImage(32))) &&
        written;
    return written ? 0 : 1;
}
