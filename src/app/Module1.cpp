#include "Module1.h"

namespace Module1 {

std::int16_t Divisions = 4;

} // namespace Module1
