// tivra-decode: decodes one picture file for the game, confined; see
// DecodeHelper.h.
#include "DecodeHelper.h"

int main() {
    return runDecodeHelper();
}
