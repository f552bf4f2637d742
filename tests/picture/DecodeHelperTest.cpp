// The decoding helper as a program: its confinement is real, its answers
// hold the same pixels as decoding in the game's own process did, and no
// answer, however broken, is taken for a picture.
#include "BoardPixels.h"
#include "picture/DecodeAnswer.h"
#include "picture/DecodeRequest.h"
#include "picture/PictureLoader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace tivra;

namespace {

// A helper started as the game starts it, its answer to `answer` (a file),
// misbehaving as `how` says. It waits for its picture on `*socket`.
pid_t startHelper(const char* program, const QString& answer, const QByteArray& how, int* socket) {
    const QByteArray out = QFile::encodeName(answer);
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) != 0)
        return -1;
    const pid_t child = fork();
    if (child == 0) {
        const int written = ::open(out.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(ends[1], STDIN_FILENO);
        ::dup2(written, STDOUT_FILENO);
        ::dup2(written, 7); // one the helper did not ask for
        ::setenv("TIVRA_MISBEHAVE", how.constData(), 1);
        ::execl(program, program, static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(ends[1]);
    *socket = ends[0];
    return child;
}

// Hands the helper its picture, as the game does.
void ask(int socket, const QString& input) {
    const int file = ::open(QFile::encodeName(input).constData(), O_RDONLY | O_CLOEXEC);
    QVERIFY(sendDecodeRequest(socket, file, QSize(800, 600), QStringLiteral("png")));
    ::close(file);
    ::close(socket);
}

pid_t decodeWith(const char* program, const QString& input, const QString& answer,
                 const QByteArray& how) {
    int socket = -1;
    const pid_t child = startHelper(program, answer, how, &socket);
    ask(socket, input);
    return child;
}

// How the helper ended: its exit status, or minus the signal that ended it.
int ending(pid_t child) {
    int status = 0;
    if (::waitpid(child, &status, 0) != child)
        return 1000;
    return WIFSIGNALED(status) ? -WTERMSIG(status) : WEXITSTATUS(status);
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class DecodeHelperTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void confinementIsReal();
    void answersHoldTheSamePixels();
    void brokenAnswersAreRefused();
    void answersSendThePicturesOwnRows();

private:
    QTemporaryDir dir;
    QString picture;
};

void DecodeHelperTest::initTestCase() {
    picture = dir.filePath("honest.png");
    QVERIFY(tivra::testing::codedPicture(1000, 700).save(picture, "PNG"));
}

void DecodeHelperTest::confinementIsReal() {
    const QString answer = dir.filePath("answer");
    // What it may not do kills it, whatever it is in the middle of.
    for (const char* forbidden : {"open", "socket", "exec"})
        QVERIFY2(ending(decodeWith(TIVRA_MISBEHAVING_DECODER, picture, answer, forbidden)) ==
                     -SIGSYS,
                 forbidden);
    // Its limits, as the system holds them while it runs: the filter is in
    // place before the picture has arrived.
    int socket = -1;
    const pid_t hanging = startHelper(TIVRA_MISBEHAVING_DECODER, answer, "hang", &socket);
    QByteArray status;
    QTRY_VERIFY((status = readFile(QStringLiteral("/proc/%1/status").arg(hanging)))
                    .contains("Seccomp:\t2"));
    QVERIFY(status.contains("NoNewPrivs:\t1"));
    ask(socket, picture);
    // Only the picture, the answer and the messages are open: the picture
    // has taken the socket's place.
    QTRY_COMPARE(QFileInfo(QStringLiteral("/proc/%1/fd/0").arg(hanging)).symLinkTarget(),
                 QFileInfo(picture).canonicalFilePath());
    QCOMPARE(QDir(QStringLiteral("/proc/%1/fd").arg(hanging))
                 .entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::System),
             QStringList({"0", "1", "2"}));
    const QByteArray limits = readFile(QStringLiteral("/proc/%1/limits").arg(hanging));
    QVERIFY2(
        limits.contains(QByteArrayLiteral("Max cpu time              10                   11")),
        limits.constData());
    QVERIFY(limits.contains(QByteArrayLiteral("Max core file size        0                    0")));
#if !defined(__SANITIZE_ADDRESS__)
    QVERIFY2(limits.contains(QByteArrayLiteral("Max address space         1073741824")),
             limits.constData());
#endif
    ::kill(hanging, SIGKILL);
    QCOMPARE(ending(hanging), -SIGKILL);
}

// The same picture through the helper and in this process: the same pixels.
void DecodeHelperTest::answersHoldTheSamePixels() {
    const QString answer = dir.filePath("answer");
    QCOMPARE(ending(decodeWith(TIVRA_DECODE_HELPER, picture, answer, {})), 0);
    const PictureLoadResult viaHelper = parseDecodeAnswer(readFile(answer));
    const PictureLoadResult here = loadPicture(picture, QSize(800, 600));
    QVERIFY2(viaHelper.picture, qPrintable(viaHelper.reason));
    QVERIFY(here.picture);
    QCOMPARE(viaHelper.picture->pixelSize, QSize(1000, 700));
    QCOMPARE(viaHelper.picture->image.size(), QSize(800, 560));
    QCOMPARE(viaHelper.picture->image, here.picture->image);
    // A file that is no picture comes back as the reason.
    QFile text(dir.filePath("notes.png"));
    QVERIFY(text.open(QIODevice::WriteOnly));
    text.write("not a picture at all");
    text.close();
    QCOMPARE(ending(decodeWith(TIVRA_DECODE_HELPER, text.fileName(), answer, {})), 0);
    const PictureLoadResult refused = parseDecodeAnswer(readFile(answer));
    QVERIFY(!refused.picture);
    QVERIFY(!refused.reason.isEmpty());
}

void DecodeHelperTest::brokenAnswersAreRefused() {
    const QImage image = tivra::testing::codedPicture(6, 4);
    const QByteArray good = encodeDecodeAnswer({tivra::LoadedPicture{image, QSize(12, 8)}, {}});
    QVERIFY(parseDecodeAnswer(good).picture);
    auto patched = [&](int at, quint32 value) {
        QByteArray bytes = good;
        qToLittleEndian(value, bytes.data() + at);
        return bytes;
    };
    const QList<QByteArray> broken = {{},
                                      good.left(good.size() - 1), // cut short
                                      good + 'x',                 // more than it said
                                      QByteArray("TIVRADC2") +
                                          good.mid(8),         // another kind of answer
                                      patched(8, 7),           // an unknown answer
                                      patched(12, 0),          // a picture with no width
                                      patched(12, 70000),      // wider than a board can hold
                                      patched(20, 13),         // decoded wider than the picture
                                      patched(24, 0x40000000), // rows that are not there
                                      patched(8, 2) /* a refusal whose reason runs past the end */};
    for (const QByteArray& answer : broken) {
        const PictureLoadResult result = parseDecodeAnswer(answer);
        QVERIFY(!result.picture);
        QVERIFY(!result.reason.isEmpty());
    }
}

// The helper's answer goes out in blocks over the picture's own pixels,
// however its rows lie, and reads back as the same picture.
void DecodeHelperTest::answersSendThePicturesOwnRows() {
    const QImage image = tivra::testing::codedPicture(7, 5);
    struct Sent {
        QList<QByteArrayView> blocks;
        QByteArray bytes;
    };
    auto send = [](const QImage& pixels, QSize own) {
        Sent sent;
        const bool ok = sendDecodeAnswer({tivra::LoadedPicture{pixels, own}, {}},
                                         [&sent](QByteArrayView block) {
                                             sent.blocks << block;
                                             sent.bytes += block;
                                             return true;
                                         });
        return ok ? sent : Sent{};
    };
    // Rows one after another: the header, then every pixel in one block,
    // not copied.
    const Sent packed = send(image, QSize(14, 10));
    QCOMPARE(packed.blocks.size(), 2);
    QCOMPARE(packed.blocks[1].data(), reinterpret_cast<const char*>(image.constBits()));
    QCOMPARE(packed.bytes, encodeDecodeAnswer({tivra::LoadedPicture{image, QSize(14, 10)}, {}}));
    QCOMPARE(parseDecodeAnswer(packed.bytes).picture->image, image);
    // Rows apart, as over a decoder's own buffer: a block each, not copied.
    const qsizetype stride = image.bytesPerLine() + 8;
    QByteArray buffer(stride * image.height(), '\x77');
    for (int y = 0; y < image.height(); ++y)
        std::memcpy(buffer.data() + stride * y, image.constScanLine(y), size_t(image.width()) * 4);
    const QImage apart(reinterpret_cast<const uchar*>(buffer.constData()), image.width(),
                       image.height(), stride, QImage::Format_RGB32);
    const Sent rows = send(apart, QSize(14, 10));
    QCOMPARE(rows.blocks.size(), 1 + image.height());
    QCOMPARE(rows.blocks[3].data(), buffer.constData() + 2 * stride);
    QCOMPARE(rows.bytes, packed.bytes);
    // Pixels of another kind are sent as 32-bit ones.
    const Sent other = send(image.convertToFormat(QImage::Format_RGB888), QSize(14, 10));
    QCOMPARE(other.bytes, packed.bytes);
    // A refusal is its header alone.
    bool sentOnce = false;
    QVERIFY(sendDecodeAnswer({std::nullopt, QStringLiteral("no")}, [&](QByteArrayView block) {
        sentOnce = !sentOnce;
        return parseDecodeAnswer(block.toByteArray()).reason == QStringLiteral("no");
    }));
    QVERIFY(sentOnce);
    // A send that fails ends the answer.
    int tries = 0;
    QVERIFY(!sendDecodeAnswer({tivra::LoadedPicture{apart, QSize(7, 5)}, {}},
                              [&](QByteArrayView) { return ++tries < 3; }));
    QCOMPARE(tries, 3);
}

QTEST_GUILESS_MAIN(DecodeHelperTest)
#include "DecodeHelperTest.moc"
