// Writes the hostile catalogue's images into the folder given, as seeds for
// the disc targets: those within the 128 KiB the targets take.
#include <filesystem>
#include <fstream>

#include "tests/support/hostile_images.h"

int main(int argc, char** argv) {
  if (argc != 2) return 2;  // write_seeds FOLDER
  for (const HostileImage& h : kHostileImages) {
    IsoImage image = h.make();
    if (image.bytes.size() > 131072) continue;
    std::filesystem::path path = std::filesystem::path(argv[1]) / (std::string(h.name) + ".iso");
    std::ofstream(path, std::ios::binary) << image.bytes;
  }
}
