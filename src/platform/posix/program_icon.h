// The program's icon images, PNG files from res/ built into the program.
#pragma once

#include <cstddef>

namespace platform::posix {

struct EmbeddedImage {
  const unsigned char* bytes;
  std::size_t size;
};

/// The 16 x 16 and 32 x 32 images, in that order.
extern const EmbeddedImage kProgramIconImages[2];

}  // namespace platform::posix
