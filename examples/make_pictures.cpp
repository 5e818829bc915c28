// make_pictures: writes the example pictures in each format the kit reads: a KLT image (.x),
// a Windows bitmap (.bmp) and an X bitmap (.xbm).
//   make_pictures FOLDER
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

// A 24 x 24 picture: a coloured disc with a darker ring on a light ground.
void pixel(int x, int y, unsigned char* r, unsigned char* g, unsigned char* b, bool armed) {
  int dx = x - 12, dy = y - 12, d2 = dx * dx + dy * dy;
  if (d2 < 64)
    *r = armed ? 230 : 40, *g = armed ? 120 : 150, *b = armed ? 40 : 220;
  else if (d2 < 110)
    *r = 30, *g = 40, *b = 90;
  else
    *r = 235, *g = 235, *b = 225;
}

void writeKlt(const std::string& path, bool armed) {
  std::ofstream out(path, std::ios::binary);
  const unsigned char header[8] = {0, 0, 0, 24, 0, 0, 0, 24};
  out.write(reinterpret_cast<const char*>(header), 8);
  for (int y = 0; y < 24; ++y)
    for (int x = 0; x < 24; ++x) {
      unsigned char p[4] = {0, 0, 0, 0};
      pixel(x, y, &p[1], &p[2], &p[3], armed);
      out.write(reinterpret_cast<const char*>(p), 4);
    }
}

void le32(std::vector<unsigned char>* b, uint32_t v) {
  for (int s = 0; s < 32; s += 8) b->push_back(static_cast<unsigned char>(v >> s));
}

void writeBmp(const std::string& path, bool armed) {
  std::vector<unsigned char> b{'B', 'M'};
  le32(&b, 54 + 24 * 24 * 3);
  le32(&b, 0);
  le32(&b, 54);
  le32(&b, 40);
  le32(&b, 24);
  le32(&b, 24);
  b.push_back(1), b.push_back(0), b.push_back(24), b.push_back(0);
  for (int i = 0; i < 6; ++i) le32(&b, 0);
  for (int y = 23; y >= 0; --y)
    for (int x = 0; x < 24; ++x) {
      unsigned char r, g, bl;
      pixel(x, y, &r, &g, &bl, armed);
      b.push_back(bl), b.push_back(g), b.push_back(r);
    }
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(b.data()), static_cast<long>(b.size()));
}

void writeXbm(const std::string& path) {
  std::ofstream out(path);
  out << "#define star_width 16\n#define star_height 16\nstatic unsigned char star_bits[] = {\n";
  for (int y = 0; y < 16; ++y)
    for (int byte = 0; byte < 2; ++byte) {
      unsigned v = 0;
      for (int bit = 0; bit < 8; ++bit) {
        int x = byte * 8 + bit, dx = x - 8, dy = y - 8;
        if (dx * dx + dy * dy < 40 || dx == dy || dx == -dy) v |= 1u << bit;
      }
      char text[8];
      std::snprintf(text, sizeof text, "0x%02x", v);
      out << text << (y == 15 && byte == 1 ? "};\n" : ", ");
    }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_pictures FOLDER\n");
    return 2;
  }
  std::string dir = argv[1];
  writeKlt(dir + "/disc.x", false);
  writeKlt(dir + "/disc_armed.x", true);
  writeBmp(dir + "/disc.bmp", false);
  writeBmp(dir + "/disc_armed.bmp", true);
  writeXbm(dir + "/star.xbm");
  return 0;
}
