// vorlind-badges: draws the car make and grid badges that the report shows, as GIF files in the
// folder given (created when missing).
#include <iostream>

#include "images/badges.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: vorlind-badges <images folder>\n";
    return 2;
  }
  const std::string error = vorlind::badges::writeBadges(argv[1]);
  if (!error.empty()) {
    std::cerr << "vorlind-badges: " << error << '\n';
    return 1;
  }
  return 0;
}
