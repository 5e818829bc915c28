// Picture files: KLT images and Windows bitmaps, sound and hostile, built by the tests.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "svc/err.h"
#include "svc/image.h"

namespace {

using Bytes = std::vector<unsigned char>;

void be32(Bytes* b, uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) b->push_back(static_cast<unsigned char>(v >> s));
}
void le32(Bytes* b, uint32_t v) {
  for (int s = 0; s < 32; s += 8) b->push_back(static_cast<unsigned char>(v >> s));
}
void le16(Bytes* b, uint16_t v) {
  b->push_back(static_cast<unsigned char>(v));
  b->push_back(static_cast<unsigned char>(v >> 8));
}

Bytes klt(uint32_t w, uint32_t h, size_t pixels) {
  Bytes b;
  be32(&b, w);
  be32(&b, h);
  for (size_t i = 0; i < pixels; ++i) {
    b.push_back(0);
    b.push_back(static_cast<unsigned char>(10 * i));
    b.push_back(static_cast<unsigned char>(20 * i));
    b.push_back(static_cast<unsigned char>(30 * i));
  }
  return b;
}

// A bottom-up 24-bit bitmap, rows padded to four bytes; pixel (x, y) is (x*40, y*40, 200).
Bytes bmp(int32_t w, int32_t h, int declaredWidth = 0) {
  Bytes b{'B', 'M'};
  int row = (w * 3 + 3) / 4 * 4;
  le32(&b, static_cast<uint32_t>(54 + row * h));
  le32(&b, 0);
  le32(&b, 54);
  le32(&b, 40);
  le32(&b, static_cast<uint32_t>(declaredWidth ? declaredWidth : w));
  le32(&b, static_cast<uint32_t>(h));
  le16(&b, 1);
  le16(&b, 24);
  for (int i = 0; i < 6; ++i) le32(&b, 0);
  for (int y = h - 1; y >= 0; --y) {
    for (int x = 0; x < w; ++x) {
      b.push_back(200);
      b.push_back(static_cast<unsigned char>(y * 40));
      b.push_back(static_cast<unsigned char>(x * 40));
    }
    for (int p = w * 3; p < row; ++p) b.push_back(0);
  }
  return b;
}

TEST(KltImage, DecodesPixelsRowByRow) {
  Bytes b = klt(2, 1, 2);
  b.push_back(7);  // trailing bytes are ignored
  WTrgb_image image;
  std::string why;
  ASSERT_TRUE(WTdecode_klt_image(b.data(), b.size(), &image, &why)) << why;
  EXPECT_EQ(image.width, 2);
  EXPECT_EQ(image.height, 1);
  EXPECT_EQ(image.rgb, (Bytes{0, 0, 0, 10, 20, 30}));
}

TEST(KltImage, HostileHeadersAreRefusedBeforeAllocating) {
  struct Case {
    Bytes bytes;
    const char* why;
  };
  const Case cases[] = {
      {{0, 0, 0, 2, 0, 0}, "shorter than its 8-byte header"},
      {klt(0, 5, 0), "no pixels"},
      {klt(3, 0, 0), "no pixels"},
      {klt(2, 2, 3), "fewer pixels"},
      {klt(0xffffffffu, 0xffffffffu, 1), "too large"},  // * 4 overflows 64 bits' worth of care
      {klt(0x40000000u, 4, 1), "too large"},            // * 4 wraps a 32-bit size
      {klt(32768, 1, 1), "too large"},
      {klt(32767, 32767, 1), "fewer pixels"},  // a lying size within X's limits
  };
  for (const Case& c : cases) {
    WTrgb_image image;
    std::string why;
    EXPECT_FALSE(WTdecode_klt_image(c.bytes.data(), c.bytes.size(), &image, &why));
    EXPECT_NE(why.find(c.why), std::string::npos) << why;
    EXPECT_TRUE(image.rgb.empty());
  }
}

TEST(Bitmap, DecodesA24BitBitmap) {
  Bytes b = bmp(3, 2);
  WTrgb_image image;
  std::string why;
  ASSERT_TRUE(WTdecode_bmp(b.data(), b.size(), &image, &why)) << why;
  ASSERT_EQ(image.width, 3);
  ASSERT_EQ(image.height, 2);
  // Pixel (2, 1): rows come out from the top.
  size_t at = (1 * 3 + 2) * 3;
  EXPECT_EQ(image.rgb[at], 80);
  EXPECT_EQ(image.rgb[at + 1], 40);
  EXPECT_EQ(image.rgb[at + 2], 200);
}

TEST(Bitmap, HostileFilesAreRefused) {
  Bytes truncatedHeader = bmp(2, 2);
  truncatedHeader.resize(20);
  Bytes notBmp = bmp(2, 2);
  notBmp[0] = 'P';
  Bytes oddHeader = bmp(2, 2);
  oddHeader[14] = 77;  // no such header size
  const Bytes cases[] = {truncatedHeader,   notBmp,        oddHeader,
                         bmp(2, 2, 100000), bmp(2, 2, -1), Bytes{}};
  for (const Bytes& b : cases) {
    WTrgb_image image;
    std::string why;
    EXPECT_FALSE(WTdecode_bmp(b.data(), b.size(), &image, &why));
    EXPECT_FALSE(why.empty());
  }
  // Pixels cut short are refused: the decoder would allocate for the header's size and fill
  // what is missing with nothing, so a header alone could cost gigabytes.
  Bytes cut = bmp(64, 64);
  cut.resize(cut.size() / 2);
  Bytes bomb = bmp(30000, 0);  // a 54-byte header saying 30000 x 30000
  bomb[22] = 0x30, bomb[23] = 0x75;
  for (const Bytes& b : {cut, bomb}) {
    WTrgb_image image;
    std::string why;
    EXPECT_FALSE(WTdecode_bmp(b.data(), b.size(), &image, &why));
    EXPECT_EQ(why, "the file holds fewer pixels than its size says");
    EXPECT_TRUE(image.rgb.empty());
  }
  // Nor do other compressions pass for none: run lengths, and values no bitmap has, with which
  // a header alone would again have the decoder allocate for its size (a 58-byte file made it
  // ask for 1.1 GB).
  for (uint32_t compression : {1u, 2u, 4u, 0xff000000u}) {
    Bytes b = bmp(30000, 0);
    b[22] = 0x30, b[23] = 0x75;
    b[30] = static_cast<unsigned char>(compression),
    b[33] = static_cast<unsigned char>(compression >> 24);
    WTrgb_image image;
    std::string why;
    EXPECT_FALSE(WTdecode_bmp(b.data(), b.size(), &image, &why));
    EXPECT_EQ(why,
              "the bitmap's compression (" + std::to_string(compression) + ") is not supported");
    EXPECT_TRUE(image.rgb.empty());
  }
  // Bit fields are decoded as before.
  Bytes fields = bmp(2, 2);
  fields[30] = 3;
  WTrgb_image image;
  std::string why;
  EXPECT_NE(WTdecode_bmp(fields.data(), fields.size(), &image, &why) ? std::string() : why,
            "the bitmap's compression (3) is not supported");
}

TEST(ImageFiles, ReadOnlyRegularFilesWithoutBlocking) {
  namespace fs = std::filesystem;
  fs::path dir = fs::temp_directory_path() / ("image_test_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  Bytes b = klt(1, 1, 1);
  std::ofstream(dir / "one.x", std::ios::binary)
      .write(reinterpret_cast<char*>(b.data()), static_cast<long>(b.size()));
  WTrgb_image image;
  std::string why;
  EXPECT_TRUE(WTread_image_file((dir / "one.x").string(), WT_IMAGE_KLT, &image, &why)) << why;
  ASSERT_EQ(::mkfifo((dir / "fifo.x").c_str(), 0600), 0);
  EXPECT_FALSE(WTread_image_file((dir / "fifo.x").string(), WT_IMAGE_KLT, &image, &why));
  EXPECT_NE(why.find("not a regular file"), std::string::npos) << why;
  EXPECT_FALSE(WTread_image_file(dir.string(), WT_IMAGE_BMP, &image, &why));
  EXPECT_FALSE(WTread_image_file((dir / "none.x").string(), WT_IMAGE_KLT, &image, &why));
  EXPECT_FALSE(WTread_image_file((dir / "one.x").string(), 2, &image, &why)) << "unknown kind";
  fs::remove_all(dir);
}

}  // namespace

namespace {

// Address space of the process now, in bytes.
rlim_t addressSpaceNow() {
  std::ifstream in("/proc/self/statm");
  unsigned long pages = 0;
  in >> pages;
  return static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE));
}

// Limits the process so that a 2000 x 2000 picture's file (16 MB) is read but its pixels
// (12 MB more) cannot be made.
void limitBelowThePixels() {
  rlimit limit{};
  getrlimit(RLIMIT_AS, &limit);
  limit.rlim_cur = addressSpaceNow() + (16u << 20) + (4u << 20);
  setrlimit(RLIMIT_AS, &limit);
}

int answers = 0;
int retryWithMoreRoom(const char*, ...) {
  ++answers;
  rlimit limit{};
  getrlimit(RLIMIT_AS, &limit);
  limit.rlim_cur = limit.rlim_max;  // something was closed
  setrlimit(RLIMIT_AS, &limit);
  return 1;
}
int chooseExit(const char*, ...) {
  return 0;
}

std::string bigPicture() {
  std::string path = testing::TempDir() + "/big.klt";
  Bytes b = klt(2000, 2000, 2000 * 2000);
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), b.size());
  return path;
}

}  // namespace

// Memory that runs out while a picture is read is the user's choice, never a crash. (The
// sanitizer reserves more address space than any limit leaves: skipped there.)
TEST(ImageFilesDeathTest, MemoryRunningOutGivesTheOutOfMemoryChoice) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "address space limits do not apply under the sanitizer";
#endif
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  std::string path = bigPicture();
  auto read = [&](ERRoutofmem_handler handler) {
    ERRset_outofmem_dialog_handler(handler);
    limitBelowThePixels();
    WTrgb_image image;
    std::string error;
    bool ok = WTread_image_file(path, WT_IMAGE_KLT, &image, &error);
    std::fprintf(stderr, "read %d, %dx%d, asked %d, error \"%s\"\n", ok, image.width, image.height,
                 answers, error.c_str());
    std::exit(0);
  };
  EXPECT_EXIT(read(retryWithMoreRoom), ::testing::ExitedWithCode(0),
              "read 1, 2000x2000, asked 1, error \"\"");
  EXPECT_EXIT(read(chooseExit), ::testing::ExitedWithCode(1), "");
  EXPECT_EXIT(read(nullptr), ::testing::ExitedWithCode(0),
              "read 0, 0x0, asked 0, error \"not enough memory to read .*big.klt\"");
  std::remove(path.c_str());
}
