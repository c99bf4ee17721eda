#include "tools/orvanta-render/png_file.h"

#include <png.h>

#include <cstdio>
#include <memory>

namespace {
struct File {
  FILE* f;
  ~File() {
    if (f) std::fclose(f);
  }
};
}  // namespace

bool WritePng(const std::string& path, const uint32_t* pixels, int width, int height, std::string* error) {
  File file{std::fopen(path.c_str(), "wb")};
  if (!file.f) {
    *error = "cannot create " + path;
    return false;
  }
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    *error = "out of memory";
    return false;
  }
  std::vector<png_byte> row(static_cast<size_t>(width) * 3);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    *error = "cannot write " + path;
    return false;
  }
  png_init_io(png, file.f);
  png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < height; ++y) {
    const uint32_t* src = pixels + static_cast<size_t>(y) * width;
    for (int x = 0; x < width; ++x) {
      row[3 * x] = static_cast<png_byte>(src[x] >> 16);
      row[3 * x + 1] = static_cast<png_byte>(src[x] >> 8);
      row[3 * x + 2] = static_cast<png_byte>(src[x]);
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

bool ReadPng(const std::string& path, std::vector<uint32_t>& pixels, int& width, int& height, std::string* error) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) {
    *error = "cannot read " + path;
    return false;
  }
  if (image.width == 0 || image.height == 0 || image.width > 8192 || image.height > 8192) {
    png_image_free(&image);
    *error = "unreasonable picture size in " + path;
    return false;
  }
  image.format = PNG_FORMAT_BGRA;
  width = static_cast<int>(image.width);
  height = static_cast<int>(image.height);
  pixels.assign(static_cast<size_t>(width) * height, 0);
  if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) {
    *error = "cannot decode " + path;
    return false;
  }
  for (uint32_t& p : pixels) p &= 0x00FFFFFF;
  return true;
}
