#include "bootstrap/jpeg_picture.h"

#include <csetjmp>
#include <cstdio>  // jpeglib.h needs FILE and size_t declared first
#include <utility>

#include <jpeglib.h>

namespace forms {

namespace {

// libjpeg's default error_exit calls exit(), which inside a host process
// would end the game. This one jumps back to the decode step that failed.
struct JpegErrors {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
};

extern "C" void JumpOnJpegError(j_common_ptr info) {
  std::longjmp(reinterpret_cast<JpegErrors*>(info->err)->jump, 1);
}

extern "C" void IgnoreJpegMessage(j_common_ptr) {}

// The two steps below hold setjmp. longjmp skips destructors, so nothing with
// a destructor may live in their frames: they see only C structs and raw
// buffers, and the C++ owner of the pixels lives in the caller.

// Reads the header and starts decompression to RGB. false on a libjpeg error;
// the decompressor is then destroyed.
bool StartDecoding(jpeg_decompress_struct* info, JpegErrors* errors, const uint8_t* data,
                   size_t size) {
  info->err = jpeg_std_error(&errors->manager);
  errors->manager.error_exit = JumpOnJpegError;
  errors->manager.output_message = IgnoreJpegMessage;
  if (setjmp(errors->jump)) {
    jpeg_destroy_decompress(info);
    return false;
  }
  jpeg_create_decompress(info);
  jpeg_mem_src(info, const_cast<unsigned char*>(data), static_cast<unsigned long>(size));
  jpeg_read_header(info, TRUE);
  info->out_color_space = JCS_RGB;
  jpeg_start_decompress(info);
  return true;
}

// Reads every scanline into `rgb` (output_width * 3 bytes a row) and destroys
// the decompressor whatever happens. false on a libjpeg error.
bool ReadScanlines(jpeg_decompress_struct* info, JpegErrors* errors, uint8_t* rgb) {
  if (setjmp(errors->jump)) {
    jpeg_destroy_decompress(info);
    return false;
  }
  const size_t stride = static_cast<size_t>(info->output_width) * 3;
  while (info->output_scanline < info->output_height) {
    JSAMPROW row = rgb + stride * info->output_scanline;
    jpeg_read_scanlines(info, &row, 1);
  }
  jpeg_finish_decompress(info);
  jpeg_destroy_decompress(info);
  return true;
}

}  // namespace

bool DecodeJpeg(const uint8_t* data, size_t size, TPixels* out) {
  *out = TPixels{};
  if (data == nullptr || size == 0) return false;
  jpeg_decompress_struct info{};
  JpegErrors errors{};
  if (!StartDecoding(&info, &errors, data, size)) return false;
  const long width = static_cast<long>(info.output_width);
  const long height = static_cast<long>(info.output_height);
  if (info.output_components != 3 || width <= 0 || height <= 0 ||
      width > kMaxJpegPixels / height) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  TPixels pixels;
  pixels.Width = static_cast<int>(width);
  pixels.Height = static_cast<int>(height);
  try {
    pixels.Rgb.resize(static_cast<size_t>(width) * height * 3);
  } catch (...) {
    jpeg_destroy_decompress(&info);
    throw;
  }
  if (!ReadScanlines(&info, &errors, pixels.Rgb.data())) return false;
  *out = std::move(pixels);
  return true;
}

}  // namespace forms
