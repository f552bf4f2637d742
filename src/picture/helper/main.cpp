// tivra-decode: decodes one picture file for the game, confined; see
// ConfinedDecoder.h.
#include "ConfinedDecoder.h"

int main() {
    return tivra::runConfinedDecoder();
}
