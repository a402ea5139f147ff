#ifndef SIMBYTES_H
#define SIMBYTES_H

#include <cstdint>
#include <vector>

using SimBytes = std::vector<uint8_t>;

#endif
