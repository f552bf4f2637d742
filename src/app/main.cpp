#include "Form1.h"
#include "PictureLoading.h"
#include "StartPicture.h"
#include "picture/DecodeJob.h"
#include "picture/DecoderProcess.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <fcntl.h>
#include <memory>

namespace {

void acceptQtOptions(QCommandLineParser& parser);

struct CommandLine {
    QCommandLineParser parser;
    QCommandLineOption help = parser.addHelpOption();
    QCommandLineOption version = parser.addVersionOption();

    CommandLine() {
        acceptQtOptions(parser);
        // Qt's options take one dash (-platform, -sync): read as long names,
        // not as a row of one-letter flags.
        parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
        parser.setApplicationDescription(
            QStringLiteral("A picture puzzle: rebuild a shuffled picture, piece by piece."));
        parser.addPositionalArgument(QStringLiteral("picture"),
                                     QStringLiteral("A picture to play with instead of the "
                                                    "built-in one (JPEG, bitmap, PNG, HEIC, "
                                                    "AVIF, ...)."),
                                     QStringLiteral("[picture]"));
    }
};

[[noreturn]] void refuse(const QString& error) {
    std::fprintf(stderr, "tivra: %s\n", qPrintable(error));
    std::exit(1);
}

// Qt's own options. QApplication takes most of them out of the command line;
// the window system's (-sync, -ncols, ...) it leaves.
void acceptQtOptions(QCommandLineParser& parser) {
    for (const char* name :
         {"platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry",
          "qwindowicon", "qwindowtitle", "style", "stylesheet", "session", "display", "geometry",
          "title", "name", "visual", "ncols", "fontengine", "qmljsdebugger"}) {
        QCommandLineOption option(QString::fromLatin1(name), QString(), QStringLiteral("value"));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    for (const char* name : {"reverse", "widgetcount", "nograb", "dograb", "sync", "cmap"}) {
        QCommandLineOption option(QString::fromLatin1(name));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
}

// --help, --version and unknown options are answered before any window
// system is opened, so they work without a display. True when one picture
// is named.
bool answerInformationOptions(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    CommandLine line;
    if (!line.parser.parse(arguments))
        refuse(line.parser.errorText());
    if (line.parser.isSet(line.help) || line.parser.isSet(QStringLiteral("help-all"))) {
        QString text = line.parser.helpText();
        text.replace(QStringLiteral("<executable_name>"), QStringLiteral("tivra"));
        std::fputs(qPrintable(text), stdout);
        std::exit(0);
    }
    if (line.parser.isSet(line.version)) {
        std::printf("tivra %s\n", TIVRA_VERSION);
        std::exit(0);
    }
    return line.parser.positionalArguments().size() == 1;
}

// The picture named on the command line, if any, as an absolute path.
QString pictureArgument(const QStringList& arguments) {
    CommandLine line;
    if (!line.parser.parse(arguments))
        refuse(line.parser.errorText());
    const QStringList rest = line.parser.positionalArguments();
    if (rest.size() > 1)
        refuse(QStringLiteral("one picture at a time"));
    return rest.isEmpty() ? QString() : QDir::current().absoluteFilePath(rest.first());
}

struct PictureName {
    QString path;  // to open it by
    QString shown; // to the player
};

// A file name that is not UTF-8 (an old memory card's, a Latin-1 archive's)
// has no QString that opens it: such a file is opened here, by its very
// bytes, and read through the descriptor, its name shown as well as it can be.
PictureName pictureName(const QString& picture, int argc, char** argv) {
    const QString shown = QFileInfo(picture).fileName();
    for (int i = 1; i < argc; ++i) {
        const QByteArray raw(argv[i]);
        if (QString::fromLocal8Bit(raw) != QFileInfo(picture).filePath() &&
            QDir::current().absoluteFilePath(QString::fromLocal8Bit(raw)) != picture)
            continue;
        if (QFile::encodeName(QString::fromLocal8Bit(raw)) == raw)
            break; // the name opens as it is
        const int fd = ::open(raw.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
        if (fd >= 0)
            return {QStringLiteral("/proc/self/fd/%1").arg(fd), shown};
    }
    return {picture, shown};
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication::setApplicationName(QStringLiteral("tivra"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TIVRA_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("io.tivra.Tivra")); // its Wayland app id
    // A picture opened from a file manager has its helper at once: it starts,
    // loads its decoders and confines itself while Qt starts the window.
    const QString program =
        tivra::decoderProgramFor(QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath());
    std::unique_ptr<tivra::DecoderProcess> helper;
    if (answerInformationOptions(argc, argv))
        helper = std::make_unique<tivra::DecoderProcess>(program);
    QApplication app(argc, argv); // takes Qt's own options (-platform, -style, ...)
    const QString picture = pictureArgument(QCoreApplication::arguments());
    const PictureName name = pictureName(picture, argc, argv);
    // Asked as soon as the screen is known, then loaded as "Incarca Poza"
    // loads one.
    AskedPicture asked;
    if (!picture.isEmpty())
        asked = askForStartPicture(program, std::move(helper), name.path, name.shown);
    Form1 window;
    if (picture.isEmpty()) {
        window.show();
    } else {
        window.pictureLoading().takeAsked(std::move(asked));
        showWithPicture(window, name.path, name.shown);
    }
    return QApplication::exec();
}
