// tivra-decode: decodes one picture file for the game, confined; see
// DecodeHelper.h.
#include "DecodeHelper.h"

int main(int argc, char** argv) {
    return runDecodeHelper(argc, argv);
}
