#include "TestFiles.h"
#include "SeededRandom.h"

#include <QBuffer>

namespace tivra::testing {

QByteArray encoded(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

QByteArray randomBytes(int count, unsigned seed) {
    SeededRandom random(seed);
    QByteArray bytes(count, '\0');
    for (char& byte : bytes)
        byte = static_cast<char>(random.bits() & 0xFF);
    return bytes;
}

} // namespace tivra::testing
