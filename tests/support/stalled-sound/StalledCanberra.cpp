// A stand-in for libcanberra whose sound server stops answering at the first
// click: ca_context_play never returns. Each call is written to the file
// named by TIVRA_STALLED_SOUND_LOG, so a test sees how far the game got.
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

struct ca_context;

namespace {

char theContext;

void note(const char* what) {
    const char* log = std::getenv("TIVRA_STALLED_SOUND_LOG");
    if (!log)
        return;
    int fd = open(log, O_WRONLY | O_CREAT | O_APPEND, 0600);
    if (fd < 0)
        return;
    if (write(fd, what, std::strlen(what)) < 0) {
    }
    close(fd);
}

} // namespace

extern "C" {

int ca_context_create(ca_context** context) {
    *context = reinterpret_cast<ca_context*>(&theContext);
    note("create\n");
    return 0;
}

int ca_context_change_props(ca_context*, ...) {
    return 0;
}

int ca_context_open(ca_context*) {
    note("open\n");
    return 0;
}

int ca_context_play(ca_context*, unsigned, ...) {
    note("play\n");
    for (;;)
        pause();
}

int ca_context_destroy(ca_context*) {
    return 0;
}

} // extern "C"
