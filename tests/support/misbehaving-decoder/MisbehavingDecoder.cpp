// The decoding helper, which once confined does what TIVRA_MISBEHAVE says
// instead of (or before) decoding:
//   open, socket, exec   what the sandbox forbids: the process is killed
//   crash                a wild write
//   hang                 never answers
//   slow                 answers honestly, half a second late
//   garbage              an answer that makes no sense
//   oversized            a well-formed answer whose pixels claim more than the picture
#include "picture/helper/ConfinedDecoder.h"

#include <QByteArray>
#include <cstdlib>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

int main() {
    const QByteArray how = qgetenv("TIVRA_MISBEHAVE");
    return tivra::runConfinedDecoder([how] {
        if (how == "open") {
            ::open("/etc/hostname", O_RDONLY);
        } else if (how == "socket") {
            ::socket(AF_INET, SOCK_STREAM, 0);
        } else if (how == "exec") {
            ::execl("/bin/true", "true", static_cast<char*>(nullptr));
        } else if (how == "crash") {
            *static_cast<volatile int*>(nullptr) = 1;
        } else if (how == "slow") {
            ::usleep(500 * 1000);
        } else if (how == "hang") {
            for (;;)
                ::sleep(1);
        } else if (how == "garbage" || how == "oversized") {
            static const char garbage[] = "TIVRADC1\x01\0\0\0\x10\0\0\0\x10\0\0\0\xff\xff\0\0";
            static const char oversized[] =
                "TIVRADC1\x01\0\0\0\x02\0\0\0\x02\0\0\0\x04\0\0\0\x01\0\0\0"
                "0123456789abcdef";
            const bool first = how == "garbage";
            ::write(STDOUT_FILENO, first ? garbage : oversized,
                    (first ? sizeof garbage : sizeof oversized) - 1);
            ::_exit(0);
        }
    });
}
