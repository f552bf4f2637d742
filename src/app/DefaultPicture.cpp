#include "PictureLoader.h"

#include <QtEndian>
#include <cstdint>

// The built-in picture's pixels, decoded at build time and linked into the
// program as they are (see tools/make_picture_pixels.cpp).
extern "C" const std::uint32_t tivraDefaultPicture[];

__asm__(".section .rodata\n"
        ".balign 16\n"
        ".global tivraDefaultPicture\n"
        "tivraDefaultPicture:\n"
        ".incbin \"" TIVRA_DEFAULT_PIXELS "\"\n"
        ".previous\n");

tivra::LoadedPicture defaultPicture() {
    const int width = static_cast<int>(qFromLittleEndian(tivraDefaultPicture[0]));
    const int height = static_cast<int>(qFromLittleEndian(tivraDefaultPicture[1]));
    // Read where it lies in the program: nothing to decode, nothing copied.
    const QImage image(reinterpret_cast<const uchar*>(tivraDefaultPicture + 2), width, height,
                       width * 4, QImage::Format_RGB32);
    return {image, image.size()};
}
