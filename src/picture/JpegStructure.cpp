#include "JpegStructure.h"

#include <QByteArray>
#include <QIODevice>
#include <algorithm>
#include <cstring>
#include <utility>

namespace tivra {

namespace {

// Reads a device forward in large chunks, a byte at a time for the walker.
class ByteStream {
public:
    ByteStream(QIODevice& device, qint64 limit) : device_(device), limit_(limit) {}

    // The next byte, or -1 at the end of the data or of the limit.
    int next() {
        if (at_ == chunk_.size() && !refill())
            return -1;
        ++position_;
        return static_cast<unsigned char>(chunk_[at_++]);
    }
    bool skip(qint64 count) {
        while (count > 0) {
            if (at_ == chunk_.size() && !refill())
                return false;
            const qint64 step = std::min<qint64>(count, chunk_.size() - at_);
            at_ += step;
            position_ += step;
            count -= step;
        }
        return true;
    }
    // Moves to the next 0xFF byte; false at the end.
    bool findMarkerByte() {
        for (;;) {
            if (at_ == chunk_.size() && !refill())
                return false;
            const char* begin = chunk_.constData() + at_;
            const void* found = std::memchr(begin, 0xFF, static_cast<size_t>(chunk_.size() - at_));
            if (found) {
                const qint64 step = static_cast<const char*>(found) - begin;
                at_ += step;
                position_ += step;
                return true;
            }
            position_ += chunk_.size() - at_;
            at_ = chunk_.size();
        }
    }
    qint64 position() const { return position_; }

private:
    bool refill() {
        constexpr qint64 kChunk = 1 << 20;
        const qint64 room = limit_ - position_;
        if (room <= 0)
            return false;
        chunk_ = device_.read(std::min(kChunk, room));
        at_ = 0;
        return !chunk_.isEmpty();
    }

    QIODevice& device_;
    qint64 limit_;
    QByteArray chunk_;
    qint64 at_ = 0;
    qint64 position_ = 0;
};

} // namespace

bool looksLikeJpeg(const QByteArray& start) {
    return start.startsWith("\xFF\xD8\xFF");
}

namespace {

// Application segments a decoder reads: JFIF, Exif (the orientation), the
// colour profile, Adobe's colour transform. The first of each kind is kept,
// and colour profiles up to a size no camera passes.
class NeededSegments {
public:
    bool needed(int marker, const QByteArray& start, qint64 length) {
        if (marker == 0xE0 && start.startsWith("JFIF"))
            return std::exchange(jfif_, true) == false;
        if (marker == 0xE1 && start.startsWith(QByteArray("Exif\0\0", 6)))
            return std::exchange(exif_, true) == false;
        if (marker == 0xE2 && start.startsWith("ICC_PROFILE")) {
            profile_ += length;
            return profile_ <= kLargestProfile;
        }
        if (marker == 0xEE && start.startsWith("Adobe"))
            return std::exchange(adobe_, true) == false;
        return false;
    }

private:
    static constexpr qint64 kLargestProfile = 4 << 20;
    bool jfif_ = false;
    bool exif_ = false;
    bool adobe_ = false;
    qint64 profile_ = 0;
};

// Enough of a segment to tell an application segment's kind, and a frame
// header's sampling of up to four components.
constexpr int kHeadOfSegment = 6 + 3 * 4;

// The coefficients of every component, from a frame header: each is sampled
// at its share of the largest sampling factors, in whole 8 x 8 blocks.
qint64 coefficients(const QByteArray& frame, int width, int height) {
    const auto byte = [&](int i) { return static_cast<unsigned char>(frame[i]); };
    const int count = std::min<int>(byte(5), (int(frame.size()) - 6) / 3);
    int largestH = 1;
    int largestV = 1;
    for (int c = 0; c < count; ++c) {
        largestH = std::max(largestH, byte(7 + 3 * c) >> 4);
        largestV = std::max(largestV, byte(7 + 3 * c) & 15);
    }
    qint64 total = 0;
    for (int c = 0; c < count; ++c) {
        const int h = std::max(1, byte(7 + 3 * c) >> 4);
        const int v = std::max(1, byte(7 + 3 * c) & 15);
        const qint64 blocksAcross = (qint64(width) * h / largestH + 7) / 8;
        const qint64 blocksDown = (qint64(height) * v / largestV + 7) / 8;
        total += blocksAcross * blocksDown * 64;
    }
    // Components a header names but does not describe count a whole sample.
    if (byte(5) > count)
        total += qint64(byte(5) - count) * width * height;
    return total;
}

bool isFrameHeader(int marker) {
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

} // namespace

std::optional<JpegLayout> jpegLayout(QIODevice& device, qint64 limit) {
    ByteStream in(device, limit);
    if (in.next() != 0xFF || in.next() != 0xD8)
        return std::nullopt;
    JpegLayout layout;
    NeededSegments kept;
    for (;;) {
        // Stray bytes before a marker are skipped, as the decoder skips them.
        if (!in.findMarkerByte())
            return std::nullopt;
        const qint64 start = in.position();
        in.next();
        int marker = in.next();
        while (marker == 0xFF) // fill bytes
            marker = in.next();
        if (marker < 0)
            return std::nullopt;
        // A stuffed data byte, a restart marker or TEM (0x01, which has no
        // length): still inside a scan.
        if (marker == 0x00 || (marker >= 0xD0 && marker <= 0xD8) || marker == 0x01)
            continue;
        if (marker == 0xD9) {
            layout.end = in.position();
            return layout;
        }
        // Every other marker has a length that covers its own two bytes.
        const int high = in.next();
        const int low = in.next();
        if (low < 0)
            return std::nullopt;
        const int length = high << 8 | low;
        if (length < 2)
            return std::nullopt;
        // The first bytes of the segment tell what it is.
        QByteArray head;
        for (int i = 0; i < std::min(length - 2, kHeadOfSegment); ++i) {
            const int byte = in.next();
            if (byte < 0)
                return std::nullopt;
            head.append(char(byte));
        }
        if (!in.skip(length - 2 - head.size()))
            return std::nullopt;
        if (marker == 0xDA)
            ++layout.scans;
        if (isFrameHeader(marker) && head.size() >= 6) {
            const auto byte = [&](int i) { return static_cast<unsigned char>(head[i]); };
            layout.progressive =
                marker == 0xC2 || marker == 0xC6 || marker == 0xCA || marker == 0xCE;
            layout.height = byte(1) << 8 | byte(2);
            layout.width = byte(3) << 8 | byte(4);
            layout.coefficients = coefficients(head, layout.width, layout.height);
        }
        const bool application = marker >= 0xE0 && marker <= 0xEF;
        if (marker == 0xFE || (application && !kept.needed(marker, head, length)))
            layout.unneeded.append({start, in.position() - start});
        // After a start of scan, its entropy-coded bytes run up to the next
        // marker that is not a stuffed byte or a restart.
    }
}

} // namespace tivra
