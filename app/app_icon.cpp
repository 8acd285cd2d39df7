#include "app/app_icon.h"

QIcon kestrinIcon() {
    QIcon icon;
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        icon.addFile(QStringLiteral(":/kestrin/kestrin-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}

QPixmap rawSamplePixmap() {
    return QPixmap(QStringLiteral(":/kestrin/raw-sample.png"));
}

QPixmap ditherSamplePixmap() {
    return QPixmap(QStringLiteral(":/kestrin/dither-sample.png"));
}
